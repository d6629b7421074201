// The player core's messages to the user: resource strings shown by number and
// yes/no questions. The library that owns the windows installs handlers that
// put them in message boxes; without handlers a message is only remembered and
// every question is answered yes.
#pragma once

#include <functional>
#include <string_view>

namespace core {

// Numbers of the resource strings the song object shows.
constexpr int kMsgPackedSong = 17;            // a packed song is never exported unpacked
constexpr int kMsgNotMidiFile = 11914;        // no "MThd" header, or a header that cannot be used
constexpr int kMsgTooManyTracks = 11916;      // more tracks than a song holds
constexpr int kMsgBadTrackChunk = 11917;      // a track chunk that cannot be read
constexpr int kMsgOverwriteFile = 11923;      // question: replace the existing file?
constexpr int kMsgNotSongFile = 11934;        // no song file magic of either version
constexpr int kMsgMidiDropsLyrics = 11936;    // question: lyrics become plain text events
constexpr int kMsgKaraokeKeepsLyrics = 11937; // question: save lyrics as a karaoke file?
constexpr int kMsgOlderVersion = 11938;       // question: save in the older song file version?
// Not a resource string: the fixed text of the allocation failure.
constexpr int kMsgAllocationFailed = -1;

using ShowMessageHandler = std::function<void(int stringId, std::string_view text)>;
using AskHandler = std::function<bool(int stringId, std::string_view text)>;

void SetMessageHandlers(ShowMessageHandler show, AskHandler ask);

// Shows a message; text is the fixed English text of the number (see MessageText).
void ShowMessage(int stringId);
bool AskYesNo(int stringId);

// The number of the last message shown, 0 when none since ClearLastMessage.
int LastMessage();
void ClearLastMessage();

// The built-in English text of a message number, for when no resource bundle
// is connected (the command line uses it).
std::string_view MessageText(int stringId);

} // namespace core
