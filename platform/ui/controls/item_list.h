// What list boxes and combo boxes share: a list of texts, sorted without
// regard to ASCII case when the style asks, with one item selected or none,
// and the messages that fill and read it (LB_... or CB_..., same meanings).
#pragma once

#include "platform/ui/controls/control.h"

#include <optional>

namespace ui {

class ItemList : public Control {
public:
  // AddString inserts in order in a sorted list; both return the new item's
  // index, -1 for a bad index.
  int AddString(std::string_view utf8);
  int InsertString(int index, std::string_view utf8); // -1: at the end
  bool DeleteString(int index);
  void ResetContent();
  int Count() const { return static_cast<int>(items_.size()); }
  const std::vector<std::string>& Items() const { return items_; }
  std::optional<std::string> ItemText(int index) const;
  int Selection() const { return selection_; } // -1 for none
  // -1 clears; false for an index out of range.
  bool SetSelection(int index);

  void Describe(ControlState& state) const override;

protected:
  // The kind's numbers for the shared messages.
  struct Messages {
    uint32_t add, insert, remove, reset, setSel, getSel, getText, getTextLen, getCount;
    LResult err;
  };

  ItemList(ControlKind kind, uint32_t sortStyle, const Messages& messages)
      : Control(kind), sortStyle_(sortStyle), messages_(messages) {}

  LResult HandleMessage(uint32_t message, WParam wParam, LParam lParam) override;
  // The selection has been set: the changes the kind made beside it.
  virtual uint32_t SelectionSet() { return 0; }

private:
  int InsertItem(int index, std::string_view utf8);

  uint32_t sortStyle_;
  Messages messages_;
  std::vector<std::string> items_;
  int selection_ = -1;
};

} // namespace ui
