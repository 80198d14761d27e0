// Street-address lookup into the address cache, and Wi-Fi access points,
// against kelvra-sim.
#include <algorithm>
#include <string>
#include <vector>

#include "SimClientFixture.h"
#include "core/tracks/AddressCache.h"
#include "core/util/LumStrings.h"

namespace kelvra::test {
namespace {

class LookupIt : public TSimClientTest {
protected:
  std::vector<std::string> PlaceIds(size_t count) {
    return fSim->WithWorld([&](sim::TSimWorld &w) {
      std::vector<std::string> ids;
      for (auto &o : w.fObjects)
        for (auto &p : o->track)
          if (!p.osm_id.empty() && ids.size() < count &&
              std::find(ids.begin(), ids.end(), p.osm_id) == ids.end())
            ids.push_back(p.osm_id);
      return ids;
    });
  }
};

TEST_F(LookupIt, AddressesGoIntoTheCacheAndAreAskedOnce) {
  const std::vector<std::string> ids = PlaceIds(3);
  ASSERT_EQ(ids.size(), 3u);
  TAddressCache cache(fHome.Path() + "KelvraMonitor.address");
  cache.SetAddress(ids[1], "known already");

  EXPECT_EQ(fClient->OsmLookup(ids, cache), 2);
  EXPECT_EQ(LastRequest().body, "ids=" + ids[0] + "," + ids[2]);
  EXPECT_EQ(cache.Count(), 3);
  EXPECT_FALSE(cache.GetAddress(ids[0]).empty());
  EXPECT_EQ(cache.GetAddress(ids[1]), "known already");

  // Every id known: nothing is sent, in either list form.
  const size_t requests = RequestCount();
  EXPECT_EQ(fClient->OsmLookup(ids, cache), -1);
  TLumStringList list;
  for (const auto &id : ids)
    list.Add(id);
  EXPECT_EQ(fClient->OsmLookup(list, cache), -1);
  EXPECT_EQ(fClient->OsmLookup(std::string(), cache), -1);
  EXPECT_EQ(RequestCount(), requests);

  // The string form sends what it is given; unknown ids bring no address.
  EXPECT_EQ(fClient->OsmLookup("nope1,nope2", cache), 0);
  EXPECT_EQ(LastRequest().body, "ids=nope1,nope2");
}

TEST_F(LookupIt, WifiPointsWithoutBssidAreSkipped) {
  const double lat = sim::TSimWorld::kCenterLat, lon = sim::TSimWorld::kCenterLon;
  fSim->WithWorld([&](sim::TSimWorld &w) {
    w.fWifi.push_back(sim::TSimWifi{"\"Quoted net\"", "aa:bb:cc:00:11:22", 5, lat, lon});
    w.fWifi.push_back(sim::TSimWifi{"no bssid", "", 4, lat, lon});
  });
  TWifiList list;
  list.push_back(TWifiData{"earlier", "00:00:00:00:00:01", 4, true});
  const int n = fClient->GetWifi(lat - 0.001, lon - 0.001, lat + 0.001, lon + 0.001, list);
  ASSERT_GT(n, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(static_cast<int>(list.size()), n + 1);
  EXPECT_EQ(LastRequest().query, "minlat=57.9976&minlon=56.2747&maxlat=57.9996&maxlon=56.2767");
  bool quoted = false;
  for (size_t k = 1; k < list.size(); ++k) {
    EXPECT_FALSE(list[k].bssid.empty());
    EXPECT_FALSE(list[k].known);
    if (list[k].bssid == "aa:bb:cc:00:11:22") {
      quoted = true;
      EXPECT_EQ(list[k].ssid, "Quoted net");
      EXPECT_EQ(list[k].std, 5);
    }
  }
  EXPECT_TRUE(quoted);
  fSim->AddFault(TFaultRule{"/api/v1/wifi_aps", "", 0, 500});
  EXPECT_EQ(fClient->GetWifi(lat - 0.001, lon - 0.001, lat + 0.001, lon + 0.001, list), 0);
}

} // namespace
} // namespace kelvra::test
