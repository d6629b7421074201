#include "core/player/waverecorder.h"

#include "core/messages.h"
#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "core/player/transport.h"
#include "platform/media/waveaudio.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"

#include <string>
#include <sys/stat.h>

namespace core {
namespace {

// The filter of the recorder's file dialogs.
constexpr uint32_t kWaveFilterString = 4;

std::string WaveFilter() {
  if (const res::Bundle* bundle = TheApp().Resources())
    if (auto text = bundle->String(kWaveFilterString))
      return *text;
  return "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||";
}

bool HasExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

} // namespace

bool RecordSettingUsable(const RecordSetting& s) {
  return (s.bits == 8 || s.bits == 16) && (s.channels == 1 || s.channels == 2) && s.rate >= 1 &&
         s.rate <= 192000;
}

uint32_t WaveRecorder::Send(const std::string& command, bool notify) {
  if (!notify)
    return media::mci::SendCommand(device, command, nullptr, 0);
  return media::mci::SendCommand(device, command + " notify", nullptr, 0, NotifyWindow());
}

int32_t WaveRecorder::Record() {
  Close();
  if (!RecordSettingUsable(setting))
    return 0;
  media::RegisterWaveAudioDevice();
  media::mci::OpenParams open;
  open.type = "waveaudio";
  if (media::mci::Open(open, &device) != media::mci::kOk) {
    device = 0;
    return 0;
  }
  const uint32_t align = setting.bits / 8u * setting.channels;
  const std::string format = "time format ms format tag pcm bitspersample " +
                             std::to_string(setting.bits) + " samplespersec " +
                             std::to_string(setting.rate) + " channels " +
                             std::to_string(setting.channels) + " alignment " +
                             std::to_string(align) + " bytespersec " +
                             std::to_string(align * setting.rate);
  if (Send("set " + format, false) != media::mci::kOk ||
      Send("record to " + std::to_string(kRecordLimitMs), true) != media::mci::kOk) {
    Close();
    return 0;
  }
  recording = 1;
  playing = 0;
  hasWave = 1;
  return 1;
}

int32_t WaveRecorder::Play() {
  if (!hasWave || !device || Send("play from 0", true) != media::mci::kOk)
    return 0;
  recording = 0; // a recording under way ends where play begins
  playing = 1;
  return 1;
}

int32_t WaveRecorder::Stop() {
  recording = 0;
  playing = 0;
  if (!device)
    return 0;
  Send("stop wait", false);
  return 1;
}

int32_t WaveRecorder::Save() {
  if (!hasWave || !device)
    return 0;
  ui::OpenFileRequest request;
  request.filter = WaveFilter();
  request.askOverwrite = false; // asked below, once the name is complete
  request.owner = NotifyWindow();
  const std::optional<ui::FileChoice> choice = ui::GetSaveFileName(request);
  if (!choice || choice->path.empty())
    return 0;
  std::string path = choice->path;
  if (!HasExtension(path))
    path += ".wav";
  if (Exists(path) && ui::MessageBox(PlayerMessageString(kMsgOverwriteFile), kPlayerMessageCaption,
                                     ui::MB_YESNO | ui::MB_ICONQUESTION) != ui::IDYES)
    return 0;
  return Send("save " + media::mci::QuoteWord(path, true), false) == media::mci::kOk ? 1 : 0;
}

int32_t WaveRecorder::Open() {
  Close();
  ui::OpenFileRequest request;
  request.filter = WaveFilter();
  request.owner = NotifyWindow();
  const std::optional<std::string> path = ui::GetOpenFileName(request);
  if (!path || path->empty())
    return 0;
  media::RegisterWaveAudioDevice();
  media::mci::OpenParams open;
  open.type = "waveaudio";
  open.element = *path;
  if (media::mci::Open(open, &device) != media::mci::kOk) {
    device = 0;
    return 0;
  }
  hasWave = 1;
  return 1;
}

int32_t WaveRecorder::Close() {
  if (recording || playing)
    Stop();
  const bool open = device != 0;
  if (open)
    media::mci::SendCommand(device, "close");
  device = 0;
  hasWave = 0;
  return open ? 1 : 0;
}

bool WaveRecorder::OnDeviceNotice(win::WParam flag, win::LParam from) {
  if (!device || from != static_cast<win::LParam>(device))
    return false; // a device closed since
  if (!recording && !playing)
    return false; // stopped already: an end that crossed the stop is no natural end
  if (flag != media::mci::kNotifySuccessful && flag != media::mci::kNotifyFailure)
    return false;
  // A notice that was on its way while a new record or play began belongs
  // to the take before: the device is busy with the new one.
  std::string mode;
  media::mci::SendCommand(device, "status mode", &mode);
  if (mode == "recording" || mode == "playing")
    return false;
  Stop();
  return flag == media::mci::kNotifySuccessful;
}

WaveRecorder& TheWaveRecorder() {
  static WaveRecorder* recorder = new WaveRecorder;
  return *recorder;
}

} // namespace core
