#include "spawned_child.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace systest {

std::optional<SpawnedChild> SpawnedChild::Start(const std::string& program,
                                                const std::vector<std::string>& args,
                                                const std::vector<std::string>& env) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string key = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& own : env) {
      if (own.substr(0, own.find('=')) == key)
        replaced = true;
    }
    if (!replaced)
      envStrings.push_back(entry);
  }
  envStrings.insert(envStrings.end(), env.begin(), env.end());

  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (auto& a : argStrings)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : envStrings)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  int inPipe[2], outPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0)
    return std::nullopt;
  if (pipe2(outPipe, O_CLOEXEC) != 0) {
    close(inPipe[0]);
    close(inPipe[1]);
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(inPipe[0]);
  close(outPipe[1]);
  if (rc != 0) {
    close(inPipe[1]);
    close(outPipe[0]);
    return std::nullopt;
  }
  SpawnedChild child;
  child.pid_ = pid;
  child.in_ = inPipe[1];
  child.out_ = outPipe[0];
  return child;
}

SpawnedChild::SpawnedChild(SpawnedChild&& other) noexcept
    : pid_(other.pid_), in_(other.in_), out_(other.out_), buffer_(std::move(other.buffer_)) {
  other.pid_ = -1;
  other.in_ = -1;
  other.out_ = -1;
}

SpawnedChild::~SpawnedChild() {
  CloseInput();
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait();
  }
  if (out_ >= 0)
    close(out_);
}

std::optional<std::string> SpawnedChild::ReadLine(int timeoutMs) {
  while (true) {
    size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    if (out_ < 0)
      return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    int r = poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      return std::nullopt;
    char chunk[256];
    ssize_t n = read(out_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return std::nullopt;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

bool SpawnedChild::Write(const std::string& text) {
  size_t done = 0;
  while (in_ >= 0 && done < text.size()) {
    const ssize_t n = write(in_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return done == text.size();
}

void SpawnedChild::CloseInput() {
  if (in_ >= 0)
    close(in_);
  in_ = -1;
}

void SpawnedChild::Kill(int signal) {
  if (pid_ > 0)
    kill(pid_, signal);
}

int SpawnedChild::Wait() {
  if (pid_ <= 0)
    return -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) {
      pid_ = -1;
      return -1;
    }
  }
  pid_ = -1;
  if (WIFSIGNALED(status))
    return -WTERMSIG(status);
  return WEXITSTATUS(status);
}

} // namespace systest
