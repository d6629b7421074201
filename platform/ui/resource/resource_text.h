// What the text forms of bundle resources share: where a file of a kind
// lives, how a bundle hands out its files, the line a malformed file failed
// on, and the reading of lines and words.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ui {

// The bytes of a bundle's file by path ("menus/129.txt"); nullopt when the
// bundle has none. res::Bundle::Files() gives one.
using ResourceFiles = std::function<std::optional<std::vector<uint8_t>>(std::string_view path)>;

// Why a resource could not be read: the 1-based line it failed on (0 for
// the file as a whole) and what was wrong there.
struct ResourceError {
  int line = 0;
  std::string reason;
};

// "<folder>/<id><extension>", e.g. ResourcePath("menus", 129, ".txt").
std::string ResourcePath(std::string_view folder, uint32_t id, std::string_view extension);

// The file as text; nullopt (and error's reason) when files is empty or has
// no such file.
std::optional<std::string> ResourceText(const ResourceFiles& files, const std::string& path,
                                        ResourceError* error);

// Sets error (when given) and returns nullopt of any type.
struct Failure {
  template <class T> operator std::optional<T>() const { return std::nullopt; }
};
Failure Fail(ResourceError* error, int line, std::string reason);

// Lines of a text form: trimmed, blank lines and lines starting with '#'
// skipped, numbered from 1.
class ResourceLines {
public:
  explicit ResourceLines(std::string_view text) : rest_(text) {}
  // The next line with content; false at the end.
  bool Next(std::string_view& line);
  int Number() const { return number_; }

private:
  std::string_view rest_;
  int number_ = 0;
};

std::string_view TrimBlanks(std::string_view s);
// The first word and the trimmed rest.
std::pair<std::string_view, std::string_view> SplitWord(std::string_view s);
// A decimal number from 1 to 65535 (a command or resource id).
std::optional<uint16_t> ParseCommandId(std::string_view word);

} // namespace ui
