// The frame's still images on the player core's requests: ImageCopy and
// PlayImageCopy naming a file, text bounded by its record and the path, and
// StopImageNotify's stop image.
#include "display/frame.h"
#include "display/imageengine.h"
#include "display/records.h"
#include "display/tests/support/frame_fixture.h"

#include "platform/sys/ini.h"
#include "platform/ui/window/drop.h"
#include "platform/win/dispatch.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>

using namespace display;
using namespace displaytest;

namespace {

// A 24-bit BMP of w x h pixels of one colour (named ".gif", the own
// decoders read it by its first byte).
std::string Bmp(int32_t w, int32_t h, gdi::Colour c) {
  auto dib = gdi::Dib::Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = dib->RowFromTop(y) + 3 * x;
      p[0] = gdi::BlueOf(c), p[1] = gdi::GreenOf(c), p[2] = gdi::RedOf(c);
    }
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

class FrameImagesTest : public FrameTest {
protected:
  std::string Shown() const { return frame->Engine()->ShownSlot().path; }
  void Copy(uintptr_t code, const std::string& bytes) {
    win::SendCopyData(hwnd, 0, code, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  // Pumps until the frame shows path (the request posts its message).
  bool WaitShown(const std::string& path) {
    return PumpUntil([&] { return Shown() == path; }, 2000);
  }
};

TEST_F(FrameImagesTest, ImageCopyNamesAFileToShowAndTooLongANameIsRefused) {
  const std::string first = dir.Write("first.gif", Bmp(120, 110, gdi::Rgb(10, 200, 30)));
  sys::IniWriteString(config, "Image", "Default", dir.Path());
  Start();
  ASSERT_EQ(Shown(), "");
  Copy(kImageCopy, first + '\0');
  EXPECT_TRUE(WaitShown(first));
  EXPECT_TRUE(frame->ImageRequestPending());
  // PlayImageCopy reads 32 bytes at most: a name of the background folder
  // filling them, more bytes after it.
  const std::string name = std::string(27, 's') + ".gif";
  dir.Write(name, Bmp(120, 110, gdi::Rgb(200, 10, 30)));
  Copy(kPlayImageCopy, "\\" + name + "junk");
  EXPECT_TRUE(WaitShown(dir.Path() + "/" + name));
  // 64 KiB of name without a NUL: refused, nothing posted, so the request
  // after it is the one shown.
  Copy(kImageCopy, std::string(65536, 'x') + ".gif");
  Copy(kImageCopy, first + '\0');
  EXPECT_TRUE(WaitShown(first));
  // With [Image] Change off the requests do not change the picture.
  Close();
  sys::IniWriteString(config, "Image", "Change", "0");
  Start();
  Copy(kImageCopy, first + '\0');
  // A request taken marks the image requested at once; this one is not.
  EXPECT_FALSE(frame->ImageRequestPending());
  EXPECT_EQ(Shown(), "");
}

TEST_F(FrameImagesTest, AFileNameIsLookedUpInTheImageList) {
  std::filesystem::create_directories(dir / "pictures");
  dir.Write("pictures/Listed.GIF", Bmp(120, 110, gdi::Rgb(10, 20, 200)));
  sys::IniWriteString(config, "Image", "Count", "1");
  sys::IniWriteString(config, "Image", "Dir1", dir / "pictures");
  Start();
  Copy(kImageCopy, std::string("listed.gif") + '\0');
  EXPECT_TRUE(PumpUntil([&] { return Shown().ends_with("Listed.GIF"); }, 2000));
  // A name the list does not hold and no file has leaves the picture.
  Copy(kImageCopy, std::string("unlisted.gif") + '\0');
  PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(frame->Engine()->ShownSlot().HasImage());
}

TEST_F(FrameImagesTest, StopImageNotifyShowsTheDefaultFileOrTheDefaultBackground) {
  const std::string first = dir.Write("first.gif", Bmp(120, 110, gdi::Rgb(10, 200, 30)));
  const std::string other = dir.Write("other.gif", Bmp(120, 110, gdi::Rgb(1, 2, 3)));
  for (bool withDefault : {true, false}) {
    SCOPED_TRACE(withDefault ? "DefaultFile" : "none");
    sys::IniWriteString(config, "Image", "DefaultFile", withDefault ? "first.gif" : "@");
    Start();
    Copy(kImageCopy, other + '\0');
    ASSERT_TRUE(WaitShown(other));
    win::SendMessage(hwnd, win::WM_USER, kStopImageNotify, 0);
    EXPECT_EQ(frame->Engine()->ShownSlot().HasImage(), withDefault);
    EXPECT_EQ(Shown(), withDefault ? dir / "first.gif" : "");
    Close();
  }
}

TEST_F(FrameImagesTest, ADroppedPictureShowsAtOnceAndThePaintedFrameShowsIt) {
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(qRgb(20, 160, 220));
  const std::string path = dir / "dropped.jpg";
  ASSERT_TRUE(picture.save(QString::fromStdString(path), "JPG", 100));
  Start();
  ui::DropFiles drop;
  drop.paths = {path};
  win::SendMessage(hwnd, win::WM_DROPFILES, reinterpret_cast<win::WParam>(&drop), 0);
  EXPECT_EQ(Shown(), path);
  // Laid out over the client and painted: the corner takes the picture's
  // colour (within the JPEG's rounding).
  ASSERT_TRUE(frame->Engine()->ShownSlot().composed);
  const gdi::Colour c = frame->Engine()->ShownSlot().composed->bitmap->Pixel(2, 2);
  EXPECT_NEAR(gdi::RedOf(c), 20, 3);
  EXPECT_NEAR(gdi::GreenOf(c), 160, 3);
  EXPECT_NEAR(gdi::BlueOf(c), 220, 3);
}

} // namespace

namespace {

TEST_F(FrameImagesTest, MediaListReloadBuildsTheListsOfItsBitsAgain) {
  std::filesystem::create_directories(dir / "pictures");
  dir.Write("pictures/a.bmp", Bmp(8, 8, gdi::Rgb(1, 2, 3)));
  sys::IniWriteString(config, "Image", "Count", "1");
  sys::IniWriteString(config, "Image", "Dir1", dir / "pictures");
  Start();
  ASSERT_NE(frame->ImageList(), nullptr);
  EXPECT_EQ(frame->ImageList()->TotalFiles(), 1);
  dir.Write("pictures/b.gif", Bmp(8, 8, gdi::Rgb(1, 2, 3)));
  dir.Write("pictures/c.jpg", "x");
  win::SendMessage(hwnd, win::WM_USER, kMediaListReload, 2); // the videos only
  EXPECT_EQ(frame->ImageList()->TotalFiles(), 1);
  win::SendMessage(hwnd, win::WM_USER, kMediaListReload, 1);
  EXPECT_EQ(frame->ImageList()->TotalFiles(), 3);
  EXPECT_EQ(frame->Engine()->ImageCount(), 3) << "the engine counts what the list holds";
}

} // namespace
