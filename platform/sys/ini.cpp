#include "platform/sys/ini.h"

#include "platform/sys/ascii.h"
#include "platform/sys/atomic_file.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) {
  return AsciiLower(c);
}

bool HasAny(std::string_view s, std::string_view chars) {
  return s.find_first_of(chars) != std::string_view::npos;
}

constexpr std::string_view kLineBreaksAndZero{"\r\n\0", 3};

std::string StripTrailingSpaces(std::string_view s) {
  while (!s.empty() && s.back() == ' ')
    s.remove_suffix(1);
  return std::string(s);
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z')
    return c - 'A' + 10;
  return INT_MAX;
}

} // namespace

IniDocument::Line IniDocument::ParseLine(std::string text, std::string_view eol, bool first) {
  Line line;
  line.text = std::move(text);
  line.eol = eol;
  std::string_view all = line.text;
  std::string_view s = all;
  if (first && s.substr(0, 3) == "\xEF\xBB\xBF")
    s.remove_prefix(3);
  s = Trim(s);
  auto at = [&](std::string_view part) { return static_cast<uint32_t>(part.data() - all.data()); };
  auto size = [](std::string_view part) { return static_cast<uint32_t>(part.size()); };
  if (!s.empty() && s.front() == '[') {
    s.remove_prefix(1);
    std::string_view name = Trim(s.substr(0, s.find(']')));
    line.kind = Kind::Section;
    line.nameAt = at(name);
    line.nameSize = size(name);
  } else if (!s.empty() && s.front() != ';') {
    size_t eq = s.find('=');
    std::string_view key =
        eq == std::string_view::npos ? std::string_view() : Trim(s.substr(0, eq));
    if (!key.empty()) {
      std::string_view value = Trim(s.substr(eq + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      line.kind = Kind::Key;
      line.nameAt = at(key);
      line.nameSize = size(key);
      line.valueAt = value.empty() ? 0 : at(value);
      line.valueSize = size(value);
    }
  }
  return line;
}

IniDocument IniDocument::Parse(std::string_view text, int codePage) {
  IniDocument doc(codePage);
  doc.lines_.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) {
      doc.lines_.push_back(ParseLine(std::string(text.substr(pos)), "", doc.lines_.empty()));
      break;
    }
    std::string_view body = text.substr(pos, nl - pos);
    bool crlf = !body.empty() && body.back() == '\r';
    if (crlf)
      body.remove_suffix(1);
    doc.lines_.push_back(ParseLine(std::string(body), crlf ? "\r\n" : "\n", doc.lines_.empty()));
    pos = nl + 1;
  }
  return doc;
}

std::string IniDocument::Text() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.eol;
  }
  return out;
}

bool IniDocument::NamesEqual(std::string_view a, std::string_view b) const {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(static_cast<uint8_t>(a[i]), codePage_) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1])
        return false;
      ++i;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

std::vector<std::pair<size_t, size_t>> IniDocument::Blocks(std::string_view section) const {
  std::vector<std::pair<size_t, size_t>> blocks;
  bool inside = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::Section)
      continue;
    if (inside)
      blocks.back().second = i;
    inside = NamesEqual(lines_[i].Name(), section);
    if (inside)
      blocks.push_back({i, lines_.size()});
  }
  return blocks;
}

std::string_view IniDocument::NewLineEnding() const {
  if (!lines_.empty() && !lines_.front().eol.empty())
    return lines_.front().eol;
  return "\n";
}

void IniDocument::EndLastLine() {
  if (!lines_.empty() && lines_.back().eol.empty()) {
    lines_.back().eol = NewLineEnding();
    changed_ = true;
  }
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  for (auto [begin, end] : Blocks(section)) {
    for (size_t i = begin + 1; i < end; ++i) {
      if (lines_[i].kind == Kind::Key && NamesEqual(lines_[i].Name(), key))
        return std::string(lines_[i].Value());
    }
  }
  return std::nullopt;
}

bool IniDocument::HasSection(std::string_view section) const {
  return !Blocks(section).empty();
}

bool IniDocument::IsStorableSection(std::string_view section) {
  return !HasAny(section, kLineBreaksAndZero) && section.find(']') == std::string_view::npos;
}

bool IniDocument::IsStorableKey(std::string_view key) {
  key = Trim(key);
  return !key.empty() && !HasAny(key, kLineBreaksAndZero) &&
         key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';';
}

bool IniDocument::IsStorableValue(std::string_view value) {
  return !HasAny(value, kLineBreaksAndZero);
}

bool IniDocument::AddSection(std::string_view section) {
  if (!IsStorableSection(section))
    return false;
  if (HasSection(section))
    return true;
  EndLastLine();
  lines_.push_back(
      ParseLine("[" + std::string(Trim(section)) + "]", NewLineEnding(), lines_.empty()));
  changed_ = true;
  return true;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsStorableSection(section) || !IsStorableKey(key) || !IsStorableValue(value))
    return false;
  auto blocks = Blocks(section);
  for (auto [begin, end] : blocks) {
    for (size_t i = begin + 1; i < end; ++i) {
      Line& line = lines_[i];
      if (line.kind != Kind::Key || !NamesEqual(line.Name(), key))
        continue;
      // A line that already says this is left as it is.
      std::string_view stored = line.text;
      if (Trim(stored.substr(stored.find('=') + 1)) == value)
        return true;
      // The key keeps the spelling it already has in the file.
      line = ParseLine(std::string(line.Name()) + "=" + std::string(value), line.eol, i == 0);
      changed_ = true;
      return true;
    }
  }
  std::string text = std::string(Trim(key)) + "=" + std::string(value);
  if (blocks.empty()) {
    AddSection(section);
    lines_.push_back(ParseLine(std::move(text), NewLineEnding(), false));
    changed_ = true;
    return true;
  }
  // A new key goes after the last key of the section's first block, so that
  // blank lines and comments leading into the next section stay there.
  size_t at = blocks.front().first + 1;
  for (size_t i = at; i < blocks.front().second; ++i) {
    if (lines_[i].kind == Kind::Key)
      at = i + 1;
  }
  if (at == lines_.size())
    EndLastLine();
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                ParseLine(std::move(text), NewLineEnding(), false));
  changed_ = true;
  return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  std::vector<bool> drop(lines_.size(), false);
  bool any = false;
  for (auto [begin, end] : Blocks(section)) {
    for (size_t i = begin + 1; i < end; ++i) {
      if (lines_[i].kind == Kind::Key && NamesEqual(lines_[i].Name(), key))
        drop[i] = any = true;
    }
  }
  if (!any)
    return false;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!drop[i])
      kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
  changed_ = true;
  return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
  auto blocks = Blocks(section);
  if (blocks.empty())
    return false;
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(it->second));
  changed_ = true;
  return true;
}

std::vector<std::string> IniDocument::Sections() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind != Kind::Section)
      continue;
    bool seen = false;
    for (const std::string& name : names)
      seen = seen || NamesEqual(name, line.Name());
    if (!seen)
      names.emplace_back(line.Name());
  }
  return names;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
  std::vector<std::string> names;
  for (auto [begin, end] : Blocks(section)) {
    for (size_t i = begin + 1; i < end; ++i) {
      if (lines_[i].kind != Kind::Key)
        continue;
      bool seen = false;
      for (const std::string& name : names)
        seen = seen || NamesEqual(name, lines_[i].Name());
      if (!seen)
        names.emplace_back(lines_[i].Name());
    }
  }
  return names;
}

std::optional<IniDocument> IniLoad(const std::string& path) {
  int f = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (f < 0) {
    if (errno == ENOENT)
      return IniDocument();
    return std::nullopt;
  }
  UniqueFd fd(f);
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > kMaxIniFileSize)
    return std::nullopt;
  std::string text;
  text.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  for (;;) {
    if (got == text.size()) {
      // The file may have grown since fstat: keep reading, within the bound.
      if (text.size() >= kMaxIniFileSize + 1)
        return std::nullopt;
      text.resize(std::min(kMaxIniFileSize + 1, text.size() + 4096));
    }
    ssize_t n = read(fd.Get(), text.data() + got, text.size() - got);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return std::nullopt;
    }
    if (n == 0)
      break;
    got += static_cast<size_t>(n);
  }
  if (got > kMaxIniFileSize)
    return std::nullopt;
  text.resize(got);
  return IniDocument::Parse(text);
}

bool IniUpdate(const std::string& path, const std::function<bool(IniDocument&)>& edit) {
  std::string target = AtomicWriteTarget(path);
  std::string lockPath = target + ".lock";
  UniqueFd lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (lock.Get() < 0)
    return false;
  while (flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR)
      return false;
  }
  std::optional<IniDocument> doc = IniLoad(target);
  if (!doc || !edit(*doc))
    return false;
  if (!doc->Changed())
    return true;
  return ReplaceFileAtomically(target, doc->Text());
}

std::string IniGetString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
  if (std::optional<IniDocument> doc = IniLoad(path)) {
    if (std::optional<std::string> value = doc->Get(section, key))
      return *value;
  }
  return StripTrailingSpaces(defaultValue);
}

size_t IniGetString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view defaultValue, char* out, size_t size, int codePage) {
  if (size == 0 || !out)
    return 0;
  std::string value = IniGetString(path, section, key, defaultValue);
  size_t n = CutLength(value, size - 1, codePage);
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return n;
}

int32_t IniParseInt(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && IsBlank(value[i]))
    ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  int base = 10;
  if (i + 1 < value.size() && value[i] == '0') {
    char p = FoldAscii(value[i + 1]);
    base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
    if (base != 10)
      i += 2;
  }
  uint32_t result = 0;
  for (; i < value.size(); ++i) {
    int d = DigitValue(value[i]);
    if (d >= base)
      break;
    result = result * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
  }
  if (negative)
    result = 0u - result;
  return static_cast<int32_t>(result);
}

int32_t IniGetInt(const std::string& path, std::string_view section, std::string_view key,
                  int32_t defaultValue) {
  std::optional<IniDocument> doc = IniLoad(path);
  if (!doc)
    return defaultValue;
  std::optional<std::string> value = doc->Get(section, key);
  if (!value || value->empty())
    return defaultValue;
  return IniParseInt(*value);
}

bool IniWriteString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value) {
  if (!IniDocument::IsStorableSection(section) || !IniDocument::IsStorableKey(key) ||
      !IniDocument::IsStorableValue(value))
    return false;
  return IniUpdate(path, [&](IniDocument& doc) { return doc.Set(section, key, value); });
}

bool IniDeleteKey(const std::string& path, std::string_view section, std::string_view key) {
  // Nothing to do (and no lock file to create) when the key is not there.
  if (std::optional<IniDocument> doc = IniLoad(path); doc && !doc->Get(section, key))
    return true;
  return IniUpdate(path, [&](IniDocument& doc) {
    doc.DeleteKey(section, key);
    return true;
  });
}

bool IniDeleteSection(const std::string& path, std::string_view section) {
  if (std::optional<IniDocument> doc = IniLoad(path); doc && !doc->HasSection(section))
    return true;
  return IniUpdate(path, [&](IniDocument& doc) {
    doc.DeleteSection(section);
    return true;
  });
}

std::vector<std::string> IniSectionNames(const std::string& path) {
  std::optional<IniDocument> doc = IniLoad(path);
  return doc ? doc->Sections() : std::vector<std::string>();
}

std::vector<std::string> IniKeyNames(const std::string& path, std::string_view section) {
  std::optional<IniDocument> doc = IniLoad(path);
  return doc ? doc->Keys(section) : std::vector<std::string>();
}

std::string IniPathBeside(std::string_view modulePath, std::string_view iniName) {
  size_t slash = modulePath.find_last_of("/\\");
  if (slash == std::string_view::npos)
    return std::string(iniName);
  return std::string(modulePath.substr(0, slash + 1)) + std::string(iniName);
}

} // namespace sys
