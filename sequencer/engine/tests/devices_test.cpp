// The MIDI output device table, raw output, all-notes-off and panic, and an
// engine loaded without any device.
#include "support/engine_fixture.h"

#include "sequencer/engine/library.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace seqtest {
namespace {

using DevicesTest = EngineTest;

TEST_F(DevicesTest, CapabilityRecordsAreCopiedByteForByte) {
  EXPECT_EQ(_32_moGetNumMIDDevices(), 2);
  std::array<uint8_t, 52> caps;
  caps.fill(0xAA);
  _32_moGetMIDDevCaps(caps.data(), 0);
  std::array<uint8_t, 52> want{};
  const uint8_t head[] = {0xFF, 0x00, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00}; // ids, version
  std::memcpy(want.data(), head, sizeof head);
  std::memcpy(want.data() + 8, "Recorder Zero", 13);
  const uint8_t tail[] = {0x01, 0x00, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0}; // port, mask
  std::memcpy(want.data() + 40, tail, sizeof tail);
  EXPECT_EQ(caps, want);

  char name[32];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(_32_moGetMIDDevName(name, 1), 0);
  EXPECT_STREQ(name, "Recorder One");
  EXPECT_EQ(_32_moGetMIDDevName(name, -1), 0);
  EXPECT_STREQ(name, "Default MIDI Mapper");
  _32_moGetMIDDevCaps(caps.data(), -1);
  EXPECT_EQ(caps[40], 5) << "the mapper's technology";
}

TEST_F(DevicesTest, DevicesWithoutARecordAreRefused) {
  std::vector<std::shared_ptr<media::MidiOutDevice>> many;
  for (int i = 0; i < 31; ++i)
    many.push_back(std::make_shared<media::RecordingMidiOut>("Device " + std::to_string(i)));
  media::MidiOut().UseDevicesForTesting(many);
  _32_moCheckMidiOutDev();
  ASSERT_EQ(_32_moGetNumMIDDevices(), 31);
  struct Row {
    int16_t device;
    const char* name; // null: refused, the destination untouched
  };
  const std::vector<Row> rows = {{0, "Device 0"},  {29, "Device 29"}, {30, nullptr},
                                 {31, nullptr},    {-2, nullptr},     {-1, "Default MIDI Mapper"},
                                 {0x7FFF, nullptr}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.device);
    char name[32];
    std::memset(name, 'x', sizeof name);
    std::array<uint8_t, 52> caps;
    caps.fill(0xAA);
    EXPECT_EQ(_32_moGetMIDDevName(name, row.device), 0);
    _32_moGetMIDDevCaps(caps.data(), row.device);
    if (row.name) {
      EXPECT_STREQ(name, row.name);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(caps.data() + 8)), row.name);
    } else {
      EXPECT_EQ(name[0], 'x');
      EXPECT_EQ(caps[0], 0xAA);
    }
  }
  // Past the 30 records, a device is still counted and can be opened.
  EXPECT_EQ(_32_moOpenMIDDev(30), 1);
  EXPECT_EQ(_32_moCloseMIDDev(30), 1);
}

TEST_F(DevicesTest, CurrentDeviceIsADeviceOrTheMapper) {
  struct Row {
    int16_t set;
    int16_t current;
  };
  const std::vector<Row> rows = {{0, 0}, {1, 1}, {2, -1}, {-1, -1}, {300, -1}, {-7, -1}};
  for (const Row& row : rows) {
    _32_moSetCurDev(row.set);
    EXPECT_EQ(_32_moGetCurDev(), row.current) << row.set;
  }
}

TEST_F(DevicesTest, OpenAndCloseDevicesIntoTheirSlots) {
  EXPECT_EQ(_32_moOpenMIDDev(0), 1);
  EXPECT_EQ(dev0_->OpenPorts(), 1);
  EXPECT_EQ(_32_moOpenMIDDev(0), 1) << "opening again closes the old handle first";
  EXPECT_EQ(dev0_->OpenPorts(), 1);
  EXPECT_EQ(dev0_->Closes(), 1);
  EXPECT_EQ(_32_moCloseMIDDev(0), 1);
  EXPECT_EQ(_32_moCloseMIDDev(0), 0) << "not open";
  EXPECT_EQ(_32_moOpenMIDDev(5), 0) << "no such device";
  EXPECT_EQ(_32_moOpenMIDDev(255), 0) << "no slot for it";
  EXPECT_EQ(_32_moOpenMIDDev(-2), 0);
  dev1_->SetOpenFails(true);
  EXPECT_EQ(_32_moOpenMIDDev(1), 0);

  _32_moSetCurDev(1);
  EXPECT_EQ(_32_CheckMidDevOpened(), 0);
  EXPECT_EQ(_32_OpenCloseMidDev(1), 0) << "the open fails";
  dev1_->SetOpenFails(false);
  EXPECT_EQ(_32_OpenCloseMidDev(1), 1);
  EXPECT_EQ(_32_OpenCloseMidDev(1), 1);
  EXPECT_EQ(dev1_->OpenPorts(), 1) << "already open: not opened twice";
  EXPECT_EQ(_32_CheckMidDevOpened(), 1);
  EXPECT_EQ(_32_OpenCloseMidDev(0), 1);
  EXPECT_EQ(_32_CheckMidDevOpened(), 0);
  EXPECT_EQ(dev1_->OpenPorts(), 0);
}

TEST_F(DevicesTest, RawOutputGoesToTheCurrentDeviceAndAlwaysUpdatesTheChannel) {
  _32_SendMessage(Cc(4, 7, 33));
  EXPECT_EQ(_32_GetChannelVol(4), 33);
  EXPECT_TRUE(dev0_->Messages().empty());
  ASSERT_EQ(_32_OpenCloseMidDev(1), 1); // the mapper, which is device 0
  _32_SendMessage(Program(4, 12));
  _32_TurnOffChannel(4);
  _32_TurnOffChannel(16); // no such channel
  EXPECT_EQ(ShortMessages(dev0_->Messages()),
            (std::vector<uint32_t>{Program(4, 12), Cc(4, 123, 0)}));
  EXPECT_EQ(_32_GetChannelInst(4), 12);

  dev0_->Clear();
  _32_SetChannelMute(4, 1);
  EXPECT_EQ(ShortMessages(dev0_->Messages()), (std::vector<uint32_t>{Cc(4, 123, 0)}));
  EXPECT_EQ(_32_GetChannelMute(4), 1);
  _32_SetChannelMute(4, 0);
  EXPECT_EQ(dev0_->Messages().size(), 1u) << "unmuting sends nothing";
  EXPECT_EQ(_32_GetChannelMute(4), 0);
}

TEST_F(DevicesTest, AllNotesOffGoesToEveryOpenSlot) {
  ASSERT_EQ(_32_moOpenMIDDev(1), 1);
  ASSERT_EQ(_32_moOpenMIDDev(-1), 1);
  _32_AllNoteOff();
  std::vector<uint32_t> want;
  for (int ch = 0; ch < 16; ++ch)
    for (int controller : {64, 66, 123})
      want.push_back(Cc(ch, controller, 0));
  EXPECT_EQ(ShortMessages(dev0_->Messages()), want);
  EXPECT_EQ(ShortMessages(dev1_->Messages()), want);
}

TEST_F(DevicesTest, PanicResetsEveryDeviceRowByRow) {
  ASSERT_EQ(_32_moOpenMIDDev(-1), 1); // the mapper stays open; the others are opened for it
  const uint32_t before = time_.NowMs();
  _32_DoPanic();
  const auto panic = PanicMessages();
  auto log0 = dev0_->Messages();
  ASSERT_EQ(log0.size(), 2 * panic.size()); // the mapper and device 0 both are device 0
  for (size_t i = 0; i < panic.size(); ++i) {
    EXPECT_EQ(log0[i].shortMessage, panic[i]);
    EXPECT_EQ(log0[i].port, 1u);
    EXPECT_EQ(log0[i].timeMs, before + i / 16) << "a millisecond after each row";
    EXPECT_EQ(log0[panic.size() + i].shortMessage, panic[i]);
    EXPECT_EQ(log0[panic.size() + i].port, 2u);
  }
  EXPECT_EQ(ShortMessages(dev1_->Messages()), panic);
  EXPECT_EQ(time_.NowMs(), before + 3 * 19);
  EXPECT_EQ(dev0_->OpenPorts(), 1) << "only what the panic opened is closed again";
  EXPECT_EQ(dev1_->OpenPorts(), 0);

  dev1_->SetOpenFails(true); // a device that cannot be opened is passed over
  dev0_->Clear();
  _32_DoPanic();
  EXPECT_EQ(dev0_->Messages().size(), 2 * panic.size());
}

TEST_F(DevicesTest, KeyModifierChangesSwitchNotesOff) {
  struct Row {
    std::string name;
    void (*op)(int16_t);
    int16_t arg;
    bool open;
    size_t sent;
    int16_t key;
  };
  const std::vector<Row> rows = {
      {"set, device closed", _32_SetKeyModifier, 4, false, 0, 4},
      {"set, device open", _32_SetKeyModifier, 2, true, 48, 2},
      {"increment within the bound", _32_Inc_KeyModifier, 5, true, 48, 1},
      {"increment to a lower bound", _32_Inc_KeyModifier, -3, true, 48, -3},
      {"decrement within the bound", _32_Dec_KeyModifier, -5, true, 48, -1},
      {"decrement to a higher bound", _32_Dec_KeyModifier, 3, true, 48, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    _32_SetKeyModifier(0);
    _32_OpenCloseMidDev(row.open ? 1 : 0);
    dev0_->Clear();
    row.op(row.arg);
    EXPECT_EQ(dev0_->Messages().size(), row.sent);
    EXPECT_EQ(_32_GetKeyModifier(), row.key);
  }
}

TEST_F(DevicesTest, StopClosesTheTrackDevicesOnly) {
  TestSong song;
  song.tracks = {{Midi(0, NoteOn(0, 60, 1)), Midi(9000, NoteOff(0, 60))}};
  song.devices = {1};
  ASSERT_EQ(HandOver(song), 1);
  ASSERT_EQ(_32_OpenCloseMidDev(1), 1); // the current device, the mapper
  ASSERT_EQ(_32_StartPlay(), 1);
  EXPECT_EQ(dev1_->OpenPorts(), 1);
  _32_TerminatePlay();
  EXPECT_EQ(dev1_->OpenPorts(), 0);
  EXPECT_EQ(_32_CheckMidDevOpened(), 1);
}

TEST_F(DevicesTest, StartFailsWhenATrackDeviceCannotBeOpened) {
  TestSong song;
  song.tracks = {{Midi(0, NoteOn(0, 60, 1))}, {Midi(0, NoteOn(1, 60, 1))}};
  song.devices = {0, 1};
  ASSERT_EQ(HandOver(song), 1);
  dev1_->SetOpenFails(true);
  EXPECT_EQ(_32_StartPlay(), 0);
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);
  EXPECT_EQ(time_.OpenPeriods(), 0);
  song.devices = {0, 7}; // not a device of the list
  dev1_->SetOpenFails(false);
  ASSERT_EQ(HandOver(song), 1);
  EXPECT_EQ(_32_StartPlay(), 0);
}

// A time source that has a clock but cannot make periodic events.
class NoEvents final : public media::TimeSource {
public:
  uint32_t NowMs() override { return 0; }
  uint32_t SetPeriodicEvent(uint32_t, uint32_t, media::TimerCallback) override { return 0; }
  bool KillEvent(uint32_t) override { return false; }
  int LiveEvents() override { return 0; }
  void Delay(uint32_t) override {}
};

TEST_F(DevicesTest, StartFailsWhenNoTimerCanBeMade) {
  NoEvents noEvents;
  media::InstallTimeSource(&noEvents);
  TestSong song;
  song.tracks = {{Midi(0, NoteOn(0, 60, 1))}};
  ASSERT_EQ(HandOver(song), 1);
  EXPECT_EQ(_32_StartPlay(), 0) << "a song that cannot advance is not reported as playing";
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(dev0_->OpenPorts(), 0);
  media::InstallTimeSource(&time_);
}

TEST_F(DevicesTest, WithoutAnyDeviceTheLibraryLoadsAfterItsMessageBox) {
  seq::LibraryUnload();
  media::MidiOut().UseDevicesForTesting({});
  ClearNotices();
  seq::LibraryLoad();
  EXPECT_EQ(MessageBoxes(), (std::vector<std::string>{"Error: There is no MIDI out device"}));
  EXPECT_EQ(_32_moGetNumMIDDevices(), 0);
  EXPECT_EQ(_32_moOpenMIDDev(0), 0);
  EXPECT_EQ(_32_moOpenMIDDev(-1), 0);
  EXPECT_EQ(_32_OpenCloseMidDev(1), 0);
  TestSong song;
  song.tracks = {{Midi(0, NoteOn(0, 60, 1))}};
  ASSERT_EQ(HandOver(song), 1);
  EXPECT_EQ(_32_StartPlay(), 0);
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);
  _32_DoPanic(); // nothing to open, nothing to wait for
  _32_moCheckMidiOutDev();
  EXPECT_EQ(MessageBoxes().size(), 2u) << "each enumeration that finds none says so";
}

} // namespace
} // namespace seqtest
