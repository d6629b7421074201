// libFuzzer harness over the lyric-text page: the first byte picks the lines
// per paragraph, the rest is the song's words. The conversion keeps within
// its growth bound and drops every LF, and the page it makes parses and
// paints at a full and at a narrow width.
#include "display/info.h"
#include "htmltitle/marquell.h"
#include "platform/gdi/dc.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz-lyricpage: %s\n", what);
  std::abort();
}

} // namespace

// The font library keeps its caches until the process ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "fuzz-lyricpage";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const int32_t lines = static_cast<int8_t>(data[0]);
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string page = display::ConvertLyricText(text, lines);
  // A CR writes at most 3 bytes ("<P>", " / "), any other byte at most 1.
  if (page.size() > text.size() * 3)
    Fault("the page grew past its bound");
  if (page.find('\n') != std::string::npos)
    Fault("an LF was kept");
  std::string parsed = "<HTML><BODY>" + page;
  if (HTMLParsing(parsed.data()) != 1)
    Fault("the page did not parse");
  static const std::shared_ptr<gdi::Surface> surface = gdi::Surface::Create(160, 80);
  if (!surface)
    Fault("no surface");
  gdi::Dc dc(surface);
  dc.SetTextColor(gdi::Rgb(255, 255, 255));
  for (const int32_t width : {160, static_cast<int32_t>(data[0] % 32)})
    DrawHTML(&dc, width, 80);
  QuillmarkToNULL();
  return 0;
}
