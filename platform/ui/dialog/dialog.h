// Dialogs built from templates. A dialog is a window of the message layer
// (class "#32770", titled with its caption) whose controls are child
// windows addressed by id; WM_INITDIALOG, WM_COMMAND and the rest reach the
// dialog object, or a dialog procedure, on the thread that made it.
//
// Where a dialog goes is up to the current backend, as with message boxes:
// Qt widgets (a QDialog holding a widget per control) when the process can
// show them, a script in tests, and otherwise nothing: the dialog is made,
// initialised and cancelled at once, with a line on standard error.
//
// The state of every control lives in its object (controls/, one class per
// kind); widgets mirror it, and what a person does to a widget comes back
// through the same user actions a script performs. Texts are UTF-8 inside;
// the helpers by dialog and id and the texts in messages (WM_SETTEXT,
// LB_ADDSTRING, ...) are code-page bytes of the dialog's code page. Titles
// in the message layer (win::GetWindowText) are UTF-8.
#pragma once

#include "platform/gdi/types.h"
#include "platform/sys/codepage.h"
#include "platform/ui/backend.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/control.h"
#include "platform/ui/dialog/dialog_template.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/input.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace ui {

// The window class of dialogs.
inline constexpr const char* kDialogClass = "#32770";

// Dialog messages.
inline constexpr uint32_t DM_GETDEFID = win::WM_USER + 0;
inline constexpr uint32_t DM_SETDEFID = win::WM_USER + 1;
inline constexpr uint16_t DC_HASDEFID = 0x534B; // DM_GETDEFID's high word

struct DialogState {
  std::string caption;
  std::vector<ControlState> controls;
  // The first control with the id; nullptr when none.
  const ControlState* Find(int32_t id) const;
  // The text of the control with the id; "" when none.
  std::string Text(int32_t id) const;
};

class DialogBackend;

namespace detail {
class DialogView;
}

// A dialog object: made from a template, run modally (DoModal) or shown
// modeless (Create). Derive and override the handlers, as one derives from
// the class library's dialog. The object outlives its window: DoModal
// destroys the window before it returns; a modeless dialog's window lives
// until DestroyWindow (or the object's destruction).
class Dialog : public win::Window {
public:
  explicit Dialog(DialogTemplate dialogTemplate, int codePage = sys::kDefaultCodePage);
  ~Dialog() override;

  // Makes the dialog and its controls, sends WM_INITDIALOG (lParam
  // initParam) and runs it until EndDialog; returns EndDialog's result, -1
  // when the dialog could not be made (or is already open).
  int DoModal(Hwnd owner = 0, LParam initParam = 0);
  // Makes, initialises and shows the dialog without waiting; false when it
  // could not be made (or is already open).
  bool Create(Hwnd owner = 0, LParam initParam = 0);
  // Ends a modal dialog with result (DoModal returns it); hides a modeless
  // one. Later calls change nothing.
  void EndDialog(int result);
  bool Ended() const { return ended_; }
  // True for a dialog that ends itself once its work is done (a transfer
  // that ends with OK when the file is whole): without a display it runs
  // until then, its texts and bar on standard error, instead of being
  // cancelled at once.
  virtual bool EndsItself() const { return false; }
  // A modeless dialog of a thread busy with a long job that runs no message
  // loop meanwhile: each change of a control repaints the dialog at once
  // (nothing else is processed, so nothing re-enters the job), and what a
  // person does is refused. Without widgets, each change of a text or of the
  // bar writes the dialog's texts and bar on one line of standard error.
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }
  int Result() const { return result_; }
  bool IsModal() const { return modal_; }
  Hwnd Owner() const { return owner_; }

  const DialogTemplate& Template() const { return template_; }
  int CodePage() const { return codePage_; }
  DialogBaseUnits BaseUnits() const { return baseUnits_; }
  gdi::Rect MapDialogRect(const gdi::Rect& dialogUnits) const;
  // The client area in pixels.
  gdi::Size ClientSize() const;
  // A dialog whose template has WS_CHILD is made inside its owner window (a
  // dialog bar): this places it there, in the owner's client pixels.
  void MoveChild(const gdi::Rect& rect);

  // The control with the id, if it is a T; nullptr when none.
  template <class T = Control> T* Item(int32_t id) const { return dynamic_cast<T*>(FindItem(id)); }
  // The controls in tab order.
  const std::vector<Control*>& Items() const { return controls_; }
  // The default push button's id (DM_GETDEFID): the one set, else the
  // first DEFBUTTON, else IDOK.
  int DefaultId() const;
  void SetDefaultId(int id);
  DialogState State() const;

  // What a person does, and what a script does for one: false (and nothing
  // happens) for a control that is missing, hidden, disabled or of the
  // wrong kind, or when the dialog has ended.
  // Clicks a button: an automatic check box changes its check; WM_COMMAND
  // BN_CLICKED follows.
  bool Click(int32_t id);
  // Types into an edit or an editable combo box (replacing its text):
  // EN_CHANGE or CBN_EDITCHANGE follows. A read-only edit refuses, a
  // number edit refuses anything but digits.
  bool Type(int32_t id, std::string_view utf8);
  // Chooses an item of a list or combo box: LBN_SELCHANGE (list boxes with
  // LBS_NOTIFY) or CBN_SELCHANGE follows.
  bool Choose(int32_t id, int index);
  // Double-clicks an item of a list box: it is chosen, then LBN_DBLCLK
  // follows (LBS_NOTIFY).
  bool DoubleClick(int32_t id, int index);
  // Scrolls a scroll bar with a scroll code (position: the thumb's, for
  // SB_THUMBTRACK and SB_THUMBPOSITION): WM_HSCROLL or WM_VSCROLL follows.
  bool Scroll(int32_t id, uint32_t code, int32_t position = 0);
  // Enter: the command of the focused push button, else of the default one.
  void PressEnter(int32_t focusedId = 0);
  // Escape: WM_COMMAND IDCANCEL.
  void PressEscape();
  // The close box: WM_CLOSE, which a dialog answers with IDCANCEL.
  void PressClose();

  // The Qt dialog while it has one (its thread only).
  QWidget* Widget() const;
  // A control's widget while the dialog has widgets.
  QWidget* ItemWidget(int32_t id) const;

  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) final;

protected:
  // Every message after the controls exist, WM_INITDIALOG first. nullopt
  // leaves it to the handlers below and then to the default handling.
  virtual std::optional<LResult> OnMessage(uint32_t message, WParam wParam, LParam lParam);
  // True: focus goes to the first control that takes it.
  virtual bool OnInitDialog() { return true; }
  // True when handled. The default ends the dialog on IDOK and IDCANCEL.
  virtual bool OnCommand(uint16_t id, uint16_t code, Hwnd control);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual void OnDestroy() {}
  // The initParam of DoModal or Create, during and after WM_INITDIALOG.
  LParam InitParam() const { return initParam_; }

private:
  friend class Control;
  friend class QtDialogs;
  friend struct detail::DialogWidgets;

  Control* FindItem(int32_t id) const;

  bool Open(Hwnd owner, LParam initParam, DialogBackend& backend);
  void Close();
  void AdoptControl(Control* control);
  void ForgetControl(Control* control);
  void ControlChanged(Control& control, uint32_t what);
  void ShowBusyChange(Control& control, uint32_t what);
  LResult DefaultHandling(uint32_t message, WParam wParam, LParam lParam);
  void DropWidgets();

  DialogTemplate template_;
  int codePage_;
  DialogBaseUnits baseUnits_;
  std::vector<Control*> controls_;
  Hwnd owner_ = 0;
  LParam initParam_ = 0;
  int defaultId_ = 0;
  bool modal_ = false;
  bool ended_ = false;
  bool ready_ = false; // controls made: messages go to the handlers
  bool busy_ = false;
  std::string busyLine_; // the line last echoed while busy
  int result_ = 0;
  std::shared_ptr<detail::DialogView> widgets_;
};

// The dialog object of a dialog window of this thread; nullptr otherwise.
Dialog* GetDialog(Hwnd dialog);

// A dialog procedure: nonzero when it handled the message (for
// WM_INITDIALOG: nonzero lets focus go to the first control).
using DialogProc = std::function<intptr_t(Hwnd dialog, uint32_t message, WParam, LParam)>;

// A modal dialog answered by a procedure; returns EndDialog's result, -1
// when it could not be made. As with the procedure style everywhere, only
// EndDialog ends it: IDOK and IDCANCEL are the procedure's to handle.
int DialogBoxTemplate(const DialogTemplate& dialogTemplate, Hwnd owner, DialogProc proc,
                      LParam initParam = 0, int codePage = sys::kDefaultCodePage);
// A modeless dialog answered by a procedure; destroyed with DestroyWindow
// (its object goes with its window). 0 when it could not be made.
Hwnd CreateDialogTemplate(const DialogTemplate& dialogTemplate, Hwnd owner, DialogProc proc,
                          LParam initParam = 0, int codePage = sys::kDefaultCodePage);

// Helpers for dialogs of the calling thread, by dialog window and control
// id. Texts are code-page bytes of the dialog's code page unless named Utf8.
bool EndDialog(Hwnd dialog, int result);
Hwnd GetDlgItem(Hwnd dialog, int32_t id);
bool SetDlgItemText(Hwnd dialog, int32_t id, std::string_view bytes);
// "" for a missing control.
std::string GetDlgItemText(Hwnd dialog, int32_t id);
bool SetDlgItemTextUtf8(Hwnd dialog, int32_t id, std::string_view utf8);
std::string GetDlgItemTextUtf8(Hwnd dialog, int32_t id);
// The text read as a decimal number: blanks before it, a minus sign when
// isSigned, then digits to the end. 0 and *translated false for anything
// else, also for a number beyond 32 bits.
uint32_t GetDlgItemInt(Hwnd dialog, int32_t id, bool* translated, bool isSigned);
bool SetDlgItemInt(Hwnd dialog, int32_t id, uint32_t value, bool isSigned);
bool CheckDlgButton(Hwnd dialog, int32_t id, uint32_t state);
uint32_t IsDlgButtonChecked(Hwnd dialog, int32_t id);
bool EnableDlgItem(Hwnd dialog, int32_t id, bool enabled);
// Sends a message to the control (any thread); 0 for a missing control.
LResult SendDlgItemMessage(Hwnd dialog, int32_t id, uint32_t message, WParam wParam = 0,
                           LParam lParam = 0);

// Where dialogs are shown.
class DialogBackend {
public:
  virtual ~DialogBackend() = default;
  // The slot every dialog asks: Qt widgets when the process can show them,
  // else HeadlessDialogs.
  static BackendSlot<DialogBackend>& Slot();
  // Whether the dialogs it runs get Qt widgets (they do only on the Qt
  // application's thread).
  virtual bool ShowsWidgets() const = 0;
  // Runs an open, initialised modal dialog until it has ended.
  virtual void RunModal(Dialog& dialog) = 0;
  // A modeless dialog is open and initialised.
  virtual void Opened(Dialog& dialog) { (void)dialog; }
};

// Puts backend in place of the chosen one for every later dialog (null
// goes back to choosing); returns the one it replaces.
std::shared_ptr<DialogBackend> SetDialogBackend(std::shared_ptr<DialogBackend> backend);

using ScopedDialogBackend = ScopedBackend<DialogBackend>;

// Qt widgets, run on the Qt event loop; a dialog made on another thread or
// without a QApplication is cancelled as by HeadlessDialogs.
class QtDialogs : public DialogBackend {
public:
  bool ShowsWidgets() const override { return true; }
  void RunModal(Dialog& dialog) override;
  void Opened(Dialog& dialog) override;
};

// For processes without a display: a modal dialog is cancelled (Escape, and
// IDCANCEL when that does not end it) with a line on standard error; one
// that ends itself runs its thread's loop until it has, showing its texts
// and bar on standard error as a busy dialog does.
class HeadlessDialogs : public DialogBackend {
public:
  bool ShowsWidgets() const override { return false; }
  void RunModal(Dialog& dialog) override;
};

// One thing a script does to a dialog.
struct DialogStep {
  enum class Action {
    Click,
    Type,
    Choose,
    Enter,
    Escape,
    Close,
    DoubleClick,
    WaitUntilEnded,
    Scroll
  };
  Action action = Action::Click;
  int32_t id = 0;
  std::string text;       // UTF-8, for Type
  int index = 0;          // for Choose; the thumb's position for Scroll
  uint32_t timeoutMs = 0; // for WaitUntilEnded
  uint32_t code = 0;      // the scroll code, for Scroll

  static DialogStep ClickOn(int32_t id) { return {Action::Click, id, {}, 0}; }
  static DialogStep TypeInto(int32_t id, std::string utf8) {
    return {Action::Type, id, std::move(utf8), 0};
  }
  static DialogStep ChooseIn(int32_t id, int index) { return {Action::Choose, id, {}, index}; }
  static DialogStep DoubleClickIn(int32_t id, int index) {
    return {Action::DoubleClick, id, {}, index};
  }
  static DialogStep ScrollIn(int32_t id, uint32_t code, int position = 0) {
    return {Action::Scroll, id, {}, position, 0, code};
  }
  static DialogStep PressEnter() { return {Action::Enter, 0, {}, 0}; }
  static DialogStep PressEscape() { return {Action::Escape, 0, {}, 0}; }
  static DialogStep PressClose() { return {Action::Close, 0, {}, 0}; }
  // Runs the thread's loop until the dialog has ended itself or timeoutMs
  // passed (the step is then not accepted and the script goes on).
  static DialogStep WaitUntilEnded(uint32_t timeoutMs) {
    return {Action::WaitUntilEnded, 0, {}, 0, timeoutMs};
  }
};

// What a script saw of one dialog.
struct DialogRun {
  std::string caption;
  bool modal = false;
  // After WM_INITDIALOG, then after each step that ran.
  std::vector<DialogState> states;
  // Whether each step that ran was accepted (see Dialog::Click and the rest).
  std::vector<bool> accepted;
  // Steps left when the dialog ended.
  size_t stepsLeft = 0;
  // The modal result; 0 for a modeless dialog.
  int result = 0;
  // The script ran out with the modal dialog still open: it was cancelled.
  bool cancelledAtEnd = false;
};

// For tests: each dialog that opens takes the next queued script (none:
// an empty one), runs its steps while the dialog is open (messages posted
// meanwhile are delivered between steps) and records what the dialog
// showed. A modal dialog still open after its script is cancelled as by
// Escape (IDCANCEL if that does not end it). With widgets the dialogs are
// built as Qt widgets too (the Qt application's thread only) and never
// shown.
class ScriptedDialogs : public DialogBackend {
public:
  explicit ScriptedDialogs(bool withWidgets = false) : withWidgets_(withWidgets) {}
  void Expect(std::vector<DialogStep> steps);
  std::vector<DialogRun> Runs() const;
  size_t Pending() const;

  bool ShowsWidgets() const override { return withWidgets_; }
  void RunModal(Dialog& dialog) override;
  void Opened(Dialog& dialog) override;

private:
  DialogRun Run(Dialog& dialog);

  bool withWidgets_;
  mutable std::mutex mutex_;
  std::deque<std::vector<DialogStep>> scripts_;
  std::vector<DialogRun> runs_;
};

} // namespace ui
