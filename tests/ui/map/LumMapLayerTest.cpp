// The monitoring layer: tracks, zones, object markers, the click callbacks
// and zone editing with the mouse, on plain white tiles so that every drawn
// pixel can be checked.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "core/util/LumSmallUtils.h"
#include "ui/map/LumMapControl.h"

#include <cmath>

using namespace kelvra;

namespace {

// A map on white tiles at zoom 15 around the demo world's centre.
struct TLayerMap {
  TLumMapControl map{nullptr};
  TBitmap32 white{256, 256};
  std::vector<std::string> log;
  std::vector<std::vector<std::string>> cmds;
  TZoneList zones;

  TLayerMap(int w = 600, int h = 400, int zoom = 15, double lat = 57.998649, double lon = 56.27574) {
    std::fill(white.fPixels.begin(), white.fPixels.end(), 0xFFFFFFFFu);
    map.OnGetTile = [this](TMapControl *, unsigned, unsigned) { return &white; };
    map.SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    map.LogCallback = [this](const std::string &fmt, const TFmtArgs &args) {
      log.push_back(Format(fmt, args));
    };
    map.CmdCallback = [this](QObject *, const std::string &action, const std::string &subj,
                             const std::vector<std::string> &args) {
      std::vector<std::string> c{action, subj};
      c.insert(c.end(), args.begin(), args.end());
      cmds.push_back(c);
      return 0;
    };
    test::ShowMap(map, w, h);
    map.SetCenter(zoom, lat, lon);
    map.SetGeoZones(&zones);
  }
  TGeoPoint Geo(int x, int y) const { return map.MapToGeoCoords(map.ViewToMap(QPoint(x, y))); }
  QImage Shot() { return map.grab().toImage().convertToFormat(QImage::Format_RGB32); }

  TZoneInfo &AddCircle(const QPoint &c, double radius, bool edited) {
    auto z = std::make_unique<TZoneInfo>(int(zones.size()) + 1, kZoneCircle);
    z->geom.center = Geo(c.x(), c.y());
    z->geom.radius = radius;
    z->color = 0x0000FF;
    z->visible = true;
    z->edited = edited;
    z->UpdateRect();
    zones.push_back(std::move(z));
    return *zones.back();
  }
  TZoneInfo &AddPolygon(const std::vector<QPoint> &nodes, bool edited) {
    auto z = std::make_unique<TZoneInfo>(int(zones.size()) + 1, kZonePolygon);
    for (const QPoint &p : nodes) z->geom.nodes.push_back(Geo(p.x(), p.y()));
    z->color = 0x00FF00;
    z->visible = true;
    z->edited = edited;
    z->UpdateRect();
    zones.push_back(std::move(z));
    return *zones.back();
  }
  TGeoTrack &AddTrack(const std::vector<QPoint> &pts) {
    auto t = std::make_unique<TGeoTrack>("1");
    t->SetStyle(GeoTrackStyles[2]); // "Green"
    TTrackPointList list;
    for (const QPoint &p : pts) {
      auto tp = std::make_unique<TTrackPointInfo>(int(list.size()) + 1, 1);
      const TGeoPoint g = Geo(p.x(), p.y());
      tp->lat = g.Lat;
      tp->lon = g.Long;
      list.push_back(std::move(tp));
    }
    t->Assign(std::move(list));
    map.GeoTracks().push_back(std::move(t));
    return *map.GeoTracks().back();
  }
};

bool IsWhite(const QColor &c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; }

} // namespace

class LumMapLayerTest : public QObject {
  Q_OBJECT
private slots:
  void parkingRunShowsOnePAndTheLineBypassesIt() {
    TLayerMap t;
    // A run of five parking points (2..6); 3..6 lie off the line.
    TGeoTrack &track = t.AddTrack({{100, 200}, {150, 200}, {200, 200}, {210, 260}, {230, 260},
                                   {250, 260}, {270, 260}, {300, 200}});
    for (int i = 2; i <= 6; ++i) track.Points()[std::size_t(i)]->IsParking = true;
    const QImage img = t.Shot();
    const QColor line = MapColor(track.Style().LineColor);
    QCOMPARE(img.pixelColor(250, 200), line); // from the run's first point to the next point
    QCOMPARE(img.pixelColor(125, 200), line);
    for (const QPoint p : {QPoint(205, 230), QPoint(240, 260), QPoint(285, 230)})
      QVERIFY2(IsWhite(img.pixelColor(p)), qPrintable(QString("line at %1,%2").arg(p.x()).arg(p.y())));
    // One "P": a blue square at the run's first point, nothing at the others.
    QCOMPARE(img.pixelColor(194, 204), QColor(Qt::blue));
    QCOMPARE(img.pixelColor(197, 198), QColor(Qt::white)); // the letter's stem
    int blue = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) == QColor(Qt::blue)) ++blue;
    QVERIFY(blue > 40 && blue < 16 * 16);
    QVERIFY(IsWhite(img.pixelColor(230, 260)));
    // Every point knows where it was drawn.
    QCOMPARE(track.Points()[5]->MapPoint.x, 250);
    QCOMPARE(track.Points()[5]->MapPoint.y, 260);
  }

  void pointGlyphsFollowSourceAndAddress() {
    TLayerMap t;
    TGeoTrack &track = t.AddTrack({{100, 100}, {200, 100}, {300, 100}});
    TGeoTrackStyle style = track.Style();
    style.PointBgColor = 0xFFFFFF;
    style.PointWifiBgColor = 0x00FFFF;  // yellow
    style.HighlightColor = 0xFF00FF;    // magenta
    style.PointWifiColor = 0x000080;    // dark red
    track.SetStyle(style);
    track.Points()[1]->src = 1;
    track.Points()[2]->src = 1;
    track.Points()[2]->osm_id = "N123";
    const QImage img = t.Shot();
    QCOMPARE(img.pixelColor(200, 100), QColor(Qt::yellow));
    QCOMPARE(img.pixelColor(300, 100), QColor(Qt::magenta));
    QCOMPARE(img.pixelColor(300 + 7, 100), QColor(0x80, 0, 0)); // the Wi-Fi outline
  }

  void trackWithoutFixesIsSkipped() {
    TLayerMap t;
    TGeoTrack &track = t.AddTrack({{100, 100}, {200, 100}});
    for (auto &p : track.Points()) p->lat = p->lon = std::nan("");
    const QImage img = t.Shot();
    QVERIFY(IsWhite(img.pixelColor(150, 100)));
    QCOMPARE(track.Points()[0]->MapPoint.x, 0);
  }

  void circleOf1000mAtLatitude60IsDrawnWithRadius52() {
    TLayerMap t(400, 400, 12, 60.0, 30.0);
    const QPoint c(200, 200);
    t.AddCircle(c, 1000, false);
    const QImage img = t.Shot();
    const QColor red(Qt::red);
    QCOMPARE(img.pixelColor(c + QPoint(52, 0)), red);
    QCOMPARE(img.pixelColor(c - QPoint(52, 0)), red);
    QCOMPARE(img.pixelColor(c + QPoint(0, 52)), red);
    QVERIFY(IsWhite(img.pixelColor(c + QPoint(48, 0))));
    QVERIFY(IsWhite(img.pixelColor(c + QPoint(56, 0))));
  }

  void pressNearAnEditedCircleEdge_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("resized");
    QTest::addColumn<bool>("mapMoved");
    QTest::newRow("on the edge") << 0 << int(pzCircleEdge) << true << false;
    QTest::newRow("5 px outside") << 5 << int(pzCircleEdge) << true << false;
    QTest::newRow("5 px inside") << -5 << int(pzCircleEdge) << true << false;
    // Outside the zone the press drags the map; inside it holds the map still.
    QTest::newRow("6 px outside") << 6 << int(pzNone) << false << true;
    QTest::newRow("6 px inside") << -6 << int(pzInside) << false << false;
  }
  void pressNearAnEditedCircleEdge() {
    QFETCH(int, offset);
    QFETCH(int, code);
    QFETCH(bool, resized);
    QFETCH(bool, mapMoved);
    TLayerMap t(400, 400, 12, 60.0, 30.0);
    const QPoint c(200, 200);
    TZoneInfo &zone = t.AddCircle(c, 1000, true);
    t.Shot();
    QCOMPARE(t.map.EditedZone(), &zone);
    const QPoint press = c + QPoint(52 + offset, 0);
    QCOMPARE(t.map.PosInZone(press, &zone), code);
    const TRect view = t.map.ViewRect();
    QTest::mousePress(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, press);
    QTest::mouseMove(t.map.viewport(), press + QPoint(30, 0));
    QTest::mouseRelease(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, press + QPoint(30, 0));
    if (resized) {
      QVERIFY(zone.geom.radius > 1400 && zone.geom.radius < 1800);
      QCOMPARE(t.cmds.size(), std::size_t(1));
      QCOMPARE(t.cmds[0][0], std::string("update"));
      QCOMPARE(t.cmds[0][2], std::string("radius"));
      QCOMPARE(t.cmds[0][3], f2s(zone.geom.radius, 2));
      QCOMPARE(t.log.back(), "\rNew zone radius: " + std::to_string(int(zone.geom.radius)));
    } else {
      QCOMPARE(zone.geom.radius, 1000.0);
      QVERIFY(t.cmds.empty());
    }
    if (mapMoved) {
      QCOMPARE(t.map.ViewRect().Left, view.Left - 30);
      QVERIFY(t.log.empty());
    } else {
      QCOMPARE(t.map.ViewRect(), view);
      QCOMPARE(t.log.front(), "\rStart drag center zone: " + std::to_string(press.x()) + "," +
                                   std::to_string(press.y()));
    }
  }

  void draggingTheCentreMovesTheZone() {
    TLayerMap t;
    TZoneInfo &zone = t.AddCircle(QPoint(300, 200), 100, true);
    t.Shot();
    QTest::mousePress(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(302, 201));
    QTest::mouseMove(t.map.viewport(), QPoint(350, 150));
    const TGeoPoint to = t.Geo(350, 150);
    QCOMPARE(zone.geom.center.Lat, std::round(to.Lat * 1e6) / 1e6);
    QCOMPARE(zone.geom.center.Long, std::round(to.Long * 1e6) / 1e6);
    QCOMPARE(t.cmds.size(), std::size_t(1));
    QCOMPARE(t.cmds[0], (std::vector<std::string>{"update", "zone", "center", f2s(to.Lat, 4),
                                                  f2s(to.Long, 4)}));
    QTest::mouseRelease(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(350, 150));
  }

  void rightPressOnAPolygon_data() {
    QTest::addColumn<int>("corners"); // 4: a square, 3: a triangle
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<int>("nodesAfter");
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QString>("lastLog");
    QTest::newRow("square, edge 0") << 4 << QPoint(100, 200) << 5 << "add node 0"
                                    << "\rAppend node before [0] ...";
    QTest::newRow("square, edge 2") << 4 << QPoint(300, 200) << 5 << "add node 2"
                                    << "\rAppend node before [2] ...";
    QTest::newRow("square, node 1") << 4 << QPoint(302, 98) << 3 << "del node 1"
                                    << "\rDelete node [1] ...";
    QTest::newRow("triangle, node 1") << 3 << QPoint(300, 100) << 3 << ""
                                      << "\r  x: too little nodes";
  }
  void rightPressOnAPolygon() {
    QFETCH(int, corners);
    QFETCH(QPoint, press);
    QFETCH(int, nodesAfter);
    QFETCH(QString, cmd);
    QFETCH(QString, lastLog);
    TLayerMap t;
    std::vector<QPoint> pts{{100, 100}, {300, 100}, {300, 300}, {100, 300}};
    pts.resize(std::size_t(corners));
    TZoneInfo &zone = t.AddPolygon(pts, true);
    const std::vector<TGeoPoint> before = zone.geom.nodes;
    bool mapRightClick = false;
    t.map.OnRClickMap = [&](const TGeoPoint &) { return mapRightClick = true; };
    QTest::mouseClick(t.map.viewport(), Qt::RightButton, Qt::NoModifier, press);
    QCOMPARE(int(zone.geom.nodes.size()), nodesAfter);
    QCOMPARE(QString::fromStdString(t.log.back()), lastLog);
    QVERIFY(!mapRightClick); // an edited zone takes right presses on its nodes and edges
    if (cmd.isEmpty()) {
      QVERIFY(t.cmds.empty());
      QCOMPARE(zone.geom.nodes.size(), before.size());
      return;
    }
    QCOMPARE(t.cmds.size(), std::size_t(1));
    const auto &c = t.cmds[0];
    QCOMPARE(QString::fromStdString(c[2] + " " + c[3]), cmd);
    if (cmd.startsWith("add")) {
      const int i = cmd.back().digitValue();
      const TGeoPoint &a = before[std::size_t(i)];
      const TGeoPoint &b = before[std::size_t(i == 0 ? corners - 1 : i - 1)];
      const TGeoPoint &m = zone.geom.nodes[std::size_t(i)];
      QCOMPARE(m.Long, std::min(a.Long, b.Long) + std::fabs(a.Long - b.Long) / 2);
      QCOMPARE(m.Lat, std::min(a.Lat, b.Lat) + std::fabs(a.Lat - b.Lat) / 2);
      QCOMPARE(zone.geom.nodes[std::size_t(i) + 1].Lat, a.Lat);
    }
  }

  void leftClickCallbacks_data() {
    QTest::addColumn<bool>("mapTakesIt");
    QTest::newRow("map click handled") << true;
    QTest::newRow("map click not handled") << false;
  }
  void leftClickCallbacks() {
    QFETCH(bool, mapTakesIt);
    TLayerMap t;
    const QPoint p(300, 200);
    TGeoTrack &track = t.AddTrack({{100, 100}, p, {400, 300}});
    TMapMark *mark = t.map.MapMarks().Add(t.Geo(p.x(), p.y() + 20), "");
    TZoneInfo &zone = t.AddCircle(p, 200, false);
    t.Shot();
    int mapClicks = 0;
    std::vector<TTrackPointInfo *> points;
    std::vector<TMapMark *> marks;
    std::vector<TZoneInfo *> clickedZones;
    t.map.OnLClickMap = [&](const TGeoPoint &) { return ++mapClicks, mapTakesIt; };
    t.map.OnClickTrackPoint = [&](TTrackPointInfo &tp) { points.push_back(&tp); };
    t.map.OnClickMapMark = [&](TMapMark *m) { marks.push_back(m); };
    t.map.OnClickZone = [&](TZoneInfo &z) { clickedZones.push_back(&z); };
    QTest::mouseClick(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, p + QPoint(2, 1));
    QCOMPARE(mapClicks, 1);
    if (mapTakesIt) {
      QVERIFY(points.empty() && marks.empty() && clickedZones.empty());
    } else {
      QCOMPARE(points, (std::vector<TTrackPointInfo *>{track.Points()[1].get()}));
      QCOMPARE(marks, (std::vector<TMapMark *>{mark}));
      QCOMPARE(clickedZones, (std::vector<TZoneInfo *>{&zone}));
    }
  }

  void objectMarkersWithPhotoAndTail() {
    TLayerMap t;
    TObjectInfo withPhoto(1, "1"), plain(2, "2");
    withPhoto.photo = std::make_unique<TBitmap32>(80, 60);
    std::fill(withPhoto.photo->fPixels.begin(), withPhoto.photo->fPixels.end(), 0xFFFF8000u);
    withPhoto.track_color = 0x0000FF; // red tail
    for (const QPoint p : {QPoint(150, 350), QPoint(150, 300), QPoint(200, 300)}) {
      auto tp = std::make_unique<TTrackPointInfo>();
      const TGeoPoint g = t.Geo(p.x(), p.y());
      tp->lat = g.Lat;
      tp->lon = g.Long;
      withPhoto.tail.push_back(std::move(tp));
    }
    TMapMark *a = t.map.MapMarks().Add(t.Geo(200, 300), "");
    a->Data = &withPhoto;
    TMapMark *b = t.map.MapMarks().Add(t.Geo(400, 300), "");
    b->Data = &plain;
    const QImage img = t.Shot();
    // The photo fills the marker's window: its centre is 24 px above the
    // picture's top plus its half width, i.e. 32 px above the point.
    QCOMPARE(img.pixelColor(200, 300 - 32), QColor(0xFF, 0x80, 0x00));
    QVERIFY(withPhoto.icon);
    QCOMPARE(img.pixelColor(400, 300 - 32), QColor(Qt::white)); // the plain marker's dot
    QCOMPARE(a->Width, MarkerWidth);
    QCOMPARE(a->Height, MarkerHeight);
    // The tail runs from the point through the older positions.
    QCOMPARE(img.pixelColor(150, 325), QColor(Qt::red));
    QCOMPARE(img.pixelColor(175, 300), QColor(Qt::red));
    // Nothing below the tip.
    QVERIFY(IsWhite(img.pixelColor(400, 305)));
  }
};

KELVRA_UI_TEST(LumMapLayerTest)
#include "LumMapLayerTest.moc"
