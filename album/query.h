// Searching the song album: the text matches of the title, singer and text
// queries, and the per-album match index that answers them without reading
// every record for every keystroke.
//
// Texts are code-page 949 bytes: a byte from 0x80 leads a two-byte
// character. A query key is a field with its blanks removed, cut to at most
// 127 bytes of whole characters, A-Z turned to a-z in single-byte
// characters only.
#pragma once

#include "album/albumformats.h"
#include "album/songrecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace album {

// What a title query compares: 0 the title, 1 the singer, 2 the text
// excerpt (anywhere in it). Other kinds match nothing.
enum QueryType : int32_t { kQueryByTitle = 0, kQueryBySinger = 1, kQueryByText = 2 };
// A query step: 0 finished, 1 a match is in the buffer, 2 none this step.
enum QueryResult : int32_t { kQueryFinished = 0, kQueryMatched = 1, kQueryCallAgain = 2 };

constexpr size_t kMaxQueryKey = 127;
// The walk's end.
constexpr int kWalkEnd = 100;

// The text without its blanks, at most 127 bytes of whole characters.
std::string MatchNoSpaces(std::string_view text);
// MatchNoSpaces folded: the key queries compare.
std::string QueryKey(std::string_view text);
// 1 when pattern is a non-empty prefix of text ending on a character
// boundary of text.
int MatchPrefix(std::string_view pattern, std::string_view text);
// 1 when pattern occurs in text starting and ending on character
// boundaries; 0 for an empty pattern. Reads no byte past text.
int FindSubstringDbcs(std::string_view pattern, std::string_view text);
// True when the first n bytes of text end on a character boundary.
bool EndsOnBoundary(std::string_view text, size_t n);

// What tells a file's versions apart: a replaced or rewritten file differs
// in its inode, size or time.
struct AlbumFileStamp {
  uint64_t device = 0, inode = 0, size = 0;
  int64_t seconds = 0, nanoseconds = 0;
  bool operator==(const AlbumFileStamp&) const = default;
};

// An album file mapped for reading records; replacing the file (a rename)
// leaves the mapping on the old file.
struct MappedAlbum {
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::vector<uint8_t> bytes; // the file's bytes when given rather than mapped
  MappedAlbum() = default;
  MappedAlbum(const MappedAlbum&) = delete;
  MappedAlbum& operator=(const MappedAlbum&) = delete;
  ~MappedAlbum();
  // An empty mapping when the file cannot be read; the stamp of the file
  // mapped when asked.
  static std::shared_ptr<MappedAlbum> Map(const std::string& path,
                                          AlbumFileStamp* stamp = nullptr);
  static std::shared_ptr<MappedAlbum> FromBytes(std::vector<uint8_t> bytes);
};

// The keys of one album file's records and where the records are. Made
// from the file on first use; stale once the file changes on disk.
struct AlbumMatchIndex {
  using Stamp = AlbumFileStamp;
  Stamp stamp;
  std::string storedPath, path; // the album file indexed, stored and Linux forms
  std::shared_ptr<MappedAlbum> map; // the records read
  bool valid = false; // the file is a local or internet album
  size_t recordsAt = kLocalAlbumRecordsAt;
  uint32_t records = 0;
  std::vector<uint32_t> numbers;
  std::vector<uint8_t> categories;
  // Keys of kind k of record i: keys[k].substr(at[k][i], at[k][i+1] - at[k][i] - 1)
  // (each key ends in a zero byte, so a scan of the arena never runs from
  // one key into the next).
  std::string keys[3];
  std::vector<uint32_t> at[3];
  // Record indices in key order, for the prefix kinds 0 and 1.
  std::vector<uint32_t> sorted[2];
  // Per record: its song is in the catalogue's index under this album
  // (made for the index's generation it names).
  uint64_t liveGeneration = 0;
  std::vector<uint8_t> live;
  // One bit per byte of the text keys: set where a character begins (the
  // zero byte after each key too).
  std::vector<uint64_t> textStarts;

  std::string_view Key(int kind, uint32_t record) const {
    return std::string_view(keys[kind]).substr(at[kind][record],
                                               at[kind][record + 1] - at[kind][record] - 1);
  }
  // The records (ascending) whose key of the kind matches the key pattern.
  std::vector<uint32_t> Matches(int kind, std::string_view pattern) const;
  // Copies record i into out.
  void Record(uint32_t i, SongRecord& out) const;
  // Asks for record i's bytes ahead of their copy.
  void Prefetch(uint32_t i) const;

  // The stamp of the file now; false when it cannot be read.
  static bool StampOf(const std::string& path, Stamp& out);
  // Reads and indexes a file; valid stays false for anything but a local
  // album.
  static std::shared_ptr<AlbumMatchIndex> Build(const std::string& path);
  // The same over a file's bytes in hand.
  static std::shared_ptr<AlbumMatchIndex> Build(std::shared_ptr<MappedAlbum> file);
};

// An open title query: the album being scanned (its position in the
// album list) and the matches of its records still to hand out.
struct QueryScan {
  int32_t kind = 0;
  std::string pattern;
  size_t album = 0;
  bool scanning = false; // the album's matches are there
  std::shared_ptr<AlbumMatchIndex> index;
  std::vector<uint32_t> hits;
  size_t next = 0;
  // A my-album context's songs, taken when the query opened.
  std::unique_ptr<std::unordered_set<uint32_t>> list;
};

} // namespace album
