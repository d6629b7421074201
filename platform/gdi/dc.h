// A device context: the drawing state (font, pen, brush, colours, modes,
// clip rectangle, current position) and the drawing operations, on a window's
// surface or, for a memory context, on the bitmap selected into it. A context
// belongs to one thread at a time; its surface may be drawn on by several.
#pragma once

#include "platform/gdi/dib.h"
#include "platform/gdi/font.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/types.h"

#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace gdi {

class InkRuns;
struct InkPlacement;

// Background modes.
constexpr int kTransparent = 1;
constexpr int kOpaque = 2;

// Text alignment flags (horizontal and vertical reference of TextOut).
constexpr uint32_t kTaLeft = 0;
constexpr uint32_t kTaUpdateCp = 1;
constexpr uint32_t kTaRight = 2;
constexpr uint32_t kTaCenter = 6;
constexpr uint32_t kTaTop = 0;
constexpr uint32_t kTaBottom = 8;
constexpr uint32_t kTaBaseline = 24;

// ExtTextOut options.
constexpr uint32_t kEtoOpaque = 0x0002;
constexpr uint32_t kEtoClipped = 0x0004;

// DrawText formats.
constexpr uint32_t kDtTop = 0x0000;
constexpr uint32_t kDtLeft = 0x0000;
constexpr uint32_t kDtCenter = 0x0001;
constexpr uint32_t kDtRight = 0x0002;
constexpr uint32_t kDtVCenter = 0x0004;
constexpr uint32_t kDtBottom = 0x0008;
constexpr uint32_t kDtSingleLine = 0x0020;
constexpr uint32_t kDtExpandTabs = 0x0040;
constexpr uint32_t kDtNoClip = 0x0100;
constexpr uint32_t kDtExternalLeading = 0x0200;
constexpr uint32_t kDtCalcRect = 0x0400;
constexpr uint32_t kDtNoPrefix = 0x0800;

// Pen styles.
constexpr int kPsSolid = 0;
constexpr int kPsDash = 1;
constexpr int kPsDot = 2;
constexpr int kPsDashDot = 3;
constexpr int kPsDashDotDot = 4;
constexpr int kPsNull = 5;
constexpr int kPsInsideFrame = 6;

// Brush styles.
constexpr int kBsSolid = 0;
constexpr int kBsNull = 1;

// Mix modes of pens and brushes: the 16 binary operations of pen P and
// destination D, numbered as the drawing mode is set.
constexpr int kR2Black = 1;
constexpr int kR2Not = 6;
constexpr int kR2XorPen = 7;
constexpr int kR2NotXorPen = 10;
constexpr int kR2Nop = 11;
constexpr int kR2CopyPen = 13;
constexpr int kR2White = 16;

// Raster operations of the block transfers: any of the 256 ternary
// operations of pattern (the brush), source and destination; these are the
// named ones.
constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint32_t kSrcPaint = 0x00EE0086;
constexpr uint32_t kSrcAnd = 0x008800C6;
constexpr uint32_t kSrcInvert = 0x00660046;
constexpr uint32_t kSrcErase = 0x00440328;
constexpr uint32_t kNotSrcCopy = 0x00330008;
constexpr uint32_t kNotSrcErase = 0x001100A6;
constexpr uint32_t kMergeCopy = 0x00C000CA;
constexpr uint32_t kMergePaint = 0x00BB0226;
constexpr uint32_t kPatCopy = 0x00F00021;
constexpr uint32_t kPatPaint = 0x00FB0A09;
constexpr uint32_t kPatInvert = 0x005A0049;
constexpr uint32_t kDstInvert = 0x00550009;
constexpr uint32_t kBlackness = 0x00000042;
constexpr uint32_t kWhiteness = 0x00FF0062;

// Stretching modes; every mode stretches by nearest neighbour, dropping
// eliminated rows and columns without blending.
constexpr int kBlackOnWhite = 1;
constexpr int kWhiteOnBlack = 2;
constexpr int kColorOnColor = 3;

// The screen's colour depth that DeviceCaps(BitsPixel) reports for every
// context, 32 by default (a value of 0 or less restores it): the programs'
// choices for screens of fewer colours can be run on any display. At 8 bits
// the contexts report a palette device (system_palette.h).
void SetScreenBitsPerPixel(int bits);

// Device capabilities.
enum class DeviceCap {
  HorzRes,
  VertRes,
  BitsPixel,
  Planes,
  NumColors,
  LogPixelsX,
  LogPixelsY,
  SizePalette,
  NumReserved,
  HasPalette,
};

struct Pen {
  int style = kPsSolid;
  int width = 1; // 0 is one pixel too
  Colour colour = 0;
};

struct Brush {
  int style = kBsSolid;
  Colour colour = Rgb(255, 255, 255);
};

inline Pen NullPen() {
  return Pen{kPsNull, 1, 0};
}
inline Brush NullBrush() {
  return Brush{kBsNull, 0};
}
inline Brush SolidBrush(Colour c) {
  return Brush{kBsSolid, c};
}

class Dc {
public:
  // A context on a surface (a window's client area, or a bitmap directly).
  explicit Dc(std::shared_ptr<Surface> target);
  // A memory context: drawing goes to the bitmap selected into it, one
  // black pixel until one is selected.
  static Dc CreateMemory();
  Dc(Dc&&) noexcept;
  Dc& operator=(Dc&&) noexcept;
  ~Dc();

  // False once the surface is closed (its window destroyed).
  bool IsValid() const;
  bool IsMemory() const;
  const std::shared_ptr<Surface>& Target() const;

  // Memory contexts only: nullptr back (and nothing changed) for a window
  // context or a null bitmap.
  std::shared_ptr<Bitmap> SelectBitmap(std::shared_ptr<Bitmap> bitmap);

  // Selections return what was selected before. A context without a font
  // of its own draws in the system font.
  std::shared_ptr<const Font> SelectFont(std::shared_ptr<const Font> font);
  const std::shared_ptr<const Font>& CurrentFont();
  Pen SelectPen(const Pen& pen);
  Brush SelectBrush(const Brush& brush);
  std::shared_ptr<Palette> SelectPalette(std::shared_ptr<Palette> palette, bool background);
  // Realising maps the selected palette into the system palette of the
  // palette screen (system_palette.h) and returns how many entries
  // changed; nothing on a true-colour screen or in a memory context.
  int RealizePalette();

  Colour SetTextColor(Colour c);
  Colour TextColor() const;
  Colour SetBkColor(Colour c);
  Colour BkColor() const;
  int SetBkMode(int mode); // previous mode; 0 (nothing changed) for an unknown mode
  int BkMode() const;
  uint32_t SetTextAlign(uint32_t align);
  uint32_t TextAlign() const;
  int SetRop2(int mode); // previous mode; 0 for an unknown mode
  int Rop2() const;
  int SetStretchBltMode(int mode);
  // The system code page the default character set stands for, in fonts
  // this context makes for itself.
  int SystemCodePage() const;
  void SetSystemCodePage(int codePage);

  // The state stack: Save returns the new depth (0 on failure); Restore
  // takes a depth from Save or a negative count back from the top.
  int Save();
  bool Restore(int saved);

  // Clipping (device coordinates).
  void SetClipRect(const Rect& r);
  void ClearClip();
  void IntersectClipRect(const Rect& r);
  // The area drawing can reach: the clip rectangle within the surface.
  Rect ClipBox() const;

  Point MoveTo(int32_t x, int32_t y);
  Point CurrentPosition() const;
  bool LineTo(int32_t x, int32_t y);
  bool Polyline(std::span<const Point> points);

  // Fills with the colour or brush, ignoring the mix mode.
  bool FillRect(const Rect& r, Colour colour);
  bool FillRect(const Rect& r, const Brush& brush);
  // A one-pixel frame in the colour.
  bool FrameRect(const Rect& r, Colour colour);
  bool InvertRect(const Rect& r);
  // Outline in the pen, inside in the brush, within (left, top) to
  // (right, bottom) exclusive.
  bool Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
  bool Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // The brush (pattern) with the destination, by raster operation.
  bool PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);
  Colour SetPixel(int32_t x, int32_t y, Colour c); // the colour set, kInvalidColour outside
  Colour GetPixel(int32_t x, int32_t y) const;

  // Text in code-page bytes of the selected font.
  bool TextOut(int32_t x, int32_t y, std::string_view text);
  bool ExtTextOut(int32_t x, int32_t y, uint32_t options, const Rect* rect, std::string_view text);
  // Draws formatted text in the rectangle; returns the text's height (0 on
  // failure). With kDtCalcRect only sets the rectangle's right and bottom.
  int DrawText(std::string_view text, Rect& rect, uint32_t format);
  // Width of the text and the font's cell height.
  Size TextExtent(std::string_view text);
  // Paints ink runs (their origin at x, y) in the colour, within the clip.
  bool FillInk(const InkRuns& ink, int32_t x, int32_t y, Colour colour);
  // The same for each ink in turn, laid down in one pass row by row.
  bool FillInks(std::span<const InkPlacement> inks);
  // Fills the rectangle (within the clip) with a colour and lays the inks
  // over it within the rectangle: FillRect, then FillInks clipped to the
  // rectangle, each row written once while it is at hand.
  bool FillRectWithInks(const Rect& rect, Colour colour, std::span<const InkPlacement> inks);
  TextMetrics GetTextMetrics();

  // Block transfers. Source pixels outside the source surface leave the
  // destination as it was.
  bool BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Dc& source, int32_t sx,
              int32_t sy, uint32_t rop);
  bool BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Surface& source,
              int32_t sx, int32_t sy, uint32_t rop);
  // Nearest-neighbour stretching: destination column i takes source column
  // sx + i x sw / dw (rounded down), rows likewise.
  bool StretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Dc& source, int32_t sx,
                  int32_t sy, int32_t sw, int32_t sh, uint32_t rop);
  bool StretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Surface& source,
                  int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t rop);
  // A device-independent bitmap's rectangle (sx, sy counted from its top
  // row) stretched likewise. Returns the number of rows transferred, 0 on
  // failure.
  int StretchDib(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sx, int32_t sy,
                 int32_t sw, int32_t sh, const DibView& dib, uint32_t rop);

  int DeviceCaps(DeviceCap cap) const;

  struct State;

private:
  Dc();
  std::unique_ptr<State> state_;
  std::vector<State> saved_;
  std::shared_ptr<Surface> target_;
  bool memory_ = false;
};

} // namespace gdi
