#include "platform/ui/dialog/dialog.h"

#include "platform/sys/log.h"
#include "platform/ui/modal/modal_hook.h"
#include "platform/ui/controls/control_table.h"
#include "platform/ui/dialog/dialog_view.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <QWidget>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

namespace ui {
namespace {

void RegisterDialogClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    // A dialog window is only ever made by its object.
    win::RegisterClass({kDialogClass, 0, [] { return std::unique_ptr<win::Window>(); }});
    // Controls of registered screen classes (custom controls) show inside
    // the dialog's Qt window.
    SetChildHost([](Hwnd parent) -> QWidget* {
      Dialog* d = GetDialog(parent);
      return d ? d->Widget() : nullptr;
    });
  });
  RegisterControlClasses();
}

std::shared_ptr<DialogBackend> ChooseBackend() {
  static const auto qt = std::make_shared<QtDialogs>();
  static const auto headless = std::make_shared<HeadlessDialogs>();
  if (detail::DialogView::CanBuild() && CanShowQtDialogs())
    return qt;
  return headless;
}

std::string_view CString(LParam lParam) {
  return lParam ? std::string_view(reinterpret_cast<const char*>(lParam)) : std::string_view();
}

bool Usable(const Control* c) {
  return c && c->Enabled() && c->Visible();
}

// Procedure-style dialogs: every message goes to the procedure, and only
// EndDialog ends them.
class ProcDialog : public Dialog {
public:
  ProcDialog(DialogTemplate t, int codePage, DialogProc proc)
      : Dialog(std::move(t), codePage), proc_(std::move(proc)) {}
  void OwnItself() { selfOwned_ = true; }
  void Detached() override {
    if (selfOwned_)
      delete this;
  }

protected:
  std::optional<LResult> OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    intptr_t r = proc_ ? proc_(GetHwnd(), message, wParam, lParam) : 0;
    if (message == win::WM_INITDIALOG)
      return r ? 1 : 0;
    if (r)
      return r;
    return std::nullopt;
  }

private:
  DialogProc proc_;
  bool selfOwned_ = false;
};

} // namespace

// ---------------------------------------------------------------------------
// Dialogs

Dialog::Dialog(DialogTemplate dialogTemplate, int codePage)
    : template_(std::move(dialogTemplate)), codePage_(codePage) {}

Dialog::~Dialog() {
  if (GetHwnd())
    win::DestroyWindow(GetHwnd());
  widgets_.reset();
}

gdi::Rect Dialog::MapDialogRect(const gdi::Rect& dialogUnits) const {
  return ui::MapDialogRect(dialogUnits, baseUnits_);
}

gdi::Size Dialog::ClientSize() const {
  gdi::Rect r = MapDialogRect(gdi::MakeRect(0, 0, template_.width, template_.height));
  return gdi::Size{r.Width(), r.Height()};
}

Control* Dialog::FindItem(int32_t id) const {
  for (Control* c : controls_) {
    if (c->Id() == id)
      return c;
  }
  return nullptr;
}

int Dialog::DefaultId() const {
  if (defaultId_)
    return defaultId_;
  for (Control* c : controls_) {
    auto* button = dynamic_cast<Button*>(c);
    if (button && button->ButtonType() == BS_DEFPUSHBUTTON && c->Id() != IDC_STATIC)
      return c->Id();
  }
  return IDOK;
}

void Dialog::SetDefaultId(int id) {
  defaultId_ = id;
  if (widgets_)
    widgets_->SyncDefault();
}

DialogState Dialog::State() const {
  DialogState state;
  state.caption = GetHwnd() ? win::GetWindowText(GetHwnd()).value_or("") : template_.caption;
  for (const Control* c : controls_) {
    ControlState s;
    c->Describe(s);
    state.controls.push_back(std::move(s));
  }
  return state;
}

bool Dialog::Open(Hwnd owner, LParam initParam, DialogBackend& backend) {
  if (GetHwnd())
    return false;
  RegisterDialogClasses();
  ended_ = false;
  ready_ = false;
  result_ = 0;
  defaultId_ = 0;
  owner_ = owner;
  initParam_ = initParam;
  controls_.clear();
  widgets_.reset();
  baseUnits_ = BaseUnitsOfFont(template_.pointSize, template_.face);

  gdi::Rect frame =
      MapDialogRect(gdi::MakeRect(template_.x, template_.y, template_.width, template_.height));
  win::CreateParams p;
  p.className = kDialogClass;
  p.title = template_.caption;
  p.style = template_.style;
  p.x = frame.left;
  p.y = frame.top;
  p.width = frame.Width();
  p.height = frame.Height();
  p.object = this;
  if (template_.style & win::WS_CHILD)
    p.parent = owner;
  Hwnd hwnd = win::CreateWindow(p);
  if (!hwnd)
    return false;
  if (backend.ShowsWidgets() && detail::DialogView::CanBuild())
    widgets_ = detail::DialogView::Build(*this, detail::OwnerWidget(owner));

  for (const DialogItemTemplate& item : template_.items) {
    gdi::Rect r = MapDialogRect(gdi::MakeRect(item.x, item.y, item.width, item.height));
    win::CreateParams c;
    c.className = item.className.empty() ? std::string(item.kind.className) : item.className;
    c.title = item.text;
    c.style = item.style | win::WS_CHILD;
    c.parent = hwnd;
    c.id = static_cast<uint32_t>(item.id) & 0xFFFF;
    c.x = r.left;
    c.y = r.top;
    c.width = r.Width();
    c.height = r.Height();
    if (!win::CreateWindow(c)) {
      sys::Warn("ui", "dialog \"%s\": control %d could not be made", template_.caption.c_str(),
                item.id);
      Close();
      return false;
    }
  }

  ready_ = true;
  Hwnd focus = 0;
  for (Control* c : controls_) {
    if (Usable(c) && (c->Style() & WS_TABSTOP)) {
      focus = c->GetHwnd();
      break;
    }
  }
  LResult setFocus = win::SendMessage(hwnd, win::WM_INITDIALOG, focus, initParam);
  if (!GetHwnd())
    return false; // destroyed while it initialised
  if (setFocus && widgets_)
    widgets_->FocusFirst();
  return true;
}

void Dialog::Close() {
  if (GetHwnd())
    win::DestroyWindow(GetHwnd());
  DropWidgets();
  widgets_.reset();
  controls_.clear();
}

int Dialog::DoModal(Hwnd owner, LParam initParam) {
  if (GetHwnd())
    return -1;
  std::shared_ptr<DialogBackend> backend = DialogBackend::Slot().Current();
  modal_ = true;
  ModalScope scope(owner, [this] { EndDialog(IDCANCEL); });
  if (!Open(owner, initParam, *backend)) {
    Close();
    return -1;
  }
  if (!ended_)
    backend->RunModal(*this);
  if (!ended_)
    EndDialog(IDCANCEL);
  int result = result_;
  Close();
  return result;
}

bool Dialog::Create(Hwnd owner, LParam initParam) {
  if (GetHwnd())
    return false;
  std::shared_ptr<DialogBackend> backend = DialogBackend::Slot().Current();
  modal_ = false;
  if (!Open(owner, initParam, *backend)) {
    Close();
    return false;
  }
  if (widgets_ && !ended_)
    widgets_->ShowModeless();
  backend->Opened(*this);
  return true;
}

void Dialog::MoveChild(const gdi::Rect& rect) {
  if (!(template_.style & win::WS_CHILD))
    return;
  if (QWidget* w = widgets_ ? widgets_->Window() : nullptr)
    w->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
}

void Dialog::EndDialog(int result) {
  if (ended_)
    return;
  ended_ = true;
  result_ = result;
  if (widgets_)
    widgets_->Ended();
}

void Dialog::AdoptControl(Control* control) {
  controls_.push_back(control);
  if (widgets_)
    widgets_->Add(*control);
}

void Dialog::ForgetControl(Control* control) {
  if (widgets_)
    widgets_->Remove(*control);
  std::erase(controls_, control);
}

void Dialog::ControlChanged(Control& control, uint32_t what) {
  if (widgets_)
    widgets_->Sync(control, what);
  if (busy_ && ready_)
    ShowBusyChange(control, what);
}

void Dialog::DropWidgets() {
  if (widgets_)
    widgets_->Teardown();
}

QWidget* Dialog::Widget() const {
  return widgets_ ? widgets_->Window() : nullptr;
}

QWidget* Dialog::ItemWidget(int32_t id) const {
  return widgets_ ? widgets_->WidgetOf(id) : nullptr;
}

bool Dialog::Click(int32_t id) {
  Control* c = Item(id);
  return ready_ && !ended_ && !busy_ && Usable(c) && c->TakeClick();
}

bool Dialog::Type(int32_t id, std::string_view utf8) {
  Control* c = Item(id);
  return ready_ && !ended_ && !busy_ && Usable(c) && c->TakeTyping(utf8);
}

bool Dialog::Choose(int32_t id, int index) {
  Control* c = Item(id);
  return ready_ && !ended_ && !busy_ && Usable(c) && c->TakeChoice(index);
}

bool Dialog::DoubleClick(int32_t id, int index) {
  Control* c = Item(id);
  return ready_ && !ended_ && Usable(c) && c->TakeDoubleClick(index);
}

bool Dialog::Scroll(int32_t id, uint32_t code, int32_t position) {
  Control* c = Item(id);
  return ready_ && !ended_ && !busy_ && Usable(c) && c->TakeScroll(code, position);
}

void Dialog::PressEnter(int32_t focusedId) {
  if (!ready_ || ended_ || busy_ || !GetHwnd())
    return;
  int id = DefaultId();
  if (Button* f = focusedId ? Item<Button>(focusedId) : nullptr; f && f->IsPushButton())
    id = focusedId;
  Control* c = Item(id);
  if (c && !Usable(c))
    return;
  win::SendMessage(GetHwnd(), win::WM_COMMAND,
                   MakeWParam(static_cast<uint16_t>(id & 0xFFFF), BN_CLICKED),
                   static_cast<LParam>(c ? c->GetHwnd() : 0));
}

void Dialog::PressEscape() {
  if (!ready_ || ended_ || busy_ || !GetHwnd())
    return;
  Control* c = Item(IDCANCEL);
  if (c && !c->Enabled())
    return;
  win::SendMessage(GetHwnd(), win::WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED),
                   static_cast<LParam>(c ? c->GetHwnd() : 0));
}

void Dialog::PressClose() {
  if (!ready_ || ended_ || busy_ || !GetHwnd())
    return;
  win::SendMessage(GetHwnd(), win::WM_CLOSE, 0, 0);
}

std::optional<LResult> Dialog::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_INITDIALOG:
    return OnInitDialog() ? 1 : 0;
  case win::WM_COMMAND:
    if (OnCommand(static_cast<uint16_t>(LowWord(wParam)), static_cast<uint16_t>(HighWord(wParam)),
                  static_cast<Hwnd>(lParam)))
      return 0;
    return std::nullopt;
  default:
    return std::nullopt;
  }
}

bool Dialog::OnCommand(uint16_t id, uint16_t code, Hwnd) {
  if (code != BN_CLICKED)
    return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

LResult Dialog::DefaultHandling(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_CLOSE: {
    // The close box cancels, unless the Cancel button is disabled.
    Control* c = Item(IDCANCEL);
    if (c && !c->Enabled())
      return 0;
    win::SendMessage(GetHwnd(), win::WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED),
                     static_cast<LParam>(c ? c->GetHwnd() : 0));
    return 0;
  }
  case DM_GETDEFID:
    return MakeLParam(static_cast<uint16_t>(DefaultId() & 0xFFFF), DC_HASDEFID);
  case DM_SETDEFID:
    SetDefaultId(static_cast<int>(wParam & 0xFFFF));
    return 1;
  case win::WM_SETTEXT: {
    if (!lParam)
      return 0;
    std::string caption = sys::ToUtf8(CString(lParam), codePage_);
    win::SetWindowText(GetHwnd(), caption);
    if (widgets_)
      widgets_->SetCaption(caption);
    return 1;
  }
  default:
    return win::DefWindowProc(GetHwnd(), message, wParam, lParam);
  }
}

LResult Dialog::WindowProc(uint32_t message, WParam wParam, LParam lParam) {
  try {
    switch (message) {
    case win::WM_NCCREATE:
      return 1;
    case win::WM_CREATE:
      return 0;
    case win::WM_DESTROY: {
      if (ready_)
        OnMessage(message, wParam, lParam);
      OnDestroy();
      // A modal dialog whose window goes away has been cancelled.
      if (!ended_)
        EndDialog(IDCANCEL);
      DropWidgets();
      return 0;
    }
    case win::WM_NCDESTROY:
      if (ready_)
        OnMessage(message, wParam, lParam);
      ready_ = false;
      controls_.clear();
      return 0;
    default:
      break;
    }
    if (ready_) {
      if (auto r = OnMessage(message, wParam, lParam))
        return *r;
    }
    return DefaultHandling(message, wParam, lParam);
  } catch (const std::exception& e) {
    sys::Warn("ui", "dialog \"%s\" threw on message 0x%04x: %s", template_.caption.c_str(), message,
              e.what());
    return 0;
  } catch (...) {
    sys::Warn("ui", "dialog \"%s\" threw on message 0x%04x", template_.caption.c_str(), message);
    return 0;
  }
}

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

// ---------------------------------------------------------------------------
// Procedures and helpers

Dialog* GetDialog(Hwnd dialog) {
  return dynamic_cast<Dialog*>(win::GetWindowObject(dialog));
}

int DialogBoxTemplate(const DialogTemplate& dialogTemplate, Hwnd owner, DialogProc proc,
                      LParam initParam, int codePage) {
  ProcDialog dialog(dialogTemplate, codePage, std::move(proc));
  return dialog.DoModal(owner, initParam);
}

Hwnd CreateDialogTemplate(const DialogTemplate& dialogTemplate, Hwnd owner, DialogProc proc,
                          LParam initParam, int codePage) {
  auto dialog = std::make_unique<ProcDialog>(dialogTemplate, codePage, std::move(proc));
  if (!dialog->Create(owner, initParam) || !dialog->GetHwnd())
    return 0;
  dialog->OwnItself();
  return dialog.release()->GetHwnd();
}

bool EndDialog(Hwnd dialog, int result) {
  Dialog* d = GetDialog(dialog);
  if (!d)
    return false;
  d->EndDialog(result);
  return true;
}

Hwnd GetDlgItem(Hwnd dialog, int32_t id) {
  Dialog* d = GetDialog(dialog);
  if (!d)
    return 0;
  if (Control* c = d->Item(id))
    return c->GetHwnd();
  // A control of another window class (a custom control): the child
  // window with the id.
  const uint32_t wanted = static_cast<uint32_t>(id) & 0xFFFF;
  for (Hwnd child : win::GetChildWindows(dialog))
    if (win::GetDlgCtrlId(child) == wanted)
      return child;
  return 0;
}

bool SetDlgItemText(Hwnd dialog, int32_t id, std::string_view bytes) {
  Dialog* d = GetDialog(dialog);
  Control* c = d ? d->Item(id) : nullptr;
  if (!c)
    return false;
  c->SetText(sys::ToUtf8(bytes, d->CodePage()));
  return true;
}

std::string GetDlgItemText(Hwnd dialog, int32_t id) {
  Dialog* d = GetDialog(dialog);
  Control* c = d ? d->Item(id) : nullptr;
  return c ? sys::FromUtf8Lossy(c->Text(), d->CodePage()) : std::string();
}

bool SetDlgItemTextUtf8(Hwnd dialog, int32_t id, std::string_view utf8) {
  Dialog* d = GetDialog(dialog);
  Control* c = d ? d->Item(id) : nullptr;
  if (!c)
    return false;
  c->SetText(utf8);
  return true;
}

std::string GetDlgItemTextUtf8(Hwnd dialog, int32_t id) {
  Dialog* d = GetDialog(dialog);
  Control* c = d ? d->Item(id) : nullptr;
  return c ? c->Text() : std::string();
}

uint32_t GetDlgItemInt(Hwnd dialog, int32_t id, bool* translated, bool isSigned) {
  if (translated)
    *translated = false;
  Dialog* d = GetDialog(dialog);
  Control* c = d ? d->Item(id) : nullptr;
  if (!c)
    return 0;
  std::string_view text = c->Text();
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  bool negative = false;
  if (isSigned && !text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    return 0;
  uint64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size())
    return 0;
  uint64_t limit = isSigned ? (negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1)
                            : std::numeric_limits<uint32_t>::max();
  if (value > limit)
    return 0;
  if (translated)
    *translated = true;
  if (negative)
    return static_cast<uint32_t>(-static_cast<int64_t>(value));
  return static_cast<uint32_t>(value);
}

bool SetDlgItemInt(Hwnd dialog, int32_t id, uint32_t value, bool isSigned) {
  std::string text = isSigned ? std::to_string(static_cast<int32_t>(value)) : std::to_string(value);
  return SetDlgItemTextUtf8(dialog, id, text);
}

bool CheckDlgButton(Hwnd dialog, int32_t id, uint32_t state) {
  Dialog* d = GetDialog(dialog);
  Button* c = d ? d->Item<Button>(id) : nullptr;
  if (!c || !c->IsCheckBox())
    return false;
  c->SetCheck(state);
  return true;
}

uint32_t IsDlgButtonChecked(Hwnd dialog, int32_t id) {
  Dialog* d = GetDialog(dialog);
  Button* c = d ? d->Item<Button>(id) : nullptr;
  return c && c->IsCheckBox() ? c->Check() : BST_UNCHECKED;
}

bool EnableDlgItem(Hwnd dialog, int32_t id, bool enabled) {
  Dialog* d = GetDialog(dialog);
  Control* c = d ? d->Item(id) : nullptr;
  if (!c)
    return false;
  c->Enable(enabled);
  return true;
}

LResult SendDlgItemMessage(Hwnd dialog, int32_t id, uint32_t message, WParam wParam,
                           LParam lParam) {
  Hwnd control = GetDlgItem(dialog, id);
  return control ? win::SendMessage(control, message, wParam, lParam) : 0;
}

// ---------------------------------------------------------------------------
// Choosing the backend

BackendSlot<DialogBackend>& DialogBackend::Slot() {
  static BackendSlot<DialogBackend> slot(&ChooseBackend);
  return slot;
}

std::shared_ptr<DialogBackend> SetDialogBackend(std::shared_ptr<DialogBackend> backend) {
  return DialogBackend::Slot().Set(std::move(backend));
}

} // namespace ui
