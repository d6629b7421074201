// The display program's settings in "config.ini": the keys of the frame, the
// lyric view, the number view, the wipe, the score page and the video
// devices, each read with its default and written back as decimal text.
#pragma once

#include "platform/gdi/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace display {

// The longest path the settings file or a message may give; longer ones are
// refused rather than cut.
inline constexpr size_t kMaxSettingsPath = 516;

// A stored path ("C:\songs\a.kar", or a Linux path) as a Linux path, at most
// kMaxSettingsPath bytes of stored text; nullopt when empty, too long or not
// translatable.
std::optional<std::string> SettingsPathToLinux(std::string_view stored);

// [Words] keys read by the frame when it is created.
struct WordsSettings {
  int32_t progressDuration = 20; // wipe timer period, ms
  int32_t byChar = 0;            // 1: a syllable takes its sung colours at once
  int32_t smallFont = 0;         // selects Factor_S1 instead of Factor_L1
};
WordsSettings ReadWordsSettings(const std::string& configPath);

// [LyricPosition] factors, each read as up to 10 characters of decimal text.
struct LyricFactors {
  float s1 = 1.0f;  // lyric view height factor with SmallFont
  float l1 = 1.2f;  // lyric view height factor without SmallFont
  float s2 = 0.14f; // gap below the lyric view, embedded in a host window
  float l2 = 0.18f; // gap below the lyric view otherwise
};
LyricFactors ReadLyricFactors(const std::string& configPath);
// The decimal text's value as the C library's atof reads it (leading blanks,
// the longest number, 0 without one), from at most its first 10 characters.
float ParseFactor(std::string_view text);

// A floating view's placement under [Words] prefix_x, _y, _cx, _cy (left,
// top, right, bottom in screen coordinates); each key missing takes the
// matching edge of current.
gdi::Rect ReadViewRect(const std::string& configPath, std::string_view prefix,
                       const gdi::Rect& current);
bool WriteViewRect(const std::string& configPath, std::string_view prefix, const gdi::Rect& rect);

// The frame's rectangle, [Words] x, y, cx, cy (left, top, right, bottom).
inline constexpr gdi::Rect kDefaultFrameRect{1, 1, 640, 480};
gdi::Rect ReadFrameRect(const std::string& configPath);
// rect brought onto the screen: a left edge outside 0 to the screen's width
// becomes 0, a top edge outside 0 to its height 0, right and bottom are cut
// to the screen. A rectangle left narrower or lower than minSize (one that
// a minimised window stored, say) becomes the default rectangle, which is
// brought onto the screen the same way.
gdi::Rect FitFrameRect(const gdi::Rect& rect, const gdi::Rect& screen, gdi::Size minSize);

// The frame's own keys, read when it is created.
struct FrameSettings {
  int32_t fixedFrame = 0;   // [Config] FixedFrame
  int32_t display = 0;      // [Words] Display: the background mode
  int32_t imageIsFix = 0;   // [Image] IsFix
  int32_t imageType = 0;    // [Image] Type
  int32_t asyncLoading = 0; // [Image] AsyncLoading
  int32_t imageChange = 1;  // [Image] Change
  int32_t imageMode = 0;    // [Options] ImageMode
  // [Image] Default, without a trailing separator; nullopt for "*" (no
  // folder) or a value that is no usable path.
  std::optional<std::string> backgroundFolder;
};
FrameSettings ReadFrameSettings(const std::string& configPath);
// What the frame writes at exit: its rectangle (unless nullopt) and the
// background mode, in one update of the file.
bool WriteFrameState(const std::string& configPath, const std::optional<gdi::Rect>& rect,
                     int32_t display);
std::optional<std::string> ReadBackgroundFolder(const std::string& configPath);

// [Overlay] and [Mpeg] "Check": ReadOverlayChecks (utils.h).

// The overlay card's picture and placement settings.
struct OverlaySettings {
  int32_t source = 0; // index of "Input 0", "Input 1", "S-Video"
  int32_t videoX = 0, videoY = 0;
  int32_t destX = 0, destY = 0;
  int32_t brightness = 128;
  int32_t saturation = 64;
  int32_t contrast = 64;
  int32_t hue = 128;
  int32_t videoKeyCorrect = 7;
};
OverlaySettings ReadOverlaySettings(const std::string& configPath);
// "Video X" (a negative value as 0), "Video Y", "Dest X", "Dest Y".
bool WriteOverlayPositions(const std::string& configPath, const OverlaySettings& settings);
// What the overlay settings dialog stores on OK; Source only when changed.
bool WriteOverlayPicture(const std::string& configPath, const OverlaySettings& settings,
                         bool sourceChanged);

// The score page template: [Score] File, default programFolder + "/Score.htm".
std::string ReadScorePagePath(const std::string& configPath, const std::string& programFolder);
// The remark shown with a score: [Score] "<score>", default " ", at most 125
// bytes.
std::string ReadScoreRemark(const std::string& configPath, int32_t score);

} // namespace display
