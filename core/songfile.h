// The suite's own song files (".vx3", ".sb3", ".sw3"), versions 3.50 and
// 3.00, read into and written from the song. The version is chosen by the
// file's magic, never by its extension. Every count, length, slot and index
// of a file is bounded by what the file holds and by what a song can hold: a
// damaged file gives 0 and a reset song.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace core {

class CSongData;

// Files larger than this are not read.
constexpr size_t kMaxSongFileSize = 512u << 20;

// Reads the 16-byte header and hands the file to the reader of its version.
// An empty path or a file that cannot be opened gives 0 and leaves the song
// untouched; a file of neither version resets the song, shows message 11934
// and gives 0.
int TestVexoDataHeader(CSongData& song, const std::string& path);
// The readers of one version: 1 on success; 0 with the song untouched when
// the file cannot be opened or has the other magic, 0 with a reset song when
// the file is damaged.
int ReadVexoDataFile(CSongData& song, const std::string& path);
int ReadVexoDataV300File(CSongData& song, const std::string& path);
// As TestVexoDataHeader, from bytes in memory; path is only recorded.
int ReadVexoDataBytes(CSongData& song, std::span<const uint8_t> bytes,
                      const std::string& path = {});

// The size of the file written; 0 when no song is loaded, a bank file the
// song refers to cannot be read, or the file cannot be written. Version 3.50
// packs its event data when the song is marked packed.
int32_t WriteVexoDataFile(const CSongData& song, const std::string& path);
int32_t WriteVexoDataV300File(const CSongData& song, const std::string& path);
// The file's bytes; nullopt where the writers above give 0.
std::optional<std::vector<uint8_t>> EncodeVexoDataFile(const CSongData& song);
std::optional<std::vector<uint8_t>> EncodeVexoDataV300File(const CSongData& song);

// XORs every byte i of data with key[i mod key size] (scrambling and
// unscrambling are the same).
void ScrambleSongBytes(std::span<uint8_t> data, std::span<const uint8_t> key);

} // namespace core
