#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/map/OsmUtils.h"
#include "core/util/LumSmallUtils.h"
#include "core/model/ZoneInfo.h"

namespace kelvra {
namespace {

TGeoPoint P(double lon, double lat) {
  TGeoPoint p;
  p.Long = lon;
  p.Lat = lat;
  return p;
}

// Derived values of whole zones as the zone list builds them from geometry text.
struct TGeomCase {
  const char *name;
  int type;
  const char *geom;
  double area; // NaN: not checked
  // perimeter NaN: expected to be NaN
  double areaTol;
  double perimeter;
  double perimeterTol;
  bool hasRect;
  size_t nodes;
};

void PrintTo(const TGeomCase &c, std::ostream *os) { *os << c.name; }

class ZoneGeomTest : public ::testing::TestWithParam<TGeomCase> {};

TEST_P(ZoneGeomTest, DerivedValues) {
  const TGeomCase &c = GetParam();
  TZoneInfo zi(1, c.type);
  zi.geom.ReadJsonString(c.geom, c.type);
  zi.UpdateRect();
  if (!std::isnan(c.area)) {
    EXPECT_NEAR(zi.area, c.area, c.areaTol);
  }
  if (std::isnan(c.perimeter)) {
    EXPECT_TRUE(std::isnan(zi.perimeter));
  } else {
    EXPECT_NEAR(zi.perimeter, c.perimeter, c.perimeterTol);
  }
  EXPECT_EQ(zi.HasRect(), c.hasRect);
  EXPECT_EQ(zi.geom.nodes.size(), c.nodes);
  if (c.type == kZonePolygon) {
    EXPECT_EQ(zi.geom.HasCenter(), c.hasRect);
  }
}


INSTANTIATE_TEST_SUITE_P(
    Zones, ZoneGeomTest,
    ::testing::Values(
        TGeomCase{"Circle100m", kZoneCircle, R"({"center":[56.27574,57.998649],"radius":100})",
                  31415.9265, 1e-3, 628.3185, 1e-3, true, 0},
        TGeomCase{"TwoNodePolygon", kZonePolygon, "[[56.0,58.0],[56.1,58.1]]", 0, 0, 0, 0, false,
                  2},
        // About 1 km a side near 58 N 56 E: the area is true, not the 0.91 km2 of flat
        // coordinates. Area and perimeter as GeographicLib's Planimeter gives them.
        TGeomCase{"Square1kmNear58North", kZonePolygon,
                  "[[56.0,58.0],[56.016911,58.0],[56.016911,58.008979],[56.0,58.008979]]",
                  999931.2684, 0.001, 3999.862560, 1e-6, true, 4},
        TGeomCase{"ArrayTextIsPolygonNodes", kZonePolygon, " [[1,2],[3,4],[5,2]]", kNaN, 0, 0, 1e12,
                  true, 3},
        TGeomCase{"MalformedNodesSkipped", kZonePolygon, R"([[1,2],[3],"x",[5,"a"],[5,2],[3,4]])",
                  kNaN, 0, 0, 1e12, true, 3},
        TGeomCase{"CircleCenterOneElement", kZoneCircle, R"({"center":[56.2],"radius":100})",
                  31415.9265, 1e-3, 628.3185, 1e-3, false, 0},
        TGeomCase{"BrokenJson", kZonePolygon, "[[1,2],[3,", 0, 0, 0, 0, false, 0},
        TGeomCase{"EmptyText", kZoneCircle, "", kNaN, 0, kNaN, 1e12, false, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ZoneInfo, CircleRectangleCornersLieOnTheDiagonal) {
  TZoneInfo zi(1, kZoneCircle);
  zi.geom.center = P(56.27574, 57.998649);
  zi.geom.radius = 100;
  zi.UpdateRect();
  ASSERT_TRUE(zi.HasRect());
  EXPECT_NEAR(DistanceBetween(zi.geom.center, zi.rect.TopLeft), 141.42, 0.5);
  EXPECT_NEAR(DistanceBetween(zi.geom.center, zi.rect.BottomRight), 141.42, 0.5);
  EXPECT_GT(zi.rect.TopLeft.Lat, zi.geom.center.Lat);
  EXPECT_LT(zi.rect.TopLeft.Long, zi.geom.center.Long);
  EXPECT_LT(zi.rect.BottomRight.Lat, zi.geom.center.Lat);
  EXPECT_GT(zi.rect.BottomRight.Long, zi.geom.center.Long);
}

TEST(ZoneInfo, PolygonCenterIsMiddleOfRectangle) {
  TZoneInfo zi(1, kZonePolygon);
  zi.geom.nodes = {P(10, 50), P(12, 50), P(12, 54), P(11, 55)};
  zi.UpdateRect();
  EXPECT_DOUBLE_EQ(zi.geom.center.Long, 11);
  EXPECT_DOUBLE_EQ(zi.geom.center.Lat, 52.5);
  EXPECT_DOUBLE_EQ(zi.rect.TopLeft.Lat, 55);
  EXPECT_DOUBLE_EQ(zi.rect.BottomRight.Long, 12);
}

TEST(ZoneInfo, GeometryJsonRoundTrip) {
  TZoneGeom circle;
  circle.center = P(56.5, 58.25);
  circle.radius = 250.5;
  EXPECT_EQ(circle.ToJsonString(kZoneCircle), R"({"center":[56.5,58.25],"radius":250.5})");
  TZoneGeom back;
  back.ReadJsonString(circle.ToJsonString(kZoneCircle), kZoneCircle);
  EXPECT_EQ(back.center.Long, 56.5);
  EXPECT_EQ(back.center.Lat, 58.25);
  EXPECT_EQ(back.radius, 250.5);

  TZoneGeom poly;
  poly.nodes = {P(1.5, 2), P(3, 4.25), P(5, 2)};
  EXPECT_EQ(poly.ToJsonString(kZonePolygon), "[[1.5,2.0],[3.0,4.25],[5.0,2.0]]");
  TZoneGeom polyBack;
  polyBack.ReadJsonString(poly.ToJsonString(kZonePolygon), kZonePolygon);
  ASSERT_EQ(polyBack.nodes.size(), 3u);
  EXPECT_EQ(polyBack.nodes[1].Lat, 4.25);
  EXPECT_THROW(poly.ToJsonString(3), std::runtime_error);
}

TEST(ZoneInfo, UrlStringEncodesTheGeometry) {
  TZoneInfo zi(0, kZonePolygon);
  zi.name = "Depot 1";
  zi.desc = "a&b";
  zi.color = 0x0080FF; // red 255, green 128, blue 0
  zi.geom.nodes = {P(1, 2), P(3, 4), P(5, 2)};
  EXPECT_EQ(zi.ToUrlString(),
            "uid=0&name=Depot+1&type_id=2&color=%23FF8000&"
            "geom=%5B%5B1.0%2C2.0%5D%2C%5B3.0%2C4.0%5D%2C%5B5.0%2C2.0%5D%5D&desc=a%26b&");
  EXPECT_THROW(TZoneInfo(1, 7).ToUrlString(), std::runtime_error);
}

TEST(ZoneInfo, AssignCopiesAndDerivesAnew) {
  TZoneInfo src(3, kZonePolygon);
  src.name = "Field";
  src.visible = true;
  src.geom.nodes = {P(56, 58), P(56.01, 58), P(56.01, 58.01), P(56, 58.01)};
  TZoneInfo copy(src); // src.UpdateRect was never run; the copy derives its own values
  EXPECT_EQ(copy.name, "Field");
  EXPECT_TRUE(copy.visible);
  EXPECT_TRUE(copy.HasRect());
  EXPECT_NEAR(copy.area, 658516.63, 10);
  nlohmann::json j = copy.ToJson();
  EXPECT_EQ(j["uid"], 3);
  EXPECT_EQ(j["geom"].get<std::string>(), copy.geom.ToJsonString(kZonePolygon));
  EXPECT_EQ(j["color"], "#000000");
}

} // namespace
} // namespace kelvra
