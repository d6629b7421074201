#include "platform/sys/collator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct OrderCase {
  const char* what;
  int codePage;
  std::string a, b;
  int order; // -1, 0, 1
};

int Sign(int v) {
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

TEST(Collator, OrdersByTheCodePagesLanguageWithoutCase) {
  const std::vector<OrderCase> cases = {
      {"case does not count", 949, "apple", "APPLE", 0},
      {"letters before case: apple before Banana", 949, "apple", "Banana", -1},
      {"Korean puts Hangul before Latin", 949, "\xB0\xA1", "A", -1},
      {"ga before na", 949, "\xB0\xA1", "\xB3\xAA", -1},
      {"digits before letters", 949, "9", "a", -1},
      {"shorter prefix first", 949, "Love", "Love me", -1},
      {"accent counts after the letter", 1252, "cote", "c\xF4te", -1},
      {"accented e before f", 1252, "\xE9t\xE9", "f", -1},
  };
  for (const OrderCase& c : cases) {
    sys::Collator collator(c.codePage);
    EXPECT_EQ(Sign(collator.Compare(c.a, c.b)), c.order) << c.what;
    EXPECT_EQ(Sign(collator.Compare(c.b, c.a)), -c.order) << c.what;
    EXPECT_EQ(Sign(collator.SortKey(c.a).compare(collator.SortKey(c.b))), c.order) << c.what;
  }
}

TEST(Collator, DoesNotFollowTheUsersLanguage) {
  // Swedish sorts "z" before "\xF6" (o umlaut) only in its own order; the
  // collator keeps the code page's, whatever LANG says.
  const char* old = std::getenv("LANG");
  std::string saved = old ? old : "";
  setenv("LANG", "sv_SE.UTF-8", 1);
  setenv("LC_ALL", "sv_SE.UTF-8", 1);
  sys::Collator collator(949);
  std::vector<std::string> words = {"zoo", "Apple", "\xB3\xAA", "banana", "\xB0\xA1"};
  std::sort(words.begin(), words.end(),
            [&](const std::string& a, const std::string& b) { return collator.Compare(a, b) < 0; });
  unsetenv("LC_ALL");
  if (old)
    setenv("LANG", saved.c_str(), 1);
  else
    unsetenv("LANG");
  EXPECT_EQ(words, (std::vector<std::string>{"\xB0\xA1", "\xB3\xAA", "Apple", "banana", "zoo"}));
}

} // namespace
