// A missing tile shows its nearest ancestor from the memory cache, scaled up
// under the "Loading" frame, up to three zooms up; never one read from disk,
// and the plain placeholder when the feature is off.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "support/TempDir.h"
#include "support/TestPng.h"
#include "ui/map/LumMapControl.h"

using namespace kelvra;

namespace {

constexpr int ParentZoom = 10;
constexpr std::uint32_t Quadrants[4] = {0xFFE00000, 0xFF00C000, 0xFF0000E0, 0xFFE0E000};

// The parent: four coloured quadrants (red, green / blue, yellow).
std::vector<std::uint8_t> QuadrantPng() {
  std::vector<std::uint32_t> px(256 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) px[std::size_t(y * 256 + x)] = Quadrants[(y / 128) * 2 + x / 128];
  return test::MakePng(px, 256, 256);
}

} // namespace

class MapSmoothTilesTest : public QObject {
  Q_OBJECT

private slots:
  void missingTileShowsItsCachedAncestor_data() {
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("parentOnDiskOnly");
    QTest::addColumn<bool>("featureOn");
    QTest::addColumn<bool>("ancestorShown");
    QTest::newRow("one_zoom_up") << 11 << false << true << true;
    QTest::newRow("three_zooms_up") << 13 << false << true << true;
    QTest::newRow("four_zooms_up_is_too_far") << 14 << false << true << false;
    QTest::newRow("ancestor_only_on_disk") << 11 << true << true << false;
    QTest::newRow("switched_off") << 11 << false << false << false;
  }
  void missingTileShowsItsCachedAncestor() {
    QFETCH(int, zoom);
    QFETCH(bool, parentOnDiskOnly);
    QFETCH(bool, featureOn);
    QFETCH(bool, ancestorShown);
    test::TTempDir dir("kelvra-smooth");
    TLumMapControl map(nullptr, dir.Path(), 100000000);
    map.Deactivate(); // no downloads: every tile but the parent stays missing
    map.SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    TMapFeatures f;
    f.SmoothTiles = featureOn;
    map.SetFeatures(f);

    const TTile parent{ParentZoom, 700, 300};
    auto png = std::make_unique<TMemoryStream>(QuadrantPng());
    std::string error;
    if (parentOnDiskOnly) {
      QVERIFY(map.TileStorage().StoreInFileCache(parent, *png, error));
    } else {
      QVERIFY2(map.TileStorage().StoreTile(parent, png, error), error.c_str());
    }
    QVERIFY(test::ShowMap(map, 600, 500));
    // Centred on the parent's middle at the zoom asked for.
    const double lon = MapCoordToLongitude(ParentZoom, 700 * 256 + 128);
    const double lat = MapCoordToLatitude(ParentZoom, 300 * 256 + 128);
    map.SetCenter(zoom, lat, lon);
    const QImage img = map.grab().toImage().convertToFormat(QImage::Format_RGB32);
    img.save(QString("map-smooth-%1.png").arg(QTest::currentDataTag()));

    // A point in each quadrant of the parent, clear of the tiles' texts and frames.
    const QPoint centre = map.GeoPointToInnerPoint(TGeoPoint{lon, lat});
    const QPoint offsets[4] = {{-100, -100}, {100, -100}, {-100, 100}, {100, 100}};
    const QColor background = map.palette().color(QPalette::Window);
    for (int q = 0; q < 4; ++q) {
      const QPoint at = centre + offsets[q];
      const QColor got(img.pixel(at));
      const QColor want = ancestorShown ? QColor::fromRgba(Quadrants[q]) : background;
      QVERIFY2(std::abs(got.red() - want.red()) < 8 && std::abs(got.green() - want.green()) < 8 &&
                   std::abs(got.blue() - want.blue()) < 8,
               qPrintable(QString("quadrant %1: %2 instead of %3")
                              .arg(q)
                              .arg(got.name(), want.name())));
    }
  }
};

KELVRA_UI_TEST(MapSmoothTilesTest)
#include "MapSmoothTilesTest.moc"
