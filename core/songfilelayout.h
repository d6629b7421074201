// The byte layout of the suite's own song files ("VEXO DATA V3.50" and
// "VEXO DATA V3.00"): the header, the chunk chain, the offsets inside the
// information chunk, the named sections and the scrambling keys. The song
// object's readers and writers and the song album's probe, which reads the
// same head of the file without loading the song, both build on these.
//
// A file is a 16-byte header followed by a chain of chunks, each a u32
// length N (little-endian) and N bytes; the next chunk begins N + 4 bytes
// after the start of the one before. The first chunk holds the song
// information, the second the keyword text; every later chunk of V3.50 is a
// named section whose bytes begin with a 6-byte name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace core::songfile {

// Header: 15 bytes of magic, then 0x1A (written, never checked).
inline constexpr std::string_view kMagicV350 = "VEXO DATA V3.50";
inline constexpr std::string_view kMagicV300 = "VEXO DATA V3.00";
constexpr size_t kMagicSize = 15;
constexpr size_t kHeaderSize = 16;
constexpr uint8_t kHeaderEnd = 0x1A;

// The chain begins right after the header.
constexpr size_t kChainStart = kHeaderSize;
constexpr size_t kChunkLengthSize = 4;

// The information chunk: its length at file offset 16, its data from 20.
// The offsets below count from the start of the data (file offset = 20 + x).
constexpr size_t kInfoDataStart = kChainStart + kChunkLengthSize;
constexpr uint32_t kInfoSizeV350 = 273; // so the keyword chunk begins at 293
constexpr uint32_t kInfoSizeV300 = 270; // so the keyword chunk begins at 290
constexpr size_t kTitleFieldSize = 48;
constexpr size_t kTextFieldSize = 32;
constexpr size_t kInfoTitle = 0;
constexpr size_t kInfoLyricist = 48;
constexpr size_t kInfoComposer = 80;
constexpr size_t kInfoSinger = 112;
constexpr size_t kInfoArranger = 144;
constexpr size_t kInfoLyricSync = 176;
constexpr size_t kInfoDescription = 208;
// V3.00 only (V3.50 writes zeros here): u16 each.
constexpr size_t kInfoLyricRecordCount = 240;
constexpr size_t kInfoLyricTextSize = 242;
constexpr size_t kInfoLyricRecordSize = 244; // always 11
constexpr size_t kInfoMelodyTrack = 246;
// Both versions.
constexpr size_t kInfoWord = 248; // u16, kept and written back
// u32 zero at 250, then the 16 picture numbers; the song album reads these
// 16 bytes as its classification field.
constexpr size_t kInfoImageNumbers = 254;
constexpr size_t kImageNumberCount = 16;
// V3.50 only.
constexpr size_t kInfoValue = 270;  // u16
constexpr size_t kInfoPacked = 272; // u8: 1 when the event section is packed

// Named sections: u32 N, the 6-byte name, N - 6 bytes.
constexpr size_t kSectionNameSize = 6;
inline constexpr std::string_view kSectionEvents = "CEVENT"; // V3.50
inline constexpr std::string_view kSectionLyrics = "LYRICS"; // V3.50
inline constexpr std::string_view kSectionBank = "SFBANK";   // both versions
inline constexpr std::string_view kSectionWaves = "VXWAVE";  // V3.50

// "CEVENT" after its name: u32 0, u16 H, then H bytes of fields up to the
// event data: ticks per quarter, track count, melody track, lyric track (u16
// each), unpacked size U and stored size S (u32 each), then a u16 port per
// track; the S bytes of event data follow.
constexpr uint16_t kEventFieldsSize = 16; // H without the ports

// "SFBANK" after its name: u8 0, u8 slot count, u8 bank number, u32 0 (7
// bytes); then per slot u32 payload length L, u8 entry type, u32 0, u8 slot
// number (10 bytes) and L payload bytes.
constexpr size_t kBankHeadSize = 7;
constexpr size_t kBankEntryHeadSize = 10;
constexpr uint8_t kBankEntryContent = 0; // the payload is the bank file itself
constexpr uint8_t kBankEntryName = 1;    // the payload is the bank file's name
constexpr uint8_t kBankNumberZero = 255; // the bank number byte of bank 0 (0 is none)

// "VXWAVE" after its name: u16 number of waves, u32 0; per wave u8 0, u16
// slot, 32-byte name, u8 channels, u8 bits per sample, u32 sample rate, u32
// 0, u32 0, u32 byte size D (53 bytes), then D bytes of PCM data.
constexpr size_t kWavesHeadSize = 6;
constexpr size_t kWaveEntryHeadSize = 53;
constexpr size_t kWaveNameSize = 32;

// V3.00 chunks after the keyword, in order: lyric records (u32 P + 4, u32
// unpacked size, P packed bytes), lyric text (u32 T, T bytes), the MIDI part
// (u32 P2 + 5, u8 0, u32 unpacked size, P2 packed bytes: a Standard MIDI
// File), then "SFBANK".
constexpr size_t kLyricRecordSize = 11; // u32 tick, u32 data, u16 duration, u8 kind
constexpr uint16_t kLyricRecordMaxDuration = 30000;
constexpr uint32_t kMaxLyricRecords = 0xFFFF; // the information chunk counts them in 16 bits

// Packed data is LZSS output XORed byte by byte with key[i mod key size].
inline constexpr std::array<uint8_t, 24> kEventKey = {
    0x5A, 0x3C, 0x96, 0xE1, 0x27, 0x4B, 0xD8, 0x72, 0x0F, 0xB3, 0x6E, 0x91,
    0xC5, 0x18, 0xA4, 0x7D, 0x33, 0xEA, 0x59, 0x86, 0x2B, 0xF0, 0x64, 0xCF};
inline constexpr std::array<uint8_t, 20> kV300Key = {0x9B, 0x41, 0xE6, 0x2D, 0x73, 0xB8, 0x15,
                                                     0xCA, 0x5F, 0x04, 0xAD, 0x68, 0x37, 0xF2,
                                                     0x8C, 0x1E, 0xD1, 0x4A, 0x97, 0x62};

} // namespace core::songfile
