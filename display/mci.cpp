#include "display/mci.h"

#include <mutex>

namespace display {
namespace {

std::mutex backendMutex;
std::shared_ptr<MciBackend> currentBackend;

} // namespace

uint32_t MciSendString(std::string_view command, std::string* answer, size_t answerSize,
                       win::Hwnd notify) {
  std::shared_ptr<MciBackend> backend;
  {
    std::lock_guard lock(backendMutex);
    backend = currentBackend;
  }
  std::string text;
  uint32_t result = kMciErrDeviceNotInstalled;
  if (backend) {
    try {
      result = backend->SendString(command, text, notify);
    } catch (...) {
      result = kMciErrDeviceNotInstalled;
    }
  }
  if (answer) {
    if (answerSize && text.size() > answerSize - 1)
      text.resize(answerSize - 1);
    *answer = std::move(text);
  }
  return result;
}

std::shared_ptr<MciBackend> SetMciBackend(std::shared_ptr<MciBackend> backend) {
  std::lock_guard lock(backendMutex);
  std::swap(currentBackend, backend);
  return backend;
}

} // namespace display
