// A scroll-bar control of a dialog (window class "ScrollBar"): a range, a
// page and a position that only messages move. What a person does (an
// arrow, the trough, the thumb) reaches the dialog as WM_HSCROLL (SBS_HORZ)
// or WM_VSCROLL (SBS_VERT) with the scroll code in the low word of wParam,
// the thumb's position in the high word, and the control's window in
// lParam; the dialog's handler sets the new position (SBM_SETPOS). During a
// thumb drag the control shows the thumb where the person holds it.
#pragma once

#include "platform/ui/controls/control.h"
#include "platform/ui/window/scroll_bar.h"

namespace ui {

inline constexpr ControlKind kScrollBarKind{"ScrollBar"};

inline constexpr uint32_t SBS_HORZ = 0x0000;
inline constexpr uint32_t SBS_VERT = 0x0001;

inline constexpr uint32_t SBM_SETPOS = 0x00E0; // wParam pos; the previous one
inline constexpr uint32_t SBM_GETPOS = 0x00E1;
inline constexpr uint32_t SBM_SETRANGE = 0x00E2;       // wParam min, lParam max
inline constexpr uint32_t SBM_GETRANGE = 0x00E3;       // wParam int32_t* min, lParam int32_t* max
inline constexpr uint32_t SBM_SETRANGEREDRAW = 0x00E6; // as SBM_SETRANGE
inline constexpr uint32_t SBM_SETSCROLLINFO = 0x00E9;  // lParam const ScrollInfo*
inline constexpr uint32_t SBM_GETSCROLLINFO = 0x00EA;  // lParam ScrollInfo*

class ScrollBar : public Control {
public:
  ScrollBar() : Control(kScrollBarKind) {}

  bool Vertical() const { return (Style() & SBS_VERT) != 0; }
  int32_t Min() const { return info_.min; }
  int32_t Max() const { return info_.max; }
  int32_t Position() const { return info_.pos; }
  bool Tracking() const { return tracking_; }
  // A reversed range is taken in order; the position stays within it
  // (max - page + 1 with a page). Each gives the position.
  int32_t SetRange(int32_t min, int32_t max);
  int32_t SetPosition(int32_t pos);
  int32_t SetInfo(const ScrollInfo& info);
  ScrollInfo Info() const;

  // A scroll code as a person gives it (position: where the thumb is, for
  // SB_THUMBTRACK and SB_THUMBPOSITION): tells the dialog.
  bool TakeScroll(uint32_t code, int32_t position) override;
  void Describe(ControlState& state) const override;

  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;

protected:
  LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  int32_t MaxPosition() const;
  int32_t Clamp(int32_t pos) const;

  ScrollInfo info_{SIF_ALL, 0, 100, 0, 0, 0};
  bool tracking_ = false;
};

} // namespace ui
