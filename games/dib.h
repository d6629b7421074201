// The games' 8-bit device-independent bitmap: one 1,064-byte block holding
// a 40-byte info header and room for 256 colour entries, and pixel rows
// stored bottom-up as in a BMP file, each padded to a multiple of 4 bytes.
// Pixels are addressed top-down. Read from ".bmp" files, drawn stretched,
// remapped to a palette, and copied rectangle by rectangle between two
// bitmaps with an optional transparent index.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace games {

inline constexpr size_t kDibColourEntries = 256;
inline constexpr size_t kDibHeaderBlock =
    gdi::kBitmapInfoHeaderSize + 4 * kDibColourEntries; // 1,064 bytes
inline constexpr const char* kDibFilter =
    "Image files (*.DIB, *.BMP)|*.DIB;*.BMP|All files (*.*)|*.*||";
inline constexpr const char* kFailedToOpen = "Failed to open file";
inline constexpr const char* kFailedToLoad = "Failed to load file";
inline constexpr const char* kOnly8Bpp = "Only 8-bpp DIBs are supported";

class CDIB {
public:
  // A blank 16 x 16 bitmap.
  CDIB();
  virtual ~CDIB();
  CDIB(const CDIB&) = delete;
  CDIB& operator=(const CDIB&) = delete;

  // Reads a bitmap file; an empty path asks for one with the open-file
  // dialog (0 when cancelled). A file that cannot be opened or read is
  // reported in a message box. Non-zero on success.
  virtual int Load(const std::string& path);
  // Reads a bitmap file starting at the file's position: the file header,
  // a 40-byte or 12-byte header (longer ones are refused), its colour table
  // (12-byte files: 3-byte entries widened) and exactly stride x height
  // pixel bytes at the header's pixel offset (the file size field is not
  // trusted). Refuses more than 256 colours, compression, top-down rows,
  // zero or oversized sides and short reads. 1 on success; 0 leaves the
  // object as it was.
  virtual int ReadFromFile(std::FILE* file);
  // Stretches the whole bitmap into the rectangle; a width or height of 0
  // is the bitmap's own. The stretch call's result.
  virtual int DrawStretched(gdi::Dc& dc, int32_t x, int32_t y, int32_t width, int32_t height);
  virtual int32_t GetWidth() const;
  virtual int32_t GetHeight() const;
  // Rewrites every pixel byte (row filler included) to the palette's index
  // nearest to its colour and takes the palette's first 256 colours as the
  // colour table. 0 without a palette.
  virtual int MatchToPalette(const gdi::Palette* palette);
  virtual void GetRect(gdi::Rect* rect) const;
  // Copies a w x h rectangle at (sx, sy) into destination at (dx, dy), row
  // by row from the lowest; key -1 copies every byte, any other key skips
  // source bytes equal to its low byte. Rectangles lie inside both bitmaps.
  virtual void BlitRect(CDIB& destination, int32_t dx, int32_t dy, int32_t w, int32_t h,
                        int32_t sx, int32_t sy, int key) const;

  // A grey 8-bit bitmap of zero pixels; 0 when the sides are refused (the
  // object then stays as it was).
  int CreateBlank(int32_t width, int32_t height);
  // Copies a header and as much of its colour table as block holds (at
  // most the header's colour count), and uses pixels without owning them.
  // 0 for a block shorter than a 40-byte header.
  int AttachBits(std::span<const uint8_t> block, uint8_t* pixels);
  // The pixel at column x, row y from the top; nullptr outside.
  uint8_t* GetPixelAddress(int32_t x, int32_t y);
  const uint8_t* GetPixelAddress(int32_t x, int32_t y) const;
  // Colours of the header: 2, 16 or 256 by the bit count (0 for others),
  // a non-zero colour-used count instead.
  int NumColors() const;

  const gdi::BitmapInfoHeader& Info() const { return info_; }
  // The 1,064-byte block: the header and 256 colour entries.
  std::span<const uint8_t> HeaderBlock() const { return {block_, kDibHeaderBlock}; }
  std::span<gdi::RgbQuad> ColourTable();
  std::span<const gdi::RgbQuad> ColourTable() const;
  size_t Stride() const;
  uint8_t* Bits() { return bits_; }
  const uint8_t* Bits() const { return bits_; }
  bool OwnsBits() const { return owns_; }
  // For the drawing layer: the header, the colour table and the pixels.
  gdi::DibView View() const;

private:
  void Replace(uint8_t* block, uint8_t* bits, bool owns);
  void SyncInfo();

  uint8_t* block_ = nullptr;
  gdi::BitmapInfoHeader info_;
  uint8_t* bits_ = nullptr;
  bool owns_ = false;
};

// A game's picture: Load, then only 8 bits a pixel are taken; any other
// depth is reported with kOnly8Bpp and refused. Non-zero on success.
int LoadGameBitmap(CDIB& dib, const std::string& path);

} // namespace games
