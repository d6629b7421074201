#include "core/player/mididevices.h"

#include "platform/media/alsa_ports.h"
#include "platform/media/software_synth.h"
#include "platform/sys/bytes.h"
#include "sequencer/engine/pavik32.h"

#include <algorithm>

namespace core {
namespace {

// The engine keeps a device table of 256 slots, the mapper's among them.
constexpr int kMaxListedDevices = kPavikDeviceSlots - 1;
constexpr uint16_t kRecorderProduct = 0x7E01;

media::MidiOutCaps ParseCaps(const uint8_t (&bytes)[kPavikCapsSize]) {
  sys::ByteReader r(bytes, sizeof bytes);
  media::MidiOutCaps c;
  c.manufacturerId = r.U16LE().value_or(0);
  c.productId = r.U16LE().value_or(0);
  c.driverVersion = r.U32LE().value_or(0);
  c.SetName(r.FixedString(c.name.size()).value_or(""));
  c.technology = r.U16LE().value_or(0);
  c.voices = r.U16LE().value_or(0);
  c.notes = r.U16LE().value_or(0);
  c.channelMask = r.U16LE().value_or(0);
  c.support = r.U32LE().value_or(0);
  return c;
}

} // namespace

const std::array<PreferredDevice, kPreferredDeviceCount>& PreferredDevices() {
  static const std::array<PreferredDevice, kPreferredDeviceCount> rows = {{
      {media::kProductSoftwareSynth, "Vexo3 GM Software Synth"},
      {media::AlsaPortProductId("TiMidity", "TiMidity port 0"), "TiMidity port 0"},
      {media::AlsaPortProductId("TiMidity", "TiMidity port 1"), "TiMidity port 1"},
      {media::AlsaPortProductId("Midi Through", "Midi Through Port-0"), "Midi Through Port-0"},
      {kRecorderProduct, "Recording MIDI Out"},
  }};
  return rows;
}

const std::array<uint16_t, kPreferredOrderCount>& PreferredOrder() {
  static const std::array<uint16_t, kPreferredOrderCount> order = {
      PreferredDevices()[0].productId, PreferredDevices()[1].productId,
      PreferredDevices()[2].productId, PreferredDevices()[3].productId};
  return order;
}

void CMidiOutDeviceList::Enumerate() {
  slots_.clear();
  if (!link_.moGetNumMIDDevices || !link_.moGetMIDDevCaps)
    return;
  const int count = std::min<int>(link_.moGetNumMIDDevices(), kMaxListedDevices);
  for (int slot = 0; slot <= count; ++slot) {
    uint8_t bytes[kPavikCapsSize] = {};
    link_.moGetMIDDevCaps(bytes, static_cast<int16_t>(slot - 1));
    slots_.push_back(ParseCaps(bytes));
  }
}

media::MidiOutCaps CMidiOutDeviceList::Slot(int slot) const {
  return slot >= 0 && slot < SlotCount() ? slots_[slot] : media::MidiOutCaps{};
}

int16_t CMidiOutDeviceList::CurrentDevice() const {
  return link_.moGetCurDev ? link_.moGetCurDev() : kMapperDevice;
}

const media::MidiOutCaps* CMidiOutDeviceList::CapsOf(int16_t device) const {
  const int slot = device + 1;
  return slot >= 0 && slot < SlotCount() ? &slots_[slot] : nullptr;
}

void CMidiOutDeviceList::MapTrackPorts(const CSongData& song) {
  const int16_t current = CurrentDevice();
  const int tracks = std::clamp<int>(song.TrackCount(), 0, kMaxTracks);
  for (int t = 0; t < kMaxTracks; ++t) {
    const uint16_t port = t < tracks ? song.tracks[t].port : 0;
    ports_[t] = port;
    devices_[t] = current;
    matched_[t] = port == 0;
    if (port == 0)
      continue;
    for (int slot = 0; slot < SlotCount(); ++slot) {
      if (slots_[slot].productId == port) {
        devices_[t] = static_cast<int16_t>(slot - 1);
        matched_[t] = true;
        break;
      }
    }
  }
}

int CMidiOutDeviceList::PreferenceRank(int16_t device) const {
  const media::MidiOutCaps* caps = CapsOf(device);
  if (!caps)
    return kPreferredOrderCount;
  const auto& order = PreferredOrder();
  auto it = std::find(order.begin(), order.end(), caps->productId);
  return static_cast<int>(it - order.begin());
}

const std::vector<int16_t>& CMidiOutDeviceList::OpenForSong(const CSongData& song) {
  const int tracks = std::clamp<int>(song.TrackCount(), 0, kMaxTracks);
  std::vector<int16_t> order{CurrentDevice()};
  for (int t = 0; t < tracks; ++t)
    if (std::find(order.begin(), order.end(), devices_[t]) == order.end())
      order.push_back(devices_[t]);
  std::stable_sort(order.begin() + 1, order.end(),
                   [this](int16_t a, int16_t b) { return PreferenceRank(a) < PreferenceRank(b); });

  // A probe: open until one fails, then close again what opened.
  std::vector<int16_t> opened;
  if (link_.moOpenMIDDev && link_.moCloseMIDDev) {
    for (int16_t device : order) {
      if (!link_.moOpenMIDDev(device))
        break;
      opened.push_back(device);
    }
    for (int16_t device : opened)
      link_.moCloseMIDDev(device);
  }

  songDevices_.assign(static_cast<size_t>(tracks), order.front());
  for (int t = 0; t < tracks; ++t)
    if (std::find(opened.begin(), opened.end(), devices_[t]) != opened.end())
      songDevices_[t] = devices_[t];
  return songDevices_;
}

void CMidiOutDeviceList::AssignTrackPorts(const CSongData& song) {
  offered_.clear();
  for (int slot = 1; slot < SlotCount(); ++slot)
    offered_.push_back(static_cast<int16_t>(slot - 1));
  const int tracks = std::clamp<int>(song.TrackCount(), 0, kMaxTracks);
  for (int t = 0; t < kMaxTracks; ++t)
    listPositions_[t] =
        t < tracks && ports_[t] != 0 && matched_[t] ? IndexOfDevice(devices_[t]) : kNoListPosition;
}

int CMidiOutDeviceList::IndexOfDevice(int16_t device) const {
  auto it = std::find(offered_.begin(), offered_.end(), device);
  return it == offered_.end() ? kNoListPosition : static_cast<int>(it - offered_.begin());
}

int CMidiOutDeviceList::TrackListPosition(int track) const {
  return track >= 0 && track < kMaxTracks ? listPositions_[track] : kNoListPosition;
}

std::string CMidiOutDeviceList::DisplayName(uint16_t port) const {
  if (port == 0) {
    const media::MidiOutCaps* current = CapsOf(CurrentDevice());
    if (!current)
      current = CapsOf(kMapperDevice);
    return "Default-" + (current ? current->Name() : std::string());
  }
  for (const PreferredDevice& row : PreferredDevices())
    if (row.productId == port)
      return row.name;
  // Devices outside the table are named as they name themselves.
  for (const media::MidiOutCaps& caps : slots_)
    if (caps.productId == port)
      return caps.Name();
  return std::string();
}

bool CMidiOutDeviceList::SetTrackPort(CSongData& song, int track, int position) {
  if (!song.HasTrack(track))
    return false;
  uint16_t port = 0;
  if (position != kNoListPosition) {
    if (position < 0 || position >= static_cast<int>(offered_.size()))
      return false;
    const media::MidiOutCaps* caps = CapsOf(offered_[position]);
    if (!caps)
      return false;
    port = caps->productId;
  }
  GivePort(song, track, port);
  return true;
}

bool CMidiOutDeviceList::SetTrackPortToMapper(CSongData& song, int track) {
  const media::MidiOutCaps* caps = CapsOf(kMapperDevice);
  if (!song.HasTrack(track) || !caps)
    return false;
  GivePort(song, track, caps->productId);
  return true;
}

void CMidiOutDeviceList::GivePort(CSongData& song, int track, uint16_t port) {
  if (song.tracks[track].port != port) {
    song.tracks[track].port = port;
    song.preparedForPlay = 0;
    song.unchanged = 0;
  }
  MapTrackPorts(song);
  OpenForSong(song);
  AssignTrackPorts(song);
}

int16_t CMidiOutDeviceList::FirstDeviceWithProduct(uint16_t productId) const {
  for (int slot = 1; slot < SlotCount(); ++slot)
    if (slots_[slot].productId == productId)
      return static_cast<int16_t>(slot - 1);
  return kMapperDevice;
}

int CMidiOutDeviceList::SetDefaultDevice(std::string_view name, uint16_t productId) {
  if (!link_.moSetCurDev)
    return 0;
  for (int slot = 1; slot < SlotCount(); ++slot) {
    if (slots_[slot].Name() == name) {
      link_.moSetCurDev(static_cast<int16_t>(slot - 1));
      return 0;
    }
  }
  int16_t device = productId < 0xFFFF ? FirstDeviceWithProduct(productId) : kMapperDevice;
  for (int k : {0, 1, 3}) {
    if (device != kMapperDevice)
      break;
    device = FirstDeviceWithProduct(PreferredOrder()[k]);
  }
  link_.moSetCurDev(device);
  return 1;
}

uint16_t CMidiOutDeviceList::TrackPort(int track) const {
  return track >= 0 && track < kMaxTracks ? ports_[track] : 0;
}

int16_t CMidiOutDeviceList::TrackDevice(int track) const {
  return track >= 0 && track < kMaxTracks ? devices_[track] : kMapperDevice;
}

bool CMidiOutDeviceList::TrackMatched(int track) const {
  return track >= 0 && track < kMaxTracks && matched_[track];
}

} // namespace core
