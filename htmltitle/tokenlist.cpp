#include "htmltitle/tokenlist.h"
#include "platform/sys/ascii.h"

#include <array>
#include <cstring>
#include <strings.h>

namespace htmltitle {
namespace {

constexpr size_t kNpos = static_cast<size_t>(-1);

struct AttrDef {
  const char* name;
  bool valueLess; // recorded as soon as its name is read
};

// Indexed by AttrKind.
constexpr std::array<AttrDef, kAttrKindCount - 1> kAttrs = {{
    {"HREF", false},    {"NAME", false},      {"WIDTH", false},       {"HEIGHT", false},
    {"NOSHADE", true},  {"SIZE", false},      {"COLOR", false},       {"BACKGROUND", false},
    {"FACE", false},    {"ALIGN", false},     {"SRC", false},         {"ALT", false},
    {"ISMAP", false},   {"TYPE", false},      {"CELLSPACING", false}, {"BORDER", false},
    {"COLSPAN", false}, {"ROWSPAN", false},   {"COMPACT", false},     {"VALUE", false},
    {"CHECKED", true},  {"MAXLENGTH", false}, {"MULTIPLE", true},     {"ACTION", false},
    {"METHOD", false},  {"ENCTYPE", false},   {"SELECTED", true},     {"DISABLED", true},
    {"COLS", false},    {"ROWS", false},
}};

// The attributes that each tag accepts, in the order they are looked for.
namespace accepted {
using enum AttrKind;
constexpr AttrKind kAnchorAttrs[] = {Href, Name};
constexpr AttrKind kListAttrs[] = {Compact};
constexpr AttrKind kFontAttrs[] = {Size, Color, Background, Face};
constexpr AttrKind kRuleAttrs[] = {Width, NoShade, Size, Align};
constexpr AttrKind kImageAttrs[] = {Align, Src, Alt, IsMap};
constexpr AttrKind kTypeAttrs[] = {Type};
constexpr AttrKind kParagraphAttrs[] = {Size, Align};
constexpr AttrKind kPreAttrs[] = {Width};
constexpr AttrKind kTableAttrs[] = {Width, Height, CellSpacing, Border};
constexpr AttrKind kCellAttrs[] = {Align, ColSpan, RowSpan};
constexpr AttrKind kOutlineAttrs[] = {Color, Type};
constexpr AttrKind kInputAttrs[] = {Name, Size, Align, Src, Type, Value, Checked, MaxLength};
constexpr AttrKind kSelectAttrs[] = {Name, Size, Multiple};
constexpr AttrKind kFormAttrs[] = {Action, Method, EncType};
constexpr AttrKind kOptionAttrs[] = {Value, Selected, Disabled};
constexpr AttrKind kTextareaAttrs[] = {Name, Cols, Rows};
} // namespace accepted

struct TagDef {
  const char* name;
  TokenKind open;
  TokenKind close; // Unknown: the tag has no closing form
  std::span<const AttrKind> attrs;
};

using enum TokenKind;
using namespace accepted;
// A tag with attributes may be followed by a blank; every other one only by ">".
const TagDef kTags[] = {
    {"A", A, EndA, kAnchorAttrs},
    {"ADDRESS", Address, EndAddress, {}},
    {"B", B, EndB, {}},
    {"BLOCKQUOTE", Blockquote, EndBlockquote, {}},
    {"BODY", Body, EndBody, {}},
    {"BR", Br, EndBr, {}},
    {"CAPTION", Caption, EndCaption, {}},
    {"CENTER", Center, EndCenter, {}},
    {"CITE", Cite, EndCite, {}},
    {"CODE", Code, EndCode, {}},
    {"DD", Dd, EndDd, {}},
    {"DFN", Dfn, EndDfn, {}},
    {"DIR", Dir, EndDir, {}},
    {"DL", Dl, EndDl, kListAttrs},
    {"DT", Dt, EndDt, {}},
    {"EM", Em, EndEm, {}},
    {"FONT", Font, EndFont, kFontAttrs},
    {"HEAD", Head, EndHead, {}},
    {"H1", H1, EndH1, {}},
    {"H2", H2, EndH2, {}},
    {"H3", H3, EndH3, {}},
    {"H4", H4, EndH4, {}},
    {"H5", H5, EndH5, {}},
    {"H6", H6, EndH6, {}},
    {"HR", Hr, EndHr, kRuleAttrs},
    {"HTML", Html, EndHtml, {}},
    {"I", I, EndI, {}},
    {"IMG", Img, Unknown, kImageAttrs},
    {"KBD", Kbd, EndKbd, {}},
    {"LI", Li, EndLi, kTypeAttrs},
    {"MENU", Menu, EndMenu, {}},
    {"OL", Ol, EndOl, {}},
    {"P", P, EndP, kParagraphAttrs},
    {"PRE", Pre, EndPre, kPreAttrs},
    {"SAMP", Samp, EndSamp, {}},
    {"STRONG", Strong, EndStrong, {}},
    {"SUB", Sub, EndSub, {}},
    {"SUP", Sup, EndSup, {}},
    {"TABLE", Table, EndTable, kTableAttrs},
    {"TD", Td, EndTd, kCellAttrs},
    {"TH", Th, EndTh, kCellAttrs},
    {"TITLE", Title, EndTitle, {}},
    {"TR", Tr, EndTr, {}},
    {"TT", Tt, EndTt, {}},
    {"U", U, EndU, {}},
    {"O", O, EndO, kOutlineAttrs},
    {"UL", Ul, EndUl, kListAttrs},
    {"VAR", Var, EndVar, {}},
    {"ALIGN", TokenKind::Align, EndAlign, kTypeAttrs},
    {"INPUT", Input, Unknown, kInputAttrs},
    {"SELECT", Select, EndSelect, kSelectAttrs},
    {"FORM", Form, EndForm, kFormAttrs},
    {"OPTION", Option, EndOption, kOptionAttrs},
    {"TEXTAREA", Textarea, EndTextarea, kTextareaAttrs},
};
static_assert(std::size(kTags) == 54);

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Tabs and line breaks are read as blanks, and stay blanks in the text.
char ReadChar(char* at) {
  if (IsBlank(*at)) {
    *at = ' ';
  }
  return *at;
}

// The comparison stops at the zero that ends the text.
bool NameAt(const char* at, const char* name, size_t length) {
  return sys::EqualIgnoringAsciiCase(std::string_view(at, strnlen(at, length)),
                                     std::string_view(name, strnlen(name, length)));
}

std::unique_ptr<char[]> CopyText(const char* from, size_t length) {
  auto copy = std::make_unique<char[]>(length + 1);
  std::memcpy(copy.get(), from, length);
  copy[length] = '\0';
  return copy;
}

} // namespace

std::unique_ptr<HtmlTokenList> HtmlTokenList::Parse(char* text) {
  if (text == nullptr || strnlen(text, kMaxSourceLength + 1) > kMaxSourceLength) {
    return nullptr;
  }
  auto list = std::make_unique<HtmlTokenList>(text);
  while (!list->AtEnd()) {
    list->Step();
  }
  return list;
}

HtmlTokenList::HtmlTokenList(char* source) : source_(source) {}

HtmlTokenList::~HtmlTokenList() = default;

void HtmlTokenList::Step() {
  if (end_) {
    return;
  }
  if (source_[cursor_] == '\0') {
    if (tail_ == nullptr) {
      // An empty text still ends in an end token, so that a walk of the
      // result always meets one.
      first_ = std::make_unique<HtmlTokenNode>();
      tail_ = current_ = first_.get();
    }
    tail_->kind = TokenKind::ParserEnd;
    tail_->text.reset();
    tail_->textLength = 0;
    end_ = true;
    return;
  }

  closing_ = false;
  pending_.reset();
  pendingTail_ = nullptr;
  const Scan scan = Tokenize();

  auto token = std::make_unique<HtmlTokenNode>();
  token->kind = scan.kind;
  token->attributes = std::move(pending_);
  pendingTail_ = nullptr;
  current_ = token.get();
  if (first_ == nullptr) {
    first_ = std::move(token);
    tail_ = current_;
  } else {
    tail_->next = std::move(token);
  }

  // The run before a tag belongs to the token of the tag before it; the
  // first token takes the run before its own tag until text follows it.
  if (scan.runLength > 0) {
    AttachRun(scan.runStart, scan.runLength);
  }
  if (tail_->next != nullptr) {
    tail_ = tail_->next.get();
  }
}

void HtmlTokenList::AttachRun(size_t start, size_t length) {
  const char* run = source_ + start;
  auto text = std::make_unique<char[]>(length + 1);
  size_t n = 0;
  for (size_t i = 0; i < length && run[i] != '\0'; ++i) {
    if (run[i] == ' ' && n > 0 && text[n - 1] == ' ') {
      continue;
    }
    text[n++] = run[i];
  }
  text[n] = '\0';
  tail_->text = std::move(text);
  tail_->textLength = static_cast<int32_t>(n);
}

HtmlTokenList::Scan HtmlTokenList::Tokenize() {
  Scan scan{TokenKind::None, cursor_, 0};
  for (;;) {
    const char c = ReadChar(source_ + cursor_);
    if (c == '\0') {
      scan.runLength = cursor_ - scan.runStart;
      return scan;
    }
    if (c == '<') {
      const size_t tagStart = cursor_;
      TokenKind kind = TokenKind::None;
      if (ReadTag(kind)) {
        scan.kind = kind;
        scan.runLength = tagStart - scan.runStart;
        return scan;
      }
      // Something that looked like a tag and was not: its characters are text.
      scan.kind = TokenKind::PlainText;
    }
    ++cursor_;
  }
}

bool HtmlTokenList::ReadTag(TokenKind& kind) {
  size_t at = cursor_ + 1;
  if (std::strncmp(source_ + at, "!--", 3) == 0) {
    kind = TokenKind::Comment;
    return ReadComment();
  }
  closing_ = source_[at] == '/';
  if (closing_) {
    ++at;
  }
  for (const TagDef& tag : kTags) {
    const size_t length = std::strlen(tag.name);
    if (!NameAt(source_ + at, tag.name, length)) {
      continue;
    }
    const size_t after = at + length;
    const char next = ReadChar(source_ + after);
    size_t end = kNpos;
    if (next == '>') {
      end = after;
    } else if (next == ' ' && !tag.attrs.empty()) {
      end = NextGreaterThan(after + 1);
      if (end == kNpos) {
        break; // runs to the end of the text without ">": not a tag
      }
      ReadAttributes(tag.attrs, after + 1, end);
    } else {
      continue; // a longer name, such as BR after B
    }
    // Closing forms have their own kinds; one of a tag that has none (IMG,
    // INPUT) is a tag of no kind, not the kind numbered after it.
    kind = closing_ ? tag.close : tag.open;
    cursor_ = end + 1;
    return true;
  }
  closing_ = false;
  pending_.reset();
  pendingTail_ = nullptr;
  return false;
}

bool HtmlTokenList::ReadComment() {
  // The comment's text is not kept; one that is never closed runs to the end.
  size_t at = cursor_ + 4;
  for (;;) {
    const char c = ReadChar(source_ + at);
    if (c == '\0') {
      cursor_ = at;
      return true;
    }
    if (c == '-' && std::strncmp(source_ + at, "-->", 3) == 0) {
      cursor_ = at + 3;
      return true;
    }
    ++at;
  }
}

void HtmlTokenList::ReadAttributes(std::span<const AttrKind> accepted, size_t from, size_t end) {
  attr_ = AttrReader{};
  for (size_t at = from; at < end; ++at) {
    const char c = ReadChar(source_ + at);
    if (attr_.kind == AttrKind::None) {
      for (AttrKind kind : accepted) {
        const AttrDef& def = kAttrs[static_cast<size_t>(kind)];
        const size_t length = std::strlen(def.name);
        // No name holds a ">", so a match never runs past the tag.
        if (!NameAt(source_ + at, def.name, length)) {
          continue;
        }
        if (def.valueLess) {
          AppendAttribute(kind, nullptr, 0);
        } else {
          attr_ = AttrReader{};
          attr_.kind = kind;
        }
        at += length - 1;
        break;
      }
      continue;
    }
    if (!attr_.afterEquals) {
      attr_.afterEquals = c == '=';
      continue;
    }
    if (!attr_.valueBegun) {
      if (c == ' ') {
        continue;
      }
      attr_.valueBegun = true;
      attr_.quoted = c == '"';
      attr_.valueStart = attr_.quoted ? at + 1 : at;
      continue;
    }
    if ((attr_.quoted && c == '"') || (!attr_.quoted && c == ' ')) {
      AppendAttribute(attr_.kind, source_ + attr_.valueStart, at - attr_.valueStart);
      attr_ = AttrReader{};
    }
  }
  // The ">" completes a value that has begun, quoted or not.
  if (attr_.kind != AttrKind::None && attr_.valueBegun) {
    AppendAttribute(attr_.kind, source_ + attr_.valueStart, end - attr_.valueStart);
  }
  attr_ = AttrReader{};
}

void HtmlTokenList::AppendAttribute(AttrKind kind, const char* value, size_t length) {
  auto node = std::make_unique<HtmlAttrNode>();
  node->kind = kind;
  if (value != nullptr) {
    node->value = CopyText(value, length);
    node->valueLength = static_cast<int32_t>(length);
  }
  HtmlAttrNode* added = node.get();
  if (pendingTail_ == nullptr) {
    pending_ = std::move(node);
  } else {
    pendingTail_->next = std::move(node);
  }
  pendingTail_ = added;
}

size_t HtmlTokenList::NextGreaterThan(size_t from) {
  if (gtKnown_ && from >= gtFrom_ && (gtAt_ == kNpos || gtAt_ >= from)) {
    return gtAt_;
  }
  const char* found = std::strchr(source_ + from, '>');
  gtKnown_ = true;
  gtFrom_ = from;
  gtAt_ = found == nullptr ? kNpos : static_cast<size_t>(found - source_);
  return gtAt_;
}

} // namespace htmltitle
