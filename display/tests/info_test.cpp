// The info view: the lyric text turned into page text, the page built from
// its template, the view's placement for what it shows, and its pages and
// clips over time on the test clock.
#include "display/avi.h"
#include "display/info.h"
#include "display/tests/support/frame_fixture.h"

#include "htmltitle/marquell.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/snapshot.h"
#include "platform/win/timer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>

using namespace display;
using namespace displaytest;

namespace {

TEST(LyricTextPage, Conversion) {
  struct Case {
    const char* name;
    std::string text;
    int32_t lines;
    std::string page;
  } cases[] = {
      {"two lines a paragraph", "A\r\nB\r\nC\r\n", 2, "A / B<P>C / "},
      {"one line a paragraph", "A\r\nB\r\nC\r\n", 1, "A<P>B<P>C<P>"},
      {"zero counts as one", "A\r\nB\r\n", 0, "A<P>B<P>"},
      {"negative counts as one", "A\r\nB\r\n", -3, "A<P>B<P>"},
      {"three lines", "A\rB\rC\rD\r", 3, "A / B / C<P>D / "},
      {"CR only", "A\rB\rC", 2, "A / B<P>C"},
      {"a leading CR LF is no line", "\r\nA\r\nB\r\n", 2, "A / B<P>"},
      {"two leading LFs skipped", "\n\nA\r", 2, "A / "},
      {"a third leading CR ends an empty line", "\r\n\rA\r", 1, "<P>A<P>"},
      {"blanks leading a line dropped", "  A B\r \tC\r", 2, "A B / C<P>"},
      {"an empty line adds nothing", "A\r\r\rB\r", 3, "A / B / "},
      {"an empty line may end a paragraph", "A\r\rB\r", 2, "A / <P>B / "},
      {"LF alone dropped", "A\nB\r", 2, "AB / "},
      {"949 text", "\xb0\xa1\xb3\xaa \xb4\xd9\r\n\xb6\xf3\r\n", 2,
       "\xb0\xa1\xb3\xaa \xb4\xd9 / \xb6\xf3<P>"},
      {"932 text", "\x82\xa0\x82\xa2\r\n  \x83\x41\r\n", 2, "\x82\xa0\x82\xa2 / \x83\x41<P>"},
      {"empty", "", 2, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ConvertLyricText(c.text, c.lines), c.page) << c.name;
}

TEST(LyricTextPage, TheMostGrowthBuildsWholeAndParses) {
  // One-character lines: every 3 bytes become 4 ("X / "), or "X<P>".
  std::string text;
  while (text.size() + 3 <= 10239)
    text += "X\r\n";
  text.resize(10239, 'Y');
  TempFolder dir;
  dir.Write("Lyric.htm", "<HTML><BODY>");
  const std::optional<std::string> page = BuildLyricPage(dir / "Lyric.htm", text, 2);
  ASSERT_TRUE(page);
  const size_t lines = 10239 / 3;
  EXPECT_EQ(page->size(), 12 + (lines + 1) / 2 * 4 + lines / 2 * 4 + 10239 % 3);
  EXPECT_EQ(page->substr(0, 24), "<HTML><BODY>X / X<P>X / ");
  std::string parsed = *page;
  EXPECT_EQ(HTMLParsing(parsed.data()), 1);
  QuillmarkToNULL();
}

TEST(LyricTextPage, TemplateReadUpToItsBoundOrNotAtAll) {
  TempFolder dir;
  EXPECT_FALSE(BuildLyricPage(dir / "missing.htm", "A\r", 2));
  std::filesystem::create_directories(dir / "folder.htm");
  EXPECT_FALSE(BuildLyricPage(dir / "folder.htm", "A\r", 2));
  // A template longer than the bound is taken up to it; one with a NUL up to
  // the NUL.
  dir.Write("big.htm", std::string(kMaxPageTemplate + 100, 'a'));
  EXPECT_EQ(BuildLyricPage(dir / "big.htm", "B\r", 2)->size(), kMaxPageTemplate + 4);
  dir.Write("nul.htm", std::string("<B>\0junk", 8));
  EXPECT_EQ(*BuildLyricPage(dir / "nul.htm", "B\r", 2), "<B>B / ");
}

TEST(LyricTextPage, TemplatePathFromTheSettingsOrBesideThemOrTheProgram) {
  TempFolder dir, program;
  const std::string config = dir / "config.ini";
  dir.Write("config.ini", "");
  EXPECT_EQ(LyricTemplatePath(config, program.Path()), program.Path() + "/Lyric.htm");
  dir.Write("Lyric.htm", "x");
  EXPECT_EQ(LyricTemplatePath(config, program.Path()), std::string(dir / "Lyric.htm"));
  dir.Write("config.ini", "[Words]\nFile=" + std::string(dir / "mine.htm") + "\n");
  EXPECT_EQ(LyricTemplatePath(config, program.Path()), std::string(dir / "mine.htm"));
}

TEST(InfoPlacement, Table) {
  // b 4, client 800 x 600, title at 6 (30 high), lyric area at 400 (120 high).
  auto g = [](bool mode2, int32_t bg, bool edit) {
    InfoGeometry x;
    x.border = 4, x.width = 800, x.height = 600;
    x.titleTop = 6, x.titleHeight = 30, x.lyricTop = 400, x.lyricHeight = 120;
    x.mode2 = mode2, x.backgroundMode = bg, x.layoutEdit = edit;
    return x;
  };
  const gdi::Rect whole{0, 0, 800, 600};
  const gdi::Rect titlePage = gdi::MakeRect(6, 38, 790, 600 - 10 - 38);
  const gdi::Rect textPage = gdi::MakeRect(0, 38, 800, 400 - 36 - 4);
  struct Case {
    const char* name;
    InfoContent content;
    InfoGeometry geometry;
    std::optional<gdi::Rect> want;
  } cases[] = {
      {"title page", InfoContent::TitlePage, g(false, 0, false), titlePage},
      {"title page, layout edit", InfoContent::TitlePage, g(false, 0, true), whole},
      {"title page, mode 2", InfoContent::TitlePage, g(true, 0, false), whole},
      {"title page, mode 2, video mode", InfoContent::TitlePage, g(true, 3, false), std::nullopt},
      {"title page, video mode", InfoContent::TitlePage, g(false, 3, false), titlePage},
      {"text page", InfoContent::TextPage, g(false, 0, false), textPage},
      {"text page, layout edit", InfoContent::TextPage, g(false, 0, true), whole},
      {"text page, mode 2", InfoContent::TextPage, g(true, 2, false), whole},
      {"text page, mode 2, video mode", InfoContent::TextPage, g(true, 3, true), std::nullopt},
      {"video", InfoContent::Video, g(false, 3, false), textPage},
      {"video, layout edit", InfoContent::Video, g(false, 3, true), whole},
      {"video, mode 2", InfoContent::Video, g(true, 3, false), whole},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InfoRect(c.content, c.geometry), c.want) << c.name;

  // The gap between the strips at most half the lyric area: an empty place.
  InfoGeometry tight = g(false, 3, false);
  tight.lyricTop = 36 + 60; // a gap of 60 = 120 / 2
  EXPECT_EQ(InfoRect(InfoContent::TextPage, tight), gdi::Rect{});
  EXPECT_EQ(InfoRect(InfoContent::Video, tight), gdi::Rect{});
  tight.lyricTop += 1;
  EXPECT_EQ(InfoRect(InfoContent::TextPage, tight), gdi::MakeRect(0, 38, 800, 57));
}

// A clip player that keeps what it was asked.
class FakeVideo : public InfoVideo {
public:
  struct Log {
    std::vector<std::string> calls;
    bool fullScreen = false, playOnce = false;
  };
  explicit FakeVideo(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  bool Open(win::Hwnd, const std::string& path) override {
    log_->calls.push_back("open " + path);
    open_ = path != "bad.avi";
    return open_;
  }
  void Place(win::Hwnd parent) override { log_->calls.push_back(parent ? "place" : "park"); }
  void PlayOrStop(win::Hwnd, bool allow) override {
    playing_ = allow && !playing_;
    log_->calls.push_back(playing_ ? "play" : "stop");
  }
  void RealisePalette() override { log_->calls.push_back("palette"); }
  void Close() override {
    if (open_)
      log_->calls.push_back("close");
    open_ = playing_ = false;
  }
  bool IsOpen() const override { return open_; }
  bool IsPlaying() const override { return playing_; }
  void SetFullScreen(bool on) override { log_->fullScreen = on; }
  void SetPlayOnce(bool on) override { log_->playOnce = on; }
  gdi::Rect VideoRect() const override { return open_ ? gdi::Rect{10, 20, 110, 80} : gdi::Rect{}; }

private:
  std::shared_ptr<Log> log_;
  bool open_ = false, playing_ = false;
};

class InfoViewTest : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    win::InstallTimerClock(&clock);
    dir.Write("Lyric.htm", "<HTML><BODY>");
    dir.Write("config.ini", "[Avi/Flc]\nFullScreen=0\nAutoChange=0\n");
    log = std::make_shared<FakeVideo::Log>();
    SetInfoVideoFactory([l = log] { return std::make_unique<FakeVideo>(l); });
    Start();
  }
  void TearDown() override {
    FrameTest::TearDown();
    SetInfoVideoFactory(nullptr);
    win::InstallTimerClock(nullptr);
  }
  void Copy(uintptr_t kind, const std::string& bytes) {
    win::SendCopyData(hwnd, 0, kind, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  CKivo32Info& I() { return *frame->Info(); }
  bool Visible() { return ui::IsWindowVisible(I().Hwnd()); }

  win::ManualTimerClock clock;
  std::shared_ptr<FakeVideo::Log> log;
};

TEST_F(InfoViewTest, ATitlePageShowsFor1812MsAndNotWhileTheWipeRuns) {
  EXPECT_FALSE(log->fullScreen);
  EXPECT_FALSE(log->playOnce);
  EXPECT_FALSE(Visible());
  Copy(kHtmlPageCopy, "<HTML><BODY>Title</BODY></HTML>");
  EXPECT_EQ(I().Content(), CKivo32Info::kTitlePage);
  EXPECT_TRUE(Visible());
  EXPECT_EQ(frame->Page(), "<HTML><BODY>Title</BODY></HTML>");
  EXPECT_NE(htmltitle::CurrentResult(), nullptr);
  clock.Advance(1811);
  EXPECT_TRUE(I().ShowsTitlePage());
  clock.Advance(1);
  EXPECT_EQ(I().Content(), 0u);
  EXPECT_FALSE(Visible());
  EXPECT_EQ(htmltitle::CurrentResult(), nullptr);

  frame->Timing()->Start();
  Copy(kHtmlPageCopy, "<HTML>Other</HTML>");
  EXPECT_EQ(I().Content(), 0u);
  EXPECT_FALSE(Visible());
  frame->Timing()->Stop();
}

TEST_F(InfoViewTest, TheLyricTextPageFromTheRecordUpToItsNul) {
  Copy(kLyricTextCopy, "");
  EXPECT_EQ(I().Content(), 0u);
  Copy(kLyricTextCopy, std::string("\r\nOne\r\nTwo\r\nThree\r\n\0Four\r\n", 27));
  EXPECT_EQ(I().Content(), CKivo32Info::kLyricPage);
  EXPECT_EQ(frame->Page(), "<HTML><BODY>One / Two<P>Three / ");
  EXPECT_TRUE(Visible());
  // Refreshed on the host's word; the menu's command takes it away.
  win::SendMessage(hwnd, win::WM_USER, kInfoViewRefresh, 0);
  EXPECT_TRUE(I().ShowsLyricPage());
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLyricText, 0);
  EXPECT_EQ(I().Content(), 0u);
  EXPECT_FALSE(Visible());
  EXPECT_EQ(htmltitle::CurrentResult(), nullptr);
  // Without a template there is no page.
  std::filesystem::remove(dir / "Lyric.htm");
  dir.Write("config.ini", "[Words]\nFile=" + std::string(dir / "none.htm") + "\n");
  Copy(kLyricTextCopy, "One\r\n");
  EXPECT_EQ(I().Content(), 0u);
  EXPECT_FALSE(Visible());
}

TEST_F(InfoViewTest, PagesAndClipsTogether) {
  // The lyric page with a clip: both stand.
  I().ShowVideoArea();
  log->calls.clear();
  ASSERT_TRUE(I().OpenVideo("clip.avi"));
  I().PlayVideoCommand(true);
  EXPECT_TRUE(I().VideoPlaying());
  Copy(kLyricTextCopy, "A\r\n");
  EXPECT_EQ(I().Content(), CKivo32Info::kVideo | CKivo32Info::kLyricPage);

  // A title page during the clip: the clip stays, and when the page ends
  // the view stays up around it.
  Copy(kHtmlPageCopy, "<HTML>Title</HTML>");
  EXPECT_EQ(I().Content(), CKivo32Info::kVideo | CKivo32Info::kTitlePage);
  clock.Advance(1812);
  EXPECT_EQ(I().Content(), CKivo32Info::kVideo);
  EXPECT_TRUE(Visible());
  EXPECT_TRUE(I().VideoPlaying());
  EXPECT_EQ(htmltitle::CurrentResult(), nullptr);

  // A second play command repaints the clip's last place first and keeps
  // the new one, in the frame's coordinates.
  const gdi::Rect inFrame = I().RectInFrame();
  EXPECT_EQ(I().LastVideoRect(), gdi::Offset(gdi::Rect{10, 20, 110, 80}, inFrame.left, inFrame.top));

  // Closing the clip ends the view.
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kCloseVideo, 0);
  EXPECT_EQ(I().Content(), CKivo32Info::kVideo); // not in background mode 3
  I().CloseVideo();
  EXPECT_EQ(I().Content(), 0u);
  EXPECT_FALSE(Visible());
  EXPECT_FALSE(I().VideoOpen());
  EXPECT_EQ(log->calls, (std::vector<std::string>{"open clip.avi", "place", "play", "place",
                                                  "place", "close"}));
  // A clip that does not open leaves the view empty.
  EXPECT_FALSE(I().OpenVideo("bad.avi"));
  EXPECT_FALSE(I().ShowsVideo());
}

TEST_F(InfoViewTest, AClipsEndAsksForTheNextAndFullScreenIsReadAgain) {
  I().ShowVideoArea();
  ASSERT_TRUE(I().OpenVideo("clip.avi"));
  log->calls.clear();
  dir.Write("config.ini", "[Avi/Flc]\nFullScreen=1\n");
  I().RereadFullScreen();
  EXPECT_TRUE(log->fullScreen);
  EXPECT_TRUE(log->playOnce);
  EXPECT_EQ(log->calls, std::vector<std::string>{"place"});
  I().RereadFullScreen(); // unchanged: not placed again
  EXPECT_EQ(log->calls.size(), 1u);

  // Playing repaints the clip's last place on the frame, but not in full
  // screen, where the clip fills the view.
  I().PlayVideoCommand(true); // the first: no last place yet
  ASSERT_FALSE(I().LastVideoRect().IsEmpty());
  ui::ValidateRect(hwnd, nullptr);
  I().PlayVideoCommand(true);
  EXPECT_FALSE(ui::GetUpdateRect(hwnd));
  dir.Write("config.ini", "[Avi/Flc]\nFullScreen=0\n");
  I().RereadFullScreen();
  EXPECT_FALSE(log->fullScreen);
  ui::ValidateRect(hwnd, nullptr);
  const gdi::Rect last = I().LastVideoRect();
  I().PlayVideoCommand(true);
  EXPECT_EQ(ui::GetUpdateRect(hwnd), last);
}

TEST_F(InfoViewTest, InLayoutEditModeACtrlDragMovesThePage) {
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
  ASSERT_TRUE(frame->LayoutEdit());
  Copy(kHtmlPageCopy, "<HTML>Title</HTML>");
  ASSERT_TRUE(Visible());
  // In layout-edit mode a title page takes the whole client area.
  EXPECT_EQ(I().RectInFrame(), frame->Client());
  const gdi::Rect before = ui::GetWindowRect(I().Hwnd()).value();
  const win::Hwnd view = I().Hwnd();
  // A press where none of the floating views lies over the page.
  gdi::Point at{-1, -1};
  for (int32_t y = 2; y < before.Height() && at.x < 0; y += 4)
    for (int32_t x = 2; x < before.Width() && at.x < 0; x += 4) {
      bool covered = false;
      for (Kivo32View* v : {static_cast<Kivo32View*>(frame->Word()),
                            static_cast<Kivo32View*>(frame->Title()),
                            static_cast<Kivo32View*>(frame->Num())})
        covered = covered || ui::GetWindowRect(v->Hwnd())->Contains({before.left + x, before.top + y});
      if (!covered)
        at = {x, y};
    }
  ASSERT_GE(at.x, 0);
  win::SendMessage(view, win::WM_LBUTTONDOWN, ui::MK_LBUTTON | ui::MK_CONTROL,
                   ui::MakeLParam(at.x, at.y));
  win::ProcessPendingMessages();
  // The frame holds the mouse while the page follows it.
  const gdi::Point to = ui::ScreenToClient(hwnd, {before.left + at.x + 20, before.top + at.y + 15});
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, ui::MK_LBUTTON | ui::MK_CONTROL,
                   ui::MakeLParam(to.x, to.y));
  win::SendMessage(hwnd, win::WM_LBUTTONUP, ui::MK_CONTROL, ui::MakeLParam(to.x, to.y));
  EXPECT_EQ(ui::GetWindowRect(I().Hwnd()), gdi::Offset(before, 20, 15));
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
}

// A clip of background mode 3 on the real device, between the strips and the
// lyric view, with a picture of the frame showing it.
TEST_F(FrameTest, AClipPlaysInTheInfoViewBetweenTheStripsAndTheLyrics) {
  if (!mediatest::HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  const std::string clip = mediatest::MakeClip(
      "info-160.avi", "-f lavfi -i testsrc2=size=160x90:rate=10 -t 2 -c:v rawvideo "
                      "-pix_fmt bgr24 -f avi");
  ASSERT_FALSE(clip.empty());
  media::RegisterVideoDevices();
  SetInfoVideoFactory([] { return std::make_unique<AviPlayer>(); });
  CKivo32Frame& f = Start();
  ui::MoveWindow(hwnd, 40, 30, 640, 480, true);
  win::ProcessPendingMessages();
  f.SetBackgroundMode(kModeInfo);
  CKivo32Info& info = *f.Info();
  info.ShowVideoArea();
  ASSERT_TRUE(info.OpenVideo(clip));
  info.PlayVideoCommand(true);
  ASSERT_TRUE(info.VideoPlaying());
  // The view fills the gap between the title strip and the lyric view.
  const gdi::Rect title = f.Title()->RectInFrame(), word = f.Word()->RectInFrame();
  EXPECT_EQ(info.RectInFrame(), gdi::MakeRect(0, title.bottom + 2, f.Client().Width(),
                                              word.top - title.bottom - 4));
  auto* avi = static_cast<AviPlayer*>(info.Video());
  ASSERT_NE(avi->VideoWindow(), 0u);
  const gdi::Rect shown = avi->VideoRect();
  EXPECT_EQ(shown.Width(), 160);
  EXPECT_EQ(info.LastVideoRect(), gdi::Offset(shown, 0, title.bottom + 2));
  ASSERT_TRUE(PumpUntil([&] {
    auto dc = ui::GetDc(avi->VideoWindow());
    return dc && dc->Target()->Pixel(80, 45) != 0;
  }));

  // The frame's picture with the views and the clip over it.
  QImage picture;
  const gdi::Point origin = ui::ClientToScreen(hwnd, {0, 0});
  int part = 0;
  for (win::Hwnd w : {hwnd, f.Title()->Hwnd(), f.Num()->Hwnd(), f.Word()->Hwnd(), info.Hwnd(),
                      avi->VideoWindow()}) {
    const std::string file = dir / ("part" + std::to_string(part++) + ".png");
    ui::InvalidateRect(w, nullptr, true);
    ui::UpdateWindow(w);
    if (!ui::SaveWindowImage(w, file))
      continue;
    const QImage image(QString::fromStdString(file));
    if (picture.isNull()) {
      picture = image;
      continue;
    }
    const gdi::Point at = ui::ClientToScreen(w, {0, 0});
    QPainter painter(&picture);
    painter.drawImage(at.x - origin.x, at.y - origin.y, image);
  }
  ASSERT_FALSE(picture.isNull());
  const QRgb middle = picture.pixel(shown.left + 80, title.bottom + 2 + shown.top + 45);
  EXPECT_NE(middle, qRgb(0, 0, 0));
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/kivo32-page-video.png";
  if (picture.save(QString::fromStdString(path)))
    RecordProperty("picture", path);
  info.CloseVideo();
  Close();
  SetInfoVideoFactory(nullptr);
}

} // namespace
