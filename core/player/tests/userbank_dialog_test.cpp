// The user bank dialog, scripted: slots filled with and without embedding,
// written out, emptied, the base bank chosen, OK giving it all to the song
// and the card; Cancel keeping the song as it was; the dialog drawn
// offscreen.
#include "common/dialog_picture.h"
#include "common/player_fixture.h"

#include "core/player/userbankdlg.h"
#include "platform/res/dialog_resource.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"


#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using playertest::Scratch;
using ui::DialogStep;
using Lines = std::vector<std::string>;

class UserBankDialog : public testing::Test {
protected:
  void SetUp() override {
    std::string error;
    bundle = res::Bundle::Load("rTamblo", playertest::kBin, &error);
    ASSERT_TRUE(bundle) << error;
    auto t = res::LoadDialogTemplate(*bundle, core::kUserBankTemplate, &error);
    ASSERT_TRUE(t) << error;
    dialogTemplate = *t;
    texts = core::UserBankTexts::From(*bundle);

    setenv("VEXO_FAKE_BANK_TRACE", (dir / "trace").c_str(), 1);
    unsetenv("VEXO_FAKE_BANK_SCRIPT");
    ASSERT_EQ(card.LoadBankManager(playertest::kFixtures + "/bank-manager"), 1);
    Trace();

    song.Reset();
    song.loaded = 1;
    song.path = dir / "song.vx3";
    song.bankSlots[2].flags = core::kBankSlotUsed;
    song.bankSlots[2].data = {'R', 'I', 'F', 'F', 1, 2, 3};
    song.bankSlots[4] = {"C:\\Banks\\Piano.sf2", core::kBankSlotUsed | core::kBankSlotOwnFile, {}};
    song.bankSlots[6] = {"/tmp/x", core::kBankSlotUsed | core::kBankSlotTempFile, {9}};
    song.bankSlotCount = 3;
    song.bankNumber = 2;
    std::ofstream(dir / "sine.sf2") << "sine";
  }
  void TearDown() override {
    card.FreeBankManager();
    unsetenv("VEXO_FAKE_BANK_TRACE");
  }

  Lines Trace() {
    Lines lines;
    std::ifstream in(dir / "trace");
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    std::ofstream(dir / "trace", std::ios::trunc);
    return lines;
  }

  std::optional<res::Bundle> bundle;
  ui::DialogTemplate dialogTemplate;
  core::UserBankTexts texts;
  core::CSongData song;
  core::BankManager card;
  Scratch dir;
};

TEST_F(UserBankDialog, FillsWritesOutAndEmptiesSlotsAndOkGivesThemToTheSongAndTheCard) {
  auto files = std::make_shared<ui::ScriptedFileDialog>();
  ui::ScopedFileDialogBackend scopedFiles(files);
  files->Answer(dir / "sine.sf2");
  files->Answer(dir / "named.sf2");
  files->Answer(dir / "out.sf2");
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  ui::ScopedMessageBoxBackend scopedBoxes(boxes);
  boxes->Answer(ui::IDYES);
  boxes->Answer(ui::IDNO);
  auto script = std::make_shared<ui::ScriptedDialogs>();
  ui::ScopedDialogBackend scoped(script);
  script->Expect({
      DialogStep::ClickOn(core::kBankLoadButton),        // 0: into slot 1, embedded
      DialogStep::DoubleClickIn(core::kBankSlotList, 2), // 1: into slot 3, by name
      DialogStep::ChooseIn(core::kBankSlotList, 1),      // 2
      DialogStep::ClickOn(core::kBankSaveButton),        // 3: slot 2's data written out
      DialogStep::ChooseIn(core::kBankSlotList, 3),      // 4
      DialogStep::ClickOn(core::kBankRemoveButton),      // 5: slot 4 emptied
      DialogStep::ChooseIn(core::kBaseBankList, 2),      // 6: GS
      DialogStep::ClickOn(ui::IDOK),
  });
  core::CUserBankDlg dialog(dialogTemplate, song, card, texts);
  EXPECT_EQ(dialog.DoModal(), ui::IDOK);

  const auto runs = script->Runs();
  ASSERT_EQ(runs.size(), 1u);
  const auto& states = runs[0].states;
  ASSERT_EQ(states.size(), 9u);
  const auto& first = states[0].Find(core::kBankSlotList)->items;
  ASSERT_EQ(first.size(), 127u);
  EXPECT_EQ(first[0], "001 : ");
  EXPECT_EQ(first[1], "002 : (embedded in the song)");
  EXPECT_EQ(first[3], "004 : Piano.sf2");
  EXPECT_EQ(first[5], "006 : (embedded, from a temporary file)");
  EXPECT_EQ(first[126], "127 : ");
  EXPECT_EQ(states[0].Find(core::kBaseBankList)->items,
            (Lines{"-- Default --", "General MIDI", "GS", "MT-32"}));
  EXPECT_EQ(states[0].Find(core::kBaseBankList)->selection, 3) << "the song's MT-32";
  EXPECT_EQ(states[1].Find(core::kBankSlotList)->items[0], "001 : sine.sf2");
  EXPECT_EQ(states[2].Find(core::kBankSlotList)->items[2], "003 : named.sf2");
  EXPECT_EQ(states[6].Find(core::kBankSlotList)->items[3], "004 : ");

  EXPECT_EQ(song.bankSlots[1].flags, core::kBankSlotUsed | core::kBankSlotOwnFile);
  EXPECT_EQ(song.bankSlots[1].path, dir / "sine.sf2");
  EXPECT_EQ(song.bankSlots[3].flags,
            core::kBankSlotUsed | core::kBankSlotOwnFile | core::kBankSlotNameOnly);
  EXPECT_EQ(song.bankSlots[2].data, (std::vector<uint8_t>{'R', 'I', 'F', 'F', 1, 2, 3}));
  EXPECT_EQ(song.bankSlots[4].flags, 0);
  EXPECT_EQ(song.bankSlotCount, 4);
  EXPECT_EQ(song.bankNumber, 1) << "GS";
  std::ifstream out(dir / "out.sf2", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(out), {}), std::string("RIFF\1\2\3"));

  const auto shown = files->Shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].filter, "SoundFont Files (*.sf2)|*.sf2|All Files (*.*)|*.*||");
  EXPECT_FALSE(shown[0].save);
  EXPECT_EQ(shown[1].initialFolder, dir.Path()) << "the last folder chosen";
  EXPECT_TRUE(shown[2].save);
  EXPECT_EQ(shown[2].filterIndex, 1);
  const auto asked = boxes->Shown();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].caption, "User Sound Bank");
  EXPECT_EQ(asked[0].flags & ui::MB_YESNO, ui::MB_YESNO);

  // OK took the card anew: base bank GS, then every slot with data.
  const Lines t = Trace();
  ASSERT_GE(t.size(), 4u) << ::testing::PrintToString(t);
  EXPECT_EQ(Lines(t.begin(), t.begin() + 3), (Lines{"101", "305", "907 1"}));
  int loads = 0;
  for (const std::string& line : t)
    loads += line.rfind("204 ", 0) == 0;
  EXPECT_EQ(loads, 3) << "slots 1, 2 and 6; slot 3's file is not beside the song\n"
                      << ::testing::PrintToString(t);
}

TEST_F(UserBankDialog, CancelKeepsTheSongAndTheCardAsTheyWere) {
  auto script = std::make_shared<ui::ScriptedDialogs>();
  ui::ScopedDialogBackend scoped(script);
  script->Expect({
      DialogStep::ChooseIn(core::kBankSlotList, 1),
      DialogStep::ClickOn(core::kBankRemoveButton),
      DialogStep::ChooseIn(core::kBaseBankList, 0),
      DialogStep::ClickOn(ui::IDCANCEL),
  });
  core::CUserBankDlg dialog(dialogTemplate, song, card, texts);
  EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL);
  EXPECT_EQ(song.bankSlots[2].flags, core::kBankSlotUsed);
  EXPECT_EQ(song.bankSlotCount, 3);
  EXPECT_EQ(song.bankNumber, 2);
  EXPECT_EQ(Trace(), Lines{});
}

TEST_F(UserBankDialog, IsDrawnOffscreen) {
  auto app = playertest::OffscreenApplication();
  auto script = std::make_shared<ui::ScriptedDialogs>(true);
  ui::ScopedDialogBackend scoped(script);
  script->Expect({DialogStep::ChooseIn(core::kBankSlotList, 3)});
  core::CUserBankDlg dialog(dialogTemplate, song, card, texts);
  playertest::SaveDialogPicture(dialog, "userbank-dialog.png", 301, 201);
}

} // namespace
