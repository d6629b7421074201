// libFuzzer harness over the media-command layer's command strings: any
// bytes are cut into words, routed to scripted devices and answered within
// the caller's buffer; words written back with QuoteWord come back whole.
#include "platform/media/mci.h"
#include "platform/media/mci_scripted.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz-mci: %s\n", what);
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace media::mci;
  static auto script = [] {
    auto s = std::make_shared<Script>();
    s->Set("*", {kOk, std::string(300, 'a')});
    return s;
  }();
  static ScopedScriptedDevices devices(script, {"mpegvideo", "digitalvideo", "overlay"});
  const std::string_view command(reinterpret_cast<const char*>(data), size);

  const Words w = SplitWords(command);
  if (w.error == kOk) {
    std::string again;
    for (const std::string& word : w.words)
      again += QuoteWord(word) + " ";
    if (SplitWords(again).words != w.words)
      Fault("quoted words did not come back whole");
  }
  for (size_t answerSize : {size_t{0}, size_t{1}, size_t{10}, size_t{128}}) {
    std::string answer;
    SendString(command, &answer, answerSize);
    if (answer.size() + 1 > std::max<size_t>(answerSize, 1))
      Fault("an answer overran its buffer");
  }
  script->ClearSent();
  if (size % 7 == 0)
    CloseAll();
  return 0;
}
