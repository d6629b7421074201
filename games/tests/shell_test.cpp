// The shell's dialogs and frames in this process: the cut line stored and
// refused, Durm12's top-5 table, the help text and its write-back, and the
// frames' client sizes under the menu bar.
#include "games/board.h"
#include "games/challenge.h"
#include "games/presence.h"
#include "games/shell_dialogs.h"
#include "games/tests/support/game_session.h"

#include "platform/sys/ini.h"
#include "platform/ui/window/snapshot.h"
#include "platform/win/loop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace games {
namespace {

namespace fs = std::filesystem;
using ui::DialogStep;

class Shell : public ::testing::Test {
protected:
  void SetUp() override {
    gamestest::StartGameSession();
    dir_ = fs::temp_directory_path() /
           ("games-shell-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    dialogs_ = std::make_shared<ui::ScriptedDialogs>();
    boxes_ = std::make_shared<ui::ScriptedMessageBox>();
    oldDialogs_ = ui::SetDialogBackend(dialogs_);
    oldBoxes_ = ui::SetMessageBoxBackend(boxes_);
  }
  void TearDown() override {
    ui::SetDialogBackend(oldDialogs_);
    ui::SetMessageBoxBackend(oldBoxes_);
    fs::remove_all(dir_);
  }
  GameContext Game(const GameTraits& traits) {
    auto game = gamestest::MakeGame(traits, dir_);
    EXPECT_TRUE(game) << "bundle " << traits.bundle;
    return std::move(*game);
  }
  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }

  fs::path dir_;
  std::shared_ptr<ui::ScriptedDialogs> dialogs_;
  std::shared_ptr<ui::ScriptedMessageBox> boxes_;
  std::shared_ptr<ui::DialogBackend> oldDialogs_;
  std::shared_ptr<ui::MessageBoxBackend> oldBoxes_;
};

TEST_F(Shell, CutLineStoresEveryValidValueAndRefusesTheRest) {
  struct Case {
    const char* typed;
    bool stored;
  } cases[] = {{"0", true}, {"100", true}, {"55", true}, {"101", false}, {"", false}};
  for (const GameTraits* traits : {&kDurm12, &kBolrixa}) {
    GameContext game = Game(*traits);
    for (const Case& c : cases) {
      ASSERT_TRUE(game.settings.SetCutLine(42));
      const size_t boxesBefore = boxes_->Shown().size();
      dialogs_->Expect({DialogStep::TypeInto(kCutLineEdit, c.typed), DialogStep::PressEnter()});
      const int result = RunCutLineDialog(game, 0);
      EXPECT_EQ(result, c.stored ? ui::IDOK : ui::IDCANCEL) << c.typed;
      EXPECT_EQ(sys::IniGetString(game.settings.Path(), traits->section, "Score Cut Line", ""),
                c.stored ? std::string(c.typed) : "42")
          << c.typed;
      EXPECT_EQ(boxes_->Shown().size(), boxesBefore + (c.stored ? 0 : 1)) << c.typed;
    }
  }
  const auto shown = boxes_->Shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front().text, "Please enter an integer between 0 and 100.");
  EXPECT_EQ(shown.back().text, "Please enter an integer.");
}

TEST_F(Shell, CutLineDialogStartsFromSeventyAndShowsTheSortedTable) {
  GameContext game = Game(kDurm12);
  WriteFile("game.ini", "[Velkaro Score Table]\nScore1=300\nName1=Cho\nScore2=1150\nName2=Lee\n"
                        "Score3=\nName3=\nScore4=0\nName4=\nScore5=640\nName5=Park\n");
  dialogs_->Expect({});
  RunCutLineDialog(game, 0);
  const auto runs = dialogs_->Runs();
  ASSERT_EQ(runs.size(), 1u);
  const ui::DialogState& s = runs[0].states.at(0);
  EXPECT_EQ(s.Text(kCutLineEdit), "70");
  const char* names[] = {"Lee", "Park", "Cho", "", ""};
  const char* scores[] = {"1150", "640", "300", "", ""};
  for (int i = 0; i < kScorePlaces; ++i) {
    EXPECT_EQ(s.Text(kScoreNameStatics[i]), names[i]) << i;
    EXPECT_EQ(s.Text(kScoreStatics[i]), scores[i]) << i;
  }
  // Bolrixa's dialog has no table and also starts from 70.
  GameContext bolrixa = Game(kBolrixa);
  dialogs_->Expect({});
  RunCutLineDialog(bolrixa, 0);
  EXPECT_EQ(dialogs_->Runs().back().states.at(0).Text(kCutLineEdit), "70");
}

TEST_F(Shell, HelpDialogShowsTheFileAndWritesTheCheckBoxBack) {
  for (const GameTraits* traits : {&kDurm12, &kBolrixa}) {
    SCOPED_TRACE(std::string(traits->name));
    GameContext game = Game(*traits);
    WriteFile(std::string(traits->helpFile), std::string("\xB0\xA1 one\r\ntwo\0x\nlast", 18));
    ASSERT_TRUE(game.settings.SetViewHelp(true));
    // The box starts checked from the file; a click clears it; OK stores it.
    dialogs_->Expect({DialogStep::ClickOn(kHelpCheck), DialogStep::PressEnter()});
    EXPECT_EQ(RunHelpDialog(game, 0), ui::IDOK);
    const ui::DialogRun run = dialogs_->Runs().back();
    EXPECT_EQ(run.states.at(0).Text(kHelpEdit), "가 one\r\ntwo x\r\nlast\r\n");
    EXPECT_EQ(run.states.at(0).Find(kHelpCheck)->check, 1u);
    EXPECT_FALSE(game.settings.ViewHelp());

    // Missing file: the message, and an empty text.
    fs::remove(dir_ / std::string(traits->helpFile));
    const size_t before = boxes_->Shown().size();
    dialogs_->Expect({DialogStep::ClickOn(kHelpCheck), DialogStep::PressEnter()});
    RunHelpDialog(game, 0);
    const auto shown = boxes_->Shown();
    ASSERT_EQ(shown.size(), before + 1);
    EXPECT_EQ(shown.back().text, game.String(traits->helpMissingString));
    EXPECT_EQ(shown.back().caption, game.String(traits->captionString));
    EXPECT_EQ(shown.back().flags, ui::MB_OK | ui::MB_ICONINFORMATION);
    EXPECT_TRUE(game.settings.ViewHelp());
  }
}

TEST_F(Shell, HelpAtStartOnlyWhenViewHelpIsTrue) {
  GameContext game = Game(kDurm12);
  HelpAtStart(game, 0);
  EXPECT_TRUE(dialogs_->Runs().empty());
  ASSERT_TRUE(game.settings.SetViewHelp(true));
  HelpAtStart(game, 0);
  EXPECT_EQ(dialogs_->Runs().size(), 1u);
}

template <class Frame> void CheckFrame(GameContext& game, const std::string& picture) {
  auto* frame = new Frame(game);
  ASSERT_TRUE(frame->Create());
  const ui::Hwnd hwnd = frame->GetHwnd();
  ui::ShowWindow(hwnd, ui::SW_SHOWNORMAL);
  win::ProcessPendingMessages();
  const gdi::Rect client = frame->ClientArea();
  EXPECT_EQ(client.Width(), game.traits.clientWidth);
  EXPECT_EQ(client.Height(), game.traits.clientHeight);
  EXPECT_EQ(win::GetWindowText(hwnd).value_or(""), game.String(game.traits.captionString));
  EXPECT_EQ(win::GetWindowStyle(hwnd) & (ui::WS_THICKFRAME | ui::WS_MAXIMIZEBOX), 0u);
  EXPECT_NE(PresenceWindow(), 0u);
  EXPECT_EQ(win::GetWindowText(PresenceWindow()).value_or(""), "VelmorithGame");
  const std::string folder = VEXO_TESTS_DIR "/artefacts";
  fs::create_directories(folder);
  EXPECT_TRUE(ui::SaveWindowImage(hwnd, folder + "/" + picture));
  win::DestroyWindow(hwnd);
}

TEST_F(Shell, FramesGiveTheGamesTheirClientSizeUnderTheMenuBar) {
  GameContext durm = Game(kDurm12);
  CheckFrame<CChallengeFrame>(durm, "durm12-frame.png");
  GameContext bolrixa = Game(kBolrixa);
  CheckFrame<CBoardFrame>(bolrixa, "bolrixa-frame.png");
}

} // namespace
} // namespace games
