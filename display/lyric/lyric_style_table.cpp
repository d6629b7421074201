#include "display/lyric/lyric_style_table.h"

#include <algorithm>
#include <cstdio>

namespace display {

namespace {

struct RecordDefaults {
  int firstEntry;
  int entries;
  gdi::Colour colours[4];
};

constexpr RecordDefaults kRecords[LyricStyleTable::kFontRecords] = {
    {0, 4, {65535, 0, 16711935, 16777215}},
    {4, 4, {16711680, 0, 1674448, 16777215}},
    {8, 4, {255, 0, 33023, 16777215}},
    {12, 2, {16711680, 16711935, 0, 0}},
    {14, 2, {65280, 255, 0, 0}},
    {16, 2, {16711680, 65535, 0, 0}},
    {18, 2, {16711680, 16777215, 0, 0}},
};

constexpr const char* kDefaultFace = "Times New Roman";
constexpr int32_t kDefaultWeight = 700;
constexpr int32_t kDefaultItalic = 0;
constexpr int32_t kDefaultOutline = 1;

// The profile reader's rules on a document already loaded: a missing key
// gives the default, an empty value too for numbers.
std::string GetString(const sys::IniDocument& doc, std::string_view section, std::string_view key,
                      std::string_view fallback) {
  if (std::optional<std::string> v = doc.Get(section, key))
    return *v;
  std::string s(fallback);
  while (!s.empty() && s.back() == ' ')
    s.pop_back();
  return s;
}

int32_t GetInt(const sys::IniDocument& doc, std::string_view section, std::string_view key,
               int32_t fallback) {
  std::optional<std::string> v = doc.Get(section, key);
  if (!v || v->empty())
    return fallback;
  return sys::IniParseInt(*v);
}

int ClampRecord(int record) {
  return record < 0 || record >= LyricStyleTable::kFontRecords ? 0 : record;
}

std::string ColourKey(int k) {
  return "Color" + std::to_string(k + 1);
}

} // namespace

const std::array<const char*, LyricStyleTable::kEntries> LyricStyleTable::kBuiltInNames = {
    "Lyric",  "Lyric outline",  "Lyric sung",  "Lyric sung outline",
    "Male",   "Male outline",   "Male sung",   "Male sung outline",
    "Female", "Female outline", "Female sung", "Female sung outline",
    "Number", "Number text",    "Number2",     "Number2 text",
    "Title",  "Title outline",  "Info",        "Info text",
};

LyricStyleTable::LyricStyleTable(std::string configPath, int codePage)
    : path_(std::move(configPath)), codePage_(codePage) {
  for (int i = 0; i < kEntries; ++i)
    names_[i] = kBuiltInNames[i];
  for (int r = 0; r < kFontRecords; ++r) {
    records_[r].font = DefaultFont();
    for (int k = 0; k < kRecords[r].entries; ++k)
      colours_[kRecords[r].firstEntry + k] = kRecords[r].colours[k];
  }
}

gdi::LogFont LyricStyleTable::DefaultFont() {
  gdi::LogFont lf;
  lf.weight = kDefaultWeight;
  lf.charSet = gdi::kDefaultCharSet;
  lf.outPrecision = 7;
  lf.clipPrecision = 0;
  lf.quality = gdi::kNonAntialiasedQuality;
  lf.pitchAndFamily = 0;
  lf.SetFaceName(kDefaultFace);
  return lf;
}

void LyricStyleTable::LoadNames(const StringLookup& strings) {
  if (!strings)
    return;
  for (int i = 0; i < kEntries; ++i) {
    std::optional<std::string> s = strings(kFirstNameString + static_cast<uint32_t>(i));
    if (!s || s->empty())
      continue;
    names_[i] = std::string(sys::CutBytes(*s, kMaxNameBytes, codePage_));
  }
}

void LyricStyleTable::ReadRecord(int record, const sys::IniDocument& doc) {
  const std::string section = Section(record);
  Record& r = records_[record];
  const std::string face = GetString(doc, section, "Font", kDefaultFace);
  r.font.SetFaceName(sys::CutBytes(face, kMaxFaceReadBytes, codePage_), codePage_);
  r.font.weight = GetInt(doc, section, "Weight", kDefaultWeight);
  r.font.italic = static_cast<uint8_t>(GetInt(doc, section, "Italic", kDefaultItalic));
  r.outline = GetInt(doc, section, "Outline", kDefaultOutline);
  const RecordDefaults& d = kRecords[record];
  for (int k = 0; k < d.entries; ++k)
    colours_[d.firstEntry + k] = static_cast<gdi::Colour>(
        GetInt(doc, section, ColourKey(k), static_cast<int32_t>(d.colours[k])));
}

void LyricStyleTable::Reload() {
  std::optional<sys::IniDocument> doc = sys::IniLoad(path_);
  const sys::IniDocument empty(codePage_);
  for (int r = 0; r < kFontRecords; ++r)
    ReadRecord(r, doc ? *doc : empty);
}

bool LyricStyleTable::LoadAndStore() {
  Reload();
  return sys::IniUpdate(path_, [this](sys::IniDocument& doc) {
    for (int r = 0; r < kFontRecords; ++r) {
      const std::string section = Section(r);
      const Record& rec = records_[r];
      bool ok = doc.Set(section, "Outline", std::to_string(rec.outline));
      ok = doc.Set(section, "Font", rec.font.FaceName()) && ok;
      ok = doc.Set(section, "Weight", std::to_string(rec.font.weight)) && ok;
      ok = doc.Set(section, "Italic", std::to_string(rec.font.italic)) && ok;
      const RecordDefaults& d = kRecords[r];
      for (int k = 0; k < d.entries; ++k) {
        char value[16];
        std::snprintf(value, sizeof value, "%li",
                      static_cast<long>(static_cast<int32_t>(colours_[d.firstEntry + k])));
        ok = doc.Set(section, ColourKey(k), value) && ok;
      }
      if (!ok)
        return false;
    }
    return true;
  });
}

void LyricStyleTable::ApplyLocaleFace(int locale) {
  const std::string section = "Locale_" + std::to_string(locale);
  char face[kMaxFaceReadBytes + 1];
  sys::IniGetString(path_, section, "Font", "@", face, sizeof face, codePage_);
  if (std::string_view(face) == "@")
    return;
  for (Record& r : records_)
    r.font.SetFaceName(face, codePage_);
}

int LyricStyleTable::FirstEntry(int record) {
  return kRecords[ClampRecord(record)].firstEntry;
}

int LyricStyleTable::EntryCount(int record) {
  return kRecords[ClampRecord(record)].entries;
}

std::string LyricStyleTable::Section(int record) const {
  return "Words" + names_[FirstEntry(record)];
}

std::string_view LyricStyleTable::Name(int entry) const {
  if (entry < 0 || entry >= kEntries)
    return {};
  return names_[entry];
}

const gdi::LogFont& LyricStyleTable::Font(int record) const {
  return records_[ClampRecord(record)].font;
}

bool LyricStyleTable::Outline(int record) const {
  return records_[ClampRecord(record)].outline != 0;
}

int32_t LyricStyleTable::OutlineValue(int record) const {
  return records_[ClampRecord(record)].outline;
}

gdi::Colour LyricStyleTable::Entry(int entry) const {
  if (entry < 0 || entry >= kEntries)
    return 0;
  return colours_[entry];
}

gdi::Colour LyricStyleTable::Colour(int group, int k) const {
  const int base = group == 0 ? 0 : group == 1 ? 4 : 8;
  return colours_[base + std::clamp(k, 1, 4) - 1];
}

} // namespace display
