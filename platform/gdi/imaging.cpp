#include "platform/gdi/imaging.h"

#include "platform/sys/ascii.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <mutex>
#include <string>
#include <vector>

namespace gdi::imaging {
namespace {

struct Registered {
  std::string extension;
  Reader reader;
};

std::mutex readersMutex;
// Guarded by readersMutex.
std::vector<Registered>& Readers() {
  static std::vector<Registered> readers;
  return readers;
}

std::vector<Registered>::iterator FindReader(std::string_view extension) {
  return std::find_if(Readers().begin(), Readers().end(), [&](const Registered& r) {
    return sys::EqualIgnoringAsciiCase(r.extension, extension);
  });
}

// The registered reader for the name's extension, or an empty one.
Reader ReaderFor(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos)
    return {};
  std::lock_guard lock(readersMutex);
  auto it = FindReader(name.substr(dot + 1));
  return it == Readers().end() ? Reader{} : it->reader;
}

std::optional<std::vector<uint8_t>> ReadWhole(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxImageFileBytes)
    return std::nullopt;
  const QByteArray bytes = file.readAll();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// The depth a Qt image format stands for in a bitmap.
int BitsOfFormat(QImage::Format format) {
  switch (format) {
  case QImage::Format_Invalid:
    return 0;
  case QImage::Format_Mono:
  case QImage::Format_MonoLSB:
    return 1;
  case QImage::Format_Indexed8:
  case QImage::Format_Grayscale8:
  case QImage::Format_Alpha8:
    return 8;
  case QImage::Format_RGB16:
  case QImage::Format_RGB555:
  case QImage::Format_RGB444:
    return 16;
  default:
    return QImage::toPixelFormat(format).alphaUsage() == QPixelFormat::UsesAlpha ? 32 : 24;
  }
}

QImage ImageOfDib(const Dib& dib) {
  const DibView view = dib.View();
  if (dib.BitCount() <= 8) {
    QImage image(dib.Width(), dib.Height(), QImage::Format_Indexed8);
    QList<QRgb> table;
    for (const RgbQuad& q : dib.Colours())
      table.push_back(qRgb(q.red, q.green, q.blue));
    // Indexes past the table read as black, as the bitmap draws them.
    const int used = 1 << dib.BitCount();
    while (table.size() < used)
      table.push_back(qRgb(0, 0, 0));
    image.setColorTable(table);
    for (int32_t y = 0; y < dib.Height(); ++y) {
      const uint8_t* row = dib.RowFromTop(y);
      uchar* out = image.scanLine(y);
      for (int32_t x = 0; x < dib.Width(); ++x) {
        switch (dib.BitCount()) {
        case 1:
          out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
          break;
        case 4:
          out[x] = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
          break;
        default:
          out[x] = row[x];
        }
      }
    }
    return image;
  }
  QImage image(dib.Width(), dib.Height(), QImage::Format_RGB32);
  for (int32_t y = 0; y < dib.Height(); ++y) {
    QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int32_t x = 0; x < dib.Width(); ++x) {
      const Colour c = view.PixelColour(x, y);
      out[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
    }
  }
  return image;
}

// An indexed image as a bitmap of bits (1, 4 or 8) with its table.
std::optional<Dib> IndexedDib(const QImage& indexed, int bits) {
  auto dib = Dib::Create(indexed.width(), indexed.height(), bits);
  if (!dib)
    return std::nullopt;
  const QList<QRgb> table = indexed.colorTable();
  const size_t count = std::min<size_t>(static_cast<size_t>(table.size()), size_t{1} << bits);
  dib->Colours().resize(std::max<size_t>(count, 1));
  for (size_t i = 0; i < count; ++i)
    dib->Colours()[i] = QuadOf(Rgb(qRed(table[i]), qGreen(table[i]), qBlue(table[i])));
  for (int y = 0; y < indexed.height(); ++y) {
    const uchar* in = indexed.constScanLine(y);
    uint8_t* row = dib->RowFromTop(y);
    for (int x = 0; x < indexed.width(); ++x) {
      const uint8_t index = in[x];
      if (bits == 1)
        row[x >> 3] |= static_cast<uint8_t>((index & 1) << (7 - (x & 7)));
      else if (bits == 4)
        row[x >> 1] |= static_cast<uint8_t>((x & 1) ? (index & 0x0F) : (index << 4));
      else
        row[x] = index;
    }
  }
  return dib;
}

std::optional<Dib> TrueColourDib(const QImage& image, int bits) {
  auto dib = Dib::Create(image.width(), image.height(), bits);
  if (!dib)
    return std::nullopt;
  const QImage rgb =
      image.convertToFormat(bits == 32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  const int step = bits / 8;
  for (int y = 0; y < rgb.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uint8_t* row = dib->RowFromTop(y);
    for (int x = 0; x < rgb.width(); ++x) {
      uint8_t* p = row + x * step;
      p[0] = static_cast<uint8_t>(qBlue(in[x]));
      p[1] = static_cast<uint8_t>(qGreen(in[x]));
      p[2] = static_cast<uint8_t>(qRed(in[x]));
      if (step == 4)
        p[3] = static_cast<uint8_t>(qAlpha(in[x]));
    }
  }
  return dib;
}

// The sixteen colours of a 4-bit screen, in their usual order.
constexpr std::array<QRgb, 16> kSixteenColours = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

int NearestOfSixteen(int r, int g, int b) {
  int best = 0;
  int64_t bestDistance = INT64_MAX;
  for (int i = 0; i < 16; ++i) {
    const int dr = r - qRed(kSixteenColours[i]), dg = g - qGreen(kSixteenColours[i]),
              db = b - qBlue(kSixteenColours[i]);
    const int64_t d = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

// Floyd-Steinberg error diffusion onto the sixteen colours.
QImage DitherToSixteen(const QImage& source) {
  const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
  const int w = rgb.width(), h = rgb.height();
  QImage out(w, h, QImage::Format_Indexed8);
  out.setColorTable(QList<QRgb>(kSixteenColours.begin(), kSixteenColours.end()));
  // Errors of this row and the next, per channel, with a column of margin
  // on each side.
  std::vector<int> current(static_cast<size_t>(w + 2) * 3), next(current.size());
  for (int y = 0; y < h; ++y) {
    std::fill(next.begin(), next.end(), 0);
    const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uchar* row = out.scanLine(y);
    for (int x = 0; x < w; ++x) {
      int want[3] = {qRed(in[x]), qGreen(in[x]), qBlue(in[x])};
      for (int c = 0; c < 3; ++c)
        want[c] = std::clamp(want[c] + current[(x + 1) * 3 + c] / 16, 0, 255);
      const int index = NearestOfSixteen(want[0], want[1], want[2]);
      row[x] = static_cast<uchar>(index);
      const int got[3] = {qRed(kSixteenColours[index]), qGreen(kSixteenColours[index]),
                          qBlue(kSixteenColours[index])};
      for (int c = 0; c < 3; ++c) {
        const int e = want[c] - got[c];
        current[(x + 2) * 3 + c] += e * 7;
        next[x * 3 + c] += e * 3;
        next[(x + 1) * 3 + c] += e * 5;
        next[(x + 2) * 3 + c] += e;
      }
    }
    std::swap(current, next);
  }
  return out;
}

// The image as a bitmap of the depth asked for (0: the image's own).
std::optional<Dib> DibOfImage(const QImage& image, int bits) {
  if (image.isNull())
    return std::nullopt;
  const int own = BitsOfFormat(image.format());
  const bool indexed = own <= 8;
  switch (bits) {
  case 0:
    if (own == 1)
      return IndexedDib(image.convertToFormat(QImage::Format_Indexed8), 1);
    if (indexed)
      return IndexedDib(image.convertToFormat(QImage::Format_Indexed8), 8);
    return TrueColourDib(image, own == 16 ? 24 : own);
  case 8:
    return IndexedDib(image.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither), 8);
  case 4: {
    // Qt's indexed conversion keeps an exact table up to 256 colours, of the
    // colours used, not those a table holds.
    const QImage eight =
        image.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    if (eight.colorCount() <= 16)
      return IndexedDib(eight, 4);
    return IndexedDib(DitherToSixteen(image), 4);
  }
  default:
    return std::nullopt;
  }
}

QImage ReadWithQt(std::span<const uint8_t> file, bool headerOnly, QSize* size,
                  QImage::Format* format) {
  QByteArray bytes(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(false);
  if (headerOnly) {
    if (size)
      *size = reader.size();
    if (format)
      *format = reader.imageFormat();
    return {};
  }
  return reader.read();
}

std::optional<Dib> ReadRegistered(const Reader& reader, std::span<const uint8_t> file) {
  Dib dib;
  if (reader(file, dib) && dib.Width() > 0 && dib.Height() > 0)
    return dib;
  return std::nullopt;
}

} // namespace

void RegisterReader(std::string_view extension, Reader reader) {
  std::lock_guard lock(readersMutex);
  auto it = FindReader(extension);
  if (it != Readers().end())
    Readers().erase(it);
  if (reader)
    Readers().push_back(Registered{std::string(extension), std::move(reader)});
}

std::optional<FileInfo> GetFileInfo(const std::string& path) {
  auto file = ReadWhole(path);
  if (!file)
    return std::nullopt;
  if (Reader reader = ReaderFor(path)) {
    auto dib = ReadRegistered(reader, *file);
    if (!dib)
      return std::nullopt;
    return FileInfo{dib->Width(), dib->Height(), dib->BitCount()};
  }
  QSize size;
  QImage::Format format = QImage::Format_Invalid;
  ReadWithQt(*file, true, &size, &format);
  if (format == QImage::Format_Invalid || size.isEmpty()) {
    // Some readers tell nothing before decoding.
    const QImage image = ReadWithQt(*file, false, nullptr, nullptr);
    if (image.isNull())
      return std::nullopt;
    size = image.size();
    format = image.format();
  }
  return FileInfo{size.width(), size.height(), BitsOfFormat(format)};
}

std::optional<Dib> LoadBitmap(const std::string& path, int bits) {
  auto file = ReadWhole(path);
  if (!file)
    return std::nullopt;
  return LoadBitmap(*file, path, bits);
}

std::optional<Dib> LoadBitmap(std::span<const uint8_t> file, std::string_view name, int bits) {
  if (bits != 0 && bits != 4 && bits != 8)
    return std::nullopt;
  if (Reader reader = ReaderFor(name)) {
    auto dib = ReadRegistered(reader, file);
    if (!dib || bits == 0)
      return dib;
    return ReduceColours(*dib, bits);
  }
  return DibOfImage(ReadWithQt(file, false, nullptr, nullptr), bits);
}

std::optional<Dib> ReduceColours(const Dib& dib, int bits) {
  if (bits != 4 && bits != 8)
    return std::nullopt;
  if (dib.BitCount() <= bits)
    return dib;
  return DibOfImage(ImageOfDib(dib), bits);
}

std::shared_ptr<Palette> PaletteFromBitmap(const Dib& dib) {
  if (dib.BitCount() > 8)
    return nullptr;
  std::vector<PaletteEntry> entries;
  for (const RgbQuad& q : dib.Colours())
    entries.push_back(PaletteEntry{q.red, q.green, q.blue, 0});
  return Palette::Create(entries);
}

bool PaintBitmap(Dc& dc, const Dib& dib, const Rect& destination, const std::optional<Rect>& source,
                 uint32_t rop) {
  const Rect from = source.value_or(Rect{0, 0, dib.Width(), dib.Height()});
  return dc.StretchDib(destination.left, destination.top, destination.Width(), destination.Height(),
                       from.left, from.top, from.Width(), from.Height(), dib.View(), rop) > 0;
}

} // namespace gdi::imaging
