// The graphs under the map with the map and the replay bar beside them: hovering a point shows its
// values and rings it on the map, a click plays the replay from that point (switching the replay
// to the track clicked), the cursor follows a replay step, and the wheel and a drag move the view.
#include <QtTest>

#include "UiTests.h"
#include "map/MapTestUtil.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"
#include "ui/reports/TrackGraphPane.h"

#include <QDir>
#include <utility>
#include <QVBoxLayout>

using namespace kelvra;

namespace {

constexpr double kGraphT0 = 46000.25; // 06:00:00

struct TGraphScene {
  QWidget panel;
  TLumMapControl *map;
  TTrackReplayBar *bar;
  TTrackGraphPane *pane;
  TBitmap32 white{256, 256};
  std::vector<const TGeoTrack *> selected; // what the pane asked to select

  TGraphScene() {
    auto *lay = new QVBoxLayout(&panel);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    map = new TLumMapControl(&panel);
    bar = new TTrackReplayBar(&panel, map);
    bar->ManualClock = true;
    bar->SetFollow(false);
    TGraphHost host;
    host.SelectTrack = [this](const TGeoTrack *t) {
      selected.push_back(t);
      bar->SetTrack(t);
    };
    pane = new TTrackGraphPane(map, bar, host, &panel);
    lay->addWidget(pane);
    pane->setFixedHeight(220);
    std::fill(white.fPixels.begin(), white.fPixels.end(), 0xFFFFFFFFu);
    map->OnGetTile = [this](TMapControl *, unsigned, unsigned) { return &white; };
    map->SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    panel.resize(900, 700);
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel)) qWarning("the panel was not shown");
    map->SetCenter(16, 57.998649, 56.27574);
  }

  // N points a second apart from `start` seconds after kGraphT0, 2 view pixels apart along `row`;
  // speed (i % 40) + 10 and altitude 150 + i.
  TGeoTrack &AddTrack(int n, double start, int row, int style) {
    auto t = std::make_unique<TGeoTrack>(std::to_string(style));
    t->SetStyle(GeoTrackStyles[std::size_t(style)]);
    t->SetSign("Track " + std::to_string(style));
    TTrackPointList list = test::RowPoints(*map, n, row, kGraphT0 + start / 86400.0);
    for (int i = 0; i < n; ++i) {
      list[std::size_t(i)]->speed = i % 40 + 10;
      list[std::size_t(i)]->alt = 150 + i;
    }
    t->Assign(std::move(list));
    map->GeoTracks().push_back(std::move(t));
    return *map->GeoTracks().back();
  }

  // The graphs built and painted, so that the scale is settled.
  void Show() {
    pane->Rebuild();
    pane->Plot()->repaint();
  }

  void MoveMouse(const QPoint &pos) {
    QMouseEvent e(QEvent::MouseMove, pos, pane->Plot()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(pane->Plot(), &e);
  }
  void Mouse(QEvent::Type type, const QPoint &pos, Qt::MouseButtons buttons) {
    QMouseEvent e(type, pos, pane->Plot()->mapToGlobal(pos),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(pane->Plot(), &e);
  }
  void Drag(const QPoint &from, const QPoint &to) {
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(QEvent::MouseMove, to, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
  }
  void Click(const QPoint &pos) { Drag(pos, pos); }
  QPoint ViewOf(const TGeoTrack &t, int i) const { return test::ViewOfPoint(*map, t, i); }
};

} // namespace

class TrackGraphPaneTest : public QObject {
  Q_OBJECT

private slots:
  void hoverShowsThePointAndRingsItOnTheMap() {
    TGraphScene s;
    TGeoTrack &track = s.AddTrack(200, 0, 200, 1);
    s.Show();
    QCOMPARE(s.pane->LineCount(), 1);
    QVERIFY(s.map->PointMarkerRect().isEmpty());
    const QPoint at = s.pane->PointPos(&track, 100);
    QVERIFY(at.x() > 0);
    s.MoveMouse(at + QPoint(0, 30)); // below the line: the point at the mouse's time
    const QString info = s.pane->InfoText();
    QVERIFY2(info.contains("Track 1"), qPrintable(info));
    QVERIFY2(info.contains("06:01:40"), qPrintable(info)); // kGraphT0 + 100 s
    QVERIFY2(info.contains("30 km/h"), qPrintable(info));  // 100 % 40 + 10
    QVERIFY2(info.contains("250 m"), qPrintable(info));
    QCOMPARE(s.map->PointMarkerRect().center(), s.ViewOf(track, 100));
    // Against distance the same point shows its distance too.
    s.pane->SetAxis(gaDistance);
    s.pane->Plot()->repaint();
    s.MoveMouse(s.pane->PointPos(&track, 40));
    QVERIFY2(s.pane->InfoText().contains("06:00:40"), qPrintable(s.pane->InfoText()));
    const QString km = QString::fromStdString(GraphXText(gaDistance, 0, TrackDistances(track.Points())[40]));
    QVERIFY2(s.pane->InfoText().contains(km + " km"), qPrintable(s.pane->InfoText()));
    QCOMPARE(s.map->PointMarkerRect().center(), s.ViewOf(track, 40));
    s.pane->SetAxis(gaTime);
    // Leaving the graph takes the ring off the map.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(s.pane->Plot(), &leave);
    QVERIFY(s.map->PointMarkerRect().isEmpty());
    QVERIFY(s.pane->InfoText().isEmpty());
  }

  void aClickPlaysTheReplayFromThePoint_data() {
    QTest::addColumn<bool>("otherTrack");
    QTest::newRow("the replay's track") << false;
    QTest::newRow("another track") << true;
  }
  void aClickPlaysTheReplayFromThePoint() {
    QFETCH(bool, otherTrack);
    TGraphScene s;
    TGeoTrack &a = s.AddTrack(200, 0, 200, 1);
    TGeoTrack &b = s.AddTrack(200, 300, 260, 2); // five minutes later: right of a on the time axis
    s.bar->SetTrack(&a);
    s.Show();
    QCOMPARE(s.pane->LineCount(), 2);
    TGeoTrack &target = otherTrack ? b : a;
    const QPoint at = s.pane->PointPos(&target, 150);
    s.Click(at);
    QCOMPARE(s.bar->Track(), &target);
    QCOMPARE(s.bar->Replay().Index(), 150);
    QCOMPARE(s.map->ReplayMarkerRect().center(), s.ViewOf(target, 150));
    QCOMPARE(int(s.selected.size()), otherTrack ? 1 : 0);
    QCOMPARE(s.pane->CursorPx(), at.x());
    // A drag pans instead of seeking.
    s.Drag(at, at + QPoint(-60, 0));
    QCOMPARE(s.bar->Replay().Index(), 150);
  }

  void theCursorFollowsAReplayStep() {
    TGraphScene s;
    TGeoTrack &track = s.AddTrack(200, 0, 200, 1);
    s.bar->SetTrack(&track);
    s.Show();
    QCOMPARE(s.pane->CursorPx(), s.pane->PointPos(&track, 0).x());
    s.bar->SetSpeed(10);
    s.bar->Play();
    s.bar->Advance(4); // 40 s of track time
    QCOMPARE(s.bar->Replay().Index(), 40);
    QCOMPARE(s.pane->CursorPx(), s.pane->PointPos(&track, 40).x());
    s.bar->Step(1);
    QCOMPARE(s.pane->CursorPx(), s.pane->PointPos(&track, 41).x());
    const QImage img = s.panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    img.save(QDir::current().filePath("track-graph-replay.png"));
    // The cursor's orange line crosses the plot at its column.
    const QPoint plot = s.pane->Plot()->mapTo(&s.panel, QPoint(s.pane->CursorPx(), s.pane->Plot()->height() / 2));
    QCOMPARE(QColor(img.pixel(plot)), QColor(0xFF, 0x6F, 0x00));
    // Played past a zoomed view's edge, the view moves on with the cursor.
    const QPoint mid = s.pane->PointPos(&track, 41);
    QWheelEvent wheel(mid, s.pane->Plot()->mapToGlobal(mid), QPoint(), QPoint(0, 120 * 5), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(s.pane->Plot(), &wheel);
    const double span = s.pane->Scale().X1 - s.pane->Scale().X0;
    QVERIFY2(span < 199 * 0.4, qPrintable(QString::number(span)));
    s.bar->Play();
    s.bar->Advance(10); // 100 s on
    QVERIFY(s.pane->CursorPx() >= 0);
    QVERIFY(s.pane->Scale().X0 <= s.bar->Replay().Time() && s.bar->Replay().Time() <= s.pane->Scale().X1);
  }

  void tracksThatGoLeaveTheGraph() {
    TGraphScene s;
    TGeoTrack &a = s.AddTrack(50, 0, 200, 1);
    s.AddTrack(50, 0, 260, 2);
    s.Show();
    QCOMPARE(s.pane->LineCount(), 2);
    a.SetVisible(false);
    s.pane->TracksChanged();
    QTRY_COMPARE(s.pane->LineCount(), 1);
    s.map->GeoTracks().clear();
    s.pane->TracksChanged();
    QTRY_COMPARE(s.pane->LineCount(), 0);
    s.MoveMouse(QPoint(200, 100));
    QVERIFY(s.pane->InfoText().isEmpty());
  }

  // A change of tracks makes the line of the track that changed again, not every line (a
  // million-point neighbour stays as it was); a change of the value graphed makes all of them.
  void onlyTheLineOfAChangedTrackIsMadeAgain() {
    TGraphScene s;
    TGeoTrack &a = s.AddTrack(200, 0, 200, 1);
    TGeoTrack &b = s.AddTrack(200, 1000, 260, 2);
    s.Show();
    QCOMPARE(s.pane->LinesMade(), 2);
    s.pane->Rebuild(); // nothing changed
    QCOMPARE(s.pane->LinesMade(), 2);
    QCOMPARE(s.pane->LineCount(), 2);

    for (int i = 98; i <= 102; ++i) // around the point hovered below: the hover may pick a neighbour
      a.Points()[std::size_t(i)]->speed = 99; // through the track's list: a change
    s.pane->TracksChanged();
    QTRY_COMPARE(s.pane->LinesMade(), 3);
    s.pane->Plot()->repaint();
    s.MoveMouse(s.pane->PointPos(&a, 100));
    QVERIFY2(s.pane->InfoText().contains("99 km/h"), qPrintable(s.pane->InfoText()));

    TTrackPointInfo *kept = std::as_const(b).Points()[10].get();
    kept->speed = 77;
    b.Touch(); // changed through a pointer kept, and said so
    s.pane->Rebuild();
    QCOMPARE(s.pane->LinesMade(), 4);
    QCOMPARE(s.pane->LineCount(), 2);

    s.pane->SetValue("altitude");
    QCOMPARE(s.pane->LinesMade(), 6);
    s.pane->SetValue("speed");
    QCOMPARE(s.pane->LinesMade(), 8);
  }
};

KELVRA_UI_TEST(TrackGraphPaneTest)
#include "TrackGraphPaneTest.moc"
