// The player core's dialogs drawn offscreen for a person to look at: a Qt
// application while one is needed, and the dialog's picture saved as PNG.
#pragma once

#include <QApplication>

#include <memory>
#include <string>

namespace ui {
class Dialog;
}

namespace playertest {

// A QApplication when the process has none yet (null otherwise).
std::unique_ptr<QApplication> OffscreenApplication();
// Makes the dialog, saves its picture into build/tests/<name> and destroys it
// again; checks that the picture is at least minWidth x minHeight.
void SaveDialogPicture(ui::Dialog& dialog, const std::string& name, int minWidth, int minHeight);

} // namespace playertest
