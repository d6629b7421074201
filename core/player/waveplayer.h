// The embedded waves' player: a song's wave slots played through wave
// output (the mapper), one at a time, with the singing score paused while
// one sounds. The wave bank dialog and a due wave event (kind 12) play
// through it.
//
// Everything here runs on the thread of the notification window (the
// host's user-interface thread). The wave output's completion only posts to
// that window; the reset, close and resume run there, once per wave.
#pragma once

#include "core/songdata.h"
#include "core/songevent.h"
#include "core/wavebank.h"
#include "platform/media/riff.h"
#include "platform/media/waveout.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace core {

constexpr int kMaxWaveDevices = 10;
constexpr size_t kWaveErrorTextSize = 256;

class WavePlayer {
public:
  // Counts the output devices and keeps the records of the first ten.
  void InitWaveOut();
  // Opens the mapper with the current format: 1, or 0 with the error text.
  int32_t OpenWaveOut();
  void CloseWaveOut();
  // Ends the wave in play and releases the header once the device is done
  // with it; isPlaying = 0.
  void ResetWaveOut();
  // The header and the current format from a slot's data.
  void PlayWaveSlot(const uint8_t* data, uint32_t size, uint16_t bits, uint16_t channels,
                    uint32_t rate);
  // 1 when the header was prepared and written (isPlaying = 1).
  int32_t WriteWave();
  // Reads a RIFF WAVE file: PCM of 8 or 16 bits and 1 or 2 channels. 1 on
  // success: FileFormat() is the file's and TakeFileData() gives its data
  // (whole frames); 0 leaves both as they were. The wave in play, its
  // header and format are not touched.
  int32_t ReadWaveFile(const std::string& path);
  const media::WaveFormat& FileFormat() const { return fileFormat_; }
  // The data read by the last successful ReadWaveFile, handed over.
  std::vector<uint8_t> TakeFileData() { return std::move(fileData_); }

  // Plays a slot: stops the wave in play, opens the output (failure: -1,
  // nothing plays and scoring runs on), pauses scoring while it sounds and
  // writes the wave (failure: 0, closed, scoring resumed). 1 when it plays.
  int32_t PlaySlot(const WaveSlot& slot);
  // The stop button: resets and closes an open device, resumes scoring.
  void Stop();
  // True while slot's data is what sounds (the dialog frees no such slot).
  bool Sounds(const WaveSlot& slot) const;
  // The completion of wave number `wave`, on the notification window's
  // thread: reset, close, resume scoring; a wave replaced since is ignored.
  void OnDone(uint32_t wave);

  int32_t DeviceCount() const { return deviceCount_; }
  const std::array<uint8_t, 52>& DeviceCaps(int i) const { return caps_[static_cast<size_t>(i)]; }
  const char* ErrorText() const { return errorText_.data(); }
  const media::WaveFormat& Format() const { return format_; }
  int32_t isOpen = 0;
  int32_t isPlaying = 0;
  int32_t deviceId = media::kWaveMapper;

private:
  void Resume();

  int32_t deviceCount_ = 0;
  std::array<std::array<uint8_t, 52>, kMaxWaveDevices> caps_{};
  std::array<char, kWaveErrorTextSize> errorText_{};
  media::WaveFormat format_ = media::WaveFormat::Pcm(11025, 8, 1);
  media::WaveOutHeader header_;
  bool prepared_ = false;
  media::WaveOutHandle handle_ = 0;
  media::WaveFormat fileFormat_ = media::WaveFormat::Pcm(11025, 8, 1);
  std::vector<uint8_t> fileData_;
  // The number of the wave last written; read by the device's thread.
  std::atomic<uint32_t> wave_{0};
  bool paused_ = false; // scoring paused by a wave
};

WavePlayer& TheWavePlayer();

// The notification window's message of a wave's completion (wParam: the
// wave's number).
constexpr uint32_t kWaveOutDone = 0x03BD;

// A due kind-12 event: plays slot (data's low 16 bits, signed) of the song.
// -1 when wave output cannot be opened, else 0.
int32_t PlayWaveEvent(const SongEvent& event);

} // namespace core
