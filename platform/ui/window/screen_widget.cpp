// The widget of a screen window: paints the window's surface and turns the
// widget's Qt events into the window's messages.
#include "platform/gdi/surface_impl.h"
#include "platform/sys/log.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/screen_internal.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cstring>
#include <QPixmap>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <exception>

namespace ui::detail {

namespace {

gdi::Point PointOf(const QPointF& p) {
  return gdi::Point{static_cast<int32_t>(std::floor(p.x())),
                    static_cast<int32_t>(std::floor(p.y()))};
}

// Input reaches its window as posted input does: past the thread's message
// filters first (a host's loop, accelerators); false when one consumed it.
bool Deliver(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam) {
  win::Msg msg{hwnd, message, wParam, lParam, static_cast<uint32_t>(win::TimerNowMs())};
  if (win::PassMessageFilters(msg))
    return false;
  win::SendMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  return true;
}

Hwnd HwndOf(QWidget* w) {
  auto* sw = dynamic_cast<ScreenWidget*>(w);
  return sw ? sw->GetHwnd() : 0;
}

} // namespace

std::vector<std::string> LocalPaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (!mime || !mime->hasUrls())
    return paths;
  for (const QUrl& url : mime->urls()) {
    if (paths.size() >= kMaxDroppedFiles)
      break;
    if (url.isLocalFile())
      paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

ScreenWidget::ScreenWidget(Hwnd hwnd, std::shared_ptr<gdi::Surface> surface)
    : hwnd_(hwnd), surface_(std::move(surface)) {
  // The surface covers every pixel: nothing to clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  cursorTimer_.setSingleShot(true);
  QObject::connect(&cursorTimer_, &QTimer::timeout, this, [this] { NextCursorFrame(); });
  settleTimer_.setSingleShot(true);
  QObject::connect(&settleTimer_, &QTimer::timeout, this, [this] {
    if (detached_)
      return;
    auto s = FindOwn(hwnd_);
    if (s && !FollowWidget(*s))
      settleTimer_.start(static_cast<int>(kSettleTime.count()));
  });
}

ScreenWidget::~ScreenWidget() = default;

void ScreenWidget::Detach() {
  detached_ = true;
  cursorTimer_.stop();
  settleTimer_.stop();
}

// The window system moved, sized or changed the state of the window, or
// reported a change this layer made; the record follows once the reports
// stop coming. Children are placed by this layer alone.
void ScreenWidget::ReportedByQt() {
  if (!isWindow())
    return;
  auto s = FindOwn(hwnd_);
  if (!s || s->destroying || s->applying)
    return;
  settleTimer_.start(static_cast<int>(kSettleTime.count()));
}

bool ScreenWidget::event(QEvent* event) {
  if (detached_) {
    // Input of a window that is gone goes nowhere.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      event->ignore();
      return true;
    default:
      return QWidget::event(event);
    }
  }
  ++eventDepth_;
  // Handled events end here; the others go on to Qt after their message.
  enum { kHandled, kRefused, kQt } outcome = kHandled;
  try {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      Mouse(event);
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      Key(event);
      break;
    case QEvent::Close:
      // The window decides: its default handling of the close command ends
      // in DestroyWindow, which takes the widget away.
      win::SendMessage(hwnd_, win::WM_SYSCOMMAND, SC_CLOSE, 0);
      outcome = kRefused;
      break;
    default:
      outcome = kQt;
      Dispatch(event);
      break;
    }
  } catch (const std::exception& e) {
    sys::Warn("ui", "window %08x failed on a Qt event: %s", hwnd_, e.what());
  } catch (...) {
    sys::Warn("ui", "window %08x failed on a Qt event", hwnd_);
  }
  --eventDepth_;
  switch (outcome) {
  case kHandled:
    event->accept();
    return true;
  case kRefused:
    event->ignore();
    return true;
  case kQt:
    break;
  }
  return QWidget::event(event);
}

// Events that become messages and are then left to Qt as well.
void ScreenWidget::Dispatch(QEvent* event) {
  switch (event->type()) {
  case QEvent::FocusIn: {
    std::atomic<Hwnd>& focus = FocusSlot();
    if (focus == hwnd_)
      return;
    const Hwnd previous = focus.exchange(hwnd_);
    win::SendMessage(hwnd_, win::WM_SETFOCUS, previous, 0);
    return;
  }
  case QEvent::FocusOut: {
    std::atomic<Hwnd>& focus = FocusSlot();
    if (focus != hwnd_)
      return;
    Hwnd next = HwndOf(QApplication::focusWidget());
    if (next == hwnd_)
      next = 0;
    if (!next)
      focus = 0;
    win::SendMessage(hwnd_, win::WM_KILLFOCUS, next, 0);
    return;
  }
  case QEvent::WindowActivate:
  case QEvent::WindowDeactivate:
    if (isWindow())
      win::SendMessage(hwnd_, win::WM_ACTIVATE,
                       event->type() == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE, 0);
    return;
  case QEvent::Resize:
  case QEvent::Move:
  case QEvent::WindowStateChange:
    ReportedByQt();
    return;
  case QEvent::DragEnter:
  case QEvent::DragMove: {
    auto* drag = static_cast<QDragMoveEvent*>(event);
    auto s = FindOwn(hwnd_);
    if (s && s->acceptFiles && !LocalPaths(drag->mimeData()).empty())
      drag->acceptProposedAction();
    else
      drag->ignore();
    return;
  }
  case QEvent::Drop: {
    auto* drop = static_cast<QDropEvent*>(event);
    auto s = FindOwn(hwnd_);
    if (!s || !s->acceptFiles)
      return;
    DropFiles files{LocalPaths(drop->mimeData()), PointOf(drop->position())};
    if (files.paths.empty())
      return;
    drop->acceptProposedAction();
    s->drops.push_back(std::move(files));
    win::PostMessage(hwnd_, kUiDrop);
    return;
  }
  case QEvent::Enter:
    NoteMouseWindow(hwnd_);
    return;
  default:
    return;
  }
}

void ScreenWidget::Mouse(QEvent* event) {
  auto* me = static_cast<QMouseEvent*>(event);
  NoteModifiers(me->modifiers());
  NoteButtons(me->buttons());
  Hwnd target = hwnd_;
  gdi::Point p = PointOf(me->position());
  const Hwnd capture = GetCapture();
  if (capture && capture != hwnd_ && IsScreenWindow(capture)) {
    target = capture;
    p = ScreenToClient(capture, ClientToScreen(hwnd_, p));
  }
  auto s = FindOwn(target);
  if (!s)
    return;
  uint32_t message = 0;
  if (event->type() == QEvent::MouseMove) {
    message = win::WM_MOUSEMOVE;
  } else {
    uint32_t down = 0;
    switch (me->button()) {
    case Qt::LeftButton:
      down = win::WM_LBUTTONDOWN;
      break;
    case Qt::RightButton:
      down = win::WM_RBUTTONDOWN;
      break;
    case Qt::MiddleButton:
      down = WM_MBUTTONDOWN;
      break;
    default:
      return;
    }
    // Each button's messages are down, up, double click: consecutive.
    if (event->type() == QEvent::MouseButtonRelease)
      message = down + 1;
    else if (event->type() == QEvent::MouseButtonDblClick && (s->classStyle & CS_DBLCLKS))
      message = down + 2;
    else
      message = down;
  }
  const bool down = message != win::WM_MOUSEMOVE && (message - win::WM_LBUTTONDOWN) % 3 != 1;
  if (!capture) {
    NoteMouseWindow(target);
    if (message == win::WM_MOUSEMOVE || down)
      win::SendMessage(target, win::WM_SETCURSOR, target, MakeLParam(HTCLIENT, message));
  }
  Deliver(target, message, MouseFlags(me->buttons(), me->modifiers()), MakeLParam(p.x, p.y));
}

void ScreenWidget::Key(QEvent* event) {
  auto* ke = static_cast<QKeyEvent*>(event);
  NoteModifiers(ke->modifiers());
  const bool press = event->type() == QEvent::KeyPress;
  const uint32_t vk = VirtualKeyOf(ke->key(), ke->modifiers());
  const bool alt = (ke->modifiers() & Qt::AltModifier) != 0;
  const uint32_t native = ke->nativeScanCode();
  // X11 key codes are the PC scan codes moved up by 8.
  const uint32_t scan = native > 8 ? (native - 8) & 0xFF : 0;
  const LParam lParam =
      KeyLParam(1, scan, IsExtendedKey(vk), alt, !press || ke->isAutoRepeat(), !press);
  if (vk) {
    // A held key repeats as presses alone.
    if (!press && ke->isAutoRepeat())
      return;
    NoteKey(vk, press);
    // A key a filter consumed (an accelerator) gives no characters either.
    if (!Deliver(hwnd_, press ? win::WM_KEYDOWN : win::WM_KEYUP, vk, lParam))
      return;
  }
  if (!press || vk == VK_DELETE)
    return;
  for (char32_t c : ke->text().toStdU32String())
    Deliver(hwnd_, win::WM_CHAR, static_cast<WParam>(c), lParam);
}

bool ScreenWidget::RefreshShadow() {
  auto& impl = surface_->Internals();
  std::lock_guard lock(impl.mutex);
  if (impl.image.isNull())
    return false;
  if (!shadowKept_ || shadow_.size() != impl.image.size() ||
      shadow_.format() != impl.image.format() || impl.image.depth() != 32) {
    shadow_ = impl.image.copy();
    shadowKept_ = true;
    stale_ = {};
    return true;
  }
  const QRect r = stale_ & shadow_.rect();
  stale_ = {};
  for (int y = r.top(); y <= r.bottom(); ++y)
    std::memcpy(shadow_.scanLine(y) + r.left() * 4, impl.image.constScanLine(y) + r.left() * 4,
                static_cast<size_t>(r.width()) * 4);
  return true;
}

void ScreenWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  auto& impl = surface_->Internals();
  const QRect wanted = event->rect();
  QRect shown;
  auto s = detached_ ? nullptr : FindOwn(hwnd_);
  if (s && KeyedReaches(*s)) {
    // What was drawn and not yet taken over joins the stale area first.
    Sync(*s);
    if (RefreshShadow()) {
      shown = wanted & shadow_.rect();
      if (!shown.isEmpty()) {
        if (composed_.size() != shown.size() || composed_.format() != shadow_.format())
          composed_ = QImage(shown.size(), shadow_.format());
        const size_t bytes = static_cast<size_t>(shown.width()) * (shadow_.depth() / 8);
        for (int y = 0; y < shown.height(); ++y)
          std::memcpy(composed_.scanLine(y),
                      shadow_.constScanLine(shown.top() + y) + shown.left() * (shadow_.depth() / 8),
                      bytes);
        DrawKeyed(painter, *s, composed_, shown);
      }
    }
  } else {
    shadowKept_ = false;
    std::lock_guard lock(impl.mutex);
    shown = wanted & impl.image.rect();
    if (!shown.isEmpty())
      painter.drawImage(shown.topLeft(), impl.image, shown);
  }
  // A widget larger than its surface (the window manager sized it before
  // the window heard of it) shows black beyond.
  if (shown != wanted) {
    QRegion rest(wanted);
    rest -= QRegion(shown);
    for (const QRect& r : rest)
      painter.fillRect(r, Qt::black);
  }
}

void ScreenWidget::ShowCursor(const CursorHandle& cursor) {
  cursorTimer_.stop();
  cursor_ = cursor;
  cursorFrame_ = 0;
  if (!cursor) {
    setCursor(Qt::BlankCursor);
    return;
  }
  const Cursor::Impl& c = cursor->Internals();
  if (c.frames.empty()) {
    setCursor(c.shape);
    return;
  }
  setCursor(QCursor(QPixmap::fromImage(c.frames[0]), c.hotspots[0].x, c.hotspots[0].y));
  if (c.frames.size() > 1)
    cursorTimer_.start(static_cast<int>(c.frameMs[0]));
}

void ScreenWidget::NextCursorFrame() {
  if (!cursor_ || detached_)
    return;
  const Cursor::Impl& c = cursor_->Internals();
  if (c.frames.size() < 2)
    return;
  cursorFrame_ = (cursorFrame_ + 1) % c.frames.size();
  const size_t i = cursorFrame_;
  setCursor(QCursor(QPixmap::fromImage(c.frames[i]), c.hotspots[i].x, c.hotspots[i].y));
  cursorTimer_.start(static_cast<int>(c.frameMs[i]));
}

} // namespace ui::detail
