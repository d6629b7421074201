// Cost of the pitch analysis: one block analysed at each capture rate
// (median and 99th percentile over many blocks), beside aubio's yinfft pitch
// detector (2048-sample window, 512-sample hop) on the same samples in the
// same run; then `vexo3 score` of a generated three-minute song.
//
// bench-pitch   (no arguments)
#include "platform/media/riff.h"
#include "score/pitch_engine.h"

#ifdef VEXO_HAVE_AUBIO
#include <aubio/aubio.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A voice-like tone: eight harmonics falling off, a slow vibrato, some noise.
std::vector<double> VoiceSamples(uint32_t rate, double seconds, double hz) {
  std::vector<double> out(static_cast<size_t>(rate * seconds));
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-0.02, 0.02);
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = double(i) / rate;
    const double f = hz * std::pow(2.0, 0.5 / 12 * std::sin(2 * M_PI * 5.5 * t));
    phase += 2 * M_PI * f / rate;
    double v = 0;
    for (int h = 1; h <= 8; ++h)
      v += std::sin(h * phase) / h;
    out[i] = 0.4 * v + noise(random);
  }
  return out;
}

struct Figures {
  double median, p99;
};

Figures Summarise(std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)]};
}

Figures BenchBlocks(uint32_t rate, const std::vector<double>& voice) {
  score::PitchEngine engine;
  engine.SetFormat({rate, 8, 1});
  engine.Start();
  const size_t block = engine.BlockBytes();
  std::vector<uint8_t> bytes(voice.size());
  for (size_t i = 0; i < voice.size(); ++i)
    bytes[i] = static_cast<uint8_t>(std::clamp(std::lround(voice[i] * 100) + 127, 0L, 255L));
  score::PlayerState player;
  player.noNote = 0;
  player.lyricOn = 1;
  player.curNote = 57;
  player.lyricTotalMs = 1000;
  player.lyricElapsedMs = 100;
  std::vector<double> us;
  volatile float sink = 0;
  for (int round = 0; round < 20; ++round) {
    for (size_t at = 0; at + block <= bytes.size(); at += block / 2) {
      const std::span<const uint8_t> span(bytes.data() + at, block);
      const auto t0 = Clock::now();
      engine.AnalyseBlock(span, player);
      const auto t1 = Clock::now();
      sink = sink + engine.Note();
      us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
  }
  return Summarise(us);
}

#ifdef VEXO_HAVE_AUBIO
Figures BenchAubio(uint32_t rate, const std::vector<double>& voice) {
  constexpr uint_t kWindow = 2048, kHop = 512;
  aubio_pitch_t* pitch = new_aubio_pitch("yinfft", kWindow, kHop, rate);
  aubio_pitch_set_unit(pitch, "midi");
  fvec_t* in = new_fvec(kHop);
  fvec_t* out = new_fvec(1);
  std::vector<double> us;
  volatile float sink = 0;
  for (int round = 0; round < 3; ++round) {
    for (size_t at = 0; at + kHop <= voice.size(); at += kHop) {
      for (uint_t i = 0; i < kHop; ++i)
        in->data[i] = static_cast<smpl_t>(voice[at + i]);
      const auto t0 = Clock::now();
      aubio_pitch_do(pitch, in, out);
      const auto t1 = Clock::now();
      sink = sink + out->data[0];
      us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
  }
  del_fvec(in);
  del_fvec(out);
  del_aubio_pitch(pitch);
  aubio_cleanup();
  return Summarise(us);
}
#endif

void PutU32BE(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i)
    s.push_back(static_cast<char>(v >> (8 * i)));
}

// A three-minute Standard MIDI File: a note every half second.
void WriteSong(const std::string& path) {
  std::string track;
  track += std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7); // 500000 us per quarter
  for (int i = 0; i < 360; ++i) {
    const char note = static_cast<char>(57 + i % 12);
    track += std::string("\x00\x90", 2) + note + '\x60';
    track += std::string("\x83\x60\x80", 3) + note + '\x00'; // 480 ticks later
  }
  track += std::string("\x00\xFF\x2F\x00", 4);
  std::string file = "MThd";
  PutU32BE(file, 6);
  file += std::string("\x00\x00\x00\x01\x01\xE0", 6);
  file += "MTrk";
  PutU32BE(file, static_cast<uint32_t>(track.size()));
  file += track;
  std::ofstream(path, std::ios::binary) << file;
}

double TimeScore(const std::string& folder) {
  const std::string song = folder + "/three-minutes.mid";
  const std::string voice = folder + "/three-minutes.wav";
  WriteSong(song);
  const auto samples = VoiceSamples(22050, 180, 220);
  std::vector<uint8_t> pcm(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto s = static_cast<int16_t>(std::lround(samples[i] * 20000));
    pcm[2 * i] = static_cast<uint8_t>(s & 0xFF);
    pcm[2 * i + 1] = static_cast<uint8_t>((s >> 8) & 0xFF);
  }
  std::string error;
  if (!media::WriteWaveFile(voice, media::WaveFormat::Pcm(22050, 16, 1), pcm, &error)) {
    std::fprintf(stderr, "bench-pitch: %s\n", error.c_str());
    return -1;
  }
  const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + VEXO_BIN_DIR +
                              "/vexo3' score '" + voice + "' '" + song + "' > '" + folder +
                              "/score.txt' 2>&1";
  const auto t0 = Clock::now();
  const int rc = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  if (rc != 0) {
    std::fprintf(stderr, "bench-pitch: vexo3 score failed; see %s/score.txt\n", folder.c_str());
    return -1;
  }
  return seconds;
}

} // namespace

int main() {
  std::printf("block analysis (N 128, 8-bit mono), %s\n",
#ifdef VEXO_HAVE_AUBIO
              "aubio yinfft 2048/512 on the same samples"
#else
              "aubio not built in"
#endif
  );
  struct Result {
    uint32_t rate;
    Figures block;
    Figures aubio;
  };
  std::vector<Result> results;
  for (uint32_t rate : {11025u, 22050u, 44100u}) {
    const auto voice = VoiceSamples(rate, 4, 220);
    Result r{rate, BenchBlocks(rate, voice), {0, 0}};
#ifdef VEXO_HAVE_AUBIO
    r.aubio = BenchAubio(rate, voice);
#endif
    std::printf(
        "  %5u Hz: block median %.2f us, p99 %.2f us; aubio hop median %.2f us, p99 %.2f us\n",
        rate, r.block.median, r.block.p99, r.aubio.median, r.aubio.p99);
    results.push_back(r);
  }
  std::error_code ec;
  const std::string folder =
      (std::filesystem::temp_directory_path() / "vexo3-bench-pitch").string();
  std::filesystem::create_directories(folder, ec);
  const double scoreSeconds = TimeScore(folder);
  std::filesystem::remove_all(folder, ec);

  for (const Result& r : results) {
    std::printf("block_median_%u: %.2f us\n", r.rate, r.block.median);
    std::printf("block_p99_%u: %.2f us\n", r.rate, r.block.p99);
#ifdef VEXO_HAVE_AUBIO
    std::printf("aubio_yinfft_hop_median_%u: %.2f us\n", r.rate, r.aubio.median);
    std::printf("aubio_yinfft_hop_p99_%u: %.2f us\n", r.rate, r.aubio.p99);
#endif
  }
  std::printf("score_three_minute_song: %.3f s\n", scoreSeconds);
  return scoreSeconds < 0 ? 1 : 0;
}
