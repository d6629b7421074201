// RIFF files: a bounded chunk walker that descends into RIFF and LIST forms
// as the multimedia file functions do, and WAVE files of PCM sound read and
// written through it. No size read from a file is trusted: every chunk is cut
// to what its parent really holds.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// A chunk found by the walker: its four-character id, the form type of a
// RIFF or LIST chunk, and its data (for a form: what follows the form type).
struct RiffChunk {
  std::string id;    // four characters
  std::string form;  // RIFF and LIST only, else empty
  size_t offset = 0; // of the data, in the walked span
  uint32_t declaredSize = 0;
  std::span<const uint8_t> data; // cut to what is there
  bool Truncated() const { return data.size() < declaredSize - (form.empty() ? 0u : 4u); }
};

// The chunks directly inside data (a file or a form's data), in order; a
// chunk whose header does not fit ends the walk, a chunk longer than what is
// left is cut, and an odd-sized chunk is followed by a pad byte.
std::vector<RiffChunk> RiffChunks(std::span<const uint8_t> data, size_t baseOffset = 0);
// The first chunk with this id (and this form, when given) inside data;
// descends into nothing.
std::optional<RiffChunk> FindChunk(std::span<const uint8_t> data, std::string_view id,
                                   std::string_view form = {});

// A whole RIFF file's bytes; nullopt, with the reason in *error, when it
// cannot be read or passes the 2 GiB a RIFF size can count.
std::optional<std::vector<uint8_t>> ReadRiffFile(const std::string& path, std::string* error);

// True when bytes are a SoundFont 2 file as far as its RIFF form shows: a
// "sfbk" form whose INFO, sdta and pdta lists are all there and whole. A
// SoundFont parser is given nothing else.
bool LooksLikeSoundFont(std::span<const uint8_t> bytes);
// The same for a file; false when it cannot be read.
bool IsSoundFontFile(const std::string& path);

// The format of PCM sound.
struct WaveFormat {
  uint16_t formatTag = 1; // PCM
  uint16_t channels = 1;
  uint32_t rate = 22050;
  uint32_t byteRate = 22050;
  uint16_t blockAlign = 1;
  uint16_t bits = 8;
  static WaveFormat Pcm(uint32_t rate, uint16_t bits, uint16_t channels);
};

struct Wave {
  WaveFormat format;
  std::vector<uint8_t> data; // whole frames only
  bool truncated = false;    // the data chunk claimed more than the file holds
};

// Reads a WAVE file's "fmt " (16, 18 or 40 bytes; PCM, or extensible PCM) and
// "data" chunks, wherever they lie in the RIFF form, LIST chunks before them
// and all. Takes 8 or 16 bits, 1 or 2 channels; anything else is refused
// with the reason in *error.
std::optional<Wave> ReadWave(std::span<const uint8_t> file, std::string* error);
std::optional<Wave> ReadWaveFile(const std::string& path, std::string* error);

// The 44-byte header of a PCM file whose data chunk holds dataBytes (the
// RIFF size counts a pad byte after odd data).
std::vector<uint8_t> WaveHeader(const WaveFormat& format, uint32_t dataBytes);
// A whole file: the header, the data and its pad byte.
std::vector<uint8_t> WaveBytes(const WaveFormat& format, std::span<const uint8_t> data);
bool WriteWaveFile(const std::string& path, const WaveFormat& format, std::span<const uint8_t> data,
                   std::string* error);
// The most data bytes a file can hold: the RIFF size counts in 32 bits.
constexpr uint64_t kMaxWaveDataBytes = 0xFFFFFFFFull - 36 - 1;

} // namespace media
