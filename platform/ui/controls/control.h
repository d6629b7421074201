// A control of a dialog: the object behind one of its child windows. The
// base holds what every kind shares (id, style, place, text), answers the
// messages every kind answers and reports changes to the dialog; each kind
// derives in a file pair of its own, with the widget that mirrors it when
// the dialog has Qt widgets, and has one row in the control table
// (control_table.h).
//
// A control window created (from a template or by hand) under anything but
// a dialog of this thread fails its creation. Texts are UTF-8 inside; the
// texts in messages (WM_SETTEXT, LB_ADDSTRING, ...) are code-page bytes of
// the dialog's code page.
//
// Threads: a control lives on its dialog's thread; another thread reaches
// it only by sending messages to its window.
#pragma once

#include "platform/gdi/types.h"
#include "platform/ui/dialog/dialog_template.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QObject;
class QWidget;

namespace ui {

using win::Hwnd;
using win::LParam;
using win::LResult;
using win::WParam;

class Dialog;

namespace detail {
struct DialogWidgets;
}

inline constexpr uint32_t WM_GETTEXTLENGTH = 0x000E;

// What one control showed at a moment; each kind fills in its own fields.
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
  int rangeMin = 0, rangeMax = 0; // a scroll bar's
};

// How a control's widget reaches its dialog. A person's action may end with
// the dialog destroyed, object and all (a modeless dialog closing itself):
// every call holds the dialog's widgets alive and does nothing once the
// dialog has gone.
class WidgetLink {
public:
  explicit WidgetLink(std::weak_ptr<detail::DialogWidgets> widgets)
      : widgets_(std::move(widgets)) {}

  // The dialog's Qt window, parent of every control's widget.
  QWidget* Parent() const;
  // The context of every connection: gone with the dialog's widgets.
  QObject* Context() const;

  enum class WhileSyncing { Skip, Run };
  // A person's action on the control with the id: runs act on the dialog
  // (not while the widgets are being brought up to date from the controls,
  // when asked to skip), then shows the parts `resync` names of the
  // control's state again: the control may have refused or changed what
  // the widget shows.
  void Act(int32_t id, WhileSyncing whileSyncing, uint32_t resync,
           const std::function<void(Dialog&)>& act) const;

private:
  std::weak_ptr<detail::DialogWidgets> widgets_;
};

class Control : public win::Window {
public:
  // What changed, for the widget that mirrors the control.
  enum Change : uint32_t { kTextChanged = 1, kStateChanged = 2, kItemsChanged = 4 };

  explicit Control(ControlKind kind) : kind_(kind) {}

  ControlKind Kind() const { return kind_; }
  int32_t Id() const { return id_; }
  uint32_t Style() const { return style_; }
  Dialog* Owner() const { return dialog_; }
  // Pixels, in the dialog's client area.
  gdi::Rect Rect() const { return rect_; }

  // The text (UTF-8): a static's or button's label, an edit's content, a
  // combo box's edit field.
  const std::string& Text() const { return text_; }
  virtual void SetText(std::string_view utf8);

  bool Enabled() const;
  void Enable(bool enabled);
  bool Visible() const;
  void Show(bool visible);

  // What a person does, as the dialog passes it on once it has checked that
  // the control is there, visible and enabled (see Dialog::Click and the
  // rest): false for a kind that does not take it.
  virtual bool TakeClick() { return false; }
  virtual bool TakeTyping(std::string_view utf8) {
    (void)utf8;
    return false;
  }
  virtual bool TakeChoice(int index) {
    (void)index;
    return false;
  }
  virtual bool TakeDoubleClick(int index) {
    (void)index;
    return false;
  }
  // A scroll code (SB_LINEUP ...), with the thumb's position for a drag.
  virtual bool TakeScroll(uint32_t code, int32_t position) {
    (void)code;
    (void)position;
    return false;
  }

  // The control's part of the dialog's record; kinds add their fields.
  virtual void Describe(ControlState& state) const;

  // The widget that mirrors the control (the Qt application's thread only),
  // made under link.Parent(), and how it is brought up to date.
  virtual QWidget* MakeWidget(const WidgetLink& link) = 0;
  virtual void SyncWidget(QWidget& widget, uint32_t what) const = 0;
  // The widget's place in the dialog's client area.
  virtual gdi::Rect WidgetRect(const QWidget& widget) const;

  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) final;

protected:
  // A kind's own messages; what it does not answer goes on to
  // Control::HandleMessage.
  virtual LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam);

  // Shows a change in the window's title and the widget.
  void Changed(uint32_t what);
  // WM_COMMAND with the code to the dialog, once the dialog is ready.
  void Notify(uint16_t code);
  // Sets the style bits, reporting a change of state.
  void SetStyle(uint32_t style);
  int CodePage() const;
  std::string ToUtf8(std::string_view bytes) const;
  std::string ToBytes(std::string_view utf8) const;
  static std::string_view CString(LParam lParam);

  std::string text_;

private:
  LResult OnCreate(LParam createStruct);

  ControlKind kind_;
  int32_t id_ = 0;
  uint32_t style_ = 0;
  gdi::Rect rect_;
  Dialog* dialog_ = nullptr;
};

} // namespace ui
