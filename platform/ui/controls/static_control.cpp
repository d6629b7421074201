#include "platform/ui/controls/static_control.h"

#include "platform/ui/controls/control_widget.h"

#include <QLabel>

namespace ui {
namespace {

// The text without its access-key marks ("&&" is an ampersand).
QString LabelText(const std::string& utf8, uint32_t style) {
  QString text = ToQString(utf8);
  if (style & SS_NOPREFIX)
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

} // namespace

QWidget* StaticControl::MakeWidget(const WidgetLink& link) {
  auto* label = new QLabel(link.Parent());
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(AlignmentOfStyle(Style()) | Qt::AlignTop);
  label->setWordWrap(true);
  if (Style() & SS_SUNKEN)
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  return label;
}

void StaticControl::SyncWidget(QWidget& widget, uint32_t) const {
  static_cast<QLabel&>(widget).setText(LabelText(Text(), Style()));
}

} // namespace ui
