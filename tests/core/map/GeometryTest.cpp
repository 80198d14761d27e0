// Tile pyramid conversions, distances and offsets.
#include "core/map/OsmUtils.h"
#include "core/map/SlippyMapUtils.h"
#include "core/map/geo_utils.h"
#include "core/util/LumSmallUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kelvra {
namespace {


TEST(SlippyMapUtils, MapEdgesAtEveryZoom) {
  for (int z = 0; z <= MaxMapZoomLevel; ++z) {
    SCOPED_TRACE(z);
    const auto zoom = TMapZoomLevel(z);
    const std::uint64_t size = std::uint64_t(256) << z;
    EXPECT_EQ(LongitudeToMapCoord(zoom, 180), size);
    EXPECT_EQ(LongitudeToMapCoord(zoom, -180), 0u);
    EXPECT_EQ(LatitudeToMapCoord(zoom, 0), size / 2);
    EXPECT_EQ(LatitudeToMapCoord(zoom, 85.1), 0u);
    EXPECT_EQ(LatitudeToMapCoord(zoom, -85.1), size);
    EXPECT_DOUBLE_EQ(MapCoordToLongitude(zoom, std::uint32_t(size)), 180);
    EXPECT_NEAR(MapCoordToLatitude(zoom, std::uint32_t(size / 2)), 0, 1e-12);
    // The map view converts row 0 to a latitude and back when it sets its
    // first zoom; noise must not push it off the map.
    EXPECT_NEAR(MapCoordToLatitude(zoom, 0), 85.0511287798, 1e-9);
    EXPECT_EQ(LatitudeToMapCoord(zoom, MapCoordToLatitude(zoom, 0)), 0u);
  }
}

TEST(SlippyMapUtils, RowsAndColumnsSurviveARoundTrip) {
  for (int z = 0; z <= MaxMapZoomLevel; ++z) {
    const auto zoom = TMapZoomLevel(z);
    const std::uint64_t size = MapSize(zoom);
    for (std::uint64_t v = 0; v <= size; v += size / 997 + 1) {
      const auto c = std::uint32_t(v);
      ASSERT_EQ(LatitudeToMapCoord(zoom, MapCoordToLatitude(zoom, c)), c) << "zoom " << z;
      ASSERT_EQ(LongitudeToMapCoord(zoom, MapCoordToLongitude(zoom, c)), c) << "zoom " << z;
    }
  }
}

TEST(SlippyMapUtils, KnownTileOfAPlace) {
  // The demo area lies in tile 2688/1233 at zoom 12.
  const double lon = 56.27574, lat = 57.998649;
  EXPECT_EQ(LongitudeToMapCoord(12, lon) / 256, 2688u);
  EXPECT_EQ(LatitudeToMapCoord(12, lat) / 256, 1233u);
  EXPECT_NEAR(MapCoordToLongitude(12, LongitudeToMapCoord(12, lon)), lon, 360.0 / (256 << 12));
}

// The far edges of the map are one past its last pixel; the tiles asked for there are the
// last column and row.
TEST(SlippyMapUtils, TileNumbersStayInsideTheMap) {
  for (int z : {0, 1, 3, 12, int(MaxMapZoomLevel)}) {
    SCOPED_TRACE(z);
    const auto zoom = TMapZoomLevel(z);
    const std::uint32_t last = (1u << z) - 1;
    const struct {
      double lon, lat;
      std::uint32_t x, y;
    } cases[] = {{180, -85.0512, last, last},
                 {180, -85.1, last, last},
                 {-180, 85.1, 0, 0},
                 {-180, 85.0511, 0, 0},
                 {0, 0, (last + 1) / 2, (last + 1) / 2},
                 {179.9999999, -90, last, last},
                 {kNaN, kNaN, (last + 1) / 2, (last + 1) / 2},
                 {200, 89, last, 0}};
    for (const auto &c : cases) {
      const TTile t = GeoPointToTile(zoom, TGeoPoint{c.lon, c.lat});
      EXPECT_EQ(t.Zoom, zoom);
      EXPECT_EQ(t.ParameterX, c.x) << c.lon;
      EXPECT_EQ(t.ParameterY, c.y) << c.lat;
    }
    EXPECT_EQ(MapCoordToTileNumber(zoom, MapSize(zoom)), last);
    EXPECT_EQ(MapCoordToTileNumber(zoom, MapSize(zoom) - 1), last);
    EXPECT_EQ(MapCoordToTileNumber(zoom, 255), 0u);
  }
  // The demo area's tile at zoom 12.
  EXPECT_EQ(GeoPointToTile(12, TGeoPoint{56.27574, 57.998649}), (TTile{12, 2688, 1233}));
}

TEST(SlippyMapUtilsDeathTest, LatitudeBeyondRangeIsAProgrammingError) {
  EXPECT_DEBUG_DEATH(LatitudeToMapCoord(3, 85.2), "");
  EXPECT_DEBUG_DEATH(TGeoPoint::Create(181, 0), "");
}

struct TBoundaryCase {
  const char *name;
  TRect in, out;
};

class ToTileBoundaryTest : public testing::TestWithParam<TBoundaryCase> {};

TEST_P(ToTileBoundaryTest, SnapsOutward) {
  EXPECT_EQ(ToTileBoundary(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToTileBoundaryTest,
    testing::Values(TBoundaryCase{"Inside", {10, 10, 300, 513}, {0, 0, 512, 768}},
                    TBoundaryCase{"OnEdges", {256, 256, 512, 512}, {256, 256, 512, 512}},
                    TBoundaryCase{"Empty", {0, 0, 0, 0}, {0, 0, 0, 0}},
                    TBoundaryCase{"OnePixel", {255, 257, 256, 258}, {0, 256, 256, 512}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TGeoRect, ContainsEdgesAndCorners) {
  const auto r = TGeoRect::Create(TGeoPoint::Create(10, 50), TGeoPoint::Create(20, 40));
  struct {
    double lon, lat;
    bool in;
  } cases[] = {{15, 45, true},      {10, 50, true},      {20, 40, true},
               {10, 45, true},      {15, 40, true},      {9.999, 45, false},
               {15, 50.001, false}, {20.001, 40, false}, {15, 39.999, false}};
  for (const auto &c : cases)
    EXPECT_EQ(r.Contains(TGeoPoint::Create(c.lon, c.lat)), c.in) << c.lon << "," << c.lat;
}

TEST(TGeoPoint, DefaultIsAbsent) {
  const TGeoPoint p;
  EXPECT_TRUE(std::isnan(p.Long));
  EXPECT_TRUE(std::isnan(p.Lat));
}

TEST(GetScaleBarParams, Table) {
  struct {
    int zoom;
    std::uint32_t px, m;
    const char *text;
  } cases[] = {{0, 64, 10000000, "10000 km"}, {3, 51, 1000000, "1000 km"}, {9, 98, 30000, "30 km"},
               {13, 52, 1000, "1 km"},        {14, 52, 500, "500 m"},      {20, 67, 10, "10 m"}};
  for (const auto &c : cases) {
    std::uint32_t px = 0, m = 0;
    std::string text;
    GetScaleBarParams(TMapZoomLevel(c.zoom), px, m, text);
    EXPECT_EQ(px, c.px) << c.zoom;
    EXPECT_EQ(m, c.m) << c.zoom;
    EXPECT_EQ(text, c.text) << c.zoom;
  }
  for (int z = 0; z <= MaxMapZoomLevel; ++z) {
    std::uint32_t px = 0, m = 0;
    std::string text;
    GetScaleBarParams(TMapZoomLevel(z), px, m, text);
    EXPECT_GE(px, 51u) << z;
    EXPECT_LE(px, 98u) << z;
  }
}

struct TDistanceCase {
  const char *name;
  double lat1, lon1, lat2, lon2;
  double expected, tolerance;
};

class DistanceBetweenTest : public testing::TestWithParam<TDistanceCase> {};

TEST_P(DistanceBetweenTest, Ellipsoidal) {
  const auto &c = GetParam();
  EXPECT_NEAR(DistanceBetween(c.lat1, c.lon1, c.lat2, c.lon2), c.expected, c.tolerance);
  // The TGeoPoint form is the same formula with longitude first.
  EXPECT_DOUBLE_EQ(DistanceBetween(TGeoPoint{c.lon1, c.lat1}, TGeoPoint{c.lon2, c.lat2}),
                   DistanceBetween(c.lat1, c.lon1, c.lat2, c.lon2));
}

// Expected lengths are GeodSolve's (GeographicLib); 0.1 mm is the agreement asked of every
// pair, also those where an iterative formula fails to converge.
INSTANTIATE_TEST_SUITE_P(
    Cases, DistanceBetweenTest,
    testing::Values(TDistanceCase{"SamePoint", 57.998649, 56.27574, 57.998649, 56.27574, 0, 0},
                    TDistanceCase{"OneDegreeOnEquator", 0, 0, 0, 1, 111319.490793, 1e-4},
                    TDistanceCase{"OneDegreeOfMeridian", 0, 0, 1, 0, 110574.388558, 1e-4},
                    TDistanceCase{"DemoArea", 57.998649, 56.27574, 58.1, 56.4, 13463.602539, 1e-4},
                    TDistanceCase{"Across180thMeridian", 0, 179.9999, 0, -179.9999, 22.263898,
                                  1e-4},
                    TDistanceCase{"NaNLatitude", kNaN, 0, 0, 1, 0, 0},
                    TDistanceCase{"NaNLongitude", 0, 0, 0, kNaN, 0, 0},
                    // Half a meridian: the shortest way runs over a pole.
                    TDistanceCase{"Antipodal", 0, 0, 0, 180, 20003931.458625, 1e-4},
                    TDistanceCase{"NearlyAntipodal", 0, 0, 0.5, 179.7, 19944127.420750, 1e-4},
                    TDistanceCase{"PoleToPoleSide", -89, 0, 89, 180, 20003931.458625, 1e-4}),
    [](const auto &info) { return std::string(info.param.name); });

// Polygons with geodesic edges; expected values are Planimeter's (GeographicLib). The area
// does not depend on the direction the nodes run in.
struct TPolygonCase {
  const char *name;
  std::vector<TGeoPoint> nodes; // longitude, latitude
  double area, perimeter;
};

void PrintTo(const TPolygonCase &c, std::ostream *os) { *os << c.name; }

std::vector<TGeoPoint> Quad(double lon1, double lat1, double lon2, double lat2) {
  return {{lon1, lat1}, {lon2, lat1}, {lon2, lat2}, {lon1, lat2}};
}

class PolygonMeasureTest : public testing::TestWithParam<TPolygonCase> {};

TEST_P(PolygonMeasureTest, MatchesPlanimeter) {
  const TPolygonCase &c = GetParam();
  const std::vector<TGeoPoint> reversed(c.nodes.rbegin(), c.nodes.rend());
  for (const auto *nodes : {&c.nodes, &reversed}) {
    const TPolygonMeasure m = MeasurePolygon(*nodes);
    EXPECT_NEAR(m.area, c.area, std::max(1e-3, c.area * 1e-12));
    EXPECT_NEAR(m.perimeter, c.perimeter, 1e-6);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Zones, PolygonMeasureTest,
    testing::Values(
        TPolygonCase{"DegreeAtEquator", Quad(0, 0, 1, 1), 12308778361.4695, 443770.917248302},
        TPolygonCase{"SmallNear58North", Quad(56, 58, 56.01, 58.01), 658516.6247, 3410.047114667},
        TPolygonCase{"AcrossEquatorAndGreenwich", Quad(-0.5, -0.5, 0.5, 0.5), 12309234582.5030,
                     443779.168722728},
        TPolygonCase{"Across180thMeridianSouth", Quad(179.5, -11, -179.5, -10), 12108467312.5771,
                     440149.202046962},
        TPolygonCase{"AroundNorthPole",
                     {{0, 80}, {90, 80}, {180, 80}, {-90, 80}},
                     2507270031169.8750,
                     6301599.963614223},
        TPolygonCase{"AroundSouthPole",
                     {{0, -80}, {90, -80}, {180, -80}, {-90, -80}},
                     2507270031169.8750,
                     6301599.963614223},
        TPolygonCase{"TwoNodes", {{0, 0}, {1, 1}}, 0, 0},
        TPolygonCase{"NodeWithoutCoordinates", {{0, 0}, {1, 0}, {kNaN, 1}}, 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CalcLinDistanceInMeter, Table) {
  const auto centre = TGeoPoint::Create(56.27574, 57.998649);
  // Same point: the azimuth step would divide by zero.
  EXPECT_EQ(CalcLinDistanceInMeter(centre, centre), 0);
  // Along a meridian and along a parallel it agrees with the ellipsoid to
  // within the shortened degree factor.
  const auto north = TGeoPoint::Create(centre.Long, centre.Lat + 0.01);
  const auto east = TGeoPoint::Create(centre.Long + 0.01, centre.Lat);
  EXPECT_NEAR(CalcLinDistanceInMeter(centre, north), DistanceBetween(centre, north), 1.0);
  EXPECT_NEAR(CalcLinDistanceInMeter(centre, east), DistanceBetween(centre, east), 1.0);
  EXPECT_DOUBLE_EQ(CalcLinDistanceInMeter(centre, east), CalcLinDistanceInMeter(east, centre));
}

// A circle drawn on the 180th meridian: its centre and edge point lie on either side.
TEST(CalcLinDistanceInMeter, TakesTheShortWayAcrossThe180thMeridian) {
  const struct {
    double lon1, lon2, lat;
  } cases[] = {{179.9999, -179.9999, 0}, {-179.9999, 179.9999, 0}, {179.9999, -179.9999, 60}};
  for (const auto &c : cases) {
    const auto p1 = TGeoPoint::Create(c.lon1, c.lat), p2 = TGeoPoint::Create(c.lon2, c.lat);
    // 22.26 m on the equator (11.15 m at 60 degrees), as on the ellipsoid, to within the
    // shortened degree factor.
    EXPECT_NEAR(CalcLinDistanceInMeter(p1, p2), DistanceBetween(p1, p2), 0.01)
        << c.lon1 << " " << c.lat;
  }
}

TEST(ComputeOffset, Table) {
  const auto origin = TGeoPoint::Create(0, 0);
  const auto same = ComputeOffset(TGeoPoint::Create(56.27574, 57.998649), 0, 37);
  EXPECT_NEAR(same.Long, 56.27574, 1e-12);
  EXPECT_NEAR(same.Lat, 57.998649, 1e-12);

  const auto east = ComputeOffset(origin, 10000, 90);
  EXPECT_NEAR(east.Lat, 0, 1e-12);
  EXPECT_NEAR(east.Long, ToDegrees(10000.0 / 6371009), 1e-12);

  const auto north = ComputeOffset(origin, 10000, 0);
  EXPECT_NEAR(north.Long, 0, 1e-12);
  EXPECT_NEAR(north.Lat, ToDegrees(10000.0 / 6371009), 1e-12);

  // Crossing the 180th meridian eastward comes back at the western end.
  const auto across = ComputeOffset(TGeoPoint::Create(179.99, 0), 5000, 90);
  EXPECT_NEAR(across.Long, 179.99 + ToDegrees(5000.0 / 6371009) - 360, 1e-9);
}

TEST(FormatDistance, Table) {
  struct {
    double distance;
    const char *text;
  } cases[] = {
      {kNaN, "NaN"}, {0, "0.00 m"}, {999.4, "999.40 m"}, {1000, "1.00 km"}, {12345.678, "12.35 km"}};
  for (const auto &c : cases)
    EXPECT_EQ(FormatDistance(c.distance), c.text) << c.distance;
}

TEST(Angles, RoundTrip) {
  EXPECT_DOUBLE_EQ(ToRadians(180), M_PI);
  EXPECT_DOUBLE_EQ(ToDegrees(M_PI / 2), 90);
}

} // namespace
} // namespace kelvra
