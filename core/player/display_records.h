// The records the player core sends a lyric display (and the editor's event
// list) by WM_COPYDATA, built byte by byte in their fixed little-endian
// layouts.
#pragma once

#include "core/songdata.h"
#include "core/songevent.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// TitleRecord: the song's title field, zero-padded; a title of 48 bytes
// leaves no terminator.
inline constexpr size_t kTitleRecordSize = 48;
// The "\IMG" field of PlayImageCopy and of an image request: "\IMG", the
// picture number in four decimal digits, a zero, the rest zero.
inline constexpr size_t kImageFieldSize = 32;
// The lyric text's characters (its buffer holds one more, for the zero).
inline constexpr size_t kLyricTextLimit = 10239;
// The image request that makes the display choose an image itself.
inline constexpr std::string_view kSpecialImageRequest = "@D\\Special";
// The HTML page that ends the display's page.
inline constexpr std::string_view kHtmlReset = "@RESET";
// The largest title page file read; the rest is left out.
inline constexpr size_t kMaxPageFileSize = 1u << 20;

std::array<uint8_t, kTitleRecordSize> TitleRecord(std::string_view title);

// LyricBlock: the lyric track's text pool, the syllables back to back.
std::vector<uint8_t> LyricBlock(const Track& lyricTrack);

// EventCopy: one SongEvent, byte for byte.
std::array<uint8_t, kSongEventSize> EventRecord(const SongEvent& event);

// A line's line-table entry (offset | length << 16 into the LyricBlock);
// 0 beyond the track's last line or outside the table.
uint32_t LineEntry(const Track& lyricTrack, int line);
// The line information answering LineInfoRequest: tick and ms -1, no
// duration, kind 17, the line index, its line-table entry.
SongEvent LineInfoEvent(int16_t line, uint32_t entry);

// LyricTextCopy: the lyric lines, each followed by CR LF, then a zero; at
// most kLyricTextLimit characters (a line that no longer fits ends the
// text). Every line is included, the one after the last line break too;
// line 0 is left out when it is empty, and so is an empty last line.
std::vector<uint8_t> LyricText(const Track& lyricTrack);

// The "\IMG" field for a picture number.
std::array<uint8_t, kImageFieldSize> ImageField(uint8_t picture);

// text followed by a zero byte.
std::vector<uint8_t> ZeroTerminated(std::string_view text);

// A page text filled in with arguments: each "%s" takes the next argument
// as it is, "%%" gives "%", and every other "%" (and any "%s" beyond the
// arguments) stays as written. Neither the page nor an argument is ever
// read as a format by anything else, so a "%" in a page or a title is
// shown.
std::string FillPage(std::string_view page, std::span<const std::string_view> arguments);

// HtmlPageCopy of a title page: the page's text filled in with the song's
// title and singer, zero-terminated.
std::vector<uint8_t> TitlePage(std::string_view page, std::string_view title,
                               std::string_view singer);

} // namespace core
