#include "platform/sys/settings_store.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

using sys::SettingsStore;
using sys::SettingType;
using sys::test::ReadFile;
using sys::test::ScopedEnv;
using sys::test::ScratchFolder;
using sys::test::WriteFile;

using Names = std::vector<std::string>;

class SettingsStoreTest : public ::testing::Test {
protected:
  ScratchFolder dir;
  // The store's folder does not exist yet: the first write makes it.
  std::string file = dir / "config/vexo3/settings.ini";
  ScopedEnv env{"VEXO_SETTINGS_FILE", file.c_str()};
  SettingsStore store;
};

TEST_F(SettingsStoreTest, WritesTheDocumentedText) {
  EXPECT_EQ(store.File(), file);
  ASSERT_TRUE(store.SetString("Software\\X\\Y", "Name", "text"));
  ASSERT_TRUE(store.SetDword("software\\x\\y", "Count", 42));
  ASSERT_TRUE(store.SetString("Software\\X\\Y", "", "unnamed"));
  ASSERT_TRUE(store.SetString("Software\\X\\Y", "NAME", "again"));
  EXPECT_EQ(ReadFile(file), "[Software\\X\\Y]\nName=sz:again\nCount=dword:42\n@=sz:unnamed\n");
}

TEST_F(SettingsStoreTest, ReadsAHandWrittenFile) {
  ASSERT_EQ(mkdir((dir / "config").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir / "config/vexo3").c_str(), 0700), 0);
  WriteFile(file, "; kept\r\n"
                  "[software\\x]\r\n"
                  "@=sz:default\r\n"
                  "N%3Dame=sz:a%0D%0Ab\r\n"
                  "Max=dword:4294967295\r\n"
                  "Big=dword:4294967296\r\n"
                  "Bad=dword:12x\r\n"
                  "Odd=zz:1\r\n"
                  "Spaced=sz:  a %20\r\n");
  struct Case {
    std::string name;
    std::optional<std::string> text;
    std::optional<uint32_t> dword;
  };
  const Case cases[] = {
      {"", "default", std::nullopt},       {"n=AME", "a\r\nb", std::nullopt},
      {"max", std::nullopt, 0xFFFFFFFFu},  {"Big", std::nullopt, std::nullopt},
      {"Bad", std::nullopt, std::nullopt}, {"Odd", std::nullopt, std::nullopt},
      {"Spaced", "  a  ", std::nullopt},   {"Missing", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(store.GetString("Software\\X", c.name), c.text) << c.name;
    EXPECT_EQ(store.GetDword("SOFTWARE\\X", c.name), c.dword) << c.name;
  }
  EXPECT_EQ(store.ValueNames("Software\\X"),
            (Names{"", "N=ame", "Max", "Big", "Bad", "Odd", "Spaced"}));
  // A change keeps every other line as it was.
  ASSERT_TRUE(store.SetDword("Software\\X", "Max", 1));
  std::string text = *ReadFile(file);
  EXPECT_NE(text.find("; kept\r\n[software\\x]\r\n@=sz:default\r\n"), std::string::npos);
  EXPECT_NE(text.find("Max=dword:1\r\nBig=dword:4294967296\r\n"), std::string::npos);
}

TEST_F(SettingsStoreTest, TypesAreKeptApart) {
  ASSERT_TRUE(store.SetDword("Software\\X", "N", 7));
  EXPECT_EQ(store.GetString("Software\\X", "N"), std::nullopt);
  EXPECT_EQ(store.GetDword("Software\\X", "N"), 7u);
  std::optional<sys::SettingValue> v = store.Get("Software\\X", "N");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, SettingType::Dword);
  ASSERT_TRUE(store.SetString("Software\\X", "N", "7"));
  EXPECT_EQ(store.GetDword("Software\\X", "N"), std::nullopt);
  EXPECT_EQ(store.GetString("Software\\X", "N"), "7");
}

TEST_F(SettingsStoreTest, AnyNameAndValueRoundTrips) {
  const std::string texts[] = {
      "",
      "a=b",
      "100%",
      " lead",
      "trail ",
      "\t",
      "@",
      "@x",
      ";x",
      "[x",
      "x]",
      "line\r\nbreak",
      "\"quoted\"",
      "'q'",
      "\xB0\xA1\x81\x41",
      "a\\b",
      std::string("z\0z", 3),
  };
  for (const std::string& t : texts) {
    ASSERT_TRUE(store.SetString("Software\\Round", t, t)) << t;
    EXPECT_EQ(store.GetString("Software\\Round", t), t) << t;
  }
  Names names = store.ValueNames("Software\\Round");
  EXPECT_EQ(names, Names(std::begin(texts), std::end(texts)));
  // Key names too, except for the backslash that separates them.
  const std::string keys[] = {" lead", "a]b", "[x", "100%", "tab\there", "\xB0\xA1"};
  for (const std::string& k : keys)
    ASSERT_TRUE(store.SetDword("Software\\Keys\\" + k, "v", 1)) << k;
  EXPECT_EQ(store.SubKeys("Software\\Keys"), Names(std::begin(keys), std::end(keys)));
  for (const std::string& k : keys)
    EXPECT_EQ(store.GetDword("Software\\Keys\\" + k, "v"), 1u) << k;
}

TEST_F(SettingsStoreTest, EnumeratesSubKeys) {
  ASSERT_TRUE(store.CreateKey("Software\\A\\One"));
  ASSERT_TRUE(store.SetDword("Software\\a\\two\\deep", "v", 1));
  ASSERT_TRUE(store.SetString("Software\\B", "v", "x"));
  ASSERT_TRUE(store.SetString("System\\C", "v", "x"));
  EXPECT_EQ(store.SubKeys(""), (Names{"Software", "System"}));
  EXPECT_EQ(store.SubKeys("Software"), (Names{"A", "B"}));
  EXPECT_EQ(store.SubKeys("SOFTWARE\\a"), (Names{"One", "two"}));
  EXPECT_TRUE(store.SubKeys("Software\\B").empty());
  EXPECT_TRUE(store.SubKeys("Nothing").empty());
  // A key above a created one exists without a section of its own.
  EXPECT_TRUE(store.KeyExists("software\\A\\TWO"));
  EXPECT_TRUE(store.KeyExists("Software\\A\\One"));
  EXPECT_TRUE(store.KeyExists(""));
  EXPECT_FALSE(store.KeyExists("Software\\C"));
  EXPECT_FALSE(store.KeyExists("Software\\A\\On"));
  // Empty components do not count.
  EXPECT_EQ(store.GetString("\\Software\\\\B\\", "v"), "x");
}

TEST_F(SettingsStoreTest, DeletesValuesAndKeys) {
  ASSERT_TRUE(store.SetString("Software\\A", "keep", "1"));
  ASSERT_TRUE(store.SetString("Software\\A", "drop", "2"));
  ASSERT_TRUE(store.SetString("Software\\A\\Sub", "v", "3"));
  ASSERT_TRUE(store.SetString("Software\\AB", "v", "4"));
  ASSERT_TRUE(store.DeleteValue("software\\a", "DROP"));
  EXPECT_EQ(store.ValueNames("Software\\A"), (Names{"keep"}));
  EXPECT_TRUE(store.DeleteValue("Software\\A", "never there"));
  EXPECT_TRUE(store.DeleteValue("No\\Such\\Key", "v"));

  ASSERT_TRUE(store.DeleteKey("SOFTWARE\\A"));
  EXPECT_FALSE(store.KeyExists("Software\\A"));
  EXPECT_FALSE(store.KeyExists("Software\\A\\Sub"));
  // A sibling whose name merely starts the same stays.
  EXPECT_EQ(store.GetString("Software\\AB", "v"), "4");
  EXPECT_EQ(store.SubKeys("Software"), (Names{"AB"}));
  EXPECT_TRUE(store.DeleteKey("Software\\A"));
}

TEST_F(SettingsStoreTest, RootHoldsNoValues) {
  EXPECT_FALSE(store.SetString("", "v", "x"));
  EXPECT_FALSE(store.SetDword("\\", "v", 1));
  EXPECT_FALSE(store.DeleteKey(""));
  EXPECT_EQ(store.GetString("", "v"), std::nullopt);
  EXPECT_FALSE(ReadFile(file)) << "nothing written";
}

TEST_F(SettingsStoreTest, StoresSharingOneFileSeeEachOther) {
  SettingsStore other(file);
  ASSERT_TRUE(store.SetDword("K", "a", 1));
  ASSERT_TRUE(other.SetDword("K", "b", 2));
  ASSERT_TRUE(store.SetDword("k", "c", 3));
  EXPECT_EQ(other.ValueNames("K"), (Names{"a", "b", "c"}));
}

TEST(SettingsStore, FailsCleanlyWithoutAUsableFile) {
  ScratchFolder dir;
  WriteFile(dir / "plain", "x");
  SettingsStore blocked(dir / "plain/settings.ini"); // its folder is a file
  EXPECT_FALSE(blocked.SetString("K", "v", "x"));
  EXPECT_FALSE(blocked.CreateKey("K"));
  EXPECT_EQ(blocked.GetString("K", "v"), std::nullopt);
  SettingsStore none{std::string()};
  EXPECT_FALSE(none.SetString("K", "v", "x"));
}

TEST(SettingsStore, DefaultFileFollowsTheEnvironment) {
  struct Case {
    const char* own;
    const char* xdg;
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/x/s.ini", "/cfg", "/home/u", "/x/s.ini"},
      {nullptr, "/cfg", "/home/u", "/cfg/vexo3/settings.ini"},
      {"", "/cfg", "/home/u", "/cfg/vexo3/settings.ini"},
      {nullptr, "relative", "/home/u", "/home/u/.config/vexo3/settings.ini"},
      {nullptr, nullptr, "/home/u", "/home/u/.config/vexo3/settings.ini"},
  };
  for (const Case& c : cases) {
    ScopedEnv own("VEXO_SETTINGS_FILE", c.own);
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(sys::DefaultSettingsFile(), c.expected);
  }
}

} // namespace
