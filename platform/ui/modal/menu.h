// Pop-up menus: a tree of items that the caller fills (from a menu resource)
// and adjusts before each opening, shown at a screen point for a window. The
// chosen command comes back, or is posted to the window as WM_COMMAND.
//
// Where the menu goes is up to the current backend, as with message boxes: a
// Qt menu when the process can show one, a script in tests, and otherwise
// nothing is chosen.
#pragma once

#include "platform/gdi/types.h"
#include "platform/ui/backend.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct MenuItem {
  uint32_t id = 0;  // the command; 0 for a separator or a sub-menu
  std::string text; // UTF-8; '&' marks the access key, "&&" is an ampersand
  bool separator = false;
  bool enabled = true;
  bool checked = false;
  std::vector<MenuItem> items; // a sub-menu when not empty
};

struct Menu {
  std::vector<MenuItem> items;

  // The first item with the command id, at any depth; nullptr when none.
  MenuItem* Find(uint32_t id);
  const MenuItem* Find(uint32_t id) const;
  // False when no item has the id.
  bool Enable(uint32_t id, bool enabled);
  bool Check(uint32_t id, bool checked);
  bool SetText(uint32_t id, std::string_view text);
  // The sub-menu of the index-th item (empty when there is none).
  Menu SubMenu(size_t index) const;
  // True when id is an enabled command of the menu that can be chosen
  // (not a separator, not in a disabled sub-menu).
  bool CanChoose(uint32_t id) const;
};

// TrackPopupMenu flags.
inline constexpr uint32_t TPM_LEFTALIGN = 0x0000;
inline constexpr uint32_t TPM_RIGHTBUTTON = 0x0002;
inline constexpr uint32_t TPM_NONOTIFY = 0x0080;
inline constexpr uint32_t TPM_RETURNCMD = 0x0100;

// Shows the menu at the screen point (x, y) for owner. With TPM_RETURNCMD
// returns the chosen command (0 for none); otherwise posts WM_COMMAND with
// the command to owner when one was chosen and returns 1 (0 for an empty
// menu). Call on the owner's thread.
int TrackPopupMenu(const Menu& menu, uint32_t flags, int32_t x, int32_t y, win::Hwnd owner);

struct MenuRequest {
  Menu menu;
  gdi::Point point;
  win::Hwnd owner = 0;
};

class PopupMenuBackend {
public:
  virtual ~PopupMenuBackend() = default;
  // The slot every tracked menu asks: a Qt menu where someone can see it,
  // else none (nothing is chosen).
  static BackendSlot<PopupMenuBackend>& Slot();
  // Shows the menu and waits; returns the chosen command or 0.
  virtual uint32_t Track(const MenuRequest& request) = 0;
};

// Puts backend in place of the chosen one (null goes back to choosing);
// returns the one it replaces.
std::shared_ptr<PopupMenuBackend> SetPopupMenuBackend(std::shared_ptr<PopupMenuBackend> backend);

using ScopedPopupMenuBackend = ScopedBackend<PopupMenuBackend>;

// For tests: records every menu and answers from a queue of commands; with
// the queue empty nothing is chosen. A command the menu does not offer
// (unknown, disabled, a separator) counts as nothing chosen.
class ScriptedPopupMenu : public PopupMenuBackend {
public:
  void Choose(uint32_t id);
  uint32_t Track(const MenuRequest& request) override;
  std::vector<MenuRequest> Shown() const;

private:
  mutable std::mutex mutex_;
  std::deque<uint32_t> answers_;
  std::vector<MenuRequest> shown_;
};

// A QMenu run modally at the point, on the Qt application's thread; nothing
// is chosen on any other thread or without a QApplication.
class QtPopupMenu : public PopupMenuBackend {
public:
  uint32_t Track(const MenuRequest& request) override;
};

} // namespace ui
