// Command strings for the display's video devices (the overlay card and the
// MPEG board), sent to whatever device layer is installed. Without one there
// are no such devices: every command fails.
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace display {

// Results: 0 is success.
inline constexpr uint32_t kMciOk = 0;
inline constexpr uint32_t kMciErrDeviceNotInstalled = 263;

class MciBackend {
public:
  virtual ~MciBackend() = default;
  // Runs the command; the device's text answer (if any) goes to answer.
  // notify receives MM_MCINOTIFY for commands with "notify".
  virtual uint32_t SendString(std::string_view command, std::string& answer, win::Hwnd notify) = 0;
};

// Sends one command through the installed backend; answer is cut to
// answerSize - 1 bytes, as into a fixed buffer of that size.
uint32_t MciSendString(std::string_view command, std::string* answer = nullptr,
                       size_t answerSize = 128, win::Hwnd notify = 0);

// Puts backend in place (null: no devices); returns the one it replaces.
std::shared_ptr<MciBackend> SetMciBackend(std::shared_ptr<MciBackend> backend);

} // namespace display
