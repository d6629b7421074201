// A combo box: a list of texts with a field that shows the chosen one; a
// person may type into the field unless the style is CBS_DROPDOWNLIST.
#pragma once

#include "platform/ui/controls/item_list.h"

namespace ui {

inline constexpr uint32_t CB_ADDSTRING = 0x0143;
inline constexpr uint32_t CB_DELETESTRING = 0x0144;
inline constexpr uint32_t CB_GETCOUNT = 0x0146;
inline constexpr uint32_t CB_GETCURSEL = 0x0147;
inline constexpr uint32_t CB_GETLBTEXT = 0x0148;
inline constexpr uint32_t CB_GETLBTEXTLEN = 0x0149;
inline constexpr uint32_t CB_INSERTSTRING = 0x014A;
inline constexpr uint32_t CB_RESETCONTENT = 0x014B;
inline constexpr uint32_t CB_SETCURSEL = 0x014E;
inline constexpr LResult CB_ERR = -1;

// WM_COMMAND's codes when a person chooses an item or types.
inline constexpr uint16_t CBN_SELCHANGE = 1;
inline constexpr uint16_t CBN_EDITCHANGE = 5;

class ComboBox : public ItemList {
public:
  ComboBox();

  // Chooses an item, shown in the field: CBN_SELCHANGE follows.
  bool TakeChoice(int index) override;
  // Types into an editable field: CBN_EDITCHANGE follows.
  bool TakeTyping(std::string_view utf8) override;

  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;
  // The height given includes the drop-down list.
  gdi::Rect WidgetRect(const QWidget& widget) const override;

protected:
  uint32_t SelectionSet() override;

private:
  bool Editable() const;
};

} // namespace ui
