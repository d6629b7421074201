// An edit control: a field of text, one line or several (ES_MULTILINE),
// with a limit in code-page bytes, read-only or taking only digits as its
// style says.
#pragma once

#include "platform/ui/controls/control.h"

namespace ui {

inline constexpr uint32_t EM_LIMITTEXT = 0x00C5;
inline constexpr uint32_t EM_SETREADONLY = 0x00CF;

// WM_COMMAND's code when the text changes.
inline constexpr uint16_t EN_CHANGE = 0x0300;

class Edit : public Control {
public:
  Edit() : Control(ControlKind::Edit) {}

  // Sets the text, cut to the limit; a single-line edit reports EN_CHANGE
  // as it does for a person's typing.
  void SetText(std::string_view utf8) override;
  bool ReadOnly() const;
  void SetReadOnly(bool readOnly);
  // The most code-page bytes the edit holds; 0 for no limit.
  uint32_t TextLimit() const { return textLimit_; }
  void SetTextLimit(uint32_t bytes);

  // Replaces the text: EN_CHANGE follows. A read-only edit refuses, a
  // number edit refuses anything but digits.
  bool TakeTyping(std::string_view utf8) override;

  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;

protected:
  LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  std::string LimitText(std::string_view utf8) const;

  uint32_t textLimit_ = 0;
};

} // namespace ui
