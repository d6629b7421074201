// Accelerator tables: keys that give commands. A bundle holds them as
// "accelerators/<id>.txt", one accelerator a line: the key, then any of
// CTRL, SHIFT and ALT, then the command id (1 to 65535), e.g.
//
//   S CTRL 57603
//   F5 32781
//   DELETE SHIFT 57634
//
// A key is a letter or digit, a key name (F1-F24, SPACE, RETURN, ESCAPE,
// TAB, BACK, INSERT, DELETE, HOME, END, PRIOR, NEXT, LEFT, UP, RIGHT,
// DOWN) or a virtual-key code written 0x... Blank lines and lines starting
// with '#' are skipped; words compare without regard to case.
#pragma once

#include "platform/ui/resource/resource_text.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct Accelerator {
  uint32_t key = 0; // virtual-key code
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  uint16_t command = 0;
  friend bool operator==(const Accelerator&, const Accelerator&) = default;
};

struct AcceleratorTable {
  std::vector<Accelerator> entries;

  // The first entry for the key with exactly these modifiers; nullptr when
  // none.
  const Accelerator* Find(uint32_t key, bool ctrl, bool shift, bool alt) const;
  // The text of the first key that gives the command ("Ctrl+S"); "" when
  // none does.
  std::string TextFor(uint16_t command) const;
};

// "Ctrl+Shift+F5", "Del", "S": the key as a menu shows it.
std::string AcceleratorText(const Accelerator& accelerator);

std::optional<AcceleratorTable> ParseAccelerators(std::string_view text,
                                                  ResourceError* error = nullptr);
std::optional<AcceleratorTable> LoadAccelerators(const ResourceFiles& files, uint32_t id,
                                                 ResourceError* error = nullptr);

// A WM_KEYDOWN or WM_SYSKEYDOWN whose key and modifiers (Ctrl and Shift as
// GetKeyState has them, Alt from the message) match an entry becomes
// WM_COMMAND (low word the command, high word 1) sent to window; true then,
// and the key message is not to be dispatched. False for anything else.
bool TranslateAccelerator(win::Hwnd window, const AcceleratorTable& table, const win::Msg& msg);

} // namespace ui
