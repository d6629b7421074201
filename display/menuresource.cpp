#include "display/menuresource.h"

#include "display/resources.h"

#include <charconv>
#include <string>
#include <vector>

namespace display {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The first word and the trimmed rest.
std::pair<std::string_view, std::string_view> SplitWord(std::string_view s) {
  size_t end = s.find_first_of(" \t");
  if (end == std::string_view::npos)
    return {s, {}};
  return {s.substr(0, end), Trim(s.substr(end))};
}

constexpr size_t kMaxDepth = 8;

} // namespace

std::optional<ui::Menu> ParseMenuResource(std::string_view text) {
  ui::Menu menu;
  std::vector<std::vector<ui::MenuItem>*> stack{&menu.items};
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (line.empty() || line.front() == '#')
      continue;
    auto [word, rest] = SplitWord(line);
    if (word == "POPUP") {
      if (stack.size() > kMaxDepth)
        return std::nullopt;
      ui::MenuItem popup;
      popup.text = std::string(rest);
      stack.back()->push_back(std::move(popup));
      stack.push_back(&stack.back()->back().items);
    } else if (word == "END") {
      if (stack.size() < 2 || !rest.empty())
        return std::nullopt;
      stack.pop_back();
    } else if (word == "SEPARATOR") {
      ui::MenuItem separator;
      separator.separator = true;
      stack.back()->push_back(std::move(separator));
    } else if (word == "ITEM") {
      auto [id, label] = SplitWord(rest);
      uint32_t value = 0;
      auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), value);
      if (ec != std::errc() || end != id.data() + id.size() || value == 0 || value > 65535)
        return std::nullopt;
      ui::MenuItem item;
      item.id = value;
      item.text = std::string(label);
      stack.back()->push_back(std::move(item));
    } else {
      return std::nullopt;
    }
  }
  if (stack.size() != 1)
    return std::nullopt;
  return menu;
}

std::optional<ui::Menu> LoadMenuResource(uint32_t id) {
  auto bytes = LoadResourceFile("menus/" + std::to_string(id) + ".txt");
  if (!bytes)
    return std::nullopt;
  return ParseMenuResource(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

} // namespace display
