// Fonts made from a full logical font description with the screen's meaning
// of its fields: a negative height asks for that character height, a positive
// one for that cell height (internal leading included); a non-zero width
// widens or condenses the glyphs until the average character has that width;
// the character set picks a face that has its script; quality 3 draws without
// antialiasing, so that every text pixel is exactly the text colour. Text
// always runs left to right: escapement and orientation are kept, not used.
#pragma once

#include "platform/gdi/types.h"
#include "platform/sys/codepage.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace gdi {

constexpr uint8_t kAnsiCharSet = 0;
constexpr uint8_t kDefaultCharSet = 1;
constexpr uint8_t kSymbolCharSet = 2;
constexpr uint8_t kShiftJisCharSet = 128;
constexpr uint8_t kHangulCharSet = 129;
constexpr uint8_t kGb2312CharSet = 134;
constexpr uint8_t kChineseBig5CharSet = 136;

constexpr uint8_t kDefaultQuality = 0;
constexpr uint8_t kDraftQuality = 1;
constexpr uint8_t kProofQuality = 2;
constexpr uint8_t kNonAntialiasedQuality = 3;
constexpr uint8_t kAntialiasedQuality = 4;

constexpr uint8_t kFixedPitch = 0x01;
constexpr uint8_t kVariablePitch = 0x02;
constexpr uint8_t kFamilyRoman = 0x10;
constexpr uint8_t kFamilySwiss = 0x20;
constexpr uint8_t kFamilyModern = 0x30;

constexpr int32_t kWeightNormal = 400;
constexpr int32_t kWeightBold = 700;

// The largest character or cell height honoured; larger requests fail.
constexpr int32_t kMaxFontHeight = 2048;

struct LogFont {
  int32_t height = 0;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = kDefaultCharSet;
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  // Code-page bytes, NUL-terminated.
  std::array<char, 32> faceName{};

  std::string_view FaceName() const;
  // Stores at most 31 bytes of name, never half a double-byte character of
  // the font's code page.
  void SetFaceName(std::string_view name, int systemCodePage = sys::kDefaultCodePage);
};

struct TextMetrics {
  int32_t height = 0; // cell height: ascent + descent
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t internalLeading = 0; // cell height minus character height
  int32_t externalLeading = 0;
  int32_t aveCharWidth = 0;
  int32_t maxCharWidth = 0;
  int32_t weight = 0;
  int32_t overhang = 0;
  int32_t digitizedAspectX = kLogPixels;
  int32_t digitizedAspectY = kLogPixels;
  uint8_t italic = 0;
  uint8_t underlined = 0;
  uint8_t struckOut = 0;
  uint8_t pitchAndFamily = 0;
  uint8_t charSet = 0;
};

// The code page texts in a font of this character set are read in; the
// default and unknown sets take the system's code page.
int CodePageOfCharSet(uint8_t charSet, int systemCodePage = sys::kDefaultCodePage);
// The character set that stands for a code page (949 gives the Hangul set).
uint8_t CharSetOfCodePage(int codePage);

class Font {
public:
  // nullptr when the description cannot be honoured (a height beyond
  // kMaxFontHeight) or when the process has no GUI application object, which
  // fonts need. systemCodePage stands in for the default character set.
  // Fonts are kept for reuse (a bounded number): the same description and
  // code page give the same font object again.
  static std::shared_ptr<const Font> Create(const LogFont& description,
                                            int systemCodePage = sys::kDefaultCodePage);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const LogFont& Description() const;
  const TextMetrics& Metrics() const;
  // The installed face drawing the text (UTF-8), and the code page that the
  // bytes given to it are read in.
  const std::string& FaceUsed() const;
  int CodePage() const;
  bool Antialiased() const;
  // The size of the em square in pixels and the horizontal scale in percent.
  int PixelSize() const;
  int StretchPercent() const;

  struct Impl;
  const Impl& Internals() const { return *impl_; }

private:
  static std::shared_ptr<const Font> Make(const LogFont& description, int systemCodePage);
  explicit Font(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

} // namespace gdi
