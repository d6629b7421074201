// Text that is not well formed: nothing crashes, loops or reads past the end,
// and what cannot be a tag is text.
#include "htmltitle/tokenlist.h"
#include "support/token_checks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace htmltitle {
namespace {

struct MalformedCase {
  const char* what;
  std::string text;
  std::string tokens;
};

TEST(Malformed, EndsOfInputAndStrayTags) {
  const MalformedCase cases[] = {
      {"empty text", "", "PARSER_END"},
      {"a lone less-than sign", "<", "PARSER_END"},
      {"a less-than sign last", "<B>x<", "B\"x<\" PARSER_END"},
      {"empty brackets", "<B>x<>y", "B\"x<>y\" PARSER_END"},
      {"a stray closing slash last", "<B>x</", "B\"x</\" PARSER_END"},
      {"a closing tag without a name", "<B>x</>y", "B\"x</>y\" PARSER_END"},
      {"a blank before the closing name", "<B>x</ B>y", "B\"x</ B>y\" PARSER_END"},
      {"a closing tag outside the dialect", "<B>x</Q>y", "B\"x</Q>y\" PARSER_END"},
      {"an unclosed closing tag", "<B>x</B", "B\"x</B\" PARSER_END"},
      {"a closing tag with nothing opened", "</B>x", "/B\"x\" PARSER_END"},
      {"a closing tag of a tag without one", "<IMG SRC=a.bmp></IMG>x",
       "IMG[SRC=a.bmp] UNKNOWN\"x\" PARSER_END"},
      {"a failed closing tag leaves no closing state behind", "<I>a</foo b>c<BR><BR>",
       "I\"a</foo b>c\" BR PARSER_END"},
      {"an unterminated tag name", "<B>x<FONT", "B\"x<FONT\" PARSER_END"},
      {"an unterminated tag after its blank", "<B>x<FONT ", "B\"x<FONT \" PARSER_END"},
      {"an unterminated attribute", "<B>x<FONT SIZE=", "B\"x<FONT SIZE=\" PARSER_END"},
      {"an unterminated quoted value", "<B>x<FONT SIZE=\"3", "B\"x<FONT SIZE=\"3\" PARSER_END"},
      {"a tag missing its end runs to the next one's", "<B>x<FONT SIZE=3<I>y",
       "B\"x\" FONT[SIZE=3<I]\"y\" PARSER_END"},
      {"the tag's end closes an open quote", "<B>x<FONT SIZE=\"3>y",
       "B\"x\" FONT[SIZE=3]\"y\" PARSER_END"},
      {"an open quote takes in what follows up to the tag's end", "<FONT SIZE=\"3 COLOR=red>y",
       "FONT[SIZE=3 COLOR=red]\"y\" PARSER_END"},
      {"a greater-than sign inside quotes ends the tag", "<A HREF=\"x>y\">z",
       "A[HREF=x]\"y\">z\" PARSER_END"},
      {"a comment never closed runs to the end", "<B>x<!-- <I>y", "B\"x\" PARSER_END"},
      {"a comment opener alone", "<!--", "PARSER_END"},
      {"the opener's hyphens do not close it", "<B>x<!-->y<I>z", "B\"x\" PARSER_END"},
      {"half a comment opener is text", "<B>x<!-y", "B\"x<!-y\" PARSER_END"},
      {"a declaration is text", "<!DOCTYPE html><B>x", "B\"x\" PARSER_END"},
      {"high bytes around brackets", "<B>\xFF<\xFF>\x80", "B\"\xFF<\xFF>\x80\" PARSER_END"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parsed(c.text), c.tokens) << c.what;
  }
}

TEST(Malformed, ReadsNoByteAfterTheTerminatingZero) {
  // Each prefix of a page sits in a buffer of exactly its size, so that the
  // address sanitizer sees any read beyond it.
  const std::string page = "<FONT COLOR=\"red\" SIZE=3><!-- c -->a</FONT><HR NOSHADE></B>";
  for (size_t n = 0; n <= page.size(); ++n) {
    std::vector<char> exact(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(n));
    exact.push_back('\0');
    auto list = HtmlTokenList::Parse(exact.data());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(CheckTokenList(list.get(), exact.data(), n), "") << page.substr(0, n);
  }
}

// Inputs that would take quadratic time or deep recursion if a scan restarted
// at every bracket or a list were freed node by node recursively.
TEST(Malformed, LargeInputsStayLinearAndFreeFlat) {
  struct Big {
    const char* what;
    std::string text;
    size_t tokens;
  };
  const Big cases[] = {
      {"unterminated tags with attributes",
       [] {
         std::string s;
         for (int i = 0; i < 200000; ++i) {
           s += "<P ";
         }
         return s;
       }(),
       1},
      {"unterminated comment openers", std::string(300000, '-').insert(0, "<!--"), 1},
      {"one long tag",
       [] {
         std::string s = "<FONT";
         for (int i = 0; i < 100000; ++i) {
           s += " <FONT";
         }
         return s + ">x";
       }(),
       2},
      {"many tokens",
       [] {
         std::string s;
         for (int i = 0; i < 150000; ++i) {
           s += "<B>";
         }
         return s + "x";
       }(),
       150001},
      {"many attributes",
       [] {
         std::string s = "<INPUT";
         for (int i = 0; i < 150000; ++i) {
           s += " CHECKED";
         }
         return s + ">";
       }(),
       1},
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(c.text.begin(), c.text.end());
    buffer.push_back('\0');
    auto list = HtmlTokenList::Parse(buffer.data());
    ASSERT_NE(list, nullptr) << c.what;
    EXPECT_EQ(CheckTokenList(list.get(), buffer.data(), c.text.size()), "") << c.what;
    size_t count = 0;
    for (const HtmlTokenNode* t = list->First(); t != nullptr; t = t->next.get()) {
      ++count;
    }
    EXPECT_EQ(count, c.tokens) << c.what;
  }
}

TEST(Malformed, AManyAttributeTagKeepsThemAll) {
  std::string text = "<INPUT";
  for (int i = 0; i < 100000; ++i) {
    text += " CHECKED";
  }
  text += ">x";
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  auto list = HtmlTokenList::Parse(buffer.data());
  ASSERT_NE(list, nullptr);
  size_t count = 0;
  for (const HtmlAttrNode* a = list->First()->attributes.get(); a != nullptr; a = a->next.get()) {
    ++count;
  }
  EXPECT_EQ(count, 100000u);
}

} // namespace
} // namespace htmltitle
