#include "platform/ui/modal/logged_messagebox.h"

#include <cstdlib>
#include <fstream>
#include <memory>

namespace ui {

int LoggedMessageBox::Show(const MessageBoxRequest& request) {
  std::lock_guard lock(mutex_);
  std::ofstream(path_, std::ios::app)
      << request.caption << '\t' << request.flags << '\t' << request.text << '\n';
  return answer_ ? answer_ : MessageBoxDefault(request.flags);
}

bool InstallLoggedMessageBoxFromEnvironment() {
  const char* path = std::getenv("VEXO_MESSAGEBOX_LOG");
  if (!path || !*path)
    return false;
  const char* answer = std::getenv("VEXO_MESSAGEBOX_ANSWER");
  SetMessageBoxBackend(std::make_shared<LoggedMessageBox>(path, answer ? std::atoi(answer) : 0));
  return true;
}

} // namespace ui
