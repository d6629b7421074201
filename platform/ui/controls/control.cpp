#include "platform/ui/dialog/dialog.h"

#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstring>

namespace ui {
namespace {

char Fold(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Sorted boxes order their items without regard to ASCII case.
bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

// Copies bytes into a caller's buffer of size bytes: never half a
// double-byte character, always zero-terminated; the bytes copied.
LResult CopyOut(std::string_view bytes, char* buffer, size_t size, int codePage) {
  if (!buffer || size == 0)
    return 0;
  size_t n = sys::CutLength(bytes, size - 1, codePage);
  std::memcpy(buffer, bytes.data(), n);
  buffer[n] = '\0';
  return static_cast<LResult>(n);
}

std::string_view CString(LParam lParam) {
  return lParam ? std::string_view(reinterpret_cast<const char*>(lParam)) : std::string_view();
}

} // namespace

const char* ControlClassName(ControlKind kind) {
  switch (kind) {
  case ControlKind::Static:
    return "Static";
  case ControlKind::Edit:
    return "Edit";
  case ControlKind::Button:
    return "Button";
  case ControlKind::ListBox:
    return "ListBox";
  case ControlKind::ComboBox:
    return "ComboBox";
  case ControlKind::Progress:
    return "msctls_progress32";
  }
  return "Static";
}

// ---------------------------------------------------------------------------
// Controls

uint32_t DialogControl::ButtonType() const {
  return kind_ == ControlKind::Button ? (style_ & BS_TYPEMASK) : 0;
}

bool DialogControl::IsPushButton() const {
  uint32_t t = ButtonType();
  return kind_ == ControlKind::Button && (t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON);
}

bool DialogControl::IsCheckBox() const {
  uint32_t t = ButtonType();
  return kind_ == ControlKind::Button &&
         (t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE);
}

std::string DialogControl::ToUtf8(std::string_view bytes) const {
  return sys::ToUtf8(bytes, dialog_ ? dialog_->CodePage() : sys::kDefaultCodePage);
}

std::string DialogControl::ToBytes(std::string_view utf8) const {
  return sys::FromUtf8Lossy(utf8, dialog_ ? dialog_->CodePage() : sys::kDefaultCodePage);
}

std::string DialogControl::LimitText(std::string_view utf8) const {
  if (textLimit_ == 0)
    return std::string(utf8);
  int codePage = dialog_ ? dialog_->CodePage() : sys::kDefaultCodePage;
  std::string bytes = ToBytes(utf8);
  if (bytes.size() <= textLimit_)
    return std::string(utf8);
  return sys::ToUtf8(sys::CutBytes(bytes, textLimit_, codePage), codePage);
}

bool DialogControl::Sorted() const {
  return (kind_ == ControlKind::ListBox && (style_ & LBS_SORT)) ||
         (kind_ == ControlKind::ComboBox && (style_ & CBS_SORT));
}

void DialogControl::Changed(uint32_t what) {
  if ((what & kTextChanged) && GetHwnd())
    win::SetWindowText(GetHwnd(), text_);
  if (dialog_)
    dialog_->ControlChanged(*this, what);
}

void DialogControl::Notify(uint16_t code) {
  if (!dialog_ || !dialog_->ready_ || !dialog_->GetHwnd())
    return;
  win::SendMessage(dialog_->GetHwnd(), win::WM_COMMAND,
                   MakeWParam(static_cast<uint16_t>(id_ & 0xFFFF), code),
                   static_cast<LParam>(GetHwnd()));
}

void DialogControl::SetText(std::string_view utf8) {
  std::string text = kind_ == ControlKind::Edit ? LimitText(utf8) : std::string(utf8);
  if (text == text_)
    return;
  text_ = std::move(text);
  Changed(kTextChanged);
  if (kind_ == ControlKind::Edit && !(style_ & ES_MULTILINE))
    Notify(EN_CHANGE);
}

bool DialogControl::Enabled() const {
  return !(style_ & WS_DISABLED);
}

void DialogControl::Enable(bool enabled) {
  uint32_t style = enabled ? (style_ & ~WS_DISABLED) : (style_ | WS_DISABLED);
  if (style == style_)
    return;
  style_ = style;
  if (GetHwnd())
    win::SetWindowStyle(GetHwnd(), style_);
  Changed(kStateChanged);
}

bool DialogControl::Visible() const {
  return (style_ & win::WS_VISIBLE) != 0;
}

void DialogControl::Show(bool visible) {
  uint32_t style = visible ? (style_ | win::WS_VISIBLE) : (style_ & ~win::WS_VISIBLE);
  if (style == style_)
    return;
  style_ = style;
  if (GetHwnd())
    win::SetWindowStyle(GetHwnd(), style_);
  Changed(kStateChanged);
}

bool DialogControl::ReadOnly() const {
  return kind_ == ControlKind::Edit && (style_ & ES_READONLY);
}

void DialogControl::SetReadOnly(bool readOnly) {
  if (kind_ != ControlKind::Edit || readOnly == ReadOnly())
    return;
  style_ = readOnly ? (style_ | ES_READONLY) : (style_ & ~ES_READONLY);
  if (GetHwnd())
    win::SetWindowStyle(GetHwnd(), style_);
  Changed(kStateChanged);
}

void DialogControl::SetTextLimit(uint32_t bytes) {
  if (kind_ != ControlKind::Edit)
    return;
  textLimit_ = bytes;
  std::string cut = LimitText(text_);
  if (cut != text_) {
    text_ = std::move(cut);
    Changed(kTextChanged);
  }
}

void DialogControl::SetCheck(uint32_t state) {
  if (!IsCheckBox())
    return;
  uint32_t t = ButtonType();
  bool threeState = t == BS_3STATE || t == BS_AUTO3STATE;
  uint32_t check = state == BST_INDETERMINATE && threeState ? BST_INDETERMINATE
                   : state != BST_UNCHECKED                 ? BST_CHECKED
                                                            : BST_UNCHECKED;
  if (check == check_)
    return;
  check_ = check;
  Changed(kStateChanged);
}

int DialogControl::InsertItem(int index, std::string_view utf8) {
  items_.insert(items_.begin() + index, std::string(utf8));
  if (selection_ >= index)
    ++selection_;
  Changed(kItemsChanged);
  return index;
}

int DialogControl::AddString(std::string_view utf8) {
  if (kind_ != ControlKind::ListBox && kind_ != ControlKind::ComboBox)
    return -1;
  int index = static_cast<int>(items_.size());
  if (Sorted()) {
    auto at =
        std::upper_bound(items_.begin(), items_.end(), utf8,
                         [](std::string_view a, const std::string& b) { return LessNoCase(a, b); });
    index = static_cast<int>(at - items_.begin());
  }
  return InsertItem(index, utf8);
}

int DialogControl::InsertString(int index, std::string_view utf8) {
  if (kind_ != ControlKind::ListBox && kind_ != ControlKind::ComboBox)
    return -1;
  if (index == -1)
    index = Count();
  if (index < 0 || index > Count())
    return -1;
  return InsertItem(index, utf8);
}

bool DialogControl::DeleteString(int index) {
  if (index < 0 || index >= Count())
    return false;
  items_.erase(items_.begin() + index);
  if (selection_ == index)
    selection_ = -1;
  else if (selection_ > index)
    --selection_;
  Changed(kItemsChanged);
  return true;
}

void DialogControl::ResetContent() {
  if (items_.empty() && selection_ == -1)
    return;
  items_.clear();
  selection_ = -1;
  Changed(kItemsChanged);
}

std::optional<std::string> DialogControl::ItemText(int index) const {
  if (index < 0 || index >= Count())
    return std::nullopt;
  return items_[static_cast<size_t>(index)];
}

bool DialogControl::SetSelection(int index) {
  if (kind_ != ControlKind::ListBox && kind_ != ControlKind::ComboBox)
    return false;
  if (index < -1 || index >= Count())
    return false;
  uint32_t what = 0;
  if (index != selection_) {
    selection_ = index;
    what |= kStateChanged;
  }
  if (kind_ == ControlKind::ComboBox) {
    std::string text = index >= 0 ? items_[static_cast<size_t>(index)] : std::string();
    if (text != text_) {
      text_ = std::move(text);
      what |= kTextChanged;
    }
  }
  if (what)
    Changed(what);
  return true;
}

void DialogControl::SetRange(int low, int high) {
  if (kind_ != ControlKind::Progress)
    return;
  low_ = low;
  high_ = high;
  position_ = std::clamp(position_, std::min(low_, high_), std::max(low_, high_));
  Changed(kStateChanged);
}

int DialogControl::SetPosition(int position) {
  int previous = position_;
  if (kind_ != ControlKind::Progress)
    return previous;
  position_ = std::clamp(position, std::min(low_, high_), std::max(low_, high_));
  if (position_ != previous)
    Changed(kStateChanged);
  return previous;
}

LResult DialogControl::OnCreate(LParam createStruct) {
  const win::CreateStruct* cs = win::AsCreateStruct(createStruct);
  auto* dialog = dynamic_cast<Dialog*>(win::GetWindowObject(cs->parent));
  if (!dialog)
    return -1;
  id_ = cs->id == 0xFFFF ? IDC_STATIC : static_cast<int32_t>(cs->id);
  style_ = cs->style;
  rect_ = gdi::MakeRect(cs->x, cs->y, cs->width, cs->height);
  text_ = std::string(cs->title);
  dialog_ = dialog;
  dialog->AdoptControl(this);
  return 0;
}

LResult DialogControl::WindowProc(uint32_t message, WParam wParam, LParam lParam) {
  try {
    return HandleMessage(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LResult DialogControl::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
  const bool list = kind_ == ControlKind::ListBox;
  const bool combo = kind_ == ControlKind::ComboBox;
  const bool progress = kind_ == ControlKind::Progress;
  const int codePage = dialog_ ? dialog_->CodePage() : sys::kDefaultCodePage;
  const LResult err = list ? LB_ERR : CB_ERR;
  switch (message) {
  case win::WM_NCCREATE:
    return 1;
  case win::WM_CREATE:
    return OnCreate(lParam);
  case win::WM_NCDESTROY:
    if (dialog_)
      dialog_->ForgetControl(this);
    dialog_ = nullptr;
    return 0;
  case win::WM_SETTEXT:
    if (!lParam)
      return 0;
    SetText(ToUtf8(CString(lParam)));
    return 1;
  case win::WM_GETTEXT:
    return CopyOut(ToBytes(text_), reinterpret_cast<char*>(lParam), wParam, codePage);
  case WM_GETTEXTLENGTH:
    return static_cast<LResult>(ToBytes(text_).size());
  default:
    break;
  }
  if (kind_ == ControlKind::Button) {
    switch (message) {
    case BM_GETCHECK:
      return IsCheckBox() ? check_ : 0;
    case BM_SETCHECK:
      SetCheck(static_cast<uint32_t>(wParam));
      return 0;
    case BM_CLICK:
      if (dialog_)
        dialog_->Click(id_);
      return 0;
    default:
      break;
    }
  }
  if (kind_ == ControlKind::Edit) {
    switch (message) {
    case EM_LIMITTEXT:
      SetTextLimit(static_cast<uint32_t>(wParam));
      return 0;
    case EM_SETREADONLY:
      SetReadOnly(wParam != 0);
      return 1;
    default:
      break;
    }
  }
  if (list || combo) {
    const uint32_t add = list ? LB_ADDSTRING : CB_ADDSTRING;
    const uint32_t insert = list ? LB_INSERTSTRING : CB_INSERTSTRING;
    const uint32_t remove = list ? LB_DELETESTRING : CB_DELETESTRING;
    const uint32_t reset = list ? LB_RESETCONTENT : CB_RESETCONTENT;
    const uint32_t setSel = list ? LB_SETCURSEL : CB_SETCURSEL;
    const uint32_t getSel = list ? LB_GETCURSEL : CB_GETCURSEL;
    const uint32_t getText = list ? LB_GETTEXT : CB_GETLBTEXT;
    const uint32_t getTextLen = list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
    const uint32_t getCount = list ? LB_GETCOUNT : CB_GETCOUNT;
    const int index = static_cast<int>(static_cast<intptr_t>(wParam));
    if (message == add) {
      int r = AddString(ToUtf8(CString(lParam)));
      return r < 0 ? err : r;
    }
    if (message == insert) {
      int r = InsertString(index, ToUtf8(CString(lParam)));
      return r < 0 ? err : r;
    }
    if (message == remove)
      return DeleteString(index) ? Count() : err;
    if (message == reset) {
      ResetContent();
      return 0;
    }
    if (message == setSel) {
      // Clearing the selection also answers LB_ERR / CB_ERR.
      return SetSelection(index) && index >= 0 ? index : err;
    }
    if (message == getSel)
      return selection_ >= 0 ? selection_ : err;
    if (message == getText) {
      // The caller's buffer holds LB_GETTEXTLEN + 1 bytes, by the message's
      // own contract.
      auto item = ItemText(index);
      if (!item || !lParam)
        return err;
      std::string bytes = ToBytes(*item);
      std::memcpy(reinterpret_cast<char*>(lParam), bytes.c_str(), bytes.size() + 1);
      return static_cast<LResult>(bytes.size());
    }
    if (message == getTextLen) {
      auto item = ItemText(index);
      return item ? static_cast<LResult>(ToBytes(*item).size()) : err;
    }
    if (message == getCount)
      return Count();
  }
  if (progress) {
    switch (message) {
    case PBM_SETRANGE: {
      LResult previous = MakeLParam(static_cast<uint16_t>(low_), static_cast<uint16_t>(high_));
      SetRange(LowWord(static_cast<uintptr_t>(lParam)), HighWord(static_cast<uintptr_t>(lParam)));
      return previous;
    }
    case PBM_SETRANGE32: {
      LResult previous = MakeLParam(static_cast<uint16_t>(low_), static_cast<uint16_t>(high_));
      SetRange(static_cast<int>(static_cast<intptr_t>(wParam)), static_cast<int>(lParam));
      return previous;
    }
    case PBM_SETPOS:
      return SetPosition(static_cast<int>(static_cast<intptr_t>(wParam)));
    case PBM_DELTAPOS:
      return SetPosition(position_ + static_cast<int>(static_cast<intptr_t>(wParam)));
    case PBM_SETSTEP: {
      int previous = step_;
      step_ = static_cast<int>(static_cast<intptr_t>(wParam));
      return previous;
    }
    case PBM_STEPIT: {
      // Past the end the bar starts over from the beginning.
      int previous = position_;
      int64_t next = static_cast<int64_t>(position_) + step_;
      int64_t span = static_cast<int64_t>(high_) - low_;
      if (span > 0 && next > high_)
        next = low_ + (next - low_) % span;
      SetPosition(static_cast<int>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX)));
      return previous;
    }
    case PBM_GETPOS:
      return position_;
    default:
      break;
    }
  }
  return win::DefWindowProc(GetHwnd(), message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// States

const ControlState* DialogState::Find(int32_t id) const {
  for (const ControlState& c : controls) {
    if (c.id == id)
      return &c;
  }
  return nullptr;
}

std::string DialogState::Text(int32_t id) const {
  const ControlState* c = Find(id);
  return c ? c->text : std::string();
}

} // namespace ui
