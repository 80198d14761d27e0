// The zone decisions of the zone panel and editor: the new zone, the shape opened for editing,
// type switching, typed centre and radius, node keys, units and the batching of notifications.
#include "core/map/SlippyMapUtils.h"
#include "core/model/ZoneEdit.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelvra;

namespace {

TZoneInfo Circle(double lat, double lon, double r) {
  TZoneInfo zi(7, kZoneCircle);
  zi.geom.center = TGeoPoint{lon, lat};
  zi.geom.radius = r;
  zi.UpdateRect();
  return zi;
}

TZoneInfo Square() {
  TZoneInfo zi(8, kZonePolygon);
  zi.geom.nodes = {{56.0, 58.0}, {56.1, 58.0}, {56.1, 57.9}, {56.0, 57.9}};
  zi.UpdateRect();
  return zi;
}

} // namespace

TEST(ZoneEditTest, NewZoneAtTheMapCentreIsABlueCircleNamedAfterIt) {
  auto zi = NewZone(TGeoPoint{56.25, 58.0});
  EXPECT_EQ(zi->name, "Zone_58.0000_56.2500");
  EXPECT_EQ(zi->uid, 0);
  EXPECT_EQ(zi->type_id, kZoneCircle);
  EXPECT_EQ(zi->color, 0x00FF0000u); // blue in 0x00BBGGRR
  EXPECT_DOUBLE_EQ(zi->geom.radius, 100);
  EXPECT_TRUE(zi->HasRect());
  EXPECT_EQ(NewZoneName(-12.34567, 7), "Zone_-12.3457_7.0000");
}

TEST(ZoneEditTest, PreparingForEditGivesMissingShapes) {
  TZoneInfo poly(1, kZonePolygon); // no centre, no nodes
  PrepareZoneForEdit(poly, TGeoPoint{56.25, 58.0});
  ASSERT_EQ(poly.geom.nodes.size(), 3u);
  const TGeoPoint c{56.25, 58.0};
  for (const TGeoPoint &n : poly.geom.nodes)
    EXPECT_NEAR(CalcLinDistanceInMeter(c, n), 100, 1);
  EXPECT_GT(poly.geom.nodes[0].Lat, 58.0); // heading 0 is north
  EXPECT_TRUE(poly.HasRect());

  TZoneInfo two = Square();
  two.geom.nodes.resize(2);
  two.geom.center = c;
  PrepareZoneForEdit(two, TGeoPoint{0, 0});
  EXPECT_EQ(two.geom.nodes.size(), 3u); // only the missing node

  TZoneInfo circle(2, kZoneCircle);
  circle.geom.center = c;
  PrepareZoneForEdit(circle, TGeoPoint{0, 0});
  EXPECT_DOUBLE_EQ(circle.geom.radius, 100);
  EXPECT_DOUBLE_EQ(circle.geom.center.Lat, 58.0); // its own centre stays
}

TEST(ZoneEditTest, CircleToPolygonAndBack) {
  TZoneInfo zi = Circle(58, 56.25, 100);
  ASSERT_TRUE(SetZoneType(zi, kZonePolygon));
  ASSERT_EQ(zi.geom.nodes.size(), 4u);
  const TGeoPoint c{56.25, 58};
  for (const TGeoPoint &n : zi.geom.nodes)
    EXPECT_NEAR(CalcLinDistanceInMeter(c, n), 100, 0.5);
  EXPECT_GT(zi.geom.nodes[0].Lat, 58);    // north
  EXPECT_GT(zi.geom.nodes[1].Long, 56.25); // east
  EXPECT_LT(zi.geom.nodes[2].Lat, 58);    // south
  EXPECT_LT(zi.geom.nodes[3].Long, 56.25); // west
  EXPECT_FALSE(SetZoneType(zi, kZonePolygon)); // same type: nothing

  TZoneInfo sq = Square();
  ASSERT_TRUE(SetZoneType(sq, kZoneCircle));
  EXPECT_NEAR(sq.geom.radius, CalcLinDistanceInMeter(TGeoPoint{56.0, 58.0}, TGeoPoint{56.1, 57.9}) / 2,
              0.01);

  TZoneInfo none(3, kZoneCircle); // without a centre the type stays
  EXPECT_FALSE(SetZoneType(none, kZonePolygon));
  EXPECT_EQ(none.type_id, kZoneCircle);
}

TEST(ZoneEditTest, TypedCentreAndRadius) {
  struct TCase {
    const char *text;
    bool changed;
    double lat, lon;
  } cases[] = {
      {"57.1234567,56.1", true, 57.123457, 56.1},
      {" 57.5 , 56.5 ", true, 57.5, 56.5},
      {"58.00005,56.25", false, 58, 56.25}, // less than 1e-4: no change
      {"abc,56.1", false, 58, 56.25},
      {"57.1", false, 58, 56.25},
      {"91,56", false, 58, 56.25},
      {"57°30.000'N 56°06.000'E", true, 57.5, 56.1}, // in the form the editor shows
      {"57°30'N 56°06'W", true, 57.5, -56.1},
      {"57°61'N 56°E", false, 58, 56.25},
  };
  for (const TCase &c : cases) {
    TZoneInfo zi = Circle(58, 56.25, 100);
    EXPECT_EQ(SetZoneCenter(zi, c.text), c.changed) << c.text;
    EXPECT_DOUBLE_EQ(zi.geom.center.Lat, c.lat) << c.text;
    EXPECT_DOUBLE_EQ(zi.geom.center.Long, c.lon) << c.text;
  }
  TZoneInfo zi = Circle(58, 56.25, 100);
  EXPECT_FALSE(SetZoneRadius(zi, "4.99"));
  EXPECT_FALSE(SetZoneRadius(zi, "x"));
  EXPECT_DOUBLE_EQ(zi.geom.radius, 100);
  EXPECT_TRUE(SetZoneRadius(zi, "250,456"));
  EXPECT_DOUBLE_EQ(zi.geom.radius, 250.46);
  EXPECT_EQ(ZoneCenterValue(Circle(57.123457, -56.1, 100)), "57.123457,-56.100000");
}

// With imperial units the radius is typed and shown in feet and kept in metres; the 5 m floor
// holds in feet too (16 ft is 4.88 m).
TEST(ZoneEditTest, RadiusInFeet) {
  SetDisplayUnits(TDisplayUnits::FromSettings("imperial", "dm"));
  TZoneInfo zi = Circle(58, 56.25, 100);
  EXPECT_FALSE(SetZoneRadius(zi, "16"));
  EXPECT_TRUE(SetZoneRadius(zi, "500"));
  EXPECT_DOUBLE_EQ(zi.geom.radius, 152.4);
  EXPECT_EQ(ShownRadius(zi), "500.00");
  EXPECT_TRUE(SetZoneRadius(zi, "16.41")); // 5.0018 m
  EXPECT_DOUBLE_EQ(zi.geom.radius, 5);
  EXPECT_EQ(ShownLatLon(zi.geom.center), "58°00.000'N 56°15.000'E");
  SetDisplayUnits(TDisplayUnits());
}

TEST(ZoneEditTest, NodeInsertAndDelete) {
  TZoneInfo zi = Square();
  ASSERT_TRUE(InsertZoneNode(zi, 0)); // between the last node and the first
  ASSERT_EQ(zi.geom.nodes.size(), 5u);
  EXPECT_DOUBLE_EQ(zi.geom.nodes[0].Long, 56.0);
  EXPECT_NEAR(zi.geom.nodes[0].Lat, 57.95, 1e-9);
  EXPECT_FALSE(InsertZoneNode(zi, 5));
  EXPECT_TRUE(DeleteZoneNode(zi, 0));
  EXPECT_TRUE(DeleteZoneNode(zi, 3));
  EXPECT_EQ(zi.geom.nodes.size(), 3u);
  EXPECT_FALSE(DeleteZoneNode(zi, 0)); // a polygon keeps three nodes
  EXPECT_EQ(zi.geom.nodes.size(), 3u);
}

TEST(ZoneEditTest, UnitsSwitchAtAThousand) {
  EXPECT_EQ(PerimeterMeasure(999.99).unit, "m");
  EXPECT_EQ(PerimeterMeasure(1500).unit, "km");
  EXPECT_DOUBLE_EQ(PerimeterMeasure(1500).value, 1.5);
  EXPECT_EQ(AreaMeasure(999999).unit, "m\u00B2");
  EXPECT_EQ(AreaMeasure(2500000).unit, "km\u00B2");
  EXPECT_DOUBLE_EQ(AreaMeasure(2500000).value, 2.5);
}

TEST(ZoneEditTest, VisibleZonesRectIsTheUnion) {
  TZoneList zones;
  zones.push_back(std::make_unique<TZoneInfo>(Square()));
  zones.push_back(std::make_unique<TZoneInfo>(Circle(57.5, 55.5, 100)));
  zones.push_back(std::make_unique<TZoneInfo>(Circle(10, 10, 100)));
  TGeoRect r;
  EXPECT_FALSE(VisibleZonesRect(zones, r));
  zones[0]->visible = zones[1]->visible = true;
  ASSERT_TRUE(VisibleZonesRect(zones, r));
  EXPECT_DOUBLE_EQ(r.TopLeft.Lat, 58.0);
  EXPECT_DOUBLE_EQ(r.BottomRight.Long, 56.1);
  EXPECT_LT(r.TopLeft.Long, 55.5);
  EXPECT_LT(r.BottomRight.Lat, 57.5);
}

TEST(ZoneEditTest, UpdateQueueReportsAKeyOnceWithItsLastValue) {
  TZoneUpdateQueue q(1000);
  q.Put("center", "57.1", 0);
  q.Put("center", "57.12,56", 400);
  q.Put("name", "A", 900);
  EXPECT_FALSE(q.Due(1900)); // exactly a second after the last change is not yet
  EXPECT_TRUE(q.Due(1901));
  const auto got = q.Take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (std::pair<std::string, std::string>{"center", "57.12,56"}));
  EXPECT_EQ(got[1], (std::pair<std::string, std::string>{"name", "A"}));
  EXPECT_FALSE(q.Pending());
}
