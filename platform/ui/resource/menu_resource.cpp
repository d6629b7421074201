#include "platform/ui/resource/menu_resource.h"

#include <string>
#include <vector>

namespace ui {
namespace {

constexpr size_t kMaxDepth = 8;

std::string ItemText(std::string_view label) {
  std::string text;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '\\' && i + 1 < label.size() && label[i + 1] == 't') {
      text += '\t';
      ++i;
    } else {
      text += label[i];
    }
  }
  return text;
}

} // namespace

std::optional<Menu> ParseMenuResource(std::string_view text, ResourceError* error) {
  Menu menu;
  std::vector<std::vector<MenuItem>*> stack{&menu.items};
  ResourceLines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    const int at = lines.Number();
    auto [word, rest] = SplitWord(line);
    if (word == "POPUP") {
      if (stack.size() > kMaxDepth)
        return Fail(error, at, "menus nested too deep");
      MenuItem popup;
      popup.text = std::string(rest);
      stack.back()->push_back(std::move(popup));
      stack.push_back(&stack.back()->back().items);
    } else if (word == "END") {
      if (stack.size() < 2)
        return Fail(error, at, "END without POPUP");
      if (!rest.empty())
        return Fail(error, at, "text after END");
      stack.pop_back();
    } else if (word == "SEPARATOR") {
      MenuItem separator;
      separator.separator = true;
      stack.back()->push_back(std::move(separator));
    } else if (word == "ITEM") {
      auto [id, label] = SplitWord(rest);
      auto command = ParseCommandId(id);
      if (!command)
        return Fail(error, at, "command id is no number from 1 to 65535");
      MenuItem item;
      item.id = *command;
      item.text = ItemText(label);
      stack.back()->push_back(std::move(item));
    } else {
      return Fail(error, at, "unknown keyword " + std::string(word));
    }
  }
  if (stack.size() != 1)
    return Fail(error, lines.Number(), "POPUP without END");
  return menu;
}

std::optional<Menu> LoadMenuResource(const ResourceFiles& files, uint32_t id,
                                     ResourceError* error) {
  auto text = ResourceText(files, ResourcePath("menus", id, ".txt"), error);
  if (!text)
    return std::nullopt;
  return ParseMenuResource(*text, error);
}

} // namespace ui
