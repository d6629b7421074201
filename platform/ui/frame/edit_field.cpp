#include "platform/ui/frame/edit_field.h"

#include "platform/sys/codepage.h"
#include "platform/ui/controls/control.h"
#include "platform/ui/window/cursor.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstring>

namespace ui {
namespace {

constexpr gdi::Colour kWindow = gdi::Rgb(255, 255, 255);
constexpr gdi::Colour kText = gdi::Rgb(0, 0, 0);
constexpr gdi::Colour kFrame = gdi::Rgb(0, 0, 0);
constexpr gdi::Colour kSelection = gdi::Rgb(0, 0, 128);
constexpr gdi::Colour kSelectedText = gdi::Rgb(255, 255, 255);
constexpr int32_t kMargin = 2;

bool IsContinuation(char c) {
  return (static_cast<uint8_t>(c) & 0xC0) == 0x80;
}

size_t PreviousChar(const std::string& s, size_t at) {
  if (at == 0)
    return 0;
  --at;
  while (at > 0 && IsContinuation(s[at]))
    --at;
  return at;
}

size_t NextChar(const std::string& s, size_t at) {
  if (at >= s.size())
    return s.size();
  ++at;
  while (at < s.size() && IsContinuation(s[at]))
    ++at;
  return at;
}

std::string Utf8Of(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x110000) {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return out;
}

} // namespace

bool EditField::Create(Hwnd parent, uint32_t id, gdi::Rect rect, uint32_t style) {
  static const bool registered = [] {
    return RegisterScreenClass({kEditFieldClass, 0,
                                [] { return std::make_unique<EditField>(); },
                                LoadCursor(IDC_IBEAM), kWindow});
  }();
  (void)registered;
  id_ = id;
  style_ = style;
  win::CreateParams p;
  p.className = kEditFieldClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = parent;
  p.id = id;
  p.x = rect.left;
  p.y = rect.top;
  p.width = std::max(1, rect.Width());
  p.height = std::max(1, rect.Height());
  p.object = this;
  return win::CreateWindow(p) != 0;
}

void EditField::SetFont(std::shared_ptr<const gdi::Font> font) {
  font_ = std::move(font);
  Changed();
}

void EditField::SetText(std::string_view utf8) {
  text_.assign(utf8);
  caret_ = text_.size();
  allSelected_ = false;
  Changed();
}

void EditField::SelectAll() {
  allSelected_ = true;
  caret_ = text_.size();
  Changed();
}

void EditField::Changed() {
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, false);
}

bool EditField::Hand(FieldEvent event, bool* taken) {
  const Hwnd self = GetHwnd();
  *taken = hook_ && hook_(event);
  return win::GetWindowObject(self) == this;
}

void EditField::Type(char32_t c) {
  if (c == 8) { // Backspace
    if (allSelected_) {
      text_.clear();
      caret_ = 0;
    } else if (caret_ > 0) {
      const size_t from = PreviousChar(text_, caret_);
      text_.erase(from, caret_ - from);
      caret_ = from;
    }
    allSelected_ = false;
    Changed();
    return;
  }
  if (c < 0x20 || c == 0x7F)
    return;
  if (allSelected_) {
    text_.clear();
    caret_ = 0;
    allSelected_ = false;
  }
  const std::string bytes = Utf8Of(c);
  text_.insert(caret_, bytes);
  caret_ += bytes.size();
  Changed();
}

void EditField::Key(uint32_t key) {
  switch (key) {
  case VK_LEFT:
    caret_ = allSelected_ ? 0 : PreviousChar(text_, caret_);
    break;
  case VK_RIGHT:
    caret_ = allSelected_ ? text_.size() : NextChar(text_, caret_);
    break;
  case VK_HOME:
    caret_ = 0;
    break;
  case VK_END:
    caret_ = text_.size();
    break;
  case VK_DELETE:
    if (allSelected_) {
      text_.clear();
      caret_ = 0;
    } else {
      text_.erase(caret_, NextChar(text_, caret_) - caret_);
    }
    break;
  default:
    return;
  }
  allSelected_ = false;
  Changed();
}

void EditField::Draw(gdi::Dc& dc) {
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FillRect(area, kWindow);
  dc.FrameRect(area, kFrame);
  if (font_)
    dc.SelectFont(font_);
  const int cp = dc.SystemCodePage();
  const std::string bytes = sys::FromUtf8Lossy(text_, cp);
  const gdi::Size extent = dc.TextExtent(bytes);
  const gdi::Rect inner{area.left + kMargin, area.top + 1, area.right - kMargin, area.bottom - 1};
  int32_t x = inner.left;
  if ((style_ & 3) == ES_RIGHT)
    x = inner.right - extent.cx;
  else if ((style_ & 3) == ES_CENTER)
    x = inner.left + (inner.Width() - extent.cx) / 2;
  // A text wider than the field shows its end, where typing goes.
  if (extent.cx > inner.Width())
    x = inner.right - extent.cx;
  const int32_t y = inner.top + (inner.Height() - extent.cy) / 2;
  const int saved = dc.Save();
  dc.SetClipRect(inner);
  dc.SetBkMode(gdi::kTransparent);
  if (allSelected_ && !text_.empty()) {
    dc.FillRect(gdi::MakeRect(x, y, extent.cx, extent.cy), kSelection);
    dc.SetTextColor(kSelectedText);
  } else {
    dc.SetTextColor(kText);
  }
  dc.TextOut(x, y, bytes);
  if (focused_ && !allSelected_) {
    const int32_t caretX =
        x + dc.TextExtent(sys::FromUtf8Lossy(std::string_view(text_).substr(0, caret_), cp)).cx;
    dc.FillRect(gdi::MakeRect(caretX, y, 1, std::max(extent.cy, 1)), kText);
  }
  dc.Restore(saved);
}

LResult EditField::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
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
    SetFocus(GetHwnd());
    return 0;
  case win::WM_SETFOCUS:
    focused_ = true;
    Changed();
    return 0;
  case win::WM_KILLFOCUS: {
    focused_ = false;
    bool taken = false;
    if (Hand(FieldEvent::FocusLost, &taken))
      Changed();
    return 0;
  }
  case win::WM_KEYDOWN: {
    bool taken = false;
    if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
      Hand(wParam == VK_RETURN ? FieldEvent::Enter : FieldEvent::Escape, &taken);
      return 0;
    }
    Key(static_cast<uint32_t>(wParam));
    return 0;
  }
  case win::WM_CHAR:
    if (wParam != '\r' && wParam != 27)
      Type(static_cast<char32_t>(wParam));
    return 0;
  case win::WM_SETTEXT:
    SetText(sys::ToUtf8(lParam ? std::string_view(reinterpret_cast<const char*>(lParam)) : ""));
    return 1;
  case win::WM_GETTEXT: {
    auto* buffer = reinterpret_cast<char*>(lParam);
    if (!buffer || wParam == 0)
      return 0;
    const std::string bytes = sys::FromUtf8Lossy(text_);
    const size_t n = sys::CutLength(bytes, wParam - 1);
    std::memcpy(buffer, bytes.data(), n);
    buffer[n] = '\0';
    return static_cast<LResult>(n);
  }
  case WM_GETTEXTLENGTH:
    return static_cast<LResult>(sys::FromUtf8Lossy(text_).size());
  case EM_SETSEL:
    if (wParam == 0 && lParam == -1)
      SelectAll();
    return 0;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
