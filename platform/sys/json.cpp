#include "platform/sys/json.h"

namespace sys {

void AppendJsonString(std::string& out, std::string_view utf8) {
  static const char kDigits[] = "0123456789abcdef";
  out += '"';
  for (unsigned char c : utf8) {
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (c < 0x20) {
        out += "\\u00";
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
      } else {
        out += static_cast<char>(c);
      }
    }
  }
  out += '"';
}

} // namespace sys
