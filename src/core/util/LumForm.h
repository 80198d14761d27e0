#pragma once
// Form-encoded request bodies ("application/x-www-form-urlencoded").
#include <string>
#include <string_view>

namespace kelvra {

class TLumHash;

// A form value: letters, digits, "@" and "!$'()*-._" stay, a blank becomes "+", every other byte
// becomes "%" and two upper-case hex digits (so UTF-8 text is encoded byte by byte).
std::string UrlEncode(std::string_view aValue);
// A form body from a field table: key "=" encoded value "&" for every entry, in table order.
std::string FormBody(const TLumHash &aFields);

} // namespace kelvra
