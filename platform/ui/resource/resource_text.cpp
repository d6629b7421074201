#include "platform/ui/resource/resource_text.h"

#include <charconv>

namespace ui {

std::string ResourcePath(std::string_view folder, uint32_t id, std::string_view extension) {
  std::string path(folder);
  path += '/';
  path += std::to_string(id);
  path += extension;
  return path;
}

std::optional<std::string> ResourceText(const ResourceFiles& files, const std::string& path,
                                        ResourceError* error) {
  std::optional<std::vector<uint8_t>> bytes;
  if (files)
    bytes = files(path);
  if (!bytes)
    return Fail(error, 0, "no " + path);
  return std::string(bytes->begin(), bytes->end());
}

Failure Fail(ResourceError* error, int line, std::string reason) {
  if (error)
    *error = ResourceError{line, std::move(reason)};
  return {};
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::pair<std::string_view, std::string_view> SplitWord(std::string_view s) {
  size_t end = s.find_first_of(" \t");
  if (end == std::string_view::npos)
    return {s, {}};
  return {s.substr(0, end), TrimBlanks(s.substr(end))};
}

bool ResourceLines::Next(std::string_view& line) {
  while (!rest_.empty()) {
    size_t eol = rest_.find('\n');
    line = TrimBlanks(rest_.substr(0, eol));
    rest_ = eol == std::string_view::npos ? std::string_view() : rest_.substr(eol + 1);
    ++number_;
    if (!line.empty() && line.front() != '#')
      return true;
  }
  return false;
}

std::optional<uint16_t> ParseCommandId(std::string_view word) {
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || ec != std::errc() || end != word.data() + word.size() || value == 0 ||
      value > 65535)
    return std::nullopt;
  return static_cast<uint16_t>(value);
}

} // namespace ui
