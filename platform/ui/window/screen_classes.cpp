// Screen window classes: their styles, cursors and backgrounds, by name
// without regard to ASCII case.
#include "platform/ui/window/screen.h"

#include "platform/ui/window/screen_internal.h"

#include "platform/sys/ascii.h"
#include "platform/win/dispatch.h"

#include <map>
#include <mutex>

namespace ui {
namespace detail {

struct Classes {
  std::mutex mu;
  std::map<std::string, ClassInfo> byName; // lower-case names
};

Classes& ClassTable() {
  static Classes* classes = new Classes;
  return *classes;
}

std::string Lower(std::string_view s) {
  return sys::AsciiLowered(s);
}

std::optional<ClassInfo> ClassInfoOf(std::string_view name) {
  auto& classes = ClassTable();
  std::lock_guard lock(classes.mu);
  auto it = classes.byName.find(Lower(name));
  if (it == classes.byName.end())
    return std::nullopt;
  return it->second;
}

CursorHandle ClassCursorOf(std::string_view className) {
  auto info = ClassInfoOf(className);
  return info && info->cursor ? info->cursor : LoadCursor(IDC_ARROW);
}

std::optional<gdi::Colour> ClassBackgroundOf(std::string_view className) {
  auto info = ClassInfoOf(className);
  return info ? info->background : std::nullopt;
}

} // namespace detail

using namespace detail;

bool RegisterScreenClass(const ScreenClass& screenClass) {
  if (screenClass.name.empty() || !screenClass.factory)
    return false;
  auto factory = screenClass.factory;
  if (!win::RegisterClass({screenClass.name, screenClass.style,
                           [factory]() -> std::unique_ptr<win::Window> { return factory(); }}))
    return false;
  auto& classes = ClassTable();
  std::lock_guard lock(classes.mu);
  classes.byName[Lower(screenClass.name)] =
      ClassInfo{screenClass.style, screenClass.cursor, screenClass.background};
  return true;
}

bool SetClassBackground(std::string_view className, std::optional<gdi::Colour> background,
                        std::optional<gdi::Colour>* previous) {
  auto& classes = ClassTable();
  std::lock_guard lock(classes.mu);
  auto it = classes.byName.find(Lower(className));
  if (it == classes.byName.end())
    return false;
  if (previous)
    *previous = it->second.background;
  it->second.background = background;
  return true;
}

bool SetClassCursor(std::string_view className, CursorHandle cursor) {
  auto& classes = ClassTable();
  std::lock_guard lock(classes.mu);
  auto it = classes.byName.find(Lower(className));
  if (it == classes.byName.end())
    return false;
  it->second.cursor = std::move(cursor);
  return true;
}

bool IsScreenWindow(Hwnd hwnd) {
  return Find(hwnd) != nullptr;
}

} // namespace ui
