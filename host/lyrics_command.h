// "lyrics IN TEXT OUT [--melody N] [--split] [--codepage N] [--marks]": makes a
// karaoke song from a MIDI file and a lyric text ("/" between syllables, a line
// per lyric line), the syllables placed on the notes of the melody track.
#pragma once

#include <span>

namespace host {

// 0 when OUT was written; 1 with a one-line error on standard error when a
// file cannot be read or written or the song has no notes; 2 for a usage
// error. The text is taken as it is, or with --codepage N converted from
// UTF-8 into that code page; --split splits double-byte text into one
// character per syllable; --marks places image marks between the lines.
int LyricsCommand(std::span<char*> args);

} // namespace host
