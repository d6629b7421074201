// What reaches the frame: the host's records (embedding, placement, closing),
// dropped and chosen files, the pop-up menu and its commands, keys, clicks
// and the frame's timers.
#include "display/tests/support/frame_fixture.h"

#include "display/records.h"
#include "htmltitle/marquell.h"
#include "platform/sys/bytes.h"
#include "platform/sys/paths.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/menu.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/drop.h"
#include "platform/ui/window/input.h"
#include "platform/win/timer.h"

#include <QWidget>

using namespace display;
using namespace displaytest;

namespace {

// A top-level screen window of this process standing for the host's window.
class HostWindow : public ui::ScreenWindow {
public:
  std::vector<Received> got;

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    if (message == win::WM_USER)
      got.push_back({message, wParam, lParam, {}, 0});
    return Default(message, wParam, lParam);
  }
};

class FrameMessagesTest : public FrameTest {
protected:
  win::Hwnd MakeHostWindow(gdi::Rect rect) {
    if (!win::IsClassRegistered("TestHostWindow")) {
      ui::ScreenClass c;
      c.name = "TestHostWindow";
      c.factory = [] { return std::make_unique<HostWindow>(); };
      c.background = gdi::Rgb(0, 0, 80);
      ui::RegisterScreenClass(c);
    }
    hostObject = std::make_unique<HostWindow>();
    win::CreateParams p;
    p.className = "TestHostWindow";
    p.style = win::WS_POPUP | win::WS_VISIBLE;
    p.x = rect.left, p.y = rect.top, p.width = rect.Width(), p.height = rect.Height();
    p.object = hostObject.get();
    return win::CreateWindow(p);
  }
  void TearDown() override {
    FrameTest::TearDown();
    if (hostObject && hostObject->GetHwnd())
      win::DestroyWindow(hostObject->GetHwnd());
    hostObject.reset();
  }
  LResult Copy(uintptr_t kind, const std::vector<uint8_t>& bytes, win::Hwnd from = 0) {
    return win::SendCopyData(hwnd, from, kind, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  void Drop(const std::string& path) {
    ui::DropFiles drop;
    drop.paths = {path};
    win::SendMessage(hwnd, win::WM_DROPFILES, reinterpret_cast<WParam>(&drop), 0);
  }
  std::unique_ptr<HostWindow> hostObject;
};

std::vector<uint8_t> ModeRecord(int32_t mode, win::Hwnd host, gdi::Rect r) {
  DisplayModeRecord d;
  d.mode = mode;
  d.hostWindow = host;
  d.x = r.left, d.y = r.top, d.width = r.Width(), d.height = r.Height();
  return WriteDisplayModeRecord(d);
}

TEST(DisplayModeRecord, ReadsTheLittleEndianLayout) {
  std::vector<uint8_t> bytes(72, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(0, 1), put(4, 0x01020304), put(8, static_cast<uint32_t>(-5)), put(12, 7), put(16, 300),
      put(20, 200), put(24, 11), put(68, 99);
  auto d = ReadDisplayModeRecord(bytes);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->mode, 1);
  EXPECT_EQ(d->hostWindow, 0x01020304u);
  EXPECT_EQ(d->x, -5);
  EXPECT_EQ(d->y, 7);
  EXPECT_EQ(d->width, 300);
  EXPECT_EQ(d->height, 200);
  EXPECT_EQ(d->lyric[0], 11);
  EXPECT_EQ(d->title[3], 99);
  EXPECT_EQ(WriteDisplayModeRecord(*d), bytes);
  bytes.pop_back();
  EXPECT_FALSE(ReadDisplayModeRecord(bytes));
  bytes.resize(73);
  EXPECT_FALSE(ReadDisplayModeRecord(bytes));
}

TEST_F(FrameMessagesTest, ARecordEmbedsTheFrameInTheHostWindowAndAResetGivesItBack) {
  CKivo32Frame& f = Start();
  const win::Hwnd host = MakeHostWindow({100, 80, 700, 560});
  ASSERT_NE(host, 0u);

  // Records of 71 and 73 bytes are not records.
  for (size_t size : {71u, 73u}) {
    auto bytes = ModeRecord(0, host, {10, 20, 310, 220});
    bytes.resize(size);
    EXPECT_EQ(Copy(kDisplayModeCopy, bytes), 0);
    EXPECT_FALSE(f.Embedded()) << size;
  }

  Copy(kDisplayModeCopy, ModeRecord(0, host, {10, 20, 310, 220}));
  ASSERT_TRUE(f.Embedded());
  EXPECT_EQ(win::GetParent(hwnd), host);
  EXPECT_EQ(f.HostWindow(), host);
  const uint32_t style = win::GetWindowStyle(hwnd);
  EXPECT_NE(style & win::WS_CHILD, 0u);
  EXPECT_EQ(style & (win::WS_POPUP | ui::WS_THICKFRAME), 0u);
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{110, 100, 410, 300}));
  EXPECT_TRUE(ui::IsWindowVisible(hwnd));
  EXPECT_EQ(ui::GetWidget(hwnd)->parentWidget(), ui::GetWidget(host));

  // Embedded, the frame leaves its placement to the host.
  sys::ByteWriter w;
  for (int32_t v : {5, 5, 400, 300})
    w.I32LE(v);
  Copy(kFramePlacementCopy, w.Data());
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{110, 100, 410, 300}));
  win::SendMessage(hwnd, win::WM_RBUTTONDBLCLK, 0, 0);
  EXPECT_FALSE(ui::IsZoomed(hwnd));
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_SYSCOMMAND, ui::SC_MAXIMIZE, 0), 0);
  EXPECT_FALSE(ui::IsZoomed(hwnd));

  // A click tells the host window.
  win::SendMessage(hwnd, win::WM_LBUTTONDOWN, ui::MK_LBUTTON, ui::MakeLParam(5, 5));
  ASSERT_TRUE(PumpUntil([&] { return !hostObject->got.empty(); }));
  EXPECT_EQ(hostObject->got[0].wParam, kDisplayClicked);

  // A second record while embedded changes nothing.
  Copy(kDisplayModeCopy, ModeRecord(0, host, {0, 0, 100, 100}));
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{110, 100, 410, 300}));

  win::SendMessage(hwnd, win::WM_USER, kDisplayModeReset, 0);
  EXPECT_FALSE(f.Embedded());
  EXPECT_EQ(win::GetParent(hwnd), 0u);
  EXPECT_NE(win::GetWindowStyle(hwnd) & win::WS_POPUP, 0u);
  EXPECT_EQ(win::GetWindowStyle(hwnd) & win::WS_CHILD, 0u);
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{1, 1, 640, 480}));
  EXPECT_TRUE(ui::IsWindowVisible(hwnd));
  EXPECT_EQ(f.DisplayMode(), 0);
}

TEST_F(FrameMessagesTest, APlacementRecordMovesTheFrame) {
  Start();
  sys::ByteWriter w;
  for (int32_t v : {30, 40, 530, 440, 12345}) // bytes past 16 are ignored
    w.I32LE(v);
  Copy(kFramePlacementCopy, w.Data());
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{30, 40, 530, 440}));
  std::vector<uint8_t> shortRecord(w.Data().begin(), w.Data().begin() + 15);
  Copy(kFramePlacementCopy, shortRecord);
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{30, 40, 530, 440}));
  // Edges that would overflow a width are held to a size.
  sys::ByteWriter huge;
  for (int32_t v : {INT32_MIN, 0, INT32_MAX, 100})
    huge.I32LE(v);
  Copy(kFramePlacementCopy, huge.Data());
  EXPECT_TRUE(win::IsWindow(hwnd));
  EXPECT_LE(ui::GetClientRect(hwnd)->Width(), gdi::kMaxSurfaceSide);
}

TEST_F(FrameMessagesTest, TheHostClosesTheDisplayWhichUnlinksItself) {
  StartHost();
  CKivo32Frame& f = Start();
  f.LinkAtStart();
  ASSERT_EQ(host->tambloWindow.User(kLinkDisplay).size(), 1u);
  EXPECT_EQ(host->tambloWindow.User(kLinkDisplay)[0].lParam, static_cast<LParam>(hwnd));
  ASSERT_TRUE(PumpUntil([&] { return host->remoteWindow.User(kDisplayStarted).size() == 1; }));
  EXPECT_EQ(host->remoteWindow.User(kDisplayStarted)[0].lParam, static_cast<LParam>(hwnd));

  win::SendMessage(hwnd, win::WM_USER, kDisplayCloseRequest, 0);
  EXPECT_FALSE(win::IsWindow(hwnd));
  auto links = host->tambloWindow.User(kLinkDisplay);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[1].lParam, 0);
}

TEST_F(FrameMessagesTest, TheLinkTimerLooksForTheHostAgainEveryHalfSecond) {
  win::ManualTimerClock clock;
  win::InstallTimerClock(&clock);
  Start();
  ASSERT_EQ(win::SetTimer(hwnd, kLinkTimer, kLinkPeriodMs), kLinkTimer);
  clock.Advance(kLinkPeriodMs);
  EXPECT_EQ(frame->TambloWindow(), 0u); // no host yet: nothing sent
  StartHost();
  clock.Advance(kLinkPeriodMs - 1);
  win::ProcessPendingMessages();
  EXPECT_TRUE(host->tambloWindow.User(kLinkDisplay).empty());
  clock.Advance(1);
  ASSERT_TRUE(PumpUntil([&] { return !host->tambloWindow.User(kLinkDisplay).empty(); }));
  EXPECT_EQ(host->tambloWindow.User(kLinkDisplay)[0].lParam, static_cast<LParam>(hwnd));
  EXPECT_EQ(frame->RemoteWindow(), host->remote);
  frame.reset();
  win::InstallTimerClock(nullptr);
}

TEST_F(FrameMessagesTest, ADroppedSongGoesToThePlayerCoreAndChangesNothingElse) {
  StartHost();
  CKivo32Frame& f = Start();
  f.LinkAtStart();
  const std::string song = dir.Write("Song.MID", "MThd");
  Drop(song);
  auto copies = host->tambloWindow.Copies(kSongFileCopy);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].bytes, *sys::ToStoredPath(song) + std::string(1, '\0'));
  EXPECT_EQ(copies[0].bytes.substr(0, 3), "C:\\");
  EXPECT_EQ(copies[0].from, hwnd);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  EXPECT_FALSE(f.Info()->ShowsTitlePage());

  for (const std::string& other :
       {dir.Write("notes.txt", "x"), dir / "noext", "/" + std::string(600, 'a') + ".kar"})
    Drop(other);
  EXPECT_EQ(host->tambloWindow.Copies(kSongFileCopy).size(), 1u);
}

TEST_F(FrameMessagesTest, ADroppedPageShowsAndTheNextOneNeverFreesATextInUse) {
  CKivo32Frame& f = Start();
  const std::string first = "<html><body><font size=7>First page</font></body></html>";
  const std::string second = "<html><body><b>Second</b>\tpage</body></html>";
  Drop(dir.Write("first.htm", first));
  EXPECT_EQ(f.DroppedPage(), first);
  EXPECT_NE(htmltitle::CurrentResult(), nullptr);
  EXPECT_TRUE(f.Info()->ShowsTitlePage());
  EXPECT_TRUE(ui::IsWindowVisible(f.Info()->Hwnd()));
  ui::UpdateWindow(f.Info()->Hwnd()); // draws the first page

  // The second page replaces the first while the first one's parse result
  // is still there to be drawn.
  Drop(dir.Write("Second.HTML", second));
  EXPECT_EQ(f.DroppedPage(), second);
  EXPECT_NE(f.Page().find("Second"), std::string::npos);
  ui::InvalidateRect(f.Info()->Hwnd(), nullptr, true);
  ui::UpdateWindow(f.Info()->Hwnd());

  // A new page text never leaves the parse result pointing into the text it
  // replaces: drawing before the new text is parsed draws nothing.
  f.StorePage("<i>third</i>");
  EXPECT_EQ(htmltitle::CurrentResult(), nullptr);
  ui::InvalidateRect(f.Info()->Hwnd(), nullptr, true);
  ui::UpdateWindow(f.Info()->Hwnd());
  ASSERT_TRUE(f.ParsePage());

  // The player core's "@RESET" ends the page.
  const std::string reset = "@RESET";
  win::SendCopyData(hwnd, 0, kHtmlPageCopy, reset.c_str(), 7);
  EXPECT_FALSE(f.Info()->ShowsTitlePage());
  EXPECT_EQ(htmltitle::CurrentResult(), nullptr);
  EXPECT_FALSE(ui::IsWindowVisible(f.Info()->Hwnd()));
}

TEST_F(FrameMessagesTest, TheFramesPageTimerEndsThePage) {
  CKivo32Frame& f = Start();
  const std::string page = "<b>Title</b>";
  win::SendCopyData(hwnd, 0, kHtmlPageCopy, page.c_str(), static_cast<uint32_t>(page.size() + 1));
  ASSERT_TRUE(f.Info()->ShowsTitlePage());
  win::SendMessage(hwnd, win::WM_TIMER, kPageTimer, 0);
  EXPECT_FALSE(f.Info()->ShowsTitlePage());
}

TEST_F(FrameMessagesTest, TheMenuItemsFollowTheFramesState) {
  struct Row {
    const char* what;
    bool host, fixed, maximised;
    std::vector<uint32_t> greyed;
    const char* maximiseText;
  } rows[] = {
      {"alone",
       false,
       false,
       false,
       {cmd::kOverlayMode, cmd::kMpegMode, cmd::kHostMenu},
       "Ma&ximize"},
      {"with host", true, false, false, {cmd::kOverlayMode, cmd::kMpegMode}, "Ma&ximize"},
      {"fixed frame",
       true,
       true,
       false,
       {cmd::kOverlayMode, cmd::kMpegMode, cmd::kMinimise, cmd::kMaximise, cmd::kLayoutEdit},
       "Ma&ximize"},
      {"maximised", true, false, true, {cmd::kOverlayMode, cmd::kMpegMode}, "&Restore"},
  };
  for (const auto& r : rows) {
    if (r.host)
      StartHost();
    CKivo32Frame& f = Start();
    f.LinkAtStart();
    f.SetFixedFrame(r.fixed);
    if (r.maximised)
      ui::ShowWindow(hwnd, ui::SW_MAXIMIZE);
    ui::Menu m = f.SysMenu()->PreparedMenu();
    for (uint32_t id : {cmd::kMinimise, cmd::kMaximise, cmd::kHostMenu, cmd::kStillMode,
                        cmd::kOverlayMode, cmd::kMpegMode, cmd::kInfoMode, cmd::kLayoutEdit,
                        cmd::kLyricText, cmd::kController, cmd::kClose}) {
      const ui::MenuItem* item = m.Find(id);
      ASSERT_NE(item, nullptr) << id;
      const bool greyed = std::find(r.greyed.begin(), r.greyed.end(), id) != r.greyed.end();
      EXPECT_EQ(item->enabled, !greyed) << r.what << " " << id;
    }
    EXPECT_TRUE(m.Find(cmd::kStillMode)->checked);
    EXPECT_FALSE(m.Find(cmd::kInfoMode)->checked);
    EXPECT_EQ(m.Find(cmd::kMaximise)->text, r.maximiseText) << r.what;
    EXPECT_EQ(m.Find(cmd::kLayoutEdit)->text, "&Edit layout");
    frame.reset();
    host.reset();
  }
}

TEST_F(FrameMessagesTest, ARightClickOpensTheMenuWhoseCommandsTheFrameCarriesOut) {
  auto menus = std::make_shared<ui::ScriptedPopupMenu>();
  ui::ScopedPopupMenuBackend scoped(menus);
  StartHost();
  CKivo32Frame& f = Start();
  f.LinkAtStart();

  menus->Choose(cmd::kHostMenu);
  win::SendMessage(hwnd, win::WM_RBUTTONDOWN, ui::MK_RBUTTON, ui::MakeLParam(50, 50));
  ASSERT_EQ(menus->Shown().size(), 1u);
  EXPECT_EQ(menus->Shown()[0].owner, f.SysMenu()->Hwnd());
  ASSERT_TRUE(PumpUntil([&] { return !host->remoteWindow.User(kSysMenuNotify).empty(); }));

  menus->Choose(cmd::kLayoutEdit);
  win::SendMessage(f.Word()->Hwnd(), win::WM_RBUTTONDOWN, ui::MK_RBUTTON, ui::MakeLParam(5, 5));
  ASSERT_TRUE(PumpUntil([&] { return f.LayoutEdit(); }));
  EXPECT_EQ(f.SysMenu()->PreparedMenu().Find(cmd::kLayoutEdit)->text, "&End layout editing");

  menus->Choose(cmd::kMinimise);
  win::SendMessage(hwnd, win::WM_RBUTTONDOWN, ui::MK_RBUTTON, 0);
  ASSERT_TRUE(PumpUntil([&] { return ui::IsIconic(hwnd); }));
  ui::ShowWindow(hwnd, ui::SW_RESTORE);

  menus->Choose(cmd::kLyricText);
  win::SendMessage(hwnd, win::WM_RBUTTONDOWN, ui::MK_RBUTTON, 0);
  ASSERT_TRUE(PumpUntil([&] { return !host->tambloWindow.User(kLyricTextRequest).empty(); }));
  EXPECT_EQ(host->tambloWindow.User(kLyricTextRequest)[0].lParam, static_cast<LParam>(hwnd));

  menus->Choose(cmd::kClose);
  win::SendMessage(hwnd, win::WM_RBUTTONDOWN, ui::MK_RBUTTON, 0);
  ASSERT_TRUE(PumpUntil([&] { return !win::IsWindow(hwnd); }));
  EXPECT_EQ(host->tambloWindow.User(kLinkDisplay).back().lParam, 0);
}

TEST_F(FrameMessagesTest, VideoModeNeedsTheHostAndAYes) {
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  ui::ScopedMessageBoxBackend scoped(boxes);
  CKivo32Frame& f = Start();
  // Without the host: an exclamation and nothing asked.
  f.SysMenu()->RunCommand(cmd::kInfoMode, 0);
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(boxes->Shown()[0].flags & ui::MB_ICONMASK, ui::MB_ICONEXCLAMATION);
  EXPECT_EQ(boxes->Shown()[0].text, "The host program is not running, so this cannot be done now.");

  StartHost();
  f.LinkAtStart();
  boxes->Answer(ui::IDNO);
  f.SysMenu()->RunCommand(cmd::kInfoMode, 0);
  EXPECT_TRUE(host->remoteWindow.User(kSysMenuRequest).empty());
  boxes->Answer(ui::IDYES);
  f.SysMenu()->RunCommand(cmd::kInfoMode, 0);
  EXPECT_EQ(host->remoteWindow.User(kSysMenuRequest).size(), 1u);
  EXPECT_EQ(boxes->Shown().back().flags & ui::MB_TYPEMASK, ui::MB_YESNO);
  EXPECT_EQ(boxes->Shown().back().caption, "Lyric display");

  // A dropped video is kept for the host's answer.
  boxes->Answer(ui::IDYES);
  const std::string video = dir.Write("clip.avi", "RIFF");
  Drop(video);
  EXPECT_EQ(f.WaitingVideo(), video);
  EXPECT_EQ(host->remoteWindow.User(kSysMenuRequest).size(), 2u);
}

TEST_F(FrameMessagesTest, TheOpenDialogOpensTheChosenFile) {
  auto dialogs = std::make_shared<ui::ScriptedFileDialog>();
  ui::ScopedFileDialogBackend scoped(dialogs);
  StartHost();
  CKivo32Frame& f = Start();
  f.LinkAtStart();
  dialogs->Answer(""); // Cancel
  dialogs->Answer(dir.Write("b.kar", "MThd"));
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kOpenFile, 0);
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kOpenFile, 0);
  ASSERT_EQ(dialogs->Shown().size(), 2u);
  EXPECT_EQ(dialogs->Shown()[0].filter, kOpenFilter);
  EXPECT_EQ(dialogs->Shown()[0].owner, hwnd);
  ASSERT_EQ(host->tambloWindow.Copies(kSongFileCopy).size(), 1u);
  EXPECT_NE(host->tambloWindow.Copies(kSongFileCopy)[0].bytes.find("b.kar"), std::string::npos);
  auto groups = ui::ParseFileFilter(kOpenFilter);
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0].name, "Image (*.bmp,*.gif,*.pcx,*,jpg)");
  EXPECT_EQ(groups[0].patterns, (std::vector<std::string>{"*.bmp", "*.gif", "*.pcx", "*.jpg"}));
  EXPECT_EQ(groups[3].patterns, (std::vector<std::string>{"*.*"}));
}

TEST_F(FrameMessagesTest, KeysAreRelayedToTheHost) {
  StartHost();
  CKivo32Frame& f = Start();
  f.LinkAtStart();
  win::SendMessage(hwnd, win::WM_KEYDOWN, 'A', 0x001E0001);
  win::SendMessage(f.Word()->Hwnd(), win::WM_KEYDOWN, ui::VK_F5, 0x003F0002);
  ASSERT_TRUE(PumpUntil([&] { return host->remoteWindow.got.size() >= 3; }));
  std::vector<std::pair<WParam, LParam>> keys;
  for (const auto& r : host->remoteWindow.got)
    if (r.message == win::WM_KEYDOWN)
      keys.emplace_back(r.wParam, r.lParam);
  EXPECT_EQ(keys,
            (std::vector<std::pair<WParam, LParam>>{{'A', 0x001E0001}, {ui::VK_F5, 0x003F0002}}));
}

TEST_F(FrameMessagesTest, TheTitleTimerClearsTheTitlesButNotTheNumber) {
  CKivo32Frame& f = Start();
  f.Title()->SetTitle("Song title");
  f.Title()->SetAnnounced(12, "Next song");
  win::SetTimer(hwnd, kTitleTimer, 1000);
  win::SendMessage(hwnd, win::WM_TIMER, kTitleTimer, 0);
  EXPECT_EQ(f.Title()->Title(), "");
  EXPECT_EQ(f.Title()->AnnouncedTitle(), "");
  EXPECT_EQ(f.Title()->AnnouncedNumber(), 12);
  EXPECT_FALSE(win::KillTimer(hwnd, kTitleTimer)); // killed at its first tick
}

TEST_F(FrameMessagesTest, ARightDoubleClickTogglesMaximised) {
  Start();
  win::SendMessage(hwnd, win::WM_RBUTTONDBLCLK, 0, 0);
  EXPECT_TRUE(ui::IsZoomed(hwnd));
  // Maximised, moving and maximising again are ignored.
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_SYSCOMMAND, ui::SC_MOVE | ui::HTCAPTION, 0), 0);
  win::SendMessage(hwnd, win::WM_RBUTTONDBLCLK, 0, 0);
  EXPECT_FALSE(ui::IsZoomed(hwnd));
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{1, 1, 640, 480}));
}

TEST_F(FrameMessagesTest, TheHotSpotOpensTheMenuAfterTheDoubleClickTimeOrClosesOnADoubleClick) {
  auto menus = std::make_shared<ui::ScriptedPopupMenu>();
  ui::ScopedPopupMenuBackend scoped(menus);
  win::ManualTimerClock clock;
  win::InstallTimerClock(&clock);
  CKivo32Frame& f = Start();
  const win::Hwnd spot = f.SysMenu()->Hwnd();
  win::SendMessage(spot, win::WM_LBUTTONDOWN, ui::MK_LBUTTON, ui::MakeLParam(2, 2));
  clock.Advance(ui::GetDoubleClickTime() - 1);
  EXPECT_TRUE(menus->Shown().empty());
  clock.Advance(1);
  ASSERT_EQ(menus->Shown().size(), 1u);
  EXPECT_EQ(menus->Shown()[0].point, ui::ClientToScreen(spot, {2, 2}));

  win::SendMessage(spot, win::WM_LBUTTONDOWN, ui::MK_LBUTTON, ui::MakeLParam(2, 2));
  win::SendMessage(spot, win::WM_LBUTTONDBLCLK, ui::MK_LBUTTON, ui::MakeLParam(2, 2));
  clock.Advance(ui::GetDoubleClickTime());
  EXPECT_EQ(menus->Shown().size(), 1u);
  ASSERT_TRUE(PumpUntil([&] { return !win::IsWindow(hwnd); }));
  frame.reset();
  win::InstallTimerClock(nullptr);
}

} // namespace
