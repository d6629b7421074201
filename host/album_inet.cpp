// The song server's catalogues from the command line: the album mode, the
// server URL, the index and rolls fetched, songs fetched or removed, and any
// file fetched through the library's download dialog, which without a
// display shows its progress on standard error.
#include "host/album_command.h"
#include "host/album_session.h"

#include "platform/sys/ini.h"
#include "platform/sys/library.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace host {
namespace {

bool ModeArgument(const char* text, int& mode) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || *end || end == text || v < 0 || v > 3)
    return false;
  mode = static_cast<int>(v);
  return true;
}

// Starts the library and switches it to mode (the mode album built from the
// files on disk when it is missing).
bool Switch(AlbumSession& s, int mode) {
  if (!s.Start())
    return false;
  s.Load();
  s.T().SetAlbumModeTo(mode);
  if (s.T().GetAlbumMode() != mode) {
    std::fprintf(stderr, "vexo3: album mode %d cannot be had\n", mode);
    return false;
  }
  return true;
}

void Summary(const AlbumSession& s) {
  std::printf("mode %d: %d songs in %d albums\n", s.T().GetAlbumMode(), s.T().GetTotalNumOfSong(),
              s.T().GetNumOfSubAlb());
}

int Server(std::span<char*> args) {
  const std::string ini = AlbumFolder() + "config.ini";
  if (args.size() > 1)
    return 2;
  if (args.size() == 1) {
    std::string url = args[0];
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
      std::fprintf(stderr, "vexo3: a server URL begins with http:// or https://\n");
      return 1;
    }
    if (url.back() == '/')
      url.pop_back();
    if (!sys::IniWriteString(ini, "OnLine", "Server", url)) {
      std::fprintf(stderr, "vexo3: cannot write %s\n", ini.c_str());
      return 1;
    }
  } else {
    AlbumSession s;
    if (!s.Start())
      return 1;
    s.Load();
    s.T().INetServerSettingDlg();
  }
  std::printf("%s\n", sys::IniGetString(ini, "OnLine", "Server", "").c_str());
  return 0;
}

int Download(std::span<char*> args) {
  bool remove = false;
  std::vector<int32_t> numbers;
  for (char* a : args) {
    if (std::string_view(a) == "--remove") {
      remove = true;
      continue;
    }
    char* end = nullptr;
    long n = std::strtol(a, &end, 10);
    if (!end || *end || n <= 0 || n > INT32_MAX)
      return 2;
    numbers.push_back(static_cast<int32_t>(n));
  }
  if (numbers.empty())
    return 2;
  AlbumSession s;
  if (!Switch(s, 2))
    return 1;
  int failed = 0;
  for (int32_t n : numbers) {
    const bool done = remove ? s.T().RemoveDownloadedSongBySongNum(n) == 1
                             : s.T().DownLoadSongBySongNum(n) == 1;
    std::printf("%d\t%s\n", n,
                done ? (remove ? "removed" : "downloaded")
                     : (remove ? "not removed" : "not downloaded"));
    failed += done ? 0 : 1;
  }
  return failed ? 1 : 0;
}

} // namespace

int AlbumInetCommand(std::string_view what, std::span<char*> args) {
  if (what == "server")
    return Server(args);
  if (what == "download")
    return Download(args);
  if (what == "fetch") {
    if (args.size() != 2)
      return 2;
    AlbumSession s;
    if (!s.Start())
      return 1;
    const int ok = s.T().DownLoadFile(args[0], args[1], 0, 0);
    std::printf("%s\n", ok ? "fetched" : "not fetched");
    return ok ? 0 : 1;
  }
  int mode = 0;
  if ((what == "mode" || what == "update") && args.size() == 1 && ModeArgument(args[0], mode)) {
    AlbumSession s;
    if (!Switch(s, mode))
      return 1;
    if (what == "update") {
      const int updated = s.T().INetUpdate();
      if (updated != 1) {
        Summary(s);
        std::fprintf(stderr, "vexo3: %s\n",
                     updated == 0 ? "the index was not fetched" : "the catalogue was not updated");
        return 1;
      }
    }
    Summary(s);
    return 0;
  }
  return 2;
}

} // namespace host
