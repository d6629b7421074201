#include "platform/sys/midi_message.h"

#include <gtest/gtest.h>

namespace sys::midi {
namespace {

TEST(MidiMessage, PacksAndReadsTheThreeBytes) {
  struct Row {
    const char* what;
    uint32_t status, data1, data2;
    uint32_t packed;
    uint8_t type, channel;
  };
  const Row rows[] = {
      {"note on, channel 2", 0x91, 60, 100, 0x00643C91, kNoteOn, 1},
      {"program change has no second byte", 0xC5, 7, 0, 0x000007C5, kProgramChange, 5},
      {"pitch bend centred", 0xEF, 0, 64, 0x004000EF, kPitchBend, 15},
      {"each field kept to its byte", 0x1B0, 0x17B, 0x240, 0x00407BB0, kControlChange, 0},
      {"a system status is its own type", 0xF0, 0, 0, 0x000000F0, kSysEx, 0},
  };
  for (const Row& r : rows) {
    uint32_t m = PackShort(r.status, r.data1, r.data2);
    EXPECT_EQ(m, r.packed) << r.what;
    EXPECT_EQ(StatusOf(m), r.packed & 0xFF) << r.what;
    EXPECT_EQ(Data1Of(m), (r.packed >> 8) & 0xFF) << r.what;
    EXPECT_EQ(Data2Of(m), (r.packed >> 16) & 0xFF) << r.what;
    EXPECT_EQ(TypeOf(StatusOf(m)), r.type) << r.what;
    EXPECT_EQ(ChannelOf(StatusOf(m)), r.channel) << r.what;
  }
  EXPECT_FALSE(IsChannelStatus(0x7F));
  EXPECT_TRUE(IsChannelStatus(0x80));
  EXPECT_TRUE(IsChannelStatus(0xEF));
  EXPECT_FALSE(IsChannelStatus(0xF0));
}

} // namespace
} // namespace sys::midi
