#include "album/testdata/catalogue_gen.h"

#include "core/songdata.h"
#include "core/songfile.h"
#include "platform/sys/codepage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace album::testdata {
namespace {

constexpr const char* kLatin[] = {"Moon",  "River", "Blue",  "Night", "Love",   "Song",   "Star",
                                  "Rain",  "Road",  "Heart", "Dream", "Summer", "Winter", "Home",
                                  "Light", "Fire",  "Sea",   "Wind",  "Rose",   "Time"};

// Offsets inside a V3.50 song file of its information chunk's fields.
constexpr size_t kInfoAt = 20;
constexpr size_t kTitleAt = kInfoAt + 0, kTitleSize = 48;
constexpr size_t kSingerAt = kInfoAt + 112, kSingerSize = 32;

std::string Hangul(std::mt19937& rng, int syllables) {
  std::string utf8;
  for (int i = 0; i < syllables; ++i) {
    uint32_t cp = 0xAC00 + rng() % 11172;
    utf8 += static_cast<char>(0xE0 | (cp >> 12));
    utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return sys::FromUtf8(utf8).value_or("?");
}

void Put(std::vector<uint8_t>& bytes, size_t at, size_t size, const std::string& text) {
  size_t n = sys::CutLength(text, size - 1);
  std::fill(bytes.begin() + static_cast<ptrdiff_t>(at),
            bytes.begin() + static_cast<ptrdiff_t>(at + size), 0);
  std::copy(text.begin(), text.begin() + static_cast<ptrdiff_t>(n),
            bytes.begin() + static_cast<ptrdiff_t>(at));
}

// The room a song's own text takes in the template: a run of this many
// bytes, zero-padded after the text.
constexpr size_t kTextRoom = 119;

std::vector<uint8_t> TemplateSong(bool texts) {
  auto song = std::make_unique<core::CSongData>();
  song->title = "T";
  song->singer = "S";
  song->keyword = texts ? std::string(kTextRoom, '#') : std::string("Generated song\r\n");
  song->ticksPerQuarter = 120;
  song->loaded = 1;
  return core::EncodeVexoDataFile(*song).value_or(std::vector<uint8_t>{});
}

} // namespace

std::string GeneratedTitle(uint32_t seed, int index) {
  std::mt19937 rng(seed * 7919u + static_cast<uint32_t>(index));
  switch (rng() % 8) {
  case 0:
    return "Same Title"; // many songs share a title
  case 1:
  case 2:
    return std::string(kLatin[rng() % 20]) + " " + kLatin[rng() % 20];
  default:
    return Hangul(rng, 2 + static_cast<int>(rng() % 5));
  }
}

std::string GeneratedText(uint32_t seed, int index) {
  std::mt19937 rng(seed * 104729u + static_cast<uint32_t>(index));
  std::string text;
  for (int words = 3 + static_cast<int>(rng() % 8); words > 0; --words) {
    std::string word =
        rng() % 2 ? std::string(kLatin[rng() % 20]) : Hangul(rng, 1 + static_cast<int>(rng() % 3));
    if (text.size() + word.size() + 1 > kTextRoom - 1)
      break;
    text += (text.empty() ? "" : " ") + word;
  }
  return text;
}

std::vector<std::string> MakeTestCatalogue(const std::string& root, const CatalogueSpec& spec) {
  std::vector<uint8_t> base = TemplateSong(spec.texts);
  if (base.size() < kSingerAt + kSingerSize || spec.folders < 1)
    return {};
  size_t textAt = 0;
  if (spec.texts) {
    const std::string marker(kTextRoom, '#');
    auto it = std::search(base.begin(), base.end(), marker.begin(), marker.end());
    if (it == base.end())
      return {};
    textAt = static_cast<size_t>(it - base.begin());
  }
  std::vector<std::string> folders;
  std::mt19937 rng(spec.seed);
  int index = 0;
  for (int f = 0; f < spec.folders; ++f) {
    char name[16];
    std::snprintf(name, sizeof name, "f%04d", f + 1);
    std::string folder = root + "/" + name;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    int count = spec.songs / spec.folders + (f < spec.songs % spec.folders ? 1 : 0);
    for (int i = 0; i < count; ++i, ++index) {
      std::vector<uint8_t> bytes = base;
      Put(bytes, kTitleAt, kTitleSize, GeneratedTitle(spec.seed, index));
      Put(bytes, kSingerAt, kSingerSize, rng() % 2 ? Hangul(rng, 3) : kLatin[rng() % 20]);
      if (spec.texts)
        Put(bytes, textAt, kTextRoom, GeneratedText(spec.seed, index));
      char file[32];
      std::snprintf(file, sizeof file, "/s%06d.vx3", index + 1);
      std::ofstream out(folder + file, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      if (!out)
        return {};
    }
    folders.push_back(folder);
  }
  return folders;
}

} // namespace album::testdata
