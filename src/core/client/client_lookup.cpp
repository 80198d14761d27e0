// Street addresses of place ids, and Wi-Fi access points in an area.
#include "core/client/client.h"

#include "core/tracks/AddressCache.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

int TKelvraClient::OsmLookupMissing(const std::vector<std::string> &aOsmIds,
                                    TAddressCache &aCache) {
  std::string ids;
  for (const std::string &id : aOsmIds) {
    if (id.empty() || !aCache.GetAddress(id).empty()) continue;
    if (!ids.empty()) ids += ",";
    ids += id;
  }
  if (ids.empty()) return -1;
  return OsmLookup(ids, aCache);
}

int TKelvraClient::OsmLookup(const std::vector<std::string> &aOsmIds, TAddressCache &aCache) {
  return OsmLookupMissing(aOsmIds, aCache);
}

int TKelvraClient::OsmLookup(const TLumStringList &aOsmIds, TAddressCache &aCache) {
  std::vector<std::string> ids;
  ids.reserve(aOsmIds.Count());
  for (int i = 0; i < aOsmIds.Count(); ++i)
    ids.push_back(aOsmIds[i]);
  return OsmLookupMissing(ids, aCache);
}

int TKelvraClient::OsmLookup(const std::string &aOsmIds, TAddressCache &aCache) {
  if (aOsmIds.empty()) return -1;
  // The ids come from replies: each is form-encoded, the commas between them stay.
  std::string ids;
  for (std::size_t pos = 0; pos <= aOsmIds.size();) {
    std::size_t comma = aOsmIds.find(',', pos);
    if (comma == std::string::npos) comma = aOsmIds.size();
    if (pos) ids += ',';
    ids += UrlEncode(std::string_view(aOsmIds).substr(pos, comma - pos));
    pos = comma + 1;
  }
  DoPostRequest("OsmLookup", "/osm/lookup", "ids=" + ids);
  if (fResultCode != 200 || !HasResultData()) return -1;
  const TJsonVal arr = ResultArray("OsmLookup");
  if (!arr.IsArray()) {
    Log("\r  X: no data");
    return -1;
  }
  const auto addresses = ReadAddresses(arr);
  for (const auto &[osmId, address] : addresses)
    aCache.SetAddress(osmId, address);
  LogFmt(" [%d]", static_cast<int>(addresses.size()));
  return static_cast<int>(addresses.size());
}

std::vector<std::pair<std::string, std::string>> TKelvraClient::ReadAddresses(TJsonVal aArr) {
  std::vector<std::pair<std::string, std::string>> addresses;
  for (const TJsonVal el : aArr.Elements()) {
    std::string osmId = GetJvStr(el, "osm_id");
    std::string address;
    JvStrTo(el.Get("address"), address, kMaxObjectText); // shown in windows and exports: bounded
    if (osmId.empty() || address.empty()) continue;
    addresses.emplace_back(std::move(osmId), std::move(address));
  }
  return addresses;
}

int TKelvraClient::GetWifi(double aLat1, double aLon1, double aLat2, double aLon2,
                           TWifiList &aWifiList) {
  const std::string query = "minlat=" + f2s(aLat1, 4) + "&minlon=" + f2s(aLon1, 4) +
                            "&maxlat=" + f2s(aLat2, 4) + "&maxlon=" + f2s(aLon2, 4);
  DoGetRequest("GetWifi", "/wifi_aps", query);
  if (fResultCode != 200 || !HasResultData()) return 0;
  const TJsonVal arr = ResultArray("GetWifi");
  if (!arr.IsArray()) {
    Log("\r  X: no data");
    return 0;
  }
  return ReadWifi(arr, aWifiList);
}

int TKelvraClient::ReadWifi(TJsonVal aArr, TWifiList &aWifiList) {
  int count = 0;
  for (const TJsonVal el : aArr.Elements()) {
    TWifiData wd;
    std::string ssid;
    JvStrTo(el.Get("ssid"), ssid, kMaxObjectText); // a real one has at most 32 bytes
    wd.ssid = Dequote(RemoveTrash(ssid), TLumCharSet("\"'"), TLumCharSet("\"'"));
    wd.bssid = GetJvStr(el, "bssid");
    wd.std = GetJvInt32(el, "std", 0);
    if (wd.ssid.empty() || wd.bssid.empty()) continue;
    aWifiList.push_back(std::move(wd));
    ++count;
  }
  return count;
}

} // namespace kelvra
