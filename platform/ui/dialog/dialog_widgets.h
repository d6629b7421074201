// The Qt side of a dialog: a QDialog with a widget per control, mirroring
// the controls' state and turning what a person does into the dialog's user
// actions. Only the dialog code includes it.
//
// A person's action may end with the dialog destroyed, object and all (a
// modeless dialog closing itself): every Qt call into the dialog holds the
// widgets alive and checks, after the action, that the dialog is still
// there.
#pragma once

#include "platform/ui/dialog/dialog.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>

class QEventLoop;
class QObject;

namespace ui::detail {

class DialogWindow;

struct DialogWidgets : std::enable_shared_from_this<DialogWidgets> {
  // True on the Qt application's thread (widgets can live nowhere else).
  static bool CanBuild();
  // The QDialog for dialog, before its controls exist; parent may be null.
  static std::shared_ptr<DialogWidgets> Build(Dialog& dialog, QWidget* parent);
  ~DialogWidgets();

  void Add(DialogControl& control);
  void Remove(DialogControl& control);
  void Sync(DialogControl& control, uint32_t what);
  void SyncDefault();
  void SetCaption(const std::string& utf8);
  void FocusFirst();
  void ShowModeless();
  // Shows the dialog application-modal and runs the Qt loop until the
  // dialog has ended.
  void RunModal();
  // The dialog has ended: hide it and leave the modal loop.
  void Ended();
  // The dialog's window is going: drop every widget (now, or once the Qt
  // call that is running has returned).
  void Teardown();
  QWidget* Window() const;
  QWidget* WidgetOf(int32_t id) const;

  Dialog* dialog = nullptr;
  QPointer<DialogWindow> window;
  std::unique_ptr<QObject> guard; // context of every connection
  std::map<DialogControl*, QPointer<QWidget>> widgets;
  QEventLoop* loop = nullptr;
  int callbacks = 0; // Qt calls into the dialog now running
  bool syncing = false;
};

// The widget of an owner window of this thread: a screen window's or a
// dialog's; nullptr for none.
QWidget* OwnerWidget(Hwnd owner);

} // namespace ui::detail
