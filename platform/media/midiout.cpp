#include "platform/media/midiout.h"

#include "platform/media/caps_name.h"

#include <algorithm>
#include <cstring>

namespace media {

void RegisterDefaultMidiBackends(MidiOutSystem& system);

std::string MidiOutCaps::Name() const {
  return CapsName(name);
}

void MidiOutCaps::SetName(std::string_view text) {
  SetCapsName(name, text);
}

void MidiOutCaps::Serialize(std::span<uint8_t, 52> out) const {
  size_t p = 0;
  auto u16 = [&](uint16_t v) {
    out[p++] = v & 0xFF;
    out[p++] = v >> 8;
  };
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i)
      out[p++] = (v >> (8 * i)) & 0xFF;
  };
  u16(manufacturerId);
  u16(productId);
  u32(driverVersion);
  for (char c : name)
    out[p++] = static_cast<uint8_t>(c);
  u16(technology);
  u16(voices);
  u16(notes);
  u16(channelMask);
  u32(support);
}

void MidiOutSystem::AddBackend(std::string name, Factory factory) {
  std::lock_guard lock(mutex_);
  backends_.push_back({std::move(name), std::move(factory)});
  enumerated_ = false;
}

void MidiOutSystem::UseDevicesForTesting(std::vector<std::shared_ptr<MidiOutDevice>> devices) {
  std::lock_guard lock(mutex_);
  backends_.clear();
  backends_.push_back({"testing", [devices] { return devices; }});
  ports_.clear();
  EnumerateLocked();
}

void MidiOutSystem::EnumerateLocked() {
  devices_.clear();
  for (auto& b : backends_) {
    for (auto& d : b.factory())
      if (d)
        devices_.push_back(std::move(d));
  }
  enumerated_ = true;
}

void MidiOutSystem::Enumerate() {
  std::lock_guard lock(mutex_);
  EnumerateLocked();
}

int MidiOutSystem::Count() {
  std::lock_guard lock(mutex_);
  if (!enumerated_)
    EnumerateLocked();
  return static_cast<int>(devices_.size());
}

bool MidiOutSystem::Caps(int device, MidiOutCaps* caps) {
  std::lock_guard lock(mutex_);
  if (!enumerated_)
    EnumerateLocked();
  if (device == kMidiMapper) {
    MidiOutCaps c;
    c.manufacturerId = 1;
    c.productId = 1;
    c.driverVersion = 0x0100;
    c.SetName("Default MIDI Mapper");
    c.technology = kTechMidiMapper;
    c.voices = 0;
    c.notes = 0;
    c.channelMask = 0xFFFF;
    if (!devices_.empty()) {
      MidiOutCaps d = devices_.front()->Caps();
      c.voices = d.voices;
      c.notes = d.notes;
      c.support = d.support;
    }
    if (caps)
      *caps = c;
    return true;
  }
  if (device < 0 || device >= static_cast<int>(devices_.size()))
    return false;
  if (caps)
    *caps = devices_[device]->Caps();
  return true;
}

MidiOutHandle MidiOutSystem::Open(int device) {
  std::lock_guard lock(mutex_);
  if (!enumerated_)
    EnumerateLocked();
  if (device == kMidiMapper)
    device = 0;
  if (device < 0 || device >= static_cast<int>(devices_.size()))
    return 0;
  auto port = devices_[device]->Open();
  if (!port)
    return 0;
  for (size_t i = 0; i < ports_.size(); ++i) {
    if (!ports_[i]) {
      ports_[i] = std::move(port);
      return static_cast<MidiOutHandle>(i + 1);
    }
  }
  ports_.push_back(std::move(port));
  return static_cast<MidiOutHandle>(ports_.size());
}

bool MidiOutSystem::Close(MidiOutHandle handle) {
  std::unique_ptr<MidiOutPort> port;
  {
    std::lock_guard lock(mutex_);
    if (handle == 0 || handle > ports_.size() || !ports_[handle - 1])
      return false;
    port = std::move(ports_[handle - 1]);
  }
  return true; // the port closes as it is destroyed, outside the lock
}

bool MidiOutSystem::ShortMessage(MidiOutHandle handle, uint32_t message) {
  if ((message & 0x80) == 0)
    return false;
  std::lock_guard lock(mutex_);
  if (handle == 0 || handle > ports_.size() || !ports_[handle - 1])
    return false;
  return ports_[handle - 1]->ShortMessage(message);
}

bool MidiOutSystem::LongMessage(MidiOutHandle handle, std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (handle == 0 || handle > ports_.size() || !ports_[handle - 1])
    return false;
  return ports_[handle - 1]->LongMessage(bytes);
}

int MidiOutSystem::OpenCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(
      std::count_if(ports_.begin(), ports_.end(), [](const auto& p) { return p != nullptr; }));
}

MidiOutSystem& MidiOut() {
  static MidiOutSystem* system = [] {
    auto* s = new MidiOutSystem;
    RegisterDefaultMidiBackends(*s);
    return s;
  }();
  return *system;
}

} // namespace media
