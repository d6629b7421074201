// The style table against "config.ini": a first start writes every record's
// section with its defaults, stored values are read and written back with
// the rest of the file kept, faces are cut to 31 bytes, locale faces
// replace all seven, and the colour getter picks the lyric groups.
#include "display/lyric/lyric_style_table.h"
#include "platform/sys/ini.h"
#include "support/lyric_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace display {
namespace {

using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

struct SectionRow {
  const char* section;
  std::vector<std::pair<const char*, const char*>> keys;
};

// What a first start writes, key by key in order.
const SectionRow kDefaults[] = {
    {"WordsLyric",
     {{"Outline", "1"},
      {"Font", "Times New Roman"},
      {"Weight", "700"},
      {"Italic", "0"},
      {"Color1", "65535"},
      {"Color2", "0"},
      {"Color3", "16711935"},
      {"Color4", "16777215"}}},
    {"WordsMale",
     {{"Outline", "1"},
      {"Font", "Times New Roman"},
      {"Weight", "700"},
      {"Italic", "0"},
      {"Color1", "16711680"},
      {"Color2", "0"},
      {"Color3", "1674448"},
      {"Color4", "16777215"}}},
    {"WordsFemale",
     {{"Outline", "1"},
      {"Font", "Times New Roman"},
      {"Weight", "700"},
      {"Italic", "0"},
      {"Color1", "255"},
      {"Color2", "0"},
      {"Color3", "33023"},
      {"Color4", "16777215"}}},
    {"WordsNumber",
     {{"Outline", "1"},
      {"Font", "Times New Roman"},
      {"Weight", "700"},
      {"Italic", "0"},
      {"Color1", "16711680"},
      {"Color2", "16711935"}}},
    {"WordsNumber2",
     {{"Outline", "1"},
      {"Font", "Times New Roman"},
      {"Weight", "700"},
      {"Italic", "0"},
      {"Color1", "65280"},
      {"Color2", "255"}}},
    {"WordsTitle",
     {{"Outline", "1"},
      {"Font", "Times New Roman"},
      {"Weight", "700"},
      {"Italic", "0"},
      {"Color1", "16711680"},
      {"Color2", "65535"}}},
    {"WordsInfo",
     {{"Outline", "1"},
      {"Font", "Times New Roman"},
      {"Weight", "700"},
      {"Italic", "0"},
      {"Color1", "16711680"},
      {"Color2", "16777215"}}},
};

TEST(StyleTable, FirstStartWritesEverySectionWithItsDefaults) {
  ScratchDir dir;
  const std::string ini = dir.File("config.ini");
  LyricStyleTable table(ini);
  ASSERT_TRUE(table.LoadAndStore());
  std::optional<sys::IniDocument> doc = sys::IniLoad(ini);
  ASSERT_TRUE(doc);
  std::vector<std::string> sections;
  for (const SectionRow& row : kDefaults)
    sections.push_back(row.section);
  EXPECT_EQ(doc->Sections(), sections);
  for (const SectionRow& row : kDefaults) {
    SCOPED_TRACE(row.section);
    std::vector<std::string> keys;
    for (const auto& [key, value] : row.keys) {
      keys.push_back(key);
      EXPECT_EQ(doc->Get(row.section, key).value_or("<missing>"), value) << key;
    }
    EXPECT_EQ(doc->Keys(row.section), keys);
  }
  // The fixed parts of every record.
  for (int r = 0; r < LyricStyleTable::kFontRecords; ++r) {
    const gdi::LogFont& lf = table.Font(r);
    EXPECT_EQ(lf.height, 0);
    EXPECT_EQ(lf.width, 0);
    EXPECT_EQ(lf.weight, 700);
    EXPECT_EQ(lf.charSet, gdi::kDefaultCharSet);
    EXPECT_EQ(lf.outPrecision, 7);
    EXPECT_EQ(lf.quality, gdi::kNonAntialiasedQuality);
    EXPECT_EQ(lf.pitchAndFamily, 0);
    EXPECT_TRUE(table.Outline(r));
  }
  // A second start reads the same and changes nothing.
  const std::string first = ReadFile(ini);
  LyricStyleTable again(ini);
  ASSERT_TRUE(again.LoadAndStore());
  EXPECT_EQ(ReadFile(ini), first);
}

TEST(StyleTable, StoredValuesAreReadAndTheRestOfTheFileIsKept) {
  ScratchDir dir;
  const std::string ini = dir.File("config.ini");
  WriteFile(ini, "; my settings\r\n"
                 "[Words]\r\n"
                 "ProgressDuration=30\r\n"
                 "[wordsmale]\r\n"
                 "Font=NanumGothic\r\n"
                 "Weight=400\r\n"
                 "Italic=1\r\n"
                 "Outline=0\r\n"
                 "Color1=123\r\n"
                 "Color3=\r\n"
                 "Other=keep\r\n");
  LyricStyleTable table(ini);
  ASSERT_TRUE(table.LoadAndStore());
  EXPECT_EQ(table.Font(1).FaceName(), "NanumGothic");
  EXPECT_EQ(table.Font(1).weight, 400);
  EXPECT_EQ(table.Font(1).italic, 1);
  EXPECT_FALSE(table.Outline(1));
  EXPECT_EQ(table.Entry(4), 123u);
  EXPECT_EQ(table.Entry(5), 0u);
  EXPECT_EQ(table.Entry(6), 1674448u); // an empty value takes the default
  EXPECT_EQ(table.Font(0).FaceName(), "Times New Roman");
  const std::string text = ReadFile(ini);
  EXPECT_NE(text.find("; my settings\r\n"), std::string::npos);
  EXPECT_NE(text.find("ProgressDuration=30\r\n"), std::string::npos);
  EXPECT_NE(text.find("Other=keep\r\n"), std::string::npos);
  EXPECT_NE(text.find("Color3=1674448\r\n"), std::string::npos);
  EXPECT_NE(text.find("Outline=0\r\n"), std::string::npos);
}

TEST(StyleTable, FacesAreCutTo31BytesNeverInHalfACharacter) {
  struct Case {
    std::string stored;
    std::string kept;
  };
  const std::string hangul16 = [] {
    std::string s;
    for (int i = 0; i < 16; ++i)
      s += "\xB0\xA1"; // a Hangul syllable of code page 949
    return s;
  }();
  const Case cases[] = {
      {std::string(45, 'F'), std::string(31, 'F')},
      {std::string(31, 'G'), std::string(31, 'G')},
      {hangul16, hangul16.substr(0, 30)},
      {"A" + hangul16, "A" + hangul16.substr(0, 30)},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const std::string ini = dir.File("config.ini");
    WriteFile(ini, "[WordsLyric]\nFont=" + c.stored + "\n");
    LyricStyleTable table(ini);
    ASSERT_TRUE(table.LoadAndStore());
    EXPECT_EQ(table.Font(0).FaceName(), c.kept);
    EXPECT_EQ(sys::IniGetString(ini, "WordsLyric", "Font", ""), c.kept);
  }
}

TEST(StyleTable, LocaleFaceReplacesAllSevenUnlessItIsTheMark) {
  struct Case {
    const char* ini;
    int locale;
    const char* face;
  };
  const Case cases[] = {
      {"[Locale_932]\nFont=MS Gothic\n", 932, "MS Gothic"},
      {"[Locale_932]\nFont=@\n", 932, "Times New Roman"},
      {"[Locale_932]\nFont=MS Gothic\n", 949, "Times New Roman"}, // no section: "@"
      {"[Locale_950]\nFont=@MingLiU\n", 950, "@MingLiU"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    ScratchDir dir;
    const std::string ini = dir.File("config.ini");
    WriteFile(ini, c.ini);
    LyricStyleTable table(ini);
    table.LoadAndStore();
    table.ApplyLocaleFace(c.locale);
    for (int r = 0; r < LyricStyleTable::kFontRecords; ++r)
      EXPECT_EQ(table.Font(r).FaceName(), c.face) << r;
  }
}

TEST(StyleTable, NamesComeFromTheResourceStrings) {
  ScratchDir dir;
  const std::string ini = dir.File("config.ini");
  std::map<uint32_t, std::string> strings = {
      {240, "Basic"},
      {244, ""},                   // empty: the built-in name stays
      {248, std::string(40, 'n')}, // cut to 29 bytes
      {252, "\xB9\xF8\xC8\xA3"},   // code-page bytes as they are
  };
  LyricStyleTable table(ini);
  table.LoadNames([&](uint32_t id) -> std::optional<std::string> {
    auto it = strings.find(id);
    if (it == strings.end())
      return std::nullopt;
    return it->second;
  });
  EXPECT_EQ(table.Section(0), "WordsBasic");
  EXPECT_EQ(table.Section(1), "WordsMale");
  EXPECT_EQ(table.Section(2), "Words" + std::string(29, 'n'));
  EXPECT_EQ(table.Section(3), "Words\xB9\xF8\xC8\xA3");
  EXPECT_EQ(table.Section(5), "WordsTitle");
  EXPECT_EQ(table.Name(17), "Title outline");
  ASSERT_TRUE(table.LoadAndStore());
  EXPECT_EQ(sys::IniGetString(ini, "WordsBasic", "Color1", ""), "65535");
}

TEST(StyleTable, ColourGetterPicksTheLyricGroups) {
  ScratchDir dir;
  LyricStyleTable table(dir.File("config.ini"));
  struct Case {
    int group;
    int k;
    int entry;
  };
  const Case cases[] = {{0, 1, 0},  {0, 4, 3},  {1, 1, 4}, {1, 3, 6}, {2, 2, 9},
                        {5, 4, 11}, {-1, 1, 8}, {0, 0, 0}, {1, 9, 7}};
  for (const Case& c : cases)
    EXPECT_EQ(table.Colour(c.group, c.k), table.Entry(c.entry)) << c.group << " " << c.k;
  EXPECT_EQ(table.Colour(0, 1), 65535u);
  EXPECT_EQ(table.Colour(2, 3), 33023u);
  EXPECT_EQ(table.Entry(20), 0u);
  EXPECT_EQ(table.Entry(-1), 0u);
}

TEST(StyleTable, ReloadReadsWithoutWritingAndAnUnwritableFileKeepsTheValuesRead) {
  ScratchDir dir;
  const std::string ini = dir.File("config.ini");
  LyricStyleTable table(ini);
  table.Reload();
  EXPECT_FALSE(std::filesystem::exists(ini));
  WriteFile(ini, "[WordsFemale]\nColor1=77\n");
  table.Reload();
  EXPECT_EQ(table.Entry(8), 77u);
  EXPECT_EQ(ReadFile(ini), "[WordsFemale]\nColor1=77\n");

  LyricStyleTable nowhere(dir.File("missing-folder/config.ini"));
  EXPECT_FALSE(nowhere.LoadAndStore());
  EXPECT_EQ(nowhere.Entry(0), 65535u);
}

} // namespace
} // namespace display
