// The caches of zones, traps, events, tracks and the command log.
#include "core/client/client.h"

#include <limits>

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

int TKelvraClient::GetJvInt32(const TJson *aObj, std::string_view aName, int aDef) {
  const int64_t v = GetJvInt(aObj, aName, aDef);
  return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()
             ? aDef
             : static_cast<int>(v);
}

} // namespace kelvra
