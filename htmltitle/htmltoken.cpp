#include "htmltitle/htmltoken.h"

namespace htmltitle {
namespace {

constexpr const char* kTokenKindNames[kTokenKindCount] = {
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

constexpr const char* kAttrKindNames[kAttrKindCount] = {
    "HREF",        "NAME",     "WIDTH",   "HEIGHT",  "NOSHADE", "SIZE",     "COLOR",
    "BACKGROUND",  "FACE",     "ALIGN",   "SRC",     "ALT",     "ISMAP",    "TYPE",
    "CELLSPACING", "BORDER",   "COLSPAN", "ROWSPAN", "COMPACT", "VALUE",    "CHECKED",
    "MAXLENGTH",   "MULTIPLE", "ACTION",  "METHOD",  "ENCTYPE", "SELECTED", "DISABLED",
    "COLS",        "ROWS",     "NONE",
};

} // namespace

const char* TokenKindName(int32_t kind) {
  return kind >= 0 && kind < kTokenKindCount ? kTokenKindNames[kind] : "";
}

const char* AttrKindName(int32_t kind) {
  return kind >= 0 && kind < kAttrKindCount ? kAttrKindNames[kind] : "";
}

HtmlAttrNode::~HtmlAttrNode() {
  // Each step detaches the following node before the current one dies.
  while (next) {
    next = std::move(next->next);
  }
}

HtmlTokenNode::~HtmlTokenNode() {
  while (next) {
    next = std::move(next->next);
  }
}

} // namespace htmltitle
