// The recording mixer on ALSA's simple mixer. Lines and controls:
// - destination 0, speakers: "Master" playback volume; its sources wave
//   output ("PCM") and synthesizer ("Synth"), each with its playback volume
//   where the card has the element;
// - destination 1, wave input: volume = "Capture" capture volume scaled to
//   0-65535 per channel; mute = the "Capture" capture switch off; the
//   recording-source list = the capture switches of the first four capture
//   sources (elements other than "Capture" with a capture switch) in the
//   simple mixer's order, an entry without a source reading 0 and ignoring
//   writes; its sources are those capture sources, the microphone ("Mic")
//   with a mute = its capture switch off.
// Every value change ALSA reports is a change notice of the controls on that
// element, from a thread of the mixer; ALSA does not report a handle's own
// writes to it, so each write made here is a notice of its own as well.
#include "platform/media/mixer.h"

#include "platform/media/alsa_quiet.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace media {
namespace {

constexpr int kListEntries = 4;
constexpr uint32_t kFullScale = 65535;

enum class Kind { kPlaybackVolume, kCaptureVolume, kCaptureMute, kList };

struct Bound {
  MixerControl control;
  Kind kind;
  snd_mixer_elem_t* elem = nullptr;
  std::vector<snd_mixer_elem_t*> entries; // the list's sources
  int channels = 1;
};

uint32_t SourceType(const std::string& name) {
  auto has = [&](const char* word) { return name.find(word) != std::string::npos; };
  if (has("Mic"))
    return kSrcMicrophone;
  if (has("CD"))
    return kSrcCompactDisc;
  if (has("Beep") || has("PC Speaker"))
    return kSrcPcSpeaker;
  return kSrcLine;
}

const snd_mixer_selem_channel_id_t kChannels[2] = {SND_MIXER_SCHN_FRONT_LEFT,
                                                   SND_MIXER_SCHN_FRONT_RIGHT};

class AlsaMixer final : public MixerDevice {
public:
  AlsaMixer(snd_mixer_t* mixer, snd_hctl_t* hctl, snd_config_t* config, std::string name)
      : mixer_(mixer), hctl_(hctl), config_(config) {
    caps_.name = std::move(name);
    caps_.manufacturerId = 0x7E00;
    caps_.productId = 0x7E42;
    caps_.destinations = 2;
    Build();
    if (pipe(stop_) == 0)
      thread_ = std::thread([this] { Run(); });
  }

  ~AlsaMixer() override {
    if (thread_.joinable()) {
      const char c = 0;
      (void)!write(stop_[1], &c, 1);
      thread_.join();
      close(stop_[0]);
      close(stop_[1]);
    }
    snd_mixer_close(mixer_);
    (void)hctl_; // closed with the mixer, which was attached to it
    if (config_)
      snd_config_delete(config_);
  }

  MixerCaps Caps() const override { return caps_; }
  std::vector<MixerLine> Lines() override { return lines_; }
  std::vector<MixerControl> Controls() override {
    std::vector<MixerControl> out;
    for (const Bound& b : bound_)
      out.push_back(b.control);
    return out;
  }

  uint32_t Get(uint32_t controlId, std::vector<uint32_t>* values) override {
    std::lock_guard lock(mutex_);
    const Bound* b = Find(controlId);
    if (!b)
      return kMixerBadControl;
    if (!values)
      return kMixerBadParam;
    values->clear();
    switch (b->kind) {
    case Kind::kPlaybackVolume:
    case Kind::kCaptureVolume: {
      const bool capture = b->kind == Kind::kCaptureVolume;
      long low = 0, high = 0;
      Range(*b, &low, &high);
      for (int ch = 0; ch < b->channels; ++ch) {
        long v = 0;
        if ((capture ? snd_mixer_selem_get_capture_volume(b->elem, kChannels[ch], &v)
                     : snd_mixer_selem_get_playback_volume(b->elem, kChannels[ch], &v)) < 0)
          return kMixerBadControl;
        values->push_back(high > low ? static_cast<uint32_t>((std::clamp(v, low, high) - low) *
                                                             kFullScale / (high - low))
                                     : 0);
      }
      return kMixerOk;
    }
    case Kind::kCaptureMute:
      for (int ch = 0; ch < b->channels; ++ch) {
        int on = 0;
        if (snd_mixer_selem_get_capture_switch(b->elem, kChannels[ch], &on) < 0)
          return kMixerBadControl;
        values->push_back(on ? 0 : 1);
      }
      return kMixerOk;
    case Kind::kList:
      for (snd_mixer_elem_t* e : b->entries) {
        int on = 0;
        if (e)
          snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &on);
        values->push_back(on ? 1 : 0);
      }
      return kMixerOk;
    }
    return kMixerBadControl;
  }

  uint32_t Set(uint32_t controlId, const std::vector<uint32_t>& values) override {
    const uint32_t r = Write(controlId, values);
    if (r == kMixerOk) {
      std::lock_guard lock(mutex_);
      pending_.push_back(controlId);
      const char wake = 1;
      (void)!write(stop_[1], &wake, 1);
    }
    return r;
  }

  void Watch(std::function<void(uint32_t)> changed) override {
    std::lock_guard lock(watchMutex_);
    watcher_ = std::move(changed);
  }

private:
  uint32_t Write(uint32_t controlId, const std::vector<uint32_t>& values) {
    std::lock_guard lock(mutex_);
    const Bound* b = Find(controlId);
    if (!b)
      return kMixerBadControl;
    const size_t want = b->kind == Kind::kList ? b->entries.size() : static_cast<size_t>(b->channels);
    if (values.size() != want)
      return kMixerBadParam;
    switch (b->kind) {
    case Kind::kPlaybackVolume:
    case Kind::kCaptureVolume: {
      const bool capture = b->kind == Kind::kCaptureVolume;
      long low = 0, high = 0;
      Range(*b, &low, &high);
      for (int ch = 0; ch < b->channels; ++ch) {
        const long v =
            low + static_cast<long>((static_cast<int64_t>(std::min(values[ch], kFullScale)) *
                                         (high - low) +
                                     kFullScale / 2) /
                                    kFullScale);
        if ((capture ? snd_mixer_selem_set_capture_volume(b->elem, kChannels[ch], v)
                     : snd_mixer_selem_set_playback_volume(b->elem, kChannels[ch], v)) < 0)
          return kMixerBadControl;
      }
      return kMixerOk;
    }
    case Kind::kCaptureMute:
      for (int ch = 0; ch < b->channels; ++ch)
        if (snd_mixer_selem_set_capture_switch(b->elem, kChannels[ch], values[ch] ? 0 : 1) < 0)
          return kMixerBadControl;
      return kMixerOk;
    case Kind::kList:
      for (size_t i = 0; i < b->entries.size(); ++i)
        if (b->entries[i])
          snd_mixer_selem_set_capture_switch_all(b->entries[i], values[i] ? 1 : 0);
      return kMixerOk;
    }
    return kMixerBadControl;
  }

  static void Range(const Bound& b, long* low, long* high) {
    if (b.kind == Kind::kCaptureVolume)
      snd_mixer_selem_get_capture_volume_range(b.elem, low, high);
    else
      snd_mixer_selem_get_playback_volume_range(b.elem, low, high);
  }

  const Bound* Find(uint32_t id) const {
    for (const Bound& b : bound_)
      if (b.control.controlId == id)
        return &b;
    return nullptr;
  }

  static int Channels(snd_mixer_elem_t* e, bool capture) {
    if (capture ? snd_mixer_selem_is_capture_mono(e) : snd_mixer_selem_is_playback_mono(e))
      return 1;
    return (capture ? snd_mixer_selem_has_capture_channel(e, SND_MIXER_SCHN_FRONT_RIGHT)
                    : snd_mixer_selem_has_playback_channel(e, SND_MIXER_SCHN_FRONT_RIGHT))
               ? 2
               : 1;
  }

  void Add(uint32_t lineId, uint32_t type, Kind kind, snd_mixer_elem_t* elem, int channels,
           const std::string& name, std::vector<snd_mixer_elem_t*> entries = {}) {
    Bound b;
    b.control.controlId = static_cast<uint32_t>(bound_.size() + 1);
    b.control.lineId = lineId;
    b.control.type = type;
    b.control.items = kind == Kind::kList ? static_cast<uint32_t>(entries.size()) : 0;
    b.control.name = name;
    b.kind = kind;
    b.elem = elem;
    b.entries = std::move(entries);
    b.channels = channels;
    bound_.push_back(std::move(b));
  }

  void Build() {
    snd_mixer_elem_t* master = nullptr;
    snd_mixer_elem_t* pcm = nullptr;
    snd_mixer_elem_t* synth = nullptr;
    snd_mixer_elem_t* capture = nullptr;
    std::vector<snd_mixer_elem_t*> sources;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e; e = snd_mixer_elem_next(e)) {
      if (!snd_mixer_selem_is_active(e))
        continue;
      const std::string name = snd_mixer_selem_get_name(e);
      if (name == "Master" && snd_mixer_selem_has_playback_volume(e))
        master = e;
      else if (name == "PCM" && snd_mixer_selem_has_playback_volume(e))
        pcm = e;
      else if (name == "Synth" && snd_mixer_selem_has_playback_volume(e))
        synth = e;
      if (name == "Capture")
        capture = e;
      else if (snd_mixer_selem_has_capture_switch(e))
        sources.push_back(e);
    }
    lines_.push_back({0, 0, 0, kDstSpeakers, 2, "Speakers"});
    if (master)
      Add(0, kControlVolume, Kind::kPlaybackVolume, master, Channels(master, false), "Master");
    uint32_t s = 0;
    for (auto [elem, type, name] : {std::tuple{pcm, kSrcWaveOut, "PCM"},
                                    std::tuple{synth, kSrcSynthesizer, "Synth"}}) {
      if (!elem)
        continue;
      const uint32_t id = 1u << 16 | s;
      lines_.push_back({id, 0, s++, type, static_cast<uint32_t>(Channels(elem, false)), name});
      Add(id, kControlVolume, Kind::kPlaybackVolume, elem, Channels(elem, false), name);
    }
    lines_.push_back({1, 1, 0, kDstWaveIn, 2, "Capture"});
    if (capture && snd_mixer_selem_has_capture_volume(capture))
      Add(1, kControlVolume, Kind::kCaptureVolume, capture, Channels(capture, true),
          "Capture Volume");
    if (capture && snd_mixer_selem_has_capture_switch(capture))
      Add(1, kControlMute, Kind::kCaptureMute, capture, Channels(capture, true), "Capture Mute");
    std::vector<snd_mixer_elem_t*> entries(kListEntries, nullptr);
    for (size_t i = 0; i < sources.size() && i < entries.size(); ++i)
      entries[i] = sources[i];
    Add(1, kControlMux, Kind::kList, nullptr, 1, "Recording Source", entries);
    for (size_t i = 0; i < sources.size(); ++i) {
      const std::string name = snd_mixer_selem_get_name(sources[i]);
      const uint32_t id = 2u << 16 | static_cast<uint32_t>(i);
      const uint32_t type = SourceType(name);
      lines_.push_back({id, 1, static_cast<uint32_t>(i), type,
                        static_cast<uint32_t>(Channels(sources[i], true)), name});
      if (type == kSrcMicrophone)
        Add(id, kControlMute, Kind::kCaptureMute, sources[i], Channels(sources[i], true),
            name + " Mute");
    }
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e; e = snd_mixer_elem_next(e)) {
      snd_mixer_elem_set_callback_private(e, this);
      snd_mixer_elem_set_callback(e, &AlsaMixer::ElemChanged);
    }
  }

  static int ElemChanged(snd_mixer_elem_t* elem, unsigned int mask) {
    auto* self = static_cast<AlsaMixer*>(snd_mixer_elem_get_callback_private(elem));
    if (self && (mask & SND_CTL_EVENT_MASK_VALUE) && mask != SND_CTL_EVENT_MASK_REMOVE)
      for (const Bound& b : self->bound_)
        if (b.elem == elem || std::find(b.entries.begin(), b.entries.end(), elem) != b.entries.end())
          self->pending_.push_back(b.control.controlId);
    return 0;
  }

  void Run() {
    for (;;) {
      std::vector<pollfd> fds(1);
      fds[0] = {stop_[0], POLLIN, 0};
      {
        std::lock_guard lock(mutex_);
        const int n = snd_mixer_poll_descriptors_count(mixer_);
        if (n > 0) {
          fds.resize(1 + static_cast<size_t>(n));
          snd_mixer_poll_descriptors(mixer_, fds.data() + 1, static_cast<unsigned>(n));
        }
      }
      if (poll(fds.data(), fds.size(), 1000) < 0)
        continue;
      if (fds[0].revents) {
        // 1 wakes for the notices of a write, 0 ends the thread.
        char c = 0;
        if (read(stop_[0], &c, 1) != 1 || c == 0)
          return;
      }
      std::vector<uint32_t> changed;
      {
        std::lock_guard lock(mutex_);
        snd_mixer_handle_events(mixer_);
        changed.swap(pending_);
      }
      std::lock_guard lock(watchMutex_);
      for (uint32_t id : changed)
        if (watcher_)
          watcher_(id);
    }
  }

  snd_mixer_t* mixer_;
  snd_hctl_t* hctl_;
  snd_config_t* config_;
  MixerCaps caps_;
  std::vector<MixerLine> lines_;
  std::vector<Bound> bound_;
  std::mutex mutex_; // the ALSA handle and pending_
  std::vector<uint32_t> pending_;
  std::mutex watchMutex_;
  std::function<void(uint32_t)> watcher_;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

} // namespace

std::shared_ptr<MixerDevice> AlsaMixerDevice(std::string ctlName, std::string description,
                                             std::string configText) {
  QuietAlsaProbe quiet;
  snd_config_t* config = nullptr;
  snd_ctl_t* ctl = nullptr;
  int r = 0;
  if (configText.empty()) {
    r = snd_ctl_open(&ctl, ctlName.c_str(), SND_CTL_NONBLOCK);
  } else {
    r = snd_config_top(&config);
    snd_input_t* in = nullptr;
    if (r >= 0)
      r = snd_input_buffer_open(&in, configText.data(), static_cast<ssize_t>(configText.size()));
    if (r >= 0) {
      r = snd_config_load(config, in);
      snd_input_close(in);
    }
    if (r >= 0)
      r = snd_ctl_open_lconf(&ctl, ctlName.c_str(), SND_CTL_NONBLOCK, config);
  }
  snd_hctl_t* hctl = nullptr;
  snd_mixer_t* mixer = nullptr;
  if (r >= 0)
    r = snd_hctl_open_ctl(&hctl, ctl);
  else
    ctl = nullptr;
  if (r < 0 && ctl)
    snd_ctl_close(ctl);
  if (r >= 0)
    r = snd_mixer_open(&mixer, 0);
  if (r >= 0)
    r = snd_mixer_attach_hctl(mixer, hctl);
  else if (hctl)
    snd_hctl_close(hctl);
  if (r >= 0)
    r = snd_mixer_selem_register(mixer, nullptr, nullptr);
  if (r >= 0)
    r = snd_mixer_load(mixer);
  bool capture = false;
  if (r >= 0)
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
      capture = capture || std::strcmp(snd_mixer_selem_get_name(e), "Capture") == 0;
  if (r < 0 || !capture) {
    if (mixer)
      snd_mixer_close(mixer);
    if (config)
      snd_config_delete(config);
    return nullptr;
  }
  return std::make_shared<AlsaMixer>(mixer, hctl, config, std::move(description));
}

std::vector<std::shared_ptr<MixerDevice>> AlsaMixerDevices() {
  std::vector<std::shared_ptr<MixerDevice>> out;
  if (auto d = AlsaMixerDevice("default", "ALSA Mixer (default)"))
    out.push_back(std::move(d));
  return out;
}

} // namespace media
