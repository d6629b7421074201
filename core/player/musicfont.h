// The music font of the staff view: the family "Duzuvevi" from the font file
// "DUZUVEVI.TTF" beside the player core, registered for this process when no
// family of that name is installed. With a Qt GUI application the font goes
// into Qt's font database; without one into fontconfig's application fonts,
// where a font database made later finds it.
#pragma once

#include <string>
#include <string_view>

namespace core {

inline constexpr const char* kMusicFontFamily = "Duzuvevi";
inline constexpr const char* kMusicFontFile = "DUZUVEVI.TTF";

// True when a font family of that name (ASCII case ignored) is known.
bool FontFamilyExists(std::string_view family);

// Adds the font file folder/fileName for this process. On failure shows
// "Failed to add font resource!" and returns 0. On success records the path
// as the value "Duzuvevi Regular (TrueType)" of the fonts key in the
// settings store, and returns 1.
int RegisterFont(const std::string& folder, const std::string& fileName);

// Registers family from folder/fileName unless it is known already; true
// when the family may be used afterwards, or was registered.
bool EnsureFontFamily(std::string_view family, const std::string& folder,
                      const std::string& fileName);
// EnsureFontFamily for the music font.
bool EnsureMusicFont(const std::string& folder);

} // namespace core
