// A plain board for a game's client area: a few lines of text on a filled
// background, and a click handed to its owner. The games' own boards take
// its place as they come.
#pragma once

#include "platform/ui/window/screen.h"

#include <functional>
#include <string>
#include <vector>

namespace games {

class BoardView : public ui::ScreenWindow {
public:
  // Makes the view as the frame's client (control id kPaneId).
  bool Create(ui::Hwnd frame);
  // Lines in code-page bytes; the view repaints.
  void SetLines(std::vector<std::string> lines);
  const std::vector<std::string>& Lines() const { return lines_; }
  std::function<void()> onClick;

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  std::vector<std::string> lines_;
};

} // namespace games
