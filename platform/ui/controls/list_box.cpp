#include "platform/ui/controls/list_box.h"

#include "platform/ui/controls/control_widget.h"
#include "platform/ui/dialog/dialog.h"

#include <QListWidget>

namespace ui {

ListBox::ListBox()
    : ItemList(ControlKind::ListBox, LBS_SORT,
               {LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_SETCURSEL,
                LB_GETCURSEL, LB_GETTEXT, LB_GETTEXTLEN, LB_GETCOUNT, LB_ERR}) {}

bool ListBox::TakeChoice(int index) {
  if (index < 0 || index >= Count() || !SetSelection(index))
    return false;
  if (Style() & LBS_NOTIFY)
    Notify(LBN_SELCHANGE);
  return true;
}

bool ListBox::TakeDoubleClick(int index) {
  if (!TakeChoice(index))
    return false;
  if (Style() & LBS_NOTIFY)
    Notify(LBN_DBLCLK);
  return true;
}

QWidget* ListBox::MakeWidget(const WidgetLink& link) {
  const int32_t id = Id();
  auto* list = new QListWidget(link.Parent());
  QObject::connect(list, &QListWidget::currentRowChanged, link.Context(), [link, id](int row) {
    if (row < 0)
      return;
    link.Act(id, WidgetLink::WhileSyncing::Skip, kStateChanged,
             [id, row](Dialog& d) { d.Choose(id, row); });
  });
  QObject::connect(list, &QListWidget::itemDoubleClicked, link.Context(),
                   [link, id, list](QListWidgetItem* item) {
                     const int row = list->row(item);
                     link.Act(id, WidgetLink::WhileSyncing::Skip, kStateChanged,
                              [id, row](Dialog& d) { d.DoubleClick(id, row); });
                   });
  return list;
}

void ListBox::SyncWidget(QWidget& widget, uint32_t what) const {
  auto& list = static_cast<QListWidget&>(widget);
  if (what & kItemsChanged) {
    list.clear();
    for (const std::string& item : Items())
      list.addItem(ToQString(item));
  }
  list.setCurrentRow(Selection());
}

} // namespace ui
