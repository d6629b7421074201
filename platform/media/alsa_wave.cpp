#include "platform/media/alsa_wave.h"

#include "platform/media/alsa_quiet.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace media {
namespace {

// How much is written at a time, so that a reset is seen soon.
constexpr uint32_t kChunkMs = 20;
constexpr unsigned kLatencyUs = 100000;

class AlsaStream final : public WaveOutStream {
public:
  AlsaStream(snd_pcm_t* pcm, snd_config_t* config, const WaveFormat& format)
      : pcm_(pcm), config_(config), format_(format) {
    thread_ = std::thread([this] { Run(); });
  }

  ~AlsaStream() override {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
      cancel_ = true;
    }
    wake_.notify_all();
    thread_.join();
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    if (config_)
      snd_config_delete(config_);
  }

  bool Play(std::span<const uint8_t> bytes, std::function<void()> done) override {
    std::lock_guard lock(mutex_);
    if (pending_ || failed_)
      return false;
    bytes_ = bytes.first(bytes.size() / format_.blockAlign * format_.blockAlign);
    done_ = std::move(done);
    pending_ = true;
    ++started_;
    cancel_ = false;
    wake_.notify_all();
    return true;
  }

  void Reset() override {
    std::unique_lock lock(mutex_);
    if (finished_ == started_)
      return;
    const uint64_t last = started_;
    cancel_ = true;
    wake_.notify_all();
    idle_.wait(lock, [&] { return finished_ >= last; });
  }

private:
  void Run() {
    pthread_setname_np(pthread_self(), "vexo3-wave");
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || (pending_ && !playing_); });
      if (quit_)
        return;
      playing_ = true;
      const std::span<const uint8_t> bytes = bytes_;
      lock.unlock();
      PlayAll(bytes);
      lock.lock();
      std::function<void()> done = std::move(done_);
      done_ = nullptr;
      playing_ = false;
      pending_ = false; // done may play the next buffer
      lock.unlock();
      done();
      lock.lock();
      ++finished_;
      idle_.notify_all();
    }
  }

  bool Cancelled() {
    std::lock_guard lock(mutex_);
    return cancel_;
  }

  void PlayAll(std::span<const uint8_t> bytes) {
    const snd_pcm_state_t state = snd_pcm_state(pcm_);
    if (state != SND_PCM_STATE_PREPARED && state != SND_PCM_STATE_RUNNING)
      snd_pcm_prepare(pcm_);
    const size_t frame = format_.blockAlign;
    const size_t chunk = std::max<size_t>(1, format_.rate * kChunkMs / 1000) * frame;
    size_t at = 0;
    while (at < bytes.size() && !Cancelled()) {
      const size_t n = std::min(chunk, bytes.size() - at);
      snd_pcm_sframes_t w = snd_pcm_writei(pcm_, bytes.data() + at, n / frame);
      if (w < 0) {
        if (snd_pcm_recover(pcm_, static_cast<int>(w), 1) < 0) {
          std::lock_guard lock(mutex_);
          failed_ = true;
          break;
        }
        continue;
      }
      at += static_cast<size_t>(w) * frame;
    }
    // Short sounds stay below the start threshold: start them.
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED && at > 0)
      snd_pcm_start(pcm_);
    // Until the device has played what it holds.
    while (!Cancelled()) {
      snd_pcm_sframes_t delay = 0;
      if (snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING || snd_pcm_delay(pcm_, &delay) < 0 ||
          delay <= 0)
        break;
      const uint64_t ms = static_cast<uint64_t>(delay) * 1000 / format_.rate;
      std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp<uint64_t>(ms, 1, 5)));
    }
    if (Cancelled()) {
      snd_pcm_drop(pcm_);
      snd_pcm_prepare(pcm_);
    }
  }

  snd_pcm_t* pcm_;
  snd_config_t* config_;
  const WaveFormat format_;
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::span<const uint8_t> bytes_;
  std::function<void()> done_;
  bool pending_ = false; // a buffer was given and its done has not begun
  uint64_t started_ = 0;  // buffers given
  uint64_t finished_ = 0; // buffers whose done has returned
  bool playing_ = false;
  bool cancel_ = false;
  bool quit_ = false;
  bool failed_ = false;
};

class AlsaDevice final : public WaveOutDevice {
public:
  AlsaDevice(std::string name, std::string description, std::string configText)
      : name_(std::move(name)), description_(std::move(description)),
        configText_(std::move(configText)) {}

  WaveOutCaps Caps() const override {
    WaveOutCaps c;
    c.manufacturerId = kManufacturerVexoWaveAlsa;
    c.productId = kProductAlsaWave;
    c.driverVersion = 0x0100;
    c.SetName(description_);
    c.formats = kWaveFormatsAll;
    return c;
  }

  std::unique_ptr<WaveOutStream> Open(const WaveFormat& format, uint32_t* result) override {
    if (format.formatTag != 1 || (format.bits != 8 && format.bits != 16) ||
        (format.channels != 1 && format.channels != 2) || format.rate == 0) {
      *result = kWaveBadFormat;
      return nullptr;
    }
    QuietAlsaProbe quiet;
    snd_config_t* config = nullptr;
    snd_pcm_t* pcm = nullptr;
    int r;
    if (!configText_.empty()) {
      snd_input_t* in = nullptr;
      if (snd_config_top(&config) < 0) {
        *result = kWaveNoMemory;
        return nullptr;
      }
      r = snd_input_buffer_open(&in, configText_.data(), static_cast<ssize_t>(configText_.size()));
      if (r >= 0) {
        r = snd_config_load(config, in);
        snd_input_close(in);
      }
      if (r >= 0)
        r = snd_pcm_open_lconf(&pcm, name_.c_str(), SND_PCM_STREAM_PLAYBACK, 0, config);
    } else {
      r = snd_pcm_open(&pcm, name_.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    }
    if (r >= 0)
      r = snd_pcm_set_params(pcm, format.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE,
                             SND_PCM_ACCESS_RW_INTERLEAVED, format.channels, format.rate, 1,
                             kLatencyUs);
    if (r < 0) {
      if (pcm)
        snd_pcm_close(pcm);
      if (config)
        snd_config_delete(config);
      *result = r == -EINVAL ? kWaveBadFormat : kWaveNoDriver;
      return nullptr;
    }
    *result = kWaveOk;
    return std::make_unique<AlsaStream>(pcm, config, format);
  }

private:
  static constexpr uint16_t kManufacturerVexoWaveAlsa = 0xFF;
  std::string name_;
  std::string description_;
  std::string configText_;
};

} // namespace

std::shared_ptr<WaveOutDevice> AlsaWaveDevice(std::string pcmName, std::string description,
                                              std::string configText) {
  return std::make_shared<AlsaDevice>(std::move(pcmName), std::move(description),
                                      std::move(configText));
}

std::vector<std::shared_ptr<WaveOutDevice>> AlsaWaveDevices() {
  std::vector<std::shared_ptr<WaveOutDevice>> devices;
  devices.push_back(AlsaWaveDevice("default", "Default Sound Output"));
  QuietAlsaProbe quiet;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0)
    return devices;
  for (void** h = hints; *h; ++h) {
    char* name = snd_device_name_get_hint(*h, "NAME");
    char* desc = snd_device_name_get_hint(*h, "DESC");
    char* ioid = snd_device_name_get_hint(*h, "IOID");
    const bool playback = !ioid || std::strcmp(ioid, "Output") == 0;
    if (name && playback && std::strcmp(name, "default") != 0 && std::strcmp(name, "null") != 0) {
      std::string text = desc ? desc : name;
      // The first line of the description names the device.
      text = text.substr(0, text.find('\n'));
      devices.push_back(AlsaWaveDevice(name, text));
    }
    std::free(name);
    std::free(desc);
    std::free(ioid);
  }
  snd_device_name_free_hint(hints);
  return devices;
}

} // namespace media
