// Cursor files: ".cur" (a directory of type 2 whose entries hold hot spots
// and either a bitmap of 1 to 32 bits a pixel with its AND mask, or a PNG
// image) and ".ani" (RIFF "ACON": an "anih" header, optional "rate" and
// "seq " chunks, and a LIST "fram" of "icon" chunks that are cursor files
// themselves; rates count sixtieths of a second). Every count, size and
// offset is checked against the bytes there are.
#pragma once

#include "platform/ui/window/cursor.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ui {

inline constexpr uint16_t kCursorDirectoryType = 2;
inline constexpr size_t kMaxCursorEntries = 64;

// What a cursor file shows: one frame (a .cur), or the frames of an .ani's
// steps in order with each step's time.
struct CursorFile {
  std::vector<CursorImage> frames;
  std::vector<uint32_t> frameMs; // empty for a still cursor
  bool Animated() const { return !frameMs.empty(); }
};

// A .cur's picture: of its entries the one nearest 32 x 32 (the first of
// equals). nullopt for anything malformed.
std::optional<CursorImage> ReadCurFile(std::span<const uint8_t> bytes);
std::optional<CursorFile> ReadAniFile(std::span<const uint8_t> bytes);
// Either kind, told apart by its first bytes.
std::optional<CursorFile> ReadCursorFile(std::span<const uint8_t> bytes);

// The cursor of a file; null when it cannot be read (callers keep the
// arrow). A bare name (no '/') is looked for in the working directory,
// then in the program's folder.
CursorHandle LoadCursorFromFile(const std::string& path);

// Where a bare name is found: the working directory, then the program's
// folder; a name with a '/' as it stands. "" when the file is in neither.
std::string FindBesideProgram(const std::string& name);

} // namespace ui
