// A helper program started as a child process (with posix_spawn, which the
// thread sanitizer follows), its output read line by line with a bound.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace uitest {

class PeerProcess {
public:
  explicit PeerProcess(const std::string& program) {
    int out[2];
    if (pipe(out) != 0)
      return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~PeerProcess() {
    if (pid_ > 0 && !Wait(0)) {
      kill(pid_, SIGKILL);
      Wait(5000);
    }
    if (out_ >= 0)
      close(out_);
  }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // The next line without its newline; empty at the end or after timeoutMs.
  std::string ReadLine(int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0)
        return {};
      pollfd p{out_, POLLIN, 0};
      const int r = poll(&p, 1, static_cast<int>(left.count()));
      if (r < 0 && errno == EINTR)
        continue;
      if (r <= 0)
        return {};
      char chunk[512];
      const ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0)
        return {};
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // The exit status once the child ended, nullopt after timeoutMs.
  std::optional<int> Wait(int timeoutMs) {
    if (status_)
      return status_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        return status_;
      }
      pollfd none{-1, 0, 0};
      poll(&none, 0, 5);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
  }

private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
  std::optional<int> status_;
};

} // namespace uitest
