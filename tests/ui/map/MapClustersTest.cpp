// Object markers merging into cluster badges on the monitoring map: what the
// view shows at low and high zoom, the badge's colour, zooming in by a click,
// fanning out at the highest zoom, and the plain markers with clustering off.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "core/util/LumDates.h"
#include "ui/map/LumMapControl.h"

#include <QDir>

#include <cmath>

using namespace kelvra;

namespace {

constexpr double Lat0 = 57.998649, Lon0 = 56.27574;

struct TClusterMap {
  TLumMapControl map{nullptr};
  TBitmap32 white{256, 256};
  std::vector<std::unique_ptr<TObjectInfo>> objects;
  std::vector<TMapMark *> clicked;

  explicit TClusterMap(int zoom) {
    std::fill(white.fPixels.begin(), white.fPixels.end(), 0xFFFFFFFFu);
    map.OnGetTile = [this](TMapControl *, unsigned, unsigned) { return &white; };
    map.SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    map.OnClickMapMark = [this](TMapMark *m) { clicked.push_back(m); };
    test::ShowMap(map, 600, 400);
    map.SetCenter(zoom, Lat0, Lon0);
  }
  // An object heard from a minute ago, north of the centre by Metres.
  TMapMark *AddObject(double Metres, bool Alarm = false) {
    auto oi = std::make_unique<TObjectInfo>(int(objects.size()) + 1, std::to_string(objects.size() + 1));
    const TGeoPoint p{Lon0, Lat0 + Metres / 111200.0}; // a metre of latitude
    oi->last_point->lat = p.Lat;
    oi->last_point->lon = p.Long;
    oi->last_point->sys_dt = NowLocal() - 1.0 / 1440;
    if (Alarm) oi->alarms.push_back(std::make_unique<TEventInfo>(1, oi->uid));
    TMapMark *m = map.MapMarks().Add(p, "");
    m->Data = oi.get();
    objects.push_back(std::move(oi));
    return m;
  }
  QPoint ViewOf(const TMapMark *m) const { return map.GeoPointToInnerPoint(m->Coord); }
  QImage Shot(const char *name) {
    QImage img = map.grab().toImage().convertToFormat(QImage::Format_RGB32);
    img.save(QDir::current().filePath(QString("map-clusters-%1.png").arg(name)));
    return img;
  }
};

bool Near(QRgb a, const QColor &b) {
  return std::abs(qRed(a) - b.red()) < 20 && std::abs(qGreen(a) - b.green()) < 20 &&
         std::abs(qBlue(a) - b.blue()) < 20;
}

// A marker's pin is drawn at its point: its blue disc is 32 pixels above the
// point, around a white dot of radius 8.
bool PinAt(const QImage &img, const QPoint &p) {
  return Near(img.pixel(p + QPoint(13, -32)), MarkerStateColor(msNormal));
}

} // namespace

class MapClustersTest : public QObject {
  Q_OBJECT

private slots:
  void twoCloseObjectsAreOneBadgeAtLowZoomAndTwoMarkersAtHighZoom() {
    TClusterMap t(10);
    TMapMark *a = t.AddObject(0);
    TMapMark *b = t.AddObject(25); // 79 pixels apart at zoom 18: pins one above the other
    const auto shown = t.map.ShownClusters();
    QCOMPARE(int(shown.size()), 1);
    QCOMPARE(shown[0].Count, 2);
    QCOMPARE(shown[0].State, msNormal);
    const QImage low = t.Shot("zoom10");
    // The badge's blue fill beside its white count, no pin.
    QVERIFY(Near(low.pixel(shown[0].ViewPos + QPoint(-10, 0)), MarkerStateColor(msNormal)));
    QVERIFY(!PinAt(low, t.ViewOf(a)));

    t.map.SetCenter(18, Lat0, Lon0);
    QVERIFY(t.map.ShownClusters().empty());
    const QImage high = t.Shot("zoom18");
    QVERIFY(t.ViewOf(a).y() - t.ViewOf(b).y() >= MarkerHeight); // pins that do not overlap
    QVERIFY(PinAt(high, t.ViewOf(a)));
    QVERIFY(PinAt(high, t.ViewOf(b)));
  }

  void badgeTakesTheWorstState() {
    TClusterMap t(10);
    t.AddObject(0);
    t.AddObject(10, true);
    t.AddObject(20);
    const auto shown = t.map.ShownClusters();
    QCOMPARE(int(shown.size()), 1);
    QCOMPARE(shown[0].Count, 3);
    QCOMPARE(shown[0].State, msAlarm);
    const QImage img = t.Shot("alarm");
    QVERIFY(Near(img.pixel(shown[0].ViewPos + QPoint(-10, 0)), MarkerStateColor(msAlarm)));
  }

  void clickOnABadgeZoomsToItsObjects() {
    TClusterMap t(10);
    TMapMark *a = t.AddObject(0);
    TMapMark *b = t.AddObject(300);
    const auto shown = t.map.ShownClusters();
    QCOMPARE(int(shown.size()), 1);
    QTest::mouseClick(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, shown[0].ViewPos);
    QVERIFY(t.map.Zoom() > 10);
    QVERIFY(t.clicked.empty());
    // Both pins stand whole in the view, apart.
    const QRect view(QPoint(0, 0), t.map.viewport()->size());
    for (const TMapMark *m : {a, b}) {
      const QPoint p = t.ViewOf(m);
      QVERIFY2(view.contains(QRect(p - QPoint(24, 56), QSize(48, 60))),
               qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
    }
    QVERIFY(t.map.ShownClusters().empty());
    // One zoom step closer would not show both.
    QVERIFY(std::abs(t.ViewOf(a).y() - t.ViewOf(b).y()) * 2 > view.height() - 2 * MarkerHeight);
  }

  void membersFanOutAtTheHighestZoomAndAnswerClicks() {
    TClusterMap t(10);
    std::vector<TMapMark *> marks;
    for (int i = 0; i < 3; ++i) marks.push_back(t.AddObject(0)); // one place
    t.map.SetCenter(t.map.MaxZoom(), Lat0, Lon0);
    const auto shown = t.map.ShownClusters();
    QCOMPARE(int(shown.size()), 1);
    const QImage img = t.Shot("fanned");
    const auto offsets = FanOutOffsets(3, FanOutSpacing);
    for (std::size_t i = 0; i < 3; ++i) {
      const QPoint at = shown[0].ViewPos + QPoint(offsets[i].first, offsets[i].second);
      QVERIFY(PinAt(img, at));
    }
    const QPoint second = shown[0].ViewPos + QPoint(offsets[1].first, offsets[1].second);
    QTest::mouseClick(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, second - QPoint(0, 20));
    QCOMPARE(int(t.clicked.size()), 1);
    QCOMPARE(t.clicked[0], marks[1]);
    QCOMPARE(t.map.Zoom(), t.map.MaxZoom());
  }

  void switchedOffEveryMarkerIsDrawnOnItsOwn() {
    TClusterMap t(10);
    TMapMark *a = t.AddObject(0);
    t.AddObject(10);
    TMapFeatures f = t.map.Features();
    f.ClusterMarkers = false;
    t.map.SetFeatures(f);
    QVERIFY(t.map.ShownClusters().empty());
    const QImage img = t.Shot("off");
    QVERIFY(PinAt(img, t.ViewOf(a)));
    // A click on the marker reports it instead of zooming.
    QTest::mouseClick(t.map.viewport(), Qt::LeftButton, Qt::NoModifier, t.ViewOf(a) - QPoint(0, 20));
    QCOMPARE(t.map.Zoom(), 10);
    QCOMPARE(int(t.clicked.size()), 1);
  }
};

KELVRA_UI_TEST(MapClustersTest)
#include "MapClustersTest.moc"
