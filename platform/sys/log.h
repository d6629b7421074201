// The one logger of every library: warnings about what went wrong but did
// not stop the caller, each tagged with the module it comes from. Lines go
// to stderr as "program: module: text"; VEXO_LOG=off silences them, and a
// test captures them with ScopedLogCapture. Any thread may log.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// printf-style text, one line (no newline needed).
void Warn(const char* module, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Receives each warning in place of stderr; called under the logger's lock,
// so it must not log itself.
using LogSink = std::function<void(std::string_view module, std::string_view text)>;

// Installs a sink (an empty one restores stderr) and returns the one before.
LogSink SetLogSink(LogSink sink);

// Collects the warnings of its lifetime as "module: text" lines instead of
// printing them.
class ScopedLogCapture {
public:
  ScopedLogCapture();
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  std::vector<std::string> Lines() const;
  // True when a captured line holds the text.
  bool Holds(std::string_view text) const;

private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  LogSink previous_;
};

} // namespace sys
