#include "core/tests/support/midi_fuzz_entry.h"

#include <optional>
#include <span>
#include <vector>

#include "core/midifile.h"
#include "core/songdata.h"
#include "core/trackwalk.h"

namespace core::testing {
namespace {

std::string CheckSong(const CSongData& song, bool describe) {
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    const Track& track = song.tracks[t];
    int32_t calls = TransmitTrack(song, t, [&](int16_t, int32_t, int32_t index, bool) {
      (void)MakeProducedEvent(track.events.at(index), false);
    });
    if (calls != track.engineEventCount)
      return "walk of track " + std::to_string(t) + " produced " + std::to_string(calls) + " of " +
             std::to_string(track.engineEventCount);
    for (int32_t i = 0; describe && i < track.EventCount(); ++i) {
      if (!song.FormatEventText(t, i))
        return "no description";
      uint16_t m, b, k;
      song.GetEventMeasureBeat(t, i, m, b, k);
      std::string text;
      song.GetEventText(t, i, text);
    }
  }
  return {};
}

// How a round trip reads: as plain MIDI, as a karaoke file, or as a file is
// loaded (karaoke when it holds the soft-karaoke header).
enum class Reader { kMidi, kKaraoke, kByContent };

int Read(Reader reader, CSongData& song, std::span<const uint8_t> input) {
  switch (reader) {
  case Reader::kMidi:
    return ReadMidiBytes(song, input);
  case Reader::kKaraoke:
    return ReadKaraokeBytes(song, input);
  case Reader::kByContent:
    return ReadMidiOrKaraokeBytes(song, input);
  }
  return 0;
}

// Written as read: a song loaded by content in the kind it was found to be.
std::optional<std::vector<uint8_t>> Encode(Reader reader, const CSongData& song) {
  bool karaoke =
      reader == Reader::kKaraoke || (reader == Reader::kByContent && song.saveKind == kFileKaraoke);
  return karaoke ? EncodeKaraokeMidiFile(song) : EncodeMidiFile(song);
}

std::string RoundTrip(Reader reader, std::span<const uint8_t> input) {
  static const char* const kNames[] = {"midi", "karaoke", "by-content"};
  const std::string name = kNames[static_cast<int>(reader)];
  CSongData song;
  if (!Read(reader, song, input))
    return song.loaded || song.TrackCount() ? "failed read left a song" : "";
  if (auto fault = CheckSong(song, true); !fault.empty())
    return fault;
  song.MsToTick(song.endMs);
  auto first = Encode(reader, song);
  if (!first)
    return "loaded song not written";
  CSongData again;
  if (!Read(reader, again, *first))
    return "written file not read";
  if (auto fault = CheckSong(again, false); !fault.empty())
    return fault;
  if (reader == Reader::kByContent && again.saveKind != song.saveKind)
    return name + " read after save changed the kind";
  auto second = Encode(reader, again);
  if (!second || *second != *first)
    return name + " save after reload differs";
  return {};
}

} // namespace

std::string CheckMidiInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  for (Reader reader : {Reader::kMidi, Reader::kKaraoke, Reader::kByContent})
    if (auto fault = RoundTrip(reader, input); !fault.empty())
      return fault;
  return {};
}

} // namespace core::testing
