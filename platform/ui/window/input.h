// Mouse and keyboard input of screen windows: the message numbers and
// parameters the widgets' events become, the state of keys and buttons as
// of the message being handled, mouse capture and keyboard focus.
//
// Mouse messages: wParam holds the MK_ flags of the buttons and keys down,
// lParam the client coordinates (x in the low 16 bits, y in the next 16,
// each signed). Key messages: wParam the virtual-key code, lParam the
// repeat count in bits 0-15, the scan code in 16-23, the extended-key bit
// 24, Alt held in 29, the previous key state in 30 and the transition (set
// for a release) in 31. WM_CHAR: wParam the character's Unicode code point.
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <cstdint>

namespace ui {

inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;

// Buttons and keys down, in a mouse message's wParam.
inline constexpr win::WParam MK_LBUTTON = 0x0001;
inline constexpr win::WParam MK_RBUTTON = 0x0002;
inline constexpr win::WParam MK_SHIFT = 0x0004;
inline constexpr win::WParam MK_CONTROL = 0x0008;
inline constexpr win::WParam MK_MBUTTON = 0x0010;

// WM_SETCURSOR's hit code (low word of lParam; the mouse message is in the
// high word) and the caption's, which a system move carries.
inline constexpr int HTCLIENT = 1;
inline constexpr int HTCAPTION = 2;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes.
inline constexpr uint32_t VK_LBUTTON = 0x01;
inline constexpr uint32_t VK_RBUTTON = 0x02;
inline constexpr uint32_t VK_CANCEL = 0x03;
inline constexpr uint32_t VK_MBUTTON = 0x04;
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_CLEAR = 0x0C;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_CONTROL = 0x11;
inline constexpr uint32_t VK_MENU = 0x12; // Alt
inline constexpr uint32_t VK_PAUSE = 0x13;
inline constexpr uint32_t VK_CAPITAL = 0x14;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t VK_PRIOR = 0x21; // Page Up
inline constexpr uint32_t VK_NEXT = 0x22;  // Page Down
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;
inline constexpr uint32_t VK_SNAPSHOT = 0x2C;
inline constexpr uint32_t VK_INSERT = 0x2D;
inline constexpr uint32_t VK_DELETE = 0x2E;
inline constexpr uint32_t VK_HELP = 0x2F;
inline constexpr uint32_t VK_LWIN = 0x5B;
inline constexpr uint32_t VK_RWIN = 0x5C;
inline constexpr uint32_t VK_APPS = 0x5D;
inline constexpr uint32_t VK_NUMPAD0 = 0x60; // to VK_NUMPAD9 = 0x69
inline constexpr uint32_t VK_MULTIPLY = 0x6A;
inline constexpr uint32_t VK_ADD = 0x6B;
inline constexpr uint32_t VK_SEPARATOR = 0x6C;
inline constexpr uint32_t VK_SUBTRACT = 0x6D;
inline constexpr uint32_t VK_DECIMAL = 0x6E;
inline constexpr uint32_t VK_DIVIDE = 0x6F;
inline constexpr uint32_t VK_F1 = 0x70; // to VK_F24 = 0x87
inline constexpr uint32_t VK_F5 = 0x74;
inline constexpr uint32_t VK_F10 = 0x79;
inline constexpr uint32_t VK_F12 = 0x7B;
inline constexpr uint32_t VK_NUMLOCK = 0x90;
inline constexpr uint32_t VK_SCROLL = 0x91;
inline constexpr uint32_t VK_OEM_1 = 0xBA; // ;:
inline constexpr uint32_t VK_OEM_PLUS = 0xBB;
inline constexpr uint32_t VK_OEM_COMMA = 0xBC;
inline constexpr uint32_t VK_OEM_MINUS = 0xBD;
inline constexpr uint32_t VK_OEM_PERIOD = 0xBE;
inline constexpr uint32_t VK_OEM_2 = 0xBF; // /?
inline constexpr uint32_t VK_OEM_3 = 0xC0; // `~
inline constexpr uint32_t VK_OEM_4 = 0xDB; // [{
inline constexpr uint32_t VK_OEM_5 = 0xDC; // \|
inline constexpr uint32_t VK_OEM_6 = 0xDD; // ]}
inline constexpr uint32_t VK_OEM_7 = 0xDE; // '"

// Key flags in the high half of a key message's lParam.
inline constexpr uint32_t KF_EXTENDED = 0x0100;
inline constexpr uint32_t KF_ALTDOWN = 0x2000;
inline constexpr uint32_t KF_REPEAT = 0x4000;
inline constexpr uint32_t KF_UP = 0x8000;

inline constexpr win::LParam MakeLParam(int32_t low, int32_t high) {
  return static_cast<win::LParam>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                                  (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16));
}
inline constexpr win::WParam MakeWParam(uint32_t low, uint32_t high) {
  return static_cast<win::WParam>((low & 0xFFFF) | ((high & 0xFFFF) << 16));
}
inline constexpr uint32_t LowWord(uintptr_t v) {
  return static_cast<uint32_t>(v & 0xFFFF);
}
inline constexpr uint32_t HighWord(uintptr_t v) {
  return static_cast<uint32_t>((v >> 16) & 0xFFFF);
}
// The signed coordinates of a mouse message's lParam.
inline constexpr int32_t XOfLParam(win::LParam l) {
  return static_cast<int16_t>(static_cast<uint16_t>(l & 0xFFFF));
}
inline constexpr int32_t YOfLParam(win::LParam l) {
  return static_cast<int16_t>(static_cast<uint16_t>((l >> 16) & 0xFFFF));
}
inline constexpr gdi::Point PointOfLParam(win::LParam l) {
  return gdi::Point{XOfLParam(l), YOfLParam(l)};
}

// The state of a key or mouse button as of the input message being handled:
// negative while down; the low bit tells whether a toggle key is on.
int16_t GetKeyState(uint32_t virtualKey);

// Mouse messages go to the capturing window wherever the mouse is, in that
// window's client coordinates. Returns the previous capture.
win::Hwnd SetCapture(win::Hwnd hwnd);
bool ReleaseCapture();
win::Hwnd GetCapture();

// Keyboard focus: WM_KILLFOCUS to the old window, WM_SETFOCUS to the new.
// Returns the previous focus window.
win::Hwnd SetFocus(win::Hwnd hwnd);
win::Hwnd GetFocus();

// The mouse position in screen coordinates.
gdi::Point GetCursorPos();
// The longest time between the clicks of a double click, in milliseconds.
uint32_t GetDoubleClickTime();

} // namespace ui
