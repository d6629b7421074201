// bench-songload: loading the three largest files of the MIDI corpus into the
// song object, against libsmf's smf_load on the same files in the same run.
//   bench-songload [corpus folder] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <glib.h>
#include <smf.h>

#include "core/midifile.h"
#include "core/songdata.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Input {
  std::string path;
  uintmax_t size;
};

std::vector<Input> LargestFiles(const fs::path& folder, size_t count) {
  std::vector<Input> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".mid" || ext == ".kar"))
      files.push_back({entry.path().string(), entry.file_size()});
  }
  std::sort(files.begin(), files.end(), [](const Input& a, const Input& b) {
    return a.size != b.size ? a.size > b.size : a.path < b.path;
  });
  files.resize(std::min(files.size(), count));
  return files;
}

// Median of the per-round times in milliseconds of one load.
template <typename F> double MedianMs(int rounds, F load) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    load();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

} // namespace

int main(int argc, char** argv) {
  fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::path(VEXO_CORPUS_DIR) / "midi";
  int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  if (!fs::is_directory(folder)) {
    std::fprintf(stderr, "bench-songload: no corpus folder %s\n", folder.c_str());
    return 1;
  }
  g_log_set_default_handler(Quiet, nullptr);
  auto files = LargestFiles(folder, 3);
  double vexoTotal = 0, smfTotal = 0;
  for (const auto& f : files) {
    core::CSongData song;
    bool ok = true;
    double vexo = MedianMs(rounds, [&] { ok &= core::ReadMidiFile(song, f.path) == 1; });
    bool smfOk = true;
    double smf = MedianMs(rounds, [&] {
      smf_t* s = smf_load(f.path.c_str());
      smfOk &= s != nullptr;
      if (s)
        smf_delete(s);
    });
    std::printf("%-36s %8ju bytes  song %8.3f ms%s  libsmf %8.3f ms%s\n",
                fs::path(f.path).filename().c_str(), f.size, vexo, ok ? "" : " (failed)", smf,
                smfOk ? "" : " (failed)");
    vexoTotal += vexo;
    smfTotal += smf;
  }
  std::printf("songload_files: %zu files\n", files.size());
  std::printf("songload_vexo: %.3f ms\n", vexoTotal);
  std::printf("songload_libsmf: %.3f ms\n", smfTotal);
  std::printf("songload_speedup: %.2f x\n", vexoTotal > 0 ? smfTotal / vexoTotal : 0.0);
  return 0;
}
