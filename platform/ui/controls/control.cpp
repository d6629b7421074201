#include "platform/ui/controls/control.h"

#include "platform/sys/codepage.h"
#include "platform/sys/log.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"

#include <cstring>

namespace ui {
namespace {

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

} // namespace

int Control::CodePage() const {
  return dialog_ ? dialog_->CodePage() : sys::kDefaultCodePage;
}

std::string Control::ToUtf8(std::string_view bytes) const {
  return sys::ToUtf8(bytes, CodePage());
}

std::string Control::ToBytes(std::string_view utf8) const {
  return sys::FromUtf8Lossy(utf8, CodePage());
}

std::string_view Control::CString(LParam lParam) {
  return lParam ? std::string_view(reinterpret_cast<const char*>(lParam)) : std::string_view();
}

void Control::Changed(uint32_t what) {
  if ((what & kTextChanged) && GetHwnd())
    win::SetWindowText(GetHwnd(), text_);
  if (dialog_)
    dialog_->ControlChanged(*this, what);
}

void Control::Notify(uint16_t code) {
  if (!dialog_ || !dialog_->ready_ || !dialog_->GetHwnd())
    return;
  win::SendMessage(dialog_->GetHwnd(), win::WM_COMMAND,
                   MakeWParam(static_cast<uint16_t>(id_ & 0xFFFF), code),
                   static_cast<LParam>(GetHwnd()));
}

void Control::SetStyle(uint32_t style) {
  if (style == style_)
    return;
  style_ = style;
  if (GetHwnd())
    win::SetWindowStyle(GetHwnd(), style_);
  Changed(kStateChanged);
}

void Control::SetText(std::string_view utf8) {
  if (utf8 == text_)
    return;
  text_ = std::string(utf8);
  Changed(kTextChanged);
}

bool Control::Enabled() const {
  return !(style_ & WS_DISABLED);
}

void Control::Enable(bool enabled) {
  SetStyle(enabled ? (style_ & ~WS_DISABLED) : (style_ | WS_DISABLED));
}

bool Control::Visible() const {
  return (style_ & win::WS_VISIBLE) != 0;
}

void Control::Show(bool visible) {
  SetStyle(visible ? (style_ | win::WS_VISIBLE) : (style_ & ~win::WS_VISIBLE));
}

void Control::Describe(ControlState& state) const {
  state.id = id_;
  state.kind = kind_;
  state.style = style_;
  state.text = text_;
  state.enabled = Enabled();
  state.visible = Visible();
}

gdi::Rect Control::WidgetRect(const QWidget&) const {
  return rect_;
}

LResult Control::OnCreate(LParam createStruct) {
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

LResult Control::WindowProc(uint32_t message, WParam wParam, LParam lParam) {
  try {
    return HandleMessage(message, wParam, lParam);
  } catch (const std::exception& e) {
    sys::Warn("ui", "control %d threw on message 0x%04x: %s", id_, message, e.what());
    return 0;
  } catch (...) {
    sys::Warn("ui", "control %d threw on message 0x%04x", id_, message);
    return 0;
  }
}

LResult Control::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
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
    return CopyOut(ToBytes(text_), reinterpret_cast<char*>(lParam), wParam, CodePage());
  case WM_GETTEXTLENGTH:
    return static_cast<LResult>(ToBytes(text_).size());
  default:
    return win::DefWindowProc(GetHwnd(), message, wParam, lParam);
  }
}

} // namespace ui
