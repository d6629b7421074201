// Comparisons that fold ASCII letters only: names of keys, classes and files
// are compared this way, and bytes above 0x7F (code-page text) never change.
#pragma once

#include <string_view>

namespace sys {

constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i]))
      return false;
  }
  return true;
}

constexpr bool EndsWithIgnoringAsciiCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         EqualIgnoringAsciiCase(s.substr(s.size() - suffix.size()), suffix);
}

} // namespace sys
