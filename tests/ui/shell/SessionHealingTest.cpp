// A session that heals itself, against the whole program: the service away and back, a failed
// first load, a refresh that hangs, an object created elsewhere. The list stays, no password is
// asked for a passing fault, timer-driven work never blocks the window, and the status bar says
// what is going on.

#include <QApplication>
#include <QLabel>
#include <QtTest>

#include "UiTests.h"

#include <cmath>
#include <memory>

#include "core/util/LumHash.h"
#include "sim/SimWorld.h"
#include "ui/events/AlarmNotify.h"
#include "support/SignedInDesk.h"
#include "ui/shell/MonitorApp.h"
#include "ui/shell/MonitorSession.h"
#include "ui/zones/ZonesPanel.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;
using test::Fault;

namespace {

// A short update period (the longest pause between tries) and short time-outs, so that tries
// come quickly; every wait below is for a condition, with a generous limit.
std::vector<std::string> QuickArgs() {
  return {"update_period=2", "http_timeout=3", "http_connect_timeout=2"};
}

} // namespace

class SessionHealingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }
  void cleanup() { fDesk.reset(); }

  void serviceAwayAndBackKeepsTheListAndAsksNoPassword() {
    TMonitorMainWin &w = fDesk->Start(false, QuickArgs());
    TMonitorSession &s = *w.Session();
    const int rows = w.Objects()->rowCount();
    QVERIFY(rows > 0);
    QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_online"));

    Prompt::StartScript(); // no dialog may come up from here
    fDesk->Sim().Stop();
    s.Refresh();
    QTRY_VERIFY_WITH_TIMEOUT(!s.Health().Online(), 20000);
    const QString away = s.StatusLabel()->text();
    QVERIFY2(away.startsWith("Service unreachable since ") && away.contains(": retrying in "),
             qPrintable(away));
    QCOMPARE(w.Objects()->rowCount(), rows);
    QVERIFY(w.IsLoggedIn());

    QVERIFY(fDesk->Sim().Start()); // the same service on the same port, with its sign-ins
    QTRY_VERIFY_WITH_TIMEOUT(s.Health().Online(), 30000);
    QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_online"));
    QCOMPARE(w.Objects()->rowCount(), rows);
    QVERIFY(Prompt::Asked().empty());
    QVERIFY(fDesk->LogText().contains("Service reachable again"));
  }

  void failedFirstLoadIsTriedAgainUntilItComes_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("bad gateway") << "/api/v1/user/objects:status=502,times=1";
    QTest::newRow("busy, come back later") << "/api/v1/user/objects:status=429,times=2";
    QTest::newRow("malformed list") << "/api/v1/user/objects:malformed,times=1";
  }

  void failedFirstLoadIsTriedAgainUntilItComes() {
    QFETCH(QString, fault);
    fDesk->Sim().AddFault(Fault(fault.toStdString()));
    TMonitorMainWin &w = fDesk->Start(false, QuickArgs());
    QVERIFY(w.IsLoggedIn());
    Prompt::StartScript(); // no password asked again
    QTRY_VERIFY_WITH_TIMEOUT(w.Objects()->rowCount() > 0, 30000);
    QVERIFY(Prompt::Asked().empty());
    QVERIFY(w.Session()->Health().Online());
    QVERIFY(w.Session()->Loaded());
    QVERIFY(w.ZonesPanel()->Model()->rowCount() > 0); // the panels came with the list
    QVERIFY(w.UpdateTimer()->isActive());
  }

  void hangingRefreshLeavesTheWindowFree() {
    // A time-out well beyond the wait below: a busy machine still finds the request hanging.
    TMonitorMainWin &w = fDesk->Start(true, {"update_period=2", "http_timeout=10"});
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.UpdateTimer()->stop(); // the refresh below is the timer's tick
    QVERIFY(w.Objects()->rowCount() > 2);
    const QModelIndex first = w.ObjList()->model()->index(0, 0);
    const QModelIndex other = w.ObjList()->model()->index(1, 0);
    w.ObjList()->setCurrentIndex(first);
    const TObjectInfo *before = w.SelectedObject();

    fDesk->Sim().AddFault(Fault("/api/v1/user/objects:hang,times=1"));
    w.Session()->Refresh();
    QVERIFY(w.Session()->Refreshing());
    QTest::qWait(kBusyDelayMs + 300); // past the moment a busy window would come up
    QVERIFY(w.Session()->Refreshing()); // still hanging
    QVERIFY(!CurrentBusyIndicator());
    QVERIFY(!QApplication::activeModalWidget());
    // A click on another object selects it at once.
    const QRect r = w.ObjList()->visualRect(other);
    QTest::mouseClick(w.ObjList()->viewport(), Qt::LeftButton, {}, r.center());
    QVERIFY(w.SelectedObject() != before);
    QCOMPARE(w.ObjList()->currentIndex().row(), other.row());

    // The hang ends as a passing fault, and the next try gets through.
    QTRY_VERIFY_WITH_TIMEOUT(!w.Session()->Refreshing(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(w.Session()->Health().Online(), 30000);
    QVERIFY(w.IsLoggedIn());
  }

  void signingOutDropsTheRefreshOnItsWay() {
    // Signing out saves the token store's change, which runs an event loop: a refresh that was on
    // its way must not land in it (it brought the alarms of the sign-in that ended back).
    TMonitorMainWin &w = fDesk->Start(false, {"http_timeout=30"});
    w.UpdateTimer()->stop();
    QVERIFY(w.Objects()->rowCount() > 0);
    fDesk->Sim().AddFault(Fault("/api/v1/user/objects:hang,times=1"));
    w.Session()->Refresh();
    QVERIFY(w.Session()->Refreshing());
    w.Logout();
    QVERIFY(!w.Session()->Refreshing());
    QCOMPARE(w.Objects()->rowCount(), 0);
    QCOMPARE(w.Notify()->OpenCount(), 0);
    // Whatever the dropped request's worker posts later applies nothing.
    QCoreApplication::processEvents();
    QCOMPARE(w.Objects()->rowCount(), 0);
    QVERIFY(!w.IsLoggedIn());
  }

  void aTimedSignInDueAtSignOutSignsNobodyIn() {
    TMonitorMainWin &w = fDesk->Start();
    QVERIFY(w.Objects()->rowCount() > 0);
    // Signed in before the window showed: the timed sign-in of its showing finds nothing to do.
    fDesk->Sim().ClearRequests();
    w.LoginTimer()->start(0);
    QTRY_VERIFY(!w.LoginTimer()->isActive());
    QCoreApplication::processEvents();
    for (const TSimRequest &r : fDesk->Sim().Requests())
      QVERIFY2(r.path != "/api/v1/user/objects", "the list was loaded again");
    // Due while the user signs out, it must not sign the old token in again in the event loop
    // the sign-out runs (the list, its alarms and the map came back).
    w.LoginTimer()->start(0);
    w.Logout();
    w.LoginTimer()->stop(); // the login dialog a sign-out brings is not this test's
    w.LoginTimer()->setInterval(500);
    QVERIFY(!w.IsLoggedIn());
    QCOMPARE(w.Objects()->rowCount(), 0);
    QCOMPARE(w.Notify()->OpenCount(), 0);
  }

  void objectCreatedElsewhereAppearsWithinOneRefresh() {
    TMonitorMainWin &w = fDesk->Start(false, QuickArgs());
    w.UpdateTimer()->stop();
    const int rows = w.Objects()->rowCount();
    const TObjectInfo *selected = w.SelectedObject();
    QVERIFY(selected);

    TKelvraClient other(fDesk->Sim().BaseUrl(), "", "");
    QVERIFY(other.Login("demo", "demo"));
    TLumHash fields;
    fields.SetVal("id", "NEW-4242");
    fields.SetVal("name", "Newcomer");
    const int uid = other.CreateObject(fields);
    QVERIFY(uid > 0);

    w.Session()->Refresh();
    QTRY_VERIFY_WITH_TIMEOUT(!w.Session()->Refreshing(), 30000);
    QVERIFY2(w.Objects()->IndexOf(uid).isValid(), qPrintable(fDesk->LogText().right(800)));
    QCOMPARE(w.Objects()->rowCount(), rows + 1);
    QCOMPARE(w.SelectedObject(), selected); // the selection stays
    QVERIFY(fDesk->LogText().contains("New object: " + QString::number(uid)));
  }

  void signOutForgetsTheTrips() {
    TMonitorMainWin &w = fDesk->Start();
    const TDateTime now = w.Client().DisplayNow();
    QVERIFY(w.Client().GetTrips(now - 30, now + 1) >= 0);
    if (w.Client().TripList().empty()) QSKIP("the demo world has no trips in the period");
    w.Logout();
    QVERIFY(w.Client().TripList().empty());
  }
};

KELVRA_UI_TEST_RUN(SessionHealingTest, [](int argc, char **argv) {
  TMonitorApp app(argc, argv);
  SessionHealingTest tc;
  return QTest::qExec(&tc, argc, argv);
})

#include "SessionHealingTest.moc"
