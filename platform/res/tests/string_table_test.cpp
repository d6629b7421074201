#include "platform/res/string_table.h"

#include <gtest/gtest.h>

namespace {

using res::ParseStringTable;
using res::StringTableError;

TEST(StringTable, ReadsNumberedLines) {
  const std::string text = "\xEF\xBB\xBF# a comment\n"
                           "3\tKaraoke\r\n"
                           "\n"
                           "65535\tlast\n"
                           "0\t\n"
                           "7\tTab\\there, \\\\ and\\nnew line\\r\n"
                           "9\t가사\tand a tab";
  auto table = ParseStringTable(text);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->size(), 5u);
  EXPECT_EQ(table->at(3), "Karaoke");
  EXPECT_EQ(table->at(65535), "last");
  EXPECT_EQ(table->at(0), "");
  EXPECT_EQ(table->at(7), "Tab\there, \\ and\nnew line\r");
  EXPECT_EQ(table->at(9), "가사\tand a tab"); // only the first tab separates
}

TEST(StringTable, MalformedTablesFailAtTheirLine) {
  struct Row {
    std::string text;
    size_t line;
    std::string words;
  };
  const Row rows[] = {
      {"1\tok\n2 no tab\n", 2, "no tab"},
      {"x1\ttext\n", 1, "not a string number"},
      {"\ttext\n", 1, "not a string number"},
      {"-1\ttext\n", 1, "not a string number"},
      {"65536\ttext\n", 1, "above 65535"},
      {"123456\ttext\n", 1, "not a string number"},
      {"1\ta\n# note\n1\tb\n", 3, "twice"},
      {"1\tbad \\q escape\n", 1, "unknown escape"},
      {"1\tends in \\\n", 1, "backslash"},
      {"1\t\xB0\xA1\n", 1, "UTF-8"},     // code-page bytes, not UTF-8
      {"1\t\xEA\xB0\n", 1, "UTF-8"},     // cut short
      {"1\t\xC0\xAF\n", 1, "UTF-8"},     // overlong
      {"1\t\xED\xA0\x80\n", 1, "UTF-8"}, // surrogate
  };
  for (const auto& r : rows) {
    StringTableError error;
    EXPECT_FALSE(ParseStringTable(r.text, &error)) << r.text;
    EXPECT_EQ(error.line, r.line) << r.text;
    EXPECT_NE(error.message.find(r.words), std::string::npos) << error.message;
  }
}

} // namespace
