#include "platform/media/wave_sinks.h"

#include "platform/media/clock.h"
#include "platform/sys/log.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace media {
namespace {

void TellOnce(std::once_flag& flag, const std::string& text) {
  std::call_once(flag, [&] { sys::Warn("wave", "%s", text.c_str()); });
}

// A stream that hands the bytes of its buffer to Consume as they fall due on
// the time source, from a periodic event alive while it is open.
class PacedStream : public WaveOutStream {
public:
  explicit PacedStream(const WaveFormat& format) : format_(format) {}

  // Starts the timer; false when the time source has none to give.
  bool Start() {
    timer_ = Time().SetPeriodicEvent(kSinkPeriodMs, 1, [this] { Tick(); });
    return timer_ != 0;
  }

  // Derived classes call it first in their destructors, so that no tick
  // runs into a half-destroyed stream.
  void Stop() {
    if (timer_) {
      Time().KillEvent(timer_);
      timer_ = 0;
    }
  }

  bool Play(std::span<const uint8_t> bytes, std::function<void()> done) override {
    std::lock_guard lock(mutex_);
    if (!CanPlay() || done_)
      return false;
    const uint32_t frame = format_.blockAlign ? format_.blockAlign : 1;
    bytes_ = bytes.first(bytes.size() / frame * frame);
    consumed_ = 0;
    startMs_ = NowMs();
    done_ = std::move(done);
    return true;
  }

  void Reset() override {
    std::function<void()> done;
    {
      std::unique_lock lock(mutex_);
      // A tick that took the buffer's done is running it now: wait for it.
      idle_.wait(lock, [this] { return !inDone_; });
      done = std::move(done_);
      done_ = nullptr;
      bytes_ = {};
    }
    if (done)
      done();
  }

protected:
  // Bytes that fell due, under the stream's lock, on the timer's thread.
  virtual void Consume(std::span<const uint8_t> bytes, uint32_t timeMs) = 0;
  // A buffer ended (played or reset).
  virtual void Ended() {}
  virtual bool CanPlay() { return true; }

  const WaveFormat format_;

private:
  void Tick() {
    std::function<void()> done;
    {
      std::lock_guard lock(mutex_);
      if (!done_)
        return;
      const uint32_t now = NowMs();
      const uint64_t elapsed = now - startMs_;
      const uint32_t frame = format_.blockAlign ? format_.blockAlign : 1;
      const uint64_t frames = bytes_.size() / frame;
      const uint64_t dueFrames = std::min<uint64_t>(frames, elapsed * format_.rate / 1000);
      const size_t due = static_cast<size_t>(dueFrames * frame);
      if (due > consumed_) {
        Consume(bytes_.subspan(consumed_, due - consumed_), now);
        consumed_ = due;
      }
      // Complete once the clock has passed the whole sound's length.
      if (dueFrames < frames || elapsed * format_.rate < frames * 1000)
        return;
      Ended();
      done = std::move(done_);
      done_ = nullptr;
      bytes_ = {};
      inDone_ = true;
    }
    done();
    {
      std::lock_guard lock(mutex_);
      inDone_ = false;
    }
    idle_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable idle_;
  uint32_t timer_ = 0;
  std::span<const uint8_t> bytes_;
  size_t consumed_ = 0;
  uint32_t startMs_ = 0;
  std::function<void()> done_;
  bool inDone_ = false;
};

bool Supported(const WaveFormat& f) {
  return f.formatTag == 1 && (f.bits == 8 || f.bits == 16) &&
         (f.channels == 1 || f.channels == 2) && f.rate > 0;
}

// --- WAV file ------------------------------------------------------------

// The sink's file, shared by its openings: kept while they play the same
// format, written anew for another one.
struct WavFileState {
  std::mutex mutex;
  FILE* file = nullptr;
  WaveFormat format;
  uint64_t bytes = 0;
  bool failed = false;

  ~WavFileState() { CloseLocked(); }

  bool WriteHeaderLocked() {
    const std::vector<uint8_t> header = WaveHeader(format, static_cast<uint32_t>(bytes));
    return file && std::fflush(file) == 0 && std::fseek(file, 0, SEEK_SET) == 0 &&
           std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
           std::fseek(file, 0, SEEK_END) == 0 && std::fflush(file) == 0;
  }
  void CloseLocked() {
    if (!file)
      return;
    WriteHeaderLocked();
    std::fclose(file);
    file = nullptr;
  }
  void Append(std::span<const uint8_t> data) {
    std::lock_guard lock(mutex);
    if (failed || !file)
      return;
    const uint64_t room = kMaxWaveDataBytes / format.blockAlign * format.blockAlign - bytes;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(room, data.size()));
    if (std::fwrite(data.data(), 1, n, file) != n) {
      failed = true;
      static std::once_flag told;
      TellOnce(told, std::string("cannot write the wave sink's file: ") + std::strerror(errno));
      return;
    }
    bytes += n;
  }
  void WriteHeader() {
    std::lock_guard lock(mutex);
    WriteHeaderLocked();
  }
};

class WavSinkStream final : public PacedStream {
public:
  WavSinkStream(const WaveFormat& format, std::shared_ptr<WavFileState> state)
      : PacedStream(format), state_(std::move(state)) {}
  ~WavSinkStream() override {
    Stop();
    state_->WriteHeader();
  }

protected:
  void Consume(std::span<const uint8_t> bytes, uint32_t) override { state_->Append(bytes); }
  void Ended() override { state_->WriteHeader(); }

private:
  std::shared_ptr<WavFileState> state_;
};

bool SameFormat(const WaveFormat& a, const WaveFormat& b) {
  return a.rate == b.rate && a.bits == b.bits && a.channels == b.channels;
}

class WavSink final : public WaveOutDevice {
public:
  WavSink(std::string path, bool announce) : path_(std::move(path)), announce_(announce) {}

  WaveOutCaps Caps() const override {
    WaveOutCaps c;
    c.manufacturerId = kManufacturerVexoWave;
    c.productId = kProductWavSink;
    c.driverVersion = 0x0100;
    c.SetName("Wave File");
    c.formats = kWaveFormatsAll;
    return c;
  }

  std::unique_ptr<WaveOutStream> Open(const WaveFormat& format, uint32_t* result) override {
    if (!Supported(format)) {
      *result = kWaveBadFormat;
      return nullptr;
    }
    {
      std::lock_guard lock(state_->mutex);
      if (!state_->file || state_->failed || !SameFormat(state_->format, format)) {
        state_->CloseLocked();
        state_->file = std::fopen(path_.c_str(), "wb");
        if (!state_->file) {
          static std::once_flag told;
          TellOnce(told, "cannot write " + path_ + ": " + std::strerror(errno));
          *result = kWaveNoDriver;
          return nullptr;
        }
        state_->format = format;
        state_->bytes = 0;
        state_->failed = false;
        if (!state_->WriteHeaderLocked()) {
          *result = kWaveError;
          return nullptr;
        }
      }
    }
    if (announce_) {
      static std::once_flag told;
      TellOnce(told, "no sound output could be opened; waves are written to " + path_);
    }
    auto stream = std::make_unique<WavSinkStream>(format, state_);
    if (!stream->Start()) {
      *result = kWaveError;
      return nullptr;
    }
    *result = kWaveOk;
    return stream;
  }

private:
  std::string path_;
  bool announce_;
  std::shared_ptr<WavFileState> state_ = std::make_shared<WavFileState>();
};

} // namespace

std::shared_ptr<WaveOutDevice> WavSinkDevice(std::string path, bool announce) {
  return std::make_shared<WavSink>(std::move(path), announce);
}

// --- Recording sink ------------------------------------------------------

struct RecordingWaveOut::Log {
  mutable std::mutex mutex;
  std::string name;
  bool openFails = false;
  bool playFails = false;
  int opens = 0;
  int closes = 0;
  std::vector<RecordedWaveStream> streams;
};

namespace {

class RecordingStream final : public PacedStream {
public:
  RecordingStream(const WaveFormat& format, std::shared_ptr<RecordingWaveOut::Log> log,
                  size_t index)
      : PacedStream(format), log_(std::move(log)), index_(index) {}
  ~RecordingStream() override {
    Stop();
    std::lock_guard lock(log_->mutex);
    log_->streams[index_].closed = true;
    ++log_->closes;
  }

protected:
  void Consume(std::span<const uint8_t> bytes, uint32_t timeMs) override {
    std::lock_guard lock(log_->mutex);
    log_->streams[index_].chunks.push_back({timeMs, {bytes.begin(), bytes.end()}});
  }
  bool CanPlay() override {
    std::lock_guard lock(log_->mutex);
    return !log_->playFails;
  }

private:
  std::shared_ptr<RecordingWaveOut::Log> log_;
  size_t index_;
};

} // namespace

std::vector<uint8_t> RecordedWaveStream::Bytes() const {
  std::vector<uint8_t> all;
  for (const Chunk& c : chunks)
    all.insert(all.end(), c.bytes.begin(), c.bytes.end());
  return all;
}

RecordingWaveOut::RecordingWaveOut(std::string_view name) : log_(std::make_shared<Log>()) {
  log_->name = name;
}

RecordingWaveOut::~RecordingWaveOut() = default;

WaveOutCaps RecordingWaveOut::Caps() const {
  WaveOutCaps c;
  c.manufacturerId = kManufacturerVexoWave;
  c.productId = kProductRecordingSink;
  c.driverVersion = 0x0100;
  std::lock_guard lock(log_->mutex);
  c.SetName(log_->name);
  c.formats = kWaveFormatsAll;
  return c;
}

std::unique_ptr<WaveOutStream> RecordingWaveOut::Open(const WaveFormat& format, uint32_t* result) {
  size_t index;
  {
    std::lock_guard lock(log_->mutex);
    if (log_->openFails) {
      *result = kWaveNoDriver;
      return nullptr;
    }
    if (!Supported(format)) {
      *result = kWaveBadFormat;
      return nullptr;
    }
    ++log_->opens;
    index = log_->streams.size();
    log_->streams.push_back({format, NowMs(), {}, false});
  }
  auto stream = std::make_unique<RecordingStream>(format, log_, index);
  if (!stream->Start()) {
    *result = kWaveError;
    return nullptr;
  }
  *result = kWaveOk;
  return stream;
}

void RecordingWaveOut::SetOpenFails(bool fails) {
  std::lock_guard lock(log_->mutex);
  log_->openFails = fails;
}

void RecordingWaveOut::SetPlayFails(bool fails) {
  std::lock_guard lock(log_->mutex);
  log_->playFails = fails;
}

std::vector<RecordedWaveStream> RecordingWaveOut::Streams() const {
  std::lock_guard lock(log_->mutex);
  return log_->streams;
}

int RecordingWaveOut::Opens() const {
  std::lock_guard lock(log_->mutex);
  return log_->opens;
}

int RecordingWaveOut::Closes() const {
  std::lock_guard lock(log_->mutex);
  return log_->closes;
}

int RecordingWaveOut::OpenStreams() const {
  std::lock_guard lock(log_->mutex);
  return log_->opens - log_->closes;
}

void RecordingWaveOut::Clear() {
  std::lock_guard lock(log_->mutex);
  // Streams still open keep writing to their own records.
  for (auto& s : log_->streams)
    s.chunks.clear();
}

} // namespace media
