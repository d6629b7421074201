// Media picks on their thread while the lists are built again and the frame
// is resized: a reload waits for the running pick, so the pick never reads a
// list being rebuilt, and every pick's result reaches its handler.
#include "display/tests/support/frame_fixture.h"

#include "platform/ui/window/input.h"
#include "platform/win/loop.h"

#include <filesystem>
#include <fstream>

using namespace display;
using namespace displaytest;

namespace {

namespace fs = std::filesystem;

// A 24-bit BMP of 8 x 8 pixels.
std::string SmallBmp() {
  auto dib = gdi::Dib::Create(8, 8, 24);
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(FrameTest, MediaPicksRaceListReloadsAndResizes) {
  const std::string pictures = dir / "pictures";
  const std::string clips = dir / "clips";
  fs::create_directories(pictures);
  fs::create_directories(clips);
  for (int i = 0; i < 6; ++i) {
    dir.Write("pictures/p" + std::to_string(i) + ".bmp", SmallBmp());
    std::ofstream(clips + "/c" + std::to_string(i) + ".avi") << "x";
  }
  dir.Write("config.ini", "[Image]\nCount=1\nDir1=" + pictures + "\n[Avi/Flc]\nCount=1\nDir1=" +
                              clips + "\n");
  CKivo32Frame& f = Start();
  ASSERT_EQ(f.ImageList()->TotalFiles(), 6);
  f.ImageList()->SetCurrentFolder(pictures);
  f.VideoList()->SetCurrentFolder(clips);

  for (int round = 0; round < 200; ++round) {
    // A picture added now and then: the reload has something to change.
    if (round % 50 == 10)
      dir.Write("pictures/n" + std::to_string(round) + ".bmp", SmallBmp());
    win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMediaPick, round % 2);
    win::SendMessage(hwnd, win::WM_USER, kMediaListReload, round % 3 == 0 ? 3 : 1 + round % 2);
    // The size the window system reports: the views placed again and the
    // picture laid out anew.
    win::SendMessage(hwnd, win::WM_SIZE, 0,
                     ui::MakeLParam(460 + round % 7 * 10, 300 + round % 5 * 10));
    win::ProcessPendingMessages();
  }
  // The last pick's message handled: the lists are whole.
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(f.ImageList()->TotalFiles(), 10);
  EXPECT_EQ(f.VideoList()->TotalFiles(), 6);
  EXPECT_EQ(f.Engine()->ImageCount(), 10);
  EXPECT_TRUE(f.Engine()->ShownSlot().HasImage());
  Close();
}

} // namespace
