// --history: days of past messages made on demand, and "Tracker 1Hz".
#include <cmath>
#include <cstdint>
#include <map>
#include <set>

#include "SimFixture.h"
#include "sim/SimCity.h"
#include "sim/SimHistory.h"

namespace kelvra::simtest {
namespace {

using sim::TSimPoint;
using sim::TSimWorld;
constexpr int64_t kDay = sim::TSimHistory::kDay;

std::vector<TSimPoint> Points(const TSimWorld &w, int uid, int64_t from, int64_t to,
                              bool byReception = false) {
  std::vector<TSimPoint> out;
  const sim::TSimObject *o = const_cast<TSimWorld &>(w).FindObject(uid);
  if (o) w.ForEachPoint(*o, from, to, byReception, [&](const TSimPoint &p) { out.push_back(p); });
  return out;
}

bool Same(const TSimPoint &a, const TSimPoint &b) {
  return a.uid == b.uid && a.obj_dt == b.obj_dt && a.sys_dt == b.sys_dt && a.lat == b.lat &&
         a.lon == b.lon && a.speed == b.speed && a.crd_src == b.crd_src && a.osm_id == b.osm_id;
}

// Every object with a past: the made days are the same whichever period asks for them and in
// whatever order; they run on into the simulated day without a jump (each day ends at home);
// reception order and unique point ids hold across the seam.
TEST(History, MadeDaysAreStableAndRunOnIntoTheSimulation) {
  const int64_t start = FixedStart();
  TSimWorld w(7, start, 20, 4);
  const int64_t begin = start - 4 * kDay;
  EXPECT_EQ(w.History().Begin(), begin);
  int checked = 0;
  for (auto &o : w.fObjects) {
    if (!sim::TSimHistory::Has(*o)) continue;
    SCOPED_TRACE(o->name);
    ++checked;
    const auto all = Points(w, o->uid, begin - kDay, start);
    ASSERT_FALSE(all.empty());
    EXPECT_GE(all.front().obj_dt, begin); // nothing before the first day
    std::set<int64_t> uids;
    for (size_t i = 0; i < all.size(); ++i) {
      uids.insert(all[i].uid);
      // the service's point ids are 32-bit: a client drops a point whose id is larger
      EXPECT_GT(all[i].uid, 0);
      EXPECT_LE(all[i].uid, int64_t{INT32_MAX});
      if (i) {
        EXPECT_LE(all[i - 1].sys_dt, all[i].sys_dt) << i;
      }
    }
    EXPECT_EQ(uids.size(), all.size());
    // a period split in two and asked for back to front gives the same points
    const int64_t mid = begin + kDay + kDay / 3;
    auto late = Points(w, o->uid, mid + 1, start);
    auto early = Points(w, o->uid, begin - kDay, mid);
    early.insert(early.end(), late.begin(), late.end());
    ASSERT_EQ(early.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i)
      ASSERT_TRUE(Same(early[i], all[i])) << i;
    // the second world of the same seed makes the same past
    if (checked == 1) {
      TSimWorld again(7, start, 20, 4);
      auto other = Points(again, o->uid, begin - kDay, start);
      ASSERT_EQ(other.size(), all.size());
      for (size_t i = 0; i < all.size(); ++i)
        ASSERT_TRUE(Same(other[i], all[i])) << i;
    }
    if (o->gpsTrouble) continue; // its jumps and outliers may fall on a seam
    // every made day ends at home, where the simulation takes over
    const sim::TSimCity &city = sim::TSimCity::Get();
    const auto home = o->homeNode >= 0 ? city.nodes[std::size_t(o->homeNode)] : o->route.front();
    for (int64_t seam = o->historyEnd - 3 * kDay; seam <= o->historyEnd; seam += kDay) {
      auto before = Points(w, o->uid, seam - 4 * 3600, seam - 1);
      if (before.empty()) continue;
      const auto &a = before.back();
      EXPECT_LT(sim::DistanceM(a.lat, a.lon, home.first, home.second), 60) << sim::FormatUtc(seam);
    }
    if (o->kind != sim::TSimKind::Fleet && o->route.size() > 1) { // it starts parked at home
      auto after = Points(w, o->uid, o->historyEnd, o->historyEnd + 3600);
      ASSERT_FALSE(after.empty());
      EXPECT_LT(sim::DistanceM(after.front().lat, after.front().lon, home.first, home.second), 60);
    }
  }
  EXPECT_GE(checked, 20 + 6); // the fleet, the moving demo objects, the door and the collar
}

// The tracker reports every second while it moves, on the streets, with stops, tunnels and
// Wi-Fi fixes; twelve days hold about a million points.
TEST(History, TrackerOneHertzHoldsAMillionPointsInTwelveDays) {
  const int64_t start = FixedStart();
  TSimWorld w(1, start, 0, 13);
  const sim::TSimObject *t = w.FindObject(TSimWorld::kTrackerUid);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->name, "Tracker 1Hz");
  ASSERT_FALSE(t->track.empty()); // the simulated day handed its points over
  EXPECT_GT(t->track.size(), 60000u);
  size_t count = 0, moving = 0, oneSecond = 0, wifi = 0, stops = 0, tunnels = 0;
  double maxKmh = 0, sumKmh = 0;
  const TSimPoint *prev = nullptr;
  TSimPoint last;
  w.ForEachPoint(*t, start - 12 * kDay, start, false, [&](const TSimPoint &p) {
    ++count;
    if (p.speed > 0) {
      ++moving;
      sumKmh += p.speed;
      maxKmh = std::max(maxKmh, p.speed);
    }
    if (prev) {
      if (prev->speed > 0 && p.speed > 0) {
        oneSecond += p.obj_dt - prev->obj_dt == 1;
        tunnels += p.obj_dt - prev->obj_dt > 8;
      }
      stops += prev->speed > 0 && p.speed == 0;
    }
    wifi += p.crd_src == 2;
    last = p;
    prev = &last;
  });
  EXPECT_GT(count, 850000u);
  EXPECT_LT(count, 1150000u);
  EXPECT_GT(oneSecond, moving * 9 / 10);
  EXPECT_GT(stops, 500u);
  EXPECT_GT(tunnels, 50u);
  EXPECT_GT(wifi, 100u);
  EXPECT_LT(maxKmh, 90);
  EXPECT_GT(sumKmh / moving, 25);
  EXPECT_LT(sumKmh / moving, 60);
  // time passing hands over what it sends next (after a few minutes at home, at a second a point)
  size_t before = t->track.size();
  w.Advance(1800);
  EXPECT_GT(t->track.size(), before + 600);
}

// One day of history is the simulated day alone, as before: no tracker, nothing before it.
TEST(History, OneDayIsTheSimulatedDayAlone) {
  const int64_t start = FixedStart();
  TSimWorld w(1, start, 0, 1);
  EXPECT_EQ(w.FindObject(TSimWorld::kTrackerUid), nullptr);
  for (auto &o : w.fObjects)
    for (const auto &p : Points(w, o->uid, 0, start - kDay - 1))
      EXPECT_LT(p.uid, sim::TSimHistory::kMadeUidBase) << o->name; // only what the world was built with
}

// Through the service: a month of a fleet vehicle's track and of a zone's history, and the
// tracker's points by reception time.
TEST(History, TracksAndZoneHistoryOverAMonthThroughTheService) {
  TSimOptions opt;
  opt.startTime = FixedStart();
  opt.fleet = 30;
  opt.historyDays = 31;
  SimServer sim(opt);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TApi api(sim.BaseUrl());
  ASSERT_TRUE(api.Login("demo", "demo"));
  auto period = [](int64_t from, int64_t to) {
    return "from=" + sim::FormatUtc(from) + "&to=" + sim::FormatUtc(to);
  };
  const int64_t start = FixedStart();
  auto tracker = api.Get("/object/111/track", period(start - 2 * 3600, start) + "&tmode=1").Json();
  ASSERT_TRUE(tracker.is_array());
  EXPECT_GT(tracker.size(), 3000u);
  // A month of the tracker is some 2.5 million points: made quickly, but not under the sanitizers
  // of the tests within the client's time-out.
  sim.WithWorld([](sim::TSimWorld &w) { w.RemoveObject(TSimWorld::kTrackerUid); });
  // the days back from the start on which the points of a reply lie
  auto days = [start](const sim::json &points) {
    std::set<int64_t> out;
    for (auto &p : points) {
      int64_t t = 0;
      EXPECT_TRUE(sim::ParseUtc(p["obj_dt"].get<std::string>(), t));
      out.insert((start - t) / kDay);
    }
    return out;
  };
  auto track = api.Get("/object/100003/track", period(start - 31 * kDay, start)).Json();
  ASSERT_TRUE(track.is_array());
  EXPECT_GE(days(track).size(), 30u);
  auto history = api.Get("/zone/10/history", period(start - 30 * kDay, start)).Json();
  ASSERT_TRUE(history.is_array());
  EXPECT_GE(days(history).size(), 20u);
}

} // namespace
} // namespace kelvra::simtest
