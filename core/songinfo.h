// A summary of a loaded song as one JSON object, for the command line: timing,
// counts, the title and the lyric syllables, texts converted to UTF-8 from the
// song's code page.
#pragma once

#include <span>
#include <string>

#include "platform/sys/codepage.h"

namespace core {

class CSongData;

// Note-ons with velocity above 0 over all tracks.
int64_t CountNotes(const CSongData& song);
std::string SongInfoJson(const CSongData& song, int codePage = sys::kDefaultCodePage);

// "info [--codepage N] FILE": loads the song file and prints SongInfoJson;
// 0, or 1 with a one-line error on standard error when it cannot be read.
int InfoCommand(std::span<char*> args);

} // namespace core
