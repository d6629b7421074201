// Windows on screen: a window of the message layer whose object is a
// ScreenWindow is shown as a Qt widget (top level, pop-up or child, with or
// without a caption) and owns a pixel surface, its client area. Any thread
// may draw on that surface through GetDc at any time; the widget shows what
// was drawn at its next update. The widget's events arrive as the window
// messages (WM_PAINT, WM_SIZE, WM_MOVE, mouse, keys, focus, WM_CLOSE, ...).
//
// Geometry is this layer's own record, changed synchronously by the calls
// below (with their messages) and then handed to Qt. A window's rectangle
// is its client area: decorations that a window manager adds lie outside
// it. Top-level windows are placed in screen coordinates, children in their
// parent's client coordinates.
//
// Widgets can only live on the Qt application's thread. A screen window
// created on another thread, or without a QApplication, has no widget: its
// messages, geometry, painting and surface work all the same, and the dump
// switch shows its image.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/gdi/types.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace ui {

using win::Hwnd;
using win::LParam;
using win::LResult;
using win::WParam;

class Cursor;
using CursorHandle = std::shared_ptr<const Cursor>;

namespace detail {
struct Screen;
}

// Window styles beyond the ones the message layer itself knows.
inline constexpr uint32_t WS_OVERLAPPED = 0x00000000u;
inline constexpr uint32_t WS_MINIMIZE = 0x20000000u;
inline constexpr uint32_t WS_DISABLED = 0x08000000u;
inline constexpr uint32_t WS_MAXIMIZE = 0x01000000u;
inline constexpr uint32_t WS_CAPTION = 0x00C00000u; // a border and a title bar
inline constexpr uint32_t WS_BORDER = 0x00800000u;
inline constexpr uint32_t WS_DLGFRAME = 0x00400000u;
inline constexpr uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr uint32_t WS_OVERLAPPEDWINDOW =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

inline constexpr uint32_t WS_EX_TOPMOST = 0x00000008u;
inline constexpr uint32_t WS_EX_ACCEPTFILES = 0x00000010u;
inline constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080u;
inline constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100u;
inline constexpr uint32_t WS_EX_CLIENTEDGE = 0x00000200u;
// Drawn after its siblings, over what they painted (a stored bit here).
inline constexpr uint32_t WS_EX_TRANSPARENT = 0x00000020u;

// Class styles.
inline constexpr uint32_t CS_VREDRAW = 0x0001; // a height change repaints everything
inline constexpr uint32_t CS_HREDRAW = 0x0002; // a width change repaints everything
inline constexpr uint32_t CS_DBLCLKS = 0x0008; // double clicks arrive as such
inline constexpr uint32_t CS_OWNDC = 0x0020;

// The default position or size at creation.
inline constexpr int32_t CW_USEDEFAULT = INT32_MIN;

// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

// WM_SIZE's wParam.
inline constexpr WParam SIZE_RESTORED = 0;
inline constexpr WParam SIZE_MINIMIZED = 1;
inline constexpr WParam SIZE_MAXIMIZED = 2;

// WM_ACTIVATE's wParam (low word).
inline constexpr WParam WA_INACTIVE = 0;
inline constexpr WParam WA_ACTIVE = 1;

// WM_SYSCOMMAND's wParam (the low four bits carry a hit code).
inline constexpr WParam SC_SIZE = 0xF000;
inline constexpr WParam SC_MOVE = 0xF010;
inline constexpr WParam SC_MINIMIZE = 0xF020;
inline constexpr WParam SC_MAXIMIZE = 0xF030;
inline constexpr WParam SC_CLOSE = 0xF060;
inline constexpr WParam SC_RESTORE = 0xF120;

// SetWindowPos: where in the z-order, and what not to change.
inline constexpr Hwnd HWND_TOP = 0;
inline constexpr Hwnd HWND_BOTTOM = 1;
inline constexpr Hwnd HWND_TOPMOST = 0xFFFFFFFFu;
inline constexpr Hwnd HWND_NOTOPMOST = 0xFFFFFFFEu;
inline constexpr uint32_t SWP_NOSIZE = 0x0001;
inline constexpr uint32_t SWP_NOMOVE = 0x0002;
inline constexpr uint32_t SWP_NOZORDER = 0x0004;
inline constexpr uint32_t SWP_NOREDRAW = 0x0008;
inline constexpr uint32_t SWP_NOACTIVATE = 0x0010;
inline constexpr uint32_t SWP_FRAMECHANGED = 0x0020;
inline constexpr uint32_t SWP_SHOWWINDOW = 0x0040;
inline constexpr uint32_t SWP_HIDEWINDOW = 0x0080;

// What WM_WINDOWPOSCHANGED's lParam points at (valid during the call).
struct WindowPos {
  Hwnd hwnd = 0;
  Hwnd insertAfter = 0;
  int32_t x = 0, y = 0, cx = 0, cy = 0;
  uint32_t flags = 0;
};
inline const WindowPos* AsWindowPos(LParam lParam) {
  return reinterpret_cast<const WindowPos*>(lParam);
}

// What WM_GETMINMAXINFO's lParam points at: the handler may change the
// tracking sizes, which bound the sizes a user gives a top-level window.
struct MinMaxInfo {
  gdi::Point maxSize;
  gdi::Point maxPosition;
  gdi::Point minTrackSize;
  gdi::Point maxTrackSize;
};
inline MinMaxInfo* AsMinMaxInfo(LParam lParam) {
  return reinterpret_cast<MinMaxInfo*>(lParam);
}

// The drawing context of WM_ERASEBKGND's wParam (valid during the call).
inline gdi::Dc* AsDc(WParam wParam) {
  return reinterpret_cast<gdi::Dc*>(wParam);
}

// The object behind a window on screen. Every message passes through this
// layer first (creation and destruction of the widget, private requests)
// and then reaches OnMessage.
class ScreenWindow : public win::Window {
public:
  ~ScreenWindow() override;
  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) final;

protected:
  // Default: ui::DefWindowProc.
  virtual LResult OnMessage(uint32_t message, WParam wParam, LParam lParam);
  LResult Default(uint32_t message, WParam wParam, LParam lParam);

private:
  bool Attach(LParam createStruct);
  void AfterCreate(LParam createStruct);

  std::shared_ptr<detail::Screen> screen_;
  uint32_t createStyle_ = 0;
};

// The default handling of a screen window's messages: WM_PAINT validates,
// WM_ERASEBKGND fills with the class background (1) or, without one, does
// nothing (0), WM_SETCURSOR asks the parent and then shows the class
// cursor, WM_SYSCOMMAND minimises, maximises, restores, closes or starts a
// system move, WM_CLOSE destroys; the rest as win::DefWindowProc.
LResult DefWindowProc(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam);

// A window class with what this layer shows of it. Registered with the
// message layer as well.
struct ScreenClass {
  std::string name;
  uint32_t style = 0; // CS_*
  std::function<std::unique_ptr<ScreenWindow>()> factory;
  CursorHandle cursor; // null: the arrow
  // The colour WM_ERASEBKGND fills with; none: nothing is erased.
  std::optional<gdi::Colour> background;
};
bool RegisterScreenClass(const ScreenClass& screenClass);
// Changes a class's background for its windows from now on; false for a
// class not registered here. The previous one goes to *previous.
bool SetClassBackground(std::string_view className, std::optional<gdi::Colour> background,
                        std::optional<gdi::Colour>* previous = nullptr);
bool SetClassCursor(std::string_view className, CursorHandle cursor);

// True when hwnd is a live screen window of this process.
bool IsScreenWindow(Hwnd hwnd);

// Where the children of a window of this thread that is not a screen window
// put their widgets: host answers that window's widget (a dialog's Qt
// window), or nullptr to leave them windows of their own. The host installed
// last holds; null removes it.
using ChildHost = std::function<QWidget*(Hwnd parent)>;
void SetChildHost(ChildHost host);

// Show, hide, minimise, maximise or restore. Returns whether the window was
// visible before. A maximised top-level window without a caption covers the
// whole screen; one with a caption the screen's work area; a child its
// parent's client area. Safe from any thread (the window's own thread does
// it).
bool ShowWindow(Hwnd hwnd, int command);
// Moves and sizes: client rectangle x, y, width, height. With repaint the
// newly uncovered parts are invalidated.
bool MoveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height,
                bool repaint = true);
// Position, size, z-order (HWND_TOP, HWND_BOTTOM, a sibling to go behind,
// HWND_TOPMOST, HWND_NOTOPMOST) and showing or hiding, as the flags allow.
// Safe from any thread, also for a window of another process.
bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
                  uint32_t flags);
// Raises and activates the window; safe from any thread and process.
bool SetForegroundWindow(Hwnd hwnd);

// True when the window and all its parents are shown.
bool IsWindowVisible(Hwnd hwnd);

// Where a window goes when it is shown normally, and how it shows now
// (SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED; SW_HIDE while
// hidden). The normal rectangle is the window's rectangle while it shows
// normally and the one it had before while it is maximised or minimised,
// in the coordinates of its rectangle (screen, or the parent's client).
struct WindowPlacement {
  int showCommand = SW_SHOWNORMAL;
  gdi::Rect normal;
};
// nullopt for a window that is not a screen window of this thread.
std::optional<WindowPlacement> GetWindowPlacement(Hwnd hwnd);
// Sets the normal rectangle (the window moves there when it shows
// normally), then shows the window with the show command. Owner's thread.
bool SetWindowPlacement(Hwnd hwnd, const WindowPlacement& placement);
bool IsIconic(Hwnd hwnd);
bool IsZoomed(Hwnd hwnd);

// (0, 0, width, height); nullopt for a window that is not a screen window
// of this process. A minimised window keeps its size.
std::optional<gdi::Rect> GetClientRect(Hwnd hwnd);
// The rectangle in screen coordinates.
std::optional<gdi::Rect> GetWindowRect(Hwnd hwnd);
// Converts between the window's client coordinates and screen coordinates.
gdi::Point ClientToScreen(Hwnd hwnd, gdi::Point p);
gdi::Point ScreenToClient(Hwnd hwnd, gdi::Point p);

// Style changes that the widget follows: caption, border, child or top
// level, top-most, tool window, accepting dropped files.
bool SetWindowStyle(Hwnd hwnd, uint32_t style);
bool SetWindowExStyle(Hwnd hwnd, uint32_t exStyle);
uint32_t GetWindowExStyle(Hwnd hwnd);
// A new parent (0 for the desktop); a child's widget goes into the parent's.
// A child of another process's window is placed at that window's place on
// the screen, inside its native window where the window system nests
// windows (X11), else as a window of its own over it.
bool SetParent(Hwnd hwnd, Hwnd parent);
// The title, also in the widget's title bar.
bool SetWindowText(Hwnd hwnd, std::string_view title);

// The screen's rectangle and the part not taken by panels.
gdi::Rect ScreenRect();
gdi::Rect WorkArea();

// A drawing context on the window's client area, for any thread; nullopt for
// a window that is not a screen window of this process. Drawing through it
// does nothing while the window is hidden and fails once it is destroyed.
// Each context starts in the default state (CS_OWNDC keeps no context
// between calls).
std::optional<gdi::Dc> GetDc(Hwnd hwnd);

// The window's widget (window's thread only); nullptr without one.
QWidget* GetWidget(Hwnd hwnd);

// With the dump switch (gdi::kDumpDirVariable) set, writes the window's
// current image as <folder>/<class>-<handle>.png. Windows also dump
// themselves after their updates, at most a few times a second, and when
// they are hidden or destroyed. False when the switch is unset.
bool DumpWindow(Hwnd hwnd);
// The file name (without folder) DumpWindow writes for a window.
std::string DumpName(Hwnd hwnd);

} // namespace ui
