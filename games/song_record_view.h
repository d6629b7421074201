// The song record the host sends a game (801 bytes, WM_COPYDATA): the
// album's 541-byte song record at its head, the rest unread. The game keeps
// the bytes in a slot of its own and reads the fields in place.
#pragma once

#include "platform/sys/codepage.h"
#include "platform/win/messages.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace games {

inline constexpr uint32_t kSongRecordCopySize = 801;
using RecordSlot = std::array<uint8_t, kSongRecordCopySize>;

// Reads the fields of one record slot. Texts end at their first zero byte,
// or at their field's width when it has none, and never in the middle of
// a double-byte character of codePage.
class SongRecordView {
public:
  explicit SongRecordView(std::span<const uint8_t, kSongRecordCopySize> bytes,
                          int codePage = sys::kDefaultCodePage)
      : bytes_(bytes), codePage_(codePage) {}

  int32_t Number() const;
  std::string_view Title() const;
  std::string_view Singer() const;
  std::string_view Excerpt() const;
  char Type() const;
  std::string_view FileName() const;

private:
  std::string_view Text(size_t offset, size_t width) const;

  std::span<const uint8_t, kSongRecordCopySize> bytes_;
  int codePage_;
};

// Takes a WM_COPYDATA into slot when it is a song record for this game:
// sent by the host window found at this moment, of the game's kind and of
// exactly 801 bytes. False (slot unchanged) for anything else.
bool TakeSongRecordCopy(win::WParam sender, const win::CopyData* data, uintptr_t kind,
                        RecordSlot& slot);

} // namespace games
