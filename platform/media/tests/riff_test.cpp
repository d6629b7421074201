#include "platform/media/riff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, const char* tag) {
  b.insert(b.end(), tag, tag + 4);
}
void U16(Bytes& b, uint16_t v) {
  b.push_back(v & 0xFF);
  b.push_back(v >> 8);
}
void U32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
Bytes Chunk(const char* id, const Bytes& data, int64_t size = -1, bool pad = true) {
  Bytes b;
  Put(b, id);
  U32(b, size < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(size));
  b.insert(b.end(), data.begin(), data.end());
  if (pad && data.size() % 2)
    b.push_back(0);
  return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Form(const char* id, const char* form, const Bytes& body, int64_t size = -1) {
  Bytes data;
  Put(data, form);
  data.insert(data.end(), body.begin(), body.end());
  return Chunk(id, data, size);
}
// "fmt " of 16, 18 or 40 bytes.
Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int size = 16,
          uint16_t subFormat = 1) {
  Bytes b;
  U16(b, tag);
  U16(b, channels);
  U32(b, rate);
  U32(b, rate * channels * bits / 8);
  U16(b, static_cast<uint16_t>(channels * bits / 8));
  U16(b, bits);
  if (size >= 18)
    U16(b, size == 40 ? 22 : 0);
  if (size == 40) {
    U16(b, bits);
    U32(b, 3);
    U16(b, subFormat);
    const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 14);
  }
  return Chunk("fmt ", b);
}
const Bytes kSamples = {1, 2, 3, 4, 5, 6, 7, 8};

struct Row {
  const char* what;
  Bytes file;
  bool ok;
  uint16_t channels, bits;
  uint32_t rate;
  Bytes data;
  bool truncated;
  const char* error; // part of the reason when refused
};

TEST(RiffWave, ReadsHandBuiltFiles) {
  const Bytes odd = {10, 20, 30};
  const Row rows[] = {
      {"fmt of 16", Form("RIFF", "WAVE", Cat({Fmt(1, 1, 8000, 8), Chunk("data", kSamples)})), true,
       1, 8, 8000, kSamples, false, ""},
      {"fmt of 18", Form("RIFF", "WAVE", Cat({Fmt(1, 2, 22050, 16, 18), Chunk("data", kSamples)})),
       true, 2, 16, 22050, kSamples, false, ""},
      {"fmt of 40, PCM",
       Form("RIFF", "WAVE", Cat({Fmt(0xFFFE, 1, 44100, 16, 40), Chunk("data", kSamples)})), true, 1,
       16, 44100, kSamples, false, ""},
      {"LIST first",
       Form("RIFF", "WAVE",
            Cat({Form("LIST", "INFO", Chunk("INAM", {'a', 0, 'b'})), Fmt(1, 1, 8000, 8),
                 Chunk("data", kSamples)})),
       true, 1, 8, 8000, kSamples, false, ""},
      {"odd chunk before data",
       Form("RIFF", "WAVE", Cat({Fmt(1, 1, 8000, 8), Chunk("junk", odd), Chunk("data", kSamples)})),
       true, 1, 8, 8000, kSamples, false, ""},
      {"odd data, padded", Form("RIFF", "WAVE", Cat({Fmt(1, 1, 8000, 8), Chunk("data", odd)})),
       true, 1, 8, 8000, odd, false, ""},
      {"data after the sound",
       Form("RIFF", "WAVE", Cat({Chunk("data", kSamples), Fmt(1, 1, 8000, 8)})), true, 1, 8, 8000,
       kSamples, false, ""},
      {"truncated data: whole frames kept",
       Form("RIFF", "WAVE", Cat({Fmt(1, 2, 8000, 16), Chunk("data", {1, 2, 3, 4, 5, 6}, 400)})),
       true,
       2,
       16,
       8000,
       {1, 2, 3, 4},
       true,
       ""},
      {"RIFF size larger than the file",
       Form("RIFF", "WAVE", Cat({Fmt(1, 1, 8000, 8), Chunk("data", kSamples)}), 0x7FFFFFFF), true,
       1, 8, 8000, kSamples, false, ""},
      {"RIFF size cutting the data",
       Form("RIFF", "WAVE", Cat({Fmt(1, 1, 8000, 8), Chunk("data", kSamples)}), 4 + 24 + 8 + 3),
       true,
       1,
       8,
       8000,
       {1, 2, 3},
       true,
       ""},
      {"chunk size 0xFFFFFFFF before fmt",
       Form("RIFF", "WAVE",
            Cat({Chunk("junk", {1, 2}, 0xFFFFFFFF), Fmt(1, 1, 8000, 8), Chunk("data", kSamples)})),
       false,
       0,
       0,
       0,
       {},
       false,
       "no \"fmt \""},
      {"fmt size lying",
       Form("RIFF", "WAVE", Chunk("fmt ", Bytes(16, 0), 40)),
       false,
       0,
       0,
       0,
       {},
       false,
       "40 bytes"},
      {"fmt of 20",
       Form("RIFF", "WAVE", Cat({Chunk("fmt ", Bytes(20, 1)), Chunk("data", kSamples)})),
       false,
       0,
       0,
       0,
       {},
       false,
       "20 bytes"},
      {"not PCM",
       Form("RIFF", "WAVE", Cat({Fmt(3, 1, 8000, 32), Chunk("data", kSamples)})),
       false,
       0,
       0,
       0,
       {},
       false,
       "not PCM"},
      {"extensible float",
       Form("RIFF", "WAVE", Cat({Fmt(0xFFFE, 1, 8000, 16, 40, 3), Chunk("data", kSamples)})),
       false,
       0,
       0,
       0,
       {},
       false,
       "not PCM"},
      {"24-bit",
       Form("RIFF", "WAVE", Cat({Fmt(1, 1, 8000, 24), Chunk("data", kSamples)})),
       false,
       0,
       0,
       0,
       {},
       false,
       "24 bits"},
      {"no data",
       Form("RIFF", "WAVE", Fmt(1, 1, 8000, 8)),
       false,
       0,
       0,
       0,
       {},
       false,
       "no \"data\""},
      {"AVI form",
       Form("RIFF", "AVI ", Fmt(1, 1, 8000, 8)),
       false,
       0,
       0,
       0,
       {},
       false,
       "RIFF WAVE"},
      {"header only", Bytes{'R', 'I', 'F', 'F', 4, 0}, false, 0, 0, 0, {}, false, "RIFF WAVE"},
      {"empty", Bytes{}, false, 0, 0, 0, {}, false, "RIFF WAVE"},
  };
  for (const Row& r : rows) {
    std::string error;
    auto wave = media::ReadWave(r.file, &error);
    ASSERT_EQ(wave.has_value(), r.ok) << r.what << ": " << error;
    if (!r.ok) {
      EXPECT_NE(error.find(r.error), std::string::npos) << r.what << ": " << error;
      continue;
    }
    EXPECT_EQ(wave->format.channels, r.channels) << r.what;
    EXPECT_EQ(wave->format.bits, r.bits) << r.what;
    EXPECT_EQ(wave->format.rate, r.rate) << r.what;
    EXPECT_EQ(wave->format.formatTag, 1) << r.what;
    EXPECT_EQ(wave->data, r.data) << r.what;
    EXPECT_EQ(wave->truncated, r.truncated) << r.what;
  }
}

TEST(RiffWave, WalksIntoForms) {
  const Bytes file = Form("RIFF", "WAVE",
                          Cat({Form("LIST", "INFO", Chunk("INAM", {'x', 0})),
                               Chunk("odd ", {1, 2, 3}), Chunk("data", {9})}));
  auto riff = media::FindChunk(file, "RIFF", "WAVE");
  ASSERT_TRUE(riff);
  EXPECT_EQ(riff->offset, 12u);
  auto chunks = media::RiffChunks(riff->data, riff->offset);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].id, "LIST");
  EXPECT_EQ(chunks[0].form, "INFO");
  EXPECT_EQ(chunks[1].id, "odd ");
  EXPECT_EQ(chunks[1].data.size(), 3u);
  EXPECT_EQ(chunks[2].id, "data");
  EXPECT_EQ(chunks[2].offset, 12u + 22 + 12 + 8); // LIST 8+4+10, odd 8+3+1
  auto inam = media::FindChunk(chunks[0].data, "INAM");
  ASSERT_TRUE(inam);
  EXPECT_EQ(inam->data[0], 'x');
  EXPECT_FALSE(media::FindChunk(file, "RIFF", "AVI "));
}

TEST(RiffWave, WritesTheHeaderByteForByte) {
  const Bytes data = {0x80, 0x81, 0x7F};
  const Bytes expected =
      Cat({Bytes{'R', 'I', 'F', 'F'}, Bytes{40, 0, 0, 0}, Bytes{'W', 'A', 'V', 'E'},
           Bytes{'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0},
           Bytes{0x22, 0x56, 0, 0, 0x22, 0x56, 0, 0, 1, 0, 8, 0},
           Bytes{'d', 'a', 't', 'a', 3, 0, 0, 0, 0x80, 0x81, 0x7F, 0}});
  const auto bytes = media::WaveBytes(media::WaveFormat::Pcm(22050, 8, 1), data);
  EXPECT_EQ(bytes, expected);
  std::string error;
  auto back = media::ReadWave(bytes, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->data, data);
}

TEST(RiffSoundFont, TheFormIsCheckedBeforeAnyParserSeesIt) {
  const Bytes info = Form("LIST", "INFO", Chunk("ifil", {2, 0, 1, 0}));
  const Bytes sdta = Form("LIST", "sdta", Chunk("smpl", {0, 0, 0, 0}));
  const Bytes pdta = Form("LIST", "pdta", Chunk("phdr", Bytes(38, 0)));
  struct Case {
    const char* what;
    Bytes bytes;
    bool soundFont;
  } cases[] = {
      {"INFO, sdta, pdta", Form("RIFF", "sfbk", Cat({info, sdta, pdta})), true},
      {"lists in another order, a chunk between", Form("RIFF", "sfbk",
                                                        Cat({pdta, Chunk("junk", {1}), info, sdta})),
       true},
      {"no pdta", Form("RIFF", "sfbk", Cat({info, sdta})), false},
      {"no INFO", Form("RIFF", "sfbk", Cat({sdta, pdta})), false},
      {"a WAVE form", Form("RIFF", "WAVE", Cat({info, sdta, pdta})), false},
      {"the form cut short", [&] {
         Bytes b = Form("RIFF", "sfbk", Cat({info, sdta, pdta}));
         b.resize(b.size() - 10);
         return b;
       }(), false},
      {"a list claiming more than its form holds",
       Form("RIFF", "sfbk", Cat({info, sdta, Form("LIST", "pdta", Chunk("phdr", Bytes(38, 0)), 4000)})),
       false},
      {"a LIST form at the top", Form("LIST", "sfbk", Cat({info, sdta, pdta})), false},
      {"empty", {}, false},
      {"eight bytes", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(media::LooksLikeSoundFont(c.bytes), c.soundFont) << c.what;
}

} // namespace
