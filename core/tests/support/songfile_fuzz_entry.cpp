#include "core/tests/support/songfile_fuzz_entry.h"

#include <cstring>
#include <span>

#include "core/songdata.h"
#include "core/songfile.h"
#include "core/songfilelayout.h"
#include "core/tests/support/song_edit_support.h"
#include "core/trackwalk.h"
#include "platform/sys/bytes.h"

namespace core::testing {
namespace {

std::string CheckSong(const CSongData& song) {
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    const Track& track = song.tracks[t];
    int32_t calls = TransmitTrack(song, t, [&](int16_t, int32_t, int32_t index, bool) {
      (void)MakeProducedEvent(track.events.at(index), false);
    });
    if (calls != track.engineEventCount)
      return "walk of track " + std::to_string(t) + " produced " + std::to_string(calls) + " of " +
             std::to_string(track.engineEventCount);
    for (int32_t i = 0; i < track.EventCount(); ++i) {
      if (!song.FormatEventText(t, i))
        return "no description";
      std::string text;
      song.GetEventText(t, i, text);
      (void)song.PoolBytes(track.events[i]);
    }
  }
  return {};
}

using Encoder = std::optional<std::vector<uint8_t>> (*)(const CSongData&);

// Writes the song, reads it back and writes it again: the same bytes. The
// older version goes through a Standard MIDI File, whose writer settles after
// one reading, so its check starts from the file read back once.
std::string Settles(const CSongData& song, Encoder encode, int rounds, const char* what) {
  auto first = encode(song);
  if (!first)
    return std::string(what) + ": loaded song not written";
  for (int i = 0; i < rounds; ++i) {
    CSongData again;
    if (!ReadVexoDataBytes(again, *first))
      return std::string(what) + ": written file not read";
    if (auto fault = CheckSong(again); !fault.empty())
      return std::string(what) + ": " + fault;
    auto second = encode(again);
    if (!second)
      return std::string(what) + ": read song not written";
    if (i + 1 == rounds && *second != *first)
      return std::string(what) + ": save after reload differs";
    first = std::move(second);
  }
  return {};
}

// The file's lyric track taken into a song with lyrics of its own: either it
// comes over whole or the song stays as it was.
std::string CheckImportTrack(std::span<const uint8_t> bytes) {
  CSongData song;
  MakeEditSong(song, {{0, 120}, {240, 120}});
  song.ImportLyricBytes("a/b\nc");
  song.unchanged = 1;
  auto before = EncodeVexoDataFile(song);
  if (!song.ImportTrackBytes(bytes, 65535)) {
    if (EncodeVexoDataFile(song) != before || !song.unchanged)
      return "refused track import changed the song";
    return {};
  }
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "track import: " + fault;
  return {};
}

std::string CheckFile(std::span<const uint8_t> bytes) {
  if (auto fault = CheckImportTrack(bytes); !fault.empty())
    return fault;
  CSongData song;
  if (!ReadVexoDataBytes(song, bytes))
    return song.loaded || song.TrackCount() ? "failed read left a song" : "";
  if (auto fault = CheckSong(song); !fault.empty())
    return fault;
  song.MsToTick(song.endMs);
  if (auto fault = Settles(song, EncodeVexoDataFile, 1, "3.50"); !fault.empty())
    return fault;
  return Settles(song, EncodeVexoDataV300File, 2, "3.00");
}

bool HasSongMagic(const uint8_t* data, size_t size) {
  return size >= songfile::kMagicSize &&
         (std::memcmp(data, songfile::kMagicV350.data(), songfile::kMagicSize) == 0 ||
          std::memcmp(data, songfile::kMagicV300.data(), songfile::kMagicSize) == 0);
}

} // namespace

std::vector<uint8_t> WrapAsEventData(const uint8_t* data, size_t size) {
  sys::ByteWriter w;
  w.Bytes(songfile::kMagicV350.data(), songfile::kMagicSize);
  w.U8(songfile::kHeaderEnd);
  w.U32LE(songfile::kInfoSizeV350);
  for (uint32_t i = 0; i < songfile::kInfoSizeV350; ++i)
    w.U8(0);
  w.U32LE(0);
  w.U32LE(static_cast<uint32_t>(6 + 4 + 2 + 16 + size));
  w.Bytes("CEVENT", 6);
  w.U32LE(0);
  w.U16LE(16);
  w.U16LE(96);
  w.U16LE(3);
  w.U16LE(1);
  w.U16LE(2);
  w.U32LE(static_cast<uint32_t>(size));
  w.U32LE(static_cast<uint32_t>(size));
  w.Bytes(data, size);
  return w.Take();
}

std::string CheckSongFileInput(const uint8_t* data, size_t size) {
  if (HasSongMagic(data, size))
    return CheckFile(std::span<const uint8_t>(data, size));
  std::vector<uint8_t> file = WrapAsEventData(data, size);
  return CheckFile(file);
}

} // namespace core::testing
