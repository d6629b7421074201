// The lyric view: the two lines of the song being sung. It receives the
// display protocol's records and codes from the frame and hands them to the
// lyric receiver.
#pragma once

#include "display/lyric/colour_wipe.h"
#include "display/lyric/lyric_lines.h"
#include "display/settings.h"
#include "display/view.h"
#include "platform/win/messages.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace display {

class LyricReceiver;

// The word view's timing object: the colour wipe's period, whether the wipe
// runs, and the holds that keep it from drawing while the frame paints,
// sizes or drags.
class WipeTiming {
public:
  explicit WipeTiming(int32_t periodMs) : periodMs_(periodMs) {}
  int32_t PeriodMs() const { return periodMs_; }
  bool Running() const { return running_; }
  void Start() { running_ = true; }
  void Stop() { running_ = false; }
  void Hold() { ++holds_; }
  void Release() {
    if (holds_ > 0)
      --holds_;
  }
  bool Held() const { return holds_ > 0; }

private:
  int32_t periodMs_;
  bool running_ = false;
  std::atomic<int> holds_{0};
};

class CKivo32Word : public Kivo32View {
public:
  CKivo32Word(CKivo32Frame& frame, const LyricFactors& factors);

  void SetReceiver(LyricReceiver* receiver) { receiver_ = receiver; }
  void SetTiming(WipeTiming* timing) { timing_ = timing; }
  WipeTiming* Timing() const { return timing_; }
  void SetByChar(int32_t byChar) { byChar_ = byChar; }
  void SetSmallFont(int32_t smallFont) { smallFont_ = smallFont; }
  int32_t ByChar() const { return byChar_; }
  int32_t SmallFont() const { return smallFont_; }
  const LyricFactors& Factors() const { return factors_; }

  // The lines and the colour wipe, drawn on the view's own surface; made
  // once the window exists. False when they could not be made.
  bool AttachLyric(const LyricStyleTable& styles, uint32_t periodMs, bool byChar);
  LyricLines* Lines() const { return lines_.get(); }
  ColourWipe* Wipe() const { return wipe_.get(); }
  LyricFrameState& State() { return state_; }
  // The text of the current syllable, and when it arrived (the wipe's clock).
  void SetSyllable(std::string_view text) {
    if (lines_)
      lines_->SetCurrentSyllable(text);
  }

  // The frame's WM_COPYDATA and WM_USER, unchanged.
  LResult OnCopyData(WParam from, const win::CopyData& data);
  LResult OnUserMessage(WParam code, LParam argument);

  // The docked placement for the frame's client rectangle: the view spans
  // the frame above a gap at its bottom, its height from the screen's.
  void PlaceDocked(const gdi::Rect& frameClient, bool embedded);
  // The frame's paint: sets the view's vertical position (docked) and, when
  // its size changed since the lines were laid out, lays them out again for
  // it, the current syllable measured anew and the wipe going on from the
  // clock in the new geometry.
  void LayoutCurrentLine();
  // Painting held until the frame's next size change.
  void HoldPaintingUntilResize() { paintingHeld_ = true; }
  void ReleasePainting() { paintingHeld_ = false; }
  bool PaintingHeld() const { return paintingHeld_; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  // The docked rectangle in the frame for its client rectangle.
  gdi::Rect DockedRect(const gdi::Rect& frameClient, bool embedded) const;
  // Lays the lines out for a client size and rebases the wipe on it.
  void Relayout(int32_t width, int32_t height);

private:
  LyricReceiver* receiver_ = nullptr;
  WipeTiming* timing_ = nullptr;
  LyricFactors factors_;
  int32_t byChar_ = 0;
  int32_t smallFont_ = 0;
  bool paintingHeld_ = false;
  LyricFrameState state_;
  std::unique_ptr<LyricLines> lines_;
  std::unique_ptr<ColourWipe> wipe_;
};

} // namespace display
