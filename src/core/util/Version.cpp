#include "core/util/Version.h"

namespace kelvra {

const char *ProgramVersion() { return KELVRA_VERSION; }

std::string ProgramUserAgent() { return std::string("KelvraMonitor/") + KELVRA_VERSION; }

} // namespace kelvra
