// The caches of zones, traps, events, tracks and the command log.
#include "core/client/client.h"

namespace kelvra {

void TKelvraClient::ClearModelCaches() {
  // Traps refer to zones: they go first.
  fTrapList.clear();
  fZoneList.clear();
  fEventList.clear();
  fEventListDt1 = 0;
  fEventListDt2 = 0;
  fEventListUpdated = 0;
  fTrackList.clear();
  fTrackListUpdated = 0;
  fCommandLog.clear();
}

} // namespace kelvra
