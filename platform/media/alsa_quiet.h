// Opening ALSA devices to see whether they are there: ALSA reports a missing
// card loudly on stderr, and its error handler is one for the process, so
// every probe (playback or capture) holds one lock while it is silenced.
#pragma once

#include <mutex>

namespace media {

class QuietAlsaProbe {
public:
  QuietAlsaProbe();
  ~QuietAlsaProbe();
  QuietAlsaProbe(const QuietAlsaProbe&) = delete;
  QuietAlsaProbe& operator=(const QuietAlsaProbe&) = delete;

private:
  std::lock_guard<std::mutex> lock_;
};

} // namespace media
