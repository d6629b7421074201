// The singer index of the song album: one record per distinct singer, in
// the order singers first appear in the song index's title order, each with
// its songs in that order. Two singer texts name the same singer when they
// compare equal as song titles do (blanks, apostrophes and commas left out,
// A-Z folded in single-byte characters).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace album {

struct IndexedSong;

class SingerIndex {
public:
  struct Singer {
    std::string text;                 // at most 32 bytes
    std::vector<const IndexedSong*> songs;
    std::vector<uint32_t> numbers;    // count, then the songs' numbers
  };

  // Appends a song to its singer's record, making one at the end when the
  // singer is new.
  void Add(const IndexedSong* song, std::string_view singer);
  const std::vector<Singer>& Singers() const { return singers_; }
  const Singer* At(int position) const;

  // What decides that two singer texts are the same singer.
  static std::string Key(std::string_view singer);

  uint64_t generation = 0; // of the song index it was made from

private:
  std::vector<Singer> singers_;
  std::unordered_map<std::string, size_t> byKey_;
};

} // namespace album
