// The string table of a resource bundle: strings.txt, one string a line as
// "number<TAB>text" in UTF-8. Numbers run from 0 to 65535; in the text, \n,
// \r, \t and \\ stand for a line break, a carriage return, a tab and a
// backslash. Empty lines and lines starting with '#' are skipped.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace res {

using StringTable = std::map<uint32_t, std::string>;

struct StringTableError {
  size_t line = 0; // 1-based
  std::string message;
};

// Parses a whole strings.txt; nullopt with the first error (and its line)
// when any line is malformed, a number repeats or the text is not UTF-8.
std::optional<StringTable> ParseStringTable(std::string_view text,
                                            StringTableError* error = nullptr);

} // namespace res
