// Writing JSON text: the programs' reports (song info, album dumps) are built
// by hand, and their strings are quoted here.
#pragma once

#include <string>
#include <string_view>

namespace sys {

// Appends utf8 as a quoted JSON string: quote and backslash escaped, newline,
// return and tab in their short forms, other control characters as \u00XX.
// Bytes above 0x7F pass as they are.
void AppendJsonString(std::string& out, std::string_view utf8);

} // namespace sys
