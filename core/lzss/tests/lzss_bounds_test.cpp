// Buffer sizes and damaged streams: the encoder's worst case, the decoder's
// output bound, truncated streams, and runs that must not see an earlier one.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "core/lzss/lzss.h"

namespace core {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kGuard = 0xA5;

// Bytes 1..n, all different and never zero, so nothing matches.
Bytes Distinct(size_t n) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), uint8_t{1});
  return b;
}

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& c : b)
    c = static_cast<uint8_t>(rng());
  return b;
}

TEST(LzssBounds, WorstCasePackedSizeHoldsShortAndIncompressibleInputs) {
  LzssCodec codec;
  for (size_t n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    Bytes plain = Distinct(n);
    EXPECT_EQ(codec.Pack(plain).size(), LzssMaxPackedSize(n));
  }
  // Four thirds of the input, rounded down, is too small for one or two bytes.
  EXPECT_GT(LzssMaxPackedSize(1), 1u * 4 / 3);
  EXPECT_GT(LzssMaxPackedSize(2), 2u * 4 / 3);
}

TEST(LzssBounds, EncoderRefusesATooSmallBufferWithoutWritingPastIt) {
  LzssCodec codec;
  struct Row {
    size_t inputSize;
    size_t capacity;
  };
  const Row rows[] = {{1, 1}, {2, 2}, {9, 10}, {100, 112}, {1, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.inputSize);
    Bytes plain = Distinct(row.inputSize);
    Bytes out(row.capacity + 1, kGuard);
    LzssJob job{plain.data(), plain.size(), out.data(), row.capacity};
    EXPECT_FALSE(codec.LzssEncode(job));
    EXPECT_EQ(job.outputCount, 0u);
    EXPECT_EQ(out[row.capacity], kGuard);
  }
}

TEST(LzssBounds, DecoderNeverWritesPastTheStatedSize) {
  LzssCodec codec;
  Bytes plain = Random(3000, 7);
  for (size_t i = 0; i < plain.size(); i += 3)
    plain[i] = 0; // some matches as well as literals
  Bytes packed = codec.Pack(plain);
  for (size_t bound : {size_t{0}, size_t{1}, size_t{17}, size_t{1500}, plain.size() - 1}) {
    SCOPED_TRACE(bound);
    Bytes out(bound + 1, kGuard);
    LzssJob job{packed.data(), packed.size(), out.data(), bound};
    EXPECT_EQ(codec.LzssDecode(job), LzssEnd::kCut);
    EXPECT_EQ(job.outputCount, bound);
    EXPECT_EQ(out[bound], kGuard);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + bound, plain.begin()));
  }
  // A reference cut in its middle.
  Bytes zeros = {0x00, 0xDC, 0xFF};
  Bytes out(6, kGuard);
  LzssJob job{zeros.data(), zeros.size(), out.data(), 5};
  EXPECT_EQ(codec.LzssDecode(job), LzssEnd::kCut);
  EXPECT_EQ(out, (Bytes{0, 0, 0, 0, 0, kGuard}));
}

TEST(LzssBounds, UnpackRefusesASizeNoStreamOfThatLengthCanGive) {
  LzssCodec codec;
  Bytes group = {0x00};
  for (int i = 0; i < 8; ++i)
    group.insert(group.end(), {0xDC, 0xFF});
  ASSERT_EQ(LzssMaxUnpackedSize(group.size()), 144u);
  EXPECT_EQ(codec.Unpack(group, 144), Bytes(144, 0));
  EXPECT_FALSE(codec.Unpack(group, 145));
  // A size read from a damaged header must not be allocated.
  EXPECT_FALSE(codec.Unpack(group, size_t{1} << 40));
  // Fewer bytes than stated fails; a stream that would give more is cut.
  EXPECT_FALSE(codec.Unpack(Bytes{0x03, 0x61, 0x62}, 3));
  EXPECT_EQ(codec.Unpack(Bytes{0x03, 0x61, 0x62}, 1), Bytes{0x61});
  EXPECT_EQ(LzssMaxUnpackedSize(0), 0u);
  EXPECT_EQ(LzssMaxUnpackedSize(2), 1u);
  EXPECT_EQ(LzssMaxUnpackedSize(3), 18u);
  EXPECT_EQ(LzssMaxUnpackedSize(4), 19u);
}

TEST(LzssBounds, TruncatedHandBuiltStreamsStopCleanly) {
  // 'A' then a distance-1 reference of 18: every prefix of the stream.
  const Bytes stream = {0x01, 0x41, 0xEE, 0xFF};
  struct Row {
    size_t length;
    Bytes out;
    LzssEnd end;
  };
  const Row rows[] = {
      {0, {}, LzssEnd::kComplete},
      {1, {}, LzssEnd::kTruncated},     // a flag byte with no item
      {2, {0x41}, LzssEnd::kComplete},  // where a last group may end
      {3, {0x41}, LzssEnd::kTruncated}, // a reference without its second byte
      {4, Bytes(19, 0x41), LzssEnd::kComplete},
  };
  LzssCodec codec;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.length);
    Bytes out(64);
    LzssJob job{stream.data(), row.length, out.data(), out.size()};
    EXPECT_EQ(codec.LzssDecode(job), row.end);
    EXPECT_EQ(job.inputCount, row.length);
    out.resize(job.outputCount);
    EXPECT_EQ(out, row.out);
  }
  // A literal announced by its flag bit but missing.
  Bytes literal = {0x03, 0x61};
  Bytes out(8);
  LzssJob job{literal.data(), literal.size(), out.data(), out.size()};
  EXPECT_EQ(codec.LzssDecode(job), LzssEnd::kTruncated);
  EXPECT_EQ(job.outputCount, 1u);
}

TEST(LzssBounds, EveryPrefixOfARealStreamGivesAPrefixOfItsBytes) {
  LzssCodec codec;
  Bytes plain = Random(600, 11);
  for (size_t i = 0; i < plain.size(); ++i)
    if (i % 50 < 30)
      plain[i] = static_cast<uint8_t>(i % 7);
  Bytes packed = codec.Pack(plain);
  ASSERT_LT(packed.size(), plain.size());
  size_t previous = 0;
  for (size_t length = 0; length <= packed.size(); ++length) {
    Bytes out(plain.size() + 1, kGuard);
    LzssJob job{packed.data(), length, out.data(), plain.size()};
    LzssEnd end = codec.LzssDecode(job);
    ASSERT_NE(end, LzssEnd::kCut) << length;
    ASSERT_LE(job.inputCount, length);
    ASSERT_GE(job.outputCount, previous) << length;
    ASSERT_TRUE(std::equal(out.begin(), out.begin() + job.outputCount, plain.begin())) << length;
    ASSERT_EQ(out[plain.size()], kGuard);
    previous = job.outputCount;
  }
  EXPECT_EQ(previous, plain.size());
}

TEST(LzssBounds, DecoderDoesNotSeeAnEarlierStreamsRing) {
  LzssCodec codec;
  // 19 'x' fill ring positions 4078-4095 and 0.
  ASSERT_EQ(codec.Unpack(Bytes{0x01, 0x78, 0xEE, 0xFF}, 19), Bytes(19, 'x'));
  // A first reference to 4090 reads the cleared ring, as in a fresh codec.
  EXPECT_EQ(codec.Unpack(Bytes{0x00, 0xFA, 0xF0}, 3), Bytes(3, 0));
}

TEST(LzssBounds, EncoderDoesNotSeeAnEarlierRunsRing) {
  LzssCodec used;
  Bytes noise = Random(9000, 3);
  used.Pack(noise);
  for (size_t n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    Bytes plain(n, 0);
    plain[n / 2] = static_cast<uint8_t>(n);
    LzssCodec fresh;
    EXPECT_EQ(used.Pack(plain), fresh.Pack(plain));
    used.Pack(noise);
  }
}

} // namespace
} // namespace core
