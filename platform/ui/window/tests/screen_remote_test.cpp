// Showing, placing, invalidating and closing a screen window of another
// process, through that window's own thread.
#include "platform/ui/tests/support/screen_session.h"

#include "platform/ui/tests/support/peer_process.h"

#include <QWindow>

#include <cstdlib>
#include <string>

using namespace ui;
using namespace uitest;

namespace {

using ScreenRemoteTest = ScreenTest;

// Lines up to and including the one wanted; false when it never comes.
bool ReadUntil(PeerProcess& peer, const std::string& wanted, std::vector<std::string>* seen) {
  for (std::string line = peer.ReadLine(); !line.empty(); line = peer.ReadLine()) {
    seen->push_back(line);
    if (line == wanted)
      return true;
  }
  return false;
}

TEST_F(ScreenRemoteTest, AnotherProcessShowsPlacesRepaintsAndClosesTheWindow) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  PeerProcess peer(std::string(VEXO_TESTS_DIR) + "/ui_peer");
  ASSERT_TRUE(peer.Started());
  std::string first = peer.ReadLine();
  while (!first.empty() && first.rfind("hwnd ", 0) != 0)
    first = peer.ReadLine(); // the creation's own messages
  ASSERT_EQ(first.rfind("hwnd ", 0), 0u) << first;
  const Hwnd h = static_cast<Hwnd>(std::stoul(first.substr(5)));
  ASSERT_TRUE(win::IsWindow(h));
  EXPECT_FALSE(IsScreenWindow(h)); // not one of this process

  std::vector<std::string> seen;
  EXPECT_FALSE(ShowWindow(h, SW_SHOWNA)); // it was hidden
  ASSERT_TRUE(ReadUntil(peer, "paint 0 0 50 40", &seen));
  EXPECT_EQ(seen.front(), "showwindow 1");

  seen.clear();
  EXPECT_TRUE(SetWindowPos(h, 0, -20, 30, 60, 45, SWP_NOZORDER | SWP_NOACTIVATE));
  ASSERT_TRUE(ReadUntil(peer, "size 0 60 45", &seen));
  EXPECT_EQ(seen, (std::vector<std::string>{"move -20 30", "size 0 60 45"}));

  // A window of this process embedded in the other process's window sits at
  // that window's place on the screen.
  LogWindow embedded;
  Hwnd e = Create(embedded, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {300, 300, 20, 10});
  SetWindowStyle(e, (win::GetWindowStyle(e) & ~win::WS_POPUP) | win::WS_CHILD);
  EXPECT_TRUE(SetParent(e, h));
  EXPECT_TRUE(SetWindowPos(e, HWND_TOP, 5, 6, 20, 10, SWP_NOACTIVATE | SWP_FRAMECHANGED));
  EXPECT_EQ(GetWindowRect(e), (gdi::Rect{-15, 36, 5, 46}));
  EXPECT_EQ(ClientToScreen(e, {0, 0}), (gdi::Point{-15, 36}));
  EXPECT_EQ(embedded.Only({win::WM_MOVE}).back().lParam, MakeLParam(5, 6));
  // Inside the other window where the window system nests windows, else a
  // window of its own over it.
  const bool nested = GetWidget(e)->windowHandle() && GetWidget(e)->windowHandle()->parent();
  RecordProperty("nested", nested ? 1 : 0);
  EXPECT_EQ(GetWidget(e)->geometry(), nested ? QRect(5, 6, 20, 10) : QRect(-15, 36, 20, 10));
  EXPECT_TRUE(GetWidget(e)->isVisible());
  win::DestroyWindow(e);

  seen.clear();
  const gdi::Rect r{1, 2, 30, 40};
  EXPECT_TRUE(InvalidateRect(h, &r, false));
  ASSERT_TRUE(ReadUntil(peer, "paint 1 2 30 40", &seen));
  EXPECT_TRUE(SetForegroundWindow(h));

  EXPECT_TRUE(win::PostMessage(h, win::WM_CLOSE));
  const auto status = peer.Wait(10000);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_FALSE(ShowWindow(h, SW_SHOW)); // gone
}

} // namespace
