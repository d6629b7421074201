#include "platform/media/waveout.h"

#include "platform/media/alsa_wave.h"
#include "platform/media/caps_name.h"
#include "platform/media/wave_sinks.h"
#include "platform/sys/log.h"
#include "platform/sys/bytes.h"
#include "platform/sys/runtime.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace media {

std::string WaveOutCaps::Name() const {
  return CapsName(name);
}

void WaveOutCaps::SetName(std::string_view text) {
  SetCapsName(name, text);
}

void WaveOutCaps::Serialize(std::span<uint8_t, 52> out) const {
  sys::ByteWriter w;
  w.U16LE(manufacturerId);
  w.U16LE(productId);
  w.U32LE(driverVersion);
  w.Bytes(name.data(), name.size());
  w.U32LE(formats);
  w.U16LE(channels);
  w.U16LE(reserved);
  w.U32LE(support);
  std::copy(w.Data().begin(), w.Data().end(), out.begin());
}

std::string WaveErrorText(uint32_t result) {
  switch (result) {
  case kWaveOk:
    return "The command was carried out.";
  case kWaveBadDevice:
    return "The device identifier is out of range.";
  case kWaveBadHandle:
    return "The device handle is not valid.";
  case kWaveNoDriver:
    return "No sound output could be opened.";
  case kWaveNoMemory:
    return "There is not enough memory for the sound.";
  case kWaveBadParam:
    return "A parameter is not valid.";
  case kWaveBadFormat:
    return "The sound output cannot play this format.";
  case kWaveStillPlaying:
    return "The sound is still playing.";
  case kWaveUnprepared:
    return "The buffer was not prepared.";
  default:
    return "The sound output failed.";
  }
}

struct WaveOutSystem::Handle {
  WaveOutHandle id = 0;
  std::unique_ptr<WaveOutStream> stream;
  WaveOutCallback callback;

  std::mutex mutex;
  std::deque<WaveOutHeader*> queue; // the front one is in play
  bool resetting = false;
  bool closed = false;

  // Starts the front buffer; those the stream refuses are done at once and
  // returned for their callbacks.
  std::vector<WaveOutHeader*> StartFrontLocked() {
    std::vector<WaveOutHeader*> refused;
    while (!queue.empty()) {
      WaveOutHeader* h = queue.front();
      if (stream->Play({h->data, h->size}, [this, h] { Done(h); }))
        break;
      queue.pop_front();
      h->flags = (h->flags & ~kHeaderInQueue) | kHeaderDone;
      refused.push_back(h);
    }
    return refused;
  }

  void Done(WaveOutHeader* header) {
    std::vector<WaveOutHeader*> refused;
    {
      std::lock_guard lock(mutex);
      if (!queue.empty() && queue.front() == header)
        queue.pop_front();
      header->flags = (header->flags & ~kHeaderInQueue) | kHeaderDone;
      if (!resetting)
        refused = StartFrontLocked();
    }
    Call(header);
    for (WaveOutHeader* h : refused)
      Call(h);
  }

  void Call(WaveOutHeader* header) {
    if (callback)
      callback(id, header);
  }
};

WaveOutSystem::~WaveOutSystem() = default;

void WaveOutSystem::AddBackend(std::string name, Factory factory) {
  std::lock_guard lock(mutex_);
  backends_.push_back({std::move(name), std::move(factory)});
  enumerated_ = false;
}

void WaveOutSystem::SetFallback(std::shared_ptr<WaveOutDevice> device) {
  std::lock_guard lock(mutex_);
  fallback_ = std::move(device);
}

void WaveOutSystem::UseDevices(std::vector<std::shared_ptr<WaveOutDevice>> devices) {
  std::lock_guard lock(mutex_);
  backends_.clear();
  backends_.push_back({"testing", [devices] { return devices; }});
  fallback_ = nullptr;
  EnumerateLocked();
}

void WaveOutSystem::EnumerateLocked() {
  devices_.clear();
  for (auto& b : backends_)
    for (auto& d : b.factory())
      if (d)
        devices_.push_back(std::move(d));
  enumerated_ = true;
}

void WaveOutSystem::Enumerate() {
  std::lock_guard lock(mutex_);
  EnumerateLocked();
}

int WaveOutSystem::Count() {
  std::lock_guard lock(mutex_);
  if (!enumerated_)
    EnumerateLocked();
  return static_cast<int>(devices_.size());
}

bool WaveOutSystem::Caps(int device, WaveOutCaps* caps) {
  std::lock_guard lock(mutex_);
  if (!enumerated_)
    EnumerateLocked();
  WaveOutCaps c;
  if (device == kWaveMapper) {
    c.manufacturerId = 1;
    c.productId = 2;
    c.driverVersion = 0x0100;
    c.SetName("Wave Mapper");
    c.formats = kWaveFormatsAll;
  } else if (device >= 0 && device < static_cast<int>(devices_.size())) {
    c = devices_[static_cast<size_t>(device)]->Caps();
  } else {
    return false;
  }
  if (caps)
    *caps = c;
  return true;
}

uint32_t WaveOutSystem::Open(int device, const WaveFormat& format, WaveOutCallback callback,
                             WaveOutHandle* handle) {
  if (!handle)
    return kWaveBadParam;
  *handle = 0;
  if (format.formatTag != 1 || (format.bits != 8 && format.bits != 16) ||
      (format.channels != 1 && format.channels != 2) || format.rate == 0 || format.rate > 192000 ||
      format.blockAlign != format.bits / 8 * format.channels)
    return kWaveBadFormat;
  std::vector<std::shared_ptr<WaveOutDevice>> candidates;
  {
    std::lock_guard lock(mutex_);
    if (!enumerated_)
      EnumerateLocked();
    if (device == kWaveMapper) {
      candidates = devices_;
      if (fallback_)
        candidates.push_back(fallback_);
    } else if (device >= 0 && device < static_cast<int>(devices_.size())) {
      candidates.push_back(devices_[static_cast<size_t>(device)]);
    } else {
      return kWaveBadDevice;
    }
  }
  // Devices open outside the lock: ALSA may take its time.
  uint32_t result = kWaveNoDriver;
  std::unique_ptr<WaveOutStream> stream;
  for (auto& d : candidates) {
    stream = d->Open(format, &result);
    if (stream)
      break;
  }
  if (!stream)
    return result == kWaveOk ? kWaveNoDriver : result;
  auto h = std::make_shared<Handle>();
  h->stream = std::move(stream);
  h->callback = std::move(callback);
  std::lock_guard lock(mutex_);
  auto slot = std::find(handles_.begin(), handles_.end(), nullptr);
  if (slot == handles_.end())
    slot = handles_.insert(handles_.end(), nullptr);
  h->id = static_cast<WaveOutHandle>(slot - handles_.begin() + 1);
  *slot = h;
  *handle = h->id;
  return kWaveOk;
}

std::shared_ptr<WaveOutSystem::Handle> WaveOutSystem::Find(WaveOutHandle handle) {
  std::lock_guard lock(mutex_);
  if (handle == 0 || handle > handles_.size())
    return nullptr;
  return handles_[handle - 1];
}

uint32_t WaveOutSystem::Close(WaveOutHandle handle) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  std::unique_ptr<WaveOutStream> stream;
  {
    std::lock_guard lock(h->mutex);
    if (h->closed)
      return kWaveBadHandle;
    if (!h->queue.empty() || h->resetting)
      return kWaveStillPlaying;
    h->closed = true;
    stream = std::move(h->stream);
  }
  {
    std::lock_guard lock(mutex_);
    handles_[handle - 1] = nullptr;
  }
  stream.reset(); // the device closes here, outside every lock
  return kWaveOk;
}

uint32_t WaveOutSystem::Prepare(WaveOutHandle handle, WaveOutHeader* header) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  if (!header || (!header->data && header->size > 0))
    return kWaveBadParam;
  header->flags = (header->flags & ~kHeaderDone) | kHeaderPrepared;
  return kWaveOk;
}

uint32_t WaveOutSystem::Unprepare(WaveOutHandle handle, WaveOutHeader* header) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  if (!header)
    return kWaveBadParam;
  if (header->flags & kHeaderInQueue)
    return kWaveStillPlaying;
  header->flags = header->flags & ~kHeaderPrepared;
  return kWaveOk;
}

uint32_t WaveOutSystem::Write(WaveOutHandle handle, WaveOutHeader* header) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  if (!header)
    return kWaveBadParam;
  std::vector<WaveOutHeader*> refused;
  {
    std::lock_guard lock(h->mutex);
    if (h->closed)
      return kWaveBadHandle;
    if (!(header->flags & kHeaderPrepared))
      return kWaveUnprepared;
    if (header->flags & kHeaderInQueue)
      return kWaveStillPlaying;
    header->flags = (header->flags & ~kHeaderDone) | kHeaderInQueue;
    h->queue.push_back(header);
    if (h->queue.size() > 1)
      return kWaveOk;
    refused = h->StartFrontLocked();
  }
  // The stream refused the buffer: nothing plays it.
  if (!refused.empty() && refused.front() == header) {
    header->flags = header->flags & ~kHeaderDone;
    return kWaveError;
  }
  return kWaveOk;
}

uint32_t WaveOutSystem::Reset(WaveOutHandle handle) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  std::vector<WaveOutHeader*> rest;
  WaveOutStream* stream;
  {
    std::lock_guard lock(h->mutex);
    if (h->closed)
      return kWaveBadHandle;
    if (h->resetting)
      return kWaveStillPlaying;
    h->resetting = true;
    if (h->queue.size() > 1)
      rest.assign(h->queue.begin() + 1, h->queue.end());
    h->queue.resize(std::min<size_t>(h->queue.size(), 1));
    stream = h->stream.get();
  }
  // The buffer in play completes inside the stream's Reset.
  stream->Reset();
  for (WaveOutHeader* header : rest)
    header->flags = (header->flags & ~kHeaderInQueue) | kHeaderDone;
  for (WaveOutHeader* header : rest)
    h->Call(header);
  std::lock_guard lock(h->mutex);
  h->queue.clear();
  h->resetting = false;
  return kWaveOk;
}

int WaveOutSystem::OpenCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(
      std::count_if(handles_.begin(), handles_.end(), [](const auto& h) { return h != nullptr; }));
}

namespace {

// The mapper's last resort: a WAV file in the runtime folder, said once.
class RuntimeFileSink final : public WaveOutDevice {
public:
  WaveOutCaps Caps() const override { return WavSinkDevice("")->Caps(); }
  std::unique_ptr<WaveOutStream> Open(const WaveFormat& format, uint32_t* result) override {
    std::lock_guard lock(mutex_);
    if (sink_)
      return sink_->Open(format, result);
    const std::string dir = sys::RuntimeDir();
    if (dir.empty()) {
      static std::once_flag told;
      std::call_once(told, [] {
        sys::Warn("wave", "no sound output could be opened and there is no runtime folder "
                          "for the waves' WAV file");
      });
      *result = kWaveNoDriver;
      return nullptr;
    }
    sink_ = WavSinkDevice(dir + "/wave.wav", true);
    return sink_->Open(format, result);
  }

private:
  std::mutex mutex_;
  std::shared_ptr<WaveOutDevice> sink_;
};

} // namespace

WaveOutSystem& WaveOut() {
  static WaveOutSystem* system = [] {
    auto* s = new WaveOutSystem;
    if (const char* wav = std::getenv("VEXO_WAVE_WAV"); wav && *wav) {
      std::string path = wav;
      s->AddBackend("file", [path] {
        return std::vector<std::shared_ptr<WaveOutDevice>>{WavSinkDevice(path)};
      });
    } else {
      s->AddBackend("alsa", [] { return AlsaWaveDevices(); });
      s->SetFallback(std::make_shared<RuntimeFileSink>());
    }
    return s;
  }();
  return *system;
}

// --- Sounds played by name ----------------------------------------------

namespace {

struct Sound {
  std::mutex calls; // one call at a time
  WaveOutHandle handle = 0;
  WaveOutHeader header;
  std::vector<uint8_t> data;

  std::mutex mutex;
  std::condition_variable doneCv;
  bool done = false;

  void StopLocked() {
    if (!handle)
      return;
    WaveOut().Reset(handle);
    WaveOut().Unprepare(handle, &header);
    WaveOut().Close(handle);
    handle = 0;
  }
};

Sound& TheSound() {
  static Sound* sound = new Sound;
  return *sound;
}

} // namespace

bool PlayWaveSound(const Wave& wave, bool wait) {
  Sound& s = TheSound();
  std::lock_guard calls(s.calls);
  s.StopLocked();
  s.data = wave.data;
  {
    std::lock_guard lock(s.mutex);
    s.done = false;
  }
  WaveFormat format = WaveFormat::Pcm(wave.format.rate, wave.format.bits, wave.format.channels);
  if (WaveOut().Open(
          kWaveMapper, format,
          [&s](WaveOutHandle, WaveOutHeader*) {
            {
              std::lock_guard lock(s.mutex);
              s.done = true;
            }
            s.doneCv.notify_all();
          },
          &s.handle) != kWaveOk)
    return false;
  s.header.data = s.data.data();
  s.header.size = static_cast<uint32_t>(s.data.size());
  s.header.flags = 0;
  if (WaveOut().Prepare(s.handle, &s.header) != kWaveOk ||
      WaveOut().Write(s.handle, &s.header) != kWaveOk) {
    s.StopLocked();
    return false;
  }
  if (wait) {
    std::unique_lock lock(s.mutex);
    s.doneCv.wait(lock, [&s] { return s.done; });
    lock.unlock();
    s.StopLocked();
  }
  return true;
}

bool PlayWaveFile(const std::string& path, bool wait) {
  if (path.empty()) {
    Sound& s = TheSound();
    std::lock_guard calls(s.calls);
    s.StopLocked();
    return true;
  }
  std::string error;
  auto wave = ReadWaveFile(path, &error);
  if (!wave)
    return false;
  return PlayWaveSound(*wave, wait);
}

} // namespace media
