// Wave input: a stable list of capture devices with their capability records,
// opened with a PCM format into handles that fill added buffers in order and
// report each one's completion to a window (MM_WIM_OPEN/DATA/CLOSE) or a
// callback. The backends are ALSA capture devices ("default" first, which
// reaches the sound server where there is one) and a WAV-file microphone that
// plays a recorded voice into the capture on the process's time source.
#pragma once

#include "platform/media/riff.h"
#include "platform/media/waveout.h"
#include "platform/win/messages.h"

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

// The 48-byte capability record of a wave input device.
struct WaveInCaps {
  uint16_t manufacturerId = 0;
  uint16_t productId = 0;
  uint32_t driverVersion = 0;
  std::array<char, 32> name{}; // zero-terminated, at most 31 characters
  uint32_t formats = 0;        // kWaveFormat* bits, as on wave output
  uint16_t channels = 1;
  uint16_t reserved = 0;

  std::string Name() const;
  void SetName(std::string_view text);
  // Writes the record in its little-endian byte layout.
  void Serialize(std::span<uint8_t, 48> out) const;
};

// The format bit of rate (11025, 22050 or 44100), bits and channels; 0 for
// any other combination.
uint32_t WaveFormatBit(uint32_t rate, uint16_t bits, uint16_t channels);

// The notices a window receives: wParam the handle, lParam the header (DATA).
inline constexpr uint32_t MM_WIM_OPEN = 0x03BE;
inline constexpr uint32_t MM_WIM_CLOSE = 0x03BF;
inline constexpr uint32_t MM_WIM_DATA = 0x03C0;

// A buffer to fill. The caller keeps it and its data alive from Add until it
// is done (kHeaderDone set, the notice sent) and unprepared.
struct WaveInHeader {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  std::atomic<uint32_t> bytesRecorded{0};
  std::atomic<uint32_t> flags{0};
};

// An open capture of a device.
class WaveInStream {
public:
  // Stops first.
  virtual ~WaveInStream() = default;
  // Starts capturing: sink gets the captured bytes (whole frames) on a
  // thread of the stream, never inside Start. False when it cannot start.
  virtual bool Start(std::function<void(std::span<const uint8_t>)> sink) = 0;
  // No sink call is under way or follows once it has returned.
  virtual void Stop() = 0;
};

class WaveInDevice {
public:
  virtual ~WaveInDevice() = default;
  virtual WaveInCaps Caps() const = 0;
  // nullptr, with the result in *result, when it cannot be opened now.
  virtual std::unique_ptr<WaveInStream> Open(const WaveFormat& format, uint32_t* result) = 0;
};

using WaveInHandle = uint32_t;
// Called with MM_WIM_OPEN inside Open, MM_WIM_DATA when a buffer is done (on
// the stream's thread, or on the caller's in Stop and Reset) and MM_WIM_CLOSE
// inside Close. It must not call back into the wave input; post instead.
using WaveInCallback = std::function<void(WaveInHandle, uint32_t message, WaveInHeader*)>;

class WaveInSystem {
public:
  ~WaveInSystem();

  int Count();
  // The record of a device, or of the mapper for -1 (kWaveMapper).
  bool Caps(int device, WaveInCaps* caps);
  // PCM only, 8 or 16 bits, 1 or 2 channels, a rate of 1 to 192000 Hz. The
  // mapper opens the first device that opens with the format.
  uint32_t Open(int device, const WaveFormat& format, WaveInCallback callback,
                WaveInHandle* handle);
  // The same with the notices posted to a window.
  uint32_t Open(int device, const WaveFormat& format, win::Hwnd window, WaveInHandle* handle);
  // Refused while buffers are queued (kWaveStillPlaying).
  uint32_t Close(WaveInHandle handle);
  uint32_t Prepare(WaveInHandle handle, WaveInHeader* header);
  uint32_t Unprepare(WaveInHandle handle, WaveInHeader* header);
  // Queues a prepared header; buffers fill in the order added.
  uint32_t Add(WaveInHandle handle, WaveInHeader* header);
  uint32_t Start(WaveInHandle handle);
  // Stops capturing; the buffer being filled is done with what it holds
  // (when it holds anything), the others stay queued.
  uint32_t Stop(WaveInHandle handle);
  // Stops and marks every queued buffer done.
  uint32_t Reset(WaveInHandle handle);
  int OpenCount();

  using Factory = std::function<std::vector<std::shared_ptr<WaveInDevice>>()>;
  void AddBackend(std::string name, Factory factory);
  void Enumerate();
  // Replaces every backend with a fixed list (tests, the host's microphone).
  void UseDevices(std::vector<std::shared_ptr<WaveInDevice>> devices);

private:
  struct Handle;
  std::shared_ptr<Handle> Find(WaveInHandle handle);
  void EnumerateLocked();

  std::mutex mutex_;
  struct Backend {
    std::string name;
    Factory factory;
  };
  std::vector<Backend> backends_;
  std::vector<std::shared_ptr<WaveInDevice>> devices_;
  bool enumerated_ = false;
  std::vector<std::shared_ptr<Handle>> handles_; // handle h is handles_[h - 1]
};

// The text of a result, as shown to the user.
std::string WaveInErrorText(uint32_t result);

// The process-wide wave input: the ALSA capture devices, or only the WAV
// microphone of $VEXO_MIC_WAV when it is set.
WaveInSystem& WaveIn();

constexpr uint16_t kProductWavMicrophone = 0x7E40;
constexpr uint16_t kProductAlsaWaveIn = 0x7E41;

// A microphone that sings a WAV file: a capture started at time t gets the
// file's sound from t minus the microphone's start, converted to the opened
// format and paced by the process's time source, and silence after its end.
// The start is the time source's clock when it is made, or SetStart's.
class WavMicrophone final : public WaveInDevice {
public:
  // nullptr, with the reason, when the file cannot be read.
  static std::shared_ptr<WavMicrophone> FromFile(const std::string& path, std::string* error);
  explicit WavMicrophone(Wave wave, std::string name = "Wave File Microphone");

  void SetStart(uint32_t ms);
  uint32_t StartMs() const;

  WaveInCaps Caps() const override;
  std::unique_ptr<WaveInStream> Open(const WaveFormat& format, uint32_t* result) override;

  struct State;

private:
  std::shared_ptr<State> state_;
};

// ALSA capture: "default", then each capture device ALSA lists, each kept
// only when it opens; the record's formats are probed on the device.
std::vector<std::shared_ptr<WaveInDevice>> AlsaWaveInDevices();
// A device on PCM name: from the system's configuration, or from a
// configuration text of its own when configText is not empty (tests).
std::shared_ptr<WaveInDevice> AlsaWaveInDevice(std::string pcmName, std::string description,
                                               std::string configText = {});

} // namespace media
