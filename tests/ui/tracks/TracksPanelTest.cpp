// The tracks panel and the alarm and event pages of the main window against an in-process
// kelvra-sim: a track requested through the dialog (with its parking stops and its place ids
// resolved in batches), the quick dump of the last hours, the hour around an event, "Export
// Track", accepting an alarm, the timer's reload of today's events, and the trip window's
// "show" "track".

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QToolButton>
#include <QThread>
#include <QTreeView>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <mutex>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/client/client.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/tracks/AddressCache.h"
#include "core/tracks/GeoTrack.h"
#include "core/util/LumSmallUtils.h"
#include "sim/SimServer.h"
#include "sim/SimUtil.h"
#include "support/SignedInDesk.h"
#include "support/TempDir.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"
#include "ui/events/EventsModel.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/shell/MonitorSession.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/events/EventsPanel.h"
#include "ui/tracks/TrackDumpForm.h"
#include "ui/tracks/TracksPanel.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;
using test::Answer;
using test::kVan;
using test::LogText;

namespace {

constexpr int kPanelEventUid = 990001;

// The value of a form field of a request ("ids=1,2,3" -> "1,2,3").
std::string Field(const std::string &form, const std::string &name) {
  std::stringstream in(form);
  for (std::string pair; std::getline(in, pair, '&');)
    if (pair.compare(0, name.size() + 1, name + "=") == 0)
      return sim::UrlDecode(pair.substr(name.size() + 1));
  return {};
}

size_t CountOf(const std::string &ids) {
  return ids.empty() ? 0 : static_cast<size_t>(std::count(ids.begin(), ids.end(), ',')) + 1;
}

template <class T> T *TopLevel() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *t = qobject_cast<T *>(w); t && t->isVisible()) return t;
  return nullptr;
}

} // namespace

class TracksPanelTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;
  int64_t fStart = 0;    // the simulated "now" at start (the real clock, to the minute)
  int64_t fInjected = 0; // the first of the 120 points put into the van's history

  SimServer &Sim() { return fDesk->Sim(); }

  TMonitorMainWin &Start(std::vector<std::string> args = {}) {
    return fDesk->StartByShowing(std::move(args), 1400, 900);
  }

  // The display time of a simulated time.
  TDateTime Display(int64_t unix) const {
    return UnixToDateTime(unix, false) + fDesk->Win().Client().GetTimeZone();
  }

  void SelectVan(TMonitorMainWin &w) {
    const QModelIndex i = w.Objects()->IndexOf(kVan);
    QVERIFY(i.isValid());
    // The list shows the objects through the search filter.
    w.ObjList()->setCurrentIndex(w.Search()->ViewIndex(w.Objects()->ObjectAt(i)));
    QCOMPARE(w.SelectedObject()->uid, kVan);
  }

  std::vector<TSimRequest> RequestsTo(const std::string &path) { return fDesk->RequestsTo(path); }

private slots:
  void init() {
    TSimOptions opt;
    fStart = std::time(nullptr) / 60 * 60;
    opt.startTime = fStart;
    fDesk = std::make_unique<test::TSignedInDesk>(opt);
    QVERIFY(fDesk->SimStarted());
    // 120 points of the van three days back, each in its own place cell, with a stay of
    // fifteen minutes in the middle (points 60 to 75 stand at one place).
    fInjected = fStart - 3 * 86400;
    Sim().WithWorld([this](sim::TSimWorld &world) {
      sim::TSimObject *van = world.FindObject(kVan);
      std::vector<sim::TSimPoint> pts;
      for (int i = 0; i < 120; ++i) {
        sim::TSimPoint p;
        p.uid = 800000 + i;
        p.obj_id = kVan;
        p.sys_dt = p.obj_dt = p.gps_dt = fInjected + i * 60;
        const int step = i < 60 ? i : (i < 75 ? 60 : i - 15);
        p.lat = 57.99 + step * 0.0002;
        p.lon = 56.20 + step * 0.0004;
        p.acc = 8;
        p.speed = i >= 60 && i < 75 ? 0 : 30;
        p.alt = 150;
        p.bat = 90;
        p.osm_id = std::to_string(1000000000LL + i * 100003LL); // 120 distinct known cells
        pts.push_back(p);
      }
      van->track.insert(van->track.begin(), pts.begin(), pts.end());
      // An open alarm of the van raised now, so that it is in the van's alarms and in today's
      // events alike.
      const sim::TSimTrap *alarmTrap = nullptr;
      for (const auto &t : world.fTraps)
        if (t->is_alarm && t->user_id == 1) alarmTrap = t.get();
      auto e = std::make_unique<sim::TSimEvent>();
      e->uid = kPanelEventUid;
      e->obj_id = kVan;
      e->trap_id = alarmTrap ? alarmTrap->uid : 0;
      e->is_alarm = true;
      e->h = *van->LastPoint();
      e->h_sval = "1";
      world.fEvents.push_back(std::move(e));
      world.Touch(*van);
    });
  }

  void cleanup() { fDesk.reset(); }

  void requestedTrackComesWithParkingAndAddressesInBatches() {
    TMonitorMainWin &w = Start();
    SelectVan(w);
    QVERIFY(AddressCache);
    Sim().ClearRequests();
    const QDateTime d1 =
        QDateTime::fromMSecsSinceEpoch(fInjected * 1000 - 60000, Qt::UTC)
            .addSecs(static_cast<qint64>(std::lround(w.Client().GetTimeZone() * 86400)));
    const QDateTime d2 = d1.addSecs(3 * 3600);
    Prompt::StartScript({Answer({{"EdDate1", d1.date()},
                                 {"EdTime1", d1.time()},
                                 {"EdDate2", d2.date()},
                                 {"EdTime2", d2.time()},
                                 {"CbTrackStyle", "Green"},
                                 {"EdTrackSign", "three days back"},
                                 {"click", "ButOk"}})});
    const int zoomBefore = w.Map()->Zoom();
    QVERIFY(w.Tracks()->RequestTrack(nullptr, "", NAN, NAN, 0));
    QCOMPARE(Prompt::Asked().front().caption, QString("TrackRequestForm"));

    // In the list, selected and ticked, and on the map.
    QCOMPARE(w.Tracks()->Model()->rowCount(), 1);
    QCOMPARE(w.TrackList()->currentIndex().row(), 0);
    QCOMPARE(w.Tracks()->Model()->index(0).data().toString(),
             QString("Delivery van-three days back"));
    QCOMPARE(w.Tracks()->Model()->index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(int(w.Map()->GeoTracks().size()), 1);
    TGeoTrack *t = w.Map()->GeoTracks().front().get();
    QCOMPARE(t->Style().Sign, std::string("Green"));
    QCOMPARE(t->Info().ParkingCount, 1);
    QCOMPARE(t->Info().PointsCount, 121); // the parking point is added at the stay's start
    const QString log = LogText(w);
    // The 16 points of the stay and the parking point in front of them.
    QVERIFY2(log.contains("  points: total=121 good=121 park=17"),
             qPrintable(log.mid(log.indexOf("points:"), 40)));
    // Arranged: zoomed in on the track, its centre in the middle of the map.
    QVERIFY(w.Map()->Zoom() > zoomBefore);
    QVERIFY(std::fabs(w.Map()->CenterPoint().Lat - t->Info().CenterPoint.Lat) < 0.01);

    // The replay bar under the map follows the selected track. While it shows, Left and Right on
    // the map step the replay; once it is closed they pan the map again.
    auto *bar = w.MapArea()->findChild<TTrackReplayBar *>();
    QVERIFY(bar);
    QCOMPARE(bar->Track(), t);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(bar->isVisible());
    bar->SetFollow(false);
    w.Map()->setFocus();
    const int scrolled = w.Map()->horizontalScrollBar()->value();
    const int step = bar->Replay().Index();
    QTest::keyClick(w.Map(), Qt::Key_Right);
    QCOMPARE(bar->Replay().Index(), step + 1);
    QTest::keyClick(w.Map(), Qt::Key_Left);
    QCOMPARE(bar->Replay().Index(), step);
    QCOMPARE(w.Map()->horizontalScrollBar()->value(), scrolled);
    bar->SetTrack(nullptr);
    QVERIFY(!bar->isVisible());
    QTest::keyClick(w.Map(), Qt::Key_Right);
    QVERIFY(w.Map()->horizontalScrollBar()->value() > scrolled);
    w.TrackList()->setCurrentIndex({});
    QVERIFY(!bar->Track());
    w.TrackList()->setCurrentIndex(w.Tracks()->Model()->index(0));
    QCOMPARE(bar->Track(), t);
    QVERIFY(bar->isVisible());

    // The 120 place ids went to the service in batches of 50, 50 and 20, and are cached.
    std::vector<size_t> batches;
    std::set<std::string> ids;
    for (const TSimRequest &r : RequestsTo("/osm/lookup")) {
      const std::string list = Field(r.body, "ids");
      batches.push_back(CountOf(list));
      std::stringstream in(list);
      for (std::string id; std::getline(in, id, ',');)
        ids.insert(id);
    }
    QCOMPARE(batches, (std::vector<size_t>{50, 50, 20}));
    QCOMPARE(int(ids.size()), 120);
    for (const auto &p : t->Points())
      QVERIFY(!AddressCache->GetAddress(p->osm_id).empty());

    // Unticking hides the track and leaves the map where it is; ticking again zooms to it.
    w.Map()->SetCenter(w.Map()->Zoom() - 3, 58.05, 56.3);
    const int zoom = w.Map()->Zoom();
    const TGeoPoint centre = w.Map()->CenterPoint();
    w.Tracks()->Model()->setData(w.Tracks()->Model()->index(0), Qt::Unchecked, Qt::CheckStateRole);
    QVERIFY(!t->Visible());
    QCOMPARE(w.Map()->Zoom(), zoom);
    QCOMPARE(w.Map()->CenterPoint().Lat, centre.Lat);
    w.Tracks()->Model()->setData(w.Tracks()->Model()->index(0), Qt::Checked, Qt::CheckStateRole);
    QVERIFY(t->Visible());
    QVERIFY(w.Map()->Zoom() > zoom);

    // What the user sees: the map with the track, its parking square and the tracks list.
    QTest::qWait(1500); // tiles of the sim arrive
    QVERIFY(w.grab().save("tracks-requested-track.png"));

    // "Export Track" of the pop-up menu writes the selected track as GPX.
    const std::string gpx = fDesk->Dir() + "van.gpx";
    Prompt::StartScript({QString::fromStdString(gpx)});
    w.Tracks()->Popup()->findChild<QAction *>("PopupExportTrack")->trigger();
    QCOMPARE(Prompt::Asked().front().kind, Prompt::TKind::SaveFile);
    std::ifstream in(gpx, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QVERIFY(text.find("<gpx") != std::string::npos);
    size_t points = 0;
    for (size_t at = text.find("<trkpt"); at != std::string::npos; at = text.find("<trkpt", at + 1))
      ++points;
    QCOMPARE(int(points), 121);

    // Deleting the only track leaves nothing selected and the map without it.
    w.Tracks()->DeleteTrack();
    QCOMPARE(w.Tracks()->Model()->rowCount(), 0);
    QVERIFY(w.Map()->GeoTracks().empty());
    QVERIFY(!w.TrackList()->currentIndex().isValid());
  }

  // "Cancel" in any stage of a requested track (also between two batches of places) leaves no
  // track in the list or on the map, looks up no further batch, and the next request works.
  void cancelInEveryStageLeavesNoTrack_data() {
    QTest::addColumn<QString>("stage");
    QTest::addColumn<int>("atReport"); // which report of that stage presses Cancel
    QTest::addColumn<int>("lookups");  // batches of places asked for
    QTest::newRow("transfer") << "Receiving the track..." << 0 << 0;
    QTest::newRow("copying") << "Copying the points..." << 0 << 0;
    QTest::newRow("parking") << "Marking parking stops..." << 0 << 0;
    QTest::newRow("statistics") << "Measuring the track..." << 0 << 0;
    QTest::newRow("between batches of places") << "Looking up places..." << 1 << 1;
  }
  void cancelInEveryStageLeavesNoTrack() {
    QFETCH(QString, stage);
    QFETCH(int, atReport);
    QFETCH(int, lookups);
    TMonitorMainWin &w = Start();
    SelectVan(w);
    Sim().ClearRequests();
    const TDateTime d1 = Display(fInjected - 60), d2 = Display(fInjected + 3 * 3600);
    std::atomic<int> reports{0};
    std::vector<std::string> seen;
    std::mutex seenLock;
    SetBusyProgressObserver([&](const std::string &st, size_t, size_t) {
      {
        std::lock_guard<std::mutex> lock(seenLock);
        if (seen.empty() || seen.back() != st) seen.push_back(st);
      }
      if (QString::fromStdString(st) == stage && reports++ == atReport) CancelBusy();
    });
    const bool made = w.Tracks()->RequestTrack(kVan, "cancelled", d1, d2, 0);
    SetBusyProgressObserver({});
    QVERIFY(!made);
    QCOMPARE(w.Tracks()->Model()->rowCount(), 0);
    QVERIFY(w.Map()->GeoTracks().empty());
    QCOMPARE(int(RequestsTo("/osm/lookup").size()), lookups);
    QVERIFY(LogText(w).contains("cancelled"));
    QVERIFY(!BusyRunning());
    // the stages ran in order up to the one cancelled
    QVERIFY(!seen.empty());
    QCOMPARE(QString::fromStdString(seen.back()), stage);
    // nothing is left over: the same request goes through to the end
    QVERIFY(w.Tracks()->RequestTrack(kVan, "whole", d1, d2, 0));
    QCOMPARE(w.Tracks()->Model()->rowCount(), 1);
    QCOMPARE(w.Map()->GeoTracks().front()->Info().PointsCount, 121);
  }

  // "Filter Track" runs on a worker under the busy window, its bar going through the filtering,
  // the parking stops and the statistics: "Cancel" at any of them adds no track; left to run,
  // the filtered copy comes as a new track.
  void filterRunsOffTheWindowThreadAndCancelAddsNothing_data() {
    QTest::addColumn<QString>("stage");
    QTest::newRow("filtering") << "Filtering the track...";
    QTest::newRow("parking") << "Marking parking stops...";
    QTest::newRow("statistics") << "Measuring the track...";
  }
  void filterRunsOffTheWindowThreadAndCancelAddsNothing() {
    QFETCH(QString, stage);
    TMonitorMainWin &w = Start();
    const TDateTime d1 = Display(fInjected - 60);
    QVERIFY(w.Tracks()->RequestTrack(kVan, "source", d1, d1 + 3.0 / 24, 0));
    std::atomic<bool> cancel{true}, onWorker{false}, onWindowThread{false};
    const QThread *windowThread = QThread::currentThread();
    std::vector<std::string> stages; // told on the worker, read after it has ended
    SetBusyProgressObserver([&](const std::string &st, size_t done, size_t total) {
      (QThread::currentThread() == windowThread ? onWindowThread : onWorker) = true;
      if (stages.empty() || stages.back() != st) stages.push_back(st);
      if (cancel && QString::fromStdString(st) == stage && done > 0 && done == total) CancelBusy();
    });
    for (bool cancelled : {true, false}) {
      cancel = cancelled;
      stages.clear();
      Prompt::StartScript({Answer({{"click", "ButOk"}})});
      w.Tracks()->FilterTrack();
      Prompt::StopScript();
      QVERIFY(!BusyRunning());
      QCOMPARE(w.Tracks()->Model()->rowCount(), cancelled ? 1 : 2);
      QCOMPARE(int(w.Map()->GeoTracks().size()), cancelled ? 1 : 2);
      QVERIFY(!stages.empty());
      if (cancelled) QCOMPARE(QString::fromStdString(stages.back()), stage);
    }
    SetBusyProgressObserver({});
    QCOMPARE(stages, (std::vector<std::string>{"Filtering the track...", "Marking parking stops...",
                                               "Measuring the track..."}));
    QVERIFY(onWorker);
    QVERIFY(!onWindowThread);
    const TGeoTrack *filtered = w.Map()->GeoTracks().back().get();
    QVERIFY(filtered->Sign().starts_with("Delivery van-source-"));
    QVERIFY(filtered->Info().GoodPointsCount >= 120);
    QVERIFY(LogText(w).contains("  -> cancel"));
  }

  void deletingTheLastRowSelectsTheOneBefore() {
    TMonitorMainWin &w = Start();
    const TDateTime d1 = Display(fInjected - 60);
    for (const char *sig : {"a", "b", "c"})
      QVERIFY(w.Tracks()->RequestTrack(kVan, sig, d1, d1 + 3.0 / 24, 0));
    QCOMPARE(w.TrackList()->currentIndex().row(), 2);
    w.Tracks()->DeleteTrack();
    QCOMPARE(w.TrackList()->currentIndex().row(), 1);
    QCOMPARE(w.Tracks()->SelectedTrack()->Sign(), std::string("Delivery van-b"));
    w.TrackList()->setCurrentIndex(w.Tracks()->Model()->index(0));
    w.Tracks()->DeleteTrack();
    QCOMPARE(w.Tracks()->SelectedTrack()->Sign(), std::string("Delivery van-b"));
    QCOMPARE(int(w.Map()->GeoTracks().size()), 1);
    // Without a track the actions say so.
    w.Tracks()->DeleteTrack();
    w.Tracks()->DumpTrack();
    QVERIFY(w.MsgLabel()->text().contains("Select a track first"));
  }

  void quickDumpOfTheLastHours() {
    TMonitorMainWin &w = Start({"quick_dump_hours=2"});
    SelectVan(w);
    Sim().ClearRequests();
    w.findChild<QToolButton *>("SbLastMessages")->click();
    const auto tracks = RequestsTo("/object/101/track");
    QCOMPARE(int(tracks.size()), 1);
    QCOMPARE(Field(tracks[0].query, "mode"), std::string("1"));
    QCOMPARE(Field(tracks[0].query, "tmode"), std::string("1"));
    auto *dump = TopLevel<TTrackDumpForm>();
    QVERIFY(dump);
    QVERIFY(dump->windowTitle().contains("Delivery van 2 hour"));
    dump->BuildDump();
    QVERIFY(dump->Model()->rowCount() > 10); // the van reports every 30 s while it drives
    const QString log = LogText(w);
    QVERIFY(log.contains("Request messages: id=101 for 2 hour(s) ["));
    // The dump is not a track of the list.
    QCOMPARE(w.Tracks()->Model()->rowCount(), 0);

    // "Calculator [+]" takes the first selected point.
    dump->Table()->selectRow(0);
    dump->AddToCalculator();
    dump->Table()->selectRow(1);
    dump->AddToCalculator();
    QVERIFY(!dump->findChild<QWidget *>("CalculatorForm")
                 ->findChild<QLineEdit *>("EdDistance")
                 ->text()
                 .isEmpty());

    // What the user sees: the dump with its chart of the altitude.
    dump->resize(1100, 600);
    dump->show();
    dump->ShowChart();
    dump->ChartValues()->setCurrentIndex(dump->ChartValues()->findText("Altitude"));
    QApplication::processEvents();
    QVERIFY(dump->grab().save("tracks-quick-dump-chart.png"));
    dump->close();
  }

  void eventTrackIsOneHourFromTheStart() {
    TMonitorMainWin &w = Start();
    Sim().ClearRequests();
    TEventInfo ei(777, kVan);
    ei.h_obj_dt = Display(fInjected);
    w.Tracks()->RequestEventTrack(&ei);
    const auto tracks = RequestsTo("/object/101/track");
    QCOMPARE(int(tracks.size()), 1);
    const TDateTime from = StrToDt(Field(tracks[0].query, "from"));
    const TDateTime to = StrToDt(Field(tracks[0].query, "to"));
    QCOMPARE(std::lround((to - from) * 86400), 3600L);
    QCOMPARE(w.Tracks()->Model()->rowCount(), 1);
    QCOMPARE(w.Tracks()->SelectedTrack()->Sign(), "Delivery van-" + ei.Sign());
    QCOMPARE(w.Tracks()->SelectedTrack()->Info().PointsCount, 61); // both ends of the hour count

    // An event of an object not in the list, or without a start, requests nothing.
    Sim().ClearRequests();
    TEventInfo stranger(778, 424242);
    stranger.h_obj_dt = ei.h_obj_dt;
    w.Tracks()->RequestEventTrack(&stranger);
    TEventInfo noStart(779, kVan);
    w.Tracks()->RequestEventTrack(&noStart);
    QVERIFY(RequestsTo("/track").empty());
    QVERIFY(LogText(w).contains("  -> no object info"));
    QVERIFY(LogText(w).contains("  -> no start DT"));
  }

  void showTrackCommandOfTheTripWindow_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("requested");
    // Half a day on either side of the van's injected points: they are in the period whatever
    // the service's time zone and the time of day the test runs at.
    const int64_t injected = std::time(nullptr) / 60 * 60 - 3 * 86400;
    const QString dt1 = QString::fromStdString(dt2s(UnixToDateTime(injected - 43200, true)));
    const QString dt2 = QString::fromStdString(dt2s(UnixToDateTime(injected + 43200, true)));
    QTest::newRow("trip") << QStringList{"name", "Morning", "obj_id", "101", "dt1", dt1,
                                         "dt2",  dt2,       "mode",   "0"}
                          << true;
    QTest::newRow("no object") << QStringList{"name", "x", "obj_id", "0", "dt1", dt1, "dt2", dt1}
                               << false;
    QTest::newRow("unreadable start")
        << QStringList{"obj_id", "101", "dt1", "soon", "dt2", dt1} << false;
  }

  void showTrackCommandOfTheTripWindow() {
    QFETCH(QStringList, args);
    QFETCH(bool, requested);
    TMonitorMainWin &w = Start();
    Sim().ClearRequests();
    std::vector<std::string> a;
    for (const QString &s : args)
      a.push_back(s.toStdString());
    w.Command(nullptr, "show", "track", a);
    QCOMPARE(!RequestsTo("/object/101/track").empty(), requested);
    QCOMPARE(w.Tracks()->Model()->rowCount(), requested ? 1 : 0);
    if (requested)
      QCOMPARE(w.Tracks()->SelectedTrack()->Sign(), std::string("Delivery van-Morning"));
  }

  void acceptedAlarmShowsInBothLists() {
    TMonitorMainWin &w = Start();
    SelectVan(w);
    TEventsPanel *events = w.EventsPanel();
    // The alarm is in both lists, open.
    auto find = [](QTreeView *list) -> QModelIndex {
      auto *proxy = qobject_cast<QSortFilterProxyModel *>(list->model());
      auto *m = qobject_cast<TEventsModel *>(proxy->sourceModel());
      for (int r = 0; r < m->rowCount(); ++r)
        if (m->EventAt(r)->uid == kPanelEventUid) return proxy->mapFromSource(m->index(r, 0));
      return {};
    };
    const QModelIndex inAlarms = find(events->AlarmList());
    const QModelIndex inEvents = find(events->EventList());
    QVERIFY(inAlarms.isValid());
    QVERIFY(inEvents.isValid());
    QCOMPARE(inAlarms.siblingAtColumn(5).data().toString(), QString("-"));
    events->AlarmList()->setCurrentIndex(inAlarms);

    // Cancelled: nothing changes.
    Prompt::StartScript({});
    QVERIFY(!events->AcceptEvent(events->Selected(events->AlarmList())));
    QVERIFY(LogText(w).contains("  x: cancel"));

    Prompt::StartScript({Answer({{"EdAcceptMessage", "  driver called  "}, {"click", "ButOk"}})});
    w.findChild<QToolButton *>("SbAcceptAlarm")->click();
    QCOMPARE(Prompt::Asked().front().caption, QString("AcceptEventForm"));
    for (const QModelIndex &i : {find(events->AlarmList()), find(events->EventList())}) {
      QVERIFY(i.siblingAtColumn(5).data().toString().endsWith("\ndriver called"));
      QVERIFY(i.data(Qt::DecorationRole).isValid());
    }
    Sim().WithWorld([](sim::TSimWorld &world) {
      QCOMPARE(world.FindEvent(kPanelEventUid)->accept_msg, std::string("driver called"));
    });
    // A second acceptance is refused before any dialog.
    Prompt::StartScript({});
    QVERIFY(!events->AcceptEvent(events->Selected(events->AlarmList())));
    QVERIFY(Prompt::Asked().empty());
    QVERIFY(LogText(w).contains("  x: already accepted ["));
  }

  void timerReloadsTodaysEventsButNotYesterdays() {
    TMonitorMainWin &w = Start();
    // At sign-in: today from 00:00:00.
    const TDateTime today = std::floor(w.Client().DisplayNow());
    QCOMPARE(w.Client().EventListDt1(), today);
    QCOMPARE(w.Client().EventListDt2(), today + 0.999999);
    // The requests of a few quick ticks; a refresh still on its way when the ticks end is waited
    // for, so that none of them is counted with the next ticks.
    auto ticks = [&] {
      Sim().ClearRequests();
      w.UpdateTimer()->setInterval(20);
      // The checks below tell when a wait ran out.
      (void)QTest::qWaitFor([&] { return RequestsTo("/user/objects").size() >= 2; }, 60000);
      w.UpdateTimer()->setInterval(60000);
      (void)QTest::qWaitFor([&] { return !w.Session()->Refreshing(); }, 60000);
      return RequestsTo("/user/events").size();
    };
    QVERIFY(ticks() >= 1);
    QVERIFY(RequestsTo("/user/objects").size() >= 2); // the timer did tick
    w.LoadEvents(today - 1, today - 1 + 0.999999);
    QCOMPARE(w.Client().EventListDt1(), today - 1);
    QCOMPARE(ticks(), size_t(0));
    QVERIFY(RequestsTo("/user/objects").size() >= 2);
  }
};

KELVRA_UI_TEST(TracksPanelTest)
#include "TracksPanelTest.moc"
