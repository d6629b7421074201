// The help file as the help dialog shows it.
#include "games/help_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace games {
namespace {

TEST(HelpText, LinesOfAwkwardFiles) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"empty", "", {}},
      {"LF", "one\ntwo\n", {"one", "two"}},
      {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
      {"no final LF", "one\ntwo", {"one", "two"}},
      {"blank lines kept", "a\n\nb\n", {"a", "", "b"}},
      {"zero byte shown, the rest kept", std::string("a\0b\nc\n", 6), {"a b", "c"}},
      {"CP949 converted", "\xB0\xA1\xB3\xAA\n", {"가나"}},
      {"2 KB line whole", std::string(2048, 'x') + "\nend", {std::string(2048, 'x'), "end"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HelpLines(c.bytes), c.lines) << c.what;
}

TEST(HelpText, EditTextEndsEachLineWithCrLf) {
  EXPECT_EQ(HelpEditText("a\nb"), "a\r\nb\r\n");
  EXPECT_EQ(HelpEditText(""), "");
}

TEST(HelpText, FileIsReadUpToItsBound) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("games-help-" + std::to_string(::getpid()) + ".txt");
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(kMaxHelpFileSize + 10, 'h');
  }
  const auto bytes = ReadHelpFile(path.string());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), kMaxHelpFileSize);
  std::filesystem::remove(path);
  EXPECT_FALSE(ReadHelpFile(path.string()));
}

} // namespace
} // namespace games
