// The ink of a line of text laid together from the kept ink of its pieces.
//
// A piece is one character, or a few whose ink might touch, drawn alone
// with its pen where the line puts it (a whole pixel plus a 64th-pixel
// phase). Its rasterised ink depends on nothing beyond the pixels its
// outline reaches, and a whole-pixel move shifts it exactly, so pieces
// whose reaches are apart give the line's ink as it draws in one go.
#include "platform/gdi/dc.h"
#include "platform/gdi/font_impl.h"
#include "platform/gdi/ink.h"
#include "platform/gdi/raster.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace gdi {

namespace {

constexpr uint32_t kLineFormat = kDtSingleLine | kDtNoPrefix | kDtLeft | kDtTop;
constexpr uint32_t kBlack = 0xFF000000u;
// 96 dots per inch, as every surface has.
constexpr int kDotsPerMeter = 3780;
// A piece is never drawn on more pixels than this.
constexpr int64_t kMaxPiecePixels = int64_t{1} << 24;

// Ink of a piece: rows from the baseline, columns from the whole pixel of
// its pen.
struct Piece {
  std::vector<InkRun> runs;       // row by row, left to right
  std::vector<uint32_t> rowStart; // row top + i has runs [rowStart[i], rowStart[i + 1])
  int32_t top = 0;
  Rect ink;
  // Beyond this the piece changes no pixel of any line it stands in: its
  // ink and its glyphs' boxes, a pixel further.
  Rect reach;

  size_t Bytes() const {
    return sizeof(Piece) + runs.size() * sizeof(InkRun) + rowStart.size() * sizeof(uint32_t);
  }
};

// Characters that draw as one glyph of their own, whatever stands beside
// them, in the order they come: no marks, joiners, controls, surrogates,
// right-to-left or shaped scripts.
bool StandsAlone(QChar c) {
  const char16_t u = c.unicode();
  if (u < 0x20 || (u >= 0x7F && u < 0xA0) || c.isSurrogate() || c.isMark())
    return false;
  // Conjoining jamo compose into syllables.
  if ((u >= 0x1100 && u < 0x1200) || (u >= 0xA960 && u < 0xA980) || (u >= 0xD7B0 && u < 0xD800))
    return false;
  switch (c.category()) {
  case QChar::Other_Format:
  case QChar::Other_Control:
  case QChar::Other_NotAssigned:
  case QChar::Separator_Line:
  case QChar::Separator_Paragraph:
    return false;
  default:
    break;
  }
  switch (c.direction()) {
  case QChar::DirL:
  case QChar::DirEN:
  case QChar::DirES:
  case QChar::DirET:
  case QChar::DirCS:
  case QChar::DirWS:
  case QChar::DirON:
    break;
  default:
    return false;
  }
  switch (c.script()) {
  case QChar::Script_Common:
  case QChar::Script_Latin:
  case QChar::Script_Greek:
  case QChar::Script_Cyrillic:
  case QChar::Script_Hangul:
  case QChar::Script_Han:
  case QChar::Script_Hiragana:
  case QChar::Script_Katakana:
  case QChar::Script_Bopomofo:
    return true;
  default:
    return false;
  }
}

int32_t FloorDiv64(int64_t v) {
  return static_cast<int32_t>(v >= 0 ? v / 64 : -((-v + 63) / 64));
}

Rect RoundOut(const QRectF& r) {
  if (r.isEmpty())
    return Rect{};
  return Rect{static_cast<int32_t>(std::floor(r.left())), static_cast<int32_t>(std::floor(r.top())),
              static_cast<int32_t>(std::ceil(r.right())),
              static_cast<int32_t>(std::ceil(r.bottom()))};
}

std::string KeyOf(uint64_t serial, int phase, QStringView text) {
  std::string key(reinterpret_cast<const char*>(&serial), sizeof serial);
  key.push_back(static_cast<char>(phase));
  key.append(reinterpret_cast<const char*>(text.utf16()), text.size() * sizeof(char16_t));
  return key;
}

// Pieces drawn, the most recently used last, within a bound on their bytes.
class PieceCache {
public:
  static constexpr size_t kMaxBytes = size_t{24} << 20;
  static constexpr size_t kMaxPieces = 8192;

  std::shared_ptr<const Piece> Find(const std::string& key) {
    auto it = pieces_.find(key);
    if (it == pieces_.end())
      return nullptr;
    order_.splice(order_.end(), order_, it->second.second);
    return it->second.first;
  }

  void Keep(const std::string& key, std::shared_ptr<const Piece> piece) {
    if (pieces_.count(key))
      return;
    bytes_ += piece->Bytes() + key.size();
    order_.push_back(key);
    pieces_.emplace(key, std::make_pair(std::move(piece), std::prev(order_.end())));
    while (!order_.empty() && (bytes_ > kMaxBytes || pieces_.size() > kMaxPieces)) {
      auto oldest = pieces_.find(order_.front());
      bytes_ -= oldest->second.first->Bytes() + oldest->first.size();
      pieces_.erase(oldest);
      order_.pop_front();
    }
  }

private:
  std::list<std::string> order_;
  std::unordered_map<std::string,
                     std::pair<std::shared_ptr<const Piece>, std::list<std::string>::iterator>>
      pieces_;
  size_t bytes_ = 0;
};

// The cache and the pixels pieces are drawn on; never destroyed, as text may
// be drawn while the program exits.
struct Shared {
  std::mutex mutex;
  PieceCache cache;
  std::vector<uint32_t> pixels;
};

Shared& TheShared() {
  static Shared* shared = new Shared;
  return *shared;
}

// Draws text white on black with its pen at phase 64ths of a pixel on the
// baseline, within region (from the pen's whole pixel and the baseline), as
// DrawText draws a line, and takes its ink; nullopt when the ink reaches the
// region's edge and may go on beyond it.
std::optional<Piece> DrawPiece(const Font& font, const QString& text, int phase, const Rect& region,
                               std::vector<uint32_t>& pixels) {
  const int32_t w = region.Width(), h = region.Height();
  if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > kMaxPiecePixels)
    return std::nullopt;
  pixels.assign(static_cast<size_t>(w) * h, kBlack);
  {
    QImage image(reinterpret_cast<uchar*>(pixels.data()), w, h, w * 4, QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    QPainter p(&image);
    p.setClipRect(QRect(0, 0, w, h));
    p.setRenderHint(QPainter::TextAntialiasing, font.Antialiased());
    p.setFont(font.Internals().qfont);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QPointF(-region.left + phase / 64.0, -region.top), text);
  }
  Piece piece;
  std::vector<InkRun>& runs = piece.runs;
  std::vector<size_t> rowStart(static_cast<size_t>(h) + 1);
  for (int32_t y = 0; y < h; ++y) {
    rowStart[y] = runs.size();
    detail::AppendInkRuns(pixels.data() + static_cast<size_t>(y) * w, w, kBlack, y + region.top,
                          region.left, runs);
  }
  rowStart[h] = runs.size();
  if (runs.empty())
    return piece;
  for (const InkRun& run : runs) {
    if (run.left == region.left || run.right == region.right || run.y == region.top ||
        run.y == region.bottom - 1)
      return std::nullopt;
    piece.ink = Union(piece.ink, Rect{run.left, run.y, run.right, run.y + 1});
  }
  piece.top = piece.ink.top;
  for (int32_t y = piece.ink.top; y <= piece.ink.bottom; ++y)
    piece.rowStart.push_back(static_cast<uint32_t>(rowStart[y - region.top]));
  return piece;
}

// A piece drawn around where its ink is expected (a margin beyond, a wider
// one when the ink reaches that); boxes are where its glyphs' outlines lie.
std::shared_ptr<const Piece> DrawPieceAround(const Font& font, const QString& text, int phase,
                                             const Rect& expected, const Rect& boxes,
                                             std::vector<uint32_t>& pixels) {
  const int32_t height = std::max(font.Metrics().height, 1);
  for (int32_t margin : {2 + height / 32, 2 + height}) {
    std::optional<Piece> piece =
        DrawPiece(font, text, phase, Inflate(Union(expected, boxes), margin, margin), pixels);
    if (!piece)
      continue;
    const Rect reach = Union(boxes, piece->ink);
    piece->reach = reach.IsEmpty() ? Rect{} : Inflate(reach, 1, 1);
    return std::make_shared<const Piece>(std::move(*piece));
  }
  return nullptr;
}

struct Placed {
  std::shared_ptr<const Piece> piece;
  int32_t x = 0; // the pen's whole pixel
  Rect reach;    // in the line
  qsizetype first = 0, last = 0;
};

// Lays the ink together into runs; false when the text must be drawn whole.
bool LayTogether(const Font& font, const QString& s, int32_t width, int32_t height,
                 std::vector<InkRun>& runs) {
  for (QChar c : s)
    if (!StandsAlone(c))
      return false;
  const QFontMetricsF metrics(font.Internals().qfont);
  const qsizetype n = s.size();
  std::vector<int64_t> pens(static_cast<size_t>(n) + 1, 0);
  for (qsizetype i = 0; i < n; ++i)
    pens[i + 1] = pens[i] + std::llround(metrics.horizontalAdvance(s[i]) * 64);
  // The pens are where the line puts its glyphs only if the advances add up.
  if (pens[n] != std::llround(metrics.horizontalAdvance(s) * 64))
    return false;
  const int32_t baseline = font.Metrics().ascent;
  const uint64_t serial = font.Internals().serial;

  Shared& shared = TheShared();
  std::lock_guard lock(shared.mutex);
  std::vector<Placed> singles(static_cast<size_t>(n));
  for (qsizetype i = 0; i < n; ++i) {
    const int phase = static_cast<int>(pens[i] - int64_t{FloorDiv64(pens[i])} * 64);
    const QStringView one = QStringView(s).mid(i, 1);
    const std::string key = KeyOf(serial, phase, one);
    std::shared_ptr<const Piece> piece = shared.cache.Find(key);
    if (!piece) {
      const int64_t advance = pens[i + 1] - pens[i];
      const Rect cell{0, -font.Metrics().ascent, FloorDiv64(phase + advance + 63),
                      font.Metrics().descent};
      const Rect box = RoundOut(metrics.boundingRect(s[i]).translated(phase / 64.0, 0));
      piece = DrawPieceAround(font, one.toString(), phase, cell, box, shared.pixels);
      if (!piece)
        return false;
      shared.cache.Keep(key, piece);
    }
    const int32_t x = FloorDiv64(pens[i]);
    singles[i] = Placed{piece, x, Offset(piece->reach, x, baseline), i, i};
  }

  std::vector<Placed> groups;
  for (const Placed& one : singles) {
    if (one.reach.IsEmpty())
      continue;
    if (!groups.empty() && !Intersect(groups.back().reach, one.reach).IsEmpty()) {
      groups.back().reach = Union(groups.back().reach, one.reach);
      groups.back().last = one.last;
    } else {
      groups.push_back(one);
    }
  }
  for (size_t a = 0; a < groups.size(); ++a)
    for (size_t b = a + 1; b < groups.size(); ++b)
      if (!Intersect(groups[a].reach, groups[b].reach).IsEmpty())
        return false;
  for (Placed& g : groups) {
    if (g.first == g.last)
      continue;
    const int phase = static_cast<int>(pens[g.first] - int64_t{g.x} * 64);
    const QStringView text = QStringView(s).mid(g.first, g.last - g.first + 1);
    const std::string key = KeyOf(serial, phase, text);
    std::shared_ptr<const Piece> piece = shared.cache.Find(key);
    if (!piece) {
      const Rect boxes = Offset(g.reach, -g.x, -baseline);
      piece = DrawPieceAround(font, text.toString(), phase, boxes, boxes, shared.pixels);
      if (!piece)
        return false;
      shared.cache.Keep(key, piece);
    }
    g.piece = piece;
    g.reach = Union(g.reach, Offset(piece->reach, g.x, baseline));
  }

  // Within a row the groups' reaches are apart, so their runs come left to
  // right when the groups do.
  std::sort(groups.begin(), groups.end(),
            [](const Placed& a, const Placed& b) { return a.reach.left < b.reach.left; });
  Rect rows;
  for (const Placed& g : groups)
    rows = Union(rows, Offset(g.piece->ink, 0, baseline));
  rows = Intersect(rows, Rect{0, 0, width, height});
  for (int32_t y = rows.top; y < rows.bottom; ++y) {
    for (const Placed& g : groups) {
      const Piece& p = *g.piece;
      const int32_t row = y - baseline - p.top;
      if (row < 0 || row + 1 >= static_cast<int32_t>(p.rowStart.size()))
        continue;
      for (uint32_t k = p.rowStart[row]; k < p.rowStart[row + 1]; ++k) {
        const int32_t left = std::max(p.runs[k].left + g.x, 0);
        const int32_t right = std::min(p.runs[k].right + g.x, width);
        if (left >= right)
          continue;
        if (!runs.empty() && runs.back().y == y && runs.back().right >= left)
          runs.back().right = std::max(runs.back().right, right);
        else
          runs.push_back(InkRun{y, left, right});
      }
    }
  }
  return true;
}

} // namespace

InkRuns InkRuns::OfText(const std::shared_ptr<const Font>& font, std::string_view text,
                        int32_t width, int32_t height) {
  if (!font || text.empty() || width <= 0 || height <= 0)
    return InkRuns{};
  QString s = detail::DecodeText(*font, text);
  s.replace(QLatin1String("\r\n"), QLatin1String(" "));
  s.replace(QLatin1Char('\r'), QLatin1Char(' '));
  s.replace(QLatin1Char('\n'), QLatin1Char(' '));
  InkRuns ink;
  if (LayTogether(*font, s, width, height, ink.runs_)) {
    for (const InkRun& run : ink.runs_)
      ink.bounds_ = Union(ink.bounds_, Rect{run.left, run.y, run.right, run.y + 1});
    return ink;
  }
  std::shared_ptr<Bitmap> scratch = CreateBitmap(width, height, 0);
  if (!scratch)
    return InkRuns{};
  {
    Dc dc(scratch);
    dc.SelectFont(font);
    dc.SetBkMode(kTransparent);
    dc.SetTextColor(Rgb(255, 255, 255));
    Rect r{0, 0, width, height};
    dc.DrawText(text, r, kLineFormat);
  }
  return FromSurface(*scratch, 0);
}

} // namespace gdi
