// libFuzzer harness for the title-page tokenizer: any bytes parse into a sound
// token list, and the double-byte classifier answers for every position.
#include "htmltitle/marquell.h"
#include "htmltitle/tokenlist.h"
#include "support/token_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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
  QuillmarkToNULL();
  return 0;
}
