// The map view on its own: tiles handed in by OnGetTile, the cache image,
// zoom, marks and their layers, the selection box and saving to a bitmap.
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "ui/map/MapControl.h"
#include "ui/map/MapText.h"

#include <map>
#include <set>

using namespace kelvra;

namespace {

// Tiles of one colour each, made on demand; the tiles in fMissing have none.
struct TFakeTileSource {
  std::map<std::tuple<int, unsigned, unsigned>, std::unique_ptr<TBitmap32>> fTiles;
  std::set<std::pair<unsigned, unsigned>> fMissing;
  int fCalls = 0;

  static std::uint32_t ColorOf(unsigned x, unsigned y) {
    return 0xFF000000u | ((x * 40u + 30u) & 0xFF) << 16 | ((y * 60u + 20u) & 0xFF) << 8 | 0x80u;
  }
  const TBitmap32 *Get(TMapControl *map, unsigned x, unsigned y) {
    ++fCalls;
    if (fMissing.count({x, y})) return nullptr;
    auto &bmp = fTiles[{map->Zoom(), x, y}];
    if (!bmp) {
      bmp = std::make_unique<TBitmap32>(256, 256);
      std::fill(bmp->fPixels.begin(), bmp->fPixels.end(), ColorOf(x, y));
    }
    return bmp.get();
  }
  void Attach(TMapControl &map) {
    map.OnGetTile = [this](TMapControl *m, unsigned x, unsigned y) { return Get(m, x, y); };
  }
};

// A shown map of the given client size with its tiles.
struct TTestMap {
  TMapControl map;
  TFakeTileSource src;
  TTestMap(int w, int h) {
    src.Attach(map);
    test::ShowMap(map, w, h);
  }
};

QColor Rgb(std::uint32_t argb) { return QColor::fromRgb(argb & 0xFFFFFF); }

} // namespace

class MapControlTest : public QObject {
  Q_OBJECT
private slots:
  void firstZoomStartsAtTheNorthWestCorner() {
    TTestMap t(600, 400);
    TMapControl &map = t.map;
    int changes = 0;
    map.OnZoomChanged = [&](TMapControl *) { ++changes; };
    QCOMPARE(map.Zoom(), -1);
    map.SetZoom(3);
    QCOMPARE(map.Zoom(), 3);
    QCOMPARE(map.ViewRect(), (TRect{0, 0, 600, 400}));
    QCOMPARE(changes, 1);
    map.SetZoom(3); // the same zoom: nothing, no event
    QCOMPARE(changes, 1);
    map.SetZoom(21); // beyond the provider's range
    map.SetZoom(-1);
    QCOMPARE(map.Zoom(), 3);
    QCOMPARE(changes, 1);
  }

  void zoomKeepsTheBindPointInPlace() {
    TTestMap t(600, 400);
    TMapControl &map = t.map;
    map.SetZoom(10);
    map.SetCenterPoint(TGeoPoint{56.27574, 57.998649});
    const QPoint view(150, 120);
    const TGeoPoint before = map.MapToGeoCoords(map.ViewToMap(view));
    map.SetZoom(11, map.ViewToMap(view));
    const TGeoPoint after = map.MapToGeoCoords(map.ViewToMap(view));
    // One pixel at zoom 11 is about 0.0005 degrees of longitude.
    QVERIFY(std::fabs(after.Long - before.Long) < 0.0006);
    QVERIFY(std::fabs(after.Lat - before.Lat) < 0.0006);
  }

  void wheelStopsAtTheMaximumZoom() {
    TTestMap t(400, 300);
    TMapControl &map = t.map;
    map.SetZoom(map.MaxZoom());
    QWheelEvent up(QPointF(100, 100), map.mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(map.viewport(), &up);
    QCOMPARE(map.Zoom(), map.MaxZoom());
    QWheelEvent down(QPointF(100, 100), map.mapToGlobal(QPointF(100, 100)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(map.viewport(), &down);
    QCOMPARE(map.Zoom(), map.MaxZoom() - 1);
  }

  void cacheImageSize_data() {
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("cacheW");
    QTest::addColumn<int>("cacheH");
    // The window brought up to whole tiles plus two margin tiles, even where
    // the map is smaller.
    QTest::newRow("zoom 2, 1300 px window") << 2 << 1300 << 700 << 2048 << 1280;
    QTest::newRow("zoom 10, defaults") << 10 << 800 << 600 << 2560 << 2560;
    QTest::newRow("zoom 10, big window") << 10 << 2600 << 600 << 3328 << 2560;
    QTest::newRow("zoom 0") << 0 << 300 << 200 << 1024 << 768;
  }
  void cacheImageSize() {
    QFETCH(int, zoom);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, cacheW);
    QFETCH(int, cacheH);
    TTestMap t(width, height);
    TMapControl &map = t.map;
    map.SetZoom(zoom);
    const TRect r = map.CacheImageRect();
    QCOMPARE(r.Right - r.Left, cacheW);
    QCOMPARE(r.Bottom - r.Top, cacheH);
    QCOMPARE(map.CacheImage().width(), cacheW);
  }

  void tilesAreComposedAndScrollingStaysInTheCache() {
    TTestMap t(600, 400);
    TMapControl &map = t.map;
    TFakeTileSource &src = t.src;
    map.SetZoom(4);
    map.ScrollMapTo(300, 200);
    QImage img = map.grab().toImage();
    // View (0, 0) is map (300, 200): tile (1, 0); view (220, 60) is map (520, 260): tile (2, 1).
    QCOMPARE(img.pixelColor(0, 0), Rgb(TFakeTileSource::ColorOf(1, 0)));
    QCOMPARE(img.pixelColor(220, 60), Rgb(TFakeTileSource::ColorOf(2, 1)));
    const int calls = src.fCalls;
    map.ScrollMapBy(40, 30); // still inside the cache: no tile is asked for
    img = map.grab().toImage();
    QCOMPARE(src.fCalls, calls);
    QCOMPARE(img.pixelColor(180, 30), Rgb(TFakeTileSource::ColorOf(2, 1)));
  }

  void missingTileShowsItsPlaceholder() {
    TTestMap t(1024, 512);
    TMapControl &map = t.map;
    TFakeTileSource &src = t.src;
    src.fMissing = {{3, 1}};
    map.SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    map.SetZoom(3);
    const QImage img = map.grab().toImage();
    const QRect sq(3 * 256, 256, 256, 256);
    // The grey border and the background inside.
    QCOMPARE(img.pixelColor(sq.left(), sq.top() + 100), QColor(0x80, 0x80, 0x80));
    QCOMPARE(img.pixelColor(sq.right(), sq.top() + 100), QColor(0x80, 0x80, 0x80));
    QCOMPARE(img.pixelColor(sq.left() + 10, sq.top() + 10), map.palette().color(QPalette::Window));
    // The text names the column and the row: draw it the way a reader expects it.
    QImage expected(256, 256, QImage::Format_ARGB32_Premultiplied);
    expected.fill(map.palette().color(QPalette::Window));
    {
      QPainter p(&expected);
      p.setFont(map.font());
      p.setPen(QColor(0, 0x80, 0));
      p.drawText(QRect(0, 0, 256, 256), Qt::AlignCenter, "Loading [3 : 1]...");
    }
    const QImage got = img.copy(sq).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int greenGot = 0, same = 0;
    for (int y = 1; y < 255; ++y)
      for (int x = 1; x < 255; ++x) {
        if (got.pixelColor(x, y).green() > got.pixelColor(x, y).red() + 40) ++greenGot;
        if (got.pixel(x, y) == expected.pixel(x, y)) ++same;
      }
    QVERIFY(greenGot > 50);
    QCOMPARE(same, 254 * 254);
    QCOMPARE(MapText("map_tile_loading", {3, 1}), QString("Loading [3 : 1]..."));
  }

  void marksPaintByLayerAndHiddenLayersAreSkipped() {
    TTestMap t(600, 400);
    TMapControl &map = t.map;
    map.SetZoom(10);
    map.SetCenterPoint(TGeoPoint{56.27574, 57.998649});
    TMapMark *m3 = map.MapMarks().Add(TGeoPoint{56.27, 57.99}, "three", 3);
    TMapMark *m1 = map.MapMarks().Add(TGeoPoint{56.28, 58.0}, "one", 1);
    TMapMark *outside = map.MapMarks().Add(TGeoPoint{10, 10}, "far", 1);
    std::vector<TMapMark *> drawn;
    map.OnDrawMapMark = [&](TMapControl *, QPainter &, const QPoint &, TMapMark *m, bool &) {
      drawn.push_back(m);
    };
    map.grab();
    QCOMPARE(drawn, (std::vector<TMapMark *>{m1, m3}));
    Q_UNUSED(outside);
    TMapLayers layers = LayersAll();
    layers.reset(3);
    map.SetVisibleLayers(layers);
    drawn.clear();
    map.grab();
    QCOMPARE(drawn, (std::vector<TMapMark *>{m1}));
  }

  void defaultGlyphIsDrawnAtTheMark() {
    TTestMap t(400, 300);
    TMapControl &map = t.map;
    map.SetZoom(10);
    TMapMark *m = map.MapMarks().Add(map.MapToGeoCoords(map.ViewToMap(QPoint(100, 100))), "");
    m->CustomProps = propGlyphStyle;
    m->GlyphStyle = TMapMarkGlyphStyle{gshSquare, 20, 0x000000, 0x0000FF};
    const QImage img = map.grab().toImage();
    QCOMPARE(img.pixelColor(100, 100), QColor(Qt::red));
    QCOMPARE(img.pixelColor(100, 85), Rgb(img.pixel(100, 85))); // outside: a tile colour
    QVERIFY(img.pixelColor(100, 85) != QColor(Qt::red));
  }

  void markList() {
    TMapControl map;
    TMapMarkList &list = map.MapMarks();
    TMapMark *a = list.Add(TGeoPoint{1, 1}, "a", 2);
    TMapMark *b = list.Add(TGeoPoint{2, 2}, "b", 2);
    TMapMark *c = list.Add(TGeoPoint{3, 3}, "c", 0);
    // A new mark goes before the first of its layer.
    QCOMPARE(list.Get(0), c);
    QCOMPARE(list.Get(1), b);
    QCOMPARE(list.Get(2), a);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.Get(3));
    QCOMPARE(list.Find(TGeoPoint{2, 2}), 1);
    QCOMPARE(list.Find(TGeoPoint{2, 2}, false, 2), -1);
    QCOMPARE(list.Find(TGeoRect{TGeoPoint{0, 2.5}, TGeoPoint{2.5, 0}}), 1);
    QVERIFY(list.Delete(b));
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Get(0), c);
    QCOMPARE(list.Get(1), a);
    QVERIFY(!list.Delete(b));
    list.EndUpdate(); // more ends than begins: the counter stays at 0
    list.EndUpdate();
    list.BeginUpdate();
    int notes = 0;
    list.OnItemNotify = [&](TMapMarkList *, TMapMark *, TMapMarkNotify) { ++notes; };
    list.Add(TGeoPoint{4, 4}, "d");
    list.EndUpdate();
    QCOMPARE(notes, 1);
  }

  // A batch lands where single adds in the same order would have put each mark, on a list that
  // already has marks of several layers; lookups by record and by mark follow every change.
  void markBatchMatchesSingleAddsAndLookupsFollowChanges() {
    const std::vector<int> existing{3, 0, 2, 0, 5};
    const std::vector<int> batch{2, 0, 7, 2, 3, 0, 0, 5, 1};
    std::vector<int> records(existing.size() + batch.size());
    auto describe = [](const TMapMarkList &l) {
      QStringList names;
      for (int i = 0; i < l.Count(); ++i)
        names << QString::fromStdString(l.Get(i)->Caption);
      return names.join(' ');
    };
    auto make = [&](TMapMarkList &l, size_t i, int layer) {
      auto m = l.NewItem();
      m->Caption = std::to_string(i) + ":" + std::to_string(layer);
      m->Layer = layer;
      m->Data = &records[i];
      return m;
    };
    TMapControl one, many;
    for (size_t i = 0; i < existing.size(); ++i) {
      one.MapMarks().Add(make(one.MapMarks(), i, existing[i]));
      many.MapMarks().Add(make(many.MapMarks(), i, existing[i]));
    }
    int notes = 0;
    many.MapMarks().OnItemNotify = [&](TMapMarkList *, TMapMark *, TMapMarkNotify a) {
      notes += a == mmnAdded;
    };
    std::vector<std::unique_ptr<TMapMark>> marks;
    for (size_t i = 0; i < batch.size(); ++i) {
      const size_t r = existing.size() + i;
      one.MapMarks().Add(make(one.MapMarks(), r, batch[i]));
      marks.push_back(make(many.MapMarks(), r, batch[i]));
    }
    many.MapMarks().AddMarks(std::move(marks));
    QCOMPARE(describe(many.MapMarks()), describe(one.MapMarks()));
    QCOMPARE(notes, int(batch.size()));

    TMapMarkList &l = many.MapMarks();
    for (size_t r = 0; r < records.size(); ++r) {
      TMapMark *m = l.FindByData(&records[r]);
      QVERIFY(m);
      QCOMPARE(m->Data, static_cast<void *>(&records[r]));
      QCOMPARE(l.Get(l.IndexOf(m)), m);
    }
    // one deleted alone, the even records in one pass
    QVERIFY(l.Delete(l.FindByData(&records[1])));
    QVERIFY(!l.FindByData(&records[1]));
    const int gone = l.DeleteIf([&](const TMapMark &m) {
      return (static_cast<int *>(m.Data) - records.data()) % 2 == 0;
    });
    QCOMPARE(gone, int(records.size() + 1) / 2);
    QCOMPARE(l.Count(), int(records.size()) - 1 - gone);
    for (size_t r = 0; r < records.size(); ++r)
      QCOMPARE(l.FindByData(&records[r]) != nullptr, r % 2 == 1 && r != 1);
    for (int i = 0; i < l.Count(); ++i)
      QCOMPARE(l.IndexOf(l.Get(i)), i);
    for (int i = 1; i < l.Count(); ++i)
      QVERIFY(l.Get(i - 1)->Layer <= l.Get(i)->Layer);
  }

  void selectionBoxReportsAreaAndEscapeCancels() {
    TTestMap t(600, 400);
    TMapControl &map = t.map;
    map.SetZoom(5);
    map.SetMouseMode(mmSelect);
    int boxes = 0;
    TGeoRect got;
    map.OnSelectionBox = [&](TMapControl *, const TGeoRect &r) {
      ++boxes;
      got = r;
    };
    QTest::keyClick(&map, Qt::Key_Escape); // nothing shown: nothing happens
    QTest::mousePress(map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseMove(map.viewport(), QPoint(100, 50));
    QVERIFY(map.SelectionBoxVisible());
    QCOMPARE(map.SelectionBox(), QRect(QPoint(100, 50), QSize(200, 150)));
    QTest::keyClick(&map, Qt::Key_Escape);
    QVERIFY(!map.SelectionBoxVisible());
    QTest::mouseRelease(map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QCOMPARE(boxes, 0);
    QTest::mousePress(map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QTest::mouseMove(map.viewport(), QPoint(300, 200));
    QTest::mouseRelease(map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QCOMPARE(boxes, 1);
    const TGeoPoint tl = map.MapToGeoCoords(QPoint(100, 50));
    const TGeoPoint br = map.MapToGeoCoords(QPoint(300, 200));
    QCOMPARE(got.TopLeft.Long, tl.Long);
    QCOMPARE(got.BottomRight.Lat, br.Lat);
  }

  void dragScrollsTheMap() {
    TTestMap t(600, 400);
    TMapControl &map = t.map;
    map.SetZoom(6);
    map.ScrollMapTo(1000, 1000);
    QTest::mousePress(map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseMove(map.viewport(), QPoint(250, 260));
    QTest::mouseRelease(map.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(250, 260));
    QCOMPARE(map.ViewRect().Left, 1050);
    QCOMPARE(map.ViewRect().Top, 940);
  }

  void saveToBitmap() {
    TTestMap t(300, 200);
    TMapControl &map = t.map;
    TFakeTileSource &src = t.src;
    map.SetZoom(2);
    const QImage img = map.SaveToBitmap(TRect{100, 300, 600, 500}, moDontDrawCopyright, false);
    QCOMPARE(img.size(), QSize(500, 200));
    QCOMPARE(img.pixelColor(10, 10), Rgb(TFakeTileSource::ColorOf(0, 1)));
    QCOMPARE(img.pixelColor(490, 190), Rgb(TFakeTileSource::ColorOf(2, 1)));
    src.fMissing = {{2, 1}};
    try {
      map.SaveToBitmap(moDontDrawCopyright, false);
      QFAIL("a missing tile must fail the save");
    } catch (const std::runtime_error &e) {
      QCOMPARE(QString(e.what()), QString("Tile image unavailable: 2 * [512 : 256]"));
    }
  }
};

KELVRA_UI_TEST(MapControlTest)
#include "MapControlTest.moc"
