#include "host/display_log.h"

#include "platform/sys/library.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace host {
namespace {

std::string FindLogger() {
  if (const char* own = std::getenv("VEXO_DISPLAY_LOGGER"); own && *own)
    return own;
  const std::string folder = sys::ProgramFolder();
  for (const std::string& candidate :
       {folder + "/display_logger", folder + "/../tests/display_logger"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec))
      return candidate;
  }
  return {};
}

} // namespace

std::unique_ptr<DisplayLogger> DisplayLogger::Start(const std::string& logFile,
                                                    std::string* error,
                                                    const std::string& className) {
  const std::string program = FindLogger();
  if (program.empty()) {
    *error = "the stand-in display (display_logger) is not built";
    return nullptr;
  }
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0)
    return nullptr;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::string programArg = program, logArg = logFile, waitArg = "10000", classArg = className;
  char* argv[] = {programArg.data(), logArg.data(), className.empty() ? nullptr : waitArg.data(),
                  classArg.data(), nullptr};
  std::unique_ptr<DisplayLogger> logger(new DisplayLogger);
  const int rc = posix_spawn(&logger->pid_, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  logger->input_ = in[1];
  logger->output_ = out[0];
  if (rc != 0) {
    logger->pid_ = -1;
    *error = "cannot start " + program;
    return nullptr;
  }
  return logger;
}

bool DisplayLogger::WaitForText(const std::string& text, const std::function<void()>& pump,
                                int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (seen_.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= until || output_ < 0)
      return false;
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, 5) > 0) {
      char buf[256];
      const ssize_t n = read(output_, buf, sizeof buf);
      if (n <= 0) {
        close(output_);
        output_ = -1;
        return seen_.find(text) != std::string::npos;
      }
      seen_.append(buf, static_cast<size_t>(n));
    }
    pump();
  }
  return true;
}

bool DisplayLogger::WaitLinked(const std::function<void()>& pump, int timeoutMs) {
  return WaitForText("linked ", pump, timeoutMs);
}

void DisplayLogger::Finish(const std::function<void()>& pump) {
  WaitForText("stopped\n", pump, 2000);
  if (input_ >= 0) {
    close(input_);
    input_ = -1;
  }
  WaitForText("unlinked\n", pump, 2000);
}

DisplayLogger::~DisplayLogger() {
  if (input_ >= 0)
    close(input_);
  if (output_ >= 0)
    close(output_);
  if (pid_ > 0) {
    int status = 0;
    for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
      usleep(10000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
}

} // namespace host
