// Every token and attribute kind: its number and name, and the tag or
// attribute that produces it.
#include "htmltitle/htmltoken.h"
#include "platform/sys/ascii.h"
#include "support/token_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace htmltitle {
namespace {

const char* const kExpectedTokenNames[] = {
    "UNKNOWN", "NONE",       "A",           "/A",       "ADDRESS",   "/ADDRESS",   "B",
    "/B",      "BLOCKQUOTE", "/BLOCKQUOTE", "BODY",     "/BODY",     "BR",         "/BR",
    "CAPTION", "/CAPTION",   "CENTER",      "/CENTER",  "CITE",      "/CITE",      "CODE",
    "/CODE",   "DD",         "/DD",         "DFN",      "/DFN",      "DIR",        "/DIR",
    "DL",      "/DL",        "DT",          "/DT",      "EM",        "/EM",        "FONT",
    "/FONT",   "HEAD",       "/HEAD",       "H1",       "/H1",       "H2",         "/H2",
    "H3",      "/H3",        "H4",          "/H4",      "H5",        "/H5",        "H6",
    "/H6",     "HR",         "/HR",         "HTML",     "/HTML",     "I",          "/I",
    "IMG",     "KBD",        "/KBD",        "LI",       "/LI",       "MENU",       "/MENU",
    "OL",      "/OL",        "P",           "/P",       "PRE",       "/PRE",       "SAMP",
    "/SAMP",   "STRONG",     "/STRONG",     "SUB",      "/SUB",      "SUP",        "/SUP",
    "TABLE",   "/TABLE",     "TD",          "/TD",      "TH",        "/TH",        "TITLE",
    "/TITLE",  "TR",         "/TR",         "TT",       "/TT",       "U",          "/U",
    "O",       "/O",         "UL",          "/UL",      "VAR",       "/VAR",       "ALIGN",
    "/ALIGN",  "PLAIN_TEXT", "COMMENT",     "INPUT",    "SELECT",    "/SELECT",    "FORM",
    "/FORM",   "OPTION",     "/OPTION",     "TEXTAREA", "/TEXTAREA", "PARSER_END",
};
static_assert(std::size(kExpectedTokenNames) == kTokenKindCount);

const char* const kExpectedAttrNames[] = {
    "HREF",        "NAME",     "WIDTH",   "HEIGHT",  "NOSHADE", "SIZE",     "COLOR",
    "BACKGROUND",  "FACE",     "ALIGN",   "SRC",     "ALT",     "ISMAP",    "TYPE",
    "CELLSPACING", "BORDER",   "COLSPAN", "ROWSPAN", "COMPACT", "VALUE",    "CHECKED",
    "MAXLENGTH",   "MULTIPLE", "ACTION",  "METHOD",  "ENCTYPE", "SELECTED", "DISABLED",
    "COLS",        "ROWS",     "NONE",
};
static_assert(std::size(kExpectedAttrNames) == kAttrKindCount);

TEST(Kinds, NumbersAndDisplayNames) {
  for (int32_t k = 0; k < kTokenKindCount; ++k) {
    EXPECT_STREQ(TokenKindName(k), kExpectedTokenNames[k]) << "token kind " << k;
  }
  for (int32_t k = 0; k < kAttrKindCount; ++k) {
    EXPECT_STREQ(AttrKindName(k), kExpectedAttrNames[k]) << "attribute kind " << k;
  }
  EXPECT_STREQ(TokenKindName(-1), "");
  EXPECT_STREQ(TokenKindName(kTokenKindCount), "");
  EXPECT_STREQ(AttrKindName(kAttrKindCount), "");
  EXPECT_EQ(static_cast<int32_t>(TokenKind::Img), 56);
  EXPECT_EQ(static_cast<int32_t>(TokenKind::Input), 101);
}

// The 54 tags; whether each takes attributes (and so may be followed by a blank).
struct TagRow {
  const char* name;
  bool takesAttributes;
};
const TagRow kTags[] = {
    {"A", true},      {"ADDRESS", false}, {"B", false},       {"BLOCKQUOTE", false},
    {"BODY", false},  {"BR", false},      {"CAPTION", false}, {"CENTER", false},
    {"CITE", false},  {"CODE", false},    {"DD", false},      {"DFN", false},
    {"DIR", false},   {"DL", true},       {"DT", false},      {"EM", false},
    {"FONT", true},   {"HEAD", false},    {"H1", false},      {"H2", false},
    {"H3", false},    {"H4", false},      {"H5", false},      {"H6", false},
    {"HR", true},     {"HTML", false},    {"I", false},       {"IMG", true},
    {"KBD", false},   {"LI", true},       {"MENU", false},    {"OL", false},
    {"P", true},      {"PRE", true},      {"SAMP", false},    {"STRONG", false},
    {"SUB", false},   {"SUP", false},     {"TABLE", true},    {"TD", true},
    {"TH", true},     {"TITLE", false},   {"TR", false},      {"TT", false},
    {"U", false},     {"O", true},        {"UL", true},       {"VAR", false},
    {"ALIGN", true},  {"INPUT", true},    {"SELECT", true},   {"FORM", true},
    {"OPTION", true}, {"TEXTAREA", true},
};
static_assert(std::size(kTags) == 54);

std::string Lower(std::string s) {
  return sys::AsciiLowered(s);
}

TEST(Kinds, EveryTagAndClosingTagGivesItsOwnKind) {
  std::set<std::string> produced;
  for (const TagRow& tag : kTags) {
    const std::string name = tag.name;
    const bool hasClosing = name != "IMG" && name != "INPUT";
    // Upper, lower and mixed case; the text x follows the tag.
    for (const std::string& spelled :
         {name, Lower(name), Lower(name.substr(0, 1)) + name.substr(1)}) {
      EXPECT_EQ(Parsed("<" + spelled + ">x"), name + "\"x\" PARSER_END") << spelled;
      const std::string closing = hasClosing ? "/" + name : "UNKNOWN";
      EXPECT_EQ(Parsed("</" + spelled + ">x"), closing + "\"x\" PARSER_END") << spelled;
    }
    produced.insert(name);
    if (hasClosing) {
      produced.insert("/" + name);
    }
    // A blank after the name: a tag only when the tag takes attributes.
    EXPECT_EQ(Parsed("<" + name + " >x<BR><BR>"), tag.takesAttributes
                                                      ? name + "\"x\" BR PARSER_END"
                                                      : "BR\"<" + name + " >x\" PARSER_END")
        << name;
    // A longer name is no tag of the dialect.
    EXPECT_EQ(Parsed("<" + name + "Q>x<BR><BR>"), "BR\"<" + name + "Q>x\" PARSER_END") << name;
  }
  produced.insert({"UNKNOWN", "NONE", "PLAIN_TEXT", "COMMENT", "PARSER_END"});
  // Together with the kinds that no tag gives, every kind is accounted for.
  EXPECT_EQ(produced.size(), static_cast<size_t>(kTokenKindCount));
}

// The attributes that each tag accepts.
struct AttrRow {
  const char* tag;
  std::vector<const char*> attrs;
};
const AttrRow kAccepted[] = {
    {"A", {"HREF", "NAME"}},
    {"DL", {"COMPACT"}},
    {"UL", {"COMPACT"}},
    {"FONT", {"SIZE", "COLOR", "BACKGROUND", "FACE"}},
    {"HR", {"WIDTH", "NOSHADE", "SIZE", "ALIGN"}},
    {"IMG", {"ALIGN", "SRC", "ALT", "ISMAP"}},
    {"LI", {"TYPE"}},
    {"P", {"SIZE", "ALIGN"}},
    {"PRE", {"WIDTH"}},
    {"TABLE", {"WIDTH", "HEIGHT", "CELLSPACING", "BORDER"}},
    {"TD", {"ALIGN", "COLSPAN", "ROWSPAN"}},
    {"TH", {"ALIGN", "COLSPAN", "ROWSPAN"}},
    {"O", {"COLOR", "TYPE"}},
    {"ALIGN", {"TYPE"}},
    {"INPUT", {"NAME", "SIZE", "ALIGN", "SRC", "TYPE", "VALUE", "CHECKED", "MAXLENGTH"}},
    {"SELECT", {"NAME", "SIZE", "MULTIPLE"}},
    {"FORM", {"ACTION", "METHOD", "ENCTYPE"}},
    {"OPTION", {"VALUE", "SELECTED", "DISABLED"}},
    {"TEXTAREA", {"NAME", "COLS", "ROWS"}},
};

bool IsValueLess(const std::string& attr) {
  return attr == "NOSHADE" || attr == "CHECKED" || attr == "MULTIPLE" || attr == "SELECTED" ||
         attr == "DISABLED";
}

TEST(Kinds, EveryTagReadsExactlyTheAttributesItAccepts) {
  std::set<std::string> seen;
  for (const AttrRow& row : kAccepted) {
    const std::string tag = row.tag;
    for (int32_t k = 0; k < kAttrKindCount - 1; ++k) {
      const std::string attr = AttrKindName(k);
      const bool accepted = std::find(row.attrs.begin(), row.attrs.end(), attr) != row.attrs.end();
      const std::string got = Parsed("<" + tag + " " + Lower(attr) + "=v>x");
      std::string want = tag + "\"x\" PARSER_END";
      if (accepted) {
        want = tag + "[" + attr + (IsValueLess(attr) ? "" : "=v") + "]\"x\" PARSER_END";
        seen.insert(attr);
      } else {
        // Names are looked for at every character, so an accepted name inside
        // another one is read: COLS in COLSPAN, TYPE in ENCTYPE.
        for (const char* inside : row.attrs) {
          if (attr.find(inside) != std::string::npos) {
            want = tag + "[" + inside + "=v]\"x\" PARSER_END";
          }
        }
      }
      EXPECT_EQ(got, want) << tag << " " << attr;
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kAttrKindCount - 1)) << "an attribute never read";
}

} // namespace
} // namespace htmltitle
