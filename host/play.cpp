#include "host/play.h"
#include "host/interrupt.h"

#include "host/display_command.h"
#include "host/display_log.h"
#include "host/nyvanta_client.h"
#include "host/score_panel.h"
#include "host/window_app.h"
#include "host/logo_command.h"
#include "host/remote_window.h"
#include "host/tamblo_client.h"
#include "host/wave_mix.h"
#include "platform/media/clock.h"
#include "platform/media/mixer.h"
#include "platform/media/software_synth.h"
#include "platform/media/virtual_time.h"
#include "platform/media/wave_sinks.h"
#include "platform/media/wavein.h"
#include "platform/media/waveout.h"
#include "platform/sys/codepage.h"
#include "platform/sys/library.h"
#include "platform/sys/runtime.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"

#include <QApplication>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <unistd.h>

namespace host {
namespace {

constexpr const char* kDemoSong = "twinkle.kar";
constexpr const char* kDemoWav = "twinkle.wav";
constexpr uint32_t kLoopSliceMs = 250;

int Fail(const std::string& text) {
  std::fprintf(stderr, "vexo3: %s\n", text.c_str());
  return kExitFailed;
}

bool ParseNumber(std::string_view text, int low, int high, int* out) {
  const std::string s(text);
  if (s.empty())
    return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || end != s.c_str() + s.size() || v < low || v > high)
    return false;
  *out = static_cast<int>(v);
  return true;
}

std::string MinutesSeconds(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u", ms / 60000, ms / 1000 % 60);
  return text;
}

// One status line: rewritten in place on a terminal; elsewhere a line per
// second of the song.
class StatusLine {
public:
  StatusLine() : terminal_(isatty(STDOUT_FILENO) == 1) {}

  // extra: what follows the time and the share played (the score).
  void Show(uint32_t ms, int32_t perMille, const std::string& extra = {}) {
    const uint32_t second = ms / 1000;
    if (terminal_ ? second == second_ && perMille == perMille_ && extra == extra_
                  : second == second_)
      return;
    second_ = second;
    perMille_ = perMille;
    extra_ = extra;
    std::string line = "  " + MinutesSeconds(ms);
    if (perMille >= 0)
      line += "  " + std::to_string(std::min(perMille, 1000)) + "\u2030";
    if (!extra.empty())
      line += "  " + extra;
    if (terminal_)
      std::printf("\r%-48s", line.c_str());
    else
      std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    shown_ = true;
  }

  // A line of its own between status lines.
  void Note(const std::string& text) {
    if (terminal_ && shown_)
      std::printf("\n");
    std::printf("  %s\n", text.c_str());
    std::fflush(stdout);
    shown_ = false;
    second_ = UINT32_MAX;
  }

  void End() {
    if (terminal_ && shown_)
      std::printf("\n");
    std::fflush(stdout);
  }

private:
  bool terminal_;
  bool shown_ = false;
  uint32_t second_ = UINT32_MAX;
  int32_t perMille_ = -2;
  std::string extra_;
};

// What the status line shows of the scoring.
std::string ScoreText(const NyvantaClient* scorer) {
  if (!scorer)
    return {};
  const NyvantaCounters c = scorer->Counters();
  char text[48];
  std::snprintf(text, sizeof text, "score %.1f  status %d", c.score, c.status);
  return text;
}

// Tells when scoring pauses (an embedded wave sounds) and resumes.
class PauseWatch {
public:
  void Check(const NyvantaClient* scorer, uint32_t ms, StatusLine& status) {
    if (!scorer)
      return;
    const bool paused = scorer->Exports().GetPausedStatus() != 0;
    if (paused == paused_)
      return;
    paused_ = paused;
    status.Note(std::string(paused ? "scoring paused" : "scoring resumed") + " at " +
                MinutesSeconds(ms) + "." + std::to_string(ms / 100 % 10));
  }

private:
  bool paused_ = false;
};

// With the dump switch set, a picture of the score panel half-way through
// the song: <dump folder>/score-panel.png.
class MidSongPicture {
public:
  void Check(const ScorePanel* panel, int32_t perMille) {
    if (taken_ || !panel || perMille < 500)
      return;
    taken_ = true;
    const char* dir = std::getenv("VEXO_DUMP_DIR");
    if (dir && *dir)
      panel->Save(std::string(dir) + "/score-panel.png");
  }

private:
  bool taken_ = false;
};

// The window timers on a clock of their own that the render loop moves with
// the virtual media clock, so that the score controller's timer, the engine
// and the WAV microphone share one time; given back at the end.
class TimerClockSetup {
public:
  void Begin() {
    clock_ = std::make_unique<win::ManualTimerClock>();
    win::InstallTimerClock(clock_.get());
  }
  ~TimerClockSetup() {
    if (clock_)
      win::InstallTimerClock(nullptr);
  }
  // Moves the timers to the media clock's time since Begin.
  void MoveTo(uint64_t ms) {
    if (clock_ && ms > clock_->NowMs())
      clock_->Advance(ms - clock_->NowMs());
  }
  bool Active() const { return clock_ != nullptr; }

private:
  std::unique_ptr<win::ManualTimerClock> clock_;
};

// The virtual clock, the synthesizer's rendering for the caller and a sink
// that records the embedded waves, for the time of one rendering; all are
// given back at the end.
class RenderSetup {
public:
  bool Begin(const std::string& wav, std::string* error) {
    media::InstallTimeSource(&clock_);
    installed_ = true;
    waves_ = std::make_shared<media::RecordingWaveOut>("Rendered Waves");
    media::WaveOut().UseDevices({waves_});
    if (!media::BeginSoftwareSynthRender(wav)) {
      *error = "the built-in synthesizer is busy";
      return false;
    }
    rendering_ = true;
    return true;
  }
  ~RenderSetup() {
    if (rendering_)
      media::EndSoftwareSynthRender();
    if (waves_)
      media::WaveOut().UseDevices({});
    if (installed_)
      media::InstallTimeSource(nullptr);
  }
  media::VirtualTime& Clock() { return clock_; }
  const media::RecordingWaveOut* Waves() const { return waves_.get(); }

private:
  std::shared_ptr<media::RecordingWaveOut> waves_;
  media::VirtualTime clock_{0};
  bool installed_ = false;
  bool rendering_ = false;
};

int FindSynth(const TambloExports& t) {
  for (int d = 0; d < t.moGetNumMIDDevices(); ++d) {
    auto info = DescribeDevice(t, d);
    if (info && info->productId == media::kProductSoftwareSynth)
      return d;
  }
  return -1;
}

std::string CurrentDeviceName(const TambloExports& t) {
  const int device = t.moGetCurDev();
  // The mapper plays on the default device, device 0.
  auto info = DescribeDevice(t, device < 0 ? 0 : device);
  return info ? info->name : "the MIDI mapper";
}

bool Writable(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  std::fclose(f);
  return true;
}

constexpr uint32_t kDisplayLinkWaitMs = 3000;
// The score controller's timer period.
constexpr uint32_t kScorePeriodMs = 200;
// The display's frame and its code for the score page.
constexpr const char* kDisplayFrameClass = "VEXO3LYRIC";
constexpr win::WParam kSingScoreCode = 1537;

// The start-up logo of a play: each step of the start as a line on
// standard output and in the logo; its music stops when the song starts.
class PlayLogo {
public:
  PlayLogo(bool wanted, const std::string& folder) {
    if (!wanted)
      return;
    std::string why;
    logo_ = StartupLogo::Load(folder, &why);
    if (logo_ && !logo_->Launch()) {
      why = "its window cannot be opened";
      logo_.reset();
    }
    if (!logo_)
      std::fprintf(stderr, "vexo3: playing without the logo: %s\n", why.c_str());
  }
  void Step(const std::string& text) {
    if (!logo_)
      return;
    std::printf("logo: %s\n", text.c_str());
    std::fflush(stdout);
    logo_->Text(text);
    win::ProcessPendingMessages();
  }
  void SongStarted() {
    if (logo_)
      logo_->MusicOff();
  }

private:
  std::unique_ptr<StartupLogo> logo_;
};

} // namespace

std::optional<PlayOptions> ParsePlayArguments(std::span<char*> args, std::string* error) {
  PlayOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    auto value = [&]() -> const char* { return i + 1 < args.size() ? args[++i] : nullptr; };
    if (a == "--device" || a == "--wav" || a == "--tempo" || a == "--key") {
      const char* v = value();
      if (!v) {
        *error = std::string(a) + " needs a value";
        return std::nullopt;
      }
      if (a == "--wav") {
        o.wav = v;
        if (o.wav.empty()) {
          *error = "--wav needs a file name";
          return std::nullopt;
        }
      } else if (a == "--device" && !ParseNumber(v, 0, INT16_MAX, &o.device)) {
        *error =
            std::string("--device takes a device number (see 'vexo3 devices'), not '") + v + "'";
        return std::nullopt;
      } else if (a == "--tempo" && !ParseNumber(v, kMinTempo, kMaxTempo, &o.tempo)) {
        *error = "--tempo takes a percentage from " + std::to_string(kMinTempo) + " to +" +
                 std::to_string(kMaxTempo);
        return std::nullopt;
      } else if (a == "--key" && !ParseNumber(v, kMinKey, kMaxKey, &o.key)) {
        *error = "--key takes semitones from " + std::to_string(kMinKey) + " to +" +
                 std::to_string(kMaxKey);
        return std::nullopt;
      }
    } else if (a == "--score") {
      o.score = true;
    } else if (a == "--panel") {
      o.panel = true;
    } else if (a == "--mic") {
      const char* v = value();
      if (!v || !*v) {
        *error = "--mic needs a WAV file";
        return std::nullopt;
      }
      o.mic = v;
    } else if (a == "--mic-device") {
      const char* v = value();
      if (!v || !ParseNumber(v, 0, INT16_MAX - 1, &o.micDevice)) {
        *error = "--mic-device takes a sound input device number (see 'vexo3 devices')";
        return std::nullopt;
      }
    } else if (a == "--no-display") {
      o.display = false;
    } else if (a == "--logo") {
      o.logo = true;
    } else if (a == "--display-log") {
      const char* v = value();
      if (!v || !*v) {
        *error = "--display-log needs a file name";
        return std::nullopt;
      }
      o.displayLog = v;
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option '" + std::string(a) + "'";
      return std::nullopt;
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      *error = "one song file at a time";
      return std::nullopt;
    }
  }
  if (o.file.empty()) {
    *error = "which song file?";
    return std::nullopt;
  }
  if (o.panel && !o.score) {
    *error = "--panel shows the score of --score";
    return std::nullopt;
  }
  if ((!o.mic.empty() || o.micDevice >= 0) && !o.score) {
    *error = "--mic and --mic-device choose what --score listens to";
    return std::nullopt;
  }
  if (!o.mic.empty() && o.micDevice >= 0) {
    *error = "either --mic or --mic-device";
    return std::nullopt;
  }
  return o;
}

int PlaySong(const PlayOptions& o) {
  const bool render = !o.wav.empty();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(o.file, ec))
    return Fail(o.file + ": no such file");
  if (render && !Writable(o.wav))
    return Fail("cannot write " + o.wav + ": " + std::strerror(errno));

  std::string error;
  // Made first, so that it is given back after the player core has ended.
  RenderSetup setup;
  if (render && !setup.Begin(o.wav, &error))
    return Fail(error);
  TimerClockSetup timers;
  if (render && o.score)
    timers.Begin();
  // A sung file stands in for the microphone; the singing score finds it
  // as its only device.
  std::shared_ptr<media::WavMicrophone> mic;
  if (!o.mic.empty()) {
    mic = media::WavMicrophone::FromFile(o.mic, &error);
    if (!mic)
      return Fail(o.mic + ": " + error);
    media::WaveIn().UseDevices({mic});
    // A file needs no recording set-up: the sound card's mixer stays as it is.
    media::Mixers().UseDevices({});
  }

  // Before the host's windows, so that it goes after them.
  PlayLogo logo(o.logo, o.folder);
  logo.Step("Starting the player...");
  RemoteWindows windows;
  if (!windows.Ok())
    return Fail("the host's windows cannot be made");
  const std::string folder = o.folder.empty() ? sys::ProgramFolder() : o.folder;
  auto client = TambloClient::Start(folder, &error);
  if (!client)
    return Fail(error);
  // The singing score and the player core each get the other's module.
  std::unique_ptr<NyvantaClient> scorer;
  if (o.score && !(scorer = NyvantaClient::Start(folder, &error)))
    return Fail(error);
  if (!client->Init(windows.Frame(), windows.Remote(), &error,
                    scorer ? scorer->Module() : nullptr))
    return Fail(error);
  // The panel holds the controller and its status window, beside the
  // display controls.
  std::unique_ptr<QApplication> app;
  std::unique_ptr<ScorePanel> panel;
  if (o.panel) {
    if (!HasScreen())
      return Fail("--panel needs a screen (DISPLAY or WAYLAND_DISPLAY)");
    app = MakeApplication();
    panel = ScorePanel::Open([] { interrupted.store(true); }, &error);
    if (!panel)
      return Fail(error);
  }
  if (scorer && !scorer->Init(client->Module(), panel ? panel->Hwnd() : windows.Frame(), &error))
    return Fail(error);
  if (panel) {
    if (!panel->MakeControls(scorer->Module(), &error))
      return Fail(error);
    scorer->Exports().ShowStatusWindow(1);
    panel->PlaceStatusWindow();
  }
  const TambloExports& t = client->Exports();
  if (scorer) {
    const NyvantaExports& n = scorer->Exports();
    const int inputs = n.wiGetNumWAVDevices();
    if (inputs == 0)
      return Fail("there is no sound input device to score from; give a sung file with --mic "
                  "FILE.wav");
    if (o.micDevice >= inputs)
      return Fail("there is no sound input device " + std::to_string(o.micDevice) +
                  " (see 'vexo3 devices')");
    if (o.micDevice >= 0)
      n.wiSetCurDev(static_cast<int16_t>(o.micDevice));
  }

  int device = o.device;
  if (render) {
    const int synth = FindSynth(t);
    if (synth < 0)
      return Fail("the built-in synthesizer is not available");
    if (device >= 0 && device != synth)
      return Fail("--wav renders on the built-in synthesizer (device " + std::to_string(synth) +
                  ")");
    device = synth;
  }
  if (device >= 0) {
    auto info = DescribeDevice(t, device);
    if (!info)
      return Fail("there is no MIDI output device " + std::to_string(device) +
                  " (see 'vexo3 devices')");
    t.SetDefaultMidiOutDevice(info->name.c_str(), info->productId);
  }

  logo.Step("Loading the song...");
  if (!t.LoadFile(o.file.c_str(), kKindByExtension))
    return Fail(o.file + ": the player core cannot read this song");
  RemoteWindow& state = windows.State();
  t.TitleTransmit(windows.Remote());
  t.SetTempoModifier(static_cast<int16_t>(o.tempo));
  t.SetKeyModifier(static_cast<int16_t>(o.key));
  t.RegisterProgMsg(windows.Remote());
  t.RegisterStopMsg(windows.Remote());

  // From the moment the user is told Ctrl+C stops, it stops: also while the
  // display is started and linked.
  InterruptGuard interrupt;
  const std::string title = state.title.empty() ? o.file : sys::ToUtf8(state.title);
  if (render)
    std::printf("rendering \"%s\" into %s\n", title.c_str(), o.wav.c_str());
  else
    std::printf("playing \"%s\" on %s (Ctrl+C stops)\n", title.c_str(),
                CurrentDeviceName(t).c_str());
  std::fflush(stdout);

  // A display links itself to the player core; play waits for it (within a
  // bound), so that it sees the song from its first syllable.
  std::unique_ptr<DisplayLogger> logger;
  bool waitForDisplay = false;
  if (!o.displayLog.empty()) {
    logger = DisplayLogger::Start(o.displayLog, &error);
    if (!logger)
      return Fail(error);
    waitForDisplay = true;
  } else if (o.display && !render) {
    logo.Step("Starting the lyric display...");
    if (StartDisplayIfNotRunning(&error))
      waitForDisplay = true;
    else
      std::fprintf(stderr, "vexo3: playing without the lyric display: %s\n", error.c_str());
  }
  if (waitForDisplay && t.GetLyricWnd &&
      !win::RunMessageLoopUntil([&] { return interrupted.load() || t.GetLyricWnd() != 0; },
                                kDisplayLinkWaitMs) &&
      !interrupted.load())
    std::fprintf(stderr, "vexo3: the lyric display did not link itself; playing without it\n");

  const auto began = std::chrono::steady_clock::now();
  // The rendered file's first frame.
  const uint32_t startMs = setup.Clock().NowMs();
  state.ended = state.stopped = false;
  if (mic)
    mic->SetStart(media::NowMs());
  if (!interrupted.load() && !t.Play())
    return Fail(o.file + ": the song cannot be played");
  logo.SongStarted();
  // Scoring starts with the play, at the same moment of the clock.
  uint32_t bridge = 0;
  if (scorer && !interrupted.load()) {
    const NyvantaExports& n = scorer->Exports();
    n.EnableScoring(1);
    if (!n.StartScoring()) {
      std::fprintf(stderr, "vexo3: playing without scoring: %s\n", scorer->LastError().c_str());
      scorer.reset();
    } else if (render) {
      // The render loop stops at each of the controller's ticks, after
      // the engine's events of that moment.
      bridge = media::Time().SetPeriodicEvent(kScorePeriodMs, 1, [] {});
    }
  }

  StatusLine status;
  PauseWatch pauses;
  MidSongPicture picture;
  if (render) {
    // The engine's timer is the only event of the virtual clock: each run
    // plays one tick, then exactly that much audio is rendered.
    media::VirtualTime& clock = setup.Clock();
    while (!interrupted.load() && t.GetcMidiPlayFlag()) {
      const uint32_t before = clock.NowMs();
      if (!clock.RunNextEvent())
        break;
      media::RenderSoftwareSynth(clock.NowMs() - before);
      win::ProcessPendingMessages();
      if (t.GetcMidiPlayFlag()) {
        if (timers.Active()) {
          timers.MoveTo(clock.NowMs() - startMs);
          win::ProcessPendingMessages();
        }
        pauses.Check(scorer.get(), t.GetPlayTime(), status);
      status.Show(t.GetPlayTime(), state.perMille, ScoreText(scorer.get()));
      picture.Check(panel.get(), state.perMille);
      }
    }
    if (bridge)
      media::Time().KillEvent(bridge);
    // A block captured before the end is analysed once it has come in.
    while (!interrupted.load() && scorer && scorer->Counters().recording) {
      const uint32_t before = clock.NowMs();
      if (!clock.RunNextEvent())
        break;
      media::RenderSoftwareSynth(clock.NowMs() - before);
      win::ProcessPendingMessages();
    }
    // A wave still sounding at the end is heard out.
    while (!interrupted.load() && setup.Waves()->OpenStreams() > 0) {
      const uint32_t before = clock.NowMs();
      if (!clock.RunNextEvent())
        break;
      media::RenderSoftwareSynth(clock.NowMs() - before);
      win::ProcessPendingMessages();
    }
  } else {
    while (!interrupted.load()) {
      win::RunMessageLoopUntil([&] { return interrupted.load() || state.stopped || state.ended; },
                               kLoopSliceMs);
      if (state.stopped || state.ended || !t.GetcMidiPlayFlag())
        break;
      pauses.Check(scorer.get(), t.GetPlayTime(), status);
      status.Show(t.GetPlayTime(), state.perMille, ScoreText(scorer.get()));
      picture.Check(panel.get(), state.perMille);
    }
  }
  status.End();
  const bool stoppedByUser = interrupted.load();
  std::optional<ScoreReport> report;
  if (scorer) {
    // The last block's notice first, while its status stands.
    win::ProcessPendingMessages();
    scorer->Exports().TerminateScoring();
    win::ProcessPendingMessages();
    report = scorer->Report();
  }
  // All notes off and the devices closed, then the song goes.
  t.Stop();
  win::ProcessPendingMessages();
  if (logger)
    logger->Finish([] { win::RunMessageLoopUntil([] { return false; }, 5); });
  t.UnregisterProgMsg(windows.Remote());
  t.UnregisterStopMsg(windows.Remote());
  t.CloseFile();
  client.reset();

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  if (stoppedByUser)
    std::printf("stopped\n");
  if (report) {
    PrintScoreReport(*report, scorer->Runs());
    std::fflush(stdout);
    // The verdict sounds in real time only; a rendering has no listener.
    if (!render && !stoppedByUser)
      scorer->Exports().PP();
    if (const win::Hwnd display = win::FindWindow(kDisplayFrameClass, std::nullopt))
      win::SendMessageTimeout(display, win::WM_USER, kSingScoreCode,
                              static_cast<win::LParam>(report->score), kDisplayLinkWaitMs);
  }
  if (render) {
    if (!MixWavesIntoFile(o.wav, setup.Waves()->Streams(), startMs, &error))
      return Fail("the embedded waves cannot be mixed in: " + error);
    const media::SoftwareSynthStatus synth = media::SoftwareSynthState();
    const double audio = double(synth.framesWritten) / media::kSynthSampleRate;
    std::printf("wrote %s: %.2f s of audio in %.2f s\n", o.wav.c_str(), audio, seconds);
  }
  std::fflush(stdout);
  return stoppedByUser ? kExitInterrupted : kExitPlayed;
}

int PlayCommand(std::span<char*> args) {
  std::string error;
  auto options = ParsePlayArguments(args, &error);
  if (!options) {
    std::fprintf(stderr,
                 "vexo3: %s\nusage: vexo3 play FILE [--device N] [--wav OUT.wav] [--tempo "
                 "+-P] [--key +-K] [--no-display] [--display-log FILE] [--logo] [--score [--mic "
                 "SUNG.wav | --mic-device N] [--panel]]\n",
                 error.c_str());
    return kExitUsage;
  }
  return PlaySong(*options);
}

int DevicesCommand(std::span<char*> args) {
  if (!args.empty()) {
    std::fprintf(stderr, "vexo3: devices takes no arguments\n");
    return kExitUsage;
  }
  std::string error;
  auto client = TambloClient::Start(sys::ProgramFolder(), &error);
  if (!client)
    return Fail(error);
  const TambloExports& t = client->Exports();
  const int count = t.moGetNumMIDDevices();
  const int current = t.moGetCurDev() < 0 ? 0 : t.moGetCurDev();
  std::printf("MIDI output devices:\n");
  for (int d = 0; d < count; ++d) {
    auto info = DescribeDevice(t, d);
    std::printf("  %2d  %s%s\n", d, info ? info->name.c_str() : "?",
                d == current ? "  (default)" : "");
  }
  if (count == 0)
    std::printf("  none\n");
  std::printf("Sound input devices:\n");
  const int inputs = media::WaveIn().Count();
  for (int d = 0; d < inputs; ++d) {
    media::WaveInCaps caps;
    media::WaveIn().Caps(d, &caps);
    std::printf("  %2d  %s\n", d, caps.Name().c_str());
  }
  if (inputs == 0)
    std::printf("  none\n");
  std::printf("Mixers:\n");
  const int mixers = media::Mixers().Count();
  for (int m = 0; m < mixers; ++m) {
    media::MixerCaps caps;
    media::Mixers().Caps(m, &caps);
    std::printf("  %2d  %s\n", m, caps.name.c_str());
  }
  if (mixers == 0)
    std::printf("  none\n");
  return kExitPlayed;
}

int DemoCommand(std::span<char*> args) {
  PlayOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    if (std::string_view(args[i]) == "--wav" && i + 1 < args.size() && *args[i + 1]) {
      o.wav = args[++i];
    } else {
      std::fprintf(stderr, "vexo3: usage: vexo3 demo [--wav OUT.wav]\n");
      return kExitUsage;
    }
  }
  const std::string folder = sys::ProgramFolder();
  o.file = folder + "/" + kDemoSong;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(o.file, ec))
    return Fail("the demo song " + o.file + " is missing; build the project (scripts/build)");
  const char* synthWav = std::getenv("VEXO_SYNTH_WAV");
  if (o.wav.empty() && !(synthWav && *synthWav) && !media::SoftwareSynthCanPlayAloud()) {
    std::string wav = folder + "/" + kDemoWav;
    if (!Writable(wav))
      wav = sys::RuntimeDir() + "/" + kDemoWav;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 && *x11) || (wayland && *wayland)) {
      // A screen but no sound: the song plays in real time with the lyric
      // display, and the synthesizer writes what it plays into the file.
      setenv("VEXO_SYNTH_WAV", wav.c_str(), 1);
      std::printf("vexo3: this machine has no sound output; the demo song plays with the lyric "
                  "display and its sound goes into %s\n",
                  wav.c_str());
    } else {
      o.wav = wav;
      std::printf("vexo3: this machine has no sound output or screen; the demo song is rendered "
                  "into a WAV file instead\n");
    }
  }
  return PlaySong(o);
}

} // namespace host
