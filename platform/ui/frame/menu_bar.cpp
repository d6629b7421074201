#include "platform/ui/frame/menu_bar.h"

#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace ui {

struct MenuBar::Qt {
  QPointer<QMenuBar> bar;
};

namespace {

void AddKeyTexts(std::vector<MenuItem>& items, const AcceleratorTable& keys) {
  for (MenuItem& item : items) {
    AddKeyTexts(item.items, keys);
    if (item.id && item.text.find('\t') == std::string::npos) {
      std::string key = keys.TextFor(static_cast<uint16_t>(item.id));
      if (!key.empty())
        item.text += "\t" + key;
    }
  }
}

// Enabled and checked of the actions from the passed items, in order.
void Refresh(QMenu& menu, const std::vector<MenuItem>& items) {
  const QList<QAction*> actions = menu.actions();
  for (qsizetype i = 0; i < actions.size() && i < static_cast<qsizetype>(items.size()); ++i) {
    const MenuItem& item = items[i];
    actions[i]->setEnabled(item.enabled);
    if (!item.items.empty()) {
      if (QMenu* sub = actions[i]->menu())
        Refresh(*sub, item.items);
    } else if (item.id) {
      actions[i]->setCheckable(item.checked);
      actions[i]->setChecked(item.checked);
    }
  }
}

} // namespace

MenuBar::MenuBar(win::Hwnd owner) : owner_(owner), qt_(std::make_unique<Qt>()) {}

MenuBar::~MenuBar() {
  delete qt_->bar.data();
}

void MenuBar::SetMenu(Menu menu, const AcceleratorTable* keys) {
  menu_ = std::move(menu);
  if (keys)
    AddKeyTexts(menu_.items, *keys);
  Build();
}

Menu MenuBar::Passed() const {
  Menu menu = menu_;
  if (pass_)
    pass_(menu);
  return menu;
}

Menu MenuBar::Open(size_t index) {
  return Passed().SubMenu(index);
}

bool MenuBar::Choose(uint16_t id) {
  if (!Passed().CanChoose(id))
    return false;
  return win::PostMessage(owner_, win::WM_COMMAND, id, 0);
}

int MenuBar::Height() const {
  return menu_.items.empty() ? 0 : kHeight;
}

QMenuBar* MenuBar::Widget() const {
  return qt_->bar.data();
}

void MenuBar::Place(int width) {
  if (qt_->bar) {
    qt_->bar->setGeometry(0, 0, width, Height());
    qt_->bar->setVisible(Height() > 0);
    qt_->bar->raise();
  }
}

void MenuBar::Build() {
  QWidget* parent = GetWidget(owner_);
  if (!parent) {
    delete qt_->bar.data();
    return;
  }
  if (!qt_->bar)
    qt_->bar = new QMenuBar(parent);
  QMenuBar* bar = qt_->bar;
  bar->clear();
  // Builds the actions of items under add; each command chosen comes back
  // through Choose, so a widget and a script take one path.
  std::function<void(QWidget*, const std::vector<MenuItem>&)> fill =
      [&](QWidget* into, const std::vector<MenuItem>& items) {
        for (size_t i = 0; i < items.size(); ++i) {
          const MenuItem& item = items[i];
          const QString text = QString::fromStdString(item.text);
          if (item.separator) {
            if (auto* m = qobject_cast<QMenu*>(into))
              m->addSeparator();
            continue;
          }
          if (!item.items.empty()) {
            auto* sub = new QMenu(text, into);
            fill(sub, item.items);
            if (auto* m = qobject_cast<QMenu*>(into))
              m->addMenu(sub);
            else
              bar->addMenu(sub);
            continue;
          }
          auto* action = new QAction(text, into);
          const uint16_t id = static_cast<uint16_t>(item.id);
          QObject::connect(action, &QAction::triggered, action, [this, id] { Choose(id); });
          into->addAction(action);
        }
      };
  fill(bar, menu_.items);
  const QList<QAction*> top = bar->actions();
  for (qsizetype i = 0; i < top.size(); ++i) {
    QMenu* sub = top[i]->menu();
    if (!sub)
      continue;
    const size_t index = static_cast<size_t>(i);
    QObject::connect(sub, &QMenu::aboutToShow, sub, [this, sub, index] {
      Menu passed = Passed();
      if (index < passed.items.size())
        Refresh(*sub, passed.items[index].items);
    });
  }
}

} // namespace ui
