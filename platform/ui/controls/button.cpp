#include "platform/ui/controls/button.h"

#include "platform/ui/controls/control_widget.h"
#include "platform/ui/dialog/dialog.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QGroupBox>
#include <QPushButton>

#include <algorithm>

namespace ui {
namespace {

Qt::CheckState CheckOf(uint32_t check) {
  return check == BST_CHECKED         ? Qt::Checked
         : check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                      : Qt::Unchecked;
}

bool IsThreeState(uint32_t type) {
  return type == BS_3STATE || type == BS_AUTO3STATE;
}

} // namespace

bool Button::IsPushButton() const {
  uint32_t t = ButtonType();
  return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON;
}

bool Button::IsCheckBox() const {
  uint32_t t = ButtonType();
  return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || IsThreeState(t) || IsRadioButton();
}

bool Button::IsRadioButton() const {
  uint32_t t = ButtonType();
  return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON;
}

void Button::CheckInGroup() {
  SetCheck(BST_CHECKED);
  Dialog* dialog = Owner();
  if (!dialog)
    return;
  // The group: back to the control with the group style, on to the next.
  const std::vector<Control*>& items = dialog->Items();
  const auto self = std::find(items.begin(), items.end(), this);
  if (self == items.end())
    return;
  auto first = self;
  while (first != items.begin() && !((*first)->Style() & WS_GROUP))
    --first;
  for (auto it = first; it != items.end(); ++it) {
    if (it != first && ((*it)->Style() & WS_GROUP))
      break;
    auto* other = dynamic_cast<Button*>(*it);
    if (other && other != this && other->ButtonType() == BS_AUTORADIOBUTTON)
      other->SetCheck(BST_UNCHECKED);
  }
}

void Button::SetCheck(uint32_t state) {
  if (!IsCheckBox())
    return;
  uint32_t check = state == BST_INDETERMINATE && IsThreeState(ButtonType()) ? BST_INDETERMINATE
                   : state != BST_UNCHECKED                                 ? BST_CHECKED
                                                                            : BST_UNCHECKED;
  if (check == check_)
    return;
  check_ = check;
  Changed(kStateChanged);
}

bool Button::TakeClick() {
  switch (ButtonType()) {
  case BS_GROUPBOX:
    return false;
  case BS_AUTOCHECKBOX:
    SetCheck(check_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    break;
  case BS_AUTORADIOBUTTON:
    CheckInGroup();
    break;
  case BS_AUTO3STATE:
    SetCheck(check_ == BST_UNCHECKED ? BST_CHECKED
             : check_ == BST_CHECKED ? BST_INDETERMINATE
                                     : BST_UNCHECKED);
    break;
  default:
    break;
  }
  Notify(BN_CLICKED);
  return true;
}

void Button::Describe(ControlState& state) const {
  Control::Describe(state);
  state.check = check_;
}

LResult Button::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case BM_GETCHECK:
    return IsCheckBox() ? check_ : 0;
  case BM_SETCHECK:
    SetCheck(static_cast<uint32_t>(wParam));
    return 0;
  case BM_CLICK:
    if (Owner())
      Owner()->Click(Id());
    return 0;
  default:
    return Control::HandleMessage(message, wParam, lParam);
  }
}

QWidget* Button::MakeWidget(const WidgetLink& link) {
  const int32_t id = Id();
  if (ButtonType() == BS_GROUPBOX) {
    auto* group = new QGroupBox(link.Parent());
    group->lower(); // behind the controls it frames
    return group;
  }
  if (IsRadioButton()) {
    auto* radio = new QRadioButton(link.Parent());
    // The controls keep the group's checks; Qt shows them.
    radio->setAutoExclusive(false);
    QObject::connect(radio, &QRadioButton::clicked, link.Context(), [link, id] {
      link.Act(id, WidgetLink::WhileSyncing::Run, kStateChanged, [id](Dialog& d) { d.Click(id); });
    });
    return radio;
  }
  if (IsCheckBox()) {
    auto* box = new QCheckBox(link.Parent());
    box->setTristate(IsThreeState(ButtonType()));
    // Qt checked the box itself; the control's own check stands.
    QObject::connect(box, &QCheckBox::clicked, link.Context(), [link, id] {
      link.Act(id, WidgetLink::WhileSyncing::Run, kStateChanged, [id](Dialog& d) { d.Click(id); });
    });
    return box;
  }
  auto* button = new QPushButton(link.Parent());
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, link.Context(), [link, id] {
    link.Act(id, WidgetLink::WhileSyncing::Run, 0, [id](Dialog& d) { d.Click(id); });
  });
  return button;
}

void Button::SyncWidget(QWidget& widget, uint32_t) const {
  if (auto* group = qobject_cast<QGroupBox*>(&widget)) {
    group->setTitle(ToQString(Text()));
  } else if (auto* radio = qobject_cast<QRadioButton*>(&widget)) {
    radio->setText(ToQString(Text()));
    radio->setChecked(check_ == BST_CHECKED);
  } else if (auto* box = qobject_cast<QCheckBox*>(&widget)) {
    box->setText(ToQString(Text()));
    box->setCheckState(CheckOf(check_));
  } else if (auto* button = qobject_cast<QPushButton*>(&widget)) {
    button->setText(ToQString(Text()));
    button->setDefault(Owner() && Owner()->DefaultId() == Id());
  }
}

} // namespace ui
