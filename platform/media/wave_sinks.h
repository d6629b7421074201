// Wave output devices without a sound card: a WAV file sink and a recording
// sink for the tests. Both take the bytes of a buffer as they fall due on the
// process's time source (a periodic event of kSinkPeriodMs), so that a buffer
// completes after its sound's length, on the real clock or a virtual one,
// and a reset cuts it where the clock stood.
#pragma once

#include "platform/media/waveout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

constexpr uint32_t kSinkPeriodMs = 10;
constexpr uint16_t kManufacturerVexoWave = 0xFF;
constexpr uint16_t kProductWavSink = 0x7E20;
constexpr uint16_t kProductRecordingSink = 0x7E21;

// Writes what is played to a WAV file: openings in the format of the one
// before add to the file, one in another format writes it anew; the header
// is brought up to date whenever a buffer ends and at close. When announce
// is set, the first opening says on stderr, once per process, that the
// waves go to the file.
std::shared_ptr<WaveOutDevice> WavSinkDevice(std::string path, bool announce = false);

// One opening of a recording sink.
struct RecordedWaveStream {
  WaveFormat format;
  uint32_t openMs = 0;
  struct Chunk {
    uint32_t timeMs = 0; // when these bytes fell due
    std::vector<uint8_t> bytes;
  };
  std::vector<Chunk> chunks;
  std::vector<uint8_t> Bytes() const; // every chunk, in order
  bool closed = false;
};

class RecordingWaveOut final : public WaveOutDevice {
public:
  explicit RecordingWaveOut(std::string_view name = "Recording Wave Out");
  ~RecordingWaveOut() override;

  WaveOutCaps Caps() const override;
  std::unique_ptr<WaveOutStream> Open(const WaveFormat& format, uint32_t* result) override;

  // While set, Open fails (kWaveNoDriver) or Play fails.
  void SetOpenFails(bool fails);
  void SetPlayFails(bool fails);

  std::vector<RecordedWaveStream> Streams() const;
  int Opens() const;
  int Closes() const;
  int OpenStreams() const;
  void Clear();

  struct Log;

private:
  std::shared_ptr<Log> log_;
};

} // namespace media
