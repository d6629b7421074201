// The MIDI output device list over the engine's devices, reached through the
// player core's exports: its order and names, the ports of a song's tracks,
// and the fallback for devices that are absent or do not open.
#include "common/player_fixture.h"

#include "core/player/mididevices.h"
#include "platform/media/alsa_ports.h"
#include "platform/media/midiout.h"
#include "platform/media/software_synth.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace playertest;
using core::CMidiOutDeviceList;
using core::kNoListPosition;

std::shared_ptr<media::RecordingMidiOut> Recorder(const char* name, uint16_t productId) {
  return std::make_shared<media::RecordingMidiOut>(name, productId);
}

// A song of as many tracks as ports.
struct Song : core::CSongData {
  explicit Song(std::vector<uint16_t> ports) {
    tracks.resize(ports.size());
    for (size_t t = 0; t < ports.size(); ++t)
      tracks[t].port = ports[t];
  }
};

class DeviceList : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(InProcess().Attach(), 1) << AttachError();
    alpha_ = Recorder("Alpha", 0x0101);
    beta_ = Recorder("Beta", 0x0102);
    synth_ = Recorder("Synth", media::kProductSoftwareSynth);
    Use({alpha_, beta_, synth_});
  }
  void TearDown() override {
    UseTestDevices();
    InProcess().Detach();
  }

  void Use(std::vector<std::shared_ptr<media::MidiOutDevice>> devices) {
    media::MidiOut().UseDevicesForTesting(std::move(devices));
    T().moCheckMidiOutDev();
    list_.Enumerate();
  }
  const wendra::MplayTable& T() const { return InProcess().mplay; }

  CMidiOutDeviceList list_{InProcess().mplay};
  std::shared_ptr<media::RecordingMidiOut> alpha_, beta_, synth_;
};

TEST_F(DeviceList, ListsTheMapperThenTheSynthesizerThePortsAndTheRecorderByName) {
  // The backends of a normal run, and a recorder after them.
  media::MidiOut().UseDevicesForTesting({});
  media::RegisterDefaultMidiBackends(media::MidiOut());
  auto recorder = std::make_shared<media::RecordingMidiOut>();
  media::MidiOut().AddBackend("recorder", [recorder] {
    return std::vector<std::shared_ptr<media::MidiOutDevice>>{recorder};
  });
  T().moCheckMidiOutDev();
  list_.Enumerate();

  std::vector<std::string> expected = {"Default MIDI Mapper", "Vexo3 GM Software Synth"};
  std::vector<uint16_t> products = {1, media::kProductSoftwareSynth};
  for (const auto& port : media::AlsaSequencerDevices()) {
    expected.push_back(port->Caps().Name());
    products.push_back(port->Caps().productId);
  }
  expected.push_back("Recording MIDI Out");
  products.push_back(0x7E01);
  // The engine keeps the records of its first 30 devices.
  const size_t kept = std::min<size_t>(expected.size(), 31);
  ASSERT_EQ(list_.SlotCount(), static_cast<int>(expected.size()));
  for (size_t slot = 0; slot < kept; ++slot) {
    EXPECT_EQ(list_.Slot(static_cast<int>(slot)).Name(), expected[slot]) << slot;
    EXPECT_EQ(list_.Slot(static_cast<int>(slot)).productId, products[slot]) << slot;
  }
  // The synthesizer is the first preferred device.
  EXPECT_EQ(list_.SetDefaultDevice("", 0xFFFF), 1);
  EXPECT_EQ(T().moGetCurDev(), 0);
  EXPECT_EQ(list_.DisplayName(0), "Default-Vexo3 GM Software Synth");
}

TEST_F(DeviceList, TracksGetTheDeviceTheirPortNamesOrTheCurrentOne) {
  T().moSetCurDev(0);
  const Song song({0, 0x0102, 0x5555, media::kProductSoftwareSynth, 0x0102});
  list_.MapTrackPorts(song);
  const int16_t devices[] = {0, 1, 0, 2, 1};
  const bool matched[] = {true, true, false, true, true};
  for (int t = 0; t < 5; ++t) {
    EXPECT_EQ(list_.TrackDevice(t), devices[t]) << t;
    EXPECT_EQ(list_.TrackMatched(t), matched[t]) << t;
    EXPECT_EQ(list_.TrackPort(t), song.tracks[t].port) << t;
  }

  EXPECT_EQ(list_.OpenForSong(song), (std::vector<int16_t>{0, 1, 0, 2, 1}));
  // Every device was opened once for the probe and closed again.
  for (const auto& d : {alpha_, beta_, synth_}) {
    EXPECT_EQ(d->Opens(), 1);
    EXPECT_EQ(d->OpenPorts(), 0);
  }

  list_.AssignTrackPorts(song);
  EXPECT_EQ(list_.OfferedDevices(), (std::vector<int16_t>{0, 1, 2}));
  const int positions[] = {kNoListPosition, 1, kNoListPosition, 2, 1};
  for (int t = 0; t < 5; ++t)
    EXPECT_EQ(list_.TrackListPosition(t), positions[t]) << t;
  EXPECT_EQ(list_.IndexOfDevice(2), 2);
  EXPECT_EQ(list_.IndexOfDevice(9), kNoListPosition);
  EXPECT_EQ(list_.IndexOfDevice(-1), kNoListPosition);
}

TEST_F(DeviceList, ADeviceThatDoesNotOpenEndsTheProbeAndItsTracksPlayOnTheFirstDevice) {
  T().moSetCurDev(0);
  // The synthesizer is preferred to Beta, so it is tried first; it fails,
  // and Beta is not tried at all.
  synth_->SetOpenFails(true);
  const Song song({0x0102, media::kProductSoftwareSynth, 0});
  list_.MapTrackPorts(song);
  EXPECT_EQ(list_.OpenForSong(song), (std::vector<int16_t>{0, 0, 0}));
  EXPECT_EQ(alpha_->Opens(), 1);
  EXPECT_EQ(beta_->Opens(), 0);
  EXPECT_EQ(alpha_->OpenPorts(), 0);
  EXPECT_EQ(list_.SongDevices(), (std::vector<int16_t>{0, 0, 0}));
}

TEST_F(DeviceList, ASongWhosePortsAreAllZeroPlaysEveryTrackOnTheCurrentDevice) {
  T().moSetCurDev(1);
  const Song song({0, 0, 0, 0});
  list_.MapTrackPorts(song);
  EXPECT_EQ(list_.OpenForSong(song), (std::vector<int16_t>{1, 1, 1, 1}));
  EXPECT_EQ(alpha_->Opens(), 0);
  EXPECT_EQ(beta_->Opens(), 1);
}

TEST_F(DeviceList, WithoutDevicesOnlyTheMapperIsListedAndBecomesTheDefault) {
  Use({});
  ASSERT_EQ(list_.SlotCount(), 1);
  EXPECT_EQ(list_.Slot(0).Name(), "Default MIDI Mapper");
  EXPECT_EQ(list_.SetDefaultDevice("Alpha", 0x0101), 1);
  EXPECT_EQ(T().moGetCurDev(), core::kMapperDevice);
  const Song song({0x0101, 0});
  list_.MapTrackPorts(song);
  EXPECT_FALSE(list_.TrackMatched(0));
  EXPECT_EQ(list_.TrackDevice(0), core::kMapperDevice);
  EXPECT_EQ(list_.OpenForSong(song), (std::vector<int16_t>{-1, -1}));
  EXPECT_EQ(list_.DisplayName(0), "Default-Default MIDI Mapper");
}

TEST_F(DeviceList, PortsAreShownByTheirDevicesNames) {
  T().moSetCurDev(1);
  EXPECT_EQ(list_.DisplayName(0), "Default-Beta");
  T().moSetCurDev(-1);
  EXPECT_EQ(list_.DisplayName(0), "Default-Default MIDI Mapper");
  // A device of the preferred table by the table's name, others by their own.
  EXPECT_EQ(list_.DisplayName(media::kProductSoftwareSynth), "Vexo3 GM Software Synth");
  EXPECT_EQ(list_.DisplayName(0x0101), "Alpha");
  EXPECT_EQ(list_.DisplayName(0x4242), "");
}

TEST_F(DeviceList, SettingATracksPortStoresTheDevicesIdentifierInTheSong) {
  T().moSetCurDev(0);
  Song song({0, 0x0101});
  song.preparedForPlay = 1;
  song.unchanged = 1;
  list_.MapTrackPorts(song);
  list_.AssignTrackPorts(song);

  ASSERT_TRUE(list_.SetTrackPort(song, 0, list_.IndexOfDevice(1)));
  EXPECT_EQ(song.tracks[0].port, 0x0102);
  EXPECT_EQ(song.preparedForPlay, 0);
  EXPECT_EQ(song.unchanged, 0);
  EXPECT_EQ(list_.TrackDevice(0), 1);
  EXPECT_EQ(list_.SongDevices(), (std::vector<int16_t>{1, 0}));
  EXPECT_EQ(list_.TrackListPosition(0), 1);

  ASSERT_TRUE(list_.SetTrackPort(song, 1, kNoListPosition));
  EXPECT_EQ(song.tracks[1].port, 0);
  EXPECT_EQ(list_.TrackListPosition(1), kNoListPosition);

  EXPECT_FALSE(list_.SetTrackPort(song, 1, 3)); // no such position
  EXPECT_FALSE(list_.SetTrackPort(song, 1, -1));
  EXPECT_FALSE(list_.SetTrackPort(song, 2, 0)); // no such track
  EXPECT_EQ(song.tracks[1].port, 0);
}

TEST_F(DeviceList, TheDefaultDeviceIsChosenByNameThenIdentifierThenPreference) {
  struct Row {
    const char* name;
    uint16_t productId;
    bool synthListed;
    int result;
    int16_t device;
  };
  const Row rows[] = {
      {"Beta", 0x0101, true, 0, 1},   // the name wins
      {"Gamma", 0x0101, true, 1, 0},  // then the identifier
      {"Gamma", 0xFFFF, true, 1, 2},  // then the preferred synthesizer
      {"Gamma", 0x4242, false, 1, -1} // else the mapper
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.synthListed)
      Use({alpha_, beta_, synth_});
    else
      Use({alpha_, beta_});
    T().moSetCurDev(1);
    EXPECT_EQ(list_.SetDefaultDevice(row.name, row.productId), row.result);
    EXPECT_EQ(T().moGetCurDev(), row.device);
  }
}

} // namespace
