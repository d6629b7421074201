// Loading the link libraries: the engines they need beside them, the 66
// exports, and a refused load that names what was missing.
#include "support/link_fixture.h"
#include "support/scratch.h"

#include "platform/sys/library.h"
#include "sequencer/link/mplay.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace linktest;

const std::string kBin = VEXO_BIN_DIR;
const std::string kFixtures = VEXO_TESTS_DIR "/fixtures";

using AttachResult = int32_t (*)(char*, uint32_t);

struct Attach {
  int32_t result = -1;
  std::string reason;
};

Attach AttachOf(sys::ModuleHandle module, const std::string& library) {
  auto report =
      reinterpret_cast<AttachResult>(sys::FindName(module, (library + "_AttachResult").c_str()));
  if (!report)
    return {};
  char reason[256];
  Attach a;
  a.result = report(reason, sizeof reason);
  a.reason = reason;
  return a;
}

TEST(LinkAttach, BothLibrariesAttachAndExportTheSameSixtySixNames) {
  Loaded(); // the engines find their devices and clock
  for (const char* library : {"WendraNT", "Wendra"}) {
    std::string error;
    auto module = sys::Library::Load(kBin, library, &error);
    ASSERT_TRUE(module) << error;
    const Attach a = AttachOf(module->Handle(), library);
    EXPECT_EQ(a.result, 1) << library;
    EXPECT_EQ(a.reason, "") << library;
    for (const char* name : wendra::kMplayNames)
      EXPECT_NE(sys::FindName(module->Handle(), name), nullptr) << library << " " << name;
    // The engine's own names stay with the engine.
    EXPECT_EQ(sys::FindName(module->Handle(), "_32_StartPlay"), nullptr);
    EXPECT_EQ(sys::FindName(module->Handle(), "InitPavik32"), nullptr);
    module->Release();
  }
}

TEST(LinkAttach, AMissingEngineOrEngineNameRefusesTheLoadAndSaysWhich) {
  Loaded();
  struct Row {
    const char* library;
    const char* pavik32; // where libPavik32.so comes from; null for none
    bool pavik16;
    const char* reason;
  };
  const std::string lacking = kFixtures + "/pavik32-lacking/libPavik32.so";
  const std::string full = kBin + "/libPavik32.so";
  const Row rows[] = {
      {"WendraNT", lacking.c_str(), false, "Pavik32 lacks _32_TransmitData"},
      {"Wendra", lacking.c_str(), true, "Pavik32 lacks _32_TransmitData"},
      {"WendraNT", nullptr, false, "Pavik32 cannot be loaded"},
      {"Wendra", nullptr, true, "Pavik32 cannot be loaded"},
      {"Wendra", full.c_str(), false, "Pavik16 cannot be connected"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.library) + ": " + row.reason);
    Scratch folder;
    const std::string file = "lib" + std::string(row.library) + ".so";
    ASSERT_TRUE(folder.Copy(kBin + "/" + file, file));
    if (row.pavik32) {
      ASSERT_TRUE(folder.Link(row.pavik32, "libPavik32.so"));
    }
    if (row.pavik16) {
      ASSERT_TRUE(folder.Link(kBin + "/libPavik16.so", "libPavik16.so"));
    }

    std::string error;
    auto module = sys::Library::Load(folder.Path(), row.library, &error);
    ASSERT_TRUE(module) << error;
    const Attach a = AttachOf(module->Handle(), row.library);
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.reason.rfind(row.reason, 0), 0u) << a.reason;

    // A loader that goes on regardless finds operations that do nothing.
    wendra::MplayTable refused;
    ASSERT_TRUE(wendra::BindMplay(module->Handle(), refused));
    MplayTransmitEntry transmit = refused.InitMidiPlayer(0, kWindow);
    transmit(0, 0, 0, 0, 0, 0x90, 0);
    EXPECT_EQ(refused.GetPreparePlay()(0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(refused.StartPlay(), 0);
    EXPECT_EQ(refused.GetcMidiPlayFlag(), 0);
    EXPECT_EQ(refused.SetMidiPlayerType(32), nullptr);
    EXPECT_EQ(refused.moGetNumMIDDevices(), 0);
  }
}

} // namespace
