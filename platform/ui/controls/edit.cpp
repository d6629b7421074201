#include "platform/ui/controls/edit.h"

#include "platform/sys/codepage.h"
#include "platform/ui/controls/control_widget.h"
#include "platform/ui/dialog/dialog.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>

namespace ui {
namespace {

// Multi-line edits keep "\r\n" line breaks as the stored texts do; the
// widget works in "\n".
QString ToWidgetLines(const std::string& utf8) {
  QString s = ToQString(utf8);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

std::string FromWidgetLines(const QString& text) {
  QString s = text;
  s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return FromQString(s);
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

std::string Edit::LimitText(std::string_view utf8) const {
  if (textLimit_ == 0)
    return std::string(utf8);
  std::string bytes = ToBytes(utf8);
  if (bytes.size() <= textLimit_)
    return std::string(utf8);
  return sys::ToUtf8(sys::CutBytes(bytes, textLimit_, CodePage()), CodePage());
}

void Edit::SetText(std::string_view utf8) {
  std::string text = LimitText(utf8);
  if (text == text_)
    return;
  text_ = std::move(text);
  Changed(kTextChanged);
  if (!(Style() & ES_MULTILINE))
    Notify(EN_CHANGE);
}

bool Edit::ReadOnly() const {
  return (Style() & ES_READONLY) != 0;
}

void Edit::SetReadOnly(bool readOnly) {
  SetStyle(readOnly ? (Style() | ES_READONLY) : (Style() & ~ES_READONLY));
}

void Edit::SetTextLimit(uint32_t bytes) {
  textLimit_ = bytes;
  std::string cut = LimitText(text_);
  if (cut != text_) {
    text_ = std::move(cut);
    Changed(kTextChanged);
  }
}

bool Edit::TakeTyping(std::string_view utf8) {
  if (ReadOnly())
    return false;
  if ((Style() & ES_NUMBER) &&
      !std::all_of(utf8.begin(), utf8.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    return false;
  std::string text = LimitText(utf8);
  const bool changed = text != text_;
  const bool cut = text != utf8;
  if (changed)
    text_ = std::move(text);
  // A cut text is shown again as it was kept.
  if (changed || cut)
    Changed(kTextChanged);
  if (changed)
    Notify(EN_CHANGE);
  return true;
}

LResult Edit::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case EM_LIMITTEXT:
    SetTextLimit(static_cast<uint32_t>(wParam));
    return 0;
  case EM_SETREADONLY:
    SetReadOnly(wParam != 0);
    return 1;
  default:
    return Control::HandleMessage(message, wParam, lParam);
  }
}

QWidget* Edit::MakeWidget(const WidgetLink& link) {
  const int32_t id = Id();
  if (Style() & ES_MULTILINE) {
    auto* edit = new MultiLineEdit(link.Parent(), (Style() & ES_WANTRETURN) != 0);
    QObject::connect(edit, &QPlainTextEdit::textChanged, link.Context(), [link, edit, id] {
      link.Act(id, WidgetLink::WhileSyncing::Skip, kTextChanged,
               [&](Dialog& d) { d.Type(id, FromWidgetLines(edit->toPlainText())); });
    });
    return edit;
  }
  auto* edit = new QLineEdit(link.Parent());
  edit->setAlignment(AlignmentOfStyle(Style()) | Qt::AlignVCenter);
  if (Style() & ES_PASSWORD)
    edit->setEchoMode(QLineEdit::Password);
  QObject::connect(edit, &QLineEdit::textEdited, link.Context(), [link, id](const QString& text) {
    link.Act(id, WidgetLink::WhileSyncing::Skip, kTextChanged,
             [&](Dialog& d) { d.Type(id, FromQString(text)); });
  });
  return edit;
}

void Edit::SyncWidget(QWidget& widget, uint32_t) const {
  if (auto* line = qobject_cast<QLineEdit*>(&widget)) {
    if (line->text() != ToQString(Text()))
      line->setText(ToQString(Text()));
    line->setReadOnly(ReadOnly());
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(&widget)) {
    QString text = ToWidgetLines(Text());
    if (plain->toPlainText() != text)
      plain->setPlainText(text);
    plain->setReadOnly(ReadOnly());
  }
}

} // namespace ui
