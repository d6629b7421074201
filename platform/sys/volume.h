// What kind of volume a path lies on, for the checks that keep the album
// from cataloguing a disc or a stick that may be gone tomorrow. Read from
// the mount table (/proc/self/mountinfo), the file-system type and the block
// device's "removable" flag in sysfs; both sources can be replaced by test
// fixtures.
#pragma once

#include "platform/sys/paths.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

enum class VolumeKind { kFixed, kOptical, kRemovable, kNetwork, kAbsent };

std::string_view VolumeKindName(VolumeKind kind);

struct MountEntry {
  std::string mountPoint; // unescaped ("\040" is a blank)
  std::string fsType;
  std::string source;
  uint32_t major = 0, minor = 0;
};

class MountTable {
public:
  // The text of a mountinfo file; sysfsRoot is where "dev/block/M:m" is
  // looked up ("/sys" on a real system).
  static MountTable Parse(std::string_view mountinfo, std::string sysfsRoot = "/sys");
  // The running system's table.
  static MountTable Current();

  const std::vector<MountEntry>& Entries() const { return entries_; }
  // The entry whose mount point is the longest leading part of an absolute,
  // normalised path; nullptr when none covers it.
  const MountEntry* Find(std::string_view path) const;
  // The kind of the volume an entry mounts.
  VolumeKind KindOf(const MountEntry& entry) const;

private:
  std::vector<MountEntry> entries_;
  std::string sysfsRoot_;
};

// The kind of the volume path lies on: kAbsent when the path does not exist
// or no mount covers it.
VolumeKind VolumeKindOfPath(const std::string& path, const MountTable& mounts);
// The kind of the volume of a drive letter's folder; kAbsent for a letter
// the drive table does not map.
VolumeKind VolumeKindOfDrive(char letter, const DriveTable& drives, const MountTable& mounts);

} // namespace sys
