// --fleet: more vehicles of the demo user driving the city's street network.
#include <cmath>
#include <set>

#include "SimFixture.h"
#include "sim/SimCity.h"

namespace kelvra::simtest {
namespace {

// Metres from a point to the nearest street line of the city's grid.
double MetresOffTheGrid(double lat, double lon) {
  const sim::TSimCity &city = sim::TSimCity::Get();
  double r = (lat - city.minLat) / sim::TSimCity::kRowStep;
  double c = (lon - city.minLon) / sim::TSimCity::kColStep;
  double dLat = std::fabs(r - std::round(r)) * sim::TSimCity::kRowStep * 111320;
  double dLon = std::fabs(c - std::round(c)) * sim::TSimCity::kColStep * 111320 *
                std::cos(lat * M_PI / 180);
  return std::min(dLat, dLon);
}

TEST(Fleet, VehiclesDriveTheStreetsOfTheCity) {
  sim::TSimWorld w(1, FixedStart(), 300);
  const sim::TSimCity &city = sim::TSimCity::Get();
  int fleet = 0, points = 0, offStreet = 0;
  std::set<std::pair<int, int>> cells; // where they are: they spread over the city
  for (auto &o : w.fObjects) {
    if (o->uid < sim::TSimWorld::kFirstFleetUid) continue;
    ++fleet;
    EXPECT_EQ(o->user_id, 1);
    ASSERT_GT(o->track.size(), 5u) << o->uid; // an hour of history
    for (auto &p : o->track) {
      ++points;
      const double margin = 0.0005; // GPS noise on the outermost streets
      EXPECT_TRUE(city.Inside(p.lat - margin, p.lon - margin) ||
                  city.Inside(p.lat + margin, p.lon + margin))
          << p.lat << "," << p.lon;
      offStreet += MetresOffTheGrid(p.lat, p.lon) > 25; // GPS noise is a few metres
    }
    cells.insert({static_cast<int>((o->lat - city.minLat) / 0.01),
                  static_cast<int>((o->lon - city.minLon) / 0.02)});
  }
  EXPECT_EQ(fleet, 300);
  EXPECT_EQ(offStreet, 0) << "of " << points;
  EXPECT_GT(cells.size(), 20u);
  EXPECT_TRUE(w.fEvents.size() < 200u); // the fleet raises no events of its own

  // They keep moving, and a refresh names only those that reported.
  std::map<int, size_t> before;
  for (auto &o : w.fObjects)
    before[o->uid] = o->track.size();
  w.Advance(300);
  int moved = 0;
  for (auto &o : w.fObjects)
    moved += o->uid >= sim::TSimWorld::kFirstFleetUid && o->track.size() > before[o->uid];
  EXPECT_GT(moved, 250);
}

TEST(Fleet, ListedWithTheDemoObjectsAndRefreshedIncrementally) {
  TSimOptions opt;
  opt.startTime = FixedStart();
  opt.fleet = 1000;
  SimServer sim(opt);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TApi api(sim.BaseUrl());
  ASSERT_TRUE(api.Login("demo", "demo"));
  auto first = api.Get("/user/objects").Json();
  EXPECT_EQ(first["objects"].size(), 1009u);
  std::string dt = first["dt"];
  sim.Advance(45);
  auto refresh = api.Get("/user/objects", "dt=" + dt).Json()["objects"];
  EXPECT_GT(refresh.size(), 100u);
  EXPECT_LT(refresh.size(), 1009u);
  // a fleet vehicle can be removed like any object
  ASSERT_EQ(api.Put("/object/100007", "is_deleted=1").status, 200);
  EXPECT_EQ(api.Del("/object/100007").status, 204);
  sim.Advance(600);
  EXPECT_EQ(api.Get("/object/100007").status, 404);
}

} // namespace
} // namespace kelvra::simtest
