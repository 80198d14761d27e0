// A session that heals itself, against the whole program: the service away and back, a failed
// first load, a refresh that hangs, an object created elsewhere. The list stays, no password is
// asked for a passing fault, timer-driven work never blocks the window, and the status bar says
// what is going on.

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTimeZone>
#include <QTimer>
#include <QtTest>

#include "UiTests.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
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
using test::Answer;
using test::Fault;

namespace {

// A short update period (the longest pause between tries) and short time-outs, so that tries
// come quickly; every wait below is for a condition, with a generous limit.
std::vector<std::string> QuickArgs(std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"update_period=2", "http_timeout=3", "http_connect_timeout=2"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// kelvra-sim as a process of its own, keeping its sign-ins in a state file across a restart, as
// a real service keeps its tokens.
class TSimProcess {
public:
  explicit TSimProcess(std::string stateFile) : fState(std::move(stateFile)) {}
  ~TSimProcess() { Stop(); }

  // Starts on port (0: a free one); true once it listens.
  bool Start(int port) {
    fProcess.start(QCoreApplication::applicationDirPath() + "/kelvra-sim",
                   {"--port", QString::number(port), "--state", QString::fromStdString(fState),
                    "--quiet"});
    if (!fProcess.waitForStarted(60000)) return false;
    // The first line of its output is the port, printed once it listens.
    while (!fProcess.canReadLine())
      if (!fProcess.waitForReadyRead(60000)) return false;
    fPort = fProcess.readLine().trimmed().toInt();
    return fPort > 0;
  }
  // Stops it the normal way (SIGTERM), so that it writes its state file; true when it ended well.
  bool Stop() {
    if (fProcess.state() == QProcess::NotRunning) return true;
    fProcess.terminate();
    return fProcess.waitForFinished(60000) && fProcess.exitStatus() == QProcess::NormalExit &&
           fProcess.exitCode() == 0;
  }
  int Port() const { return fPort; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(fPort); }

private:
  std::string fState;
  QProcess fProcess;
  int fPort = 0;
};

// Cancels a wait for the service as the busy window's Cancel does: the first one that runs once
// due() is true.
class TCancelWait : public QObject {
public:
  explicit TCancelWait(std::function<bool()> due) : fDue(std::move(due)) {
    fTimer.setInterval(10);
    QObject::connect(&fTimer, &QTimer::timeout, this, [this] {
      if (!BusyRunning() || !fDue()) return;
      CancelBusy();
      fTimer.stop();
      fDone = true;
    });
    fTimer.start();
  }
  bool Done() const { return fDone; }

private:
  std::function<bool()> fDue;
  QTimer fTimer;
  bool fDone = false;
};

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
    // A display clock other than this computer's: the status bar's time is on it.
    const char *zone = "Asia/Kolkata"; // +05:30, so that minutes differ too
    TMonitorMainWin &w = fDesk->Start(false, QuickArgs({std::string("time_zone=") + zone}));
    TMonitorSession &s = *w.Session();
    const int rows = w.Objects()->rowCount();
    QVERIFY(rows > 0);
    QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_online"));

    Prompt::StartScript(); // no dialog may come up from here
    fDesk->Sim().Stop();
    s.Refresh();
    QTRY_VERIFY_WITH_TIMEOUT(!s.Health().Online(), 20000);
    const QString away = s.StatusLabel()->text();
    const QString since = QDateTime::fromSecsSinceEpoch(s.Health().Since(), QTimeZone(zone)).toString("HH:mm");
    QVERIFY2(away.startsWith("Service unreachable since " + since + ": retrying in "),
             qPrintable(away + " / " + since));
    QCOMPARE(w.Objects()->rowCount(), rows);
    QVERIFY(w.IsLoggedIn());

    QVERIFY(fDesk->Sim().Start()); // the same service on the same port, with its sign-ins
    QTRY_VERIFY_WITH_TIMEOUT(s.Health().Online(), 30000);
    QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_online"));
    QCOMPARE(w.Objects()->rowCount(), rows);
    QVERIFY(Prompt::Asked().empty());
    QVERIFY(fDesk->LogText().contains("Service reachable again"));
  }

  // kelvra-sim, a process of its own with --state, stopped and started again on the same port
  // during a session: the status bar says it is away, the list stays, no password is asked, and
  // it is "Online" again at the first try after the restart, the pause between tries never
  // longer than the update period.
  void serviceProcessRestartedWithItsStateKeepsTheSession() {
    TSimProcess sim(fDesk->Dir() + "sim.state");
    QVERIFY(sim.Start(0));
    fDesk->SetServer(sim.BaseUrl());
    TMonitorMainWin &w = fDesk->Start(
        false, QuickArgs({"update_period=4"}));
    TMonitorSession &s = *w.Session();
    QVERIFY(w.IsLoggedIn());
    const int rows = w.Objects()->rowCount();
    QVERIFY(rows > 0);
    QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_online"));
    const QString log0 = fDesk->LogText();

    Prompt::StartScript(); // no dialog may come up from here
    QVERIFY(sim.Stop());
    QVERIFY(std::filesystem::exists(fDesk->Dir() + "sim.state"));
    // Several tries fail while it is away (the update timer's tick, then the retries).
    QTRY_VERIFY_WITH_TIMEOUT(s.Health().Failures() >= 3, 60000);
    const QString away = s.StatusLabel()->text();
    QVERIFY2(away.startsWith("Service unreachable since "), qPrintable(away));
    QVERIFY(s.Health().SecondsToNextTry(std::time(nullptr)) <= s.Health().UpdatePeriod());
    QCOMPARE(w.Objects()->rowCount(), rows);
    QVERIFY(w.IsLoggedIn());

    QVERIFY(sim.Start(sim.Port())); // a new process: it knows the sign-in from its state file
    QTRY_VERIFY_WITH_TIMEOUT(s.Health().Online(), 60000);
    QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_online"));
    QCOMPARE(w.Objects()->rowCount(), rows);
    QVERIFY(w.IsLoggedIn());
    QVERIFY(Prompt::Asked().empty());
    const QString log = fDesk->LogText();
    QVERIFY(log.contains("Service reachable again"));
    QVERIFY2(!log.contains("Sign in again"), qPrintable(log.right(800)));
  }

  // The service refuses the token during the update cycle while the user has a window of their
  // own open: the login dialog does not come up over it, but once it is closed, with the
  // user's name filled; signed in again, the list is as it was.
  void refusedTokenWaitsForTheUsersWindow() {
    TMonitorMainWin &w = fDesk->Start(false, QuickArgs());
    w.UpdateTimer()->stop();
    TMonitorSession &s = *w.Session();
    const int rows = w.Objects()->rowCount();
    QVERIFY(rows > 0);
    auto loginTicks = std::make_shared<int>(0);
    connect(s.LoginTimer(), &QTimer::timeout, s.LoginTimer(), [loginTicks] { ++*loginTicks; });
    bool looked = false;
    const Prompt::TDialogProbe whileOpen = [&](QDialog *) {
      fDesk->Sim().AddFault(Fault("/api/v1/user/objects:expire,times=1"));
      s.Refresh(); // the update timer's tick
      QTRY_VERIFY_WITH_TIMEOUT(!s.Refreshing(), 30000);
      QVERIFY(s.SignInDue());
      // The login timer comes and goes without asking while the window is open.
      QTRY_VERIFY_WITH_TIMEOUT(*loginTicks >= 2, 30000);
      QCOMPARE(int(Prompt::Asked().size()), 1);
      QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_sign_in_again"));
      QCOMPARE(w.Objects()->rowCount(), rows);
      looked = true;
    };
    Prompt::StartScript({QVariantList{QVariant::fromValue(whileOpen), Answer({{"click", "ButCancel"}})},
                         Answer({{"PassEdit", "demo"}, {"click", "ButSignIn"}})});
    w.EditSettings(); // the user's window
    QVERIFY(looked);
    QCOMPARE(Prompt::Asked().front().caption, QString("SettingsEditForm"));
    QTRY_VERIFY_WITH_TIMEOUT(Prompt::Asked().size() == 2, 30000);
    QCOMPARE(Prompt::Asked()[1].caption, QString("LoginForm"));
    QTRY_VERIFY_WITH_TIMEOUT(w.IsLoggedIn() && s.Health().Online(), 30000);
    QVERIFY(!s.SignInDue());
    QCOMPARE(w.Objects()->rowCount(), rows);
    QVERIFY(w.UpdateTimer()->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(s.StatusLabel()->text(), FormString(&w, "status_online"), 30000);
  }

  // The user cancels a wait for the service (the first load, a refresh asked with F5): that is
  // no fault of the service. The status bar does not say it is unreachable, and a first load
  // that did not come is asked for again.
  void userCancelIsNoFaultOfTheService_data() {
    QTest::addColumn<bool>("firstLoad");
    QTest::newRow("first load") << true;
    QTest::newRow("refresh asked for") << false;
  }

  void userCancelIsNoFaultOfTheService() {
    QFETCH(bool, firstLoad);
    // The wait for the object list: the window logs what it asks for right before it asks.
    const QString asked = firstLoad ? "Load objects: " : "Update objects: ";
    std::unique_ptr<TCancelWait> cancel;
    int askedBefore = 0;
    auto objectsAsked = [&] { return fDesk->LogText().count(asked) > askedBefore; };
    if (firstLoad) {
      fDesk->Sim().AddFault(Fault("/api/v1/user/objects:hang,times=1"));
      cancel = std::make_unique<TCancelWait>(objectsAsked);
    }
    TMonitorMainWin &w = fDesk->Start(false, QuickArgs({"http_timeout=30"}));
    TMonitorSession &s = *w.Session();
    QVERIFY(w.IsLoggedIn());
    const int rows = w.Objects()->rowCount();
    QCOMPARE(rows > 0, !firstLoad);
    if (!firstLoad) {
      w.UpdateTimer()->stop();
      QTRY_VERIFY_WITH_TIMEOUT(!s.Refreshing(), 30000);
      askedBefore = int(fDesk->LogText().count(asked));
      fDesk->Sim().AddFault(Fault("/api/v1/user/objects:hang,times=1"));
      cancel = std::make_unique<TCancelWait>(objectsAsked);
      w.UpdateObjects(); // F5
    }
    QVERIFY(cancel->Done());
    const QString log = fDesk->LogText();
    QVERIFY2(log.contains(firstLoad ? "Load objects: cancelled" : "Update objects: cancelled"),
             qPrintable(log.right(800)));
    QVERIFY(s.Health().Online());
    QVERIFY2(!s.StatusLabel()->text().contains("unreachable"), qPrintable(s.StatusLabel()->text()));
    QVERIFY(w.IsLoggedIn());
    QCOMPARE(w.Objects()->rowCount(), rows);
    if (firstLoad) { // asked for again by itself, after one update period
      Prompt::StartScript();
      QTRY_VERIFY_WITH_TIMEOUT(w.Objects()->rowCount() > 0, 120000);
      QVERIFY(Prompt::Asked().empty());
    } else {
      QCOMPARE(s.StatusLabel()->text(), FormString(&w, "status_online"));
    }
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
