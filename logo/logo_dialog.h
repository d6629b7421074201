// The logo and about dialog: a pop-up window that shows the logo picture
// with a transition, either sized to the picture and centred or on a black
// full screen, and closes itself after a time (logo) or shows a line of
// text scrolling in from the right (about).
#pragma once

#include "platform/gdi/dib.h"
#include "platform/gdi/font.h"
#include "platform/gdi/imaging.h"
#include "platform/gdi/imaging_effects.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/types.h"
#include "platform/sys/codepage.h"
#include "platform/ui/window/screen.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace logo {

inline constexpr const char* kDialogClass = "BivaneLogo";
inline constexpr uint32_t kCloseTimer = 1;  // the logo's time, the scroller's step
inline constexpr uint32_t kEffectTimer = 2; // the transition's frames
inline constexpr uint32_t kEffectTickMs = 16;
inline constexpr uint32_t kScrollMs = 200;
inline constexpr gdi::Rect kTextRect{12, 230, 222, 248};
inline constexpr size_t kLeadSpaces = 40;
inline constexpr size_t kMaxAboutText = 516;
inline constexpr uint32_t kFirstAboutText = 14;
inline constexpr uint32_t kLastAboutText = 17;

// What the dialog asks of the imaging library; tests put in their own.
class ImagingCalls {
public:
  virtual ~ImagingCalls() = default;
  virtual std::optional<gdi::imaging::FileInfo> FileInfo(const std::string& path);
  // At the file's own depth (fileDepth) or at bits.
  virtual std::optional<gdi::Dib> Load(const std::string& path, int bits, bool fileDepth);
  virtual std::optional<gdi::Dib> ReduceTo4(const gdi::Dib& dib);
};
// nullptr puts the imaging library back.
void SetImagingCalls(ImagingCalls* calls);

// How a picture of fileBits is loaded on a screen of screenBits: at the
// file's depth when the screen holds it (or is above 8 bits), at the
// screen's for 5 to 8 bits, else at the file's and reduced to 16 colours.
struct LoadPlan {
  int bits = 0;
  bool fileDepth = true;
  bool reduceTo4 = false;
  friend bool operator==(const LoadPlan&, const LoadPlan&) = default;
};
LoadPlan PlanLoad(int screenBits, int fileBits);

enum class Mode { Logo, About };

struct DialogSetup {
  Mode mode = Mode::Logo;
  bool custom = false;
  bool blackness = false;
  uint32_t intervalMs = 3000;
  std::string imagePath;
  int codePage = sys::kDefaultCodePage;
  std::string fontSpec;                // "face:height" or "face"
  std::array<std::string, 4> texts;    // about texts 14 to 17, code-page bytes
  std::function<void()> onClose;       // IDOK, before the window goes
  std::function<void()> onGone;        // the object is being deleted
};

class CLogoDialog : public ui::ScreenWindow {
public:
  explicit CLogoDialog(DialogSetup setup);
  ~CLogoDialog() override;

  // Makes and shows the window; false when it cannot be made (the object is
  // then the caller's to delete).
  bool Create(const std::string& caption);
  // Draws text in the text rectangle (nothing with a custom picture).
  void DrawTextLine(std::string_view text);

  Mode GetMode() const { return setup_.mode; }
  bool HasImage() const { return image_.has_value(); }
  const std::optional<gdi::imaging::Transition>& CurrentTransition() const { return transition_; }
  gdi::Rect ImageRect() const;
  uint32_t TextNumber() const { return textNumber_; }
  const std::string& TextBuffer() const { return buffer_; }
  size_t ScrollPosition() const { return scroll_; }
  const std::shared_ptr<const gdi::Font>& AboutFont() const { return font_; }

  void SetGoneCallback(std::function<void()> gone) { setup_.onGone = std::move(gone); }
  void Detached() override { delete this; }

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  bool LoadImage();
  void OnShown();
  bool StartCloseTimer();
  void OnPaint();
  void OnEffectTick();
  void OnScrollTick();
  void OnOk();
  void FillBuffer();
  void DrawInTextRect(std::string_view text);
  void RealizeAndRepaint();

  DialogSetup setup_;
  std::optional<gdi::Dib> image_;
  std::shared_ptr<gdi::Palette> palette_;
  gdi::Point blackAt_{0, 0}; // the picture's place on the black screen
  std::optional<gdi::imaging::Transition> transition_;
  uint64_t effectStart_ = 0;
  std::shared_ptr<const gdi::Font> font_;
  uint32_t textNumber_ = kFirstAboutText;
  std::string buffer_;
  size_t scroll_ = 0;
  bool timing_ = false;
  bool closing_ = false;
};

} // namespace logo
