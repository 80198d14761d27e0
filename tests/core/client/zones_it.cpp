// Zones against kelvra-sim: the list with its invalid elements, create, change,
// delete, history.
#include <algorithm>
#include <string>

#include "SimClientFixture.h"

namespace kelvra::test {
namespace {

class ZonesIt : public TSimClientTest {
protected:
  int DemoZoneCount() {
    return fSim->WithWorld([&](sim::TSimWorld &w) {
      return static_cast<int>(std::count_if(w.fZones.begin(), w.fZones.end(),
                                            [&](auto &z) { return z->user_id == fDemoUid; }));
    });
  }
};

TEST_F(ZonesIt, ListSkipsAnInvalidElement) {
  const int valid = DemoZoneCount();
  ASSERT_GT(valid, 0);
  fSim->WithWorld([&](sim::TSimWorld &w) {
    sim::TSimZone &z = w.AddZone(fDemoUid);
    z.type_id = 3;
    z.name = "odd";
  });
  EXPECT_EQ(fClient->GetZones(), valid);
  EXPECT_EQ(static_cast<int>(fClient->ZoneList().size()), valid);
  EXPECT_NE(fLog.find("\r  invalid zone: uid="), std::string::npos) << fLog;
  EXPECT_NE(fLog.find(" type=3"), std::string::npos);
  for (const auto &zi : fClient->ZoneList()) {
    EXPECT_TRUE(zi->HasRect()) << zi->name;
    EXPECT_GT(zi->area, 0) << zi->name;
    EXPECT_GT(zi->perimeter, 0) << zi->name;
  }
}

TEST_F(ZonesIt, FailedListLeavesTheCacheEmpty) {
  ASSERT_GT(fClient->GetZones(), 0);
  fSim->AddFault(TFaultRule{"/api/v1/user/zones", "", 0, 500});
  EXPECT_EQ(fClient->GetZones(), -1);
  EXPECT_TRUE(fClient->ZoneList().empty());
}

TEST_F(ZonesIt, CreateUpdateDelete) {
  TZoneInfo zi(0, kZonePolygon);
  zi.name = "Depot & yard";
  zi.color = 0x00FF00;
  zi.geom.nodes = {TGeoPoint{56.27, 58.0}, TGeoPoint{56.28, 58.0}, TGeoPoint{56.28, 58.01}};
  zi.UpdateRect();
  const int uid = fClient->CreateZone(zi);
  ASSERT_GT(uid, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(zi.uid, uid);
  EXPECT_NE(LastRequest().body.find("geom=%5B%5B56.27%2C58.0%5D"), std::string::npos)
      << LastRequest().body;

  zi.name = "Depot";
  zi.type_id = kZoneCircle;
  zi.geom.center = TGeoPoint{56.275, 58.005};
  zi.geom.radius = 250;
  EXPECT_TRUE(fClient->UpdateZone(zi)) << fClient->GetErrorMessage();
  fSim->WithWorld([&](sim::TSimWorld &w) {
    sim::TSimZone *z = w.FindZone(uid);
    ASSERT_TRUE(z);
    EXPECT_EQ(z->name, "Depot");
    EXPECT_EQ(z->type_id, 1);
    EXPECT_EQ(z->radius, 250);
    EXPECT_EQ(z->color, "#00FF00");
  });

  // A refused change reports the service's text.
  zi.name = "";
  EXPECT_FALSE(fClient->UpdateZone(zi));
  EXPECT_NE(fClient->GetErrorMessage().find("[400]"), std::string::npos);
  EXPECT_NE(fLog.find("\r  X: name is required"), std::string::npos) << fLog;

  EXPECT_EQ(fClient->DeleteZone(uid), 204);
  EXPECT_EQ(fClient->DeleteZone(uid), 404);
  fClient->GetZones();
  for (const auto &z : fClient->ZoneList())
    EXPECT_NE(z->uid, uid);
}

TEST_F(ZonesIt, HistoryFillsTheTrackList) {
  const int zoneUid = fSim->WithWorld([&](sim::TSimWorld &w) {
    for (auto &z : w.fZones)
      if (z->user_id == fDemoUid) return z->uid;
    return 0;
  });
  ASSERT_GT(zoneUid, 0);
  const int n = fClient->GetZoneHistory(zoneUid, Dt(kStart - 86400), Dt(kStart), 0, 0);
  ASSERT_GE(n, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(static_cast<int>(fClient->TrackList().size()), n);
  EXPECT_GT(fClient->TrackListUpdated(), 0);
  EXPECT_EQ(LastRequest().query, "from=2024-03-04T21:00:00Z&to=2024-03-05T21:00:00Z");
  for (const auto &tp : fClient->TrackList()) {
    EXPECT_GT(tp->uid, 0);
    EXPECT_GT(tp->obj_id, 0); // each point names its own object
  }

  fSim->AddFault(TFaultRule{"/api/v1/zone/*", "GET", 0, 500});
  EXPECT_EQ(fClient->GetZoneHistory(zoneUid, Dt(kStart - 86400), Dt(kStart), 1, 1), -1);
  EXPECT_EQ(static_cast<int>(fClient->TrackList().size()), n); // kept
  EXPECT_EQ(LastRequest().query,
            "from=2024-03-04T21:00:00Z&to=2024-03-05T21:00:00Z&mode=1&tmode=1");
}

} // namespace
} // namespace kelvra::test
