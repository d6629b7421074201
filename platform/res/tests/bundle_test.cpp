#include "platform/res/bundle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using res::Bundle;

std::string TestBundles() {
  return VEXO_TESTS_DIR "/bundles";
}

TEST(Bundle, FileNames) {
  EXPECT_EQ(res::BundleFileName("rTamblo.dll"), "rTamblo.rcc");
  EXPECT_EQ(res::BundleFileName("rKivo32.DLL"), "rKivo32.rcc");
  EXPECT_EQ(res::BundleFileName("rZunpar"), "rZunpar.rcc");
}

TEST(Bundle, EveryBundleOfTheSuiteIsBuiltAndLoads) {
  for (const char* name :
       {"rTamblo", "rKivo32", "rTondo32", "rNyvanta", "rBivane", "rDurm12", "rZunpar"}) {
    std::string error;
    auto bundle = Bundle::Load(std::string(name) + ".dll", VEXO_BIN_DIR, &error);
    ASSERT_TRUE(bundle) << error;
    EXPECT_EQ(bundle->Name(), name);
    auto identity = bundle->String(65000);
    ASSERT_TRUE(identity) << name;
    EXPECT_EQ(identity->rfind(name, 0), 0u) << *identity;
  }
}

TEST(Bundle, StringsByNumber) {
  std::string error;
  auto bundle = Bundle::Load("rGood.dll", TestBundles(), &error);
  ASSERT_TRUE(bundle) << error;
  EXPECT_EQ(bundle->StringCount(), 5u);
  EXPECT_EQ(bundle->String(3), "Karaoke");
  EXPECT_EQ(bundle->String(4), "Two\nlines");
  EXPECT_EQ(bundle->String(6), "");
  EXPECT_EQ(bundle->String(7), std::nullopt);
  // Code-page bytes for the code that keeps its texts in them.
  EXPECT_EQ(bundle->StringBytes(5, 949), "\xB0\xA1\xBB\xE7 \xBA\xB8\xB1\xE2");
  EXPECT_EQ(bundle->StringBytes(5, 1252), "?? ??");
  EXPECT_EQ(bundle->StringBytes(7), "");
}

TEST(Bundle, CopiedStringsAreCutWholeAndTerminated) {
  auto bundle = Bundle::Load("rGood", TestBundles());
  ASSERT_TRUE(bundle);
  struct Row {
    uint32_t id;
    int size;
    std::string expected;
  };
  const Row rows[] = {
      {3, 100, "Karaoke"},         {3, 5, "Kara"}, {5, 4, "\xB0\xA1"}, // 3 bytes would split 사
      {5, 6, "\xB0\xA1\xBB\xE7 "}, {7, 10, ""},    {3, 1, ""},
  };
  for (const auto& r : rows) {
    char buf[100];
    std::memset(buf, 'z', sizeof buf);
    int n = bundle->CopyString(r.id, buf, r.size);
    EXPECT_EQ(std::string(buf), r.expected) << r.id << " " << r.size;
    EXPECT_EQ(n, static_cast<int>(r.expected.size()));
  }
  EXPECT_EQ(bundle->CopyString(3, nullptr, 10), 0);
}

TEST(Bundle, OtherFilesByPath) {
  auto bundle = Bundle::Load("rGood", TestBundles());
  ASSERT_TRUE(bundle);
  auto bitmap = bundle->File("bitmaps/130.bmp");
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(*bitmap, (std::vector<uint8_t>{'B', 'M', 0x00, 0x01, 0x02, 0xFF}));
  EXPECT_FALSE(bundle->File("bitmaps/131.bmp"));
  EXPECT_FALSE(bundle->File("../rGood/strings.txt"));
  EXPECT_FALSE(bundle->File("/bitmaps/130.bmp"));
}

TEST(Bundle, FilesForTheResourceFormsAndBoxesOfStrings) {
  auto bundle = Bundle::Load("rGood", TestBundles());
  ASSERT_TRUE(bundle);
  ui::ResourceFiles files = bundle->Files();
  bundle.reset(); // the files stay readable without the object
  EXPECT_EQ(files("bitmaps/130.bmp")->size(), 6u);
  EXPECT_FALSE(files("bitmaps/131.bmp"));

  auto again = Bundle::Load("rGood", TestBundles());
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  ui::ScopedMessageBoxBackend scoped(boxes);
  boxes->Answer(ui::IDNO);
  EXPECT_EQ(MessageBoxString(*again, 3, ui::MB_YESNO, 0, "Song"), ui::IDNO);
  MessageBoxString(*again, 9);
  auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Karaoke");
  EXPECT_EQ(shown[0].caption, "Song");
  EXPECT_EQ(shown[0].flags, ui::MB_YESNO);
  EXPECT_EQ(shown[1].text, "");
}

TEST(Bundle, TwoLoadsOfOneBundleStandApart) {
  auto first = Bundle::Load("rGood", TestBundles());
  ASSERT_TRUE(first);
  {
    auto second = Bundle::Load("rGood", TestBundles());
    ASSERT_TRUE(second);
    EXPECT_NE(first->QtPath("strings.txt"), second->QtPath("strings.txt"));
  }
  // Dropping the second leaves the first readable.
  EXPECT_TRUE(first->File("bitmaps/130.bmp"));
}

TEST(Bundle, BrokenAndMissingBundlesDoNotLoad) {
  std::string error;
  EXPECT_FALSE(Bundle::Load("rBroken", TestBundles(), &error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;

  EXPECT_FALSE(Bundle::Load("rNothing.dll", TestBundles(), &error));
  EXPECT_NE(error.find("rNothing.rcc"), std::string::npos) << error;

  std::string junk = testing::TempDir() + "rJunk.rcc";
  std::ofstream(junk) << "this is not a resource file";
  EXPECT_FALSE(Bundle::Load("rJunk", testing::TempDir(), &error));
  std::ofstream(junk) << "qres and then nothing sensible";
  EXPECT_FALSE(Bundle::Load("rJunk", testing::TempDir(), &error));
  fs::remove(junk);

  EXPECT_FALSE(Bundle::Load("../bundles/rGood", TestBundles(), &error));
}

TEST(Bundle, AMissingBundleFailsTheStartAfterTheBox) {
  auto script = std::make_shared<ui::ScriptedMessageBox>();
  ui::ScopedMessageBoxBackend scoped(script);
  testing::internal::CaptureStderr();
  auto bundle =
      res::LoadAtStart("rKivo32.dll", TestBundles(),
                       {"rKivo32.dll is not found!", "Error", ui::MB_OK | ui::MB_ICONEXCLAMATION});
  std::string logged = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(bundle);
  auto shown = script->Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "rKivo32.dll is not found!");
  EXPECT_EQ(shown[0].caption, "Error");
  EXPECT_EQ(shown[0].flags, ui::MB_OK | ui::MB_ICONEXCLAMATION);
  EXPECT_NE(logged.find("rKivo32.rcc"), std::string::npos) << logged;

  // A bundle that is there shows nothing.
  EXPECT_TRUE(res::LoadAtStart("rGood.dll", TestBundles(), {"rGood.dll not found"}));
  EXPECT_EQ(script->Shown().size(), 1u);
}

} // namespace
