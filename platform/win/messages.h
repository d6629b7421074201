// Window-message numbers and the records that travel with them. The numbers
// are the ones the suite's processes exchange, so they keep their values.
#pragma once

#include <cstdint>
#include <string_view>

namespace win {

// A window handle: 32 bits, unique across the processes of one user session,
// never 0 for a live window. Fits in a 32-bit record field or in lParam.
using Hwnd = uint32_t;
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

// The parent that makes a window message-only: never shown, found only by a
// search under this parent.
inline constexpr Hwnd kHwndMessage = 0xFFFFFFFDu;

inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_ACTIVATE = 0x0006;
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t WM_SETTEXT = 0x000C;
inline constexpr uint32_t WM_GETTEXT = 0x000D;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr uint32_t WM_SETCURSOR = 0x0020;
inline constexpr uint32_t WM_GETMINMAXINFO = 0x0024;
inline constexpr uint32_t WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr uint32_t WM_COPYDATA = 0x004A;
inline constexpr uint32_t WM_NCCREATE = 0x0081;
inline constexpr uint32_t WM_NCDESTROY = 0x0082;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr uint32_t WM_DROPFILES = 0x0233;
inline constexpr uint32_t WM_QUERYNEWPALETTE = 0x030F;
inline constexpr uint32_t WM_PALETTECHANGED = 0x0311;
inline constexpr uint32_t MM_MCINOTIFY = 0x03B9;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_APP = 0x8000;

// Window style bits that this layer itself looks at or keeps for the
// on-screen layer.
inline constexpr uint32_t WS_POPUP = 0x80000000u;
inline constexpr uint32_t WS_CHILD = 0x40000000u;
inline constexpr uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000u;
inline constexpr uint32_t WS_CLIPCHILDREN = 0x02000000u;

// One message as a loop sees it: posted messages and timer ticks.
struct Msg {
  Hwnd hwnd = 0;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  uint32_t time = 0; // timer clock, milliseconds
};

// What WM_COPYDATA's lParam points at: a kind, and bytes that stay valid
// only during the call. wParam is the sending window.
struct CopyData {
  uintptr_t kind = 0;
  uint32_t size = 0;
  const void* data = nullptr;
};

// The largest WM_COPYDATA payload; larger sends are refused.
inline constexpr uint32_t kMaxCopyDataSize = 16u << 20;

// What WM_NCCREATE's and WM_CREATE's lParam points at.
struct CreateStruct {
  LParam createParam = 0;
  Hwnd parent = 0;
  uint32_t id = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;
  std::string_view className;
  std::string_view title;
};

inline const CopyData* AsCopyData(LParam lParam) {
  return reinterpret_cast<const CopyData*>(lParam);
}
inline const CreateStruct* AsCreateStruct(LParam lParam) {
  return reinterpret_cast<const CreateStruct*>(lParam);
}

} // namespace win
