// Starting the lyric display program Kivo32 beside the host, as the host
// does for the user when it plays a song.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Starts Kivo32 from the host's own folder, in a session of its own so that
// it outlives the host, unless its frame ("VEXO3LYRIC") is already there;
// waits until the frame appears. False, with the reason in *error, when it
// could not be started or never showed its frame.
bool StartDisplayIfNotRunning(std::string* error = nullptr);

// The reservation list the host sends the display: five entries of 52
// bytes, a song number (little-endian) and a title of up to 48 code-page
// bytes, NUL-padded; and the next song announced: its number, a title of up
// to 120 bytes and a NUL.
inline constexpr size_t kReserveEntries = 5;
inline constexpr size_t kReserveEntrySize = 52;
inline constexpr size_t kReserveTitleBytes = 48;
inline constexpr size_t kNextTitleBytes = 120;
struct ReservedSong {
  int32_t number = 0;
  std::string title; // UTF-8
};
std::vector<uint8_t> ReserveListRecord(const std::vector<ReservedSong>& songs, int codePage);
std::vector<uint8_t> NextSongRecord(int32_t number, std::string_view title, int codePage);

// vexo3 display [--image NAME] [--mode M] [--reserve N[:TITLE]...]
// [--next N TITLE] [--codepage N]: NAME is sent as the player core sends an
// image request, the reservations and the next song as the host sends them
// (titles in code page 949 unless told otherwise).
int DisplayCommand(std::span<char*> args);

} // namespace host
