// Standard MIDI Files (".mid") and karaoke MIDI files (".kar", whose words
// track, the third in most files, carries the lyrics as text events) read
// into and written from the song. Every count, length and offset of a file is bounded by what the
// file really holds; a damaged file gives 0 and a reset song, or the part that could be read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace core {

class CSongData;

// Files larger than this are not read (Standard MIDI Files are far smaller).
constexpr size_t kMaxMidiFileSize = 64u << 20;
// The tempo of a Standard MIDI File before its first tempo event.
constexpr int32_t kMidiDefaultTempo = 500000;

// 1 on success, 0 on failure (the song is then reset; a file that cannot be
// opened leaves the song untouched).
int ReadMidiFile(CSongData& song, const std::string& path);
int ReadKaraokeFile(CSongData& song, const std::string& path);
// A Standard MIDI File as it is loaded: one that holds the soft-karaoke
// header text is a karaoke file, whatever its name, and is read as
// ReadKaraokeFile reads it; any other is read as ReadMidiFile reads it.
int ReadMidiOrKaraokeFile(CSongData& song, const std::string& path);
// The same from bytes in memory; path is only recorded in the song.
int ReadMidiBytes(CSongData& song, std::span<const uint8_t> bytes, const std::string& path = {});
int ReadKaraokeBytes(CSongData& song, std::span<const uint8_t> bytes, const std::string& path = {});
int ReadMidiOrKaraokeBytes(CSongData& song, std::span<const uint8_t> bytes,
                           const std::string& path = {});
// The MIDI part of an older song file, as EncodeMidiTracksExcept writes it:
// its division is the song's ticks per quarter (1-65535), never SMPTE time.
int ReadSongMidiPartBytes(CSongData& song, std::span<const uint8_t> bytes,
                          const std::string& path = {});

// The size of the file written; 0 when no song is loaded, the song is packed
// (message 17) or the file cannot be written.
int32_t WriteMidiFile(const CSongData& song, const std::string& path);
int32_t WriteKaraokeMidiFile(const CSongData& song, const std::string& path);
// The file's bytes; nullopt where the writers above give 0 for the song.
std::optional<std::vector<uint8_t>> EncodeMidiFile(const CSongData& song);
std::optional<std::vector<uint8_t>> EncodeKaraokeMidiFile(const CSongData& song);
// A Standard MIDI File of every track but leftOut (-1: every track), as the
// older song file version embeds it; a packed song is written too, as the
// bytes stay inside a packed song file. nullopt when no song is loaded.
std::optional<std::vector<uint8_t>> EncodeMidiTracksExcept(const CSongData& song, int16_t leftOut);

} // namespace core
