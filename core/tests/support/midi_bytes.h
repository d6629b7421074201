// Helpers for hand-built Standard MIDI File fixtures: the bytes of every event
// are written out in the tests; these only wrap them in chunks with their
// lengths, and summarise what a song holds for comparisons.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/songdata.h"

namespace core::testing {

using Bytes = std::vector<uint8_t>;

// A chunk: four-letter id, big-endian length, body.
Bytes Chunk(const char* id, const Bytes& body);
// "MThd" with length 6, then an "MTrk" chunk for each body.
Bytes Smf(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks);
Bytes Cat(std::initializer_list<Bytes> parts);
// A text meta event at delta 0: 00 FF type len text.
Bytes TextEvent(uint8_t type, const std::string& text, uint32_t delta = 0);

// One stored event as (tick, kind, duration, content) for comparisons: the
// content is the data field, or the pool bytes for pool kinds, or the text
// for syllables.
struct EventDigest {
  uint32_t tick;
  uint8_t kind;
  uint32_t duration;
  std::string content;
  bool operator==(const EventDigest&) const = default;
};
std::vector<EventDigest> Digest(const CSongData& song, int track, bool (*keep)(uint8_t kind));
std::string ToString(const std::vector<EventDigest>& events);

// A fresh temporary folder for files written by a test; removed with the object.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

private:
  std::string path_;
};

Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);

} // namespace core::testing
