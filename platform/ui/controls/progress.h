// A progress bar: a position within a range, moved by messages.
#pragma once

#include "platform/ui/controls/control.h"

namespace ui {

inline constexpr uint32_t PBM_SETRANGE = win::WM_USER + 1;
inline constexpr uint32_t PBM_SETPOS = win::WM_USER + 2;
inline constexpr uint32_t PBM_DELTAPOS = win::WM_USER + 3;
inline constexpr uint32_t PBM_SETSTEP = win::WM_USER + 4;
inline constexpr uint32_t PBM_STEPIT = win::WM_USER + 5;
inline constexpr uint32_t PBM_SETRANGE32 = win::WM_USER + 6;
inline constexpr uint32_t PBM_GETPOS = win::WM_USER + 8;

class ProgressBar : public Control {
public:
  ProgressBar() : Control(ControlKind::Progress) {}

  int RangeLow() const { return low_; }
  int RangeHigh() const { return high_; }
  void SetRange(int low, int high);
  int Position() const { return position_; }
  // Returns the previous position; the new one is kept within the range.
  int SetPosition(int position);

  void Describe(ControlState& state) const override;

  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;

protected:
  LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  int low_ = 0, high_ = 100, position_ = 0, step_ = 10;
};

} // namespace ui
