// Windows: classes registered by name, windows created by class name with an
// object that handles their messages, parents and children, titles, and the
// search for a window by class and title in this or any other process of the
// session.
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win {

// The object behind a window. Messages reach it on the thread that created
// the window. An object that a class factory made belongs to its window and
// is deleted after WM_NCDESTROY, once no call into it is running any more.
class Window {
public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window() = default;

  virtual LResult WindowProc(uint32_t message, WParam wParam, LParam lParam);
  // Called after WM_NCDESTROY on an object that the creator attached (not
  // one that a factory made); the window is gone, the object may delete
  // itself here.
  virtual void Detached() {}

  Hwnd GetHwnd() const { return hwnd_; }

private:
  friend struct WindowAccess;
  Hwnd hwnd_ = 0;
};

// The default handling of a message: TRUE for WM_NCCREATE, DestroyWindow for
// WM_CLOSE, 0 for everything else.
LResult DefWindowProc(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam);

using WindowFactory = std::function<std::unique_ptr<Window>()>;

struct WindowClass {
  std::string name; // compared without regard to ASCII case
  uint32_t style = 0;
  WindowFactory factory;
};

// False when the name is empty, has no factory, or is already registered in
// this process. Classes are process-wide: any library may create them.
bool RegisterClass(const WindowClass& windowClass);
bool UnregisterClass(std::string_view name);
bool IsClassRegistered(std::string_view name);

struct CreateParams {
  std::string className;
  std::string title;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  Hwnd parent = 0; // 0 top level, kHwndMessage message-only, else a window
  uint32_t id = 0; // a child's control id
  int32_t x = 0, y = 0, width = 0, height = 0;
  LParam createParam = 0;
  // Handles the window instead of an object from the class factory; not
  // owned (see Window::Detached).
  Window* object = nullptr;
};

// Creates the window on the calling thread: WM_NCCREATE (0 fails the
// creation), then WM_CREATE (-1 destroys the window again). 0 on failure:
// unknown class, dead parent, or no runtime folder for the session.
Hwnd CreateWindow(const CreateParams& params);

// Destroys a window of the calling thread and its children on this thread:
// WM_DESTROY parent first, WM_NCDESTROY children first. False for a dead
// handle, a window of another thread, or one already being destroyed.
bool DestroyWindow(Hwnd hwnd);

// True while the window exists, whichever process owns it.
bool IsWindow(Hwnd hwnd);

// The object of a window of the calling thread, else nullptr.
Window* GetWindowObject(Hwnd hwnd);

// Queries that work for a window of any process; empty or 0 for a dead one.
std::optional<std::string> GetWindowText(Hwnd hwnd);
std::optional<std::string> GetClassName(Hwnd hwnd);
Hwnd GetParent(Hwnd hwnd);
// The process owning a window, 0 for a dead one.
uint32_t GetWindowProcessId(Hwnd hwnd);

// Changes the title of a window of this process.
bool SetWindowText(Hwnd hwnd, std::string_view title);
// The control id and style given at creation (windows of this process).
uint32_t GetDlgCtrlId(Hwnd hwnd);
// Gives a window of this process another control id; false for none.
bool SetDlgCtrlId(Hwnd hwnd, uint32_t id);
uint32_t GetWindowStyle(Hwnd hwnd);
bool SetWindowStyle(Hwnd hwnd, uint32_t style);
// Moves a window of this process under another parent (0 top level,
// kHwndMessage message-only, or a live window of any process).
bool SetParent(Hwnd hwnd, Hwnd parent);

// The window of the given class and title (nullopt matches any; both are
// compared without regard to ASCII case) among the top-level windows of all
// processes of the session, message-only ones excepted. When several match,
// the one created first. 0 when none.
Hwnd FindWindow(std::optional<std::string_view> className, std::optional<std::string_view> title);
// The same among the children of parent (kHwndMessage: among message-only
// windows; 0: as FindWindow), wherever parent and children live.
Hwnd FindWindowEx(Hwnd parent, std::optional<std::string_view> className,
                  std::optional<std::string_view> title);
// The children of parent that live on the calling thread, oldest first.
std::vector<Hwnd> GetChildWindows(Hwnd parent);

} // namespace win
