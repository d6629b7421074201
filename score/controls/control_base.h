// The base of the suite's custom controls: a window class of its own that a
// creator or a dialog template names, the object handed to the creator by
// the QueryControlObject command, a 256-byte configuration string from a
// resource bundle's string table read by fields ("/") and sub-fields (":"),
// clicks passed on to the parent and mouse moves relayed to a tool tip.
//
// Fields: field n exists when the text holds at least n - 1 "/"; it may be
// empty. A sub-field that is empty or not a number reads as 0 and counts as
// present; a missing one fails the call with the destinations filled so far.
#pragma once

#include "platform/gdi/types.h"
#include "platform/ui/window/screen.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace res {
class Bundle;
}

namespace controls {

// WM_COMMAND's wParam by which a creator asks for the object; lParam points
// at the creator's pointer variable.
inline constexpr win::WParam kQueryControlObject = 0x10000000;
// The tool tip's relay message; lParam points at a win::Msg.
inline constexpr uint32_t kToolTipRelay = win::WM_USER + 7;
inline constexpr size_t kConfigSize = 256;

class CControlBase : public ui::ScreenWindow {
public:
  CControlBase() = default;
  ~CControlBase() override = default;

  // A tool tip the owner attaches (null: none).
  win::Window* toolTip = nullptr;

  // Keeps the module and loads string id of its table into the
  // configuration (at most 255 bytes and a zero); id -1 takes the number
  // the configuration holds (the window text the control was made with).
  void LoadResourceString(const res::Bundle* module, int32_t id);
  // Field n (from 1) into destination, at most size - 1 bytes and a zero.
  bool GetField(char* destination, size_t size, int n) const;
  bool GetInt(int32_t* a, int n) const;
  bool GetPair(int32_t* a, int32_t* b, int n) const;
  bool GetTriple(int32_t* a, int32_t* b, int32_t* c, int n) const;
  bool GetColor(gdi::Colour* colour, int n) const;

  const char* Configuration() const { return config_.data(); }
  void SetConfiguration(std::string_view text);
  const res::Bundle* Module() const { return module_; }

protected:
  // Handles QueryControlObject, the click and the mouse move, and copies the
  // window text into the configuration at WM_CREATE; the rest as Default.
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  bool GetNumbers(int32_t* out[], int count, int n) const;

  const res::Bundle* module_ = nullptr;
  std::array<char, kConfigSize> config_{};
};

// The text between the (n-1)-th and the n-th separator; false when the text
// has fewer than n - 1 separators.
bool FieldOf(std::string_view text, char separator, int n, std::string_view* field);

} // namespace controls
