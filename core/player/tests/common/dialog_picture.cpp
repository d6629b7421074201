#include "dialog_picture.h"

#include "platform/ui/dialog/dialog.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

namespace playertest {

std::unique_ptr<QApplication> OffscreenApplication() {
  static int argc = 1;
  static char name[] = "player_tests";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance())
    return nullptr;
  return std::make_unique<QApplication>(argc, argv);
}

void SaveDialogPicture(ui::Dialog& dialog, const std::string& name, int minWidth, int minHeight) {
  ASSERT_TRUE(dialog.Create());
  ASSERT_NE(dialog.Widget(), nullptr);
  const QImage image = dialog.Widget()->grab().toImage();
  const std::string png = std::string(VEXO_TESTS_DIR) + "/" + name;
  EXPECT_TRUE(image.save(QString::fromStdString(png), "PNG"));
  EXPECT_GE(image.width(), minWidth);
  EXPECT_GE(image.height(), minHeight);
  win::DestroyWindow(dialog.GetHwnd());
}

} // namespace playertest
