// The replay cursor: a clock driven by hand moves it by the points due,
// seeks, steps, interpolates the position, and counts the stops it passed;
// the speed scale of coloured tracks.
#include "core/tracks/SpeedScale.h"
#include "core/tracks/TrackReplay.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kelvra {
namespace {

constexpr double kReplayT0 = 46000.25; // a date-time, days

// N points one second apart going north, 10 m each, with speed 36 km/h.
TTrackPointList Line(int N) {
  TTrackPointList pts;
  for (int i = 0; i < N; ++i) {
    auto p = std::make_unique<TTrackPointInfo>(i + 1, 1);
    p->obj_dt = kReplayT0 + i / 86400.0;
    p->lat = 58 + i * 10 / 111200.0;
    p->lon = 56;
    p->speed = 36;
    pts.push_back(std::move(p));
  }
  return pts;
}

TEST(TrackReplay, AFixedSpeedMovesByThePointsDue) {
  const TTrackPointList pts = Line(1000);
  struct TCase {
    double speed;
    int frames;      // frames of one simulated second
    int wantIndex;   // after that second
  } cases[] = {{1, 25, 1}, {10, 30, 10}, {100, 60, 100}, {1000, 50, 999}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.speed);
    TTrackReplay r;
    r.Reset(pts);
    r.SetSpeed(c.speed);
    r.Play();
    for (int f = 0; f < c.frames; ++f) r.Advance(1.0 / c.frames);
    EXPECT_EQ(r.Index(), c.wantIndex);
    EXPECT_EQ(r.Playing(), c.wantIndex < 999); // stops at the end
  }
}

TEST(TrackReplay, NothingMovesWhilePaused) {
  const TTrackPointList pts = Line(10);
  TTrackReplay r;
  r.Reset(pts);
  EXPECT_FALSE(r.Advance(5));
  EXPECT_EQ(r.Index(), 0);
  r.Play();
  EXPECT_TRUE(r.Advance(2));
  r.Pause();
  EXPECT_FALSE(r.Advance(2));
  EXPECT_EQ(r.Index(), 2);
}

TEST(TrackReplay, SeekStepAndPlayAgainFromTheEnd) {
  const TTrackPointList pts = Line(101);
  TTrackReplay r;
  r.Reset(pts);
  EXPECT_DOUBLE_EQ(r.Span(), 100);
  r.Seek(r.Span() / 2);
  EXPECT_EQ(r.Index(), 50);
  r.Seek(49.5); // between points: the last one due
  EXPECT_EQ(r.Index(), 49);
  EXPECT_NEAR(r.Position().Lat, 58 + 49.5 * 10 / 111200.0, 1e-9);
  r.Step(1);
  EXPECT_EQ(r.Index(), 50);
  EXPECT_DOUBLE_EQ(r.Time(), 50);
  r.Step(-100);
  EXPECT_EQ(r.Index(), 0);
  r.Seek(1e9);
  EXPECT_EQ(r.Index(), 100);
  r.Play(); // from the end: again from the start
  EXPECT_EQ(r.Index(), 0);
  EXPECT_TRUE(r.Playing());
}

TEST(TrackReplay, TimesOutOfOrderOrMissingKeepTheClockMonotone) {
  TTrackPointList pts = Line(5);
  pts[2]->obj_dt = kReplayT0 - 1; // late point from the past
  pts[3]->obj_dt = 0;      // no time
  TTrackReplay r;
  r.Reset(pts);
  EXPECT_DOUBLE_EQ(r.PointTime(2), 1);
  EXPECT_DOUBLE_EQ(r.PointTime(3), 1);
  EXPECT_DOUBLE_EQ(r.PointTime(4), 4);
  r.Seek(1);
  EXPECT_EQ(r.Index(), 3); // the last point due at second 1
}

TEST(TrackReplay, StopsArePassedWithTheirDurations) {
  TTrackPointList pts = Line(20);
  for (int i = 5; i < 9; ++i) pts[std::size_t(i)]->IsParking = true;
  pts[5]->ParkingDuration = 400;
  for (int i = 12; i < 15; ++i) pts[std::size_t(i)]->IsParking = true; // no length recorded
  TTrackReplay r;
  r.Reset(pts);
  ASSERT_EQ(r.Stops().size(), 2u);
  EXPECT_EQ(r.Stops()[0].Index, 5);
  EXPECT_EQ(r.Stops()[0].Duration, 400);
  EXPECT_EQ(r.Stops()[1].Duration, 2); // points 12 to 14
  EXPECT_EQ(r.PassedStops(), 0);
  r.SetSpeed(1);
  r.Play();
  r.Advance(6);
  EXPECT_EQ(r.PassedStops(), 1);
  EXPECT_EQ(r.CurrentStop(), 0);
  r.Advance(7);
  EXPECT_EQ(r.PassedStops(), 2);
  r.Seek(3);
  EXPECT_EQ(r.PassedStops(), 0);
  EXPECT_EQ(r.CurrentStop(), -1);
}

TEST(TrackReplay, HeadingAndPointsWithoutAFix) {
  TTrackPointList pts = Line(4);
  pts[1]->lat = pts[1]->lon = TTrackPointInfo::NaN;
  pts[2]->lon = 56 + 20 / 59000.0; // north-east of the first
  TTrackReplay r;
  r.Reset(pts);
  r.Seek(1); // on the point without a fix: between the fixes around it
  EXPECT_TRUE(std::isfinite(r.Position().Lat));
  const double h = r.Heading();
  EXPECT_GT(h, 0);
  EXPECT_LT(h, 90);
  pts[1]->angle = 270;
  EXPECT_DOUBLE_EQ(r.Heading(), 270); // the point's own bearing first
  TTrackReplay empty;
  TTrackPointList none;
  empty.Reset(none);
  EXPECT_TRUE(std::isnan(empty.Position().Lat));
  EXPECT_FALSE(empty.Advance(1));
}

TEST(SpeedScale, ClassesAndSegmentSpeeds) {
  const struct {
    double kmh;
    int cls;
  } cases[] = {{0, 0}, {4.99, 0}, {5, 1}, {29, 1}, {30, 2}, {59, 2}, {60, 3}, {90, 4},
               {119.9, 4}, {120, 5}, {300, 5}, {-1, -1}, {TTrackPointInfo::NaN, -1},
               {INFINITY, -1}};
  for (const auto &c : cases) EXPECT_EQ(SpeedClass(c.kmh), c.cls) << c.kmh;
  const TTrackPointList pts = Line(3);
  EXPECT_DOUBLE_EQ(SegmentSpeed(*pts[0], *pts[1]), 36); // the reported speed
  pts[1]->speed = TTrackPointInfo::NaN;
  EXPECT_NEAR(SegmentSpeed(*pts[0], *pts[1]), 36, 0.2); // 10 m in a second
  pts[1]->obj_dt = pts[0]->obj_dt;                      // no time between them
  EXPECT_TRUE(std::isnan(SegmentSpeed(*pts[0], *pts[1])));
}

} // namespace
} // namespace kelvra
