// A static control: a label, shown without its access-key marks unless it
// has SS_NOPREFIX.
#pragma once

#include "platform/ui/controls/control.h"

namespace ui {

class StaticControl : public Control {
public:
  StaticControl() : Control(ControlKind::Static) {}

  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;
};

} // namespace ui
