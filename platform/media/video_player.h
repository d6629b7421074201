// A video clip played by FFmpeg: libavformat reads the file (MPEG-1 and
// MPEG-2 streams, VCD ".dat", AVI, FLC, MOV) or bytes in memory, libavcodec
// decodes on the player's own thread, libswscale turns each picture into
// BGRA pixels at the output size, and the frames are shown on the process
// time source (media::Time()) by their timestamps. On the real clock a
// frame whose successor is due already is dropped and counted; on a virtual
// clock the player waits for its decoder, so every frame is shown at
// exactly its time. There is no sound: the song comes from the synthesizer.
//
// Threads: the controls (Play, Pause, Stop, Seek, ...) may be called from
// any thread, one at a time. The frame and end callbacks run on the time
// source's thread (or, for the frame a seek shows, on the seeking thread);
// once Stop or the destructor returns, none runs any more.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace media {

struct VideoFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::shared_ptr<const std::vector<uint32_t>> pixels; // 0xFFRRGGBB, rows from the top
  uint32_t timeMs = 0;                                 // its time in the clip
};

struct VideoInfo {
  int32_t width = 0; // the clip's own picture size
  int32_t height = 0;
  uint32_t lengthMs = 0;
  double frameMs = 40; // one frame period
  int64_t frames = 0;  // as the container states it, 0 when unknown
  std::string container;
  std::string codec;
};

struct VideoStats {
  uint64_t shown = 0;
  uint64_t dropped = 0; // passed over on the real clock
  uint64_t late = 0;    // shown more than one frame period after their time
};

// Bytes a clip is read from: a file's or a resource bundle's.
class ByteSource {
public:
  virtual ~ByteSource() = default;
  virtual int64_t Size() = 0;
  // Up to size bytes at offset; 0 at the end, negative on a read error.
  virtual int Read(int64_t offset, uint8_t* buffer, int size) = 0;
};

class VideoPlayer {
public:
  enum class Mode { Stopped, Playing, Paused };
  enum class End { Natural, Failure };
  using FrameSink = std::function<void(const VideoFrame& frame)>;
  using EndSink = std::function<void(End end)>;

  // nullptr with a reason in *error when the clip cannot be played.
  static std::unique_ptr<VideoPlayer> OpenFile(const std::string& path, std::string* error);
  static std::unique_ptr<VideoPlayer> OpenBytes(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                                std::string* error);
  static std::unique_ptr<VideoPlayer> OpenSource(std::shared_ptr<ByteSource> source,
                                                 std::string* error);
  // A live picture from an input device of libavdevice: "v4l2" with a
  // device path such as "/dev/video0" (options: "channel" for its input),
  // or "lavfi" with a filter graph such as "testsrc2=size=640x480:rate=25".
  // It has no length; it plays until stopped.
  static std::unique_ptr<VideoPlayer> OpenLive(const std::string& inputFormat,
                                               const std::string& url, std::string* error,
                                               const std::vector<std::pair<std::string, std::string>>&
                                                   options = {});
  ~VideoPlayer();
  VideoPlayer(const VideoPlayer&) = delete;
  VideoPlayer& operator=(const VideoPlayer&) = delete;

  const VideoInfo& Info() const;
  // The size frames are scaled to (the clip's own size until set); frames
  // already decoded keep theirs.
  void SetOutputSize(int32_t width, int32_t height);
  // Set before playing.
  void SetSinks(FrameSink frame, EndSink end);

  // Plays from the current position (from the start when it is at the end)
  // at speed/1000 of the normal speed; with repeat, the clip starts over at
  // its end and never ends by itself.
  bool Play(bool repeat, uint32_t speedPerMille = 1000);
  void Pause();
  void Stop();
  // Stops and shows the frame at ms (clamped to the clip).
  bool Seek(uint32_t ms);

  Mode GetMode() const;
  uint32_t Position() const;
  VideoStats Stats() const;
  std::optional<VideoFrame> CurrentFrame() const;

  struct Impl;

private:
  explicit VideoPlayer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

} // namespace media
