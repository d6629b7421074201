// bench-album: the song catalogue over generated trees of 1,000 folders
// (100,000 songs; 50,000 and 30,000 songs in subsets of the folders): full
// rebuild, warm load with the folder check, "Song.alb" read, incremental
// check with 1 % of the folders changed, look-up by number, memory; saving
// and renumbering 20 favourite lists of 1,000 songs; the song list written
// in both forms, in the process and through the host's "album export" with
// the library's progress dialog.
//   bench-album [songs] [work folder]
// The song tree is generated once into build/bench-data/album-<songs>.
#include "album/albumdatabase.h"
#include "album/songlist.h"
#include "album/testdata/catalogue_gen.h"
#include "bench/album_bench_util.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using album::bench::Clock;
using album::bench::MsSince;
using album::bench::StatusKb;

struct Stats {
  double median = 0, worst = 0;
};
Stats Of(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v.back()};
}

// A catalogue of the first n folders, built from scratch by a full rebuild.
double FullRebuild(const std::string& albumDir, const std::vector<std::string>& folders, size_t n) {
  fs::remove_all(albumDir);
  fs::create_directories(albumDir);
  auto start = Clock::now();
  album::AlbumDatabase db;
  db.Open(albumDir);
  for (size_t i = 0; i < n; ++i)
    db.AddSubAlbumFolder(sys::ToStoredPath(folders[i]).value_or(""), true);
  db.Rebuild(1);
  return MsSince(start);
}

// Three warm loads with the folder check; the count loaded.
Stats WarmLoads(const std::string& albumDir, uint32_t* total) {
  std::vector<double> loads;
  for (int r = 0; r < 3; ++r) {
    auto t = Clock::now();
    album::AlbumDatabase db;
    db.Open(albumDir);
    db.CheckAlbumFolders();
    loads.push_back(MsSince(t));
    *total = db.GetTotalNumOfSong();
  }
  return Of(loads);
}

} // namespace

int main(int argc, char** argv) {
  int songs = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
  // The generated song tree is kept for the next run (writing and removing
  // 100,000 files costs more than everything measured).
  std::string work =
      argc > 2 ? argv[2]
               : std::string(VEXO_BIN_DIR) + "/../bench-data/album-" + std::to_string(songs);
  const int kFolders = 1000;
  fs::create_directories(work);
  auto start = Clock::now();
  std::vector<std::string> folders;
  if (fs::exists(work + "/songs/complete")) {
    for (int f = 1; f <= kFolders; ++f) {
      char name[16];
      std::snprintf(name, sizeof name, "/f%04d", f);
      folders.push_back(work + "/songs" + name);
    }
    // Every song read once, so that each rebuild below finds the files in
    // the page cache alike (the larger ones would otherwise read more from
    // the disk, and their ratio would measure the cache).
    std::vector<char> buffer(1 << 16);
    for (const std::string& folder : folders)
      for (const auto& e : fs::directory_iterator(folder))
        if (std::FILE* f = std::fopen(e.path().c_str(), "rb")) {
          while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
          }
          std::fclose(f);
        }
  } else {
    fs::remove_all(work + "/songs");
    folders = album::testdata::MakeTestCatalogue(work + "/songs", {songs, kFolders, 7});
    std::ofstream(work + "/songs/complete") << "1\n";
  }
  if (folders.empty()) {
    std::fprintf(stderr, "bench-album: cannot write the song tree under %s\n", work.c_str());
    return 1;
  }
  std::printf("song tree of %d songs in %d folders ready: %.0f ms\n", songs, kFolders,
              MsSince(start));
  const std::string albumDir = work + "/album";

  // The smallest catalogue: 30 % of the folders.
  double full30 = FullRebuild(albumDir, folders, folders.size() * 3 / 10);
  uint32_t total30 = 0;
  Stats load30 = WarmLoads(albumDir, &total30);
  double full50 = FullRebuild(albumDir, folders, folders.size() / 2);
  double full100 = FullRebuild(albumDir, folders, folders.size());

  // Warm loads: open with the folder check, and the master file read alone.
  std::vector<double> loads, reads;
  uint32_t total = 0;
  for (int r = 0; r < 3; ++r) {
    auto t = Clock::now();
    album::AlbumDatabase db;
    db.Open(albumDir);
    db.CheckAlbumFolders();
    loads.push_back(MsSince(t));
    total = db.GetTotalNumOfSong();
    t = Clock::now();
    auto bytes = album::ReadAlbumFileBytes(albumDir + "/Song.alb");
    album::MasterAlbum m;
    album::ReadMasterAlbum(*bytes, m);
    reads.push_back(MsSince(t));
  }

  // 1 % of the folders changed: one song added to each.
  std::vector<double> incs;
  for (int r = 0; r < 3; ++r) {
    for (size_t i = 0; i < folders.size(); i += 100) {
      std::string from = folders[i] + "/s" + std::to_string(r) + "x.vx3";
      fs::copy_file(fs::directory_iterator(folders[i])->path(), from,
                    fs::copy_options::overwrite_existing);
    }
    auto t = Clock::now();
    album::AlbumDatabase db;
    db.Open(albumDir);
    db.CheckAlbumFolders();
    incs.push_back(MsSince(t));
  }

  for (size_t i = 0; i < folders.size(); i += 100)
    for (int r = 0; r < 3; ++r)
      fs::remove(folders[i] + "/s" + std::to_string(r) + "x.vx3");

  // Look-ups by number, in random order; the second pass is measured (the
  // first maps the album files).
  album::AlbumDatabase db;
  db.Open(albumDir);
  long rss = StatusKb("VmRSS:");
  std::vector<int32_t> numbers(db.GetTotalNumOfSong());
  db.GetTotalSongList(numbers.data(), numbers.size() * 4);
  std::mt19937 rng(5);
  std::shuffle(numbers.begin(), numbers.end(), rng);
  numbers.resize(std::min<size_t>(numbers.size(), 20000));
  std::vector<double> lookups;
  int found = 0;
  for (int pass = 0; pass < 2; ++pass) {
    lookups.clear();
    found = 0;
    for (int32_t n : numbers) {
      album::SongRecord rec;
      auto t = Clock::now();
      found += db.GetSongDataBySongNum(static_cast<uint32_t>(n), rec);
      lookups.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
    }
  }
  std::sort(lookups.begin(), lookups.end());

  // Favourites: 20 lists of 1,000 songs saved (in title order), and their
  // 20,000 songs followed to their numbers after a check.
  std::vector<double> saves, renumbers;
  {
    album::MyAlbumStore* store = db.MyAlbums();
    std::vector<int32_t> all(db.GetTotalNumOfSong());
    db.GetTotalSongList(all.data(), all.size() * 4);
    std::shuffle(all.begin(), all.end(), rng);
    for (int l = 0; l < 20; ++l) {
      store->AddMyAlbum("List " + std::to_string(l));
      for (int k = 0; k < 1000; ++k)
        store->AddSong(l, static_cast<uint32_t>(all[static_cast<size_t>(l * 1000 + k)]));
    }
    for (int r = 0; r < 3; ++r) {
      store->RenameMyAlbum(0, "List 0");
      auto t = Clock::now();
      store->Save();
      saves.push_back(MsSince(t));
      t = Clock::now();
      store->MakePathLists();
      store->Renumber();
      renumbers.push_back(MsSince(t));
    }
  }

  // The song list of every song, both forms, three times each: in the
  // process (its progress counted), and as a user runs it through the host
  // program, whose library shows the progress dialog.
  std::vector<double> listColumns, listTabs, commandColumns, commandTabs;
  size_t listBars = 0;
  {
    class CountingProgress : public album::RebuildProgress {
    public:
      void Open(std::string_view) override {}
      void SetText(int, std::string_view) override {}
      void SetBar(int) override { ++bars; }
      void Close(std::string_view) override {}
      size_t bars = 0;
    } progress;
    for (int r = 0; r < 3; ++r)
      for (auto form : {album::SongListForm::kColumns, album::SongListForm::kTabs}) {
        album::SongListOptions o;
        o.form = form;
        o.progress = &progress;
        auto t = Clock::now();
        if (!album::WriteSongList(db, o))
          std::fprintf(stderr, "bench-album: the song list was not written\n");
        (form == album::SongListForm::kColumns ? listColumns : listTabs).push_back(MsSince(t));
      }
    listBars = progress.bars / 6;
    const std::string host = std::string(VEXO_BIN_DIR) + "/vexo3";
    if (access(host.c_str(), X_OK) == 0) {
      for (int r = 0; r < 3; ++r)
        for (const char* form : {"", " --tsv"}) {
          const std::string command = "VEXO_CONFIG_DIR=" + albumDir + " VEXO_RUNTIME_DIR=" + work +
                                      "/run QT_QPA_PLATFORM=offscreen " + host +
                                      " album export --no-editor" + form + " >/dev/null 2>&1";
          auto t = Clock::now();
          if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "bench-album: %s failed\n", command.c_str());
          (*form ? commandTabs : commandColumns).push_back(MsSince(t));
        }
    }
  }

  std::error_code ec;
  fs::remove_all(albumDir, ec);
  fs::remove_all(work + "/Song", ec);

  Stats load = Of(loads), read = Of(reads), inc = Of(incs);
  std::printf("catalogue: %u songs, %d looked up; small catalogue: %u songs\n", total, found,
              total30);
  std::printf("full_rebuild_30pct: %.0f ms\n", full30);
  std::printf("warm_load_30pct_median: %.1f ms\n", load30.median);
  std::printf("warm_load_30pct_worst: %.1f ms\n", load30.worst);
  std::printf("full_rebuild_half: %.0f ms\n", full50);
  std::printf("full_rebuild: %.0f ms\n", full100);
  std::printf("full_rebuild_ratio: %.2f x\n", full100 / full50);
  std::printf("warm_load_median: %.1f ms\n", load.median);
  std::printf("warm_load_worst: %.1f ms\n", load.worst);
  std::printf("master_read_median: %.1f ms\n", read.median);
  std::printf("master_read_worst: %.1f ms\n", read.worst);
  std::printf("incremental_1pct_median: %.1f ms\n", inc.median);
  std::printf("incremental_1pct_worst: %.1f ms\n", inc.worst);
  std::printf("lookup_p50: %.2f us\n", lookups[lookups.size() / 2]);
  std::printf("lookup_p99: %.2f us\n", lookups[lookups.size() * 99 / 100]);
  std::printf("memory_rss_loaded: %ld kB\n", rss);
  std::printf("memory_peak: %ld kB\n", StatusKb("VmHWM:"));
  Stats save = Of(saves), renumber = Of(renumbers);
  std::printf("myalbum_save_20x1000_median: %.1f ms\n", save.median);
  std::printf("myalbum_save_20x1000_worst: %.1f ms\n", save.worst);
  std::printf("myalbum_renumber_20000_median: %.1f ms\n", renumber.median);
  std::printf("myalbum_renumber_20000_worst: %.1f ms\n", renumber.worst);
  Stats columns = Of(listColumns), tabs = Of(listTabs);
  std::printf("songlist_bar_steps: %zu steps\n", listBars);
  std::printf("songlist_columns_median: %.0f ms\n", columns.median);
  std::printf("songlist_columns_worst: %.0f ms\n", columns.worst);
  std::printf("songlist_tabs_median: %.0f ms\n", tabs.median);
  std::printf("songlist_tabs_worst: %.0f ms\n", tabs.worst);
  if (!commandColumns.empty()) {
    Stats cc = Of(commandColumns), ct = Of(commandTabs);
    std::printf("export_command_columns_median: %.0f ms\n", cc.median);
    std::printf("export_command_columns_worst: %.0f ms\n", cc.worst);
    std::printf("export_command_tabs_median: %.0f ms\n", ct.median);
    std::printf("export_command_tabs_worst: %.0f ms\n", ct.worst);
  }
  return 0;
}
