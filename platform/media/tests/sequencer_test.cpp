// The sequencer device: a hand-built file's events at their times on the
// recording device, the reader's bounds, and the end notice.
#include "platform/media/sequencer.h"

#include "platform/media/mci.h"
#include "platform/media/midiout.h"
#include "platform/media/recording_midi.h"
#include "platform/media/virtual_time.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace media;

namespace {

// Format 1, 96 ticks a quarter: track 1 sets 500000 us, then 250000 us at
// tick 192; track 2 plays a note at 0 (off at 96, running status), one at
// 192 (off at 288) and a program change.
const std::vector<uint8_t> kFile = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 96,
    'M', 'T', 'r', 'k', 0, 0, 0, 19,
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 500000
    0x81, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,  // +192: 250000
    0x00, 0xFF, 0x2F, 0x00,
    'M', 'T', 'r', 'k', 0, 0, 0, 22,
    0x00, 0xC0, 0x05,             // program 5
    0x00, 0x90, 0x3C, 0x64,       // note on
    0x60, 0x3C, 0x00,             // +96, running status: off
    0x60, 0x90, 0x40, 0x64,       // +96 (192)
    0x60, 0x80, 0x40, 0x00,       // +96 (288)
    0x00, 0xFF, 0x2F, 0x00,
};

TEST(Smf, ReadsTimesFromTheTempoMap) {
  auto events = ReadStandardMidiFile(kFile);
  ASSERT_TRUE(events);
  std::vector<std::pair<uint32_t, uint32_t>> got;
  for (const SmfEvent& e : *events)
    got.push_back({e.timeMs, e.bytes[0] | (e.bytes.size() > 1 ? e.bytes[1] << 8 : 0)});
  const std::vector<std::pair<uint32_t, uint32_t>> want = {
      {0, 0x05C0}, {0, 0x3C90}, {500, 0x3C90}, {1000, 0x4090}, {1250, 0x4080}};
  EXPECT_EQ(got, want);
}

TEST(Smf, RefusesBrokenFiles) {
  struct Row {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes; // replaces from at
  } rows[] = {
      {"not a header", 0, {'M', 'T', 'h', 'x'}},
      {"track past the end", 18, {0x7F, 0xFF, 0xFF, 0xFF}},
      {"number of five bytes", 49, {0x80, 0x80, 0x80, 0x80, 0x01}},
      {"running status without a status", 49, {0x00, 0x05}},
      {"frame-based division", 12, {0xE7, 0x28}},
  };
  for (const Row& row : rows) {
    std::vector<uint8_t> file = kFile;
    std::copy(row.bytes.begin(), row.bytes.end(), file.begin() + row.at);
    EXPECT_FALSE(ReadStandardMidiFile(file)) << row.what;
  }
  EXPECT_FALSE(ReadStandardMidiFile({}));
}

TEST(Sequencer, PlaysEveryEventAtItsTimeToTheMapper) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("seq-test-" + std::to_string(getpid()) + ".mid"))
          .string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(kFile.data()), std::streamsize(kFile.size()));
  VirtualTime time;
  InstallTimeSource(&time);
  auto recorder = std::make_shared<RecordingMidiOut>();
  MidiOut().UseDevicesForTesting({recorder});
  RegisterSequencerDevice();
  mci::OpenParams open;
  open.type = "sequencer";
  open.element = path;
  mci::DeviceId id = 0;
  ASSERT_EQ(mci::Open(open, &id), mci::kOk);
  std::string port;
  EXPECT_EQ(mci::SendCommand(id, "status port", &port), mci::kOk);
  EXPECT_EQ(mci::SendCommand(id, "play from 0"), mci::kOk);
  time.Advance(2000);
  std::vector<std::pair<uint32_t, uint32_t>> got;
  for (const RecordedMidi& m : recorder->Messages())
    got.push_back({m.timeMs, m.shortMessage & 0xFFFF});
  const std::vector<std::pair<uint32_t, uint32_t>> want = {
      {0, 0x05C0}, {0, 0x3C90}, {500, 0x3C90}, {1000, 0x4090}, {1250, 0x4080}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(time.LiveEvents(), 0);
  EXPECT_EQ(mci::SendCommand(id, "close"), mci::kOk);
  EXPECT_EQ(MidiOut().OpenCount(), 0);
  // A file that does not read does not open.
  std::ofstream(path, std::ios::binary) << "nonsense";
  EXPECT_NE(mci::Open(open, &id), mci::kOk);
  InstallTimeSource(nullptr);
  std::filesystem::remove(path);
}

} // namespace
