// The recording mixer on ALSA's simple mixer, without a sound card: a control
// plugin of the external kind (tests/fixtures/ctl_test_plugin.cpp) is the
// card, loaded from a configuration of the test's own.
#include "platform/media/mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <dlfcn.h>
#include <mutex>
#include <thread>

namespace {

const std::string kPlugin =
    std::string(VEXO_TESTS_DIR) + "/fixtures/alsa/libasound_module_ctl_vexotest.so";

std::string Config() {
  return "ctl_type.vexotest { lib \"" + kPlugin +
         "\" open \"_snd_ctl_vexotest_open\" }\nctl.vexotest { type vexotest }\n";
}

// The notices of the mixer, waited for within a bound.
struct Notices {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<uint32_t> ids;
  void Add(uint32_t id) {
    std::lock_guard lock(mu);
    ids.push_back(id);
    cv.notify_all();
  }
  bool WaitFor(uint32_t id) {
    std::unique_lock lock(mu);
    return cv.wait_for(lock, std::chrono::seconds(5), [&] {
      return std::find(ids.begin(), ids.end(), id) != ids.end();
    });
  }
  void Clear() {
    std::lock_guard lock(mu);
    ids.clear();
  }
};

class AlsaMixerTest : public ::testing::Test {
protected:
  void SetUp() override {
    plugin_ = dlopen(kPlugin.c_str(), RTLD_NOW);
    ASSERT_NE(plugin_, nullptr) << dlerror();
    set_ = reinterpret_cast<void (*)(const char*, int, long)>(dlsym(plugin_, "FakeCtl_Set"));
    get_ = reinterpret_cast<long (*)(const char*, int)>(dlsym(plugin_, "FakeCtl_Get"));
    device_ = media::AlsaMixerDevice("vexotest", "Test Mixer", Config());
    ASSERT_NE(device_, nullptr);
    device_->Watch([this](uint32_t id) { notices_.Add(id); });
  }
  void TearDown() override {
    if (device_)
      device_->Watch(nullptr);
    device_.reset();
    if (plugin_)
      dlclose(plugin_);
  }
  uint32_t ControlOf(uint32_t lineId, uint32_t type) {
    for (const media::MixerControl& c : device_->Controls())
      if (c.lineId == lineId && c.type == type)
        return c.controlId;
    return 0;
  }
  std::vector<uint32_t> Get(uint32_t id) {
    std::vector<uint32_t> v;
    EXPECT_EQ(device_->Get(id, &v), media::kMixerOk);
    return v;
  }

  void* plugin_ = nullptr;
  void (*set_)(const char*, int, long) = nullptr;
  long (*get_)(const char*, int) = nullptr;
  std::shared_ptr<media::MixerDevice> device_;
  Notices notices_;
};

TEST_F(AlsaMixerTest, TheCardsCaptureElementsAreTheWaveInputLine) {
  std::vector<std::pair<uint32_t, uint32_t>> lines; // id, component type
  for (const media::MixerLine& l : device_->Lines())
    lines.emplace_back(l.lineId, l.componentType);
  EXPECT_NE(std::find(lines.begin(), lines.end(), std::pair{1u, media::kDstWaveIn}), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), std::pair{0u, media::kDstSpeakers}),
            lines.end());
  bool mic = false;
  for (auto [id, type] : lines)
    mic = mic || ((id >> 16) == 2 && type == media::kSrcMicrophone);
  EXPECT_TRUE(mic);

  // 10 and 30 of 0..63, scaled to 0..65535.
  const uint32_t volume = ControlOf(1, media::kControlVolume);
  ASSERT_NE(volume, 0u);
  EXPECT_EQ(Get(volume), (std::vector<uint32_t>{10 * 65535 / 63, 30 * 65535 / 63}));
  // The capture switch is off: muted.
  const uint32_t mute = ControlOf(1, media::kControlMute);
  ASSERT_NE(mute, 0u);
  EXPECT_EQ(Get(mute), (std::vector<uint32_t>{1, 1}));
  // Four entries: the first four capture sources, Line's switch on.
  const uint32_t list = ControlOf(1, media::kControlMux);
  ASSERT_NE(list, 0u);
  const std::vector<uint32_t> entries = Get(list);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), 1u), 1);
}

TEST_F(AlsaMixerTest, WritesReachTheCardAndEveryChangeIsANotice) {
  const uint32_t volume = ControlOf(1, media::kControlVolume);
  const uint32_t mute = ControlOf(1, media::kControlMute);
  const uint32_t list = ControlOf(1, media::kControlMux);
  ASSERT_EQ(device_->Set(volume, {52428, 52428}), media::kMixerOk);
  EXPECT_EQ(get_("Capture Volume", 0), 50); // 52428 of 65535 is 50.4 of 63
  EXPECT_EQ(get_("Capture Volume", 1), 50);
  EXPECT_TRUE(notices_.WaitFor(volume));
  ASSERT_EQ(device_->Set(mute, {0, 0}), media::kMixerOk);
  EXPECT_EQ(get_("Capture Switch", 0), 1);
  EXPECT_TRUE(notices_.WaitFor(mute));
  ASSERT_EQ(device_->Set(list, {0, 0, 0, 1}), media::kMixerOk);
  EXPECT_EQ(Get(list), (std::vector<uint32_t>{0, 0, 0, 1}));
  EXPECT_TRUE(notices_.WaitFor(list));
  EXPECT_EQ(device_->Set(list, {1, 0}), media::kMixerBadParam);
  EXPECT_EQ(device_->Set(999, {0}), media::kMixerBadControl);

  // The user moves the record volume: a notice, and the new value read.
  notices_.Clear();
  set_("Capture Volume", 0, 63);
  EXPECT_TRUE(notices_.WaitFor(volume));
  EXPECT_EQ(Get(volume)[0], 65535u);
}

TEST(AlsaMixer, NoneWhereTheDeviceDoesNotOpen) {
  EXPECT_EQ(media::AlsaMixerDevice("vexo_no_such_card", "None", "ctl.other { type hw card 99 }\n"),
            nullptr);
}

} // namespace
