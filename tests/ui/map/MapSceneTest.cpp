// The monitoring map as the main window fills it, from kelvra-sim's demo
// world: its tiles, a day's track of the van with its parking stops, the
// demo zones and three objects with photos. The picture is saved as
// "map-scene.png" beside the test for a person to look at.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "core/client/client.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"
#include "ui/map/LumMapControl.h"

#include <algorithm>
#include <cmath>

using namespace kelvra;

namespace {

// A portrait-like picture for objects the demo world has no photo of.
std::unique_ptr<TBitmap32> MadePhoto(std::uint32_t hue) {
  auto bmp = std::make_unique<TBitmap32>(96, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 96; ++x) {
      const int dx = x - 48, dy = y - 50;
      const bool face = dx * dx + dy * dy < 26 * 26;
      const bool shoulders = y > 95 && std::abs(dx) < 44;
      bmp->fPixels[std::size_t(y * 96 + x)] =
          face ? 0xFFF0C8A0u : shoulders ? (0xFF000000u | hue) : 0xFFB8D8F0u;
    }
  return bmp;
}

} // namespace

class MapSceneTest : public QObject {
  Q_OBJECT
private slots:
  void demoWorldOnTheMap() {
    test::TDemoWorld world("kelvra-scene");
    QVERIFY2(world.Start(), world.Error().c_str());
    TKelvraClient &client = world.Client();
    world.Sim().Advance(20 * 60); // the objects move: their recent trail grows
    client.GetObjects();
    QVERIFY(client.GetZones() > 0);

    TLumMapControl map(nullptr, world.MapCacheDir(), 100000000);
    world.UseSimTiles(map);
    QVERIFY(test::ShowMap(map, 1200, 800));

    // The van's last day, with its parking stops found.
    TObjectInfo *van = world.Object("Delivery van");
    QVERIFY(van);
    auto track = world.LastDay(*van, 1);
    QVERIFY(track);
    QVERIFY(track->Info().ParkingCount > 0);
    QVERIFY(track->Info().HasGeoRect());
    TGeoRect area = track->Info().GeoRect;
    map.GeoTracks().push_back(std::move(track));

    for (auto &z : client.ZoneList()) z->visible = true;
    map.SetGeoZones(&client.ZoneList());
    int circles = 0, polygons = 0;
    for (auto &z : client.ZoneList()) (z->type_id == kZoneCircle ? circles : polygons)++;
    QVERIFY(circles > 0 && polygons > 0);

    // Three objects with photos as markers.
    int marked = 0;
    const std::uint32_t hues[] = {0x3060C0, 0xC04030, 0x30A050};
    for (auto &o : client.ObjList()) {
      if (o->is_deleted || !o->HasLatLon() || marked == 3) continue;
      // Three markers that can be told apart: not on top of one already there.
      const TGeoPoint at{o->last_point->lon, o->last_point->lat};
      bool crowded = false;
      for (int i = 0; i < map.MapMarks().Count(); ++i) {
        const TGeoPoint &c = map.MapMarks().Get(i)->Coord;
        crowded |= std::fabs(c.Lat - at.Lat) < 0.002 && std::fabs(c.Long - at.Long) < 0.004;
      }
      if (crowded) continue;
      if (o->has_image) client.GetPhoto(*o);
      if (!o->photo) o->photo = MadePhoto(hues[marked]);
      TMapMark *m = map.MapMarks().Add(TGeoPoint{o->last_point->lon, o->last_point->lat}, "");
      m->Data = o.get();
      ++marked;
      // The view takes in the markers too.
      area.TopLeft.Long = std::min(area.TopLeft.Long, m->Coord.Long);
      area.BottomRight.Long = std::max(area.BottomRight.Long, m->Coord.Long);
      area.TopLeft.Lat = std::max(area.TopLeft.Lat, m->Coord.Lat);
      area.BottomRight.Lat = std::min(area.BottomRight.Lat, m->Coord.Lat);
    }
    QCOMPARE(marked, 3);

    map.ZoomToArea(area);
    map.SetCenterPoint(TGeoPoint{(area.TopLeft.Long + area.BottomRight.Long) / 2,
                                 (area.TopLeft.Lat + area.BottomRight.Lat) / 2});
    QVERIFY(test::WaitForAllTiles(map));
    QTest::qWait(100);
    for (int i = 0; i < map.MapMarks().Count(); ++i) {
      const TMapMark *m = map.MapMarks().Get(i);
      const QPoint p = map.GeoPointToInnerPoint(m->Coord);
      qInfo("marker %d at %d,%d: %s", i, p.x(), p.y(),
            static_cast<TObjectInfo *>(m->Data)->name.c_str());
    }
    const QImage img = map.grab().toImage();
    QVERIFY(img.save("map-scene.png"));
    qInfo("saved %s (zoom %d, %d zones, %zu track points)",
          qPrintable(QDir::current().absoluteFilePath("map-scene.png")), map.Zoom(),
          int(client.ZoneList().size()), map.GeoTracks()[0]->Points().size());
    // The loop of the event queue has nothing left for the map.
    map.SetGeoZones(nullptr);
    map.MapMarks().Clear();
  }
};

KELVRA_UI_TEST(MapSceneTest)
#include "MapSceneTest.moc"
