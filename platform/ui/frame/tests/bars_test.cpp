// A frame with a status bar at its bottom and a three-pane splitter as its
// client: where panes and bars go, widths set and read back, a bar dragged,
// texts shown in their panes.
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/frame/drop_list.h"
#include "platform/ui/frame/frame_wnd.h"
#include "platform/ui/frame/splitter.h"
#include "platform/ui/frame/status_bar.h"
#include "platform/ui/modal/menu.h"
#include "platform/ui/tests/support/resource_files.h"
#include "platform/ui/tests/support/screen_session.h"

#include <QImage>

#include <filesystem>

using namespace ui;
using namespace uitest;

namespace {

constexpr uint32_t kFrameId = 140;
constexpr int32_t kCaption = 18;

FrameResources Bundle() {
  static const ResourceFiles files =
      FilesOf({{"menus/140.txt", Bytes("POPUP &File\n ITEM 57665 E&xit\n END\n")}});
  return {files, [](uint32_t id) -> std::optional<std::string> {
            if (id == kFrameId)
              return std::string("Bars");
            return std::nullopt;
          }};
}

class BarsTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    frame = new FrameWnd;
    ResourceError error;
    ASSERT_TRUE(frame->LoadFrame(Bundle(), kFrameId, WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0,
                                 &error, gdi::MakeRect(30, 30, 640, 400)))
        << error.reason;
    hwnd = frame->GetHwnd();
    ASSERT_TRUE(status.Create(hwnd));
    status.SetParts({0, 140, -1});
    frame->DockBarBottom(status.GetHwnd(), status.Height());
    ASSERT_TRUE(splitter.Create(hwnd, kPaneId, 3));
    splitter.SetPaneTop(kCaption);
    splitter.SetLayoutHook([this] { ++layouts; });
    const int32_t widths[] = {140, 200, 0};
    for (int i = 0; i < 3; ++i) {
      ASSERT_NE(Create(panes[i], kPlainClass, win::WS_CHILD | win::WS_VISIBLE, {0, 0, 10, 10},
                       splitter.GetHwnd()),
                0u);
      splitter.SetColumnWidth(i, widths[i]);
      splitter.SetPane(i, panes[i].GetHwnd());
    }
    frame->SetClient(splitter.GetHwnd());
  }
  void TearDown() override {
    if (win::IsWindow(hwnd))
      win::DestroyWindow(hwnd);
    ScreenTest::TearDown();
  }

  FrameWnd* frame = nullptr;
  Hwnd hwnd = 0;
  StatusBar status;
  Splitter splitter;
  LogWindow panes[3];
  int layouts = 0;
};

TEST_F(BarsTest, PanesShareTheClientBetweenTheBars) {
  const gdi::Rect client = GetClientRect(hwnd).value();
  const gdi::Rect area = frame->ClientArea();
  EXPECT_EQ(area.bottom, client.bottom - status.Height());
  EXPECT_EQ(GetWindowRect(status.GetHwnd())->top - ClientToScreen(hwnd, {0, 0}).y,
            client.bottom - status.Height());
  EXPECT_EQ(GetClientRect(splitter.GetHwnd())->Height(), area.Height());

  struct Case {
    int column;
    int32_t left, width;
  };
  const int32_t total = area.Width();
  const Case cases[] = {{0, 0, 140},
                        {1, 140 + Splitter::kBarWidth, 200},
                        {2, 340 + 2 * Splitter::kBarWidth, total - 340 - 2 * Splitter::kBarWidth}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    EXPECT_EQ(splitter.ColumnWidth(c.column), c.width);
    const gdi::Point at = ScreenToClient(splitter.GetHwnd(), ClientToScreen(panes[c.column].GetHwnd(), {0, 0}));
    EXPECT_EQ(at.x, c.left);
    EXPECT_EQ(at.y, kCaption);
    EXPECT_EQ(GetClientRect(panes[c.column].GetHwnd())->Height(), area.Height() - kCaption);
  }
  EXPECT_EQ(splitter.BarAt({141, 40}), 0);
  EXPECT_EQ(splitter.BarAt({100, 40}), -1);

  // The frame grows: the last pane takes the width, the others keep theirs.
  const int before = layouts;
  MoveWindow(hwnd, 30, 30, 800, 400);
  EXPECT_GT(layouts, before);
  EXPECT_EQ(splitter.ColumnWidth(0), 140);
  EXPECT_EQ(splitter.ColumnWidth(1), 200);
  EXPECT_EQ(splitter.ColumnWidth(2), 800 - 340 - 2 * Splitter::kBarWidth);
}

TEST_F(BarsTest, DraggingABarMovesItsPaneEdgeAndRunsTheHook) {
  const Hwnd s = splitter.GetHwnd();
  const int32_t x = 140 + 2;
  win::SendMessage(s, win::WM_LBUTTONDOWN, 1, MakeLParam(x, 50));
  win::SendMessage(s, win::WM_MOUSEMOVE, 1, MakeLParam(x + 30, 50));
  EXPECT_EQ(splitter.ColumnWidth(0), 170);
  const int before = layouts;
  win::SendMessage(s, win::WM_LBUTTONUP, 0, MakeLParam(x + 60, 50));
  EXPECT_EQ(layouts, before + 1);
  EXPECT_EQ(splitter.ColumnWidth(0), 200);
  EXPECT_EQ(splitter.ColumnWidth(1), 200);
  // Dragged past the left edge: the pane keeps no width, nothing breaks.
  win::SendMessage(s, win::WM_LBUTTONDOWN, 1, MakeLParam(200 + 1, 50));
  win::SendMessage(s, win::WM_LBUTTONUP, 0, MakeLParam(-400, 50));
  EXPECT_EQ(splitter.ColumnWidth(0), 0);
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(BarsTest, StatusPanesEndAtTheirEdgesAndShowTheirTexts) {
  const int32_t width = GetClientRect(status.GetHwnd())->Width();
  EXPECT_EQ(status.PaneCount(), 3);
  EXPECT_EQ(status.PaneRect(0).Width(), 0);
  EXPECT_EQ(status.PaneRect(1).left, 0);
  EXPECT_EQ(status.PaneRect(1).right, 140);
  EXPECT_EQ(status.PaneRect(2).left, 140);
  EXPECT_EQ(status.PaneRect(2).right, width);
  EXPECT_FALSE(status.SetText(3, "none"));
  EXPECT_TRUE(status.SetText(2, "Singer - Title"));
  EXPECT_EQ(status.Text(2), "Singer - Title");
  status.SetParts({0, 100, 200, -1});
  EXPECT_EQ(status.Text(2), "Singer - Title");
  EXPECT_EQ(status.Text(3), "");
  status.SetParts({0, 140, -1});

  for (Hwnd h : {hwnd, status.GetHwnd(), splitter.GetHwnd()})
    ASSERT_TRUE(Settle(h));
  const QImage image = GetWidget(hwnd)->grab().toImage();
  const std::filesystem::path out = std::filesystem::path(VEXO_TESTS_DIR) / "artefacts";
  std::filesystem::create_directories(out);
  EXPECT_TRUE(image.save(QString::fromStdString((out / "frame-bars.png").string())));
  // Ink of the text lies inside pane 2, none in pane 1.
  const gdi::Point origin = ScreenToClient(hwnd, ClientToScreen(status.GetHwnd(), {0, 0}));
  auto darkIn = [&](int32_t left, int32_t right) {
    int dark = 0;
    for (int32_t y = 4; y < status.Height() - 3; ++y)
      for (int32_t x = left + 4; x < right - 5; ++x)
        if (qGray(image.pixel(origin.x + x, origin.y + y)) < 64)
          ++dark;
    return dark;
  };
  EXPECT_GT(darkIn(140, width), 0);
  EXPECT_EQ(darkIn(0, 140), 0);
}

// A pop-up menu backend that chooses the n-th item and records the menus.
class ChoosingMenus : public PopupMenuBackend {
public:
  explicit ChoosingMenus(int choice) : choice_(choice) {}
  uint32_t Track(const MenuRequest& request) override {
    requests.push_back(request);
    if (choice_ < 0 || static_cast<size_t>(choice_) >= request.menu.items.size())
      return 0;
    return request.menu.items[static_cast<size_t>(choice_)].id;
  }
  std::vector<MenuRequest> requests;

private:
  int choice_;
};

TEST_F(BarsTest, ADropListInAnyWindowNotifiesItsChoicesAndIsOwnerDrawn) {
  LogWindow owner;
  owner.handler = [](Hwnd, uint32_t message, WParam, LParam lParam) -> std::optional<LResult> {
    if (message == WM_MEASUREITEM) {
      reinterpret_cast<MeasureItem*>(lParam)->itemHeight = 17;
      return 1;
    }
    if (message == WM_DRAWITEM) {
      const auto* item = reinterpret_cast<const DrawItem*>(lParam);
      item->dc->FillRect(item->rect, item->itemId == 1 ? gdi::Rgb(0, 200, 0) : gdi::Rgb(200, 0, 0));
      return 1;
    }
    return std::nullopt;
  };
  ASSERT_NE(Create(owner, kPlainClass, win::WS_CHILD | win::WS_VISIBLE, {0, 0, 300, 60},
                   panes[1].GetHwnd()),
            0u);
  DropList list;
  ASSERT_TRUE(list.Create(owner.GetHwnd(), 1001, gdi::MakeRect(0, 1, 140, 150), true));
  EXPECT_EQ(list.ItemHeight(), 17);
  EXPECT_EQ(GetClientRect(list.GetHwnd())->Height(), 17 + 6);
  LResult expected = 0;
  for (const char* text : {"Zero", "One", "Two"})
    EXPECT_EQ(win::SendMessage(list.GetHwnd(), CB_ADDSTRING, 0, reinterpret_cast<LParam>(text)),
              expected++);
  EXPECT_EQ(win::SendMessage(list.GetHwnd(), CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(win::SendMessage(list.GetHwnd(), CB_SETCURSEL, 7, 0), CB_ERR);
  EXPECT_EQ(list.CurSel(), -1);
  list.SetCurSel(1);
  ASSERT_TRUE(Settle(list.GetHwnd()));
  auto surface = SurfaceOf(list.GetHwnd());
  ASSERT_TRUE(surface);
  EXPECT_EQ(GetDc(list.GetHwnd())->GetPixel(10, 8), gdi::Rgb(0, 200, 0));

  // A click drops the list; the second item chosen becomes the selection.
  auto menus = std::make_shared<ChoosingMenus>(2);
  auto previous = SetPopupMenuBackend(menus);
  owner.log.clear();
  win::SendMessage(list.GetHwnd(), win::WM_LBUTTONDOWN, 1, MakeLParam(5, 5));
  ASSERT_EQ(menus->requests.size(), 1u);
  ASSERT_EQ(menus->requests[0].menu.items.size(), 3u);
  EXPECT_TRUE(menus->requests[0].menu.items[1].checked);
  EXPECT_EQ(list.CurSel(), 2);
  const auto commands = owner.Only({win::WM_COMMAND});
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wParam, MakeWParam(1001, CBN_SELCHANGE));
  EXPECT_EQ(commands[0].lParam, static_cast<LParam>(list.GetHwnd()));

  // Disabled: no drop, no choice.
  list.Enable(false);
  win::SendMessage(list.GetHwnd(), win::WM_LBUTTONDOWN, 1, MakeLParam(5, 5));
  EXPECT_FALSE(list.Choose(0));
  EXPECT_EQ(menus->requests.size(), 1u);
  EXPECT_EQ(list.CurSel(), 2);
  SetPopupMenuBackend(previous);
  win::DestroyWindow(owner.GetHwnd());
}

} // namespace
