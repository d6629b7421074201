// Figures of MPEG video behind the colour wipe, at 1920x1080 offscreen: a
// 30 fps 1080p MPEG-2 clip made by ffmpeg plays repeating on the
// "mpegvideo" device, keyed into a screen window whose surface the lyric
// lines are wiped on at P = 20 ms on the real timer, while a song of
// syllables runs on the window's thread. The same wipe runs first over a
// still background (the window painted black, no video).
//
// Figures: the wipe's tick (cost, lateness) and edge error in both runs;
// the video's frames shown, late (more than one frame period after their
// time), dropped and the rate; the CPU time per frame of all threads, and
// of the window's thread beyond the still run's (composing the video into
// the windows where they hold the key colour, and presenting them);
// ffmpeg's own decoding of the clip (`ffmpeg -i clip -f null -`) per frame.
//
//   bench-video                 20 s still, then 20 s of video
//   bench-video --seconds 60    the full-length runs
#include "display/lyric/colour_wipe.h"
#include "display/lyric/lyric_geometry.h"
#include "display/lyric/lyric_lines.h"
#include "display/lyric/lyric_style_table.h"
#include "platform/media/clock.h"
#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/video_player.h"
#include "platform/ui/window/colour_key.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <QApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr uint32_t kPeriodMs = 20;
constexpr gdi::Colour kKey = gdi::Rgb(128, 0, 128);
constexpr double kClipFps = 30;

double CpuMs(int who) {
  rusage u{};
  getrusage(who, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * v.size())) - (p > 0));
  return v[i];
}

// The real time source, with the callbacks of the one periodic event asked
// for next timed: each tick's cost and its lateness against its due time.
class TimedTicks final : public media::TimeSource {
public:
  std::vector<double> costMs, lateMs;

  void Arm(size_t room) {
    costMs.clear();
    lateMs.clear();
    costMs.reserve(room);
    lateMs.reserve(room);
    armed_ = true;
  }
  uint32_t NowMs() override { return media::RealTime().NowMs(); }
  uint32_t SetPeriodicEvent(uint32_t periodMs, uint32_t resolutionMs,
                            media::TimerCallback callback) override {
    if (!std::exchange(armed_, false))
      return media::RealTime().SetPeriodicEvent(periodMs, resolutionMs, std::move(callback));
    return media::RealTime().SetPeriodicEvent(
        periodMs, resolutionMs, [this, callback = std::move(callback)] {
          const int64_t start = media::MonotonicNs();
          const int64_t due = media::CallbackDueNs();
          callback();
          if (costMs.size() < costMs.capacity()) {
            costMs.push_back((media::MonotonicNs() - start) / 1e6);
            lateMs.push_back(due ? std::max<int64_t>(0, start - due) / 1e6 : 0);
          }
        });
  }
  bool KillEvent(uint32_t id) override { return media::RealTime().KillEvent(id); }
  bool BeginPeriod(uint32_t ms) override { return media::RealTime().BeginPeriod(ms); }
  bool EndPeriod(uint32_t ms) override { return media::RealTime().EndPeriod(ms); }
  int LiveEvents() override { return media::RealTime().LiveEvents(); }
  void Delay(uint32_t ms) override { media::RealTime().Delay(ms); }

private:
  bool armed_ = false;
};

const char* const kLines[] = {
    "Twinkle, twinkle, little star",
    "How I wonder what you are",
    "Up above the world so high, like a diamond in the sky",
    "When the blazing sun is gone, when he nothing shines upon",
    "Then you show your little light",
    "Twinkle, twinkle, all the night, twinkle twinkle little star how I wonder",
};

struct Figures {
  std::vector<double> tickMs, lateMs, edgeMs;
  double cpuMs = 0;      // all threads
  double uiCpuMs = 0;    // the window's thread
  double seconds = 0;
  media::VideoStats video;
  bool ok = false;
};

// The window the lines are wiped on: its class background the key colour
// (video) or black (still).
win::Hwnd MakeWindow(bool video) {
  const char* name = video ? "BenchVideoKeyed" : "BenchVideoStill";
  if (!win::IsClassRegistered(name)) {
    ui::ScreenClass c;
    c.name = name;
    c.factory = [] { return std::make_unique<ui::ScreenWindow>(); };
    c.background = video ? kKey : gdi::Rgb(0, 0, 0);
    ui::RegisterScreenClass(c);
  }
  win::CreateParams p;
  p.className = name;
  p.style = win::WS_POPUP;
  p.width = kWidth;
  p.height = kHeight;
  const win::Hwnd hwnd = win::CreateWindow(p);
  if (hwnd)
    ui::ShowWindow(hwnd, ui::SW_SHOW);
  return hwnd;
}

Figures Measure(TimedTicks& ticks, const std::string& clip, double seconds) {
  Figures out;
  const bool video = !clip.empty();
  const win::Hwnd hwnd = MakeWindow(video);
  auto dc = hwnd ? ui::GetDc(hwnd) : std::nullopt;
  if (!dc) {
    std::fprintf(stderr, "bench-video: no window\n");
    return out;
  }
  char tmpl[] = "/tmp/bench-video-styles-XXXXXX";
  const std::string folder = mkdtemp(tmpl) ? tmpl : "/tmp";
  display::LyricStyleTable styles(folder + "/config.ini");
  styles.LoadAndStore();
  display::LyricFrameState frame;
  display::LyricLines lines(styles, frame);
  lines.SetSurface(dc->Target());
  lines.SetInvalidate([hwnd](const gdi::Rect& area) { ui::InvalidateRect(hwnd, &area, false); });
  lines.SetPad(display::PadForHeight(kHeight));
  lines.Resize(kWidth, kHeight);
  const gdi::Colour background = video ? kKey : gdi::Rgb(0, 0, 0);
  auto paint = [&] {
    gdi::Dc d(dc->Target());
    d.FillRect(gdi::Rect{0, 0, kWidth, kHeight}, background);
    lines.OnPaint(d);
  };
  paint();

  if (video) {
    const std::string quoted = media::mci::QuoteWord(clip, true);
    for (const std::string c :
         {std::string("open mpegvideo type mpegvideo alias bench"),
          "window bench handle " + std::to_string(hwnd), std::string("put bench destination"),
          std::string("set bench video key color to 128:0:128"), "load bench " + quoted,
          std::string("play bench repeat")})
      if (const uint32_t e = media::mci::SendString(c); e != media::mci::kOk) {
        std::fprintf(stderr, "bench-video: %s: %s\n", c.c_str(),
                     media::mci::ErrorText(e).c_str());
        win::DestroyWindow(hwnd);
        return out;
      }
  }

  // The edge drawn at each transfer against the ideal edge of that moment,
  // on the timer's thread.
  std::mutex idealMu;
  int64_t arrivalNs = 0;
  double durationMs = 0;
  int32_t start = 0, width = 0;
  out.edgeMs.reserve(static_cast<size_t>(seconds * 1000 / kPeriodMs) + 1000);
  lines.SetUpdate([&](const gdi::Rect&) {
    const int32_t drawn = lines.Wipe().wipeEdge.load();
    std::lock_guard lock(idealMu);
    if (durationMs <= 0 || width <= 0 || out.edgeMs.size() == out.edgeMs.capacity())
      return;
    const double elapsed = (media::MonotonicNs() - arrivalNs) / 1e6;
    if (elapsed >= durationMs)
      return;
    const double ideal = start + width * std::clamp(elapsed / durationMs, 0.0, 1.0);
    out.edgeMs.push_back(std::abs(drawn - ideal) / (width / durationMs));
  });

  ticks.Arm(static_cast<size_t>(seconds * 1000 / kPeriodMs) + 1000);
  display::ColourWipe wipe(lines, frame, kPeriodMs);
  if (!wipe.Start(true)) {
    std::fprintf(stderr, "bench-video: cannot start the periodic timer\n");
    return out;
  }
  const double cpuBefore = CpuMs(RUSAGE_SELF);
  const double uiBefore = ThreadCpuMs();
  std::mt19937 random(11);
  const auto songStart = std::chrono::steady_clock::now();
  const auto songEnd = songStart + std::chrono::duration<double>(seconds);
  auto due = songStart;
  auto waitUntil = [&](std::chrono::steady_clock::time_point t) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        t - std::chrono::steady_clock::now())
                        .count();
    if (ms > 0)
      win::RunMessageLoopUntil([&] { return std::chrono::steady_clock::now() >= t; },
                               static_cast<uint32_t>(ms) + 1);
  };
  auto stopIdeal = [&] {
    std::lock_guard lock(idealMu);
    durationMs = 0;
  };
  for (int32_t line = 0; std::chrono::steady_clock::now() < songEnd; ++line) {
    const std::string text = kLines[static_cast<size_t>(line) % std::size(kLines)];
    waitUntil(due);
    stopIdeal();
    wipe.FinishLine();
    lines.PlaceLine(display::kSlotA, text, 0, line);
    frame.slotState = 2;
    frame.currentLine = line;
    paint();
    ui::InvalidateRect(hwnd, nullptr, false);
    wipe.ResetLine();
    for (uint32_t at = 0; at < text.size() && std::chrono::steady_clock::now() < songEnd;) {
      const uint32_t size = std::min<uint32_t>(3, static_cast<uint32_t>(text.size()) - at);
      const std::string syllable = text.substr(at, size);
      lines.SetCurrentSyllable(syllable);
      const std::optional<display::SyllableSpan> m = lines.MeasureSyllable(at);
      if (!m)
        break;
      const display::SyllableSpan span =
          display::WipeSpanOf(*m, lines.Slot(display::kSlotA).blankWidth, syllable[0] == ' ');
      const uint32_t ms = 150 + random() % 451;
      waitUntil(due);
      stopIdeal();
      const int64_t nowNs = media::MonotonicNs();
      const uint32_t arrivalMs = media::NowMs();
      wipe.BeginSyllable(span.start, span.width, ms, arrivalMs);
      {
        std::lock_guard lock(idealMu);
        arrivalNs = nowNs;
        durationMs = ms;
        start = frame.syllableStart.load();
        width = frame.syllableWidth.load();
      }
      due += std::chrono::milliseconds(ms);
      at += size;
    }
  }
  waitUntil(due);
  stopIdeal();
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - songStart).count();
  out.uiCpuMs = ThreadCpuMs() - uiBefore;
  out.cpuMs = CpuMs(RUSAGE_SELF) - cpuBefore;
  wipe.Stop();
  if (video) {
    std::string shown, late, dropped;
    media::mci::SendString("status bench frames shown", &shown);
    media::mci::SendString("status bench frames late", &late);
    media::mci::SendString("status bench frames dropped", &dropped);
    out.video.shown = std::strtoull(shown.c_str(), nullptr, 10);
    out.video.late = std::strtoull(late.c_str(), nullptr, 10);
    out.video.dropped = std::strtoull(dropped.c_str(), nullptr, 10);
    media::mci::SendString("close bench");
  }
  lines.SetUpdate(nullptr);
  out.tickMs = ticks.costMs;
  out.lateMs = ticks.lateMs;
  win::DestroyWindow(hwnd);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  out.ok = true;
  return out;
}

void PrintWipe(const char* prefix, const Figures& f) {
  std::printf("%s_ticks: %zu ticks\n", prefix, f.tickMs.size());
  std::printf("%s_tick_median: %.3f ms\n", prefix, Percentile(f.tickMs, 0.5));
  std::printf("%s_tick_p99: %.3f ms\n", prefix, Percentile(f.tickMs, 0.99));
  std::printf("%s_tick_max: %.3f ms\n", prefix, Percentile(f.tickMs, 1.0));
  std::printf("%s_tick_late_p99: %.3f ms\n", prefix, Percentile(f.lateMs, 0.99));
  std::printf("%s_edge_error_median: %.3f ms\n", prefix, Percentile(f.edgeMs, 0.5));
  std::printf("%s_edge_error_max: %.3f ms\n", prefix, Percentile(f.edgeMs, 1.0));
}

} // namespace

int main(int argc, char** argv) {
  double seconds = 20;
  for (int i = 1; i + 1 < argc; i += 2)
    if (std::strcmp(argv[i], "--seconds") == 0)
      seconds = std::max(1.0, std::atof(argv[i + 1]));
  char pattern[] = "/tmp/bench-video-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (!dir) {
    std::fprintf(stderr, "bench-video: no temporary folder\n");
    return 1;
  }
  setenv("VEXO_RUNTIME_DIR", dir, 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qargc = 1;
  char name[] = "bench-video";
  char* qargv[] = {name, nullptr};
  QApplication app(qargc, qargv);

  const std::string clip = std::string(dir) + "/clip-1080p30.mpg";
  std::fprintf(stderr, "bench-video: making a 10 s 1920x1080 30 fps MPEG-2 clip\n");
  if (Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=30 -t 10 "
          "-c:v mpeg2video -q:v 4 -f vob '" +
          clip + "'") != 0) {
    std::fprintf(stderr, "bench-video: ffmpeg could not make the clip\n");
    return 1;
  }
  // ffmpeg's own decoding of the clip, for comparison.
  const double childBefore = CpuMs(RUSAGE_CHILDREN);
  Run("ffmpeg -nostdin -v error -i '" + clip + "' -f null -");
  const double ffmpegMsPerFrame = (CpuMs(RUSAGE_CHILDREN) - childBefore) / (10 * kClipFps);

  media::RegisterVideoDevices();
  TimedTicks ticks;
  media::InstallTimeSource(&ticks);
  std::fprintf(stderr, "bench-video: the wipe over a still background, %.0f s\n", seconds);
  const Figures still = Measure(ticks, "", seconds);
  std::fprintf(stderr, "bench-video: the wipe over the video, %.0f s\n", seconds);
  const Figures video = Measure(ticks, clip, seconds);
  media::mci::CloseAll();
  media::InstallTimeSource(nullptr);
  std::filesystem::remove_all(dir);
  if (!still.ok || !video.ok)
    return 1;

  const media::VideoStats& s = video.video;
  const double shown = static_cast<double>(std::max<uint64_t>(s.shown, 1));
  std::printf("view: %dx%d pixels\n", kWidth, kHeight);
  std::printf("wipe_period: %u ms\n", kPeriodMs);
  std::printf("run_length: %.1f s\n", video.seconds);
  PrintWipe("still_wipe", still);
  PrintWipe("video_wipe", video);
  std::printf("frames_shown: %llu frames\n", static_cast<unsigned long long>(s.shown));
  std::printf("frames_due: %.0f frames\n", video.seconds * kClipFps);
  std::printf("frames_late: %llu frames\n", static_cast<unsigned long long>(s.late));
  std::printf("frames_within_one_period: %.2f %%\n",
              s.shown ? 100.0 * (s.shown - s.late) / s.shown : 0.0);
  std::printf("frames_dropped: %llu frames\n", static_cast<unsigned long long>(s.dropped));
  std::printf("fps: %.2f frames/s\n", s.shown / video.seconds);
  std::printf("still_cpu: %.1f %%\n", 100.0 * still.cpuMs / (still.seconds * 1000));
  std::printf("video_cpu: %.1f %%\n", 100.0 * video.cpuMs / (video.seconds * 1000));
  std::printf("cpu_per_frame: %.2f ms\n", video.cpuMs / shown);
  std::printf("cpu_per_frame_beyond_still: %.2f ms\n",
              (video.cpuMs - still.cpuMs * video.seconds / still.seconds) / shown);
  std::printf("compositing_cpu_per_frame: %.2f ms\n",
              (video.uiCpuMs - still.uiCpuMs * video.seconds / still.seconds) / shown);
  std::printf("ffmpeg_null_cpu_per_frame: %.2f ms\n", ffmpegMsPerFrame);
  return s.shown > 0 ? 0 : 1;
}
