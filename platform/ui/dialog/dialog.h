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
// The state of every control lives in its object (text, check, items,
// selection, position); widgets mirror it, and what a person does to a
// widget comes back through the same user actions a script performs. Texts
// are UTF-8 inside; the helpers by dialog and id and the texts in messages
// (WM_SETTEXT, LB_ADDSTRING, ...) are code-page bytes of the dialog's code
// page. Titles in the message layer (win::GetWindowText) are UTF-8.
#pragma once

#include "platform/gdi/types.h"
#include "platform/sys/codepage.h"
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

using win::Hwnd;
using win::LParam;
using win::LResult;
using win::WParam;

// The window classes of dialogs and their controls.
inline constexpr const char* kDialogClass = "#32770";
const char* ControlClassName(ControlKind kind);

inline constexpr uint32_t WM_GETTEXTLENGTH = 0x000E;

// Dialog messages.
inline constexpr uint32_t DM_GETDEFID = win::WM_USER + 0;
inline constexpr uint32_t DM_SETDEFID = win::WM_USER + 1;
inline constexpr uint16_t DC_HASDEFID = 0x534B; // DM_GETDEFID's high word

// Button messages and check states.
inline constexpr uint32_t BM_GETCHECK = 0x00F0;
inline constexpr uint32_t BM_SETCHECK = 0x00F1;
inline constexpr uint32_t BM_CLICK = 0x00F5;
inline constexpr uint32_t BST_UNCHECKED = 0;
inline constexpr uint32_t BST_CHECKED = 1;
inline constexpr uint32_t BST_INDETERMINATE = 2;

// Edit messages.
inline constexpr uint32_t EM_LIMITTEXT = 0x00C5;
inline constexpr uint32_t EM_SETREADONLY = 0x00CF;

// List box messages.
inline constexpr uint32_t LB_ADDSTRING = 0x0180;
inline constexpr uint32_t LB_INSERTSTRING = 0x0181;
inline constexpr uint32_t LB_DELETESTRING = 0x0182;
inline constexpr uint32_t LB_RESETCONTENT = 0x0184;
inline constexpr uint32_t LB_SETCURSEL = 0x0186;
inline constexpr uint32_t LB_GETCURSEL = 0x0188;
inline constexpr uint32_t LB_GETTEXT = 0x0189;
inline constexpr uint32_t LB_GETTEXTLEN = 0x018A;
inline constexpr uint32_t LB_GETCOUNT = 0x018B;
inline constexpr LResult LB_ERR = -1;

// Combo box messages.
inline constexpr uint32_t CB_ADDSTRING = 0x0143;
inline constexpr uint32_t CB_DELETESTRING = 0x0144;
inline constexpr uint32_t CB_GETCOUNT = 0x0146;
inline constexpr uint32_t CB_GETCURSEL = 0x0147;
inline constexpr uint32_t CB_GETLBTEXT = 0x0148;
inline constexpr uint32_t CB_GETLBTEXTLEN = 0x0149;
inline constexpr uint32_t CB_INSERTSTRING = 0x014A;
inline constexpr uint32_t CB_RESETCONTENT = 0x014B;
inline constexpr uint32_t CB_SETCURSEL = 0x014E;
inline constexpr LResult CB_ERR = -1;

// Progress bar messages.
inline constexpr uint32_t PBM_SETRANGE = win::WM_USER + 1;
inline constexpr uint32_t PBM_SETPOS = win::WM_USER + 2;
inline constexpr uint32_t PBM_DELTAPOS = win::WM_USER + 3;
inline constexpr uint32_t PBM_SETSTEP = win::WM_USER + 4;
inline constexpr uint32_t PBM_STEPIT = win::WM_USER + 5;
inline constexpr uint32_t PBM_SETRANGE32 = win::WM_USER + 6;
inline constexpr uint32_t PBM_GETPOS = win::WM_USER + 8;

// Notification codes: WM_COMMAND's wParam is MakeWParam(id, code) (see
// input.h), its lParam the control's window.
inline constexpr uint16_t BN_CLICKED = 0;
inline constexpr uint16_t LBN_SELCHANGE = 1;
inline constexpr uint16_t CBN_SELCHANGE = 1;
inline constexpr uint16_t CBN_EDITCHANGE = 5;
inline constexpr uint16_t EN_CHANGE = 0x0300;

class Dialog;

namespace detail {
struct DialogWidgets;
}

// A control of a dialog: the object behind its child window, holding the
// control's state. Made by the control classes' factories; a control window
// created (from a template or by hand) under anything but a dialog of this
// thread fails its creation.
class DialogControl : public win::Window {
public:
  explicit DialogControl(ControlKind kind) : kind_(kind) {}

  ControlKind Kind() const { return kind_; }
  int32_t Id() const { return id_; }
  uint32_t Style() const { return style_; }
  // The button kind, BS_PUSHBUTTON to BS_GROUPBOX; 0 for other classes.
  uint32_t ButtonType() const;
  bool IsPushButton() const;
  bool IsCheckBox() const;
  Dialog* Owner() const { return dialog_; }
  // Pixels, in the dialog's client area.
  gdi::Rect Rect() const { return rect_; }

  // The text (UTF-8): a static's or button's label, an edit's content, a
  // combo box's edit field.
  const std::string& Text() const { return text_; }
  // Sets the text; a single-line edit reports EN_CHANGE as it does for a
  // person's typing. An edit's text is cut to its limit.
  void SetText(std::string_view utf8);

  bool Enabled() const;
  void Enable(bool enabled);
  bool Visible() const;
  void Show(bool visible);
  bool ReadOnly() const;
  void SetReadOnly(bool readOnly);
  // The most code-page bytes an edit holds; 0 for no limit.
  uint32_t TextLimit() const { return textLimit_; }
  void SetTextLimit(uint32_t bytes);

  uint32_t Check() const { return check_; }
  void SetCheck(uint32_t state);

  // List and combo boxes. AddString inserts in order in a sorted box; both
  // return the new item's index, -1 for another class or a bad index.
  int AddString(std::string_view utf8);
  int InsertString(int index, std::string_view utf8); // -1: at the end
  bool DeleteString(int index);
  void ResetContent();
  int Count() const { return static_cast<int>(items_.size()); }
  const std::vector<std::string>& Items() const { return items_; }
  std::optional<std::string> ItemText(int index) const;
  int Selection() const { return selection_; } // -1 for none
  // -1 clears; false for an index out of range. A combo box shows the
  // chosen item's text in its field.
  bool SetSelection(int index);

  // Progress bars.
  int RangeLow() const { return low_; }
  int RangeHigh() const { return high_; }
  void SetRange(int low, int high);
  int Position() const { return position_; }
  // Returns the previous position; the new one is kept within the range.
  int SetPosition(int position);

  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) override;

private:
  friend class Dialog;
  friend struct detail::DialogWidgets;
  enum Change : uint32_t { kTextChanged = 1, kStateChanged = 2, kItemsChanged = 4 };

  LResult OnCreate(LParam createStruct);
  LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam);
  void Changed(uint32_t what);
  void Notify(uint16_t code);
  std::string ToUtf8(std::string_view bytes) const;
  std::string ToBytes(std::string_view utf8) const;
  std::string LimitText(std::string_view utf8) const;
  bool Sorted() const;
  int InsertItem(int index, std::string_view utf8);

  ControlKind kind_;
  int32_t id_ = 0;
  uint32_t style_ = 0;
  gdi::Rect rect_;
  Dialog* dialog_ = nullptr;
  std::string text_;
  uint32_t textLimit_ = 0;
  uint32_t check_ = BST_UNCHECKED;
  std::vector<std::string> items_;
  int selection_ = -1;
  int low_ = 0, high_ = 100, position_ = 0, step_ = 10;
};

// What one control showed at a moment.
struct ControlState {
  int32_t id = 0;
  ControlKind kind = ControlKind::Static;
  uint32_t style = 0;
  std::string text; // UTF-8
  uint32_t check = 0;
  bool enabled = true;
  bool visible = true;
  std::vector<std::string> items;
  int selection = -1;
  int position = 0;
};

struct DialogState {
  std::string caption;
  std::vector<ControlState> controls;
  // The first control with the id; nullptr when none.
  const ControlState* Find(int32_t id) const;
  // The text of the control with the id; "" when none.
  std::string Text(int32_t id) const;
};

class DialogBackend;

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
  int Result() const { return result_; }
  bool IsModal() const { return modal_; }
  Hwnd Owner() const { return owner_; }

  const DialogTemplate& Template() const { return template_; }
  int CodePage() const { return codePage_; }
  DialogBaseUnits BaseUnits() const { return baseUnits_; }
  gdi::Rect MapDialogRect(const gdi::Rect& dialogUnits) const;
  // The client area in pixels.
  gdi::Size ClientSize() const;

  // The control with the id; nullptr when none.
  DialogControl* Item(int32_t id) const;
  // The controls in tab order.
  const std::vector<DialogControl*>& Items() const { return controls_; }
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
  friend class DialogControl;
  friend class QtDialogs;
  friend struct detail::DialogWidgets;

  bool Open(Hwnd owner, LParam initParam, DialogBackend& backend);
  void Close();
  void AdoptControl(DialogControl* control);
  void ForgetControl(DialogControl* control);
  void ControlChanged(DialogControl& control, uint32_t what);
  LResult DefaultHandling(uint32_t message, WParam wParam, LParam lParam);
  void DropWidgets();

  DialogTemplate template_;
  int codePage_;
  DialogBaseUnits baseUnits_;
  std::vector<DialogControl*> controls_;
  Hwnd owner_ = 0;
  LParam initParam_ = 0;
  int defaultId_ = 0;
  bool modal_ = false;
  bool ended_ = false;
  bool ready_ = false; // controls made: messages go to the handlers
  int result_ = 0;
  std::shared_ptr<detail::DialogWidgets> widgets_;
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

class ScopedDialogBackend {
public:
  explicit ScopedDialogBackend(std::shared_ptr<DialogBackend> backend)
      : previous_(SetDialogBackend(std::move(backend))) {}
  ~ScopedDialogBackend() { SetDialogBackend(std::move(previous_)); }
  ScopedDialogBackend(const ScopedDialogBackend&) = delete;
  ScopedDialogBackend& operator=(const ScopedDialogBackend&) = delete;

private:
  std::shared_ptr<DialogBackend> previous_;
};

// Qt widgets, run on the Qt event loop; a dialog made on another thread or
// without a QApplication is cancelled as by HeadlessDialogs.
class QtDialogs : public DialogBackend {
public:
  bool ShowsWidgets() const override { return true; }
  void RunModal(Dialog& dialog) override;
  void Opened(Dialog& dialog) override;
};

// For processes without a display: a modal dialog is cancelled (Escape, and
// IDCANCEL when that does not end it) with a line on standard error.
class HeadlessDialogs : public DialogBackend {
public:
  bool ShowsWidgets() const override { return false; }
  void RunModal(Dialog& dialog) override;
};

// One thing a script does to a dialog.
struct DialogStep {
  enum class Action { Click, Type, Choose, Enter, Escape, Close };
  Action action = Action::Click;
  int32_t id = 0;
  std::string text; // UTF-8, for Type
  int index = 0;    // for Choose

  static DialogStep ClickOn(int32_t id) { return {Action::Click, id, {}, 0}; }
  static DialogStep TypeInto(int32_t id, std::string utf8) {
    return {Action::Type, id, std::move(utf8), 0};
  }
  static DialogStep ChooseIn(int32_t id, int index) { return {Action::Choose, id, {}, index}; }
  static DialogStep PressEnter() { return {Action::Enter, 0, {}, 0}; }
  static DialogStep PressEscape() { return {Action::Escape, 0, {}, 0}; }
  static DialogStep PressClose() { return {Action::Close, 0, {}, 0}; }
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
