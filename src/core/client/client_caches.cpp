// The caches of zones, traps, events, tracks and the command log.
#include "core/client/client.h"

namespace kelvra {

void TKelvraClient::ClearModelCaches() {}

} // namespace kelvra
