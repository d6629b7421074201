// The still-image engine's preloading, its worker run as steps of the test:
// the preloaded image taken over and swapped back when nothing follows, a
// resize during a load laid out by the loader, the loader keeping to the
// path it started with, and the first preload of Initialise.
#include "display/imageengine.h"

#include "display/medialist.h"
#include "display/tests/support/session.h"
#include "display/tests/support/stepped_workers.h"
#include "display/tests/support/temp_folder.h"
#include "platform/sys/ini.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using displaytest::SteppedWorkers;
using displaytest::TempFolder;
namespace fs = std::filesystem;

// A 24-bit BMP of 120 x 120 pixels of one colour (named as any picture;
// the own decoders read it by its first byte).
std::string Bmp(gdi::Colour c, int32_t side = 120) {
  auto dib = gdi::Dib::Create(side, side, 24);
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) {
      uint8_t* p = dib->RowFromTop(y) + 3 * x;
      p[0] = gdi::BlueOf(c), p[1] = gdi::GreenOf(c), p[2] = gdi::RedOf(c);
    }
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

class ImageLoaderTest : public ::testing::Test {
protected:
  void SetUp() override {
    displaytest::StartSession();
    config = folder / "config.ini";
    fs::create_directories(folder / "pictures");
    red = folder.Write("pictures/red.bmp", Bmp(gdi::Rgb(200, 0, 0)));
    blue = folder.Write("first.bmp", Bmp(gdi::Rgb(0, 0, 200)));
    sys::IniWriteString(config, "Image", "DefaultFile", "first.bmp");
    engine = std::make_unique<display::BackgroundImageEngine>(config);
    engine->SetAsyncLoading(true);
    engine->SetClientRect(gdi::Rect{0, 0, 160, 90});
    ASSERT_TRUE(engine->Initialise(0, &list));
  }

  // The preload Initialise started: the DefaultFile image again.
  void FinishFirstPreload() {
    ASSERT_TRUE(engine->LoaderBusy());
    ASSERT_TRUE(steps.RunOne());
    EXPECT_FALSE(engine->FinishLoader());
    EXPECT_FALSE(engine->LoaderBusy());
  }

  SteppedWorkers steps; // before the engine, which takes its workers when made
  TempFolder folder;
  std::string config, red, blue;
  display::MediaList list{display::MediaKind::Image};
  std::unique_ptr<display::BackgroundImageEngine> engine;
};

TEST_F(ImageLoaderTest, InitialisePreloadsTheFallbackWhileTheFirstImageShows) {
  EXPECT_EQ(engine->ShownSlot().path, blue);
  EXPECT_TRUE(engine->LoaderBusy());
  EXPECT_EQ(steps.Pending(), 1u);
  EXPECT_FALSE(engine->ReceivingSlot().HasImage()) << "nothing loaded before the step";
  EXPECT_FALSE(engine->TakeOver()) << "not while the loader runs";
  ASSERT_TRUE(steps.RunOne());
  EXPECT_TRUE(engine->Ready());
  EXPECT_EQ(engine->ReceivingSlot().path, blue);
  EXPECT_EQ(engine->ShownSlot().path, blue);
  EXPECT_FALSE(engine->FinishLoader());
  EXPECT_FALSE(engine->LoaderBusy());
}

TEST_F(ImageLoaderTest, TheTakeOverShowsThePreloadAndNothingFollowingSwapsBack) {
  FinishFirstPreload();
  // The next preload: red.
  engine->NextImagePath() = red;
  ASSERT_TRUE(engine->StartLoader(true));
  EXPECT_FALSE(engine->StartLoader(true)) << "one loader at a time";
  ASSERT_TRUE(steps.RunOne());
  engine->FinishLoader();
  ASSERT_TRUE(engine->TakeOver());
  EXPECT_EQ(engine->ShownSlot().path, red);
  EXPECT_FALSE(engine->TakeOver()) << "nothing preloaded since";

  // The following path names no file: the image shown before comes back
  // once the loader has ended, on this thread.
  engine->NextImagePath() = folder / "gone.bmp";
  ASSERT_TRUE(engine->StartLoader(true));
  ASSERT_TRUE(steps.RunOne());
  EXPECT_EQ(engine->ShownSlot().path, red) << "the worker swaps nothing";
  engine->FinishLoader();
  EXPECT_EQ(engine->ShownSlot().path, blue);
  EXPECT_FALSE(engine->Swapped());

  // A following file that is there keeps the taken-over image.
  engine->NextImagePath() = red;
  ASSERT_TRUE(engine->StartLoader(true));
  steps.RunOne();
  engine->FinishLoader();
  ASSERT_TRUE(engine->TakeOver());
  engine->NextImagePath() = blue;
  engine->StartLoader(true);
  steps.RunOne();
  engine->FinishLoader();
  EXPECT_EQ(engine->ShownSlot().path, red);
  EXPECT_EQ(engine->ReceivingSlot().path, blue);
}

TEST_F(ImageLoaderTest, WithoutAPathTheLoaderPicksFromTheCurrentFolderAndKeepsToIt) {
  FinishFirstPreload();
  list.SetCurrentFolder(folder / "pictures");
  engine->NextImagePath() = blue;
  ASSERT_TRUE(engine->StartLoader(false));
  // A request while the loader runs stays the frame's, whatever the
  // loader picks.
  engine->NextImagePath() = folder / "dropped.bmp";
  list.SetCurrentFolder(folder.Path());
  ASSERT_TRUE(steps.RunOne());
  EXPECT_EQ(engine->ReceivingSlot().path, (folder / "pictures") + "\\red.bmp");
  EXPECT_EQ(engine->NextImagePath(), folder / "dropped.bmp");
  engine->SetShowWhenReady();
  EXPECT_TRUE(engine->FinishLoader()) << "the waiting request is to be shown";
  EXPECT_FALSE(engine->ShowWhenReady());
}

TEST_F(ImageLoaderTest, AResizeDuringALoadIsLaidOutByTheLoader) {
  FinishFirstPreload();
  engine->NextImagePath() = red;
  ASSERT_TRUE(engine->StartLoader(true));
  engine->SetClientRect(gdi::Rect{0, 0, 301, 151});
  engine->StartRecompose();
  EXPECT_EQ(steps.Pending(), 1u) << "no second worker";
  ASSERT_TRUE(steps.RunOne());
  ASSERT_TRUE(engine->ReceivingSlot().composed);
  EXPECT_EQ(engine->ReceivingSlot().composed->bitmap->Width(), 301);
  EXPECT_EQ(engine->ReceivingSlot().composed->bitmap->Height(), 151);
  engine->FinishLoader();
  EXPECT_FALSE(engine->LoaderBusy());

  // With no loader running, the recompose is a worker of its own.
  engine->SetClientRect(gdi::Rect{0, 0, 64, 48});
  engine->StartRecompose();
  EXPECT_TRUE(engine->LoaderBusy());
  ASSERT_TRUE(steps.RunOne());
  EXPECT_EQ(engine->ReceivingSlot().composed->bitmap->Width(), 64);
  engine->SetShowWhenReady();
  EXPECT_TRUE(engine->FinishLoader());
  EXPECT_FALSE(engine->LoaderBusy());
}

TEST_F(ImageLoaderTest, AShownSlotPreloadedForAnotherSizeIsLaidOutWhenPainted) {
  FinishFirstPreload();
  engine->NextImagePath() = red;
  engine->StartLoader(true);
  steps.RunOne();
  engine->FinishLoader();
  engine->SetClientRect(gdi::Rect{0, 0, 50, 40});
  ASSERT_TRUE(engine->TakeOver());
  auto surface = gdi::Surface::Create(50, 40, gdi::Rgb(1, 2, 3));
  gdi::Dc dc(surface);
  engine->Paint(dc, gdi::Rect{0, 0, 50, 40});
  EXPECT_EQ(engine->ShownSlot().composed->bitmap->Width(), 50);
  EXPECT_EQ(surface->CopyPixels()[49 + 39 * 50], gdi::Rgb(200, 0, 0));
}

TEST_F(ImageLoaderTest, StopWaitsForTheWorker) {
  EXPECT_TRUE(engine->LoaderBusy());
  engine->Stop();
  EXPECT_EQ(steps.Pending(), 0u);
  EXPECT_FALSE(engine->LoaderBusy());
  EXPECT_FALSE(engine->ShownSlot().HasImage());
}

TEST(ImageEngineInitialise, DefaultFileListAndSpecialFolder) {
  displaytest::StartSession();
  SteppedWorkers steps;
  struct Row {
    const char* what;
    bool defaultFile;  // first.bmp exists and is named
    int32_t imageMode; // [Options] ImageMode
    bool special;      // the background folder has "Special"
    bool listed;       // the list holds pictures/red.bmp
    bool async;
    std::string shown;     // under the folder; "" for none (bkimage.bmp shows)
    std::string preloaded; // the first preload's path, "" for none
  } rows[] = {
      {"DefaultFile", true, 1, true, true, true, "first.bmp", "first.bmp"},
      {"DefaultFile named but missing", false, 0, false, true, false, "pictures\\red.bmp", ""},
      {"a random pick", false, 0, true, true, true, "pictures\\red.bmp", "pictures\\red.bmp"},
      {"the Special folder", false, 1, true, true, false, "back/Special\\green.bmp", ""},
      {"bit 0 without Special", false, 1, false, true, false, "pictures\\red.bmp", ""},
      {"an empty list", false, 1, true, false, true, "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TempFolder folder;
    const std::string config = folder / "config.ini";
    fs::create_directories(folder / "pictures");
    fs::create_directories(folder / "back");
    folder.Write("pictures/red.bmp", Bmp(gdi::Rgb(200, 0, 0)));
    if (r.special) {
      fs::create_directories(folder / "back/Special");
      folder.Write("back/Special/green.bmp", Bmp(gdi::Rgb(0, 200, 0)));
    }
    if (r.defaultFile)
      folder.Write("first.bmp", Bmp(gdi::Rgb(0, 0, 200)));
    sys::IniWriteString(config, "Image", "DefaultFile", "first.bmp");
    sys::IniWriteString(config, "Image", "Default", folder / "back");
    sys::IniWriteString(config, "Options", "ImageMode", std::to_string(r.imageMode));
    if (r.listed) {
      sys::IniWriteString(config, "Image", "Count", "1");
      sys::IniWriteString(config, "Image", "Dir1", folder / "pictures");
    }
    display::MediaList list(display::MediaKind::Image);
    list.Load(config);
    display::BackgroundImageEngine engine(config);
    engine.SetAsyncLoading(r.async);
    engine.SetClientRect(gdi::Rect{0, 0, 160, 90});
    ASSERT_TRUE(engine.Initialise(0, &list));
    EXPECT_EQ(engine.ShownSlot().path, r.shown.empty() ? "" : folder / r.shown);
    EXPECT_EQ(engine.LoaderBusy(), !r.preloaded.empty());
    if (!r.preloaded.empty()) {
      ASSERT_TRUE(steps.RunOne());
      EXPECT_EQ(engine.ReceivingSlot().path, folder / r.preloaded);
      engine.FinishLoader();
    }
    if (r.shown.empty()) {
      // The default background, as the frame loads it.
      ASSERT_TRUE(engine.DefaultBackground().Load(std::string(VEXO_BIN_DIR) + "/bkimage.bmp"));
      auto surface = gdi::Surface::Create(160, 90, gdi::Rgb(1, 2, 3));
      gdi::Dc dc(surface);
      engine.Paint(dc, gdi::Rect{0, 0, 160, 90});
      auto expected = gdi::Surface::Create(160, 90, gdi::Rgb(1, 2, 3));
      gdi::Dc edc(expected);
      engine.DefaultBackground().DrawTiled(edc, gdi::Rect{0, 0, 160, 90}, {0, 0});
      EXPECT_EQ(surface->CopyPixels(), expected->CopyPixels());
      EXPECT_NE(surface->CopyPixels()[0], gdi::Rgb(1, 2, 3));
    }
  }
}

} // namespace
