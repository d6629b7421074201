// The title strip and the reservation numbers: their texts, the fit that
// narrows a title instead of cutting it, the outlines painted offscreen and
// checked pixel by pixel, the entries' hit rectangles, and the one-second
// title display a click on a number starts, on the test clock.
#include "display/lyric/lyric_style_table.h"
#include "display/num.h"
#include "display/resources.h"
#include "display/tests/support/frame_fixture.h"
#include "display/title.h"

#include "platform/gdi/surface.h"
#include "platform/sys/codepage.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/snapshot.h"
#include "platform/win/timer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <climits>
#include <cstring>
#include <filesystem>

#include "platform/win/tests/support/child_process.h"

namespace {

using namespace display;
using namespace displaytest;

using Mask = std::vector<bool>;
constexpr gdi::Colour kBlack = 0;

Mask MaskOf(const std::vector<gdi::Colour>& px, gdi::Colour c) {
  Mask m(px.size());
  for (size_t i = 0; i < px.size(); ++i)
    m[i] = px[i] == c;
  return m;
}

size_t Count(const Mask& m) {
  return static_cast<size_t>(std::count(m.begin(), m.end(), true));
}

// The mask shifted one pixel left, right, up and down, less the mask.
Mask RingOf(const Mask& centre, int32_t width, int32_t height) {
  Mask ring(centre.size());
  const gdi::Point shifts[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (centre[static_cast<size_t>(y) * width + x])
        for (const gdi::Point& s : shifts) {
          const int32_t xx = x + s.x, yy = y + s.y;
          if (xx >= 0 && xx < width && yy >= 0 && yy < height)
            ring[static_cast<size_t>(yy) * width + xx] = true;
        }
  for (size_t i = 0; i < ring.size(); ++i)
    ring[i] = ring[i] && !centre[i];
  return ring;
}

std::string Latin(const std::string& utf8) {
  return sys::FromUtf8(utf8, 949).value();
}

class Styles {
public:
  Styles() : table((StartSession(), dir / "config.ini")) { table.LoadAndStore(); }
  TempFolder dir;
  LyricStyleTable table;
};

TEST(TitleText, NumberAndTitleOrTheTitle) {
  struct Case {
    int32_t number;
    const char* announced;
    const char* title;
    const char* text;
  } cases[] = {
      {7, "ABC", "Song", "   7 ABC"},
      {0, "ABC", "Song", "Song"},
      {12345, "Long", "", "12345 Long"},
      {-3, "", "Song", "  -3 "},
      {0, "", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TitleStripText(c.number, c.announced, c.title), c.text) << c.number;
}

TEST(TitleText, CutsKeepWholeCharacters) {
  CKivo32Frame frame;
  CKivo32Title title(frame);
  const std::string hangul = "\xB0\xA1"; // one double-byte character of code page 949
  struct Case {
    std::string given;
    std::string title;
  } cases[] = {
      {std::string(60, 'a'), std::string(48, 'a')},
      {std::string(47, 'a') + hangul, std::string(47, 'a')},
      {std::string(46, 'a') + hangul + "z", std::string(46, 'a') + hangul},
      {std::string("Song\0rest", 9), "Song"},
  };
  for (const Case& c : cases) {
    title.SetTitle(c.given);
    EXPECT_EQ(title.Title(), c.title);
  }
  title.SetAnnounced(3, std::string(120, 'b'));
  EXPECT_EQ(title.AnnouncedTitle(), std::string(99, 'b'));
  title.SetAnnounced(3, std::string(98, 'b') + hangul);
  EXPECT_EQ(title.AnnouncedTitle(), std::string(98, 'b'));
}

TEST(TitleFit, NarrowsNeverWidensAndStopsAtOne) {
  // A stand-in font: each of the characters takes the width asked for, or
  // ownWidth for the face's own width.
  struct Case {
    const char* what;
    int32_t width, characters, average, ownWidth;
    int32_t charWidth;
    bool centred;
  } cases[] = {
      {"fits as it is", 400, 20, 10, 10, 0, false},
      {"exactly as wide still narrows", 200, 20, 10, 10, 9, true},
      {"narrowed step by step", 100, 20, 10, 10, 4, true},
      {"no wider than the face's average", 300, 20, 10, 16, 10, true},
      {"a trial below 1 is 1", 10, 40, 10, 10, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TitleFit fit = FitTitle(c.width, c.characters, c.average, [&](int32_t w) {
      return c.characters * (w == 0 ? c.ownWidth : w);
    });
    EXPECT_EQ(fit.charWidth, c.charWidth);
    EXPECT_EQ(fit.centred, c.centred);
    EXPECT_LE(fit.passes, 60);
  }
  // A text that never fits stops after 60 passes, or at width 1.
  int calls = 0;
  const TitleFit stuck = FitTitle(1000, 2, 400, [&](int32_t) {
    ++calls;
    return 5000;
  });
  EXPECT_EQ(stuck.passes, 60);
  EXPECT_EQ(calls, 61);
}

TEST(NumText, EntryTexts) {
  struct Case {
    int32_t number;
    const char* text;
  } cases[] = {
      {12, "12  "},         {0, "    "},       {-1, "VX3 "},   {-2, "SB3 "},
      {-3, "MID "},         {-4, "KAR "},      {-5, "SW3 "},   {-6, ""},
      {2147483647, "2147483647"}, {INT32_MIN, ""}, {12345, "12345"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReserveEntryText(c.number), c.text) << c.number;
}

// A reservation buffer from numbers and titles, laid out by hand: each
// entry's number (little-endian) at byte 52 x i, its title after it.
ReserveBuffer Reservations(std::initializer_list<std::pair<int32_t, std::string>> entries) {
  ReserveBuffer b{};
  size_t i = 0;
  for (const auto& [number, title] : entries) {
    const auto n = static_cast<uint32_t>(number);
    for (int k = 0; k < 4; ++k)
      b[i * 52 + k] = static_cast<uint8_t>(n >> (8 * k));
    std::memcpy(b.data() + i * 52 + 4, title.data(), std::min<size_t>(title.size(), 48));
    ++i;
  }
  return b;
}

TEST(NumText, NumbersAndTitlesFromTheBuffer) {
  CKivo32Frame frame;
  CKivo32Num num(frame);
  EXPECT_TRUE(num.IsEmpty());
  // Entry 2's title fills its 48 bytes with no NUL and ends in a lead byte.
  const std::string cut = std::string(47, 'm') + "\xB0";
  num.SetNumbers(Reservations({{12, "Twelve"}, {0, ""}, {-3, cut}, {0, ""}, {0, ""}}), 949);
  EXPECT_FALSE(num.IsEmpty());
  EXPECT_EQ(num.Numbers(), (std::array<int32_t, 5>{12, 0, -3, 0, 0}));
  EXPECT_EQ(num.RowText(), "12      MID         ");
  EXPECT_EQ(num.EntryTitle(0), "Twelve");
  EXPECT_EQ(num.EntryTitle(2), std::string(47, 'm'));
  num.SetNumbers(Reservations({{0, "x"}, {0, ""}, {0, ""}, {0, ""}, {0, "y"}}), 949);
  EXPECT_TRUE(num.IsEmpty());
}

struct Offscreen {
  Offscreen(int32_t w, int32_t h) : width(w), height(h), surface(gdi::Surface::Create(w, h, kBlack)),
                                    dc(surface) {}
  std::vector<gdi::Colour> Pixels() const { return surface->CopyPixels(); }
  int32_t width, height;
  std::shared_ptr<gdi::Surface> surface;
  gdi::Dc dc;
};

TEST(TitlePaint, OutlineRingInColour17AroundTheCentreInColour16) {
  Styles s;
  Offscreen o(400, 40);
  TitlePainter painter;
  painter.Paint(o.dc, {0, 0, 400, 40}, "Title Hg", s.table, 949);
  EXPECT_FALSE(painter.Fit().centred); // short: right-aligned, face's own width
  const auto px = o.Pixels();
  const Mask centre = MaskOf(px, s.table.Entry(16));
  const Mask ring = MaskOf(px, s.table.Entry(17));
  ASSERT_GT(Count(centre), 100u);
  EXPECT_EQ(ring, RingOf(centre, o.width, o.height));
  for (size_t i = 0; i < px.size(); ++i)
    if (!centre[i] && !ring[i])
      ASSERT_EQ(px[i], kBlack) << i % 400 << "," << i / 400;
  // Right-aligned: the ink ends at the strip's right edge less the inset.
  int32_t right = 0;
  for (int32_t y = 0; y < o.height; ++y)
    for (int32_t x = 0; x < o.width; ++x)
      if (ring[static_cast<size_t>(y) * o.width + x])
        right = std::max(right, x);
  EXPECT_GE(right, 380);
  EXPECT_LE(right, 399);
}

TEST(TitlePaint, LongTitlesAreSqueezedNotCut) {
  Styles s;
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"latin", "The Longest Title Anyone Ever Gave A Karaoke Song"},
      {"korean 48 bytes", Latin("사랑의 노래는 언제나 우리들 있어요 영원히 남아요")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.what[0] == 'k')
      ASSERT_EQ(c.text.size(), 48u) << c.text.size();
    // The strip at x 100 to 400 of a wider picture: nothing may reach
    // outside it.
    Offscreen o(500, 30);
    const gdi::Rect strip{100, 0, 400, 30};
    TitlePainter painter;
    painter.Paint(o.dc, strip, c.text, s.table, 949);
    const TitleFit& fit = painter.Fit();
    EXPECT_TRUE(fit.centred);
    EXPECT_GT(fit.charWidth, 0);
    EXPECT_LT(fit.textWidth, strip.Width());
    const auto px = o.Pixels();
    int32_t left = o.width, right = -1;
    size_t inked = 0;
    for (int32_t y = 0; y < o.height; ++y)
      for (int32_t x = 0; x < o.width; ++x)
        if (px[static_cast<size_t>(y) * o.width + x] != kBlack) {
          ++inked;
          left = std::min(left, x);
          right = std::max(right, x);
        }
    EXPECT_GT(inked, 200u);
    EXPECT_GE(left, strip.left);
    EXPECT_LT(right, strip.right);
    // The whole text, not a part: it spans most of the strip.
    EXPECT_GT(right - left, strip.Width() * 2 / 3);
    // The same text drawn in the fitted font on a wide picture inks the
    // same number of centre pixels.
    Offscreen wide(2000, 30);
    wide.dc.SelectFont(painter.CurrentFont());
    wide.dc.SetBkMode(gdi::kTransparent);
    wide.dc.SetTextColor(s.table.Entry(16));
    wide.dc.TextOut(10, 1, c.text);
    EXPECT_EQ(Count(MaskOf(wide.Pixels(), s.table.Entry(16))),
              Count(MaskOf(px, s.table.Entry(16))));
  }
}

TEST(NumPaint, EntriesAlternateColourPairsPixelExactAndHitAtTheirEdges) {
  Styles s;
  CKivo32Frame frame;
  CKivo32Num num(frame);
  num.SetNumbers(Reservations({{12, ""}, {0, ""}, {-3, ""}, {7, ""}, {-1, ""}}), 949);
  const int32_t w = 600, h = 40;
  Offscreen o(w, h);
  num.PaintRow(o.dc, {0, 0, w, h}, s.table, 949);
  const auto px = o.Pixels();

  // The expected picture, entry by entry in the font the row was fitted to.
  gdi::LogFont lf = s.table.Font(5);
  lf.height = h - 3;
  lf.width = num.CharWidth();
  const auto font = gdi::Font::Create(lf, 949);
  ASSERT_TRUE(font);
  std::vector<gdi::Colour> expected(px.size(), kBlack);
  const auto& hits = num.HitRects();
  for (int i = 0; i < 5; ++i) {
    const std::string text = ReserveEntryText(num.Numbers()[i]);
    Offscreen one(w, h);
    one.dc.SelectFont(font);
    one.dc.SetBkMode(gdi::kTransparent);
    one.dc.SetTextColor(gdi::Rgb(255, 255, 255));
    one.dc.TextOut(hits[i].left, 1, text);
    const Mask glyph = MaskOf(one.Pixels(), gdi::Rgb(255, 255, 255));
    const Mask ring = RingOf(glyph, w, h);
    const bool even = i % 2 == 0;
    for (size_t k = 0; k < expected.size(); ++k) {
      if (ring[k])
        expected[k] = s.table.Entry(even ? 12 : 14);
      if (glyph[k])
        expected[k] = s.table.Entry(even ? 13 : 15);
    }
  }
  EXPECT_GT(Count(MaskOf(px, s.table.Entry(13))), 50u);
  EXPECT_GT(Count(MaskOf(px, s.table.Entry(15))), 50u);
  ASSERT_EQ(px, expected);

  // Hit rectangles follow each other from the one-pixel inset.
  EXPECT_EQ(hits[0].left, 1);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    ASSERT_FALSE(hits[i].IsEmpty());
    if (i > 0)
      EXPECT_EQ(hits[i].left, hits[i - 1].right);
    EXPECT_EQ(num.HitEntry(hits[i].left), i);
    EXPECT_EQ(num.HitEntry(hits[i].right - 1), i);
    EXPECT_EQ(num.HitEntry(hits[i].right), i < 4 ? i + 1 : -1);
  }
  EXPECT_EQ(num.HitEntry(0), -1);
  EXPECT_EQ(num.HitEntry(w - 1), hits[4].right > w - 1 ? 4 : -1);
}

TEST(NumPaint, ALongRowIsNarrowedToTheUsableWidth) {
  Styles s;
  CKivo32Frame frame;
  CKivo32Num num(frame);
  num.SetNumbers(Reservations({{2147483647, ""}, {123456789, ""}, {12345, ""}, {98765, ""},
                               {55555, ""}}),
                 949);
  Offscreen o(200, 40);
  num.PaintRow(o.dc, {0, 0, 200, 40}, s.table, 949);
  EXPECT_GT(num.CharWidth(), 0);
  EXPECT_LE(num.HitRects()[4].right, 200);
}

// The frame in this process on the test clock, with a song's title, five
// reservations and an announced next song.
class TitleDisplayTest : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    win::InstallTimerClock(&clock);
    StartHost();
    Start();
  }
  void TearDown() override {
    FrameTest::TearDown();
    win::InstallTimerClock(nullptr);
  }
  void Copy(uintptr_t kind, const std::string& bytes) {
    win::SendCopyData(hwnd, 0, kind, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  void Announce() {
    Copy(kTitleCopy, "Current song");
    const ReserveBuffer list =
        Reservations({{12, "Twelfth song"}, {0, ""}, {-3, "Midi song"}, {0, ""}, {0, ""}});
    Copy(kReserveListCopy, std::string(list.begin(), list.end()));
    Copy(kNextSongCopy, std::string("\x07\0\0\0ABC", 7));
    ui::UpdateWindow(hwnd);
    ui::UpdateWindow(frame->Num()->Hwnd());
    win::ProcessPendingMessages();
  }
  void ClickEntry(int entry) {
    const gdi::Rect r = frame->Num()->HitRects()[entry];
    win::SendMessage(frame->Num()->Hwnd(), win::WM_LBUTTONDOWN, ui::MK_LBUTTON,
                     ui::MakeLParam((r.left + r.right) / 2, 3));
  }
  CKivo32Title& T() { return *frame->Title(); }

  win::ManualTimerClock clock;
};

TEST_F(TitleDisplayTest, AClickShowsTheEntrysTitleForOneSecond) {
  Announce();
  EXPECT_EQ(T().Text(), "   7 ABC");
  ASSERT_FALSE(frame->Num()->HitRects()[2].IsEmpty());

  struct Case {
    int entry;
    std::string shown;
  } cases[] = {
      {0, "Twelfth song"},
      {2, "Midi song"},
      {1, LoadStringBytes(38, 100)}, // an empty place
  };
  ASSERT_FALSE(cases[2].shown.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    ClickEntry(c.entry);
    EXPECT_TRUE(frame->Num()->Busy());
    EXPECT_EQ(frame->Num()->Selected(), c.entry);
    EXPECT_EQ(T().Text(), c.shown);
    clock.Advance(500);
    // Another entry while a title shows: nothing changes, no new timer.
    ClickEntry(c.entry == 0 ? 4 : 0);
    EXPECT_EQ(T().Text(), c.shown);
    EXPECT_EQ(frame->Num()->Selected(), c.entry);
    clock.Advance(499);
    EXPECT_EQ(T().Text(), c.shown);
    clock.Advance(1);
    // The strip's own texts back: the announced song, and under it the title.
    EXPECT_FALSE(frame->Num()->Busy());
    EXPECT_EQ(T().Text(), "   7 ABC");
    EXPECT_EQ(T().Title(), "Current song");
    EXPECT_EQ(T().AnnouncedNumber(), 7);
    EXPECT_EQ(T().AnnouncedTitle(), "ABC");
    clock.Advance(2000); // and no second end
    EXPECT_EQ(T().Text(), "   7 ABC");
  }
  // With nothing announced the song's own title comes back.
  T().SetIdle();
  ClickEntry(2);
  EXPECT_EQ(T().Text(), "Midi song");
  clock.Advance(1000);
  EXPECT_EQ(T().Text(), "Current song");
}

TEST_F(TitleDisplayTest, TheStripsPaintedOverTheFrame) {
  Announce();
  const win::Hwnd strip = frame->Title()->Hwnd();
  ui::InvalidateRect(strip, nullptr, true);
  ui::UpdateWindow(strip);
  EXPECT_FALSE(frame->Num()->HitRects()[0].IsEmpty());
  EXPECT_GT(frame->Title()->Painter().Fit().textWidth, 0);
}

TEST(FloatRect, StoredPlacesUsedAndWrittenOnlyWhenSound) {
  const gdi::Rect screen{0, 0, 1024, 768};
  struct Case {
    gdi::Rect r;
    bool usable, storable;
  } cases[] = {
      {{100, 50, 400, 90}, true, true},
      {{0, 0, 1024, 768}, true, true},
      {{10, 10, 10, 100}, false, false},      // empty
      {{300, 10, 100, 40}, false, false},     // inverted
      {{5000, 5000, 5300, 5100}, false, false}, // wholly off screen
      {{-100, -50, 50, 50}, true, true},      // partly on screen
      {{900, 10, 1025, 60}, true, false},     // right edge beyond the screen
      {{900, 700, 1000, 769}, true, false},   // bottom edge beyond it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.r.left << "," << c.r.top << "," << c.r.right << ","
                                      << c.r.bottom);
    EXPECT_EQ(UsableFloatRect(c.r, screen), c.usable);
    EXPECT_EQ(StorableFloatRect(c.r, screen), c.storable);
  }
}

// A top-level screen window of this process standing for the host's window.
class HostWindow : public ui::ScreenWindow {};

class ViewPlacementTest : public FrameTest {
protected:
  void TearDown() override {
    FrameTest::TearDown();
    if (hostObject && hostObject->GetHwnd())
      win::DestroyWindow(hostObject->GetHwnd());
  }
  std::vector<Kivo32View*> Views() {
    return {frame->Word(), frame->Title(), frame->Num()};
  }
  gdi::Rect ScreenRectOf(Kivo32View* v) { return ui::GetWindowRect(v->Hwnd()).value(); }
  std::string Key(const char* key) { return Ini("Words", key); }
  win::Hwnd MakeHostWindow(gdi::Rect rect) {
    if (!win::IsClassRegistered("TestTitleHost")) {
      ui::ScreenClass c;
      c.name = "TestTitleHost";
      c.factory = [] { return std::make_unique<HostWindow>(); };
      c.background = gdi::Rgb(0, 0, 80);
      ui::RegisterScreenClass(c);
    }
    hostObject = std::make_unique<HostWindow>();
    win::CreateParams p;
    p.className = "TestTitleHost";
    p.style = win::WS_POPUP | win::WS_VISIBLE;
    p.x = rect.left, p.y = rect.top, p.width = rect.Width(), p.height = rect.Height();
    p.object = hostObject.get();
    return win::CreateWindow(p);
  }
  std::unique_ptr<HostWindow> hostObject;
};

TEST_F(ViewPlacementTest, LayoutEditFloatsTheViewsAtTheirPlacesAndLeavingStoresThem) {
  // The title's place is sound; the numbers' is inverted and the lyric
  // view's wholly off screen, so those two open where they are.
  dir.Write("config.ini", "[Words]\nTitle_x=100\nTitle_y=50\nTitle_cx=400\nTitle_cy=90\n"
                          "ResvNum_x=300\nResvNum_y=10\nResvNum_cx=100\nResvNum_cy=40\n"
                          "Lyric_x=5000\nLyric_y=5000\nLyric_cx=5600\nLyric_cy=5200\n");
  CKivo32Frame& f = Start();
  const std::string title = "Layout edit";
  win::SendCopyData(hwnd, 0, kTitleCopy, title.data(), static_cast<uint32_t>(title.size()));
  const ReserveBuffer list = Reservations({{12, ""}, {0, ""}, {-3, ""}, {0, ""}, {0, ""}});
  win::SendCopyData(hwnd, 0, kReserveListCopy, list.data(), static_cast<uint32_t>(list.size()));
  const gdi::Rect wordAt = ScreenRectOf(f.Word()), numAt = ScreenRectOf(f.Num());
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
  ASSERT_TRUE(f.LayoutEdit());
  for (Kivo32View* v : Views()) {
    EXPECT_TRUE(v->Floating());
    EXPECT_EQ(win::GetParent(v->Hwnd()), 0u);
    EXPECT_NE(win::GetWindowStyle(v->Hwnd()) & ui::WS_THICKFRAME, 0u);
    EXPECT_EQ(win::GetWindowStyle(v->Hwnd()) & win::WS_CHILD, 0u);
  }
  EXPECT_EQ(ScreenRectOf(f.Title()), (gdi::Rect{100, 50, 400, 90}));
  EXPECT_EQ(ScreenRectOf(f.Num()), numAt);
  EXPECT_EQ(ScreenRectOf(f.Word()), wordAt);

  // A Ctrl-drag moves each floating view with the mouse.
  const gdi::Point moves[] = {{20, 10}, {-15, 25}, {30, -5}};
  std::vector<gdi::Rect> moved;
  int i = 0;
  for (Kivo32View* v : Views()) {
    const gdi::Point by = moves[i++];
    const gdi::Rect before = ScreenRectOf(v);
    const win::Hwnd w = v->Hwnd();
    win::SendMessage(w, win::WM_LBUTTONDOWN, ui::MK_LBUTTON | ui::MK_CONTROL, ui::MakeLParam(40, 8));
    win::SendMessage(w, win::WM_MOUSEMOVE, ui::MK_LBUTTON | ui::MK_CONTROL,
                     ui::MakeLParam(40 + by.x, 8 + by.y));
    win::SendMessage(w, win::WM_LBUTTONUP, ui::MK_CONTROL, ui::MakeLParam(40, 8));
    EXPECT_EQ(ScreenRectOf(v), gdi::Offset(before, by.x, by.y)) << i;
    moved.push_back(ScreenRectOf(v));
  }
  EXPECT_FALSE(f.Num()->Busy()); // a Ctrl press on the numbers is no click

  // The picture of the frame with the three views floating over it.
  {
    const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
    std::filesystem::create_directories(folder);
    const gdi::Rect frameAt = ui::GetWindowRect(hwnd).value();
    gdi::Rect all = frameAt;
    for (const gdi::Rect& r : moved)
      all = gdi::Union(all, r);
    QImage picture(all.Width(), all.Height(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    std::vector<std::pair<win::Hwnd, gdi::Rect>> windows{{hwnd, frameAt}};
    for (Kivo32View* v : Views())
      windows.emplace_back(v->Hwnd(), ScreenRectOf(v));
    for (const auto& [w, r] : windows) {
      const std::string part = dir / "part.png";
      ui::InvalidateRect(w, nullptr, true);
      ui::UpdateWindow(w);
      if (ui::SaveWindowImage(w, part))
        painter.drawImage(r.left - all.left, r.top - all.top, QImage(QString::fromStdString(part)));
    }
    painter.end();
    const std::string path = folder + "/kivo32-layout-edit.png";
    if (picture.save(QString::fromStdString(path)))
      RecordProperty("picture", path);
  }

  // The numbers moved beyond the screen's right edge keep their old keys.
  const gdi::Rect screen = ui::ScreenRect();
  ui::MoveWindow(f.Num()->Hwnd(), screen.Width() - 50, 10, 100, 30, true);
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
  ASSERT_FALSE(f.LayoutEdit());
  for (Kivo32View* v : Views()) {
    EXPECT_FALSE(v->Floating());
    EXPECT_EQ(win::GetParent(v->Hwnd()), hwnd);
  }
  EXPECT_EQ(Key("Title_x"), std::to_string(moved[1].left));
  EXPECT_EQ(Key("Title_y"), std::to_string(moved[1].top));
  EXPECT_EQ(Key("Title_cx"), std::to_string(moved[1].right));
  EXPECT_EQ(Key("Title_cy"), std::to_string(moved[1].bottom));
  EXPECT_EQ(Key("Lyric_x"), std::to_string(moved[0].left));
  EXPECT_EQ(Key("Lyric_cy"), std::to_string(moved[0].bottom));
  EXPECT_EQ(Key("ResvNum_x"), "300");
  EXPECT_EQ(Key("ResvNum_cx"), "100");

  // Floating again, the title opens where it was left.
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
  EXPECT_EQ(ScreenRectOf(f.Title()), moved[1]);
  // Closing the frame while they float docks them and stores their places.
  ui::MoveWindow(f.Title()->Hwnd(), 200, 60, 300, 40, true);
  Close();
  EXPECT_EQ(Ini("Words", "Title_x"), "200");
  EXPECT_EQ(Ini("Words", "Title_cy"), "100");
}

TEST_F(ViewPlacementTest, AModeTwoRecordPlacesTheViewsInTheHostWindowAndAResetBringsThemBack) {
  CKivo32Frame& f = Start();
  std::vector<gdi::Rect> docked;
  for (Kivo32View* v : Views())
    docked.push_back(v->RectInFrame());
  const win::Hwnd host = MakeHostWindow({100, 80, 700, 560});
  ASSERT_NE(host, 0u);
  DisplayModeRecord d;
  d.mode = 2;
  d.hostWindow = static_cast<uint32_t>(host);
  d.x = 0, d.y = 0, d.width = 600, d.height = 480;
  const int32_t lyric[4] = {10, 300, 580, 120}, number[4] = {10, 10, 280, 30},
                title[4] = {300, 10, 290, 30};
  std::copy(std::begin(lyric), std::end(lyric), d.lyric);
  std::copy(std::begin(number), std::end(number), d.number);
  std::copy(std::begin(title), std::end(title), d.title);
  const std::vector<uint8_t> bytes = WriteDisplayModeRecord(d);
  win::SendCopyData(hwnd, 0, kDisplayModeCopy, bytes.data(), static_cast<uint32_t>(bytes.size()));
  ASSERT_TRUE(f.PlacedByMode2());
  const int32_t* want[] = {lyric, title, number};
  int i = 0;
  for (Kivo32View* v : Views()) {
    SCOPED_TRACE(i);
    const int32_t* r = want[i++];
    EXPECT_TRUE(v->InHost());
    EXPECT_EQ(win::GetParent(v->Hwnd()), host);
    const uint32_t style = win::GetWindowStyle(v->Hwnd());
    EXPECT_NE(style & win::WS_CHILD, 0u);
    EXPECT_EQ(style & ui::WS_THICKFRAME, 0u);
    EXPECT_EQ(ui::GetWindowExStyle(v->Hwnd()) & (ui::WS_EX_CLIENTEDGE | ui::WS_EX_WINDOWEDGE), 0u);
    EXPECT_EQ(ui::GetWindowRect(v->Hwnd()),
              (gdi::Rect{100 + r[0], 80 + r[1], 100 + r[0] + r[2], 80 + r[1] + r[3]}));
  }
  // The lyric view paints on black there.
  {
    const std::string part = dir / "word.png";
    ui::InvalidateRect(f.Word()->Hwnd(), nullptr, true);
    ui::UpdateWindow(f.Word()->Hwnd());
    ASSERT_TRUE(ui::SaveWindowImage(f.Word()->Hwnd(), part));
    const QImage word(QString::fromStdString(part));
    ASSERT_FALSE(word.isNull());
    EXPECT_EQ(word.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(word.pixel(word.width() - 2, word.height() - 2), qRgb(0, 0, 0));
  }
  win::SendMessage(hwnd, win::WM_USER, kDisplayModeReset, 0);
  EXPECT_FALSE(f.PlacedByMode2());
  i = 0;
  for (Kivo32View* v : Views()) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(v->InHost());
    EXPECT_EQ(win::GetParent(v->Hwnd()), hwnd);
    EXPECT_EQ(v->RectInFrame(), docked[i++]);
  }
}


// A window's picture as this process paints it.
QImage PictureOf(win::Hwnd w, const std::string& path) {
  ui::InvalidateRect(w, nullptr, true);
  ui::UpdateWindow(w);
  if (!ui::SaveWindowImage(w, path))
    return {};
  return QImage(QString::fromStdString(path));
}

TEST_F(ViewPlacementTest, TheFloatingStripIsAFramedWindowOnTheButtonFaceAndTheDockedOneSeeThrough) {
  CKivo32Frame& f = Start();
  const std::string title = "Strip";
  win::SendCopyData(hwnd, 0, kTitleCopy, title.data(), static_cast<uint32_t>(title.size()));
  const win::Hwnd strip = f.Title()->Hwnd();
  const uint32_t edges = ui::WS_EX_CLIENTEDGE | ui::WS_EX_WINDOWEDGE;
  EXPECT_EQ(ui::GetWindowExStyle(strip) & (edges | ui::WS_EX_TRANSPARENT), ui::WS_EX_TRANSPARENT);
  const QImage docked = PictureOf(strip, dir / "docked.png");
  ASSERT_FALSE(docked.isNull());
  EXPECT_NE(docked.pixel(1, 1), qRgb(192, 192, 192)); // the frame's background

  // A docked strip that changes size repaints nothing of itself.
  ui::ValidateRect(strip, nullptr);
  win::SendMessage(strip, win::WM_SIZE, 0, ui::MakeLParam(300, 30));
  EXPECT_FALSE(ui::GetUpdateRect(strip));

  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
  ASSERT_TRUE(f.Title()->Floating());
  EXPECT_EQ(ui::GetWindowExStyle(strip) & (edges | ui::WS_EX_TRANSPARENT), edges);
  EXPECT_NE(win::GetWindowStyle(strip) & ui::WS_THICKFRAME, 0u);
  const QImage floating = PictureOf(strip, dir / "floating.png");
  ASSERT_FALSE(floating.isNull());
  EXPECT_EQ(floating.pixel(2, 2), qRgb(192, 192, 192));
  // Floating, a new size paints the strip anew.
  ui::ValidateRect(strip, nullptr);
  win::SendMessage(strip, win::WM_SIZE, 0, ui::MakeLParam(300, 30));
  EXPECT_TRUE(ui::GetUpdateRect(strip));

  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
  EXPECT_EQ(ui::GetWindowExStyle(strip) & (edges | ui::WS_EX_TRANSPARENT), ui::WS_EX_TRANSPARENT);
}

// A mode-2 record naming host, with the views' rectangles in it.
std::vector<uint8_t> ModeTwoRecord(win::Hwnd host) {
  DisplayModeRecord d;
  d.mode = 2;
  d.hostWindow = static_cast<uint32_t>(host);
  d.width = 600, d.height = 480;
  const int32_t lyric[4] = {10, 300, 580, 120}, number[4] = {10, 10, 280, 30},
                title[4] = {300, 10, 290, 30};
  std::copy(std::begin(lyric), std::end(lyric), d.lyric);
  std::copy(std::begin(number), std::end(number), d.number);
  std::copy(std::begin(title), std::end(title), d.title);
  return WriteDisplayModeRecord(d);
}

TEST_F(ViewPlacementTest, InTheHostsWindowTheLyricViewIsItsItem5021AndTheStripNotSeeThrough) {
  CKivo32Frame& f = Start();
  const win::Hwnd host = MakeHostWindow({100, 80, 700, 560});
  ASSERT_NE(host, 0u);
  EXPECT_EQ(win::GetDlgCtrlId(f.Word()->Hwnd()), kWordId);
  const std::vector<uint8_t> bytes = ModeTwoRecord(host);
  win::SendCopyData(hwnd, 0, kDisplayModeCopy, bytes.data(), static_cast<uint32_t>(bytes.size()));
  ASSERT_TRUE(f.Word()->InHost());
  EXPECT_EQ(win::GetDlgCtrlId(f.Word()->Hwnd()), kHostLyricItem);
  EXPECT_EQ(ui::GetWindowExStyle(f.Title()->Hwnd()) & ui::WS_EX_TRANSPARENT, 0u);
  win::SendMessage(hwnd, win::WM_USER, kDisplayModeReset, 0);
  EXPECT_EQ(win::GetDlgCtrlId(f.Word()->Hwnd()), kWordId);
  EXPECT_NE(ui::GetWindowExStyle(f.Title()->Hwnd()) & ui::WS_EX_TRANSPARENT, 0u);
}

TEST_F(ViewPlacementTest, AHostWindowOfAnotherProcessTakesTheViewsOverIt) {
  CKivo32Frame& f = Start();
  auto peer = wintest::ChildProcess::Start(wintest::HelperPath("screen_host"), {}, true);
  ASSERT_TRUE(peer);
  const std::optional<std::string> line = peer->ReadLineStartingWith("hwnd ", 15000);
  ASSERT_TRUE(line);
  const auto host = static_cast<win::Hwnd>(std::stoul(line->substr(5)));
  ASSERT_TRUE(win::IsWindow(host));
  ASSERT_FALSE(ui::IsScreenWindow(host)); // not one of this process
  std::vector<gdi::Rect> docked;
  for (Kivo32View* v : Views())
    docked.push_back(v->RectInFrame());

  const std::vector<uint8_t> bytes = ModeTwoRecord(host);
  win::SendCopyData(hwnd, 0, kDisplayModeCopy, bytes.data(), static_cast<uint32_t>(bytes.size()));
  ASSERT_TRUE(f.PlacedByMode2());
  // Each view sits over the host's window at its rectangle, shown.
  const gdi::Rect want[] = {{110, 380, 690, 500}, {400, 90, 690, 120}, {110, 90, 390, 120}};
  int i = 0;
  for (Kivo32View* v : Views()) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(v->InHost());
    EXPECT_EQ(win::GetParent(v->Hwnd()), host);
    EXPECT_EQ(ui::GetWindowRect(v->Hwnd()), want[i++]);
    EXPECT_TRUE(ui::IsWindowVisible(v->Hwnd()));
  }
  win::SendMessage(hwnd, win::WM_USER, kDisplayModeReset, 0);
  i = 0;
  for (Kivo32View* v : Views()) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(v->InHost());
    EXPECT_EQ(win::GetParent(v->Hwnd()), hwnd);
    EXPECT_EQ(v->RectInFrame(), docked[i++]);
  }
  peer->CloseStdin();
  const std::optional<int> status = peer->Wait(15000);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

} // namespace
