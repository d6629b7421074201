#include "platform/ui/dialog/dialog.h"

#include "platform/sys/log.h"
#include "platform/win/loop.h"

#include <cstdio>

namespace ui {

void HeadlessDialogs::RunModal(Dialog& dialog) {
  if (dialog.EndsItself()) {
    dialog.SetBusy(true);
    while (!dialog.Ended() && dialog.GetHwnd())
      win::RunMessageLoopUntil([&] { return dialog.Ended(); }, 1000);
    dialog.SetBusy(false);
    return;
  }
  sys::Warn("ui", "dialog \"%s\" has no display: cancelled", dialog.Template().caption.c_str());
  dialog.PressEscape();
  if (!dialog.Ended())
    dialog.EndDialog(IDCANCEL);
}

void ScriptedDialogs::Expect(std::vector<DialogStep> steps) {
  std::lock_guard lock(mutex_);
  scripts_.push_back(std::move(steps));
}

std::vector<DialogRun> ScriptedDialogs::Runs() const {
  std::lock_guard lock(mutex_);
  return runs_;
}

size_t ScriptedDialogs::Pending() const {
  std::lock_guard lock(mutex_);
  return scripts_.size();
}

DialogRun ScriptedDialogs::Run(Dialog& dialog) {
  std::vector<DialogStep> steps;
  {
    std::lock_guard lock(mutex_);
    if (!scripts_.empty()) {
      steps = std::move(scripts_.front());
      scripts_.pop_front();
    }
  }
  DialogRun run;
  run.caption = dialog.State().caption;
  run.modal = dialog.IsModal();
  run.states.push_back(dialog.State());
  size_t next = 0;
  for (; next < steps.size() && !dialog.Ended() && dialog.GetHwnd(); ++next) {
    const DialogStep& step = steps[next];
    bool accepted = true;
    switch (step.action) {
    case DialogStep::Action::Click:
      accepted = dialog.Click(step.id);
      break;
    case DialogStep::Action::Type:
      accepted = dialog.Type(step.id, step.text);
      break;
    case DialogStep::Action::Choose:
      accepted = dialog.Choose(step.id, step.index);
      break;
    case DialogStep::Action::DoubleClick:
      accepted = dialog.DoubleClick(step.id, step.index);
      break;
    case DialogStep::Action::Scroll:
      accepted = dialog.Scroll(step.id, step.code, step.index);
      break;
    case DialogStep::Action::Enter:
      dialog.PressEnter();
      break;
    case DialogStep::Action::Escape:
      dialog.PressEscape();
      break;
    case DialogStep::Action::Close:
      dialog.PressClose();
      break;
    case DialogStep::Action::WaitUntilEnded:
      accepted = win::RunMessageLoopUntil([&] { return dialog.Ended(); }, step.timeoutMs);
      break;
    }
    win::ProcessPendingMessages();
    run.accepted.push_back(accepted);
    if (dialog.GetHwnd())
      run.states.push_back(dialog.State());
  }
  run.stepsLeft = steps.size() - next;
  if (dialog.IsModal() && !dialog.Ended()) {
    run.cancelledAtEnd = true;
    dialog.PressEscape();
    win::ProcessPendingMessages();
    if (!dialog.Ended())
      dialog.EndDialog(IDCANCEL);
  }
  run.result = dialog.IsModal() ? dialog.Result() : 0;
  return run;
}

void ScriptedDialogs::RunModal(Dialog& dialog) {
  DialogRun run = Run(dialog);
  std::lock_guard lock(mutex_);
  runs_.push_back(std::move(run));
}

void ScriptedDialogs::Opened(Dialog& dialog) {
  DialogRun run = Run(dialog);
  std::lock_guard lock(mutex_);
  runs_.push_back(std::move(run));
}

} // namespace ui
