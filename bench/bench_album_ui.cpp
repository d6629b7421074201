// bench-album-ui: the album manager opened on a catalogue of 100,000 songs,
// from opening the catalogue to the window's first paint, three times.
// The song tree and the catalogue are kept for later runs under
// build/bench-data. Prints its figures last as "name: value unit" lines.
#include "album/albumdatabase.h"
#include "album/manager/library_album.h"
#include "album/manager/main_frame.h"
#include "album/testdata/catalogue_gen.h"
#include "platform/res/bundle.h"
#include "platform/sys/codepage.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
  const int songs = 100000, kFolders = 1000;
  const std::string work = std::string(VEXO_BIN_DIR) + "/../bench-data/album-ui-100000";
  fs::create_directories(work);
  std::vector<std::string> folders;
  if (!fs::exists(work + "/songs/complete")) {
    fs::remove_all(work + "/songs");
    folders = album::testdata::MakeTestCatalogue(work + "/songs", {songs, kFolders, 7});
    if (folders.empty()) {
      std::fprintf(stderr, "bench-album-ui: cannot write the song tree under %s\n", work.c_str());
      return 1;
    }
    std::ofstream(work + "/songs/complete") << "1\n";
  }
  const std::string albumDir = work + "/album/";
  if (!fs::exists(albumDir + "Song.alb")) {
    if (folders.empty())
      for (int f = 1; f <= kFolders; ++f) {
        char name[16];
        std::snprintf(name, sizeof name, "/f%04d", f);
        folders.push_back(work + "/songs" + name);
      }
    fs::create_directories(albumDir);
    album::AlbumDatabase db;
    db.Open(albumDir);
    for (const std::string& folder : folders)
      db.AddSubAlbumFolder(sys::ToStoredPath(folder).value_or(""), true);
    if (db.Rebuild(1) != 1) {
      std::fprintf(stderr, "bench-album-ui: the catalogue cannot be built in %s\n",
                   albumDir.c_str());
      return 1;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string error;
  auto bundle = res::Bundle::Load("rTondo32", VEXO_BIN_DIR, &error);
  if (!bundle) {
    std::fprintf(stderr, "bench-album-ui: %s\n", error.c_str());
    return 1;
  }
  std::vector<double> runs;
  uint32_t total = 0;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    album::AlbumDatabase db;
    db.Open(albumDir);
    total = static_cast<uint32_t>(db.GetTotalNumOfSong());
    // The frame over the open database, its queue and its my-album store.
    album::LibraryAlbum albumLink([&db] { return &db; });
    album::ManagerSetup setup;
    const res::Bundle& b = *bundle;
    setup.resources = {b.Files(), [&b](uint32_t id) { return b.String(id); }};
    setup.moduleFolder = albumDir;
    setup.requestedType = 0;
    setup.album = &albumLink;
    album::CMainFrame* frame = album::CMainFrame::Create(setup);
    if (!frame) {
      std::fprintf(stderr, "bench-album-ui: the manager cannot be opened\n");
      return 1;
    }
    const ui::Hwnd h = frame->GetHwnd();
    // The first paint: nothing left to draw or to show.
    win::RunMessageLoopUntil([&] { return !ui::GetUpdateRect(h); }, 10000);
    QCoreApplication::processEvents();
    runs.push_back(MsSince(start));
    win::DestroyWindow(h);
    fs::remove(albumDir + "config.ini");
  }
  std::sort(runs.begin(), runs.end());
  std::printf("catalogue of %u songs\n", total);
  std::printf("open_to_first_paint_median: %.1f ms\n", runs[1]);
  std::printf("open_to_first_paint_worst: %.1f ms\n", runs[2]);
  return 0;
}
