// A list box: a list of texts a person chooses one of; LBS_NOTIFY reports
// the choice, LBS_SORT keeps the list in order.
#pragma once

#include "platform/ui/controls/item_list.h"

namespace ui {

inline constexpr uint32_t LB_ADDSTRING = 0x0180;
inline constexpr uint32_t LB_INSERTSTRING = 0x0181;
inline constexpr uint32_t LB_DELETESTRING = 0x0182;
inline constexpr uint32_t LB_RESETCONTENT = 0x0184;
inline constexpr uint32_t LB_SETCURSEL = 0x0186;
inline constexpr uint32_t LB_GETCURSEL = 0x0188;
inline constexpr uint32_t LB_GETTEXT = 0x0189;
inline constexpr uint32_t LB_GETTEXTLEN = 0x018A;
inline constexpr uint32_t LB_GETCOUNT = 0x018B;
inline constexpr LResult LB_ERR = -1;

// WM_COMMAND's code when a person chooses an item.
inline constexpr uint16_t LBN_SELCHANGE = 1;
// ... and when a person double-clicks one (after its LBN_SELCHANGE).
inline constexpr uint16_t LBN_DBLCLK = 2;

class ListBox : public ItemList {
public:
  ListBox();

  // Chooses an item: LBN_SELCHANGE follows with LBS_NOTIFY.
  bool TakeChoice(int index) override;
  // Chooses the item, then LBN_DBLCLK follows with LBS_NOTIFY.
  bool TakeDoubleClick(int index) override;

  QWidget* MakeWidget(const WidgetLink& link) override;
  void SyncWidget(QWidget& widget, uint32_t what) const override;
};

} // namespace ui
