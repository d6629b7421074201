// A button control: a push button (the dialog's default one with
// BS_DEFPUSHBUTTON), a check box of two or three states, checked by itself
// (BS_AUTO...) or by its owner, or a group box framing other controls.
#pragma once

#include "platform/ui/controls/control.h"

namespace ui {

inline constexpr uint32_t BM_GETCHECK = 0x00F0;
inline constexpr uint32_t BM_SETCHECK = 0x00F1;
inline constexpr uint32_t BM_CLICK = 0x00F5;
inline constexpr uint32_t BST_UNCHECKED = 0;
inline constexpr uint32_t BST_CHECKED = 1;
inline constexpr uint32_t BST_INDETERMINATE = 2;

// WM_COMMAND's code when the button is clicked.
inline constexpr uint16_t BN_CLICKED = 0;

class Button : public Control {
public:
  Button() : Control(ControlKind::Button) {}

  // BS_PUSHBUTTON to BS_GROUPBOX.
  uint32_t ButtonType() const { return Style() & BS_TYPEMASK; }
  bool IsPushButton() const;
  // Check boxes and radio buttons: both keep a check.
  bool IsCheckBox() const;
  bool IsRadioButton() const;
  uint32_t Check() const { return check_; }
  // A two-state box takes BST_INDETERMINATE as checked; other buttons
  // ignore it.
  void SetCheck(uint32_t state);

  // An automatic check box changes its check; BN_CLICKED follows. A group
  // box takes no click.
  bool TakeClick() override;
  void Describe(ControlState& state) const override;

  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;

protected:
  LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  // Checks an auto radio button and clears the others of its group.
  void CheckInGroup();
  uint32_t check_ = BST_UNCHECKED;
};

} // namespace ui
