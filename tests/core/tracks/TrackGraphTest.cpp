// The graphs under the map without a window: the clock and the distance along a track, the line
// of a value, what a view shows per pixel column, the point under the mouse, zoom and pan, and
// the axes' ticks.
#include "core/map/geo_utils.h"
#include "core/tracks/TrackGraph.h"
#include "core/tracks/TrackReplay.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kelvra {
namespace {

constexpr double T0 = 46000.25; // 06:00 of a day

std::unique_ptr<TTrackPointInfo> Pt(int i, double seconds, double lat, double lon) {
  auto p = std::make_unique<TTrackPointInfo>(i + 1, 1);
  p->obj_dt = T0 + seconds / 86400;
  p->lat = lat;
  p->lon = lon;
  return p;
}

// N points a second apart going north-east, with speed i % 50 and an altitude on every other.
TTrackPointList Drive(int n) {
  TTrackPointList pts;
  for (int i = 0; i < n; ++i) {
    auto p = Pt(i, i, 58 + i * 1e-4, 56 + i * 1.5e-4);
    p->speed = i % 50;
    if (i % 2 == 0) p->alt = 100 + i;
    pts.push_back(std::move(p));
  }
  return pts;
}

std::vector<TChartPoint> Ramp(int n, double dx = 1) {
  std::vector<TChartPoint> s;
  for (int i = 0; i < n; ++i) s.push_back({i * dx, double(i), i});
  return s;
}

TEST(TrackGraph, ClockAndDistanceFollowTheTrack) {
  TTrackPointList pts = Drive(6);
  pts[2]->obj_dt = 0;                  // no time: the one before's
  pts[3]->obj_dt = T0 - 10.0 / 86400;  // earlier than its predecessor: the same
  pts[4]->lat = pts[4]->lon = TTrackPointInfo::NaN; // no fix: no distance of its own
  TDateTime start = 0;
  const std::vector<double> clock = TrackClock(pts, &start);
  EXPECT_EQ(start, pts[0]->obj_dt);
  EXPECT_EQ(clock, (std::vector<double>{0, 1, 1, 1, 4, 5}));

  const std::vector<double> d = TrackDistances(pts);
  ASSERT_EQ(d.size(), 6u);
  EXPECT_EQ(d[0], 0);
  EXPECT_EQ(d[4], d[3]);
  // The distance at the end is the track's own distance (the geodesic, stretch by stretch).
  TGeoTrack track("1");
  track.Assign(Drive(200));
  track.Points()[50]->IsParking = track.Points()[51]->IsParking = true; // stretches that don't count
  track.UpdateInfo();
  const std::vector<double> all = TrackDistances(track.Points());
  EXPECT_NEAR(all.back(), track.Info().Distance, 1e-3);
  EXPECT_EQ(all[51], all[49]);
  EXPECT_EQ(all[52], all[51]);
  // Close points agree with the geodesic; far ones take it.
  for (double span : {1e-4, 0.01, 0.04, 1.0}) {
    const double geodesic = DistanceBetween(58, 56, 58 + span, 56 + span);
    EXPECT_NEAR(DistanceNear(58, 56, 58 + span, 56 + span), geodesic, geodesic * 1e-6) << span;
  }
}

// A track imported from a file has GPS times only: the replay and the graphs run on them, as the
// dump's chart does, instead of standing still at 0. A point with both takes the device's time.
TEST(TrackGraph, TheClockTakesTheGpsTimeOfAPointWithoutADeviceTime) {
  TTrackPointList pts = Drive(5);
  for (auto &p : pts) {
    p->gps_dt = p->obj_dt;
    p->obj_dt = 0;
  }
  pts[3]->gps_dt = TTrackPointInfo::NaN; // neither: the one before's
  pts[4]->obj_dt = T0 + 10.0 / 86400;    // the device's time wins over its fix's
  TDateTime start = 0;
  EXPECT_EQ(TrackClock(pts, &start), (std::vector<double>{0, 1, 2, 2, 10}));
  EXPECT_EQ(start, T0);
  TGraphLine line;
  line.Build(pts, "speed", gaTime);
  ASSERT_EQ(line.Series.size(), 5u);
  EXPECT_EQ(line.Series[2].X, 2);
  EXPECT_EQ(line.Start, T0);
  TTrackReplay replay;
  replay.Reset(pts);
  EXPECT_EQ(replay.Span(), 10);
}

TEST(TrackGraph, ALineTakesThePointsWithTheValue) {
  const TTrackPointList pts = Drive(10);
  TGraphLine line;
  line.Build(pts, "altitude", gaTime);
  ASSERT_EQ(line.Series.size(), 5u);
  EXPECT_EQ(line.Start, pts[0]->obj_dt);
  EXPECT_EQ(line.Series[2].PointIndex, 4);
  EXPECT_EQ(line.Series[2].X, 4);
  EXPECT_EQ(line.Series[2].Y, 104);
  EXPECT_EQ(line.XOfPoint(3), 3);
  EXPECT_TRUE(std::isnan(line.XOfPoint(10)));

  line.Build(pts, "speed", gaDistance);
  ASSERT_EQ(line.Series.size(), 10u);
  const std::vector<double> d = TrackDistances(pts);
  EXPECT_EQ(line.Series[7].X, d[7]);
  EXPECT_EQ(line.XOfPoint(7), d[7]);
  double lo = 0, hi = 0;
  ASSERT_TRUE(line.YRange(lo, hi));
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 9);

  TGeoTrack a("1"), b("2");
  a.Assign(Drive(3));
  b.Assign(Drive(3));
  a.Points()[0]->sensors.emplace_back(1, "temp", "20.5");
  b.Points()[1]->sensors.emplace_back(2, "fuel", "31");
  b.Points()[2]->sensors.emplace_back(3, "temp", "21");
  const auto values = GraphValues({&a, &b}, [&](const TGeoTrack &t, const std::string &sign) {
    return &t == &a && sign == "temp" ? std::string("Temperature") : std::string();
  });
  ASSERT_EQ(values.size(), 5u);
  EXPECT_EQ(values[0].Key, "speed");
  EXPECT_EQ(values[3].Text, "temp | Temperature");
  EXPECT_EQ(values[4].Key, "fuel");
  line.Build(b.Points(), values[3].Text, gaTime);
  ASSERT_EQ(line.Series.size(), 1u);
  EXPECT_EQ(line.Series[0].Y, 21);
}

TEST(TrackGraph, AViewShowsAtMostTwoPointsPerColumnWithItsExtremes) {
  std::vector<TChartPoint> s = Ramp(1000000);
  s[654321].Y = 5e6; // a spike
  TGraphView view;
  view.SetSize(500, 100);
  view.SetXRange(0, 999999);
  const auto shown = ThinView(s, view);
  EXPECT_LE(shown.size(), 2u * 500 + 2);
  bool spike = false;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    spike |= shown[i].Y == 5e6;
    if (i > 0) EXPECT_LT(shown[i - 1].PointIndex, shown[i].PointIndex);
  }
  EXPECT_TRUE(spike);

  // Zoomed in: the points within the view and one on either side.
  view.SetXRange(1000.5, 1010.5);
  const auto near = ThinView(s, view);
  ASSERT_EQ(near.size(), 12u);
  EXPECT_EQ(near.front().PointIndex, 1000);
  EXPECT_EQ(near.back().PointIndex, 1011);

  // Columns go by X, not by count: a dense hour then a sparse one keeps every sparse point.
  std::vector<TChartPoint> uneven;
  for (int i = 0; i < 100000; ++i) uneven.push_back({i * 0.036, double(i % 3), i});
  for (int i = 0; i < 60; ++i) uneven.push_back({3600 + i * 60.0, 100.0 + i, 100000 + i});
  view.SetSize(200, 100);
  view.SetXRange(0, 7200);
  const auto thin = ThinView(uneven, view);
  int sparse = 0;
  for (const TChartPoint &p : thin) sparse += p.PointIndex >= 100000;
  EXPECT_EQ(sparse, 60);
  // The dump chart's thinning is the same per column.
  EXPECT_LE(ThinSeries(uneven, 200).size(), 2u * 200 + 2);
  EXPECT_EQ(ThinSeries(Ramp(300), 200).size(), 300u);
}

TEST(TrackGraph, NearestByX) {
  std::vector<TChartPoint> s = {{0, 0, 0}, {10, 0, 1}, {10, 0, 2}, {20, 0, 3}, {40, 0, 4}};
  const struct {
    double x;
    int want;
  } cases[] = {{-5, 0}, {0, 0}, {4, 0}, {5, 0}, {6, 1}, {10, 1}, {15, 1}, {16, 3}, {31, 4}, {99, 4}};
  for (const auto &c : cases) EXPECT_EQ(NearestByX(s, c.x), c.want) << c.x;
  EXPECT_EQ(NearestByX({}, 1), -1);
}

TEST(TrackGraph, TheMouseFindsTheNearestLineAtItsX) {
  const std::vector<TChartPoint> low = {{0, 10, 0}, {100, 10, 1}};
  const std::vector<TChartPoint> high = {{0, 90, 0}, {50, 90, 7}, {100, 90, 2}};
  TGraphView view;
  view.SetSize(101, 101);
  view.SetXRange(0, 101);
  view.Y0 = 0;
  view.Y1 = 101;
  const std::vector<TGraphPlaced> lines = {{&low, 0}, {&high, 0}};
  const TGraphHit a = GraphHitTest(lines, view, 50, view.PxOfY(80), 60);
  EXPECT_EQ(a.Line, 1);
  EXPECT_EQ(a.Entry, 1);
  const TGraphHit b = GraphHitTest(lines, view, 2, view.PxOfY(20), 60);
  EXPECT_EQ(b.Line, 0);
  EXPECT_EQ(b.Entry, 0);
  // Nothing within two pixels of x 25 on the low line; the high line's point at 50 is too far too.
  EXPECT_EQ(GraphHitTest(lines, view, 25, 0, 2).Line, -1);
  // A line placed 1000 s later is found at its own place.
  const std::vector<TGraphPlaced> shifted = {{&low, 1000}};
  view.SetXRange(1000, 1101);
  const TGraphHit c = GraphHitTest(shifted, view, 100, 0, 2);
  EXPECT_EQ(c.Line, 0);
  EXPECT_EQ(c.Entry, 1);
}

TEST(TrackGraph, ZoomKeepsTheXUnderTheMouseAndPanStaysOnTheData) {
  TGraphView v;
  v.SetSize(100, 50);
  v.SetXRange(0, 1000);
  v.ZoomAt(25, 0.5, 0, 1000, 1);
  EXPECT_DOUBLE_EQ(v.X0, 125);
  EXPECT_DOUBLE_EQ(v.X1, 625);
  EXPECT_DOUBLE_EQ(v.XAt(25), 250);
  v.ZoomAt(0, 1e-9, 0, 1000, 10); // no closer than the least span
  EXPECT_DOUBLE_EQ(v.X1 - v.X0, 10);
  v.ZoomAt(50, 1e9, 0, 1000, 10); // no farther than the data
  EXPECT_DOUBLE_EQ(v.X0, 0);
  EXPECT_DOUBLE_EQ(v.X1, 1000);

  v.SetXRange(100, 200);
  v.PanBy(50, 0, 1000); // half the view to the right: what lay left
  EXPECT_DOUBLE_EQ(v.X0, 50);
  v.PanBy(1000, 0, 1000);
  EXPECT_DOUBLE_EQ(v.X0, 0);
  v.PanBy(-1e6, 0, 1000);
  EXPECT_DOUBLE_EQ(v.X1, 1000);

  v.FitY(10, 30);
  EXPECT_DOUBLE_EQ(v.Y0, 9);
  EXPECT_DOUBLE_EQ(v.Y1, 31);
  v.FitY(5, 5);
  EXPECT_DOUBLE_EQ(v.Y0, 4);
  EXPECT_DOUBLE_EQ(v.Y1, 6);
}

std::vector<std::string> Texts(const std::vector<TGraphTick> &ticks) {
  std::vector<std::string> t;
  for (const TGraphTick &k : ticks) t.push_back(k.Text);
  return t;
}

TEST(TrackGraph, Ticks) {
  EXPECT_EQ(Texts(ValueTicks(0, 100, 5)), (std::vector<std::string>{"0", "20", "40", "60", "80", "100"}));
  EXPECT_EQ(Texts(ValueTicks(-0.3, 0.35, 4)), (std::vector<std::string>{"-0.2", "0.0", "0.2"}));
  EXPECT_EQ(Texts(ValueTicks(143, 161, 4)), (std::vector<std::string>{"145", "150", "155", "160"}));
  EXPECT_TRUE(ValueTicks(5, 5, 4).empty());
  EXPECT_EQ(Texts(DistanceTicks(0, 2500, 5)), (std::vector<std::string>{"0.0", "0.5", "1.0", "1.5", "2.0", "2.5"}));
  EXPECT_EQ(DistanceTicks(0, 2500, 5)[1].Value, 500);

  // T0 is 06:00:00. Ten minutes with five ticks: every two minutes, on the minute.
  const auto minutes = TimeTicks(T0, 30, 630, 5);
  EXPECT_EQ(Texts(minutes), (std::vector<std::string>{"06:02", "06:04", "06:06", "06:08", "06:10"}));
  EXPECT_DOUBLE_EQ(minutes[0].Value, 120);
  EXPECT_EQ(Texts(TimeTicks(T0, 0, 20, 4)), (std::vector<std::string>{"06:00:00", "06:00:05", "06:00:10", "06:00:15", "06:00:20"}));
  // Across midnight the day shows.
  EXPECT_EQ(Texts(TimeTicks(T0, 17 * 3600, 19 * 3600, 2)),
            (std::vector<std::string>{dt2s(46000 + 23.0 / 24, "dd.mm hh:nn"), dt2s(46001, "dd.mm hh:nn"),
                                      dt2s(46001 + 1.0 / 24, "dd.mm hh:nn")}));
  // Steps of days fall on midnight.
  const auto days = TimeTicks(T0, 0, 4 * 86400, 4);
  ASSERT_EQ(days.size(), 4u);
  EXPECT_DOUBLE_EQ(days[0].Value, 18 * 3600);
  EXPECT_EQ(days[0].Text, dt2s(46001, "dd.mm"));
  EXPECT_EQ(GraphXText(gaDistance, T0, 12346), "12.35");
  EXPECT_EQ(GraphXText(gaTime, T0, 90), dt2s(T0 + 90 / 86400.0));
  // In miles and in nautical miles the distance axis and the hover count in them.
  TDisplayUnits miles, nautical;
  miles.system = TUnitSystem::Imperial;
  nautical.system = TUnitSystem::Nautical;
  const auto mi = DistanceTicks(0, 2 * kMetresPerMile, 4, miles);
  EXPECT_EQ(Texts(mi), (std::vector<std::string>{"0.0", "0.5", "1.0", "1.5", "2.0"}));
  EXPECT_DOUBLE_EQ(mi[1].Value, kMetresPerMile / 2);
  EXPECT_EQ(GraphXText(gaDistance, T0, 3 * kMetresPerMile, miles), "3.00");
  EXPECT_EQ(GraphXText(gaDistance, T0, 1.5 * kMetresPerNauticalMile, nautical), "1.50");
}

} // namespace
} // namespace kelvra
