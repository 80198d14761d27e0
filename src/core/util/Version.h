#pragma once
#include <string>

namespace kelvra {

// The program's version, "major.minor.patch".
const char *ProgramVersion();
// The project's web address.
const char *ProgramHomepage();
// "KelvraMonitor/<version> (+<project address>)": how the program names itself to servers,
// so that a tile server's operators can tell who asks and reach the makers.
std::string ProgramUserAgent();

} // namespace kelvra
