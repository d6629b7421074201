// GetDbcsByteClass: single bytes, lead bytes and trail bytes of code 949.
#include "htmltitle/dbcs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct DbcsCase {
  std::string text;
  std::vector<int32_t> classes; // for positions 0, 1, ...
};

TEST(GetDbcsByteClass, ClassOfEachPosition) {
  const DbcsCase cases[] = {
      {"a\xB0\xA1", {0, 1, 2}},
      {"ab", {0, 0}},
      {"\xB0\xA1\xB3\xAA", {1, 2, 1, 2}},
      {"\xB0\x41z", {1, 2, 0}},    // a trail byte in the ASCII range
      {"\xB0\xB0\xB0", {1, 2, 1}}, // pairs from the start
      {"\x80\xFF\xFF", {1, 2, 1}}, // every high byte leads
      {"x\xB0\xA1y\xB0", {0, 1, 2, 0, 1}},
  };
  for (const auto& c : cases) {
    for (size_t i = 0; i < c.classes.size(); ++i) {
      // A buffer of exactly the bytes up to the position: nothing after it is read.
      std::vector<char> exact(c.text.begin(), c.text.begin() + static_cast<std::ptrdiff_t>(i + 1));
      EXPECT_EQ(GetDbcsByteClass(exact.data(), static_cast<int32_t>(i)), c.classes[i])
          << "position " << i << " of case " << &c - cases;
    }
  }
}

TEST(GetDbcsByteClass, NoTextOrNegativePosition) {
  EXPECT_EQ(GetDbcsByteClass(nullptr, 0), 0);
  EXPECT_EQ(GetDbcsByteClass("\xB0\xA1", -1), 0);
}

} // namespace
