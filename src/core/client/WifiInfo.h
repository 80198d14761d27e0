#pragma once
// A Wi-Fi access point near a position, as the service lists it.

#include <string>
#include <vector>

namespace kelvra {

struct TWifiData {
  std::string ssid;   // network name
  std::string bssid;  // access point hardware address
  int std = 0;        // radio standard code as the service gives it
  bool known = false; // set by the places dialog, false as delivered
};

using TWifiList = std::vector<TWifiData>;

} // namespace kelvra
