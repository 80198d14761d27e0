// A map on a screen of device pixel ratio 2: tiles keep their 256 logical
// pixels and are drawn at twice the pixels without blur; overlays are drawn
// at the screen's resolution.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "ui/map/LumMapControl.h"

using namespace kelvra;

namespace {
// A tile of one-pixel black and white checks: any smoothing turns it grey.
TBitmap32 CheckedTile() {
  TBitmap32 bmp(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      bmp.fPixels[std::size_t(y * 256 + x)] = ((x + y) % 2) ? 0xFFFFFFFFu : 0xFF000000u;
  return bmp;
}
} // namespace

class MapHiDpiTest : public QObject {
  Q_OBJECT
private slots:
  void tilesAreSharpAtRatio2() {
    TLumMapControl map(nullptr);
    const TBitmap32 tile = CheckedTile();
    map.OnGetTile = [&](TMapControl *, unsigned, unsigned) { return &tile; };
    map.SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    QVERIFY(test::ShowMap(map, 300, 200));
    QCOMPARE(map.devicePixelRatioF(), 2.0);
    map.SetCenter(5, 58, 56);
    QCOMPARE(map.ViewRect().Right - map.ViewRect().Left, 300); // logical pixels
    QCOMPARE(map.CacheImage().devicePixelRatio(), 2.0);
    const QImage img = map.grab().toImage();
    QCOMPARE(img.size(), QSize(600, 400));
    // Every tile pixel is a 2 x 2 block of its own colour.
    const TRect v = map.ViewRect();
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 600; ++x) {
        const int mx = v.Left + x / 2, my = v.Top + y / 2;
        const QRgb want = ((mx % 256 + my % 256) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        if (img.pixel(x, y) != want)
          QFAIL(qPrintable(QString("pixel %1,%2 is %3").arg(x).arg(y).arg(img.pixel(x, y), 0, 16)));
      }
  }

  void overlaysUseTheFullResolution() {
    TLumMapControl map(nullptr);
    TBitmap32 white(256, 256);
    std::fill(white.fPixels.begin(), white.fPixels.end(), 0xFFFFFFFFu);
    map.OnGetTile = [&](TMapControl *, unsigned, unsigned) { return &white; };
    map.SetMapOptions(moDontDrawCopyright);
    QVERIFY(test::ShowMap(map, 300, 200));
    map.SetCenter(12, 58, 56);
    TZoneList zones;
    auto z = std::make_unique<TZoneInfo>(1, kZoneCircle);
    z->geom.center = map.CenterPoint();
    z->geom.radius = 500;
    z->color = 0x000000;
    z->visible = true;
    z->UpdateRect();
    zones.push_back(std::move(z));
    map.SetGeoZones(&zones);
    const QImage img = map.grab().toImage();
    // A 3-pixel pen is 6 device pixels wide; at ratio 1 it would be 3 pixels
    // scaled up to 6 blurred ones. Count the dark run across the ring.
    const int y = 200; // the ring's middle row (device pixels)
    int run = 0, best = 0;
    for (int x = 300; x < 600; ++x) {
      run = qGray(img.pixel(x, y)) < 128 ? run + 1 : 0;
      best = std::max(best, run);
    }
    QVERIFY2(best >= 5 && best <= 7, qPrintable(QString::number(best)));
    // The scale bar keeps its logical size: twice the device pixels.
    QFont f("Arial");
    f.setPointSize(8);
    const int barHeight = 2 * int(map.LabelMargin()) + QFontMetrics(f).height();
    int top = 400;
    for (int yy = 0; yy < 400; ++yy)
      if (img.pixel(2 * 2 + 1, yy) != qRgb(255, 255, 255)) {
        top = yy;
        break;
      }
    QCOMPARE(400 - 2 * int(map.LabelMargin()) - top, 2 * barHeight);
  }
};

KELVRA_UI_TEST_RUN(MapHiDpiTest, [](int argc, char **argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  MapHiDpiTest test;
  return QTest::qExec(&test, argc, argv);
})
#include "MapHiDpiTest.moc"
