// A child process started from a program in the tests folder, its standard
// output read line by line with a bound on the wait.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace wintest {

class ChildProcess {
public:
  // Starts program with args; its standard output comes back through a pipe,
  // and with keepStdin its standard input stays open until CloseStdin.
  static std::unique_ptr<ChildProcess>
  Start(const std::string& program, const std::vector<std::string>& args, bool keepStdin = false);
  ~ChildProcess();

  // The next line of output without its newline; nullopt at the end of the
  // output or after timeoutMs.
  std::optional<std::string> ReadLine(int timeoutMs);
  // The next line that starts with prefix, skipping others.
  std::optional<std::string> ReadLineStartingWith(const std::string& prefix, int timeoutMs);
  // The exit status (as from waitpid) once the child ended, nullopt after
  // timeoutMs.
  std::optional<int> Wait(int timeoutMs);
  void Kill();
  void CloseStdin();
  // Writes text and a newline to the child's standard input (keepStdin);
  // false when it is closed.
  bool WriteLine(const std::string& text);
  pid_t Pid() const { return pid_; }

private:
  ChildProcess() = default;
  pid_t pid_ = -1;
  int out_ = -1;
  int in_ = -1;
  bool reaped_ = false;
  std::string buffer_;
};

// The path of a helper program built beside the tests.
std::string HelperPath(const std::string& name);

} // namespace wintest
