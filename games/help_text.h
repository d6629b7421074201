// The games' help text: a file beside the program in code-page bytes,
// read whole (up to a bound) and shown line by line in a read-only edit.
#pragma once

#include "platform/sys/codepage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace games {

// The most of a help file that is read; the rest is left out.
inline constexpr size_t kMaxHelpFileSize = 1u << 20;

// The lines of the bytes, split after each LF (a CR before it goes too). A
// last line without LF is a line; zero bytes show as blanks. UTF-8.
std::vector<std::string> HelpLines(std::string_view bytes, int codePage = sys::kDefaultCodePage);
// The lines joined with CR LF, as a multi-line edit holds them.
std::string HelpEditText(std::string_view bytes, int codePage = sys::kDefaultCodePage);
// The file's first kMaxHelpFileSize bytes; nullopt when it cannot be opened.
std::optional<std::string> ReadHelpFile(const std::string& path);

} // namespace games
