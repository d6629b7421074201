// The display's settings in "config.ini": defaults, placements that read back
// as written, the frame rectangle brought onto the screen, bounded paths.
#include "display/settings.h"
#include "display/tests/support/temp_folder.h"

#include <gtest/gtest.h>

using namespace display;
using displaytest::ReadFile;
using displaytest::TempFolder;

namespace {

TEST(Settings, AMissingFileGivesEveryDefault) {
  TempFolder dir;
  const std::string ini = dir / "config.ini";
  WordsSettings w = ReadWordsSettings(ini);
  EXPECT_EQ(w.progressDuration, 20);
  EXPECT_EQ(w.byChar, 0);
  EXPECT_EQ(w.smallFont, 0);
  LyricFactors f = ReadLyricFactors(ini);
  EXPECT_FLOAT_EQ(f.s1, 1.0f);
  EXPECT_FLOAT_EQ(f.l1, 1.2f);
  EXPECT_FLOAT_EQ(f.s2, 0.14f);
  EXPECT_FLOAT_EQ(f.l2, 0.18f);
  const gdi::Rect current{3, 4, 50, 60};
  EXPECT_EQ(ReadViewRect(ini, "Lyric", current), current);
  EXPECT_EQ(ReadViewRect(ini, "ResvNum", current), current);
  EXPECT_EQ(ReadFrameRect(ini), (gdi::Rect{1, 1, 640, 480}));
  FrameSettings s = ReadFrameSettings(ini);
  EXPECT_EQ(s.fixedFrame, 0);
  EXPECT_EQ(s.display, 0);
  EXPECT_EQ(s.imageChange, 1);
  EXPECT_EQ(s.imageMode, 0);
  EXPECT_FALSE(s.backgroundFolder);
  OverlaySettings o = ReadOverlaySettings(ini);
  EXPECT_EQ(o.source, 0);
  EXPECT_EQ(o.brightness, 128);
  EXPECT_EQ(o.saturation, 64);
  EXPECT_EQ(o.contrast, 64);
  EXPECT_EQ(o.hue, 128);
  EXPECT_EQ(o.videoKeyCorrect, 7);
  EXPECT_EQ(ReadScorePagePath(ini, "/opt/v"), "/opt/v/Score.htm");
  EXPECT_EQ(ReadScoreRemark(ini, 95), " ");
  EXPECT_FALSE(std::filesystem::exists(ini)); // reading creates nothing
}

TEST(Settings, AFloatingViewPlacementReadsBackAsWritten) {
  TempFolder dir;
  const std::string ini = dir / "config.ini";
  const gdi::Rect placed{120, 40, 700, 180};
  ASSERT_TRUE(WriteViewRect(ini, "Lyric", placed));
  ASSERT_TRUE(WriteViewRect(ini, "ResvNum", gdi::Rect{1, 2, 3, 4}));
  // Right and bottom edges are stored, not width and height.
  EXPECT_EQ(ReadFile(ini), "[Words]\nLyric_x=120\nLyric_y=40\nLyric_cx=700\nLyric_cy=180\n"
                           "ResvNum_x=1\nResvNum_y=2\nResvNum_cx=3\nResvNum_cy=4\n");
  EXPECT_EQ(ReadViewRect(ini, "Lyric", gdi::Rect{}), placed);
  EXPECT_EQ(ReadViewRect(ini, "ResvNum", gdi::Rect{}), (gdi::Rect{1, 2, 3, 4}));
}

TEST(Settings, FactorsReadAsTheCLibraryReadsThem) {
  struct Row {
    const char* text;
    float value;
  } rows[] = {{"1.2", 1.2f},
              {" 0.14x", 0.14f},
              {"abc", 0.0f},
              {"+1.5", 1.5f},
              {"-.5", -0.5f},
              {"", 0.0f},
              {"12345678905", 1234567890.0f},
              {"1e2", 100.0f},
              {"--1", 0.0f},
              {"1e999", 0.0f}};
  for (const auto& r : rows)
    EXPECT_FLOAT_EQ(ParseFactor(r.text), r.value) << r.text;
  TempFolder dir;
  dir.Write("config.ini", "[LyricPosition]\nFactor_S1=0.9\nFactor_L2= 0.25 \n");
  LyricFactors f = ReadLyricFactors(dir / "config.ini");
  EXPECT_FLOAT_EQ(f.s1, 0.9f);
  EXPECT_FLOAT_EQ(f.l1, 1.2f);
  EXPECT_FLOAT_EQ(f.l2, 0.25f);
}

TEST(Settings, TheFrameRectangleIsBroughtOntoTheScreen) {
  const gdi::Rect screen{0, 0, 800, 600};
  const gdi::Size min{447, 150};
  struct Row {
    gdi::Rect stored;
    gdi::Rect fitted;
  } rows[] = {
      {{1, 1, 640, 480}, {1, 1, 640, 480}},
      {{100, 50, 1200, 900}, {100, 50, 800, 600}}, // right and bottom cut
      {{-20, 700, 600, 500}, {0, 0, 600, 500}},    // edges outside pulled back
      {{0, 0, 800, 600}, {0, 0, 800, 600}},
      // A minimised window's rectangle, far off screen: the default comes back.
      {{-32000, -32000, -31840, -31972}, {1, 1, 640, 480}},
      {{700, 10, 760, 500}, {1, 1, 640, 480}}, // too narrow to use
  };
  for (const auto& r : rows)
    EXPECT_EQ(FitFrameRect(r.stored, screen, min), r.fitted)
        << r.stored.left << "," << r.stored.top << "," << r.stored.right << "," << r.stored.bottom;
  // On a screen smaller than the default, the default is cut to it.
  EXPECT_EQ(FitFrameRect(gdi::Rect{-32000, -32000, -31000, -31000}, gdi::Rect{0, 0, 320, 240},
                         gdi::Size{100, 60}),
            (gdi::Rect{1, 1, 320, 240}));
}

TEST(Settings, FrameStateIsWrittenInOneUpdate) {
  TempFolder dir;
  const std::string ini = dir / "config.ini";
  dir.Write("config.ini", "; kept\r\n[Words]\r\nByChar=1\r\n");
  ASSERT_TRUE(WriteFrameState(ini, gdi::Rect{5, 6, 700, 500}, 2));
  EXPECT_EQ(ReadFile(ini), "; kept\r\n[Words]\r\nByChar=1\r\nx=5\r\ny=6\r\ncx=700\r\ncy=500\r\n"
                           "Display=2\r\n");
  ASSERT_TRUE(WriteFrameState(ini, std::nullopt, 0));
  EXPECT_EQ(ReadFrameRect(ini), (gdi::Rect{5, 6, 700, 500}));
  EXPECT_EQ(ReadFrameSettings(ini).display, 0);
}

TEST(Settings, PathsAreBoundedAndTranslated) {
  TempFolder dir;
  const std::string ini = dir / "config.ini";
  struct Row {
    std::string stored;
    std::optional<std::string> folder;
  } rows[] = {
      {"*", std::nullopt},
      {"C:\\Pictures\\", "/Pictures"},
      {"C:\\Pictures\\Back", "/Pictures/Back"},
      {"/home/u/pics/", "/home/u/pics"},
      {"\\\\server\\share", std::nullopt}, // network path: no Linux form
      {"Q:\\pics", std::nullopt},          // unmapped drive
      {"C:\\" + std::string(600, 'a'), std::nullopt},
  };
  for (const auto& r : rows) {
    dir.Write("config.ini", "[Image]\nDefault=" + r.stored + "\n");
    EXPECT_EQ(ReadBackgroundFolder(ini), r.folder) << r.stored.substr(0, 40);
  }
  dir.Write("config.ini", "[Score]\nFile=C:\\pages\\Score2.htm\n90=Well sung\n");
  EXPECT_EQ(ReadScorePagePath(ini, "/opt/v"), "/pages/Score2.htm");
  EXPECT_EQ(ReadScoreRemark(ini, 90), "Well sung");
  dir.Write("config.ini",
            "[Score]\nFile=C:\\" + std::string(300, 'p') + "\n7=" + std::string(200, 'r') + "\n");
  EXPECT_EQ(ReadScorePagePath(ini, "/opt/v"), "/opt/v/Score.htm");
  EXPECT_EQ(ReadScoreRemark(ini, 7), std::string(125, 'r'));
}

TEST(Settings, OverlayPositionsAndPicture) {
  TempFolder dir;
  const std::string ini = dir / "config.ini";
  OverlaySettings o;
  o.videoX = -4, o.videoY = 3, o.destX = 10, o.destY = -2;
  ASSERT_TRUE(WriteOverlayPositions(ini, o));
  EXPECT_EQ(ReadFile(ini), "[Overlay]\nVideo X=0\nVideo Y=3\nDest X=10\nDest Y=-2\n");
  OverlaySettings back = ReadOverlaySettings(ini);
  EXPECT_EQ(back.videoX, 0);
  EXPECT_EQ(back.destY, -2);
  o.source = 2, o.brightness = 100;
  ASSERT_TRUE(WriteOverlayPicture(ini, o, false));
  EXPECT_EQ(ReadOverlaySettings(ini).source, 0); // unchanged input is not stored
  EXPECT_EQ(ReadOverlaySettings(ini).brightness, 100);
  ASSERT_TRUE(WriteOverlayPicture(ini, o, true));
  EXPECT_EQ(ReadOverlaySettings(ini).source, 2);
}

} // namespace
