// An up-down control ("msctls_updown32"): a pair of arrows that move a
// position within a range, show it in a buddy edit, and tell the parent
// dialog by WM_VSCROLL (WM_HSCROLL for UDS_HORZ) with the position in the
// high word of wParam and the control's own window in lParam. Made from a
// dialog template's CONTROL line or by hand with CreateUpDown.
#pragma once

#include "platform/ui/controls/control.h"

namespace ui {

inline constexpr ControlKind kUpDownKind{"msctls_updown32"};

inline constexpr uint32_t UDS_WRAP = 0x0001;
inline constexpr uint32_t UDS_SETBUDDYINT = 0x0002;
inline constexpr uint32_t UDS_ALIGNRIGHT = 0x0004;
inline constexpr uint32_t UDS_ALIGNLEFT = 0x0008;
inline constexpr uint32_t UDS_AUTOBUDDY = 0x0010;
inline constexpr uint32_t UDS_ARROWKEYS = 0x0020;
inline constexpr uint32_t UDS_HORZ = 0x0040;
inline constexpr uint32_t UDS_NOTHOUSANDS = 0x0080;

inline constexpr uint32_t UDM_SETRANGE = win::WM_USER + 101; // lParam: upper | lower << 16
inline constexpr uint32_t UDM_GETRANGE = win::WM_USER + 102;
inline constexpr uint32_t UDM_SETPOS = win::WM_USER + 103; // lParam: the low word
inline constexpr uint32_t UDM_GETPOS = win::WM_USER + 104;
inline constexpr uint32_t UDM_SETBUDDY = win::WM_USER + 105;
inline constexpr uint32_t UDM_GETBUDDY = win::WM_USER + 106;
inline constexpr uint32_t UDM_SETRANGE32 = win::WM_USER + 111; // wParam lower, lParam upper
inline constexpr uint32_t UDM_GETRANGE32 = win::WM_USER + 112; // wParam, lParam: int32_t*
inline constexpr uint32_t UDM_SETPOS32 = win::WM_USER + 113;
inline constexpr uint32_t UDM_GETPOS32 = win::WM_USER + 114; // lParam: int32_t* error flag

class UpDown : public Control {
public:
  UpDown() : Control(kUpDownKind) {}

  // The range from lower (the down arrow's end) to upper (the up arrow's);
  // upper may lie below lower. The position is kept inside it.
  void SetRange(int lower, int upper);
  int Lower() const { return lower_; }
  int Upper() const { return upper_; }
  int Position() const { return position_; }
  // Returns the previous position; the buddy shows the new one.
  int SetPosition(int position);
  Hwnd Buddy() const;
  Hwnd SetBuddy(Hwnd buddy);
  bool Horizontal() const { return (Style() & UDS_HORZ) != 0; }

  // A person's click: +1 on the up (right) arrow, -1 on the down (left)
  // one. The position moves one step toward that arrow's end (wrapping
  // with UDS_WRAP) and the parent hears of it; false when the control
  // cannot be used or the position stays.
  bool Step(int direction);

  void Describe(ControlState& state) const override;
  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;

protected:
  LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  // The buddy's number, when it shows one a person typed.
  void ReadBuddy();
  void ShowInBuddy() const;

  int lower_ = 100, upper_ = 0, position_ = 0;
  Hwnd buddy_ = 0;
  bool buddyLooked_ = false;
};

// Makes an up-down control under a dialog of this thread; 0 when it cannot
// be made.
Hwnd CreateUpDown(Hwnd dialog, int32_t id, const gdi::Rect& rect, uint32_t style, int lower,
                  int upper, int position, Hwnd buddy = 0);

} // namespace ui
