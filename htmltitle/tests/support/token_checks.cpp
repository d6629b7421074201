#include "token_checks.h"

#include "htmltitle/tokenlist.h"

#include <cstring>
#include <vector>

namespace htmltitle {

std::string Describe(const HtmlTokenNode* first) {
  std::string out;
  for (const HtmlTokenNode* t = first; t != nullptr; t = t->next.get()) {
    if (!out.empty()) {
      out += ' ';
    }
    out += TokenKindName(static_cast<int32_t>(t->kind));
    if (t->attributes) {
      out += '[';
      for (const HtmlAttrNode* a = t->attributes.get(); a != nullptr; a = a->next.get()) {
        if (a != t->attributes.get()) {
          out += ',';
        }
        out += AttrKindName(static_cast<int32_t>(a->kind));
        if (a->value) {
          out += '=';
          out.append(a->value.get(), a->valueLength);
        }
      }
      out += ']';
    }
    if (t->text) {
      out += '"';
      out.append(t->text.get(), t->textLength);
      out += '"';
    }
  }
  return out;
}

std::string CheckTokenList(const HtmlTokenList* list, const char* source, size_t sourceLength) {
  if (list == nullptr) {
    return "no result";
  }
  for (size_t i = 0; i < sourceLength; ++i) {
    if (source[i] == '\t' || source[i] == '\r' || source[i] == '\n') {
      return "a tab or line break left in the text at " + std::to_string(i);
    }
  }
  // Every token but the end token comes from a tag or comment of at least
  // three characters.
  const size_t maxTokens = sourceLength / 3 + 1;
  size_t count = 0;
  for (const HtmlTokenNode* t = list->First(); t != nullptr; t = t->next.get()) {
    if (++count > maxTokens) {
      return "more tokens than the text can hold";
    }
    const auto kind = static_cast<int32_t>(t->kind);
    if (kind < 0 || kind >= kTokenKindCount) {
      return "token kind out of range: " + std::to_string(kind);
    }
    const bool last = t->next == nullptr;
    if (last != (t->kind == TokenKind::ParserEnd)) {
      return "the end token is not exactly the last token";
    }
    if (!last && (t->kind == TokenKind::None || t->kind == TokenKind::PlainText)) {
      return "a token of a bare text run before the end";
    }
    if (last && t->text) {
      return "the end token has a text";
    }
    if (t->text) {
      const char* text = t->text.get();
      if (t->textLength <= 0 || std::strlen(text) != static_cast<size_t>(t->textLength)) {
        return "text length differs from the text";
      }
      if (std::strstr(text, "  ") != nullptr || std::strpbrk(text, "\t\r\n") != nullptr) {
        return "blank run not reduced in \"" + std::string(text) + "\"";
      }
    } else if (t->textLength != 0) {
      return "text length without a text";
    }
    for (const HtmlAttrNode* a = t->attributes.get(); a != nullptr; a = a->next.get()) {
      const auto akind = static_cast<int32_t>(a->kind);
      if (akind < 0 || akind >= kAttrKindCount - 1) {
        return "attribute kind out of range: " + std::to_string(akind);
      }
      if (a->value ? std::strlen(a->value.get()) != static_cast<size_t>(a->valueLength)
                   : a->valueLength != 0) {
        return "attribute value length differs from the value";
      }
    }
  }
  if (count == 0) {
    return "no token";
  }
  return "";
}

std::string Parsed(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  auto list = HtmlTokenList::Parse(buffer.data());
  if (!list) {
    return "(none)";
  }
  const std::string problem = CheckTokenList(list.get(), buffer.data(), std::strlen(buffer.data()));
  if (!problem.empty()) {
    return "(unsound: " + problem + ") " + Describe(list->First());
  }
  return Describe(list->First());
}

} // namespace htmltitle
