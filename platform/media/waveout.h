// Wave output: a stable list of devices with their capability records, opened
// with a PCM format into handles that play prepared buffers in order and
// report each one's completion through a callback. The backends are ALSA
// playback devices ("default" first, so the sound server or dmix mixes it
// beside the synthesizer), a WAV file sink that writes exactly what is played
// at the pace of the process's time source, and the recording sink of the
// tests (wave_sinks.h).
#pragma once

#include "platform/media/riff.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// The 52-byte capability record of a wave output device.
struct WaveOutCaps {
  uint16_t manufacturerId = 0;
  uint16_t productId = 0;
  uint32_t driverVersion = 0;
  std::array<char, 32> name{}; // zero-terminated, at most 31 characters
  uint32_t formats = 0;        // kWaveFormat* bits
  uint16_t channels = 2;
  uint16_t reserved = 0;
  uint32_t support = 0;

  std::string Name() const;
  void SetName(std::string_view text);
  // Writes the record in its little-endian byte layout.
  void Serialize(std::span<uint8_t, 52> out) const;
};

// Standard formats of the record: 11025, 22050, 44100 Hz x mono/stereo x 8/16 bits.
constexpr uint32_t kWaveFormatsAll = 0x0FFF;

// Results; 0 is success.
enum WaveResult : uint32_t {
  kWaveOk = 0,
  kWaveError = 1,
  kWaveBadDevice = 2,
  kWaveBadHandle = 5,
  kWaveNoDriver = 6,
  kWaveNoMemory = 7,
  kWaveBadParam = 11,
  kWaveBadFormat = 32,
  kWaveStillPlaying = 33,
  kWaveUnprepared = 34,
};
// The text of a result, as shown to the user.
std::string WaveErrorText(uint32_t result);

// Header flags.
enum : uint32_t { kHeaderDone = 1, kHeaderPrepared = 2, kHeaderInQueue = 0x10 };

// A buffer to play. The caller keeps it and its data alive from Write until
// it is done (kHeaderDone set, the callback called) and unprepared.
struct WaveOutHeader {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  std::atomic<uint32_t> flags{0};
};

// An open stream of a device: plays one buffer at a time.
class WaveOutStream {
public:
  // Stops at once; no done is called once it has returned.
  virtual ~WaveOutStream() = default;
  // Starts playing bytes (whole frames); done is called once when they have
  // been played, on a thread of the stream (never inside Play). False when
  // the stream cannot play.
  virtual bool Play(std::span<const uint8_t> bytes, std::function<void()> done) = 0;
  // Ends the buffer in play: its done has run when Reset returns.
  virtual void Reset() = 0;
};

class WaveOutDevice {
public:
  virtual ~WaveOutDevice() = default;
  virtual WaveOutCaps Caps() const = 0;
  // nullptr, with the result in *result, when it cannot be opened now.
  virtual std::unique_ptr<WaveOutStream> Open(const WaveFormat& format, uint32_t* result) = 0;
};

// Device -1 is the wave mapper: the first device that opens with the format,
// else the fallback device.
constexpr int kWaveMapper = -1;

// Handles are small non-zero numbers; 0 is no handle.
using WaveOutHandle = uint32_t;

// Called when a header is done: on the stream's thread (the time source's
// timer thread for the sinks), or inside Reset on the caller's thread. It
// must not call back into the wave output of its handle; post instead.
using WaveOutCallback = std::function<void(WaveOutHandle, WaveOutHeader*)>;

class WaveOutSystem {
public:
  ~WaveOutSystem();

  int Count();
  // The record of a device, or of the mapper for -1; false when there is
  // no such device.
  bool Caps(int device, WaveOutCaps* caps);
  // PCM only, 8 or 16 bits, 1 or 2 channels, a rate of 1 to 192000 Hz.
  uint32_t Open(int device, const WaveFormat& format, WaveOutCallback callback,
                WaveOutHandle* handle);
  // Refused while buffers are queued (kWaveStillPlaying).
  uint32_t Close(WaveOutHandle handle);
  uint32_t Prepare(WaveOutHandle handle, WaveOutHeader* header);
  uint32_t Unprepare(WaveOutHandle handle, WaveOutHeader* header);
  // Queues a prepared header; buffers play in the order written.
  uint32_t Write(WaveOutHandle handle, WaveOutHeader* header);
  // Ends the buffer in play and every queued one: all are done, their
  // callbacks have run, when Reset returns.
  uint32_t Reset(WaveOutHandle handle);
  int OpenCount();

  using Factory = std::function<std::vector<std::shared_ptr<WaveOutDevice>>()>;
  void AddBackend(std::string name, Factory factory);
  // The device the mapper opens when no listed device opens.
  void SetFallback(std::shared_ptr<WaveOutDevice> device);
  void Enumerate();
  // Replaces every backend with a fixed list and no fallback (renders, tests).
  void UseDevices(std::vector<std::shared_ptr<WaveOutDevice>> devices);

private:
  struct Handle;
  std::shared_ptr<Handle> Find(WaveOutHandle handle);
  void EnumerateLocked();

  std::mutex mutex_;
  struct Backend {
    std::string name;
    Factory factory;
  };
  std::vector<Backend> backends_;
  std::shared_ptr<WaveOutDevice> fallback_;
  std::vector<std::shared_ptr<WaveOutDevice>> devices_;
  bool enumerated_ = false;
  std::vector<std::shared_ptr<Handle>> handles_; // handle h is handles_[h - 1]
};

// The process-wide wave output, with the backends of a normal run: the ALSA
// devices, or only the WAV sink writing $VEXO_WAVE_WAV when it is set; the
// fallback writes "wave.wav" in the runtime folder and says so once.
WaveOutSystem& WaveOut();

// Plays a WAV file through the mapper, stopping the sound played before.
// With wait, returns when it has been played (on a virtual clock another
// thread must move the clock on). False when the file cannot be read or
// played. An empty path only stops the sound.
bool PlayWaveFile(const std::string& path, bool wait);
// The same for a sound in memory.
bool PlayWaveSound(const Wave& wave, bool wait);

} // namespace media
