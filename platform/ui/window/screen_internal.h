// Inside the on-screen layer: the record of each screen window, the table
// that finds it from any thread, and the widget that shows it.
#pragma once

#include "platform/gdi/surface.h"
#include "platform/ui/window/cursor.h"
#include "platform/ui/window/drop.h"
#include "platform/ui/window/screen.h"

#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QMimeData;
class QPainter;

namespace ui {

struct Cursor::Impl {
  Qt::CursorShape shape = Qt::ArrowCursor;
  std::vector<QImage> frames; // empty for a standard shape
  std::vector<gdi::Point> hotspots;
  std::vector<uint32_t> frameMs;
};

namespace detail {

class ScreenWidget;

// Private requests, handled before a window's own procedure sees anything.
// They let other threads and processes reach a window's thread.
inline constexpr uint32_t kUiPaint = 0xC7F0;     // the update area needs painting
inline constexpr uint32_t kUiSync = 0xC7F1;      // the surface was drawn on
inline constexpr uint32_t kUiDrop = 0xC7F2;      // a drop waits in the record
inline constexpr uint32_t kUiOperation = 0xC7F3; // wParam's low byte says which
inline constexpr uint32_t kUiDumpLater = 0xC7F4; // a throttled dump is due
inline constexpr uint32_t kUiKeyed = 0xC7F5;     // a keyed frame came for the tree

enum class Operation : uint8_t {
  Show = 1,
  SetPos = 2,
  Foreground = 3,
  Invalidate = 4,
  Origin = 5,       // answers the client area's screen origin, packed
  NativeWindow = 6, // answers the native window of the widget's window, or 0
};

// Rectangles and positions packed into 64 bits, 16 signed bits each.
LParam PackRect(int32_t a, int32_t b, int32_t c, int32_t d);
void UnpackRect(LParam v, int32_t& a, int32_t& b, int32_t& c, int32_t& d);

enum class ShowState { Normal, Minimized, Maximized };

struct Screen {
  Hwnd hwnd = 0;
  std::thread::id owner;
  std::string className;
  uint32_t classStyle = 0;
  std::shared_ptr<gdi::Surface> surface;

  // Owner thread only.
  ScreenWindow* object = nullptr;
  QPointer<ScreenWidget> widget;
  Hwnd parent = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  gdi::Rect rect; // client area: screen coordinates, or the parent's client's
  bool shown = false;
  WParam lastSizeType = SIZE_RESTORED;
  ShowState state = ShowState::Normal;
  bool restoreToMaximized = false; // a minimised window that was maximised
  gdi::Rect normalRect;
  bool acceptFiles = false;
  // A child whose parent lives in another process: placed at the parent's
  // screen origin, inside the parent's native window where the window
  // system allows it.
  bool foreignParent = false;
  gdi::Point foreignOrigin;
  QPointer<QWindow> foreignWindow;
  std::deque<DropFiles> drops;
  bool destroying = false;
  // While this layer itself changes the widget, the widget's geometry and
  // state events are its own echo; the window system's later reports of
  // those changes are settled with the record once they stop coming.
  int applying = 0;
  std::chrono::steady_clock::time_point lastApplied{};
  std::chrono::steady_clock::time_point lastDump{};
  bool dumpLater = false;
  MinMaxInfo minMax;
  bool minMaxKnown = false;

  // Any thread, under mu.
  std::mutex mu;
  gdi::Rect update;
  bool updateErase = false;
  bool paintPosted = false;
  uint64_t invalidations = 0;
  gdi::Size clientSize;
  bool drawable = false; // shown, with all parents, not minimised
  bool paintBegun = false;

  std::atomic<bool> syncPosted{false};
};

struct Applying {
  explicit Applying(Screen& s) : s_(s) { ++s_.applying; }
  ~Applying() {
    --s_.applying;
    s_.lastApplied = std::chrono::steady_clock::now();
  }
  Applying(const Applying&) = delete;
  Applying& operator=(const Applying&) = delete;

private:
  Screen& s_;
};

// What the screen files share among themselves.

// The screen's own areas, as last seen.
struct ScreenCache {
  std::mutex mu;
  gdi::Rect screen{0, 0, 1024, 768};
  gdi::Rect work{0, 0, 1024, 768};
};
ScreenCache& Cache();

// A registered class (screen_classes.cpp).
struct ClassInfo {
  uint32_t style = 0;
  CursorHandle cursor;
  std::optional<gdi::Colour> background;
};
std::optional<ClassInfo> ClassInfoOf(std::string_view name);

// Geometry and the widget (screen.cpp).
gdi::Rect ToRect(const QRect& r);
QRect ToQRect(const gdi::Rect& r);
// Where the widget goes: the record's rectangle, moved to the screen for a
// child of another process's window that is shown as a window of its own.
QRect WidgetRect(const Screen& s);
// Neither being destroyed nor without its object.
bool Alive(const Screen& s);
// A surface side pair that a surface can hold.
gdi::Size SurfaceSize(int32_t width, int32_t height);
gdi::Colour FillOf(const Screen& s);
bool IsChild(const Screen& s);
std::shared_ptr<Screen> LocalParent(const Screen& s);
gdi::Point OriginOf(const Screen& s, int depth = 0);
void UpdateDrawable(Screen& s, int depth = 0);
void SendSize(Screen& s, WParam type);
void ShowWidget(Screen& s, bool activate);
void AskMinMax(Screen& s);
void FindForeignParent(Screen& s);
void ApplyFlags(Screen& s);

// Show states and placing (screen_states.cpp), on the owner thread.
gdi::Rect MaximizeArea(const Screen& s);
void SetStyleBits(Screen& s);
void Minimize(Screen& s);
void Maximize(Screen& s);
void Restore(Screen& s, bool toPrevious);
bool ShowOwn(Screen& s, int command);
bool SetPosOwn(Screen& s, Hwnd insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
               uint32_t flags);
void ForegroundOwn(Screen& s);

// Dumps (screen_dump.cpp).
bool DumpEnabled();
void DumpNow(Screen& s);
// Dumps after an update, at most every so often; a later update within the
// interval is written when it ends, so the last image always lands.
void MaybeDump(Screen& s);

// Process-wide table of screen windows.
std::shared_ptr<Screen> Find(Hwnd hwnd);
// The record if its window belongs to the calling thread.
std::shared_ptr<Screen> FindOwn(Hwnd hwnd);
std::vector<std::shared_ptr<Screen>> ChildrenOf(Hwnd parent);

// True when widgets may be made on this thread.
bool OnGuiThread();

// Adds to the update area and asks for WM_PAINT (any thread).
void Invalidate(Screen& s, const gdi::Rect* rect, bool erase);
// With s.mu held: marks a paint asked for when one is due; post tells the
// caller to post it once the lock is released.
void PostPaintLocked(Screen& s, bool& post);

// The record's operations (owner thread).
void DeliverPaint(Screen& s);
void Sync(Screen& s);
LResult Operate(Screen& s, WParam wParam, LParam lParam);
bool SetRect(Screen& s, const gdi::Rect& rect, WParam sizeType, bool repaint, bool fromQt,
             Hwnd insertAfter = 0, uint32_t flags = 0);
// How long the window system's reports must be quiet before the record
// follows them.
inline constexpr auto kSettleTime = std::chrono::milliseconds(50);
// Makes the record of a top-level window follow its widget's state and
// geometry as the window system left them; false when this layer changed
// the widget too recently to tell (ask again later).
bool FollowWidget(Screen& s);
void DeliverDrops(Screen& s);
void ApplyClassCursor(Screen& s);
Hwnd MouseWindow();
void NoteMouseWindow(Hwnd hwnd);
void ForgetInput(Hwnd hwnd);
CursorHandle ClassCursorOf(std::string_view className);
std::optional<gdi::Colour> ClassBackgroundOf(std::string_view className);

// The focus window as the widgets' events and SetFocus left it.
std::atomic<Hwnd>& FocusSlot();

// Input state as of the message being handled.
void NoteModifiers(Qt::KeyboardModifiers modifiers);
void NoteButtons(Qt::MouseButtons buttons);
void NoteKey(uint32_t virtualKey, bool down);
WParam MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// Keys: the virtual-key code of a Qt key (0 when there is none) and the
// flags of a key message's lParam.
uint32_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
bool IsExtendedKey(uint32_t virtualKey);
LParam KeyLParam(uint32_t repeat, uint32_t scanCode, bool extended, bool alt, bool wasDown,
                 bool up);

// The local file paths of a drag, at most kMaxDroppedFiles.
std::vector<std::string> LocalPaths(const QMimeData* mime);

// The keyed video of a window's tree (colour_key.cpp): composes the shown
// part of a surface image with it (false when none reaches the window);
// has the tree's widgets show a new frame; forgets a destroyed window's.
// KeyedReaches is true when keyed video reaches the window; DrawKeyed draws
// part (a copy of the surface at shown, composed in place) with it, or as
// it is.
bool KeyedReaches(const Screen& s);
void DrawKeyed(QPainter& painter, const Screen& s, QImage& part, const QRect& shown);
void PresentKeyed(Screen& s);
void ForgetKeyed(Hwnd hwnd);
// The window's surface image composed with the keyed video reaching it;
// nullopt when none does.
std::optional<QImage> ComposedImage(const Screen& s);

// The widget of a screen window: shows the surface, and turns its Qt
// events into the window's messages.
class ScreenWidget : public QWidget {
public:
  ScreenWidget(Hwnd hwnd, std::shared_ptr<gdi::Surface> surface);
  ~ScreenWidget() override;

  Hwnd GetHwnd() const { return hwnd_; }
  // The window is gone: events are ignored from now on.
  void Detach();
  bool InEvent() const { return eventDepth_ > 0; }
  // Shows the cursor (frames cycle while it is animated).
  void ShowCursor(const CursorHandle& cursor);
  // The surface was drawn on there (its dirty area, taken by Sync).
  void NoteDrawn(const gdi::Rect& area) { stale_ |= ToQRect(area); }

protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void Dispatch(QEvent* event);
  void Mouse(QEvent* event);
  void Key(QEvent* event);
  void NextCursorFrame();
  void ReportedByQt();

  Hwnd hwnd_;
  std::shared_ptr<gdi::Surface> surface_;
  int eventDepth_ = 0;
  bool detached_ = false;
  CursorHandle cursor_;
  size_t cursorFrame_ = 0;
  QTimer cursorTimer_;
  QTimer settleTimer_;
  // Keyed video is composed from a copy of the surface kept here, brought
  // up to date where the surface was drawn on since, so that the surface's
  // lock is held only for those small areas and threads drawing on it (the
  // colour wipe, at real-time priority) hardly ever wait for this one.
  bool RefreshShadow();
  QImage shadow_;
  QRect stale_;
  bool shadowKept_ = false;
  QImage composed_;
};

} // namespace detail
} // namespace ui
