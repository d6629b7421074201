#include "htmltitle/htmlstyle.h"
#include "platform/sys/ascii.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace htmltitle {
namespace {

struct NamedColour {
  const char* name;
  gdi::Colour colour;
};

// Looked for in this order; white is any value that starts with "w".
constexpr NamedColour kColourNames[] = {
    {"aqua", gdi::Rgb(0, 255, 255)},     {"black", gdi::Rgb(0, 0, 0)},
    {"blue", gdi::Rgb(0, 0, 255)},       {"fuchsia", gdi::Rgb(255, 0, 255)},
    {"gray", gdi::Rgb(128, 128, 128)},   {"green", gdi::Rgb(0, 128, 0)},
    {"lime", gdi::Rgb(0, 255, 0)},       {"maroon", gdi::Rgb(128, 0, 0)},
    {"navy", gdi::Rgb(0, 0, 128)},       {"olive", gdi::Rgb(128, 128, 0)},
    {"purple", gdi::Rgb(128, 0, 128)},   {"red", gdi::Rgb(255, 0, 0)},
    {"silver", gdi::Rgb(192, 192, 192)}, {"teal", gdi::Rgb(0, 128, 128)},
    {"w", gdi::Rgb(255, 255, 255)},      {"yellow", gdi::Rgb(255, 255, 0)},
};

constexpr gdi::Colour kWhite = gdi::Rgb(255, 255, 255);

bool StartsWith(const char* value, const char* name) {
  return std::strncmp(value, name, std::strlen(name)) == 0;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Three components of at most two hexadecimal digits, blanks allowed before
// each; reading stops at the first component that has no digit.
gdi::Colour DecodeHexColour(const char* at) {
  uint8_t component[3] = {0, 0, 0};
  for (uint8_t& c : component) {
    while (IsSpace(*at))
      ++at;
    int digits = 0;
    int value = 0;
    for (int d; digits < 2 && (d = HexDigit(*at)) >= 0; ++digits, ++at)
      value = value * 16 + d;
    if (digits == 0)
      break;
    c = static_cast<uint8_t>(value);
  }
  return gdi::Rgb(component[0], component[1], component[2]);
}

} // namespace

void LowerCaseInPlace(char* value) {
  if (value == nullptr)
    return;
  for (char* c = value; *c != '\0'; ++c)
    *c = sys::AsciiLower(*c);
}

gdi::Colour DecodeColour(char* value) {
  if (value == nullptr)
    return kWhite;
  LowerCaseInPlace(value);
  if (value[0] == '#')
    return DecodeHexColour(value + 1);
  for (const NamedColour& named : kColourNames)
    if (StartsWith(value, named.name))
      return named.colour;
  return kWhite;
}

int32_t DecodeAlignment(char* value) {
  if (value == nullptr)
    return kAlignLeft;
  LowerCaseInPlace(value);
  if (value[0] == 'l')
    return kAlignLeft;
  if (StartsWith(value, "right"))
    return kAlignRight;
  if (StartsWith(value, "center"))
    return kAlignCenter;
  return kAlignLeft;
}

int32_t DecodeOutlineType(char* value) {
  if (value == nullptr)
    return kShadowText;
  LowerCaseInPlace(value);
  return StartsWith(value, "outline") ? kOutlineText : kShadowText;
}

int32_t DecodeDecimal(const char* value) {
  if (value == nullptr)
    return 0;
  while (IsSpace(*value))
    ++value;
  const bool negative = *value == '-';
  if (*value == '-' || *value == '+')
    ++value;
  // Far-out values are held at the limit instead of overflowing.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; *value >= '0' && *value <= '9'; ++value)
    magnitude = std::min(kLimit, magnitude * 10 + (*value - '0'));
  const int64_t result = negative ? -magnitude : magnitude;
  return static_cast<int32_t>(std::clamp<int64_t>(result, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

} // namespace htmltitle
