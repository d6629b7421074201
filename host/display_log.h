// The tests' stand-in display, started by `vexo3 play --display-log FILE`: a
// program that links itself to the player core and logs every message it
// receives into FILE.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace host {

class DisplayLogger {
public:
  // Starts the logger (VEXO_DISPLAY_LOGGER, else "display_logger" in the
  // program's folder or in ../tests beside it); nullptr, with the reason in
  // *error, when it cannot be started. A className gives its frame that
  // window class (the lyric display's, for a host that looks for it).
  static std::unique_ptr<DisplayLogger> Start(const std::string& logFile, std::string* error,
                                              const std::string& className = {});
  ~DisplayLogger();

  // Lets the logger see the end of play and unlink itself, pumping the
  // caller's messages (pump runs one slice of the message loop) meanwhile.
  void Finish(const std::function<void()>& pump);
  // Waits (pumping) until the logger has linked itself; false when it did
  // not within timeoutMs.
  bool WaitLinked(const std::function<void()>& pump, int timeoutMs);

private:
  DisplayLogger() = default;
  // Until the logger's output holds text.
  bool WaitForText(const std::string& text, const std::function<void()>& pump, int timeoutMs);

  pid_t pid_ = -1;
  int input_ = -1;  // the logger's standard input: closing it asks it to unlink
  int output_ = -1; // its standard output: "linked", "stopped", "unlinked"
  std::string seen_;
};

} // namespace host
