#include "platform/sys/bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using sys::ByteReader;
using sys::ByteWriter;

struct VlqCase {
  std::vector<uint8_t> bytes;
  std::optional<uint32_t> value;
  size_t consumed;
};

TEST(ByteReader, VariableLengthQuantities) {
  const VlqCase cases[] = {
      {{0x00}, 0u, 1},
      {{0x7F}, 0x7Fu, 1},
      {{0x81, 0x00}, 0x80u, 2},
      {{0xFF, 0x7F}, 0x3FFFu, 2},
      {{0x81, 0x80, 0x00}, 0x4000u, 3},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFFu, 4},
      // A fifth byte is never part of a quantity.
      {{0x81, 0x80, 0x80, 0x80, 0x00}, std::nullopt, 0},
      // Cut in the middle.
      {{0x81, 0x80}, std::nullopt, 0},
      {{}, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    ByteReader r(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(r.Vlq(), c.value);
    EXPECT_EQ(r.Position(), c.consumed);
  }
}

TEST(ByteReader, TruncatedIntegersFailAndKeepPosition) {
  const uint8_t data[] = {0x12, 0x34, 0x56};
  ByteReader r(data, sizeof data);
  EXPECT_FALSE(r.U32LE());
  EXPECT_FALSE(r.U32BE());
  EXPECT_EQ(r.Position(), 0u);
  EXPECT_EQ(r.U24BE(), 0x123456u);
  EXPECT_FALSE(r.U8());
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteReader, ByteOrders) {
  const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.U32LE(), 0x04030201u);
  EXPECT_EQ(r.I16LE(), -2);
  ASSERT_TRUE(r.Seek(0));
  EXPECT_EQ(r.U32BE(), 0x01020304u);
  EXPECT_EQ(r.U16BE(), 0xFEFFu);
  EXPECT_FALSE(r.Seek(7));
  EXPECT_FALSE(r.Skip(1));
}

TEST(ByteReader, FixedStringStopsAtZeroAndBounds) {
  const uint8_t data[] = {'a', 'b', 0, 'c', 'd', 'e'};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.FixedString(4), "ab");
  EXPECT_EQ(r.Position(), 4u);
  EXPECT_FALSE(r.FixedString(3));
  EXPECT_EQ(r.FixedString(2), "de");
}

TEST(ByteWriter, MatchesHandBuiltBytes) {
  ByteWriter w;
  w.U16LE(0x1234);
  w.U32BE(0xA1B2C3D4);
  w.Vlq(0x80);
  w.Vlq(0);
  w.Vlq(0x0FFFFFFF);
  w.FixedString("abcdef", 4);
  const std::vector<uint8_t> expected = {0x34, 0x12, 0xA1, 0xB2, 0xC3, 0xD4, 0x81, 0x00, 0x00,
                                         0xFF, 0xFF, 0xFF, 0x7F, 'a',  'b',  'c',  0x00};
  EXPECT_EQ(w.Data(), expected);
  w.PatchU32BE(2, 7);
  EXPECT_EQ(w.Data()[5], 7);
}

} // namespace
