// The exports of the HTML title parser Marquell. It keeps one parse result
// for the whole process: each HTMLParsing replaces it, QuillmarkToNULL frees
// it. Called from the display program's user-interface thread only.
#pragma once

#include "htmltitle/dbcs.h"
#include "htmltitle/export.h"

#include <cstdint>

namespace gdi {
class Dc;
} // namespace gdi

extern "C" {

// Parses text into the process's parse result, freeing the one before. The
// text is changed in place (tabs and line breaks become blanks) and must stay
// alive while the result is used. 1 when a result was built; 0, and no
// result, for a null text or one of 2 GiB or more.
MARQUELL_EXPORT int32_t HTMLParsing(char* text);

// Frees the parse result; there is none afterwards.
MARQUELL_EXPORT void QuillmarkToNULL();

// Paints the parse result on the caller's device context (its address: the
// caller keeps the gdi::Dc) inside (0, 0) to (width, height), starting in the
// context's text colour. The context's state is as before when it returns.
// Nothing happens without a parse result or without a context.
MARQUELL_EXPORT void DrawHTML(gdi::Dc* dc, int32_t width, int32_t height);

// Opens the token-list test dialog (see tokendialog.h), modal and owned by
// the window parent, on the parse result's first token; nothing happens
// without a result.
MARQUELL_EXPORT void RunHTMLTokenTestDlg(uint32_t parent);

} // extern "C"

namespace htmltitle {

class HtmlTokenList;

// The process's parse result, or null.
MARQUELL_EXPORT HtmlTokenList* CurrentResult();

} // namespace htmltitle
