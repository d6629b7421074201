// The reservation number view: the next reserved songs' numbers in one row.
// A click on a number shows that song's title in the title view for a
// second.
#pragma once

#include "display/records.h"
#include "display/view.h"
#include "platform/gdi/dc.h"

#include <array>
#include <cstdint>
#include <string>

namespace display {

class LyricStyleTable;

// How a reservation number looks on screen: a positive number left-aligned
// in four columns, four blanks for an empty place (0), a tag for -1 to -5
// and nothing for any other negative value.
std::string ReserveEntryText(int32_t number);

class CKivo32Num : public Kivo32View {
public:
  static constexpr int kEntries = static_cast<int>(kReserveEntries);
  static constexpr int kNoEntry = 6;
  static constexpr uint32_t kTitleDisplayMs = 1000;
  // The title display's window timer is this plus the entry's index.
  static constexpr uint32_t kFirstEntryTimer = 1;

  using Kivo32View::Kivo32View;

  // Takes the five song numbers and titles from the reservation buffer
  // (entry i at byte 52 x i); a title without a NUL is read up to 48 bytes,
  // never half a character of the code page.
  void SetNumbers(const ReserveBuffer& buffer, int codePage);
  bool IsEmpty() const;
  const std::array<int32_t, kEntries>& Numbers() const { return numbers_; }
  const std::string& EntryTitle(int entry) const { return titles_[entry]; }
  // The five entry texts joined.
  std::string RowText() const;

  // Paints the row fitted to the client width, each entry outlined (even
  // entries in colours 12 and 13, odd ones in 14 and 15), and records the
  // entries' hit rectangles.
  void PaintRow(gdi::Dc& dc, const gdi::Rect& client, const LyricStyleTable& styles, int codePage);
  const std::array<gdi::Rect, kEntries>& HitRects() const { return hits_; }
  // The entry whose hit rectangle holds x; -1 for none.
  int HitEntry(int32_t x) const;
  int32_t CharWidth() const { return charWidth_; }

  // A click at x of the client area: selects the hit entry and, unless a
  // title display runs, shows its title for a second. False without a hit.
  bool Click(int32_t x);
  // Ends the title display: the title view's own title, next-song number
  // and text come back.
  void EndTitleDisplay();
  bool Busy() const { return busy_; }
  int Selected() const { return selected_; }

  // Child placement: the left half of the frame's top, a quarter of the word
  // view's height high.
  void PlaceChild(const gdi::Rect& frameClient, int32_t wordHeight);

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  // The numbers and titles from the frame's receiver, if it has one.
  void TakeNumbers();

  std::array<int32_t, kEntries> numbers_{};
  std::array<std::string, kEntries> titles_;
  std::array<gdi::Rect, kEntries> hits_{};
  int32_t charWidth_ = 0;
  int selected_ = kNoEntry;
  bool busy_ = false;
  int timerEntry_ = -1;
  // The title view's state while a title display runs.
  std::string savedTitle_;
  int32_t savedNumber_ = 0;
  std::string savedAnnounced_;
};

} // namespace display
