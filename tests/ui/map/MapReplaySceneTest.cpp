// The replay of a real day: the van's track from kelvra-sim on its own tiles,
// speed-coloured, with the replay bar under the map part way through the day
// (stops passed so far labelled). Saved as "map-replay-scene.png" for a
// person to look at; the replay must have passed a stop and show the point.
#include <QtTest>

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
    SimServer sim;
    QVERIFY2(sim.Start(), sim.Error().c_str());
    test::TTempDir dir("kelvra-replay");
    TKelvraClientEnv env;
    env.HomeDir = dir.Path();
    TKelvraClient client(sim.BaseUrl() + "/", "", "0", env);
    QVERIFY(client.Login(SimServer::kDemoUser, SimServer::kDemoPassword));
    QVERIFY(client.GetObjects() > 0);
    TObjectInfo *van = nullptr;
    for (auto &o : client.ObjList())
      if (o->name == "Delivery van") van = o.get();
    QVERIFY(van);
    const TDateTime now = client.DisplayNow();
    QVERIFY(client.GetTrack(van->uid, now - 1, now) > 0);

    QWidget panel;
    auto *lay = new QVBoxLayout(&panel);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto *map = new TLumMapControl(&panel, dir.Path() + "MapCache", 100000000);
    map->SetTileURL(sim.BaseUrl() + "/tiles/{z}/{x}/{y}.png");
    auto *bar = new TTrackReplayBar(&panel, map);
    bar->ManualClock = true;
    panel.resize(1200, 800);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    auto track = std::make_unique<TGeoTrack>(van->id);
    track->SetStyle(GeoTrackStyles[1]);
    track->Assign(std::move(client.TrackList()));
    track->MarkParking();
    track->UpdateInfo();
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

    map->grab();
    const TRect cache = map->CacheImageRect();
    const std::size_t tiles = std::size_t((cache.Right - cache.Left) / 256) *
                              std::size_t((cache.Bottom - cache.Top) / 256);
    QTRY_VERIFY_WITH_TIMEOUT(map->TileStorage().BmpCache().Count() >= tiles, 120000);
    QTest::qWait(100);
    qInfo("replay at point %d of %d, %s, %s", bar->Replay().Index(), bar->Replay().Count(),
          qPrintable(bar->TimeText()), qPrintable(bar->InfoText()));
    QVERIFY(panel.grab().save("map-replay-scene.png"));
  }
};

QTEST_MAIN(MapReplaySceneTest)
#include "MapReplaySceneTest.moc"
