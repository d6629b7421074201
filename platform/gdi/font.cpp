#include "platform/gdi/font.h"

#include "platform/gdi/font_impl.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QRawFont>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

namespace gdi {

namespace {

// Faces of the other platform's defaults, by the installed face that takes
// their place. Names compare without regard to case.
struct FaceSubstitute {
  const char* requested;
  const char* installed;
};

constexpr FaceSubstitute kSubstitutes[] = {
    {"Arial", "DejaVu Sans"},
    {"Helvetica", "DejaVu Sans"},
    {"MS Sans Serif", "DejaVu Sans"},
    {"Microsoft Sans Serif", "DejaVu Sans"},
    {"MS Shell Dlg", "DejaVu Sans"},
    {"MS Shell Dlg 2", "DejaVu Sans"},
    {"Tahoma", "DejaVu Sans"},
    {"Verdana", "DejaVu Sans"},
    {"Segoe UI", "DejaVu Sans"},
    {"System", "DejaVu Sans"},
    {"Times New Roman", "DejaVu Serif"},
    {"Times", "DejaVu Serif"},
    {"MS Serif", "DejaVu Serif"},
    {"Georgia", "DejaVu Serif"},
    {"Courier New", "DejaVu Sans Mono"},
    {"Courier", "DejaVu Sans Mono"},
    {"Lucida Console", "DejaVu Sans Mono"},
    {"Fixedsys", "DejaVu Sans Mono"},
    {"Terminal", "DejaVu Sans Mono"},
    {"\xEA\xB5\xB4\xEB\xA6\xBC", "NanumGothic"}, // Gulim
    {"Gulim", "NanumGothic"},
    {"\xEB\x8F\x8B\xEC\x9B\x80", "NanumGothic"}, // Dotum
    {"Dotum", "NanumGothic"},
    {"\xEC\x83\x88\xEA\xB5\xB4\xEB\xA6\xBC", "NanumGothic"},              // New Gulim
    {"\xEB\xA7\x91\xEC\x9D\x80 \xEA\xB3\xA0\xEB\x94\x95", "NanumGothic"}, // Malgun Gothic
    {"Malgun Gothic", "NanumGothic"},
    {"\xEA\xB5\xB4\xEB\xA6\xBC\xEC\xB2\xB4", "NanumGothicCoding"}, // GulimChe
    {"GulimChe", "NanumGothicCoding"},
    {"\xEB\x8F\x8B\xEC\x9B\x80\xEC\xB2\xB4", "NanumGothicCoding"}, // DotumChe
    {"DotumChe", "NanumGothicCoding"},
    {"\xEB\xB0\x94\xED\x83\x95", "NanumMyeongjo"}, // Batang
    {"Batang", "NanumMyeongjo"},
    {"\xEB\xB0\x94\xED\x83\x95\xEC\xB2\xB4", "NanumMyeongjo"}, // BatangChe
    {"BatangChe", "NanumMyeongjo"},
    {"\xEA\xB6\x81\xEC\x84\x9C", "NanumMyeongjo"}, // Gungsuh
    {"Gungsuh", "NanumMyeongjo"},
    {"\xEA\xB6\x81\xEC\x84\x9C\xEC\xB2\xB4", "NanumMyeongjo"}, // GungsuhChe
    {"GungsuhChe", "NanumMyeongjo"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", "IPAGothic"},
    {"MS Gothic", "IPAGothic"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D", "IPAGothic"}, // MS Mincho
    {"MS Mincho", "IPAGothic"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
     "IPAPGothic"}, // MS PGothic
    {"MS PGothic", "IPAPGothic"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE6\x98\x8E\xE6\x9C\x9D", "IPAPGothic"}, // MS PMincho
    {"MS PMincho", "IPAPGothic"},
    {"MS UI Gothic", "IPAPGothic"},
    {"Meiryo", "IPAPGothic"},
    {"\xE3\x83\xA1\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xAA", "IPAPGothic"}, // Meiryo
};

enum class Script { Latin, Korean, Japanese, SimplifiedChinese, TraditionalChinese };

Script ScriptOfCodePage(int codePage) {
  switch (codePage) {
  case 949:
    return Script::Korean;
  case 932:
    return Script::Japanese;
  case 936:
    return Script::SimplifiedChinese;
  case 950:
    return Script::TraditionalChinese;
  default:
    return Script::Latin;
  }
}

QFontDatabase::WritingSystem WritingSystemOf(Script script) {
  switch (script) {
  case Script::Korean:
    return QFontDatabase::Korean;
  case Script::Japanese:
    return QFontDatabase::Japanese;
  case Script::SimplifiedChinese:
    return QFontDatabase::SimplifiedChinese;
  case Script::TraditionalChinese:
    return QFontDatabase::TraditionalChinese;
  case Script::Latin:
    break;
  }
  return QFontDatabase::Latin;
}

bool WantsFixedPitch(uint8_t pitchAndFamily) {
  return (pitchAndFamily & 0x03) == kFixedPitch || (pitchAndFamily & 0xF0) == kFamilyModern;
}

// The installed faces to try, best first, for a script and a family kind.
QStringList DefaultFaces(Script script, uint8_t pitchAndFamily) {
  const bool fixed = WantsFixedPitch(pitchAndFamily);
  const bool roman = (pitchAndFamily & 0xF0) == kFamilyRoman;
  switch (script) {
  case Script::Korean:
    if (fixed)
      return {"NanumGothicCoding", "NanumGothic"};
    if (roman)
      return {"NanumMyeongjo", "NanumGothic"};
    return {"NanumGothic", "NanumBarunGothic"};
  case Script::Japanese:
    return fixed ? QStringList{"IPAGothic", "IPAPGothic"} : QStringList{"IPAPGothic", "IPAGothic"};
  case Script::SimplifiedChinese:
  case Script::TraditionalChinese:
    return {"Noto Sans CJK SC", "Noto Sans CJK TC", "NanumGothic", "IPAPGothic"};
  case Script::Latin:
    break;
  }
  if (fixed)
    return {"DejaVu Sans Mono"};
  if (roman)
    return {"DejaVu Serif"};
  return {"DejaVu Sans"};
}

// Installed families, read once: the font set does not change while we run.
const QStringList& InstalledFamilies() {
  static const QStringList families = QFontDatabase::families();
  return families;
}

QString Installed(const QString& name) {
  for (const QString& f : InstalledFamilies())
    if (f.compare(name, Qt::CaseInsensitive) == 0)
      return f;
  return {};
}

bool Supports(const QString& family, Script script) {
  if (script == Script::Latin)
    return true;
  return QFontDatabase::writingSystems(family).contains(WritingSystemOf(script));
}

QString FirstInstalled(const QStringList& names) {
  for (const QString& n : names) {
    QString f = Installed(n);
    if (!f.isEmpty())
      return f;
  }
  return {};
}

// The face that draws a request: the named face or its substitute when
// installed (and able to write the script when the character set demands
// one), else the script's default face.
QString ResolveFace(QString requested, Script script, bool scriptRequired, uint8_t pitchAndFamily) {
  requested = requested.trimmed();
  // A leading '@' asks for vertical writing; the face is the same.
  if (requested.startsWith(QLatin1Char('@')))
    requested.remove(0, 1);
  if (!requested.isEmpty()) {
    QString face = Installed(requested);
    if (face.isEmpty()) {
      for (const FaceSubstitute& s : kSubstitutes) {
        if (requested.compare(QString::fromUtf8(s.requested), Qt::CaseInsensitive) == 0) {
          face = Installed(QString::fromUtf8(s.installed));
          break;
        }
      }
    }
    if (!face.isEmpty() && (!scriptRequired || Supports(face, script)))
      return face;
  }
  QString face = FirstInstalled(DefaultFaces(script, pitchAndFamily));
  if (face.isEmpty())
    face = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  return face;
}

// Vertical metrics of a face in font units, from its OS/2 and hhea tables.
struct FaceMetrics {
  int unitsPerEm = 0;
  int winAscent = 0;
  int winDescent = 0;
  int avgCharWidth = 0;
  int lineGap = 0;
  bool fixedPitch = false;
};

int U16At(const QByteArray& t, int offset) {
  return (static_cast<uint8_t>(t[offset]) << 8) | static_cast<uint8_t>(t[offset + 1]);
}

FaceMetrics ReadFaceMetrics(const QFont& probe) {
  FaceMetrics m;
  const QRawFont raw = QRawFont::fromFont(probe);
  const QByteArray os2 = raw.fontTable("OS/2");
  const QByteArray hhea = raw.fontTable("hhea");
  m.unitsPerEm = static_cast<int>(raw.unitsPerEm());
  if (os2.size() >= 78 && m.unitsPerEm > 0) {
    m.avgCharWidth = static_cast<int16_t>(U16At(os2, 2));
    m.winAscent = U16At(os2, 74);
    m.winDescent = U16At(os2, 76);
  }
  if (hhea.size() >= 10 && m.unitsPerEm > 0) {
    const int ascender = static_cast<int16_t>(U16At(hhea, 4));
    const int descender = static_cast<int16_t>(U16At(hhea, 6));
    const int gap = static_cast<int16_t>(U16At(hhea, 8));
    m.lineGap = std::max(0, ascender - descender + gap - m.winAscent - m.winDescent);
  }
  if (m.unitsPerEm <= 0 || m.winAscent + m.winDescent <= 0) {
    // A face without the tables: take Qt's own figures at 1000 pixels.
    QFont f = probe;
    f.setPixelSize(1000);
    const QFontMetricsF qm(f);
    m.unitsPerEm = 1000;
    m.winAscent = static_cast<int>(std::lround(qm.ascent()));
    m.winDescent = static_cast<int>(std::lround(qm.descent()));
    m.avgCharWidth = static_cast<int>(std::lround(qm.averageCharWidth()));
    m.lineGap = 0;
  }
  if (m.avgCharWidth <= 0)
    m.avgCharWidth = m.unitsPerEm / 2;
  m.fixedPitch = QFontInfo(probe).fixedPitch();
  return m;
}

std::mutex gCacheMutex;

const FaceMetrics& MetricsOfFace(const QString& family, bool bold, bool italic) {
  static std::map<std::tuple<QString, bool, bool>, FaceMetrics> cache;
  std::lock_guard lock(gCacheMutex);
  auto key = std::make_tuple(family, bold, italic);
  auto it = cache.find(key);
  if (it != cache.end())
    return it->second;
  QFont probe(family);
  probe.setPixelSize(100);
  probe.setWeight(bold ? QFont::Bold : QFont::Normal);
  probe.setItalic(italic);
  return cache.emplace(key, ReadFaceMetrics(probe)).first->second;
}

int ScaleRound(int units, int ppem, int unitsPerEm) {
  return static_cast<int>((static_cast<int64_t>(units) * ppem + unitsPerEm / 2) / unitsPerEm);
}

int CellHeight(const FaceMetrics& m, int ppem) {
  return ScaleRound(m.winAscent, ppem, m.unitsPerEm) + ScaleRound(m.winDescent, ppem, m.unitsPerEm);
}

// The em size whose cell comes nearest to the requested cell height, the
// smaller one on a tie, never above it when an exact fit exists.
int PixelSizeForCell(const FaceMetrics& m, int cell) {
  const int total = m.winAscent + m.winDescent;
  const int estimate = std::max(
      1, static_cast<int>((static_cast<int64_t>(cell) * m.unitsPerEm + total / 2) / total));
  int best = estimate;
  int bestError = std::abs(CellHeight(m, estimate) - cell);
  for (int p = std::max(1, estimate - 2); p <= estimate + 2; ++p) {
    const int error = std::abs(CellHeight(m, p) - cell);
    if (error < bestError || (error == bestError && p < best)) {
      best = p;
      bestError = error;
    }
  }
  return best;
}

bool HasGuiApplication() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

const QString& StretchSample() {
  static const QString sample =
      QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789 THE LAZY DOG");
  return sample;
}

} // namespace

std::string_view LogFont::FaceName() const {
  return std::string_view(faceName.data(), strnlen(faceName.data(), faceName.size()));
}

void LogFont::SetFaceName(std::string_view name, int systemCodePage) {
  faceName.fill(0);
  const std::string_view cut =
      sys::CutBytes(name, faceName.size() - 1, CodePageOfCharSet(charSet, systemCodePage));
  std::copy(cut.begin(), cut.end(), faceName.begin());
}

int CodePageOfCharSet(uint8_t charSet, int systemCodePage) {
  switch (charSet) {
  case kAnsiCharSet:
  case kSymbolCharSet:
    return 1252;
  case kShiftJisCharSet:
    return 932;
  case kHangulCharSet:
    return 949;
  case kGb2312CharSet:
    return 936;
  case kChineseBig5CharSet:
    return 950;
  case 161:
    return 1253;
  case 162:
    return 1254;
  case 177:
    return 1255;
  case 178:
    return 1256;
  case 186:
    return 1257;
  case 204:
    return 1251;
  case 238:
    return 1250;
  default:
    return systemCodePage;
  }
}

uint8_t CharSetOfCodePage(int codePage) {
  switch (codePage) {
  case 932:
    return kShiftJisCharSet;
  case 949:
    return kHangulCharSet;
  case 936:
    return kGb2312CharSet;
  case 950:
    return kChineseBig5CharSet;
  default:
    return kAnsiCharSet;
  }
}

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;

const LogFont& Font::Description() const {
  return impl_->description;
}
const TextMetrics& Font::Metrics() const {
  return impl_->metrics;
}
const std::string& Font::FaceUsed() const {
  return impl_->faceUsed;
}
int Font::CodePage() const {
  return impl_->codePage;
}
bool Font::Antialiased() const {
  return impl_->antialiased;
}
int Font::PixelSize() const {
  return impl_->pixelSize;
}
int Font::StretchPercent() const {
  return impl_->stretch;
}

namespace {

// Fonts already made, by their description and code page, the most recently
// used last. A font is immutable once made, so one object serves every
// caller asking for the same; the cache holds a bounded number.
class FontCache {
public:
  static constexpr size_t kCapacity = 256;

  static std::string KeyOf(const LogFont& lf, int systemCodePage) {
    std::string key;
    key.reserve(80);
    auto put = [&key](int64_t v) { key.append(reinterpret_cast<const char*>(&v), sizeof v); };
    for (int64_t v : {int64_t{lf.height}, int64_t{lf.width}, int64_t{lf.escapement},
                      int64_t{lf.orientation}, int64_t{lf.weight}, int64_t{systemCodePage}})
      put(v);
    for (uint8_t b : {lf.italic, lf.underline, lf.strikeOut, lf.charSet, lf.outPrecision,
                      lf.clipPrecision, lf.quality, lf.pitchAndFamily})
      key.push_back(static_cast<char>(b));
    key.append(lf.FaceName());
    return key;
  }

  std::shared_ptr<const Font> Find(const std::string& key) {
    std::lock_guard lock(mutex_);
    // Fonts belong to the application object they were made under.
    if (QCoreApplication::instance() != application_) {
      fonts_.clear();
      order_.clear();
      application_ = QCoreApplication::instance();
    }
    auto it = fonts_.find(key);
    if (it == fonts_.end())
      return nullptr;
    order_.splice(order_.end(), order_, it->second.second);
    return it->second.first;
  }

  void Keep(const std::string& key, std::shared_ptr<const Font> font) {
    std::lock_guard lock(mutex_);
    if (fonts_.count(key) || QCoreApplication::instance() != application_)
      return;
    order_.push_back(key);
    fonts_.emplace(key, std::make_pair(std::move(font), std::prev(order_.end())));
    while (fonts_.size() > kCapacity) {
      fonts_.erase(order_.front());
      order_.pop_front();
    }
  }

private:
  std::mutex mutex_;
  const QCoreApplication* application_ = nullptr;
  std::list<std::string> order_;
  std::unordered_map<std::string,
                     std::pair<std::shared_ptr<const Font>, std::list<std::string>::iterator>>
      fonts_;
};

FontCache& Cache() {
  // Never destroyed: fonts may still be asked for while the program exits.
  static FontCache* cache = new FontCache;
  return *cache;
}

} // namespace

std::shared_ptr<const Font> Font::Create(const LogFont& lf, int systemCodePage) {
  if (!HasGuiApplication())
    return nullptr;
  if (lf.height < -kMaxFontHeight || lf.height > kMaxFontHeight || lf.width < -kMaxFontHeight ||
      lf.width > kMaxFontHeight)
    return nullptr;
  const std::string key = FontCache::KeyOf(lf, systemCodePage);
  if (std::shared_ptr<const Font> kept = Cache().Find(key))
    return kept;
  std::shared_ptr<const Font> made = Make(lf, systemCodePage);
  if (made)
    Cache().Keep(key, made);
  return made;
}

std::shared_ptr<const Font> Font::Make(const LogFont& lf, int systemCodePage) {
  // The sign of a width means nothing.
  const int32_t averageWidth = std::abs(lf.width);
  static std::atomic<uint64_t> serials{0};
  auto impl = std::make_unique<Impl>();
  impl->serial = ++serials;
  impl->description = lf;
  impl->codePage = CodePageOfCharSet(lf.charSet, systemCodePage);
  const Script script = ScriptOfCodePage(impl->codePage);
  const bool scriptRequired = lf.charSet != kDefaultCharSet && script != Script::Latin;
  const QString face =
      ResolveFace(QString::fromStdString(sys::ToUtf8(lf.FaceName(), impl->codePage)), script,
                  scriptRequired, lf.pitchAndFamily);
  impl->faceUsed = face.toStdString();

  const int weight = std::clamp(lf.weight == 0 ? kWeightNormal : lf.weight, 1, 1000);
  const bool bold = weight >= 600;
  const FaceMetrics& fm = MetricsOfFace(face, bold, lf.italic != 0);

  // Negative: the em square is the character height. Positive: the cell.
  // Zero: the screen's usual cell of 16 pixels.
  int ppem = 0;
  if (lf.height < 0)
    ppem = -lf.height;
  else
    ppem = PixelSizeForCell(fm, lf.height == 0 ? 16 : lf.height);

  // Faces that fill in glyphs the chosen one lacks: the script's own first.
  QStringList families{face};
  for (const QString& f : DefaultFaces(script, lf.pitchAndFamily) +
                              QStringList{"NanumGothic", "IPAPGothic", "DejaVu Sans"}) {
    const QString installed = Installed(f);
    if (!installed.isEmpty() && !families.contains(installed))
      families.append(installed);
  }

  QFont q;
  q.setFamilies(families);
  q.setPixelSize(ppem);
  q.setWeight(static_cast<QFont::Weight>(weight));
  q.setItalic(lf.italic != 0);
  q.setUnderline(lf.underline != 0);
  q.setStrikeOut(lf.strikeOut != 0);
  q.setKerning(false);
  // Whole-pixel advances, so that measured and drawn widths agree exactly.
  q.setHintingPreference(QFont::PreferFullHinting);
  impl->antialiased = lf.quality != kNonAntialiasedQuality;
  // No ligatures or other shaping where the script needs none: a text's
  // width is the sum of its characters' widths, however it is cut.
  q.setStyleStrategy(
      QFont::StyleStrategy(QFont::PreferNoShaping |
                           (impl->antialiased ? QFont::PreferAntialias | QFont::NoSubpixelAntialias
                                              : QFont::NoAntialias)));

  const double naturalAverage = static_cast<double>(fm.avgCharWidth) * ppem / fm.unitsPerEm;
  impl->stretch = 100;
  double achieved = 1.0;
  if (averageWidth > 0 && naturalAverage > 0) {
    // The face may switch to a condensed style for some factors, so the
    // factor is corrected by what the glyphs really measure.
    const double target = averageWidth / naturalAverage;
    const double natural = QFontMetricsF(q).horizontalAdvance(StretchSample());
    int stretch = std::clamp(static_cast<int>(std::lround(100 * target)), 1, 4000);
    int best = stretch;
    double bestError = 1e9;
    for (int pass = 0; pass < 4 && natural > 0; ++pass) {
      QFont trial = q;
      trial.setStretch(stretch);
      const double ratio = QFontMetricsF(trial).horizontalAdvance(StretchSample()) / natural;
      const double error = std::abs(ratio - target);
      if (error < bestError) {
        bestError = error;
        best = stretch;
        achieved = ratio;
      }
      if (ratio <= 0 || error * naturalAverage < 0.05)
        break;
      const int next = std::clamp(static_cast<int>(std::lround(stretch * target / ratio)), 1, 4000);
      if (next == stretch)
        break;
      stretch = next;
    }
    impl->stretch = best;
    if (best != 100)
      q.setStretch(best);
  }
  impl->pixelSize = ppem;

  TextMetrics& tm = impl->metrics;
  tm.ascent = ScaleRound(fm.winAscent, ppem, fm.unitsPerEm);
  tm.descent = ScaleRound(fm.winDescent, ppem, fm.unitsPerEm);
  tm.height = tm.ascent + tm.descent;
  tm.internalLeading = std::max(0, tm.height - ppem);
  tm.externalLeading = ScaleRound(fm.lineGap, ppem, fm.unitsPerEm);
  tm.aveCharWidth = std::max(1, static_cast<int>(std::lround(naturalAverage * achieved)));
  tm.maxCharWidth = std::max(tm.aveCharWidth, QFontMetrics(q).maxWidth());
  tm.weight = weight;
  tm.italic = lf.italic ? 1 : 0;
  tm.underlined = lf.underline ? 1 : 0;
  tm.struckOut = lf.strikeOut ? 1 : 0;
  // Low bit set means variable pitch; 0x06 marks an outline (TrueType) face.
  tm.pitchAndFamily =
      static_cast<uint8_t>((lf.pitchAndFamily & 0xF0) | 0x06 | (fm.fixedPitch ? 0 : 1));
  tm.charSet = lf.charSet == kDefaultCharSet ? CharSetOfCodePage(impl->codePage) : lf.charSet;

  impl->qfont = q;
  return std::shared_ptr<const Font>(new Font(std::move(impl)));
}

namespace detail {

QString DecodeText(const Font& font, std::string_view bytes) {
  return QString::fromStdString(sys::ToUtf8(bytes, font.CodePage()));
}

int AdvanceOf(const Font& font, const QString& text) {
  if (text.isEmpty())
    return 0;
  return QFontMetrics(font.Internals().qfont).horizontalAdvance(text);
}

} // namespace detail

} // namespace gdi
