#include "htmltitle/tokenlistview.h"

#include <cstdint>
#include <cstdio>

namespace htmltitle {
namespace {

std::string Identity(const void* node) {
  char text[32];
  std::snprintf(text, sizeof text, "%08lx",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(node)));
  return text;
}

std::string Decimal(int32_t value) {
  return std::to_string(value);
}

} // namespace

TokenListView::TokenListView(const HtmlTokenNode* first)
    : first_(first), token_(first), attr_(first ? first->attributes.get() : nullptr) {}

bool TokenListView::NextToken() {
  if (token_ == nullptr || token_->next == nullptr) {
    return false;
  }
  token_ = token_->next.get();
  attr_ = token_->attributes.get();
  return true;
}

bool TokenListView::PreviousToken() {
  if (token_ == nullptr || token_ == first_) {
    return false;
  }
  // Tokens link forward only.
  const HtmlTokenNode* before = first_;
  while (before->next.get() != token_) {
    before = before->next.get();
  }
  token_ = before;
  attr_ = token_->attributes.get();
  return true;
}

bool TokenListView::NextAttribute() {
  if (attr_ == nullptr || attr_->next == nullptr) {
    return false;
  }
  attr_ = attr_->next.get();
  return true;
}

bool TokenListView::PreviousAttribute() {
  if (attr_ == nullptr || attr_ == token_->attributes.get()) {
    return false;
  }
  const HtmlAttrNode* before = token_->attributes.get();
  while (before->next.get() != attr_) {
    before = before->next.get();
  }
  attr_ = before;
  return true;
}

std::string TokenListView::FieldText(int controlId) const {
  switch (controlId) {
  case kTokenKind:
    return token_ ? TokenKindName(static_cast<int32_t>(token_->kind)) : "";
  case kTokenText:
    return token_ && token_->text ? std::string(token_->text.get(), token_->textLength) : " ";
  case kTokenIdentity:
    return Identity(token_);
  case kNextTokenIdentity:
    return Identity(token_ ? token_->next.get() : nullptr);
  case kTokenLength:
    return Decimal(token_ ? token_->textLength : 0);
  case kAttrKind:
    return attr_ ? AttrKindName(static_cast<int32_t>(attr_->kind)) : "Not exist";
  case kAttrValue:
    return attr_ && attr_->value ? std::string(attr_->value.get(), attr_->valueLength) : "";
  case kAttrIdentity:
    return attr_ ? Identity(attr_) : "";
  case kNextAttrIdentity:
    return attr_ ? Identity(attr_->next.get()) : "";
  case kAttrLength:
    return attr_ ? Decimal(attr_->valueLength) : "";
  default:
    return "";
  }
}

} // namespace htmltitle
