#include "platform/sys/paths.h"

#include "platform/sys/ascii.h"

#include <cstdlib>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace sys {
namespace {

int LetterIndex(char letter) {
  if (letter >= 'A' && letter <= 'Z')
    return letter - 'A';
  if (letter >= 'a' && letter <= 'z')
    return letter - 'a';
  return -1;
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

std::vector<std::string_view> SplitComponents(std::string_view path, bool backslashToo) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < path.size()) {
    auto sep = [&](char c) { return c == '/' || (backslashToo && c == '\\'); };
    while (i < path.size() && sep(path[i]))
      ++i;
    size_t start = i;
    while (i < path.size() && !sep(path[i]))
      ++i;
    if (i > start)
      parts.push_back(path.substr(start, i - start));
  }
  return parts;
}

std::string Join(const std::vector<std::string_view>& parts, size_t from, char sep) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) {
    if (i > from)
      out += sep;
    out += parts[i];
  }
  return out;
}

// folder + "/" + rest, with the root folder not doubling its slash.
std::string UnderFolder(const std::string& folder, const std::string& rest) {
  if (rest.empty())
    return folder;
  return (folder == "/" ? "" : folder) + "/" + rest;
}


std::mutex& DrivesMutex() {
  static std::mutex m;
  return m;
}

std::optional<DriveTable>& DrivesSlot() {
  static std::optional<DriveTable> table;
  return table;
}

// Walks path component by component; ok tells whether every component was
// found.
std::string Resolve(std::string_view path, bool& ok) {
  ok = true;
  bool absolute = !path.empty() && path.front() == '/';
  std::string out = absolute ? "/" : "";
  for (std::string_view part : SplitComponents(path, false)) {
    std::string name(part);
    if (ok) {
      std::optional<std::string> found = FindInFolder(out.empty() ? "." : out, part);
      if (found)
        name = *found;
      else
        ok = false;
    }
    if (!out.empty() && out.back() != '/')
      out += '/';
    out += name;
  }
  return out;
}

} // namespace

bool DriveTable::Set(char letter, std::string_view folder) {
  int index = LetterIndex(letter);
  if (index < 0 || folder.empty() || folder.front() != '/')
    return false;
  while (folder.size() > 1 && folder.back() == '/')
    folder.remove_suffix(1);
  folders_[static_cast<size_t>(index)] = std::string(folder);
  return true;
}

void DriveTable::Clear(char letter) {
  if (int index = LetterIndex(letter); index >= 0)
    folders_[static_cast<size_t>(index)].clear();
}

std::optional<std::string> DriveTable::Folder(char letter) const {
  int index = LetterIndex(letter);
  if (index < 0 || folders_[static_cast<size_t>(index)].empty())
    return std::nullopt;
  return folders_[static_cast<size_t>(index)];
}

bool DriveTable::Apply(std::string_view spec) {
  DriveTable next = *this;
  while (!spec.empty()) {
    size_t semi = spec.find(';');
    std::string_view entry = spec.substr(0, semi);
    spec = semi == std::string_view::npos ? std::string_view() : spec.substr(semi + 1);
    if (entry.empty())
      continue;
    size_t eq = entry.find('=');
    if (eq == std::string_view::npos)
      return false;
    std::string_view letter = entry.substr(0, eq);
    if (letter.size() == 2 && letter[1] == ':')
      letter.remove_suffix(1);
    if (letter.size() != 1 || LetterIndex(letter[0]) < 0)
      return false;
    std::string_view folder = entry.substr(eq + 1);
    if (folder.empty())
      next.Clear(letter[0]);
    else if (!next.Set(letter[0], folder))
      return false;
  }
  *this = next;
  return true;
}

DriveTable DefaultDrives() {
  DriveTable table;
  table.Set('C', "/");
  if (const char* spec = std::getenv("VEXO_DRIVES"); spec && *spec)
    table.Apply(spec);
  return table;
}

DriveTable CurrentDrives() {
  std::lock_guard lock(DrivesMutex());
  if (!DrivesSlot())
    DrivesSlot() = DefaultDrives();
  return *DrivesSlot();
}

void SetDrives(const DriveTable& table) {
  std::lock_guard lock(DrivesMutex());
  DrivesSlot() = table;
}

std::optional<std::string> ToLinuxPath(std::string_view stored, const DriveTable& drives,
                                       int codePage) {
  if (stored.empty())
    return std::nullopt;
  std::string text = codePage == kUtf8CodePage ? std::string(stored) : ToUtf8(stored, codePage);
  std::string_view rest = text;
  std::optional<std::string> root;
  if (rest.size() >= 2 && LetterIndex(rest[0]) >= 0 && rest[1] == ':') {
    root = drives.Folder(rest[0]);
    if (!root)
      return std::nullopt;
    rest.remove_prefix(2);
  } else if (rest.size() >= 2 && rest[0] == '\\' && IsSeparator(rest[1])) {
    return std::nullopt; // a network path: no drive holds it
  } else if (rest.front() == '\\') {
    root = drives.Folder('C');
    if (!root)
      return std::nullopt;
  } else if (rest.front() == '/') {
    root = "/";
  }
  std::string joined = Join(SplitComponents(rest, true), 0, '/');
  if (!root)
    return joined.empty() ? std::nullopt : std::optional<std::string>(joined);
  return UnderFolder(*root, joined);
}

std::optional<std::string> ToLinuxPath(std::string_view stored, int codePage) {
  return ToLinuxPath(stored, CurrentDrives(), codePage);
}

std::optional<std::string> ToStoredPath(std::string_view linuxPath, const DriveTable& drives,
                                        int codePage) {
  if (linuxPath.empty())
    return std::nullopt;
  std::vector<std::string_view> parts = SplitComponents(linuxPath, false);
  for (std::string_view part : parts) {
    if (part.find('\\') != std::string_view::npos)
      return std::nullopt;
  }
  std::string stored;
  if (linuxPath.front() == '/') {
    int best = -1;
    size_t bestDepth = 0;
    for (int i = 0; i < 26; ++i) {
      std::optional<std::string> folder = drives.Folder(static_cast<char>('A' + i));
      if (!folder)
        continue;
      std::vector<std::string_view> lead = SplitComponents(*folder, false);
      if (lead.size() > parts.size() || (best >= 0 && lead.size() <= bestDepth))
        continue;
      bool covers = true;
      for (size_t k = 0; k < lead.size() && covers; ++k)
        covers = lead[k] == parts[k];
      if (covers) {
        best = i;
        bestDepth = lead.size();
      }
    }
    if (best < 0)
      return std::nullopt;
    stored = std::string(1, static_cast<char>('A' + best)) + ":\\" + Join(parts, bestDepth, '\\');
  } else {
    stored = Join(parts, 0, '\\');
  }
  if (codePage == kUtf8CodePage)
    return stored;
  return FromUtf8(stored, codePage);
}

std::optional<std::string> ToStoredPath(std::string_view linuxPath, int codePage) {
  return ToStoredPath(linuxPath, CurrentDrives(), codePage);
}

std::optional<std::string> FindInFolder(const std::string& folder, std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos)
    return std::nullopt;
  std::string dir = folder.empty() ? "." : folder;
  std::string exact = UnderFolder(dir, std::string(name));
  struct stat st {};
  if (lstat(exact.c_str(), &st) == 0)
    return std::string(name);
  DIR* d = opendir(dir.c_str());
  if (!d)
    return std::nullopt;
  std::optional<std::string> best;
  while (dirent* e = readdir(d)) {
    std::string_view entry = e->d_name;
    if (entry == "." || entry == ".." || !EqualIgnoringAsciiCase(entry, name))
      continue;
    if (!best || entry < *best)
      best = std::string(entry);
  }
  closedir(d);
  return best;
}

std::string ResolveIgnoringCase(std::string_view path) {
  bool ok = false;
  return Resolve(path, ok);
}

std::optional<std::string> FindIgnoringCase(std::string_view path) {
  bool ok = false;
  std::string resolved = Resolve(path, ok);
  if (!ok || resolved.empty())
    return std::nullopt;
  return resolved;
}

std::optional<std::string> ResolveStoredPath(std::string_view stored, int codePage) {
  std::optional<std::string> path = ToLinuxPath(stored, codePage);
  if (!path)
    return std::nullopt;
  return ResolveIgnoringCase(*path);
}

} // namespace sys
