// Tiles from kelvra-sim (in-process) through the monitoring map's download
// queue and tile storage onto the screen.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "core/map/PngImage.h"
#include "sim/SimServer.h"
#include "sim/SimTiles.h"
#include "support/TempDir.h"
#include "ui/map/LumMapControl.h"

#include <cmath>

using namespace kelvra;

namespace {

std::unique_ptr<TMemoryStream> SimTileBytes(int z, int x, int y) {
  const std::string png = sim::RenderTile(z, x, y);
  return std::make_unique<TMemoryStream>(png.begin(), png.end());
}

QImage SimTileImage(int z, int x, int y) {
  const std::string png = sim::RenderTile(z, x, y);
  return QImage::fromData(reinterpret_cast<const uchar *>(png.data()), int(png.size()), "PNG")
      .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class LumMapTilesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<SimServer> fSim;
  std::unique_ptr<test::TTempDir> fDir;

  std::unique_ptr<TLumMapControl> NewMap() {
    // Room for every tile of the tests in memory.
    auto map = std::make_unique<TLumMapControl>(nullptr, fDir->Path(), 100000000);
    map->SetTileURL(fSim->BaseUrl() + "/tiles/{z}/{x}/{y}.png");
    return map;
  }

  void FailTiles(const std::string &pattern) {
    TFaultRule rule;
    rule.pattern = pattern;
    rule.status = 404;
    fSim->AddFault(rule);
  }

private slots:
  void init() {
    fSim = std::make_unique<SimServer>();
    QVERIFY2(fSim->Start(), fSim->Error().c_str());
    fDir = std::make_unique<test::TTempDir>("kelvra-map");
  }
  void cleanup() {
    fSim.reset();
    fDir.reset();
  }

  void tilesAppearAndAnArrivalRedrawsOnlyItsSquare() {
    // Tile (1, 1) of zoom 2 fails on the server, so that it can be handed in
    // by the test at a moment of its choosing.
    FailTiles("/tiles/2/1/1.png");
    auto map = NewMap();
    QVERIFY(test::ShowMap(*map, 600, 400));
    map->SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    map->SetZoom(2); // map 1024 x 1024: all 16 tiles are in the cache image
    map->grab();
    const auto allButOneStored = [&] {
      for (unsigned x = 0; x < 4; ++x)
        for (unsigned y = 0; y < 4; ++y)
          if ((x != 1 || y != 1) && !map->TileStorage().BmpCache().Find(TTile{2, x, y}))
            return false;
      return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allButOneStored(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(test::AskedPaths(*fSim, "/tiles/2/1/1.png").count("/tiles/2/1/1.png") > 0, 60000);
    // Each tile was asked for once, however often the view was drawn meanwhile.
    int asked = 0;
    for (const auto &r : fSim->Requests()) asked += r.path.rfind("/tiles/2/", 0) == 0;
    QString paths;
    for (const auto &r : fSim->Requests()) paths += QString::fromStdString(r.path) + " ";
    QVERIFY2(asked == 16, qPrintable(paths));

    QImage img = map->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage tile00 = SimTileImage(2, 0, 0);
    const QImage tile21 = SimTileImage(2, 2, 1);
    for (const QPoint p : {QPoint(5, 5), QPoint(128, 128), QPoint(250, 40)})
      QCOMPARE(img.pixel(p), tile00.pixel(p));
    QCOMPARE(img.pixel(512 + 50, 256 + 60), tile21.pixel(50, 60));
    // The failed tile is still the placeholder: grey border.
    QCOMPARE(img.pixelColor(256, 256 + 128), QColor(0x80, 0x80, 0x80));

    const QImage before = map->CacheImage().copy();
    // Draw now whatever the downloads left pending, so that the recorder sees
    // only the repaint of the arrival below (a busy machine delivers late).
    map->viewport()->repaint();
    test::TPaintRecorder paints(map->viewport());
    map->NetCallback(TTile{2, 1, 1}, SimTileBytes(2, 1, 1), "", {});
    QTRY_VERIFY(paints.fPaints > 0);
    // Its square, as far as the 600 x 400 view shows it.
    QCOMPARE(paints.fPainted, QRegion(256, 256, 256, 400 - 256));
    const QRect changed = test::DiffBox(before, map->CacheImage());
    QVERIFY2(QRect(256, 256, 256, 256).contains(changed),
             qPrintable(QString("changed %1,%2 %3x%4").arg(changed.x()).arg(changed.y()).arg(changed.width()).arg(changed.height())));
    img = map->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(img.pixel(256 + 128, 256 + 128), SimTileImage(2, 1, 1).pixel(128, 128));
    QCOMPARE(img.pixel(256, 256 + 128), SimTileImage(2, 1, 1).pixel(0, 128));

    // The disk cache has them: a new map shows them without the server.
    fSim->Stop();
    map.reset();
    auto again = NewMap();
    QVERIFY(test::ShowMap(*again, 600, 400));
    again->SetZoom(2);
    img = again->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(img.pixel(300, 300), SimTileImage(2, 1, 1).pixel(300 - 256, 300 - 256));
  }

  // A tile server that fails every tile sees each tile once per pause, however often the view
  // is drawn meanwhile and whatever zooming away and back asks for.
  void failedTileIsNotAskedForAgainDuringItsPause() {
    FailTiles("/tiles/*");
    auto map = NewMap();
    map->SetTileFailurePauses(3600000, 3600000); // one pause outlasts the test
    // The zoom comes first: a map shown at its starting zoom would ask for that zoom's tiles too.
    map->SetZoom(2); // 16 tiles, all in view or in the cache image
    QVERIFY(test::ShowMap(*map, 600, 400));
    map->grab();
    QTRY_VERIFY_WITH_TIMEOUT(map->TileFailures().Count() >= std::size_t(16), 60000);
    for (int round = 0; round < 20; ++round) {
      map->SetZoom(round % 2 ? 2 : 1);
      map->grab();
      map->viewport()->repaint();
      QCoreApplication::processEvents();
    }
    map->SetZoom(1); // 4 tiles
    map->grab();
    QTRY_VERIFY_WITH_TIMEOUT(test::AskedPaths(*fSim, "/tiles/1/").size() == 4, 60000);
    map->SetZoom(2);
    for (int round = 0; round < 5; ++round) {
      map->grab();
      map->viewport()->repaint();
      QCoreApplication::processEvents();
    }
    // Every tile of both zooms has failed once and rests: none was asked for twice. (In the
    // whole suite a run once counted one more failed tile than the two zooms have; what counts
    // here is that no tile goes to the server again during its pause.)
    QTRY_VERIFY_WITH_TIMEOUT(map->TileFailures().Count() >= std::size_t(16 + 4), 60000);
    const auto asked = test::AskedPaths(*fSim, "/tiles/");
    QVERIFY2(test::AskedAgain(asked).empty(), test::AskedAgain(asked).c_str());
    QCOMPARE(test::AskedPaths(*fSim, "/tiles/1/").size(), std::size_t(4));
    QCOMPARE(test::AskedPaths(*fSim, "/tiles/2/").size(), std::size_t(16));
    for (unsigned x = 0; x < 4; ++x)
      QVERIFY(map->TileFailures().Resting(TTile{2, x, 3}, QDateTime::currentMSecsSinceEpoch()));
  }

  void tileArrivingAfterDestructionBeganIsDropped() {
    auto map = NewMap();
    const TTile tile{3, 2, 2};
    // Posted, then the map goes before the event loop delivers it.
    map->NetCallback(tile, SimTileBytes(3, 2, 2), "", {});
    map.reset();
    QCoreApplication::processEvents();

    // Destruction begun (the queue stopped), the map still alive.
    map = NewMap();
    map->Deactivate();
    map->NetCallback(tile, SimTileBytes(3, 2, 2), "", {});
    QCoreApplication::processEvents();
    QCOMPARE(map->TileStorage().BmpCache().Find(tile), nullptr);
    QCOMPARE(map->TileStorage().StmCache().Count(), std::size_t(0));
    QVERIFY(!QFile::exists(QString::fromStdString(map->TileStorage().TilePath(tile))));
  }

  void wrongSizedOrDamagedTileKeepsThePlaceholder_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not a PNG") << QByteArray("<html>busy</html>");
    QImage big(512, 512, QImage::Format_ARGB32);
    big.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    big.save(&buf, "PNG");
    QTest::newRow("512 x 512") << png;
  }
  void wrongSizedOrDamagedTileKeepsThePlaceholder() {
    QFETCH(QByteArray, bytes);
    FailTiles("/tiles/*"); // only the bad tile arrives
    auto map = NewMap();
    QVERIFY(test::ShowMap(*map, 300, 300));
    map->SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    map->SetZoom(0);
    auto ms = std::make_unique<TMemoryStream>(bytes.begin(), bytes.end());
    map->NetCallback(TTile{0, 0, 0}, std::move(ms), "", {});
    QCoreApplication::processEvents();
    QCOMPARE(map->TileStorage().BmpCache().Count(), std::size_t(0));
    const QImage img = map->grab().toImage();
    QCOMPARE(img.pixelColor(0, 100), QColor(0x80, 0x80, 0x80));
  }

  void setCenterAndSetMarkRefuseWhatIsNoPlace() {
    auto map = NewMap();
    QVERIFY(test::ShowMap(*map, 400, 300));
    map->SetCenter(12, 57.998649, 56.27574);
    QCOMPARE(map->Zoom(), 12);
    const TGeoPoint c = map->CenterPoint();
    QVERIFY(std::fabs(c.Lat - 57.998649) < 0.001 && std::fabs(c.Long - 56.27574) < 0.001);
    const double nan = std::nan("");
    map->SetCenter(5, nan, 10);
    map->SetCenter(5, 10, nan);
    QCOMPARE(map->Zoom(), 12);
    QCOMPARE(map->CenterPoint().Lat, c.Lat);
    map->SetCenter(25, 58.1, 56.3); // no such zoom: the zoom stays, the centre moves
    QCOMPARE(map->Zoom(), 12);
    QVERIFY(std::fabs(map->CenterPoint().Lat - 58.1) < 0.001);
    map->SetCenter(3, 89.9, 200); // beyond the map's edges: clamped, no failure
    QCOMPARE(map->Zoom(), 3);
    QCOMPARE(map->SetMark(10, nan, 1), nullptr);
    TMapMark *m = map->SetMark(10, 57.99, 56.28);
    QVERIFY(m);
    QCOMPARE(map->MapMarks().Count(), 1);
    QCOMPARE(m->GlyphStyle.Shape, gshTriangle);
    QCOMPARE(m->Width, 24);
    const QPoint p = map->GeoPointToInnerPoint(m->Coord);
    const QImage img = map->grab().toImage();
    QCOMPARE(img.pixelColor(p + QPoint(0, 6)), QColor(0, 0x80, 0)); // the green triangle
  }
};

KELVRA_UI_TEST(LumMapTilesTest)
#include "LumMapTilesTest.moc"
