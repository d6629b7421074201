// Transitions frame by frame: nothing blended, shown pixels stay, even
// shares per frame, the picture whole at the end, every effect its own.
#include "platform/gdi/imaging_effects.h"

#include "platform/gdi/surface.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace gdi;
using namespace gdi::imaging;

namespace {

// A 24-bit picture whose every pixel differs from the background colour.
Dib Picture(int w, int h) {
  Dib d = *Dib::Create(w, h, 24);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = d.RowFromTop(y);
    for (int x = 0; x < w; ++x) {
      row[3 * x + 0] = 200;                            // blue
      row[3 * x + 1] = static_cast<uint8_t>(x * 5);     // green
      row[3 * x + 2] = static_cast<uint8_t>(y * 7 + 1); // red
    }
  }
  return d;
}

constexpr Colour kOld = Rgb(0, 255, 0);

struct Frames {
  std::vector<std::vector<Colour>> frames; // the destination after each frame
};

Frames Play(int code, const Dib& picture, std::shared_ptr<Surface> surface, const Rect& dest) {
  auto t = Transition::Make(code, picture.View(), dest);
  EXPECT_TRUE(t);
  Frames run;
  Dc dc(surface);
  for (int k = 0; k <= kEffectFrames; ++k) {
    EXPECT_TRUE(t->PaintTo(dc, k));
    run.frames.push_back(surface->CopyPixels(dest));
  }
  return run;
}

// Each frame of a run holds only the picture's pixels and the old ones;
// frame 0 none of the picture, frame k k/N of it within one frame's share;
// a shown pixel stays; the last frame is the picture.
void ExpectEvenReveal(const Frames& run, const std::vector<Colour>& image, Colour old) {
  const size_t total = image.size();
  for (int k = 0; k <= kEffectFrames; ++k) {
    const auto& f = run.frames[k];
    ASSERT_EQ(f.size(), total);
    size_t shown = 0;
    for (size_t i = 0; i < total; ++i) {
      ASSERT_TRUE(f[i] == image[i] || f[i] == old) << "pixel " << i << " frame " << k;
      if (f[i] != image[i] || image[i] == old)
        continue;
      ++shown;
      if (k + 1 <= kEffectFrames) {
        ASSERT_EQ(run.frames[k + 1][i], image[i]) << "a shown pixel went, frame " << k;
      }
    }
    if (k == 0) {
      EXPECT_EQ(shown, 0u) << "frame 0 shows some of the picture";
    }
    const double expected = double(k) * total / kEffectFrames;
    EXPECT_NEAR(double(shown), expected, double(total) / kEffectFrames) << "frame " << k;
  }
  EXPECT_EQ(run.frames.back(), image);
}

TEST(Transition, EveryEffectRevealsEvenlyWithoutBlending) {
  const int w = 96, h = 54;
  const Dib picture = Picture(w, h);
  const Rect dest{0, 0, w, h};
  auto reference = Surface::Create(w, h);
  Dc(reference).StretchDib(0, 0, w, h, 0, 0, w, h, picture.View(), kSrcCopy);
  const std::vector<Colour> image = reference->CopyPixels();
  std::set<std::vector<Colour>> middles;
  for (int code : kEffectCodes) {
    SCOPED_TRACE(code);
    const Frames run = Play(code, picture, Surface::Create(w, h, kOld), dest);
    ExpectEvenReveal(run, image, kOld);
    middles.insert(run.frames[kEffectFrames / 2]);
    // A second run paints the same frames.
    EXPECT_EQ(Play(code, picture, Surface::Create(w, h, kOld), dest).frames, run.frames);
  }
  EXPECT_EQ(middles.size(), kEffectCodes.size()) << "two effects share a middle frame";
}

// On a black 1920 x 1080 screen, the picture centred one pixel up and to
// the left: every effect frame by frame inside the picture's rectangle,
// nothing outside it, the middle frames pairwise different.
TEST(Transition, OnABlackScreenOnlyThePictureRectangleChanges) {
  const int w = 480, h = 270;
  const Colour black = Rgb(0, 0, 0);
  const Dib picture = Picture(w, h);
  const Rect dest = MakeRect((1920 - w) / 2 - 1, (1080 - h) / 2 - 1, w, h);
  auto reference = Surface::Create(w, h);
  Dc(reference).StretchDib(0, 0, w, h, 0, 0, w, h, picture.View(), kSrcCopy);
  const std::vector<Colour> image = reference->CopyPixels();
  std::set<std::vector<Colour>> middles;
  for (int code : kEffectCodes) {
    SCOPED_TRACE(code);
    auto surface = Surface::Create(1920, 1080, black);
    const Frames run = Play(code, picture, surface, dest);
    ExpectEvenReveal(run, image, black);
    middles.insert(run.frames[kEffectFrames / 2]);
    // Outside the picture the screen is as black as before.
    const auto all = surface->CopyPixels();
    size_t changed = 0;
    for (Colour c : all)
      changed += c != black;
    EXPECT_EQ(changed, size_t(w) * h);
  }
  EXPECT_EQ(middles.size(), kEffectCodes.size());

  // A late tick catches up at once: the last frame is the picture.
  auto surface = Surface::Create(1920, 1080, black);
  auto t = Transition::Make(12, picture.View(), dest);
  ASSERT_TRUE(t);
  Dc dc(surface);
  t->PaintTo(dc, 0);
  EXPECT_EQ(t->PixelsAfter(0), 0u);
  EXPECT_NEAR(double(t->PixelsAfter(kEffectFrames / 2)), w * h / 2.0, double(w) * h / kEffectFrames);
  t->PaintTo(dc, kEffectFrames + 10);
  EXPECT_TRUE(t->Done());
  EXPECT_EQ(surface->CopyPixels(dest), image);
}

TEST(Transition, FramesFollowTheClockAndClip) {
  EXPECT_EQ(EffectFrameAt(0), 0);
  EXPECT_EQ(EffectFrameAt(kEffectDurationMs / 2), kEffectFrames / 2);
  EXPECT_EQ(EffectFrameAt(kEffectDurationMs), kEffectFrames);
  EXPECT_EQ(EffectFrameAt(~uint64_t{0}), kEffectFrames);
  EXPECT_FALSE(Transition::Make(17, Picture(4, 4).View(), Rect{0, 0, 4, 4}));
  EXPECT_FALSE(Transition::Make(0, Picture(4, 4).View(), Rect{0, 0, 0, 4}));

  auto surface = Surface::Create(40, 40, kOld);
  auto t = Transition::Make(0, Picture(40, 40).View(), Rect{0, 0, 40, 40});
  Dc dc(surface);
  dc.SetClipRect(Rect{0, 0, 40, 10});
  t->PaintTo(dc, kEffectFrames);
  for (int y = 0; y < 40; ++y)
    EXPECT_EQ(surface->Pixel(20, y) != kOld, y < 10) << y;
}

// The middle frames of every effect side by side, for a person to look at.
TEST(Transition, MiddleFramesAsAnArtefact) {
  const std::string folder = VEXO_TESTS_DIR "/artefacts";
  std::filesystem::create_directories(folder);
  const int w = 120, h = 68, columns = 9;
  auto sheet = Surface::Create(w * columns, h * 3, Rgb(0, 0, 0));
  const Dib picture = Picture(w, h);
  Dc dc(sheet);
  for (size_t i = 0; i < kEffectCodes.size(); ++i) {
    const Rect dest = MakeRect(int(i % columns) * w, int(i / columns) * h, w, h);
    auto t = Transition::Make(kEffectCodes[i], picture.View(), dest);
    ASSERT_TRUE(t);
    t->PaintTo(dc, kEffectFrames / 2);
  }
  EXPECT_TRUE(sheet->SavePng(folder + "/logo-effects-middle.png"));
}

} // namespace
