// The event list on a song of this program's own player core, whose link to
// the sequencer is a small fake: each column's commit per kind, taken or
// refused, with the event it leaves; the cell editors and a refused text
// kept as typed; duplicate and delete; the current row following the
// player's tick; the edit bar's spins and instrument list; edits refused
// while playing; a song without tracks.
#include "core/player/tambloapp.h"
#include "core/songdata.h"
#include "core/tests/support/song_edit_support.h"
#include "editor/editor.h"
#include "editor/tests/support/editor_session.h"
#include "editor/event_bar.h"
#include "editor/event_view.h"
#include "platform/res/bundle.h"
#include "platform/sys/bytes.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

using editor::CEListView;
using editor::CEventEditBar;

uint8_t gPlaying = 0;
uint32_t gTick = 0;
std::vector<uint32_t> gJumps;
std::array<uint8_t, 512> gMutes{};

uint8_t PlayFlag() {
  return gPlaying;
}
uint32_t CurrentTick() {
  return gTick;
}
void Jump(uint32_t ms) {
  gJumps.push_back(ms);
}
uint8_t GetMute(uint16_t t) {
  return t < gMutes.size() ? gMutes[t] : 0;
}
void SetMute(uint16_t t, uint8_t f) {
  if (t < gMutes.size())
    gMutes[t] = f;
}

void Pump() {
  while (win::ProcessPendingMessages() > 0) {
  }
}

uint32_t Message(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  return status | uint32_t{d1} << 8 | uint32_t{d2} << 16;
}

// The 24 bytes of an event as the song stores it.
std::vector<uint8_t> Bytes(const core::SongEvent& e) {
  sys::ByteWriter out;
  core::WriteSongEvent(out, e);
  return out.Take();
}

using core::testing::NoteOns;

class EventViewTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    ASSERT_NO_FATAL_FAILURE(editortest::StartEditorSession());
  }
  void SetUp() override {
    auto& link = core::TheApp().linkTable;
    link.GetcMidiPlayFlag = &PlayFlag;
    link.GetCurTS = &CurrentTick;
    link.JumpToPosition = &Jump;
    link.GetTrackMute = &GetMute;
    link.SetTrackMute = &SetMute;
    gPlaying = 0;
    gTick = 0;
    gJumps.clear();
    // The bar with its Qt widgets, as a person sees it.
    dialogs = std::make_shared<ui::ScriptedDialogs>(true);
    scopedDialogs.emplace(dialogs);
    MakeSong();
    ASSERT_EQ(editor::OpenEditor(), 1);
    frame = editor::TheEditor().frame;
    win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, editor::ID_VIEW_EVENTS, 0);
    Pump();
    view = dynamic_cast<CEListView*>(frame->MDIGetActive()->ActiveView());
    ASSERT_NE(view, nullptr);
    hwnd = view->GetHwnd();
    ASSERT_NE(view->EditBar(), nullptr);
    view->SelectTrack(1, true);
  }
  void TearDown() override {
    editor::CloseEditor();
    Pump();
    scopedDialogs.reset();
    Song().FreeAll();
  }
  static core::CSongData& Song() { return core::TheSong(); }

  // 120 ticks per quarter, 4/4 for two measures, then 3/4 from tick 960.
  static void MakeSong() {
    core::testing::MakeEditSong(Song());
    Song().AddEvent(0, 960, 0, 0, 3u | 2u << 8 | 24u << 16 | 8u << 24, core::kKindTimeSignature);
  }
  void Reload() {
    view->GetDocument()->UpdateAllViews(nullptr, editor::kHintEdited);
    view->SelectTrack(1, true);
  }
  void Key(uint32_t vk) { win::SendMessage(hwnd, win::WM_KEYDOWN, vk, 0); }
  int CommitText(int row, int column, const std::string& text) {
    view->SelectCell(row, column);
    return static_cast<int>(win::SendMessage(hwnd, win::WM_COMMAND, editor::kEditCommit,
                                             reinterpret_cast<win::LParam>(text.c_str())));
  }
  int CommitIndex(int row, int column, int index) {
    view->SelectCell(row, column);
    return static_cast<int>(win::SendMessage(hwnd, win::WM_COMMAND, editor::kListCommit, index));
  }
  CEventEditBar& Bar() const { return *view->EditBar(); }
  ui::UpDown* Spin(int32_t id) const { return Bar().Item<ui::UpDown>(id); }

  std::shared_ptr<ui::ScriptedDialogs> dialogs;
  std::optional<ui::ScopedDialogBackend> scopedDialogs;
  editor::CEditorFrame* frame = nullptr;
  CEListView* view = nullptr;
  win::Hwnd hwnd = 0;
};

TEST_F(EventViewTest, EachCommitIsTakenOrRefusedWithTheEventItLeaves) {
  struct Source {
    uint8_t kind;
    uint32_t data;
    int32_t tick = 0;
    int32_t duration = 0;
    const char* text = nullptr; // a syllable's or a text event's
  };
  const Source note{core::kKindChannel, Message(0x90, 64, 90), 120, 240};
  const Source timeSig{core::kKindTimeSignature, 4u | 2u << 8 | 24u << 16 | 8u << 24, 1920};
  const Source tempo{core::kKindTempo, 600000, 1920};
  const Source wheel{core::kKindChannel, Message(0xE0, 0, 0x40), 120};
  const Source control{core::kKindChannel, Message(0xB0, 7, 100), 120};
  const Source pressure{core::kKindChannel, Message(0xD0, 50), 120};
  const Source noteOff{core::kKindChannel, Message(0x80, 64, 0), 120};
  const Source wave{core::kKindWave, 3, 120};
  const Source singer{core::kKindSinger, 1, 120};
  const Source key{core::kKindKeySignature, 0, 1920};
  const Source program{core::kKindChannel, Message(0xC0, 5), 120};
  const Source syllable{core::kKindSyllable, 0, 120, 60, "la"};
  const Source marker{core::kKindMarker, 0, 120, 0, "Verse"};
  struct Row {
    const char* what;
    Source source;
    int column;
    std::string text;
    int index; // rows without a text: the list's entry chosen
    int accepted;
    // The event afterwards when accepted (data and length are checked
    // for events outside the pools).
    int32_t tick = 0;
    int32_t duration = 0;
    uint32_t data = 0;
    std::string value = {}; // the text of a syllable or text event
  };
  const uint32_t ts34 = 3u | 2u << 8 | 24u << 16 | 8u << 24;
  const uint32_t ts128 = 12u | 3u << 8 | 24u << 16 | 8u << 24;
  const uint32_t ts54 = 5u | 2u << 8 | 24u << 16 | 8u << 24;
  const uint32_t ts32 = 3u | 1u << 8 | 24u << 16 | 8u << 24;
  const uint32_t ts12 = 1u | 1u << 8 | 24u << 16 | 8u << 24;
  const Row rows[] = {
      // Positions over 4/4, then 3/4 from the third measure.
      {"moved within 4/4", note, 1, "2 : 3 : 010", 0, 1, 730, 240, note.data},
      {"moved into 3/4", note, 1, "4 : 3 : 000", 0, 1, 1560, 240, note.data},
      {"moved to the start", note, 1, "1:1:0", 0, 1, 0, 240, note.data},
      {"measure 0", note, 1, "0 : 1 : 000", 0, 0},
      {"beat 0", note, 1, "1 : 0 : 000", 0, 0},
      {"negative tick", note, 1, "1 : 1 : -1", 0, 0},
      {"measure 40000", note, 1, "40000 : 1 : 000", 0, 0},
      {"tick 40000", note, 1, "1 : 1 : 40000", 0, 0},
      {"two fields", note, 1, "1 : 1", 0, 0},
      {"not a number", note, 1, "a : 1 : 0", 0, 0},
      {"channel 16", note, 2, "16", 0, 1, 120, 240, Message(0x9F, 64, 90)},
      {"channel 17", note, 2, "17", 0, 0},
      {"channel 0", note, 2, "0", 0, 0},
      {"note name", note, 4, "C5", 0, 1, 120, 240, Message(0x90, 60, 90)},
      {"sharp note name", note, 4, "F#2", 0, 1, 120, 240, Message(0x90, 30, 90)},
      {"no note name", note, 4, "H3", 0, 0},
      {"velocity 127", note, 5, "127", 0, 1, 120, 240, Message(0x90, 64, 127)},
      {"velocity 128", note, 5, "128", 0, 0},
      {"length of a beat and a half", note, 6, "0 : 1 : 060", 0, 1, 120, 180, note.data},
      {"length of a measure", note, 6, "1 : 0 : 000", 0, 1, 120, 480, note.data},
      {"length of 40000 measures", note, 6, "40000 : 0 : 000", 0, 0},
      {"time signature 1/4", timeSig, 4, "1/4", 0, 0},
      {"time signature 3/4", timeSig, 4, "3/4", 0, 1, 1920, 0, ts34},
      {"time signature 12/8", timeSig, 4, "12/8", 0, 1, 1920, 0, ts128},
      {"time signature 5/4", timeSig, 4, "5/4", 0, 1, 1920, 0, ts54},
      {"time signature 3/2", timeSig, 4, "3/2", 0, 1, 1920, 0, ts32},
      {"time signature 1/2", timeSig, 4, "1/2", 0, 1, 1920, 0, ts12},
      {"time signature 4/3", timeSig, 4, "4/3", 0, 0},
      {"time signature 33/4", timeSig, 4, "33/4", 0, 0},
      {"time signature 4/128", timeSig, 4, "4/128", 0, 0},
      {"time signature 0/4", timeSig, 4, "0/4", 0, 0},
      {"tempo 120", tempo, 4, "120", 0, 1, 1920, 0, 500000},
      {"tempo 4", tempo, 4, "4", 0, 1, 1920, 0, 15000000},
      {"tempo 3", tempo, 4, "3", 0, 0},
      {"tempo 0", tempo, 4, "0", 0, 0},
      {"wheel lowest", wheel, 4, "-8192", 0, 1, 120, 0, Message(0xE0, 0, 0)},
      {"wheel highest", wheel, 4, "8191", 0, 1, 120, 0, Message(0xE0, 0x7F, 0x7F)},
      {"wheel centre", wheel, 4, "0", 0, 1, 120, 0, Message(0xE0, 0, 0x40)},
      {"wheel too high", wheel, 4, "8192", 0, 0},
      {"wheel too low", wheel, 4, "-8193", 0, 0},
      {"controller number", control, 4, "10", 0, 1, 120, 0, Message(0xB0, 10, 100)},
      {"controller 128", control, 4, "128", 0, 0},
      {"controller value", control, 5, "64", 0, 1, 120, 0, Message(0xB0, 7, 64)},
      {"channel pressure", pressure, 4, "127", 0, 1, 120, 0, Message(0xD0, 127)},
      {"channel pressure 128", pressure, 4, "128", 0, 0},
      {"note-off takes no value", noteOff, 4, "C5", 0, 0},
      {"pressure has no second value", pressure, 5, "3", 0, 0},
      {"wave slot 255", wave, 4, "255", 0, 1, 120, 0, 255},
      {"wave slot 256", wave, 4, "256", 0, 0},
      {"singer 3", singer, 4, "3", 0, 1, 120, 0, 3},
      {"singer 4", singer, 4, "4", 0, 0},
      {"syllable text", syllable, 4, "hey", 0, 1, 120, 60, 0, "hey"},
      {"syllable length", syllable, 6, "0 : 2 : 000", 0, 1, 120, 240, 0, "la"},
      {"marker text", marker, 4, "Chorus", 0, 1, 120, 0, 0, "Chorus"},
      {"two sharps", key, 4, "", 9, 1, 1920, 0, 2},
      {"seven flats", key, 4, "", 0, 1, 1920, 0, 0xF9},
      {"minor", key, 5, "", 1, 1, 1920, 0, 0x100},
      {"program from the list", program, 4, "", 40, 1, 120, 0, Message(0xC0, 40)},
      {"note into a control", note, 3, "", 3, 1, 120, 0, Message(0xB0, 0, 0)},
      {"the type list's first entry", note, 3, "", 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MakeSong();
    const Source& s = row.source;
    if (s.kind == core::kKindSyllable)
      ASSERT_EQ(Song().InsertLyric(1, s.tick, s.duration, s.text), 1);
    else if (s.text)
      ASSERT_EQ(Song().InsertEvent(1, s.tick, 0, static_cast<uint16_t>(strlen(s.text) + 1), s.text,
                                   s.kind),
                1);
    else
      ASSERT_EQ(Song().AddEvent(1, s.tick, s.duration, 0, s.data, s.kind), 1);
    Reload();
    ASSERT_EQ(view->RowCount(), 1);
    const core::SongEvent before = Song().tracks[1].events[0];
    const int result = row.text.empty() ? CommitIndex(0, row.column, row.index)
                                        : CommitText(0, row.column, row.text);
    EXPECT_EQ(result, row.accepted);
    ASSERT_EQ(Song().tracks[1].EventCount(), 1);
    const core::SongEvent& e = Song().tracks[1].events[0];
    EXPECT_EQ(core::testing::CheckSongInvariants(Song()), "");
    if (!row.accepted) {
      EXPECT_EQ(Bytes(e), Bytes(before)) << "unchanged";
      continue;
    }
    core::SongEvent expected = before;
    expected.tick = static_cast<uint32_t>(row.tick);
    expected.duration = static_cast<uint32_t>(row.duration);
    expected.ms = static_cast<uint32_t>(Song().TickToMs(row.tick));
    expected.durationMs =
        static_cast<uint32_t>(Song().TickToMs(row.tick + row.duration) - Song().TickToMs(row.tick));
    if (row.value.empty()) {
      expected.data = row.data;
      if (row.column == 3)
        expected.kind = core::kKindChannel;
    } else {
      expected.data = e.data;
      expected.length = e.length;
      const std::string_view value =
          e.kind == core::kKindSyllable ? Song().SyllableText(1, e) : Song().PoolText(e);
      EXPECT_EQ(value, row.value);
    }
    EXPECT_EQ(Bytes(e), Bytes(expected));
  }
}

TEST_F(EventViewTest, TheCellsShowTheEventAndTheEditorsOpenWithWhatTheyRead) {
  ASSERT_EQ(Song().AddEvent(1, 1090, 240, 0, Message(0x92, 64, 90), core::kKindChannel), 1);
  ASSERT_EQ(Song().AddEvent(1, 0, 0, 0, Message(0xC2, 5), core::kKindChannel), 1);
  ASSERT_EQ(Song().AddEvent(1, 100, 0, 0, Message(0xC2, 40), core::kKindChannel), 1);
  ASSERT_EQ(Song().AddEvent(1, 200, 0, 0, 500000, core::kKindTempo), 1);
  Reload();
  EXPECT_EQ(view->Caption(-1), "TRK:1");
  EXPECT_EQ(view->RowCount(), 4);
  // The note, at 3 : 2 : 010 of the 3/4 part.
  EXPECT_EQ(view->EventCellText(3, 1), "3 : 2 : 010");
  EXPECT_EQ(view->EventCellText(3, 0), "0 : 04 : 708");
  EXPECT_EQ(view->EventCellText(3, 2), "3");
  EXPECT_EQ(view->EventCellText(3, 3), "Note");
  EXPECT_EQ(view->EventCellText(3, 4), "E5");
  EXPECT_EQ(view->EditText(3, 6), "0 : 2 : 000");
  // A position and a length committed as they opened change nothing.
  const core::SongEvent note = Song().tracks[1].events[3];
  EXPECT_EQ(CommitText(3, 1, *view->EditText(3, 1)), 1);
  view->SelectCell(3, 6);
  Key(ui::VK_RETURN);
  ASSERT_NE(view->InPlaceEdit(), nullptr);
  win::SendMessage(view->InPlaceEdit()->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(view->InPlaceEdit(), nullptr);
  EXPECT_EQ(Bytes(Song().tracks[1].events[3]), Bytes(note));

  // The program editor opens at the event's own program, not the track's
  // first; Enter keeps the event.
  view->SelectCell(1, 4);
  Key(ui::VK_RETURN);
  editor::CGridCombo* list = view->InPlaceList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), 128);
  EXPECT_EQ(list->CurSel(), 40);
  win::SendMessage(list->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(Song().tracks[1].events[1].Data1(), 40);
  // The tempo opens in beats per minute.
  EXPECT_EQ(view->EditText(2, 4), "120");

  // A refused text leaves the box open with the text as typed.
  view->SelectCell(2, 4);
  Key(ui::VK_RETURN);
  editor::CGridEdit* edit = view->InPlaceEdit();
  ASSERT_NE(edit, nullptr);
  win::SendMessage(edit->GetHwnd(), win::WM_CHAR, '3', 0);
  win::SendMessage(edit->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  ASSERT_NE(view->InPlaceEdit(), nullptr);
  EXPECT_EQ(view->InPlaceEdit()->Text(), "3");
  EXPECT_EQ(Song().tracks[1].events[2].data & 0xFFFFFF, 500000u);
  win::SendMessage(view->InPlaceEdit()->GetHwnd(), win::WM_CHAR, '0', 0);
  win::SendMessage(view->InPlaceEdit()->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(view->InPlaceEdit(), nullptr);
  EXPECT_EQ(Song().tracks[1].events[2].data & 0xFFFFFF, 2000000u);

  // Nothing opens where a kind has no value, nor past the last event.
  for (auto [row, column] : {std::pair{1, 5}, {1, 6}, {2, 5}, {4, 3}, {3, 0}}) {
    view->SelectCell(row, column);
    Key(ui::VK_RETURN);
    EXPECT_EQ(view->InPlaceEdit(), nullptr) << row << " " << column;
    EXPECT_EQ(view->InPlaceList(), nullptr) << row << " " << column;
  }
}

TEST_F(EventViewTest, InsertDuplicatesDeleteRemovesAndPlayingRefusesEveryEdit) {
  ASSERT_EQ(Song().AddEvent(1, 0, 120, 0, Message(0x90, 60, 100), core::kKindChannel), 1);
  ASSERT_EQ(Song().AddEvent(1, 240, 120, 0, Message(0x90, 62, 100), core::kKindChannel), 1);
  Reload();
  view->SelectCell(1, 3);
  Key(ui::VK_INSERT);
  EXPECT_EQ(view->RowCount(), 3);
  EXPECT_EQ(NoteOns(Song(), 1), (std::vector<std::pair<int, int>>{{60, 100}, {62, 100}, {62, 100}}));
  Key(ui::VK_DELETE);
  Key(ui::VK_DELETE);
  EXPECT_EQ(view->RowCount(), 1);
  EXPECT_EQ(core::testing::CheckSongInvariants(Song()), "");

  gPlaying = 1;
  const auto before = NoteOns(Song(), 1);
  view->SelectCell(0, 4);
  Key(ui::VK_RETURN);
  EXPECT_EQ(view->InPlaceEdit(), nullptr);
  win::SendMessage(hwnd, win::WM_LBUTTONDBLCLK, 0, 0);
  Key(ui::VK_INSERT);
  Key(ui::VK_DELETE);
  EXPECT_EQ(CommitText(0, 4, "D5"), 0);
  EXPECT_EQ(CommitIndex(0, 3, 3), 0);
  ASSERT_NE(Spin(editor::kBarChannelSpin), nullptr);
  Spin(editor::kBarChannelSpin)->Step(1);
  Spin(editor::kBarVelocityStep)->Step(-1);
  EXPECT_EQ(NoteOns(Song(), 1), before);
  EXPECT_EQ(view->RowCount(), 1);
  EXPECT_EQ(Song().tracks[1].summary.channel, 0);
}

TEST_F(EventViewTest, TheCurrentRowFollowsThePlayersTickOnEachTimer) {
  for (int32_t tick : {0, 120, 120, 240, 480, 960})
    ASSERT_EQ(Song().AddEvent(1, tick, 60, 0, Message(0x90, 60, 100), core::kKindChannel), 1);
  Reload();
  view->SelectCell(0, 4);
  gPlaying = 1;
  for (uint32_t tick : {0u, 60u, 120u, 121u, 500u, 960u, 5000u, 200u}) {
    gTick = tick;
    // The frame hands its timer to the active view while the song plays.
    win::SendMessage(frame->GetHwnd(), win::WM_TIMER, editor::kFollowTimer, 0);
    EXPECT_EQ(view->CurrentRow(),
              Song().FindInsertIndex(1, static_cast<int32_t>(tick), core::kKindChannel))
        << tick;
    EXPECT_EQ(view->CurrentColumn(), 4);
  }
  // Space while playing stops: the view plays nothing from the event.
  Key(ui::VK_SPACE);
  EXPECT_TRUE(gJumps.empty());
}

TEST_F(EventViewTest, EachSpinOfTheBarChangesOneSettingAndNoNote) {
  auto& s = Song();
  ASSERT_EQ(s.AddEvent(1, 0, 0, 0, Message(0xC0, 5), core::kKindChannel), 1);
  ASSERT_EQ(s.AddEvent(1, 0, 0, 0, Message(0xB0, 7, 100), core::kKindChannel), 1);
  ASSERT_EQ(s.AddEvent(1, 0, 0, 0, Message(0xB0, 10, 64), core::kKindChannel), 1);
  for (auto [tick, keyNumber, velocity] : {std::tuple{0, 60, 100}, {120, 64, 1}, {240, 67, 127}})
    ASSERT_EQ(s.AddEvent(1, tick, 60, 0, Message(0x90, keyNumber, velocity), core::kKindChannel),
              1);
  Reload();
  EXPECT_EQ(ui::GetDlgItemText(Bar().GetHwnd(), editor::kBarChannel), "1");
  EXPECT_EQ(ui::GetDlgItemText(Bar().GetHwnd(), editor::kBarVolume), "100");
  EXPECT_EQ(ui::GetDlgItemText(Bar().GetHwnd(), editor::kBarPan), "64");
  EXPECT_EQ(Bar().Item<ui::ComboBox>(editor::kBarInstrument)->Selection(), 5);
  EXPECT_EQ(ui::GetDlgItemText(Bar().GetHwnd(), editor::kBarTrack), "1");

  using Summary = std::tuple<int, int, int, int>; // channel, program, volume, pan
  auto summary = [&] {
    const auto& t = s.tracks[1].summary;
    return Summary{t.channel, t.program, t.volume, t.pan};
  };
  struct Row {
    const char* what;
    int32_t spin;
    int direction;
    Summary after;
  };
  const Row rows[] = {
      {"channel up", editor::kBarChannelSpin, 1, {1, 5, 100, 64}},
      {"volume down", editor::kBarVolumeSpin, -1, {1, 5, 99, 64}},
      {"pan up", editor::kBarPanSpin, 1, {1, 5, 99, 65}},
      {"channel down", editor::kBarChannelSpin, -1, {0, 5, 99, 65}},
  };
  const auto notes = NoteOns(s, 1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(Spin(row.spin)->Step(row.direction));
    EXPECT_EQ(summary(), row.after);
    EXPECT_EQ(NoteOns(s, 1), notes);
    EXPECT_EQ(core::testing::CheckSongInvariants(s), "");
  }
  EXPECT_EQ(ui::GetDlgItemText(Bar().GetHwnd(), editor::kBarVolume), "99");

  // The step spins: every sounding velocity, then every key, one down; the
  // spins are back at 0 after each click.
  ASSERT_TRUE(Spin(editor::kBarVelocityStep)->Step(-1));
  EXPECT_EQ(NoteOns(s, 1), (std::vector<std::pair<int, int>>{{60, 99}, {64, 1}, {67, 126}}));
  EXPECT_EQ(Spin(editor::kBarVelocityStep)->Position(), 0);
  ASSERT_TRUE(Spin(editor::kBarKeyStep)->Step(-1));
  EXPECT_EQ(NoteOns(s, 1), (std::vector<std::pair<int, int>>{{59, 99}, {63, 1}, {66, 126}}));
  EXPECT_EQ(Spin(editor::kBarKeyStep)->Position(), 0);
  ASSERT_TRUE(Spin(editor::kBarKeyStep)->Step(1));
  EXPECT_EQ(NoteOns(s, 1), (std::vector<std::pair<int, int>>{{60, 99}, {64, 1}, {67, 126}}));
  EXPECT_EQ(summary(), (Summary{0, 5, 99, 65}));

  // The instrument list.
  ASSERT_TRUE(Bar().Choose(editor::kBarInstrument, 40));
  EXPECT_EQ(std::get<1>(summary()), 40);
  EXPECT_EQ(Bar().Item<ui::ComboBox>(editor::kBarInstrument)->ItemText(40), "040 : Violin");
  EXPECT_EQ(NoteOns(s, 1), (std::vector<std::pair<int, int>>{{60, 99}, {64, 1}, {67, 126}}));

  // The track spin chooses the track shown, and the document keeps it.
  ASSERT_TRUE(Spin(editor::kBarTrackSpin)->Step(1));
  EXPECT_EQ(view->Track(), 2);
  EXPECT_EQ(view->Caption(-1), "TRK:2");
  EXPECT_EQ(dynamic_cast<editor::CTambloDoc*>(view->GetDocument())->eventTrack, 2);
  EXPECT_EQ(ui::GetDlgItemText(Bar().GetHwnd(), editor::kBarVolume), "...");
  EXPECT_FALSE(Spin(editor::kBarTrackSpin)->Step(1)) << "the last track";

  // A new list opens on the track the document keeps.
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, editor::ID_VIEW_EVENTS, 0);
  auto* second = dynamic_cast<CEListView*>(frame->MDIGetActive()->ActiveView());
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second, view);
  EXPECT_EQ(second->Track(), 2);
  EXPECT_EQ(second->RowCount(), s.tracks[2].EventCount());
}

TEST_F(EventViewTest, ASongWithoutTracksShowsAnEmptyListAndTheTrackRangeZeroToZero) {
  EXPECT_EQ(Spin(editor::kBarTrackSpin)->Lower(), 0);
  EXPECT_EQ(Spin(editor::kBarTrackSpin)->Upper(), Song().TrackCount() - 1);
  Song().FreeAll();
  view->GetDocument()->UpdateAllViews(nullptr, editor::kHintEdited);
  EXPECT_EQ(view->RowCount(), 0);
  EXPECT_EQ(Spin(editor::kBarTrackSpin)->Lower(), 0);
  EXPECT_EQ(Spin(editor::kBarTrackSpin)->Upper(), 0);
  EXPECT_EQ(ui::GetDlgItemText(Bar().GetHwnd(), editor::kBarChannel), "...");
  Key(ui::VK_INSERT);
  Key(ui::VK_DELETE);
  Key(ui::VK_RETURN);
  EXPECT_EQ(view->InPlaceEdit(), nullptr);
  EXPECT_FALSE(Song().loaded);
}

TEST_F(EventViewTest, IsDrawnOffscreenWithItsBarAboveTheRows) {
  for (int32_t tick = 0; tick < 4800; tick += 120)
    ASSERT_EQ(Song().AddEvent(1, tick, 60, 0, Message(0x90, 60 + tick / 120 % 12, 100),
                              core::kKindChannel),
              1);
  ASSERT_EQ(Song().InsertLyric(1, 130, 60, "la"), 1);
  Reload();
  ui::MdiChildWnd* child = frame->MDIGetActive();
  ui::MoveWindow(frame->GetHwnd(), 0, 0, 900, 600);
  ui::MoveWindow(child->GetHwnd(), 0, 0, 880, 500);
  // The view lies below the bar.
  const gdi::Rect area = child->ViewArea();
  EXPECT_GE(area.top, ui::MdiChildWnd::kCaptionHeight + Bar().ClientSize().cy);
  view->SelectCell(3, 4);
  ui::UpdateWindow(hwnd);
  QCoreApplication::processEvents();
  QWidget* widget = ui::GetWidget(frame->GetHwnd());
  ASSERT_NE(widget, nullptr);
  const QImage image = widget->grab().toImage();
  EXPECT_TRUE(image.save(VEXO_TESTS_DIR "/editor-event-list.png", "PNG"));
  EXPECT_EQ(view->LastVisibleRow() - view->TopRow() > 5, true);
}

} // namespace
