#include "games/game_app.h"

#include "games/host_link.h"
#include "games/presence.h"
#include "platform/sys/instance.h"
#include "platform/sys/library.h"
#include "platform/sys/log.h"
#include "platform/sys/runtime.h"
#include "platform/ui/modal/logged_messagebox.h"
#include "platform/win/loop.h"

#include <QApplication>

#include <cstdlib>
#include <optional>

namespace games {
namespace {

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

// Qt cannot start without a display; the game then runs unseen.
void ChooseHeadlessPlatform() {
  if (Env("QT_QPA_PLATFORM") || Env("DISPLAY") || Env("WAYLAND_DISPLAY"))
    return;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

int RunGame(const GameTraits& traits, int argc, char** argv,
            const std::function<bool(GameContext&)>& open) {
  ChooseHeadlessPlatform();
  ui::InstallLoggedMessageBoxFromEnvironment();
  QApplication application(argc, argv);

  std::string folder = sys::ProgramFolder();
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  auto bundle = res::LoadAtStart(traits.bundle, folder,
                                 res::MissingBundleBox{std::string(traits.missingBundle),
                                                       std::string(traits.missingCaption),
                                                       ui::MB_OK | ui::MB_ICONINFORMATION});
  if (!bundle)
    return 1;
  GameContext game{traits, std::move(*bundle), folder,
                   GameSettings(traits, GameSettings::DefaultPath())};
  if (sys::RuntimeDir().empty()) {
    sys::Warn("games", "no private runtime folder for this session");
    return 1;
  }

  // Claimed before anything else, so that two games started together never
  // both get past the checks below.
  std::optional<sys::InstanceGuard> claim = sys::InstanceGuard::TryAcquire(kGameClaim);
  if (!claim) {
    game.Box(traits.otherGameString, ui::MB_OK | ui::MB_ICONINFORMATION);
    return 1;
  }
  if (!HostPresent()) {
    game.Box(traits.hostMissingString, ui::MB_OK | ui::MB_ICONERROR);
    return 1;
  }
  const std::optional<win::LResult> allowed = SendToHost(GameAllowQuery);
  if (!allowed) {
    // Gone, or silent past the timeout: no host to play with.
    game.Box(traits.hostMissingString, ui::MB_OK | ui::MB_ICONERROR);
    return 1;
  }
  if (*allowed == 0) {
    game.Box(traits.refusedString, ui::MB_OK | ui::MB_ICONERROR);
    return 1;
  }
  if (AnotherGameRuns()) {
    game.Box(traits.otherGameString, ui::MB_OK | ui::MB_ICONINFORMATION);
    return 1;
  }
  if (!open(game))
    return 1;
  return win::RunMessageLoop();
}

} // namespace games
