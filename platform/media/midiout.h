// MIDI output devices: a stable list of devices with their capability
// records, opened into handles that take short and long messages. The
// backends (the built-in synthesizer, ALSA sequencer ports, the recording
// device of the tests) are devices registered in the process-wide list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// The 52-byte capability record, as it travels to callers that copy it.
struct MidiOutCaps {
  uint16_t manufacturerId = 0;
  uint16_t productId = 0;
  uint32_t driverVersion = 0;
  std::array<char, 32> name{}; // zero-terminated, at most 31 characters
  uint16_t technology = 0;
  uint16_t voices = 0;
  uint16_t notes = 0;
  uint16_t channelMask = 0xFFFF;
  uint32_t support = 0;

  std::string Name() const;
  void SetName(std::string_view text);
  // Writes the record in its little-endian byte layout.
  void Serialize(std::span<uint8_t, 52> out) const;
};

// Technology codes of the capability record.
enum : uint16_t {
  kTechMidiPort = 1,
  kTechSynth = 2,
  kTechSquareSynth = 3,
  kTechFmSynth = 4,
  kTechMidiMapper = 5,
  kTechWavetable = 6,
  kTechSoftwareSynth = 7,
};
// Support flags.
enum : uint32_t { kSupportVolume = 1, kSupportLrVolume = 2, kSupportCache = 4, kSupportStream = 8 };

// An open device.
class MidiOutPort {
public:
  virtual ~MidiOutPort() = default;
  // A channel message packed as status | data1 << 8 | data2 << 16.
  virtual bool ShortMessage(uint32_t message) = 0;
  // A system-exclusive message, F0 ... F7, passed through as it stands.
  virtual bool LongMessage(std::span<const uint8_t> bytes) = 0;
};

class MidiOutDevice {
public:
  virtual ~MidiOutDevice() = default;
  virtual MidiOutCaps Caps() const = 0;
  // nullptr when the device cannot be opened now.
  virtual std::unique_ptr<MidiOutPort> Open() = 0;
};

// Device -1 is the MIDI mapper, which stands for the default device
// (device 0).
constexpr int kMidiMapper = -1;

// Handles are small non-zero numbers; 0 is no handle.
using MidiOutHandle = uint32_t;

class MidiOutSystem {
public:
  // The device list, rebuilt by Enumerate.
  int Count();
  // The capability record of a device, or of the mapper for -1; false when
  // there is no such device.
  bool Caps(int device, MidiOutCaps* caps);
  MidiOutHandle Open(int device);
  bool Close(MidiOutHandle handle);
  // A short message is refused (false) when its status byte is not a channel
  // or system status (0x80-0xFF) or the handle is not open.
  bool ShortMessage(MidiOutHandle handle, uint32_t message);
  bool LongMessage(MidiOutHandle handle, std::span<const uint8_t> bytes);
  // Builds the device list again from the registered backends.
  void Enumerate();
  int OpenCount();

  // Backends: a factory that lists its devices at each enumeration. The
  // factories run in the order they were added; the first device listed is
  // the default device.
  using Factory = std::function<std::vector<std::shared_ptr<MidiOutDevice>>()>;
  void AddBackend(std::string name, Factory factory);
  // Tests: replaces every backend with a fixed device list.
  void UseDevicesForTesting(std::vector<std::shared_ptr<MidiOutDevice>> devices);

private:
  std::mutex mutex_;
  struct Backend {
    std::string name;
    Factory factory;
  };
  std::vector<Backend> backends_;
  std::vector<std::shared_ptr<MidiOutDevice>> devices_;
  bool enumerated_ = false;
  std::vector<std::unique_ptr<MidiOutPort>> ports_; // handle h is ports_[h - 1]
  void EnumerateLocked();
};

// The process-wide device list.
MidiOutSystem& MidiOut();
// Adds the backends of a normal run to a list (the process-wide one has
// them from the start).
void RegisterDefaultMidiBackends(MidiOutSystem& system);

} // namespace media
