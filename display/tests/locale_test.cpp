// The process locale belongs to program start-up: threads read it while the
// display runs, so no code of the programs switches it afterwards. Code pages
// travel with the texts instead (fonts, measuring, conversions).
#include "display/tests/support/frame_fixture.h"

#include "display/receiver.h"
#include "display/records.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace display;
using namespace displaytest;

namespace {

namespace fs = std::filesystem;

// The sources of the programs and libraries: every C++ file outside tests,
// build folders and the start-up files (main.cpp).
std::vector<fs::path> ProgramSources(const fs::path& root) {
  std::vector<fs::path> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    if (it->is_directory()) {
      if (name.starts_with(".") || name.starts_with("build") || name == "tests")
        it.disable_recursion_pending();
      continue;
    }
    const std::string ext = p.extension().string();
    if ((ext == ".cpp" || ext == ".h" || ext == ".cc") && name != "main.cpp")
      out.push_back(p);
  }
  return out;
}

TEST(ProcessLocale, NoSourceSwitchesItOutsideStartUp) {
  const fs::path root = fs::path(VEXO_TEST_SOURCE_DIR) / ".." / "..";
  ASSERT_TRUE(fs::exists(root / "display" / "receiver.cpp"));
  const std::vector<fs::path> sources = ProgramSources(root);
  ASSERT_GT(sources.size(), 50u);
  for (const fs::path& p : sources) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find("setlocale"), std::string::npos) << p.lexically_normal();
  }
}

class CodePageTest : public FrameTest {};

TEST_F(CodePageTest, ACodePageNoticeLeavesTheProcessLocaleAlone) {
  Start();
  const std::string before = std::setlocale(LC_ALL, nullptr);
  for (int32_t codePage : {949, 932, 1252, 1251}) {
    win::SendMessage(hwnd, win::WM_USER, kCodePageNotify, codePage);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before) << codePage;
    EXPECT_EQ(frame->Receiver()->CodePage(), codePage);
    ASSERT_TRUE(frame->Word() && frame->Word()->Lines());
    EXPECT_EQ(frame->Word()->Lines()->CodePage(), codePage);
  }
}

} // namespace
