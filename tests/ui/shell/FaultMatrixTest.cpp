// The whole program against a service that fails in every way kelvra-sim can make it fail: for
// each fault the window keeps running, says why in its log (and the message panel), keeps what
// it showed, and comes back by itself once the fault is over.

#include <QLabel>
#include <QMessageBox>
#include <QtTest>

#include <cmath>
#include <filesystem>
#include <memory>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/util/LumFiles.h"
#include "sim/SimServer.h"
#include "sim/SimWorld.h"
#include "sim/SimUtil.h"
#include "support/SignedInDesk.h"
#include "support/TempDir.h"
#include "ui/map/LumMapControl.h"
#include "ui/shell/MonitorApp.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/tracks/TracksPanel.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;
using test::Fault;
using test::LogText;
using test::SignInAnswer;

namespace {

// What the window showed of the objects: the rows and where each mark stands.
struct TShown {
  int rows = 0;
  std::vector<std::pair<int, std::pair<double, double>>> marks; // uid -> lat, lon

  static TShown Of(TMonitorMainWin &w) {
    TShown s;
    s.rows = w.Objects()->rowCount();
    for (TObjectInfo *oi : w.Objects()->Objects())
      if (TMapMark *m = w.MarkOf(oi)) s.marks.push_back({oi->uid, {m->Coord.Lat, m->Coord.Long}});
    return s;
  }
  bool operator==(const TShown &) const = default;
};

} // namespace

class FaultMatrixTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

  SimServer &Sim() { return fDesk->Sim(); }

  // Short time-outs and a 1 MB reply cap, so that hanging and oversized replies fail quickly.
  TMonitorMainWin &Start(std::vector<std::string> args = {}) {
    args.push_back("http_timeout=2");
    args.push_back("http_connect_timeout=2");
    args.push_back("http_max_reply=1");
    return fDesk->Open(std::move(args));
  }

  void SignIn(TMonitorMainWin &) { QVERIFY(fDesk->SignIn()); }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }

  void cleanup() { fDesk.reset(); }

  // One row per way an object refresh can fail without the request being refused.
  void objectRefreshFaultKeepsTheListAndRecovers_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason"); // what the log must say
    const QString objects = "/api/v1/user/objects:";
    QTest::newRow("server error 500") << objects + "status=500" << "[500]";
    QTest::newRow("proxy error page") << objects + "html" << "[502]";
    QTest::newRow("malformed JSON") << objects + "malformed" << "malformed reply";
    QTest::newRow("truncated JSON") << objects + "truncated" << "malformed reply";
    QTest::newRow("hanging reply") << objects + "hang" << "timed out";
    QTest::newRow("dropped connection") << objects + "drop" << "Empty reply from server";
    QTest::newRow("connection cut") << objects + "cut" << "transfer closed";
    QTest::newRow("oversized reply") << objects + "oversized=2" << "reply too large";
  }

  void objectRefreshFaultKeepsTheListAndRecovers() {
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    TMonitorMainWin &w = Start();
    SignIn(w);
    const TShown before = TShown::Of(w);
    QVERIFY(before.rows > 0 && !before.marks.empty());

    Sim().Advance(600); // the objects move: a refresh that got through would move the marks
    Prompt::StartScript();
    Sim().AddFault(Fault(fault.toStdString()));
    w.UpdateObjects();
    QVERIFY(w.IsLoggedIn());
    QVERIFY(TShown::Of(w) == before);
    QVERIFY(w.UpdateTimer()->isActive()); // the next tick tries again
    const QString log = LogText(w);
    QVERIFY2(log.contains(reason, Qt::CaseInsensitive), qPrintable(log.right(600)));
    QVERIFY(Prompt::Asked().empty()); // no login dialog for a passing fault

    Sim().ClearFaults();
    w.UpdateObjects();
    QCOMPARE(w.Client().ResultCode(), 200);
    const TShown after = TShown::Of(w);
    QCOMPARE(after.rows, before.rows);
    QVERIFY(after.marks != before.marks);
  }

  void refusedConnectionDuringARefreshKeepsTheListAndRecovers() {
    TMonitorMainWin &w = Start();
    SignIn(w);
    const TShown before = TShown::Of(w);
    Sim().Stop(); // the service goes away; its port refuses
    Sim().Advance(600);
    w.UpdateObjects();
    QVERIFY(w.IsLoggedIn());
    QVERIFY(TShown::Of(w) == before);
    QVERIFY2(LogText(w).contains("Couldn't connect", Qt::CaseInsensitive), qPrintable(LogText(w).right(600)));

    QVERIFY(Sim().Start()); // the same service on the same port, with its tokens
    w.UpdateObjects();
    QCOMPARE(w.Client().ResultCode(), 200);
    QVERIFY(TShown::Of(w).marks != before.marks);
  }

  void serviceDownAtStartSignsInOnceItIsBack() {
    Sim().Stop();
    TMonitorMainWin &w = Start();
    Prompt::StartScript({SignInAnswer()});
    w.Login(true);
    QVERIFY(!w.IsLoggedIn());
    QVERIFY2(LogText(w).contains("Couldn't connect", Qt::CaseInsensitive), qPrintable(LogText(w).right(600)));
    QCOMPARE(w.Objects()->rowCount(), 0);

    // The login timer brings the dialog back; the auto sign-in then gets through.
    QVERIFY(Sim().Start());
    Prompt::AddAnswer(SignInAnswer());
    QTRY_VERIFY_WITH_TIMEOUT(w.IsLoggedIn(), 20000);
    QTRY_VERIFY(w.Objects()->rowCount() > 0);
  }

  void expiredTokenAsksToSignInAgainAndKeepsTheTicks() {
    TMonitorMainWin &w = Start();
    SignIn(w);
    const TShown before = TShown::Of(w);
    Sim().AddFault(Fault("/api/v1/user/objects:expire,times=1"));
    Prompt::StartScript({SignInAnswer()});
    w.UpdateObjects();
    QCOMPARE(int(Prompt::Asked().size()), 1);
    QVERIFY(w.IsLoggedIn());
    const TShown after = TShown::Of(w);
    QCOMPARE(after.rows, before.rows);
    QCOMPARE(after.marks.size(), before.marks.size()); // the same objects ticked as before
  }

  // Whatever goes wrong, the password is in no file the program writes: not in the settings
  // (with "Remember me"), not in the log file, not in an error text.
  void thePasswordIsInNoFileTheProgramWrites() {
    const std::string password = "Pw-9f3k-zz!";
    Sim().WithWorld([&](sim::TSimWorld &world) {
      world.FindUser("demo")->password = password;
      return 0;
    });
    TMonitorMainWin &w = Start({"log_file=" + fDesk->Dir() + "monitor.log"});
    QVariantMap wrong = SignInAnswer();
    wrong["PassEdit"] = "Wrong-" + QString::fromStdString(password);
    QVariantMap right = SignInAnswer();
    right["PassEdit"] = QString::fromStdString(password);
    right["CbRememberMe"] = true;
    Prompt::StartScript({wrong, int(QMessageBox::No), right});
    w.Login(false);
    w.Login(false);
    QVERIFY(w.IsLoggedIn());
    Sim().AddFault(Fault("/api/v1/user/objects:malformed,times=1"));
    w.UpdateObjects();
    w.close();
    int files = 0;
    for (const auto &e : std::filesystem::recursive_directory_iterator(fDesk->Dir())) {
      if (!e.is_regular_file()) continue;
      ++files;
      const std::string bytes = ReadAsString(e.path().string());
      QVERIFY2(bytes.find(password) == std::string::npos, e.path().c_str());
    }
    QVERIFY(files >= 2); // the settings and the log at least
  }

  void eventsFaultKeepsTheEventsAndRecovers_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("malformed JSON") << "/api/v1/user/events:malformed" << "malformed reply";
    QTest::newRow("truncated JSON") << "/api/v1/user/events:truncated" << "malformed reply";
    QTest::newRow("server error") << "/api/v1/user/events:status=503" << "503";
  }

  void eventsFaultKeepsTheEventsAndRecovers() {
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    TMonitorMainWin &w = Start();
    SignIn(w);
    // The days before the service's "now", where the demo world has events.
    const TDateTime dt1 = std::floor(w.Client().DisplayNow()) - 3, dt2 = dt1 + 5;
    w.LoadEvents(dt1, dt2);
    const std::size_t events = w.Client().EventList().size();
    QVERIFY(events > 0);
    Sim().ClearRequests();
    Sim().AddFault(Fault(fault.toStdString()));
    w.LoadEvents(dt1, dt2);
    // The refresh was asked for (the map's tiles come from the service too; the service logs a
    // request once its reply went out).
    QTRY_VERIFY(!fDesk->RequestsTo("/api/v1/user/events").empty());
    QCOMPARE(w.Client().EventList().size(), events);
    QVERIFY2(LogText(w).contains(reason, Qt::CaseInsensitive), qPrintable(LogText(w).right(600)));
    QVERIFY(w.IsLoggedIn());
    Sim().ClearFaults();
    w.LoadEvents(dt1, dt2);
    QCOMPARE(w.Client().ResultCode(), 200);
    QCOMPARE(w.Client().EventList().size(), events);
  }

  // A track the user asks for through the tracks panel: the tracks already there stay, the
  // message panel says why the new one did not come, and the next request works.
  void trackFaultKeepsTheTracksAndRecovers_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason"); // what the log and the message panel must say
    const QString track = "/api/v1/object/*/track:";
    QTest::newRow("malformed JSON") << track + "malformed" << "malformed reply";
    QTest::newRow("truncated JSON") << track + "truncated" << "malformed reply";
    QTest::newRow("server error 500") << track + "status=500" << "[500]";
    QTest::newRow("hanging reply") << track + "hang" << "timed out";
  }

  void trackFaultKeepsTheTracksAndRecovers() {
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    TMonitorMainWin &w = Start();
    SignIn(w);
    TTracksPanel *tracks = w.Tracks();
    QVERIFY(tracks);
    const int uid = w.Objects()->Objects().front()->uid;
    // The days before the service's "now", where the demo world has driven.
    const TDateTime d1 = std::floor(w.Client().DisplayNow()) - 3, d2 = d1 + 5;
    QVERIFY2(tracks->RequestTrack(uid, "first", d1, d2, 0), qPrintable(LogText(w).right(900)));
    QCOMPARE(tracks->Model()->rowCount(), 1);
    const TGeoTrack *first = tracks->Model()->At(0);
    const std::size_t points = first->Points().size();
    QVERIFY(points > 0);

    Prompt::StartScript(); // no dialog may come up
    Sim().AddFault(Fault(fault.toStdString()));
    QVERIFY(!tracks->RequestTrack(uid, "second", d1, d2, 0));
    QVERIFY(Prompt::Asked().empty());
    QVERIFY(w.IsLoggedIn());
    QCOMPARE(tracks->Model()->rowCount(), 1);
    QCOMPARE(tracks->Model()->At(0), first);
    QCOMPARE(first->Points().size(), points);
    QCOMPARE(w.Map()->GeoTracks().size(), std::size_t(1));
    const QString log = LogText(w);
    QVERIFY2(log.contains(reason, Qt::CaseInsensitive), qPrintable(log.right(600)));
    QVERIFY2(w.MsgLabel()->text().contains(reason, Qt::CaseInsensitive),
             qPrintable(w.MsgLabel()->text()));

    Sim().ClearFaults();
    QVERIFY(tracks->RequestTrack(uid, "third", d1, d2, 0));
    QCOMPARE(w.Client().ResultCode(), 200);
    QCOMPARE(tracks->Model()->rowCount(), 2);
    QCOMPARE(tracks->Model()->At(1)->Points().size(), points);
  }

  // Tiles that fail leave their placeholder, say why once in the log, and are asked for again
  // by the next repaint once the tile server is well.
  void tileFaultsLeaveThePlaceholderAndRecover_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("404") << "/tiles/*:status=404" << "HTTP error: 404";
    QTest::newRow("truncated PNG") << "/tiles/*:truncated" << "Tile ";
    QTest::newRow("not a PNG") << "/tiles/*:html" << "HTTP error: 502";
    QTest::newRow("not a picture") << "/tiles/*:malformed" << "Tile ";
  }

  void tileFaultsLeaveThePlaceholderAndRecover() {
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    Sim().AddFault(Fault(fault.toStdString()));
    TMonitorMainWin &w = Start({"map_cache_max_age=30"});
    TLumMapControl *map = w.Map();
    map->resize(300, 200);
    map->SetZoom(3);
    map->grab();
    QTRY_VERIFY_WITH_TIMEOUT(LogText(w).contains(reason), 20000);
    const QString log = LogText(w);
    QVERIFY2(log.contains(" x: "), qPrintable(log.right(600)));
    QCOMPARE(map->TileStorage().BmpCache().Count(), std::size_t(0));
    // One line for many failed tiles with the same reason.
    QVERIFY(log.count("Tile ") < 4);

    // Failed tiles are asked for again after a pause, without anyone touching the map.
    Sim().ClearFaults();
    QTRY_VERIFY_WITH_TIMEOUT(map->TileStorage().BmpCache().Count() > 0, 30000);
  }
};

KELVRA_UI_TEST_RUN(FaultMatrixTest, [](int argc, char **argv) {
  TMonitorApp app(argc, argv);
  FaultMatrixTest tc;
  return QTest::qExec(&tc, argc, argv);
})

#include "FaultMatrixTest.moc"
