// The track list on a song of this program's own player core, whose link
// to the sequencer is a small fake: commits of each column with their
// refusals, names cut on a character, the song's notes untouched and its
// invariants kept, save and reload; the melody and lyric marks; mutes and
// solo; Delete asking, Insert without a song; edits refused while playing;
// the output-device dialog.
#include "core/player/mididevices.h"
#include "core/player/tambloapp.h"
#include "core/songdata.h"
#include "core/tests/support/song_edit_support.h"
#include "editor/device_dlg.h"
#include "editor/editor.h"
#include "editor/tests/support/editor_session.h"
#include "editor/track_view.h"
#include "platform/media/midiout.h"
#include "platform/res/bundle.h"
#include "platform/sys/codepage.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;
using editor::CTrackView;

const std::string kTwinkle = VEXO_TEST_SOURCE_DIR "/../../resources/demo/twinkle.kar";

// The fake sequencer link: mutes, channels turned off, the play flag and
// two devices beside the mapper.
std::array<uint8_t, 512> gMutes{};
std::vector<uint16_t> gTurnedOff;
uint8_t gPlaying = 0;
constexpr uint16_t kMapperProduct = 1, kFirstProduct = 0x3001, kSecondProduct = 0x3002;

uint8_t GetMute(uint16_t t) {
  return t < gMutes.size() ? gMutes[t] : 0;
}
void SetMute(uint16_t t, uint8_t f) {
  if (t < gMutes.size())
    gMutes[t] = f;
}
void TurnOff(uint16_t channel) {
  gTurnedOff.push_back(channel);
}
uint8_t PlayFlag() {
  return gPlaying;
}
uint16_t DeviceCount() {
  return 2;
}
void DeviceCaps(uint8_t* out, int16_t device) {
  media::MidiOutCaps caps;
  caps.productId = device < 0 ? kMapperProduct : device == 0 ? kFirstProduct : kSecondProduct;
  caps.SetName(device < 0 ? "Mapper" : device == 0 ? "Synth One" : "Synth Two");
  caps.Serialize(std::span<uint8_t, 52>(out, 52));
}

void Pump() {
  while (win::ProcessPendingMessages() > 0) {
  }
}

using core::testing::NoteOns;

class TrackViewTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    ASSERT_NO_FATAL_FAILURE(editortest::StartEditorSession());
    auto& link = core::TheApp().linkTable;
    link.GetTrackMute = &GetMute;
    link.SetTrackMute = &SetMute;
    link.TurnOffChannel = &TurnOff;
    link.GetcMidiPlayFlag = &PlayFlag;
    link.moGetNumMIDDevices = &DeviceCount;
    link.moGetMIDDevCaps = &DeviceCaps;
  }
  void SetUp() override {
    gMutes.fill(0);
    gTurnedOff.clear();
    gPlaying = 0;
    boxes = std::make_shared<ui::ScriptedMessageBox>();
    scopedBoxes.emplace(boxes);
    dialogs = std::make_shared<ui::ScriptedDialogs>();
    scopedDialogs.emplace(dialogs);
    dir = fs::temp_directory_path() / ("vexo-tracks-" + std::to_string(getpid()));
    fs::create_directories(dir);
    path = (dir / "twinkle.kar").string();
    fs::copy_file(kTwinkle, path, fs::copy_options::overwrite_existing);
    ASSERT_GT(Song().LoadByExtension(path), 0);
    auto& devices = core::MidiOutDevices();
    devices.Enumerate();
    devices.MapTrackPorts(Song());
    devices.AssignTrackPorts(Song());
    ASSERT_EQ(editor::OpenEditor(), 1);
    view = dynamic_cast<CTrackView*>(editor::TheEditor().frame->MDIGetActive()->ActiveView());
    ASSERT_NE(view, nullptr);
    hwnd = view->GetHwnd();
  }
  void TearDown() override {
    editor::CloseEditor();
    Pump();
    scopedDialogs.reset();
    scopedBoxes.reset();
    Song().FreeAll();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  static core::CSongData& Song() { return core::TheSong(); }
  // A track with notes that is neither the melody nor the lyric track.
  int NoteTrack() const {
    for (int t = 1; t < Song().TrackCount(); ++t)
      if (!NoteOns(Song(), t).empty())
        return t;
    return -1;
  }
  void Key(uint32_t vk) { win::SendMessage(hwnd, win::WM_KEYDOWN, vk, 0); }
  int Commit(int row, int column, const std::string& text) {
    view->SelectCell(row, column);
    return static_cast<int>(win::SendMessage(hwnd, win::WM_COMMAND, editor::kEditCommit,
                                             reinterpret_cast<win::LParam>(text.c_str())));
  }
  int Marks(int column, const char* mark) const {
    int n = 0;
    for (int t = 0; t < Song().TrackCount(); ++t)
      n += view->TrackCellText(t, column) == mark ? 1 : 0;
    return n;
  }

  std::shared_ptr<ui::ScriptedMessageBox> boxes;
  std::optional<ui::ScopedMessageBoxBackend> scopedBoxes;
  std::shared_ptr<ui::ScriptedDialogs> dialogs;
  std::optional<ui::ScopedDialogBackend> scopedDialogs;
  fs::path dir;
  std::string path;
  CTrackView* view = nullptr;
  win::Hwnd hwnd = 0;
};

TEST_F(TrackViewTest, EachColumnsCommitIsTakenOrRefusedAndKeepsTheNotes) {
  const int track = NoteTrack();
  ASSERT_GT(track, 0);
  EXPECT_EQ(view->RowCount(), Song().TrackCount());
  const auto notes = NoteOns(Song(), track);
  struct Row {
    int column;
    std::string text;
    int accepted;
    std::string shown; // the cell afterwards, when accepted
  };
  const std::string hangul40 = *sys::FromUtf8(
      "\xEA\xB0\x80\xEB\x82\x98\xEB\x8B\xA4\xEB\x9D\xBC\xEB\xA7\x88\xEB\xB0\x94\xEC\x82\xAC"
      "\xEC\x95\x84\xEC\x9E\x90\xEC\xB0\xA8\xEC\xB9\xB4\xED\x83\x80\xED\x8C\x8C\xED\x95\x98"
      "\xEA\xB0\x80\xEB\x82\x98\xEB\x8B\xA4\xEB\x9D\xBC\xEB\xA7\x88\xEB\xB0\x94",
      949);
  ASSERT_EQ(hangul40.size(), 40u);
  const Row rows[] = {
      {4, "0", 0, ""},         {4, "17", 0, ""},     {4, "x", 0, ""},
      {4, "16", 1, "16"},      {4, "1", 1, "1"},     {7, "-1", 0, ""},
      {7, "128", 0, ""},       {7, "0", 1, "0"},     {7, "127", 1, "127"},
      {8, "-1", 0, ""},        {8, "128", 0, ""},    {8, "127", 1, "127"},
      {8, "0", 1, "0"},        {3, std::string(40, 'n'), 1, std::string(31, 'n')},
      // "x" and 15 of the 20 two-byte characters: no half of one.
      {3, "x" + hangul40, 1, "x" + hangul40.substr(0, 30)},
      {3, "Bass", 1, "Bass"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.column << " " << row.text);
    const std::string before = view->TrackCellText(track, row.column);
    EXPECT_EQ(Commit(track, row.column, row.text), row.accepted);
    EXPECT_EQ(view->TrackCellText(track, row.column), row.accepted ? row.shown : before);
    EXPECT_EQ(NoteOns(Song(), track), notes) << "keys and velocities";
    EXPECT_EQ(core::testing::CheckSongInvariants(Song()), "");
  }
  EXPECT_EQ(Song().unchanged, 0);
  // The instrument list: a program; other columns' list commits do nothing.
  view->SelectCell(track, 6);
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_COMMAND, editor::kListCommit, 40), 1);
  EXPECT_EQ(view->TrackCellText(track, 6), "Violin");
  view->SelectCell(track, 3);
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_COMMAND, editor::kListCommit, 3), 1);
  EXPECT_EQ(view->TrackCellText(track, 3), "Bass");
  // Past the last track a commit is taken and does nothing.
  EXPECT_EQ(Commit(Song().TrackCount(), 4, "3"), 1);

  // Save and reload keep it all.
  const std::string saved = (dir / "saved.vx3").string();
  ASSERT_GT(Song().SaveByKind(saved, core::kSaveV350First), 0);
  core::CSongData again;
  ASSERT_GT(again.LoadByExtension(saved), 0);
  EXPECT_EQ(again.tracks[track].summary.name, "Bass");
  EXPECT_EQ(again.tracks[track].summary.volume, 127);
  EXPECT_EQ(again.tracks[track].summary.pan, 0);
  EXPECT_EQ(again.tracks[track].summary.program, 40);
  EXPECT_EQ(again.tracks[track].summary.channel, 0);
  EXPECT_EQ(NoteOns(again, track), notes);
}

TEST_F(TrackViewTest, TheCellEditorsOpenOverTheirColumnsAndCommitOnEnter) {
  const int track = NoteTrack();
  view->SelectCell(track, 7);
  Key(ui::VK_RETURN);
  editor::CGridEdit* edit = view->InPlaceEdit();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->Style() & 3, ui::ES_RIGHT);
  EXPECT_EQ(edit->Text(), view->TrackCellText(track, 7) == "..." ? ""
                                                                : view->TrackCellText(track, 7));
  for (char c : std::string("99"))
    win::SendMessage(edit->GetHwnd(), win::WM_CHAR, c, 0);
  win::SendMessage(edit->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(view->InPlaceEdit(), nullptr);
  EXPECT_EQ(view->TrackCellText(track, 7), "99");
  // The instrument list at the track's program, by the keypad's plus.
  view->SelectCell(track, 6);
  Key(ui::VK_ADD);
  editor::CGridCombo* list = view->InPlaceList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), 128);
  const uint8_t program = Song().tracks[track].summary.program;
  EXPECT_EQ(list->CurSel(), program <= 127 ? program : 0);
  win::SendMessage(list->GetHwnd(), win::WM_KEYDOWN, ui::VK_ESCAPE, 0);
  EXPECT_EQ(view->InPlaceList(), nullptr);
  EXPECT_EQ(Song().tracks[track].summary.program, program);
}

TEST_F(TrackViewTest, TheMelodyAndLyricMarksMoveAndMarkTheSongChanged) {
  const int track = NoteTrack();
  Song().unchanged = 1;
  Song().preparedForPlay = 1;
  view->SelectCell(track, 1);
  Key(ui::VK_RETURN);
  EXPECT_EQ(Song().melodyTrack, track);
  EXPECT_EQ(Marks(1, "M"), 1);
  EXPECT_EQ(Song().unchanged, 0);
  EXPECT_EQ(Song().preparedForPlay, 0);
  Key(ui::VK_RETURN);
  EXPECT_EQ(Marks(1, "M"), 1) << "on the melody track itself";
  const int lyric = Song().lyricTrack;
  ASSERT_TRUE(Song().lyricsPresent);
  EXPECT_EQ(view->TrackCellText(lyric, 2), "L");
  win::SendMessage(hwnd, win::WM_LBUTTONDBLCLK, 0, 0); // outside the cells: nothing
  EXPECT_EQ(Song().lyricTrack, lyric);
}

TEST_F(TrackViewTest, MutesAndSoloTurnTheirChannelsOff) {
  const int track = NoteTrack();
  view->SelectCell(track, 0);
  EXPECT_EQ(view->TrackCellText(track, 0), ">");
  Key(ui::VK_RETURN);
  EXPECT_EQ(gMutes[track], 1);
  EXPECT_EQ(view->TrackCellText(track, 0), "");
  ASSERT_EQ(gTurnedOff.size(), 1u);
  Key(ui::VK_RETURN);
  EXPECT_EQ(gMutes[track], 0);
  // Solo twice: every other track muted, then all playing again.
  gTurnedOff.clear();
  Key(0xBF);
  for (int t = 0; t < Song().TrackCount(); ++t)
    EXPECT_EQ(gMutes[t], t == track ? 0 : 1) << t;
  EXPECT_FALSE(gTurnedOff.empty());
  Key(0xBF);
  for (int t = 0; t < Song().TrackCount(); ++t)
    EXPECT_EQ(gMutes[t], 0) << t;
}

TEST_F(TrackViewTest, DeleteAsksAndTheIndexesFollowInsertWithoutASongMakesOne) {
  const int tracks = Song().TrackCount();
  ASSERT_GE(tracks, 4);
  ASSERT_EQ(Song().SetMelodyTrack(static_cast<int16_t>(tracks - 1)), 1);
  const int melody = Song().melodyTrack, lyric = Song().lyricTrack;
  // A track below the melody track, and below the lyric track where it can.
  const int below = lyric > 1 ? 1 : 2;
  view->SelectCell(below, 3);
  boxes->Answer(ui::IDNO);
  Key(ui::VK_DELETE);
  EXPECT_EQ(Song().TrackCount(), tracks);
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(boxes->Shown()[0].text, "Delete this track?");
  boxes->Answer(ui::IDYES);
  Key(ui::VK_DELETE);
  EXPECT_EQ(Song().TrackCount(), tracks - 1);
  EXPECT_EQ(view->RowCount(), tracks - 1);
  EXPECT_EQ(Song().melodyTrack, melody - 1);
  EXPECT_EQ(Song().lyricTrack, lyric > below ? lyric - 1 : lyric);
  EXPECT_EQ(core::testing::CheckSongInvariants(Song()), "");
  // Insert at the current row.
  Key(ui::VK_INSERT);
  EXPECT_EQ(Song().TrackCount(), tracks);
  EXPECT_EQ(Song().melodyTrack, melody);
  // Without a song, Insert makes the untitled one.
  Song().FreeAll();
  Key(ui::VK_INSERT);
  EXPECT_TRUE(Song().loaded);
  EXPECT_EQ(Song().TrackCount(), 2);
  EXPECT_EQ(Song().melodyTrack, 1);
  EXPECT_EQ(Song().lyricTrack, 1);
  EXPECT_EQ(Song().path, "Untitled");
  EXPECT_EQ(view->GetDocument()->Title(), "Untitled");
  EXPECT_EQ(view->RowCount(), 2);
}

TEST_F(TrackViewTest, EveryEditIsRefusedWhilePlaying) {
  const int track = NoteTrack();
  const int tracks = Song().TrackCount();
  const std::string name = view->TrackCellText(track, 3);
  gPlaying = 1;
  for (int column : {0, 1, 3, 4, 6}) {
    view->SelectCell(track, column);
    Key(ui::VK_RETURN);
  }
  EXPECT_EQ(view->InPlaceEdit(), nullptr);
  EXPECT_EQ(view->InPlaceList(), nullptr);
  EXPECT_EQ(gMutes[track], 0);
  EXPECT_NE(Song().melodyTrack, track);
  Key(0xBF);
  Key(ui::VK_INSERT);
  Key(ui::VK_DELETE);
  EXPECT_EQ(Song().TrackCount(), tracks);
  EXPECT_TRUE(boxes->Shown().empty());
  EXPECT_EQ(Commit(track, 3, "Playing"), 0);
  EXPECT_EQ(view->TrackCellText(track, 3), name);
  EXPECT_TRUE(dialogs->Runs().empty());
}

TEST_F(TrackViewTest, TheDeviceDialogShowsTheTracksDeviceAndGivesItBack) {
  const int track = NoteTrack();
  auto& devices = core::MidiOutDevices();
  auto port = [&] { return Song().tracks[track].port; };
  auto choose = [&](std::vector<ui::DialogStep> steps) {
    dialogs->Expect(std::move(steps));
    view->SelectCell(track, 5);
    Key(ui::VK_RETURN);
    Pump();
  };
  // On none: entry 0 shows selected; OK keeps it.
  choose({ui::DialogStep::PressEnter()});
  const auto runs = dialogs->Runs();
  ASSERT_EQ(runs.size(), 1u);
  const ui::ControlState* list = runs[0].states.at(0).Find(editor::kDeviceList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->items,
            (std::vector<std::string>{"Default-Mapper", "Mapper", "Synth One", "Synth Two"}));
  EXPECT_EQ(list->selection, 0);
  EXPECT_EQ(port(), 0);
  EXPECT_EQ(view->TrackCellText(track, 5), "Default-Mapper");
  // A device chosen by a double click: its product becomes the port.
  choose({ui::DialogStep::DoubleClickIn(editor::kDeviceList, 3)});
  EXPECT_EQ(port(), kSecondProduct);
  EXPECT_EQ(view->TrackCellText(track, 5), "Synth Two");
  EXPECT_EQ(editor::DeviceEntryOfTrack(devices, track), 3);
  // OK unchanged keeps each device, the mapper too.
  for (int entry : {2, 1}) {
    choose({ui::DialogStep::ChooseIn(editor::kDeviceList, entry), ui::DialogStep::PressEnter()});
    const uint16_t chosen = port();
    EXPECT_EQ(editor::DeviceEntryOfTrack(devices, track), entry);
    choose({ui::DialogStep::PressEnter()});
    EXPECT_EQ(port(), chosen) << entry;
  }
  EXPECT_EQ(port(), kMapperProduct);
  // Entry 0 gives no device: port 0. Cancel changes nothing.
  choose({ui::DialogStep::ChooseIn(editor::kDeviceList, 0), ui::DialogStep::PressEnter()});
  EXPECT_EQ(port(), 0);
  choose({ui::DialogStep::ChooseIn(editor::kDeviceList, 2), ui::DialogStep::PressEscape()});
  EXPECT_EQ(port(), 0);
  EXPECT_EQ(editor::PositionOfDeviceEntry(0), core::kNoListPosition);
}

TEST_F(TrackViewTest, IsDrawnOffscreenOverACorpusKaraokeSong) {
  // The corpus's song where it is at hand, else the demo's.
  const std::string corpus = VEXO_CORPUS_DIR "/midi/hey-jude.kar";
  ASSERT_GT(Song().LoadByExtension(fs::exists(corpus) ? corpus : path), 0);
  view->OnUpdate(nullptr, editor::kHintReloaded);
  ui::MdiChildWnd* child = editor::TheEditor().frame->MDIGetActive();
  ui::MoveWindow(editor::TheEditor().frame->GetHwnd(), 0, 0, 900, 500);
  ui::MoveWindow(child->GetHwnd(), 0, 0, 880, 400);
  view->SelectCell(2, 3);
  ui::UpdateWindow(hwnd);
  QCoreApplication::processEvents();
  QWidget* widget = ui::GetWidget(editor::TheEditor().frame->GetHwnd());
  ASSERT_NE(widget, nullptr);
  const QImage image = widget->grab().toImage();
  EXPECT_TRUE(image.save(VEXO_TESTS_DIR "/editor-track-list.png", "PNG"));
  EXPECT_EQ(view->RowCount(), Song().TrackCount());
  EXPECT_EQ(Marks(1, "M"), Song().melodyTrack > 0 ? 1 : 0);
}

} // namespace
