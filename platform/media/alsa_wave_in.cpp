// ALSA capture devices for wave input.
#include "platform/media/wavein.h"

#include "platform/media/alsa_quiet.h"
#include "platform/media/wave_sinks.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace media {
namespace {

// How much is read at a time, so that a stop is seen soon.
constexpr uint32_t kChunkMs = 20;
constexpr unsigned kLatencyUs = 100000;

// Opens the capture PCM name, from configText when it is not empty; the
// configuration, if any, goes to *config for the caller to delete after the
// PCM is closed.
int OpenPcm(const std::string& name, const std::string& configText, int mode, snd_pcm_t** pcm,
            snd_config_t** config) {
  *pcm = nullptr;
  *config = nullptr;
  if (configText.empty())
    return snd_pcm_open(pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, mode);
  int r = snd_config_top(config);
  if (r < 0)
    return r;
  snd_input_t* in = nullptr;
  r = snd_input_buffer_open(&in, configText.data(), static_cast<ssize_t>(configText.size()));
  if (r >= 0) {
    r = snd_config_load(*config, in);
    snd_input_close(in);
  }
  if (r >= 0)
    r = snd_pcm_open_lconf(pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, mode, *config);
  if (r < 0) {
    snd_config_delete(*config);
    *config = nullptr;
  }
  return r;
}

class AlsaInStream final : public WaveInStream {
public:
  AlsaInStream(snd_pcm_t* pcm, snd_config_t* config, const WaveFormat& format)
      : pcm_(pcm), config_(config), format_(format) {}

  ~AlsaInStream() override {
    Stop();
    snd_pcm_close(pcm_);
    if (config_)
      snd_config_delete(config_);
  }

  bool Start(std::function<void(std::span<const uint8_t>)> sink) override {
    Stop();
    if (snd_pcm_prepare(pcm_) < 0)
      return false;
    sink_ = std::move(sink);
    quit_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  void Stop() override {
    if (!thread_.joinable())
      return;
    quit_ = true;
    thread_.join();
    snd_pcm_drop(pcm_);
  }

private:
  void Run() {
    pthread_setname_np(pthread_self(), "vexo3-wavein");
    const size_t frame = format_.blockAlign;
    const snd_pcm_uframes_t chunk = std::max<uint32_t>(1, format_.rate * kChunkMs / 1000);
    std::vector<uint8_t> buffer(chunk * frame);
    snd_pcm_start(pcm_);
    while (!quit_) {
      const int ready = snd_pcm_wait(pcm_, static_cast<int>(kChunkMs * 2));
      if (quit_)
        break;
      if (ready < 0) {
        if (snd_pcm_recover(pcm_, ready, 1) < 0)
          break;
        snd_pcm_start(pcm_);
        continue;
      }
      if (ready == 0)
        continue;
      const snd_pcm_sframes_t n = snd_pcm_readi(pcm_, buffer.data(), chunk);
      if (n == -EAGAIN)
        continue;
      if (n < 0) {
        if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0)
          break;
        snd_pcm_start(pcm_);
        continue;
      }
      if (n > 0)
        sink_({buffer.data(), static_cast<size_t>(n) * frame});
    }
  }

  snd_pcm_t* pcm_;
  snd_config_t* config_;
  const WaveFormat format_;
  std::function<void(std::span<const uint8_t>)> sink_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
};

// The record's format bits that the device takes.
uint32_t ProbeFormats(snd_pcm_t* pcm, uint16_t* channels) {
  snd_pcm_hw_params_t* any;
  snd_pcm_hw_params_t* test;
  snd_pcm_hw_params_alloca(&any);
  snd_pcm_hw_params_alloca(&test);
  *channels = 1;
  if (snd_pcm_hw_params_any(pcm, any) < 0)
    return 0;
  uint32_t formats = 0;
  for (uint32_t rate : {11025u, 22050u, 44100u})
    for (uint16_t bits : {uint16_t(8), uint16_t(16)})
      for (uint16_t ch : {uint16_t(1), uint16_t(2)}) {
        snd_pcm_hw_params_copy(test, any);
        if (snd_pcm_hw_params_set_access(pcm, test, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
            snd_pcm_hw_params_set_format(
                pcm, test, bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE) < 0 ||
            snd_pcm_hw_params_set_channels(pcm, test, ch) < 0 ||
            snd_pcm_hw_params_test_rate(pcm, test, rate, 0) < 0)
          continue;
        formats |= WaveFormatBit(rate, bits, ch);
        *channels = std::max(*channels, ch);
      }
  return formats;
}

class AlsaInDevice final : public WaveInDevice {
public:
  AlsaInDevice(std::string name, std::string description, std::string configText)
      : name_(std::move(name)), description_(std::move(description)),
        configText_(std::move(configText)) {}

  // Opens the device once to learn its formats; false when it does not open.
  bool Probe() {
    QuietAlsaProbe quiet;
    snd_pcm_t* pcm;
    snd_config_t* config;
    if (OpenPcm(name_, configText_, SND_PCM_NONBLOCK, &pcm, &config) < 0)
      return false;
    formats_ = ProbeFormats(pcm, &channels_);
    snd_pcm_close(pcm);
    if (config)
      snd_config_delete(config);
    return true;
  }

  WaveInCaps Caps() const override {
    WaveInCaps c;
    c.manufacturerId = kManufacturerVexoWave;
    c.productId = kProductAlsaWaveIn;
    c.driverVersion = 0x0100;
    c.SetName(description_);
    c.formats = formats_;
    c.channels = channels_;
    return c;
  }

  std::unique_ptr<WaveInStream> Open(const WaveFormat& format, uint32_t* result) override {
    if (format.formatTag != 1 || (format.bits != 8 && format.bits != 16) ||
        (format.channels != 1 && format.channels != 2) || format.rate == 0) {
      *result = kWaveBadFormat;
      return nullptr;
    }
    QuietAlsaProbe quiet;
    snd_pcm_t* pcm;
    snd_config_t* config;
    int r = OpenPcm(name_, configText_, 0, &pcm, &config);
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
    return std::make_unique<AlsaInStream>(pcm, config, format);
  }

private:
  std::string name_;
  std::string description_;
  std::string configText_;
  uint32_t formats_ = kWaveFormatsAll;
  uint16_t channels_ = 2;
};

} // namespace

std::shared_ptr<WaveInDevice> AlsaWaveInDevice(std::string pcmName, std::string description,
                                               std::string configText) {
  auto d = std::make_shared<AlsaInDevice>(std::move(pcmName), std::move(description),
                                          std::move(configText));
  d->Probe();
  return d;
}

std::vector<std::shared_ptr<WaveInDevice>> AlsaWaveInDevices() {
  std::vector<std::pair<std::string, std::string>> names = {{"default", "Default Sound Input"}};
  {
    QuietAlsaProbe quiet;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) >= 0) {
      for (void** h = hints; *h; ++h) {
        char* name = snd_device_name_get_hint(*h, "NAME");
        char* desc = snd_device_name_get_hint(*h, "DESC");
        char* ioid = snd_device_name_get_hint(*h, "IOID");
        const bool capture = !ioid || std::strcmp(ioid, "Input") == 0;
        if (name && capture && std::strcmp(name, "default") != 0 &&
            std::strcmp(name, "null") != 0) {
          std::string text = desc ? desc : name;
          names.emplace_back(name, text.substr(0, text.find('\n')));
        }
        std::free(name);
        std::free(desc);
        std::free(ioid);
      }
      snd_device_name_free_hint(hints);
    }
  }
  std::vector<std::shared_ptr<WaveInDevice>> devices;
  for (auto& [name, description] : names) {
    auto d = std::make_shared<AlsaInDevice>(name, description, "");
    if (d->Probe())
      devices.push_back(std::move(d));
  }
  return devices;
}

} // namespace media
