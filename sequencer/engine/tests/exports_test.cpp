// The shared library as the link libraries load it: by file name from the
// folder of the modules, binding every engine operation by name.
#include "platform/sys/library.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// InitPavik32 and the 65 operations that the link libraries bind, in their
// binding order, then the two exports that no link library binds.
const std::vector<std::string> kBound = {
    "InitPavik32",
    "_32_moGetNumMIDDevices",
    "_32_moSetCurDev",
    "_32_moGetCurDev",
    "_32_moCheckMidiOutDev",
    "_32_moGetMIDDevName",
    "_32_moGetMIDDevCaps",
    "_32_moOpenMIDDev",
    "_32_moCloseMIDDev",
    "_32_SetTimerResolution",
    "_32_CheckIfWatchDogEnabled",
    "_32_EnableWatchDog",
    "_32_SetWatchDogTime",
    "_32_GetWatchDogTime",
    "_32_GetPlayTime",
    "_32_GetPlayTS",
    "_32_GetCurTime",
    "_32_GetCurTS",
    "_32_GetcMidiPlayFlag",
    "_32_GetcPause",
    "_32_SetcPause",
    "_32_ChkcNoNote",
    "_32_GetcCurNote",
    "_32_GetcPrevNote",
    "_32_ChkcLyricOn",
    "_32_GetlLyricCurTime",
    "_32_GetlLyricTotTime",
    "_32_GetlLyricNextEvTime",
    "_32_SetLevelMeter",
    "_32_GetMeterVolume",
    "_32_AutoMeterVolume",
    "_32_GetChannelVol",
    "_32_GetChannelPan",
    "_32_GetChannelInst",
    "_32_GetChannelWheel",
    "_32_GetNoteOnStatus",
    "_32_GetRepaintReq",
    "_32_ResetRepaintReq",
    "_32_GetTrackMute",
    "_32_SetTrackMute",
    "_32_GetChannelMute",
    "_32_SetChannelMute",
    "_32_TurnOffChannel",
    "_32_FreeEB",
    "_32_PreparePlay",
    "_32_StartPlay",
    "_32_TerminatePlay",
    "_32_AllNoteOff",
    "_32_CheckMidDevOpened",
    "_32_OpenCloseMidDev",
    "_32_SendMessage",
    "_32_DoPanic",
    "_32_Inc_TempoModifier",
    "_32_Dec_TempoModifier",
    "_32_Inc_KeyModifier",
    "_32_Dec_KeyModifier",
    "_32_GetTempoModifier",
    "_32_SetTempoModifier",
    "_32_GetKeyModifier",
    "_32_SetKeyModifier",
    "_32_JumpToPosition",
    "_32_BeginPause",
    "_32_EndPause",
    "_32_ProgValue",
    "_32_GenerateTrackOrder",
    "_32_TransmitData",
};
const std::vector<std::string> kUnbound = {"TimerInt", "_32_GetJmpTime", "Pavik32_SetNoticePoster"};

TEST(Pavik32Library, LoadsByNameAndBindsEveryOperation) {
  ASSERT_EQ(kBound.size(), 66u);
  const std::string path = std::string(VEXO_BIN_DIR) + "/libPavik32.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const auto& names : {kBound, kUnbound})
    for (const std::string& name : names)
      EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
  // The engine's own C++ names stay inside the library; the platform's names
  // belong to the platform libraries it links, not to the engine.
  sys::ModuleHandle own = reinterpret_cast<sys::ModuleHandle>(library);
  EXPECT_EQ(sys::FindName(own, "_ZN3seq5StateEv"), nullptr);
  EXPECT_EQ(sys::FindName(own, "_ZN5media7MidiOutEv"), nullptr);

  using Init = int32_t (*)(uint32_t, uint32_t, uint8_t, uint32_t, uint32_t, uint32_t, uint32_t);
  using Flag = uint8_t (*)();
  auto init = reinterpret_cast<Init>(dlsym(library, "InitPavik32"));
  auto playing = reinterpret_cast<Flag>(dlsym(library, "_32_GetcMidiPlayFlag"));
  ASSERT_TRUE(init && playing);
  EXPECT_EQ(init(0, 1, 0, 1025, 1283, 1281, 1282), 1);
  EXPECT_EQ(playing(), 0);
  // Kept loaded, as the link libraries keep it, for the life of the process.
}

} // namespace
