#include "htmltitle/marquell.h"

#include "htmltitle/htmlpainter.h"
#include "htmltitle/tokenlist.h"

#include <exception>
#include <memory>
#include <new>

namespace htmltitle {
namespace {

// Empty when the library is loaded; freed with the library.
std::unique_ptr<HtmlTokenList> currentResult;

} // namespace

HtmlTokenList* CurrentResult() {
  return currentResult.get();
}

} // namespace htmltitle

extern "C" int32_t HTMLParsing(char* text) {
  using htmltitle::currentResult;
  currentResult.reset();
  try {
    currentResult = htmltitle::HtmlTokenList::Parse(text);
  } catch (const std::bad_alloc&) {
    currentResult.reset();
  }
  return currentResult != nullptr ? 1 : 0;
}

extern "C" void QuillmarkToNULL() {
  htmltitle::currentResult.reset();
}

extern "C" void DrawHTML(gdi::Dc* dc, int32_t width, int32_t height) {
  htmltitle::HtmlTokenList* result = htmltitle::currentResult.get();
  if (dc == nullptr || result == nullptr) {
    return;
  }
  try {
    htmltitle::PaintTokens(*dc, result->First(), width, height);
  } catch (const std::exception&) {
    // Out of memory while drawing: the page is left as far as it got.
  }
}
