// bench-medialist: the background media lists over three folders of 10,000
// pictures each: a start whose lists are up to date, a full rebuild of every
// list, one random pick, beside a plain listing of the same folders by
// std::filesystem. Medians and worsts of the rounds.
//   bench-medialist [rounds]
#include "display/medialist.h"
#include "platform/sys/ini.h"
#include "platform/sys/tempdir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kFolders = 3, kFilesPerFolder = 10000;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Figure {
  std::vector<double> ms;
  double Median() {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
  }
  double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

double Time(const std::function<void()>& f) {
  const auto start = Clock::now();
  f();
  return Ms(Clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string root = sys::TempDir() + "/bench-medialist";
  fs::remove_all(root);
  fs::create_directories(root);
  const std::string config = root + "/config.ini";
  const char* extensions[] = {".bmp", ".jpg", ".pcx", ".gif"};
  for (int f = 1; f <= kFolders; ++f) {
    const std::string folder = root + "/pictures" + std::to_string(f);
    fs::create_directories(folder);
    for (int i = 0; i < kFilesPerFolder; ++i)
      std::ofstream(folder + "/picture" + std::to_string(i) + extensions[i % 4]);
    sys::IniWriteString(config, "Image", "Dir" + std::to_string(f), folder);
  }
  sys::IniWriteString(config, "Image", "Count", std::to_string(kFolders));

  display::MediaList list(display::MediaKind::Image);
  list.Load(config); // writes the lists once
  Figure start, rebuild, pick, plain;
  size_t listed = 0;
  for (int r = 0; r < rounds; ++r) {
    start.ms.push_back(Time([&] { list.Load(config); }));
    rebuild.ms.push_back(Time([&] { list.RebuildAll(config); }));
    for (int p = 0; p < 20; ++p)
      pick.ms.push_back(Time([&] {
        if (!list.RandomPick())
          std::fprintf(stderr, "bench-medialist: a pick failed\n");
      }));
    plain.ms.push_back(Time([&] {
      listed = 0;
      for (int f = 1; f <= kFolders; ++f)
        for (const auto& e : fs::directory_iterator(root + "/pictures" + std::to_string(f)))
          listed += e.is_regular_file();
    }));
  }
  fs::remove_all(root);
  std::printf("folders: %d of %d files, %d rounds; %d listed, %zu found by std::filesystem\n",
              kFolders, kFilesPerFolder, rounds, list.TotalFiles(), listed);
  std::printf("start_unchanged_median: %.2f ms\n", start.Median());
  std::printf("start_unchanged_max: %.2f ms\n", start.Max());
  std::printf("rebuild_median: %.2f ms\n", rebuild.Median());
  std::printf("rebuild_max: %.2f ms\n", rebuild.Max());
  std::printf("random_pick_median: %.4f ms\n", pick.Median());
  std::printf("random_pick_max: %.4f ms\n", pick.Max());
  std::printf("plain_listing_median: %.2f ms\n", plain.Median());
  return 0;
}
