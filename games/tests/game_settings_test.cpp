// game.ini of the two games: keys, read limits, defaults, and the score
// table's order.
#include "games/game_settings.h"

#include "platform/sys/ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace games {
namespace {

class GameIni : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("games-ini-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "game.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(GameIni, ViewHelpIsTrueOnlyForExactlyTRUE) {
  struct Case {
    const char* what;
    std::string file;
    bool expect;
  } cases[] = {
      {"no file", "", false},
      {"TRUE", "[Velkaro Environment]\nView Help=TRUE\n", true},
      {"lower case", "[Velkaro Environment]\nView Help=true\n", false},
      {"TRUE and more is not TRUE", "[Velkaro Environment]\nView Help=TRUEX\n", false},
      {"cut at five characters", "[Velkaro Environment]\nView Help=TRUE TRUE\n", false},
      {"five characters compared", "[Velkaro Environment]\nView Help=TRUTH\n", false},
      {"FALSE", "[Velkaro Environment]\nView Help=FALSE\n", false},
      {"other game's section", "[Zunparvek Environment]\nView Help=TRUE\n", false},
  };
  const GameSettings s(kDurm12, path_);
  for (const Case& c : cases) {
    std::filesystem::remove(path_);
    if (!c.file.empty())
      Write(c.file);
    EXPECT_EQ(s.ViewHelp(), c.expect) << c.what;
  }
}

TEST_F(GameIni, ViewHelpWriteBack) {
  const GameSettings s(kBolrixa, path_);
  ASSERT_TRUE(s.SetViewHelp(true));
  EXPECT_EQ(sys::IniGetString(path_, "Zunparvek Environment", "View Help", ""), "TRUE");
  EXPECT_TRUE(s.ViewHelp());
  ASSERT_TRUE(s.SetViewHelp(false));
  EXPECT_EQ(sys::IniGetString(path_, "Zunparvek Environment", "View Help", ""), "FALSE");
}

TEST_F(GameIni, CutLineDefaultsAndLimits) {
  const GameSettings durm(kDurm12, path_), bolrixa(kBolrixa, path_);
  EXPECT_EQ(durm.JudgedCutLine(), 70);
  EXPECT_EQ(durm.ShownCutLine(), 70);
  EXPECT_EQ(bolrixa.JudgedCutLine(), 0); // judged against 0 until one is stored
  EXPECT_EQ(bolrixa.ShownCutLine(), 70);
  struct Case {
    int32_t value;
    bool stored;
  } cases[] = {{0, true}, {1, true}, {100, true}, {101, false}, {-1, false}};
  for (const Case& c : cases) {
    ASSERT_TRUE(durm.SetCutLine(55));
    EXPECT_EQ(durm.SetCutLine(c.value), c.stored) << c.value;
    EXPECT_EQ(durm.JudgedCutLine(), c.stored ? c.value : 55) << c.value;
  }
  EXPECT_EQ(bolrixa.JudgedCutLine(), 0) << "sections stay apart";
}

TEST_F(GameIni, FontNameIsReadUpTo29Characters) {
  const GameSettings s(kDurm12, path_);
  EXPECT_EQ(s.FontName(), "System");
  Write("[Velkaro Environment]\nFontName=" + std::string(40, 'F') + "\n");
  EXPECT_EQ(s.FontName(), std::string(29, 'F'));
}

TEST_F(GameIni, ScoreTableKeepsEveryDigitAndLimitsNames) {
  Write("[Velkaro Score Table]\nScore1=950\nName1=Ann\nScore2=1200\nName2=" + std::string(25, 'n') +
        "\nScore3=\nName3=\nScore5=abc\n");
  ScoreTable t = ReadScoreTable(path_);
  EXPECT_EQ(t[0].score, 950);
  EXPECT_EQ(t[1].score, 1200);
  EXPECT_EQ(t[1].name, std::string(19, 'n'));
  EXPECT_EQ(t[2].score, 0);
  EXPECT_EQ(t[3].score, 0);
  EXPECT_EQ(t[4].score, 0);
  t[2] = {1034, "Kim"};
  ASSERT_TRUE(WriteScoreTable(path_, t));
  EXPECT_EQ(sys::IniGetString(path_, kScoreTableSection, "Score3", ""), "1034");
  EXPECT_EQ(sys::IniGetString(path_, kScoreTableSection, "Score4", "x"), "");
  EXPECT_EQ(ReadScoreTable(path_)[2].score, 1034);
}

TEST(ScoreTableSort, HighestFirstNamesMoveWithScores) {
  ScoreTable t{{{0, ""}, {300, "c"}, {1100, "a"}, {300, "d"}, {500, "b"}}};
  SortScoreTable(t);
  const char* names[] = {"a", "b", "c", "d", ""};
  const int32_t scores[] = {1100, 500, 300, 300, 0};
  for (int i = 0; i < kScorePlaces; ++i) {
    EXPECT_EQ(t[i].name, names[i]) << i;
    EXPECT_EQ(t[i].score, scores[i]) << i;
  }
}

} // namespace
} // namespace games
