#include "core/player/musicfont.h"

#include "platform/sys/settings_store.h"
#include "platform/ui/modal/messagebox.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <fontconfig/fontconfig.h>

namespace core {
namespace {

constexpr const char* kFontsKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
constexpr const char* kFontValue = "Duzuvevi Regular (TrueType)";

// Qt's font database exists only with a GUI application, and asking for it
// without one ends the process.
bool HasQtFontDatabase() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

bool FontconfigHasFamily(const std::string& family) {
  if (!FcInit())
    return false;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  bool found = false;
  if (pattern && objects &&
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()))) {
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    found = fonts && fonts->nfont > 0;
    if (fonts)
      FcFontSetDestroy(fonts);
  }
  if (objects)
    FcObjectSetDestroy(objects);
  if (pattern)
    FcPatternDestroy(pattern);
  return found;
}

bool AddFontFile(const std::string& path) {
  if (HasQtFontDatabase())
    return QFontDatabase::addApplicationFont(QString::fromStdString(path)) >= 0;
  return FcInit() &&
         FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path.c_str())) == FcTrue;
}

} // namespace

bool FontFamilyExists(std::string_view family) {
  if (family.empty())
    return false;
  if (HasQtFontDatabase())
    return QFontDatabase::hasFamily(QString::fromUtf8(family.data(), family.size()));
  return FontconfigHasFamily(std::string(family));
}

int RegisterFont(const std::string& folder, const std::string& fileName) {
  const std::string path = folder + "/" + fileName;
  if (!AddFontFile(path)) {
    ui::MessageBox("Failed to add font resource!", "Error", ui::MB_OK | ui::MB_ICONEXCLAMATION);
    return 0;
  }
  sys::SettingsStore().SetString(kFontsKey, kFontValue, path);
  return 1;
}

bool EnsureFontFamily(std::string_view family, const std::string& folder,
                      const std::string& fileName) {
  return FontFamilyExists(family) || RegisterFont(folder, fileName) == 1;
}

bool EnsureMusicFont(const std::string& folder) {
  return EnsureFontFamily(kMusicFontFamily, folder, kMusicFontFile);
}

} // namespace core
