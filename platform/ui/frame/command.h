// Commands: the WM_COMMAND ids a menu, a tool bar or an accelerator gives,
// the targets that take them (views, documents, child frames, frames; the
// first taker wins) and the state pass that asks them, before a menu opens
// and for tool-bar buttons, whether a command is enabled and checked.
#pragma once

#include "platform/ui/resource/resource_text.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ui {

// Commands the class library gives a meaning of its own.
inline constexpr uint16_t ID_FILE_NEW = 57600;
inline constexpr uint16_t ID_FILE_OPEN = 57601;
inline constexpr uint16_t ID_FILE_CLOSE = 57602;
inline constexpr uint16_t ID_FILE_SAVE = 57603;
inline constexpr uint16_t ID_APP_EXIT = 57665;

// Child ids of a frame's parts.
inline constexpr uint32_t kToolBarId = 59392;
inline constexpr uint32_t kPaneId = 59648; // a frame's client, a child frame's view

// WM_COMMAND's high word for an accelerator (a menu or a button gives 0).
inline constexpr uint16_t kFromAccelerator = 1;

struct CommandState {
  uint16_t id = 0;
  bool enabled = true;
  bool checked = false;
};

class CommandTarget {
public:
  virtual ~CommandTarget() = default;
  // True when taken.
  virtual bool OnCommand(uint16_t id) {
    (void)id;
    return false;
  }
  // True when this target set the state of state.id (the first one to say
  // so decides); commands nobody speaks for stay enabled and unchecked.
  virtual bool OnCommandState(CommandState& state) {
    (void)state;
    return false;
  }
};

// A bundle's strings by number (UTF-8); res::Bundle::Resources() gives them.
using ResourceStrings = std::function<std::optional<std::string>(uint32_t id)>;

// What frames and templates load their parts from.
struct FrameResources {
  ResourceFiles files;
  ResourceStrings strings;
};

} // namespace ui
