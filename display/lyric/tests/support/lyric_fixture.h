// A stand-in for the lyric view's window in tests: a scratch folder with its
// own "config.ini", the style table, the frame's fields and the line slots
// drawing on a backing image over a patterned background, with the areas
// invalidated painted again on request as a window's paint would.
#pragma once

#include "display/lyric/colour_wipe.h"
#include "display/lyric/lyric_geometry.h"
#include "display/lyric/lyric_lines.h"
#include "display/lyric/lyric_style_table.h"
#include "platform/gdi/dc.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace display::testing {

class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);

// A background no text colour repeats in a regular way.
gdi::Colour BackgroundAt(int32_t x, int32_t y);
std::shared_ptr<gdi::Surface> MakeBackground(int32_t width, int32_t height);

// The colours of group 0, distinct from each other.
constexpr gdi::Colour kUnsungText = gdi::Rgb(255, 255, 0);
constexpr gdi::Colour kUnsungOutline = gdi::Rgb(0, 0, 160);
constexpr gdi::Colour kSungText = gdi::Rgb(255, 0, 255);
constexpr gdi::Colour kSungOutline = gdi::Rgb(255, 255, 255);

// A "config.ini" giving group 0 the colours above (or, swapped, the sung
// ones where the unsung go), face and outline as asked.
std::string StyleIni(const std::string& sectionName, bool swapped, const std::string& face = "",
                     int outline = 1, const std::string& extraKeys = "");

class TestView {
public:
  // A view of that size laid out and painted; sungColours swaps the unsung
  // and sung colours of group 0, for reference renderings.
  TestView(int32_t width, int32_t height, bool sungColours = false, const std::string& face = "",
           int outline = 1, const std::string& extraKeys = "");
  ~TestView();

  LyricStyleTable& Styles() { return *styles_; }
  LyricFrameState& Frame() { return frame_; }
  LyricLines& Lines() { return *lines_; }
  const std::shared_ptr<gdi::Surface>& Surface() const { return surface_; }
  std::vector<gdi::Colour> Pixels() const { return surface_->CopyPixels(); }

  // Paints what was invalidated since the last call: the background there
  // first, then the view's paint.
  void Flush();
  // Everything again, as a window repainted whole.
  void RepaintAll();
  // The window takes a new size: a new backing image (and background), and
  // the lines laid out for it; everything awaits the paint.
  void Resize(int32_t width, int32_t height);
  // Areas the wipe asked to show, and areas invalidated, since last asked.
  std::vector<gdi::Rect> TakeUpdates();
  std::vector<gdi::Rect> TakeInvalidated() { return std::exchange(invalidated_, {}); }

private:
  ScratchDir dir_;
  std::unique_ptr<LyricStyleTable> styles_;
  LyricFrameState frame_;
  std::unique_ptr<LyricLines> lines_;
  std::shared_ptr<gdi::Surface> surface_;
  std::shared_ptr<gdi::Surface> background_;
  gdi::Rect pending_;
  std::vector<gdi::Rect> invalidated_;
  std::mutex updatesMutex_;
  std::vector<gdi::Rect> updates_;
};

// Pixels of one rectangle, row by row.
std::vector<gdi::Colour> PixelsIn(const std::vector<gdi::Colour>& all, int32_t width,
                                  const gdi::Rect& area);

} // namespace display::testing
