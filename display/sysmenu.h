// The system-menu view: the invisible hot spot in the frame's top-left corner
// whose click opens the display's pop-up menu, and the menu itself with the
// commands it carries out.
#pragma once

#include "display/view.h"
#include "platform/ui/modal/menu.h"

#include <cstdint>
#include <optional>

namespace display {

class CKivo32SysMenu : public Kivo32View {
public:
  static constexpr uint32_t kMenuId = 20000;
  static constexpr uint32_t kClickTimer = 1;

  using Kivo32View::Kivo32View;

  // Opens the pop-up menu (its first sub-menu) at a screen point, with the
  // items' states set for the frame as it is now.
  void OpenMenu(gdi::Point screenPoint);
  // The first sub-menu with the items' states set.
  ui::Menu PreparedMenu() const;
  // Carries out a command of the menu.
  void RunCommand(WParam wParam, LParam lParam);
  // At (border, border), the size of bitmap 1000.
  void PlaceChild();

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  std::optional<ui::Menu> menu_;
  gdi::Size size_{};
  bool clickPending_ = false;
  gdi::Point clickPoint_{};
};

} // namespace display
