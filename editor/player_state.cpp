#include "editor/player_state.h"

#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "editor/editor.h"
#include "platform/win/dispatch.h"

namespace editor {

bool Playing() {
  const auto& link = core::TheApp().linkTable;
  return link.GetcMidiPlayFlag && link.GetcMidiPlayFlag() == 1;
}

void PostPositionChanged() {
  if (const win::Hwnd host = core::HostNotifyWindow())
    win::PostMessage(host, win::WM_USER, kPositionChangedNotify, 0);
}

} // namespace editor
