// A control kind the library does not have, kept by the tests: a level
// from 0 to 10, set by a message or chosen by a person, shown as a label.
// All a new kind needs is this one file and its row in a control table.
#pragma once

#include "platform/ui/controls/control.h"
#include "platform/ui/dialog/dialog.h"

#include <QLabel>

#include <algorithm>
#include <string>

namespace uitest {

inline constexpr ui::ControlKind kLevelMeter{"UiTestLevelMeter"};
inline constexpr uint32_t LM_SETLEVEL = win::WM_USER + 1; // returns the previous level
inline constexpr uint32_t LM_GETLEVEL = win::WM_USER + 2;
inline constexpr uint16_t LMN_CHOSEN = 7;

class LevelMeter : public ui::Control {
public:
  LevelMeter() : Control(kLevelMeter) {}

  int Level() const { return level_; }
  void SetLevel(int level) {
    level = std::clamp(level, 0, 10);
    if (level == level_)
      return;
    level_ = level;
    Changed(kStateChanged);
  }

  bool TakeChoice(int index) override {
    if (index < 0 || index > 10)
      return false;
    SetLevel(index);
    Notify(LMN_CHOSEN);
    return true;
  }
  void Describe(ui::ControlState& state) const override {
    Control::Describe(state);
    state.position = level_;
  }

  QWidget* MakeWidget(const ui::WidgetLink& link) override { return new QLabel(link.Parent()); }
  void SyncWidget(QWidget& widget, uint32_t) const override {
    static_cast<QLabel&>(widget).setText(QString::fromStdString(Text()) + " " +
                                         QString::number(level_));
  }

protected:
  ui::LResult HandleMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override {
    switch (message) {
    case LM_SETLEVEL: {
      int previous = level_;
      SetLevel(static_cast<int>(wParam));
      return previous;
    }
    case LM_GETLEVEL:
      return level_;
    default:
      return Control::HandleMessage(message, wParam, lParam);
    }
  }

private:
  int level_ = 0;
};

} // namespace uitest
