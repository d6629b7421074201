// The frames between processes, checked against bytes laid out by hand.
#include "platform/win/wire.h"

#include <gtest/gtest.h>

#include <vector>

using namespace win::wire;

namespace {

std::vector<uint8_t> HeaderBytes() {
  return {
      0x05, 0x00, 0x00, 0x00,                         // payload size 5
      0x01, 0x00,                                     // kind Send
      0x01, 0x00,                                     // flags: WM_COPYDATA bytes
      0x78, 0x56, 0x34, 0x12,                         // request id
      0x01, 0x80, 0x00, 0x00,                         // hwnd 0x8001
      0x4A, 0x00, 0x00, 0x00,                         // WM_COPYDATA
      0x00, 0x00, 0x00, 0x00,                         // reserved
      0x02, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // wParam: the sender 0x8002
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, // lParam -1
      0x00, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, // aux: kind 0x10800
  };
}

TEST(WireTest, HeaderMatchesItsByteLayout) {
  Header h;
  h.payloadSize = 5;
  h.kind = Kind::Send;
  h.flags = kHasCopyData;
  h.requestId = 0x12345678;
  h.hwnd = 0x8001;
  h.message = 0x4A;
  h.wParam = 0x8002;
  h.lParam = static_cast<uint64_t>(-1);
  h.aux = 0x10800;
  uint8_t out[kHeaderSize];
  EncodeHeader(h, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + kHeaderSize), HeaderBytes());

  auto back = DecodeHeader(HeaderBytes());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->payloadSize, 5u);
  EXPECT_EQ(back->kind, Kind::Send);
  EXPECT_EQ(back->requestId, 0x12345678u);
  EXPECT_EQ(back->hwnd, 0x8001u);
  EXPECT_EQ(static_cast<int64_t>(back->lParam), -1);
  EXPECT_EQ(back->aux, 0x10800u);
}

TEST(WireTest, HeaderRefusesBadInput) {
  struct Row {
    const char* what;
    size_t offset;
    std::vector<uint8_t> patch;
    size_t cut;
  };
  const Row rows[] = {
      {"unknown kind 0", 4, {0x00, 0x00}, 0},
      {"unknown kind 8", 4, {0x08, 0x00}, 0},
      {"payload one past the limit", 0, {0x01, 0x00, 0x00, 0x01}, 0},
      {"cut short", 0, {}, 1},
  };
  for (const auto& row : rows) {
    auto bytes = HeaderBytes();
    std::copy(row.patch.begin(), row.patch.end(), bytes.begin() + row.offset);
    bytes.resize(bytes.size() - row.cut);
    EXPECT_FALSE(DecodeHeader(bytes)) << row.what;
  }
  auto atLimit = HeaderBytes();
  atLimit[0] = 0x00, atLimit[1] = 0x00, atLimit[2] = 0x00, atLimit[3] = 0x01; // 16 MiB
  EXPECT_TRUE(DecodeHeader(atLimit));
}

TEST(WireTest, TextsMatchTheirByteLayout) {
  std::vector<uint8_t> expected = {0x01, 0x03, 0x00, 'A', 'B', 'C', 0x00};
  EXPECT_EQ(EncodeTexts(std::string("ABC"), std::nullopt), expected);
  auto back = DecodeTexts(expected);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->first, std::optional<std::string>("ABC"));
  EXPECT_FALSE(back->second);

  std::vector<uint8_t> empty = {0x01, 0x00, 0x00, 0x01, 0x00, 0x00};
  back = DecodeTexts(empty);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->first, std::optional<std::string>(""));
  EXPECT_EQ(back->second, std::optional<std::string>(""));
}

TEST(WireTest, TextsRefuseBadInput) {
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {"nothing", {}},
      {"second text missing", {0x00}},
      {"presence byte 2", {0x02, 0x00}},
      {"length past the bytes", {0x01, 0x05, 0x00, 'A', 0x00}},
      {"length over the limit", {0x01, 0x01, 0x10, 0x00}},
      {"bytes left over", {0x00, 0x00, 0x00}},
  };
  for (const auto& row : rows)
    EXPECT_FALSE(DecodeTexts(row.bytes)) << row.what;
}

// Two frames as a peer sends them: a WM_COPYDATA send of 5 bytes, then a
// post.
std::vector<uint8_t> Stream() {
  std::vector<uint8_t> bytes = HeaderBytes();
  for (uint8_t b : {'h', 'e', 'l', 'l', 'o'})
    bytes.push_back(b);
  Header post;
  post.kind = Kind::Post;
  post.hwnd = 0x8001;
  post.message = 0x400;
  uint8_t head[kHeaderSize];
  EncodeHeader(post, head);
  bytes.insert(bytes.end(), head, head + kHeaderSize);
  return bytes;
}

TEST(WireTest, FramesArriveWholeHoweverTheStreamIsCut) {
  const std::vector<uint8_t> stream = Stream();
  for (size_t chunk : {size_t{1}, size_t{7}, kHeaderSize, kHeaderSize + 1, stream.size()}) {
    std::vector<uint8_t> buf;
    std::vector<Frame> frames;
    for (size_t pos = 0; pos < stream.size(); pos += chunk) {
      size_t n = std::min(chunk, stream.size() - pos);
      buf.insert(buf.end(), stream.begin() + pos, stream.begin() + pos + n);
      ASSERT_TRUE(TakeFrames(buf, [&](Frame& f) { frames.push_back(std::move(f)); })) << chunk;
    }
    EXPECT_TRUE(buf.empty()) << chunk;
    ASSERT_EQ(frames.size(), 2u) << chunk;
    EXPECT_EQ(frames[0].header.kind, Kind::Send);
    EXPECT_EQ(frames[0].payload, (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(frames[1].header.kind, Kind::Post);
    EXPECT_EQ(frames[1].header.message, 0x400u);
    EXPECT_TRUE(frames[1].payload.empty());
  }
}

TEST(WireTest, AMalformedHeaderEndsTheStreamAfterTheFramesBeforeIt) {
  std::vector<uint8_t> buf = Stream();
  buf[kHeaderSize + 5 + 4] = 0x09; // the second frame's kind
  int frames = 0;
  EXPECT_FALSE(TakeFrames(buf, [&](Frame&) { ++frames; }));
  EXPECT_EQ(frames, 1);
  // A frame cut short waits for the rest.
  buf = Stream();
  buf.resize(kHeaderSize + 4);
  frames = 0;
  EXPECT_TRUE(TakeFrames(buf, [&](Frame&) { ++frames; }));
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(buf.size(), kHeaderSize + 4);
}

} // namespace
