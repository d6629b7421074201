// Pop-up menus and their backends.
#include "platform/ui/modal/menu.h"

#include "platform/sys/log.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/screen.h"
#include "platform/ui/window/screen_internal.h"
#include "platform/win/dispatch.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <cstdio>

namespace ui {

namespace {

template <typename Items, typename Item = std::remove_reference_t<decltype(*Items().begin())>>
Item* FindIn(Items& items, uint32_t id) {
  for (auto& item : items) {
    if (!item.separator && item.items.empty() && item.id == id)
      return &item;
    if (Item* found = FindIn(item.items, id))
      return found;
  }
  return nullptr;
}

bool Offers(const std::vector<MenuItem>& items, uint32_t id) {
  for (const MenuItem& item : items) {
    if (item.separator || !item.enabled)
      continue;
    if (item.items.empty() ? item.id == id : Offers(item.items, id))
      return true;
  }
  return false;
}

bool HasChoice(const std::vector<MenuItem>& items) {
  for (const MenuItem& item : items)
    if (!item.separator)
      return true;
  return false;
}

class NoMenu : public PopupMenuBackend {
public:
  uint32_t Track(const MenuRequest&) override { return 0; }
};

std::shared_ptr<PopupMenuBackend> ChooseBackend() {
  // A Qt menu only where someone can see it; otherwise nothing is chosen.
  static auto qt = std::make_shared<QtPopupMenu>();
  static auto none = std::make_shared<NoMenu>();
  if (CanShowQtDialogs())
    return qt;
  return none;
}

void Fill(QMenu& menu, const std::vector<MenuItem>& items) {
  for (const MenuItem& item : items) {
    const QString text = QString::fromStdString(item.text);
    if (item.separator) {
      menu.addSeparator();
    } else if (!item.items.empty()) {
      QMenu* sub = menu.addMenu(text);
      sub->setEnabled(item.enabled);
      Fill(*sub, item.items);
    } else {
      QAction* action = menu.addAction(text);
      action->setEnabled(item.enabled);
      action->setCheckable(item.checked);
      action->setChecked(item.checked);
      action->setData(static_cast<uint>(item.id));
    }
  }
}

} // namespace

MenuItem* Menu::Find(uint32_t id) {
  return FindIn(items, id);
}

const MenuItem* Menu::Find(uint32_t id) const {
  return FindIn(items, id);
}

bool Menu::Enable(uint32_t id, bool enabled) {
  MenuItem* item = Find(id);
  if (!item)
    return false;
  item->enabled = enabled;
  return true;
}

bool Menu::Check(uint32_t id, bool checked) {
  MenuItem* item = Find(id);
  if (!item)
    return false;
  item->checked = checked;
  return true;
}

bool Menu::SetText(uint32_t id, std::string_view text) {
  MenuItem* item = Find(id);
  if (!item)
    return false;
  item->text = std::string(text);
  return true;
}

Menu Menu::SubMenu(size_t index) const {
  if (index >= items.size())
    return Menu{};
  return Menu{items[index].items};
}

bool Menu::CanChoose(uint32_t id) const {
  return id != 0 && Offers(items, id);
}

int TrackPopupMenu(const Menu& menu, uint32_t flags, int32_t x, int32_t y, win::Hwnd owner) {
  if (!HasChoice(menu.items))
    return 0;
  uint32_t id =
      PopupMenuBackend::Slot().Current()->Track(MenuRequest{menu, gdi::Point{x, y}, owner});
  if (!menu.CanChoose(id))
    id = 0;
  if (flags & TPM_RETURNCMD)
    return static_cast<int>(id);
  if (id)
    win::PostMessage(owner, win::WM_COMMAND, id, 0);
  return 1;
}

BackendSlot<PopupMenuBackend>& PopupMenuBackend::Slot() {
  static BackendSlot<PopupMenuBackend> slot(&ChooseBackend);
  return slot;
}

std::shared_ptr<PopupMenuBackend> SetPopupMenuBackend(std::shared_ptr<PopupMenuBackend> backend) {
  return PopupMenuBackend::Slot().Set(std::move(backend));
}

void ScriptedPopupMenu::Choose(uint32_t id) {
  std::lock_guard lock(mutex_);
  answers_.push_back(id);
}

uint32_t ScriptedPopupMenu::Track(const MenuRequest& request) {
  std::lock_guard lock(mutex_);
  shown_.push_back(request);
  if (answers_.empty())
    return 0;
  const uint32_t id = answers_.front();
  answers_.pop_front();
  return id;
}

std::vector<MenuRequest> ScriptedPopupMenu::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

uint32_t QtPopupMenu::Track(const MenuRequest& request) {
  if (!detail::OnGuiThread()) {
    sys::Warn("ui", "a pop-up menu off the Qt application's thread is not shown");
    return 0;
  }
  QMenu menu(GetWidget(request.owner));
  Fill(menu, request.menu.items);
  QAction* chosen = menu.exec(QPoint(request.point.x, request.point.y));
  return chosen ? chosen->data().toUInt() : 0;
}

} // namespace ui
