// Puts the song object's messages and questions into the platform's message
// boxes: messages with an OK button, questions with Yes and No. The library
// that owns the player core's windows installs this at start; tests answer
// the boxes with the scripted backend.
#pragma once

#include "platform/ui/modal/messagebox.h"

namespace core {

// Installs the handlers (replacing any others); boxes are owned by owner.
void ShowSongMessagesInBoxes(ui::WindowHandle owner = 0);

} // namespace core
