// For tests of whole programs: every message box appended to a file as
// "caption<TAB>flags<TAB>text" and answered without a person.
#pragma once

#include "platform/ui/modal/messagebox.h"

#include <mutex>
#include <string>

namespace ui {

// Appends each box to path and answers with answer (a button's number), or
// with the box's default button when answer is 0.
class LoggedMessageBox : public MessageBoxBackend {
public:
  LoggedMessageBox(std::string path, int answer) : path_(std::move(path)), answer_(answer) {}
  int Show(const MessageBoxRequest& request) override;

private:
  std::mutex mutex_;
  std::string path_;
  int answer_;
};

// Installs a LoggedMessageBox when VEXO_MESSAGEBOX_LOG names a file, with
// VEXO_MESSAGEBOX_ANSWER as its answer; true when it did.
bool InstallLoggedMessageBoxFromEnvironment();

} // namespace ui
