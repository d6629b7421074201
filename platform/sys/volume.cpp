#include "platform/sys/volume.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sys {
namespace {

// Mount points escape blanks, tabs, line breaks and backslashes as octal.
std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && s.size() - i >= 4 && s[i + 1] >= '0' && s[i + 1] <= '3' &&
        s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ')
      ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ')
      ++i;
    if (i > start)
      words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool ReadFlag(const std::string& path) {
  std::ifstream in(path);
  char c = 0;
  return in.get(c) && c == '1';
}

bool IsNetworkType(std::string_view t) {
  constexpr std::array<std::string_view, 14> kTypes = {
      "nfs", "nfs4", "cifs",      "smb3",       "smbfs",      "ncpfs", "9p",
      "afs", "ceph", "glusterfs", "fuse.sshfs", "fuse.davfs", "davfs", "fuse.rclone"};
  for (std::string_view k : kTypes) {
    if (t == k)
      return true;
  }
  return false;
}

bool Covers(std::string_view mountPoint, std::string_view path) {
  if (mountPoint == "/")
    return !path.empty() && path.front() == '/';
  return path.starts_with(mountPoint) &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

} // namespace

std::string_view VolumeKindName(VolumeKind kind) {
  switch (kind) {
  case VolumeKind::kFixed:
    return "fixed";
  case VolumeKind::kOptical:
    return "optical";
  case VolumeKind::kRemovable:
    return "removable";
  case VolumeKind::kNetwork:
    return "network";
  case VolumeKind::kAbsent:
    break;
  }
  return "absent";
}

MountTable MountTable::Parse(std::string_view text, std::string sysfsRoot) {
  MountTable table;
  table.sysfsRoot_ = std::move(sysfsRoot);
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    // id parent major:minor root mount-point options [optional...] - type source super
    std::vector<std::string_view> w = Words(line);
    size_t dash = 0;
    for (size_t i = 6; i < w.size(); ++i) {
      if (w[i] == "-") {
        dash = i;
        break;
      }
    }
    if (w.size() < 7 || dash == 0 || dash + 1 >= w.size())
      continue;
    MountEntry e;
    std::string_view mm = w[2];
    size_t colon = mm.find(':');
    if (colon != std::string_view::npos) {
      e.major = static_cast<uint32_t>(
          std::strtoul(std::string(mm.substr(0, colon)).c_str(), nullptr, 10));
      e.minor = static_cast<uint32_t>(
          std::strtoul(std::string(mm.substr(colon + 1)).c_str(), nullptr, 10));
    }
    e.mountPoint = Unescape(w[4]);
    e.fsType = std::string(w[dash + 1]);
    e.source = dash + 2 < w.size() ? Unescape(w[dash + 2]) : std::string();
    table.entries_.push_back(std::move(e));
  }
  return table;
}

MountTable MountTable::Current() {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream s;
  s << in.rdbuf();
  return Parse(s.str(), "/sys");
}

const MountEntry* MountTable::Find(std::string_view path) const {
  const MountEntry* best = nullptr;
  // The last of equally long mount points is the one mounted over the others.
  for (const MountEntry& e : entries_) {
    if (Covers(e.mountPoint, path) && (!best || e.mountPoint.size() >= best->mountPoint.size()))
      best = &e;
  }
  return best;
}

VolumeKind MountTable::KindOf(const MountEntry& e) const {
  if (IsNetworkType(e.fsType) || e.source.starts_with("//"))
    return VolumeKind::kNetwork;
  if (e.fsType == "iso9660" || e.fsType == "udf")
    return VolumeKind::kOptical;
  if (e.major != 0) {
    std::string dev =
        sysfsRoot_ + "/dev/block/" + std::to_string(e.major) + ":" + std::to_string(e.minor);
    // A partition carries no flag of its own: its disk, one level up, does.
    if (ReadFlag(dev + "/removable") || ReadFlag(dev + "/../removable"))
      return VolumeKind::kRemovable;
  }
  if (e.source.starts_with("/dev/sr"))
    return VolumeKind::kOptical;
  return VolumeKind::kFixed;
}

VolumeKind VolumeKindOfPath(const std::string& path, const MountTable& mounts) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real)
    return VolumeKind::kAbsent;
  std::string resolved = real;
  std::free(real);
  const MountEntry* e = mounts.Find(resolved);
  return e ? mounts.KindOf(*e) : VolumeKind::kAbsent;
}

VolumeKind VolumeKindOfDrive(char letter, const DriveTable& drives, const MountTable& mounts) {
  std::optional<std::string> folder = drives.Folder(letter);
  return folder ? VolumeKindOfPath(*folder, mounts) : VolumeKind::kAbsent;
}

} // namespace sys
