// What the token-list test dialog ("View Token List") shows: one token of a
// parse result and one of its attributes, as the texts of the dialog's
// fields, with moves to the next and previous token and attribute. Texts are
// code-page bytes, converted where a widget shows them.
#pragma once

#include "htmltitle/export.h"
#include "htmltitle/htmltoken.h"

#include <string>

namespace htmltitle {

class MARQUELL_EXPORT TokenListView {
public:
  // Control ids of the dialog's fields.
  enum FieldId : int {
    kTokenText = 1004,
    kTokenKind = 1006,
    kTokenIdentity = 1007,
    kTokenLength = 1009,
    kNextTokenIdentity = 1013,
    kAttrValue = 1014,
    kAttrKind = 1015,
    kAttrIdentity = 1016,
    kAttrLength = 1017,
    kNextAttrIdentity = 1018,
  };

  // Opens on first (which may be null) and its first attribute.
  explicit TokenListView(const HtmlTokenNode* first);

  // Each move shows the first attribute of the token it reaches; false, and
  // nothing changes, when there is no token that way.
  bool NextToken();
  bool PreviousToken();
  bool NextAttribute();
  bool PreviousAttribute();

  const HtmlTokenNode* Token() const { return token_; }
  const HtmlAttrNode* Attribute() const { return attr_; }

  // The text of the field with that control id; "" for another id.
  std::string FieldText(int controlId) const;

private:
  const HtmlTokenNode* first_;
  const HtmlTokenNode* token_;
  const HtmlAttrNode* attr_;
};

} // namespace htmltitle
