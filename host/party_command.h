// "party": the karaoke session. The song album's reservation queue (which
// lives in the library's memory) is filled from the command line and the
// terminal while its head songs are played one after the other through the
// player core, and the lyric display shows the queue and the next song.
// After every change the queue is also kept in a file of the album folder,
// so that a session that died can be taken up again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace host {

struct PartyOptions {
  std::vector<int32_t> numbers; // reserved at the start, in order
  bool display = true;          // start the lyric display and tell it the queue
  bool resume = false;          // re-reserve the saved queue first
  int device = -1;              // a device number of `vexo3 devices`; -1 the default
  std::string displayLog;       // the tests' stand-in display logs into this file
};

// One song of the queue: a catalogue number, or a file reservation (number
// below 1) with its title and stored path (code-page bytes).
struct QueuedSong {
  int32_t number = 0;
  std::string title;
  std::string path;
  bool operator==(const QueuedSong&) const = default;
};

// The display's reservation list: the number and title heads (52 bytes) of
// the first five entries of a reserved-song block, zeros where there are
// fewer; always 260 bytes. block may be null (an empty queue).
std::vector<uint8_t> ReserveListFromBlock(const void* block);
// Every entry of a reserved-song block (null: none), each path bounded by
// the size a reservation holds.
std::vector<QueuedSong> SongsOfBlock(const void* block);

// The saved queue's text: a first line "vexo3 party queue", then a line per
// song, "S NUMBER" for a catalogue song and "F NUMBER TITLE PATH" with the
// title and path in hexadecimal for a file reservation.
std::string PartyQueueText(const std::vector<QueuedSong>& songs);
// nullopt for a text that is not a whole saved queue.
std::optional<std::vector<QueuedSong>> ParsePartyQueue(std::string_view text);
// The saved queue's file in the album folder.
std::string PartyQueuePath();

// nullopt (with a message in *error) for arguments it cannot use.
std::optional<PartyOptions> ParsePartyArguments(std::span<char*> args, std::string* error);

// Runs the session; 0 when it ended by "q" or the end of its input with an
// empty queue, 130 when interrupted, 1 when it could not start.
int RunParty(const PartyOptions& options);

int PartyCommand(std::span<char*> args);

} // namespace host
