// The fields and moves of the token-list test dialog.
#include "htmltitle/tokenlist.h"
#include "htmltitle/tokenlistview.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace htmltitle {
namespace {

using View = TokenListView;

std::string Hex(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%08lx",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
  return text;
}

TEST(TokenListView, FieldsOfTokensAndAttributes) {
  char page[] = "<FONT COLOR=red SIZE=\"20\">x<HR NOSHADE><B>y";
  auto list = HtmlTokenList::Parse(page);
  ASSERT_NE(list, nullptr);
  const HtmlTokenNode* font = list->First();
  View view(font);

  EXPECT_EQ(view.FieldText(View::kTokenKind), "FONT");
  EXPECT_EQ(view.FieldText(View::kTokenText), "x");
  EXPECT_EQ(view.FieldText(View::kTokenLength), "1");
  EXPECT_EQ(view.FieldText(View::kTokenIdentity), Hex(font));
  EXPECT_EQ(view.FieldText(View::kNextTokenIdentity), Hex(font->next.get()));
  EXPECT_EQ(view.FieldText(View::kAttrKind), "COLOR");
  EXPECT_EQ(view.FieldText(View::kAttrValue), "red");
  EXPECT_EQ(view.FieldText(View::kAttrLength), "3");
  EXPECT_EQ(view.FieldText(View::kAttrIdentity), Hex(font->attributes.get()));
  EXPECT_EQ(view.FieldText(View::kNextAttrIdentity), Hex(font->attributes->next.get()));
  EXPECT_EQ(view.FieldText(4242), "");

  ASSERT_TRUE(view.NextAttribute());
  EXPECT_EQ(view.FieldText(View::kAttrKind), "SIZE");
  EXPECT_EQ(view.FieldText(View::kAttrValue), "20");
  EXPECT_EQ(view.FieldText(View::kNextAttrIdentity), "00000000");
  EXPECT_FALSE(view.NextAttribute());

  // HR: a value-less attribute and no text.
  ASSERT_TRUE(view.NextToken());
  EXPECT_EQ(view.FieldText(View::kTokenKind), "HR");
  EXPECT_EQ(view.FieldText(View::kTokenText), " ");
  EXPECT_EQ(view.FieldText(View::kTokenLength), "0");
  EXPECT_EQ(view.FieldText(View::kAttrKind), "NOSHADE");
  EXPECT_EQ(view.FieldText(View::kAttrValue), "");
  EXPECT_EQ(view.FieldText(View::kAttrLength), "0");

  // B, without attributes.
  ASSERT_TRUE(view.NextToken());
  EXPECT_EQ(view.FieldText(View::kTokenKind), "B");
  EXPECT_EQ(view.FieldText(View::kTokenText), "y");
  EXPECT_EQ(view.FieldText(View::kAttrKind), "Not exist");
  EXPECT_EQ(view.FieldText(View::kAttrValue), "");
  EXPECT_FALSE(view.NextAttribute());
  EXPECT_FALSE(view.PreviousAttribute());

  ASSERT_TRUE(view.NextToken());
  EXPECT_EQ(view.FieldText(View::kTokenKind), "PARSER_END");
  EXPECT_EQ(view.FieldText(View::kNextTokenIdentity), "00000000");
  EXPECT_FALSE(view.NextToken());
}

TEST(TokenListView, MovesBackShowTheFirstAttribute) {
  char page[] = "<FONT COLOR=red SIZE=2 FACE=x>a<P ALIGN=center SIZE=4>b";
  auto list = HtmlTokenList::Parse(page);
  ASSERT_NE(list, nullptr);
  View view(list->First());
  EXPECT_FALSE(view.PreviousToken());
  ASSERT_TRUE(view.NextAttribute());
  ASSERT_TRUE(view.NextAttribute());
  EXPECT_EQ(view.FieldText(View::kAttrKind), "FACE");
  ASSERT_TRUE(view.PreviousAttribute());
  EXPECT_EQ(view.FieldText(View::kAttrKind), "SIZE");

  ASSERT_TRUE(view.NextToken());
  EXPECT_EQ(view.FieldText(View::kAttrKind), "ALIGN");
  ASSERT_TRUE(view.NextAttribute());
  ASSERT_TRUE(view.PreviousToken());
  EXPECT_EQ(view.Token(), list->First());
  EXPECT_EQ(view.FieldText(View::kAttrKind), "COLOR");
  EXPECT_FALSE(view.PreviousAttribute());
}

TEST(TokenListView, NoTokens) {
  View view(nullptr);
  EXPECT_FALSE(view.NextToken());
  EXPECT_FALSE(view.PreviousToken());
  EXPECT_FALSE(view.NextAttribute());
  EXPECT_FALSE(view.PreviousAttribute());
  EXPECT_EQ(view.FieldText(View::kTokenKind), "");
  EXPECT_EQ(view.FieldText(View::kAttrKind), "Not exist");
}

} // namespace
} // namespace htmltitle
