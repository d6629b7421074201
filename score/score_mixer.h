// The recording set-up of the sound card's mixer while a song is scored: the
// record volume (the wave-input destination's volume), the first and fourth
// entries of its recording-source list, and two mutes, the wave-input
// destination's and the microphone's on the recording destination. What it
// changes is put back at the end, except what the user changed meanwhile.
#pragma once

#include "platform/media/mixer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace score {

// The calls whose error texts differ.
enum class MixerCall { kOpen, kCaps, kClose, kLine, kControl, kOther };
// The text kept after a mixer call that gave code.
std::string MixerErrorText(uint32_t code, MixerCall call);

constexpr uint32_t kSetUpRecordVolume = 52428;
constexpr int kSetUpGrace = 5;
// The manufacturer whose recording list runs backwards.
constexpr uint16_t kReversedListManufacturer = 46;

class CScoreMixer {
public:
  CScoreMixer() = default;
  ~CScoreMixer();
  CScoreMixer(const CScoreMixer&) = delete;
  CScoreMixer& operator=(const CScoreMixer&) = delete;

  // Opens mixer 0 with its notices for the window (or the callback), closing
  // an open handle first, and reads its lines, controls and values. False,
  // with the error text kept, when none opens.
  bool Open(win::Hwnd window);
  bool Open(media::MixerCallback callback);
  void Close();
  bool Available() const { return handle_ != 0; }

  // Saves the settings (unless a set-up already saved them) and writes the
  // recording set-up: five writes, whose notices the grace counter absorbs.
  void SetUp();
  // A control-change notice while set up.
  void ControlChanged(uint32_t controlId);
  // Writes back every saved setting the user did not change; nothing when
  // nothing was saved.
  void Restore();

  const std::string& LastError() const { return error_; }
  int Grace() const { return grace_; }
  bool SetUpActive() const { return saved_; }
  // The values last read; volumes as the larger channel.
  uint32_t RecordVolume() const { return recordVolume_; }
  const std::vector<uint32_t>& Selection() const { return selection_; }
  // The list entries used, in the mixer's order: first, then fourth.
  int FirstEntry() const { return order_[0]; }
  int FourthEntry() const { return order_[3]; }
  struct UserChanges {
    bool volume = false, first = false, fourth = false, inputMute = false, micMute = false;
  };
  const UserChanges& Changed() const { return user_; }

private:
  bool OpenWith(bool window, win::Hwnd hwnd, media::MixerCallback callback);
  uint32_t Keep(uint32_t code, MixerCall call);
  void ReadLines();
  uint32_t Control(uint32_t lineId, uint32_t type);
  bool Read(uint32_t control, std::vector<uint32_t>* values);
  void Write(uint32_t control, const std::vector<uint32_t>& values);
  void WriteEntry(int entry, uint32_t value);
  void ReadValues();

  media::MixerHandle handle_ = 0;
  media::MixerCaps caps_;
  std::string error_ = "No Error.";
  int order_[4] = {0, 1, 2, 3};

  // Lines and controls (0 where the mixer has none).
  media::MixerLine speakers_, waveOut_, synth_, recordFirst_, waveIn_;
  uint32_t volumeControl_ = 0, listControl_ = 0, inputMuteControl_ = 0, micMuteControl_ = 0;
  uint32_t speakersVolume_ = 0, waveOutVolume_ = 0, synthVolume_ = 0;
  uint32_t cdVolume_ = 0, lineVolume_ = 0, micVolume_ = 0, pcSpeakerVolume_ = 0;
  uint32_t micOnOff_ = 0;

  // Values last read.
  uint32_t recordVolume_ = 0;
  std::vector<uint32_t> selection_;
  bool inputMuted_ = false, micMuted_ = false;

  // The saved settings.
  bool saved_ = false;
  std::vector<uint32_t> savedVolume_; // each channel
  uint32_t savedFirst_ = 0, savedFourth_ = 0;
  std::vector<uint32_t> savedInputMute_, savedMicMute_;
  UserChanges user_;
  int grace_ = 0;
};

} // namespace score
