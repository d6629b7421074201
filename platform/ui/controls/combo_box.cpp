#include "platform/ui/controls/combo_box.h"

#include "platform/ui/controls/control_widget.h"
#include "platform/ui/dialog/dialog.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace ui {

ComboBox::ComboBox()
    : ItemList(ControlKind::ComboBox, CBS_SORT,
               {CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT, CB_SETCURSEL,
                CB_GETCURSEL, CB_GETLBTEXT, CB_GETLBTEXTLEN, CB_GETCOUNT, CB_ERR}) {}

bool ComboBox::Editable() const {
  return (Style() & CBS_TYPEMASK) != CBS_DROPDOWNLIST;
}

uint32_t ComboBox::SelectionSet() {
  int index = Selection();
  std::string text = index >= 0 ? Items()[static_cast<size_t>(index)] : std::string();
  if (text == text_)
    return 0;
  text_ = std::move(text);
  return kTextChanged;
}

bool ComboBox::TakeChoice(int index) {
  if (index < 0 || index >= Count() || !SetSelection(index))
    return false;
  Notify(CBN_SELCHANGE);
  return true;
}

bool ComboBox::TakeTyping(std::string_view utf8) {
  if (!Editable())
    return false;
  if (text_ != utf8) {
    text_ = std::string(utf8);
    Changed(kTextChanged);
  }
  Notify(CBN_EDITCHANGE);
  return true;
}

QWidget* ComboBox::MakeWidget(const WidgetLink& link) {
  const int32_t id = Id();
  auto* combo = new QComboBox(link.Parent());
  combo->setEditable(Editable());
  QObject::connect(combo, qOverload<int>(&QComboBox::activated), link.Context(),
                   [link, id](int index) {
                     link.Act(id, WidgetLink::WhileSyncing::Run, kStateChanged,
                              [id, index](Dialog& d) { d.Choose(id, index); });
                   });
  if (Editable()) {
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, link.Context(),
                     [link, id](const QString& text) {
                       link.Act(id, WidgetLink::WhileSyncing::Skip, 0,
                                [&](Dialog& d) { d.Type(id, FromQString(text)); });
                     });
  }
  return combo;
}

void ComboBox::SyncWidget(QWidget& widget, uint32_t what) const {
  auto& combo = static_cast<QComboBox&>(widget);
  if (what & kItemsChanged) {
    combo.clear();
    for (const std::string& item : Items())
      combo.addItem(ToQString(item));
  }
  combo.setCurrentIndex(Selection());
  if (combo.isEditable() && combo.currentText() != ToQString(Text()))
    combo.setEditText(ToQString(Text()));
}

gdi::Rect ComboBox::WidgetRect(const QWidget& widget) const {
  gdi::Rect r = Rect();
  r.bottom = r.top + std::min(r.Height(), widget.sizeHint().height());
  return r;
}

} // namespace ui
