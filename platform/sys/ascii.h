// Comparisons that fold ASCII letters only: names of keys, classes and files
// are compared this way, and bytes above 0x7F (code-page text) never change.
#pragma once

#include <string>
#include <string_view>

namespace sys {

constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiLowered(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = AsciiLower(c);
  return out;
}

inline std::string AsciiUppered(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = AsciiUpper(c);
  return out;
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
