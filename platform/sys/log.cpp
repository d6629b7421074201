#include "platform/sys/log.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sys {
namespace {

struct Logger {
  std::mutex mutex;
  LogSink sink;
};

// Never destroyed: threads may still warn while the process exits.
Logger& TheLogger() {
  static Logger* logger = new Logger;
  return *logger;
}

bool Silenced() {
  const char* v = std::getenv("VEXO_LOG");
  return v && std::strcmp(v, "off") == 0;
}

} // namespace

void Warn(const char* module, const char* format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 0)
    return;
  size_t length = std::min(static_cast<size_t>(n), sizeof text - 1);
  while (length > 0 && text[length - 1] == '\n')
    --length;

  Logger& logger = TheLogger();
  std::lock_guard lock(logger.mutex);
  if (logger.sink) {
    logger.sink(module, std::string_view(text, length));
    return;
  }
  if (Silenced())
    return;
  std::fprintf(stderr, "%s: %s: %.*s\n", program_invocation_short_name, module,
               static_cast<int>(length), text);
  std::fflush(stderr);
}

LogSink SetLogSink(LogSink sink) {
  Logger& logger = TheLogger();
  std::lock_guard lock(logger.mutex);
  std::swap(logger.sink, sink);
  return sink;
}

ScopedLogCapture::ScopedLogCapture() {
  previous_ = SetLogSink([this](std::string_view module, std::string_view text) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::string(module) + ": " + std::string(text));
  });
}

ScopedLogCapture::~ScopedLogCapture() {
  SetLogSink(std::move(previous_));
}

std::vector<std::string> ScopedLogCapture::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool ScopedLogCapture::Holds(std::string_view text) const {
  std::lock_guard lock(mutex_);
  for (const std::string& line : lines_) {
    if (line.find(text) != std::string::npos)
      return true;
  }
  return false;
}

} // namespace sys
