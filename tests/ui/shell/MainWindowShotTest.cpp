// The picture at the top of the README: the main window signed in to the demo world, its objects
// ticked on the map over kelvra-sim's tiles, a day's track of the van requested through the tracks
// panel. Saved as "main-window.png" in the test's folder; scripts/screenshot.sh copies it to docs/.
#include <QFrame>
#include <QtTest>

#include "UiTests.h"
#include "support/SignedInDesk.h"
#include "ui/map/LumMapControl.h"
#include "ui/shell/MonitorApp.h"
#include "ui/tracks/TracksPanel.h"

using namespace kelvra;

class MainWindowShotTest : public QObject {
  Q_OBJECT
private slots:
  void demoWorldInTheMainWindow() {
    test::TSignedInDesk desk(TSimOptions{}); // the service's clock starts now: today has a track
    QVERIFY(desk.SimStarted());
    TMonitorMainWin &w = desk.Start(true, {"lang=en"});
    w.resize(1400, 900);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.IsLoggedIn());
    QVERIFY(w.Objects()->rowCount() > 0);

    // The van's day on the map, with its parking stops.
    TObjectInfo *van = nullptr;
    for (auto &o : w.Client().ObjList())
      if (o->name == "Delivery van") van = o.get();
    QVERIFY(van);
    QVERIFY(desk.Select(van->uid) == van);
    const TDateTime now = w.Client().DisplayNow();
    QVERIFY(w.Tracks()->RequestTrack(van, "Delivery van, today", now - 1, now, 0));

    // Every tile of the view drawn, and the greeting gone, before the picture is taken.
    TLumMapControl *map = w.Map();
    QVERIFY(map);
    // The window's tile memory holds fewer tiles than its cache image: wait until no more arrive.
    map->grab();
    for (std::size_t seen = 0, quiet = 0; quiet < 10;) {
      QTest::qWait(100);
      const std::size_t now = map->TileStorage().BmpCache().Count();
      quiet = now == seen ? quiet + 1 : 0;
      seen = now;
    }
    w.MsgPanel()->hide();
    QTest::qWait(200);
    QVERIFY(w.grab().save("main-window.png"));
  }
};

KELVRA_UI_TEST_RUN(MainWindowShotTest, [](int argc, char **argv) {
  TMonitorApp app(argc, argv);
  MainWindowShotTest tc;
  return QTest::qExec(&tc, argc, argv);
})
#include "MainWindowShotTest.moc"
