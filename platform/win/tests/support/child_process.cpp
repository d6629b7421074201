#include "platform/win/tests/support/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace wintest {
namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

std::string HelperPath(const std::string& name) {
#ifdef VEXO_TESTS_DIR
  return std::string(VEXO_TESTS_DIR) + "/" + name;
#else
  return name;
#endif
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& args,
                                                  bool keepStdin) {
  int out[2], in[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0)
    return nullptr;
  if (keepStdin && pipe2(in, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (keepStdin)
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (keepStdin)
    close(in[0]);
  if (rc != 0) {
    close(out[0]);
    if (keepStdin)
      close(in[1]);
    return nullptr;
  }
  std::unique_ptr<ChildProcess> child(new ChildProcess);
  child->pid_ = pid;
  child->out_ = out[0];
  child->in_ = in[1];
  return child;
}

bool ChildProcess::WriteLine(const std::string& text) {
  if (in_ < 0)
    return false;
  const std::string line = text + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(in_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

ChildProcess::~ChildProcess() {
  CloseStdin();
  if (!reaped_) {
    if (!Wait(2000))
      Kill();
  }
  if (out_ >= 0)
    close(out_);
}

std::optional<std::string> ChildProcess::ReadLine(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    pollfd p{out_, POLLIN, 0};
    int n = poll(&p, 1, MsUntil(deadline));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return std::nullopt;
    char chunk[4096];
    ssize_t r = read(out_, chunk, sizeof chunk);
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      return std::nullopt;
    buffer_.append(chunk, static_cast<size_t>(r));
  }
}

std::optional<std::string> ChildProcess::ReadLineStartingWith(const std::string& prefix,
                                                              int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (auto line = ReadLine(MsUntil(deadline)))
    if (line->rfind(prefix, 0) == 0)
      return line;
  return std::nullopt;
}

std::optional<int> ChildProcess::Wait(int timeoutMs) {
  if (reaped_)
    return std::nullopt;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      return status;
    }
    if (r < 0 || Clock::now() >= deadline)
      return std::nullopt;
    // No way to wait on a child with a timeout short of a signal handler:
    // poll its status at a fine grain.
    usleep(1000);
  }
}

void ChildProcess::Kill() {
  if (reaped_)
    return;
  kill(pid_, SIGKILL);
  int status;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
}

void ChildProcess::CloseStdin() {
  if (in_ >= 0) {
    close(in_);
    in_ = -1;
  }
}

} // namespace wintest
