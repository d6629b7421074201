#include "platform/sys/files.h"

#include "platform/sys/ascii.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {
namespace {

// Iterative wildcard match with one backtrack point: linear in practice and
// never recursive, so a long pattern of stars cannot blow the stack.
bool Match(std::string_view s, std::string_view p) {
  size_t si = 0, pi = 0, star = std::string_view::npos, mark = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == '?' || AsciiLower(p[pi]) == AsciiLower(s[si]))) {
      ++si;
      ++pi;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = si;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      si = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*')
    ++pi;
  return pi == p.size();
}

bool CopyAll(int in, int out) {
  std::unique_ptr<char[]> buf(new char[1 << 16]);
  for (;;) {
    ssize_t n = read(in, buf.get(), 1 << 16);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    if (n == 0)
      return true;
    const char* p = buf.get();
    while (n > 0) {
      ssize_t w = write(out, p, static_cast<size_t>(n));
      if (w < 0 && errno == EINTR)
        continue;
      if (w <= 0)
        return false;
      p += w;
      n -= w;
    }
  }
}

} // namespace

bool MatchesDosPattern(std::string_view name, std::string_view pattern) {
  // "*.*" is "every file" to the programs that use it, dotted or not.
  if (pattern.ends_with(".*") && Match(name, pattern.substr(0, pattern.size() - 2)))
    return true;
  return Match(name, pattern);
}

std::optional<std::vector<FileEntry>> ListFolder(const std::string& folder,
                                                 std::string_view pattern) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()), closedir);
  if (!dir)
    return std::nullopt;
  std::vector<FileEntry> entries;
  while (dirent* e = readdir(dir.get())) {
    std::string_view name = e->d_name;
    if (name == "." || name == "..")
      continue;
    if (!pattern.empty() && !MatchesDosPattern(name, pattern))
      continue;
    struct stat st {};
    if (fstatat(dirfd(dir.get()), e->d_name, &st, 0) != 0)
      continue;
    FileEntry entry;
    entry.name = std::string(name);
    entry.isFolder = S_ISDIR(st.st_mode);
    entry.size = entry.isFolder ? 0 : static_cast<uint64_t>(st.st_size);
    entry.modified = st.st_mtim.tv_sec;
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
  return entries;
}

bool IsSafeNamePattern(std::string_view pattern) {
  return !pattern.empty() && pattern.find('/') == std::string_view::npos && pattern != "." &&
         pattern != ".." && pattern.find('\0') == std::string_view::npos;
}

int DeleteMatchingFiles(const std::string& folder, std::string_view pattern) {
  if (!IsSafeNamePattern(pattern))
    return -1;
  std::optional<std::vector<FileEntry>> entries = ListFolder(folder, pattern);
  if (!entries)
    return -1;
  std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  int deleted = 0;
  for (const FileEntry& e : *entries) {
    if (!e.isFolder && unlink((prefix + e.name).c_str()) == 0)
      ++deleted;
  }
  return deleted;
}

bool MakeFolders(const std::string& base, std::string_view relative) {
  if (!relative.empty() && relative.front() == '/')
    return false;
  // Every part is checked before the first folder is made.
  for (std::string_view rest = relative; !rest.empty();) {
    size_t slash = rest.find('/');
    if (rest.substr(0, slash) == "..")
      return false;
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
  }
  std::string path = base.empty() ? "." : base;
  while (!relative.empty()) {
    size_t slash = relative.find('/');
    std::string_view part = relative.substr(0, slash);
    relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    if (part.empty() || part == ".")
      continue;
    path += (path.back() == '/' ? "" : "/") + std::string(part);
    if (mkdir(path.c_str(), 0777) != 0) {
      struct stat st {};
      if (errno != EEXIST || stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    }
  }
  return true;
}

bool MoveFile(const std::string& from, const std::string& to) {
  struct stat st {};
  if (lstat(to.c_str(), &st) == 0 || stat(from.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
    return false;
  // A rename that refuses to replace; across file systems (or where the
  // file system cannot refuse) the copy below, whose O_EXCL refuses too.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno == EEXIST)
    return false;
  UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid())
    return false;
  UniqueFd out(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
  if (!out.Valid())
    return false;
  bool ok = CopyAll(in.Get(), out.Get()) && fsync(out.Get()) == 0;
  ok = close(out.Release()) == 0 && ok;
  if (!ok) {
    unlink(to.c_str());
    return false;
  }
  return unlink(from.c_str()) == 0;
}

} // namespace sys
