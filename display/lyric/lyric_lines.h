// The lyric view's two line slots: the upper slot A and the lower slot B,
// each holding one lyric line fitted to the view's width and centred, drawn
// with the outline and colours of its colour group, and the wipe bitmap that
// holds (unsung colour XOR sung colour) wherever the slots' text is drawn and
// black elsewhere, so that inverting a column of the view with it turns that
// column from the unsung to the sung colours and leaves the background alone.
//
// Everything here runs on the user-interface thread, except that the colour
// wipe's timer thread reads the slots' geometry and draws through
// InvertColumns while the gate is open; every operation that changes what it
// reads closes the gate first.
#pragma once

#include "display/lyric/lyric_style_table.h"
#include "display/lyric/wipe_gate.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/ink.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace display {

constexpr int kSlotA = 0;
constexpr int kSlotB = 1;

// Which slots a paint or a bitmap preparation covers: 0 both, 1 or 3 slot A,
// 2 slot B.
constexpr int kBothSlots = 0;
constexpr int kOnlySlotA = 1;
constexpr int kOnlySlotB = 2;

// The frame's fields that the lyric view's drawing and the wipe read. The
// slot state says where lines go: 1 nothing placed yet, 2 the next line goes
// to slot B, 3 the next line goes to slot A.
struct LyricFrameState {
  std::atomic<int32_t> slotState{1};
  std::atomic<int32_t> currentLine{-1};
  std::atomic<bool> lyricsShown{true};
  // The current syllable, in pixels from the current slot's left.
  std::atomic<int32_t> syllableStart{0};
  std::atomic<int32_t> syllableWidth{0};
};

// The slot being sung: A in slot states 1 and 2, B in state 3; -1 otherwise.
int CurrentSlotOf(int32_t slotState);
// The slot a new line goes to: A in states 1 and 3, B in state 2; -1
// otherwise.
int PlacementSlotOf(int32_t slotState);

// The wipe's fields of the view. Edges are pixels from the current slot's
// left; the drawn edge is kept across the syllables of a line.
struct WipeFields {
  std::atomic<int32_t> drawnEdge{0};
  std::atomic<int32_t> wipeEdge{0};
  std::atomic<int32_t> wipeEnd{0};
  std::atomic<uint32_t> durationMs{0};
  std::atomic<uint32_t> arrivalMs{0};
  // A syllable is being wiped (its duration may be 0: it is shown sung at the
  // first tick).
  std::atomic<bool> running{false};
};

struct LineSlot {
  std::string text = " "; // never empty: an empty line is one blank
  int32_t length = 1;     // bytes of text
  int32_t charWidth = 0;  // the width the font is made with (0: the face's own)
  int32_t fontHeight = 0;
  int32_t margin = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t textWidth = 0;
  int32_t blockOffset = 0;
  int32_t blankWidth = 0;
  int32_t lineIndex = -1;
  int32_t colourGroup = 0;
  gdi::Rect wipeRect; // the slot's part of the wipe bitmap
  // The columns (from x) between which the text's ink lies in the wipe
  // bitmap, outline and overhanging glyphs included.
  int32_t inkLeft = 0;
  int32_t inkRight = 0;
};

// Start and width in pixels of a syllable within its slot.
struct SyllableSpan {
  int32_t start = 0;
  int32_t width = 0;
  friend bool operator==(const SyllableSpan&, const SyllableSpan&) = default;
};

// The part of a measured syllable that the wipe covers: a fifth of a blank
// in from each side, and past a leading blank.
SyllableSpan WipeSpanOf(SyllableSpan measured, int32_t blankWidth, bool beginsWithBlank);

class LyricLines {
public:
  static constexpr size_t kMaxLineBytes = 172;
  static constexpr size_t kMaxSyllableBytes = 255;
  // A syllable further than this past its slot's block offset is not
  // measured.
  static constexpr int64_t kMaxSyllableReach = 255;
  // Three blanks follow the text when it is drawn.
  static constexpr std::string_view kTrailingBlanks = "   ";

  using AreaCallback = std::function<void(const gdi::Rect&)>;

  LyricLines(const LyricStyleTable& styles, LyricFrameState& frame);
  LyricLines(const LyricLines&) = delete;
  LyricLines& operator=(const LyricLines&) = delete;

  // The code page of the lyric texts (the fonts' default character set).
  void SetCodePage(int codePage);
  int CodePage() const { return codePage_; }
  // Outline thickness, held to 1..2.
  void SetPad(int16_t pad);
  int16_t Pad() const { return pad_; }
  // Where an area of the view needs painting again (a slot's band, or the
  // whole client area).
  void SetInvalidate(AreaCallback invalidate);
  // The view's backing image that the wipe draws on, and the request to show
  // an area of it, called on the drawing thread (the timer's, usually) with
  // the tick lock held: it must neither call back into this object nor wait
  // for the user-interface thread (posting is fine). The surface's own dirty
  // callback runs under the same conditions.
  void SetSurface(std::shared_ptr<gdi::Surface> surface);
  void SetUpdate(AreaCallback update);
  const std::shared_ptr<gdi::Surface>& Surface() const { return surface_; }

  // Lays both slots out in r (the client rectangle, normally): font height,
  // fit, margins and tops; then, when given, measures the current syllable
  // at that block offset again and keeps its span in the frame.
  void LayOut(const gdi::Rect& r, std::optional<uint32_t> syllableOffset = std::nullopt);
  // A new client size: lays out (0, 0, width, height), the current
  // syllable measured again, makes a new wipe bitmap and has the next paint
  // prepare it; the whole view is invalidated.
  void Resize(int32_t width, int32_t height);
  // A black bitmap of the client size with slot A's wipe rectangle the upper
  // half; false (and no wipe) when it cannot be made.
  bool RecreateWipeBitmap();
  void ClearWipeBitmap();
  void DiscardWipeBitmap();
  const std::shared_ptr<gdi::Bitmap>& WipeBitmap() const { return bitmap_; }

  // Stores a line in a slot (cut to kMaxLineBytes, never in half a
  // double-byte character), fits it, invalidates its band when lyrics are
  // shown and prepares its part of the wipe bitmap. Until the next paint has
  // drawn the new line the slot awaits its paint: the wipe draws nothing
  // there (the paint draws what it has sung meanwhile), while it goes on
  // drawing in the other slot.
  void PlaceLine(int slot, std::string_view text, int32_t blockOffset, int32_t lineIndex);
  // A line from the lyric events, into the slot the slot state names. It is
  // placed when its text or its line differs from what the slot shows, so a
  // line repeating the text of the one before is still drawn afresh. True
  // when it was placed.
  bool PlaceLineForState(int32_t slotState, std::string_view text, int32_t blockOffset,
                         int32_t lineIndex);
  // Both slots take the text (two blanks by default) and line index -1.
  void ClearSlots(std::string_view text = "  ");
  // A slot's colour group (0, 1 or 2): refits and prepares the slot again
  // when it changes.
  void SetColourGroup(int slot, int group);

  // Paints the slots in their unsung colours over what the context shows,
  // then inverts what the wipe has already sung: the current slot up to the
  // drawn edge, and a slot whose line is before the current line whole.
  void Paint(gdi::Dc& dc, int which, int32_t slotState);
  // The view's paint: both slots with the frame's slot state, the wipe
  // bitmap prepared first when it needs it; the wipe may draw afterwards.
  void OnPaint(gdi::Dc& dc);
  void PrepareWipeBitmap(int which);
  bool RepaintNeedsBitmap() const { return repaintNeedsBitmap_; }

  // The syllable being sung (cut to kMaxSyllableBytes).
  void SetCurrentSyllable(std::string_view text);
  const std::string& CurrentSyllable() const { return syllable_; }
  // The current syllable at a block offset, measured in the current slot's
  // font: its start (the width of the slot's text before it) and its width.
  // nullopt when the offset is not within the slot's reach. The offset is
  // kept as the current syllable's until the line changes.
  std::optional<SyllableSpan> MeasureSyllable(uint32_t blockOffset);
  std::optional<uint32_t> SyllableOffset() const { return syllableOffset_; }
  void ForgetSyllable() { syllableOffset_.reset(); }

  // Inverts columns [from, to) of a slot (counted from its left, so from may
  // be -pad) over the slot's full height, on the view's surface. False when
  // there is no surface or bitmap, or the surface is gone.
  bool InvertColumns(int slot, int32_t from, int32_t to);
  // The column up to which an edge has sung a slot: an edge at the start
  // takes the ink left of the text in (the outline, an overhanging glyph),
  // one at the end the ink right of it.
  int32_t SungColumn(int slot, int32_t edge) const;

  const LineSlot& Slot(int slot) const { return slots_[ClampSlot(slot)]; }
  // The slot's band was invalidated and the screen still shows what stood
  // there before: drawing the wipe there waits for the paint. Read by the
  // wipe with the gate open; changed with it closed.
  bool AwaitsPaint(int slot) const { return awaitingPaint_[ClampSlot(slot)]; }
  int32_t FontHeight() const { return fontHeight_; }
  const gdi::Rect& LayoutRect() const { return layout_; }
  // The band a slot draws in: A from its top - pad to B's top - 2 pad, B from
  // its top - pad to the client's bottom.
  gdi::Rect Band(int slot) const;
  // The rectangle DrawText gets for a slot.
  gdi::Rect TextRect(int slot) const;

  WipeGate& Gate() { return gate_; }
  WipeFields& Wipe() { return wipe_; }
  const WipeFields& Wipe() const { return wipe_; }
  LyricFrameState& Frame() { return frame_; }
  const LyricStyleTable& Styles() const { return styles_; }

private:
  static int ClampSlot(int slot) { return slot == kSlotB ? kSlotB : kSlotA; }
  static bool Covers(int which, int slot);
  void StoreText(LineSlot& s, std::string_view text);
  void FitSlot(int slot);
  void PositionSlots();
  gdi::LogFont FontFor(const LineSlot& s, int32_t charWidth) const;
  int32_t Extent(const std::shared_ptr<const gdi::Font>& font, std::string_view text);
  // The slot's text as it draws in its rectangle, rendered once per line,
  // font and geometry; nullptr without a font.
  const gdi::InkRuns* InkOf(int slot);
  // The slot's ink as it is drawn: moved by the pad up, down, left and
  // right in the outline colour when its colour group has an outline, then
  // in place in the centre colour. Empty without ink.
  std::vector<gdi::InkPlacement> InkPlacements(int slot, gdi::Colour outline, gdi::Colour centre);
  void DrawText(gdi::Dc& dc, int slot, gdi::Colour outline, gdi::Colour centre);
  void PrepareSlot(gdi::Dc& bitmapDc, int slot);
  void InvertOn(gdi::Dc& dc, int slot, int32_t from, int32_t to);
  // Invalidates an area when lyrics are shown; true when it did, and the
  // slots covered then await the paint.
  bool InvalidateForRepaint(const gdi::Rect& area, int which);

  const LyricStyleTable& styles_;
  LyricFrameState& frame_;
  int codePage_ = sys::kDefaultCodePage;
  int16_t pad_ = 2;
  gdi::Rect layout_;
  int32_t fontHeight_ = 0;
  std::array<LineSlot, 2> slots_;
  std::array<std::shared_ptr<const gdi::Font>, 2> fonts_;
  // What each slot's ink was rendered from, and the ink.
  struct RenderedInk {
    std::shared_ptr<const gdi::Font> font;
    std::string text;
    int32_t width = 0;
    int32_t height = 0;
    gdi::InkRuns ink;
  };
  std::array<std::optional<RenderedInk>, 2> ink_;
  std::shared_ptr<gdi::Bitmap> bitmap_;
  std::shared_ptr<gdi::Surface> surface_;
  AreaCallback invalidate_;
  AreaCallback update_;
  std::string syllable_;
  std::optional<uint32_t> syllableOffset_;
  bool repaintNeedsBitmap_ = false;
  std::array<bool, 2> awaitingPaint_{false, false};
  gdi::Dc measureDc_;
  WipeGate gate_;
  WipeFields wipe_;
};

} // namespace display
