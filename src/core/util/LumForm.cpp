#include "core/util/LumForm.h"

#include "core/util/LumHash.h"

namespace kelvra {

std::string UrlEncode(std::string_view aValue) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(aValue.size() + aValue.size() / 4);
  for (char ch : aValue) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '@' ||
        c == '!' || c == '$' || c == '\'' || c == '(' || c == ')' || c == '*' || c == '-' ||
        c == '.' || c == '_') {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string FormBody(const TLumHash &aFields) {
  std::string body;
  for (int i = 0; i < aFields.Count(); ++i)
    body += aFields.GetKey(i) + "=" + UrlEncode(aFields.GetValByIndex(i)) + "&";
  return body;
}

} // namespace kelvra
