// The replay of a real day: the van's track from kelvra-sim on its own tiles,
// speed-coloured, with the replay bar under the map part way through the day
// (stops passed so far labelled). Saved as "map-replay-scene.png" for a
// person to look at; the replay must have passed a stop and show the point.
#include <QtTest>

#include "UiTests.h"
#include "MapTestUtil.h"
#include "core/client/client.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"

#include <QVBoxLayout>

using namespace kelvra;

class MapReplaySceneTest : public QObject {
  Q_OBJECT
private slots:
  void vanDayReplayed() {
    test::TDemoWorld world("kelvra-replay");
    QVERIFY2(world.Start(), world.Error().c_str());
    TObjectInfo *van = world.Object("Delivery van");
    QVERIFY(van);

    QWidget panel;
    auto *lay = new QVBoxLayout(&panel);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto *map = new TLumMapControl(&panel, world.MapCacheDir(), 100000000);
    world.UseSimTiles(*map);
    auto *bar = new TTrackReplayBar(&panel, map);
    bar->ManualClock = true;
    panel.resize(1200, 800);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    auto track = world.LastDay(*van, 1);
    QVERIFY(track);
    QVERIFY(track->Info().ParkingCount > 1);
    const TGeoRect area = track->Info().GeoRect;
    map->GeoTracks().push_back(std::move(track));
    TGeoTrack &t = *map->GeoTracks().back();
    map->ZoomToArea(area);
    map->SetCenterPoint(TGeoPoint{(area.TopLeft.Long + area.BottomRight.Long) / 2,
                                  (area.TopLeft.Lat + area.BottomRight.Lat) / 2});
    bar->SetFollow(false);
    bar->SetTrack(&t);
    bar->SeekFraction(0.55);
    bar->SetSpeed(300);
    bar->Play();
    for (int f = 0; f < 30; ++f) bar->Advance(1.0 / 30);
    QVERIFY(bar->Replay().PassedStops() > 0);
    QVERIFY(!bar->TimeText().isEmpty());

    QVERIFY(test::WaitForAllTiles(*map));
    QTest::qWait(100);
    qInfo("replay at point %d of %d, %s, %s", bar->Replay().Index(), bar->Replay().Count(),
          qPrintable(bar->TimeText()), qPrintable(bar->InfoText()));
    QVERIFY(panel.grab().save("map-replay-scene.png"));
  }
};

KELVRA_UI_TEST(MapReplaySceneTest)
#include "MapReplaySceneTest.moc"
