#include "platform/ui/window/snapshot.h"

#include "platform/ui/window/screen.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace ui {

bool SaveWindowImage(win::Hwnd hwnd, const std::string& path) {
  if (QWidget* widget = GetWidget(hwnd))
    return widget->grab().save(QString::fromStdString(path), "PNG");
  if (auto dc = GetDc(hwnd))
    return dc->Target()->SavePng(path);
  return false;
}

} // namespace ui
