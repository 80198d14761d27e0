// The base map chosen in the settings dialog: the map repaints from the other source (the
// service counts the tile requests per style), shows that source's attribution and keeps its
// tiles in a folder of their own; a fresh tile is never asked for twice.
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <filesystem>

#include "UiTests.h"
#include "map/MapTestUtil.h"
#include "core/map/TileSources.h"
#include "support/SignedInDesk.h"
#include "ui/map/LumMapControl.h"
#include "ui/account/AccountForms.h"

using namespace kelvra;

namespace {

size_t FilesBelow(const std::string &dir) {
  std::error_code ec;
  size_t n = 0;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    n += it->is_regular_file() && it->path().extension() == ".png";
  return n;
}

} // namespace

class MapSourcesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<test::TSignedInDesk> fDesk;

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }
  void cleanup() { fDesk.reset(); }

  void switchingTheSourceRepaintsFromTheOtherServer() {
    SimServer &sim = fDesk->Sim();
    // The built-in sources draw the service's two styles (the desk points them there).
    TMonitorMainWin &w = fDesk->Start(true);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    TLumMapControl *map = w.Map();
    QVERIFY(map);
    QCOMPARE(QString::fromStdString(map->TileSource().Id), QString("osm"));
    QCOMPARE(QString::fromStdString(map->TilesProvider()->TilesCopyright),
             QString::fromStdString(BuiltInTileSource("osm").Attribution));
    const std::string osmDir = fDesk->Dir() + "MapCache/osm", topoDir = fDesk->Dir() + "MapCache/topo";
    // Every tile of the view is in before the switch, so that the way back finds them all fresh.
    QVERIFY(test::WaitForAllTiles(*map));
    QTRY_VERIFY_WITH_TIMEOUT(FilesBelow(osmDir) >= map->TileStorage().BmpCache().Count(), 60000);
    // And every tile the service sent is stored: one still on its way when the source changes is
    // dropped, and the way back rightly asks for it again.
    QTRY_VERIFY_WITH_TIMEOUT(FilesBelow(osmDir) >= sim.TileCounts("standard").requests, 60000);
    QCOMPARE(sim.TileCounts("topo").requests, size_t(0));
    map->grab().save("map-source-osm.png");

    // The dialog offers the list; choosing the topographic map switches at once.
    Prompt::StartScript({QVariantMap{{"CbMapSource", "Topographic (OpenTopoMap)"}, {"click", "ButOk"}}});
    w.EditSettings();
    Prompt::StopScript();
    QCOMPARE(IniFile->ReadString("Config", "map_source", ""), std::string("topo"));
    QCOMPARE(QString::fromStdString(map->TileSource().Id), QString("topo"));
    QCOMPARE(QString::fromStdString(map->TilesProvider()->TilesCopyright),
             QString::fromStdString(BuiltInTileSource("topo").Attribution));
    QTRY_VERIFY_WITH_TIMEOUT(FilesBelow(topoDir) >= 4, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(map->TileStorage().BmpCache().Count() >= 4, 60000);
    // The service counts a request after its reply went out: the count may trail the file a moment.
    QTRY_VERIFY_WITH_TIMEOUT(sim.TileCounts("topo").requests >= FilesBelow(topoDir), 30000);
    QVERIFY(map->grab().save("map-source-topo.png"));
    QVERIFY(test::LogText(w).contains("Map source: topo"));

    // Back to the standard map: its tiles are fresh in their folder, none is asked for again. The
    // service counts a request after its reply went out: wait until it counted every file.
    QTRY_VERIFY_WITH_TIMEOUT(sim.TileCounts("standard").requests >= FilesBelow(osmDir), 30000);
    Prompt::StartScript({QVariantMap{{"CbMapSource", "OpenStreetMap standard"}, {"click", "ButOk"}}});
    w.EditSettings();
    Prompt::StopScript();
    QCOMPARE(QString::fromStdString(map->TileSource().Id), QString("osm"));
    QTRY_VERIFY_WITH_TIMEOUT(map->TileStorage().BmpCache().Count() >= 4, 60000);
    map->grab();
    // No tile is asked for twice. (The view may have moved a little between the switches on a
    // busy machine, and the tiles that brings into view are asked for once, as they should be.)
    const auto asked = test::AskedPaths(sim, "/tiles/");
    QVERIFY2(test::AskedAgain(asked).empty(), test::AskedAgain(asked).c_str());
    QCOMPARE(sim.TileCounts("standard").conditional, size_t(0));
  }

  void customSourceNeedsItsAddressAndTileUrlWins() {
    SimServer &sim = fDesk->Sim();
    const std::string custom = sim.BaseUrl() + "/tiles-topo/{z}/{x}/{y}.png";
    TMonitorMainWin &w = fDesk->Start(false, {"tile_url=" + fDesk->TileUrl()});
    TLumMapControl *map = w.Map();
    QCOMPARE(QString::fromStdString(map->TileSource().Id), QString("url"));
    // "tile_url" wins over the choice in the dialog, which says so.
    TSettingsEditForm dlg(&w);
    QVERIFY(dlg.findChild<QLabel *>("LblMapSourceNote")->isVisibleTo(&dlg));
    QVERIFY(!dlg.findChild<QLineEdit *>("EdMapCustomUrl")->isEnabled());
    Prompt::StartScript({QVariantMap{{"CbMapSource", "Custom"}, {"EdMapCustomUrl", QString::fromStdString(custom)},
                                     {"click", "ButOk"}}});
    w.EditSettings();
    Prompt::StopScript();
    QCOMPARE(IniFile->ReadString("Config", "map_source", ""), std::string("custom"));
    QCOMPARE(IniFile->ReadString("Config", "map_custom_url", ""), custom);
    QCOMPARE(QString::fromStdString(map->TileSource().Id), QString("url"));
    // Without "tile_url" the custom address is used, with a folder of its own.
    Config->SetVal("tile_url", "");
    map->ApplyConfig();
    QCOMPARE(QString::fromStdString(map->TileSource().Id), QString("custom"));
    QCOMPARE(QString::fromStdString(map->TileSource().UrlPattern), QString::fromStdString(custom));
    QCOMPARE(QString::fromStdString(map->TileSource().CacheFolder),
             QString::fromStdString(CustomTileSource("custom", custom).CacheFolder));
  }
};

KELVRA_UI_TEST(MapSourcesTest)
#include "MapSourcesTest.moc"
