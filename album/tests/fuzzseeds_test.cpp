#include "album/tests/support/album_bytes.h"

#include "core/tests/support/songfile_bytes.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using album::testing::Bytes;

struct Seed {
  const char* harness;
  const char* name;
  Bytes bytes;
};

std::vector<Seed> Seeds() {
  using namespace album::testing;
  core::testing::V350Options plain;
  plain.bank = false;
  plain.waves = false;
  core::testing::V300Options old;
  old.bank = true;
  return {
      {"fuzz-albumfile", "local.alb", LocalAlbumFixture(1)},
      {"fuzz-albumfile", "local-scan.alb", LocalAlbumFixture(0)},
      {"fuzz-albumfile", "internet.alb", InternetAlbumFixture(false)},
      {"fuzz-albumfile", "internet-scrambled.alb", InternetAlbumFixture(true)},
      {"fuzz-albumfile", "master-v20.alb", MasterAlbumFixture(false)},
      {"fuzz-albumfile", "master-v21.alb", MasterAlbumFixture(true)},
      {"fuzz-albumfile", "mode-v10.alb", ModeAlbumFixture(10, true)},
      {"fuzz-albumfile", "mode-v11.alb", ModeAlbumFixture(11, false)},
      {"fuzz-albumfile", "mode-v12.alb", ModeAlbumFixture(12, true)},
      {"fuzz-albumfile", "thunk.alb", ThunkFixture()},
      {"fuzz-albumfile", "roll.alz", RollFixture(0)},
      {"fuzz-songprobe", "v350-bank.vx3", core::testing::V350File()},
      {"fuzz-songprobe", "v350-plain.vx3", core::testing::V350File(plain)},
      {"fuzz-songprobe", "v300-bank.sb3", core::testing::V300File(old)},
      {"fuzz-albumquery", "title-prefix.alb", Cat({Bytes{2, 'a', 'B'}, LocalAlbumFixture(1)})},
      {"fuzz-albumquery", "double-byte.alb",
       Cat({Bytes{3, 0xB0, 0xA1, ' '}, LocalAlbumFixture(1)})},
      {"fuzz-albumquery", "no-pattern.alb", Cat({Bytes{0}, LocalAlbumFixture(0)})},
  };
}

// The fuzzers' seeds are the test fixtures, committed as files so that
// scripts/fuzz finds them; VEXO_WRITE_SEEDS=1 writes them again after a
// fixture changes.
TEST(FuzzSeeds, AreTheFixtures) {
  const std::string root = std::string(VEXO_TEST_SOURCE_DIR) + "/fuzz-seeds/";
  const bool write = std::getenv("VEXO_WRITE_SEEDS") != nullptr;
  for (const Seed& s : Seeds()) {
    SCOPED_TRACE(s.name);
    std::string path = root + s.harness + "/" + s.name;
    if (write) {
      std::filesystem::create_directories(root + s.harness);
      sys::test::WriteFile(path, std::string(s.bytes.begin(), s.bytes.end()));
    }
    std::optional<std::string> file = sys::test::ReadFile(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, std::string(s.bytes.begin(), s.bytes.end()));
  }
}

} // namespace
