// Durations and ages between times on a display clock with daylight saving count the real time:
// the replay's timeline and the graphs' time axis, message ages, trip lengths and zone visits, across the night clocks go
// forward (Europe/Berlin, 29 March 2026, 02:00 -> 03:00) and the one they go back (25 October
// 2026, 03:00 -> 02:00, so 02:00..03:00 comes twice).
#include "core/app/MonitorLogic.h"
#include "core/app/ObjectFilter.h"
#include "core/map/MarkerClusters.h"
#include "core/model/ObjectInfo.h"
#include "core/model/ObjectRows.h"
#include "core/model/TripInfo.h"
#include "core/model/ZoneHistory.h"
#include "core/tracks/TrackGraph.h"
#include "core/tracks/TrackReplay.h"
#include "core/util/LumDates.h"
#include "core/util/TimeZones.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvra {
namespace {

TDateTime Spring(int h, int mi) { return EncodeDateTime(2026, 3, 29, h, mi, 0); }
TDateTime Autumn(int h, int mi) { return EncodeDateTime(2026, 10, 25, h, mi, 0); }

TDisplayZone Berlin() { return TDisplayZone::Named(LoadTimeZone("Europe/Berlin")); }

std::unique_ptr<TTrackPointInfo> LocalPoint(int obj, TDateTime local) {
  auto p = std::make_unique<TTrackPointInfo>(0, obj);
  p->obj_dt = p->sys_dt = local;
  p->lat = 58;
  p->lon = 56.25;
  return p;
}

TEST(ElapsedTime, ReplayTimeline) {
  const TDisplayZone berlin = Berlin();
  const TDisplayZone winter = TDisplayZone::Fixed(1 / 24.0); // the account's offset: wall-clock
  struct TCase {
    const char *name;
    std::vector<TDateTime> local; // in the order the service sent them
    const TDisplayZone &clock;
    std::vector<double> seconds;
  } cases[] = {
      {"spring", {Spring(1, 50), Spring(1, 59), Spring(3, 1), Spring(3, 10)}, berlin, {0, 540, 660, 1200}},
      {"springFixed", {Spring(1, 50), Spring(1, 59), Spring(3, 1), Spring(3, 10)}, winter, {0, 540, 4260, 4800}},
      // 02:30 and 02:50 summer time, then 02:10 and 02:40 of the repeated hour, then 03:05.
      {"autumn",
       {Autumn(2, 30), Autumn(2, 50), Autumn(2, 10), Autumn(2, 40), Autumn(3, 5)},
       berlin,
       {0, 1200, 2400, 4200, 5700}},
      {"summerDay", {EncodeDateTime(2026, 7, 1, 10, 0, 0), EncodeDateTime(2026, 7, 1, 11, 0, 30)}, berlin, {0, 3630}},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    TTrackPointList pts;
    for (TDateTime t : c.local) pts.push_back(LocalPoint(1, t));
    TDateTime start = 0;
    EXPECT_EQ(TrackClock(pts, &start, c.clock), c.seconds);
    EXPECT_EQ(start, c.local.front());
    TGraphLine line; // the graphs' time axis is the replay's
    line.Build(pts, "speed", gaTime, c.clock);
    EXPECT_EQ(line.Clock, c.seconds);
    TTrackReplay r;
    r.Reset(pts, c.clock);
    EXPECT_EQ(r.Span(), c.seconds.back());
    // Played at 100 track seconds a second, the point due after half the span is found by its
    // real time.
    r.SetSpeed(100);
    r.Play();
    const double half = c.seconds.back() / 2;
    for (int f = 0; f < 100; ++f) r.Advance(half / 100 / 100);
    int due = 0;
    while (due + 1 < int(c.seconds.size()) && c.seconds[size_t(due + 1)] <= half + 1e-6) ++due;
    EXPECT_EQ(r.Index(), due);
  }
}

TEST(ElapsedTime, MessageAges) {
  const TDisplayZone berlin = Berlin();
  const TDisplayZone winter = TDisplayZone::Fixed(1 / 24.0);
  struct TCase {
    const char *name;
    TDateTime message, now;
    const TDisplayZone &clock;
    int minutes;
    bool offline;
  } cases[] = {
      {"spring", Spring(1, 50), Spring(3, 10), berlin, 20, false},
      {"springFixed", Spring(1, 50), Spring(3, 10), winter, 80, true},
      {"autumnNight", Autumn(1, 30), Autumn(3, 30), berlin, 180, true},
      // A message at 02:50 summer time seen at 02:10 of the repeated hour.
      {"autumnRepeatedHour", Autumn(2, 50), Autumn(2, 10), berlin, 20, false},
      {"autumnWithinSecondPass", Autumn(2, 10), Autumn(2, 50), berlin, 40, false},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MessageAgeMinutes(c.now, c.message, c.clock), c.minutes);
    TObjectInfo oi;
    oi.uid = 1;
    oi.last_point = LocalPoint(1, c.message);
    EXPECT_NEAR(MessageAgeSeconds(oi, c.now, c.clock), c.minutes * 60.0, 1e-3);
    EXPECT_EQ(IsOffline(oi, c.now, c.clock), c.offline);
    EXPECT_EQ(MarkerStateOf(oi, c.now, c.clock), c.minutes >= 60 ? msSilent : msNormal);
  }
}

TEST(ElapsedTime, TripLengths) {
  const TDisplayZone berlin = Berlin();
  struct TCase {
    const char *name;
    TDateTime start, stop;
    TDisplayZone clock;
    const char *length;
  } cases[] = {
      {"spring", Spring(1, 30), Spring(3, 30), berlin, "01:00"},
      {"autumn", Autumn(1, 30), Autumn(3, 30), berlin, "03:00"},
      {"fixed", Autumn(1, 30), Autumn(3, 30), TDisplayZone::Fixed(1 / 24.0), "02:00"},
  };
  for (const TCase &c : cases) {
    TTripInfo ti(1, 2);
    ti.start_dt = c.start;
    ti.stop_dt = c.stop;
    EXPECT_EQ(TripTreeCells(ti, c.clock)[3], c.length) << c.name;
  }
}

TEST(ElapsedTime, ZoneVisits) {
  const TDisplayZone berlin = Berlin();
  // 01:40 and 03:20 of the spring night are 40 minutes apart: one visit.
  {
    std::vector<std::unique_ptr<TTrackPointInfo>> h;
    h.push_back(LocalPoint(1, Spring(1, 40)));
    h.push_back(LocalPoint(1, Spring(3, 20)));
    auto visits = BuildVisits(h, nullptr, berlin);
    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0]->Duration(), 2400);
    // On a fixed clock they are 100 minutes apart: two visits.
    h.clear();
    h.push_back(LocalPoint(1, Spring(1, 40)));
    h.push_back(LocalPoint(1, Spring(3, 20)));
    EXPECT_EQ(BuildVisits(h, nullptr, TDisplayZone::Fixed(1 / 24.0)).size(), 2u);
  }
  // The repeated hour: the points keep their real order, and the visit lasts from 02:30 summer
  // time to 02:40 of the second pass, 70 minutes.
  std::vector<std::unique_ptr<TTrackPointInfo>> h;
  for (TDateTime t : {Autumn(2, 30), Autumn(2, 50), Autumn(2, 10), Autumn(2, 40)}) h.push_back(LocalPoint(1, t));
  h.push_back(LocalPoint(2, Autumn(2, 45)));
  auto visits = BuildVisits(h, nullptr, berlin);
  ASSERT_EQ(visits.size(), 2u);
  const TVisitInfo &v = *visits[0];
  EXPECT_EQ(v.Duration(), 4200);
  EXPECT_EQ(v.start_dt, Autumn(2, 30));
  EXPECT_EQ(v.end_dt, Autumn(2, 40));
  std::vector<TDateTime> order;
  for (const TTrackPointInfo *p : v.points) order.push_back(p->obj_dt);
  EXPECT_EQ(order, (std::vector<TDateTime>{Autumn(2, 30), Autumn(2, 50), Autumn(2, 10), Autumn(2, 40)}));
  EXPECT_EQ(visits[1]->obj_id, 2);
}

} // namespace
} // namespace kelvra
