#include "host/score_command.h"

#include "host/play.h"
#include "host/remote_window.h"
#include "host/score_report.h"
#include "host/tamblo_client.h"
#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/media/pcm.h"
#include "platform/media/recording_midi.h"
#include "platform/media/riff.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/library.h"
#include "platform/sys/runtime.h"
#include "platform/win/loop.h"
#include "score/core_entries.h"
#include "score/pitch_engine.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace host {
namespace {

constexpr uint32_t kLongestSongMs = 6 * 60 * 60 * 1000;

int Fail(const std::string& text) {
  std::fprintf(stderr, "vexo3: %s\n", text.c_str());
  return kExitFailed;
}

bool ParseInt(const char* text, long low, long high, long* out) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
    return false;
  *out = v;
  return true;
}

// The six values the controller reads before a block, in its order; false,
// with "the player core lacks NAME", when the player core lacks one.
bool BindReaders(const sys::Library& lib, score::CoreEntries* readers, std::string* error) {
  readers->Bind(lib.Handle());
  std::string missing;
  if (readers->Complete(&missing))
    return true;
  *error = "the player core lacks " + missing;
  return false;
}

// The voice in the capture format, handed out block by block from a time.
class Voice {
public:
  Voice(std::vector<uint8_t> data, uint32_t rate, int32_t offsetMs, size_t blockBytes)
      : data_(std::move(data)), rate_(rate), offsetMs_(offsetMs), block_(blockBytes, 128) {}

  // The block recorded from songMs on; silence where the voice is not.
  const std::vector<uint8_t>& BlockAt(int64_t songMs) {
    const int64_t first = (songMs + offsetMs_) * rate_ / 1000;
    for (size_t i = 0; i < block_.size(); ++i) {
      const int64_t at = first + static_cast<int64_t>(i);
      block_[i] = at >= 0 && at < static_cast<int64_t>(data_.size()) ? data_[at] : 128;
    }
    return block_;
  }
  // Whether the whole block recorded from songMs lies within the voice.
  bool Holds(int64_t songMs) const {
    const int64_t first = (songMs + offsetMs_) * rate_ / 1000;
    return first >= 0 &&
           first + static_cast<int64_t>(block_.size()) <= static_cast<int64_t>(data_.size());
  }
  // The middle of the analysed samples of a block recorded from songMs.
  double CentreMs(int64_t songMs, const score::PitchEngine& e) const {
    const double frames = e.TransformLength() + e.Decimation() * e.TransformLength() / 2.0;
    return double(songMs + offsetMs_) + frames * 1000 / rate_;
  }

private:
  std::vector<uint8_t> data_;
  uint32_t rate_;
  int32_t offsetMs_;
  std::vector<uint8_t> block_;
};

void TraceBlock(int index, int64_t songMs, const Voice& voice, const score::PitchEngine& e,
                const score::PlayerState* p) {
  std::printf("block %d at %lld ms centre %.1f ms amp %d freq %.1f note %.2f", index,
              static_cast<long long>(songMs), voice.CentreMs(songMs, e), e.Amplitude(),
              e.Frequency(), e.Note());
  if (p)
    std::printf(" | melody %u nonote %u lyric %u %d/%d now %d | status %d", p->curNote, p->noNote,
                p->lyricOn, p->lyricElapsedMs, p->lyricTotalMs, p->currentTimeMs,
                e.SingingStatus());
  std::printf("\n");
}

void PrintResult(const score::PitchEngine& e, const StatusRuns& runs, int blocks) {
  ScoreReport r;
  r.score = e.Score();
  r.scoreFloat = e.ScoreFloat();
  r.blocks = blocks;
  r.voiceChecks = e.VoiceChecks();
  r.voiceHits = e.VoiceHits();
  r.pitchChecks = e.PitchChecks();
  r.errorCount = e.ErrorCount();
  r.errorSum = e.ErrorSum();
  r.emptyChecks = e.EmptyChecks();
  r.emptyHits = e.EmptyHits();
  PrintScoreReport(r, runs);
}

std::optional<score::ScoreParameters> LoadParameters(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  char c;
  while (bytes.size() <= score::kScoreParameterSize && in.get(c))
    bytes.push_back(static_cast<uint8_t>(c));
  if (bytes.size() != score::kScoreParameterSize) {
    *error =
        path + ": a parameter block has " + std::to_string(score::kScoreParameterSize) + " bytes";
    return std::nullopt;
  }
  auto p = score::ReadScoreParameters(bytes);
  if (!p || !score::Usable(*p)) {
    *error = path + ": these parameters would make no score (h, A, w, k or a float out of range)";
    return std::nullopt;
  }
  return p;
}

// The virtual clock and the recording device for the time of one scoring.
class VirtualPlay {
public:
  VirtualPlay() {
    media::InstallTimeSource(&clock_);
    media::MidiOut().UseDevicesForTesting({std::make_shared<media::RecordingMidiOut>()});
  }
  ~VirtualPlay() { media::InstallTimeSource(nullptr); }
  media::VirtualTime& Clock() { return clock_; }

private:
  media::VirtualTime clock_{0};
};

int TraceAlone(Voice& voice, score::PitchEngine& engine) {
  engine.Start();
  const score::PlayerState between;
  for (int k = 1;; ++k) {
    const int64_t at = int64_t{k} * kScoreBlockPeriodMs;
    if (!voice.Holds(at))
      break;
    engine.AnalyseBlock(voice.BlockAt(at), between);
    TraceBlock(k, at, voice, engine, nullptr);
  }
  return kExitPlayed;
}

} // namespace

std::optional<ScoreOptions> ParseScoreArguments(std::span<char*> args, std::string* error) {
  ScoreOptions o;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string a = args[i];
    auto value = [&]() -> const char* { return i + 1 < args.size() ? args[++i] : nullptr; };
    if (a == "--rate" || a == "--offset" || a == "--params") {
      const char* v = value();
      long n = 0;
      if (!v) {
        *error = a + " needs a value";
        return std::nullopt;
      }
      if (a == "--rate") {
        if (!ParseInt(v, 0, LONG_MAX, &n) || (n != 22050 && n != 44100)) {
          *error = "--rate takes 22050 or 44100";
          return std::nullopt;
        }
        o.rate = static_cast<uint32_t>(n);
      } else if (a == "--offset") {
        if (!ParseInt(v, -3600000, 3600000, &n)) {
          *error = "--offset takes milliseconds, -3600000 to 3600000";
          return std::nullopt;
        }
        o.offsetMs = static_cast<int32_t>(n);
      } else {
        o.params = v;
      }
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option '" + a + "'";
      return std::nullopt;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty() || files.size() > 2) {
    *error = files.empty() ? "which voice file?" : "a voice file and at most one song";
    return std::nullopt;
  }
  o.voice = files[0];
  if (files.size() == 2)
    o.song = files[1];
  return o;
}

int ScoreVoice(const ScoreOptions& o) {
  const auto began = std::chrono::steady_clock::now();
  std::string error;
  score::PitchEngine engine;
  engine.SetFormat({o.rate, 8, 1});
  if (!o.params.empty()) {
    auto p = LoadParameters(o.params, &error);
    if (!p)
      return Fail(error);
    engine.SetParameters(*p);
  }
  auto wave = media::ReadWaveFile(o.voice, &error);
  if (!wave)
    return Fail(error);
  if (wave->truncated)
    std::fprintf(stderr, "vexo3: %s is cut short; scoring what it holds\n", o.voice.c_str());
  auto pcm = media::ConvertPcm(*wave, media::WaveFormat::Pcm(o.rate, 8, 1), &error);
  if (!pcm)
    return Fail(o.voice + ": " + error);
  Voice voice(std::move(*pcm), o.rate, o.offsetMs, engine.BlockBytes());
  if (o.song.empty())
    return TraceAlone(voice, engine);

  VirtualPlay play;
  RemoteWindows windows;
  if (!windows.Ok())
    return Fail("the host's windows cannot be made");
  const std::string folder = o.folder.empty() ? sys::ProgramFolder() : o.folder;
  auto client = TambloClient::Start(folder, &error);
  if (!client || !client->Init(windows.Frame(), windows.Remote(), &error))
    return Fail(error);
  auto core = sys::Library::Load(folder, "Tamblo", &error);
  score::CoreEntries readers;
  if (!core || !BindReaders(*core, &readers, &error))
    return Fail(error);
  const TambloExports& t = client->Exports();
  if (!t.LoadFile(o.song.c_str(), kKindByExtension))
    return Fail(o.song + ": the player core cannot read this song");
  if (!t.Play())
    return Fail(o.song + ": the song cannot be played");

  media::VirtualTime& clock = play.Clock();
  const uint32_t start = clock.NowMs();
  engine.Start();
  StatusRuns runs;
  int blocks = 0;
  // The controller's timer first fires one period after play starts.
  for (int64_t at = kScoreBlockPeriodMs; t.GetcMidiPlayFlag() && at <= kLongestSongMs;
       at += kScoreBlockPeriodMs) {
    clock.Advance(static_cast<uint32_t>(start + at - clock.NowMs()));
    win::ProcessPendingMessages();
    if (!t.GetcMidiPlayFlag())
      break;
    const score::PlayerState player = readers.Read();
    engine.AnalyseBlock(voice.BlockAt(at), player);
    ++blocks;
    runs.Add(engine.SingingStatus());
    if (o.trace)
      TraceBlock(blocks, at, voice, engine, &player);
  }
  t.Stop();
  win::ProcessPendingMessages();
  t.CloseFile();
  engine.Stop();
  PrintResult(engine, runs, blocks);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::printf("song: %.1f s scored in %.2f s\n", blocks * kScoreBlockPeriodMs / 1000.0, seconds);
  return kExitPlayed;
}

int ScoreCommand(std::span<char*> args) {
  std::string error;
  auto options = ParseScoreArguments(args, &error);
  if (!options) {
    std::fprintf(stderr,
                 "vexo3: %s\nusage: vexo3 score VOICE.wav [SONG] [--rate 22050|44100] "
                 "[--offset MS] [--params FILE] [--trace]\n",
                 error.c_str());
    return kExitUsage;
  }
  return ScoreVoice(*options);
}

} // namespace host
