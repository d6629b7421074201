#include "platform/sys/settings_store.h"

#include "platform/sys/ini.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {
namespace {

constexpr std::string_view kStringTag = "sz:";
constexpr std::string_view kDwordTag = "dword:";
constexpr std::string_view kUnnamed = "@";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Percent-escapes what the INI form would lose or misread: '%' itself,
// control bytes, the given characters anywhere, the leading ones at the
// start, and blanks at the ends the reader trims.
std::string Escape(std::string_view text, std::string_view anywhere, std::string_view leading,
                   bool leadingBlanks) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t lastKept = text.size();
  while (lastKept > 0 && IsBlank(text[lastKept - 1]))
    --lastKept;
  std::string out;
  bool atStart = true;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    bool escape = c == '%' || c < 0x20 || c == 0x7F || anywhere.find(char(c)) != anywhere.npos ||
                  (i == 0 && leading.find(char(c)) != leading.npos) || i >= lastKept ||
                  (atStart && leadingBlanks && IsBlank(char(c)));
    atStart = atStart && IsBlank(char(c));
    if (escape) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string EncodeComponent(std::string_view name) {
  return Escape(name, "[]", "", true);
}

std::string EncodeValueName(std::string_view name) {
  if (name.empty())
    return std::string(kUnnamed);
  return Escape(name, "=", "@[;", true);
}

std::string DecodeValueName(std::string_view stored) {
  return stored == kUnnamed ? std::string() : Unescape(stored);
}

// The components of a key path as the file spells them.
std::vector<std::string> EncodedPath(std::string_view key) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < key.size()) {
    size_t end = key.find('\\', i);
    if (end == std::string_view::npos)
      end = key.size();
    if (end > i)
      parts.push_back(EncodeComponent(key.substr(i, end - i)));
    i = end + 1;
  }
  return parts;
}

std::vector<std::string> SplitHeader(std::string_view header) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < header.size()) {
    size_t end = header.find('\\', i);
    if (end == std::string_view::npos)
      end = header.size();
    if (end > i)
      parts.push_back(std::string(header.substr(i, end - i)));
    i = end + 1;
  }
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty())
      out += '\\';
    out += p;
  }
  return out;
}

// True when path starts with every component of key.
bool StartsWith(const IniDocument& doc, const std::vector<std::string>& path,
                const std::vector<std::string>& key) {
  if (path.size() < key.size())
    return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (!doc.NamesEqual(path[i], key[i]))
      return false;
  }
  return true;
}

// The section of the file that holds the key, as the file spells it.
std::optional<std::string> FindSection(const IniDocument& doc,
                                       const std::vector<std::string>& key) {
  for (const std::string& header : doc.Sections()) {
    std::vector<std::string> path = SplitHeader(header);
    if (path.size() == key.size() && StartsWith(doc, path, key))
      return header;
  }
  return std::nullopt;
}

std::optional<SettingValue> ParseValue(std::string_view stored) {
  SettingValue v;
  if (stored.substr(0, kStringTag.size()) == kStringTag) {
    v.type = SettingType::String;
    v.text = Unescape(stored.substr(kStringTag.size()));
    return v;
  }
  if (stored.substr(0, kDwordTag.size()) != kDwordTag)
    return std::nullopt;
  std::string_view digits = stored.substr(kDwordTag.size());
  if (digits.empty() || digits.size() > 10)
    return std::nullopt;
  uint64_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9')
      return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n > 0xFFFFFFFFu)
    return std::nullopt;
  v.type = SettingType::Dword;
  v.dword = static_cast<uint32_t>(n);
  return v;
}

bool MakeFolders(const std::string& dir) {
  if (dir.empty())
    return true;
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode);
  size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash)))
    return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

std::string DefaultSettingsFile() {
  if (const char* own = std::getenv("VEXO_SETTINGS_FILE"); own && *own)
    return own;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
    return std::string(xdg) + "/vexo3/settings.ini";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  if (home.empty())
    return {};
  return home + "/.config/vexo3/settings.ini";
}

SettingsStore::SettingsStore() : file_(DefaultSettingsFile()) {}

SettingsStore::SettingsStore(std::string file) : file_(std::move(file)) {}

bool SettingsStore::PrepareFolder() const {
  if (file_.empty())
    return false;
  size_t slash = file_.rfind('/');
  return slash == std::string::npos || slash == 0 || MakeFolders(file_.substr(0, slash));
}

bool SettingsStore::KeyExists(std::string_view key) const {
  std::vector<std::string> path = EncodedPath(key);
  if (path.empty())
    return true;
  std::optional<IniDocument> doc = IniLoad(file_);
  if (!doc)
    return false;
  for (const std::string& header : doc->Sections()) {
    if (StartsWith(*doc, SplitHeader(header), path))
      return true;
  }
  return false;
}

bool SettingsStore::CreateKey(std::string_view key) {
  std::vector<std::string> path = EncodedPath(key);
  if (path.empty())
    return true;
  if (KeyExists(key))
    return true;
  if (!PrepareFolder())
    return false;
  return IniUpdate(file_, [&](IniDocument& doc) {
    return FindSection(doc, path) || doc.AddSection(JoinPath(path));
  });
}

bool SettingsStore::DeleteKey(std::string_view key) {
  std::vector<std::string> path = EncodedPath(key);
  if (path.empty())
    return false;
  if (!KeyExists(key))
    return true;
  return IniUpdate(file_, [&](IniDocument& doc) {
    for (const std::string& header : doc.Sections()) {
      if (StartsWith(doc, SplitHeader(header), path))
        doc.DeleteSection(header);
    }
    return true;
  });
}

std::vector<std::string> SettingsStore::SubKeys(std::string_view key) const {
  std::vector<std::string> path = EncodedPath(key);
  std::vector<std::string> names;
  std::optional<IniDocument> doc = IniLoad(file_);
  if (!doc)
    return names;
  std::vector<std::string> seen;
  for (const std::string& header : doc->Sections()) {
    std::vector<std::string> parts = SplitHeader(header);
    if (parts.size() <= path.size() || !StartsWith(*doc, parts, path))
      continue;
    const std::string& child = parts[path.size()];
    bool known = false;
    for (const std::string& s : seen)
      known = known || doc->NamesEqual(s, child);
    if (!known) {
      seen.push_back(child);
      names.push_back(Unescape(child));
    }
  }
  return names;
}

std::vector<std::string> SettingsStore::ValueNames(std::string_view key) const {
  std::vector<std::string> names;
  std::vector<std::string> path = EncodedPath(key);
  std::optional<IniDocument> doc = IniLoad(file_);
  if (path.empty() || !doc)
    return names;
  if (std::optional<std::string> section = FindSection(*doc, path)) {
    for (const std::string& stored : doc->Keys(*section))
      names.push_back(DecodeValueName(stored));
  }
  return names;
}

std::optional<SettingValue> SettingsStore::Get(std::string_view key, std::string_view name) const {
  std::vector<std::string> path = EncodedPath(key);
  std::optional<IniDocument> doc = IniLoad(file_);
  if (path.empty() || !doc)
    return std::nullopt;
  std::optional<std::string> section = FindSection(*doc, path);
  if (!section)
    return std::nullopt;
  std::optional<std::string> stored = doc->Get(*section, EncodeValueName(name));
  if (!stored)
    return std::nullopt;
  return ParseValue(*stored);
}

std::optional<std::string> SettingsStore::GetString(std::string_view key,
                                                    std::string_view name) const {
  std::optional<SettingValue> v = Get(key, name);
  if (!v || v->type != SettingType::String)
    return std::nullopt;
  return std::move(v->text);
}

std::optional<uint32_t> SettingsStore::GetDword(std::string_view key, std::string_view name) const {
  std::optional<SettingValue> v = Get(key, name);
  if (!v || v->type != SettingType::Dword)
    return std::nullopt;
  return v->dword;
}

bool SettingsStore::Set(std::string_view key, std::string_view name, const std::string& encoded) {
  std::vector<std::string> path = EncodedPath(key);
  if (path.empty() || !PrepareFolder())
    return false;
  return IniUpdate(file_, [&](IniDocument& doc) {
    std::string section = FindSection(doc, path).value_or(JoinPath(path));
    return doc.Set(section, EncodeValueName(name), encoded);
  });
}

bool SettingsStore::SetString(std::string_view key, std::string_view name, std::string_view value) {
  return Set(key, name, std::string(kStringTag) + Escape(value, "", "", false));
}

bool SettingsStore::SetDword(std::string_view key, std::string_view name, uint32_t value) {
  return Set(key, name, std::string(kDwordTag) + std::to_string(value));
}

bool SettingsStore::DeleteValue(std::string_view key, std::string_view name) {
  std::vector<std::string> path = EncodedPath(key);
  if (path.empty())
    return true;
  std::string stored = EncodeValueName(name);
  if (std::optional<IniDocument> doc = IniLoad(file_)) {
    std::optional<std::string> section = FindSection(*doc, path);
    if (!section || !doc->Get(*section, stored))
      return true;
  }
  return IniUpdate(file_, [&](IniDocument& doc) {
    if (std::optional<std::string> section = FindSection(doc, path))
      doc.DeleteKey(*section, stored);
    return true;
  });
}

} // namespace sys
