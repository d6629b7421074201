// The reservation number view: the next reserved songs' numbers in one row.
#pragma once

#include "display/view.h"

namespace display {

class CKivo32Num : public Kivo32View {
public:
  using Kivo32View::Kivo32View;

  // Child placement: the left half of the frame's top, a quarter of the word
  // view's height high.
  void PlaceChild(const gdi::Rect& frameClient, int32_t wordHeight);
};

} // namespace display
