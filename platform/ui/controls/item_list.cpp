#include "platform/ui/controls/item_list.h"
#include "platform/sys/ascii.h"

#include <algorithm>
#include <cstring>

namespace ui {
namespace {

char Fold(char c) {
  return sys::AsciiUpper(c);
}

// Sorted lists order their items without regard to ASCII case.
bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

} // namespace

int ItemList::InsertItem(int index, std::string_view utf8) {
  items_.insert(items_.begin() + index, std::string(utf8));
  if (selection_ >= index)
    ++selection_;
  Changed(kItemsChanged);
  return index;
}

int ItemList::AddString(std::string_view utf8) {
  int index = static_cast<int>(items_.size());
  if (Style() & sortStyle_) {
    auto at =
        std::upper_bound(items_.begin(), items_.end(), utf8,
                         [](std::string_view a, const std::string& b) { return LessNoCase(a, b); });
    index = static_cast<int>(at - items_.begin());
  }
  return InsertItem(index, utf8);
}

int ItemList::InsertString(int index, std::string_view utf8) {
  if (index == -1)
    index = Count();
  if (index < 0 || index > Count())
    return -1;
  return InsertItem(index, utf8);
}

bool ItemList::DeleteString(int index) {
  if (index < 0 || index >= Count())
    return false;
  items_.erase(items_.begin() + index);
  if (selection_ == index)
    selection_ = -1;
  else if (selection_ > index)
    --selection_;
  Changed(kItemsChanged);
  return true;
}

void ItemList::ResetContent() {
  if (items_.empty() && selection_ == -1)
    return;
  items_.clear();
  selection_ = -1;
  Changed(kItemsChanged);
}

std::optional<std::string> ItemList::ItemText(int index) const {
  if (index < 0 || index >= Count())
    return std::nullopt;
  return items_[static_cast<size_t>(index)];
}

bool ItemList::SetSelection(int index) {
  if (index < -1 || index >= Count())
    return false;
  uint32_t what = 0;
  if (index != selection_) {
    selection_ = index;
    what |= kStateChanged;
  }
  what |= SelectionSet();
  if (what)
    Changed(what);
  return true;
}

void ItemList::Describe(ControlState& state) const {
  Control::Describe(state);
  state.items = items_;
  state.selection = selection_;
}

LResult ItemList::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
  const Messages& m = messages_;
  const int index = static_cast<int>(static_cast<intptr_t>(wParam));
  if (message == m.add) {
    int r = AddString(ToUtf8(CString(lParam)));
    return r < 0 ? m.err : r;
  }
  if (message == m.insert) {
    int r = InsertString(index, ToUtf8(CString(lParam)));
    return r < 0 ? m.err : r;
  }
  if (message == m.remove)
    return DeleteString(index) ? Count() : m.err;
  if (message == m.reset) {
    ResetContent();
    return 0;
  }
  if (message == m.setSel) {
    // Clearing the selection also answers LB_ERR / CB_ERR.
    return SetSelection(index) && index >= 0 ? index : m.err;
  }
  if (message == m.getSel)
    return selection_ >= 0 ? selection_ : m.err;
  if (message == m.getText) {
    // The caller's buffer holds LB_GETTEXTLEN + 1 bytes, by the message's
    // own contract.
    auto item = ItemText(index);
    if (!item || !lParam)
      return m.err;
    std::string bytes = ToBytes(*item);
    std::memcpy(reinterpret_cast<char*>(lParam), bytes.c_str(), bytes.size() + 1);
    return static_cast<LResult>(bytes.size());
  }
  if (message == m.getTextLen) {
    auto item = ItemText(index);
    return item ? static_cast<LResult>(ToBytes(*item).size()) : m.err;
  }
  if (message == m.getCount)
    return Count();
  return Control::HandleMessage(message, wParam, lParam);
}

} // namespace ui
