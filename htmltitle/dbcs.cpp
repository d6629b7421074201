#include "htmltitle/dbcs.h"

extern "C" int32_t GetDbcsByteClass(const char* text, int32_t position) {
  if (text == nullptr || position < 0) {
    return 0;
  }
  // A byte after a lead byte always trails it; any other byte of 0x80 or
  // above leads, as every such byte does in code page 949.
  int32_t byteClass = 0;
  for (int32_t i = 0; i <= position; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    byteClass = byteClass == 1 ? 2 : ((b & 0x80) != 0 ? 1 : 0);
  }
  return byteClass;
}
