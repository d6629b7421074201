// The title view: the strip at the top right that shows the current song's
// title, or the number and title of the next reserved song.
#pragma once

#include "display/view.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace display {

class CKivo32Title : public Kivo32View {
public:
  using Kivo32View::Kivo32View;

  void SetTitle(std::string_view title);
  void SetAnnounced(int32_t number, std::string_view title);
  void SetIdle() { announcedNumber_ = 0; }
  // Clears the title and the announced title, keeping the number.
  void ClearTitles();
  void Clear();
  // Repaints its area of the frame and itself.
  void Refresh();
  // Child placement: the right half of the frame's top, a quarter of the
  // word view's height high.
  void PlaceChild(const gdi::Rect& frameClient, int32_t wordHeight);

  const std::string& Title() const { return title_; }
  int32_t AnnouncedNumber() const { return announcedNumber_; }
  const std::string& AnnouncedTitle() const { return announced_; }

private:
  std::string title_; // at most 48 bytes
  int32_t announcedNumber_ = 0;
  std::string announced_; // at most 99 bytes
};

} // namespace display
