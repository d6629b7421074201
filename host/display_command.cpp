#include "host/display_command.h"

#include "platform/sys/library.h"
#include "platform/sys/runtime.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

int DisplayCommand(std::span<char*> args) {
  // The background modes the display's own windows request (WM_USER codes).
  struct Mode {
    const char* name;
    win::WParam request;
  };
  static constexpr Mode kModes[] = {{"still", 769}, {"mpeg", 771}};
  std::optional<std::string> image;
  std::optional<win::WParam> request;
  bool usage = args.size() % 2 != 0;
  for (size_t i = 0; !usage && i + 1 < args.size(); i += 2) {
    if (std::strcmp(args[i], "--image") == 0) {
      image = args[i + 1];
    } else if (std::strcmp(args[i], "--mode") == 0) {
      for (const Mode& m : kModes)
        if (std::strcmp(args[i + 1], m.name) == 0)
          request = m.request;
      usage = !request;
    } else {
      usage = true;
    }
  }
  if (usage) {
    std::fprintf(stderr, "usage: vexo3 display [--image NAME] [--mode still|mpeg]\n");
    return 2;
  }
  const bool running = FindFrame() != 0;
  std::string error;
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
