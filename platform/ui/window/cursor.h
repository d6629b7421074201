// Mouse cursors: the standard shapes, cursors made from images (what the
// resource bundles and cursor files give), and animated ones. A window shows
// its class cursor unless its WM_SETCURSOR handler sets another.
#pragma once

#include "platform/gdi/types.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace ui {

// Standard cursor ids.
inline constexpr uint32_t IDC_ARROW = 32512;
inline constexpr uint32_t IDC_IBEAM = 32513;
inline constexpr uint32_t IDC_WAIT = 32514;
inline constexpr uint32_t IDC_CROSS = 32515;
inline constexpr uint32_t IDC_UPARROW = 32516;
inline constexpr uint32_t IDC_SIZENWSE = 32642;
inline constexpr uint32_t IDC_SIZENESW = 32643;
inline constexpr uint32_t IDC_SIZEWE = 32644;
inline constexpr uint32_t IDC_SIZENS = 32645;
inline constexpr uint32_t IDC_SIZEALL = 32646;
inline constexpr uint32_t IDC_NO = 32648;
inline constexpr uint32_t IDC_HAND = 32649;
inline constexpr uint32_t IDC_APPSTARTING = 32650;
inline constexpr uint32_t IDC_HELP = 32651;

// One picture of a cursor: pixels row by row from the top as 0xAARRGGBB
// (alpha 0 is transparent), and the point that is the mouse position.
struct CursorImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> argb;
  gdi::Point hotspot;
};

inline constexpr int32_t kMaxCursorSide = 256;
inline constexpr size_t kMaxCursorFrames = 256;

class Cursor {
public:
  struct Impl;
  explicit Cursor(std::unique_ptr<Impl> impl);
  ~Cursor();
  const Impl& Internals() const { return *impl_; }

private:
  std::unique_ptr<Impl> impl_;
};
using CursorHandle = std::shared_ptr<const Cursor>;

// A standard cursor; null for an unknown id. The same handle each time.
CursorHandle LoadCursor(uint32_t id);
// Null for an empty image, one whose pixel count does not match its size,
// a side above kMaxCursorSide or a hot spot outside it.
CursorHandle CreateCursor(const CursorImage& image);
// Frames shown in turn, each for its time in milliseconds (at least 10);
// null when any frame is invalid, there are none or more than
// kMaxCursorFrames, or the times do not match the frames.
CursorHandle CreateAnimatedCursor(const std::vector<CursorImage>& frames,
                                  const std::vector<uint32_t>& frameMs);
size_t CursorFrameCount(const CursorHandle& cursor);

// Makes cursor the one shown over the window the mouse is over (or the
// capturing window); null hides it. Returns the one shown before.
CursorHandle SetCursor(CursorHandle cursor);
CursorHandle GetCursor();

// Shows the wait cursor while it lives, then the cursor shown before.
class WaitCursor {
public:
  WaitCursor() : previous_(SetCursor(LoadCursor(IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

private:
  CursorHandle previous_;
};

} // namespace ui
