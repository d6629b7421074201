#include "display/lyric/lyric_lines.h"

#include "display/lyric/lyric_geometry.h"

#include <algorithm>
#include <climits>

namespace display {

namespace {

gdi::Colour XorColour(gdi::Colour a, gdi::Colour b) {
  return (a ^ b) & 0x00FFFFFFu;
}

} // namespace

int CurrentSlotOf(int32_t slotState) {
  switch (slotState) {
  case 1:
  case 2:
    return kSlotA;
  case 3:
    return kSlotB;
  default:
    return -1;
  }
}

int PlacementSlotOf(int32_t slotState) {
  switch (slotState) {
  case 1:
  case 3:
    return kSlotA;
  case 2:
    return kSlotB;
  default:
    return -1;
  }
}

SyllableSpan WipeSpanOf(SyllableSpan measured, int32_t blankWidth, bool beginsWithBlank) {
  SyllableSpan s = measured;
  s.start += blankWidth / 5;
  s.width += blankWidth / -5;
  if (beginsWithBlank) {
    s.start += blankWidth;
    s.width -= blankWidth;
  }
  return s;
}

LyricLines::LyricLines(const LyricStyleTable& styles, LyricFrameState& frame)
    : styles_(styles), frame_(frame), measureDc_(gdi::Dc::CreateMemory()) {}

void LyricLines::SetCodePage(int codePage) {
  codePage_ = codePage;
}

void LyricLines::SetPad(int16_t pad) {
  const bool was = gate_.Close();
  pad_ = std::clamp<int16_t>(pad, 1, 2);
  gate_.Restore(was);
}

void LyricLines::SetInvalidate(AreaCallback invalidate) {
  invalidate_ = std::move(invalidate);
}

void LyricLines::SetSurface(std::shared_ptr<gdi::Surface> surface) {
  const bool was = gate_.Close();
  surface_ = std::move(surface);
  gate_.Restore(was);
}

void LyricLines::SetUpdate(AreaCallback update) {
  const bool was = gate_.Close();
  update_ = std::move(update);
  gate_.Restore(was);
}

bool LyricLines::Covers(int which, int slot) {
  if (which == kBothSlots)
    return true;
  return slot == (which == kOnlySlotB ? kSlotB : kSlotA);
}

void LyricLines::StoreText(LineSlot& s, std::string_view text) {
  text = sys::CutBytes(text, kMaxLineBytes, codePage_);
  s.text = text.empty() ? std::string(" ") : std::string(text);
  s.length = static_cast<int32_t>(s.text.size());
}

gdi::LogFont LyricLines::FontFor(const LineSlot& s, int32_t charWidth) const {
  gdi::LogFont lf = styles_.Font(s.colourGroup);
  lf.height = std::clamp(fontHeight_, 1, gdi::kMaxFontHeight);
  lf.width = std::clamp(charWidth, 0, gdi::kMaxFontHeight);
  return lf;
}

int32_t LyricLines::Extent(const std::shared_ptr<const gdi::Font>& font, std::string_view text) {
  if (!font || text.empty())
    return 0;
  measureDc_.SelectFont(font);
  return measureDc_.TextExtent(text).cx;
}

void LyricLines::FitSlot(int slot) {
  LineSlot& s = slots_[slot];
  std::shared_ptr<const gdi::Font> font;
  const LineFit fit = FitLine(UsableWidth(layout_), s.length, [&](int32_t charWidth) {
    font = gdi::Font::Create(FontFor(s, charWidth), codePage_);
    return Extent(font, s.text);
  });
  fonts_[slot] = font;
  s.charWidth = fit.charWidth;
  s.textWidth = fit.textWidth;
  s.fontHeight = fontHeight_;
  s.margin = CentringMargin(layout_, s.textWidth);
  s.x = s.margin != 0 ? s.margin : layout_.left;
  s.blankWidth = Extent(font, " ");
}

void LyricLines::PositionSlots() {
  const SlotTops tops = SlotTopsFor(layout_.Height(), fontHeight_);
  slots_[kSlotA].y = tops.a;
  slots_[kSlotB].y = tops.b;
}

void LyricLines::LayOut(const gdi::Rect& r, std::optional<uint32_t> syllableOffset) {
  const bool was = gate_.Close();
  layout_ = gdi::ClampRect(r);
  fontHeight_ = LyricFontHeight(layout_);
  PositionSlots();
  FitSlot(kSlotA);
  FitSlot(kSlotB);
  if (syllableOffset) {
    if (std::optional<SyllableSpan> m = MeasureSyllable(*syllableOffset)) {
      const int current = CurrentSlotOf(frame_.slotState.load());
      const LineSlot& s = slots_[ClampSlot(current)];
      SyllableSpan span = WipeSpanOf(*m, s.blankWidth, !syllable_.empty() && syllable_[0] == ' ');
      span.start = std::clamp(span.start, 0, s.textWidth);
      span.width = std::clamp(span.width, 0, s.textWidth - span.start);
      frame_.syllableStart.store(span.start);
      frame_.syllableWidth.store(span.width);
      wipe_.wipeEnd.store(span.start + span.width);
    }
  }
  gate_.Restore(was);
}

void LyricLines::Resize(int32_t width, int32_t height) {
  const bool was = gate_.Close();
  LayOut(gdi::Rect{0, 0, std::max(width, 0), std::max(height, 0)}, syllableOffset_);
  RecreateWipeBitmap();
  repaintNeedsBitmap_ = true;
  InvalidateForRepaint(gdi::Rect{0, 0, layout_.right, layout_.bottom}, kBothSlots);
  gate_.Restore(was);
}

bool LyricLines::RecreateWipeBitmap() {
  const bool was = gate_.Close();
  bitmap_ = gdi::CreateBitmap(layout_.right, layout_.bottom, 0);
  slots_[kSlotA].wipeRect = gdi::Rect{0, 0, layout_.right, layout_.bottom / 2};
  slots_[kSlotB].wipeRect = gdi::Rect{};
  gate_.Restore(was);
  return bitmap_ != nullptr;
}

void LyricLines::ClearWipeBitmap() {
  const bool was = gate_.Close();
  if (bitmap_) {
    gdi::Dc dc(bitmap_);
    dc.FillRect(gdi::Rect{0, 0, bitmap_->Width(), bitmap_->Height()}, 0);
  }
  slots_[kSlotA].wipeRect = gdi::Rect{};
  slots_[kSlotB].wipeRect = gdi::Rect{};
  repaintNeedsBitmap_ = true;
  gate_.Restore(was);
}

void LyricLines::DiscardWipeBitmap() {
  const bool was = gate_.Close();
  bitmap_.reset();
  gate_.Restore(was);
}

gdi::Rect LyricLines::Band(int slot) const {
  const int32_t pad = pad_;
  if (ClampSlot(slot) == kSlotA)
    return gdi::Rect{0, slots_[kSlotA].y - pad, layout_.right, slots_[kSlotB].y - 2 * pad};
  return gdi::Rect{0, slots_[kSlotB].y - pad, layout_.right, layout_.bottom};
}

gdi::Rect LyricLines::TextRect(int slot) const {
  const LineSlot& s = slots_[ClampSlot(slot)];
  const std::shared_ptr<const gdi::Font>& font = fonts_[ClampSlot(slot)];
  const int32_t pad = pad_;
  const int32_t textHeight = font ? font->Metrics().height : s.fontHeight;
  const int32_t right = s.margin != 0 ? s.x + s.textWidth + 2 * pad
                                      : s.x + 2 * pad + UsableWidth(layout_) + layout_.right / 40;
  return gdi::Rect{s.x, s.y, right, s.y + 2 * pad + textHeight};
}

bool LyricLines::InvalidateForRepaint(const gdi::Rect& area, int which) {
  if (!invalidate_ || !frame_.lyricsShown.load())
    return false;
  invalidate_(area);
  for (int slot : {kSlotA, kSlotB})
    if (Covers(which, slot))
      awaitingPaint_[slot] = true;
  return true;
}

void LyricLines::PlaceLine(int slot, std::string_view text, int32_t blockOffset,
                           int32_t lineIndex) {
  slot = ClampSlot(slot);
  const bool was = gate_.Close();
  LineSlot& s = slots_[slot];
  StoreText(s, text);
  s.blockOffset = blockOffset;
  s.lineIndex = lineIndex;
  FitSlot(slot);
  PrepareWipeBitmap(slot == kSlotA ? kOnlySlotA : kOnlySlotB);
  InvalidateForRepaint(Band(slot), slot == kSlotA ? kOnlySlotA : kOnlySlotB);
  gate_.Restore(was);
}

bool LyricLines::PlaceLineForState(int32_t slotState, std::string_view text, int32_t blockOffset,
                                   int32_t lineIndex) {
  const int slot = PlacementSlotOf(slotState);
  if (slot < 0)
    return false;
  const LineSlot& s = slots_[slot];
  const std::string_view stored = sys::CutBytes(text, kMaxLineBytes, codePage_);
  const std::string_view shown = stored.empty() ? std::string_view(" ") : stored;
  if (shown == s.text && lineIndex == s.lineIndex)
    return false;
  PlaceLine(slot, text, blockOffset, lineIndex);
  return true;
}

void LyricLines::ClearSlots(std::string_view text) {
  const bool was = gate_.Close();
  for (int slot : {kSlotA, kSlotB}) {
    StoreText(slots_[slot], text);
    slots_[slot].lineIndex = -1;
    slots_[slot].blockOffset = 0;
    FitSlot(slot);
  }
  PrepareWipeBitmap(kBothSlots);
  InvalidateForRepaint(gdi::Rect{0, 0, layout_.right, layout_.bottom}, kBothSlots);
  gate_.Restore(was);
}

void LyricLines::SetColourGroup(int slot, int group) {
  slot = ClampSlot(slot);
  group = std::clamp(group, 0, 2);
  if (slots_[slot].colourGroup == group)
    return;
  const bool was = gate_.Close();
  slots_[slot].colourGroup = group;
  FitSlot(slot);
  PrepareWipeBitmap(slot == kSlotA ? kOnlySlotA : kOnlySlotB);
  InvalidateForRepaint(Band(slot), slot == kSlotA ? kOnlySlotA : kOnlySlotB);
  gate_.Restore(was);
}

const gdi::InkRuns* LyricLines::InkOf(int slot) {
  const std::shared_ptr<const gdi::Font>& font = fonts_[slot];
  if (!font)
    return nullptr;
  const LineSlot& s = slots_[slot];
  const gdi::Rect rect = TextRect(slot);
  std::optional<RenderedInk>& kept = ink_[slot];
  if (kept && kept->font == font && kept->text == s.text && kept->width == rect.Width() &&
      kept->height == rect.Height())
    return &kept->ink;
  kept.reset();
  if (rect.IsEmpty())
    return nullptr;
  // The text as it draws in its rectangle, clipped to it.
  kept = RenderedInk{font, s.text, rect.Width(), rect.Height(),
                     gdi::InkRuns::OfText(font, s.text + std::string(kTrailingBlanks), rect.Width(),
                                          rect.Height())};
  return &kept->ink;
}

std::vector<gdi::InkPlacement> LyricLines::InkPlacements(int slot, gdi::Colour outline,
                                                         gdi::Colour centre) {
  std::vector<gdi::InkPlacement> placed;
  const gdi::InkRuns* ink = InkOf(slot);
  if (!ink)
    return placed;
  const gdi::Rect rect = TextRect(slot);
  if (styles_.Outline(slots_[slot].colourGroup)) {
    const int32_t pad = pad_;
    const gdi::Point offsets[] = {{0, -pad}, {0, pad}, {-pad, 0}, {pad, 0}};
    for (const gdi::Point& o : offsets)
      placed.push_back(gdi::InkPlacement{ink, rect.left + o.x, rect.top + o.y, outline});
  }
  placed.push_back(gdi::InkPlacement{ink, rect.left, rect.top, centre});
  return placed;
}

void LyricLines::DrawText(gdi::Dc& dc, int slot, gdi::Colour outline, gdi::Colour centre) {
  const std::vector<gdi::InkPlacement> placed = InkPlacements(slot, outline, centre);
  if (placed.empty())
    return;
  const int saved = dc.Save();
  dc.IntersectClipRect(Band(slot));
  dc.FillInks(placed);
  dc.Restore(saved);
}

int32_t LyricLines::SungColumn(int slot, int32_t edge) const {
  const LineSlot& s = slots_[ClampSlot(slot)];
  if (edge <= 0)
    return std::min<int32_t>(-pad_, s.inkLeft);
  if (edge >= s.textWidth)
    return std::max<int32_t>(s.textWidth + pad_, s.inkRight);
  return edge;
}

void LyricLines::InvertOn(gdi::Dc& dc, int slot, int32_t from, int32_t to) {
  if (!bitmap_ || to <= from)
    return;
  const LineSlot& s = slots_[slot];
  const gdi::Rect r{s.x + from, s.y - pad_, s.x + to, s.y + s.fontHeight + pad_};
  dc.BitBlt(r.left, r.top, r.Width(), r.Height(), *bitmap_, r.left, r.top, gdi::kSrcInvert);
}

void LyricLines::Paint(gdi::Dc& dc, int which, int32_t slotState) {
  const bool was = gate_.Close();
  const int current = CurrentSlotOf(slotState);
  const int32_t currentLine = frame_.currentLine.load();
  const int32_t drawn = wipe_.drawnEdge.load();
  for (int slot : {kSlotA, kSlotB}) {
    if (!Covers(which, slot))
      continue;
    const LineSlot& s = slots_[slot];
    const int g = s.colourGroup;
    DrawText(dc, slot, styles_.Colour(g, 2), styles_.Colour(g, 1));
    if (slot == current) {
      if (drawn > 0)
        InvertOn(dc, slot, SungColumn(slot, 0), SungColumn(slot, drawn));
    } else if (slotState != 0 && s.lineIndex < currentLine) {
      InvertOn(dc, slot, SungColumn(slot, 0), SungColumn(slot, s.textWidth));
    }
    slots_[slot].blankWidth = Extent(fonts_[slot], " ");
  }
  gate_.Restore(was);
}

void LyricLines::OnPaint(gdi::Dc& dc) {
  gate_.Close();
  if (repaintNeedsBitmap_) {
    PrepareWipeBitmap(kBothSlots);
    repaintNeedsBitmap_ = false;
  }
  Paint(dc, kBothSlots, frame_.slotState.load());
  awaitingPaint_ = {false, false};
  gate_.Open();
}

void LyricLines::PrepareSlot(gdi::Dc& bitmapDc, int slot) {
  LineSlot& s = slots_[slot];
  const gdi::Rect band = Band(slot);
  // The old text may have stood elsewhere (a new layout); never into the
  // other slot's band.
  const gdi::Rect other = Band(slot == kSlotA ? kSlotB : kSlotA);
  if (s.wipeRect != band && gdi::Intersect(s.wipeRect, other).IsEmpty())
    bitmapDc.FillRect(s.wipeRect, 0);
  const int g = s.colourGroup;
  bitmapDc.FillRectWithInks(band, 0,
                            InkPlacements(slot,
                                          XorColour(styles_.Colour(g, 2), styles_.Colour(g, 4)),
                                          XorColour(styles_.Colour(g, 1), styles_.Colour(g, 3))));
  s.wipeRect = band;
  // Where the ink went, over the rows the wipe transfers.
  const gdi::Rect rows = gdi::Intersect(
      gdi::Intersect(band, gdi::Rect{0, s.y - pad_, band.right, s.y + s.fontHeight + pad_}),
      gdi::Rect{0, 0, bitmap_->Width(), bitmap_->Height()});
  s.inkLeft = 0;
  s.inkRight = 0;
  if (rows.IsEmpty())
    return;
  const gdi::Colour outlineXor = XorColour(styles_.Colour(g, 2), styles_.Colour(g, 4));
  const gdi::Colour centreXor = XorColour(styles_.Colour(g, 1), styles_.Colour(g, 3));
  const gdi::InkRuns* ink = InkOf(slot);
  int32_t left = INT32_MAX, right = INT32_MIN;
  if (ink && centreXor != 0 && (outlineXor != 0 || !styles_.Outline(g))) {
    // Every pixel inked is non-black in the bitmap: the runs tell where.
    const gdi::Rect rect = TextRect(slot);
    std::vector<gdi::Point> offsets{{0, 0}};
    if (styles_.Outline(g))
      offsets.insert(offsets.end(), {{0, -pad_}, {0, pad_}, {-pad_, 0}, {pad_, 0}});
    for (const gdi::Point& o : offsets) {
      const int32_t dx = rect.left + o.x, dy = rect.top + o.y;
      if (gdi::Intersect(gdi::Offset(ink->Bounds(), dx, dy), rows).IsEmpty())
        continue;
      for (const gdi::InkRun& run : ink->Runs()) {
        const int32_t y = run.y + dy;
        if (y < rows.top || y >= rows.bottom)
          continue;
        const int32_t l = std::max(run.left + dx, rows.left);
        const int32_t r = std::min(run.right + dx, rows.right);
        if (l < r) {
          left = std::min(left, l);
          right = std::max(right, r);
        }
      }
    }
  } else {
    const std::vector<gdi::Colour> px = bitmap_->CopyPixels(rows);
    const int32_t width = rows.Width();
    for (int32_t y = 0; y < rows.Height(); ++y) {
      const gdi::Colour* row = px.data() + static_cast<size_t>(y) * width;
      for (int32_t x = 0; x < width; ++x)
        if (row[x] != 0) {
          left = std::min(left, rows.left + x);
          right = std::max(right, rows.left + x + 1);
        }
    }
  }
  if (right > left) {
    s.inkLeft = left - s.x;
    s.inkRight = right - s.x;
  }
}

void LyricLines::PrepareWipeBitmap(int which) {
  const bool was = gate_.Close();
  if (bitmap_) {
    gdi::Dc dc(bitmap_);
    for (int slot : {kSlotA, kSlotB})
      if (Covers(which, slot))
        PrepareSlot(dc, slot);
  }
  gate_.Restore(was);
}

void LyricLines::SetCurrentSyllable(std::string_view text) {
  syllable_ = std::string(sys::CutBytes(text, kMaxSyllableBytes, codePage_));
}

std::optional<SyllableSpan> LyricLines::MeasureSyllable(uint32_t blockOffset) {
  syllableOffset_ = blockOffset;
  const int current = CurrentSlotOf(frame_.slotState.load());
  if (current < 0)
    return std::nullopt;
  const LineSlot& s = slots_[current];
  const int64_t into = static_cast<int64_t>(blockOffset) - s.blockOffset;
  if (into < 0 || into > kMaxSyllableReach)
    return std::nullopt;
  const std::shared_ptr<const gdi::Font>& font = fonts_[current];
  const std::string_view syllable = syllable_.empty() ? std::string_view(" ") : syllable_;
  const size_t prefix = sys::CutLength(s.text, static_cast<size_t>(into), codePage_);
  SyllableSpan span;
  span.width = Extent(font, syllable);
  span.start = prefix == 0 ? 0 : Extent(font, std::string_view(s.text).substr(0, prefix));
  return span;
}

bool LyricLines::InvertColumns(int slot, int32_t from, int32_t to) {
  if (!surface_ || !bitmap_)
    return false;
  slot = ClampSlot(slot);
  if (to <= from)
    return true;
  const LineSlot& s = slots_[slot];
  const gdi::Rect r{s.x + from, s.y - pad_, s.x + to, s.y + s.fontHeight + pad_};
  gdi::Dc dc(surface_);
  if (!dc.BitBlt(r.left, r.top, r.Width(), r.Height(), *bitmap_, r.left, r.top, gdi::kSrcInvert))
    return false;
  if (update_)
    update_(r);
  return true;
}

} // namespace display
