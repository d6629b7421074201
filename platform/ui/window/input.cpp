// The input state behind GetKeyState, mouse capture, keyboard focus, and
// the virtual-key codes of Qt's keys.
#include "platform/ui/window/input.h"

#include "platform/ui/window/screen_internal.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>

#include <bitset>

namespace ui {

namespace detail {
namespace {

struct InputState {
  std::mutex mu;
  Qt::KeyboardModifiers modifiers;
  Qt::MouseButtons buttons;
  std::bitset<256> keys;
};
InputState& Input() {
  static InputState* state = new InputState;
  return *state;
}

std::atomic<Hwnd> captureWindow{0};
std::atomic<Hwnd> mouseWindow{0};

// Platforms that show nothing to anyone grab nothing either (and say so).
bool CanGrabMouse() {
  const QString platform = QGuiApplication::platformName();
  return platform != "offscreen" && platform != "minimal";
}

} // namespace

std::atomic<Hwnd>& FocusSlot() {
  static std::atomic<Hwnd> focus{0};
  return focus;
}

void NoteModifiers(Qt::KeyboardModifiers modifiers) {
  auto& in = Input();
  std::lock_guard lock(in.mu);
  in.modifiers = modifiers;
}

void NoteButtons(Qt::MouseButtons buttons) {
  auto& in = Input();
  std::lock_guard lock(in.mu);
  in.buttons = buttons;
}

void NoteKey(uint32_t virtualKey, bool down) {
  auto& in = Input();
  std::lock_guard lock(in.mu);
  in.keys.set(virtualKey & 0xFF, down);
}

WParam MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  WParam flags = 0;
  if (buttons & Qt::LeftButton)
    flags |= MK_LBUTTON;
  if (buttons & Qt::RightButton)
    flags |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton)
    flags |= MK_MBUTTON;
  if (modifiers & Qt::ShiftModifier)
    flags |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier)
    flags |= MK_CONTROL;
  return flags;
}

Hwnd MouseWindow() {
  return mouseWindow;
}

void NoteMouseWindow(Hwnd hwnd) {
  mouseWindow = hwnd;
}

void ForgetInput(Hwnd hwnd) {
  Hwnd h = hwnd;
  captureWindow.compare_exchange_strong(h, 0);
  h = hwnd;
  FocusSlot().compare_exchange_strong(h, 0);
  h = hwnd;
  mouseWindow.compare_exchange_strong(h, 0);
}

uint32_t VirtualKeyOf(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
      return VK_NUMPAD0 + static_cast<uint32_t>(key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Asterisk:
      return VK_MULTIPLY;
    case Qt::Key_Plus:
      return VK_ADD;
    case Qt::Key_Minus:
      return VK_SUBTRACT;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return VK_DECIMAL;
    case Qt::Key_Slash:
      return VK_DIVIDE;
    default:
      break;
    }
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return 'A' + static_cast<uint32_t>(key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9)
    return '0' + static_cast<uint32_t>(key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
    return VK_F1 + static_cast<uint32_t>(key - Qt::Key_F1);
  switch (key) {
  // Shifted digits of the US layout are the digit keys.
  case Qt::Key_Exclam:
    return '1';
  case Qt::Key_At:
    return '2';
  case Qt::Key_NumberSign:
    return '3';
  case Qt::Key_Dollar:
    return '4';
  case Qt::Key_Percent:
    return '5';
  case Qt::Key_AsciiCircum:
    return '6';
  case Qt::Key_Ampersand:
    return '7';
  case Qt::Key_Asterisk:
    return '8';
  case Qt::Key_ParenLeft:
    return '9';
  case Qt::Key_ParenRight:
    return '0';
  case Qt::Key_Space:
    return VK_SPACE;
  case Qt::Key_Semicolon:
  case Qt::Key_Colon:
    return VK_OEM_1;
  case Qt::Key_Equal:
  case Qt::Key_Plus:
    return VK_OEM_PLUS;
  case Qt::Key_Comma:
  case Qt::Key_Less:
    return VK_OEM_COMMA;
  case Qt::Key_Minus:
  case Qt::Key_Underscore:
    return VK_OEM_MINUS;
  case Qt::Key_Period:
  case Qt::Key_Greater:
    return VK_OEM_PERIOD;
  case Qt::Key_Slash:
  case Qt::Key_Question:
    return VK_OEM_2;
  case Qt::Key_QuoteLeft:
  case Qt::Key_AsciiTilde:
    return VK_OEM_3;
  case Qt::Key_BracketLeft:
  case Qt::Key_BraceLeft:
    return VK_OEM_4;
  case Qt::Key_Backslash:
  case Qt::Key_Bar:
    return VK_OEM_5;
  case Qt::Key_BracketRight:
  case Qt::Key_BraceRight:
    return VK_OEM_6;
  case Qt::Key_Apostrophe:
  case Qt::Key_QuoteDbl:
    return VK_OEM_7;
  case Qt::Key_Escape:
    return VK_ESCAPE;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return VK_TAB;
  case Qt::Key_Backspace:
    return VK_BACK;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return VK_RETURN;
  case Qt::Key_Insert:
    return VK_INSERT;
  case Qt::Key_Delete:
    return VK_DELETE;
  case Qt::Key_Pause:
    return VK_PAUSE;
  case Qt::Key_Print:
  case Qt::Key_SysReq:
    return VK_SNAPSHOT;
  case Qt::Key_Clear:
    return VK_CLEAR;
  case Qt::Key_Home:
    return VK_HOME;
  case Qt::Key_End:
    return VK_END;
  case Qt::Key_Left:
    return VK_LEFT;
  case Qt::Key_Up:
    return VK_UP;
  case Qt::Key_Right:
    return VK_RIGHT;
  case Qt::Key_Down:
    return VK_DOWN;
  case Qt::Key_PageUp:
    return VK_PRIOR;
  case Qt::Key_PageDown:
    return VK_NEXT;
  case Qt::Key_Shift:
    return VK_SHIFT;
  case Qt::Key_Control:
    return VK_CONTROL;
  case Qt::Key_Alt:
  case Qt::Key_AltGr:
    return VK_MENU;
  case Qt::Key_Meta:
  case Qt::Key_Super_L:
    return VK_LWIN;
  case Qt::Key_Super_R:
    return VK_RWIN;
  case Qt::Key_Menu:
    return VK_APPS;
  case Qt::Key_CapsLock:
    return VK_CAPITAL;
  case Qt::Key_NumLock:
    return VK_NUMLOCK;
  case Qt::Key_ScrollLock:
    return VK_SCROLL;
  case Qt::Key_Help:
    return VK_HELP;
  case Qt::Key_Cancel:
    return VK_CANCEL;
  default:
    return 0;
  }
}

bool IsExtendedKey(uint32_t vk) {
  switch (vk) {
  case VK_INSERT:
  case VK_DELETE:
  case VK_HOME:
  case VK_END:
  case VK_PRIOR:
  case VK_NEXT:
  case VK_LEFT:
  case VK_UP:
  case VK_RIGHT:
  case VK_DOWN:
  case VK_DIVIDE:
  case VK_NUMLOCK:
  case VK_SNAPSHOT:
  case VK_LWIN:
  case VK_RWIN:
  case VK_APPS:
    return true;
  default:
    return false;
  }
}

LParam KeyLParam(uint32_t repeat, uint32_t scanCode, bool extended, bool alt, bool wasDown,
                 bool up) {
  uint32_t v = (repeat & 0xFFFF) | ((scanCode & 0xFF) << 16);
  if (extended)
    v |= uint32_t{KF_EXTENDED} << 16;
  if (alt)
    v |= uint32_t{KF_ALTDOWN} << 16;
  if (wasDown)
    v |= uint32_t{KF_REPEAT} << 16;
  if (up)
    v |= uint32_t{KF_UP} << 16;
  return static_cast<LParam>(v);
}

} // namespace detail

using namespace detail;

int16_t GetKeyState(uint32_t virtualKey) {
  auto& in = Input();
  std::lock_guard lock(in.mu);
  bool down = false;
  switch (virtualKey) {
  case VK_SHIFT:
    down = (in.modifiers & Qt::ShiftModifier) != 0;
    break;
  case VK_CONTROL:
    down = (in.modifiers & Qt::ControlModifier) != 0;
    break;
  case VK_MENU:
    down = (in.modifiers & Qt::AltModifier) != 0;
    break;
  case VK_LBUTTON:
    down = (in.buttons & Qt::LeftButton) != 0;
    break;
  case VK_RBUTTON:
    down = (in.buttons & Qt::RightButton) != 0;
    break;
  case VK_MBUTTON:
    down = (in.buttons & Qt::MiddleButton) != 0;
    break;
  default:
    down = virtualKey < 256 && in.keys.test(virtualKey);
    break;
  }
  return down ? static_cast<int16_t>(0x8000) : 0;
}

Hwnd SetCapture(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  if (!s)
    return 0;
  const Hwnd previous = captureWindow.exchange(hwnd);
  if (previous && previous != hwnd)
    if (auto p = FindOwn(previous); p && p->widget && CanGrabMouse())
      p->widget->releaseMouse();
  if (s->widget && s->widget->isVisible() && CanGrabMouse())
    s->widget->grabMouse();
  return previous;
}

bool ReleaseCapture() {
  const Hwnd previous = captureWindow.exchange(0);
  if (auto p = FindOwn(previous); p && p->widget && CanGrabMouse())
    p->widget->releaseMouse();
  return true;
}

Hwnd GetCapture() {
  return captureWindow;
}

Hwnd SetFocus(Hwnd hwnd) {
  std::atomic<Hwnd>& focus = FocusSlot();
  const Hwnd previous = focus;
  if (hwnd == previous)
    return previous;
  if (hwnd) {
    auto s = FindOwn(hwnd);
    if (!s || s->destroying)
      return 0;
    if (s->widget)
      s->widget->setFocus(Qt::OtherFocusReason);
  } else if (auto p = FindOwn(previous); p && p->widget) {
    p->widget->clearFocus();
  }
  // Qt tells only an active window of focus changes; otherwise the change
  // is made here, with the same messages.
  const Hwnd now = focus;
  if (now != hwnd) {
    focus = hwnd;
    if (now && win::IsWindow(now))
      win::SendMessage(now, win::WM_KILLFOCUS, hwnd, 0);
    if (hwnd && focus == hwnd)
      win::SendMessage(hwnd, win::WM_SETFOCUS, now ? now : previous, 0);
  }
  return previous;
}

Hwnd GetFocus() {
  return FocusSlot();
}

gdi::Point GetCursorPos() {
  if (OnGuiThread()) {
    const QPoint p = QCursor::pos();
    return gdi::Point{p.x(), p.y()};
  }
  return gdi::Point{};
}

uint32_t GetDoubleClickTime() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()))
    return static_cast<uint32_t>(QApplication::doubleClickInterval());
  return 500;
}

} // namespace ui
