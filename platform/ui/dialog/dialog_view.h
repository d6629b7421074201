// The dialog's Qt side as the dialog sees it: a QDialog with a widget per
// control, mirroring the controls' state (dialog_widgets.cpp). Only the
// dialog code includes it.
#pragma once

#include "platform/ui/dialog/dialog.h"

#include <memory>

class QWidget;

namespace ui::detail {

class DialogView {
public:
  virtual ~DialogView() = default;

  // True on the Qt application's thread (widgets can live nowhere else).
  static bool CanBuild();
  // The QDialog for dialog, before its controls exist; parent may be null.
  static std::shared_ptr<DialogView> Build(Dialog& dialog, QWidget* parent);

  virtual void Add(Control& control) = 0;
  virtual void Remove(Control& control) = 0;
  virtual void Sync(Control& control, uint32_t what) = 0;
  // The default push button may have changed.
  virtual void SyncDefault() = 0;
  virtual void SetCaption(const std::string& utf8) = 0;
  virtual void FocusFirst() = 0;
  virtual void ShowModeless() = 0;
  // Paints the dialog now, without running the event loop.
  virtual void RepaintNow() = 0;
  // Shows the dialog application-modal and runs the Qt loop until the
  // dialog has ended.
  virtual void RunModal() = 0;
  // The dialog has ended: hide it and leave the modal loop.
  virtual void Ended() = 0;
  // The dialog's window is going: drop every widget (now, or once the Qt
  // call that is running has returned).
  virtual void Teardown() = 0;
  virtual QWidget* Window() const = 0;
  virtual QWidget* WidgetOf(int32_t id) const = 0;
};

// The widget of an owner window of this thread: a screen window's or a
// dialog's; nullptr for none.
QWidget* OwnerWidget(Hwnd owner);

} // namespace ui::detail
