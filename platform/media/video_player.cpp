#include "platform/media/video_player.h"

#include "platform/media/clock.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace media {
namespace {

// Frames decoded ahead of the clock.
constexpr size_t kQueueFrames = 4;
// The presenting tick on the time source.
constexpr uint32_t kTickMs = 2;
// How long a virtual clock's tick or a seek waits for the decoder.
constexpr auto kDecoderWait = std::chrono::seconds(5);
// Above this many undecodable packets in a row the clip is broken.
constexpr int kMaxBadPackets = 64;
constexpr double kDefaultFrameMs = 40; // 25 fps

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

class FileSource final : public ByteSource {
public:
  explicit FileSource(std::FILE* f) : f_(f) {}
  ~FileSource() override { std::fclose(f_); }
  int64_t Size() override {
    const long at = std::ftell(f_);
    std::fseek(f_, 0, SEEK_END);
    const long size = std::ftell(f_);
    std::fseek(f_, at, SEEK_SET);
    return size;
  }
  int Read(int64_t offset, uint8_t* buffer, int size) override {
    if (fseeko(f_, offset, SEEK_SET) != 0)
      return -1;
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(size), f_);
    if (n == 0 && std::ferror(f_))
      return -1;
    return static_cast<int>(n);
  }

private:
  std::FILE* f_;
};

class MemorySource final : public ByteSource {
public:
  explicit MemorySource(std::shared_ptr<const std::vector<uint8_t>> bytes)
      : bytes_(std::move(bytes)) {}
  int64_t Size() override { return static_cast<int64_t>(bytes_->size()); }
  int Read(int64_t offset, uint8_t* buffer, int size) override {
    if (offset < 0 || offset >= Size())
      return 0;
    const size_t n = std::min(static_cast<size_t>(size), bytes_->size() - offset);
    std::memcpy(buffer, bytes_->data() + offset, n);
    return static_cast<int>(n);
  }

private:
  std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

// What the decoder hands the presenter.
struct Item {
  enum Kind { Frame, End, Failure } kind = Frame;
  double ms = 0; // a frame's time, or the end's
  VideoFrame frame;
};

} // namespace

namespace {

// Pixel buffers of frames the sinks have let go, kept for the next pictures:
// a 1080p frame is 8 MB, which fresh from the system costs its page faults
// and zeroing every frame. A buffer returns when its last frame goes, on
// whichever thread that is.
class PixelPool : public std::enable_shared_from_this<PixelPool> {
public:
  using Buffer = std::vector<uint32_t>;
  static constexpr size_t kKept = 4;

  std::shared_ptr<Buffer> Take(size_t size) {
    std::unique_ptr<Buffer> b;
    {
      std::lock_guard lock(mu_);
      while (!spare_.empty() && !b) {
        std::unique_ptr<Buffer> s = std::move(spare_.back());
        spare_.pop_back();
        if (s->size() == size)
          b = std::move(s);
      }
    }
    if (!b)
      b = std::make_unique<Buffer>(size);
    return std::shared_ptr<Buffer>(b.release(), [pool = shared_from_this()](Buffer* p) {
      std::unique_ptr<Buffer> back(p);
      std::lock_guard lock(pool->mu_);
      if (pool->spare_.size() < kKept)
        pool->spare_.push_back(std::move(back));
    });
  }

private:
  std::mutex mu_;
  std::vector<std::unique_ptr<Buffer>> spare_;
};

} // namespace

struct VideoPlayer::Impl {
  std::shared_ptr<PixelPool> pool = std::make_shared<PixelPool>();
  // ---- set at open, then read-only ----
  std::shared_ptr<ByteSource> source;
  AVFormatContext* format = nullptr;
  AVIOContext* io = nullptr;
  AVCodecContext* codec = nullptr;
  int stream = -1;
  AVRational timeBase{1, 1};
  int64_t startPts = 0;
  bool startKnown = false; // decoder thread
  VideoInfo info;

  // ---- decoder thread only ----
  SwsContext* scaler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* held = nullptr; // the last picture passed over while seeking
  bool draining = false;
  int badPackets = 0;
  double lastMs = -1;
  double skipBelowMs = -1; // after a seek: pictures before this are passed over
  bool producedSinceSeek = false;
  double seekTarget = 0;
  int seekRetries = 0;
  int64_t readPosition = 0;
  std::thread decoder;

  // ---- shared, under mu ----
  mutable std::mutex mu;
  std::condition_variable changed;
  std::deque<Item> items;
  bool quit = false;
  std::optional<double> seekRequest;
  uint64_t seekGeneration = 0; // counts seeks done by the decoder
  bool finished = false;       // the decoder reached the end (without repeat) or failed
  std::atomic<bool> repeat{false};
  int32_t outWidth = 0, outHeight = 0;
  Mode mode = Mode::Stopped;
  double position = 0; // the clip position when not playing
  bool atEnd = false;  // play ended there, or a seek went there
  uint32_t anchorNow = 0;
  double anchorPosition = 0;
  uint32_t speed = 1000;
  uint32_t event = 0;
  VideoStats stats;
  std::optional<VideoFrame> current;
  FrameSink frameSink;
  EndSink endSink;

  ~Impl() {
    {
      std::lock_guard lock(mu);
      quit = true;
    }
    changed.notify_all();
    if (decoder.joinable())
      decoder.join();
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&picture);
    av_frame_free(&held);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    if (io) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
    av_dict_free(&liveOptions);
  }

  static int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* self = static_cast<Impl*>(opaque);
    const int n = self->source->Read(self->readPosition, buffer, size);
    if (n < 0)
      return AVERROR(EIO);
    if (n == 0)
      return AVERROR_EOF;
    self->readPosition += n;
    return n;
  }
  static int64_t SeekSource(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<Impl*>(opaque);
    const int64_t size = self->source->Size();
    if (whence & AVSEEK_SIZE)
      return size;
    int64_t to = offset;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      to = self->readPosition + offset;
      break;
    case SEEK_END:
      to = size + offset;
      break;
    default:
      return -1;
    }
    if (to < 0)
      return -1;
    self->readPosition = to;
    return to;
  }

  // A live input instead of a byte source.
  const AVInputFormat* liveFormat = nullptr;
  std::string liveUrl;
  AVDictionary* liveOptions = nullptr;

  bool OpenLiveStreams(std::string* error) {
    if (int r = avformat_open_input(&format, liveUrl.c_str(), liveFormat, &liveOptions); r < 0) {
      *error = "the input does not open: " + AvError(r);
      av_dict_free(&liveOptions);
      return false;
    }
    av_dict_free(&liveOptions);
    return true;
  }

  bool OpenStreams(std::string* error) {
    if (liveFormat) {
      if (!OpenLiveStreams(error))
        return false;
      return FindVideo(error);
    }
    constexpr int kIoBuffer = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    io = buffer ? avio_alloc_context(buffer, kIoBuffer, 0, this, ReadPacket, nullptr, SeekSource)
                : nullptr;
    format = avformat_alloc_context();
    if (!io || !format) {
      if (!io)
        av_free(buffer);
      *error = "out of memory";
      return false;
    }
    format->pb = io;
    if (int r = avformat_open_input(&format, nullptr, nullptr, nullptr); r < 0) {
      *error = "not a clip: " + AvError(r); // avformat_open_input freed format
      return false;
    }
    return FindVideo(error);
  }

  bool FindVideo(std::string* error) {
    if (int r = avformat_find_stream_info(format, nullptr); r < 0) {
      *error = "no stream information: " + AvError(r);
      return false;
    }
    // The probe's look at the end of the clip (for its length) may have
    // failed to read; play goes as far as the bytes can be read.
    if (io) {
      io->error = 0;
      io->eof_reached = 0;
    }
    const AVCodec* decoderCodec = nullptr;
    stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoderCodec, 0);
    if (stream < 0 || !decoderCodec) {
      *error = "no video stream that can be decoded";
      return false;
    }
    AVStream* s = format->streams[stream];
    codec = avcodec_alloc_context3(decoderCodec);
    if (!codec || avcodec_parameters_to_context(codec, s->codecpar) < 0 ||
        avcodec_open2(codec, decoderCodec, nullptr) < 0) {
      *error = "the video decoder does not open";
      return false;
    }
    if (codec->width <= 0 || codec->height <= 0 || codec->width > 8192 || codec->height > 8192) {
      *error = "the picture has no usable size";
      return false;
    }
    timeBase = s->time_base.num > 0 && s->time_base.den > 0 ? s->time_base : AVRational{1, 90000};
    startPts = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
    // A clip without a usable rate plays at its time base, or at 25 fps.
    double fps = 0;
    for (AVRational r : {s->avg_frame_rate, s->r_frame_rate})
      if (fps <= 0 && r.num > 0 && r.den > 0)
        fps = av_q2d(r);
    if (fps <= 0 || fps > 240) {
      const double base = 1.0 / av_q2d(timeBase);
      fps = base >= 1 && base <= 120 ? base : 1000.0 / kDefaultFrameMs;
    }
    info.frameMs = 1000.0 / fps;
    info.width = codec->width;
    info.height = codec->height;
    info.frames = s->nb_frames;
    double lengthMs = 0;
    if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
      lengthMs = s->duration * av_q2d(timeBase) * 1000;
    else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
      lengthMs = format->duration / 1000.0;
    info.lengthMs = static_cast<uint32_t>(std::clamp(lengthMs, 0.0, 4e9));
    info.container = format->iformat && format->iformat->name ? format->iformat->name : "";
    info.codec = decoderCodec->name ? decoderCodec->name : "";
    outWidth = info.width;
    outHeight = info.height;
    packet = av_packet_alloc();
    picture = av_frame_alloc();
    held = av_frame_alloc();
    if (!packet || !picture || !held) {
      *error = "out of memory";
      return false;
    }
    return true;
  }

  // ---- decoder thread ----

  double TimeOf(const AVFrame* f) {
    const int64_t pts = f->best_effort_timestamp;
    // The first picture's stamp is the clip's start: a stream's own start
    // time may lie before it (a program stream's clock reference).
    if (!startKnown && pts != AV_NOPTS_VALUE) {
      startPts = pts;
      startKnown = true;
    }
    double ms = pts == AV_NOPTS_VALUE ? -1 : (pts - startPts) * av_q2d(timeBase) * 1000;
    // Missing or backward stamps: one frame period after the last picture.
    if (ms < 0 || ms <= lastMs)
      ms = lastMs < 0 ? 0 : lastMs + info.frameMs;
    lastMs = ms;
    return ms;
  }

  std::optional<VideoFrame> Scale(const AVFrame* f, double ms) {
    int32_t w = 0, h = 0;
    {
      std::lock_guard lock(mu);
      w = outWidth;
      h = outHeight;
    }
    if (w <= 0 || h <= 0 || f->width <= 0 || f->height <= 0)
      return std::nullopt;
    scaler =
        sws_getCachedContext(scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), w,
                             h, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler)
      return std::nullopt;
    auto pixels = pool->Take(static_cast<size_t>(w) * h);
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(pixels->data()), nullptr, nullptr, nullptr};
    const int dstStride[4] = {w * 4, 0, 0, 0};
    sws_scale(scaler, f->data, f->linesize, 0, f->height, dst, dstStride);
    VideoFrame out;
    out.width = w;
    out.height = h;
    out.pixels = std::move(pixels);
    out.timeMs = static_cast<uint32_t>(std::lround(std::max(ms, 0.0)));
    return out;
  }

  enum class Step { Frame, End, Failure };

  // Decodes until one picture is ready (in picture), the end or a failure.
  Step Decode() {
    for (;;) {
      int r = avcodec_receive_frame(codec, picture);
      if (r == 0)
        return Step::Frame;
      if (r == AVERROR_EOF)
        return Step::End;
      if (r != AVERROR(EAGAIN))
        return Step::Failure;
      if (draining)
        return Step::End;
      r = av_read_frame(format, packet);
      if (r == AVERROR_EOF ||
          (r < 0 && format->pb && format->pb->eof_reached && !format->pb->error)) {
        draining = true;
        avcodec_send_packet(codec, nullptr);
        continue;
      }
      if (r < 0)
        return Step::Failure;
      if (format->pb && format->pb->error < 0) {
        av_packet_unref(packet);
        return Step::Failure;
      }
      if (packet->stream_index != stream) {
        av_packet_unref(packet);
        continue;
      }
      r = avcodec_send_packet(codec, packet);
      av_packet_unref(packet);
      if (r == AVERROR_INVALIDDATA) {
        if (++badPackets > kMaxBadPackets)
          return Step::Failure;
        continue;
      }
      if (r < 0 && r != AVERROR(EAGAIN))
        return Step::Failure;
      badPackets = 0;
    }
  }

  // Goes to the picture at ms: back to a key picture at or before it (from
  // ahead of it by from), then decoding on, passing over the pictures before.
  void SeekDecoder(double ms, double from = 0) {
    const double at = std::max(ms - from, 0.0);
    const int64_t target = startPts + static_cast<int64_t>(at / 1000 / av_q2d(timeBase));
    // The start is the first byte where the container allows it: a stream's
    // stamps can send a seek to the start past its first key picture.
    const bool fromStart = at <= 0 && !(format->iformat->flags & AVFMT_NO_BYTE_SEEK) &&
                           av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
    if (!fromStart &&
        av_seek_frame(format, stream, at <= 0 ? startPts : target, AVSEEK_FLAG_BACKWARD) < 0)
      av_seek_frame(format, stream, startPts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    seekTarget = ms;
    avcodec_flush_buffers(codec);
    draining = false;
    badPackets = 0;
    lastMs = -1;
    skipBelowMs = ms - info.frameMs / 2;
    producedSinceSeek = false;
    av_frame_unref(held);
  }

  // Decodes the first picture at open: its stamp is the clip's start, and a
  // clip without one does not open.
  bool FirstPicture(std::string* error) {
    if (Decode() != Step::Frame) {
      *error = "no picture can be decoded";
      return false;
    }
    const double ms = TimeOf(picture);
    auto frame = Scale(picture, ms);
    av_frame_unref(picture);
    if (!frame) {
      *error = "the picture cannot be converted";
      return false;
    }
    producedSinceSeek = true;
    items.push_back(Item{Item::Frame, ms, std::move(*frame)});
    return true;
  }

  void Push(Item item) {
    {
      std::lock_guard lock(mu);
      items.push_back(std::move(item));
    }
    changed.notify_all();
  }

  void RunDecoder() {
    for (;;) {
      {
        std::unique_lock lock(mu);
        changed.wait(lock, [&] {
          return quit || seekRequest || (!finished && items.size() < kQueueFrames);
        });
        if (quit)
          return;
        if (seekRequest) {
          const double to = *seekRequest;
          seekRequest.reset();
          items.clear();
          finished = false;
          lock.unlock();
          seekRetries = 0;
          SeekDecoder(to);
          lock.lock();
          ++seekGeneration;
          changed.notify_all();
          continue;
        }
      }
      const Step step = Decode();
      if (step == Step::Frame) {
        const double ms = TimeOf(picture);
        if (!producedSinceSeek && !held->data[0] && ms > seekTarget + info.frameMs / 2 &&
            seekRetries < 4) {
          // The container's seek went past the target: start further back.
          av_frame_unref(picture);
          ++seekRetries;
          SeekDecoder(seekTarget, seekRetries < 4 ? 1000.0 * seekRetries : seekTarget);
          continue;
        }
        if (ms < skipBelowMs) {
          av_frame_unref(held);
          av_frame_move_ref(held, picture);
          continue;
        }
        producedSinceSeek = true;
        auto frame = Scale(picture, ms);
        av_frame_unref(picture);
        if (frame)
          Push(Item{Item::Frame, ms, std::move(*frame)});
        continue;
      }
      if (step == Step::End && !producedSinceSeek && !held->data[0] && seekTarget > 0 &&
          seekRetries < 4) {
        // The seek landed past the last key picture: start further back.
        ++seekRetries;
        SeekDecoder(seekTarget, seekRetries < 4 ? 1000.0 * seekRetries : seekTarget);
        continue;
      }
      if (step == Step::End && !producedSinceSeek && held->data[0]) {
        // A seek past the last picture shows the last one.
        producedSinceSeek = true;
        if (auto frame = Scale(held, lastMs))
          Push(Item{Item::Frame, lastMs, std::move(*frame)});
        av_frame_unref(held);
      }
      const double endMs = lastMs < 0 ? 0 : lastMs + info.frameMs;
      Push(Item{step == Step::End ? Item::End : Item::Failure, endMs, {}});
      if (step == Step::End && repeat && lastMs >= 0) {
        SeekDecoder(0);
        continue;
      }
      std::lock_guard lock(mu);
      finished = true;
    }
  }

  // ---- presenting ----

  static bool OnVirtualClock() { return &Time() != &RealTime(); }

  double PositionLocked() const {
    if (mode != Mode::Playing)
      return position;
    const uint32_t elapsed = Time().NowMs() - anchorNow;
    return anchorPosition + elapsed * (speed / 1000.0);
  }

  void Tick() {
    std::vector<VideoFrame> shown;
    std::optional<End> ended;
    {
      std::unique_lock lock(mu);
      if (mode != Mode::Playing)
        return;
      const bool exact = OnVirtualClock();
      double pos = PositionLocked();
      for (;;) {
        if (items.empty()) {
          if (exact && !finished && !quit &&
              changed.wait_for(lock, kDecoderWait, [&] { return !items.empty() || finished; }))
            continue;
          break;
        }
        Item& head = items.front();
        if (head.kind == Item::Failure) {
          items.pop_front();
          ended = End::Failure;
          break;
        }
        if (head.ms > pos)
          break;
        if (head.kind == Item::End) {
          const double endMs = head.ms;
          items.pop_front();
          if (repeat && endMs > 0) {
            anchorPosition -= endMs;
            pos -= endMs;
            // A decoder that stopped at the end before repeat was asked for
            // starts over.
            if (finished) {
              finished = false;
              seekRequest = 0.0;
            }
            continue;
          }
          position = endMs;
          atEnd = true;
          ended = End::Natural;
          break;
        }
        if (!exact && items.size() > 1 && items[1].kind == Item::Frame && items[1].ms <= pos) {
          ++stats.dropped;
          items.pop_front();
          continue;
        }
        if (pos - head.ms > info.frameMs)
          ++stats.late;
        ++stats.shown;
        current = head.frame;
        shown.push_back(std::move(head.frame));
        items.pop_front();
      }
      if (ended) {
        mode = Mode::Stopped;
        if (ended == End::Failure && current)
          position = current->timeMs;
        Time().KillEvent(event); // from inside its own callback: at once
        event = 0;
      }
    }
    changed.notify_all();
    for (const VideoFrame& f : shown)
      if (frameSink)
        frameSink(f);
    if (ended && endSink)
      endSink(*ended);
  }

  void StopTicking(std::unique_lock<std::mutex>& lock) {
    const uint32_t id = event;
    event = 0;
    if (!id)
      return;
    lock.unlock();
    Time().KillEvent(id); // waits for a tick in progress
    lock.lock();
  }
};

VideoPlayer::VideoPlayer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

VideoPlayer::~VideoPlayer() {
  Stop();
}

std::unique_ptr<VideoPlayer> VideoPlayer::OpenSource(std::shared_ptr<ByteSource> source,
                                                     std::string* error) {
  std::string ignored;
  if (!error)
    error = &ignored;
  if (!source) {
    *error = "no clip";
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->source = std::move(source);
  // Damaged pictures are the decoder's to conceal; only its failures count.
  av_log_set_level(AV_LOG_FATAL);
  if (!impl->OpenStreams(error) || !impl->FirstPicture(error))
    return nullptr;
  Impl* raw = impl.get();
  raw->decoder = std::thread([raw] { raw->RunDecoder(); });
  return std::unique_ptr<VideoPlayer>(new VideoPlayer(std::move(impl)));
}

std::unique_ptr<VideoPlayer> VideoPlayer::OpenLive(
    const std::string& inputFormat, const std::string& url, std::string* error,
    const std::vector<std::pair<std::string, std::string>>& options) {
  std::string ignored;
  if (!error)
    error = &ignored;
  static std::once_flag devices;
  std::call_once(devices, [] { avdevice_register_all(); });
  auto impl = std::make_unique<Impl>();
  impl->liveFormat = av_find_input_format(inputFormat.c_str());
  if (!impl->liveFormat) {
    *error = "no input device \"" + inputFormat + "\"";
    return nullptr;
  }
  impl->liveUrl = url;
  for (const auto& [key, value] : options)
    av_dict_set(&impl->liveOptions, key.c_str(), value.c_str(), 0);
  av_log_set_level(AV_LOG_FATAL);
  if (!impl->OpenStreams(error) || !impl->FirstPicture(error))
    return nullptr;
  Impl* raw = impl.get();
  raw->decoder = std::thread([raw] { raw->RunDecoder(); });
  return std::unique_ptr<VideoPlayer>(new VideoPlayer(std::move(impl)));
}

std::unique_ptr<VideoPlayer> VideoPlayer::OpenFile(const std::string& path, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (error)
      *error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return OpenSource(std::make_shared<FileSource>(f), error);
}

std::unique_ptr<VideoPlayer>
VideoPlayer::OpenBytes(std::shared_ptr<const std::vector<uint8_t>> bytes, std::string* error) {
  if (!bytes || bytes->empty()) {
    if (error)
      *error = "no clip";
    return nullptr;
  }
  return OpenSource(std::make_shared<MemorySource>(std::move(bytes)), error);
}

const VideoInfo& VideoPlayer::Info() const {
  return impl_->info;
}

void VideoPlayer::SetOutputSize(int32_t width, int32_t height) {
  std::lock_guard lock(impl_->mu);
  impl_->outWidth = std::clamp(width, 1, 8192);
  impl_->outHeight = std::clamp(height, 1, 8192);
}

void VideoPlayer::SetSinks(FrameSink frame, EndSink end) {
  std::lock_guard lock(impl_->mu);
  impl_->frameSink = std::move(frame);
  impl_->endSink = std::move(end);
}

bool VideoPlayer::Play(bool repeat, uint32_t speedPerMille) {
  Impl& p = *impl_;
  const bool atEnd = [&] {
    std::lock_guard lock(p.mu);
    return p.atEnd && p.mode != Mode::Playing;
  }();
  if (atEnd)
    Seek(0);
  std::unique_lock lock(p.mu);
  if (p.mode == Mode::Playing)
    p.position = p.PositionLocked();
  p.repeat = repeat;
  p.speed = std::clamp<uint32_t>(speedPerMille, 1, 100000);
  p.anchorNow = Time().NowMs();
  p.anchorPosition = p.position;
  p.atEnd = false;
  p.mode = Mode::Playing;
  p.changed.notify_all();
  if (!p.event) {
    Impl* raw = &p;
    p.event = Time().SetPeriodicEvent(kTickMs, 1, [raw] { raw->Tick(); });
    if (!p.event) {
      p.mode = Mode::Stopped;
      return false;
    }
  }
  return true;
}

void VideoPlayer::Pause() {
  Impl& p = *impl_;
  std::unique_lock lock(p.mu);
  if (p.mode != Mode::Playing)
    return;
  p.position = p.current ? std::min<double>(p.PositionLocked(), p.current->timeMs + p.info.frameMs)
                         : p.PositionLocked();
  p.mode = Mode::Paused;
  p.StopTicking(lock);
}

void VideoPlayer::Stop() {
  Impl& p = *impl_;
  std::unique_lock lock(p.mu);
  if (p.mode == Mode::Playing)
    p.position = p.current ? p.current->timeMs : p.PositionLocked();
  p.mode = Mode::Stopped;
  p.StopTicking(lock);
}

bool VideoPlayer::Seek(uint32_t ms) {
  Impl& p = *impl_;
  std::unique_lock lock(p.mu);
  if (p.mode == Mode::Playing)
    p.position = p.PositionLocked();
  p.mode = Mode::Stopped;
  p.StopTicking(lock);
  const double to = p.info.lengthMs ? std::min<double>(ms, p.info.lengthMs) : ms;
  p.seekRequest = to;
  p.atEnd = false;
  p.items.clear();
  const uint64_t generation = p.seekGeneration;
  p.changed.notify_all();
  const bool done = p.changed.wait_for(lock, kDecoderWait, [&] {
    return p.seekGeneration != generation && !p.seekRequest && !p.items.empty();
  });
  if (!done)
    return false;
  Item& head = p.items.front();
  p.position = to;
  if (head.kind != Item::Frame) {
    p.atEnd = head.kind == Item::End;
    return p.atEnd;
  }
  VideoFrame shown = std::move(head.frame);
  p.items.pop_front();
  p.current = shown;
  p.changed.notify_all();
  FrameSink sink = p.frameSink;
  lock.unlock();
  if (sink)
    sink(shown);
  return true;
}

VideoPlayer::Mode VideoPlayer::GetMode() const {
  std::lock_guard lock(impl_->mu);
  return impl_->mode;
}

uint32_t VideoPlayer::Position() const {
  std::lock_guard lock(impl_->mu);
  double pos = std::max(impl_->PositionLocked(), 0.0);
  if (impl_->info.lengthMs > 0)
    pos = std::min<double>(pos, impl_->info.lengthMs);
  return static_cast<uint32_t>(std::lround(std::min(pos, 4e9)));
}

VideoStats VideoPlayer::Stats() const {
  std::lock_guard lock(impl_->mu);
  return impl_->stats;
}

std::optional<VideoFrame> VideoPlayer::CurrentFrame() const {
  std::lock_guard lock(impl_->mu);
  return impl_->current;
}

} // namespace media
