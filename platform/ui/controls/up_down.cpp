#include "platform/ui/controls/up_down.h"

#include "platform/ui/dialog/dialog.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/scroll_bar.h"
#include "platform/win/dispatch.h"

#include <QBoxLayout>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <charconv>

namespace ui {
namespace {

int16_t Low16(LParam v) {
  return static_cast<int16_t>(LowWord(static_cast<uintptr_t>(v)));
}
int16_t High16(LParam v) {
  return static_cast<int16_t>(HighWord(static_cast<uintptr_t>(v)));
}

} // namespace

void UpDown::SetRange(int lower, int upper) {
  lower_ = lower;
  upper_ = upper;
  position_ = std::clamp(position_, std::min(lower_, upper_), std::max(lower_, upper_));
  Changed(kStateChanged);
}

int UpDown::SetPosition(int position) {
  const int previous = position_;
  position_ = std::clamp(position, std::min(lower_, upper_), std::max(lower_, upper_));
  ShowInBuddy();
  if (position_ != previous)
    Changed(kStateChanged);
  return previous;
}

Hwnd UpDown::Buddy() const {
  if (buddy_ && !win::IsWindow(buddy_))
    return 0;
  if (buddy_ || buddyLooked_ || !(Style() & UDS_AUTOBUDDY) || !Owner())
    return buddy_;
  // The control before this one in the dialog's order.
  const auto& items = Owner()->Items();
  auto it = std::find(items.begin(), items.end(), this);
  if (it != items.end() && it != items.begin())
    return (*(it - 1))->GetHwnd();
  return 0;
}

Hwnd UpDown::SetBuddy(Hwnd buddy) {
  const Hwnd previous = Buddy();
  buddy_ = buddy;
  buddyLooked_ = true;
  ShowInBuddy();
  return previous;
}

void UpDown::ShowInBuddy() const {
  const Hwnd buddy = Buddy();
  if (!buddy || !(Style() & UDS_SETBUDDYINT))
    return;
  const std::string text = std::to_string(position_);
  win::SendMessage(buddy, win::WM_SETTEXT, 0, reinterpret_cast<LParam>(text.c_str()));
}

void UpDown::ReadBuddy() {
  const Hwnd buddy = Buddy();
  if (!buddy || !(Style() & UDS_SETBUDDYINT))
    return;
  const std::string text = win::GetWindowText(buddy).value_or("");
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc() && end == text.data() + text.size() && !text.empty())
    position_ = std::clamp(value, std::min(lower_, upper_), std::max(lower_, upper_));
}

bool UpDown::Step(int direction) {
  const Dialog* dialog = Owner();
  if (!dialog || dialog->Ended() || dialog->Busy() || !Enabled() || !Visible() || direction == 0)
    return false;
  ReadBuddy();
  const int low = std::min(lower_, upper_), high = std::max(lower_, upper_);
  const int towardUpper = upper_ >= lower_ ? 1 : -1;
  int64_t next = int64_t{position_} + (direction > 0 ? towardUpper : -towardUpper);
  if (next < low || next > high) {
    if (!(Style() & UDS_WRAP))
      return false;
    next = next < low ? high : low;
  }
  if (next == position_)
    return false;
  SetPosition(static_cast<int>(next));
  const Hwnd parent = dialog->GetHwnd();
  const uint32_t message = Horizontal() ? WM_HSCROLL : WM_VSCROLL;
  const Hwnd self = GetHwnd();
  win::SendMessage(parent, message,
                   MakeWParam(SB_THUMBPOSITION, static_cast<uint16_t>(position_ & 0xFFFF)),
                   static_cast<LParam>(self));
  if (win::IsWindow(self) && win::IsWindow(parent))
    win::SendMessage(parent, message, MakeWParam(SB_ENDSCROLL, static_cast<uint16_t>(position_)),
                     static_cast<LParam>(self));
  return true;
}

void UpDown::Describe(ControlState& state) const {
  Control::Describe(state);
  state.position = position_;
}

LResult UpDown::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case UDM_SETRANGE:
    SetRange(High16(lParam), Low16(lParam));
    return 0;
  case UDM_GETRANGE:
    return MakeLParam(static_cast<uint16_t>(upper_), static_cast<uint16_t>(lower_));
  case UDM_SETRANGE32:
    SetRange(static_cast<int>(static_cast<intptr_t>(wParam)), static_cast<int>(lParam));
    return 0;
  case UDM_GETRANGE32:
    if (auto* low = reinterpret_cast<int32_t*>(wParam))
      *low = lower_;
    if (auto* high = reinterpret_cast<int32_t*>(lParam))
      *high = upper_;
    return 0;
  case UDM_SETPOS:
    return SetPosition(Low16(lParam));
  case UDM_SETPOS32:
    return SetPosition(static_cast<int>(lParam));
  case UDM_GETPOS:
    ReadBuddy();
    return MakeLParam(static_cast<uint16_t>(position_), 0);
  case UDM_GETPOS32:
    ReadBuddy();
    if (auto* error = reinterpret_cast<int32_t*>(lParam))
      *error = 0;
    return position_;
  case UDM_SETBUDDY:
    return static_cast<LResult>(SetBuddy(static_cast<Hwnd>(wParam)));
  case UDM_GETBUDDY:
    return static_cast<LResult>(Buddy());
  default:
    return Control::HandleMessage(message, wParam, lParam);
  }
}

QWidget* UpDown::MakeWidget(const WidgetLink& link) {
  const int32_t id = Id();
  auto* box = new QWidget(link.Parent());
  auto* layout = Horizontal() ? static_cast<QBoxLayout*>(new QHBoxLayout(box))
                              : static_cast<QBoxLayout*>(new QVBoxLayout(box));
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // Up (or right) first in a column, left first in a row.
  const int firstDirection = Horizontal() ? -1 : 1;
  for (int direction : {firstDirection, -firstDirection}) {
    auto* arrow = new QToolButton(box);
    arrow->setArrowType(Horizontal() ? (direction > 0 ? Qt::RightArrow : Qt::LeftArrow)
                                     : (direction > 0 ? Qt::UpArrow : Qt::DownArrow));
    arrow->setAutoRepeat(true);
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QObject::connect(arrow, &QToolButton::clicked, link.Context(), [link, id, direction] {
      link.Act(id, WidgetLink::WhileSyncing::Skip, kStateChanged, [id, direction](Dialog& d) {
        if (auto* control = d.Item<UpDown>(id))
          control->Step(direction);
      });
    });
    layout->addWidget(arrow);
  }
  return box;
}

void UpDown::SyncWidget(QWidget& widget, uint32_t) const {
  (void)widget;
}

Hwnd CreateUpDown(Hwnd dialog, int32_t id, const gdi::Rect& rect, uint32_t style, int lower,
                  int upper, int position, Hwnd buddy) {
  win::CreateParams c;
  c.className = kUpDownKind.className;
  c.style = style | win::WS_CHILD | win::WS_VISIBLE;
  c.parent = dialog;
  c.id = static_cast<uint32_t>(id) & 0xFFFF;
  c.x = rect.left;
  c.y = rect.top;
  c.width = rect.Width();
  c.height = rect.Height();
  const Hwnd hwnd = win::CreateWindow(c);
  if (!hwnd)
    return 0;
  win::SendMessage(hwnd, UDM_SETRANGE32, static_cast<WParam>(lower), upper);
  if (buddy)
    win::SendMessage(hwnd, UDM_SETBUDDY, static_cast<WParam>(buddy), 0);
  win::SendMessage(hwnd, UDM_SETPOS32, 0, position);
  return hwnd;
}

} // namespace ui
