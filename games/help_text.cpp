#include "games/help_text.h"

#include <fstream>

namespace games {

std::vector<std::string> HelpLines(std::string_view bytes, int codePage) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    const size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end == std::string_view::npos)
      end = bytes.size();
    std::string line(bytes.substr(at, end - at));
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    for (char& c : line)
      if (c == '\0')
        c = ' ';
    lines.push_back(sys::ToUtf8(line, codePage));
    at = next;
  }
  return lines;
}

std::string HelpEditText(std::string_view bytes, int codePage) {
  std::string text;
  for (const std::string& line : HelpLines(bytes, codePage)) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::optional<std::string> ReadHelpFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::string bytes(kMaxHelpFileSize, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

} // namespace games
