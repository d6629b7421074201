// The frame's still images with the loader's worker run as steps of the
// test: a picture dropped during a preload shown when the preload ends, the
// preloaded picture taken over on WM_USER+103 and swapped back when nothing
// follows, a resize during a load, and requests whose every picture fails to
// decode ending after a bounded number of tries.
#include "display/imageengine.h"
#include "display/tests/support/frame_fixture.h"
#include "display/tests/support/stepped_workers.h"
#include "display/utils.h"

#include "platform/ui/window/drop.h"
#include "platform/ui/window/input.h"
#include "platform/win/loop.h"

#include <filesystem>

using namespace display;
using namespace displaytest;

namespace {

namespace fs = std::filesystem;

std::string Bmp(gdi::Colour c) {
  auto dib = gdi::Dib::Create(120, 120, 24);
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 120; ++x) {
      uint8_t* p = dib->RowFromTop(y) + 3 * x;
      p[0] = gdi::BlueOf(c), p[1] = gdi::GreenOf(c), p[2] = gdi::RedOf(c);
    }
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

// A GIF89a the decoder refuses for its application extension.
std::string GifWithApplicationBlock() {
  std::string f = "GIF89a";
  f += std::string("\x01\x00\x01\x00\x80\x00\x00", 7) + std::string(6, '\0');
  f += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  f += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B", 16);
  return f + std::string(60 - f.size(), '\0');
}

class FrameLoaderTest : public FrameTest {
protected:
  // A frame with [Image] AsyncLoading, its DefaultFile blue, its list a
  // folder of the given pictures.
  CKivo32Frame& StartWith(bool async, const std::vector<std::pair<std::string, std::string>>& files,
                          bool defaultFile = true) {
    fs::create_directories(dir / "pictures");
    for (const auto& [name, bytes] : files)
      dir.Write("pictures/" + name, bytes);
    if (defaultFile)
      blue = dir.Write("first.bmp", Bmp(gdi::Rgb(0, 0, 200)));
    dir.Write("config.ini", std::string("[Image]\nAsyncLoading=") + (async ? "1" : "0") +
                                "\nCount=1\nDir1=" + (dir / "pictures") +
                                (defaultFile ? "\nDefaultFile=first.bmp" : "") + "\n");
    filter = win::AddMessageFilter([this](win::Msg& m) {
      nextImagePosts += m.message == kNextImageMessage;
      return false;
    });
    return Start();
  }
  void TearDown() override {
    win::RemoveMessageFilter(filter);
    FrameTest::TearDown();
  }
  // Runs the waiting worker and delivers what it posted.
  void Step() {
    ASSERT_TRUE(steps.RunOne());
    win::ProcessPendingMessages();
    win::ProcessPendingMessages();
  }
  std::string Shown() const { return frame->Engine()->ShownSlot().path; }

  SteppedWorkers steps;
  std::string blue;
  int filter = 0;
  int nextImagePosts = 0;
};

TEST_F(FrameLoaderTest, APictureDroppedDuringAPreloadShowsWhenThePreloadEnds) {
  CKivo32Frame& f = StartWith(true, {{"red.bmp", Bmp(gdi::Rgb(200, 0, 0))}});
  ASSERT_EQ(Shown(), blue);
  ASSERT_TRUE(f.Engine()->LoaderBusy()) << "the preload of the start";
  const std::string dropped = dir.Write("dropped.bmp", Bmp(gdi::Rgb(0, 200, 0)));
  ui::DropFiles drop;
  drop.paths = {dropped};
  win::SendMessage(hwnd, win::WM_DROPFILES, reinterpret_cast<win::WParam>(&drop), 0);
  EXPECT_EQ(Shown(), blue) << "it waits for the loader";
  EXPECT_TRUE(f.Engine()->ShowWhenReady());
  Step();
  EXPECT_EQ(Shown(), dropped);
  EXPECT_FALSE(f.Engine()->ShowWhenReady());
  // The following picture preloads: the list's only one.
  EXPECT_TRUE(f.Engine()->LoaderBusy());

  // A request naming its picture (as ImageCopy posts it) waits for the
  // loader too, and is not the picture the loader was given.
  const std::string named = dir.Write("named.bmp", Bmp(gdi::Rgb(90, 90, 90)));
  f.Engine()->NextImagePath() = named;
  win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 1);
  EXPECT_EQ(steps.Pending(), 1u) << "no second worker";
  Step();
  EXPECT_EQ(Shown(), named);
}

TEST_F(FrameLoaderTest, TakeOverShowsThePreloadThenSwapsBackWhenNothingFollows) {
  SeedRandomFraction(41);
  CKivo32Frame& f =
      StartWith(true, {{"red.bmp", Bmp(gdi::Rgb(200, 0, 0))}, {"green.bmp", Bmp(gdi::Rgb(0, 200, 0))}});
  Step(); // the start's preload: the DefaultFile again
  // +103 without a path: the preloaded picture shows, a pick of the list
  // preloads.
  win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 0);
  EXPECT_EQ(Shown(), blue);
  ASSERT_TRUE(f.Engine()->LoaderBusy());
  // A resize meanwhile: the loader lays the picture out for the new size.
  win::SendMessage(hwnd, win::WM_SIZE, 0, ui::MakeLParam(500, 301));
  Step();
  const std::string first = f.Engine()->ReceivingSlot().path;
  ASSERT_TRUE(f.Engine()->ReceivingSlot().composed);
  EXPECT_EQ(f.Engine()->ReceivingSlot().composed->bitmap->Width(), 500);
  EXPECT_EQ(f.Engine()->ReceivingSlot().composed->bitmap->Height(), 301);

  win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 0);
  EXPECT_EQ(Shown(), first);
  Step();
  const std::string second = f.Engine()->ReceivingSlot().path;
  EXPECT_NE(second, first) << "the next pick differs from the last";
  EXPECT_TRUE(second.starts_with((dir / "pictures") + "\\"));

  // Nothing left to follow: the preload shows, the loader finds no file and
  // the picture shown before comes back when it ends.
  for (const char* name : {"pictures/red.bmp", "pictures/green.bmp", "first.bmp"})
    fs::remove(dir / name);
  win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 0);
  EXPECT_EQ(Shown(), second);
  ASSERT_TRUE(f.Engine()->LoaderBusy());
  Step();
  EXPECT_EQ(Shown(), first);
  EXPECT_FALSE(f.Engine()->LoaderBusy());
  EXPECT_FALSE(f.Engine()->Swapped());
}

TEST_F(FrameLoaderTest, ATakeOverWithNothingPreloadedLoadsTheRequestAtOnce) {
  CKivo32Frame& f = StartWith(true, {{"red.bmp", Bmp(gdi::Rgb(200, 0, 0))}});
  const std::string red = f.ImageList()->FindByName("red.bmp").value_or("");
  Step(); // the start's preload
  win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 0);
  ASSERT_EQ(Shown(), blue);
  ASSERT_TRUE(f.Engine()->LoaderBusy());
  // The preload of the list's picture fails to decode.
  dir.Write("pictures/red.bmp", std::string(100, 'x'));
  Step();
  ASSERT_FALSE(f.Engine()->Ready());
  ASSERT_FALSE(f.Engine()->ReceivingSlot().HasImage());

  // Mended again, the next request shows it at once instead of the empty
  // slot, and the following picture preloads.
  dir.Write("pictures/red.bmp", Bmp(gdi::Rgb(200, 0, 0)));
  win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 0);
  EXPECT_EQ(Shown(), red);
  ASSERT_TRUE(f.Engine()->ShownSlot().HasImage());
  EXPECT_TRUE(f.Engine()->LoaderBusy());

  // When that load fails as well the shown picture stays.
  for (const char* name : {"pictures/red.bmp", "first.bmp"})
    dir.Write(name, std::string(100, 'x'));
  Step();
  ASSERT_FALSE(f.Engine()->Ready());
  win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 0);
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(Shown(), red);
  EXPECT_TRUE(f.Engine()->ShownSlot().HasImage());
  EXPECT_FALSE(f.Engine()->LoaderBusy());
}

TEST_F(FrameLoaderTest, ASubfolderRequestPreloadsFromTheSubfolder) {
  fs::create_directories(dir / "party");
  dir.Write("party/green.bmp", Bmp(gdi::Rgb(0, 200, 0)));
  blue = dir.Write("first.bmp", Bmp(gdi::Rgb(0, 0, 200)));
  for (bool async : {true, false}) {
    SCOPED_TRACE(async ? "async" : "sync");
    dir.Write("config.ini", std::string("[Image]\nAsyncLoading=") + (async ? "1" : "0") +
                                "\nDefault=" + dir.Path() + "\nDefaultFile=first.bmp\n");
    CKivo32Frame& f = Start();
    while (steps.RunOne())
      win::ProcessPendingMessages();
    ASSERT_EQ(Shown(), blue);

    EXPECT_FALSE(f.RequestImageSubfolder(std::string(32, 'p'))) << "over 31 characters";
    ASSERT_TRUE(f.RequestImageSubfolder("party"));
    win::ProcessPendingMessages();
    ASSERT_TRUE(f.Engine()->LoaderBusy()) << "the subfolder's pick preloads";
    EXPECT_EQ(Shown(), blue);
    if (async) {
      Step();
      EXPECT_TRUE(f.Engine()->ReceivingSlot().path.ends_with("green.bmp"));
      win::SendMessage(hwnd, kNextImageAsyncMessage, 0, 1);
      EXPECT_TRUE(Shown().ends_with("green.bmp")) << "the next request shows the preload";
    } else {
      // A request meanwhile waits for the preload instead of failing, and
      // is served when it ends.
      win::SendMessage(hwnd, kNextImageMessage, 0, 0);
      EXPECT_TRUE(f.Engine()->ShowWhenReady());
      Step();
      EXPECT_FALSE(f.Engine()->ShowWhenReady());
      EXPECT_FALSE(f.Engine()->LoaderBusy());
      EXPECT_TRUE(f.Engine()->ShownSlot().HasImage());
    }
    Close();
    frame.reset();
  }
}

TEST_F(FrameLoaderTest, ImageRequestByPathLoadsBeforeTheCallReturns) {
  CKivo32Frame& f = StartWith(false, {});
  const std::string grey = dir.Write("grey.bmp", Bmp(gdi::Rgb(90, 90, 90)));
  EXPECT_FALSE(f.RequestImagePath((dir / "none.bmp")));
  EXPECT_EQ(Shown(), blue);
  EXPECT_TRUE(f.RequestImagePath(grey));
  EXPECT_EQ(Shown(), grey);
  EXPECT_TRUE(f.ImageRequestPending());
}

TEST_F(FrameLoaderTest, AFolderOfPicturesThatAllFailEndsItsRequest) {
  struct Row {
    bool async;
    int files;
  } rows[] = {{false, 5}, {true, 5}, {false, 40}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.files) + (r.async ? " async" : " sync"));
    fs::remove_all(dir / "pictures");
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < r.files; ++i)
      files.push_back({"anim" + std::to_string(i) + ".gif", GifWithApplicationBlock()});
    CKivo32Frame& f = StartWith(r.async, files, false);
    ASSERT_EQ(f.ImageList()->TotalFiles(), r.files);
    while (steps.RunOne()) {
    }
    win::ProcessPendingMessages();
    nextImagePosts = 0;
    win::PostMessage(hwnd, kNextImageMessage, 0, 0);
    PumpUntil([] { return false; }, 300);
    // The request and at most one retry per listed file, at most 32.
    EXPECT_GE(nextImagePosts, 2);
    EXPECT_LE(nextImagePosts, std::min(r.files, 32));
    EXPECT_FALSE(f.ImageRequestPending());
    EXPECT_FALSE(f.Engine()->ShownSlot().HasImage());
    win::RemoveMessageFilter(filter);
    Close();
    frame.reset();
  }
}

TEST_F(FrameLoaderTest, OnAPaletteScreenThePicturesPaletteIsRealised) {
  gdi::SetScreenBitsPerPixel(8);
  struct TrueColourAgain {
    ~TrueColourAgain() { gdi::SetScreenBitsPerPixel(32); }
  } again;
  auto dib = gdi::Dib::Create(120, 120, 8);
  ASSERT_TRUE(dib);
  for (int i = 0; i < 256; ++i)
    dib->Colours()[static_cast<size_t>(i)] =
        gdi::QuadOf(gdi::Rgb(static_cast<uint8_t>(i), 7, static_cast<uint8_t>(255 - i)));
  const auto bytes = dib->ToBmpFile();
  dir.Write("first.bmp", std::string(bytes.begin(), bytes.end()));
  dir.Write("config.ini", "[Image]\nDefaultFile=first.bmp\n");
  Start();
  ASSERT_TRUE(frame->Engine()->ShownSlot().HasImage());
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_QUERYNEWPALETTE, 0, 0), 1) << "its colours came in";
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_QUERYNEWPALETTE, 0, 0), 0) << "nothing changed since";
  // Its own palette change is not answered.
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_PALETTECHANGED, hwnd, 0), 0);
  Close();
}

// An 8-bit BMP of one colour of its own table.
std::string Bmp8(gdi::Colour c) {
  auto dib = gdi::Dib::Create(120, 120, 8);
  for (auto& q : dib->Colours())
    q = gdi::QuadOf(c);
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(FrameLoaderTest, OnAnEightBitScreenWithoutAFixedFrameALoadPaintsTheDefaultFirst) {
  struct TrueColourAgain {
    ~TrueColourAgain() { gdi::SetScreenBitsPerPixel(32); }
  } again;
  const gdi::Colour yellow = gdi::Rgb(250, 250, 0), blue8 = gdi::Rgb(0, 0, 160),
                    red8 = gdi::Rgb(160, 0, 0);
  dir.Write("bkimage.bmp", Bmp(yellow));
  dir.Write("first.bmp", Bmp8(blue8));
  const std::string red = dir.Write("red.bmp", Bmp8(red8));
  struct Row {
    int bits;
    int fixedFrame;
    bool defaultPainted;
  } rows[] = {{8, 0, true}, {8, 1, false}, {32, 0, false}, {16, 0, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.bits) + " bits, FixedFrame " + std::to_string(r.fixedFrame));
    gdi::SetScreenBitsPerPixel(r.bits);
    dir.Write("config.ini", "[Image]\nDefaultFile=first.bmp\n[Config]\nFixedFrame=" +
                                std::to_string(r.fixedFrame) + "\n");
    CKivo32Frame& f = Start();
    auto pixel = [&] {
      auto dc = ui::GetDc(hwnd);
      return dc ? dc->GetPixel(1, 1) : gdi::kInvalidColour;
    };
    ASSERT_EQ(pixel(), blue8);
    f.Engine()->NextImagePath() = red;
    ASSERT_TRUE(f.Engine()->LoadNextImageNow(hwnd, true));
    EXPECT_EQ(pixel(), r.defaultPainted ? yellow : blue8) << "before the repaint";
    ui::InvalidateRect(hwnd, nullptr, false);
    ui::UpdateWindow(hwnd);
    EXPECT_EQ(pixel(), red8);
    Close();
    frame.reset();
  }
}

} // namespace
