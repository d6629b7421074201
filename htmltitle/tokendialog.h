// The token-list test dialog ("View Token List"): one token of a parse
// result and one of its attributes, with buttons that move between them.
// Its template is dialog 101 of the display program's resource bundle,
// which links this library.
#pragma once

#include "htmltitle/export.h"
#include "htmltitle/htmltoken.h"

#include <cstdint>

namespace res {
class Bundle;
} // namespace res

namespace htmltitle {

// Control ids of the dialog's buttons; the fields are TokenListView's.
enum TokenDialogButton : int {
  kPreviousToken = 1005,
  kNextToken = 1008,
  kPreviousAttribute = 1011,
  kNextAttribute = 1012,
};

inline constexpr const char* kTokenDialogBundle = "rKivo32";
inline constexpr const char* kTokenDialogTemplate = "dialogs/101.dlg";

// The bundle the template comes from (copied); null goes back to the
// default, rKivo32 loaded from the program's folder at the first opening.
MARQUELL_EXPORT void SetTokenDialogBundle(const res::Bundle* bundle);
// The code page the token and attribute texts are shown in (949 unless set).
MARQUELL_EXPORT void SetTokenDialogCodePage(int codePage);

// Runs the dialog modally on first, owned by parent. Returns how it ended
// (IDOK, IDCANCEL); 0 when first is null and nothing opened; -1, with the
// reason on standard error, when the template cannot be had or the dialog
// cannot be made.
MARQUELL_EXPORT int RunTokenDialog(const HtmlTokenNode* first, uint32_t parent);

} // namespace htmltitle
