#include "platform/media/recording_midi.h"
#include "platform/media/virtual_time.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using media::RecordingMidiOut;

class RecordingMidiTest : public ::testing::Test {
protected:
  void SetUp() override { media::InstallTimeSource(&time_); }
  void TearDown() override {
    media::MidiOut().UseDevicesForTesting({});
    media::InstallTimeSource(nullptr);
  }
  media::VirtualTime time_{500};
};

TEST_F(RecordingMidiTest, KeepsEveryMessageWithItsTimeAndPort) {
  auto device = std::make_shared<RecordingMidiOut>("Rec A", 0x1234);
  media::MidiOut().UseDevicesForTesting({device});
  auto& out = media::MidiOut();
  media::MidiOutHandle first = out.Open(0);
  ASSERT_NE(first, 0u);
  EXPECT_TRUE(out.ShortMessage(first, 0x403C90));
  time_.Advance(7);
  const std::array<uint8_t, 4> sysex = {0xF0, 0x7E, 0x01, 0xF7};
  EXPECT_TRUE(out.LongMessage(first, sysex));
  media::MidiOutHandle second = out.Open(-1); // the mapper opens device 0
  ASSERT_NE(second, 0u);
  EXPECT_TRUE(out.ShortMessage(second, 0x0040B3));
  EXPECT_FALSE(out.ShortMessage(second, 0x7F)); // not a status byte

  auto log = device->Messages();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].timeMs, 500u);
  EXPECT_EQ(log[0].port, 1u);
  EXPECT_EQ(log[0].Status(), 0x90);
  EXPECT_EQ(log[0].Data1(), 0x3C);
  EXPECT_EQ(log[0].Data2(), 0x40);
  EXPECT_TRUE(log[1].IsLong());
  EXPECT_EQ(log[1].timeMs, 507u);
  EXPECT_EQ(log[1].longMessage, std::vector<uint8_t>(sysex.begin(), sysex.end()));
  EXPECT_EQ(log[2].port, 2u);
  EXPECT_EQ(device->OpenPorts(), 2);
  EXPECT_TRUE(out.Close(first));
  EXPECT_EQ(device->Closes(), 1);
  EXPECT_EQ(device->OpenPorts(), 1);
}

TEST_F(RecordingMidiTest, CapsAndFailingOpens) {
  auto device = std::make_shared<RecordingMidiOut>("Rec B", 0x4321);
  media::MidiOut().UseDevicesForTesting({device});
  media::MidiOutCaps caps;
  ASSERT_TRUE(media::MidiOut().Caps(0, &caps));
  EXPECT_EQ(caps.Name(), "Rec B");
  EXPECT_EQ(caps.productId, 0x4321);
  device->SetOpenFails(true);
  EXPECT_EQ(media::MidiOut().Open(0), 0u);
  EXPECT_EQ(device->Opens(), 0);
  device->SetOpenFails(false);
  EXPECT_NE(media::MidiOut().Open(0), 0u);
}

} // namespace
