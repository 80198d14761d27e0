#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/tracks/TrackRequest.h"
#include "core/util/LumDates.h"

namespace kelvra {
namespace {

TTrackPointList Points(int n, int distinctPlaces) {
  TTrackPointList pts;
  const TDateTime t0 = EncodeDateTime(2026, 12, 9, 8);
  for (int i = 0; i < n; ++i) {
    auto p = std::make_unique<TTrackPointInfo>(i + 1, 7);
    p->obj_dt = p->sys_dt = p->gps_dt = t0 + i * 60 / 86400.0;
    // Points 20 to 29 stand still for ten minutes.
    const int step = i < 20 ? i : (i < 30 ? 20 : i - 9);
    p->lat = 58.0 + step * 0.001;
    p->lon = 56.2 + step * 0.001;
    p->acc = 10;
    p->osm_id = distinctPlaces ? std::to_string(1000000000 + i % distinctPlaces) : "";
    pts.push_back(std::move(p));
  }
  return pts;
}

TEST(TrackRequestTest, PlaceIdsGoInBatchesOfFifty) {
  struct TCase {
    const char *name;
    int points, places;
    std::vector<size_t> batches;
  };
  const std::vector<TCase> cases = {
      {"120 distinct", 120, 120, {50, 50, 20}},
      {"repeated ids count once", 300, 120, {50, 50, 20}},
      {"exactly 50", 50, 50, {50}},
      {"no ids", 40, 0, {}},
  };
  for (const TCase &c : cases) {
    std::vector<size_t> got;
    std::vector<std::string> all;
    const TTrackPointList pts = Points(c.points, c.places);
    BuildRequestedTrack(pts, {"86", "s", 0, false}, [&](const std::vector<std::string> &ids) {
      got.push_back(ids.size());
      all.insert(all.end(), ids.begin(), ids.end());
    });
    EXPECT_EQ(got, c.batches) << c.name;
    EXPECT_EQ(all.size(), static_cast<size_t>(c.places)) << c.name;
  }
}

// Progress runs through the stages in order; a stop in any stage (the second batch of places
// among them) ends the work there: null, and no batch looked up after the stop.
TEST(TrackRequestTest, StagesReportInOrderAndAStopEndsTheWork) {
  // three batches of places, several copy steps; a drive back and forth along a street
  TTrackPointList pts;
  const TDateTime t0 = EncodeDateTime(2026, 12, 9, 8);
  for (int i = 0; i < 40000; ++i) {
    auto p = std::make_unique<TTrackPointInfo>(i + 1, 7);
    p->obj_dt = p->sys_dt = p->gps_dt = t0 + i / 86400.0;
    p->lat = 58.0 + std::abs(i % 2000 - 1000) * 0.00005;
    p->lon = 56.2;
    p->acc = 10;
    p->osm_id = std::to_string(1000000000 + i % 120);
    pts.push_back(std::move(p));
  }
  std::vector<TTrackStage> order;
  auto full = BuildRequestedTrack(
      pts, {"86", "s", 0, true}, [](const std::vector<std::string> &) {},
      [&](TTrackStage st, size_t done, size_t total) {
        EXPECT_LE(done, total);
        if (order.empty() || order.back() != st) order.push_back(st);
        return true;
      });
  ASSERT_TRUE(full);
  EXPECT_GE(full->Points().size(), 40000u); // and the parking points
  const std::vector<TTrackStage> all{TTrackStage::Copying, TTrackStage::Parking,
                                     TTrackStage::Statistics, TTrackStage::Places};
  EXPECT_EQ(order, all);
  struct TStop {
    const char *name;
    TTrackStage stage;
    size_t at; // the report of that stage that says stop (0: its first)
    size_t batchesLookedUp;
  };
  for (const TStop &c : {TStop{"copying starts", TTrackStage::Copying, 0, 0},
                         TStop{"copying half way", TTrackStage::Copying, 1, 0},
                         TStop{"parking", TTrackStage::Parking, 0, 0},
                         TStop{"statistics", TTrackStage::Statistics, 0, 0},
                         TStop{"before the second batch", TTrackStage::Places, 1, 1},
                         TStop{"after the last batch", TTrackStage::Places, 3, 3}}) {
    size_t batches = 0, reports = 0;
    auto t = BuildRequestedTrack(
        pts, {"86", "s", 0, true}, [&](const std::vector<std::string> &) { ++batches; },
        [&](TTrackStage st, size_t, size_t) { return st != c.stage || reports++ < c.at; });
    EXPECT_EQ(t, nullptr) << c.name;
    EXPECT_EQ(batches, c.batchesLookedUp) << c.name;
  }
}

TEST(TrackRequestTest, TrackIsACopyWithStyleSignAndParking) {
  const TTrackPointList pts = Points(60, 0);
  auto t = BuildRequestedTrack(pts, {"860000000000101", "Van-six hours", 2, true});
  EXPECT_EQ(t->ObjId(), "860000000000101");
  EXPECT_EQ(t->Sign(), "Van-six hours");
  EXPECT_EQ(t->Style().Sign, "Green");
  EXPECT_EQ(t->Layer(), 0);
  EXPECT_TRUE(t->Visible());
  EXPECT_EQ(pts.size(), 60u); // the source keeps its points
  EXPECT_NE(t->Points().front().get(), pts.front().get());
  EXPECT_EQ(t->Info().ParkingCount, 1);
  EXPECT_EQ(t->Info().PointsCount, 61);
  EXPECT_EQ(RequestedTrackLog(*t),
            "\r  points: total=61 good=61 park=" + std::to_string(t->Info().ParkPointsCount));

  auto plain = BuildRequestedTrack(pts, {"", "x", 9, false}); // no markup; unknown style
  EXPECT_EQ(plain->Style().Sign, "Gray");
  EXPECT_EQ(plain->Info().ParkingCount, 0);
  EXPECT_EQ(plain->Info().PointsCount, 60);
}

} // namespace
} // namespace kelvra
