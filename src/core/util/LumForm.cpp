#include "core/util/LumForm.h"

#include "core/util/LumHash.h"

namespace kelvra {

namespace {

const char kHex[] = "0123456789ABCDEF";

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

void AppendEscaped(std::string &out, unsigned char c) {
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

std::string EncodeValue(std::string_view aValue, const char *aBlank) {
  static const char *const hex = kHex;
  std::string out;
  out.reserve(aValue.size() + aValue.size() / 4);
  for (char ch : aValue) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '@' ||
        c == '!' || c == '$' || c == '\'' || c == '(' || c == ')' || c == '*' || c == '-' ||
        c == '.' || c == '_') {
      out += ch;
    } else if (c == ' ') {
      out += aBlank;
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

} // namespace

std::string UrlEncode(std::string_view aValue) { return EncodeValue(aValue, "+"); }

std::string QueryValue(std::string_view aValue) { return EncodeValue(aValue, "%20"); }

std::string EncodeQuery(std::string_view aQuery) {
  std::string out;
  out.reserve(aQuery.size() + aQuery.size() / 4);
  for (std::size_t i = 0; i < aQuery.size(); ++i) {
    const char ch = aQuery[i];
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       std::string_view("&=-._~!$'()*,;:@/").find(ch) != std::string_view::npos;
    if (plain)
      out += ch;
    else if (c == '%' && i + 2 < aQuery.size() && IsHex(aQuery[i + 1]) && IsHex(aQuery[i + 2]))
      out += ch;
    else if (c == ' ')
      out += "%20";
    else
      AppendEscaped(out, c);
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
