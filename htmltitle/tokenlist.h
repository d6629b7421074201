// The title-page parser and its result: reads a text of the HTML dialect one
// token at a time into a list of tokens, each with the text after its tag.
#pragma once

#include "htmltitle/export.h"
#include "htmltitle/htmltoken.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace htmltitle {

class MARQUELL_EXPORT HtmlTokenList {
public:
  // The longest text accepted: lengths are 32-bit.
  static constexpr size_t kMaxSourceLength = INT32_MAX - 1;

  // Parses text (zero-terminated; tabs, carriage returns and line feeds in it
  // become blanks) to the end. Null for a null or overlong text.
  static std::unique_ptr<HtmlTokenList> Parse(char* text);

  explicit HtmlTokenList(char* source);
  HtmlTokenList(const HtmlTokenList&) = delete;
  HtmlTokenList& operator=(const HtmlTokenList&) = delete;
  ~HtmlTokenList();

  // Adds one token, or at the end of the text turns the last token into the
  // end token and sets the end flag.
  void Step();
  bool AtEnd() const { return end_; }

  // The first token; the last one is of kind ParserEnd once AtEnd().
  HtmlTokenNode* First() const { return first_.get(); }
  const char* Source() const { return source_; }

private:
  struct Scan {
    TokenKind kind;
    size_t runStart;
    size_t runLength;
  };
  // The attribute being read inside a tag.
  struct AttrReader {
    AttrKind kind = AttrKind::None;
    size_t valueStart = 0;
    bool afterEquals = false;
    bool valueBegun = false;
    bool quoted = false;
  };
  Scan Tokenize();
  // At a "<": a comment or a tag of the dialect, the cursor moved past it;
  // false, cursor unmoved, when the text there is plain text.
  bool ReadTag(TokenKind& kind);
  bool ReadComment();
  void ReadAttributes(std::span<const AttrKind> accepted, size_t from, size_t end);
  void AppendAttribute(AttrKind kind, const char* value, size_t length);
  void AttachRun(size_t start, size_t length);
  size_t NextGreaterThan(size_t from);

  char* source_;
  size_t cursor_ = 0;
  std::unique_ptr<HtmlTokenNode> first_;
  HtmlTokenNode* tail_ = nullptr;    // the last token that received its text
  HtmlTokenNode* current_ = nullptr; // the token being built
  std::unique_ptr<HtmlAttrNode> pending_;
  HtmlAttrNode* pendingTail_ = nullptr;
  bool closing_ = false;
  AttrReader attr_;
  bool end_ = false;
  // Where the next ">" was last found (npos: none from gtFrom_ on), so that
  // unterminated tags cost one scan of the text, not one each.
  size_t gtFrom_ = 0;
  size_t gtAt_ = 0;
  bool gtKnown_ = false;
};

} // namespace htmltitle
