#pragma once
#include <string>

namespace kelvra {

// The program's version, "major.minor.patch".
const char *ProgramVersion();
// "KelvraMonitor/<version>": how the program names itself to servers.
std::string ProgramUserAgent();

} // namespace kelvra
