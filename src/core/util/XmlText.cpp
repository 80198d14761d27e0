#include "core/util/XmlText.h"

namespace kelvra {

std::string XmlEscape(const std::string &s) {
  std::string r;
  r.reserve(s.size());
  for (char c : s) {
    switch (c) {
    case '&':
      r += "&amp;";
      break;
    case '<':
      r += "&lt;";
      break;
    case '>':
      r += "&gt;";
      break;
    case '"':
      r += "&quot;";
      break;
    case '\'':
      r += "&apos;";
      break;
    case '\t':
    case '\n':
    case '\r':
      r += c;
      break;
    default:
      // Other control characters are not allowed in XML 1.0 at all.
      if (static_cast<unsigned char>(c) >= 0x20) r += c;
    }
  }
  return r;
}

} // namespace kelvra
