// What the games' in-process tests share: a private runtime folder for the
// session's windows and a Qt application (a widget one when this program
// has none yet), and a game's context over the built bundle and a settings
// file of the test's own.
#pragma once

#include "games/game_context.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace gamestest {

inline void StartGameSession() {
  static const bool ready = [] {
    if (!std::getenv("VEXO_RUNTIME_DIR")) {
      char pattern[] = "/tmp/vexo-games-XXXXXX";
      if (char* dir = mkdtemp(pattern)) {
        static std::string path = dir;
        setenv("VEXO_RUNTIME_DIR", path.c_str(), 1);
        std::atexit([] {
          std::error_code ec;
          std::filesystem::remove_all(path, ec);
        });
      }
    }
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "games_tests";
      static char* argv[] = {name, nullptr};
      new QApplication(argc, argv);
    }
    return true;
  }();
  (void)ready;
}

// A game over the bundle in the build's bin folder, with its program folder
// (help files) and game.ini in folder.
inline std::optional<games::GameContext> MakeGame(const games::GameTraits& traits,
                                                  const std::filesystem::path& folder) {
  auto bundle = res::Bundle::Load(traits.bundle, VEXO_BIN_DIR);
  if (!bundle)
    return std::nullopt;
  return games::GameContext{traits, std::move(*bundle), folder.string() + "/",
                            games::GameSettings(traits, (folder / "game.ini").string())};
}

} // namespace gamestest
