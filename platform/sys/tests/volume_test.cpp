#include "platform/sys/volume.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using sys::VolumeKind;
using sys::test::ScratchFolder;
using sys::test::WriteFile;

TEST(Volume, KindsFromAFakeMountTable) {
  ScratchFolder dir;
  for (const char* d : {"cd", "dvd", "stick/deep", "part", "nfs", "smb", "my disk", "plain"})
    std::filesystem::create_directories(dir / d);
  std::filesystem::create_directories(dir / "sys/dev/block/8:16");
  std::filesystem::create_directories(dir / "sys/dev/block/8:32/8:33");
  // As in sysfs, a partition's entry is a link into its disk's folder.
  std::filesystem::create_directory_symlink(dir / "sys/dev/block/8:32/8:33",
                                            dir / "sys/dev/block/8:33");
  WriteFile(dir / "sys/dev/block/8:16/removable", "1\n");
  WriteFile(dir / "sys/dev/block/8:32/removable", "1\n");
  std::string r = std::filesystem::canonical(dir.Path()).string();
  std::string table = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                      "23 22 11:0 / " +
                      r +
                      "/cd ro - iso9660 /dev/sr0 ro\n"
                      "24 22 11:1 / " +
                      r +
                      "/dvd ro - udf /dev/sr1 ro\n"
                      "25 22 8:16 / " +
                      r +
                      "/stick rw - vfat /dev/sdb rw\n"
                      "26 22 8:33 / " +
                      r +
                      "/part rw - exfat /dev/sdc1 rw\n"
                      "27 22 0:51 / " +
                      r +
                      "/nfs rw - nfs4 srv:/songs rw\n"
                      "28 22 0:52 / " +
                      r +
                      "/smb rw - cifs //srv/songs rw\n"
                      "29 22 8:2 / " +
                      r +
                      "/my\\040disk rw - ext4 /dev/sda2 rw\n"
                      "garbage line\n";
  sys::MountTable mounts = sys::MountTable::Parse(table, dir / "sys");
  struct Case {
    const char* what;
    std::string path;
    VolumeKind kind;
  };
  const Case cases[] = {
      {"root file system", dir / "plain", VolumeKind::kFixed},
      {"CD", dir / "cd", VolumeKind::kOptical},
      {"DVD", dir / "dvd", VolumeKind::kOptical},
      {"removable disk, below its mount point", dir / "stick/deep", VolumeKind::kRemovable},
      {"partition of a removable disk", dir / "part", VolumeKind::kRemovable},
      {"NFS", dir / "nfs", VolumeKind::kNetwork},
      {"SMB", dir / "smb", VolumeKind::kNetwork},
      {"blank in the mount point", dir / "my disk", VolumeKind::kFixed},
      {"missing path", dir / "gone", VolumeKind::kAbsent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(sys::VolumeKindOfPath(c.path, mounts), c.kind);
  }
  EXPECT_EQ(mounts.Entries().size(), 8u);
  sys::DriveTable drives;
  drives.Set('D', r + "/cd");
  EXPECT_EQ(sys::VolumeKindOfDrive('d', drives, mounts), VolumeKind::kOptical);
  EXPECT_EQ(sys::VolumeKindOfDrive('E', drives, mounts), VolumeKind::kAbsent);
  EXPECT_EQ(sys::VolumeKindOfPath("/x", sys::MountTable::Parse("")), VolumeKind::kAbsent);
}

TEST(Volume, TheRunningSystemHasARoot) {
  sys::MountTable mounts = sys::MountTable::Current();
  ASSERT_FALSE(mounts.Entries().empty());
  EXPECT_NE(sys::VolumeKindOfPath("/", mounts), VolumeKind::kAbsent);
  EXPECT_EQ(sys::VolumeKindName(VolumeKind::kOptical), "optical");
}

} // namespace
