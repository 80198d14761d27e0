#pragma once
// Form-encoded request bodies ("application/x-www-form-urlencoded").
#include <string>
#include <string_view>

namespace kelvra {

class TLumHash;

// A form value: letters, digits, "@" and "!$'()*-._" stay, a blank becomes "+", every other byte
// becomes "%" and two upper-case hex digits (so UTF-8 text is encoded byte by byte).
std::string UrlEncode(std::string_view aValue);
// A value for a query string: as UrlEncode, but a blank becomes "%20" ("+" is taken literally by
// some servers in a query).
std::string QueryValue(std::string_view aValue);
// A ready query ("a=1&b=x y") made safe for a URL: "&" and "=" keep separating, "%" with two hex
// digits is kept as already encoded, letters, digits and "-._~!$'()*,;:@/" stay, a blank becomes
// "%20" and every other byte (also "+", "#" and a lone "%") "%" and two hex digits. Encoding an
// encoded query again changes nothing.
std::string EncodeQuery(std::string_view aQuery);
// A form body from a field table: key "=" encoded value "&" for every entry, in table order.
std::string FormBody(const TLumHash &aFields);

} // namespace kelvra
