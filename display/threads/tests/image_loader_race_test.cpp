// The still-image loader on its real thread: a thousand requests (preloaded
// take-overs, loads at once, dropped pictures) racing resizes. The worker
// writes only the receiving slot and its flags, the frame paints the shown
// one, and the loader always ends with nothing left running.
#include "display/imageengine.h"
#include "display/tests/support/frame_fixture.h"

#include "platform/ui/window/drop.h"
#include "platform/ui/window/input.h"
#include "platform/win/loop.h"

#include <filesystem>

using namespace display;
using namespace displaytest;

namespace {

namespace fs = std::filesystem;

std::string Bmp(int32_t side, gdi::Colour c) {
  auto dib = gdi::Dib::Create(side, side, 24);
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) {
      uint8_t* p = dib->RowFromTop(y) + 3 * x;
      p[0] = gdi::BlueOf(c), p[1] = gdi::GreenOf(c), p[2] = gdi::RedOf(c);
    }
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(FrameTest, AThousandImageRequestsRaceResizesAndDrops) {
  fs::create_directories(dir / "pictures");
  for (int i = 0; i < 6; ++i)
    dir.Write("pictures/p" + std::to_string(i) + ".bmp",
              Bmp(40 + 30 * i, gdi::Rgb(static_cast<uint8_t>(40 * i), 90, 160)));
  const std::string dropped = dir.Write("dropped.bmp", Bmp(130, gdi::Rgb(250, 250, 0)));
  dir.Write("config.ini", "[Image]\nAsyncLoading=1\nType=2\nCount=1\nDir1=" + (dir / "pictures") +
                              "\n");
  CKivo32Frame& f = Start();
  ASSERT_EQ(f.ImageList()->TotalFiles(), 6);
  ui::DropFiles drop;
  drop.paths = {dropped};
  for (int i = 0; i < 1000; ++i) {
    switch (i % 5) {
    case 0:
    case 1:
      win::PostMessage(hwnd, kNextImageAsyncMessage, 0, 0);
      break;
    case 2:
      win::PostMessage(hwnd, kNextImageMessage, 0, 0);
      break;
    case 3:
      win::SendMessage(hwnd, win::WM_DROPFILES, reinterpret_cast<win::WParam>(&drop), 0);
      break;
    default:
      win::SendMessage(hwnd, win::WM_SIZE, 0,
                       ui::MakeLParam(460 + i % 9 * 13, 300 + i % 7 * 11));
      break;
    }
    win::ProcessPendingMessages();
  }
  // The last loader ends and its notice is handled; a request that waited
  // for it is shown and preloads the one after, and then all is still.
  EXPECT_TRUE(PumpUntil([&] { return !f.Engine()->LoaderBusy(); }, 20000));
  PumpUntil([] { return false; }, 200);
  EXPECT_TRUE(PumpUntil([&] { return !f.Engine()->LoaderBusy(); }, 20000));
  EXPECT_FALSE(f.Engine()->ShowWhenReady());
  EXPECT_TRUE(f.Engine()->ShownSlot().HasImage());
  Close();
}

} // namespace
