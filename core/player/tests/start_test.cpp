// Starting and ending the player core: one instance per session, the
// resource bundle, the link library of the platform and its 66 names, and
// what a refused start leaves behind (nothing).
#include "common/player_fixture.h"

#include "platform/sys/instance.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace {

using namespace playertest;

class PlayerStart : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(InProcess().Attach);
    ASSERT_EQ(mkdir(Runtime().c_str(), 0700), 0);
  }
  void TearDown() override { InProcess().Detach(); }

  std::string Runtime() const { return runtime_ / "runtime"; }

  Scratch runtime_; // the children's own session
};

TEST_F(PlayerStart, AStartBindsTheLinkLibraryAndAnEndGivesEverythingBack) {
  const Tamblo& t = InProcess();
  // Before a start the forwarders reach nothing.
  EXPECT_EQ(t.mplay.InitMidiPlayer(0, kWindow), nullptr);
  EXPECT_EQ(t.mplay.moGetNumMIDDevices(), 0);

  ASSERT_EQ(t.Attach(), 1) << AttachError();
  EXPECT_EQ(AttachError(), "");
  EXPECT_EQ(t.Attach(), 1); // a second call changes nothing
  EXPECT_FALSE(sys::InstanceGuard::TryAcquire("Tamblo"));
  EXPECT_TRUE(win::IsClassRegistered("MSG_TAMBLO"));
  EXPECT_NE(t.mplay.InitMidiPlayer(0, kWindow), nullptr);
  EXPECT_EQ(t.mplay.moGetNumMIDDevices(), 2);

  EXPECT_EQ(t.Detach(), 1);
  EXPECT_FALSE(win::IsClassRegistered("MSG_TAMBLO"));
  EXPECT_TRUE(sys::InstanceGuard::TryAcquire("Tamblo"));
  EXPECT_EQ(t.mplay.moGetNumMIDDevices(), 0);
  EXPECT_EQ(t.mplay.GetPreparePlay(), nullptr);

  // And it starts again.
  ASSERT_EQ(t.Attach(), 1) << AttachError();
  EXPECT_EQ(t.mplay.moGetNumMIDDevices(), 2);
}

TEST_F(PlayerStart, AStartRefusedAtItsLastStepGivesBackWhatTheEarlierStepsTook) {
  // Someone else holds the notification window's class.
  ASSERT_TRUE(
      win::RegisterClass({"MSG_TAMBLO", 0, [] { return std::make_unique<win::Window>(); }}));
  EXPECT_EQ(InProcess().Attach(), 0);
  EXPECT_EQ(AttachError(), "the window class \"MSG_TAMBLO\" cannot be registered");
  EXPECT_EQ(InProcess().mplay.moGetNumMIDDevices(), 0);
  EXPECT_TRUE(sys::InstanceGuard::TryAcquire("Tamblo")); // the guard is free again
  EXPECT_TRUE(win::IsClassRegistered("MSG_TAMBLO"));     // and the class left alone
  win::UnregisterClass("MSG_TAMBLO");
  EXPECT_EQ(InProcess().Attach(), 1) << AttachError();
}

TEST_F(PlayerStart, ASecondStartInAnotherProcessIsRefusedUntilTheFirstIsKilled) {
  auto first = StartTambloChild(kBin, Runtime(), true);
  ASSERT_TRUE(first);
  ASSERT_EQ(ReadVerdict(*first), std::vector<std::string>{"attached"});

  auto second = StartTambloChild(kBin, Runtime(), false);
  ASSERT_TRUE(second);
  const auto refused = ReadVerdict(*second);
  ASSERT_EQ(refused.size(), 1u); // and no message box
  EXPECT_EQ(
      refused[0].rfind("refused: instance guard refused: Tamblo is held by another instance", 0),
      0u)
      << refused[0];
  EXPECT_EQ(second->Wait(), 0);

  first->Kill(SIGKILL);
  EXPECT_EQ(first->Wait(), -SIGKILL);
  auto third = StartTambloChild(kBin, Runtime(), false);
  ASSERT_TRUE(third);
  EXPECT_EQ(ReadVerdict(*third), std::vector<std::string>{"attached"});
  EXPECT_EQ(third->Wait(), 0);
}

TEST_F(PlayerStart, AStartInThisProcessKeepsOtherProcessesOut) {
  ASSERT_EQ(InProcess().Attach(), 1) << AttachError();
  auto child = StartTambloChild(kBin, std::getenv("VEXO_RUNTIME_DIR"), false);
  ASSERT_TRUE(child);
  const auto verdict = ReadVerdict(*child);
  ASSERT_FALSE(verdict.empty());
  EXPECT_EQ(verdict.back().rfind("refused: instance guard refused: Tamblo is held", 0), 0u)
      << verdict.back();
}

TEST_F(PlayerStart, RefusedStartsSayWhyAndHoldNothing) {
  struct Row {
    const char* what;
    bool bundle;           // rTamblo.rcc beside the copy
    const char* link;      // where the copy's link library comes from, or null
    bool pavik32, pavik16; // engines beside it
    const char* setting;   // VEXO_PLATFORM, or null
    std::vector<std::string> expected;
  };
  const std::string lacking = kFixtures + "/wendrant-lacking/libWendraNT.so";
  const std::string wendraNT = kBin + "/libWendraNT.so";
  const std::string wendra = kBin + "/libWendra.so";
  const Row rows[] = {
      {"no resource bundle",
       false,
       wendraNT.c_str(),
       true,
       true,
       nullptr,
       {"box: Error: rTamblo.dll not found", "refused: rTamblo.dll not found"}},
      {"a link library without the last name",
       true,
       lacking.c_str(),
       true,
       true,
       nullptr,
       {"refused: WendraNT lacks mplay_GenerateTrackOrder"}},
      {"no link library",
       true,
       nullptr,
       true,
       true,
       nullptr,
       {"refused: WendraNT cannot be loaded: "}},
      {"a link library without its engine",
       true,
       wendraNT.c_str(),
       false,
       false,
       nullptr,
       {"refused: WendraNT refused its load: Pavik32 cannot be loaded: "}},
      {"the 9x link library without the 16-bit engine",
       true,
       wendra.c_str(),
       true,
       false,
       "9x",
       {"refused: Wendra refused its load: Pavik16 cannot be connected: "}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PlayerFolder folder;
    if (row.bundle)
      folder.LinkFromBin("rTamblo.rcc");
    if (row.link) {
      const std::string name = std::filesystem::path(row.link).filename().string();
      ASSERT_TRUE(folder.Copy(row.link, name));
    }
    if (row.pavik32)
      folder.LinkFromBin("libPavik32.so");
    if (row.pavik16)
      folder.LinkFromBin("libPavik16.so");
    std::vector<std::string> env;
    if (row.setting)
      env.push_back(std::string("VEXO_PLATFORM=") + row.setting);
    // The refused child stays alive holding whatever it kept.
    auto child = StartTambloChild(folder.Path(), Runtime(), true, env);
    ASSERT_TRUE(child);
    const auto verdict = ReadVerdict(*child);
    ASSERT_EQ(verdict.size(), row.expected.size()) << (verdict.empty() ? "" : verdict.back());
    for (size_t i = 0; i < verdict.size(); ++i)
      EXPECT_EQ(verdict[i].rfind(row.expected[i], 0), 0u) << verdict[i];

    auto good = StartTambloChild(kBin, Runtime(), false);
    ASSERT_TRUE(good);
    EXPECT_EQ(ReadVerdict(*good), std::vector<std::string>{"attached"});
    child->CloseInput();
    EXPECT_EQ(child->Wait(), 0);
  }
}

} // namespace
