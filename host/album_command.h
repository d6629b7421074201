// "album probe FILE..." and "album dump FILE": the song album's view of song
// files and album files, as JSON, for trying the album's file layer from the
// command line; "album build|check|albums|list|show": the catalogue through
// the song-album library (album_catalogue.cpp).
#pragma once

#include "album/songrecord.h"

#include <span>
#include <string>
#include <string_view>

namespace host {

// A song record as a JSON object.
std::string SongRecordJson(const album::SongRecord& record, int codePage);
// The catalogue commands; 2 for a usage error.
int AlbumCatalogueCommand(std::string_view what, std::span<char*> args);

// "album shell" (commands from standard input) and "album export"; 2 for a
// usage error.
int AlbumShellCommand(std::string_view what, std::span<char*> args);

// "album mode|update|server|download|fetch": the song server's catalogues;
// 2 for a usage error.
int AlbumInetCommand(std::string_view what, std::span<char*> args);

// 0 when every file was read; 1 with one line on standard error for each
// file that cannot be read; 2 for a usage error.
int AlbumCommand(std::span<char*> args);

} // namespace host
