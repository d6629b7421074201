// Small services shared by the display program's windows: the settings file's
// path, file and drive tests, whole-file loading, window rectangles kept in
// the settings file, the platform test and the random fraction behind the
// random background picks.
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace display {

// The classic three-dimensional colours of buttons and window edges.
inline constexpr gdi::Colour kColour3dFace = gdi::Rgb(192, 192, 192);
inline constexpr gdi::Colour kColour3dHighlight = gdi::Rgb(255, 255, 255);
inline constexpr gdi::Colour kColour3dShadow = gdi::Rgb(128, 128, 128);
inline constexpr gdi::Colour kColour3dDarkShadow = gdi::Rgb(0, 0, 0);

// The module's path cut after its last separator ('/' or '\'), with
// "config.ini" appended.
std::string ConfigIniPath(std::string_view module);

// Counts the entries of folder whose names match pattern ('*' and '?',
// letter case ignored, as a directory search matches); 0 when the folder
// cannot be read.
int32_t CountFiles(std::string_view folder, std::string_view pattern);

// The largest file LoadFileToGlobal reads.
inline constexpr int64_t kMaxLoadedFileSize = int64_t{256} << 20;

// Replaces block with the whole file, zero-filled first and read from offset
// 0. Returns the size, or -1 (block emptied) for a missing or unreadable
// file, one above kMaxLoadedFileSize, or a short read.
int64_t LoadFileToGlobal(const std::string& file, std::vector<uint8_t>& block);

struct OverlayChecks {
  int32_t overlay = 0; // [Overlay] Check: look for an overlay card
  int32_t mpeg = 0;    // [Mpeg] Check: look for the MPEG board
};
OverlayChecks ReadOverlayChecks(const std::string& configPath);

// Draws the window's outer edge, raised, in the three-dimensional colours.
void DrawWindowFrame(win::Hwnd window);

// The open-file dialog with the caller's filter ("Name|*.a;*.b|...||") and
// starting name; the chosen path, or nullopt for Cancel.
std::optional<std::string> OpenFileDialog(win::Hwnd owner, std::string_view filter,
                                          std::string_view fileName = {});

// No path (nullptr): 1; an empty path: 0; otherwise 1 when the file or
// folder exists (letter case ignored when the exact name is missing).
int32_t FileExists(const char* path);
bool FileExists(std::string_view path);

// Rewrites the colour table of a BMP file in memory (2, 16 or 256 entries
// for 1, 4 and 8 bits per pixel, or the stated number of used colours; none
// for other depths): each (192, 192, 192) becomes the face colour, then each
// (255, 255, 255) the highlight colour, then each (128, 128, 128) the shadow
// colour. False, bytes unchanged, for a truncated or malformed file.
bool MapBitmapColours(std::vector<uint8_t>& bmp, gdi::Colour face = kColour3dFace,
                      gdi::Colour highlight = kColour3dHighlight,
                      gdi::Colour shadow = kColour3dShadow);
// Bitmap id of the resource module ("bitmaps/<id>.bmp") with its colours
// mapped; nullopt when there is no such bitmap.
std::optional<std::vector<uint8_t>> MapBitmapColours(uint32_t id);

// Writes the window's screen rectangle as decimal text under "x", "y",
// "cx", "cy" (left, top, right, bottom) of section.
bool SaveWindowRect(win::Hwnd window, std::string_view section, const std::string& configPath);
bool SaveRect(const gdi::Rect& rect, std::string_view section, const std::string& configPath);

// Sets position and size without changing the z-order or activating.
bool PlaceWindow(win::Hwnd window, const gdi::Rect& rect);

// True for a window with the pop-up style (a floating view).
bool IsPopup(win::Hwnd window);

// Moves the rectangle by to - from.
gdi::Rect OffsetRect(const gdi::Rect& rect, gdi::Point from, gdi::Point to);

// True when the path (stored or Linux form) lies on an optical disc or a
// network file system.
bool IsSlowDrive(std::string_view path);

// The suite always runs as on the NT platform.
inline int32_t IsNT() {
  return 1;
}

// The random fraction: x = frac(x * 9821.0 + 0.311327), each call; the first
// call seeds itself from the clock unless SeedRandomFraction came first.
double RandomFraction();
// Seeds from a 32-bit number (as the clock's milliseconds times 294967295).
void SeedRandomFraction(uint32_t seed);
// Seeds from the time of day, as the program does at start.
void SeedRandomFractionFromClock();

} // namespace display
