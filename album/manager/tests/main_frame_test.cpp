// The album manager's frame over a fake album: what it shows when it opens,
// the view-type changes from and to every type with and without folder
// rows, the command states and keys, the replaced queue and the folder
// rebuild with their notices, and the settings written when it closes.
#include "album/manager/main_frame.h"
#include "platform/res/bundle.h"
#include "platform/sys/ini.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/tests/support/screen_session.h"

#include <QImage>
#include <QKeyEvent>

#include <filesystem>
#include <map>
#include <stdlib.h>

using namespace album;
using namespace uitest;

namespace {

class FakeAlbum : public ManagerAlbum {
public:
  std::vector<ReservationRow> queue;
  std::map<int32_t, uint8_t> types;
  std::map<std::string, std::string> titles; // readable song files
  std::vector<std::string> calls;
  bool rebuildSucceeds = true;
  std::vector<ReservationRow> rebuiltFolders;

  std::vector<ReservationRow> Reservations() override { return queue; }
  void ClearReservations() override {
    calls.push_back("clear");
    queue.clear();
  }
  void AddReservation(const ReservationRow& row) override { queue.push_back(row); }
  uint8_t SongType(int32_t number) override {
    auto it = types.find(number);
    return it == types.end() ? 0 : it->second;
  }
  std::string SongPath(int32_t number) override {
    return "/songs/" + std::to_string(number) + ".sng";
  }
  std::optional<std::string> ProbeTitle(const std::string& path) override {
    auto it = titles.find(path);
    if (it == titles.end())
      return std::nullopt;
    return it->second;
  }
  bool RebuildFolders(const std::vector<ReservationRow>& folders, bool first,
                      bool second) override {
    calls.push_back(std::string("rebuild ") + (first ? "1" : "0") + (second ? "1" : "0"));
    rebuiltFolders = folders;
    return rebuildSucceeds;
  }
  void Reload() override { calls.push_back("reload"); }
  void SaveMyAlbum() override { calls.push_back("save"); }
  void RecordMyAlbumPaths() override { calls.push_back("record"); }
  void RenumberMyAlbum() override { calls.push_back("renumber"); }
};

class ManagerTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    std::string error;
    bundle = res::Bundle::Load("rTondo32", VEXO_BIN_DIR, &error);
    ASSERT_TRUE(bundle) << error;
    boxes = std::make_shared<ui::ScriptedMessageBox>();
    scopedBoxes.emplace(boxes);
    ASSERT_NE(Create(host, kPlainClass, 0, {0, 0, 10, 10}), 0u);
  }
  void TearDown() override {
    if (frame && CMainFrame::Current() == frame)
      win::DestroyWindow(frame->GetHwnd());
    scopedBoxes.reset();
    ScreenTest::TearDown();
  }

  CMainFrame* Open(int16_t type = 0) {
    ManagerSetup setup;
    const res::Bundle b = *bundle;
    setup.resources = {b.Files(), [b](uint32_t id) { return b.String(id); }};
    setup.moduleFolder = folder.Path();
    setup.host = host.GetHwnd();
    setup.requestedType = type;
    setup.album = &album;
    frame = CMainFrame::Create(setup);
    return frame;
  }
  std::string Ini() const { return folder.Path() + "/config.ini"; }
  std::vector<uintptr_t> Notices() const {
    std::vector<uintptr_t> kinds;
    for (const Logged& m : host.Only({win::WM_COPYDATA}))
      kinds.push_back(m.wParam == frame->GetHwnd() ? 1 : 0);
    return kinds;
  }
  // Chooses a view type in the combo as a person would and runs the loop.
  void Choose(int type) {
    frame->TypeCombo().Choose(type);
    PumpUntil([] { return false; }, 30);
  }

  std::optional<res::Bundle> bundle;
  struct Folder {
    Folder() {
      char pattern[] = "/tmp/album-manager-XXXXXX";
      path = mkdtemp(pattern);
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
    const std::string& Path() const { return path; }
    std::string path;
  } folder;
  FakeAlbum album;
  LogWindow host;
  std::shared_ptr<ui::ScriptedMessageBox> boxes;
  std::shared_ptr<ui::ScriptedDialogs> dialogs = std::make_shared<ui::ScriptedDialogs>();
  std::optional<ui::ScopedMessageBoxBackend> scopedBoxes;
  CMainFrame* frame = nullptr;
  std::vector<uintptr_t> copyKinds;
};

TEST_F(ManagerTest, OpensWithItsClassTitleCombosBarsAndTheQueue) {
  album.queue = {{12, "Song twelve", "", 0}, {-1, "/tmp/a.sng", "/tmp/a.sng", 0}};
  album.types[12] = 'b';
  ASSERT_TRUE(Open(5));
  const ui::Hwnd h = frame->GetHwnd();
  EXPECT_EQ(win::GetClassName(h).value_or(""), kManagerClass);
  EXPECT_EQ(win::GetWindowText(h).value_or(""), "Song Album Manager");
  EXPECT_TRUE(ui::IsWindowVisible(h));
  EXPECT_EQ(CMainFrame::Current(), frame);
  // A requested type of 5 opens in type 2.
  EXPECT_EQ(frame->CurrentType(), 2);
  EXPECT_EQ(frame->TypeCombo().Count(), 3);
  EXPECT_EQ(frame->KindComboBox().Count(), 7);
  EXPECT_EQ(frame->KindComboBox().CurSel(), 0);
  EXPECT_EQ(frame->TypeCombo().ItemHeight(), 17);
  EXPECT_EQ(frame->Status().PaneCount(), 3);
  EXPECT_EQ(frame->Status().Text(1), " ");
  EXPECT_EQ(frame->Status().PaneRect(1).right, 140);
  // The folder view lists no songs: its rows are the folders to build from.
  EXPECT_TRUE(frame->Reserves().Rows().empty());
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(frame->CaptionText(i), " ");
  // A second open brings the first forward.
  EXPECT_EQ(Open(0), frame);
  // The song view lists the queue, once at each showing.
  frame->TypeCombo().Choose(0);
  PumpUntil([&] { return frame->CurrentType() == 0; }, 1000);
  for (int showing = 0; showing < 2; ++showing) {
    ui::ShowWindow(frame->GetHwnd(), ui::SW_HIDE);
    ui::ShowWindow(frame->GetHwnd(), ui::SW_SHOW);
    ASSERT_EQ(frame->Reserves().Rows().size(), 2u);
    EXPECT_EQ(frame->Reserves().Rows()[0].kind, kKindBinary);
  }
  // The tool bar lies 6 pixels left of the frame and 6 wider.
  const ui::Hwnd bar = frame->GetToolBar()->GetHwnd();
  EXPECT_EQ(ui::ScreenToClient(h, ui::ClientToScreen(bar, {0, 0})).x, -6);
  EXPECT_EQ(ui::GetClientRect(bar)->Width(), ui::GetClientRect(h)->Width() + 6);
  win::DestroyWindow(h);
  // With no type asked for, type 2 too.
  ASSERT_TRUE(Open(-1));
  EXPECT_EQ(frame->CurrentType(), 2);
}

TEST_F(ManagerTest, TheTypeComboShowsItsImageWithoutTeal) {
  ASSERT_TRUE(Open(0));
  const ui::Hwnd combo = frame->TypeCombo().GetHwnd();
  ASSERT_TRUE(Settle(combo));
  auto dc = ui::GetDc(combo);
  ASSERT_TRUE(dc);
  int teal = 0, book = 0;
  const gdi::Rect r = ui::GetClientRect(combo).value();
  for (int32_t y = 0; y < r.bottom; ++y)
    for (int32_t x = 0; x < 24; ++x) {
      const gdi::Colour c = dc->GetPixel(x, y);
      teal += c == gdi::Rgb(0, 128, 128);
      book += c == gdi::Rgb(0, 0, 192);
    }
  EXPECT_EQ(teal, 0);
  EXPECT_GT(book, 20);
}

TEST_F(ManagerTest, SearchDialogHandsItsKindToTheTree) {
  ui::ScopedDialogBackend scoped(dialogs);
  ASSERT_TRUE(Open(0));
  struct Case {
    bool leaf;
    std::vector<ui::DialogStep> steps;
    bool searched;
    int kind;
    std::string text;
    bool narrow;
  };
  using Step = ui::DialogStep;
  const std::string longText(120, 'a');
  const Case cases[] = {
      // Singer, narrow allowed and chosen.
      {true, {Step::TypeInto(1001, "Moon"), Step::ClickOn(1100), Step::ClickOn(1005),
              Step::ClickOn(ui::IDOK)}, true, 1, "Moon", true},
      // The check box refuses while the current item is no leaf.
      {false, {Step::TypeInto(1001, "Sun"), Step::ClickOn(1102), Step::ClickOn(1005),
               Step::ClickOn(ui::IDOK)}, true, 2, "Sun", false},
      // An empty text searches nothing.
      {true, {Step::TypeInto(1001, ""), Step::ClickOn(ui::IDOK)}, false, 0, "", false},
      // Cancelled.
      {true, {Step::TypeInto(1001, "Star"), Step::ClickOn(ui::IDCANCEL)}, false, 0, "", false},
      // A long text is cut at 100 bytes.
      {true, {Step::TypeInto(1001, longText), Step::ClickOn(1101), Step::ClickOn(ui::IDOK)}, true,
       0, std::string(100, 'a'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    frame->Tree().SetCurrent({c.leaf, true, false});
    const size_t before = frame->Tree().Searches().size();
    dialogs->Expect(c.steps);
    win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kSearch, 0);
    PumpUntil([&] { return frame->Tree().Searches().size() > before; }, c.searched ? 2000 : 50);
    ASSERT_EQ(frame->Tree().Searches().size(), before + (c.searched ? 1 : 0));
    if (!c.searched)
      continue;
    const ManagerView::Search& s = frame->Tree().Searches().back();
    EXPECT_EQ(s.kind, c.kind);
    EXPECT_EQ(s.text, c.text);
    EXPECT_EQ(s.narrow, c.narrow);
  }
  // The dialog opened with the last settings: the singer radio set.
  const auto runs = dialogs->Runs();
  ASSERT_GE(runs.size(), 2u);
  const ui::DialogState& opened = runs[1].states.front();
  for (const ui::ControlState& control : opened.controls) {
    if (control.id == 1100)
      EXPECT_EQ(control.check, ui::BST_CHECKED);
    if (control.id == 1101 || control.id == 1102)
      EXPECT_EQ(control.check, ui::BST_UNCHECKED);
    if (control.id == 1005)
      EXPECT_FALSE(control.enabled);
    if (control.id == 1001)
      EXPECT_EQ(control.text, "Moon");
  }
}

TEST_F(ManagerTest, KindCodesAndViewTypesOfComboSelections) {
  struct Case {
    int selection;
    int32_t kind;
  };
  for (const Case& c : {Case{0, 90100}, Case{1, 90101}, Case{3, 90103}, Case{6, 90106},
                        Case{7, 90100}, Case{-1, 90100}})
    EXPECT_EQ(KindOfSelection(c.selection), c.kind) << c.selection;
  EXPECT_EQ(KindOfTypeByte('t'), kKindText);
  EXPECT_EQ(KindOfTypeByte('w'), kKindWave);
  EXPECT_EQ(KindOfTypeByte('x'), kKindAll);
  ASSERT_TRUE(Open(0));
  frame->KindComboBox().SetCurSel(6);
  EXPECT_EQ(frame->KindCode(), 90106);
  frame->TypeCombo().AddString("extra");
  frame->TypeCombo().AddString("extra");
  frame->TypeCombo().AddString("extra");
  frame->TypeCombo().AddString("extra");
  frame->TypeCombo().AddString("extra");
  frame->TypeCombo().SetCurSel(7);
  EXPECT_EQ(frame->ViewType(), 1);
}

TEST_F(ManagerTest, ViewTypeChangesForEveryPair) {
  struct Case {
    int from, to;
    bool folderRows;
    int answer; // the question's answer, 0 when none is asked
    bool saves, asks, rebuilds;
  };
  const Case cases[] = {
      {0, 1, false, 0, true, false, false},  {0, 2, false, 0, true, false, false},
      {1, 0, false, 0, false, false, false}, {1, 2, false, 0, false, false, false},
      {2, 0, false, 0, false, false, false}, {2, 1, false, 0, false, false, false},
      {2, 0, true, ui::IDYES, false, true, true}, {2, 0, true, ui::IDNO, false, true, false},
      {2, 1, true, ui::IDYES, false, true, true}, {2, 1, true, ui::IDNO, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << " rows " << c.folderRows
                                    << " answer " << c.answer);
    ASSERT_TRUE(Open(static_cast<int16_t>(c.from)));
    ASSERT_EQ(frame->CurrentType(), c.from);
    if (c.folderRows) {
      frame->Reserves().AddRow({1, "Pop", "/music/pop", kKindAll});
      frame->Reserves().AddRow({2, "Rock", "/music/rock", kKindAll});
    }
    if (c.answer)
      boxes->Answer(c.answer);
    album.calls.clear();
    host.log.clear();
    const size_t shown = boxes->Shown().size();
    const int resets = frame->Songs().Resets();
    Choose(c.to);
    const int final = c.rebuilds ? 0 : c.to;
    EXPECT_EQ(frame->CurrentType(), final);
    EXPECT_EQ(frame->Tree().Mode(), final);
    EXPECT_EQ(frame->Songs().Mode(), final);
    EXPECT_GT(frame->Songs().Resets(), resets);
    const bool saved = std::find(album.calls.begin(), album.calls.end(), "save") != album.calls.end();
    EXPECT_EQ(saved, c.saves);
    EXPECT_EQ(boxes->Shown().size() - shown, c.asks ? 1u : 0u);
    const bool rebuilt =
        std::find(album.calls.begin(), album.calls.end(), "rebuild 10") != album.calls.end();
    EXPECT_EQ(rebuilt, c.rebuilds);
    EXPECT_EQ(Notices().size(), c.rebuilds ? 1u : 0u);
    if (c.rebuilds)
      EXPECT_EQ(host.Only({win::WM_COPYDATA})[0].wParam, frame->GetHwnd());
    // Leaving type 2 the pane lists the queue, never the folders.
    if (c.from == 2)
      EXPECT_TRUE(frame->Reserves().Rows().empty());
    win::DestroyWindow(frame->GetHwnd());
    EXPECT_EQ(CMainFrame::Current(), nullptr);
  }
}

TEST_F(ManagerTest, CommandStatesFollowTheViewType) {
  struct Case {
    uint16_t id;
    bool enabled[3];
  };
  const Case cases[] = {{cmd::kTake, {true, true, false}},
                        {cmd::kRebuildSecond, {false, false, true}},
                        {cmd::kSearch, {true, false, false}},
                        {cmd::kPlainList, {true, false, false}},
                        {cmd::kUpLevel, {true, true, true}},
                        {cmd::kClose, {true, true, true}}};
  for (int type = 0; type < 3; ++type) {
    ASSERT_TRUE(Open(static_cast<int16_t>(type)));
    // Taking needs a selection in the song list.
    frame->UpdateCommandStates();
    EXPECT_FALSE(frame->RouteCommandState(cmd::kTake).enabled);
    frame->Songs().SetSelectedCount(2);
    // The bar's states come from the idle pass once the queue is empty.
    PumpUntil([&] { return frame->GetToolBar()->StateOf(cmd::kTake)->enabled == (type != 2); },
              1000);
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "type " << type << " command " << c.id);
      EXPECT_EQ(frame->RouteCommandState(c.id).enabled, c.enabled[type]);
      if (c.id != cmd::kSearch && c.id != cmd::kPlainList)
        EXPECT_EQ(frame->GetToolBar()->StateOf(c.id)->enabled, c.enabled[type]);
    }
    EXPECT_EQ(frame->KindComboBox().Enabled(), type != 0);
    // Cut, copy and paste: the song list had the focus last, and its own
    // state allows each.
    struct Edit {
      uint32_t focus;
      ManagerView::EditStates states;
      bool cut, copy, paste;
    };
    for (const Edit& e : {Edit{kSongListControlId, {true, false, true}, true, false, true},
                          Edit{kSongListControlId, {false, true, false}, false, true, false},
                          Edit{kReserveListControlId, {true, true, true}, false, false, false}}) {
      frame->SetLastFocus(e.focus);
      frame->Songs().SetEditStates(e.states);
      EXPECT_EQ(frame->RouteCommandState(cmd::kCut).enabled, e.cut);
      EXPECT_EQ(frame->RouteCommandState(cmd::kCopy).enabled, e.copy);
      EXPECT_EQ(frame->RouteCommandState(cmd::kPaste).enabled, e.paste);
      const size_t before = frame->Songs().Commands().size();
      win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kCopy, 0);
      PumpUntil([] { return false; }, 20);
      EXPECT_EQ(frame->Songs().Commands().size() - before, e.copy ? 1u : 0u);
    }
    const ui::MenuItem* close = frame->Menu().Current().Find(cmd::kCloseMenu);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->text, type == 2 ? "&Close without building" : "&Close");
    win::DestroyWindow(frame->GetHwnd());
  }
}

TEST_F(ManagerTest, KeysPostTheirCommands) {
  ASSERT_TRUE(Open(0));
  struct Case {
    uint32_t key;
    uint16_t command;
  };
  const Case cases[] = {{ui::VK_F1 + 1, cmd::kType0}, {ui::VK_F1 + 2, cmd::kType1},
                        {ui::VK_F1 + 3, cmd::kType2}, {ui::VK_F1 + 4, cmd::kIcons},
                        {ui::VK_F1 + 5, cmd::kList},  {ui::VK_F1 + 6, cmd::kReport},
                        {ui::VK_F1 + 7, cmd::kIndex}, {ui::VK_F1 + 8, cmd::kServer}};
  for (const Case& c : cases)
    EXPECT_EQ(CommandOfKey(c.key), c.command) << c.key;
  EXPECT_EQ(CommandOfKey(ui::VK_F1), 0);
  EXPECT_EQ(CommandOfKey(ui::VK_F10), 0);
  // F5 to F7 set the song list's style, F3 the type.
  win::SendMessage(frame->GetHwnd(), win::WM_KEYDOWN, ui::VK_F1 + 4, 0);
  PumpUntil([&] { return frame->Songs().Style() == kStyleIcons; }, 1000);
  EXPECT_EQ(frame->Songs().Style(), kStyleIcons);
  EXPECT_TRUE(frame->GetToolBar()->StateOf(cmd::kIcons)->checked);
  EXPECT_FALSE(frame->GetToolBar()->StateOf(cmd::kReport)->checked);
  win::SendMessage(frame->Songs().GetHwnd(), win::WM_KEYDOWN, ui::VK_F1 + 2, kSongListControlId);
  PumpUntil([&] { return frame->CurrentType() == 1; }, 1000);
  EXPECT_EQ(frame->CurrentType(), 1);
}

TEST_F(ManagerTest, ControlKeysInTheListsActOnALeaf) {
  ASSERT_TRUE(Open(0));
  struct Case {
    int key;
    int view; // 1 song list, 2 reservation list
    bool leaf, inMyAlbum;
    uint16_t songs, reserves; // the command each list gets, 0 for none
  };
  const Case cases[] = {
      {Qt::Key_A, 1, true, false, cmd::kSelectAll, 0},
      {Qt::Key_A, 2, true, false, 0, cmd::kSelectAll},
      {Qt::Key_A, 1, false, false, 0, 0},
      {Qt::Key_C, 2, true, false, cmd::kCopy, 0},
      {Qt::Key_X, 1, true, false, cmd::kCut, 0},
      {Qt::Key_X, 1, false, false, 0, 0},
      {Qt::Key_V, 1, true, false, 0, 0},
      {Qt::Key_V, 1, true, true, cmd::kPaste, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << char(c.key) << " in " << c.view << " leaf " << c.leaf);
    // The selection being the current item stops nothing.
    frame->Tree().SetCurrent({c.leaf, true, c.inMyAlbum});
    const size_t songs = frame->Songs().Commands().size();
    const size_t reserves = frame->Reserves().Commands().size();
    ManagerView& target = c.view == 1 ? frame->Songs() : frame->Reserves();
    QKeyEvent press(QEvent::KeyPress, c.key, Qt::ControlModifier, QString());
    QCoreApplication::sendEvent(ui::GetWidget(target.GetHwnd()), &press);
    QKeyEvent release(QEvent::KeyRelease, c.key, Qt::ControlModifier, QString());
    QCoreApplication::sendEvent(ui::GetWidget(target.GetHwnd()), &release);
    PumpUntil([] { return false; }, 30);
    const auto got = [](const ManagerView& v, size_t before) -> uint16_t {
      return v.Commands().size() > before ? v.Commands().back() : 0;
    };
    EXPECT_EQ(got(frame->Songs(), songs), c.songs);
    EXPECT_EQ(got(frame->Reserves(), reserves), c.reserves);
  }
}

TEST_F(ManagerTest, SongInformationGoesToTheThirdStatusPane) {
  ASSERT_TRUE(Open(0));
  frame->ShowSongInfo(42, "Ann", "", "Bo", "/songs/42.sng");
  EXPECT_EQ(frame->Status().Text(2),
            "Singer: Ann  Lyricist: (unknown)  Composer: Bo  42  /songs/42.sng");
}

TEST_F(ManagerTest, ReplaceBuildsTheQueueFromTheRowsAndTellsTheHostOnce) {
  album.titles["/tmp/a.sng"] = "Probed A";
  album.titles["/tmp/e.sw3"] = "Probed E";
  ASSERT_TRUE(Open(1));
  frame->KindComboBox().SetCurSel(2);
  const std::vector<ReservationRow> rows = {
      {7, "Seven", "", kKindText},          {-1, "/tmp/a.sng", "", kKindText},
      {-2, "/tmp/b.sng", "", kKindBinary},  {-3, "/tmp/c.mid", "", 90104},
      {-4, "/tmp/d.mp3", "", 90105},        {-5, "/tmp/e.sw3", "", kKindWave}};
  for (const ReservationRow& r : rows)
    frame->Reserves().AddRow(r);
  host.log.clear();
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kReplace, 0);
  ASSERT_EQ(album.queue.size(), rows.size());
  const char* texts[] = {"Seven", "Probed A", "/tmp/b.sng", "/tmp/c.mid", "/tmp/d.mp3", "Probed E"};
  const char* paths[] = {"/songs/7.sng", "/tmp/a.sng", "/tmp/b.sng", "/tmp/c.mid", "/tmp/d.mp3",
                         "/tmp/e.sw3"};
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(album.queue[i].number, rows[i].number);
    EXPECT_EQ(album.queue[i].text, texts[i]);
    EXPECT_EQ(album.queue[i].path, paths[i]);
  }
  const auto notices = host.Only({win::WM_COPYDATA});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].wParam, frame->GetHwnd());
}

TEST_F(ManagerTest, RebuildNeedsFolderRowsAndEndsInTypeZero) {
  ASSERT_TRUE(Open(2));
  host.log.clear();
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kRebuildSecond, 0);
  EXPECT_EQ(std::count(album.calls.begin(), album.calls.end(), "rebuild 01"), 0);
  EXPECT_EQ(frame->Status().Text(1), "The song albums are built.");
  EXPECT_TRUE(host.Only({win::WM_COPYDATA}).empty());

  frame->Reserves().AddRow({3, "Pop", "/music/pop", kKindAll});
  frame->Reserves().AddRow({4, "Rock", "/music/rock", kKindAll});
  album.calls.clear();
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kRebuildSecond, 0);
  EXPECT_EQ(album.calls, (std::vector<std::string>{"record", "rebuild 01", "reload", "renumber"}));
  ASSERT_EQ(album.rebuiltFolders.size(), 2u);
  EXPECT_EQ(album.rebuiltFolders[1].path, "/music/rock");
  EXPECT_EQ(album.rebuiltFolders[1].number, 4);
  EXPECT_EQ(host.Only({win::WM_COPYDATA}).size(), 1u);
  PumpUntil([&] { return frame->CurrentType() == 0; }, 1000);
  EXPECT_EQ(frame->CurrentType(), 0);

  // A failed rebuild keeps the rows and the type.
  Choose(2);
  frame->Reserves().AddRow({3, "Pop", "/music/pop", kKindAll});
  album.rebuildSucceeds = false;
  host.log.clear();
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kRebuildFirst, 0);
  EXPECT_EQ(frame->Reserves().Rows().size(), 1u);
  EXPECT_EQ(frame->CurrentType(), 2);
  EXPECT_TRUE(host.Only({win::WM_COPYDATA}).empty());
}

TEST_F(ManagerTest, PlacementAndPanesAreReadAndWrittenBack) {
  const gdi::Rect screen = ui::ScreenRect();
  {
    ASSERT_TRUE(Open(0));
    const gdi::Rect r = ui::GetWindowRect(frame->GetHwnd()).value();
    const int32_t cx = screen.Width() / 3 * 2, cy = screen.Height() / 2;
    EXPECT_EQ(r.Width(), cx);
    EXPECT_EQ(r.Height(), cy);
    EXPECT_EQ(r.left, cx / 4);
    EXPECT_EQ(r.top, cy / 2);
    EXPECT_EQ(frame->Panes().ColumnWidth(0), 140);
    EXPECT_EQ(frame->Songs().Style(), kStyleList); // LastViewType 3 by default
    ui::MoveWindow(frame->GetHwnd(), 20, 30, 700, 500);
    ui::ShowWindow(frame->GetHwnd(), ui::SW_MAXIMIZE);
    win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kIcons, 0);
    frame->SetCurrentFolder("/music/pop", 3);
    win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kClose, 0);
    PumpUntil([] { return CMainFrame::Current() == nullptr; }, 2000);
    ASSERT_EQ(CMainFrame::Current(), nullptr);
    frame = nullptr;
  }
  EXPECT_EQ(sys::IniGetInt(Ini(), "AlbManager", "cx", 0), 700);
  EXPECT_EQ(sys::IniGetInt(Ini(), "AlbManager", "cy", 0), 500);
  EXPECT_EQ(sys::IniGetInt(Ini(), "AlbManager", "x", 0), 20);
  EXPECT_EQ(sys::IniGetInt(Ini(), "AlbManager", "y", 0), 30);
  EXPECT_EQ(sys::IniGetInt(Ini(), "AlbViewOne", "cx", 0), 140);
  EXPECT_EQ(sys::IniGetInt(Ini(), "AlbViewTwo", "LastViewType", -1), 0);
  EXPECT_EQ(sys::IniGetString(Ini(), "AlbViewOne", "CurrDir", ""), "/music/pop");
  EXPECT_EQ(sys::IniGetInt(Ini(), "AlbViewOne", "CurrFolder", 0), 3);

  struct Case {
    const char* last;
    int style;
  };
  for (const Case& c : {Case{"0", kStyleIcons}, Case{"3", kStyleList}, Case{"7", kStyleReport}}) {
    sys::IniWriteString(Ini(), "AlbViewTwo", "LastViewType", c.last);
    sys::IniWriteString(Ini(), "AlbViewOne", "cx", "200");
    ASSERT_TRUE(Open(0));
    EXPECT_EQ(frame->Songs().Style(), c.style) << c.last;
    EXPECT_EQ(frame->Panes().ColumnWidth(0), 200);
    EXPECT_EQ(ui::GetWindowRect(frame->GetHwnd())->Width(), 700);
    // No folder set: the last one written stays.
    frame->SetCurrentFolder("", 0);
    win::DestroyWindow(frame->GetHwnd());
    frame = nullptr;
    EXPECT_EQ(sys::IniGetString(Ini(), "AlbViewOne", "CurrDir", ""), "/music/pop");
    EXPECT_EQ(sys::IniGetInt(Ini(), "AlbViewOne", "CurrFolder", 0), 3);
  }
  // The loop still runs after the manager closed.
  bool delivered = false;
  host.handler = [&](Hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m == win::WM_USER)
      delivered = true;
    return std::nullopt;
  };
  win::PostMessage(host.GetHwnd(), win::WM_USER);
  EXPECT_TRUE(PumpUntil([&] { return delivered; }, 2000));
}

TEST_F(ManagerTest, PicturesOfEachViewTypeWithTipsPerButton) {
  ASSERT_TRUE(Open(0));
  const std::filesystem::path out = std::filesystem::path(VEXO_TESTS_DIR) / "artefacts";
  std::filesystem::create_directories(out);
  for (int type = 0; type < 3; ++type) {
    Choose(type);
    frame->SetCaptionText(0, "Albums");
    frame->UpdateCommandStates();
    for (ui::Hwnd h : {frame->GetHwnd(), frame->GetToolBar()->GetHwnd(),
                       frame->TypeCombo().GetHwnd(), frame->Status().GetHwnd()})
      ASSERT_TRUE(Settle(h));
    QImage image = ui::GetWidget(frame->GetHwnd())->grab().toImage();
    EXPECT_TRUE(image.save(QString::fromStdString(
        (out / ("album-manager-" + std::to_string(type) + ".png")).string())));
    // No mask colour shows anywhere: the combo's and the buttons' teal is gone.
    int teal = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        teal += (image.pixel(x, y) & 0xFFFFFF) == 0x008080;
    EXPECT_EQ(teal, 0) << "type " << type;
    EXPECT_EQ(frame->TypeCombo().Text(frame->TypeCombo().CurSel()),
              std::vector<std::string>({"Album", "Song kinds", "Folders"})[type]);
    // Every button's tip, asked each time: the reserve button's follows
    // the type; the combos' stay.
    const char* take[] = {"Reserve the selected songs", "Reserve the selected songs of this kind",
                          "Take the listed folders"};
    struct Case {
      uintptr_t id;
      const char* text;
    };
    for (const Case& c : {Case{cmd::kTake, take[type]}, Case{cmd::kUpLevel, "Up one level"},
                          Case{cmd::kClose, "Close the album manager"},
                          Case{cmd::kRebuildSecond, "Build the albums of the listed folders"},
                          Case{cmd::kIcons, "Large icons"}, Case{cmd::kList, "List"},
                          Case{cmd::kReport, "Details"}, Case{130, "View type"},
                          Case{6013, "Song kind"}}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " tip " << c.id);
      ui::ToolTipText tip;
      tip.header = {frame->GetToolTips()->GetHwnd(), c.id, ui::TTN_NEEDTEXT};
      win::SendMessage(frame->GetHwnd(), ui::WM_NOTIFY, 0, reinterpret_cast<LParam>(&tip));
      EXPECT_EQ(tip.text, c.text);
    }
    EXPECT_TRUE(frame->GetToolTips()->Active());
  }
}

// A box that looks at the frame's tips while it is up.
class TipWatchingBox : public ui::MessageBoxBackend {
public:
  std::function<void()> onShow;
  int Show(const ui::MessageBoxRequest&) override {
    if (onShow)
      onShow();
    return ui::IDNO;
  }
};

TEST_F(ManagerTest, TipsAreOffWhileTheViewsSwitch) {
  auto watching = std::make_shared<TipWatchingBox>();
  ui::ScopedMessageBoxBackend scoped(watching);
  ASSERT_TRUE(Open(2));
  frame->Reserves().AddRow({1, "Pop", "/music/pop", kKindAll});
  bool shown = false, activeMeanwhile = true;
  std::string tipMeanwhile = "unasked";
  watching->onShow = [&] {
    shown = true;
    activeMeanwhile = frame->GetToolTips()->Active();
    ui::ToolTipText tip;
    tip.header = {frame->GetToolTips()->GetHwnd(), cmd::kUpLevel, ui::TTN_NEEDTEXT};
    win::SendMessage(frame->GetHwnd(), ui::WM_NOTIFY, 0, reinterpret_cast<LParam>(&tip));
    tipMeanwhile = tip.text;
  };
  Choose(0);
  ASSERT_TRUE(shown);
  EXPECT_FALSE(activeMeanwhile);
  EXPECT_EQ(tipMeanwhile, "");
  EXPECT_TRUE(frame->GetToolTips()->Active());
  EXPECT_EQ(frame->CurrentType(), 0);
}

} // namespace
