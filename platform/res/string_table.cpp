#include "platform/res/string_table.h"

namespace res {
namespace {

constexpr uint32_t kMaxId = 65535;

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    uint8_t b = static_cast<uint8_t>(s[i]);
    size_t n;
    uint32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size())
      return false; // cut short
    for (size_t k = 1; k <= n; ++k) {
      uint8_t c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80)
        return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

std::optional<std::string> Unescape(std::string_view text, std::string* why) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) {
      *why = "backslash at the end of the line";
      return std::nullopt;
    }
    switch (text[i]) {
    case 'n':
      out.push_back('\n');
      break;
    case 'r':
      out.push_back('\r');
      break;
    case 't':
      out.push_back('\t');
      break;
    case '\\':
      out.push_back('\\');
      break;
    default:
      *why = std::string("unknown escape \\") + text[i];
      return std::nullopt;
    }
  }
  return out;
}

} // namespace

std::optional<StringTable> ParseStringTable(std::string_view text, StringTableError* error) {
  auto fail = [&](size_t line, std::string message) -> std::optional<StringTable> {
    if (error)
      *error = {line, std::move(message)};
    return std::nullopt;
  };
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    text.remove_prefix(3);
  StringTable table;
  size_t lineNo = 0;
  while (!text.empty()) {
    ++lineNo;
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (line.empty() || line[0] == '#')
      continue;
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos)
      return fail(lineNo, "no tab after the string number");
    std::string_view number = line.substr(0, tab);
    if (number.empty() || number.size() > 5)
      return fail(lineNo, "not a string number: \"" + std::string(number) + "\"");
    uint32_t id = 0;
    for (char c : number) {
      if (c < '0' || c > '9')
        return fail(lineNo, "not a string number: \"" + std::string(number) + "\"");
      id = id * 10 + static_cast<uint32_t>(c - '0');
    }
    if (id > kMaxId)
      return fail(lineNo, "string number " + std::to_string(id) + " is above 65535");
    std::string_view body = line.substr(tab + 1);
    if (!IsValidUtf8(body))
      return fail(lineNo, "text is not UTF-8");
    std::string why;
    std::optional<std::string> value = Unescape(body, &why);
    if (!value)
      return fail(lineNo, why);
    if (!table.emplace(id, std::move(*value)).second)
      return fail(lineNo, "string number " + std::to_string(id) + " appears twice");
  }
  return table;
}

} // namespace res
