#include "platform/ui/controls/progress.h"

#include "platform/ui/window/input.h"

#include <QProgressBar>

#include <algorithm>
#include <cstdint>

namespace ui {

void ProgressBar::SetRange(int low, int high) {
  low_ = low;
  high_ = high;
  position_ = std::clamp(position_, std::min(low_, high_), std::max(low_, high_));
  Changed(kStateChanged);
}

int ProgressBar::SetPosition(int position) {
  int previous = position_;
  position_ = std::clamp(position, std::min(low_, high_), std::max(low_, high_));
  if (position_ != previous)
    Changed(kStateChanged);
  return previous;
}

void ProgressBar::Describe(ControlState& state) const {
  Control::Describe(state);
  state.position = position_;
}

LResult ProgressBar::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case PBM_SETRANGE: {
    LResult previous = MakeLParam(static_cast<uint16_t>(low_), static_cast<uint16_t>(high_));
    SetRange(LowWord(static_cast<uintptr_t>(lParam)), HighWord(static_cast<uintptr_t>(lParam)));
    return previous;
  }
  case PBM_SETRANGE32: {
    LResult previous = MakeLParam(static_cast<uint16_t>(low_), static_cast<uint16_t>(high_));
    SetRange(static_cast<int>(static_cast<intptr_t>(wParam)), static_cast<int>(lParam));
    return previous;
  }
  case PBM_SETPOS:
    return SetPosition(static_cast<int>(static_cast<intptr_t>(wParam)));
  case PBM_DELTAPOS:
    return SetPosition(position_ + static_cast<int>(static_cast<intptr_t>(wParam)));
  case PBM_SETSTEP: {
    int previous = step_;
    step_ = static_cast<int>(static_cast<intptr_t>(wParam));
    return previous;
  }
  case PBM_STEPIT: {
    // Past the end the bar starts over from the beginning.
    int previous = position_;
    int64_t next = static_cast<int64_t>(position_) + step_;
    int64_t span = static_cast<int64_t>(high_) - low_;
    if (span > 0 && next > high_)
      next = low_ + (next - low_) % span;
    SetPosition(static_cast<int>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX)));
    return previous;
  }
  case PBM_GETPOS:
    return position_;
  default:
    return Control::HandleMessage(message, wParam, lParam);
  }
}

QWidget* ProgressBar::MakeWidget(const WidgetLink& link) {
  auto* bar = new QProgressBar(link.Parent());
  bar->setTextVisible(false);
  return bar;
}

void ProgressBar::SyncWidget(QWidget& widget, uint32_t) const {
  auto& bar = static_cast<QProgressBar&>(widget);
  int low = std::min(low_, high_);
  int high = std::max(low_, high_);
  // An empty range would make the bar a busy indicator.
  bar.setRange(low, high > low ? high : low + 1);
  bar.setValue(position_);
}

} // namespace ui
