// The games' generated assets through the project's own readers: 8-bit
// pictures with 40-byte headers and their shared colour tables, masks only
// black and white, frames that divide the pictures, clips of equal frames,
// cursors, sounds and help texts; the script gives the same bytes twice and
// the bytes in the tree; a sheet of every picture as a test artefact.
#include "games/dib.h"

#include "platform/media/video_player.h"
#include "platform/res/bundle.h"
#include "platform/sys/codepage.h"
#include "platform/ui/resource/cursor_file.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using games::CDIB;

namespace {

const std::string kBin = VEXO_BIN_DIR;
const std::string kSource = VEXO_SOURCE_DIR;

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads a BMP through CDIB, checking the file's own header on the way.
std::unique_ptr<CDIB> ReadBmp(const std::vector<uint8_t>& bytes, const std::string& name) {
  EXPECT_GE(bytes.size(), 54u) << name;
  if (bytes.size() < 54)
    return nullptr;
  EXPECT_EQ(bytes[14], 40) << name << ": a 40-byte header";
  std::vector<uint8_t> copy = bytes;
  std::FILE* f = fmemopen(copy.data(), copy.size(), "rb");
  auto dib = std::make_unique<CDIB>();
  const int read = dib->ReadFromFile(f);
  std::fclose(f);
  EXPECT_EQ(read, 1) << name;
  if (!read)
    return nullptr;
  EXPECT_EQ(dib->Info().bitCount, 8) << name;
  EXPECT_EQ(dib->Info().compression, 0u) << name;
  return dib;
}

std::vector<gdi::RgbQuad> Table(const CDIB& d) {
  return {d.ColourTable().begin(), d.ColourTable().end()};
}

std::optional<res::Bundle> Bundle(const char* name) {
  return res::Bundle::Load(name, kBin);
}

class GameArt : public testing::Test {
protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "assets_test";
      static char* argv[] = {name, nullptr};
      new QGuiApplication(argc, argv);
    }
  }
};

TEST_F(GameArt, ThePicturesBesideThePrograms) {
  struct Row {
    const char* name;
    int32_t w, h;
    const char* tableOf; // the picture whose colour table it shares
  } rows[] = {
      {"game", 439, 440, "back"},   {"back", 439, 105, "back"}, {"bird", 40, 104, "back"},
      {"change", 100, 100, "back"}, {"good", 100, 100, "back"},    {"bad", 100, 100, "back"},
      {"blue", 100, 100, "blue"},   {"red", 100, 100, "blue"},     {"backgd", 350, 350, "blue"},
      {"zunback", 150, 350, "blue"},
  };
  std::map<std::string, std::vector<gdi::RgbQuad>> tables;
  for (const char* source : {"back", "blue"})
    if (auto d = ReadBmp(FileBytes(kBin + "/bmp/" + source + ".bmp"), source))
      tables[source] = Table(*d);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    auto d = ReadBmp(FileBytes(kBin + "/bmp/" + r.name + ".bmp"), r.name);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->GetWidth(), r.w);
    EXPECT_EQ(d->GetHeight(), r.h);
    EXPECT_EQ(Table(*d), tables[r.tableOf]) << "not the colour table of " << r.tableOf;
  }
  // The bird's four frames stack evenly; its key is the top-left pixel and
  // shows at every frame's corners.
  auto bird = ReadBmp(FileBytes(kBin + "/bmp/bird.bmp"), "bird");
  ASSERT_TRUE(bird);
  ASSERT_EQ(bird->GetHeight() % 4, 0);
  const uint8_t key = *bird->GetPixelAddress(0, 0);
  for (int f = 0; f < 4; ++f)
    EXPECT_EQ(*bird->GetPixelAddress(0, f * bird->GetHeight() / 4), key);
  // The board's wells at (8 + 107c, 110 + 107r) are framed alike.
  auto game = ReadBmp(FileBytes(kBin + "/bmp/game.bmp"), "game");
  ASSERT_TRUE(game);
  const uint8_t frame = *game->GetPixelAddress(8 - 2, 110 - 2);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(*game->GetPixelAddress(8 + 107 * c - 2, 110 + 107 * r - 2), frame) << r << c;
}

TEST_F(GameArt, TheBundlesBitmapsByNameAndNumber) {
  auto durm = Bundle("rDurm12");
  auto zun = Bundle("rZunpar");
  ASSERT_TRUE(durm && zun);
  auto back = ReadBmp(FileBytes(kBin + "/bmp/back.bmp"), "back");
  auto blue = ReadBmp(FileBytes(kBin + "/bmp/blue.bmp"), "blue");
  ASSERT_TRUE(back && blue);
  auto tile = ReadBmp(*durm->BitmapFile(160), "160");
  ASSERT_TRUE(tile);
  EXPECT_EQ(tile->GetWidth(), 100);
  for (int n = 0; n < 10; ++n) {
    const std::string name = "IDB_NUM" + std::to_string(n);
    for (const res::Bundle* b : {&*durm, &*zun}) {
      SCOPED_TRACE(b->Name() + " " + name);
      auto bytes = b->BitmapFile(name);
      ASSERT_TRUE(bytes);
      auto d = ReadBmp(*bytes, name);
      ASSERT_TRUE(d);
      EXPECT_EQ(d->GetWidth(), 21);
      EXPECT_EQ(d->GetHeight(), 38);
      EXPECT_EQ(Table(*d), Table(b == &*zun ? *blue : *back));
    }
  }
  EXPECT_FALSE(zun->BitmapFile("../rZunpar/bitmaps/141"));
  EXPECT_FALSE(zun->BitmapFile(""));

  auto isBlackOrWhite = [](const CDIB& d, int32_t x, int32_t y, bool* black) {
    const gdi::RgbQuad q = d.ColourTable()[*d.GetPixelAddress(x, y)];
    *black = q.red == 0 && q.green == 0 && q.blue == 0;
    return *black || (q.red == 255 && q.green == 255 && q.blue == 255);
  };
  // Each image with its mask: the mask only black and white, the image
  // black wherever the mask is white (clear).
  std::vector<std::pair<std::string, std::string>> pairs = {{"141", "142"}};
  for (const char* player : {"B", "R"})
    for (const char* result : {"GOOD", "BAD"})
      for (int f = 0; f < 4; ++f) {
        const std::string stem = std::string("IDB_") + player + result;
        pairs.push_back({stem + std::to_string(f), stem + "MASK" + std::to_string(f)});
      }
  for (const auto& [imageName, maskName] : pairs) {
    SCOPED_TRACE(imageName);
    auto image = ReadBmp(*zun->BitmapFile(imageName), imageName);
    auto mask = ReadBmp(*zun->BitmapFile(maskName), maskName);
    ASSERT_TRUE(image && mask);
    EXPECT_EQ(Table(*image), Table(*blue));
    EXPECT_EQ(Table(*mask), Table(*blue));
    const int32_t w = imageName == "141" ? 67 : 100, h = imageName == "141" ? 46 : 100;
    ASSERT_EQ(image->GetWidth(), w);
    ASSERT_EQ(image->GetHeight(), h);
    ASSERT_EQ(mask->GetWidth(), w);
    ASSERT_EQ(mask->GetHeight(), h);
    size_t opaque = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        bool maskBlack = false, imageBlack = false;
        ASSERT_TRUE(isBlackOrWhite(*mask, x, y, &maskBlack)) << x << "," << y;
        opaque += maskBlack;
        if (!maskBlack) {
          isBlackOrWhite(*image, x, y, &imageBlack);
          ASSERT_TRUE(imageBlack) << "the image shows where its mask is clear, " << x << "," << y;
        }
      }
    EXPECT_GT(opaque, size_t(w) * h / 50);
    EXPECT_LT(opaque, size_t(w) * h);
  }
}

TEST_F(GameArt, TheClipsHaveEqualFramesOnTheVideoPlayer) {
  for (const char* name : {"blue", "red"}) {
    SCOPED_TRACE(name);
    std::string error;
    auto player = media::VideoPlayer::OpenFile(kBin + "/bmp/" + name + ".avi", &error);
    ASSERT_TRUE(player) << error;
    const media::VideoInfo& info = player->Info();
    EXPECT_EQ(info.width, 100);
    EXPECT_EQ(info.height, 100);
    EXPECT_EQ(info.frames, 12);
    EXPECT_EQ(info.container.find("avi") != std::string::npos, true) << info.container;
    std::vector<std::vector<uint32_t>> frames;
    for (int k = 0; k < 12; ++k) {
      ASSERT_TRUE(player->Seek(uint32_t(k * info.frameMs + 1)));
      auto frame = player->CurrentFrame();
      ASSERT_TRUE(frame);
      ASSERT_EQ(frame->width, 100);
      ASSERT_EQ(frame->height, 100);
      // The key colour at the top left of every frame.
      EXPECT_EQ((*frame->pixels)[0] & 0xFFFFFF, 0xFF00FFu);
      frames.push_back(*frame->pixels);
    }
    // The frames move: neighbours differ, and the loop closes.
    for (int k = 0; k + 1 < 12; ++k)
      EXPECT_NE(frames[k], frames[k + 1]) << k;
  }
}

TEST_F(GameArt, CursorsSoundsAndHelpTexts) {
  auto durm = ui::ReadCursorFile(FileBytes(kBin + "/durm12.ani"));
  ASSERT_TRUE(durm);
  EXPECT_TRUE(durm->Animated());
  EXPECT_GE(durm->frames.size(), 4u);
  auto zun = Bundle("rZunpar");
  ASSERT_TRUE(zun);
  int animated = 0;
  for (uint32_t id : {61234u, 61235u}) {
    const auto name = zun->String(id);
    ASSERT_TRUE(name) << id;
    ASSERT_EQ(name->find('/'), std::string::npos);
    auto file = ui::ReadCursorFile(FileBytes(kBin + "/" + *name));
    ASSERT_TRUE(file) << *name;
    EXPECT_EQ(file->frames[0].width, 32);
    animated += file->Animated();
    EXPECT_TRUE(ui::LoadCursorFromFile(kBin + "/" + *name));
  }
  EXPECT_EQ(animated, 1);

  struct Wav {
    const char* name;
    double seconds;
  } wavs[] = {{"good.wav", 0.8}, {"bad.wav", 0.75}, {"excell.wav", 1.6}};
  for (const Wav& w : wavs) {
    SCOPED_TRACE(w.name);
    const auto b = FileBytes(kBin + "/" + w.name);
    ASSERT_GE(b.size(), 44u);
    auto u16 = [&](size_t at) { return uint32_t(b[at] | b[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1u);     // PCM
    EXPECT_EQ(u16(22), 1u);     // mono
    EXPECT_EQ(u32(24), 22050u); // rate
    EXPECT_EQ(u16(34), 16u);    // bits
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(u32(40), uint32_t(22050 * w.seconds) * 2);
    EXPECT_EQ(b.size(), 44 + u32(40));
  }

  struct Help {
    const char* name;
    const char* title;
  } helps[] = {{"durm12.txt", "열두 곡 도전"}, {"zunpar.txt", "판 대결"}};
  for (const Help& h : helps) {
    SCOPED_TRACE(h.name);
    const auto b = FileBytes(kBin + "/" + h.name);
    const std::string bytes(b.begin(), b.end());
    const std::string utf8 = sys::ToUtf8(bytes, 949);
    EXPECT_EQ(utf8.rfind(h.title, 0), 0u);
    EXPECT_EQ(sys::FromUtf8(utf8, 949), bytes) << "not all of it is code page 949";
  }
}

std::map<std::string, std::vector<uint8_t>> Tree(const std::string& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file())
      files[fs::relative(e.path(), root).string()] = FileBytes(e.path().string());
  return files;
}

TEST_F(GameArt, TheScriptGivesTheSameBytesTwiceAndTheOnesInTheTree) {
  const std::string dir = testing::TempDir() + "/game-art";
  fs::remove_all(dir);
  const std::string artefacts = VEXO_TESTS_DIR "/artefacts";
  fs::create_directories(artefacts);
  const std::string sheet = artefacts + "/game-art-sheet.png";
  const std::string script = kSource + "/scripts/make-game-art";
  ASSERT_EQ(std::system((script + " --out " + dir + "/a --sheet " + sheet + " >/dev/null").c_str()), 0);
  ASSERT_EQ(std::system((script + " --out " + dir + "/b >/dev/null").c_str()), 0);
  const auto a = Tree(dir + "/a"), b = Tree(dir + "/b");
  EXPECT_GE(a.size(), 70u);
  EXPECT_TRUE(a == b) << "two runs differ";
  for (const auto& [path, bytes] : a)
    EXPECT_TRUE(FileBytes(kSource + "/resources/" + path) == bytes)
        << path << " differs from the tree: run scripts/make-game-art";
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(sheet)));
  EXPECT_GT(image.width(), 400);
  fs::remove_all(dir);
}

} // namespace
