// A window's menu bar: the menu it shows (switched as a frame's active
// child changes), the state pass before each of its menus opens, and the
// command chosen posted to the owner as WM_COMMAND. An item shows the text
// of the key that also gives its command, but no Qt shortcut is made: keys
// reach the focused window unless an accelerator table translates them.
//
// With a widget the bar is a QMenuBar inside the owner's widget; without
// one it is the model alone, and Open and Choose do what a person does.
// Owner's thread only.
#pragma once

#include "platform/ui/modal/menu.h"
#include "platform/ui/resource/accelerator.h"
#include "platform/win/messages.h"

#include <functional>
#include <memory>

class QMenuBar;

namespace ui {

class MenuBar {
public:
  // Sets enabled and checked of the menu's items.
  using StatePass = std::function<void(Menu& menu)>;

  explicit MenuBar(win::Hwnd owner);
  ~MenuBar();
  MenuBar(const MenuBar&) = delete;
  MenuBar& operator=(const MenuBar&) = delete;

  // Shows menu from now on; keys gives the key texts of items that have
  // none of their own.
  void SetMenu(Menu menu, const AcceleratorTable* keys = nullptr);
  const Menu& Current() const { return menu_; }
  void SetStatePass(StatePass pass) { pass_ = std::move(pass); }

  // Opens the index-th menu of the bar: the state pass runs, and what it
  // shows comes back (empty for no such menu).
  Menu Open(size_t index);
  // Chooses a command as a person would: the state pass runs, and a
  // command the menu offers enabled is posted to the owner (true).
  bool Choose(uint16_t id);

  // The height the bar takes at the top of its owner (0 without items).
  int Height() const;
  // Places the widget at the top of the owner's widget, width wide.
  void Place(int width);
  QMenuBar* Widget() const;

  static constexpr int kHeight = 22;

private:
  void Build();
  Menu Passed() const;

  win::Hwnd owner_;
  Menu menu_;
  StatePass pass_;
  struct Qt;
  std::unique_ptr<Qt> qt_;
};

} // namespace ui
