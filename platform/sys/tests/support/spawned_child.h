// A helper program started by a test, with pipes to its standard input and
// output, so that the test can wait for what it reports (with a bound) and
// end it as it likes.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace systest {

class SpawnedChild {
public:
  // Starts program with args; env holds "NAME=value" entries set on top of
  // this process's environment.
  static std::optional<SpawnedChild> Start(const std::string& program,
                                           const std::vector<std::string>& args,
                                           const std::vector<std::string>& env = {});
  SpawnedChild(SpawnedChild&& other) noexcept;
  SpawnedChild& operator=(SpawnedChild&&) = delete;
  ~SpawnedChild();

  // The next line of its output without the newline; nullopt at end of
  // output or when none comes within timeoutMs.
  std::optional<std::string> ReadLine(int timeoutMs = 10000);
  // Writes text to its standard input; false when it could not all be
  // written (the child closed its input or ended).
  bool Write(const std::string& text);
  // Closes its standard input.
  void CloseInput();
  void Kill(int signal);
  // Waits for it to end: its exit code, or minus the signal that ended it.
  int Wait();
  pid_t Pid() const { return pid_; }

private:
  SpawnedChild() = default;
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

} // namespace systest
