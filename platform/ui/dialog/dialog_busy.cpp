// A busy thread's modeless dialog: painted at each change, since the thread
// runs no loop that would paint it; without widgets, echoed on standard
// error so that a terminal still shows how far the job has come.
#include "platform/ui/controls/progress.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/dialog/dialog_view.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace ui {
namespace {

bool Terminal() {
  static const bool terminal = isatty(STDERR_FILENO) == 1;
  return terminal;
}

} // namespace

void Dialog::SetBusy(bool busy) {
  // The line rewritten in place is ended when the job is.
  if (busy_ && !busy && !busyLine_.empty() && Terminal())
    std::fputc('\n', stderr);
  busy_ = busy;
  busyLine_.clear();
}

void Dialog::ShowBusyChange(Control& control, uint32_t what) {
  (void)control;
  (void)what;
  if (widgets_) {
    widgets_->RepaintNow();
    return;
  }
  std::string line;
  for (const ControlState& c : State().controls) {
    if (!c.visible)
      continue;
    if (c.kind == ControlKind::Static && c.text.find_first_not_of(' ') != std::string::npos) {
      if (!line.empty())
        line += " | ";
      line += c.text;
    } else if (c.kind == ControlKind::Progress) {
      const auto* bar = Item<ProgressBar>(c.id);
      int span = bar ? bar->RangeHigh() - bar->RangeLow() : 0;
      long percent = span > 0 ? 100L * (c.position - bar->RangeLow()) / span : 0;
      if (!line.empty())
        line += " ";
      line += "[" + std::to_string(percent) + "%]";
    }
  }
  if (line == busyLine_)
    return;
  busyLine_ = line;
  // A terminal shows the one line rewritten in place; a file gets a line
  // per change.
  std::string out = Terminal() ? "\r" + line + "\x1b[K" : line + "\n";
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

} // namespace ui
