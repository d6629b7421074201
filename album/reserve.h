// The reservation queue: the songs the singers asked for, in the order
// asked, from which the host takes the next song to play. Taking a song
// removes it; the song taken from the front becomes the current song. Every
// change is told through one notice hook (the album manager's reservation
// list follows it).
//
// The records handed out are byte images the host reads as they stand:
//   record (312 bytes): i32 number, title in 48 bytes (zero-ended), u32
//     length of the path text plus 1, path text in 256 bytes (zero-ended);
//   block: u32 count, then per entry i32 number, title in 48 bytes, u32
//     length L, L bytes of path text; one zero byte after the last entry.
//     An entry's first 52 bytes are the display's reservation entry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace album {

constexpr size_t kReservationRecordSize = 312;
constexpr size_t kReservationTitleSize = 48;
constexpr size_t kReservationPathSize = 256;
constexpr size_t kReservationEntryHead = 56; // number, title, length

// What changed, with the song number and the 1-based position it concerns.
enum ReserveNoticeKind : int {
  kReserveTaken = 0,       // a song was taken at the position
  kReserveRemoved = 1,     // the first entry of the number was removed
  kReserveRemovedLast = 2, // the last entry was removed
  kReserveCleared = 3,     // the queue was emptied (position 0)
  kReserveAdded = 4,       // appended at the position
};
using ReserveNotice = std::function<void(int kind, int32_t number, int position)>;

class ReservationQueue {
public:
  ReservationQueue();

  void SetNotice(ReserveNotice notice) { notice_ = std::move(notice); }
  // While a check is set (the album's category filter is on), a song number
  // of 1 and up is queued only when the check passes; file reservations
  // (numbers below 1) always are. An empty check lets every song in.
  void SetFilterCheck(std::function<bool(int32_t number)> shows) { shows_ = std::move(shows); }

  // Appends an entry; false (nothing queued, nothing told) when the filter
  // hides the song.
  bool Add(int32_t number, std::string_view title, std::string_view path);
  size_t Count() const { return entries_.size(); }
  // The first entry with the number: 1 removed, 0 none queued.
  int Remove(int32_t number);
  // The last entry: 1 removed, 0 the queue is empty.
  int RemoveLast();
  // Empties the queue; told only when something was queued.
  void Clear();

  // Takes the entry at the 1-based position out of the queue and returns its
  // record (valid until the next Take or the queue's end); nullptr when the
  // position is out of range. The entry taken at position 1 becomes the
  // current song.
  const uint8_t* Take(int position);
  // The last song taken from position 1 (number 0 before any).
  const std::array<uint8_t, kReservationRecordSize>& Current() const { return current_; }
  int32_t CurrentNumber() const;

  // The block of all entries in queue order (valid until the next Block,
  // FreeBlock or the queue's end); nullptr for an empty queue.
  const uint8_t* Block();
  size_t BlockSize() const { return block_.size(); }
  void FreeBlock();

  struct Entry {
    int32_t number;
    std::string title;
    std::string path;
  };
  // The entries in queue order.
  const std::list<Entry>& Entries() const { return entries_; }

private:
  void Tell(int kind, int32_t number, int position) const;

  std::list<Entry> entries_;
  ReserveNotice notice_;
  std::function<bool(int32_t)> shows_;
  std::array<uint8_t, kReservationRecordSize> record_{};
  std::array<uint8_t, kReservationRecordSize> current_{};
  std::vector<uint8_t> block_;
};

} // namespace album
