#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/tracks/GeoTrack.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {
namespace {

constexpr double kMinute = 1.0 / 1440;
constexpr double kDay0 = 45356.0; // 2024-03-05
// Degrees of latitude per metre near 58 N (about 111.4 km per degree).
constexpr double kLatPerMetre = 1 / 111410.0;

std::unique_ptr<TTrackPointInfo> Point(int uid, double lat, double lon, double objDt) {
  auto p = std::make_unique<TTrackPointInfo>(uid, 1);
  p->lat = lat;
  p->lon = lon;
  p->obj_dt = objDt;
  p->sys_dt = objDt;
  p->gps_dt = objDt;
  return p;
}

void AddSensor(TTrackPointInfo &p, const std::string &sign, const std::string &val) {
  p.sensors.emplace_back(static_cast<int>(p.sensors.size()) + 1, sign, val);
}

// ---------------------------------------------------------------- statistics

struct TStatsCase {
  const char *name;
  std::function<TTrackPointList()> build;
  std::function<void(const TGeoTrackInfo &)> check;
};

void PrintTo(const TStatsCase &c, std::ostream *os) { *os << c.name; }

class GeoTrackStatsTest : public ::testing::TestWithParam<TStatsCase> {};

TEST_P(GeoTrackStatsTest, UpdateInfo) {
  TGeoTrack track("1");
  const int assigned = track.Assign(GetParam().build());
  EXPECT_EQ(assigned, static_cast<int>(track.Points().size()));
  GetParam().check(track.Info());
}

TTrackPointList WithSensor(const char *sign, std::vector<const char *> values) {
  TTrackPointList pts;
  int uid = 1;
  for (const char *v : values) {
    auto p = Point(uid, 58 + uid * 1e-4, 56, kDay0 + uid * kMinute);
    if (*v) AddSensor(*p, sign, v);
    ++uid;
    pts.push_back(std::move(p));
  }
  return pts;
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, GeoTrackStatsTest,
    ::testing::Values(
        TStatsCase{"OnePoint",
                   [] {
                     TTrackPointList pts;
                     pts.push_back(Point(1, 58, 56, kDay0));
                     return pts;
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.PointsCount, 1);
                     EXPECT_EQ(i.GoodPointsCount, 0);
                     EXPECT_TRUE(i.ObjTime.IsNan());
                     EXPECT_FALSE(i.HasGeoRect());
                     EXPECT_EQ(i.Width, 0);
                   }},
        TStatsCase{"TwoPoints10mApart",
                   [] {
                     TTrackPointList pts;
                     pts.push_back(Point(1, 58, 56, kDay0));
                     pts.push_back(Point(2, 58 + 10 * kLatPerMetre, 56, kDay0 + kMinute));
                     return pts;
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.GoodPointsCount, 2);
                     EXPECT_NEAR(i.Distance, 10, 0.05);
                     // Only the second point is in the rectangle.
                     EXPECT_DOUBLE_EQ(i.GeoRect.TopLeft.Lat, 58 + 10 * kLatPerMetre);
                     EXPECT_DOUBLE_EQ(i.GeoRect.BottomRight.Lat, 58 + 10 * kLatPerMetre);
                     EXPECT_EQ(i.Height, 0);
                     EXPECT_EQ(i.ObjDuration, 60);
                     EXPECT_TRUE(i.HasCenterPoint());
                   }},
        TStatsCase{"StepCounterRestarts",
                   [] {
                     return WithSensor("stepCounter", {"100", "150", "40", "90"});
                   },
                   [](const TGeoTrackInfo &i) { EXPECT_EQ(i.StepCounter, 100); }},
        TStatsCase{"StepsWithGapsAndNoise",
                   [] {
                     return WithSensor("stepCounter", {"", "10", "x", "25", "", "30"});
                   },
                   [](const TGeoTrackInfo &i) { EXPECT_EQ(i.StepCounter, 20); }},
        TStatsCase{"HeartRate",
                   [] {
                     return WithSensor("heartRate", {"0", "80", "100"});
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.MinHeartRate, 80);
                     EXPECT_EQ(i.MaxHeartRate, 100);
                     EXPECT_EQ(i.AvgHeartRate, 90);
                   }},
        TStatsCase{"HeartRateTieToEven",
                   [] {
                     return WithSensor("heartRate", {"80", "81", "", "90", "91"});
                   },
                   [](const TGeoTrackInfo &i) { EXPECT_EQ(i.AvgHeartRate, 86); }},
        TStatsCase{"HeartValueBeyondIntegerIsNoValue",
                   [] {
                     return WithSensor("heartRate", {"80", "99999999999", "100"});
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.MinHeartRate, 80);
                     EXPECT_EQ(i.MaxHeartRate, 100);
                     EXPECT_EQ(i.AvgHeartRate, 90);
                   }},
        TStatsCase{"StepTotalBeyondIntegerSaturates",
                   [] {
                     return WithSensor("stepCounter", {"100", "2147483647", "1", "2147483647"});
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.StepCounter, std::numeric_limits<int>::max());
                   }},
        TStatsCase{"CenturiesApartSaturateTheDuration",
                   [] {
                     TTrackPointList pts;
                     pts.push_back(Point(1, 58, 56, 2.0));       // 1900-01-01
                     pts.push_back(Point(2, 58.1, 56, 2958465)); // 9999-12-31
                     return pts;
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.ObjDuration, std::numeric_limits<int>::max());
                     EXPECT_EQ(i.SysDuration, std::numeric_limits<int>::max());
                   }},
        TStatsCase{"NoHeartData",
                   [] {
                     return WithSensor("other", {"1", "2"});
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.AvgHeartRate, 0);
                     EXPECT_EQ(i.MinHeartRate, 0);
                   }},
        TStatsCase{"ParkingRunsAndAddresses",
                   [] {
                     TTrackPointList pts;
                     const bool parking[] = {false, false, true, true, false, true};
                     for (int k = 0; k < 6; ++k) {
                       auto p = Point(k + 1, 58 + k * 1e-3, 56, kDay0 + k * kMinute);
                       p->IsParking = parking[k];
                       if (k % 2) p->osm_id = "W" + std::to_string(k);
                       pts.push_back(std::move(p));
                     }
                     auto noFix = Point(7, kNaN, 56, kDay0 + 10 * kMinute);
                     noFix->osm_id = "W7";
                     pts.insert(pts.begin() + 3, std::move(noFix));
                     return pts;
                   },
                   [](const TGeoTrackInfo &i) {
                     EXPECT_EQ(i.PointsCount, 7);
                     EXPECT_EQ(i.GoodPointsCount, 6);
                     EXPECT_EQ(i.ParkPointsCount, 3);
                     EXPECT_EQ(i.ParkingCount, 2);
                     EXPECT_EQ(i.AddressCount, 3);
                     // Only the first stretch (0 -> 1) lies outside parking.
                     EXPECT_NEAR(i.Distance, 111.4, 0.5);
                     // The point without a fix does not count for times either.
                     EXPECT_EQ(i.ObjDuration, 300);
                   }},
        TStatsCase{"RectangleWidthAndHeight",
                   [] {
                     TTrackPointList pts;
                     pts.push_back(Point(1, 58.0, 56.0, kDay0));
                     pts.push_back(Point(2, 58.01, 56.0, kDay0 + kMinute));
                     pts.push_back(Point(3, 58.01, 56.02, kDay0 + 2 * kMinute));
                     pts.push_back(Point(4, 57.99, 56.01, kDay0 + 3 * kMinute));
                     return pts;
                   },
                   [](const TGeoTrackInfo &i) {
                     ASSERT_TRUE(i.HasGeoRect());
                     EXPECT_DOUBLE_EQ(i.GeoRect.TopLeft.Lat, 58.01);
                     EXPECT_DOUBLE_EQ(i.GeoRect.TopLeft.Long, 56.0);
                     EXPECT_DOUBLE_EQ(i.GeoRect.BottomRight.Lat, 57.99);
                     EXPECT_DOUBLE_EQ(i.GeoRect.BottomRight.Long, 56.02);
                     EXPECT_DOUBLE_EQ(i.CenterPoint.Lat, 58.0);
                     EXPECT_DOUBLE_EQ(i.CenterPoint.Long, 56.01);
                     EXPECT_NEAR(i.Width, 1181.7, 1);  // 0.02 degree of longitude at 58 N
                     EXPECT_NEAR(i.Height, 2228.2, 1); // 0.02 degree of latitude
                     EXPECT_EQ(i.SysDuration, 180);
                     EXPECT_EQ(i.GpsDuration, 180);
                   }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GeoTrack, ReplacedPointsDropOldHeartData) {
  TGeoTrack track;
  track.Assign(WithSensor("heartRate", {"70", "90"}));
  EXPECT_EQ(track.Info().AvgHeartRate, 80);
  track.Assign(WithSensor("stepCounter", {"1", "2"}));
  EXPECT_EQ(track.Info().AvgHeartRate, 0);
}

TEST(GeoTrack, NewTrackDefaults) {
  TGeoTrack track("17");
  EXPECT_EQ(track.ObjId(), "17");
  EXPECT_TRUE(track.Visible());
  EXPECT_EQ(track.Style().Sign, "Gray");
  EXPECT_EQ(track.Style().PointColor, 0xFF000001u);
  EXPECT_EQ(GeoTrackStyles[3].Sign, "Purple");
  EXPECT_EQ(GeoTrackStyles[2].LineColor, 0x808000u);
  track.SetSign("x");
  track.Assign(WithSensor("a", {"1", "2"}));
  track.Clear();
  EXPECT_EQ(track.ObjId(), "");
  EXPECT_EQ(track.Sign(), "x");
  EXPECT_TRUE(track.Points().empty());
  EXPECT_EQ(track.Info().PointsCount, 0);
}

// Whoever keeps something made from the points (the map's projection, a graph line, a replay)
// compares the revision: every change of the points gives a new one, never one another track had;
// reading gives none.
TEST(GeoTrack, EveryChangeOfThePointsGivesANewRevision) {
  TGeoTrack track;
  track.Assign(WithSensor("a", {"1", "2", "3", "4"}));
  std::set<uint64_t> seen{track.Revision()};
  const std::vector<std::pair<const char *, std::function<void(TGeoTrack &)>>> changes = {
      {"Assign", [](TGeoTrack &t) { t.Assign(WithSensor("a", {"5", "6"})); }},
      {"a point changed through the list", [](TGeoTrack &t) { t.Points()[1]->lat += 0.001; }},
      {"a point added", [](TGeoTrack &t) { t.Points().push_back(std::make_unique<TTrackPointInfo>()); }},
      {"MarkParking", [](TGeoTrack &t) { t.MarkParking(); }},
      {"ClearParking", [](TGeoTrack &t) { t.ClearParking(); }},
      {"Touch (a point changed through a pointer kept)", [](TGeoTrack &t) { t.Touch(); }},
      {"Clear", [](TGeoTrack &t) { t.Clear(); }},
  };
  for (const auto &[name, change] : changes) {
    change(track);
    EXPECT_TRUE(seen.insert(track.Revision()).second) << name;
    // Reading the track changes nothing.
    const uint64_t r = track.Revision();
    track.UpdateInfo();
    const TGeoTrack &reader = track;
    EXPECT_GE(reader.Points().size(), 0u);
    EXPECT_EQ(track.Revision(), r) << name;
  }
  // A new track (even one made where an old one stood) has a revision of its own.
  for (int k = 0; k < 3; ++k) {
    auto other = std::make_unique<TGeoTrack>();
    EXPECT_TRUE(seen.insert(other->Revision()).second);
  }
}

// ---------------------------------------------------------------- parking

// Eleven points p0..p10, `step` apart in object time, each 2 m north of the previous,
// accuracy 20 m, speed 0.
TTrackPointList Crawl(double stepDays) {
  TTrackPointList pts;
  for (int k = 0; k <= 10; ++k) {
    auto p = Point(k, 58 + 2 * k * kLatPerMetre, 56, kDay0 + k * stepDays);
    p->acc = 20;
    p->speed = 0;
    pts.push_back(std::move(p));
  }
  return pts;
}

TEST(GeoTrackParking, ElevenPointsOneMinuteApartAreAStay) {
  TGeoTrack track;
  track.Assign(Crawl(kMinute));
  track.MarkParking();
  const auto &pts = track.Points();
  ASSERT_EQ(pts.size(), 12u);
  EXPECT_FALSE(pts[0]->IsParking);
  EXPECT_EQ(pts[0]->ParkingDuration, 0);
  // The parking point is a copy of p1 placed at the stay's centre.
  EXPECT_EQ(pts[1]->uid, 1);
  EXPECT_TRUE(pts[1]->IsParking);
  EXPECT_EQ(pts[1]->ParkingDuration, 540);
  EXPECT_NEAR(pts[1]->lat, 58 + 12 * kLatPerMetre,
              1e-9); // middle of p2..p10 (p1 opens the rectangle)
  for (int k = 1; k <= 10; ++k) {
    EXPECT_EQ(pts[k + 1]->uid, k);
    EXPECT_TRUE(pts[k + 1]->IsParking) << k;
    EXPECT_EQ(pts[k + 1]->ParkingDuration, 540) << k;
  }
  track.ClearParking();
  for (const auto &p : track.Points()) {
    EXPECT_FALSE(p->IsParking);
    EXPECT_EQ(p->ParkingDuration, 0);
  }
  EXPECT_EQ(track.Points().size(), 12u);
}

TEST(GeoTrackParking, ElevenPointsTwentySecondsApartAreNoStay) {
  TGeoTrack track;
  track.Assign(Crawl(kMinute / 3));
  track.MarkParking();
  ASSERT_EQ(track.Points().size(), 11u);
  for (const auto &p : track.Points())
    EXPECT_FALSE(p->IsParking);
}

// A stay that runs to the end of the track after another stay: the search looks at every point
// of it (each inserted parking point moves the later points one place on, and the scan still
// reaches the last one), so the stop lasts to the last message and that message is marked.
TEST(GeoTrackParking, AStayAtTheEndAfterAnotherStayReachesTheLastPoint) {
  TTrackPointList pts;
  double lat = 58;
  auto add = [&](double minute, double metres, double speed) {
    lat += metres * kLatPerMetre;
    auto p = Point(static_cast<int>(pts.size()), lat, 56, kDay0 + minute * kMinute);
    p->acc = 20;
    p->speed = speed;
    pts.push_back(std::move(p));
  };
  add(0, 0, 0);
  for (int k = 1; k <= 10; ++k) add(k, 2, 0);      // stay A: p1..p10, 540 s
  for (int k = 11; k <= 15; ++k) add(k, 500, 40);  // driving
  for (int k = 16; k <= 25; ++k) add(k, 2, 0);     // stay B: p16..p25, the end, 540 s
  TGeoTrack track;
  track.Assign(std::move(pts));
  track.MarkParking();
  const auto &got = track.Points();
  ASSERT_EQ(got.size(), 28u); // two parking points inserted
  EXPECT_TRUE(got[1]->IsParking);
  EXPECT_EQ(got[1]->ParkingDuration, 540);
  EXPECT_EQ(got[17]->uid, 16); // the parking point of stay B, a copy of p16
  EXPECT_TRUE(got[17]->IsParking);
  EXPECT_EQ(got[17]->ParkingDuration, 540);
  for (size_t k = 18; k < got.size(); ++k) {
    EXPECT_TRUE(got[k]->IsParking) << k;
    EXPECT_EQ(got[k]->ParkingDuration, 540) << k;
  }
  EXPECT_EQ(got.back()->uid, 25);
  for (size_t k = 12; k <= 16; ++k) EXPECT_FALSE(got[k]->IsParking) << k;
}

// The search as the statistics define it: a scratch track whose statistics are
// recomputed after every added point, and insertions into the list in place, the scan going on
// over every position of the growing list.
void ReferenceMarkParking(TTrackPointList &pts) {
  TGeoTrack cand;
  std::ptrdiff_t parkIdx = -1;
  auto finish = [&] {
    const TGeoTrackInfo &ci = cand.Info();
    if (parkIdx >= 0 && cand.Points().size() > 2 && ci.ObjDuration >= 300) {
      auto park = std::make_unique<TTrackPointInfo>(*pts[parkIdx]);
      park->lat = ci.CenterPoint.Lat;
      park->lon = ci.CenterPoint.Long;
      park->IsParking = true;
      park->ParkingDuration = ci.ObjDuration;
      pts.insert(pts.begin() + parkIdx, std::move(park));
      for (auto &p : pts)
        if (ci.ObjTime.Min <= p->obj_dt && p->obj_dt <= ci.ObjTime.Max) {
          p->IsParking = true;
          p->ParkingDuration = ci.ObjDuration;
        }
    }
    cand.Clear();
    parkIdx = -1;
  };
  for (size_t i = 1; i < pts.size(); ++i) {
    const TTrackPointInfo &tp = *pts[i];
    const TTrackPointInfo &ptp = *pts[i - 1];
    if (!tp.HasLatLon() || !ptp.HasLatLon()) continue;
    const double dst = cand.Points().size() < 3 ? tp.DistanceTo(ptp)
                                                : tp.DistanceTo(cand.Info().CenterPoint.Lat,
                                                                cand.Info().CenterPoint.Long);
    double acc = 1000;
    if (tp.HasAccuracy() && ptp.HasAccuracy()) acc = std::max(tp.acc, ptp.acc);
    const bool noSpeed = std::isnan(tp.speed) || tp.speed < 3;
    if (dst >= acc && !noSpeed) {
      if (parkIdx >= 0) finish();
    } else {
      if (parkIdx < 0) parkIdx = static_cast<std::ptrdiff_t>(i);
      cand.Points().push_back(std::make_unique<TTrackPointInfo>(tp));
      cand.UpdateInfo();
    }
  }
  finish();
}

// Tracks of driving stretches and stays with GPS noise, missing fixes, missing
// accuracies and speeds, the odd missing or out-of-order device time, and points
// already marked by an earlier search.
TTrackPointList RandomTrack(std::mt19937 &rng) {
  std::uniform_real_distribution<double> u(0, 1);
  TTrackPointList pts;
  double lat = 58 + u(rng) * 0.1, lon = 56 + u(rng) * 0.1, t = kDay0;
  const int n = 20 + static_cast<int>(u(rng) * 300);
  bool staying = u(rng) < 0.5;
  for (int k = 0; k < n; ++k) {
    if (u(rng) < 0.08) staying = !staying;
    const double stepSec = 5 + u(rng) * (staying ? 120 : 40);
    t += stepSec / 86400;
    const double move = staying ? u(rng) * 15 : 30 + u(rng) * 400;
    const double heading = u(rng) * 2 * M_PI;
    lat += move * std::cos(heading) * kLatPerMetre;
    lon += move * std::sin(heading) * kLatPerMetre * 1.9;
    auto p = Point(k + 1, lat, lon, t);
    if (u(rng) < 0.05) p->lat = kNaN;
    if (u(rng) < 0.03) p->lon = 0;
    if (u(rng) < 0.02) p->obj_dt = kNaN;
    if (u(rng) < 0.02) p->obj_dt = t - u(rng) * 0.01;
    p->acc = u(rng) < 0.1 ? kNaN : 5 + u(rng) * 60;
    p->speed = u(rng) < 0.1 ? kNaN : (staying ? u(rng) * 4 : 3 + u(rng) * 60);
    if (u(rng) < 0.03) p->IsParking = true;
    pts.push_back(std::move(p));
  }
  return pts;
}

bool SameNumber(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

TEST(GeoTrackParking, MatchesTheReferenceSearchOnGeneratedTracks) {
  std::mt19937 rng(20240305);
  int stays = 0;
  for (int round = 0; round < 400; ++round) {
    TTrackPointList expected = RandomTrack(rng);
    TTrackPointList copy;
    for (const auto &p : expected)
      copy.push_back(std::make_unique<TTrackPointInfo>(*p));
    TGeoTrack track;
    track.Assign(std::move(copy));
    const int passes = round % 5 == 0 ? 2 : 1; // a second search over marked points
    for (int pass = 0; pass < passes; ++pass) {
      ReferenceMarkParking(expected);
      track.MarkParking();
    }
    const auto &got = track.Points();
    ASSERT_EQ(got.size(), expected.size()) << "round " << round;
    for (size_t k = 0; k < got.size(); ++k) {
      SCOPED_TRACE("round " + std::to_string(round) + " point " + std::to_string(k));
      ASSERT_EQ(got[k]->uid, expected[k]->uid);
      ASSERT_TRUE(SameNumber(got[k]->lat, expected[k]->lat));
      ASSERT_TRUE(SameNumber(got[k]->lon, expected[k]->lon));
      ASSERT_EQ(got[k]->IsParking, expected[k]->IsParking);
      ASSERT_EQ(got[k]->ParkingDuration, expected[k]->ParkingDuration);
    }
    // The statistics are not recomputed by the search: PointsCount is the count before it.
    stays += static_cast<int>(got.size()) - track.Info().PointsCount;
  }
  // The generator must actually produce stays, or the comparison proves little.
  EXPECT_GT(stays, 200);
}

} // namespace
} // namespace kelvra
