#include "platform/media/wavein.h"

#include "platform/media/caps_name.h"
#include "platform/media/clock.h"
#include "platform/media/pcm.h"
#include "platform/media/wave_sinks.h"
#include "platform/sys/log.h"
#include "platform/sys/bytes.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace media {

std::string WaveInCaps::Name() const {
  return CapsName(name);
}

void WaveInCaps::SetName(std::string_view text) {
  SetCapsName(name, text);
}

void WaveInCaps::Serialize(std::span<uint8_t, 48> out) const {
  sys::ByteWriter w;
  w.U16LE(manufacturerId);
  w.U16LE(productId);
  w.U32LE(driverVersion);
  w.Bytes(name.data(), name.size());
  w.U32LE(formats);
  w.U16LE(channels);
  w.U16LE(reserved);
  std::copy(w.Data().begin(), w.Data().end(), out.begin());
}

uint32_t WaveFormatBit(uint32_t rate, uint16_t bits, uint16_t channels) {
  int r;
  switch (rate) {
  case 11025:
    r = 0;
    break;
  case 22050:
    r = 1;
    break;
  case 44100:
    r = 2;
    break;
  default:
    return 0;
  }
  if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2))
    return 0;
  return 1u << (r * 4 + (bits == 16 ? 2 : 0) + (channels == 2 ? 1 : 0));
}

std::string WaveInErrorText(uint32_t result) {
  switch (result) {
  case kWaveOk:
    return "The command was carried out.";
  case kWaveBadDevice:
    return "The device identifier is out of range.";
  case kWaveBadHandle:
    return "The device handle is not valid.";
  case kWaveNoDriver:
    return "No sound input could be opened.";
  case kWaveNoMemory:
    return "There is not enough memory for the recording.";
  case kWaveBadParam:
    return "A parameter is not valid.";
  case kWaveBadFormat:
    return "The sound input cannot record this format.";
  case kWaveStillPlaying:
    return "Buffers are still queued for recording.";
  case kWaveUnprepared:
    return "The buffer was not prepared.";
  default:
    return "The sound input failed.";
  }
}

struct WaveInSystem::Handle {
  WaveInHandle id = 0;
  std::unique_ptr<WaveInStream> stream;
  WaveInCallback callback;
  uint16_t blockAlign = 1;

  std::mutex calls; // one control call at a time
  std::mutex mutex; // the queue, shared with the stream's thread
  std::deque<WaveInHeader*> queue; // the front one is being filled
  bool started = false;
  bool closed = false;

  static void MarkDone(WaveInHeader* h) {
    h->flags = (h->flags & ~kHeaderInQueue) | kHeaderDone;
  }

  void Captured(std::span<const uint8_t> bytes) {
    std::vector<WaveInHeader*> done;
    {
      std::lock_guard lock(mutex);
      while (!bytes.empty() && !queue.empty()) {
        WaveInHeader* h = queue.front();
        const uint32_t room = h->size / blockAlign * blockAlign;
        const uint32_t at = h->bytesRecorded;
        const size_t n = std::min<size_t>(room - at, bytes.size());
        std::memcpy(h->data + at, bytes.data(), n);
        h->bytesRecorded = at + static_cast<uint32_t>(n);
        bytes = bytes.subspan(n);
        if (h->bytesRecorded >= room) {
          queue.pop_front();
          MarkDone(h);
          done.push_back(h);
        }
      }
    }
    for (WaveInHeader* h : done)
      Call(MM_WIM_DATA, h);
  }

  // Ends the capture; the caller holds calls.
  void StopStream() {
    if (started) {
      stream->Stop();
      started = false;
    }
  }

  void Call(uint32_t message, WaveInHeader* header) {
    if (callback)
      callback(id, message, header);
  }
};

WaveInSystem::~WaveInSystem() = default;

void WaveInSystem::AddBackend(std::string name, Factory factory) {
  std::lock_guard lock(mutex_);
  backends_.push_back({std::move(name), std::move(factory)});
  enumerated_ = false;
}

void WaveInSystem::UseDevices(std::vector<std::shared_ptr<WaveInDevice>> devices) {
  std::lock_guard lock(mutex_);
  backends_.clear();
  backends_.push_back({"fixed", [devices] { return devices; }});
  EnumerateLocked();
}

void WaveInSystem::EnumerateLocked() {
  devices_.clear();
  for (auto& b : backends_)
    for (auto& d : b.factory())
      if (d)
        devices_.push_back(std::move(d));
  enumerated_ = true;
}

void WaveInSystem::Enumerate() {
  std::lock_guard lock(mutex_);
  EnumerateLocked();
}

int WaveInSystem::Count() {
  std::lock_guard lock(mutex_);
  if (!enumerated_)
    EnumerateLocked();
  return static_cast<int>(devices_.size());
}

bool WaveInSystem::Caps(int device, WaveInCaps* caps) {
  std::lock_guard lock(mutex_);
  if (!enumerated_)
    EnumerateLocked();
  WaveInCaps c;
  if (device == kWaveMapper) {
    c.manufacturerId = 1;
    c.productId = 3;
    c.driverVersion = 0x0100;
    c.SetName("Wave Mapper");
    for (auto& d : devices_)
      c.formats |= d->Caps().formats;
    c.channels = 2;
  } else if (device >= 0 && device < static_cast<int>(devices_.size())) {
    c = devices_[static_cast<size_t>(device)]->Caps();
  } else {
    return false;
  }
  if (caps)
    *caps = c;
  return true;
}

uint32_t WaveInSystem::Open(int device, const WaveFormat& format, win::Hwnd window,
                            WaveInHandle* handle) {
  return Open(
      device, format,
      [window](WaveInHandle h, uint32_t message, WaveInHeader* header) {
        win::PostMessage(window, message, h, reinterpret_cast<win::LParam>(header));
      },
      handle);
}

uint32_t WaveInSystem::Open(int device, const WaveFormat& format, WaveInCallback callback,
                            WaveInHandle* handle) {
  if (!handle)
    return kWaveBadParam;
  *handle = 0;
  if (format.formatTag != 1 || (format.bits != 8 && format.bits != 16) ||
      (format.channels != 1 && format.channels != 2) || format.rate == 0 || format.rate > 192000 ||
      format.blockAlign != format.bits / 8 * format.channels)
    return kWaveBadFormat;
  std::vector<std::shared_ptr<WaveInDevice>> candidates;
  {
    std::lock_guard lock(mutex_);
    if (!enumerated_)
      EnumerateLocked();
    if (device == kWaveMapper)
      candidates = devices_;
    else if (device >= 0 && device < static_cast<int>(devices_.size()))
      candidates.push_back(devices_[static_cast<size_t>(device)]);
    else
      return kWaveBadDevice;
  }
  uint32_t result = kWaveNoDriver;
  std::unique_ptr<WaveInStream> stream;
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
  h->blockAlign = format.blockAlign;
  {
    std::lock_guard lock(mutex_);
    auto slot = std::find(handles_.begin(), handles_.end(), nullptr);
    if (slot == handles_.end())
      slot = handles_.insert(handles_.end(), nullptr);
    h->id = static_cast<WaveInHandle>(slot - handles_.begin() + 1);
    *slot = h;
  }
  *handle = h->id;
  h->Call(MM_WIM_OPEN, nullptr);
  return kWaveOk;
}

std::shared_ptr<WaveInSystem::Handle> WaveInSystem::Find(WaveInHandle handle) {
  std::lock_guard lock(mutex_);
  if (handle == 0 || handle > handles_.size())
    return nullptr;
  return handles_[handle - 1];
}

uint32_t WaveInSystem::Close(WaveInHandle handle) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  std::lock_guard calls(h->calls);
  {
    std::lock_guard lock(h->mutex);
    if (h->closed)
      return kWaveBadHandle;
    if (!h->queue.empty())
      return kWaveStillPlaying;
  }
  h->StopStream();
  {
    std::lock_guard lock(h->mutex);
    h->closed = true;
  }
  h->stream.reset();
  {
    std::lock_guard lock(mutex_);
    handles_[handle - 1] = nullptr;
  }
  h->Call(MM_WIM_CLOSE, nullptr);
  return kWaveOk;
}

uint32_t WaveInSystem::Prepare(WaveInHandle handle, WaveInHeader* header) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  if (!header || (!header->data && header->size > 0))
    return kWaveBadParam;
  if (header->flags & kHeaderInQueue)
    return kWaveStillPlaying;
  header->flags = (header->flags & ~kHeaderDone) | kHeaderPrepared;
  return kWaveOk;
}

uint32_t WaveInSystem::Unprepare(WaveInHandle handle, WaveInHeader* header) {
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

uint32_t WaveInSystem::Add(WaveInHandle handle, WaveInHeader* header) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  if (!header)
    return kWaveBadParam;
  std::lock_guard lock(h->mutex);
  if (h->closed)
    return kWaveBadHandle;
  if (!(header->flags & kHeaderPrepared))
    return kWaveUnprepared;
  if (header->flags & kHeaderInQueue)
    return kWaveStillPlaying;
  // A buffer too small for one frame could never be filled.
  if (header->size < h->blockAlign)
    return kWaveBadParam;
  header->bytesRecorded = 0;
  header->flags = (header->flags & ~kHeaderDone) | kHeaderInQueue;
  h->queue.push_back(header);
  return kWaveOk;
}

uint32_t WaveInSystem::Start(WaveInHandle handle) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  std::lock_guard calls(h->calls);
  if (h->closed)
    return kWaveBadHandle;
  if (h->started)
    return kWaveOk;
  Handle* raw = h.get();
  if (!h->stream->Start([raw](std::span<const uint8_t> bytes) { raw->Captured(bytes); }))
    return kWaveError;
  h->started = true;
  return kWaveOk;
}

uint32_t WaveInSystem::Stop(WaveInHandle handle) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  std::lock_guard calls(h->calls);
  if (h->closed)
    return kWaveBadHandle;
  h->StopStream();
  WaveInHeader* partial = nullptr;
  {
    std::lock_guard lock(h->mutex);
    if (!h->queue.empty() && h->queue.front()->bytesRecorded > 0) {
      partial = h->queue.front();
      h->queue.pop_front();
      Handle::MarkDone(partial);
    }
  }
  if (partial)
    h->Call(MM_WIM_DATA, partial);
  return kWaveOk;
}

uint32_t WaveInSystem::Reset(WaveInHandle handle) {
  auto h = Find(handle);
  if (!h)
    return kWaveBadHandle;
  std::lock_guard calls(h->calls);
  if (h->closed)
    return kWaveBadHandle;
  h->StopStream();
  std::deque<WaveInHeader*> rest;
  {
    std::lock_guard lock(h->mutex);
    rest.swap(h->queue);
  }
  for (WaveInHeader* header : rest)
    Handle::MarkDone(header);
  for (WaveInHeader* header : rest)
    h->Call(MM_WIM_DATA, header);
  return kWaveOk;
}

int WaveInSystem::OpenCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(
      std::count_if(handles_.begin(), handles_.end(), [](const auto& h) { return h != nullptr; }));
}

WaveInSystem& WaveIn() {
  static WaveInSystem* system = [] {
    auto* s = new WaveInSystem;
    if (const char* wav = std::getenv("VEXO_MIC_WAV"); wav && *wav) {
      std::string path = wav;
      s->AddBackend("file", [path] {
        std::string error;
        auto mic = WavMicrophone::FromFile(path, &error);
        if (!mic)
          sys::Warn("wave", "the microphone file %s cannot be read: %s", path.c_str(),
                    error.c_str());
        return std::vector<std::shared_ptr<WaveInDevice>>{mic};
      });
    } else {
      s->AddBackend("alsa", [] { return AlsaWaveInDevices(); });
    }
    return s;
  }();
  return *system;
}

// --- WAV microphone ------------------------------------------------------

struct WavMicrophone::State {
  mutable std::mutex mutex;
  Wave wave;
  std::string name;
  uint32_t startMs = 0;
  // The sound in the format last opened, kept for the next opening.
  WaveFormat convertedFormat;
  std::shared_ptr<const std::vector<uint8_t>> converted;
};

namespace {

class WavMicStream final : public WaveInStream {
public:
  WavMicStream(const WaveFormat& format, std::shared_ptr<const std::vector<uint8_t>> data,
               uint32_t startMs)
      : format_(format), data_(std::move(data)), startMs_(startMs) {}
  ~WavMicStream() override { Stop(); }

  bool Start(std::function<void(std::span<const uint8_t>)> sink) override {
    Stop();
    sink_ = std::move(sink);
    next_ = FrameAt(NowMs());
    timer_ = Time().SetPeriodicEvent(kSinkPeriodMs, 1, [this] { Tick(); });
    return timer_ != 0;
  }

  void Stop() override {
    if (timer_) {
      Time().KillEvent(timer_);
      timer_ = 0;
    }
  }

private:
  // The frame of the file that sounds at ms; negative before the start.
  int64_t FrameAt(uint32_t ms) const {
    const int64_t since = static_cast<int32_t>(ms - startMs_);
    return since * static_cast<int64_t>(format_.rate) / 1000;
  }

  void Tick() {
    const int64_t due = FrameAt(NowMs());
    if (due <= next_)
      return;
    const size_t frame = format_.blockAlign;
    const int64_t frames = static_cast<int64_t>(data_->size() / frame);
    const uint8_t silence = format_.bits == 8 ? 0x80 : 0x00;
    out_.assign(static_cast<size_t>(due - next_) * frame, silence);
    const int64_t from = std::clamp<int64_t>(next_, 0, frames);
    const int64_t to = std::clamp<int64_t>(due, 0, frames);
    if (to > from)
      std::memcpy(out_.data() + (from - next_) * frame, data_->data() + from * frame,
                  static_cast<size_t>(to - from) * frame);
    next_ = due;
    sink_(out_);
  }

  const WaveFormat format_;
  const std::shared_ptr<const std::vector<uint8_t>> data_;
  const uint32_t startMs_;
  std::function<void(std::span<const uint8_t>)> sink_;
  uint32_t timer_ = 0;
  int64_t next_ = 0;
  std::vector<uint8_t> out_;
};

bool SameFormat(const WaveFormat& a, const WaveFormat& b) {
  return a.rate == b.rate && a.bits == b.bits && a.channels == b.channels;
}

} // namespace

std::shared_ptr<WavMicrophone> WavMicrophone::FromFile(const std::string& path,
                                                       std::string* error) {
  auto wave = ReadWaveFile(path, error);
  if (!wave)
    return nullptr;
  return std::make_shared<WavMicrophone>(std::move(*wave));
}

WavMicrophone::WavMicrophone(Wave wave, std::string name) : state_(std::make_shared<State>()) {
  state_->wave = std::move(wave);
  state_->name = std::move(name);
  state_->startMs = NowMs();
}

void WavMicrophone::SetStart(uint32_t ms) {
  std::lock_guard lock(state_->mutex);
  state_->startMs = ms;
}

uint32_t WavMicrophone::StartMs() const {
  std::lock_guard lock(state_->mutex);
  return state_->startMs;
}

WaveInCaps WavMicrophone::Caps() const {
  WaveInCaps c;
  c.manufacturerId = kManufacturerVexoWave;
  c.productId = kProductWavMicrophone;
  c.driverVersion = 0x0100;
  std::lock_guard lock(state_->mutex);
  c.SetName(state_->name);
  c.formats = kWaveFormatsAll;
  c.channels = state_->wave.format.channels;
  return c;
}

std::unique_ptr<WaveInStream> WavMicrophone::Open(const WaveFormat& format, uint32_t* result) {
  std::lock_guard lock(state_->mutex);
  if (!state_->converted || !SameFormat(state_->convertedFormat, format)) {
    std::string error;
    auto data = ConvertPcm(state_->wave, format, &error);
    if (!data) {
      *result = kWaveBadFormat;
      return nullptr;
    }
    state_->converted = std::make_shared<const std::vector<uint8_t>>(std::move(*data));
    state_->convertedFormat = format;
  }
  *result = kWaveOk;
  return std::make_unique<WavMicStream>(format, state_->converted, state_->startMs);
}

} // namespace media
