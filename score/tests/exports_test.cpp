// The library as a host loads it: libNyvanta.so by name, its exports bound.
#include "platform/media/virtual_time.h"
#include "platform/media/wavein.h"
#include "platform/sys/library.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"
#include "score/nyvanta.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

template <typename F> F* Bind(const sys::Library& lib, const char* name) {
  return reinterpret_cast<F*>(lib.Find(name));
}

TEST(NyvantaExports, AHostStartsTheLibraryAndDrivesItByName) {
  wintest::StartTestSession();
  media::VirtualTime clock(1000);
  media::InstallTimeSource(&clock);
  media::Wave silence;
  silence.format = media::WaveFormat::Pcm(22050, 8, 1);
  silence.data.assign(22050, 0x80);
  media::WaveIn().UseDevices({std::make_shared<media::WavMicrophone>(silence)});
  std::string why;
  auto lib = sys::Library::Load(VEXO_BIN_DIR, "Nyvanta", &why);
  ASSERT_TRUE(lib) << why;
  auto core = sys::Library::Load(std::string(VEXO_TESTS_DIR) + "/fixtures/core-full", "Tamblo",
                                 &why);
  ASSERT_TRUE(core) << why;
  ASSERT_EQ(Bind<decltype(Nyvanta_Attach)>(*lib, "Nyvanta_Attach")(), 1);
  EXPECT_TRUE(win::IsClassRegistered("MSG_NYVANTA"));

  static const bool registered = wintest::RegisterFnClass(
      "NyvantaHost", [](win::Hwnd, uint32_t, win::WParam, win::LParam) { return 0; });
  (void)registered;
  const win::Hwnd host = wintest::MakeWindow("NyvantaHost");
  ASSERT_EQ(Bind<decltype(Nyvanta_InitDLL)>(*lib, "Nyvanta_InitDLL")(core->Handle(), host), 1);
  const win::Hwnd controller = win::FindWindowEx(host, "MSG_NYVANTA", "MESSAGE");
  EXPECT_NE(controller, 0u);
  EXPECT_EQ(Bind<decltype(Nyvanta_GetModuleHandle)>(*lib, "Nyvanta_GetModuleHandle")(),
            static_cast<void*>(lib->Handle()));

  // The 21st listener finds the table full.
  auto add = Bind<decltype(Nyvanta_AddListener)>(*lib, "Nyvanta_AddListener");
  std::vector<win::Hwnd> listeners;
  for (int i = 0; i < 21; ++i)
    listeners.push_back(wintest::MakeWindow("NyvantaHost"));
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(add(listeners[i]), 1);
  EXPECT_EQ(add(listeners[20]), 0);

  // The device count selects the mapper.
  const int32_t count = Bind<decltype(Nyvanta_wiGetNumWAVDevices)>(*lib, "Nyvanta_wiGetNumWAVDevices")();
  EXPECT_EQ(count, 1);
  auto setDev = Bind<decltype(Nyvanta_wiSetCurDev)>(*lib, "Nyvanta_wiSetCurDev");
  auto getDev = Bind<decltype(Nyvanta_wiGetCurDev)>(*lib, "Nyvanta_wiGetCurDev");
  setDev(0);
  EXPECT_EQ(getDev(), 0);
  setDev(static_cast<int16_t>(count));
  EXPECT_EQ(getDev(), -1);

  // Without enabling, the start fails; enabled, it starts and stops.
  auto start = Bind<decltype(Nyvanta_StartScoring)>(*lib, "Nyvanta_StartScoring");
  auto stop = Bind<decltype(Nyvanta_TerminateScoring)>(*lib, "Nyvanta_TerminateScoring");
  auto status = Bind<decltype(Nyvanta_GetStatus)>(*lib, "Nyvanta_GetStatus");
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(Bind<decltype(Nyvanta_PP)>(*lib, "Nyvanta_PP")(), 0);
  Bind<decltype(Nyvanta_EnableScoring)>(*lib, "Nyvanta_EnableScoring")(1);
  EXPECT_EQ(start(), 1);
  EXPECT_EQ(status(), 1);
  EXPECT_EQ(Bind<decltype(Nyvanta_SetRecSetting)>(*lib, "Nyvanta_SetRecSetting")(0, 44100), 0);
  EXPECT_EQ(stop(), 1);
  EXPECT_EQ(status(), 0);

  NyvantaCounters counters{};
  auto get = Bind<decltype(Nyvanta_GetCounters)>(*lib, "Nyvanta_GetCounters");
  EXPECT_EQ(get(&counters, sizeof counters), static_cast<int32_t>(sizeof counters));
  EXPECT_EQ(get(&counters, 4), 0);

  EXPECT_EQ(Bind<decltype(Nyvanta_Detach)>(*lib, "Nyvanta_Detach")(), 1);
  EXPECT_FALSE(win::IsWindow(controller));
  EXPECT_FALSE(win::IsClassRegistered("MSG_NYVANTA"));
  for (win::Hwnd w : listeners)
    win::DestroyWindow(w);
  win::DestroyWindow(host);
  win::ProcessPendingMessages();
  media::WaveIn().UseDevices({});
  media::InstallTimeSource(nullptr);
}

} // namespace
