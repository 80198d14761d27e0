// Marker clusters on a grid, fanning out, the zoom that opens a cluster, and
// the map feature switches.
#include "core/map/MapFeatures.h"
#include "core/map/MarkerClusters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace kelvra {
namespace {

struct TClusterCase {
  std::string name;
  std::vector<TClusterMarker> markers;
  std::vector<int> counts; // cluster sizes in the order the clusters were made
};

// Pins are 48 x 60 (24 to each side, 56 above the point, 4 below); a badge reaches 27 around
// its centre.
class MarkerClusters : public ::testing::TestWithParam<TClusterCase> {};

TEST_P(MarkerClusters, MergesWhatWouldOverlap) {
  const TClusterCase &c = GetParam();
  TMarkerClusterer clusterer;
  clusterer.Build(c.markers);
  std::vector<int> counts;
  for (const auto &cl : clusterer.Clusters()) counts.push_back(cl.Count);
  EXPECT_EQ(counts, c.counts);
  // Every marker is a member of the cluster it is reported in, exactly once.
  std::vector<int> seen(c.markers.size(), 0);
  for (int k = 0; k < int(clusterer.Clusters().size()); ++k)
    for (int m : clusterer.Members(k)) {
      EXPECT_EQ(clusterer.ClusterOf(m), k);
      ++seen[std::size_t(m)];
    }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
}

INSTANTIATE_TEST_SUITE_P(
    Grid, MarkerClusters,
    ::testing::Values(
        TClusterCase{"same_point", {{100, 100}, {100, 100}}, {2}},
        // side by side: pins 47 apart overlap, 48 apart touch
        TClusterCase{"pins_overlap_sideways", {{100, 100}, {147, 100}}, {2}},
        TClusterCase{"pins_touch_sideways", {{100, 100}, {148, 100}}, {1, 1}},
        // one above the other: 59 apart overlap, 60 apart touch
        TClusterCase{"pins_overlap_upwards", {{100, 100}, {100, 41}}, {2}},
        TClusterCase{"pins_touch_upwards", {{100, 100}, {100, 40}}, {1, 1}},
        // neighbours across a cell border merge
        TClusterCase{"across_cells", {{47, 59}, {49, 61}}, {2}},
        TClusterCase{"negative_coordinates", {{-1, -1}, {1, 1}, {-100, 0}}, {2, 1}},
        // a chain of overlapping pins becomes badges that stand clear of each other
        TClusterCase{"chain", {{0, 0}, {40, 0}, {80, 0}, {120, 0}}, {2, 2}},
        // a badge made of two pins reaches a pin below that the pins alone did not
        TClusterCase{"badge_reaches_a_pin", {{0, 0}, {30, 0}, {40, 62}}, {3}},
        TClusterCase{"empty", {}, {}}),
    [](const auto &info) { return info.param.name; });

TEST(MarkerClusters, WorstStateBoxAndCentre) {
  TMarkerClusterer clusterer;
  const std::vector<TClusterMarker> markers{
      {10, 10, msNormal}, {20, 14, msAlarm}, {12, 20, msSilent}, {500, 500, msSilent}};
  clusterer.Build(markers);
  ASSERT_EQ(clusterer.Clusters().size(), 2u);
  const TMarkerCluster &a = clusterer.Clusters()[0];
  EXPECT_EQ(a.State, msAlarm);
  EXPECT_EQ(a.MinX, 10);
  EXPECT_EQ(a.MaxX, 20);
  EXPECT_EQ(a.MinY, 10);
  EXPECT_EQ(a.MaxY, 20);
  EXPECT_EQ(a.X, 14);
  EXPECT_EQ(a.Y, 15);
  EXPECT_EQ(clusterer.Clusters()[1].State, msSilent);
}

// Whatever the markers, no two pictures overlap: fleets of several densities, a street grid
// and one crowded place, in the geometry the map draws and a wider one.
TEST(MarkerClusters, NothingDrawnOverlaps) {
  struct TCase {
    const char *name;
    std::vector<TClusterMarker> markers;
  };
  std::vector<TCase> cases;
  for (int spread : {300, 2000, 20000}) {
    std::uint32_t seed = 12345u + unsigned(spread);
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    TCase c{"random", {}};
    for (int i = 0; i < 3000; ++i)
      c.markers.push_back({int(next() % unsigned(spread)), int(next() % unsigned(spread)),
                           TMarkerState(next() % 3)});
    cases.push_back(std::move(c));
  }
  TCase street{"street_grid", {}};
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) street.markers.push_back({x * 37, y * 53, msNormal});
  cases.push_back(std::move(street));
  TCase crowd{"crowd_and_ring", std::vector<TClusterMarker>(500, TClusterMarker{1000, 1000})};
  for (int a = 0; a < 360; a += 5)
    crowd.markers.push_back({1000 + int(60 * std::cos(a * M_PI / 180)),
                             1000 + int(60 * std::sin(a * M_PI / 180)), msNormal});
  cases.push_back(std::move(crowd));
  for (const TClusterGeometry &g : {TClusterGeometry{}, TClusterGeometry{40, 100, 10, 45}})
    for (const TCase &c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.markers.size()) + " pin " +
                   std::to_string(g.PinHalfWidth));
      TMarkerClusterer clusterer(g);
      clusterer.Build(c.markers);
      const auto &cl = clusterer.Clusters();
      int total = 0;
      for (std::size_t i = 0; i < cl.size(); ++i) {
        total += cl[i].Count;
        for (std::size_t j = i + 1; j < cl.size(); ++j)
          ASSERT_FALSE(clusterer.BoxOf(cl[i]).Overlaps(clusterer.BoxOf(cl[j])))
              << i << " (" << cl[i].X << "," << cl[i].Y << " x" << cl[i].Count << ") " << j
              << " (" << cl[j].X << "," << cl[j].Y << " x" << cl[j].Count << ")";
      }
      EXPECT_EQ(total, int(c.markers.size()));
    }
}

TEST(MarkerClusters, ManyMarkersOnOnePlaceAndAFleetOnAGrid) {
  // Ten thousand markers on one point are one cluster; a fleet whose pins
  // stand clear of each other is ten thousand clusters of one.
  std::vector<TClusterMarker> same(10000, TClusterMarker{5000, 5000, msNormal});
  TMarkerClusterer clusterer;
  clusterer.Build(same);
  ASSERT_EQ(clusterer.Clusters().size(), 1u);
  EXPECT_EQ(clusterer.Clusters()[0].Count, 10000);
  std::vector<TClusterMarker> grid;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) grid.push_back({x * 60, y * 70, msNormal});
  clusterer.Build(grid);
  EXPECT_EQ(clusterer.Clusters().size(), 10000u);
}

TEST(MarkerClusters, FanOutKeepsTheSpacing) {
  for (int count : {1, 2, 3, 8, 9, 20, 60}) {
    SCOPED_TRACE(count);
    const auto offsets = FanOutOffsets(count, 50);
    ASSERT_EQ(int(offsets.size()), count);
    for (std::size_t i = 0; i < offsets.size(); ++i)
      for (std::size_t j = i + 1; j < offsets.size(); ++j) {
        const double d = std::hypot(offsets[i].first - offsets[j].first,
                                    offsets[i].second - offsets[j].second);
        EXPECT_GE(d, 45) << i << " " << j;
      }
  }
  EXPECT_EQ(FanOutOffsets(1, 50)[0], std::make_pair(0, 0));
  EXPECT_EQ(FanOutOffsets(2, 50)[0], std::make_pair(0, -25)); // the first on top
}

TEST(MarkerClusters, ZoomThatOpensACluster) {
  // 20 px wide at zoom 10.
  EXPECT_EQ(ClusterZoom(20, 0, 10, 19, 500, 400), 14); // 320 px; 640 would not fit
  EXPECT_EQ(ClusterZoom(20, 0, 10, 12, 500, 400), 12); // the highest zoom stops it
  EXPECT_EQ(ClusterZoom(20, 0, 19, 19, 500, 400), 19);
  EXPECT_EQ(ClusterZoom(0.1, 20, 10, 19, 500, 300), 13); // the height decides
  // Members on one point: to the highest zoom, where they fan out.
  EXPECT_EQ(ClusterZoom(0, 0, 3, 19, 500, 400), 19);
  // Wider than the view already: still one step in.
  EXPECT_EQ(ClusterZoom(900, 0, 10, 19, 500, 400), 11);
}

TEST(MarkerClusters, StateOfAnObject) {
  const TDateTime now = 46000.5;
  TObjectInfo oi(1, "1");
  oi.last_point->sys_dt = now - 10.0 / 1440;
  EXPECT_EQ(MarkerStateOf(oi, now), msNormal);
  oi.last_point->sys_dt = now - 61.0 / 1440;
  EXPECT_EQ(MarkerStateOf(oi, now), msSilent);
  oi.last_point->sys_dt = 0; // never heard of
  EXPECT_EQ(MarkerStateOf(oi, now), msSilent);
  oi.last_point->sys_dt = now;
  oi.alarms.push_back(std::make_unique<TEventInfo>(1, 1));
  EXPECT_EQ(MarkerStateOf(oi, now), msAlarm);
}

TEST(MapFeatures, OnUnlessSwitchedOff) {
  EXPECT_TRUE(ReadMapFeatures(nullptr).ClusterMarkers);
  TLumHash cfg;
  cfg.SetVal("cluster_markers", " Off ");
  cfg.SetVal("track_replay", "0");
  cfg.SetVal("track_speed_colors", "maybe"); // not a yes/no word: the default
  cfg.SetVal("smooth_tiles", "false");
  const TMapFeatures f = ReadMapFeatures(&cfg);
  EXPECT_FALSE(f.ClusterMarkers);
  EXPECT_FALSE(f.TrackReplay);
  EXPECT_TRUE(f.SpeedColors);
  EXPECT_FALSE(f.SmoothTiles);
  EXPECT_TRUE(ConfigFlag("YES", false));
  EXPECT_FALSE(ConfigFlag("", false));
}

} // namespace
} // namespace kelvra
