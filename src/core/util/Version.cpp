#include "core/util/Version.h"

namespace kelvra {

const char *ProgramVersion() { return KELVRA_VERSION; }

const char *ProgramHomepage() { return KELVRA_HOMEPAGE; }

std::string ProgramUserAgent() {
  return std::string("KelvraMonitor/") + KELVRA_VERSION + " (+" + KELVRA_HOMEPAGE + ")";
}

} // namespace kelvra
