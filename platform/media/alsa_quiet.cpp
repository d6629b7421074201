#include "platform/media/alsa_quiet.h"

#include <alsa/asoundlib.h>

namespace media {
namespace {

void Quiet(const char*, int, const char*, int, const char*, ...) {}

std::mutex& ProbeMutex() {
  static std::mutex* mutex = new std::mutex; // never destroyed: probes run until exit
  return *mutex;
}

} // namespace

QuietAlsaProbe::QuietAlsaProbe() : lock_(ProbeMutex()) {
  snd_lib_error_set_handler(Quiet);
}

QuietAlsaProbe::~QuietAlsaProbe() {
  snd_lib_error_set_handler(nullptr);
}

} // namespace media
