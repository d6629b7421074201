#include "platform/sys/json.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonString, QuotesAndEscapes) {
  struct Row {
    const char* what;
    std::string text;
    std::string json;
  };
  const Row rows[] = {
      {"empty", "", R"("")"},
      {"plain", "Twinkle", R"("Twinkle")"},
      {"quote and backslash", "say \"a\\b\"", R"("say \"a\\b\"")"},
      {"short forms", "a\nb\rc\td", R"("a\nb\rc\td")"},
      {"other controls", std::string("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
      {"delete and UTF-8 pass", "\x7f\xea\xb0\x80", "\"\x7f\xea\xb0\x80\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string out = "[";
    sys::AppendJsonString(out, row.text);
    EXPECT_EQ(out, "[" + row.json);
  }
}

} // namespace
