// Screen windows: their records, geometry, creation and destruction with
// the window, the private requests through which other threads and
// processes reach a window's thread, and the default handling. Classes,
// show states and placing, painting and dumps have files of their own.
#include "platform/ui/window/screen.h"

#include "platform/ui/modal/modal_hook.h"

#include "platform/gdi/surface_impl.h"
#include "platform/sys/log.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen_internal.h"
#include "platform/win/dispatch.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>
#include <unordered_map>

namespace ui {

namespace detail {

struct Table {
  std::mutex mu;
  std::unordered_map<Hwnd, std::shared_ptr<Screen>> screens;
};
Table& Screens() {
  static Table* table = new Table; // outlives every static destructor that may ask
  return *table;
}

ScreenCache& Cache() {
  static ScreenCache* cache = new ScreenCache;
  return *cache;
}

gdi::Rect ToRect(const QRect& r) {
  return gdi::MakeRect(r.x(), r.y(), r.width(), r.height());
}
QRect ToQRect(const gdi::Rect& r) {
  return QRect(r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height()));
}

// Where the widget goes: the record's rectangle, moved to the screen for a
// child of another process's window that is shown as a window of its own.
QRect WidgetRect(const Screen& s) {
  if (s.foreignParent && !s.foreignWindow)
    return ToQRect(gdi::Offset(s.rect, s.foreignOrigin.x, s.foreignOrigin.y));
  return ToQRect(s.rect);
}

bool Alive(const Screen& s) {
  return !s.destroying && s.object != nullptr;
}

// A surface side pair that a surface can hold.
gdi::Size SurfaceSize(int32_t width, int32_t height) {
  int32_t w = std::clamp(width, 1, gdi::kMaxSurfaceSide);
  int32_t h = std::clamp(height, 1, gdi::kMaxSurfaceSide);
  if (static_cast<int64_t>(w) * h > gdi::kMaxSurfacePixels)
    h = static_cast<int32_t>(gdi::kMaxSurfacePixels / w);
  return gdi::Size{w, h};
}

gdi::Colour FillOf(const Screen& s) {
  return ClassBackgroundOf(s.className).value_or(0);
}

bool IsChild(const Screen& s) {
  return (s.style & win::WS_CHILD) != 0;
}

// The parent's record when it is a screen window of the same thread.
std::shared_ptr<Screen> LocalParent(const Screen& s) {
  if (!s.parent || s.parent == win::kHwndMessage)
    return nullptr;
  auto p = Find(s.parent);
  return p && p->owner == s.owner ? p : nullptr;
}

gdi::Point OriginOf(const Screen& s, int depth) {
  gdi::Point origin{s.rect.left, s.rect.top};
  if (s.foreignParent) {
    origin.x += s.foreignOrigin.x;
    origin.y += s.foreignOrigin.y;
    return origin;
  }
  if (IsChild(s) && depth < 64)
    if (auto p = LocalParent(s)) {
      const gdi::Point up = OriginOf(*p, depth + 1);
      origin.x += up.x;
      origin.y += up.y;
    }
  return origin;
}

// Whether drawing on the window reaches the screen: shown, not minimised,
// and inside a parent for which the same holds.
bool ComputeDrawable(const Screen& s) {
  if (!s.shown || s.state == ShowState::Minimized || s.destroying)
    return false;
  if (IsChild(s))
    if (auto p = LocalParent(s)) {
      std::lock_guard lock(p->mu);
      return p->drawable;
    }
  return true;
}

void UpdateDrawable(Screen& s, int depth) {
  const bool drawable = ComputeDrawable(s);
  bool changed = false;
  {
    std::lock_guard lock(s.mu);
    changed = s.drawable != drawable;
    s.drawable = drawable;
  }
  if (changed) {
    s.surface->SetVisible(drawable);
    if (!drawable) {
      // A drawing in progress on another thread ends before this returns;
      // none starts afterwards.
      std::lock_guard wait(s.surface->Internals().mutex);
    } else {
      Invalidate(s, nullptr, true);
    }
  }
  if (depth < 64)
    for (auto& child : ChildrenOf(s.hwnd))
      if (IsChild(*child))
        UpdateDrawable(*child, depth + 1);
}

void SendSize(Screen& s, WParam type) {
  s.lastSizeType = type;
  const LParam size = type == SIZE_MINIMIZED ? 0 : MakeLParam(s.rect.Width(), s.rect.Height());
  win::SendMessage(s.hwnd, win::WM_SIZE, type, size);
}

Qt::WindowFlags FlagsOf(const Screen& s, QWidget* parentWidget) {
  if (IsChild(s) && parentWidget)
    return Qt::Widget;
  Qt::WindowFlags f = (s.exStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
  if ((s.style & WS_CAPTION) == WS_CAPTION) {
    f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (s.style & WS_SYSMENU)
      f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (s.style & WS_MINIMIZEBOX)
      f |= Qt::WindowMinimizeButtonHint;
    if (s.style & WS_MAXIMIZEBOX)
      f |= Qt::WindowMaximizeButtonHint;
  } else {
    f |= Qt::FramelessWindowHint;
  }
  if (s.exStyle & WS_EX_TOPMOST)
    f |= Qt::WindowStaysOnTopHint;
  return f;
}

struct HostSlot {
  std::mutex mu;
  ChildHost host;
};
HostSlot& Host() {
  static HostSlot* slot = new HostSlot;
  return *slot;
}

QWidget* ParentWidgetOf(const Screen& s) {
  if (auto p = LocalParent(s))
    return p->widget.data();
  if (!IsChild(s) || !s.parent || s.parent == win::kHwndMessage)
    return nullptr;
  ChildHost host;
  {
    std::lock_guard lock(Host().mu);
    host = Host().host;
  }
  return host ? host(s.parent) : nullptr;
}

// Shows the widget as the record says: visible or not, in its state.
void ShowWidget(Screen& s, bool activate) {
  ScreenWidget* w = s.widget;
  if (!w)
    return;
  Applying applying(s);
  if (!s.shown) {
    w->hide();
    return;
  }
  w->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
  if (!w->isWindow()) {
    w->setGeometry(WidgetRect(s));
    w->show();
    return;
  }
  switch (s.state) {
  case ShowState::Minimized:
    w->showMinimized();
    break;
  case ShowState::Maximized:
    if ((s.style & WS_CAPTION) == WS_CAPTION)
      w->showMaximized();
    else
      w->showFullScreen();
    break;
  case ShowState::Normal:
    if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
      w->setWindowState(Qt::WindowNoState);
    w->show();
    w->setGeometry(WidgetRect(s));
    break;
  }
}

void AskMinMax(Screen& s) {
  if (IsChild(s) && LocalParent(s))
    return;
  const gdi::Rect screen = ScreenRect();
  MinMaxInfo info;
  info.maxSize = gdi::Point{screen.Width(), screen.Height()};
  info.maxPosition = gdi::Point{screen.left, screen.top};
  info.minTrackSize = gdi::Point{0, 0};
  info.maxTrackSize = gdi::Point{gdi::kMaxSurfaceSide, gdi::kMaxSurfaceSide};
  win::SendMessage(s.hwnd, win::WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
  if (!Alive(s))
    return;
  s.minMax = info;
  if (ScreenWidget* w = s.widget) {
    w->setMinimumSize(std::clamp(info.minTrackSize.x, 0, QWIDGETSIZE_MAX),
                      std::clamp(info.minTrackSize.y, 0, QWIDGETSIZE_MAX));
    w->setMaximumSize(std::clamp(info.maxTrackSize.x, 1, QWIDGETSIZE_MAX),
                      std::clamp(info.maxTrackSize.y, 1, QWIDGETSIZE_MAX));
  }
}

bool EmbedsNatively() {
  return QGuiApplication::platformName() == "xcb";
}

// Notes whether the parent is another process's window, where it is on the
// screen and, where the window system can put one window inside another,
// its native window.
void FindForeignParent(Screen& s) {
  const bool foreign = IsChild(s) && s.parent && s.parent != win::kHwndMessage && !LocalParent(s) &&
                       win::GetWindowProcessId(s.parent) != 0 &&
                       win::GetWindowProcessId(s.parent) != static_cast<uint32_t>(getpid());
  if (!foreign) {
    s.foreignParent = false;
    if (s.foreignWindow) {
      if (ScreenWidget* w = s.widget; w && w->windowHandle())
        w->windowHandle()->setParent(nullptr);
      delete s.foreignWindow.data();
    }
    return;
  }
  s.foreignParent = true;
  constexpr uint32_t kAskMs = 1000;
  if (auto origin = win::SendMessageTimeout(s.parent, kUiOperation,
                                            static_cast<WParam>(Operation::Origin), 0, kAskMs)) {
    int32_t x, y, unused1, unused2;
    UnpackRect(*origin, x, y, unused1, unused2);
    s.foreignOrigin = gdi::Point{x, y};
  }
  if (s.foreignWindow || !s.widget || !EmbedsNatively())
    return;
  const auto native = win::SendMessageTimeout(
      s.parent, kUiOperation, static_cast<WParam>(Operation::NativeWindow), 0, kAskMs);
  if (native && *native)
    s.foreignWindow = QWindow::fromWinId(static_cast<WId>(*native));
}

// Puts the widget where the record says it belongs: inside its parent's
// widget or a window of its own, with the flags of its styles.
void ApplyFlags(Screen& s) {
  FindForeignParent(s);
  ScreenWidget* w = s.widget;
  if (!w)
    return;
  Applying applying(s);
  QWidget* parentWidget = ParentWidgetOf(s);
  const Qt::WindowFlags flags = FlagsOf(s, parentWidget);
  QWindow* nativeParent = s.foreignWindow.data();
  const bool moved = w->parentWidget() != parentWidget || w->windowFlags() != flags ||
                     (w->windowHandle() && w->windowHandle()->parent() != nativeParent);
  if (moved) {
    const bool visible = w->isVisible();
    w->setParent(parentWidget, flags);
    if (nativeParent) {
      w->winId();
      w->windowHandle()->setParent(nativeParent);
    }
    w->setGeometry(WidgetRect(s));
    if (visible || s.shown)
      ShowWidget(s, false);
  }
  w->setAcceptDrops(s.acceptFiles);
  if (w->isWindow())
    w->setWindowTitle(QString::fromStdString(win::GetWindowText(s.hwnd).value_or("")));
}

void CreateWidget(Screen& s) {
  auto* w = new ScreenWidget(s.hwnd, s.surface);
  s.widget = w;
  Applying applying(s);
  FindForeignParent(s);
  QWidget* parentWidget = ParentWidgetOf(s);
  w->setParent(parentWidget, FlagsOf(s, parentWidget));
  if (QWindow* nativeParent = s.foreignWindow.data()) {
    w->winId();
    w->windowHandle()->setParent(nativeParent);
  }
  w->setGeometry(WidgetRect(s));
  // A child made without WS_VISIBLE stays hidden when its parent is shown.
  if (!(s.style & win::WS_VISIBLE))
    w->hide();
  w->setAcceptDrops(s.acceptFiles);
  if (w->isWindow())
    w->setWindowTitle(QString::fromStdString(win::GetWindowText(s.hwnd).value_or("")));
  ApplyClassCursor(s);
}

void ReleaseWidget(Screen& s) {
  ScreenWidget* w = s.widget;
  s.widget.clear();
  if (!w)
    return;
  w->Detach();
  // Child widgets of windows that are still alive go back to being windows
  // of their own (their windows follow with their own teardown).
  for (QObject* child : w->children())
    if (auto* cw = dynamic_cast<ScreenWidget*>(child)) {
      cw->hide();
      cw->setParent(nullptr);
    }
  w->hide();
  if (w->InEvent())
    w->deleteLater();
  else
    delete w;
}

void HideForDestroy(Screen& s) {
  if (s.shown)
    MaybeDump(s);
  if (s.dumpLater && DumpEnabled())
    DumpNow(s);
  s.shown = false;
  UpdateDrawable(s);
  if (ScreenWidget* w = s.widget)
    w->hide();
}

void Teardown(Screen& s) {
  if (s.object == nullptr)
    return;
  s.destroying = true;
  s.surface->SetDirtyCallback(nullptr);
  s.surface->SetVisible(false);
  s.surface->Close();
  {
    std::lock_guard lock(s.mu);
    s.drawable = false;
    s.update = gdi::Rect{};
  }
  ForgetInput(s.hwnd);
  s.object = nullptr;
  s.drops.clear();
  ReleaseWidget(s);
  delete s.foreignWindow.data();
  auto& table = Screens();
  std::shared_ptr<Screen> keep; // released outside the lock
  {
    std::lock_guard lock(table.mu);
    auto it = table.screens.find(s.hwnd);
    if (it != table.screens.end() && it->second.get() == &s) {
      keep = std::move(it->second);
      table.screens.erase(it);
    }
  }
}

namespace {
std::once_flag resolverInstalled;
} // namespace

LParam PackRect(int32_t a, int32_t b, int32_t c, int32_t d) {
  auto part = [](int32_t v) {
    return static_cast<uint64_t>(static_cast<uint16_t>(std::clamp(v, -32768, 32767)));
  };
  return static_cast<LParam>(part(a) | (part(b) << 16) | (part(c) << 32) | (part(d) << 48));
}

void UnpackRect(LParam v, int32_t& a, int32_t& b, int32_t& c, int32_t& d) {
  const uint64_t u = static_cast<uint64_t>(v);
  a = static_cast<int16_t>(u & 0xFFFF);
  b = static_cast<int16_t>((u >> 16) & 0xFFFF);
  c = static_cast<int16_t>((u >> 32) & 0xFFFF);
  d = static_cast<int16_t>((u >> 48) & 0xFFFF);
}

std::shared_ptr<Screen> Find(Hwnd hwnd) {
  auto& table = Screens();
  std::lock_guard lock(table.mu);
  auto it = table.screens.find(hwnd);
  return it == table.screens.end() ? nullptr : it->second;
}

std::shared_ptr<Screen> FindOwn(Hwnd hwnd) {
  auto s = Find(hwnd);
  return s && s->owner == std::this_thread::get_id() ? s : nullptr;
}

std::vector<std::shared_ptr<Screen>> ChildrenOf(Hwnd parent) {
  std::vector<std::shared_ptr<Screen>> out;
  auto& table = Screens();
  const auto self = std::this_thread::get_id();
  std::lock_guard lock(table.mu);
  for (auto& [h, s] : table.screens)
    if (s->parent == parent && s->owner == self)
      out.push_back(s);
  return out;
}

bool OnGuiThread() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app && QThread::currentThread() == app->thread();
}

bool SetRect(Screen& s, const gdi::Rect& rect, WParam sizeType, bool repaint, bool fromQt,
             Hwnd insertAfter, uint32_t flags) {
  const gdi::Rect old = s.rect;
  const bool moved = old.left != rect.left || old.top != rect.top;
  const bool sized = old.Width() != rect.Width() || old.Height() != rect.Height();
  const bool typeChanged = sizeType != s.lastSizeType;
  if (!moved && !sized && !typeChanged)
    return true;
  s.rect = rect;
  if (s.foreignParent && !fromQt)
    FindForeignParent(s); // the parent may have moved meanwhile
  if (sized) {
    const gdi::Size size = SurfaceSize(rect.Width(), rect.Height());
    s.surface->Resize(size.cx, size.cy, FillOf(s));
    {
      std::lock_guard lock(s.mu);
      s.clientSize = gdi::Size{std::max(0, rect.Width()), std::max(0, rect.Height())};
      s.update = gdi::Intersect(s.update, gdi::Rect{0, 0, s.clientSize.cx, s.clientSize.cy});
    }
    if (repaint) {
      const bool wider = rect.Width() != old.Width();
      const bool taller = rect.Height() != old.Height();
      if ((wider && (s.classStyle & CS_HREDRAW)) || (taller && (s.classStyle & CS_VREDRAW))) {
        Invalidate(s, nullptr, true);
      } else {
        const gdi::Rect right{old.Width(), 0, rect.Width(), rect.Height()};
        const gdi::Rect bottom{0, old.Height(), rect.Width(), rect.Height()};
        Invalidate(s, &right, true);
        Invalidate(s, &bottom, true);
      }
    }
  }
  if (!fromQt)
    if (ScreenWidget* w = s.widget; w && (!w->isWindow() || s.state == ShowState::Normal)) {
      Applying applying(s);
      w->setGeometry(WidgetRect(s));
    }
  if (repaint && (moved || sized) && IsChild(s))
    if (auto p = LocalParent(s))
      Invalidate(*p, &old, true);

  WindowPos pos{s.hwnd, insertAfter, rect.left, rect.top, rect.Width(), rect.Height(), flags};
  if (!moved)
    pos.flags |= SWP_NOMOVE;
  if (!sized)
    pos.flags |= SWP_NOSIZE;
  win::SendMessage(s.hwnd, win::WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LParam>(&pos));
  if (!Alive(s))
    return false;
  if (moved) {
    win::SendMessage(s.hwnd, win::WM_MOVE, 0, MakeLParam(rect.left, rect.top));
    if (!Alive(s))
      return false;
  }
  if (sized || typeChanged)
    SendSize(s, sizeType);
  return Alive(s);
}

bool FollowWidget(Screen& s) {
  ScreenWidget* w = s.widget;
  if (!w || !w->isWindow() || !Alive(s))
    return true;
  if (std::chrono::steady_clock::now() - s.lastApplied < kSettleTime)
    return false;
  const Qt::WindowStates qt = w->windowState();
  const ShowState state = (qt & Qt::WindowMinimized) ? ShowState::Minimized
                          : (qt & (Qt::WindowMaximized | Qt::WindowFullScreen))
                              ? ShowState::Maximized
                              : ShowState::Normal;
  if (state != s.state) {
    switch (state) {
    case ShowState::Minimized:
      Minimize(s);
      return true;
    case ShowState::Maximized:
      if (s.state == ShowState::Normal)
        s.normalRect = s.rect;
      break;
    case ShowState::Normal:
      break;
    }
    s.state = state;
    s.restoreToMaximized = false;
    SetStyleBits(s);
    UpdateDrawable(s);
    if (!Alive(s))
      return true;
  }
  if (s.state == ShowState::Minimized)
    return true;
  gdi::Rect r = ToRect(w->geometry());
  if (s.foreignParent && !s.foreignWindow)
    r = gdi::Offset(r, -s.foreignOrigin.x, -s.foreignOrigin.y);
  SetRect(s, r, s.state == ShowState::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, true, true);
  return true;
}

void DeliverDrops(Screen& s) {
  while (!s.drops.empty() && Alive(s)) {
    DropFiles drop = std::move(s.drops.front());
    s.drops.pop_front();
    win::SendMessage(s.hwnd, win::WM_DROPFILES, reinterpret_cast<WParam>(&drop), 0);
  }
}

LResult Operate(Screen& s, WParam wParam, LParam lParam) {
  switch (static_cast<Operation>(wParam & 0xFF)) {
  case Operation::Show:
    return ShowOwn(s, static_cast<int>(lParam)) ? 1 : 0;
  case Operation::SetPos: {
    int32_t x, y, cx, cy;
    UnpackRect(lParam, x, y, cx, cy);
    const uint32_t flags = static_cast<uint32_t>((wParam >> 8) & 0xFFFFFF);
    const Hwnd after = static_cast<Hwnd>(static_cast<uint64_t>(wParam) >> 32);
    return SetPosOwn(s, after, x, y, cx, cy, flags) ? 1 : 0;
  }
  case Operation::Foreground:
    ForegroundOwn(s);
    return 1;
  case Operation::Origin: {
    const gdi::Point origin = OriginOf(s);
    return PackRect(origin.x, origin.y, 0, 0);
  }
  case Operation::NativeWindow: {
    ScreenWidget* w = s.widget;
    return w ? static_cast<LResult>(w->window()->winId()) : 0;
  }
  case Operation::Invalidate: {
    const bool erase = (wParam & 0x100) != 0;
    if (wParam & 0x200) {
      Invalidate(s, nullptr, erase);
    } else {
      gdi::Rect r;
      UnpackRect(lParam, r.left, r.top, r.right, r.bottom);
      Invalidate(s, &r, erase);
    }
    return 1;
  }
  }
  return 0;
}

} // namespace detail

using namespace detail;

void SetChildHost(ChildHost host) {
  std::lock_guard lock(Host().mu);
  Host().host = std::move(host);
}

// ---- The window object ----

ScreenWindow::~ScreenWindow() {
  // Windows dropped without their messages (their thread ended) still let
  // go of their widgets.
  if (screen_)
    Teardown(*screen_);
}

LResult ScreenWindow::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  return ui::DefWindowProc(GetHwnd(), message, wParam, lParam);
}

LResult ScreenWindow::Default(uint32_t message, WParam wParam, LParam lParam) {
  return ui::DefWindowProc(GetHwnd(), message, wParam, lParam);
}

LResult ScreenWindow::WindowProc(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_NCCREATE:
    if (!Attach(lParam))
      return 0;
    return OnMessage(message, wParam, lParam);
  case win::WM_CREATE: {
    const LResult r = OnMessage(message, wParam, lParam);
    if (r != -1 && screen_)
      AfterCreate(lParam);
    return r;
  }
  case win::WM_DESTROY:
    if (screen_)
      HideForDestroy(*screen_);
    // A dialog or box this window owns ends as cancelled, so that the
    // handler that opened it returns while the object still stands.
    CancelModalsOwnedBy(GetHwnd());
    return OnMessage(message, wParam, lParam);
  case win::WM_NCDESTROY: {
    const LResult r = OnMessage(message, wParam, lParam);
    ForgetKeyed(GetHwnd());
    if (screen_) {
      Teardown(*screen_);
      screen_.reset();
    }
    return r;
  }
  case win::WM_SETTEXT: {
    const LResult r = OnMessage(message, wParam, lParam);
    if (screen_ && screen_->widget && screen_->widget->isWindow())
      screen_->widget->setWindowTitle(
          QString::fromStdString(win::GetWindowText(GetHwnd()).value_or("")));
    return r;
  }
  case kUiPaint:
    if (screen_)
      DeliverPaint(*screen_);
    return 0;
  case kUiSync:
    if (screen_)
      Sync(*screen_);
    return 0;
  case kUiKeyed:
    if (screen_)
      PresentKeyed(*screen_);
    return 0;
  case kUiDrop:
    if (screen_)
      DeliverDrops(*screen_);
    return 0;
  case kUiDumpLater:
    if (screen_) {
      screen_->dumpLater = false;
      if (DumpEnabled())
        DumpNow(*screen_);
    }
    return 0;
  case kUiOperation:
    return screen_ ? Operate(*screen_, wParam, lParam) : 0;
  default:
    return OnMessage(message, wParam, lParam);
  }
}

bool ScreenWindow::Attach(LParam lParam) {
  const win::CreateStruct* cs = win::AsCreateStruct(lParam);
  if (!cs)
    return false;
  std::call_once(resolverInstalled,
                 [] { SetMessageBoxOwnerResolver([](Hwnd h) { return GetWidget(h); }); });
  auto s = std::make_shared<Screen>();
  s->hwnd = GetHwnd();
  s->owner = std::this_thread::get_id();
  s->className = std::string(cs->className);
  if (auto info = ClassInfoOf(cs->className))
    s->classStyle = info->style;
  s->object = this;
  s->parent = cs->parent;
  s->style = cs->style & ~(win::WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
  s->exStyle = cs->exStyle;
  s->acceptFiles = (cs->exStyle & WS_EX_ACCEPTFILES) != 0;

  const gdi::Rect screen = ScreenRect();
  const bool defaultPos = cs->x == CW_USEDEFAULT;
  const bool defaultSize = cs->width == CW_USEDEFAULT;
  int32_t width = defaultSize ? screen.Width() * 3 / 4 : cs->width;
  int32_t height = defaultSize ? screen.Height() * 3 / 4 : cs->height;
  width = std::clamp(width, 0, gdi::kMaxSurfaceSide);
  height = std::clamp(height, 0, gdi::kMaxSurfaceSide);
  const int32_t x = defaultPos ? screen.left + screen.Width() / 8 : cs->x;
  const int32_t y = defaultPos ? screen.top + screen.Height() / 8 : cs->y;
  s->rect = gdi::MakeRect(x, y, width, height);
  s->normalRect = s->rect;
  s->clientSize = gdi::Size{width, height};
  const gdi::Size size = SurfaceSize(width, height);
  s->surface = gdi::Surface::Create(size.cx, size.cy, FillOf(*s));
  if (!s->surface) {
    sys::Warn("ui", "no surface for a window of class %s", s->className.c_str());
    return false;
  }
  s->surface->SetVisible(false);
  win::SetWindowStyle(s->hwnd, s->style);
  {
    auto& table = Screens();
    std::lock_guard lock(table.mu);
    table.screens[s->hwnd] = s;
  }
  Screen* raw = s.get();
  const Hwnd hwnd = s->hwnd;
  s->surface->SetDirtyCallback([raw, hwnd] {
    if (!raw->syncPosted.exchange(true))
      win::PostMessage(hwnd, kUiSync);
  });
  screen_ = s;
  if (OnGuiThread())
    CreateWidget(*s);
  createStyle_ = cs->style;
  return true;
}

void ScreenWindow::AfterCreate(LParam) {
  Screen& s = *screen_;
  s.lastSizeType = SIZE_RESTORED;
  win::SendMessage(s.hwnd, win::WM_SIZE, SIZE_RESTORED,
                   MakeLParam(s.rect.Width(), s.rect.Height()));
  if (!Alive(s))
    return;
  win::SendMessage(s.hwnd, win::WM_MOVE, 0, MakeLParam(s.rect.left, s.rect.top));
  if (!Alive(s))
    return;
  if (createStyle_ & WS_MAXIMIZE)
    Maximize(s);
  else if (createStyle_ & WS_MINIMIZE)
    Minimize(s);
  if (Alive(s) && (createStyle_ & win::WS_VISIBLE))
    ShowOwn(s, SW_SHOW);
}

// ---- Default handling ----

LResult DefWindowProc(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_PAINT: {
    Paint paint(hwnd);
    return 0;
  }
  case win::WM_ERASEBKGND: {
    auto s = FindOwn(hwnd);
    gdi::Dc* dc = AsDc(wParam);
    if (!s || !dc)
      return 0;
    const auto background = ClassBackgroundOf(s->className);
    if (!background)
      return 0;
    dc->FillRect(dc->ClipBox(), *background);
    return 1;
  }
  case win::WM_SETCURSOR: {
    auto s = FindOwn(hwnd);
    if (!s)
      return 0;
    if (IsChild(*s) && s->parent && s->parent != win::kHwndMessage)
      if (win::SendMessage(s->parent, win::WM_SETCURSOR, wParam, lParam))
        return 1;
    if (static_cast<Hwnd>(wParam) == hwnd && static_cast<int>(LowWord(lParam)) == HTCLIENT)
      SetCursor(ClassCursorOf(s->className));
    return 0;
  }
  case win::WM_SYSCOMMAND:
    switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
      ShowWindow(hwnd, SW_MINIMIZE);
      return 0;
    case SC_MAXIMIZE:
      ShowWindow(hwnd, SW_MAXIMIZE);
      return 0;
    case SC_RESTORE:
      ShowWindow(hwnd, SW_RESTORE);
      return 0;
    case SC_CLOSE:
      win::SendMessage(hwnd, win::WM_CLOSE);
      return 0;
    case SC_MOVE:
      if (auto s = FindOwn(hwnd); s && s->widget)
        if (QWindow* handle = s->widget->window()->windowHandle())
          handle->startSystemMove();
      return 0;
    default:
      return 0;
    }
  default:
    return win::DefWindowProc(hwnd, message, wParam, lParam);
  }
}

} // namespace ui
