// The records of a parsed title page: token and attribute kinds, one token
// with the text that follows its tag, and the attributes of its tag.
#pragma once

#include "htmltitle/export.h"

#include <cstdint>
#include <memory>

namespace htmltitle {

// Numbered as the dialect lists them; a closing form follows its tag.
enum class TokenKind : int32_t {
  Unknown,
  None,
  A,
  EndA,
  Address,
  EndAddress,
  B,
  EndB,
  Blockquote,
  EndBlockquote,
  Body,
  EndBody,
  Br,
  EndBr,
  Caption,
  EndCaption,
  Center,
  EndCenter,
  Cite,
  EndCite,
  Code,
  EndCode,
  Dd,
  EndDd,
  Dfn,
  EndDfn,
  Dir,
  EndDir,
  Dl,
  EndDl,
  Dt,
  EndDt,
  Em,
  EndEm,
  Font,
  EndFont,
  Head,
  EndHead,
  H1,
  EndH1,
  H2,
  EndH2,
  H3,
  EndH3,
  H4,
  EndH4,
  H5,
  EndH5,
  H6,
  EndH6,
  Hr,
  EndHr,
  Html,
  EndHtml,
  I,
  EndI,
  Img,
  Kbd,
  EndKbd,
  Li,
  EndLi,
  Menu,
  EndMenu,
  Ol,
  EndOl,
  P,
  EndP,
  Pre,
  EndPre,
  Samp,
  EndSamp,
  Strong,
  EndStrong,
  Sub,
  EndSub,
  Sup,
  EndSup,
  Table,
  EndTable,
  Td,
  EndTd,
  Th,
  EndTh,
  Title,
  EndTitle,
  Tr,
  EndTr,
  Tt,
  EndTt,
  U,
  EndU,
  O,
  EndO,
  Ul,
  EndUl,
  Var,
  EndVar,
  Align,
  EndAlign,
  PlainText,
  Comment,
  Input,
  Select,
  EndSelect,
  Form,
  EndForm,
  Option,
  EndOption,
  Textarea,
  EndTextarea,
  ParserEnd,
};
constexpr int32_t kTokenKindCount = 111;
static_assert(static_cast<int32_t>(TokenKind::ParserEnd) == kTokenKindCount - 1);

enum class AttrKind : int16_t {
  Href,
  Name,
  Width,
  Height,
  NoShade,
  Size,
  Color,
  Background,
  Face,
  Align,
  Src,
  Alt,
  IsMap,
  Type,
  CellSpacing,
  Border,
  ColSpan,
  RowSpan,
  Compact,
  Value,
  Checked,
  MaxLength,
  Multiple,
  Action,
  Method,
  EncType,
  Selected,
  Disabled,
  Cols,
  Rows,
  None,
};
constexpr int32_t kAttrKindCount = 31;
static_assert(static_cast<int32_t>(AttrKind::None) == kAttrKindCount - 1);

// The display names ("/B", "PARSER_END", "COLSPAN"); "" for a number out of range.
MARQUELL_EXPORT const char* TokenKindName(int32_t kind);
MARQUELL_EXPORT const char* AttrKindName(int32_t kind);

struct MARQUELL_EXPORT HtmlAttrNode {
  AttrKind kind = AttrKind::None;
  // Zero-terminated; null for an attribute without a value. The colour and
  // alignment decoders lower-case it in place.
  std::unique_ptr<char[]> value;
  int32_t valueLength = 0;
  std::unique_ptr<HtmlAttrNode> next;

  HtmlAttrNode() = default;
  HtmlAttrNode(const HtmlAttrNode&) = delete;
  HtmlAttrNode& operator=(const HtmlAttrNode&) = delete;
  // Frees the attributes after this one in a loop, not by recursion.
  ~HtmlAttrNode();
};

struct MARQUELL_EXPORT HtmlTokenNode {
  TokenKind kind = TokenKind::None;
  std::unique_ptr<HtmlAttrNode> attributes;
  std::unique_ptr<HtmlTokenNode> next;
  // The text that follows the tag, blank runs reduced to one blank;
  // zero-terminated, or null.
  std::unique_ptr<char[]> text;
  int32_t textLength = 0;

  HtmlTokenNode() = default;
  HtmlTokenNode(const HtmlTokenNode&) = delete;
  HtmlTokenNode& operator=(const HtmlTokenNode&) = delete;
  // Frees the tokens after this one in a loop: a page may hold many.
  ~HtmlTokenNode();
};

} // namespace htmltitle
