// The score on screen for `vexo3 play --score --panel`: a window of the host
// holding the singing score's display controls, made by their class names
// and filled through QueryControlObject and their exported LoadResources,
// beside the score controller's status window.
#pragma once

#include "platform/sys/library.h"
#include "platform/win/messages.h"

#include <functional>
#include <memory>
#include <string>

namespace host {

class ScorePanel {
public:
  // The window, shown; nullptr with the reason when it cannot be made.
  // onClose runs when the user closes it.
  static std::unique_ptr<ScorePanel> Open(std::function<void()> onClose, std::string* error);
  ~ScorePanel();
  ScorePanel(const ScorePanel&) = delete;
  ScorePanel& operator=(const ScorePanel&) = delete;

  win::Hwnd Hwnd() const;
  // Makes the controls from the loaded library (module) once the singing
  // score is started; false with the reason when a class or a member is
  // missing.
  bool MakeControls(sys::ModuleHandle nyvanta, std::string* error);
  // Puts the controller's window (shown by the caller) at the panel's right.
  void PlaceStatusWindow();
  // A PNG of the panel with its controls.
  bool Save(const std::string& path) const;

  class Window;

private:
  ScorePanel() = default;
  std::unique_ptr<Window> window_;
};

} // namespace host
