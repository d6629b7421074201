#include "display/stills/background.h"

#include "display/stills/stills.h"
#include "platform/sys/bytes.h"

#include <algorithm>

namespace stills {

std::optional<BackgroundFile> ReadBackgroundFile(std::span<const uint8_t> file) {
  if (file.size() < kMinStillFileSize)
    return std::nullopt;
  sys::ByteReader in(file);
  auto fileHeader = gdi::ReadBitmapFileHeader(in);
  if (!fileHeader || fileHeader->type != gdi::kBmpMagic)
    return std::nullopt;
  bool core = false;
  auto infoHeader = gdi::ReadBitmapInfoHeader(in, &core);
  if (!infoHeader || infoHeader->compression != gdi::kBiRgb)
    return std::nullopt;
  // The colour table lies between the header and the pixels, and is read
  // only as far as it goes: a header may ask for more entries than lie
  // there (clrUsed 0 asks for 2^bits), and deep bitmaps need none.
  const size_t tableStart = in.Position();
  const size_t offBits = fileHeader->offBits;
  if (offBits < tableStart || offBits > file.size())
    return std::nullopt;
  const size_t entrySize = core ? 3 : 4;
  const size_t present = (offBits - tableStart) / entrySize;
  const int bits = infoHeader->bitCount;
  const size_t count =
      bits <= 8 ? std::min<size_t>(static_cast<size_t>(gdi::DibColourCount(*infoHeader)), present)
                : 0;
  if (bits <= 8 && count == 0)
    return std::nullopt;

  // The bitmap in packed form: a 40-byte header saying how many entries
  // follow, the entries, the pixels. Dib checks the sides and pixel bytes.
  gdi::BitmapInfoHeader packedHeader = *infoHeader;
  packedHeader.size = gdi::kBitmapInfoHeaderSize;
  packedHeader.clrUsed = static_cast<uint32_t>(count);
  sys::ByteWriter packed;
  gdi::WriteBitmapInfoHeader(packed, packedHeader);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = file.data() + tableStart + i * entrySize;
    packed.Bytes(std::span<const uint8_t>(e, 3));
    packed.U8(0);
  }
  packed.Bytes(file.subspan(offBits));
  auto dib = gdi::Dib::FromPacked(packed.Data());
  if (!dib)
    return std::nullopt;
  BackgroundFile out{*fileHeader, *infoHeader, std::move(*dib), {}};
  for (const gdi::RgbQuad& q : out.dib.Colours())
    out.palette.push_back(gdi::PaletteEntry{q.red, q.green, q.blue, 0});
  return out;
}

} // namespace stills
