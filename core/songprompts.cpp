#include "core/songprompts.h"

#include <string>

#include "core/messages.h"

namespace core {
namespace {

constexpr std::string_view kCaption = "Tamblo";

} // namespace

void ShowSongMessagesInBoxes(ui::WindowHandle owner) {
  SetMessageHandlers(
      [owner](int stringId, std::string_view text) {
        std::string_view caption = stringId == kMsgAllocationFailed ? "Error" : kCaption;
        ui::MessageBox(text, caption, ui::MB_OK | ui::MB_ICONEXCLAMATION, owner);
      },
      [owner](int, std::string_view text) {
        return ui::MessageBox(text, kCaption, ui::MB_YESNO | ui::MB_ICONQUESTION, owner) ==
               ui::IDYES;
      });
}

} // namespace core
