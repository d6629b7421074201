#include "core/player/waveplayer.h"

#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstring>

namespace core {

void WavePlayer::InitWaveOut() {
  const int count = media::WaveOut().Count();
  deviceCount_ = std::min(count, kMaxWaveDevices);
  for (int i = 0; i < deviceCount_; ++i) {
    media::WaveOutCaps caps;
    if (media::WaveOut().Caps(i, &caps))
      caps.Serialize(caps_[static_cast<size_t>(i)]);
  }
}

int32_t WavePlayer::OpenWaveOut() {
  if (isOpen)
    return 1;
  // The completion travels as the wave's number to the notification
  // window; the device's thread does nothing else.
  const uint32_t result = media::WaveOut().Open(
      deviceId, format_,
      [this](media::WaveOutHandle, media::WaveOutHeader*) {
        if (const win::Hwnd window = NotifyWindow())
          win::PostMessage(window, kWaveOutDone, wave_.load(), 0);
      },
      &handle_);
  if (result != media::kWaveOk) {
    const std::string text = media::WaveErrorText(result);
    errorText_.fill('\0');
    std::memcpy(errorText_.data(), text.data(), std::min(text.size(), errorText_.size() - 1));
    handle_ = 0;
    return 0;
  }
  isOpen = 1;
  return 1;
}

void WavePlayer::CloseWaveOut() {
  if (!isOpen)
    return;
  ResetWaveOut();
  media::WaveOut().Close(handle_);
  handle_ = 0;
  isOpen = 0;
}

void WavePlayer::ResetWaveOut() {
  if (isOpen) {
    // The header is done once Reset has returned.
    media::WaveOut().Reset(handle_);
    if (prepared_)
      media::WaveOut().Unprepare(handle_, &header_);
  }
  prepared_ = false;
  isPlaying = 0;
}

void WavePlayer::PlayWaveSlot(const uint8_t* data, uint32_t size, uint16_t bits,
                              uint16_t channels, uint32_t rate) {
  header_.data = data;
  header_.size = size;
  header_.flags = 0;
  format_ = media::WaveFormat::Pcm(rate, bits, channels);
}

int32_t WavePlayer::WriteWave() {
  if (!isOpen)
    return 0;
  if (media::WaveOut().Prepare(handle_, &header_) != media::kWaveOk)
    return 0;
  prepared_ = true;
  // The number moves on before the write: a completion posted from now on
  // belongs to this wave.
  ++wave_;
  if (media::WaveOut().Write(handle_, &header_) != media::kWaveOk) {
    media::WaveOut().Unprepare(handle_, &header_);
    prepared_ = false;
    return 0;
  }
  isPlaying = 1;
  return 1;
}

int32_t WavePlayer::ReadWaveFile(const std::string& path) {
  std::string error;
  auto wave = media::ReadWaveFile(path, &error);
  // The format word keeps 24 bits of rate.
  if (!wave || wave->format.rate > 0xFFFFFF)
    return 0;
  fileFormat_ = media::WaveFormat::Pcm(wave->format.rate, wave->format.bits, wave->format.channels);
  fileData_ = std::move(wave->data);
  return 1;
}

void WavePlayer::Resume() {
  if (paused_) {
    paused_ = false;
    TheApp().scoreTable.PauseScoring(0);
  }
}

int32_t WavePlayer::PlaySlot(const WaveSlot& slot) {
  if (isOpen)
    CloseWaveOut();
  const uint32_t word = slot.format;
  const uint16_t channels = FormatWordChannels(word), bits = FormatWordBits(word);
  const uint32_t rate = FormatWordRate(word);
  PlayWaveSlot(slot.pcm.data(), static_cast<uint32_t>(slot.pcm.size()), bits, channels, rate);
  if (!OpenWaveOut()) {
    // A wave replaced here had paused scoring: nothing sounds any more.
    Resume();
    return -1;
  }
  if (!paused_ && TheApp().scoreTable.PauseScoring(1))
    paused_ = true;
  if (!WriteWave()) {
    CloseWaveOut();
    Resume();
    return 0;
  }
  return 1;
}

void WavePlayer::Stop() {
  CloseWaveOut();
  Resume();
}

bool WavePlayer::Sounds(const WaveSlot& slot) const {
  return isPlaying && !slot.pcm.empty() && header_.data == slot.pcm.data();
}

void WavePlayer::OnDone(uint32_t wave) {
  if (wave != wave_ || !isPlaying)
    return;
  CloseWaveOut();
  Resume();
}

WavePlayer& TheWavePlayer() {
  static WavePlayer* player = new WavePlayer;
  return *player;
}

int32_t PlayWaveEvent(const SongEvent& event) {
  const int slot = static_cast<int16_t>(event.data & 0xFFFF);
  const CSongData& song = TheSong();
  if (slot < 0 || slot >= static_cast<int>(song.waves.size()))
    return 0;
  return TheWavePlayer().PlaySlot(song.waves[static_cast<size_t>(slot)]) < 0 ? -1 : 0;
}

} // namespace core
