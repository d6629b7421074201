#include "album/reserve.h"

#include "album/songrecord.h"
#include "platform/sys/bytes.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace album {
namespace {

void PutU32(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
  at[2] = static_cast<uint8_t>(v >> 16);
  at[3] = static_cast<uint8_t>(v >> 24);
}

// A zero-ended text field of the given width: whole characters only.
void PutText(uint8_t* at, size_t width, std::string_view text) {
  std::string_view cut = CutText(text, width - 1);
  std::memcpy(at, cut.data(), cut.size());
}

} // namespace

ReservationQueue::ReservationQueue() = default;

void ReservationQueue::Tell(int kind, int32_t number, int position) const {
  if (notice_)
    notice_(kind, number, position);
}

bool ReservationQueue::Add(int32_t number, std::string_view title, std::string_view path) {
  if (number >= 1 && shows_ && !shows_(number))
    return false;
  entries_.push_back({number, std::string(title), std::string(path)});
  Tell(kReserveAdded, number, static_cast<int>(entries_.size()));
  return true;
}

int ReservationQueue::Remove(int32_t number) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.number == number; });
  if (it == entries_.end())
    return 0;
  int position = static_cast<int>(std::distance(entries_.begin(), it)) + 1;
  entries_.erase(it);
  Tell(kReserveRemoved, number, position);
  return 1;
}

int ReservationQueue::RemoveLast() {
  if (entries_.empty())
    return 0;
  int32_t number = entries_.back().number;
  int position = static_cast<int>(entries_.size());
  entries_.pop_back();
  Tell(kReserveRemovedLast, number, position);
  return 1;
}

void ReservationQueue::Clear() {
  if (entries_.empty())
    return;
  entries_.clear();
  Tell(kReserveCleared, 0, 0);
}

const uint8_t* ReservationQueue::Take(int position) {
  if (position < 1 || static_cast<size_t>(position) > entries_.size())
    return nullptr;
  auto it = std::next(entries_.begin(), position - 1);
  record_.fill(0);
  PutU32(record_.data(), static_cast<uint32_t>(it->number));
  PutText(record_.data() + 4, kReservationTitleSize, it->title);
  // The length covers what the record holds, so no reader runs past it.
  std::string_view path = CutText(it->path, kReservationPathSize - 1);
  PutU32(record_.data() + 52, static_cast<uint32_t>(path.size() + 1));
  std::memcpy(record_.data() + kReservationEntryHead, path.data(), path.size());
  const int32_t number = it->number;
  entries_.erase(it);
  if (position == 1)
    current_ = record_;
  Tell(kReserveTaken, number, position);
  return record_.data();
}

int32_t ReservationQueue::CurrentNumber() const {
  sys::ByteReader in(current_.data(), current_.size());
  return static_cast<int32_t>(in.U32LE().value_or(0));
}

const uint8_t* ReservationQueue::Block() {
  block_.clear();
  if (entries_.empty())
    return nullptr;
  size_t size = 4 + 1;
  for (const Entry& e : entries_)
    size += kReservationEntryHead + e.path.size();
  block_.assign(size, 0);
  PutU32(block_.data(), static_cast<uint32_t>(entries_.size()));
  uint8_t* at = block_.data() + 4;
  for (const Entry& e : entries_) {
    PutU32(at, static_cast<uint32_t>(e.number));
    PutText(at + 4, kReservationTitleSize, e.title);
    PutU32(at + 52, static_cast<uint32_t>(e.path.size()));
    std::memcpy(at + kReservationEntryHead, e.path.data(), e.path.size());
    at += kReservationEntryHead + e.path.size();
  }
  return block_.data();
}

void ReservationQueue::FreeBlock() {
  block_.clear();
  block_.shrink_to_fit();
}

} // namespace album
