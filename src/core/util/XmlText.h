#pragma once
// Text written into XML files (GPX, KML).

#include <string>

namespace kelvra {

// Text for an XML element or attribute: & < > " ' escaped, control characters that XML 1.0
// forbids dropped (tab, CR and LF stay).
std::string XmlEscape(const std::string &s);

} // namespace kelvra
