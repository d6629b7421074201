// The readers of colour, alignment, outline-type and number values.
#include "htmltitle/htmlstyle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace htmltitle {
namespace {

using gdi::Rgb;

// Decoders take writable, zero-terminated values, as the parse result holds them.
std::vector<char> Writable(const std::string& s) {
  std::vector<char> v(s.begin(), s.end());
  v.push_back('\0');
  return v;
}

TEST(DecodeColour, NamesHexadecimalAndEverythingElse) {
  struct Case {
    const char* value;
    gdi::Colour colour;
  };
  const Case cases[] = {
      {"aqua", Rgb(0, 255, 255)},
      {"black", Rgb(0, 0, 0)},
      {"blue", Rgb(0, 0, 255)},
      {"fuchsia", Rgb(255, 0, 255)},
      {"gray", Rgb(128, 128, 128)},
      {"green", Rgb(0, 128, 0)},
      {"lime", Rgb(0, 255, 0)},
      {"maroon", Rgb(128, 0, 0)},
      {"navy", Rgb(0, 0, 128)},
      {"olive", Rgb(128, 128, 0)},
      {"purple", Rgb(128, 0, 128)},
      {"red", Rgb(255, 0, 0)},
      {"silver", Rgb(192, 192, 192)},
      {"teal", Rgb(0, 128, 128)},
      {"white", Rgb(255, 255, 255)},
      {"yellow", Rgb(255, 255, 0)},
      // Matched by the name's letters from the start, in any case.
      {"Red", Rgb(255, 0, 0)},
      {"REDDISH", Rgb(255, 0, 0)},
      {"blueberry", Rgb(0, 0, 255)},
      {"w", Rgb(255, 255, 255)},
      {"wheat", Rgb(255, 255, 255)},
      // Three components of two hexadecimal digits; unreadable ones are 0.
      {"#FF8000", Rgb(255, 128, 0)},
      {"#ff8000", Rgb(255, 128, 0)},
      {"#0a0B0c", Rgb(10, 11, 12)},
      {"#FF80", Rgb(255, 128, 0)},
      {"#FFzz00", Rgb(255, 0, 0)},
      {"#F", Rgb(15, 0, 0)},
      {"#FFF", Rgb(255, 15, 0)},
      {"#", Rgb(0, 0, 0)},
      {"#12345678", Rgb(0x12, 0x34, 0x56)},
      {"# ff 80 40", Rgb(255, 128, 64)},
      {"#-1-1-1", Rgb(0, 0, 0)},
      // Empty and unknown values are white.
      {"", Rgb(255, 255, 255)},
      {"orange", Rgb(255, 255, 255)},
      {"re", Rgb(255, 255, 255)},
      {"\xBB\xA1\xB0\xA3", Rgb(255, 255, 255)},
  };
  for (const Case& c : cases) {
    auto value = Writable(c.value);
    EXPECT_EQ(DecodeColour(value.data()), c.colour) << c.value;
  }
  EXPECT_EQ(DecodeColour(nullptr), Rgb(255, 255, 255));
}

TEST(DecodeColour, LowerCasesTheValueInPlaceButNotDoubleByteText) {
  auto value = Writable("NaVy \xC7\xD1");
  DecodeColour(value.data());
  EXPECT_STREQ(value.data(), "navy \xC7\xD1");
}

TEST(DecodeAlignment, LeftCentreRight) {
  struct Case {
    const char* value;
    int32_t alignment;
  };
  const Case cases[] = {
      {"left", kAlignLeft},     {"l", kAlignLeft},          {"LEFT", kAlignLeft},
      {"center", kAlignCenter}, {"CENTER", kAlignCenter},   {"right", kAlignRight},
      {"Right", kAlignRight},   {"rightmost", kAlignRight}, {"centre", kAlignLeft},
      {"middle", kAlignLeft},   {"r", kAlignLeft},          {"", kAlignLeft},
  };
  for (const Case& c : cases) {
    auto value = Writable(c.value);
    EXPECT_EQ(DecodeAlignment(value.data()), c.alignment) << c.value;
  }
  EXPECT_EQ(DecodeAlignment(nullptr), kAlignLeft);
}

TEST(DecodeOutlineType, OutlineOrShadow) {
  struct Case {
    const char* value;
    int32_t type;
  };
  const Case cases[] = {
      {"outline", kOutlineText}, {"OUTLINE", kOutlineText}, {"shadow", kShadowText},
      {"out", kShadowText},      {"", kShadowText},
  };
  for (const Case& c : cases) {
    auto value = Writable(c.value);
    EXPECT_EQ(DecodeOutlineType(value.data()), c.type) << c.value;
  }
  EXPECT_EQ(DecodeOutlineType(nullptr), kShadowText);
}

TEST(DecodeDecimal, HeldAtTheLimitsInsteadOfOverflowing) {
  struct Case {
    const char* value;
    int32_t number;
  };
  const Case cases[] = {
      {"20", 20},
      {" 14", 14},
      {"+7", 7},
      {"-12", -12},
      {"8px", 8},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeDecimal(c.value), c.number) << c.value;
  }
  EXPECT_EQ(DecodeDecimal(nullptr), 0);
}

} // namespace
} // namespace htmltitle
