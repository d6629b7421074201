// DrawHTML as the display calls it: on the caller's device context, which
// gets its state back, within the caller's clip, and not at all without a
// parse result or a context.
#include "htmltitle/marquell.h"
#include "htmltitle/tokenlist.h"
#include "support/rendering.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace htmltitle {
namespace {

using gdi::Rect;
using gdi::Rgb;

constexpr gdi::Colour kBlack = Rgb(0, 0, 0);

// Everything a page can change.
const char kBusyPage[] =
    "<BODY><A HREF=x>link</A><FONT COLOR=red BACKGROUND=navy SIZE=20 FACE=\"DejaVu Serif\">big"
    "<O COLOR=yellow TYPE=outline>outlined<B><I><U>styled<P ALIGN=right SIZE=30>right"
    "<H2>heading<ALIGN TYPE=center>centred and long enough to wrap onto the next line";

struct ContextState {
  std::shared_ptr<const gdi::Font> font;
  gdi::Colour text;
  gdi::Colour background;
  int bkMode;
  uint32_t align;
  Rect clip;

  static ContextState Of(gdi::Dc& dc) {
    return {dc.CurrentFont(), dc.TextColor(), dc.BkColor(),
            dc.BkMode(),      dc.TextAlign(), dc.ClipBox()};
  }
};

class DrawHtmlExport : public ::testing::Test {
protected:
  void TearDown() override { QuillmarkToNULL(); }

  // The page is parsed into the library's own result, as the display does.
  void Parse(const std::string& page) {
    text_.assign(page.begin(), page.end());
    text_.push_back('\0');
    ASSERT_EQ(HTMLParsing(text_.data()), 1);
  }

  std::vector<char> text_;
};

TEST_F(DrawHtmlExport, ExportedByItsOwnName) {
  const std::string path = std::string(VEXO_BIN_DIR) + "/libMarquell.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << path;
  EXPECT_EQ(dlsym(library, "DrawHTML"), reinterpret_cast<void*>(&DrawHTML));
  dlclose(library);
}

TEST_F(DrawHtmlExport, TheContextGetsItsStateBack) {
  auto surface = gdi::Surface::Create(320, 140, kBlack);
  gdi::Dc dc(surface);
  gdi::LogFont lf;
  lf.height = -17;
  lf.SetFaceName("DejaVu Sans Mono");
  const auto font = gdi::Font::Create(lf);
  ASSERT_TRUE(font);
  dc.SelectFont(font);
  dc.SetTextColor(Rgb(10, 200, 30));
  dc.SetBkColor(Rgb(1, 2, 3));
  dc.SetBkMode(gdi::kOpaque);
  dc.SetTextAlign(gdi::kTaBaseline | gdi::kTaRight);
  dc.SetClipRect(Rect{0, 0, 310, 130});
  const ContextState before = ContextState::Of(dc);

  Parse(kBusyPage);
  DrawHTML(&dc, 300, 120);
  EXPECT_GT(CountOf(*surface, Ink(kBlack)), 0);
  const ContextState after = ContextState::Of(dc);
  EXPECT_EQ(after.font, before.font);
  EXPECT_EQ(after.text, before.text);
  EXPECT_EQ(after.background, before.background);
  EXPECT_EQ(after.bkMode, before.bkMode);
  EXPECT_EQ(after.align, before.align);
  EXPECT_EQ(after.clip, before.clip);
  // Drawing after the page is as it would have been without it.
  auto fresh = gdi::Surface::Create(320, 140, kBlack);
  gdi::Dc reference(fresh);
  reference.SelectFont(font);
  reference.SetTextColor(Rgb(10, 200, 30));
  reference.SetBkColor(Rgb(1, 2, 3));
  reference.SetBkMode(gdi::kOpaque);
  reference.SetTextAlign(gdi::kTaBaseline | gdi::kTaRight);
  dc.FillRect(Rect{0, 0, 320, 140}, kBlack);
  dc.TextOut(200, 100, "after");
  reference.TextOut(200, 100, "after");
  EXPECT_EQ(surface->CopyPixels(), fresh->CopyPixels());
}

TEST_F(DrawHtmlExport, TheStartingColourIsTheContexts) {
  auto surface = gdi::Surface::Create(200, 40, kBlack);
  gdi::Dc dc(surface);
  dc.SetTextColor(Rgb(255, 255, 255));
  Parse("<B>HHHH");
  DrawHTML(&dc, 200, 40);
  EXPECT_GT(CountOf(*surface, Exactly(Rgb(255, 255, 255))), 0);
  EXPECT_EQ(CountOf(*surface,
                    [](gdi::Colour c) {
                      return gdi::RedOf(c) != gdi::GreenOf(c) || gdi::GreenOf(c) != gdi::BlueOf(c);
                    }),
            0);
}

TEST_F(DrawHtmlExport, StaysWithinTheCallersClipAndThePage) {
  struct Case {
    Rect callerClip; // empty: none
    int32_t width;
    int32_t height;
    Rect allowed;
  };
  const Case cases[] = {
      {Rect{}, 300, 120, Rect{0, 0, 300, 120}},
      {Rect{0, 0, 120, 50}, 300, 120, Rect{0, 0, 120, 50}},
      {Rect{0, 0, 400, 400}, 150, 60, Rect{0, 0, 150, 60}},
  };
  for (const Case& c : cases) {
    auto surface = gdi::Surface::Create(400, 200, kBlack);
    gdi::Dc dc(surface);
    dc.SetTextColor(Rgb(255, 255, 255));
    if (!c.callerClip.IsEmpty()) {
      dc.SetClipRect(c.callerClip);
    }
    Parse(kBusyPage);
    DrawHTML(&dc, c.width, c.height);
    const Rect ink = BoxOf(*surface, Ink(kBlack));
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_EQ(gdi::Intersect(ink, c.allowed), ink) << c.width << "x" << c.height;
  }
}

TEST_F(DrawHtmlExport, BusyPageIsTheSameThroughTheExportAndWithTheCallersAlignment) {
  Parse(kBusyPage);
  auto viaExport = gdi::Surface::Create(320, 140, kBlack);
  gdi::Dc dc(viaExport);
  dc.SetTextColor(Rgb(255, 255, 255));
  // A caller's alignment and current-position mode do not move the texts.
  dc.SetTextAlign(gdi::kTaUpdateCp | gdi::kTaBaseline);
  DrawHTML(&dc, 300, 120);
  const Rendering direct = Render(kBusyPage, 300, 120);
  EXPECT_EQ(viaExport->CopyPixels(), direct.surface->CopyPixels());
}

TEST_F(DrawHtmlExport, NothingWithoutAResultAPageOrAContext) {
  auto surface = gdi::Surface::Create(100, 40, kBlack);
  gdi::Dc dc(surface);
  dc.SetTextColor(Rgb(255, 255, 255));
  dc.SetBkMode(gdi::kOpaque);
  const ContextState before = ContextState::Of(dc);

  QuillmarkToNULL();
  DrawHTML(&dc, 100, 40); // no parse result
  Parse("");
  DrawHTML(&dc, 100, 40); // an empty page: the end token alone
  Parse("<TITLE>only a title");
  DrawHTML(&dc, 100, 40);
  Parse("<B>text");
  DrawHTML(nullptr, 100, 40);
  DrawHTML(&dc, 0, 0);
  EXPECT_EQ(CountOf(*surface, Ink(kBlack)), 0);
  const ContextState after = ContextState::Of(dc);
  EXPECT_EQ(after.font, before.font);
  EXPECT_EQ(after.bkMode, before.bkMode);
  EXPECT_EQ(after.clip, before.clip);

  // The result stays and can be drawn again; freed, it is not drawn.
  DrawHTML(&dc, 100, 40);
  EXPECT_GT(CountOf(*surface, Ink(kBlack)), 0);
  dc.FillRect(Rect{0, 0, 100, 40}, kBlack);
  QuillmarkToNULL();
  DrawHTML(&dc, 100, 40);
  EXPECT_EQ(CountOf(*surface, Ink(kBlack)), 0);
}

TEST_F(DrawHtmlExport, ValuesAreLowerCasedInTheResult) {
  Parse("<FONT COLOR=ReD FACE=\"DejaVu Sans\"><P ALIGN=CENTER><O TYPE=OUTLINE>x");
  auto surface = gdi::Surface::Create(100, 40, kBlack);
  gdi::Dc dc(surface);
  DrawHTML(&dc, 100, 40);
  std::string values;
  for (const HtmlTokenNode* t = CurrentResult()->First(); t != nullptr; t = t->next.get()) {
    for (const HtmlAttrNode* a = t->attributes.get(); a != nullptr; a = a->next.get()) {
      values += std::string(a->value.get()) + ";";
    }
  }
  // Colours, alignments and outline types; a face is a name and keeps its case.
  EXPECT_EQ(values, "red;DejaVu Sans;center;outline;");
}

} // namespace
} // namespace htmltitle
