// Figures of the lyric view's colour wipe at 1920 x 1080: the cost of one
// wipe tick and of laying out one line (fitting, painting it into the wipe
// bitmap), and how far the drawn edge strays from the ideal edge while a
// song of syllables is wiped on the real periodic timer.
//
//   bench-wipe                  a 20-second song idle, then again loaded
//   bench-wipe --song 180       the full 3-minute song, idle and loaded
//   options: --period MS (20), --ticks N (2000), --layouts N (60),
//            --load N (threads spinning meanwhile in the loaded runs; all
//            cores by default, 0 for no loaded runs)
//
// The edge error is taken two ways: at each tick that draws, the edge just
// drawn against the ideal edge of that moment; and by a watcher sampling the
// view every millisecond, the edge shown against the ideal edge, which lags
// by up to one period between ticks (plus the pixel the edge is truncated
// to, which for a slow syllable is several milliseconds): the lag beyond one
// period's movement is given as well.
#include "bench/cpu_load.h"
#include "display/lyric/colour_wipe.h"
#include "display/lyric/lyric_geometry.h"
#include "display/lyric/lyric_lines.h"
#include "display/lyric/lyric_style_table.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/codepage.h"

#include <QGuiApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

struct Options {
  double songSeconds = 20;
  uint32_t periodMs = 20;
  int ticks = 2000;
  int layouts = 60;
  int load = -1; // -1: one thread per core
};

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "bench-wipe: %s needs a value\n", a.c_str());
      return false;
    }
    const double v = std::atof(argv[++i]);
    if (a == "--song" && v > 0)
      o->songSeconds = v;
    else if (a == "--period" && v >= 1 && v <= 1000)
      o->periodMs = static_cast<uint32_t>(v);
    else if (a == "--ticks" && v >= 1)
      o->ticks = static_cast<int>(v);
    else if (a == "--layouts" && v >= 1)
      o->layouts = static_cast<int>(v);
    else if (a == "--load" && v >= 0 && v <= 1024)
      o->load = static_cast<int>(v);
    else {
      std::fprintf(stderr, "bench-wipe: bad option %s %s\n", a.c_str(), argv[i]);
      return false;
    }
  }
  return true;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * v.size())) - (p > 0));
  return v[i];
}

double MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

// A view of 1920 x 1080 on a black background, with the default styles.
struct View {
  std::string folder;
  std::unique_ptr<display::LyricStyleTable> styles;
  display::LyricFrameState frame;
  std::unique_ptr<display::LyricLines> lines;
  std::shared_ptr<gdi::Surface> surface;

  View() {
    char tmpl[] = "/tmp/bench-wipe-XXXXXX";
    folder = mkdtemp(tmpl) ? tmpl : "/tmp";
    styles = std::make_unique<display::LyricStyleTable>(folder + "/config.ini");
    styles->LoadAndStore();
    lines = std::make_unique<display::LyricLines>(*styles, frame);
    surface = gdi::Surface::Create(kWidth, kHeight, 0);
    lines->SetSurface(surface);
    lines->SetPad(display::PadForHeight(kHeight));
    lines->Resize(kWidth, kHeight);
    Paint();
  }
  ~View() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  void Paint() {
    gdi::Dc dc(surface);
    dc.FillRect(gdi::Rect{0, 0, kWidth, kHeight}, 0);
    lines->OnPaint(dc);
  }
  // A line into slot A, sung there.
  void ShowLine(const std::string& text, int32_t index) {
    lines->PlaceLine(display::kSlotA, text, 0, index);
    frame.slotState = 2;
    frame.currentLine = index;
    Paint();
  }
};

const char* const kLines[] = {
    "Twinkle, twinkle, little star",
    "How I wonder what you are",
    "Up above the world so high, like a diamond in the sky",
    "la la la",
    "When the blazing sun is gone, when he nothing shines upon",
    "Then you show your little light",
    "Twinkle, twinkle, all the night, twinkle twinkle little star how I wonder",
    "\xEB\xB0\x98\xEC\xA7\x9D\xEB\xB0\x98\xEC\xA7\x9D \xEC\x9E\x91\xEC\x9D\x80 "
    "\xEB\xB3\x84", // UTF-8, converted below
};

std::string LineBytes(size_t i) {
  const std::string text = kLines[i % std::size(kLines)];
  return sys::FromUtf8Lossy(text, 949);
}

// The cost of the periodic timer's tick while a line-long syllable is wiped,
// on a virtual clock moved one period per tick.
std::vector<double> MeasureTicks(const Options& o) {
  media::VirtualTime clock(1000);
  media::InstallTimeSource(&clock);
  std::vector<double> costs;
  {
    View view;
    view.ShowLine(LineBytes(2), 0);
    display::ColourWipe wipe(*view.lines, view.frame, o.periodMs);
    wipe.Start(true);
    const int32_t width = view.lines->Slot(display::kSlotA).textWidth;
    const uint32_t durationMs = 2000;
    const int perSyllable = static_cast<int>(durationMs / o.periodMs);
    for (int done = 0; done < o.ticks;) {
      wipe.ResetLine();
      view.Paint();
      wipe.BeginSyllable(0, width, durationMs);
      for (int k = 0; k < perSyllable && done < o.ticks; ++k, ++done) {
        clock.Delay(o.periodMs);
        const auto t = std::chrono::steady_clock::now();
        wipe.TimerTick();
        costs.push_back(MsSince(t));
      }
    }
    wipe.Stop();
  }
  media::InstallTimeSource(nullptr);
  return costs;
}

// The cost of placing one line: fitting it in up to twelve fonts, and
// drawing it into the wipe bitmap.
std::vector<double> MeasureLayouts(const Options& o) {
  View view;
  std::vector<double> costs;
  for (int i = 0; i < o.layouts; ++i) {
    const std::string text = LineBytes(static_cast<size_t>(i));
    const auto t = std::chrono::steady_clock::now();
    view.lines->PlaceLine(i % 2 ? display::kSlotB : display::kSlotA, text, 0, i);
    costs.push_back(MsSince(t));
  }
  return costs;
}

struct EdgeRun {
  std::vector<double> drawPx, drawMs; // at each tick that draws
  std::vector<double> lagPx, lagMs;   // sampled by the watcher
  std::vector<double> overTickPx;     // the lag less one period's movement
  size_t syllables = 0;
};

// What the ideal edge is at a moment, for the syllable running. Written by
// the song's thread, read by the timer's and the watcher's without a lock (a
// sequence count), so that the measuring never holds up the timer thread.
struct IdealEdge {
  std::atomic<uint64_t> sequence{0};
  std::atomic<bool> running{false};
  std::atomic<int64_t> arrivalNs{0};
  std::atomic<double> durationMs{0};
  std::atomic<int32_t> start{0};
  std::atomic<int32_t> width{0};

  void Stop() { Set(false, 0, 0, start.load(std::memory_order_relaxed), 0); }
  void Set(bool on, int64_t arrival, double duration, int32_t s, int32_t w) {
    sequence.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    running.store(on, std::memory_order_relaxed);
    arrivalNs.store(arrival, std::memory_order_relaxed);
    durationMs.store(duration, std::memory_order_relaxed);
    start.store(s, std::memory_order_relaxed);
    width.store(w, std::memory_order_relaxed);
    sequence.fetch_add(1, std::memory_order_release);
  }

  // The ideal edge, the speed (px per ms) and the syllable's start; false
  // between syllables.
  bool At(int64_t nowNs, double* edge, double* speed, int32_t* startOut = nullptr) const {
    bool on = false;
    int64_t arrival = 0;
    double duration = 0;
    int32_t s = 0, w = 0;
    for (;;) {
      const uint64_t before = sequence.load(std::memory_order_acquire);
      on = running.load(std::memory_order_relaxed);
      arrival = arrivalNs.load(std::memory_order_relaxed);
      duration = durationMs.load(std::memory_order_relaxed);
      s = start.load(std::memory_order_relaxed);
      w = width.load(std::memory_order_relaxed);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (before % 2 == 0 && sequence.load(std::memory_order_relaxed) == before)
        break;
    }
    if (startOut)
      *startOut = s;
    if (!on || duration <= 0 || w <= 0)
      return false;
    const double elapsed = (nowNs - arrival) / 1e6;
    if (elapsed >= duration)
      return false; // done: nothing left to lag behind
    *speed = w / duration;
    *edge = s + w * std::clamp(elapsed / duration, 0.0, 1.0);
    return true;
  }
};

EdgeRun MeasureEdges(const Options& o) {
  media::InstallTimeSource(nullptr);
  EdgeRun run;
  View view;
  IdealEdge ideal;
  // Each list has one writer (the timer's thread, or the watcher's) and is
  // read once both have stopped; room is made beforehand, so that the timer
  // thread never waits on an allocation.
  const size_t expected = static_cast<size_t>(o.songSeconds * 1000) + 1000;
  run.drawPx.reserve(expected / o.periodMs);
  run.drawMs.reserve(expected / o.periodMs);
  for (std::vector<double>* v : {&run.lagPx, &run.lagMs, &run.overTickPx})
    v->reserve(expected);
  view.lines->SetUpdate([&](const gdi::Rect&) {
    // On the timer thread, right after the transfer: the edge just drawn.
    double edge = 0, speed = 0;
    const int32_t drawn = view.lines->Wipe().wipeEdge.load();
    if (!ideal.At(media::MonotonicNs(), &edge, &speed))
      return;
    const double px = std::abs(drawn - edge);
    run.drawPx.push_back(px);
    run.drawMs.push_back(px / speed);
  });
  display::ColourWipe wipe(*view.lines, view.frame, o.periodMs);
  if (!wipe.Start(true)) {
    std::fprintf(stderr, "bench-wipe: cannot start the periodic timer\n");
    return run;
  }
  std::atomic<bool> watching{true};
  std::thread watcher([&] {
    while (watching.load()) {
      double edge = 0, speed = 0;
      // A sample whose reading the watcher itself was kept from (another
      // thread ran meanwhile) says nothing of the wipe: it is dropped.
      const int64_t before = media::MonotonicNs();
      const int32_t drawn = view.lines->Wipe().drawnEdge.load();
      const int64_t now = media::MonotonicNs();
      int32_t start = 0;
      if (now - before < 200'000 && ideal.At(now, &edge, &speed, &start)) {
        // Before its first tick a syllable counts as drawn up to its start.
        const double px = std::max(0.0, edge - std::max(drawn, start));
        run.lagPx.push_back(px);
        run.lagMs.push_back(px / speed);
        run.overTickPx.push_back(std::max(0.0, px - speed * o.periodMs));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });

  std::mt19937 random(11);
  const auto songStart = std::chrono::steady_clock::now();
  auto due = songStart;
  const auto songEnd = songStart + std::chrono::duration<double>(o.songSeconds);
  for (int32_t line = 0; std::chrono::steady_clock::now() < songEnd; ++line) {
    const std::string text = LineBytes(static_cast<size_t>(line));
    // The line's last syllable runs out, then the next line comes.
    std::this_thread::sleep_until(due);
    ideal.Stop();
    wipe.FinishLine();
    view.ShowLine(text, line);
    wipe.ResetLine();
    // Syllables of up to three bytes (whole characters), 150 to 600 ms each,
    // back to back.
    for (uint32_t at = 0, size = 0; at < text.size() && std::chrono::steady_clock::now() < songEnd;
         at += size) {
      const std::string_view rest = std::string_view(text).substr(at);
      size = static_cast<uint32_t>(std::max<size_t>(sys::CutLength(rest, 3, 949), 2));
      const std::string syllable(rest.substr(0, size));
      view.lines->SetCurrentSyllable(syllable);
      const std::optional<display::SyllableSpan> m = view.lines->MeasureSyllable(at);
      if (!m)
        break;
      const display::SyllableSpan span =
          display::WipeSpanOf(*m, view.lines->Slot(display::kSlotA).blankWidth, syllable[0] == ' ');
      const uint32_t durationMs = 150 + random() % 451;
      std::this_thread::sleep_until(due);
      ideal.Stop();
      // The wipe and the ideal edge share one arrival, to the millisecond
      // the wipe counts in.
      const uint32_t arrivalMs = media::NowMs();
      wipe.BeginSyllable(span.start, span.width, durationMs, arrivalMs);
      {
        const int64_t nowNs = media::MonotonicNs();
        const uint32_t since = static_cast<uint32_t>(nowNs / 1'000'000) - arrivalMs;
        ideal.Set(true, (nowNs / 1'000'000 - since) * 1'000'000, durationMs,
                  view.frame.syllableStart.load(), view.frame.syllableWidth.load());
      }
      ++run.syllables;
      due += std::chrono::milliseconds(durationMs);
    }
  }
  std::this_thread::sleep_until(due);
  watching.store(false);
  watcher.join();
  wipe.Stop();
  return run;
}

void PrintFigures(const char* name, const std::vector<double>& v, const char* unit) {
  std::printf("%s_median: %.3f %s\n", name, Percentile(v, 0.5), unit);
  std::printf("%s_max: %.3f %s\n", name, Percentile(v, 1.0), unit);
}

} // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, &o))
    return 2;
  if (o.load < 0)
    o.load = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qargc = 1;
  char name[] = "bench-wipe";
  char* qargv[] = {name, nullptr};
  QGuiApplication app(qargc, qargv);

  const std::vector<double> ticks = MeasureTicks(o);
  const std::vector<double> layouts = MeasureLayouts(o);
  std::fprintf(stderr, "bench-wipe: wiping a %.0f-second song on the real timer, period %u ms\n",
               o.songSeconds, o.periodMs);
  const EdgeRun edges = MeasureEdges(o);
  std::vector<double> layoutsLoaded;
  EdgeRun edgesLoaded;
  if (o.load > 0) {
    std::fprintf(stderr, "bench-wipe: the same with %d threads spinning\n", o.load);
    bench::CpuLoad load(o.load);
    layoutsLoaded = MeasureLayouts(o);
    edgesLoaded = MeasureEdges(o);
  }

  std::printf("wipe_view: %dx%d pixels\n", kWidth, kHeight);
  std::printf("wipe_period: %u ms\n", o.periodMs);
  std::printf("wipe_ticks_measured: %zu ticks\n", ticks.size());
  PrintFigures("wipe_tick", ticks, "ms");
  std::printf("wipe_tick_p99: %.3f ms\n", Percentile(ticks, 0.99));
  std::printf("song_length: %.0f s\n", o.songSeconds);
  std::printf("load_threads: %d threads\n", o.load);
  struct Run {
    const char* suffix;
    const std::vector<double>* layouts;
    const EdgeRun* edges;
  };
  std::vector<Run> runs{{"", &layouts, &edges}};
  if (o.load > 0)
    runs.push_back({"_loaded", &layoutsLoaded, &edgesLoaded});
  for (const Run& r : runs) {
    const std::string s = r.suffix;
    PrintFigures(("line_layout" + s).c_str(), *r.layouts, "ms");
    std::printf("song_syllables%s: %zu syllables\n", r.suffix, r.edges->syllables);
    PrintFigures(("edge_error_px" + s).c_str(), r.edges->drawPx, "px");
    PrintFigures(("edge_error_ms" + s).c_str(), r.edges->drawMs, "ms");
    PrintFigures(("edge_lag_px" + s).c_str(), r.edges->lagPx, "px");
    PrintFigures(("edge_lag_ms" + s).c_str(), r.edges->lagMs, "ms");
    PrintFigures(("edge_lag_beyond_one_tick_px" + s).c_str(), r.edges->overTickPx, "px");
  }
  return 0;
}
