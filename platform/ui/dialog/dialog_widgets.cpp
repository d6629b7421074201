// The Qt side of a dialog: a QDialog holding the controls' widgets, which
// each control makes and brings up to date itself; what a person does comes
// back to the dialog through the controls' widget links.
#include "platform/ui/dialog/dialog_view.h"

#include "platform/gdi/font.h"
#include "platform/gdi/muldiv.h"
#include "platform/ui/controls/control_widget.h"
#include "platform/ui/window/screen.h"
#include "platform/ui/window/screen_internal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>

#include <map>
#include <optional>

namespace ui::detail {

class DialogWindow;

// Every Qt call into the dialog holds these alive and checks, after the
// action, that the dialog is still there.
struct DialogWidgets : DialogView, std::enable_shared_from_this<DialogWidgets> {
  ~DialogWidgets() override;

  void Add(Control& control) override;
  void Remove(Control& control) override;
  void Sync(Control& control, uint32_t what) override;
  void SyncDefault() override;
  void SetCaption(const std::string& utf8) override;
  void FocusFirst() override;
  void ShowModeless() override;
  void RepaintNow() override;
  void RunModal() override;
  void Ended() override;
  void Teardown() override;
  QWidget* Window() const override;
  QWidget* WidgetOf(int32_t id) const override;

  Dialog* dialog = nullptr;
  QPointer<DialogWindow> window;
  std::unique_ptr<QObject> guard; // context of every connection
  std::map<Control*, QPointer<QWidget>> widgets;
  QEventLoop* loop = nullptr;
  int callbacks = 0; // Qt calls into the dialog now running
  bool syncing = false;
};

namespace {

// Counts a Qt call into the dialog, so that nothing deletes the widget
// that is calling while it runs.
class CallbackScope {
public:
  explicit CallbackScope(std::shared_ptr<DialogWidgets> w) : w_(std::move(w)) { ++w_->callbacks; }
  ~CallbackScope() { --w_->callbacks; }
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;
  // The dialog, while it is still there.
  Dialog* Target() const { return w_->dialog; }
  DialogWidgets& Widgets() const { return *w_; }

private:
  std::shared_ptr<DialogWidgets> w_;
};

// Enters a Qt call into the dialog; nullopt once the dialog is gone.
std::optional<CallbackScope> Enter(const std::weak_ptr<DialogWidgets>& weak) {
  auto w = weak.lock();
  if (!w || !w->dialog)
    return std::nullopt;
  return std::optional<CallbackScope>(std::in_place, std::move(w));
}

} // namespace

class DialogWindow : public QDialog {
public:
  DialogWindow(QWidget* parent, std::weak_ptr<DialogWidgets> owner)
      : QDialog(parent), owner_(std::move(owner)) {}
  void Detach() { owner_.reset(); }

  void reject() override {
    if (auto scope = Enter(owner_))
      scope->Target()->PressEscape();
  }

protected:
  void keyPressEvent(QKeyEvent* e) override {
    auto scope = Enter(owner_);
    if (!scope || (e->modifiers() & ~Qt::KeypadModifier)) {
      QWidget::keyPressEvent(e);
      return;
    }
    switch (e->key()) {
    case Qt::Key_Escape:
      e->accept();
      scope->Target()->PressEscape();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      e->accept();
      int32_t focused = 0;
      QWidget* f = focusWidget();
      for (auto& [control, widget] : scope->Widgets().widgets) {
        auto* button = dynamic_cast<Button*>(control);
        if (widget && widget == f && button && button->IsPushButton())
          focused = control->Id();
      }
      scope->Target()->PressEnter(focused);
      return;
    }
    default:
      QWidget::keyPressEvent(e);
    }
  }

  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    if (auto scope = Enter(owner_))
      scope->Target()->PressClose();
  }

private:
  std::weak_ptr<DialogWidgets> owner_;
};

bool DialogView::CanBuild() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app && QThread::currentThread() == app->thread();
}

std::shared_ptr<DialogView> DialogView::Build(Dialog& dialog, QWidget* parent) {
  auto w = std::make_shared<DialogWidgets>();
  w->dialog = &dialog;
  w->guard = std::make_unique<QObject>();
  w->window = new DialogWindow(parent, w);
  const DialogTemplate& t = dialog.Template();
  // A child dialog lies inside its owner's window, without a frame.
  if ((t.style & win::WS_CHILD) && parent)
    w->window->setWindowFlags(Qt::Widget);
  w->window->setWindowTitle(ToQString(t.caption));

  gdi::LogFont lf;
  lf.height = -gdi::MulDiv(t.pointSize, gdi::kLogPixels, 72);
  lf.weight = gdi::kWeightNormal;
  lf.SetFaceName(sys::FromUtf8Lossy(t.face));
  if (auto font = gdi::Font::Create(lf, dialog.CodePage())) {
    QFont qfont(ToQString(font->FaceUsed()));
    qfont.setPixelSize(font->PixelSize());
    w->window->setFont(qfont);
  }
  gdi::Size size = dialog.ClientSize();
  if (t.style & WS_THICKFRAME)
    w->window->resize(size.cx, size.cy);
  else
    w->window->setFixedSize(size.cx, size.cy);
  return w;
}

DialogWidgets::~DialogWidgets() {
  Teardown();
}

void DialogWidgets::Add(Control& c) {
  if (!window)
    return;
  QWidget* widget = c.MakeWidget(WidgetLink(weak_from_this()));
  if (!widget)
    return;
  gdi::Rect r = c.WidgetRect(*widget);
  widget->setGeometry(r.left, r.top, r.Width(), r.Height());
  if (!(c.Style() & WS_TABSTOP) && widget->focusPolicy() != Qt::NoFocus)
    widget->setFocusPolicy(Qt::ClickFocus);
  widgets[&c] = widget;
  Sync(c, Control::kTextChanged | Control::kStateChanged | Control::kItemsChanged);
}

void DialogWidgets::Remove(Control& c) {
  auto it = widgets.find(&c);
  if (it == widgets.end())
    return;
  QPointer<QWidget> widget = it->second;
  widgets.erase(it);
  if (!widget)
    return;
  widget->hide();
  if (callbacks > 0)
    widget->deleteLater();
  else
    delete widget.data();
}

void DialogWidgets::Sync(Control& c, uint32_t what) {
  auto it = widgets.find(&c);
  if (it == widgets.end() || !it->second)
    return;
  QWidget* widget = it->second;
  bool wasSyncing = syncing;
  syncing = true;
  widget->setEnabled(c.Enabled());
  widget->setVisible(c.Visible());
  c.SyncWidget(*widget, what);
  syncing = wasSyncing;
}

void DialogWidgets::SyncDefault() {
  for (auto& [control, widget] : widgets) {
    auto* button = dynamic_cast<Button*>(control);
    if (button && button->IsPushButton())
      Sync(*control, Control::kStateChanged);
  }
}

void DialogWidgets::SetCaption(const std::string& utf8) {
  if (window)
    window->setWindowTitle(ToQString(utf8));
}

void DialogWidgets::FocusFirst() {
  if (!dialog)
    return;
  for (Control* c : dialog->Items()) {
    if (c->Enabled() && c->Visible() && (c->Style() & WS_TABSTOP)) {
      if (QWidget* w = WidgetOf(c->Id())) {
        w->setFocus(Qt::OtherFocusReason);
        return;
      }
    }
  }
}

void DialogWidgets::ShowModeless() {
  if (!window)
    return;
  window->setModal(false);
  window->show();
}

void DialogWidgets::RepaintNow() {
  if (window && window->isVisible())
    window->repaint();
}

void DialogWidgets::RunModal() {
  if (!window || !dialog)
    return;
  window->setWindowModality(Qt::ApplicationModal);
  window->show();
  window->activateWindow();
  QEventLoop modalLoop;
  loop = &modalLoop;
  if (!dialog->Ended())
    modalLoop.exec(QEventLoop::DialogExec);
  loop = nullptr;
}

void DialogWidgets::Ended() {
  if (window)
    window->hide();
  if (loop)
    loop->quit();
}

void DialogWidgets::Teardown() {
  if (loop)
    loop->quit();
  guard.reset(); // no signal reaches the dialog any more
  widgets.clear();
  if (window) {
    // Custom controls are windows of their own that may outlive this
    // widget: theirs leave it rather than go with it.
    // ScreenWidget has no meta-object of its own, so it is told apart by
    // its C++ type: the dialog's own controls still go with the dialog.
    for (QObject* object : window->children()) {
      if (auto* child = dynamic_cast<ScreenWidget*>(object)) {
        child->hide();
        child->setParent(nullptr);
      }
    }
    window->Detach();
    window->hide();
    if (callbacks > 0)
      window->deleteLater();
    else
      delete window.data();
  }
  window = nullptr;
  dialog = nullptr;
}

QWidget* DialogWidgets::Window() const {
  return window.data();
}

QWidget* DialogWidgets::WidgetOf(int32_t id) const {
  for (const auto& [control, widget] : widgets) {
    if (control->Id() == id)
      return widget.data();
  }
  return nullptr;
}

} // namespace ui::detail

namespace ui {

QWidget* WidgetLink::Parent() const {
  auto w = widgets_.lock();
  return w ? w->Window() : nullptr;
}

QObject* WidgetLink::Context() const {
  auto w = widgets_.lock();
  return w ? w->guard.get() : nullptr;
}

void WidgetLink::Act(int32_t id, WhileSyncing whileSyncing, uint32_t resync,
                     const std::function<void(Dialog&)>& act) const {
  auto scope = detail::Enter(widgets_);
  if (!scope || (whileSyncing == WhileSyncing::Skip && scope->Widgets().syncing))
    return;
  act(*scope->Target());
  if (!resync)
    return;
  if (Dialog* d = scope->Target())
    if (Control* control = d->Item(id))
      scope->Widgets().Sync(*control, resync);
}

} // namespace ui

namespace ui::detail {

QWidget* OwnerWidget(Hwnd owner) {
  if (!owner)
    return nullptr;
  if (Dialog* d = GetDialog(owner))
    return d->Widget();
  return GetWidget(owner);
}

} // namespace ui::detail

namespace ui {

void QtDialogs::RunModal(Dialog& dialog) {
  std::shared_ptr<detail::DialogView> widgets = dialog.widgets_;
  if (!widgets || !widgets->Window()) {
    HeadlessDialogs().RunModal(dialog);
    return;
  }
  widgets->RunModal();
  // The loop also ends when the application quits.
  if (!dialog.Ended())
    dialog.EndDialog(IDCANCEL);
}

void QtDialogs::Opened(Dialog&) {}

} // namespace ui
