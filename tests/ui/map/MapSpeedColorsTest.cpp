// Speed-coloured tracks: each segment in the colour of its speed class with
// the legend on the map, and the style's line colour with the feature off.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "core/tracks/SpeedScale.h"
#include "ui/map/LumMapControl.h"

#include <QDir>

using namespace kelvra;

namespace {

struct TSpeedMap {
  TLumMapControl map{nullptr};
  TBitmap32 white{256, 256};

  TSpeedMap() {
    std::fill(white.fPixels.begin(), white.fPixels.end(), 0xFFFFFFFFu);
    map.OnGetTile = [this](TMapControl *, unsigned, unsigned) { return &white; };
    map.SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    test::ShowMap(map, 600, 400);
    map.SetCenter(15, 57.998649, 56.27574);
  }
  // Points along view row 150 at these columns, with these speeds (km/h).
  TGeoTrack &AddTrack(const std::vector<int> &xs, const std::vector<double> &speeds) {
    auto t = std::make_unique<TGeoTrack>("1");
    t->SetStyle(GeoTrackStyles[1]); // "Blue"
    TTrackPointList list;
    for (std::size_t i = 0; i < xs.size(); ++i) {
      auto tp = std::make_unique<TTrackPointInfo>(int(i) + 1, 1);
      const TGeoPoint g = map.MapToGeoCoords(map.ViewToMap(QPoint(xs[i], 150)));
      tp->lat = g.Lat;
      tp->lon = g.Long;
      tp->speed = speeds[i];
      list.push_back(std::move(tp));
    }
    t->Assign(std::move(list));
    map.GeoTracks().push_back(std::move(t));
    return *map.GeoTracks().back();
  }
  QImage Shot(const QString &name) {
    QImage img = map.grab().toImage().convertToFormat(QImage::Format_RGB32);
    img.save(QDir::current().filePath("map-speed-" + name + ".png"));
    return img;
  }
};

// Pixels of exactly this colour within a rectangle.
int CountColor(const QImage &img, const QRect &r, const QColor &c) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (QColor(img.pixel(x, y)) == c) ++n;
  return n;
}

} // namespace

class MapSpeedColorsTest : public QObject {
  Q_OBJECT

private slots:
  void segmentsTakeTheColoursOfTheirSpeeds() {
    TSpeedMap t;
    TGeoTrack &track = t.AddTrack({100, 250, 400, 550}, {3, 3, 50, 130});
    const QImage img = t.Shot("on");
    // The middles of the three segments (clear of the point glyphs).
    const int classes[3] = {0, 2, 5};
    const int middles[3] = {175, 325, 475};
    const QRect legend(0, 200, 200, 200); // bottom left, below the track
    for (int k = 0; k < 3; ++k) {
      const QColor want = MapColor(SpeedClassColors[std::size_t(classes[k])]);
      QCOMPARE(QColor(img.pixel(middles[k], 150)), want);
      QVERIFY2(CountColor(img, legend, want) > 10, qPrintable(want.name()));
    }
    // Every class of the scale is in the legend, used or not.
    for (std::uint32_t c : SpeedClassColors) QVERIFY(CountColor(img, legend, MapColor(c)) > 10);
    // The points keep their own glyphs: the glyph's fill, not a speed colour.
    QCOMPARE(QColor(img.pixel(250, 150)), MapColor(track.Style().PointBgColor));
  }

  void switchedOffTheLineHasItsStyleColourAndNoLegend() {
    TSpeedMap t;
    TGeoTrack &track = t.AddTrack({100, 250, 400, 550}, {3, 3, 50, 130});
    TMapFeatures f = t.map.Features();
    f.SpeedColors = false;
    t.map.SetFeatures(f);
    const QImage img = t.Shot("off");
    for (int x : {175, 325, 475})
      QCOMPARE(QColor(img.pixel(x, 150)), MapColor(track.Style().LineColor));
    for (std::uint32_t c : SpeedClassColors)
      QCOMPARE(CountColor(img, QRect(0, 200, 200, 200), MapColor(c)), 0);
  }

  void noSpeedKnownKeepsTheStyleColour() {
    TSpeedMap t;
    const double nan = TTrackPointInfo::NaN;
    TGeoTrack &track = t.AddTrack({100, 250}, {nan, nan}); // and no times either
    const QImage img = t.Shot("unknown");
    QCOMPARE(QColor(img.pixel(175, 150)), MapColor(track.Style().LineColor));
  }
};

KELVRA_UI_TEST(MapSpeedColorsTest)
#include "MapSpeedColorsTest.moc"
