// Packed streams built by hand, checked in both directions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lzss/lzss.h"

namespace core {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

struct GoldenRow {
  const char* name;
  Bytes plain;
  Bytes packed;
};

// Ring positions in references: 4060 = DC F., 4078 = EE F.; the low nibble of
// the second byte is the length less 3.
std::vector<GoldenRow> EncoderRows() {
  return {
      {"empty", {}, {}},
      {"one byte", {0x41}, {0x01, 0x41}},
      {"one zero byte stays a literal", {0x00}, {0x01, 0x00}},
      {"two bytes", Text("ab"), {0x03, 0x61, 0x62}},
      {"two zero bytes stay literals", Bytes(2, 0), {0x03, 0x00, 0x00}},
      // Each full match replaces the older zero string in the tree, so 4060,
      // inserted last, is the one found.
      {"three zero bytes reach into the cleared ring", Bytes(3, 0), {0x00, 0xDC, 0xF0}},
      {"eighteen zero bytes", Bytes(18, 0), {0x00, 0xDC, 0xFF}},
      {"distance-1 overlap", Bytes(19, 'A'), {0x01, 0x41, 0xEE, 0xFF}},
      {"distance-3 overlap", Text("abcabcabc"), {0x07, 0x61, 0x62, 0x63, 0xEE, 0xF3}},
      // "abc" at 4078 and at 4082 match the last "abc" equally; 4078 is met
      // first in the tree and is kept.
      {"equal matches keep the one met first",
       Text("abcXabcYabcZ"),
       {0xAF, 'a', 'b', 'c', 'X', 0xEE, 0xF0, 'Y', 0xEE, 0xF0, 'Z'}},
      {"a full group, then a new flag byte",
       Text("abcdefghi"),
       {0xFF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x01, 0x69}},
  };
}

// Streams the encoder does not make, which the decoder must still read.
std::vector<GoldenRow> DecoderOnlyRows() {
  return {
      {"reference to ring positions not yet written", {0x00, 0x00, 0x00}, {0x00, 0xFA, 0xF0}},
      {"reference at the write position itself", Bytes(18, 0), {0x00, 0xEE, 0xFF}},
      // 19 literals fill 4078-4095 and 0; the reference at 4094 wraps to 0 and
      // then reads the byte it wrote itself at 1.
      {"reference wrapping the ring's end",
       Text("abcdefghijklmnopqrsqrsq"),
       {0xFF, 'a', 'b', 'c', 'd', 'e', 'f',  'g', 'h', 0xFF, 'i',  'j',
        'k',  'l', 'm', 'n', 'o', 'p', 0x07, 'q', 'r', 's',  0xFE, 0xF1}},
      {"eight references fill one group",
       Bytes(144, 0),
       {0x00, 0xDC, 0xFF, 0xDC, 0xFF, 0xDC, 0xFF, 0xDC, 0xFF, 0xDC, 0xFF, 0xDC, 0xFF, 0xDC, 0xFF,
        0xDC, 0xFF}},
  };
}

Bytes Decode(LzssCodec& codec, const Bytes& packed, size_t size, LzssEnd* end = nullptr) {
  Bytes out(size);
  LzssJob job{packed.data(), packed.size(), out.data(), out.size()};
  LzssEnd e = codec.LzssDecode(job);
  if (end)
    *end = e;
  out.resize(job.outputCount);
  return out;
}

TEST(LzssGolden, EncoderWritesTheHandBuiltStreams) {
  LzssCodec codec;
  for (const auto& row : EncoderRows()) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(codec.Pack(row.plain), row.packed);
  }
}

TEST(LzssGolden, DecoderReadsTheHandBuiltStreams) {
  LzssCodec codec;
  auto rows = EncoderRows();
  for (auto& row : DecoderOnlyRows())
    rows.push_back(row);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    LzssEnd end;
    EXPECT_EQ(Decode(codec, row.packed, row.plain.size(), &end), row.plain);
    EXPECT_EQ(end, LzssEnd::kComplete);
  }
}

} // namespace
} // namespace core
