// The library's exports and its one process-wide parse result.
#include "htmltitle/marquell.h"
#include "htmltitle/tokenlist.h"
#include "support/token_checks.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>

namespace htmltitle {
namespace {

class Exports : public ::testing::Test {
protected:
  void TearDown() override { QuillmarkToNULL(); }
};

TEST_F(Exports, ExportedByTheirOwnNames) {
  const std::string path = std::string(VEXO_BIN_DIR) + "/libMarquell.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << path;
  EXPECT_EQ(dlsym(library, "HTMLParsing"), reinterpret_cast<void*>(&HTMLParsing));
  EXPECT_EQ(dlsym(library, "QuillmarkToNULL"), reinterpret_cast<void*>(&QuillmarkToNULL));
  EXPECT_EQ(dlsym(library, "GetDbcsByteClass"), reinterpret_cast<void*>(&GetDbcsByteClass));
  dlclose(library);
}

TEST_F(Exports, EachParseReplacesTheResultAndQuillmarkFreesIt) {
  EXPECT_EQ(CurrentResult(), nullptr);
  char first[] = "<B>one</B>";
  ASSERT_EQ(HTMLParsing(first), 1);
  ASSERT_NE(CurrentResult(), nullptr);
  EXPECT_EQ(Describe(CurrentResult()->First()), "B\"one\" PARSER_END");
  EXPECT_EQ(CurrentResult()->Source(), first);

  char second[] = "<I>two</I>";
  ASSERT_EQ(HTMLParsing(second), 1);
  EXPECT_EQ(Describe(CurrentResult()->First()), "I\"two\" PARSER_END");

  QuillmarkToNULL();
  EXPECT_EQ(CurrentResult(), nullptr);
  QuillmarkToNULL(); // freeing nothing is harmless
  EXPECT_EQ(CurrentResult(), nullptr);
}

TEST_F(Exports, EmptyAndRefusedTexts) {
  char empty[] = "";
  ASSERT_EQ(HTMLParsing(empty), 1);
  ASSERT_NE(CurrentResult(), nullptr);
  EXPECT_EQ(Describe(CurrentResult()->First()), "PARSER_END");

  // A refused text leaves no result, not the one before.
  EXPECT_EQ(HTMLParsing(nullptr), 0);
  EXPECT_EQ(CurrentResult(), nullptr);
}

TEST_F(Exports, TabsAndLineBreaksBecomeBlanksInTheCallersText) {
  char text[] = "<FONT\tSIZE=3>a\tb\r\nc<!--\t-->\n";
  ASSERT_EQ(HTMLParsing(text), 1);
  EXPECT_STREQ(text, "<FONT SIZE=3>a b  c<!-- --> ");
  EXPECT_EQ(Describe(CurrentResult()->First()), "FONT[SIZE=3]\"a b c\" COMMENT\" \" PARSER_END");
  // Parsing the changed text again gives the same tokens.
  ASSERT_EQ(HTMLParsing(text), 1);
  EXPECT_EQ(Describe(CurrentResult()->First()), "FONT[SIZE=3]\"a b c\" COMMENT\" \" PARSER_END");
}

TEST_F(Exports, TheResultOwnsItsTextsAndValues) {
  std::string page = "<FONT COLOR=Red>Title";
  ASSERT_EQ(HTMLParsing(page.data()), 1);
  std::memset(page.data(), 'z', page.size());
  const HtmlTokenNode* font = CurrentResult()->First();
  ASSERT_NE(font->attributes, nullptr);
  EXPECT_STREQ(font->attributes->value.get(), "Red");
  EXPECT_STREQ(font->text.get(), "Title");
  // Decoders lower-case values in place.
  font->attributes->value[0] = 'r';
  EXPECT_STREQ(font->attributes->value.get(), "red");
}

} // namespace
} // namespace htmltitle
