// The player core's wave recorder: one "waveaudio" device of the
// media-command layer at a time, recording from the microphone in the
// record setting's format, playing the recording (or a WAV file) back and
// saving it. The device notifies the notification window, which hands each
// notice to OnDeviceNotice.
//
// Everything runs on the host's user-interface thread.
#pragma once

#include "platform/media/mci.h"
#include "platform/win/messages.h"

#include <cstdint>

namespace core {

struct RecordSetting {
  uint32_t rate = 22050;
  uint16_t bits = 8;
  uint16_t channels = 1;
};

// The longest recording, in milliseconds.
inline constexpr uint32_t kRecordLimitMs = 600000;

class WaveRecorder {
public:
  // Each returns 1 when done, 0 when not possible (Stop and Close: 0 when
  // no device is open).
  int32_t Record();
  int32_t Play();
  int32_t Stop();
  // Asks for a file name and saves the recording there.
  int32_t Save();
  // Asks for a WAV file and opens it to be played.
  int32_t Open();
  int32_t Close();

  // A notice of the device (MM_MCINOTIFY's wParam and lParam): a natural end
  // of the recording or the playback stops the device, clears both flags
  // and returns true (the host is then told); a failure only stops and
  // clears; anything else is the trace of a command that replaced it.
  bool OnDeviceNotice(win::WParam flag, win::LParam device);

  int32_t recording = 0;
  int32_t playing = 0;
  int32_t hasWave = 0;
  // The open device; 0 when none.
  media::mci::DeviceId device = 0;
  RecordSetting setting;

private:
  uint32_t Send(const std::string& command, bool notify);
};

WaveRecorder& TheWaveRecorder();

// Whether a record setting can be recorded: 8 or 16 bits, 1 or 2 channels,
// a rate of 1 to 192000 Hz.
bool RecordSettingUsable(const RecordSetting& s);

} // namespace core
