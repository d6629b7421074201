// The FFmpeg player on clips made by ffmpeg itself: every frame shown at its
// time on the virtual clock, ends, repeats, seeks, the pixels of a frame,
// and files that cannot play.
#include "platform/media/video_player.h"

#include "platform/media/tests/support/video_clips.h"
#include "platform/media/virtual_time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>

using namespace media;
using namespace mediatest;

namespace {

class VideoPlayerTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveFfmpeg())
      GTEST_SKIP() << "no ffmpeg";
    InstallTimeSource(&clock);
  }
  void TearDown() override {
    player.reset();
    InstallTimeSource(nullptr);
  }
  // Opens a clip and counts what it shows and how it ends.
  bool Open(const std::string& path) {
    std::string error;
    player = VideoPlayer::OpenFile(path, &error);
    EXPECT_TRUE(player) << path << ": " << error;
    if (!player)
      return false;
    Watch();
    return true;
  }
  void Watch() {
    player->SetSinks(
        [this](const VideoFrame& f) {
          std::lock_guard lock(mu);
          times.push_back(f.timeMs);
          last = f;
        },
        [this](VideoPlayer::End e) {
          std::lock_guard lock(mu);
          ends.push_back(e);
        });
  }
  // Moves the clock on in steps until the clip ends once more or limitMs
  // passed.
  void RunFor(uint32_t limitMs, bool untilEnd = true) {
    const size_t before = [&] {
      std::lock_guard lock(mu);
      return ends.size();
    }();
    for (uint32_t t = 0; t < limitMs; t += 10) {
      clock.Advance(10);
      std::lock_guard lock(mu);
      if (untilEnd && ends.size() > before)
        return;
    }
  }
  size_t Shown() {
    std::lock_guard lock(mu);
    return times.size();
  }

  VirtualTime clock{1000};
  std::unique_ptr<VideoPlayer> player;
  std::mutex mu;
  std::vector<uint32_t> times;
  std::vector<VideoPlayer::End> ends;
  VideoFrame last;
};

TEST_F(VideoPlayerTest, EveryFrameShowsAtItsTimeAndTheClipEndsOnce) {
  struct Row {
    const char* what;
    std::string path;
  } rows[] = {{"MPEG-1", Mpeg1Clip()},
              {"MPEG-2 program stream", Mpeg2ProgramClip()},
              {"VCD .dat", VcdClip()},
              // Pictures with no stamps of their own play at 25 fps, not as
              // fast as they decode.
              {"raw MJPEG without stamps",
               MakeClip("raw.mjpeg",
                        "-f lavfi -i testsrc2=size=160x120:rate=10 -t 2 -c:v mjpeg -f mjpeg")}};
  for (const auto& r : rows) {
    ASSERT_FALSE(r.path.empty()) << r.what;
    const int frames = FramesOf(r.path);
    ASSERT_GT(frames, 0) << r.what;
    times.clear();
    ends.clear();
    ASSERT_TRUE(Open(r.path)) << r.what;
    EXPECT_NEAR(player->Info().frameMs, 40.0, 0.01) << r.what;
    const uint32_t start = clock.NowMs();
    ASSERT_TRUE(player->Play(false));
    EXPECT_EQ(player->GetMode(), VideoPlayer::Mode::Playing);
    RunFor(4000);
    EXPECT_EQ(Shown(), static_cast<size_t>(frames)) << r.what;
    EXPECT_EQ(ends, std::vector<VideoPlayer::End>{VideoPlayer::End::Natural}) << r.what;
    EXPECT_EQ(player->GetMode(), VideoPlayer::Mode::Stopped) << r.what;
    EXPECT_EQ(player->Stats().dropped, 0u) << r.what;
    EXPECT_EQ(player->Stats().late, 0u) << r.what;
    // In order, one period apart, and the end came after the last one's period.
    for (size_t i = 0; i < times.size(); ++i)
      EXPECT_EQ(times[i], times[0] + 40 * i) << r.what << " frame " << i;
    EXPECT_GE(clock.NowMs() - start, 40u * frames) << r.what;
    EXPECT_LT(clock.NowMs() - start, 40u * frames + 40) << r.what;
    // Nothing more after the end.
    RunFor(500, false);
    EXPECT_EQ(Shown(), static_cast<size_t>(frames)) << r.what;
    // Played again from the end, it starts over.
    ASSERT_TRUE(player->Play(false));
    RunFor(4000);
    EXPECT_EQ(ends.size(), 2u) << r.what;
    player.reset();
  }
}

TEST_F(VideoPlayerTest, ARepeatingClipNeverEndsAndAtHalfSpeedTakesTwiceAsLong) {
  ASSERT_TRUE(Open(Mpeg1Clip()));
  ASSERT_TRUE(player->Play(true));
  RunFor(5000, false);
  EXPECT_TRUE(ends.empty());
  // 5 s of a 2 s clip: every frame two and a half times.
  EXPECT_NEAR(static_cast<double>(Shown()), 125.0, 2.0);
  player->Stop();
  const size_t stopped = Shown();
  RunFor(200, false);
  EXPECT_EQ(Shown(), stopped);
  EXPECT_TRUE(ends.empty());

  times.clear();
  ASSERT_TRUE(player->Seek(0));
  ASSERT_TRUE(player->Play(false, 500));
  RunFor(3900, false);
  EXPECT_TRUE(ends.empty()) << "half speed: the end is not due yet";
  RunFor(300);
  EXPECT_EQ(ends.size(), 1u);
  EXPECT_EQ(Shown(), 50u);
}

TEST_F(VideoPlayerTest, PauseHoldsThePictureAndPlayGoesOnFromThere) {
  ASSERT_TRUE(Open(Mpeg1Clip()));
  ASSERT_TRUE(player->Play(false));
  RunFor(400, false);
  player->Pause();
  EXPECT_EQ(player->GetMode(), VideoPlayer::Mode::Paused);
  const size_t held = Shown();
  const uint32_t at = player->Position();
  RunFor(1000, false);
  EXPECT_EQ(Shown(), held);
  EXPECT_EQ(player->Position(), at);
  ASSERT_TRUE(player->Play(false));
  RunFor(4000);
  EXPECT_EQ(Shown(), 50u);
  EXPECT_EQ(ends.size(), 1u);
}

TEST_F(VideoPlayerTest, SeeksLandWithinOneFrame) {
  ASSERT_TRUE(Open(Mpeg2ProgramClip()));
  for (uint32_t to : {1000u, 0u, 1520u, 333u, 1999u, 60000u}) {
    ASSERT_TRUE(player->Seek(to)) << to;
    const auto f = player->CurrentFrame();
    ASSERT_TRUE(f) << to;
    const double want = std::min(to, 1960u);
    EXPECT_LE(std::abs(static_cast<double>(f->timeMs) - want), 40.0) << to;
    EXPECT_EQ(player->GetMode(), VideoPlayer::Mode::Stopped);
    EXPECT_EQ(last.timeMs, f->timeMs) << "the seek shows its frame";
  }
  // From a seek the clip plays on from there to its end.
  ASSERT_TRUE(player->Seek(1000));
  times.clear();
  ASSERT_TRUE(player->Play(false));
  RunFor(2000);
  ASSERT_FALSE(times.empty());
  EXPECT_EQ(times.front(), 1040u); // the seek showed the one at 1000
  EXPECT_EQ(times.size(), 24u);
  EXPECT_EQ(ends.size(), 1u);
}

TEST_F(VideoPlayerTest, TheFrameAtOneSecondIsFfmpegsOwnDecodePixelForPixel) {
  const std::string clip = Mpeg1Clip();
  const std::string raw = ClipFolder() + "/frame1s.bgra";
  // The 26th frame (1.0 s), as ffmpeg decodes and converts it itself.
  ASSERT_EQ(systest::RunCommand("ffmpeg -nostdin -v error -y -i '" + clip +
                                "' -vf 'select=eq(n\\,25)' -sws_flags bicubic -frames:v 1 "
                                "-f rawvideo -pix_fmt bgra '" +
                                raw + "'")
                .status,
            0);
  const std::string expected = ReadFile(raw);
  ASSERT_EQ(expected.size(), 160u * 120 * 4);
  ASSERT_TRUE(Open(clip));
  ASSERT_TRUE(player->Seek(1000));
  const auto f = player->CurrentFrame();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->timeMs, 1000u);
  ASSERT_EQ(f->width, 160);
  ASSERT_EQ(f->height, 120);
  EXPECT_EQ(std::memcmp(f->pixels->data(), expected.data(), expected.size()), 0);
}

// Bytes of a clip that stop reading with an error partway.
class FailingSource : public ByteSource {
public:
  FailingSource(std::string bytes, int64_t failAt) : bytes_(std::move(bytes)), failAt_(failAt) {}
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  int Read(int64_t offset, uint8_t* buffer, int size) override {
    if (offset >= failAt_)
      return -1;
    const int64_t n = std::min<int64_t>({size, Size() - offset, failAt_ - offset});
    if (n <= 0)
      return 0;
    std::memcpy(buffer, bytes_.data() + offset, static_cast<size_t>(n));
    return static_cast<int>(n);
  }

private:
  std::string bytes_;
  int64_t failAt_;
};

TEST_F(VideoPlayerTest, BrokenFilesFailCleanly) {
  const std::string clip = ReadFile(Mpeg1Clip());
  ASSERT_FALSE(clip.empty());
  std::string error;
  // Not a clip at all, or no file.
  EXPECT_FALSE(
      VideoPlayer::OpenFile(WriteFile("text.mpg", "This is a text file, not a clip.\n"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(VideoPlayer::OpenFile(ClipFolder() + "/missing.mpg", &error));

  // A truncated copy plays what it holds and ends once.
  ASSERT_TRUE(Open(WriteFile("truncated.mpg", clip.substr(0, clip.size() / 2))));
  ASSERT_TRUE(player->Play(false));
  RunFor(4000);
  EXPECT_EQ(ends.size(), 1u);
  EXPECT_GT(Shown(), 0u);
  EXPECT_LT(Shown(), 50u);

  // A read error midway ends play with one failure, never a natural end
  // (a longer clip, so that the error lies past what opening reads).
  const std::string longer = ReadFile(MakeClip(
      "long.mpg", "-f lavfi -i testsrc2=size=160x120:rate=25 -t 12 -c:v mpeg1video -f mpeg"));
  ASSERT_FALSE(longer.empty());
  times.clear();
  ends.clear();
  player = VideoPlayer::OpenSource(
      std::make_shared<FailingSource>(longer, static_cast<int64_t>(longer.size() * 8 / 10)),
      &error);
  ASSERT_TRUE(player) << error;
  Watch();
  ASSERT_TRUE(player->Play(false));
  RunFor(14000);
  EXPECT_EQ(ends, std::vector<VideoPlayer::End>{VideoPlayer::End::Failure});
  EXPECT_GT(Shown(), 150u);
  EXPECT_LT(Shown(), 300u);
  EXPECT_EQ(player->GetMode(), VideoPlayer::Mode::Stopped);
}

TEST_F(VideoPlayerTest, ClipsPlayFromBytesInMemory) {
  const std::string clip = ReadFile(VcdClip());
  auto bytes = std::make_shared<std::vector<uint8_t>>(clip.begin(), clip.end());
  std::string error;
  player = VideoPlayer::OpenBytes(bytes, &error);
  ASSERT_TRUE(player) << error;
  Watch();
  player->SetOutputSize(100, 50);
  ASSERT_TRUE(player->Play(false));
  RunFor(4000);
  EXPECT_EQ(Shown(), 50u);
  EXPECT_EQ(last.width, 100);
  EXPECT_EQ(last.height, 50);
  EXPECT_EQ(last.pixels->size(), 5000u);
}

} // namespace
