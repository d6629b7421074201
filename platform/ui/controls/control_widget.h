// What the controls' widgets share: texts between UTF-8 and Qt, and the
// alignment bits of a style. Only the sources of platform/ui include it.
#pragma once

#include "platform/ui/dialog/dialog_template.h"

#include <QString>
#include <Qt>

#include <string>

namespace ui {

inline QString ToQString(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string FromQString(const QString& text) {
  return text.toStdString();
}

// The horizontal alignment of a static's or edit's style.
inline Qt::Alignment AlignmentOfStyle(uint32_t style) {
  switch (style & 0x3) {
  case SS_CENTER:
    return Qt::AlignHCenter;
  case SS_RIGHT:
    return Qt::AlignRight;
  default:
    return Qt::AlignLeft;
  }
}

} // namespace ui
