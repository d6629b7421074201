// Registering the music font from a file beside the player core, with Qt's
// font database and with fontconfig alone, in a session that has no fonts
// installed. Any font file stands in for the music font here.
#include "common/player_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace playertest;

const std::string kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Runs the registration of folder/DUZUVEVI.TTF with the fontconfig setup of
// session; the settings store is the folder's own.
std::vector<std::string> RunRegistration(const Scratch& session, const std::string& mode,
                                         const std::string& folder) {
  auto child = systest::SpawnedChild::Start(
      VEXO_TESTS_DIR "/font_register", {mode, folder, "DUZUVEVI.TTF", "DejaVu Sans"},
      {"FONTCONFIG_FILE=" + session / "fonts.conf",
       "VEXO_SETTINGS_FILE=" + folder + "/settings.ini", "QT_QPA_PLATFORM=offscreen",
       "XDG_CACHE_HOME=" + session / "cache"});
  std::vector<std::string> lines;
  if (!child)
    return lines;
  while (auto line = child->ReadLine(20000)) {
    lines.push_back(*line);
    if (line->rfind("stored:", 0) == 0)
      break;
  }
  child->Wait();
  return lines;
}

TEST(MusicFont, AMissingFamilyIsRegisteredFromTheFileBesideTheLibrary) {
  if (!std::filesystem::exists(kFontFile))
    GTEST_SKIP() << kFontFile << " is not installed (Debian package fonts-dejavu-core)";
  for (const char* mode : {"qt", "fontconfig"}) {
    SCOPED_TRACE(mode);
    Scratch session, folder;
    // A fontconfig setup without any font folder: nothing is installed.
    std::ofstream(session / "fonts.conf")
        << "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" << session / "fc"
        << "</cachedir></fontconfig>\n";
    ASSERT_TRUE(folder.Copy(kFontFile, "DUZUVEVI.TTF"));
    EXPECT_EQ(RunRegistration(session, mode, folder.Path()),
              (std::vector<std::string>{"before: 0", "register: 1", "after: 1",
                                        "stored: " + folder / "DUZUVEVI.TTF"}));

    // Without the file the registration fails with the system's message.
    Scratch empty;
    EXPECT_EQ(RunRegistration(session, mode, empty.Path()),
              (std::vector<std::string>{"before: 0", "register: 0",
                                        "box: Error: Failed to add font resource!", "after: 0",
                                        "stored: "}));
  }
}

TEST(MusicFont, AnInstalledFamilyIsLeftAlone) {
  if (!std::filesystem::exists(kFontFile))
    GTEST_SKIP() << kFontFile << " is not installed (Debian package fonts-dejavu-core)";
  Scratch session, folder;
  std::ofstream(session / "fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig><dir>"
                                        << std::filesystem::path(kFontFile).parent_path().string()
                                        << "</dir><cachedir>" << session / "fc"
                                        << "</cachedir></fontconfig>\n";
  // No file to register: none is needed.
  EXPECT_EQ(RunRegistration(session, "fontconfig", folder.Path()),
            (std::vector<std::string>{"before: 1", "register: 1", "after: 1", "stored: "}));
}

} // namespace
