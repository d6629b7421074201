// libFuzzer harness for the title-page parser: any bytes parse into a sound
// token list, the double-byte classifier answers for every position, and the
// page paints at a full and at a narrow width with the context's state
// given back.
#include "htmltitle/marquell.h"
#include "htmltitle/tokenlist.h"
#include "platform/gdi/dc.h"
#include "support/token_checks.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Painting needs fonts, and fonts a GUI application.
void Paint(const uint8_t* data, size_t size) {
  static const std::shared_ptr<gdi::Surface> surface = gdi::Surface::Create(160, 80);
  if (!surface) {
    std::abort();
  }
  gdi::Dc dc(surface);
  dc.SetTextColor(gdi::Rgb(255, 255, 255));
  dc.SetBkMode(gdi::kOpaque);
  const auto font = dc.CurrentFont();
  // Narrow widths, down to none, wrap hardest.
  const int32_t narrow = size > 0 ? data[0] % 48 : 0;
  for (const int32_t width : {160, narrow}) {
    DrawHTML(&dc, width, 80);
    if (dc.BkMode() != gdi::kOpaque || dc.TextColor() != gdi::Rgb(255, 255, 255) ||
        dc.CurrentFont() != font || dc.ClipBox() != (gdi::Rect{0, 0, 160, 80})) {
      std::fprintf(stderr, "the context's state was not given back\n");
      std::abort();
    }
  }
}

} // namespace

// The font library keeps its caches until the process ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt may take arguments it knows out of its own argument list, so it gets
  // one of its own rather than the fuzzer's.
  static int argc = 1;
  static char name[] = "fuzz-html";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  if (HTMLParsing(text.data()) != 1) {
    std::abort();
  }
  const size_t length = std::strlen(text.data());
  const std::string problem =
      htmltitle::CheckTokenList(htmltitle::CurrentResult(), text.data(), length);
  if (!problem.empty()) {
    std::fprintf(stderr, "unsound token list: %s\n", problem.c_str());
    std::abort();
  }
  for (size_t i = 0; i < length && i < 256; ++i) {
    const int32_t c = GetDbcsByteClass(text.data(), static_cast<int32_t>(i));
    if (c < 0 || c > 2) {
      std::abort();
    }
  }
  Paint(data, size);
  QuillmarkToNULL();
  return 0;
}
