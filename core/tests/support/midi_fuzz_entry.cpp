#include "core/tests/support/midi_fuzz_entry.h"

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

std::string RoundTrip(bool karaoke, std::span<const uint8_t> input) {
  CSongData song;
  int ok = karaoke ? ReadKaraokeBytes(song, input) : ReadMidiBytes(song, input);
  if (!ok)
    return song.loaded || song.TrackCount() ? "failed read left a song" : "";
  if (auto fault = CheckSong(song, true); !fault.empty())
    return fault;
  song.MsToTick(song.endMs);
  auto first = karaoke ? EncodeKaraokeMidiFile(song) : EncodeMidiFile(song);
  if (!first)
    return "loaded song not written";
  CSongData again;
  if (!(karaoke ? ReadKaraokeBytes(again, *first) : ReadMidiBytes(again, *first)))
    return "written file not read";
  if (auto fault = CheckSong(again, false); !fault.empty())
    return fault;
  auto second = karaoke ? EncodeKaraokeMidiFile(again) : EncodeMidiFile(again);
  if (!second || *second != *first)
    return std::string(karaoke ? "karaoke" : "midi") + " save after reload differs";
  return {};
}

} // namespace

std::string CheckMidiInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  if (auto fault = RoundTrip(false, input); !fault.empty())
    return fault;
  return RoundTrip(true, input);
}

} // namespace core::testing
