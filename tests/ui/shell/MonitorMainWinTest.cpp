// The main window against an in-process kelvra-sim: sign-in paths with scripted answers, the
// object list, refreshes, sign-out, layout limits, styles, the tile cache clean-up, escaped
// exceptions and the busy indicator of a hanging request.

#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <memory>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/model/ObjectInfo.h"
#include "sim/SimServer.h"
#include "sim/SimUtil.h"
#include "support/SignedInDesk.h"
#include "support/TempDir.h"
#include "ui/shell/MonitorApp.h"
#include "ui/map/LumMapControl.h"
#include "ui/events/EventsModel.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/reports/TrackGraphPane.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/shell/Styles.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;
using test::Answer;
using test::LogText;
using test::SignInAnswer;

namespace {

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
  int count = 0;
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint) ++count;
    return false;
  }
};

} // namespace

class MonitorMainWinTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

  SimServer &Sim() { return fDesk->Sim(); }

  // Init with the program placed in the temporary folder (its settings file lives there), then
  // the window. Settings written before may be given as [section, key, value] rows.
  TMonitorMainWin &Start(std::vector<std::string> args = {},
                         std::vector<std::array<std::string, 3>> ini = {}) {
    return fDesk->Open(std::move(args), ini);
  }

  // Ends the window and the globals as the program does at its end.
  void Stop() { fDesk->Stop(); }

  void SignIn(TMonitorMainWin &, bool remember = false) { QVERIFY(fDesk->SignIn(remember)); }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }

  void cleanup() { fDesk.reset(); }

  void savedTokenRejectedLeadsStraightToTheLoginDialog() {
    TMonitorMainWin &w = Start({}, {{"Login", "Token", "no-such-token"}});
    Prompt::StartScript(); // the login dialog is cancelled
    w.Login(true);
    const QString log = LogText(w);
    QVERIFY(log.contains("API token provided"));
    QVERIFY(log.indexOf("Load objects: ") > log.indexOf("API token provided"));
    QVERIFY(log.contains("  -> -1"));
    // Nothing was asked between the refused token and the login dialog.
    QCOMPARE(int(Prompt::Asked().size()), 1);
    QCOMPARE(Prompt::Asked()[0].kind, Prompt::TKind::Dialog);
    QCOMPARE(Prompt::Asked()[0].caption, QString("LoginForm"));
    QVERIFY(!w.IsLoggedIn());
    QCOMPARE(w.Objects()->rowCount(), 0);
  }

  void signInWithRememberMeStoresTheToken() {
    TMonitorMainWin &w = Start();
    SignIn(w, true);
    const std::string token = w.Client().Token();
    QVERIFY(!token.empty());
    QCOMPARE(IniFile->ReadString("Login", "Token", ""), token);
    const QString log = LogText(w);
    QVERIFY(log.contains("Login(demo,***): success"));
    QVERIFY(!log.contains("demo,demo"));
    QVERIFY(w.Objects()->rowCount() > 0);
    QVERIFY(w.UpdateTimer()->isActive());
    QVERIFY(w.MsgPanel()->isVisibleTo(&w));
    QVERIFY(w.MsgLabel()->text().startsWith("Hello, Demo User"));

    // Without "Remember me" nothing is stored.
    Stop();
    TMonitorMainWin &w2 = Start({}, {{"Login", "Token", ""}});
    SignIn(w2, false);
    QCOMPARE(IniFile->ReadString("Login", "Token", ""), std::string());
  }

  void wrongPasswordOffersRecovery() {
    TMonitorMainWin &w = Start();
    Prompt::StartScript({SignInAnswer("demo", "wrong"), int(QMessageBox::Yes),
                         Answer({{"EdEmail", "demo@example.com"}, {"click", "ButSignUp"}}),
                         int(QMessageBox::Ok)});
    w.Login(true);
    const auto &asked = Prompt::Asked();
    QCOMPARE(int(asked.size()), 4);
    QCOMPARE(asked[1].kind, Prompt::TKind::Message);
    QCOMPARE(asked[1].text, FormString(&w, "login_error"));
    QCOMPARE(asked[2].caption, QString("SignupForm"));
    QCOMPARE(asked[2].text, QString("Password recovery")); // the dialog in recovery mode
    QCOMPARE(asked[3].caption, FormString(&w, "recovery"));
    QVERIFY(LogText(w).contains("Login(demo,***): error"));
    QVERIFY(LogText(w).contains("Try recovery (demo@example.com) ..."));
    QCOMPARE(IniFile->ReadString("Login", "user", ""), std::string("demo@example.com"));
    QVERIFY(w.LoginTimer()->isActive());
    QVERIFY(!w.IsLoggedIn());
  }

  void registrationOfATakenAddressOffersRecovery() {
    TMonitorMainWin &w = Start();
    Prompt::StartScript({Answer({{"EdEmail", "alice@example.com"}, {"click", "ButSignUp"}}),
                         int(QMessageBox::Yes), int(QMessageBox::Ok)});
    w.SignUp(false);
    const auto &asked = Prompt::Asked();
    QCOMPARE(int(asked.size()), 3);
    QCOMPARE(asked[0].text, QString("Kelvra Registration"));
    QCOMPARE(asked[1].text, FormString(&w, "signup_user_exists", {"alice@example.com"}));
    QCOMPARE(asked[2].text, FormString(&w, "recovery_success", {"alice@example.com"}));
    QVERIFY(LogText(w).contains("Try register (alice@example.com) ..."));
    QVERIFY(LogText(w).contains("  -> 409 error"));
    QVERIFY(w.LoginTimer()->isActive());

    // An address without its at sign inside is never sent.
    Prompt::StartScript({Answer({{"EdEmail", "@example.com"}, {"click", "ButSignUp"}})});
    Sim().ClearRequests();
    w.SignUp(false);
    QVERIFY(Sim().Requests().empty());
  }

  void signOutEmptiesTheListsAndTheToken() {
    TMonitorMainWin &w = Start();
    SignIn(w, true);
    QVERIFY(w.Objects()->rowCount() > 0);
    const int selected = w.SelectedObject()->uid;
    w.Logout();
    QCOMPARE(w.Objects()->rowCount(), 0);
    QCOMPARE(w.Alarms()->rowCount(), 0);
    QVERIFY(!w.IsLoggedIn());
    QVERIFY(w.Client().ObjList().empty());
    QVERIFY(IniFile->ReadString("Login", "Token", "").empty()); // removed, or empty
    QCOMPARE(int(IniFile->ReadInteger("Main", "SelectedUid", 0)), selected);
    QVERIFY(!w.UpdateTimer()->isActive());
    QVERIFY(w.LoginTimer()->isActive());
  }

  void objectsLoadWithTheDeletedGroupAndTheSavedSelection() {
    TMonitorMainWin &w = Start();
    SignIn(w);
    TObjectsModel *m = w.Objects();
    // The group row is last, holds the deleted objects, and has no tick box.
    const QModelIndex group = m->index(m->rowCount() - 1, 0);
    QCOMPARE(m->ObjectAt(group)->name, std::string("Deleted"));
    QCOMPARE(m->ObjectAt(group)->uid, 0);
    QVERIFY(!m->data(group, Qt::CheckStateRole).isValid());
    QVERIFY(m->rowCount(group) >= 1);
    const TObjectInfo *deleted = m->ObjectAt(m->index(0, 0, group));
    QVERIFY(deleted->is_deleted);
    for (int r = 0; r + 1 < m->rowCount(); ++r) {
      QVERIFY(!m->ObjectAt(m->index(r, 0))->is_deleted);
      // Every row has a tick box; a first run ticks the objects that have a position.
      QCOMPARE(m->data(m->index(r, 0), Qt::CheckStateRole).toInt(),
               int(m->ObjectAt(m->index(r, 0))->HasLatLon() ? Qt::Checked : Qt::Unchecked));
      if (r > 0)
        QVERIFY(m->ObjectAt(m->index(r - 1, 0))->name <= m->ObjectAt(m->index(r, 0))->name);
    }
    // Without a saved selection the first row is selected.
    QCOMPARE(w.SelectedObject(), m->ObjectAt(m->index(0, 0)));
    // A saved selection is selected again, also below the group.
    IniFile->WriteInteger("Main", "SelectedUid", deleted->uid);
    const int deletedUid = deleted->uid;
    QVERIFY(w.LoadObjects(0) > 0);
    QCOMPARE(w.SelectedObject()->uid, deletedUid);
    QVERIFY(w.ObjList()->isExpanded(w.Search()->ViewIndex(w.Objects()->Group())));
    // The row text: the name and the time of the last message.
    const QString text = m->data(m->index(0, 0), Qt::DisplayRole).toString();
    QVERIFY(text.contains('\n'));
    QVERIFY(QRegularExpression("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$").match(text).hasMatch());
    // The selection is kept across runs by the close request.
    w.ObjList()->setCurrentIndex(w.Search()->ViewIndex(m->ObjectAt(m->index(1, 0))));
    const int uid = w.SelectedObject()->uid;
    w.close();
    QCOMPARE(int(IniFile->ReadInteger("Main", "SelectedUid", 0)), uid);
  }

  void refreshAnswered401SignsOutAndAsksAgain() {
    TMonitorMainWin &w = Start();
    SignIn(w);
    TFaultRule rule;
    rule.pattern = "/api/v1/user/objects";
    rule.status = 401;
    rule.times = 1;
    Sim().AddFault(rule);
    Prompt::StartScript({SignInAnswer("demo", "demo")});
    w.UpdateObjects();
    QCOMPARE(int(Prompt::Asked().size()), 1);
    QCOMPARE(Prompt::Asked()[0].caption, QString("LoginForm"));
    // Signed in again at once, with a fresh list.
    QVERIFY(w.IsLoggedIn());
    QVERIFY(w.Objects()->rowCount() > 0);
    const QString log = LogText(w);
    QVERIFY(log.lastIndexOf("Login(demo,***): success") > log.indexOf("Update objects: "));
  }

  void tickedObjectsAreMarksThatFollowEveryRefresh() {
    TMonitorMainWin &w = Start();
    SignIn(w);
    TObjectInfo *van = nullptr;
    for (TObjectInfo *oi : w.Objects()->Objects())
      if (oi->HasLatLon() && !oi->is_deleted && !van) van = oi;
    QVERIFY(van);
    // A first run ticks every object with a position: the fleet is on the map at once.
    int placed = 0;
    for (TObjectInfo *oi : w.Objects()->Objects()) {
      const bool shown = oi->HasLatLon() && !oi->is_deleted;
      placed += shown;
      QCOMPARE(w.Objects()->IsChecked(oi), shown);
      QCOMPARE(w.MarkOf(oi) != nullptr, shown);
    }
    QVERIFY(placed > 0);
    QCOMPARE(w.Map()->MapMarks().Count(), placed);
    for (TObjectInfo *oi : w.Objects()->Objects())
      w.Objects()->SetChecked(oi, false);
    QCOMPARE(w.Map()->MapMarks().Count(), 0);
    QVERIFY(w.Objects()->SetChecked(van, true));
    TMapMark *mark = w.MarkOf(van);
    QVERIFY(mark);
    QCOMPARE(mark->Coord.Lat, van->last_point->lat);
    QCOMPARE(mark->Coord.Long, van->last_point->lon);
    QCOMPARE(w.SelectedObject(), van);
    // Ticking again adds no second mark.
    w.ObjListChecking(van, true);
    QCOMPARE(w.Map()->MapMarks().Count(), 1);
    const double lat = van->last_point->lat, lon = van->last_point->lon;

    Sim().Advance(600);
    w.UpdateObjects();
    QVERIFY(van->last_point->lat != lat || van->last_point->lon != lon);
    QCOMPARE(w.MarkOf(van), mark);
    QCOMPARE(mark->Coord.Lat, van->last_point->lat);
    QCOMPARE(mark->Coord.Long, van->last_point->lon);
    QVERIFY(!van->tail.empty()); // the trail grows with the refreshes since the tick

    // A double click centres the map on the ticked object, keeping the zoom.
    const int zoom = w.Map()->Zoom();
    w.CentreOnSelected();
    QCOMPARE(w.Map()->Zoom(), zoom);
    QVERIFY(std::abs(w.Map()->CenterPoint().Lat - van->last_point->lat) < 0.01);
    QVERIFY(std::abs(w.Map()->CenterPoint().Long - van->last_point->lon) < 0.01);

    // Unticking takes the mark off; a reload leaves no mark of the previous rows.
    QVERIFY(w.Objects()->SetChecked(van, false));
    QVERIFY(!w.MarkOf(van));
    QVERIFY(w.Objects()->SetChecked(van, true));
    QVERIFY(w.LoadObjects(0) > 0);
    // The saved ticks come back with the new rows: one mark, bound to a row of this load.
    QCOMPARE(w.Map()->MapMarks().Count(), 1);
    QVERIFY(w.Objects()->IndexOf(van).isValid() && w.MarkOf(van));
    QVERIFY(w.Objects()->SetChecked(van, true));
    w.Logout();
    QCOMPARE(w.Map()->MapMarks().Count(), 0);
  }

  void ticksAreKeptForTheNextRun() {
    TMonitorMainWin &w = Start();
    SignIn(w);
    TObjectInfo *keep = nullptr;
    for (TObjectInfo *oi : w.Objects()->Objects()) {
      if (oi->HasLatLon() && !oi->is_deleted && !keep) {
        keep = oi;
        continue;
      }
      w.Objects()->SetChecked(oi, false);
    }
    QVERIFY(keep);
    const int uid = keep->uid;
    Stop();
    TMonitorMainWin &w2 = Start();
    SignIn(w2);
    QCOMPARE(w2.Map()->MapMarks().Count(), 1);
    for (TObjectInfo *oi : w2.Objects()->Objects())
      QCOMPARE(w2.Objects()->IsChecked(oi), oi->uid == uid);
  }

  void statusMarksOfARenderedRow_data() {
    QTest::addColumn<int>("minutes");
    QTest::addColumn<double>("bat");
    QTest::addColumn<QColor>("age");
    QTest::addColumn<QColor>("battery");
    const QColor green(0, 128, 0), blue(0, 0, 255), grey(128, 128, 128), orange(255, 165, 0),
        red(255, 0, 0), win(Qt::white);
    QTest::newRow("29 min, 75%") << 29 << 75.0 << green << green;
    QTest::newRow("30 min, 74%") << 30 << 74.0 << blue << blue;
    QTest::newRow("59 min, 50%") << 59 << 50.0 << blue << blue;
    QTest::newRow("60 min, 49%") << 60 << 49.0 << grey << orange;
    QTest::newRow("1439 min, 25%") << 1439 << 25.0 << grey << orange;
    QTest::newRow("10 min, 24%") << 10 << 24.0 << green << red;
    QTest::newRow("10 min, 1%") << 10 << 1.0 << green << red;
    QTest::newRow("10 min, 0%") << 10 << 0.0 << green << win;
    QTest::newRow("1440 min, 100%") << 1440 << 100.0 << win << win;
  }

  void statusMarksOfARenderedRow() {
    QFETCH(int, minutes);
    QFETCH(double, bat);
    QFETCH(QColor, age);
    QFETCH(QColor, battery);
    TObjectsDelegate d;
    d.colors = {Qt::white, Qt::black, Qt::white};
    const TDateTime now = 46000.5;
    d.now = [now] { return now; };
    TObjectInfo oi(7);
    oi.name = "Van";
    oi.last_point->sys_dt = now - minutes / 1440.0;
    oi.last_point->bat = bat;
    QImage img(200, 40, QImage::Format_ARGB32);
    img.fill(Qt::white);
    {
      QPainter p(&img);
      d.PaintMarks(&p, img.rect(), oi, false);
    }
    // Inside the age box away from the clock hand, and the right end of the battery body.
    QCOMPARE(img.pixelColor(184, 35), age);
    QCOMPARE(img.pixelColor(195, 10), battery);
    QCOMPARE(img.pixelColor(182, 10), QColor(Qt::black)); // the battery's outline
  }

  void alarmAndTripBarsOfARenderedRow() {
    TObjectsDelegate d;
    d.colors = {Qt::white, Qt::black, Qt::white};
    d.now = [] { return 46000.5; };
    TObjectInfo oi(7);
    oi.last_point->sys_dt = 46000.4;
    oi.last_point->bat = 80;
    oi.alarms.push_back(std::make_unique<TEventInfo>(1, 7));
    oi.trip_id = 3;
    oi.trip_status = 1;
    QImage img(200, 40, QImage::Format_ARGB32);
    img.fill(Qt::white);
    {
      QPainter p(&img);
      d.PaintMarks(&p, img.rect(), oi, false);
    }
    QCOMPARE(img.pixelColor(1, 20), QColor(Qt::red));
    QCOMPARE(img.pixelColor(5, 20), QColor(0, 0, 128));
    oi.trip_status = 2; // finished: no bar
    oi.alarms.clear();
    img.fill(Qt::white);
    {
      QPainter p(&img);
      d.PaintMarks(&p, img.rect(), oi, false);
    }
    QCOMPARE(img.pixelColor(1, 20), QColor(Qt::white));
    QCOMPARE(img.pixelColor(5, 20), QColor(Qt::white));
  }

  void storedLayoutValuesAreRaisedToTheirMinimums() {
    TMonitorMainWin &w = Start({}, {{"Main", "LeftWidth", "100"},
                                    {"Main", "BottomHeight", "40"},
                                    {"Main", "RightWidth", "250"},
                                    {"Main", "Width", "1100"},
                                    {"Main", "Height", "760"}});
    w.show();
    w.LoginTimer()->stop();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.BottomPanel()->height(), 85);
    QCOMPARE(w.LeftPanel()->width(), 172);
    QCOMPARE(w.RightPanel()->width(), 250);
    QCOMPARE(w.width(), 1100);
    // The collapse button takes the bottom panel down to its minimum and back.
    w.ToggleBottom();
    QCOMPARE(w.BottomPanel()->height(), 64);
    w.ToggleBottom();
    QCOMPARE(w.BottomPanel()->height(), 85);
    Stop();
    Init(fDesk->Dir() + "KelvraMonitor", {});
    QCOMPARE(IniFile->ReadInteger("Main", "LeftWidth", 0), 172);
    QCOMPARE(IniFile->ReadInteger("Main", "BottomHeight", 0), 85);
    QCOMPARE(IniFile->ReadInteger("Main", "RightWidth", 0), 250);
    QCOMPARE(IniFile->ReadInteger("Main", "Width", 0), 1100);
    QCOMPARE(IniFile->ReadInteger("Main", "HeightOfBottom", 0), 85);
    Done();
  }

  void theGraphsAreShownFromTheViewMenuAndKept() {
    TMonitorMainWin &w = Start({}, {{"Main", "Graphs", "1"}, {"Main", "GraphsHeight", "150"}});
    w.show();
    w.LoginTimer()->stop();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.GraphsShown());
    QVERIFY(w.Graphs()->isVisible());
    QVERIFY2(std::abs(w.Graphs()->height() - 150) <= 2, qPrintable(QString::number(w.Graphs()->height())));
    auto *item = w.findChild<QAction *>("MenuGraphs");
    QVERIFY(item && item->isChecked());
    item->trigger();
    QVERIFY(!w.Graphs()->isVisible());
    QVERIFY(!w.GraphsShown());
    Stop();
    Init(fDesk->Dir() + "KelvraMonitor", {});
    QCOMPARE(IniFile->ReadBool("Main", "Graphs", true), false);
    QVERIFY(std::abs(IniFile->ReadInteger("Main", "GraphsHeight", 0) - 150) <= 2);
    Done();
  }

  void stylesByNameWithTheProgramsOwnDarkStyle() {
    TMonitorMainWin &w = Start();
    QVERIFY(StyleNames().contains("CARBON"));
    QVERIFY(StyleNames().contains("Fusion"));
    w.SetStyle("CARBON");
    QCOMPARE(w.GetStyle(), QString("CARBON"));
    QVERIFY(w.StyleColors().win.lightness() < 80);
    QVERIFY(w.StyleColors().txt.lightness() > 180);
    int ticked = 0;
    for (QAction *a : w.StyleMenu()->actions())
      if (a->isChecked()) {
        ++ticked;
        QCOMPARE(a->text(), QString("CARBON"));
      }
    QCOMPARE(ticked, 1);
    w.SetStyle("carbon"); // names compare exactly
    QVERIFY(LogText(w).contains("Set style: carbon x: not found"));
    QCOMPARE(w.GetStyle(), QString("CARBON"));
    // The style is saved and applied at the next start; an equal one is not applied again.
    Stop();
    TMonitorMainWin &w2 = Start();
    QVERIFY(!LogText(w2).contains("Try set style"));
    QCOMPARE(w2.GetStyle(), QString("CARBON"));
    QVERIFY(w2.StyleColors().win.lightness() < 80);
    Stop();
    QVERIFY(ApplyStyle("Fusion"));
    TMonitorMainWin &w3 = Start();
    QVERIFY(LogText(w3).contains("Try set style: CARBON"));
    QCOMPARE(w3.GetStyle(), QString("CARBON"));
    w3.SetStyle("Fusion");
    QVERIFY(w3.StyleColors().win.lightness() > 200);
  }

  void mapCacheMaxAgeDeletesOnlyOldTiles() {
    const std::time_t now = std::time(nullptr);
    auto aged = [&](const char *name, int hours) {
      const std::string p = fDesk->Folder().Write(std::string("MapCache/") + name, "png");
      utimbuf t{now - hours * 3600, now - hours * 3600};
      utime(p.c_str(), &t);
      return p;
    };
    // 8 days is above the 7-day floor, so it is taken as it is.
    const std::string fresh = aged("12/2710/1201.png", 8 * 24 - 1);
    const std::string old = aged("12/2710/1202.png", 8 * 24 + 1);
    TMonitorMainWin &w = Start({"map_cache_max_age=8"});
    QVERIFY(std::filesystem::exists(fresh));
    QVERIFY(!std::filesystem::exists(old));
    const QString log = LogText(w);
    QVERIFY(log.contains(QString::fromStdString("Clear disk tile cache: dir=" + fDesk->Dir() +
                                                "MapCache, age=8")));
    QVERIFY(log.contains("  -> 1"));
  }

  void anExceptionInASlotShowsErrorAndTheWindowGoesOn() {
    TMonitorMainWin &w = Start();
    QTimer::singleShot(0, &w, [] { throw std::runtime_error("broken handler"); });
    QTRY_VERIFY(w.MsgLabel()->text().contains("broken handler"));
    QCOMPARE(w.MsgLabel()->text(), FormString(&w, "error", {"broken handler"}));
    QVERIFY(LogText(w).contains("Error: broken handler"));
    // Still working: the next action signs in.
    SignIn(w);
    QVERIFY(w.Objects()->rowCount() > 0);
  }

  void aHangingRefreshShowsTheBusyIndicatorAndCancelReturnsAtOnce() {
    TMonitorMainWin &w = Start();
    SignIn(w);
    w.show();
    w.LoginTimer()->stop();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    TFaultRule rule;
    rule.pattern = "/api/v1/user/objects";
    rule.hang = true;
    rule.times = 1;
    Sim().AddFault(rule);
    TPaintCounter paints;
    w.ObjList()->viewport()->installEventFilter(&paints);

    bool returned = false, indicatorSeen = false, timerSkipped = false;
    int paintsWhileWaiting = 0;
    QTimer::singleShot(0, &w, [&] {
      w.UpdateObjects();
      returned = true;
    });
    // While the request hangs: the indicator comes up, the window repaints, ticks of the update
    // timer start no second request, and Cancel ends the wait. Each step waits for the one before
    // (a busy machine may take its time), never for a fixed time.
    int ticks = 0;
    QObject::connect(w.UpdateTimer(), &QTimer::timeout, &w, [&ticks] { ++ticks; });
    enum { kIndicator, kPaint, kTicks, kDone } step = kIndicator;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &w, [&] {
      switch (step) {
      case kIndicator:
        if (!CurrentBusyIndicator() || !CurrentBusyIndicator()->isVisible()) return;
        indicatorSeen = true;
        paints.count = 0;
        w.ObjList()->viewport()->update();
        step = kPaint;
        return;
      case kPaint:
        if (paints.count == 0) return;
        paintsWhileWaiting = paints.count;
        Sim().ClearRequests(); // the map's tiles come from the service too: only the list counts
        ticks = 0;
        w.UpdateTimer()->setInterval(1);
        step = kTicks;
        return;
      case kTicks:
        if (ticks < 3) return;
        timerSkipped = fDesk->RequestsTo("/api/v1/user/objects").empty();
        w.UpdateTimer()->setInterval(60000);
        step = kDone;
        if (CurrentBusyIndicator()) CurrentBusyIndicator()->CancelButton()->click();
        return;
      case kDone:
        return;
      }
    });
    poll.start(20);
    QTRY_VERIFY_WITH_TIMEOUT(returned, 60000);
    poll.stop();
    QVERIFY(indicatorSeen);
    QVERIFY(paintsWhileWaiting > 0);
    QVERIFY(timerSkipped);
    QCOMPARE(w.Client().ResultCode(), 0);
    QVERIFY(QString::fromStdString(w.Client().GetErrorMessage()).contains("cancelled"));
    QVERIFY(!CurrentBusyIndicator());
    // Still signed in; the next refresh works.
    QVERIFY(w.IsLoggedIn());
    w.UpdateObjects();
    QCOMPARE(w.Client().ResultCode(), 200);
  }
};

KELVRA_UI_TEST_RUN(MonitorMainWinTest, [](int argc, char **argv) {
  TMonitorApp app(argc, argv);
  MonitorMainWinTest tc;
  return QTest::qExec(&tc, argc, argv);
})

#include "MonitorMainWinTest.moc"
