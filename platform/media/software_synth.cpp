#include "platform/media/software_synth.h"

#include "platform/media/clock.h"
#include "platform/media/riff.h"
#include "platform/sys/bytes.h"
#include "platform/sys/log.h"
#include "platform/sys/midi_message.h"
#include "platform/sys/runtime.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace media {
namespace {

constexpr const char* kSoundFonts[] = {"/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                       "/usr/share/sounds/sf2/default-GM.sf2"};
constexpr int kPolyphony = 256;
constexpr double kGain = 0.4;
constexpr uint32_t kBytesPerFrame = 4; // 16-bit stereo
constexpr uint32_t kWavHeaderSize = 44;
// A RIFF file counts its size in 32 bits.
constexpr uint64_t kMaxDataBytes =
    (0xFFFFFFFFull - (kWavHeaderSize - 8)) / kBytesPerFrame * kBytesPerFrame;
constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr int64_t kRenderPeriodNs = 10'000'000;
// The header is brought up to date this often, so that a file cut short by a
// crash still plays what was written.
constexpr int64_t kHeaderRefreshNs = kNsPerSecond;
constexpr uint32_t kChunkFrames = 512;
// FluidSynth renders (and takes messages in) blocks of this many frames.
constexpr int kSynthBlock = 64;

// Set while audio drivers are tried one after another, whose failures are
// expected and not worth a message.
std::atomic<bool> quietLog{false};

void LogMessage(int, const char* message, void*) {
  if (!quietLog.load())
    sys::Warn("synth", "%s", message);
}

void SetUpLogging() {
  static std::once_flag once;
  std::call_once(once, [] {
    fluid_set_log_function(FLUID_PANIC, LogMessage, nullptr);
    fluid_set_log_function(FLUID_ERR, LogMessage, nullptr);
    fluid_set_log_function(FLUID_WARN, LogMessage, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
  });
}

// FluidSynth may load SoundFont samples on OpenMP worker threads, which then
// spin on in the background and whose synchronisation ThreadSanitizer cannot
// follow; loading on the calling thread alone is no slower from the page
// cache. The OpenMP runtime comes with FluidSynth when it was built with it.
void LoadOnThisThreadOnly() {
  using SetThreads = void (*)(int);
  if (auto set = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads")))
    set(1);
}

void TellOnce(std::once_flag& flag, const std::string& text) {
  std::call_once(flag, [&] { sys::Warn("synth", "%s", text.c_str()); });
}

// Plays one short message on the synthesizer.
void ApplyShort(fluid_synth_t* synth, uint32_t message) {
  namespace midi = sys::midi;
  const uint8_t status = midi::StatusOf(message);
  const int d1 = midi::Data1Of(message) & 0x7F;
  const int d2 = midi::Data2Of(message) & 0x7F;
  const int channel = midi::ChannelOf(status);
  switch (midi::TypeOf(status)) {
  case midi::kNoteOff:
    fluid_synth_noteoff(synth, channel, d1);
    return;
  case midi::kNoteOn:
    if (d2 == 0)
      fluid_synth_noteoff(synth, channel, d1);
    else
      fluid_synth_noteon(synth, channel, d1, d2);
    return;
  case midi::kPolyPressure:
    fluid_synth_key_pressure(synth, channel, d1, d2);
    return;
  case midi::kControlChange:
    fluid_synth_cc(synth, channel, d1, d2);
    return;
  case midi::kProgramChange:
    fluid_synth_program_change(synth, channel, d1);
    return;
  case midi::kChannelPressure:
    fluid_synth_channel_pressure(synth, channel, d1);
    return;
  case midi::kPitchBend:
    fluid_synth_pitch_bend(synth, channel, d1 | (d2 << 7));
    return;
  default:
    // System messages: only a reset means anything to a synthesizer.
    if (status == midi::kSystemReset)
      fluid_synth_system_reset(synth);
    return;
  }
}

// Plays a system-exclusive message given with its F0 and F7.
void ApplySysex(fluid_synth_t* synth, std::span<const uint8_t> bytes) {
  std::span<const uint8_t> body = bytes.subspan(1);
  if (!body.empty() && body.back() == sys::midi::kSysExEnd)
    body = body.first(body.size() - 1);
  if (body.empty())
    return;
  fluid_synth_sysex(synth, reinterpret_cast<const char*>(body.data()),
                    static_cast<int>(body.size()), nullptr, nullptr, nullptr, 0);
}

std::vector<uint8_t> WavHeader(uint64_t dataBytes) {
  return WaveHeader(WaveFormat::Pcm(kSynthSampleRate, 16, 2), static_cast<uint32_t>(dataBytes));
}

// A WAV file that grows as frames are appended; its header is rewritten on
// request, so that a file cut short still plays what was written. It stops
// taking frames at the RIFF size limit or after a write fails.
class WavFile {
public:
  static std::unique_ptr<WavFile> Create(const std::string& path, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
      *error = "cannot write " + path + ": " + std::strerror(errno);
      return nullptr;
    }
    auto wav = std::unique_ptr<WavFile>(new WavFile(file));
    if (!wav->WriteHeader()) {
      *error = "cannot write " + path + ": " + std::strerror(errno);
      return nullptr;
    }
    return wav;
  }

  ~WavFile() { std::fclose(file_); }

  // How many of wanted frames still fit; fewer only at the size limit.
  uint64_t Room(uint64_t wanted) {
    if (full_)
      return 0;
    const uint64_t room = (kMaxDataBytes - frames_ * kBytesPerFrame) / kBytesPerFrame;
    if (wanted > room) {
      full_ = true;
      static std::once_flag told;
      TellOnce(told, "the synthesizer's WAV file is full; the rest is not written");
      return room;
    }
    return wanted;
  }

  bool Append(const int16_t* samples, uint64_t count) {
    if (std::fwrite(samples, kBytesPerFrame, count, file_) != count) {
      Fail("cannot write the WAV file");
      return false;
    }
    frames_ += count;
    return true;
  }

  bool WriteHeader() {
    const std::vector<uint8_t> header = WavHeader(frames_ * kBytesPerFrame);
    if (std::fflush(file_) != 0 || fseeko(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), file_) != header.size() ||
        fseeko(file_, 0, SEEK_END) != 0 || std::fflush(file_) != 0) {
      Fail("cannot write the WAV header");
      return false;
    }
    framesInHeader_ = frames_;
    return true;
  }

  uint64_t Frames() const { return frames_; }
  uint64_t FramesInHeader() const { return framesInHeader_; }

private:
  explicit WavFile(FILE* file) : file_(file) {}

  void Fail(const char* what) {
    full_ = true;
    static std::once_flag told;
    TellOnce(told, std::string("synthesizer: ") + what + ": " + std::strerror(errno));
  }

  FILE* file_;
  uint64_t frames_ = 0;
  uint64_t framesInHeader_ = 0;
  bool full_ = false;
};

// Renders the synthesizer into a WAV file on a thread of its own. Messages
// are stamped with the clock as they arrive and take effect at the frame of
// their arrival, and the file grows with the clock, so that what it holds
// lasts exactly as long as the session played, from its first message on.
class WavRenderer {
public:
  static std::unique_ptr<WavRenderer> Create(fluid_synth_t* synth, const std::string& path,
                                             std::string* error) {
    auto wav = WavFile::Create(path, error);
    if (!wav)
      return nullptr;
    auto renderer = std::unique_ptr<WavRenderer>(new WavRenderer(synth, std::move(wav)));
    try {
      renderer->thread_ = std::thread([r = renderer.get()] { r->Run(); });
    } catch (const std::exception& e) {
      *error = std::string("cannot start the rendering thread: ") + e.what();
      return nullptr;
    }
    return renderer;
  }

  ~WavRenderer() { Stop(); }

  void Post(uint32_t shortMessage, std::span<const uint8_t> sysex) {
    std::lock_guard lock(mutex_);
    const int64_t now = MonotonicNs();
    if (startNs_ < 0)
      startNs_ = now;
    pending_.push_back({now, shortMessage, {sysex.begin(), sysex.end()}});
  }

  // Renders up to now and completes the file.
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      if (stop_)
        return;
      stop_ = true;
      stopNs_ = MonotonicNs();
    }
    if (thread_.joinable())
      thread_.join();
    RenderUpTo(stopNs_);
    wav_->WriteHeader();
  }

  uint64_t Frames() const { return frames_.load(); }

private:
  struct Message {
    int64_t ns;
    uint32_t shortMessage;
    std::vector<uint8_t> sysex;
  };

  WavRenderer(fluid_synth_t* synth, std::unique_ptr<WavFile> wav)
      : synth_(synth), wav_(std::move(wav)) {
    buffer_.resize(kChunkFrames * 2);
  }

  void Run() {
    pthread_setname_np(pthread_self(), "vexo3-synth");
    int64_t next = MonotonicNs();
    for (;;) {
      next += kRenderPeriodNs;
      timespec ts{static_cast<time_t>(next / kNsPerSecond), static_cast<long>(next % kNsPerSecond)};
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
      }
      int64_t target;
      {
        std::lock_guard lock(mutex_);
        if (stop_)
          return;
        target = MonotonicNs();
      }
      RenderUpTo(target);
      if (target - lastHeaderNs_ >= kHeaderRefreshNs) {
        wav_->WriteHeader();
        lastHeaderNs_ = target;
      }
    }
  }

  uint64_t FrameAt(int64_t ns) const {
    if (ns <= renderStartNs_)
      return 0;
    return static_cast<uint64_t>((ns - renderStartNs_) / 1000 * kSynthSampleRate / 1'000'000);
  }

  // Plays every message that arrived up to targetNs at its own frame and
  // renders the frames up to targetNs. Runs on the rendering thread, or after
  // it has ended.
  void RenderUpTo(int64_t targetNs) {
    {
      std::lock_guard lock(mutex_);
      renderStartNs_ = startNs_;
      size_t n = 0;
      while (n < pending_.size() && pending_[n].ns <= targetNs)
        ++n;
      for (size_t i = 0; i < n; ++i)
        work_.push_back(std::move(pending_[i]));
      pending_.erase(pending_.begin(), pending_.begin() + n);
    }
    if (renderStartNs_ < 0)
      return;
    for (const Message& m : work_) {
      RenderTo(FrameAt(m.ns));
      if (m.sysex.empty())
        ApplyShort(synth_, m.shortMessage);
      else
        ApplySysex(synth_, m.sysex);
    }
    work_.clear();
    RenderTo(FrameAt(targetNs));
  }

  void RenderTo(uint64_t frame) {
    while (wav_->Frames() < frame) {
      const uint64_t count = wav_->Room(std::min<uint64_t>(frame - wav_->Frames(), kChunkFrames));
      if (count == 0)
        break;
      fluid_synth_write_s16(synth_, static_cast<int>(count), buffer_.data(), 0, 2, buffer_.data(),
                            1, 2);
      if (!wav_->Append(buffer_.data(), count))
        break;
      frames_.store(wav_->Frames());
    }
  }

  fluid_synth_t* synth_;
  std::unique_ptr<WavFile> wav_;
  std::thread thread_;
  std::atomic<uint64_t> frames_{0};

  std::mutex mutex_;
  std::vector<Message> pending_; // guarded by mutex_
  int64_t startNs_ = -1;         // guarded by mutex_: arrival of the first message
  bool stop_ = false;            // guarded by mutex_
  int64_t stopNs_ = 0;           // guarded by mutex_

  // The rendering side's own (the thread, then Stop once it has ended).
  int64_t renderStartNs_ = -1;
  std::vector<Message> work_;
  std::vector<int16_t> buffer_;
  int64_t lastHeaderNs_ = 0;
};

// Renders the synthesizer into a WAV file only when the caller asks, with no
// thread and no clock: messages take effect at the frame reached so far. The
// samples are converted without dither, so that the file depends on nothing
// but the messages and the render calls.
class CallerRenderer {
public:
  static std::unique_ptr<CallerRenderer> Create(fluid_synth_t* synth, const std::string& path,
                                                std::string* error) {
    auto wav = WavFile::Create(path, error);
    if (!wav)
      return nullptr;
    return std::unique_ptr<CallerRenderer>(new CallerRenderer(synth, std::move(wav)));
  }

  ~CallerRenderer() { wav_->WriteHeader(); }

  void Short(uint32_t message) {
    std::lock_guard lock(mutex_);
    ApplyShort(synth_, message);
  }

  void Sysex(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    ApplySysex(synth_, bytes);
  }

  void Render(uint32_t ms) {
    std::lock_guard lock(mutex_);
    renderedMs_ += ms;
    const uint64_t target = renderedMs_ * kSynthSampleRate / 1000;
    while (wav_->Frames() < target) {
      const uint64_t count = wav_->Room(std::min<uint64_t>(target - wav_->Frames(), kChunkFrames));
      if (count == 0)
        break;
      for (uint64_t i = 0; i < count; ++i) {
        if (blockUsed_ == kSynthBlock)
          RenderBlock();
        samples_[2 * i] = block_[2 * blockUsed_];
        samples_[2 * i + 1] = block_[2 * blockUsed_ + 1];
        ++blockUsed_;
      }
      if (!wav_->Append(samples_.data(), count))
        break;
    }
    // A file cut short still plays what was written.
    if (wav_->Frames() - wav_->FramesInHeader() >= kSynthSampleRate)
      wav_->WriteHeader();
  }

  uint64_t Frames() {
    std::lock_guard lock(mutex_);
    return wav_->Frames();
  }

private:
  CallerRenderer(fluid_synth_t* synth, std::unique_ptr<WavFile> wav)
      : synth_(synth), wav_(std::move(wav)) {
    samples_.resize(kChunkFrames * 2);
  }

  // The synthesizer works in blocks and a message takes effect at the start
  // of the next one. Asking it for whole blocks only keeps every session on
  // the same block boundaries, whatever sessions came before.
  void RenderBlock() {
    float left[kSynthBlock], right[kSynthBlock];
    fluid_synth_write_float(synth_, kSynthBlock, left, 0, 1, right, 0, 1);
    for (int i = 0; i < kSynthBlock; ++i) {
      block_[2 * i] = ToSample(left[i]);
      block_[2 * i + 1] = ToSample(right[i]);
    }
    blockUsed_ = 0;
  }

  static int16_t ToSample(float v) {
    const float clamped = std::clamp(v, -1.0f, 1.0f);
    return static_cast<int16_t>(std::lrint(clamped * 32767.0f));
  }

  std::mutex mutex_;
  fluid_synth_t* synth_;
  std::unique_ptr<WavFile> wav_;
  uint64_t renderedMs_ = 0;
  std::vector<int16_t> samples_;
  std::array<int16_t, 2 * kSynthBlock> block_{};
  int blockUsed_ = kSynthBlock; // frames of block_ written out
};

class SynthEngine {
public:
  bool BeginSession() {
    std::lock_guard lock(mutex_);
    if (sessions_ > 0) {
      ++sessions_;
      return true;
    }
    if (!LoadLocked())
      return false;
    fluid_synth_system_reset(synth_);
    if (!StartOutputLocked())
      return false;
    sessions_ = 1;
    return true;
  }

  void EndSession() {
    std::lock_guard lock(mutex_);
    if (sessions_ == 0 || --sessions_ > 0)
      return;
    direct_.store(false);
    renderView_.store(nullptr);
    callerView_.store(nullptr);
    if (caller_) {
      lastFrames_ = caller_->Frames();
      caller_.reset();
    }
    if (driver_) {
      delete_fluid_audio_driver(driver_);
      driver_ = nullptr;
    }
    if (renderer_) {
      renderer_->Stop();
      lastFrames_ = renderer_->Frames();
      renderer_.reset();
    }
    fluid_synth_system_reset(synth_);
  }

  bool Short(uint32_t message) {
    if (!sys::midi::IsStatusByte(message))
      return false;
    if (CallerRenderer* c = callerView_.load()) {
      c->Short(message);
      return true;
    }
    if (WavRenderer* r = renderView_.load()) {
      r->Post(message, {});
      return true;
    }
    if (!direct_.load())
      return false;
    ApplyShort(synth_, message); // FluidSynth's own lock guards the synthesizer
    return true;
  }

  bool Long(std::span<const uint8_t> bytes) {
    if (bytes.size() < 2 || bytes[0] != sys::midi::kSysEx)
      return false;
    if (CallerRenderer* c = callerView_.load()) {
      c->Sysex(bytes);
      return true;
    }
    if (WavRenderer* r = renderView_.load()) {
      r->Post(0, bytes);
      return true;
    }
    if (!direct_.load())
      return false;
    ApplySysex(synth_, bytes);
    return true;
  }

  SoftwareSynthStatus Status() {
    std::lock_guard lock(mutex_);
    SoftwareSynthStatus s;
    s.sessionOpen = sessions_ > 0;
    s.toFile = !wavPath_.empty();
    s.wavPath = wavPath_;
    s.framesWritten = renderer_ ? renderer_->Frames() : caller_ ? caller_->Frames() : lastFrames_;
    return s;
  }

  bool CanPlayAloud() {
    std::lock_guard lock(mutex_);
    if (sessions_ > 0 || !LoadLocked())
      return false;
    if (!StartDriverLocked())
      return false;
    direct_.store(false);
    delete_fluid_audio_driver(driver_);
    driver_ = nullptr;
    return true;
  }

  bool BeginCallerRender(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (sessions_ > 0 || path.empty())
      return false;
    callerPath_ = path;
    return true;
  }

  void EndCallerRender() {
    std::lock_guard lock(mutex_);
    callerPath_.clear();
  }

  bool Render(uint32_t ms) {
    // The session (and with it the renderer) ends under this lock only.
    std::lock_guard lock(mutex_);
    if (!caller_)
      return false;
    caller_->Render(ms);
    return true;
  }

  std::string GeneralMidi() {
    std::lock_guard lock(mutex_);
    return FindGeneralMidi();
  }

  bool SetBase(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (!LoadLocked())
      return false;
    const std::string target = path.empty() ? FindGeneralMidi() : path;
    if (target == soundFont_)
      return true;
    if (target != FindGeneralMidi() && !IsSoundFontFile(target))
      return false;
    const int id = fluid_synth_sfload(synth_, target.c_str(), 0);
    if (id == FLUID_FAILED)
      return false;
    fluid_synth_sfunload(synth_, baseId_, 0);
    baseId_ = id;
    soundFont_ = target;
    // The user banks go back above the new base, so that they are heard first.
    for (auto& [bank, loaded] : banks_) {
      const int again = fluid_synth_sfload(synth_, loaded.path.c_str(), 0);
      if (again == FLUID_FAILED)
        continue;
      fluid_synth_set_bank_offset(synth_, again, bank);
      fluid_synth_sfunload(synth_, loaded.id, 0);
      loaded.id = again;
    }
    fluid_synth_program_reset(synth_);
    return true;
  }

  std::string Base() {
    std::lock_guard lock(mutex_);
    return soundFont_;
  }

  bool LoadBank(int bank, const std::string& path) {
    if (bank < 1 || bank > 127 || !IsSoundFontFile(path))
      return false;
    std::lock_guard lock(mutex_);
    if (!LoadLocked())
      return false;
    const int id = fluid_synth_sfload(synth_, path.c_str(), 0);
    if (id == FLUID_FAILED)
      return false;
    fluid_synth_set_bank_offset(synth_, id, bank);
    if (auto old = banks_.find(bank); old != banks_.end())
      fluid_synth_sfunload(synth_, old->second.id, 0);
    banks_[bank] = LoadedBank{path, id};
    fluid_synth_program_reset(synth_);
    return true;
  }

  bool UnloadBank(int bank) {
    std::lock_guard lock(mutex_);
    auto it = banks_.find(bank);
    if (it == banks_.end())
      return true;
    if (synth_)
      fluid_synth_sfunload(synth_, it->second.id, 1);
    banks_.erase(it);
    return true;
  }

  std::vector<SynthBank> Banks() {
    std::lock_guard lock(mutex_);
    std::vector<SynthBank> out;
    for (const auto& [bank, loaded] : banks_)
      out.push_back({bank, loaded.path});
    return out;
  }

private:
  struct LoadedBank {
    std::string path;
    int id = -1;
  };

  static std::string FindGeneralMidi() {
    for (const char* path : kSoundFonts) {
      if (access(path, R_OK) == 0)
        return path;
    }
    return {};
  }

  // The base and then the user banks into a synthesizer; false when the
  // base cannot be loaded. A user bank that no longer loads is dropped.
  bool LoadSoundFontsLocked(fluid_synth_t* synth, int& baseId) {
    baseId = fluid_synth_sfload(synth, soundFont_.c_str(), 1);
    if (baseId == FLUID_FAILED)
      return false;
    for (auto it = banks_.begin(); it != banks_.end();) {
      const int id = fluid_synth_sfload(synth, it->second.path.c_str(), 1);
      if (id == FLUID_FAILED) {
        it = banks_.erase(it);
        continue;
      }
      fluid_synth_set_bank_offset(synth, id, it->first);
      it->second.id = id;
      ++it;
    }
    return true;
  }

  bool LoadLocked() {
    if (synth_)
      return true;
    SetUpLogging();
    const std::string soundFont = FindGeneralMidi();
    if (soundFont.empty()) {
      static std::once_flag told;
      TellOnce(told, std::string("the General MIDI SoundFont is missing (") + kSoundFonts[0] +
                         "); install fluid-soundfont-gm");
      return false;
    }
    settings_ = new_fluid_settings();
    if (!settings_)
      return false;
    fluid_settings_setnum(settings_, "synth.sample-rate", kSynthSampleRate);
    fluid_settings_setint(settings_, "synth.polyphony", kPolyphony);
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setnum(settings_, "synth.gain", kGain);
    fluid_settings_setstr(settings_, "audio.sample-format", "16bits");
    LoadOnThisThreadOnly();
    soundFont_ = soundFont;
    synth_ = new_fluid_synth(settings_);
    if (!synth_ || !LoadSoundFontsLocked(synth_, baseId_)) {
      static std::once_flag told;
      TellOnce(told, "the synthesizer cannot load " + soundFont);
      if (synth_)
        delete_fluid_synth(synth_);
      delete_fluid_settings(settings_);
      synth_ = nullptr;
      settings_ = nullptr;
      return false;
    }
    return true;
  }

  bool StartOutputLocked() {
    if (!callerPath_.empty())
      return StartCallerLocked(callerPath_);
    if (const char* wav = std::getenv("VEXO_SYNTH_WAV"); wav && *wav)
      return StartFileLocked(wav);
    if (StartDriverLocked())
      return true;
    const std::string dir = sys::RuntimeDir();
    if (dir.empty()) {
      static std::once_flag told;
      TellOnce(told, "no sound output could be opened and there is no runtime folder for the "
                     "synthesizer's WAV file");
      return false;
    }
    const std::string path = dir + "/synth.wav";
    static std::once_flag told;
    TellOnce(told, "no sound output could be opened; the synthesizer writes its audio to " + path);
    return StartFileLocked(path);
  }

  bool StartDriverLocked() {
    wavPath_.clear();
    quietLog.store(true);
    for (const char* name : {"pulseaudio", "alsa"}) {
      // Without sound cards ALSA's default device fails loudly, and there
      // is nothing it could reach.
      if (std::strcmp(name, "alsa") == 0 && access("/dev/snd", F_OK) != 0)
        continue;
      fluid_settings_setstr(settings_, "audio.driver", name);
      driver_ = new_fluid_audio_driver(settings_, synth_);
      if (driver_)
        break;
    }
    quietLog.store(false);
    if (!driver_)
      return false;
    direct_.store(true);
    return true;
  }

  bool StartFileLocked(const std::string& path) {
    std::string error;
    renderer_ = WavRenderer::Create(synth_, path, &error);
    if (!renderer_) {
      sys::Warn("synth", "%s", error.c_str());
      return false;
    }
    wavPath_ = path;
    lastFrames_ = 0;
    renderView_.store(renderer_.get());
    return true;
  }

  // A synthesizer fresh as in a new process, so that nothing of an earlier
  // session (the reverb's tail, the position in its block) reaches this one.
  // The old one still holds the SoundFont's samples, so loading is quick.
  void RenewSynthLocked() {
    fluid_synth_t* fresh = new_fluid_synth(settings_);
    int baseId = -1;
    if (!fresh || !LoadSoundFontsLocked(fresh, baseId)) {
      if (fresh)
        delete_fluid_synth(fresh);
      return;
    }
    delete_fluid_synth(synth_);
    synth_ = fresh;
    baseId_ = baseId;
  }

  bool StartCallerLocked(const std::string& path) {
    RenewSynthLocked();
    std::string error;
    caller_ = CallerRenderer::Create(synth_, path, &error);
    if (!caller_) {
      sys::Warn("synth", "%s", error.c_str());
      return false;
    }
    wavPath_ = path;
    lastFrames_ = 0;
    callerView_.store(caller_.get());
    return true;
  }

  std::mutex mutex_;
  int sessions_ = 0;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  std::string soundFont_; // the base SoundFont
  int baseId_ = -1;
  std::map<int, LoadedBank> banks_; // user banks by MIDI bank
  fluid_audio_driver_t* driver_ = nullptr;
  std::unique_ptr<WavRenderer> renderer_;
  std::unique_ptr<CallerRenderer> caller_;
  std::string callerPath_; // sessions render for the caller into this file
  std::string wavPath_;
  uint64_t lastFrames_ = 0;
  // Read by the message path without the lock; set only while no port is
  // open, so a port always sees the output of its own session.
  std::atomic<WavRenderer*> renderView_{nullptr};
  std::atomic<CallerRenderer*> callerView_{nullptr};
  std::atomic<bool> direct_{false};
};

SynthEngine& Engine() {
  // Never destroyed: a port may still be open at exit.
  static SynthEngine* engine = new SynthEngine;
  return *engine;
}

class SynthPort final : public MidiOutPort {
public:
  ~SynthPort() override { Engine().EndSession(); }
  bool ShortMessage(uint32_t message) override { return Engine().Short(message); }
  bool LongMessage(std::span<const uint8_t> bytes) override { return Engine().Long(bytes); }
};

class SoftwareSynth final : public MidiOutDevice {
public:
  MidiOutCaps Caps() const override {
    MidiOutCaps c;
    c.manufacturerId = kManufacturerVexo;
    c.productId = kProductSoftwareSynth;
    int major = 0, minor = 0, micro = 0;
    fluid_version(&major, &minor, &micro);
    c.driverVersion = static_cast<uint32_t>((major << 8) | minor);
    c.SetName("Vexo3 GM Software Synth");
    c.technology = kTechSoftwareSynth;
    c.voices = kPolyphony;
    c.notes = kPolyphony;
    c.channelMask = 0xFFFF;
    c.support = 0;
    return c;
  }

  std::unique_ptr<MidiOutPort> Open() override {
    if (!Engine().BeginSession())
      return nullptr;
    return std::make_unique<SynthPort>();
  }
};

} // namespace

std::shared_ptr<MidiOutDevice> SoftwareSynthDevice() {
  static const std::shared_ptr<MidiOutDevice> device = std::make_shared<SoftwareSynth>();
  return device;
}

SoftwareSynthStatus SoftwareSynthState() {
  return Engine().Status();
}

bool SoftwareSynthCanPlayAloud() {
  return Engine().CanPlayAloud();
}

bool BeginSoftwareSynthRender(const std::string& path) {
  return Engine().BeginCallerRender(path);
}

bool RenderSoftwareSynth(uint32_t ms) {
  return Engine().Render(ms);
}

void EndSoftwareSynthRender() {
  Engine().EndCallerRender();
}

std::string GeneralMidiSoundFont() {
  return Engine().GeneralMidi();
}

bool SetSoftwareSynthBase(const std::string& path) {
  return Engine().SetBase(path);
}

std::string SoftwareSynthBase() {
  return Engine().Base();
}

bool LoadSoftwareSynthBank(int bank, const std::string& path) {
  return Engine().LoadBank(bank, path);
}

bool UnloadSoftwareSynthBank(int bank) {
  return Engine().UnloadBank(bank);
}

std::vector<SynthBank> SoftwareSynthBanks() {
  return Engine().Banks();
}

} // namespace media
