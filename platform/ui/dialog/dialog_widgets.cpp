#include "platform/ui/dialog/dialog_widgets.h"

#include "platform/gdi/font.h"
#include "platform/gdi/muldiv.h"
#include "platform/ui/window/screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <optional>

namespace ui::detail {
namespace {

QString Q(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string U(const QString& s) {
  return s.toStdString();
}

// A static's text without its access-key marks ("&&" is an ampersand).
QString LabelText(const DialogControl& c) {
  QString text = Q(c.Text());
  if (c.Style() & SS_NOPREFIX)
    return text;
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      out += text[i];
    } else if (text[i] != '&') {
      out += text[i];
    }
  }
  return out;
}

// Multi-line edits keep "\r\n" line breaks as the stored texts do; the
// widget works in "\n".
QString ToWidgetLines(const std::string& utf8) {
  QString s = Q(utf8);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

std::string FromWidgetLines(const QString& text) {
  QString s = text;
  s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return U(s);
}

Qt::CheckState CheckOf(uint32_t check) {
  return check == BST_CHECKED         ? Qt::Checked
         : check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                      : Qt::Unchecked;
}

Qt::Alignment AlignmentOf(uint32_t style) {
  switch (style & 0x3) {
  case SS_CENTER:
    return Qt::AlignHCenter;
  case SS_RIGHT:
    return Qt::AlignRight;
  default:
    return Qt::AlignLeft;
  }
}

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

class MultiLineEdit : public QPlainTextEdit {
public:
  MultiLineEdit(QWidget* parent, bool wantReturn)
      : QPlainTextEdit(parent), wantReturn_(wantReturn) {}

protected:
  void keyPressEvent(QKeyEvent* e) override {
    // Without ES_WANTRETURN, Enter belongs to the dialog.
    if (!wantReturn_ && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
      e->ignore();
      return;
    }
    QPlainTextEdit::keyPressEvent(e);
  }

private:
  bool wantReturn_;
};

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
        if (widget && widget == f && control->IsPushButton())
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

bool DialogWidgets::CanBuild() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app && QThread::currentThread() == app->thread();
}

std::shared_ptr<DialogWidgets> DialogWidgets::Build(Dialog& dialog, QWidget* parent) {
  auto w = std::make_shared<DialogWidgets>();
  w->dialog = &dialog;
  w->guard = std::make_unique<QObject>();
  w->window = new DialogWindow(parent, w);
  const DialogTemplate& t = dialog.Template();
  w->window->setWindowTitle(Q(t.caption));

  gdi::LogFont lf;
  lf.height = -gdi::MulDiv(t.pointSize, gdi::kLogPixels, 72);
  lf.weight = gdi::kWeightNormal;
  lf.SetFaceName(sys::FromUtf8Lossy(t.face));
  if (auto font = gdi::Font::Create(lf, dialog.CodePage())) {
    QFont qfont(Q(font->FaceUsed()));
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

void DialogWidgets::Add(DialogControl& c) {
  if (!window)
    return;
  QWidget* widget = nullptr;
  const uint32_t style = c.Style();
  const int32_t id = c.Id();
  QObject* ctx = guard.get();
  std::weak_ptr<DialogWidgets> weak = weak_from_this();
  // After a person's action the control may have refused or changed what
  // the widget shows (a cut text, an automatic check): show the control's
  // state again, if the dialog is still there.
  auto resync = [](CallbackScope& scope, int32_t id, uint32_t what) {
    if (Dialog* d = scope.Target())
      if (DialogControl* control = d->Item(id))
        scope.Widgets().Sync(*control, what);
  };
  switch (c.Kind()) {
  case ControlKind::Static: {
    auto* label = new QLabel(window);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(AlignmentOf(style) | Qt::AlignTop);
    label->setWordWrap(true);
    if (style & SS_SUNKEN)
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    widget = label;
    break;
  }
  case ControlKind::Edit:
    if (style & ES_MULTILINE) {
      auto* edit = new MultiLineEdit(window, (style & ES_WANTRETURN) != 0);
      QObject::connect(edit, &QPlainTextEdit::textChanged, ctx, [weak, edit, id, resync] {
        auto scope = Enter(weak);
        if (!scope || scope->Widgets().syncing)
          return;
        scope->Target()->Type(id, FromWidgetLines(edit->toPlainText()));
        resync(*scope, id, DialogControl::kTextChanged);
      });
      widget = edit;
    } else {
      auto* edit = new QLineEdit(window);
      edit->setAlignment(AlignmentOf(style) | Qt::AlignVCenter);
      if (style & ES_PASSWORD)
        edit->setEchoMode(QLineEdit::Password);
      QObject::connect(edit, &QLineEdit::textEdited, ctx, [weak, id, resync](const QString& text) {
        auto scope = Enter(weak);
        if (!scope || scope->Widgets().syncing)
          return;
        scope->Target()->Type(id, U(text));
        resync(*scope, id, DialogControl::kTextChanged);
      });
      widget = edit;
    }
    break;
  case ControlKind::Button:
    if (c.ButtonType() == BS_GROUPBOX) {
      widget = new QGroupBox(window);
    } else if (c.IsCheckBox()) {
      auto* box = new QCheckBox(window);
      uint32_t t = c.ButtonType();
      box->setTristate(t == BS_3STATE || t == BS_AUTO3STATE);
      QObject::connect(box, &QCheckBox::clicked, ctx, [weak, id, resync] {
        auto scope = Enter(weak);
        if (!scope)
          return;
        scope->Target()->Click(id);
        // Qt checked the box itself; the control's own check stands.
        resync(*scope, id, DialogControl::kStateChanged);
      });
      widget = box;
    } else {
      auto* button = new QPushButton(window);
      button->setAutoDefault(false);
      QObject::connect(button, &QPushButton::clicked, ctx, [weak, id] {
        if (auto scope = Enter(weak))
          scope->Target()->Click(id);
      });
      widget = button;
    }
    break;
  case ControlKind::ListBox: {
    auto* list = new QListWidget(window);
    QObject::connect(list, &QListWidget::currentRowChanged, ctx, [weak, id, resync](int row) {
      auto scope = Enter(weak);
      if (!scope || scope->Widgets().syncing || row < 0)
        return;
      scope->Target()->Choose(id, row);
      resync(*scope, id, DialogControl::kStateChanged);
    });
    widget = list;
    break;
  }
  case ControlKind::ComboBox: {
    auto* combo = new QComboBox(window);
    bool editable = (style & CBS_TYPEMASK) != CBS_DROPDOWNLIST;
    combo->setEditable(editable);
    QObject::connect(combo, qOverload<int>(&QComboBox::activated), ctx,
                     [weak, id, resync](int index) {
                       auto scope = Enter(weak);
                       if (!scope)
                         return;
                       scope->Target()->Choose(id, index);
                       resync(*scope, id, DialogControl::kStateChanged);
                     });
    if (editable) {
      QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, ctx,
                       [weak, id](const QString& text) {
                         auto scope = Enter(weak);
                         if (!scope || scope->Widgets().syncing)
                           return;
                         scope->Target()->Type(id, U(text));
                       });
    }
    widget = combo;
    break;
  }
  case ControlKind::Progress: {
    auto* bar = new QProgressBar(window);
    bar->setTextVisible(false);
    widget = bar;
    break;
  }
  }
  gdi::Rect r = c.Rect();
  int height = r.Height();
  // A combo box's height includes its drop-down list.
  if (c.Kind() == ControlKind::ComboBox)
    height = std::min(height, widget->sizeHint().height());
  widget->setGeometry(r.left, r.top, r.Width(), height);
  if (!(style & WS_TABSTOP) && widget->focusPolicy() != Qt::NoFocus)
    widget->setFocusPolicy(Qt::ClickFocus);
  if (c.ButtonType() == BS_GROUPBOX)
    widget->lower(); // behind the controls it frames
  widgets[&c] = widget;
  Sync(c,
       DialogControl::kTextChanged | DialogControl::kStateChanged | DialogControl::kItemsChanged);
}

void DialogWidgets::Remove(DialogControl& c) {
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

void DialogWidgets::Sync(DialogControl& c, uint32_t what) {
  auto it = widgets.find(&c);
  if (it == widgets.end() || !it->second)
    return;
  QWidget* widget = it->second;
  bool wasSyncing = syncing;
  syncing = true;
  widget->setEnabled(c.Enabled());
  widget->setVisible(c.Visible());
  switch (c.Kind()) {
  case ControlKind::Static:
    static_cast<QLabel*>(widget)->setText(LabelText(c));
    break;
  case ControlKind::Edit:
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      if (line->text() != Q(c.Text()))
        line->setText(Q(c.Text()));
      line->setReadOnly(c.ReadOnly());
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
      QString text = ToWidgetLines(c.Text());
      if (plain->toPlainText() != text)
        plain->setPlainText(text);
      plain->setReadOnly(c.ReadOnly());
    }
    break;
  case ControlKind::Button:
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(Q(c.Text()));
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
      box->setText(Q(c.Text()));
      box->setCheckState(CheckOf(c.Check()));
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      button->setText(Q(c.Text()));
      button->setDefault(dialog && dialog->DefaultId() == c.Id());
    }
    break;
  case ControlKind::ListBox: {
    auto* list = static_cast<QListWidget*>(widget);
    if (what & DialogControl::kItemsChanged) {
      list->clear();
      for (const std::string& item : c.Items())
        list->addItem(Q(item));
    }
    list->setCurrentRow(c.Selection());
    break;
  }
  case ControlKind::ComboBox: {
    auto* combo = static_cast<QComboBox*>(widget);
    if (what & DialogControl::kItemsChanged) {
      combo->clear();
      for (const std::string& item : c.Items())
        combo->addItem(Q(item));
    }
    combo->setCurrentIndex(c.Selection());
    if (combo->isEditable() && combo->currentText() != Q(c.Text()))
      combo->setEditText(Q(c.Text()));
    break;
  }
  case ControlKind::Progress: {
    auto* bar = static_cast<QProgressBar*>(widget);
    int low = std::min(c.RangeLow(), c.RangeHigh());
    int high = std::max(c.RangeLow(), c.RangeHigh());
    // An empty range would make the bar a busy indicator.
    bar->setRange(low, high > low ? high : low + 1);
    bar->setValue(c.Position());
    break;
  }
  }
  syncing = wasSyncing;
}

void DialogWidgets::SyncDefault() {
  for (auto& [control, widget] : widgets) {
    if (control->IsPushButton())
      Sync(*control, DialogControl::kStateChanged);
  }
}

void DialogWidgets::SetCaption(const std::string& utf8) {
  if (window)
    window->setWindowTitle(Q(utf8));
}

void DialogWidgets::FocusFirst() {
  if (!dialog)
    return;
  for (DialogControl* c : dialog->Items()) {
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
  std::shared_ptr<detail::DialogWidgets> widgets = dialog.widgets_;
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
