// vexo3 logo [--about]: the start-up logo, or the about box, of the logo
// library Bivane loaded by name from the host's folder, until it closes.
// StartupLogo is the same library as a play shows it while it starts.
#pragma once

#include "platform/sys/library.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

class QApplication;

namespace host {

int LogoCommand(std::span<char*> args);

// The logo library loaded by name and attached, with its exports. With a
// screen and no Qt application yet, it makes one for its time (the logo is
// then shown; without a screen its window has no widget). Its window
// closes itself after its time; the destructor closes it earlier and
// detaches the library.
class StartupLogo {
public:
  // nullptr (with the reason in *why) when the library cannot be used;
  // folder "" is the program's.
  static std::unique_ptr<StartupLogo> Load(const std::string& folder, std::string* why);
  StartupLogo(const StartupLogo&) = delete;
  StartupLogo& operator=(const StartupLogo&) = delete;
  ~StartupLogo();

  // The logo's window, 0 when it cannot be opened.
  uint32_t Launch();
  void LaunchAbout();
  // A progress line in the logo (code-page text).
  void Text(const std::string& text);
  void MusicOff();

private:
  StartupLogo() = default;
  struct Exports {
    int32_t (*attach)() = nullptr;
    int32_t (*detach)() = nullptr;
    uint32_t (*launch)(uint32_t) = nullptr;
    void (*text)(const char*) = nullptr;
    void (*sink)() = nullptr;
    void (*about)(uint32_t) = nullptr;
    void (*musicOff)() = nullptr;
  };
  std::unique_ptr<QApplication> app_; // first made, last gone
  std::optional<sys::Library> library_;
  Exports x_;
  bool attached_ = false;
};

} // namespace host
