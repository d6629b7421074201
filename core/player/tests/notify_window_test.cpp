// The notification window in this process: its listener lists, the
// requests a display sends it, the records it answers with (checked against
// bytes written out by hand), real-time events, image requests and HTML
// pages.
#include "common/notify_fixture.h"
#include "core/player/display_records.h"
#include "core/player/notify_exports.h"
#include "platform/res/bundle.h"
#include "platform/sys/ascii.h"
#include "platform/sys/library.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

using namespace notifytest;
using core::TheSong;

template <size_t N> std::vector<uint8_t> Vec(const std::array<uint8_t, N>& a) {
  return std::vector<uint8_t>(a.begin(), a.end());
}

std::vector<Received> Copies(const Recorder& r) {
  std::vector<Received> out;
  for (const auto& m : r.got)
    if (m.message == win::WM_COPYDATA)
      out.push_back(m);
  return out;
}

std::vector<uint32_t> UserCodes(const Recorder& r) {
  std::vector<uint32_t> out;
  for (const auto& m : r.got)
    if (m.message == win::WM_USER)
      out.push_back(static_cast<uint32_t>(m.wParam));
  return out;
}

// The EventCopy of track 1, event 2 ("kle ", tick 120, 125 ms, line 1).
const std::vector<uint8_t> kKleEventCopy = {0x78, 0, 0, 0, 0x7D, 0, 0, 0, 0x78, 0, 0, 0,
                                            0x7D, 0, 0, 0, 0x10, 0, 1, 0, 4,    0, 4, 0};

TEST_F(NotifyTest, IsAChildOfTheParentFoundByClassAndTitle) {
  EXPECT_EQ(win::GetClassName(window).value_or(""), "MSG_TAMBLO");
  EXPECT_EQ(win::GetWindowText(window).value_or(""), "MESSAGE");
  EXPECT_EQ(win::GetParent(window), parent.Hwnd());
  EXPECT_TRUE(win::GetWindowStyle(window) & win::WS_CHILD);
  EXPECT_EQ(win::FindWindowEx(parent.Hwnd(), "MSG_TAMBLO", "MESSAGE"), window);
  EXPECT_EQ(core::NotifyWindow(), window);
  EXPECT_EQ(core::HostNotifyWindow(), host.Hwnd());
  // A second creation keeps the window.
  EXPECT_EQ(core::CreateNotifyWindow(parent.Hwnd(), host.Hwnd()), window);
}

TEST_F(NotifyTest, LinkDisplayLinksAndUnlinks) {
  EXPECT_EQ(tamblo_GetLyricWnd(), display.Hwnd());
  win::PostMessage(window, win::WM_USER, core::kLinkDisplay, 0);
  Pump();
  EXPECT_EQ(core::DisplayWindow(), 0u);
  EXPECT_EQ(tamblo_GetLyricWnd(), 0u);
}

struct ListRow {
  const char* name;
  int32_t (*add)(uint32_t);
  int32_t (*remove)(uint32_t);
  void (*notice)(win::Hwnd window);
  uint32_t message; // what each listener receives
  uint32_t code;
  intptr_t argument;
};

const ListRow kLists[] = {
    {"stop", tamblo_RegisterStopMsg, tamblo_UnregisterStopMsg,
     [](win::Hwnd w) { win::PostMessage(w, win::WM_USER, core::kEndNotify, 0); }, win::WM_USER,
     core::kEndNotify, 0},
    {"progress", tamblo_RegisterProgMsg, tamblo_UnregisterProgMsg,
     [](win::Hwnd w) { win::PostMessage(w, win::WM_USER, core::kProgressNotify, 420); },
     win::WM_USER, core::kProgressNotify, 420},
    {"misc", tamblo_RegisterMiscMsg, tamblo_UnregisterMiscMsg,
     [](win::Hwnd w) { win::PostMessage(w, win::WM_USER, core::kMeterNotify, 100); }, win::WM_USER,
     core::kMeterNotify, 100},
    {"notification", tamblo_RegisterNotifications, tamblo_UnregisterNotifications,
     [](win::Hwnd) { core::SendSongStateNotify(core::kSongLoaded); }, win::WM_USER,
     core::kSongStateNotify, core::kSongLoaded},
    {"event", tamblo_RegisterEventMsg, tamblo_UnregisterEventMsg,
     [](win::Hwnd w) {
       win::PostMessage(w, core::kRealTimeEvent, 1, core::RealTimeEventLParam(2));
     },
     win::WM_COPYDATA, core::kEventCopy, 0},
};

bool IsTheNotice(const ListRow& row, const Received& m) {
  if (m.message != row.message)
    return false;
  if (row.message == win::WM_COPYDATA)
    return m.kind == row.code && m.bytes == kKleEventCopy;
  return m.wParam == row.code && m.lParam == row.argument;
}

TEST_F(NotifyTest, TenListenersPerListGetEachNoticeOnceTheEleventhIsRefused) {
  for (const ListRow& row : kLists) {
    SCOPED_TRACE(row.name);
    std::vector<std::unique_ptr<Recorder>> listeners;
    for (int i = 0; i < 12; ++i)
      listeners.push_back(std::make_unique<Recorder>());
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(row.add(listeners[i]->Hwnd()), 1);
    EXPECT_EQ(row.add(listeners[0]->Hwnd()), 1); // listed already: no second slot
    EXPECT_EQ(row.add(listeners[10]->Hwnd()), 0);
    EXPECT_EQ(row.add(0), 0);

    row.notice(window);
    Pump();
    for (int i = 0; i < 10; ++i) {
      ASSERT_EQ(listeners[i]->got.size(), 1u) << "listener " << i;
      EXPECT_TRUE(IsTheNotice(row, listeners[i]->got[0])) << "listener " << i;
      if (row.message == win::WM_COPYDATA) {
        EXPECT_EQ(listeners[i]->got[0].wParam, window);
      }
    }
    EXPECT_TRUE(listeners[10]->got.empty()); // refused
    EXPECT_TRUE(listeners[11]->got.empty()); // never registered

    EXPECT_EQ(row.remove(listeners[3]->Hwnd()), 1);
    EXPECT_EQ(row.remove(listeners[3]->Hwnd()), 0);
    EXPECT_EQ(row.remove(listeners[11]->Hwnd()), 0);
    EXPECT_EQ(row.add(listeners[10]->Hwnd()), 1);
    for (auto& l : listeners)
      l->got.clear();
    row.notice(window);
    Pump();
    EXPECT_TRUE(listeners[3]->got.empty());
    EXPECT_EQ(listeners[10]->got.size(), 1u);

    for (auto& l : listeners)
      row.remove(l->Hwnd());
  }
}

TEST_F(NotifyTest, AListenerThatDiedIsDroppedFromItsList) {
  for (const ListRow& row : kLists) {
    SCOPED_TRACE(row.name);
    std::vector<std::unique_ptr<Recorder>> listeners;
    for (int i = 0; i < 10; ++i) {
      listeners.push_back(std::make_unique<Recorder>());
      ASSERT_EQ(row.add(listeners.back()->Hwnd()), 1);
    }
    const win::Hwnd dead = listeners[4]->Hwnd();
    listeners[4]->Destroy();
    row.notice(window);
    Pump();
    for (int i = 0; i < 10; ++i) {
      if (i != 4) {
        EXPECT_EQ(listeners[i]->got.size(), 1u) << "listener " << i;
      }
    }
    // Its slot is free again.
    EXPECT_EQ(row.remove(dead), 0);
    Recorder late;
    EXPECT_EQ(row.add(late.Hwnd()), 1);
    for (auto& l : listeners)
      row.remove(l->Hwnd());
    row.remove(late.Hwnd());
  }
}

TEST_F(NotifyTest, AFullListOfDeadWindowsTakesANewOne) {
  std::vector<std::unique_ptr<Recorder>> listeners;
  for (int i = 0; i < 10; ++i) {
    listeners.push_back(std::make_unique<Recorder>());
    ASSERT_EQ(tamblo_RegisterProgMsg(listeners.back()->Hwnd()), 1);
  }
  listeners[7]->Destroy();
  Recorder late;
  EXPECT_EQ(tamblo_RegisterProgMsg(late.Hwnd()), 1);
  for (auto& l : listeners)
    tamblo_UnregisterProgMsg(l->Hwnd());
  tamblo_UnregisterProgMsg(late.Hwnd());
}

TEST_F(NotifyTest, TransmissionsSendHandBuiltRecords) {
  const win::Hwnd to = display.Hwnd();
  std::vector<uint8_t> title = Bytes("Star %d%n song");
  title.resize(48, 0);
  const std::vector<uint8_t> lineInfo1 = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0,    0,    0,    0,    0,    0,    0,    0,
                                          0x11, 0,    1,    0,    0,    0,    8,    0};
  const std::vector<uint8_t> lineInfo2 = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0,    0,    0,    0,    0,    0,    0,    0,
                                          0x11, 0,    2,    0,    8,    0,    11,   0};
  // Beyond lineCount the entry is 0, whatever the table holds there.
  const std::vector<uint8_t> lineInfo3 = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0,    0,    0,    0,    0,    0,    0,    0,
                                          0x11, 0,    3,    0,    0,    0,    0,    0};
  const std::vector<uint8_t> singer = {0x20, 0x03, 0, 0, 0x41, 0x03, 0, 0, 0, 0, 0, 0,
                                       0,    0,    0, 0, 0x14, 0,    0, 0, 2, 0, 0, 0};
  struct Row {
    const char* name;
    int32_t (*call)(uint32_t window);
    int32_t result;
    uintptr_t kind;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {"title", tamblo_TitleTransmit, 48, core::kTitleCopy, title},
      {"lyric block", tamblo_LyricTransmit, 19, core::kLyricCopy, Bytes("Twinkle little star")},
      {"line 1", [](uint32_t w) { return tamblo_LineInfoTransmit(w, 1); }, 0, core::kEventCopy,
       lineInfo1},
      {"line 2, after the last break", [](uint32_t w) { return tamblo_LineInfoTransmit(w, 2); }, 0,
       core::kEventCopy, lineInfo2},
      {"line 3", [](uint32_t w) { return tamblo_LineInfoTransmit(w, 3); }, 0, core::kEventCopy,
       lineInfo3},
      {"syllable", [](uint32_t w) { return tamblo_RTEventTransmit(w, 1, 2); }, 0, core::kEventCopy,
       kKleEventCopy},
      {"singer", [](uint32_t w) { return tamblo_RTEventTransmit(w, 1, 9); }, 0, core::kEventCopy,
       singer},
      {"lyric text, every line", tamblo_LyricTextTransmit, 0, core::kLyricTextCopy,
       Bytes(std::string_view("Twinkle \r\nlittle star\r\n\0", 24))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    display.got.clear();
    EXPECT_EQ(row.call(to), row.result);
    ASSERT_EQ(display.got.size(), 1u);
    EXPECT_EQ(display.got[0].kind, row.kind);
    EXPECT_EQ(display.got[0].wParam, window);
    EXPECT_EQ(display.got[0].bytes, row.bytes);
  }
}

TEST_F(NotifyTest, TransmissionsRefuseWhatIsMissingAndSendNothing) {
  struct Row {
    const char* name;
    int32_t (*call)(uint32_t window);
  };
  const Row refused[] = {
      {"line -1", [](uint32_t w) { return tamblo_LineInfoTransmit(w, -1); }},
      {"line 512", [](uint32_t w) { return tamblo_LineInfoTransmit(w, 512); }},
      {"track 2", [](uint32_t w) { return tamblo_RTEventTransmit(w, 2, 0); }},
      {"track -1", [](uint32_t w) { return tamblo_RTEventTransmit(w, -1, 0); }},
      {"index 10", [](uint32_t w) { return tamblo_RTEventTransmit(w, 1, 10); }},
      {"index -1", [](uint32_t w) { return tamblo_RTEventTransmit(w, 1, -1); }},
      {"syllable on track 0", [](uint32_t w) { return tamblo_RTEventTransmit(w, 0, 1); }},
      {"image on track 0", [](uint32_t w) { return tamblo_RTEventTransmit(w, 0, 2); }},
  };
  for (const Row& row : refused) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.call(display.Hwnd()), -1);
  }
  // A note of track 0 goes.
  EXPECT_EQ(tamblo_RTEventTransmit(display.Hwnd(), 0, 0), 0);
  EXPECT_EQ(display.got.size(), 1u);

  display.got.clear();
  TheSong().Reset();
  const Row noSong[] = {
      {"title", tamblo_TitleTransmit},
      {"lyric", tamblo_LyricTransmit},
      {"line", [](uint32_t w) { return tamblo_LineInfoTransmit(w, 1); }},
      {"event", [](uint32_t w) { return tamblo_RTEventTransmit(w, 0, 0); }},
      {"lyric text", tamblo_LyricTextTransmit},
  };
  for (const Row& row : noSong) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.call(display.Hwnd()), -1);
  }
  EXPECT_TRUE(display.got.empty());
}

TEST_F(NotifyTest, LyricTextOfALyricTrackWithoutLinesIsEmpty) {
  core::Track& lyrics = TheSong().tracks[1];
  lyrics.text.clear();
  lyrics.lineTable.fill(0);
  lyrics.lineCount = 0;
  EXPECT_EQ(tamblo_LyricTextTransmit(display.Hwnd()), 0);
  ASSERT_EQ(display.got.size(), 1u);
  EXPECT_EQ(display.got[0].bytes, std::vector<uint8_t>{0});
}

TEST_F(NotifyTest, RequestsOfTheDisplayAreAnswered) {
  struct Row {
    const char* name;
    uint32_t code;
    intptr_t argument; // kDisplay: the display's window
    std::vector<uintptr_t> kinds;
  };
  constexpr intptr_t kDisplay = -1000;
  const Row rows[] = {
      {"title", core::kTitleRequest, kDisplay, {core::kTitleCopy}},
      {"lyric", core::kLyricRequest, kDisplay, {core::kLyricCopy}},
      {"line information", core::kLineInfoRequest, 2, {core::kEventCopy}},
      {"line outside the table", core::kLineInfoRequest, 70000, {}},
      {"lyric text", core::kLyricTextRequest, kDisplay, {core::kLyricTextCopy}},
      {"516", core::kIgnoredRequest, kDisplay, {}},
      {"unknown code", 777, kDisplay, {}},
      {"title for no window", core::kTitleRequest, 0, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    display.got.clear();
    const intptr_t argument = row.argument == kDisplay ? display.Hwnd() : row.argument;
    win::PostMessage(window, win::WM_USER, row.code, argument);
    Pump();
    std::vector<uintptr_t> kinds;
    for (const auto& m : display.got)
      kinds.push_back(m.kind);
    EXPECT_EQ(kinds, row.kinds);
  }
  // The line information as the display asked for it.
  win::PostMessage(window, win::WM_USER, core::kLineInfoRequest, 1);
  Pump();
  ASSERT_EQ(display.got.size(), 1u);
  EXPECT_EQ(display.got[0].bytes[18], 1);
  EXPECT_EQ(display.got[0].bytes[22], 8);
}

TEST_F(NotifyTest, LineInfoRequestWithoutADisplaySendsNothing) {
  win::SendMessage(window, win::WM_USER, core::kLinkDisplay, 0);
  win::PostMessage(window, win::WM_USER, core::kLineInfoRequest, 1);
  Pump();
  EXPECT_TRUE(display.got.empty());
}

TEST_F(NotifyTest, SongFileCopyIsAcceptedAndIgnored) {
  const std::string path = "/songs/dropped.kar";
  EXPECT_EQ(win::SendCopyData(window, display.Hwnd(), core::kSongFileCopy, path.c_str(),
                              static_cast<uint32_t>(path.size() + 1)),
            0);
  Pump();
  EXPECT_TRUE(display.got.empty());
  EXPECT_EQ(TheSong().title, "Star %d%n song");
}

TEST_F(NotifyTest, RealTimeEventsAreRelayedToTheDisplayAndTheEventList) {
  Recorder editor;
  ASSERT_EQ(tamblo_RegisterEventMsg(editor.Hwnd()), 1);
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 1, core::RealTimeEventLParam(2)), 0);
  ASSERT_EQ(display.got.size(), 1u);
  EXPECT_EQ(display.got[0].bytes, kKleEventCopy);
  ASSERT_EQ(editor.got.size(), 1u);
  EXPECT_EQ(editor.got[0].bytes, kKleEventCopy);
  tamblo_UnregisterEventMsg(editor.Hwnd());
}

TEST_F(NotifyTest, StaleOrOutOfRangeRealTimeEventsAreDropped) {
  const intptr_t beforeReload = core::RealTimeEventLParam(2);
  struct Row {
    const char* name;
    uintptr_t track;
    intptr_t lParam;
  };
  const Row rows[] = {
      {"index at the event count", 1, core::RealTimeEventLParam(10)},
      {"negative index", 1, core::RealTimeEventLParam(-1)},
      {"track beyond the song", 2, core::RealTimeEventLParam(0)},
      {"track beyond any song", 70000, core::RealTimeEventLParam(0)},
      {"an index that no engine stamped", 1, 2},
      {"syllable on a track other than the lyric track", 0, core::RealTimeEventLParam(1)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, row.track, row.lParam), -1);
  }
  EXPECT_TRUE(display.got.empty());

  // A reload: the event queued for the earlier song is dropped, though its
  // index exists in the new one.
  MakeSong(TheSong());
  core::SendSongStateNotify(core::kSongLoaded);
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 1, beforeReload), -1);
  EXPECT_TRUE(display.got.empty());
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 1, core::RealTimeEventLParam(2)), 0);
  EXPECT_EQ(display.got.size(), 1u);
}

TEST_F(NotifyTest, AnEditDropsTheRealTimeEventsStampedBeforeIt) {
  core::CSongData& song = TheSong();
  song.editNotice = &core::SongEdited;
  const intptr_t beforeEdit = core::RealTimeEventLParam(2);
  // Syllable 1 gains a tick: index 2 now names another layout of the track.
  ASSERT_EQ(song.MoveEvent(1, 1, song.tracks[1].events[1].tick + 1), 1);
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 1, beforeEdit), -1);
  EXPECT_TRUE(display.got.empty());
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 1, core::RealTimeEventLParam(2)), 0);
  EXPECT_EQ(display.got.size(), 1u);
  song.editNotice = nullptr;
}

TEST_F(NotifyTest, TheEnginesPosterStampsRealTimeEventsOnly) {
  ASSERT_EQ(core::PostEngineNotice(window, core::kRealTimeEvent, 1, 4), 1);
  ASSERT_EQ(core::PostEngineNotice(window, win::WM_USER, core::kLinkDisplay, 0), 1);
  Pump();
  ASSERT_EQ(display.got.size(), 1u); // syllable 4 arrived, then the display was unlinked
  EXPECT_EQ(display.got[0].bytes[0], 240);
  EXPECT_EQ(core::DisplayWindow(), 0u);
  EXPECT_EQ(core::PostEngineNotice(0, win::WM_USER, core::kEndNotify, 0), 0);
}

TEST_F(NotifyTest, AnEmbeddedWaveGoesToTheWavePlayerAndIsRelayedUnlessItCannotPlay) {
  TheSong().tracks[0].events.push_back(Ev(20, 20, 0, 0, 12, 0, 3));
  static int played = 0;
  static int32_t answer = 0;
  played = 0;
  core::SetEmbeddedWavePlayer([](const core::SongEvent& e) {
    played += e.data == 3 ? 1 : 100;
    return answer;
  });
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 0, core::RealTimeEventLParam(3)), 0);
  EXPECT_EQ(played, 1);
  EXPECT_EQ(display.got.size(), 1u);
  answer = -1;
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 0, core::RealTimeEventLParam(3)), -1);
  EXPECT_EQ(display.got.size(), 1u);
  core::SetEmbeddedWavePlayer(nullptr);
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 0, core::RealTimeEventLParam(3)), 0);
  EXPECT_EQ(display.got.size(), 2u);
}

// What the display receives for an image event (after which the event itself
// is always relayed as EventCopy).
struct ImageRow {
  const char* name;
  uint16_t imageMode;
  uint16_t titleMode;
  uint8_t slot7;
  int32_t index; // event of the lyric track: 7 (data 0) or 8 (data 9)
  uint8_t action;
  std::vector<std::pair<uintptr_t, std::vector<uint8_t>>> copies; // before the EventCopy
  std::vector<uint32_t> codes;                                    // WM_USER codes sent
};

std::vector<uint8_t> Img(const char* digits) {
  std::vector<uint8_t> b = Bytes(std::string("\\IMG") + digits);
  b.resize(32, 0);
  return b;
}

std::vector<uint8_t> Text0(std::string_view text) {
  std::vector<uint8_t> b = Bytes(text);
  b.push_back(0);
  return b;
}

TEST_F(NotifyTest, ImageEventsFollowTheirImageAction) {
  const auto special = Text0("@D\\Special");
  const auto pic3 = Text0("pic3.jpg");
  const auto pic4 = Text0("pic4.jpg");
  const std::string page130 = "", page131 = ""; // no resource bundle in this process
  const ImageRow rows[] = {
      {"action 0 picks a slot of 7-12", 0, 0, 5, 7, 0, {{core::kImageCopy, Img("0005")}}, {}},
      {"action 1 picks a slot", 0, 0, 5, 7, 1, {{core::kImageCopy, Img("0005")}}, {}},
      {"action 1 in image mode 1", 1, 0, 5, 7, 1, {{core::kImageCopy, special}}, {}},
      {"action 2 clears the page", 0, 0, 5, 7, 2, {{core::kHtmlPageCopy, Text0("@RESET")}}, {}},
      {"action 3 shows page 130",
       0,
       0,
       5,
       7,
       3,
       {{core::kHtmlPageCopy, Text0(page130)}},
       {core::kJumpNotify}},
      {"action 3 with the title shown at play", 0, 2, 5, 7, 3, {}, {}},
      {"action 4 shows page 131",
       0,
       2,
       5,
       7,
       4,
       {{core::kHtmlPageCopy, Text0(page131)}},
       {core::kJumpNotify}},
      {"action 9 does nothing", 0, 0, 5, 7, 9, {}, {}},
      {"slot 7 without a picture: the text at offset 0",
       0,
       0,
       0,
       7,
       0,
       {{core::kImageCopy, pic3}},
       {}},
      {"data not 0: the text", 1, 0, 5, 8, 1, {{core::kImageCopy, pic4}}, {}},
  };
  for (const ImageRow& row : rows) {
    SCOPED_TRACE(row.name);
    MakeSong(TheSong());
    TheSong().imageNumbers[7] = row.slot7;
    TheSong().tracks[1].events[row.index].imageAction = row.action;
    core::TheDisplaySettings().imageMode = row.imageMode;
    core::TheDisplaySettings().titleMode = row.titleMode;
    display.got.clear();
    EXPECT_EQ(
        win::SendMessage(window, core::kRealTimeEvent, 1, core::RealTimeEventLParam(row.index)), 0);
    Pump();
    auto copies = Copies(display);
    ASSERT_EQ(copies.size(), row.copies.size() + 1);
    for (size_t i = 0; i < row.copies.size(); ++i) {
      EXPECT_EQ(copies[i].kind, row.copies[i].first) << i;
      EXPECT_EQ(copies[i].bytes, row.copies[i].second) << i;
    }
    EXPECT_EQ(copies.back().kind, core::kEventCopy);
    EXPECT_EQ(copies.back().bytes, Vec(core::EventRecord(TheSong().tracks[1].events[row.index])));
    EXPECT_EQ(UserCodes(display), row.codes);
  }
}

TEST_F(NotifyTest, ImageEventsWithoutADisplayOrOffTheLyricTrack) {
  Recorder editor;
  ASSERT_EQ(tamblo_RegisterEventMsg(editor.Hwnd()), 1);
  // Off the lyric track, with a display: dropped.
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 0, core::RealTimeEventLParam(2)), -1);
  EXPECT_TRUE(display.got.empty());
  EXPECT_TRUE(editor.got.empty());
  // Without a display: only the event list gets it.
  win::SendMessage(window, win::WM_USER, core::kLinkDisplay, 0);
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 1, core::RealTimeEventLParam(7)), 0);
  EXPECT_TRUE(display.got.empty());
  ASSERT_EQ(editor.got.size(), 1u);
  EXPECT_EQ(editor.got[0].bytes[16], 19);
  tamblo_UnregisterEventMsg(editor.Hwnd());
}

// What the display (and the host) receive at play, stop and the song's end,
// by image mode. Slot 7 holds picture 5, slots 8-12 none.
struct ModeRow {
  const char* name;
  uint16_t imageMode;
  void (*step)(win::Hwnd window);
  std::vector<uint32_t> displayCodes; // posted WM_USER codes, in order
  std::vector<std::pair<uintptr_t, std::vector<uint8_t>>> copies;
  std::vector<uint32_t> hostCodes;
};

void Start(win::Hwnd) {
  core::SendPlayStart();
}
void Stop(win::Hwnd) {
  core::SendPlayStopToDisplay();
  core::PostPlayStoppedToHost();
}
void End(win::Hwnd w) {
  win::PostMessage(w, win::WM_USER, core::kEndNotify, 0);
}

TEST_F(NotifyTest, PlayStopAndEndFollowTheImageMode) {
  std::vector<uint8_t> title = Bytes("Star %d%n song");
  title.resize(48, 0);
  const auto block = Bytes("Twinkle little star");
  const auto special = Text0("@D\\Special");
  using C = std::pair<uintptr_t, std::vector<uint8_t>>;
  const C titleCopy{core::kTitleCopy, title}, lyricCopy{core::kLyricCopy, block};
  const C pick{core::kImageCopy, Img("0005")}, playImage{core::kPlayImageCopy, Img("0005")};
  const ModeRow rows[] = {
      {"play, mode 0", 0, Start, {core::kPlayStarted}, {titleCopy, lyricCopy, pick}, {}},
      {"play, mode 1", 1, Start, {core::kPlayStarted}, {titleCopy, lyricCopy}, {}},
      {"play, mode 2", 2, Start, {core::kPlayStarted}, {titleCopy, lyricCopy, playImage, pick}, {}},
      {"play, mode 3", 3, Start, {core::kPlayStarted}, {titleCopy, lyricCopy, playImage}, {}},
      {"stop, mode 0", 0, Stop, {core::kPlayStopped}, {}, {core::kPlayStopped}},
      {"stop, mode 1",
       1,
       Stop,
       {core::kPlayStopped},
       {{core::kImageCopy, special}},
       {core::kPlayStopped}},
      {"stop, mode 4",
       4,
       Stop,
       {core::kPlayStopped, core::kStopImageNotify},
       {},
       {core::kPlayStopped}},
      {"stop, mode 5",
       5,
       Stop,
       {core::kPlayStopped},
       {{core::kImageCopy, special}},
       {core::kPlayStopped}},
      {"end, mode 0", 0, End, {core::kPlayStopped}, {}, {core::kPlayStopped}},
      {"end, mode 4",
       4,
       End,
       {core::kPlayStopped, core::kStopImageNotify},
       {},
       {core::kPlayStopped}},
      {"end, mode 5",
       5,
       End,
       {core::kPlayStopped},
       {{core::kImageCopy, special}},
       {core::kPlayStopped}},
  };
  for (const ModeRow& row : rows) {
    SCOPED_TRACE(row.name);
    core::TheDisplaySettings().imageMode = row.imageMode;
    display.got.clear();
    host.got.clear();
    row.step(window);
    Pump();
    EXPECT_EQ(UserCodes(display), row.displayCodes);
    auto copies = Copies(display);
    ASSERT_EQ(copies.size(), row.copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
      EXPECT_EQ(copies[i].kind, row.copies[i].first) << i;
      EXPECT_EQ(copies[i].bytes, row.copies[i].second) << i;
    }
    EXPECT_EQ(UserCodes(host), row.hostCodes);
  }
}

TEST_F(NotifyTest, WithoutADisplayPlayAndStopReachOnlyTheHost) {
  win::SendMessage(window, win::WM_USER, core::kLinkDisplay, 0);
  core::TheDisplaySettings().imageMode = 7;
  core::SendPlayStart();
  core::SendPlayStopToDisplay();
  core::SendJumpNotify();
  core::PostPlayStoppedToHost();
  win::PostMessage(window, win::WM_USER, core::kEndNotify, 0);
  Pump();
  EXPECT_TRUE(display.got.empty());
  EXPECT_EQ(UserCodes(host), (std::vector<uint32_t>{core::kPlayStopped, core::kPlayStopped}));
}

TEST_F(NotifyTest, JumpNotifyIsSentToTheDisplay) {
  core::SendJumpNotify();
  EXPECT_EQ(UserCodes(display), std::vector<uint32_t>{core::kJumpNotify});
}

TEST_F(NotifyTest, ImageRangePicksTheNextSlotWithAPictureInTurn) {
  auto picked = [&] {
    display.got.clear();
    core::TheNotifyWnd().SendImageRange(7, 12);
    return display.got.at(0).bytes;
  };
  // One slot with a picture is always found.
  TheSong().imageNumbers = {};
  TheSong().imageNumbers[10] = 9;
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(picked(), Img("0009"));
  // None: the empty request.
  TheSong().imageNumbers = {};
  EXPECT_EQ(picked(), std::vector<uint8_t>{0});
  // All six: the rolling counter walks them in turn.
  for (int s = 7; s <= 12; ++s)
    TheSong().imageNumbers[s] = static_cast<uint8_t>(s * 10);
  auto first = picked();
  const int slot = std::stoi(std::string(first.begin() + 4, first.begin() + 8)) / 10;
  for (int i = 1; i <= 6; ++i) {
    const int next = 7 + (slot - 7 + i) % 6;
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04d", next * 10);
    EXPECT_EQ(picked(), Img(digits)) << i;
  }
  // A range of one (or an inverted one) is its first slot.
  display.got.clear();
  core::TheNotifyWnd().SendImageRange(8, -1);
  core::TheNotifyWnd().SendImageRange(9, 3);
  ASSERT_EQ(display.got.size(), 2u);
  EXPECT_EQ(display.got[0].bytes, Img("0080"));
  EXPECT_EQ(display.got[1].bytes, Img("0090"));
}

class TitlePageTest : public NotifyTest {
protected:
  void TearDown() override {
    std::remove(pagePath.c_str());
    NotifyTest::TearDown();
  }
  void WritePage(const std::string& path, const std::string& text) {
    pagePath = path;
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string pagePath;
};

TEST_F(TitlePageTest, TitlePagesFillInTitleAndSingerAndKeepEveryOtherPercent) {
  // In the host program's folder, named in any letter case.
  const std::string name = "Vexo-Title-" + std::to_string(getpid()) + ".htm";
  WritePage(sys::ProgramFolder() + "/" + name, "<b>%s</b> by %s: 100% of %d, 50%%, %s");
  std::string asked = sys::AsciiLowered(name);
  EXPECT_EQ(tamblo_DisplayTitle(asked.c_str()), 1);
  ASSERT_EQ(display.got.size(), 1u);
  EXPECT_EQ(display.got[0].kind, core::kHtmlPageCopy);
  EXPECT_EQ(display.got[0].bytes, Text0("<b>Star %d%n song</b> by Kim: 100% of %d, 50%, %s"));

  display.got.clear();
  EXPECT_EQ(tamblo_DisplayTitle("no-such-page.htm"), 1);
  EXPECT_EQ(tamblo_DisplayTitle(nullptr), 1);
  ASSERT_EQ(display.got.size(), 2u);
  EXPECT_EQ(display.got[0].bytes, std::vector<uint8_t>{0});
  EXPECT_EQ(display.got[1].bytes, std::vector<uint8_t>{0});
}

TEST_F(TitlePageTest, HtmlPagesGoAsTheyAreAndOnlyToALinkedDisplay) {
  EXPECT_EQ(tamblo_DisplayHtm("<p>50% %s %n</p>"), 1);
  EXPECT_EQ(tamblo_ClearHtm(), 1);
  ASSERT_EQ(display.got.size(), 2u);
  EXPECT_EQ(display.got[0].bytes, Text0("<p>50% %s %n</p>"));
  EXPECT_EQ(display.got[1].bytes, Text0("@RESET"));

  win::SendMessage(window, win::WM_USER, core::kLinkDisplay, 0);
  display.got.clear();
  EXPECT_EQ(tamblo_DisplayHtm("<p>x</p>"), 0);
  EXPECT_EQ(tamblo_ClearHtm(), 0);
  EXPECT_EQ(tamblo_DisplayTitle("page.htm"), 0);
  EXPECT_TRUE(display.got.empty());
}

TEST_F(NotifyTest, TheTitleClearTimerClearsThePageOnceAfterFiveSeconds) {
  core::ArmTitleClearTimer();
  clock.Advance(4999);
  EXPECT_TRUE(display.got.empty());
  clock.Advance(1);
  ASSERT_EQ(display.got.size(), 1u);
  EXPECT_EQ(display.got[0].bytes, Text0("@RESET"));
  clock.Advance(20000);
  EXPECT_EQ(display.got.size(), 1u);
}

TEST_F(NotifyTest, ADisplayThatDiedIsUnlinked) {
  // Found by the window's timer...
  display.Destroy();
  clock.Advance(499);
  EXPECT_NE(core::DisplayWindow(), 0u);
  clock.Advance(1);
  EXPECT_EQ(core::DisplayWindow(), 0u);
  // ... or by a send that does not arrive.
  Recorder second;
  win::SendMessage(window, win::WM_USER, core::kLinkDisplay, second.Hwnd());
  const win::Hwnd gone = second.Hwnd();
  second.Destroy();
  EXPECT_EQ(tamblo_TitleTransmit(gone), 48);
  EXPECT_EQ(core::DisplayWindow(), 0u);
}

// What the window asks of the engine, through fake link operations.
struct LinkCalls {
  std::vector<int32_t> watchDog;
  std::vector<int> tempo, key, unmuted;
  int refreshed = 0;
};
LinkCalls calls;

TEST_F(NotifyTest, TheEndResetsTheModifiersAndTheWatchdogIsRenewedWhileEnabled) {
  calls = {};
  wendra::MplayTable& link = core::TheApp().linkTable;
  link.SetWatchDogTime = [](int32_t ms) { calls.watchDog.push_back(ms); };
  link.SetTempoModifier = [](int16_t v) { calls.tempo.push_back(v); };
  link.SetKeyModifier = [](int16_t v) { calls.key.push_back(v); };
  link.SetChannelMute = [](uint16_t channel, uint8_t flag) {
    if (flag == 0)
      calls.unmuted.push_back(channel);
  };
  core::SetReadoutRefresh([] { ++calls.refreshed; });

  clock.Advance(500);
  EXPECT_TRUE(calls.watchDog.empty());
  core::SetWatchDog(1, 3000);
  clock.Advance(1000);
  EXPECT_EQ(calls.watchDog, (std::vector<int32_t>{3000, 3000}));
  core::SetWatchDog(0, 3000);
  clock.Advance(1000);
  EXPECT_EQ(calls.watchDog.size(), 2u);

  win::PostMessage(window, win::WM_USER, core::kEndNotify, 101);
  Pump();
  EXPECT_EQ(calls.tempo, std::vector<int>{0});
  EXPECT_EQ(calls.key, std::vector<int>{0});
  EXPECT_EQ(calls.refreshed, 1);
  std::vector<int> channels;
  for (int c = 0; c < 16; ++c)
    channels.push_back(c);
  EXPECT_EQ(calls.unmuted, channels);

  core::SetReadoutRefresh(nullptr);
  link = wendra::MplayTable{};
}

TEST_F(NotifyTest, OnlyANaturalEndOfTheWaveDeviceIsPassedOnToTheHost) {
  // The recorder hears every notice and says which one was a natural end.
  static std::vector<std::pair<win::WParam, win::LParam>> heard;
  heard.clear();
  core::SetWaveDeviceDone([](win::WParam flag, win::LParam device) {
    heard.emplace_back(flag, device);
    return flag == 1 && device == 7;
  });
  struct Row {
    win::WParam flag;
    win::LParam device;
    bool told;
  } rows[] = {{1, 7, true}, {2, 7, false}, {4, 7, false}, {8, 7, false}, {1, 8, false}};
  for (const Row& r : rows) {
    host.got.clear();
    heard.clear();
    win::PostMessage(window, win::MM_MCINOTIFY, r.flag, r.device);
    Pump();
    EXPECT_EQ(heard, (std::vector<std::pair<win::WParam, win::LParam>>{{r.flag, r.device}}));
    EXPECT_EQ(UserCodes(host), r.told ? std::vector<uint32_t>{core::kWaveDoneNotify}
                                      : std::vector<uint32_t>{})
        << r.flag << " " << r.device;
  }
  EXPECT_TRUE(display.got.empty());
  // With no recorder, no notice reaches the host.
  core::SetWaveDeviceDone(nullptr);
  host.got.clear();
  win::PostMessage(window, win::MM_MCINOTIFY, 1, 7);
  Pump();
  EXPECT_TRUE(UserCodes(host).empty());
}

TEST(NotifyResources, ThePagesOfImageActionsThreeAndFourAreInTheBundle) {
  auto bundle = res::Bundle::Load("rTamblo", VEXO_BIN_DIR);
  ASSERT_TRUE(bundle);
  for (uint32_t id : {130u, 131u}) {
    auto text = bundle->String(id);
    ASSERT_TRUE(text) << id;
    EXPECT_NE(text->find("<html>"), std::string::npos) << id;
    EXPECT_EQ(text->find('%'), std::string::npos) << id;
  }
}

} // namespace
