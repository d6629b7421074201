// Text attachment, blank runs, attributes, comments and entities of
// well-formed pages.
#include "support/token_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace htmltitle {
namespace {

struct ParseCase {
  const char* what;
  std::string text;
  std::string tokens;
};

void ExpectAll(const ParseCase* begin, const ParseCase* end) {
  for (const ParseCase* c = begin; c != end; ++c) {
    EXPECT_EQ(Parsed(c->text), c->tokens) << c->what;
  }
}

TEST(Parse, TextFollowsItsTag) {
  const ParseCase cases[] = {
      {"nothing after the closing tag: it becomes the end token", "<b>Hello</B>",
       "B\"Hello\" PARSER_END"},
      {"text after the closing tag", "<B>Hello</B>world", "B\"Hello\" /B\"world\" PARSER_END"},
      {"a trailing run becomes the end token", "<I>x", "I\"x\" PARSER_END"},
      {"a foreign tag is text; text after the first tag replaces the text before it",
       "<foo>text<BR>more", "BR\"more\" PARSER_END"},
      {"the end token drops the text before the only tag", "<foo>text<BR>", "PARSER_END"},
      {"the text before the first tag stays when none follows it", "before<B><I>x",
       "B\"before\" I\"x\" PARSER_END"},
      {"a text without a tag ends as the end token alone", "Hello", "PARSER_END"},
      {"tags without text between them", "<HTML><BODY><P>x</P></BODY></HTML>",
       "HTML BODY P\"x\" /P /BODY PARSER_END"},
      {"blanks at both ends stay, one each", "<P>  lead and trail  </P>",
       "P\" lead and trail \" PARSER_END"},
      {"tabs and line breaks between words become one blank", "<B>a  \t\r\n  b\n\nc</B>",
       "B\"a b c\" PARSER_END"},
      {"blanks only", "<B> \t </B>", "B\" \" PARSER_END"},
      {"double-byte text is kept byte for byte", "<H1>\xB0\xA1 \xB3\xAA</H1>",
       "H1\"\xB0\xA1 \xB3\xAA\" PARSER_END"},
      {"a greater-than sign outside a tag is text", "<B>a > b</B>", "B\"a > b\" PARSER_END"},
      {"a less-than sign before a tag is text", "<<B>>x", "B\">x\" PARSER_END"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST(Parse, Attributes) {
  const ParseCase cases[] = {
      {"unquoted and quoted values", "<FONT COLOR=red SIZE=\"20\">x",
       "FONT[COLOR=red,SIZE=20]\"x\" PARSER_END"},
      {"names in any case, blanks around the equals sign, blanks inside quotes",
       "<a href = \"a b\" Name=n>x", "A[HREF=a b,NAME=n]\"x\" PARSER_END"},
      {"tabs and line breaks separate attributes", "<FONT\tCOLOR=red\r\nSIZE=2>x",
       "FONT[COLOR=red,SIZE=2]\"x\" PARSER_END"},
      {"an empty quoted value", "<FONT COLOR=\"\">x", "FONT[COLOR=]\"x\" PARSER_END"},
      {"no value after the equals sign", "<FONT COLOR=>x", "FONT\"x\" PARSER_END"},
      {"a name without an equals sign waits for one", "<FONT COLOR red SIZE=3>x",
       "FONT[COLOR=3]\"x\" PARSER_END"},
      {"value-less attributes are recorded at once", "<HR NOSHADE WIDTH=50>x",
       "HR[NOSHADE,WIDTH=50]\"x\" PARSER_END"},
      {"a value-less attribute last", "<INPUT TYPE=checkbox VALUE=\"1\" CHECKED>x",
       "INPUT[TYPE=checkbox,VALUE=1,CHECKED]\"x\" PARSER_END"},
      {"a repeated attribute is kept twice, in order", "<FONT SIZE=3 SIZE=4>x",
       "FONT[SIZE=3,SIZE=4]\"x\" PARSER_END"},
      {"names the tag does not take are skipped", "<P HREF=a ALIGN=center>x",
       "P[ALIGN=center]\"x\" PARSER_END"},
      {"the suite's outline tag", "<O COLOR=yellow TYPE=outline>Hi</O>",
       "O[COLOR=yellow,TYPE=outline]\"Hi\" PARSER_END"},
      {"the suite's alignment tag", "<ALIGN TYPE=right>x</ALIGN>y",
       "ALIGN[TYPE=right]\"x\" /ALIGN\"y\" PARSER_END"},
      {"a closing tag may carry attributes too", "</FONT SIZE=3>x",
       "/FONT[SIZE=3]\"x\" PARSER_END"},
      {"a single quote is part of a value", "<FONT FACE='x'>y", "FONT[FACE='x']\"y\" PARSER_END"},
      {"double-byte value", "<FONT FACE=\"\xB1\xBC\xB8\xB2\">x",
       "FONT[FACE=\xB1\xBC\xB8\xB2]\"x\" PARSER_END"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST(Parse, CommentsAreTokensWithoutText) {
  const ParseCase cases[] = {
      {"tags inside a comment are not read", "<B>a<!-- <I> hidden -->b</B>",
       "B\"a\" COMMENT\"b\" PARSER_END"},
      {"a comment first", "<!-- c --><B>x", "COMMENT B\"x\" PARSER_END"},
      {"line breaks inside a comment", "<B>x<!--\r\n-->y", "B\"x\" COMMENT\"y\" PARSER_END"},
      {"a comment last becomes the end token", "<B>x<!-- c -->", "B\"x\" PARSER_END"},
      {"single hyphens do not end it", "<B>x<!-- a - b -- c ->d -->y",
       "B\"x\" COMMENT\"y\" PARSER_END"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST(Parse, EntitiesAreTextAsWritten) {
  // The dialect has no character references: they stay as written and never
  // form a tag.
  const ParseCase cases[] = {
      {"named and numeric references", "<B>Fish &amp; Chips &#169; &nbsp;</B>",
       "B\"Fish &amp; Chips &#169; &nbsp;\" PARSER_END"},
      {"escaped brackets are no tag", "<B>&lt;I&gt;x&lt;/I&gt;</B>",
       "B\"&lt;I&gt;x&lt;/I&gt;\" PARSER_END"},
      {"a bare ampersand", "<B>R&B</B>", "B\"R&B\" PARSER_END"},
      {"references in a value", "<A HREF=\"a?b=1&amp;c=2\">x",
       "A[HREF=a?b=1&amp;c=2]\"x\" PARSER_END"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

} // namespace
} // namespace htmltitle
