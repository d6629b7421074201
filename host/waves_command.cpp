#include "host/waves_command.h"

#include "core/songdata.h"
#include "host/song_files.h"
#include "core/songevent.h"
#include "core/wavebank.h"
#include "platform/media/riff.h"
#include "platform/media/waveout.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace host {
namespace {

constexpr const char* kUsage =
    "usage: vexo3 waves SONG [--load SLOT FILE.wav] [--name SLOT TEXT] [--delete SLOT]\n"
    "                        [--event SLOT TICK] [--play SLOT] [-o OUT]\n";

int Usage(const std::string& why) {
  return UsageError(why, kUsage);
}

struct Step {
  std::string option;
  long slot = 0;
  std::string text; // the file or the name
  long tick = 0;
};

void List(const core::CSongData& song) {
  int filled = 0;
  for (int i = 0; i < core::kWaveSlots; ++i) {
    const core::WaveSlot& w = song.waves[static_cast<size_t>(i)];
    if (w.pcm.empty())
      continue;
    ++filled;
    const uint32_t rate = core::FormatWordRate(w.format);
    const uint32_t frame = core::FormatWordBits(w.format) / 8u * core::FormatWordChannels(w.format);
    const double seconds = rate && frame ? double(w.pcm.size()) / frame / rate : 0;
    std::printf("%s  (%s, %.2f s)\n", core::WaveSlotRow(i, w).c_str(),
                core::FormatWordText(w.format).c_str(), seconds);
  }
  std::printf("%d of %d wave slots filled\n", filled, core::kWaveSlots);
}

int Play(const core::WaveSlot& w, long slot) {
  if (w.pcm.empty())
    return Failure("wave slot " + std::to_string(slot) + " is empty");
  media::Wave wave;
  wave.format = media::WaveFormat::Pcm(core::FormatWordRate(w.format), core::FormatWordBits(w.format),
                                       core::FormatWordChannels(w.format));
  wave.data = w.pcm;
  std::printf("playing wave slot %ld\n", slot);
  std::fflush(stdout);
  if (!media::PlayWaveSound(wave, true))
    return Failure("wave slot " + std::to_string(slot) + " cannot be played");
  return 0;
}

// One step of the command on the song; 0, or the exit code that ends it.
int Apply(core::CSongData& song, const Step& s) {
  core::WaveSlot& w = song.waves[static_cast<size_t>(s.slot)];
  if (s.option == "--load") {
    std::string error;
    auto wave = media::ReadWaveFile(s.text, &error);
    if (!wave || wave->format.rate > 0xFFFFFF)
      return Failure(wave ? s.text + ": the rate is too high" : error);
    core::FillWaveSlot(w, std::move(wave->data), wave->format.rate, wave->format.bits,
                       wave->format.channels);
  } else if (s.option == "--name") {
    w.name = s.text.substr(0, core::kWaveNameLength);
  } else if (s.option == "--delete") {
    core::ClearWaveSlot(w);
  } else if (s.option == "--event") {
    if (song.TrackCount() == 0 ||
        !song.AddEvent(0, static_cast<int32_t>(s.tick), 0, 0, static_cast<uint32_t>(s.slot),
                       core::kKindWave))
      return Failure("the wave event cannot be added");
  } else if (s.option == "--play") {
    if (int r = Play(w, s.slot))
      return r;
  }
  return 0;
}

} // namespace

int WavesCommand(std::span<char*> args) {
  std::string songPath, out;
  std::vector<Step> steps;
  bool changes = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    auto need = [&](size_t n) { return i + n < args.size(); };
    Step s;
    s.option = a;
    if (a == "-o") {
      if (!need(1))
        return Usage("-o needs a file name");
      out = args[++i];
    } else if (a == "--load" || a == "--name" || a == "--event") {
      if (!need(2) || !ParseBounded(args[i + 1], 0, core::kWaveSlots - 1, &s.slot))
        return Usage(std::string(a) + " needs a slot of 0 to 255 and a value");
      if (a == "--event" && !ParseBounded(args[i + 2], 0, 0x7FFFFFFF, &s.tick))
        return Usage("--event needs a tick of 0 or more");
      s.text = args[i + 2];
      i += 2;
      steps.push_back(s);
      changes = true;
    } else if (a == "--delete" || a == "--play") {
      if (!need(1) || !ParseBounded(args[i + 1], 0, core::kWaveSlots - 1, &s.slot))
        return Usage(std::string(a) + " needs a slot of 0 to 255");
      ++i;
      steps.push_back(s);
      changes = changes || a == "--delete";
    } else if (!a.empty() && a[0] != '-' && songPath.empty()) {
      songPath = a;
    } else {
      return Usage("unknown argument '" + std::string(a) + "'");
    }
  }
  if (songPath.empty())
    return Usage("which song file?");
  if (changes && out.empty())
    return Usage("the changes need -o OUT.vx3 to be saved");

  return EditSongFile(
      songPath, out,
      [&](core::CSongData& song) {
        for (const Step& s : steps)
          if (int r = Apply(song, s))
            return r;
        return 0;
      },
      List);
}

} // namespace host
