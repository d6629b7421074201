#include "platform/sys/instance.h"
#include "platform/sys/tests/support/spawned_child.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using sys::InstanceGuard;
using systest::SpawnedChild;

class InstanceGuardTest : public testing::Test {
protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "vexo-instance-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    setenv("VEXO_RUNTIME_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VEXO_RUNTIME_DIR");
    std::filesystem::remove_all(dir_);
  }

  std::optional<SpawnedChild> StartHolder(const std::string& name) {
    return SpawnedChild::Start(VEXO_TESTS_DIR "/instance_holder", {name},
                               {"VEXO_RUNTIME_DIR=" + dir_});
  }

  std::string dir_;
};

TEST_F(InstanceGuardTest, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  std::string error;
  auto first = InstanceGuard::TryAcquire("Tamblo", &error);
  ASSERT_TRUE(first) << error;
  EXPECT_FALSE(InstanceGuard::TryAcquire("Tamblo", &error));
  EXPECT_NE(error.find("held"), std::string::npos) << error;
  // Another name is another guard.
  EXPECT_TRUE(InstanceGuard::TryAcquire("Kivo32"));
  first->Release();
  EXPECT_FALSE(first->Held());
  EXPECT_TRUE(InstanceGuard::TryAcquire("Tamblo"));
}

TEST_F(InstanceGuardTest, NamesThatAreNotPlainFileNamesAreRefused) {
  for (const char* name : {"", ".", "..", "a/b", "../x", "with space"})
    EXPECT_FALSE(InstanceGuard::TryAcquire(name)) << name;
}

TEST_F(InstanceGuardTest, AKilledHolderReleasesTheName) {
  auto holder = StartHolder("Tamblo");
  ASSERT_TRUE(holder);
  ASSERT_EQ(holder->ReadLine(), "held");

  EXPECT_FALSE(InstanceGuard::TryAcquire("Tamblo"));
  auto second = StartHolder("Tamblo");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->ReadLine(), "refused");

  holder->Kill(SIGKILL);
  EXPECT_EQ(holder->Wait(), -SIGKILL);
  EXPECT_TRUE(InstanceGuard::TryAcquire("Tamblo"));
}

TEST_F(InstanceGuardTest, AHolderInThisProcessKeepsChildrenOut) {
  auto mine = InstanceGuard::TryAcquire("Durm12");
  ASSERT_TRUE(mine);
  auto child = StartHolder("Durm12");
  ASSERT_TRUE(child);
  EXPECT_EQ(child->ReadLine(), "refused");
}

} // namespace
