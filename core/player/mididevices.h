// The player core's list of the MIDI output devices the engine reports, and
// the mapping of each track's port to one of them. A song stores per track a
// port: the product identifier of the device the track is meant for, 0 for
// the current default device. Tracks whose device is absent play on the
// current device.
#pragma once

#include "core/songdata.h"
#include "platform/media/midiout.h"
#include "sequencer/link/mplay_table.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace core {

struct PreferredDevice {
  uint16_t productId = 0;
  std::string name; // at most 31 characters
};
// Display names of well-known devices by product identifier.
constexpr int kPreferredDeviceCount = 5;
const std::array<PreferredDevice, kPreferredDeviceCount>& PreferredDevices();
// The product identifiers in the order in which devices are preferred when
// the devices of a song are opened.
constexpr int kPreferredOrderCount = 4;
const std::array<uint16_t, kPreferredOrderCount>& PreferredOrder();

// A list position that stands for no device of the list: the current one.
constexpr int kNoListPosition = 32767;
// The device number of the MIDI mapper.
constexpr int16_t kMapperDevice = -1;

class CMidiOutDeviceList {
public:
  explicit CMidiOutDeviceList(const wendra::MplayTable& link) : link_(link) {}

  // Reads the engine's device list: slot 0 the MIDI mapper, slot k device
  // k - 1.
  void Enumerate();
  int SlotCount() const { return static_cast<int>(slots_.size()); }
  // The capability record of a slot; an empty record outside the list.
  media::MidiOutCaps Slot(int slot) const;

  // Copies every track's port and gives each track a device.
  void MapTrackPorts(const CSongData& song);
  // Probes the devices the song needs, in order of preference, and gives
  // every track whose device did not open the first device of that order.
  // Returns (and keeps) one device number per track of the song.
  const std::vector<int16_t>& OpenForSong(const CSongData& song);
  // Refreshes the devices offered per track and each track's list position.
  void AssignTrackPorts(const CSongData& song);

  // The device numbers the editor offers for a track: every listed device.
  const std::vector<int16_t>& OfferedDevices() const { return offered_; }
  // The list position of a device, kNoListPosition when it is not listed.
  int IndexOfDevice(int16_t device) const;
  // The list position of a track's device, kNoListPosition for the current
  // device or a port that matched nothing.
  int TrackListPosition(int track) const;

  // "Default-<current device's name>" for port 0, else the device's name.
  std::string DisplayName(uint16_t port) const;

  // Gives a track the port of the device at a list position (port 0 for
  // kNoListPosition), then maps, opens and assigns again. False, with
  // nothing changed, for a track or position outside the lists.
  bool SetTrackPort(CSongData& song, int track, int position);
  // As SetTrackPort, with the MIDI mapper's port (the list offers no
  // position for it). False without a track or a mapper.
  bool SetTrackPortToMapper(CSongData& song, int track);

  // Makes the engine's current device: the device of that name (result 0);
  // else that product identifier when below 65535; else the first device
  // with the first, second or fourth preferred identifier; else the MIDI
  // mapper (result 1 for all of these).
  int SetDefaultDevice(std::string_view name, uint16_t productId);

  // Per track, as the last mapping left them.
  uint16_t TrackPort(int track) const;
  int16_t TrackDevice(int track) const;
  bool TrackMatched(int track) const;
  // The device array of the last OpenForSong.
  const std::vector<int16_t>& SongDevices() const { return songDevices_; }

private:
  // Gives a track of the song the port, then maps, opens and assigns again.
  void GivePort(CSongData& song, int track, uint16_t port);
  int16_t CurrentDevice() const;
  // The record of a device number (-1 the mapper); null when it has none.
  const media::MidiOutCaps* CapsOf(int16_t device) const;
  int PreferenceRank(int16_t device) const;
  int16_t FirstDeviceWithProduct(uint16_t productId) const;

  const wendra::MplayTable& link_;
  std::vector<media::MidiOutCaps> slots_;
  std::array<uint16_t, kMaxTracks> ports_{};
  std::array<int16_t, kMaxTracks> devices_{};
  std::array<bool, kMaxTracks> matched_{};
  std::array<int, kMaxTracks> listPositions_{};
  std::vector<int16_t> offered_;
  std::vector<int16_t> songDevices_;
};

} // namespace core
