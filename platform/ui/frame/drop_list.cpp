#include "platform/ui/frame/drop_list.h"

#include "platform/sys/codepage.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/frame/tool_tip.h"
#include "platform/ui/modal/menu.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstring>

namespace ui {
namespace {

constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);
constexpr gdi::Colour kShadow = gdi::Rgb(128, 128, 128);
constexpr gdi::Colour kWindow = gdi::Rgb(255, 255, 255);
constexpr gdi::Colour kText = gdi::Rgb(0, 0, 0);
constexpr gdi::Colour kGreyText = gdi::Rgb(128, 128, 128);
constexpr int kButtonWidth = 16;
constexpr int kBorder = 2;

} // namespace

bool DropList::Create(Hwnd parent, uint32_t id, gdi::Rect rect, bool ownerDrawn) {
  static const bool registered = [] {
    return RegisterScreenClass(
        {kDropListClass, 0, [] { return std::make_unique<DropList>(); }, nullptr, kWindow});
  }();
  (void)registered;
  id_ = id;
  ownerDrawn_ = ownerDrawn;
  if (ownerDrawn_) {
    MeasureItem measure;
    measure.ctlId = id;
    measure.itemHeight = itemHeight_;
    win::SendMessage(notify_ ? notify_ : parent, WM_MEASUREITEM, id,
                     reinterpret_cast<LParam>(&measure));
    itemHeight_ = std::max(1, measure.itemHeight);
  }
  win::CreateParams p;
  p.className = kDropListClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = parent;
  p.id = id;
  p.x = rect.left;
  p.y = rect.top;
  p.width = rect.Width();
  // The field: the item and the border; the rest of rect is the list's.
  p.height = std::min(rect.Height(), itemHeight_ + 2 * kBorder + 2);
  p.object = this;
  return win::CreateWindow(p) != 0;
}

Hwnd DropList::NoticeWindow() const {
  return notify_ ? notify_ : win::GetParent(GetHwnd());
}

int DropList::AddString(std::string_view utf8) {
  items_.emplace_back(utf8);
  return Count() - 1;
}

void DropList::ResetContent() {
  items_.clear();
  selection_ = -1;
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, false);
}

std::string DropList::Text(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)] : std::string();
}

bool DropList::SetCurSel(int index) {
  if (index < -1 || index >= Count()) {
    selection_ = -1;
    return false;
  }
  selection_ = index;
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, false);
  return true;
}

bool DropList::Choose(int index) {
  if (!enabled_ || index < 0 || index >= Count())
    return false;
  SetCurSel(index);
  win::SendMessage(NoticeWindow(), win::WM_COMMAND, MakeWParam(id_, CBN_SELCHANGE), GetHwnd());
  return true;
}

void DropList::Enable(bool enabled) {
  if (enabled_ == enabled)
    return;
  enabled_ = enabled;
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, false);
}

bool DropList::Hand(FieldEvent event) {
  const Hwnd self = GetHwnd();
  if (hook_)
    hook_(event);
  return win::GetWindowObject(self) == this;
}

void DropList::Drop() {
  Menu menu;
  for (int i = 0; i < Count(); ++i) {
    MenuItem item;
    item.id = static_cast<uint32_t>(i + 1);
    item.text = items_[static_cast<size_t>(i)];
    item.checked = i == selection_;
    menu.items.push_back(std::move(item));
  }
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  const gdi::Point below = ClientToScreen(GetHwnd(), {0, area.bottom});
  const Hwnd self = GetHwnd();
  // The pop-up takes the focus while it is up: that is no loss.
  dropping_ = true;
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD, below.x, below.y, self);
  if (win::GetWindowObject(self) != this)
    return;
  dropping_ = false;
  if (chosen > 0 && Choose(chosen - 1) && win::GetWindowObject(self) == this)
    Hand(FieldEvent::Chosen);
}

void DropList::Draw(gdi::Dc& dc) {
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FillRect(area, kWindow);
  dc.FrameRect(area, kShadow);
  const gdi::Rect button = {area.right - kButtonWidth - 1, area.top + 1, area.right - 1,
                            area.bottom - 1};
  dc.FillRect(button, kFace);
  // The arrow of the button.
  const int32_t cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2 - 1;
  for (int32_t row = 0; row < 4; ++row)
    dc.FillRect(gdi::MakeRect(cx - 3 + row, cy + row, 7 - 2 * row, 1),
                enabled_ ? kText : kShadow);
  const gdi::Rect field = {area.left + kBorder, area.top + kBorder, button.left - 1,
                           area.bottom - kBorder};
  if (ownerDrawn_) {
    DrawItem item;
    item.ctlId = id_;
    item.itemId = selection_;
    item.state = ODS_COMBOBOXEDIT | (enabled_ ? 0 : ODS_DISABLED);
    item.hwnd = GetHwnd();
    item.dc = &dc;
    item.rect = field;
    const int saved = dc.Save();
    dc.SetClipRect(field);
    win::SendMessage(NoticeWindow(), WM_DRAWITEM, id_, reinterpret_cast<LParam>(&item));
    dc.Restore(saved);
    return;
  }
  dc.SetBkMode(gdi::kTransparent);
  dc.SetTextColor(enabled_ ? kText : kGreyText);
  gdi::Rect text = field;
  text.left += 2;
  dc.DrawText(sys::FromUtf8Lossy(Text(selection_), dc.SystemCodePage()), text,
              gdi::kDtLeft | gdi::kDtVCenter | gdi::kDtSingleLine | gdi::kDtNoPrefix);
}

LResult DropList::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  if (toolTip_ && (message == win::WM_MOUSEMOVE || message == win::WM_LBUTTONDOWN ||
                   message == win::WM_LBUTTONUP)) {
    win::Msg msg{GetHwnd(), message, wParam, lParam, 0};
    win::SendMessage(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LParam>(&msg));
  }
  switch (message) {
  case win::WM_PAINT: {
    Paint paint(GetHwnd());
    if (paint.IsValid())
      Draw(paint.Dc());
    return 0;
  }
  case win::WM_ERASEBKGND:
    return 1;
  case win::WM_LBUTTONDOWN:
    if (enabled_) {
      if (hook_)
        SetFocus(GetHwnd());
      if (win::GetWindowObject(GetHwnd()) == this)
        Drop();
    }
    return 0;
  case win::WM_KEYDOWN:
    switch (wParam) {
    case VK_RETURN:
      Hand(FieldEvent::Enter);
      return 0;
    case VK_ESCAPE:
      Hand(FieldEvent::Escape);
      return 0;
    case VK_UP:
      if (selection_ > 0)
        Choose(selection_ - 1);
      return 0;
    case VK_DOWN:
      if (selection_ + 1 < Count())
        Choose(selection_ + 1);
      return 0;
    case VK_F1 + 3: // F4
      if (enabled_)
        Drop();
      return 0;
    default:
      return Default(message, wParam, lParam);
    }
  case win::WM_KILLFOCUS:
    if (!dropping_)
      Hand(FieldEvent::FocusLost);
    return 0;
  case CB_GETDROPPEDWIDTH:
    return droppedWidth_;
  case CB_SETDROPPEDWIDTH:
    SetDroppedWidth(static_cast<int>(wParam));
    return droppedWidth_;
  case CB_ADDSTRING:
    return AddString(
        sys::ToUtf8(lParam ? std::string_view(reinterpret_cast<const char*>(lParam)) : ""));
  case CB_GETCOUNT:
    return Count();
  case CB_GETCURSEL:
    return selection_;
  case CB_SETCURSEL:
    return SetCurSel(static_cast<int>(wParam)) ? static_cast<LResult>(wParam) : CB_ERR;
  case CB_RESETCONTENT:
    ResetContent();
    return 0;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
