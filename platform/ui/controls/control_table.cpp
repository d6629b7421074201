#include "platform/ui/controls/control_table.h"

#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/progress.h"
#include "platform/ui/controls/scroll_bar_control.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/controls/up_down.h"

#include <mutex>

namespace ui {
namespace {

const ControlClass kControlClasses[] = {
    {ControlKind::Static, MakeControl<StaticControl>},
    {ControlKind::Edit, MakeControl<Edit>},
    {ControlKind::Button, MakeControl<Button>},
    {ControlKind::ListBox, MakeControl<ListBox>},
    {ControlKind::ComboBox, MakeControl<ComboBox>},
    {ControlKind::Progress, MakeControl<ProgressBar>},
    {kScrollBarKind, MakeControl<ScrollBar>},
    {kUpDownKind, MakeControl<UpDown>},
};

} // namespace

bool RegisterControlClass(const ControlClass& row) {
  if (!row.make)
    return false;
  auto make = row.make;
  return win::RegisterClass(
      {row.kind.className, 0, [make] { return std::unique_ptr<win::Window>(make()); }});
}

void RegisterControlClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const ControlClass& row : kControlClasses)
      RegisterControlClass(row);
  });
}

} // namespace ui
