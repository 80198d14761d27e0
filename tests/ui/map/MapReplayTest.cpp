// The replay bar under the map, driven by a hand-made clock: the marker moves
// by the points due, a seek puts it on the right point, only the marker's
// squares are repainted, the keys step and pause, stops show their length,
// and with the feature off there is no bar.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"

#include <QDir>
#include <QVBoxLayout>

using namespace kelvra;

namespace {

constexpr double T0 = 46000.25;

struct TReplayMap {
  QWidget panel;
  TLumMapControl *map;
  TTrackReplayBar *bar;
  TBitmap32 white{256, 256};

  TReplayMap() {
    auto *lay = new QVBoxLayout(&panel);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    map = new TLumMapControl(&panel);
    bar = new TTrackReplayBar(&panel, map);
    bar->ManualClock = true;
    std::fill(white.fPixels.begin(), white.fPixels.end(), 0xFFFFFFFFu);
    map->OnGetTile = [this](TMapControl *, unsigned, unsigned) { return &white; };
    map->SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    map->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    map->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    map->setFrameShape(QFrame::NoFrame);
    panel.resize(800, 500);
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel)) qWarning("the panel was not shown");
    map->SetCenter(16, 57.998649, 56.27574);
  }

  // N points a second apart, 2 view pixels apart along row 200 from x = 100.
  TGeoTrack &AddTrack(int N) {
    auto t = std::make_unique<TGeoTrack>("1");
    t->SetStyle(GeoTrackStyles[1]);
    TTrackPointList list = test::RowPoints(*map, N, 200, T0);
    for (auto &tp : list) {
      tp->speed = 20;
      tp->alt = 150;
    }
    t->Assign(std::move(list));
    map->GeoTracks().push_back(std::move(t));
    return *map->GeoTracks().back();
  }
  QPoint ViewOf(const TGeoTrack &t, int i) const { return test::ViewOfPoint(*map, t, i); }
};

} // namespace

class MapReplayTest : public QObject {
  Q_OBJECT

private slots:
  void aSimulatedSecondMovesTheMarkerByThePointsDue_data() {
    QTest::addColumn<double>("speed");
    QTest::addColumn<int>("points");
    QTest::newRow("1x") << 1.0 << 1;
    QTest::newRow("10x") << 10.0 << 10;
    QTest::newRow("100x") << 100.0 << 100;
  }
  void aSimulatedSecondMovesTheMarkerByThePointsDue() {
    QFETCH(double, speed);
    QFETCH(int, points);
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(201);
    t.bar->SetFollow(false);
    t.bar->SetTrack(&track);
    QVERIFY(t.bar->isVisible());
    t.bar->SetSpeed(speed);
    t.bar->Play();
    for (int f = 0; f < 30; ++f) t.bar->Advance(1.0 / 30); // frames of a simulated second
    QCOMPARE(t.bar->Replay().Index(), points);
    QCOMPARE(t.map->ReplayMarkerRect().center(), t.ViewOf(track, points));
    QVERIFY(t.bar->Replay().Playing());
  }

  void seekingToTheMiddlePutsTheMarkerOnTheMiddlePoint() {
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(201);
    t.bar->SetFollow(false);
    t.bar->SetTrack(&track);
    t.bar->SeekFraction(0.5);
    QCOMPARE(t.bar->Replay().Index(), 100);
    const QPoint at = t.ViewOf(track, 100);
    QCOMPARE(t.map->ReplayMarkerRect().center(), at);
    QVERIFY(t.bar->TimeText().endsWith("06:01:40")); // T0 is 06:00:00, plus 100 s
    QVERIFY2(t.bar->InfoText().contains("20 km/h"), qPrintable(t.bar->InfoText()));
    QVERIFY(t.bar->InfoText().contains("150 m"));
    const QImage img = t.panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    img.save(QDir::current().filePath("map-replay-middle.png"));
    // The marker's orange disc beside the white arrow at its centre.
    QCOMPARE(QColor(img.pixel(at + QPoint(-8, 0))), QColor(0xFF, 0x6F, 0x00));
  }

  void aFrameRepaintsOnlyTheMarker() {
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(201);
    t.bar->SetFollow(false);
    t.bar->SetTrack(&track);
    t.map->grab();
    QCoreApplication::processEvents();
    test::TPaintRecorder rec(t.map->viewport());
    const QRect before = t.map->ReplayMarkerRect();
    t.bar->SetSpeed(5);
    t.bar->Play();
    t.bar->Advance(1);
    const QRect after = t.map->ReplayMarkerRect();
    QTRY_VERIFY(rec.fPaints > 0);
    QVERIFY((QRegion(before) + after).contains(rec.fPainted.boundingRect()));
  }

  // The graphs ring a point on the map at each mouse move: the track is drawn again only where
  // the ring was and is, not along its whole length.
  void aRingMovedOverTheTrackRedrawsTheTrackOnlyAroundIt() {
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(201);
    t.map->grab();
    QCoreApplication::processEvents();
    QCOMPARE(t.map->TrackPainter().LastArea(), t.map->viewport()->rect());
    for (const int i : {100, 103}) {
      const TTrackPointInfo &p = *track.Points()[std::size_t(i)];
      t.map->SetPointMarker(TGeoPoint{p.lon, p.lat});
      QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
    const QRect area = t.map->TrackPainter().LastArea();
    QVERIFY(!area.isEmpty());
    const QRect ring = t.map->PointMarkerRect();
    QVERIFY2(area.width() <= 3 * ring.width() && area.height() <= 3 * ring.height(),
             qPrintable(QString("%1x%2").arg(area.width()).arg(area.height())));
    QVERIFY(area.intersects(ring));
  }

  void keysPlayPauseAndStep() {
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(50);
    t.bar->SetFollow(false);
    t.bar->SetTrack(&track);
    QApplication::setActiveWindow(&t.panel);
    t.map->setFocus();
    QTest::keyClick(t.map, Qt::Key_Right);
    QTest::keyClick(t.map, Qt::Key_Right);
    QCOMPARE(t.bar->Replay().Index(), 2);
    QTest::keyClick(t.map, Qt::Key_Left);
    QCOMPARE(t.bar->Replay().Index(), 1);
    QTest::keyClick(t.map, Qt::Key_Space);
    QVERIFY(t.bar->Replay().Playing());
    QTest::keyClick(t.map, Qt::Key_Space);
    QVERIFY(!t.bar->Replay().Playing());
  }

  void passedStopsShowTheirLength() {
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(100);
    for (int i = 40; i < 50; ++i) track.Points()[std::size_t(i)]->IsParking = true;
    track.Points()[40]->ParkingDuration = 750;
    t.bar->SetFollow(false);
    t.bar->SetTrack(&track);
    t.bar->SeekFraction(0.3);
    QCOMPARE(t.map->ReplayMarker().PassedStops, 0);
    t.bar->SetSpeed(10);
    t.bar->Play();
    t.bar->Advance(1.5); // to point 44, inside the stop
    QCOMPARE(t.map->ReplayMarker().PassedStops, 1);
    QVERIFY2(t.bar->InfoText().contains("12.5m"), qPrintable(t.bar->InfoText()));
    const QImage img = t.panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    img.save(QDir::current().filePath("map-replay-stop.png"));
    // The label's blue frame above the stop's point.
    const QPoint stop = t.ViewOf(track, 40);
    bool frame = false;
    for (int y = stop.y() - 40; y < stop.y() - 10; ++y)
      frame |= QColor(img.pixel(stop.x(), y)) == QColor(0, 0, 0xFF);
    QVERIFY(frame);
  }

  void followKeepsTheMarkerInView() {
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(400); // runs off the view's right edge
    t.bar->SetTrack(&track);
    t.bar->SetSpeed(100);
    t.bar->Play();
    for (int f = 0; f < 10; ++f) t.bar->Advance(0.4);
    const QRect view(QPoint(0, 0), t.map->viewport()->size());
    QVERIFY(view.contains(t.map->ReplayMarkerRect()));
    QVERIFY(t.ViewOf(track, 0).x() < 100); // the map moved
  }

  void switchedOffThereIsNoBar() {
    TReplayMap t;
    TGeoTrack &track = t.AddTrack(20);
    TMapFeatures f = t.map->Features();
    f.TrackReplay = false;
    t.map->SetFeatures(f);
    t.bar->SetTrack(&track);
    QVERIFY(!t.bar->isVisible());
    QVERIFY(t.map->ReplayMarkerRect().isEmpty());
  }
};

KELVRA_UI_TEST(MapReplayTest)
#include "MapReplayTest.moc"
