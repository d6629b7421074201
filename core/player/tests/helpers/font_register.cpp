// Registers a font file the way the player core registers its music font:
// font_register <qt|fontconfig> <folder> <file> <family>. With "qt" it makes
// a Qt GUI application first. Reports "before: 0|1" (the family is known),
// "register: 0|1", "box: <caption>: <text>" for message boxes, "after: 0|1",
// and "stored: <path>" from the settings store.
#include "core/player/musicfont.h"
#include "platform/sys/settings_store.h"
#include "platform/ui/modal/messagebox.h"

#include <QGuiApplication>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv) {
  if (argc < 5)
    return 2;
  setvbuf(stdout, nullptr, _IOLBF, 0);
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  ui::SetMessageBoxBackend(boxes);
  std::unique_ptr<QGuiApplication> app;
  if (std::string(argv[1]) == "qt")
    app = std::make_unique<QGuiApplication>(argc, argv);
  const std::string family = argv[4];
  std::printf("before: %d\n", core::FontFamilyExists(family) ? 1 : 0);
  std::printf("register: %d\n", core::EnsureFontFamily(family, argv[2], argv[3]) ? 1 : 0);
  for (const auto& box : boxes->Shown())
    std::printf("box: %s: %s\n", box.caption.c_str(), box.text.c_str());
  std::printf("after: %d\n", core::FontFamilyExists(family) ? 1 : 0);
  auto stored = sys::SettingsStore().GetString(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts",
      "Duzuvevi Regular (TrueType)");
  std::printf("stored: %s\n", stored ? stored->c_str() : "");
  // The process ends here: fontconfig's registrations go with it.
  if (!app)
    FcFini();
  return 0;
}
