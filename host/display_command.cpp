#include "host/display_command.h"

#include "platform/sys/codepage.h"
#include "platform/sys/ini.h"
#include "platform/sys/library.h"
#include "platform/sys/runtime.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace host {
namespace {

constexpr const char* kFrameClass = "VEXO3LYRIC";
// How long the display may take to show its frame.
constexpr auto kStartTimeout = std::chrono::seconds(20);
// The player core's image request record (a name, ended by a NUL).
constexpr uintptr_t kImageCopy = 0x10303;
constexpr uint32_t kSendTimeoutMs = 5000;
// The host's reservation list and next-song records.
constexpr uintptr_t kReserveListCopy = 0x10600;
constexpr uintptr_t kNextSongCopy = 0x10601;
// The request that builds the display's media lists again (bit 0 pictures,
// 1 AVI/FLC videos, 2 MPEG videos).
constexpr win::WParam kMediaListReload = 4354;
// A page shown by the display (text ended by a NUL), and the singer's score.
constexpr uintptr_t kHtmlPageCopy = 0x10100;
constexpr win::WParam kSingScore = 1537;
// The display's command that opens its controller bar.
constexpr win::WParam kControllerCommand = 20001;

struct MediaKindName {
  const char* name;
  const char* section;
  win::LParam bit;
};
constexpr MediaKindName kMediaKinds[] = {
    {"images", "Image", 1}, {"videos", "Avi/Flc", 2}, {"mpeg", "Mpeg", 4}};

// The display's settings file: in $VEXO_CONFIG_DIR, else beside the programs.
std::string DisplayConfigPath() {
  const char* dir = std::getenv("VEXO_CONFIG_DIR");
  return (dir && *dir ? std::string(dir) : sys::ProgramFolder()) + "/config.ini";
}

// Puts folder into the kind's section (unless it is there) and asks for the
// lists to be built; false with the reason when it cannot.
bool AddMediaFolder(const MediaKindName& kind, const std::string& folder, std::string* error) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    *error = folder + " is not a folder";
    return false;
  }
  const std::string path = std::filesystem::absolute(folder, ec).lexically_normal().string();
  const std::string config = DisplayConfigPath();
  const int32_t count = std::max(0, sys::IniGetInt(config, kind.section, "Count", 0));
  bool listed = false;
  for (int32_t n = 1; n <= count && !listed; ++n)
    listed = sys::IniGetString(config, kind.section, "Dir" + std::to_string(n), "@") == path;
  if (!listed && (!sys::IniWriteString(config, kind.section, "Dir" + std::to_string(count + 1), path) ||
                  !sys::IniWriteString(config, kind.section, "Count", std::to_string(count + 1)))) {
    *error = "cannot write " + config;
    return false;
  }
  if (!sys::IniWriteString(config, kind.section, "Build", "1")) {
    *error = "cannot write " + config;
    return false;
  }
  return true;
}

win::Hwnd FindFrame() {
  return win::FindWindow(kFrameClass, std::nullopt);
}

void Fail(std::string* error, std::string text) {
  if (error)
    *error = std::move(text);
}

} // namespace

bool StartDisplayIfNotRunning(std::string* error) {
  if (sys::RuntimeDir().empty()) {
    Fail(error, "no private runtime folder for this session");
    return false;
  }
  if (FindFrame())
    return true;
  const std::string program = sys::ProgramFolder() + "/Kivo32";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The display outlives this command: it must not hold on to the command's
  // input or output (a pipe would never see its end). Its messages still
  // reach a terminal.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (!isatty(2))
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    Fail(error, program + ": " + std::strerror(rc));
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!FindFrame()) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      // A second instance that found the first one's frame also ends at once.
      if (FindFrame())
        return true;
      Fail(error, "Kivo32 ended before showing its window (status " + std::to_string(status) + ")");
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      Fail(error, "Kivo32 did not show its window in time");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

namespace {

// A song number as the host's lists hold it: a decimal 32-bit value.
std::optional<int32_t> ParseSongNumber(std::string_view text) {
  if (text.empty())
    return std::nullopt;
  errno = 0;
  const std::string s(text);
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
    return std::nullopt;
  return static_cast<int32_t>(v);
}

void PutI32(std::vector<uint8_t>& out, size_t at, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int k = 0; k < 4; ++k)
    out[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

} // namespace

std::vector<uint8_t> ReserveListRecord(const std::vector<ReservedSong>& songs, int codePage) {
  std::vector<uint8_t> record(kReserveEntries * kReserveEntrySize, 0);
  for (size_t i = 0; i < songs.size() && i < kReserveEntries; ++i) {
    const size_t at = i * kReserveEntrySize;
    PutI32(record, at, songs[i].number);
    const std::string bytes = sys::FromUtf8Lossy(songs[i].title, codePage);
    const std::string_view title = sys::CutBytes(bytes, kReserveTitleBytes, codePage);
    std::copy(title.begin(), title.end(), record.begin() + static_cast<ptrdiff_t>(at + 4));
  }
  return record;
}

std::vector<uint8_t> NextSongRecord(int32_t number, std::string_view title, int codePage) {
  std::vector<uint8_t> record(4, 0);
  PutI32(record, 0, number);
  const std::string bytes = sys::FromUtf8Lossy(title, codePage);
  const std::string_view cut = sys::CutBytes(bytes, kNextTitleBytes, codePage);
  record.insert(record.end(), cut.begin(), cut.end());
  record.push_back(0);
  return record;
}

namespace {

constexpr const char* kUsage =
    "usage: vexo3 display [--image NAME] [--mode still|overlay|mpeg|video] "
    "[--reserve N[:TITLE]...] [--next N TITLE] [--codepage N] "
    "[--media-folder images|videos|mpeg DIR] [--page FILE.htm] [--score N] [--controller]\n";
// The largest page sent.
constexpr size_t kMaxPageBytes = 1u << 20;

} // namespace

int DisplayCommand(std::span<char*> args) {
  // The background modes the display's own windows request (WM_USER codes).
  struct Mode {
    const char* name;
    win::WParam request;
  };
  static constexpr Mode kModes[] = {
      {"still", 769}, {"overlay", 770}, {"mpeg", 771}, {"video", 772}};
  std::optional<std::string> image;
  std::optional<win::WParam> request;
  std::optional<std::vector<ReservedSong>> reserve;
  std::optional<std::pair<int32_t, std::string>> next;
  std::optional<std::pair<const MediaKindName*, std::string>> mediaFolder;
  std::optional<std::string> page;
  std::optional<int32_t> score;
  bool controller = false;
  int codePage = sys::kDefaultCodePage;
  bool usage = false;
  for (size_t i = 0; !usage && i < args.size();) {
    const std::string_view opt = args[i];
    const bool hasValue = i + 1 < args.size();
    if (opt == "--image" && hasValue) {
      image = args[i + 1];
      i += 2;
    } else if (opt == "--mode" && hasValue) {
      for (const Mode& m : kModes)
        if (std::strcmp(args[i + 1], m.name) == 0)
          request = m.request;
      usage = !request;
      i += 2;
    } else if (opt == "--codepage" && hasValue) {
      const auto cp = ParseSongNumber(args[i + 1]);
      usage = !cp || *cp <= 0;
      codePage = cp.value_or(codePage);
      i += 2;
    } else if (opt == "--media-folder" && i + 2 < args.size()) {
      for (const MediaKindName& k : kMediaKinds)
        if (std::strcmp(args[i + 1], k.name) == 0)
          mediaFolder = std::pair{&k, std::string(args[i + 2])};
      usage = !mediaFolder;
      i += 3;
    } else if (opt == "--next" && i + 2 < args.size()) {
      const auto n = ParseSongNumber(args[i + 1]);
      usage = !n;
      next = std::pair{n.value_or(0), std::string(args[i + 2])};
      i += 3;
    } else if (opt == "--page" && hasValue) {
      page = args[i + 1];
      i += 2;
    } else if (opt == "--score" && hasValue) {
      score = ParseSongNumber(args[i + 1]);
      usage = !score;
      i += 2;
    } else if (opt == "--controller") {
      controller = true;
      ++i;
    } else if (opt == "--reserve") {
      reserve.emplace();
      for (++i; i < args.size() && std::string_view(args[i]).substr(0, 2) != "--"; ++i) {
        const std::string_view entry = args[i];
        const size_t colon = entry.find(':');
        const auto n = ParseSongNumber(entry.substr(0, colon));
        if (!n || reserve->size() >= kReserveEntries) {
          usage = true;
          break;
        }
        reserve->push_back(
            {*n, colon == std::string_view::npos ? std::string() : std::string(entry.substr(colon + 1))});
      }
    } else {
      usage = true;
    }
  }
  if (usage) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string error;
  // The folder goes into the settings first, so that a display started now
  // builds its lists at once.
  if (mediaFolder && !AddMediaFolder(*mediaFolder->first, mediaFolder->second, &error)) {
    std::fprintf(stderr, "vexo3: %s\n", error.c_str());
    return 1;
  }
  // The page is read before the display is asked for anything.
  std::string pageText;
  if (page) {
    std::ifstream in(*page, std::ios::binary);
    pageText.resize(kMaxPageBytes + 1);
    if (in)
      in.read(pageText.data(), static_cast<std::streamsize>(pageText.size()));
    if (!in && !in.eof()) {
      std::fprintf(stderr, "vexo3: cannot read %s\n", page->c_str());
      return 1;
    }
    pageText.resize(static_cast<size_t>(in.gcount()));
    pageText.resize(std::min(pageText.size(), pageText.find('\0')));
    if (pageText.size() > kMaxPageBytes || pageText.empty()) {
      std::fprintf(stderr, "vexo3: %s is %s\n", page->c_str(),
                   pageText.empty() ? "empty" : "larger than 1 MiB");
      return 1;
    }
  }
  const bool running = FindFrame() != 0;
  if (!StartDisplayIfNotRunning(&error)) {
    std::fprintf(stderr, "vexo3: %s\n", error.c_str());
    return 1;
  }
  std::printf(running ? "vexo3: the lyric display is already running\n"
                      : "vexo3: the lyric display is running\n");
  if (request && !win::PostMessage(FindFrame(), win::WM_USER, *request, 0)) {
    std::fprintf(stderr, "vexo3: the lyric display did not take the mode request\n");
    return 1;
  }
  // The display's controller bar, as its menu's item opens it.
  if (controller) {
    if (!win::PostMessage(FindFrame(), win::WM_COMMAND, kControllerCommand, 0)) {
      std::fprintf(stderr, "vexo3: the lyric display did not take the controller request\n");
      return 1;
    }
    std::printf("vexo3: controller opened\n");
  }
  if (mediaFolder) {
    if (!win::PostMessage(FindFrame(), win::WM_USER, kMediaListReload, mediaFolder->first->bit)) {
      std::fprintf(stderr, "vexo3: the lyric display did not take the media list request\n");
      return 1;
    }
    std::printf("vexo3: %s folder added: %s\n", mediaFolder->first->name,
                mediaFolder->second.c_str());
  }
  if (reserve) {
    const std::vector<uint8_t> record = ReserveListRecord(*reserve, codePage);
    if (!win::SendCopyDataTimeout(FindFrame(), 0, kReserveListCopy, record.data(),
                                  static_cast<uint32_t>(record.size()), kSendTimeoutMs)) {
      std::fprintf(stderr, "vexo3: the lyric display did not take the reservations\n");
      return 1;
    }
    std::printf("vexo3: reservations sent: %zu\n", reserve->size());
  }
  if (next) {
    const std::vector<uint8_t> record = NextSongRecord(next->first, next->second, codePage);
    if (!win::SendCopyDataTimeout(FindFrame(), 0, kNextSongCopy, record.data(),
                                  static_cast<uint32_t>(record.size()), kSendTimeoutMs)) {
      std::fprintf(stderr, "vexo3: the lyric display did not take the next song\n");
      return 1;
    }
    std::printf("vexo3: next song sent: %d\n", next->first);
  }
  if (page) {
    if (!win::SendCopyDataTimeout(FindFrame(), 0, kHtmlPageCopy, pageText.c_str(),
                                  static_cast<uint32_t>(pageText.size() + 1), kSendTimeoutMs)) {
      std::fprintf(stderr, "vexo3: the lyric display did not take the page\n");
      return 1;
    }
    std::printf("vexo3: page sent: %s\n", page->c_str());
  }
  if (score) {
    if (!win::SendMessageTimeout(FindFrame(), win::WM_USER, kSingScore, *score, kSendTimeoutMs)) {
      std::fprintf(stderr, "vexo3: the lyric display did not take the score\n");
      return 1;
    }
    std::printf("vexo3: score sent: %d\n", *score);
  }
  if (!image)
    return 0;
  // The display opens names of files as they stand: one here goes as its
  // full path.
  std::error_code ec;
  if (std::filesystem::is_regular_file(*image, ec))
    image = std::filesystem::absolute(*image, ec).string();
  if (!win::SendCopyDataTimeout(FindFrame(), 0, kImageCopy, image->c_str(),
                                static_cast<uint32_t>(image->size() + 1), kSendTimeoutMs)) {
    std::fprintf(stderr, "vexo3: the lyric display did not take the image request\n");
    return 1;
  }
  std::printf("vexo3: image request sent: %s\n", image->c_str());
  return 0;
}

} // namespace host
