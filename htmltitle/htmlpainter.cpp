#include "htmltitle/htmlpainter.h"

#include "htmltitle/dbcs.h"
#include "htmltitle/htmlstyle.h"
#include "platform/gdi/muldiv.h"
#include "platform/sys/codepage.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace htmltitle {
namespace {

constexpr int32_t kLeftMargin = 5;
constexpr int32_t kRightMargin = 5;
constexpr int32_t kStartLineHeight = 10;
constexpr int32_t kBodyPoints = 10;
constexpr int32_t kHeadingDrop = 10;
// Point sizes beyond this are held here before the conversion to pixels,
// which then holds them at the largest font height there is.
constexpr int32_t kMaxPoints = 4096;

// Sums on the pen are held within the drawing layer's coordinate range, so
// that no page, however many gaps it adds, overflows them.
int32_t Advance(int32_t from, int64_t by) {
  const int64_t to = static_cast<int64_t>(from) + by;
  return static_cast<int32_t>(std::clamp<int64_t>(to, -gdi::kMaxCoordinate, gdi::kMaxCoordinate));
}

uint32_t FormatOf(int32_t alignment) {
  switch (alignment) {
  case kAlignCenter:
    return gdi::kDtCenter;
  case kAlignRight:
    return gdi::kDtRight;
  default:
    return gdi::kDtLeft;
  }
}

// The bytes of text that take `room` pixels of its measured width: n x room
// / width. A text that has no width takes no room, so all of it fits.
int64_t ShareOf(int64_t n, int64_t room, int64_t width) {
  if (room <= 0)
    return 0;
  if (width <= 0)
    return n;
  return std::min(n, n * room / width);
}

struct Offset2 {
  int32_t dx;
  int32_t dy;
};
constexpr std::array<Offset2, 4> kOutlineOffsets = {{{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}};
constexpr std::array<Offset2, 1> kShadowOffsets = {{{1, 1}}};

class Painter {
public:
  Painter(gdi::Dc& dc, int32_t width, int32_t height, const RunObserver& observer)
      : dc_(dc), height_(height), rightEdge_(Advance(width, -kRightMargin)), observer_(observer) {
    const int dpi = dc_.DeviceCaps(gdi::DeviceCap::LogPixelsY);
    dpi_ = dpi > 0 ? dpi : gdi::kLogPixels;
  }

  void Paint(HtmlTokenNode* first) {
    description_.height = HeightOfPoints(kBodyPoints);
    description_.width = 0;
    description_.weight = gdi::kWeightNormal;
    description_.charSet = gdi::kDefaultCharSet;
    description_.outPrecision = 7; // TrueType faces only
    created_ = gdi::Font::Create(description_, dc_.SystemCodePage());
    before_ = dc_.SelectFont(created_);
    saved_ = current_ = dc_.TextColor();

    for (HtmlTokenNode* token = first; token != nullptr && token->kind != TokenKind::ParserEnd;
         token = token->next.get()) {
      TokenFlags flags;
      Apply(*token, flags);
      if (flags.fontChanged)
        RecreateFont();
      if (!flags.suppressed && token->text != nullptr && token->textLength > 0 &&
          !DrawTokenText(*token))
        return;
      if (flags.breakAfter) {
        NewLine(lineHeight_);
        if (y_ > height_)
          return;
      }
    }
  }

private:
  struct TokenFlags {
    bool fontChanged = false;
    bool suppressed = false;
    bool breakAfter = false;
  };

  int32_t HeightOfPoints(int32_t points) const {
    points = std::clamp(points, 1, kMaxPoints);
    return -std::clamp(gdi::MulDiv(points, dpi_, 72), 1, gdi::kMaxFontHeight);
  }

  void NewLine(int32_t drop) {
    x_ = kLeftMargin;
    y_ = Advance(y_, drop);
  }

  void SetTextColour(gdi::Colour c) {
    dc_.SetTextColor(c);
    current_ = c;
  }

  void Apply(HtmlTokenNode& token, TokenFlags& flags) {
    using enum TokenKind;
    const TokenKind kind = token.kind;
    switch (kind) {
    case A:
      saved_ = dc_.TextColor();
      SetTextColour(gdi::Rgb(0, 0, 255));
      break;
    case EndA:
      SetTextColour(saved_);
      break;
    case B:
    case EndB:
      description_.weight = kind == B ? gdi::kWeightBold : gdi::kWeightNormal;
      flags.fontChanged = true;
      break;
    case I:
    case Cite:
    case EndI:
    case EndCite:
      description_.italic = kind == I || kind == Cite ? 1 : 0;
      flags.fontChanged = true;
      break;
    case U:
    case EndU:
      description_.underline = kind == U ? 1 : 0;
      flags.fontChanged = true;
      break;
    case Br:
      NewLine(lineHeight_);
      break;
    case Font:
      ApplyFont(token, flags);
      break;
    case EndFont:
      dc_.SetBkMode(gdi::kTransparent);
      break;
    case H1:
    case H2:
    case H3:
    case H4:
    case H5:
    case H6: {
      const int32_t level = (static_cast<int32_t>(kind) - static_cast<int32_t>(H1)) / 2;
      description_.height = HeightOfPoints(20 - 2 * level);
      flags.fontChanged = true;
      NewLine(kHeadingDrop);
      break;
    }
    case EndH1:
    case EndH2:
    case EndH3:
    case EndH4:
    case EndH5:
    case EndH6:
      description_.height = HeightOfPoints(kBodyPoints);
      flags.fontChanged = true;
      flags.breakAfter = true;
      break;
    case P:
      gap_ = lineHeight_;
      for (HtmlAttrNode* a = token.attributes.get(); a != nullptr; a = a->next.get()) {
        if (a->kind == AttrKind::Align)
          alignment_ = DecodeAlignment(a->value.get());
        else if (a->kind == AttrKind::Size)
          gap_ = DecodeDecimal(a->value.get());
      }
      NewLine(gap_);
      break;
    case EndP:
      NewLine(gap_);
      alignment_ = kAlignLeft;
      break;
    case TokenKind::Align:
      for (HtmlAttrNode* a = token.attributes.get(); a != nullptr; a = a->next.get())
        if (a->kind == AttrKind::Type)
          alignment_ = DecodeAlignment(a->value.get());
      break;
    case EndAlign:
      alignment_ = kAlignLeft;
      break;
    case O:
      ApplyOutline(token);
      break;
    case EndO:
      outline_ = false;
      dc_.SetTextColor(current_);
      break;
    case Title:
    case Comment:
      flags.suppressed = true;
      break;
    default:
      break;
    }
  }

  void ApplyFont(HtmlTokenNode& token, TokenFlags& flags) {
    if (token.attributes == nullptr)
      return;
    dc_.SetBkMode(gdi::kTransparent);
    for (HtmlAttrNode* a = token.attributes.get(); a != nullptr; a = a->next.get()) {
      char* value = a->value.get();
      switch (a->kind) {
      case AttrKind::Size:
        description_.height = HeightOfPoints(DecodeDecimal(value));
        flags.fontChanged = true;
        break;
      case AttrKind::Color:
        SetTextColour(DecodeColour(value));
        break;
      case AttrKind::Face:
        description_.SetFaceName(value != nullptr ? value : "", dc_.SystemCodePage());
        flags.fontChanged = true;
        break;
      case AttrKind::Background:
        dc_.SetBkMode(gdi::kOpaque);
        dc_.SetBkColor(DecodeColour(value));
        break;
      default:
        break;
      }
    }
  }

  void ApplyOutline(HtmlTokenNode& token) {
    outline_ = true;
    current_ = dc_.TextColor();
    outlineType_ = kShadowText;
    if (token.attributes == nullptr) {
      const uint8_t grey = static_cast<uint8_t>(255 - gdi::RedOf(dc_.TextColor()));
      outlineColour_ = gdi::Rgb(grey, grey, grey);
      return;
    }
    for (HtmlAttrNode* a = token.attributes.get(); a != nullptr; a = a->next.get()) {
      if (a->kind == AttrKind::Color)
        outlineColour_ = DecodeColour(a->value.get());
      else if (a->kind == AttrKind::Type)
        outlineType_ = DecodeOutlineType(a->value.get());
    }
  }

  // A font that cannot be made leaves the context in the font it had before
  // the page; the next change tries again.
  void RecreateFont() {
    dc_.SelectFont(before_);
    created_ = gdi::Font::Create(description_, dc_.SystemCodePage());
    dc_.SelectFont(created_);
  }

  int CodePage() {
    const std::shared_ptr<const gdi::Font>& font = dc_.CurrentFont();
    return font ? font->CodePage() : sys::kDefaultCodePage;
  }

  // Moves a cut of k bytes back off the trail byte of a double-byte
  // character. Code 949 counts every high byte after a lead as a trail;
  // other double-byte code pages have trail bytes below 0x80 too, so their
  // own lead bytes decide.
  size_t CutBeforeTrail(std::string_view rest, size_t k, int codePage) const {
    if (k == 0 || k >= rest.size())
      return k;
    if (codePage == 949) {
      const bool highBit = (static_cast<unsigned char>(rest[k]) & 0x80) != 0;
      return highBit && GetDbcsByteClass(rest.data(), static_cast<int32_t>(k)) == 2 ? k - 1 : k;
    }
    if (sys::IsDoubleByteCodePage(codePage))
      return sys::CutLength(rest, k, codePage);
    return k;
  }

  // Draws the token's text at the pen, wrapping it onto further lines when
  // it does not fit. False when painting is to stop.
  bool DrawTokenText(const HtmlTokenNode& token) {
    const std::string_view text(token.text.get(), static_cast<size_t>(token.textLength));
    gdi::Size extent = dc_.TextExtent(text);
    lineHeight_ = extent.cy;
    if (static_cast<int64_t>(x_) + extent.cx <= rightEdge_) {
      DrawPiece(token, 0, text, FormatOf(alignment_));
      x_ = Advance(x_, extent.cx);
      return true;
    }
    if (y_ > height_)
      return false;

    // Pieces by the measured share of bytes; the first continues the line,
    // the others start at the margin, all left-aligned.
    const int codePage = CodePage();
    size_t done = 0;
    size_t k = static_cast<size_t>(ShareOf(static_cast<int64_t>(text.size()),
                                           static_cast<int64_t>(rightEdge_) - x_, extent.cx));
    bool firstPiece = true;
    for (;;) {
      const std::string_view rest = text.substr(done);
      k = CutBeforeTrail(rest, k, codePage);
      // Not one character fits at the margin: the rest of this text is not
      // shown, rather than tried again on every line below.
      if (k == 0 && !firstPiece)
        return true;
      if (k > 0)
        DrawPiece(token, done, rest.substr(0, k), gdi::kDtLeft);
      if (k == rest.size()) {
        x_ = Advance(x_, extent.cx);
        return true;
      }
      done += k;
      firstPiece = false;
      NewLine(lineHeight_);
      // Lines further down would not show.
      if (y_ > height_)
        return false;
      const std::string_view left = text.substr(done);
      extent = dc_.TextExtent(left);
      lineHeight_ = extent.cy;
      k = extent.cx < rightEdge_
              ? left.size()
              : static_cast<size_t>(ShareOf(static_cast<int64_t>(left.size()),
                                            static_cast<int64_t>(rightEdge_) - x_, extent.cx));
    }
  }

  // The piece in the rectangle from the pen to the right edge, one line
  // high, not clipped to it; outline copies first.
  void DrawPiece(const HtmlTokenNode& token, size_t offset, std::string_view piece,
                 uint32_t align) {
    const gdi::Rect rect{x_, y_, rightEdge_, Advance(y_, lineHeight_)};
    const uint32_t format = align | gdi::kDtSingleLine | gdi::kDtNoClip | gdi::kDtNoPrefix;
    if (outline_) {
      dc_.SetTextColor(outlineColour_);
      auto copies = [&](auto offsets) {
        for (const Offset2& o : offsets) {
          gdi::Rect r = gdi::Offset(rect, o.dx, o.dy);
          dc_.DrawText(piece, r, format);
        }
      };
      if (outlineType_ == kOutlineText)
        copies(kOutlineOffsets);
      else
        copies(kShadowOffsets);
      dc_.SetTextColor(current_);
    }
    gdi::Rect r = rect;
    dc_.DrawText(piece, r, format);
    if (observer_) {
      DrawnRun run;
      run.token = &token;
      run.offset = static_cast<int32_t>(offset);
      run.length = static_cast<int32_t>(piece.size());
      run.rect = rect;
      run.format = align;
      run.colour = dc_.TextColor();
      run.outlined = outline_;
      run.outlineType = outlineType_;
      run.outlineColour = outlineColour_;
      run.font = dc_.CurrentFont();
      observer_(run);
    }
  }

  gdi::Dc& dc_;
  int32_t height_;
  int32_t rightEdge_;
  const RunObserver& observer_;
  int dpi_ = gdi::kLogPixels;

  int32_t x_ = kLeftMargin;
  int32_t y_ = 0;
  int32_t lineHeight_ = kStartLineHeight;
  gdi::LogFont description_;
  std::shared_ptr<const gdi::Font> created_;
  std::shared_ptr<const gdi::Font> before_;
  int32_t gap_ = 0;
  int32_t alignment_ = kAlignLeft;
  gdi::Colour saved_ = 0;
  gdi::Colour current_ = 0;
  bool outline_ = false;
  gdi::Colour outlineColour_ = gdi::Rgb(0, 0, 0);
  int32_t outlineType_ = kShadowText;
};

// Puts the context's state back however painting ends.
class StateGuard {
public:
  explicit StateGuard(gdi::Dc& dc) : dc_(dc), depth_(dc.Save()) {}
  ~StateGuard() { dc_.Restore(depth_); }
  StateGuard(const StateGuard&) = delete;
  StateGuard& operator=(const StateGuard&) = delete;

private:
  gdi::Dc& dc_;
  int depth_;
};

} // namespace

void PaintTokens(gdi::Dc& dc, HtmlTokenNode* first, int32_t width, int32_t height,
                 const RunObserver& observer) {
  const StateGuard guard(dc);
  dc.SetBkMode(gdi::kTransparent);
  // Within whatever the caller already confines drawing to.
  dc.IntersectClipRect(gdi::Rect{0, 0, width, height});
  if (first == nullptr)
    return;
  Painter painter(dc, width, height, observer);
  painter.Paint(first);
}

} // namespace htmltitle
