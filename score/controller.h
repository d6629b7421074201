// The score controller: the hidden window "MSG_NYVANTA" under the host's
// window that does all of the singing score's work on its thread. Timer 100
// starts the capture of one block and reads the player core's state; the
// block's arrival (MM_WIM_DATA) has it analysed and the listeners told. It
// owns the engine, the wave-input device table and handle, the recording
// mixer and the listener table.
#pragma once

#include "platform/media/riff.h"
#include "platform/media/wavein.h"
#include "platform/sys/library.h"
#include "platform/ui/window/screen.h"
#include "score/core_entries.h"
#include "score/pitch_engine.h"
#include "score/score_listeners.h"
#include "score/score_mixer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace score {

inline constexpr const char* kControllerClass = "MSG_NYVANTA";
inline constexpr const char* kControllerTitle = "MESSAGE";
inline constexpr const char* kStatusClass = "CScoreDebug";
inline constexpr uint32_t kBlockTimer = 100;
inline constexpr uint32_t kDefaultPeriodMs = 200;
inline constexpr win::WParam kScoreTerminate = 2049;
inline constexpr int kMaxWaveInDevices = 10;
inline constexpr uint32_t kStatusWindowId = 100;
// The command by which a control hands out its object (lParam: where to).
inline constexpr win::WParam kQueryControlObject = 0x10000000;
// The string shown when there is no wave-input device.
inline constexpr uint32_t kNoDeviceString = 3;

class CScoreController : public ui::ScreenWindow {
public:
  // Enumerates the devices (a box with text when there are none), then
  // sets the capture format to 22050 Hz, 8 bits, mono. noDeviceText is the
  // text of the box.
  explicit CScoreController(std::string noDeviceText = {});
  ~CScoreController() override;

  // Binds the six names on module; the names it lacks stay null.
  void BindCore(sys::ModuleHandle module);
  // Creates the window under parent (WS_CHILD, 0, 0, 200 x 300).
  bool Create(win::Hwnd parent);
  bool OnOwnThread() const;
  // Runs f on the controller's thread and returns its result.
  intptr_t Call(const std::function<intptr_t()>& f);

  intptr_t EnableScoring(intptr_t enable);
  bool Enabled() const { return enable_ != 0; }
  int32_t SetRecSetting(uint16_t n, uint32_t rate);
  int32_t SetScoreParameter(const uint8_t* block, uint32_t periodMs);
  int32_t StartScoring();
  int32_t TerminateScoring();
  int32_t PauseScoring(int32_t pause);
  int32_t Scoring() const { return scoring_; }
  int32_t Paused() const { return paused_; }
  int32_t Calculate() const;
  float CalculateFloat() const;
  // Plays the verdict of the score from folder and waits for it; 0 when
  // scoring is not enabled.
  int32_t PlayVerdict(const std::string& folder) const;
  // The same for a given score (truncated to a whole number).
  int32_t PlayVerdictOf(float value, const std::string& folder) const;

  int32_t DeviceCount() const { return deviceCount_; }
  void SetCurrentDevice(int16_t device);
  int16_t CurrentDevice() const { return currentDevice_; }
  void CheckDevices();
  uint8_t DeviceName(char* destination, int16_t device) const;

  const media::WaveFormat& CaptureFormat() const { return format_; }
  uint32_t PeriodMs() const { return periodMs_; }
  const PitchEngine& Engine() const { return engine_; }
  ScoreListeners& Listeners() { return listeners_; }
  CScoreMixer& Mixer() { return mixer_; }
  // The player core's state read before the last block.
  const PlayerState& Player() const { return player_; }
  // The last captured block (its recorded bytes).
  std::span<const uint8_t> Block() const;
  int32_t Blocks() const { return blocks_; }
  bool Recording() const { return recording_; }
  bool DeviceOpen() const { return open_; }
  const std::string& LastError() const { return error_; }
  win::Hwnd StatusWindow() const { return statusWindow_; }
  win::Window* StatusObject() const { return statusObject_; }

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  void NewBuffer(uint16_t n);
  bool ApplyFormat();
  bool OpenDevice();
  void CloseDevice();
  void StopInput();
  void StartBlock();
  void BlockDone(media::WaveInHeader* header);
  void DestroyStatusWindow();

  PitchEngine engine_;
  CoreEntries core_;
  CScoreMixer mixer_;
  ScoreListeners listeners_;
  std::string noDeviceText_;

  int16_t deviceCount_ = 0;
  std::array<media::WaveInCaps, kMaxWaveInDevices> caps_{};
  int16_t currentDevice_ = media::kWaveMapper;
  media::WaveInHandle handle_ = 0;
  bool open_ = false;
  media::WaveFormat format_;
  media::WaveInHeader header_;
  std::vector<uint8_t> buffer_;
  uint32_t recordBytes_ = 0;
  bool recording_ = false;
  std::string error_;

  intptr_t enable_ = 0;
  int32_t scoring_ = 0;
  int32_t paused_ = 0;
  bool timerRunning_ = false;
  uint32_t periodMs_ = kDefaultPeriodMs;
  PlayerState player_;
  uint32_t lastRecorded_ = 0;
  int32_t blocks_ = 0;

  win::Hwnd statusWindow_ = 0;
  win::Window* statusObject_ = nullptr;
};

} // namespace score
