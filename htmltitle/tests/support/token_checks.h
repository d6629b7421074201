// Shared by the tokenizer tests and the fuzz harness: a compact description
// of a token list, and the checks that every parse result must pass.
#pragma once

#include "htmltitle/htmltoken.h"

#include <string>

namespace htmltitle {

class HtmlTokenList;

// Tokens separated by blanks: the kind name, the attributes in brackets
// (NAME=value, or NAME alone without a value) and the text in quotes, e.g.
// FONT[COLOR=red,SIZE=20]"x" PARSER_END.
std::string Describe(const HtmlTokenNode* first);

// "" when the result is sound, else what is wrong with it. source is the
// parsed text after parsing, sourceLength its length.
std::string CheckTokenList(const HtmlTokenList* list, const char* source, size_t sourceLength);

// Parses a copy of text and describes the result; "(none)" when refused.
std::string Parsed(const std::string& text);

} // namespace htmltitle
