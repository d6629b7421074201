// Dropped files, cursors, pop-up menus and message boxes owned by screen
// windows.
#include "platform/ui/modal/menu.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/tests/support/screen_session.h"
#include "platform/ui/window/cursor.h"
#include "platform/ui/window/drop.h"

#include <QAbstractButton>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <QUrl>

using namespace ui;
using namespace uitest;

namespace {

using ScreenExtrasTest = ScreenTest;

// Drags mime onto the window's widget at (x, y) and drops it there; returns
// whether the widget took the drag.
bool DragAndDrop(Hwnd h, const QMimeData& mime, QPoint at) {
  QWidget* w = GetWidget(h);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &drop);
  return enter.isAccepted();
}

TEST_F(ScreenExtrasTest, DroppedLocalFilesArriveAsDropFilesWithTheirPaths) {
  LogWindow w;
  std::vector<DropFiles> drops;
  w.handler = [&](Hwnd, uint32_t m, WParam wParam, LParam) -> std::optional<LResult> {
    if (m == win::WM_DROPFILES)
      drops.push_back(*AsDropFiles(wParam));
    return std::nullopt;
  };
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 100, 100}, 0,
                  WS_EX_ACCEPTFILES);
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile("/songs/Arirang.mid"), QUrl("https://example.org/page.htm"),
                 QUrl::fromLocalFile(QString::fromUtf8("/songs/노래 1.kar"))});
  EXPECT_TRUE(DragAndDrop(h, files, {30, 40}));
  EXPECT_TRUE(drops.empty()); // it comes through the loop, after the drop
  ASSERT_TRUE(PumpUntil([&] { return !drops.empty(); }));
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].paths, (std::vector<std::string>{"/songs/Arirang.mid",
                                                      "/songs/\xEB\x85\xB8\xEB\x9E\x98 1.kar"}));
  EXPECT_EQ(drops[0].point, (gdi::Point{30, 40}));

  // Nothing local, or a window that does not take files: nothing arrives.
  QMimeData web;
  web.setUrls({QUrl("https://example.org/")});
  EXPECT_FALSE(DragAndDrop(h, web, {1, 1}));
  EXPECT_TRUE(DragAcceptFiles(h, false));
  EXPECT_FALSE(DragAndDrop(h, files, {1, 1}));
  win::ProcessPendingMessages();
  EXPECT_EQ(drops.size(), 1u);
  EXPECT_TRUE(DragAcceptFiles(h, true));
  EXPECT_TRUE(DragAndDrop(h, files, {2, 2}));
  ASSERT_TRUE(PumpUntil([&] { return drops.size() == 2; }));
}

CursorImage Square(int side, uint32_t argb, gdi::Point hotspot = {0, 0}) {
  return CursorImage{side, side, std::vector<uint32_t>(static_cast<size_t>(side) * side, argb),
                     hotspot};
}

TEST_F(ScreenExtrasTest, CursorsAreMadeOnlyFromSoundImages) {
  EXPECT_EQ(LoadCursor(IDC_WAIT), LoadCursor(IDC_WAIT));
  EXPECT_FALSE(LoadCursor(12345));
  struct Case {
    const char* what;
    CursorImage image;
    bool made;
  };
  CursorImage shortPixels = Square(4, 0xFF000000);
  shortPixels.argb.pop_back();
  const Case cases[] = {
      {"square", Square(32, 0xFF112233, {16, 16}), true},
      {"empty", CursorImage{}, false},
      {"too few pixels", shortPixels, false},
      {"too large", Square(kMaxCursorSide + 1, 0xFF000000), false},
      {"hot spot outside", Square(8, 0xFF000000, {8, 0}), false},
      {"negative hot spot", Square(8, 0xFF000000, {-1, 0}), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CreateCursor(c.image) != nullptr, c.made) << c.what;
  EXPECT_FALSE(CreateAnimatedCursor({}, {}));
  EXPECT_FALSE(CreateAnimatedCursor({Square(4, 0xFF000000)}, {10, 20}));
  EXPECT_FALSE(CreateAnimatedCursor({Square(4, 0xFF000000), shortPixels}, {10, 20}));
  EXPECT_EQ(CursorFrameCount(CreateAnimatedCursor({Square(4, 1), Square(4, 2)}, {10, 20})), 2u);
}

TEST_F(ScreenExtrasTest, TheClassCursorShowsUnlessTheWindowSetsItsOwn) {
  static const bool registered =
      RegisterScreenClass({"UiTestCross", 0, [] { return std::make_unique<LogWindow>(); },
                           LoadCursor(IDC_CROSS), std::nullopt});
  ASSERT_TRUE(registered);
  LogWindow w;
  CursorHandle own = CreateCursor(Square(16, 0xFFFF0000, {3, 4}));
  bool setOwn = false;
  w.handler = [&](Hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m == win::WM_SETCURSOR && setOwn) {
      SetCursor(own);
      return 1;
    }
    return std::nullopt;
  };
  Hwnd h = Create(w, "UiTestCross", win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  QWidget* widget = GetWidget(h);
  EXPECT_EQ(widget->cursor().shape(), Qt::CrossCursor);
  auto move = [&] {
    QMouseEvent e(QEvent::MouseMove, QPointF(5, 5), QPointF(widget->mapToGlobal(QPoint(5, 5))),
                  Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &e);
  };
  setOwn = true;
  move();
  EXPECT_EQ(widget->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(widget->cursor().hotSpot(), QPoint(3, 4));
  EXPECT_EQ(GetCursor(), own);
  setOwn = false;
  move();
  EXPECT_EQ(widget->cursor().shape(), Qt::CrossCursor);
  SetCursor(nullptr); // hidden
  EXPECT_EQ(widget->cursor().shape(), Qt::BlankCursor);
  // A wait cursor scope, and the cursor before it afterwards.
  {
    WaitCursor wait;
    EXPECT_EQ(widget->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(GetCursor(), LoadCursor(IDC_WAIT));
  }
  EXPECT_EQ(widget->cursor().shape(), Qt::BlankCursor);

  // An animated cursor shows its frames in turn.
  SetCursor(CreateAnimatedCursor({Square(8, 0xFF0000FF), Square(8, 0xFF00FF00)}, {10, 10}));
  auto shownColour = [&] { return widget->cursor().pixmap().toImage().pixel(1, 1) & 0xFFFFFF; };
  EXPECT_EQ(shownColour(), 0x0000FFu);
  // Each frame lasts 10 ms: on a busy machine it may be gone again by the
  // time the loop returns, so what counts is that it was seen.
  auto seen = [&](uint32_t colour) {
    bool shown = false;
    return PumpUntil([&] { return shown = shown || shownColour() == colour; });
  };
  EXPECT_TRUE(seen(0x00FF00u));
  EXPECT_TRUE(seen(0x0000FFu));
}

MenuItem Command(uint32_t id, const char* text, bool enabled = true, bool checked = false) {
  MenuItem item;
  item.id = id;
  item.text = text;
  item.enabled = enabled;
  item.checked = checked;
  return item;
}

MenuItem Separator() {
  MenuItem item;
  item.separator = true;
  return item;
}

MenuItem Popup(const char* text, bool enabled, std::vector<MenuItem> items) {
  MenuItem item = Command(0, text, enabled);
  item.items = std::move(items);
  return item;
}

// A menu bar with one pop-up, as a menu resource gives it.
Menu DisplayMenu() {
  Menu menu;
  menu.items.push_back(
      Popup("&Display", true,
            {Command(32776, "Mi&nimize"), Command(32777, "Ma&ximize"), Separator(),
             Command(32780, "Pictures", true, true), Command(32781, "Overlay", false),
             Popup("Controller", true, {Command(20001, "Open")}),
             Popup("Off", false, {Command(20002, "Close")})}));
  return menu;
}

TEST_F(ScreenExtrasTest, MenusAreFoundAndChangedByCommand) {
  Menu menu = DisplayMenu();
  EXPECT_EQ(menu.Find(32777)->text, "Ma&ximize");
  EXPECT_EQ(menu.Find(20001)->text, "Open");
  EXPECT_EQ(menu.Find(0), nullptr); // separators and sub-menus are no commands
  EXPECT_EQ(menu.Find(999), nullptr);
  EXPECT_TRUE(menu.SetText(32777, "Restore"));
  EXPECT_TRUE(menu.Enable(32776, false));
  EXPECT_TRUE(menu.Check(32780, false));
  EXPECT_FALSE(menu.Enable(999, true));
  Menu popup = menu.SubMenu(0);
  EXPECT_EQ(popup.items.size(), 7u);
  EXPECT_TRUE(menu.SubMenu(5).items.empty());
  struct Case {
    uint32_t id;
    bool choosable;
  };
  const Case cases[] = {{32776, false}, {32777, true},  {32781, false},
                        {20001, true},  {20002, false}, {0, false}};
  for (const Case& c : cases)
    EXPECT_EQ(popup.CanChoose(c.id), c.choosable) << c.id;
}

TEST_F(ScreenExtrasTest, TrackingAMenuPostsTheCommandOrReturnsIt) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  auto script = std::make_shared<ScriptedPopupMenu>();
  ScopedPopupMenuBackend scoped(script);
  const Menu popup = DisplayMenu().SubMenu(0);

  script->Choose(32777);
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RIGHTBUTTON, 120, 130, h), 1);
  EXPECT_EQ(w.Count(win::WM_COMMAND), 0u); // posted, not sent
  ASSERT_TRUE(PumpUntil([&] { return w.Count(win::WM_COMMAND) > 0; }));
  EXPECT_EQ(w.Only({win::WM_COMMAND}), (std::vector<Logged>{{win::WM_COMMAND, 32777, 0}}));
  ASSERT_EQ(script->Shown().size(), 1u);
  EXPECT_EQ(script->Shown()[0].point, (gdi::Point{120, 130}));
  EXPECT_EQ(script->Shown()[0].owner, h);
  EXPECT_EQ(script->Shown()[0].menu.items.size(), 7u);

  script->Choose(20001);
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, h), 20001);
  script->Choose(32781); // greyed: not chosen
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, h), 0);
  EXPECT_EQ(TrackPopupMenu(popup, 0, 0, 0, h), 1); // cancelled
  EXPECT_EQ(TrackPopupMenu(Menu{}, TPM_RETURNCMD, 0, 0, h), 0);
  win::ProcessPendingMessages();
  EXPECT_EQ(w.Count(win::WM_COMMAND), 1u);

  // Without a script, the offscreen platform shows no menu: nothing chosen.
  ScopedPopupMenuBackend none(nullptr);
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, h), 0);
}

TEST_F(ScreenExtrasTest, TheQtMenuShowsTheItemsStatesAndReturnsTheOneChosen) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  QStringList seen;
  auto* timer = new QTimer(GetWidget(h));
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, [&, timer] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu)
      return;
    timer->stop();
    QAction* maximize = nullptr;
    for (QAction* a : menu->actions()) {
      seen << QString("%1%2%3")
                  .arg(a->isSeparator() ? "-" : a->text())
                  .arg(a->isEnabled() ? "" : " (off)")
                  .arg(a->isChecked() ? " (on)" : "");
      if (a->text() == "Ma&ximize")
        maximize = a;
    }
    EXPECT_EQ(menu->parentWidget(), GetWidget(h));
    // Chosen as a user would: highlighted, then Return.
    if (maximize)
      menu->setActiveAction(maximize);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &enter);
  });
  timer->start();
  EXPECT_EQ(QtPopupMenu().Track(MenuRequest{DisplayMenu().SubMenu(0), {10, 10}, h}), 32777u);
  EXPECT_EQ(seen, (QStringList{"Mi&nimize", "Ma&ximize", "-", "Pictures (on)", "Overlay (off)",
                               "Controller", "Off (off)"}));
}

TEST_F(ScreenExtrasTest, AMessageBoxOwnedByAWindowIsItsChild) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  QWidget* parent = nullptr;
  auto* timer = new QTimer(GetWidget(h));
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, [&, timer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
      return;
    timer->stop();
    parent = box->parentWidget();
    box->buttons()[0]->click();
  });
  timer->start();
  QtMessageBox().Show({"Create to child windows are failed!", "Error", MB_OK, h});
  EXPECT_EQ(parent, GetWidget(h));
}

} // namespace
