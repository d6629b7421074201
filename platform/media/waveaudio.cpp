#include "platform/media/waveaudio.h"

#include "platform/media/mci.h"
#include "platform/media/riff.h"
#include "platform/media/wavein.h"
#include "platform/media/waveout.h"
#include "platform/sys/atomic_file.h"

#include <cerrno>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace media {
namespace {

using mci::Reply;
using mci::Request;

// A count or a time: a whole number of 0 to UINT32_MAX.
std::optional<uint32_t> Number(const std::string& word) {
  const std::optional<int64_t> v = mci::ParseInteger(word);
  if (!v || *v < 0 || *v > UINT32_MAX)
    return std::nullopt;
  return static_cast<uint32_t>(*v);
}

bool FormatTaken(const WaveFormat& f) {
  return f.formatTag == 1 && (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2) &&
         f.rate >= 1 && f.rate <= 192000;
}

class WaveAudio final : public mci::Device {
public:
  WaveAudio(mci::DeviceId id, WaveFormat format, std::vector<uint8_t> sound, bool opened)
      : id_(id), format_(format) {
    if (!sound.empty()) {
      sound_ = std::make_unique<uint8_t[]>(sound.size());
      std::copy(sound.begin(), sound.end(), sound_.get());
      length_ = static_cast<uint32_t>(sound.size());
    }
    hasSound_ = opened;
  }
  ~WaveAudio() override { StopAll(); }

  uint32_t Execute(const Request& r, Reply& reply) override {
    if (r.verb == "set")
      return Set(r);
    if (r.verb == "record")
      return Record(r, reply);
    if (r.verb == "play")
      return Play(r, reply);
    if (r.verb == "stop") {
      StopAll();
      return mci::kOk;
    }
    if (r.verb == "save")
      return Save(r);
    if (r.verb == "status")
      return Status(r, reply);
    return mci::kErrUnrecognizedCommand;
  }

  void Close(const Request&) override { StopAll(); }

private:
  enum class Mode { kStopped, kRecording, kPlaying };

  uint32_t FrameMs(uint64_t bytes) const {
    const uint64_t perSecond = uint64_t(format_.blockAlign) * format_.rate;
    return perSecond ? static_cast<uint32_t>(bytes * 1000 / perSecond) : 0;
  }
  uint64_t MsBytes(uint32_t ms) const {
    return uint64_t(format_.rate) * ms / 1000 * format_.blockAlign;
  }

  uint32_t Set(const Request& r) {
    WaveFormat f = format_;
    std::optional<uint32_t> alignment, bytesPerSecond;
    for (size_t i = 0; i < r.args.size(); ++i) {
      if (r.Is(i, "time") && r.Is(i + 1, "format")) {
        if (!r.Is(i + 2, "ms") && !r.Is(i + 2, "milliseconds"))
          return mci::kErrBadTimeFormat;
        i += 2;
        continue;
      }
      if (r.Is(i, "format") && r.Is(i + 1, "tag")) {
        if (!r.Is(i + 2, "pcm") && !(i + 2 < r.args.size() && r.args[i + 2] == "1"))
          return mci::kErrOutOfRange;
        i += 2;
        continue;
      }
      const bool known = r.Is(i, "bitspersample") || r.Is(i, "samplespersec") ||
                         r.Is(i, "channels") || r.Is(i, "alignment") || r.Is(i, "bytespersec");
      if (!known)
        return mci::kErrUnrecognizedKeyword;
      if (i + 1 >= r.args.size())
        return mci::kErrMissingParameter;
      const std::optional<uint32_t> v = Number(r.args[i + 1]);
      if (!v)
        return mci::kErrBadInteger;
      if (r.Is(i, "bitspersample"))
        f.bits = static_cast<uint16_t>(std::min<uint32_t>(*v, 0xFFFF));
      else if (r.Is(i, "samplespersec"))
        f.rate = *v;
      else if (r.Is(i, "channels"))
        f.channels = static_cast<uint16_t>(std::min<uint32_t>(*v, 0xFFFF));
      else if (r.Is(i, "alignment"))
        alignment = *v;
      else
        bytesPerSecond = *v;
      ++i;
    }
    if (!FormatTaken(f))
      return mci::kErrOutOfRange;
    f = WaveFormat::Pcm(f.rate, f.bits, f.channels);
    // The derived fields must agree with the rest when they are given.
    if ((alignment && *alignment != f.blockAlign) || (bytesPerSecond && *bytesPerSecond != f.byteRate))
      return mci::kErrOutOfRange;
    {
      std::lock_guard lock(mu_);
      if (Busy())
        return mci::kErrDeviceNotReady;
    }
    StopAll(); // a take that ended by itself lets go of its device
    std::lock_guard lock(mu_);
    if (f.rate != format_.rate || f.bits != format_.bits || f.channels != format_.channels) {
      // Sound of another format means nothing in this one.
      sound_.reset();
      length_ = 0;
      hasSound_ = false;
    }
    format_ = f;
    return mci::kOk;
  }

  uint32_t Record(const Request& r, Reply& reply) {
    uint32_t to = kMaxRecordMs;
    for (size_t i = 0; i < r.args.size(); ++i) {
      if (r.Is(i, "insert") || r.Is(i, "overwrite"))
        continue;
      if (!r.Is(i, "from") && !r.Is(i, "to"))
        return mci::kErrUnrecognizedKeyword;
      if (i + 1 >= r.args.size())
        return mci::kErrMissingParameter;
      const std::optional<uint32_t> v = Number(r.args[i + 1]);
      if (!v)
        return mci::kErrBadInteger;
      if (r.Is(i, "from") && *v != 0)
        return mci::kErrUnsupportedFunction; // a recording always starts anew
      if (r.Is(i, "to"))
        to = *v;
      ++i;
    }
    if (to == 0 || to > kMaxRecordMs)
      return mci::kErrOutOfRange;
    const uint64_t bytes = MsBytes(to);
    if (bytes == 0 || bytes > kMaxWaveDataBytes || bytes > UINT32_MAX)
      return mci::kErrOutOfRange;
    StopAll();
    // The whole recording's room is taken before anything records: a
    // recording that cannot fit is refused here rather than cut part-way.
    std::unique_ptr<uint8_t[]> room(new (std::nothrow) uint8_t[bytes]);
    if (!room)
      return mci::kErrOutOfMemory;
    auto take = std::make_shared<Take>();
    take->header.data = room.get();
    take->header.size = static_cast<uint32_t>(bytes);
    const uint64_t generation = ++generation_;
    WaveInHandle handle = 0;
    const uint32_t opened = WaveIn().Open(
        kWaveMapper, format_,
        [this, generation](WaveInHandle, uint32_t message, WaveInHeader*) {
          if (message == MM_WIM_DATA)
            Ended(generation);
        },
        &handle);
    if (opened != kWaveOk)
      return mci::kErrHardware;
    if (WaveIn().Prepare(handle, &take->header) != kWaveOk ||
        WaveIn().Add(handle, &take->header) != kWaveOk) {
      WaveIn().Close(handle);
      return mci::kErrHardware;
    }
    {
      std::lock_guard lock(mu_);
      sound_ = std::move(room);
      length_ = 0;
      hasSound_ = true;
      take_ = take;
      inHandle_ = handle;
      mode_ = Mode::kRecording;
      notice_ = r.notice;
    }
    if (WaveIn().Start(handle) != kWaveOk) {
      StopAll();
      return mci::kErrHardware;
    }
    reply.pending = r.notify;
    return mci::kOk;
  }

  uint32_t Play(const Request& r, Reply& reply) {
    std::optional<uint32_t> from, to;
    for (size_t i = 0; i < r.args.size(); i += 2) {
      if (!r.Is(i, "from") && !r.Is(i, "to"))
        return mci::kErrUnrecognizedKeyword;
      if (i + 1 >= r.args.size())
        return mci::kErrMissingParameter;
      const std::optional<uint32_t> v = Number(r.args[i + 1]);
      if (!v)
        return mci::kErrBadInteger;
      (r.Is(i, "from") ? from : to) = *v;
    }
    StopAll();
    std::unique_lock lock(mu_);
    const uint32_t lengthMs = FrameMs(length_);
    const uint32_t start = from.value_or(0);
    const uint32_t end = to.value_or(lengthMs);
    if (start > lengthMs || end > lengthMs || start > end)
      return mci::kErrOutOfRange;
    const uint64_t first = std::min<uint64_t>(MsBytes(start), length_);
    const uint64_t last = end == lengthMs ? length_ : std::min<uint64_t>(MsBytes(end), length_);
    auto take = std::make_shared<Take>();
    const uint64_t generation = ++generation_;
    lock.unlock();
    WaveOutHandle handle = 0;
    if (WaveOut().Open(
            kWaveMapper, format_,
            [this, generation](WaveOutHandle, WaveOutHeader*) { Ended(generation); },
            &handle) != kWaveOk)
      return mci::kErrHardware;
    lock.lock();
    take->out.data = sound_.get() + first;
    take->out.size = static_cast<uint32_t>(last - first);
    take_ = take;
    outHandle_ = handle;
    mode_ = Mode::kPlaying;
    notice_ = r.notice;
    lock.unlock();
    if (take->out.size == 0) {
      // Nothing to play: it is over at once.
      Ended(generation);
    } else if (WaveOut().Prepare(handle, &take->out) != kWaveOk ||
               WaveOut().Write(handle, &take->out) != kWaveOk) {
      StopAll();
      return mci::kErrHardware;
    }
    reply.pending = r.notify;
    return mci::kOk;
  }

  uint32_t Save(const Request& r) {
    if (r.args.size() != 1 || r.args[0].empty())
      return mci::kErrMissingParameter;
    std::lock_guard lock(mu_);
    if ((mode_ == Mode::kRecording && Busy()) || !hasSound_)
      return mci::kErrDeviceNotReady;
    const uint32_t length = CurrentLength();
    auto file = sys::AtomicFile::Create(r.args[0]);
    if (!file)
      return mci::kErrFileNotSaved;
    const std::vector<uint8_t> header = WaveHeader(format_, length);
    const uint8_t pad = 0;
    const bool written = file->Write(header) &&
                         file->Write(std::span<const uint8_t>(sound_.get(), length)) &&
                         (length % 2 == 0 || file->Write(std::span<const uint8_t>(&pad, 1)));
    if (!written || !file->Commit())
      return mci::kErrFileNotSaved;
    return mci::kOk;
  }

  uint32_t Status(const Request& r, Reply& reply) {
    if (r.args.size() != 1)
      return r.args.empty() ? mci::kErrMissingParameter : mci::kErrUnrecognizedKeyword;
    std::lock_guard lock(mu_);
    if (r.Is(0, "mode")) {
      reply.text = !Busy()                     ? "stopped"
                   : mode_ == Mode::kRecording ? "recording"
                                               : "playing";
    } else if (r.Is(0, "ready")) {
      reply.text = "true";
    } else if (r.Is(0, "length")) {
      reply.text = std::to_string(FrameMs(CurrentLength()));
    } else if (r.Is(0, "position")) {
      reply.text = std::to_string(FrameMs(mode_ == Mode::kPlaying ? Played() : CurrentLength()));
    } else if (r.Is(0, "bitspersample")) {
      reply.text = std::to_string(format_.bits);
    } else if (r.Is(0, "samplespersec")) {
      reply.text = std::to_string(format_.rate);
    } else if (r.Is(0, "channels")) {
      reply.text = std::to_string(format_.channels);
    } else {
      return mci::kErrUnrecognizedKeyword;
    }
    return mci::kOk;
  }

  // Recording or playing and not at its end yet (the caller holds mu_).
  bool Busy() const { return mode_ != Mode::kStopped && ended_ != generation_; }

  // Bytes recorded so far (the caller holds mu_).
  uint32_t CurrentLength() const {
    return mode_ == Mode::kRecording && take_ ? take_->header.bytesRecorded.load() : length_;
  }
  // Bytes played so far of the sound, as far as the wave output tells (the
  // caller holds mu_): the start of the part being played, or all of it
  // once it is done.
  uint32_t Played() const {
    if (!take_ || !sound_)
      return 0;
    const auto offset = static_cast<uint32_t>(take_->out.data - sound_.get());
    return (take_->out.flags & kHeaderDone) ? offset + take_->out.size : offset;
  }

  // The capture filled its room, or the playback came to its end: a natural
  // end. A stale call (of a take stopped since) is ignored.
  void Ended(uint64_t generation) {
    uint64_t notice = 0;
    {
      std::lock_guard lock(mu_);
      if (generation != generation_ || stopping_ || mode_ == Mode::kStopped || ended_ == generation)
        return;
      ended_ = generation;
      notice = notice_;
      notice_ = 0;
    }
    if (notice)
      mci::Finish(id_, notice, mci::kNotifySuccessful);
  }

  // Ends what records or plays; its notification, if still armed, is
  // ABORTED. Never called with mu_ held: the devices call back inside
  // Stop and Reset.
  void StopAll() {
    WaveInHandle in = 0;
    WaveOutHandle out = 0;
    std::shared_ptr<Take> take;
    uint64_t notice = 0;
    {
      std::lock_guard lock(mu_);
      if (mode_ == Mode::kStopped && !inHandle_ && !outHandle_)
        return;
      stopping_ = true;
      in = inHandle_;
      out = outHandle_;
      take = take_;
      notice = notice_;
    }
    if (in) {
      WaveIn().Reset(in);
      WaveIn().Unprepare(in, &take->header);
      WaveIn().Close(in);
    }
    if (out) {
      WaveOut().Reset(out);
      WaveOut().Unprepare(out, &take->out);
      WaveOut().Close(out);
    }
    {
      std::lock_guard lock(mu_);
      if (in && take)
        length_ = take->header.bytesRecorded.load();
      inHandle_ = 0;
      outHandle_ = 0;
      mode_ = Mode::kStopped;
      stopping_ = false;
      notice_ = 0;
      ++generation_;
    }
    if (notice)
      mci::Finish(id_, notice, mci::kNotifyAborted);
  }

  // The headers of one recording or playback.
  struct Take {
    WaveInHeader header;
    WaveOutHeader out;
  };

  const mci::DeviceId id_;
  std::mutex mu_;
  WaveFormat format_;
  std::unique_ptr<uint8_t[]> sound_;
  uint32_t length_ = 0;   // bytes of sound held
  bool hasSound_ = false; // recorded, or made from a file: there is a sound to save
  std::shared_ptr<Take> take_;
  WaveInHandle inHandle_ = 0;
  WaveOutHandle outHandle_ = 0;
  Mode mode_ = Mode::kStopped;
  bool stopping_ = false;
  uint64_t notice_ = 0;
  uint64_t generation_ = 0;
  uint64_t ended_ = 0;
};

std::unique_ptr<mci::Device> MakeWaveAudio(const mci::OpenRequest& request, uint32_t* error) {
  if (!request.args.empty()) {
    *error = mci::kErrUnrecognizedKeyword;
    return nullptr;
  }
  const WaveFormat defaultFormat = WaveFormat::Pcm(11025, 8, 1);
  if (request.element.empty() || request.element == "new")
    return std::make_unique<WaveAudio>(request.id, defaultFormat, std::vector<uint8_t>(), false);
  struct stat st {};
  if (::stat(request.element.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = mci::kErrFileNotFound;
    return nullptr;
  }
  std::string why;
  std::optional<Wave> wave = ReadWaveFile(request.element, &why);
  if (!wave || wave->data.size() > UINT32_MAX || !FormatTaken(wave->format)) {
    *error = mci::kErrInvalidFile;
    return nullptr;
  }
  const WaveFormat format =
      WaveFormat::Pcm(wave->format.rate, wave->format.bits, wave->format.channels);
  return std::make_unique<WaveAudio>(request.id, format, std::move(wave->data), true);
}

} // namespace

void RegisterWaveAudioDevice() {
  static std::once_flag once;
  std::call_once(once, [] { mci::RegisterDeviceType("waveaudio", MakeWaveAudio); });
}

} // namespace media
