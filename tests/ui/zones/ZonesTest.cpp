// The zone list, the zone editor and the zone history against an in-process kelvra-sim: new
// zones saved or dropped, the editor and the map in step, debounced notifications, shapes given
// on opening and on type switching, node keys, deletion, and the history's visits and export.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QAbstractItemModelTester>
#include <QTreeView>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "UiTests.h"
#include "core/map/OsmUtils.h"
#include "core/util/LumSmallUtils.h"
#include "support/SignedInDesk.h"
#include "ui/zones/ZoneEditForm.h"
#include "ui/zones/ZoneHistoryForm.h"
#include "ui/map/LumMapControl.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/zones/ZonesPanel.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;

namespace {

// A key typed into the editor's node list. Sent to the list itself: on the offscreen platform
// the editor's window never becomes active, and the main window's Delete shortcut (which deletes
// the selected object) would take the key first.
void NodeKey(QWidget *list, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(list, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(list, &release);
}


template <class T> T *Child(QWidget *w, const char *name) {
  T *c = w->findChild<T *>(name);
  if (!c) qWarning("no child %s", name);
  return c;
}

} // namespace

class ZonesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;
  TMonitorMainWin *fWin = nullptr;

  TMonitorMainWin &Start() {
    fWin = &fDesk->Start(true);
    return *fWin;
  }

  QString LogText(TMonitorMainWin &) { return fDesk->LogText(); }

  TZonesPanel &Panel() { return *fWin->ZonesPanel(); }

  // Selects the first zone of a type in the list.
  TZoneInfo *Select(int type) {
    TZonesModel *m = Panel().Model();
    for (int i = 0; i < m->rowCount(); ++i)
      if (TZoneInfo *z = m->At(m->index(i, 0)); z->type_id == type) {
        Panel().List()->setCurrentIndex(m->index(i, 0));
        return z;
      }
    return nullptr;
  }

  int CountInLog(const QString &what) { return LogText(*fWin).count(what); }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }

  void cleanup() {
    fDesk.reset();
    fWin = nullptr;
  }

  void zonesAreListedUnticked() {
    TMonitorMainWin &w = Start();
    QVERIFY(w.IsLoggedIn());
    TZonesModel *m = Panel().Model();
    QCOMPARE(m->rowCount(), int(w.Client().ZoneList().size()));
    QVERIFY(m->rowCount() > 0);
    QCOMPARE(m->data(m->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(Panel().List()->currentIndex().row(), 0);
    // Ticking makes the zone visible; unticking the last keeps the map where it is.
    QVERIFY(m->setData(m->index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(w.Client().ZoneList()[0]->visible);
    const TGeoPoint at = w.Map()->CenterPoint();
    QVERIFY(m->setData(m->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(w.Map()->CenterPoint().Lat, at.Lat);
  }

  void newZoneAtTheMapCentre_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("saved") << true;
    QTest::newRow("cancelled") << false;
  }
  void newZoneAtTheMapCentre() {
    QFETCH(bool, save);
    TMonitorMainWin &w = Start();
    const size_t before = w.Client().ZoneList().size();
    w.Map()->SetCenter(14, 58.0, 56.25);
    Panel().AppendZone();
    TZoneEditForm *ed = Panel().Editor();
    QVERIFY(ed);
    TZoneInfo *zi = ed->ZoneInfo();
    QCOMPARE(zi->name, std::string("Zone_58.0000_56.2500"));
    QCOMPARE(zi->uid, 0);
    QCOMPARE(zi->type_id, int(kZoneCircle));
    QCOMPARE(zi->geom.radius, 100.0);
    QCOMPARE(zi->color, 0x00FF0000u);
    QCOMPARE(Panel().Model()->rowCount(), int(before + 1));
    // A second editor is refused while this one is open.
    Panel().EditZone();
    QVERIFY(w.MsgPanel()->isVisible());
    QCOMPARE(w.MsgLabel()->text(), QString("Close the zone editor first"));
    if (save) {
      Child<QPushButton>(ed, "ButSave")->click();
      QVERIFY(zi->uid > 0);
      QVERIFY(!zi->edited);
      const int uid = zi->uid;
      QVERIFY(fDesk->Sim().WithWorld([uid](sim::TSimWorld &wd) { return wd.FindZone(uid) != nullptr; }));
      QCOMPARE(w.Client().ZoneList().size(), before + 1);
    } else {
      Child<QPushButton>(ed, "ButCancel")->click();
      QCOMPARE(w.Client().ZoneList().size(), before);
      QCOMPARE(Panel().Model()->rowCount(), int(before));
    }
    QTRY_VERIFY(!Panel().Editor());
  }

  void draggingACircleEdgeOnTheMapUpdatesTheRadius() {
    TMonitorMainWin &w = Start();
    TZoneInfo *zi = Select(kZoneCircle);
    QVERIFY(zi);
    Panel().EditZone();
    TZoneEditForm *ed = Panel().Editor();
    QVERIFY(ed);
    auto *radius = Child<QLineEdit>(ed, "EdRadius");
    QCOMPARE(radius->text().toStdString(), f2s(zi->geom.radius, 2));
    TLumMapControl *map = w.Map();
    map->grab(); // paints, and so finds the edited zone
    const QPoint edge =
        map->MapToView(map->GeoCoordsToMap(ComputeOffset(zi->geom.center, zi->geom.radius, 90)));
    QVERIFY(map->PosInZone(edge, zi) == pzCircleEdge);
    const double old = zi->geom.radius;
    QTest::mousePress(map->viewport(), Qt::LeftButton, Qt::NoModifier, edge);
    QTest::mouseMove(map->viewport(), edge + QPoint(25, 0));
    QTest::mouseRelease(map->viewport(), Qt::LeftButton, Qt::NoModifier, edge + QPoint(25, 0));
    QVERIFY(zi->geom.radius > old);
    QCOMPARE(radius->text().toStdString(), f2s(zi->geom.radius, 2));
    QVERIFY(LogText(w).contains("Command: update zone (radius,"));
  }

  void typingACentreReportsItOnceAfterASecond() {
    Start();
    TZoneInfo *zi = Select(kZoneCircle);
    Panel().EditZone();
    TZoneEditForm *ed = Panel().Editor();
    auto *center = Child<QLineEdit>(ed, "EdCenter");
    center->clear();
    QTest::keyClicks(center, "57.1234567,56.1");
    QCOMPARE(zi->geom.center.Lat, 57.123457);
    QCOMPARE(zi->geom.center.Long, 56.1);
    QCOMPARE(center->text(), QString("57.1234567,56.1")); // left as typed
    QCOMPARE(CountInLog("Command: update zone (center"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(CountInLog("Command: update zone (center"), 1, 5000);
    QCOMPARE(CountInLog("Command: update zone (center,57.123457,56.100000)"), 1); // as kept
    QTest::qWait(1500);
    QCOMPARE(CountInLog("Command: update zone (center"), 1);
    // Radii below 5 m and unreadable ones are ignored.
    auto *radius = Child<QLineEdit>(ed, "EdRadius");
    const double r = zi->geom.radius;
    radius->setText("4");
    QCOMPARE(zi->geom.radius, r);
    radius->setText("150.456");
    QCOMPARE(zi->geom.radius, 150.46);
  }

  // With imperial units and degrees and minutes the editor shows and takes feet and that form,
  // and the service is told metres and decimal degrees.
  void theEditorTakesTheProgramsUnits() {
    Start(); // reads the settings' units: these come after
    SetDisplayUnits(TDisplayUnits::FromSettings("imperial", "dm"));
    struct TRestore {
      ~TRestore() { SetDisplayUnits(TDisplayUnits()); }
    } restore;
    TZoneInfo *zi = Select(kZoneCircle);
    Panel().EditZone();
    TZoneEditForm *ed = Panel().Editor();
    auto *center = Child<QLineEdit>(ed, "EdCenter");
    auto *radius = Child<QLineEdit>(ed, "EdRadius");
    QCOMPARE(center->text().toStdString(), ShownLatLon(zi->geom.center));
    QVERIFY(center->text().contains("'N"));
    QCOMPARE(radius->text().toStdString(), f2s(zi->geom.radius / 0.3048, 2));
    QString radiusLabel;
    for (QLabel *l : ed->findChildren<QLabel *>())
      if (l->buddy() == radius) radiusLabel = l->text();
    QCOMPARE(radiusLabel, QString("Radius, ft:"));
    radius->setText("500");
    QCOMPARE(zi->geom.radius, 152.4);
    center->setText("57\u00B030.000'N 56\u00B006.000'E");
    QCOMPARE(zi->geom.center.Lat, 57.5);
    QCOMPARE(zi->geom.center.Long, 56.1);
    QTRY_COMPARE_WITH_TIMEOUT(CountInLog("Command: update zone (center,57.500000,56.100000)"), 1, 5000);
    QCOMPARE(CountInLog("Command: update zone (radius,152.40)"), 1);
    Child<QPushButton>(ed, "ButCancel")->click();
  }

  // The editor's timer ticks while the window waits for the service (here a wait of the test's
  // own): it sends nothing then, and the edit goes out with the first tick after the wait.
  void editsWaitWhileTheServiceIsAwaited() {
    Start();
    Select(kZoneCircle);
    Panel().EditZone();
    TZoneEditForm *ed = Panel().Editor();
    QVERIFY(ed);
    ed->findChild<QTimer *>("UpdateTimer")->stop(); // the ticks below are the timer's
    Child<QLineEdit>(ed, "EdName")->setText("Renamed while waiting");
    QTRY_VERIFY_WITH_TIMEOUT(ed->UpdatesDue(), 20000);
    std::atomic<bool> ticked{false};
    int sentDuringWait = -1;
    QTimer::singleShot(0, ed, [&] { // runs inside the wait's event loop
      ed->FlushUpdates();
      sentDuringWait = CountInLog("Command: update zone (name");
      ticked = true;
    });
    RunBusy(
        [&] {
          for (int i = 0; i < 20000 && !ticked; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        [] {}, fWin);
    QVERIFY(ticked);
    QCOMPARE(sentDuringWait, 0);
    QVERIFY(ed->UpdatesDue()); // still pending
    ed->FlushUpdates();
    QCOMPARE(CountInLog("Command: update zone (name,Renamed while waiting)"), 1);
  }

  void polygonShapesAndNodeKeys() {
    TMonitorMainWin &w = Start();
    TZoneInfo *zi = Select(kZonePolygon);
    QVERIFY(zi);
    zi->geom.nodes.clear(); // a polygon without nodes opened for editing gets a triangle
    zi->UpdateRect();
    Panel().EditZone();
    TZoneEditForm *ed = Panel().Editor();
    QCOMPARE(zi->geom.nodes.size(), std::size_t(3));
    auto *nodes = Child<QListWidget>(ed, "NodesList");
    QCOMPARE(nodes->count(), 3);
    nodes->setCurrentRow(1);
    NodeKey(nodes, Qt::Key_Insert);
    QCOMPARE(nodes->count(), 4);
    QCOMPARE(nodes->currentRow(), 1);
    NodeKey(nodes, Qt::Key_Delete);
    QCOMPARE(nodes->count(), 3);
    NodeKey(nodes, Qt::Key_Delete); // a polygon keeps three nodes
    QCOMPARE(nodes->count(), 3);
    Child<QPushButton>(ed, "ButCancel")->click();
    (void)w;
  }

  void circleToPolygonGivesFourNodesAndUnitsFollow() {
    TMonitorMainWin &w = Start();
    TZoneInfo *zi = Select(kZoneCircle);
    Panel().EditZone();
    TZoneEditForm *ed = Panel().Editor();
    zi->geom.nodes.clear();
    Child<QLineEdit>(ed, "EdRadius")->setText("2000");
    Child<QComboBox>(ed, "CbType")->setCurrentIndex(1);
    QCOMPARE(zi->type_id, int(kZonePolygon));
    QCOMPARE(zi->geom.nodes.size(), std::size_t(4));
    QCOMPARE(Child<QListWidget>(ed, "NodesList")->count(), 4);
    // 4 x 2.83 km around, 8 km2 inside: both in the larger units.
    QString per, area;
    for (QLabel *l : ed->findChildren<QLabel *>()) {
      if (l->buddy() == Child<QLineEdit>(ed, "EdPerimeter")) per = l->text();
      if (l->buddy() == Child<QLineEdit>(ed, "EdArea")) area = l->text();
    }
    QCOMPARE(per, QString("Perimeter, km:"));
    QCOMPARE(area, QString("Area, km\u00B2:"));
    QTRY_COMPARE_WITH_TIMEOUT(CountInLog("Command: update zone (type,2)"), 1, 5000);
    // Cancel restores the zone as it was opened.
    Child<QPushButton>(ed, "ButCancel")->click();
    QCOMPARE(zi->type_id, int(kZoneCircle));
    QVERIFY(!zi->edited);
    (void)w;
  }

  // A picture of the editor beside the map with a polygon being edited (saved in the build
  // folder as zone-editor.png for a person to look at).
  void pictureOfAnEditedPolygon() {
    TMonitorMainWin &w = Start();
    TZoneInfo *zi = Select(kZonePolygon);
    QVERIFY(zi);
    Panel().EditZone();
    TZoneEditForm *ed = Panel().Editor();
    auto *nodes = Child<QListWidget>(ed, "NodesList");
    nodes->setCurrentRow(1);
    NodeKey(nodes, Qt::Key_Insert); // a new node halfway along the second edge
    TLumMapControl *map = w.Map();
    map->grab();
    const QPoint node = map->MapToView(map->GeoCoordsToMap(zi->geom.nodes[1]));
    QCOMPARE(map->PosInZone(node, zi), pzNode + 1);
    QTest::mousePress(map->viewport(), Qt::LeftButton, Qt::NoModifier, node);
    QTest::mouseMove(map->viewport(), node + QPoint(-40, -30));
    QTest::mouseRelease(map->viewport(), Qt::LeftButton, Qt::NoModifier, node + QPoint(-40, -30));
    QCOMPARE(nodes->item(1)->text().toStdString(), LatLonText(zi->geom.nodes[1]));
    const QPixmap win = w.grab(), form = ed->grab();
    QPixmap both(win.width() + form.width() + 8, std::max(win.height(), form.height()));
    both.fill(Qt::darkGray);
    QPainter p(&both);
    p.drawPixmap(0, 0, win);
    p.drawPixmap(win.width() + 8, 0, form);
    p.end();
    QVERIFY(both.save(QCoreApplication::applicationDirPath() + "/zone-editor.png"));
  }

  void clickingAZoneWhileEditingIsRefused() {
    TMonitorMainWin &w = Start();
    TZoneInfo *zi = Select(kZoneCircle);
    Panel().ShowZoneInfo(false);
    QVERIFY(Panel().Editor());
    QVERIFY(!Child<QLineEdit>(Panel().Editor(), "EdName")->isEnabled()); // view mode
    Panel().OnClickZone(*zi);
    QCOMPARE(w.MsgLabel()->text(), QString("Close the zone editor first"));
  }

  void deletingAZone_data() {
    QTest::addColumn<bool>("usedByTrap");
    QTest::newRow("free zone goes") << false;
    QTest::newRow("zone of a trap stays") << true;
  }
  void deletingAZone() {
    QFETCH(bool, usedByTrap);
    TMonitorMainWin &w = Start();
    // The sim refuses to delete a zone a trap watches.
    std::set<int> watched;
    fDesk->Sim().WithWorld([&watched](sim::TSimWorld &wd) {
      for (int uid = 1; uid < 1000; ++uid)
        if (auto *t = wd.FindTrap(uid); t && t->target_type_id == 1) watched.insert(t->target_id);
    });
    TZonesModel *m = Panel().Model();
    int row = -1;
    for (int i = 0; i < m->rowCount() && row < 0; ++i)
      if (bool(watched.count(m->At(m->index(i, 0))->uid)) == usedByTrap) row = i;
    QVERIFY(row >= 0);
    Panel().List()->setCurrentIndex(m->index(row, 0));
    const int uid = m->At(m->index(row, 0))->uid;
    const int rows = m->rowCount();
    Prompt::StartScript({int(QMessageBox::Yes)});
    Panel().DeleteZone();
    Prompt::StopScript();
    QCOMPARE(m->rowCount(), usedByTrap ? rows : rows - 1);
    QCOMPARE(fDesk->Sim().WithWorld([uid](sim::TSimWorld &wd) { return wd.FindZone(uid) != nullptr; }),
             usedByTrap);
    (void)w;
  }

  // The tree is a model over the history made on the worker: objects, their visits, the visits'
  // points, consistent for any view (the model tester walks it), and the exports read the same.
  void zoneHistoryVisitsAndTextExport() {
    TMonitorMainWin &w = Start();
    TZoneInfo *zi = Select(kZoneCircle);
    const TObjectInfo *oi = w.Client().ObjList().front().get();
    std::vector<std::unique_ptr<TTrackPointInfo>> history;
    const TDateTime day = 46365;
    // 61 minutes after the second point: a second visit; an unknown object gets its own row.
    const std::pair<int, double> points[] = {{oi->uid, 0}, {oi->uid, 30}, {oi->uid, 91}, {99999, 10}};
    for (auto [uid, minutes] : points) {
      auto p = std::make_unique<TTrackPointInfo>(0, uid);
      p->obj_dt = day + 0.5 + minutes / 1440;
      p->lat = 58;
      p->lon = 56.25;
      history.push_back(std::move(p));
    }
    TZoneHistoryForm form(&w);
    const std::string name = oi->name;
    form.SetHistory(zi->name, day + 0.5, day + 0.75,
                    MakeZoneHistory(std::move(history), [&name, uid = oi->uid](int u) {
                      return u == uid ? name : std::string();
                    }));
    QCOMPARE(int(form.Visits().size()), 3);
    TZoneHistoryModel *m = form.HistoryModel();
    QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(m->index(0, 0).data().toString().toStdString(), oi->name);
    QCOMPARE(m->index(0, 1).data().toString(), QString("2"));
    QCOMPARE(m->index(1, 0).data().toString(), QString("#99999"));
    const QModelIndex first = m->index(0, 0, m->index(0, 0));
    QCOMPARE(first.data().toString().toStdString(), dt2s(day + 0.5));
    QCOMPARE(m->index(0, 1, m->index(0, 0)).data().toString().toStdString(), dur2s(1800, 1));
    QCOMPARE(m->rowCount(first), 2);
    QCOMPARE(m->rowCount(m->index(1, 0, m->index(0, 0))), 1);
    const QModelIndex point = m->index(1, 0, first);
    QCOMPARE(point.data().toString().toStdString(), dt2s(day + 0.5 + 30.0 / 1440));
    QCOMPARE(m->parent(point), first);
    QCOMPARE(m->parent(first), m->index(0, 0));
    QCOMPARE(m->rowCount(point), 0);
    QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QString("Object/Time"));
    QVERIFY(form.HistoryList()->isExpanded(m->index(0, 0)));
    const QString caption = QString::fromStdString(zi->name) + ": 09.12.2026 12:00..18:00";
    QCOMPARE(form.windowTitle(), caption);
    const std::string fn = form.ExportTo(fDesk->Dir() + "history.dat");
    QCOMPARE(fn, fDesk->Dir() + "history.csv"); // an unknown extension gives CSV
    const std::string txt = form.ExportTo(fDesk->Dir() + "history.txt");
    std::ifstream in(txt, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    QVERIFY(QString::fromStdString(ss.str()).startsWith(caption + "\r\n"));
    QVERIFY(!form.ExportTo(fDesk->Dir() + "history.xlsx").empty());
  }

  void zoneHistoryFromThePanel() {
    TMonitorMainWin &w = Start();
    Select(kZoneCircle);
    // The period dialog first (its default period), then the history window, answered as closed.
    Prompt::StartScript({QVariantMap{{"click", "ButOk"}}});
    Panel().ShowZoneHistory();
    Prompt::StopScript();
    QVERIFY(!Prompt::Asked().empty());
    QCOMPARE(Prompt::Asked().front().caption, QString("PeriodRequestForm"));
    QVERIFY(LogText(w).contains("Get zone history (uid="));

    // Cancelled, nothing is asked of the service.
    const int before = LogText(w).count("Get zone history (uid=");
    Prompt::StartScript({QVariantMap{{"click", "ButCancel"}}});
    Panel().ShowZoneHistory();
    Prompt::StopScript();
    QCOMPARE(LogText(w).count("Get zone history (uid="), before);
  }

  // The zone history is received and grouped on a worker under the busy window; "Cancel" there
  // shows no history window and no error.
  void zoneHistoryCancelledShowsNothing() {
    TMonitorMainWin &w = Start();
    Select(kZoneCircle);
    std::atomic<bool> reported{false}, onWindowThread{false};
    const QThread *windowThread = QThread::currentThread();
    SetBusyProgressObserver([&](const std::string &stage, size_t, size_t) {
      if (stage != "Receiving the zone history...") return;
      reported = true;
      if (QThread::currentThread() == windowThread) onWindowThread = true;
      CancelBusy();
    });
    Prompt::StartScript({QVariantMap{{"click", "ButOk"}}});
    Panel().ShowZoneHistory();
    Prompt::StopScript();
    SetBusyProgressObserver({});
    QVERIFY(reported);
    QVERIFY(!onWindowThread);
    QVERIFY(!BusyRunning());
    QCOMPARE(int(Prompt::Asked().size()), 1); // the period dialog only
    QVERIFY(LogText(w).contains("-> cancelled"));
    QVERIFY(!w.MsgPanel()->isVisible() || !w.MsgLabel()->text().contains("rror"));
  }
};

KELVRA_UI_TEST(ZonesTest)
#include "ZonesTest.moc"
