#include "core/messages.h"

#include <utility>

namespace core {
namespace {

ShowMessageHandler g_show;
AskHandler g_ask;
int g_last = 0;

} // namespace

void SetMessageHandlers(ShowMessageHandler show, AskHandler ask) {
  g_show = std::move(show);
  g_ask = std::move(ask);
}

void ShowMessage(int stringId) {
  g_last = stringId;
  if (g_show)
    g_show(stringId, MessageText(stringId));
}

bool AskYesNo(int stringId) {
  if (!g_ask)
    return true;
  return g_ask(stringId, MessageText(stringId));
}

int LastMessage() {
  return g_last;
}
void ClearLastMessage() {
  g_last = 0;
}

std::string_view MessageText(int stringId) {
  switch (stringId) {
  case kMsgPackedSong:
    return "This song is protected and cannot be saved in this format.";
  case kMsgNotMidiFile:
    return "This is not a Standard MIDI File.";
  case kMsgTooManyTracks:
    return "The MIDI file has too many tracks.";
  case kMsgBadTrackChunk:
    return "The MIDI file has a damaged track.";
  case kMsgOverwriteFile:
    return "The file already exists. Replace it?";
  case kMsgNotSongFile:
    return "This is not a song file.";
  case kMsgOlderVersion:
    return "The older song file version keeps no embedded waves, track ports or image requests. "
           "Continue?";
  case kMsgMidiDropsLyrics:
    return "The lyrics are saved as plain text events. Continue?";
  case kMsgKaraokeKeepsLyrics:
    return "The lyrics are saved as karaoke text events. Continue?";
  case kMsgAllocationFailed:
    return "Error In AllocateEventMemory";
  default:
    return "Unknown error.";
  }
}

} // namespace core
