// The desk beyond the lists: object search and filters, alarm notifications, the keyboard and
// KML files read back by a real XML parser; the main window against an in-process kelvra-sim.

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeView>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/app/ObjectFilter.h"
#include "core/model/ObjectInfo.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackExport.h"
#include "sim/SimServer.h"
#include "sim/SimUtil.h"
#include "support/SignedInDesk.h"
#include "ui/map/LumMapControl.h"
#include "ui/events/AlarmNotify.h"
#include "ui/shell/DeskKeys.h"
#include "ui/events/EventsModel.h"
#include "ui/shell/MonitorApp.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/tracks/TrackFiles.h"
#include "ui/events/EventsPanel.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;

namespace {

// The names of the objects the list shows, groups left out.
std::set<std::string> Shown(TMonitorMainWin &w) {
  std::set<std::string> r;
  QAbstractItemModel *m = w.ObjList()->model();
  std::function<void(const QModelIndex &)> walk = [&](const QModelIndex &parent) {
    for (int i = 0; i < m->rowCount(parent); ++i) {
      const QModelIndex ix = m->index(i, 0, parent);
      if (const TObjectInfo *oi = w.Search()->ObjectAt(ix); oi && oi->uid > 0) r.insert(oi->name);
      walk(ix);
    }
  };
  walk({});
  return r;
}

// A KML document parsed by Qt's XML reader: what the reader saw, or its error.
struct TKmlSeen {
  QString error;
  int coords = 0, whens = 0, stopPlacemarks = 0, placemarks = 0;
  QString firstName;
};

TKmlSeen ParseKml(const QByteArray &bytes) {
  const QString kml = QStringLiteral("http://www.opengis.net/kml/2.2");
  const QString gx = QStringLiteral("http://www.google.com/kml/ext/2.2");
  TKmlSeen seen;
  QXmlStreamReader r(bytes);
  r.setNamespaceProcessing(true);
  int depthInPlacemark = 0;
  bool placemarkHasPoint = false;
  while (!r.atEnd()) {
    r.readNext();
    if (r.isStartElement()) {
      if (depthInPlacemark) ++depthInPlacemark;
      if (r.namespaceUri() == gx && r.name() == QLatin1String("coord")) ++seen.coords;
      if (r.namespaceUri() == kml && r.name() == QLatin1String("when")) ++seen.whens;
      if (r.namespaceUri() == kml && r.name() == QLatin1String("Placemark")) {
        ++seen.placemarks;
        depthInPlacemark = 1;
        placemarkHasPoint = false;
      }
      if (r.namespaceUri() == kml && r.name() == QLatin1String("Point") && depthInPlacemark)
        placemarkHasPoint = true;
      if (r.name() == QLatin1String("name") && seen.firstName.isNull()) {
        seen.firstName = r.readElementText(); // consumes the end of the element too
        if (depthInPlacemark) --depthInPlacemark;
      }
    } else if (r.isEndElement() && depthInPlacemark) {
      if (--depthInPlacemark == 0 && placemarkHasPoint) ++seen.stopPlacemarks;
    }
  }
  if (r.hasError()) seen.error = r.errorString();
  return seen;
}

std::unique_ptr<TTrackPointInfo> Point(int uid, TDateTime dt, double lat, double lon) {
  auto p = std::make_unique<TTrackPointInfo>(uid, 5);
  p->sys_dt = p->obj_dt = p->gps_dt = dt;
  p->lat = lat;
  p->lon = lon;
  p->alt = 150;
  return p;
}

// Three points, the middle one starting a parking stop; the name needs escaping.
std::unique_ptr<TGeoTrack> StopTrack() {
  auto t = std::make_unique<TGeoTrack>("5");
  TTrackPointList pts;
  pts.push_back(Point(1, 45356.5, 57.99, 56.27));
  auto stop = Point(2, 45356.51, 57.995, 56.275);
  stop->IsParking = true;
  stop->ParkingDuration = 600;
  pts.push_back(std::move(stop));
  pts.push_back(Point(3, 45356.52, 58.0, 56.28));
  t->Assign(std::move(pts));
  t->SetSign("Van & <Co> > 1");
  return t;
}

} // namespace

class DeskTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;
  int64_t fNextEvent = 900000;

  SimServer &Sim() { return fDesk->Sim(); }

  TMonitorMainWin &Start(std::vector<std::string> args = {}) {
    TMonitorMainWin &w = fDesk->Start(false, std::move(args));
    w.LoginTimer()->stop();
    return w;
  }

  int DemoUid() {
    return Sim().WithWorld([](sim::TSimWorld &world) { return world.FindUser("demo")->uid; });
  }

  // An alarm the service opens for an object now, as its traps would.
  void RaiseAlarm(int objUid) {
    Sim().WithWorld([&](sim::TSimWorld &world) {
      sim::TSimObject *o = world.FindObject(objUid);
      int trap = 0;
      for (const auto &t : world.fTraps)
        if (t->is_alarm && t->user_id == o->user_id) trap = t->uid;
      auto e = std::make_unique<sim::TSimEvent>();
      e->uid = ++fNextEvent;
      e->obj_id = o->uid;
      e->trap_id = trap;
      e->is_alarm = true;
      if (o->LastPoint()) e->h = *o->LastPoint();
      world.fEvents.push_back(std::move(e));
      world.Touch(*o);
    });
  }

  void TouchObject(int objUid) {
    Sim().WithWorld([&](sim::TSimWorld &world) { world.Touch(*world.FindObject(objUid)); });
  }

  // Objects of the demo user with and without open alarms after sign-in.
  std::pair<TObjectInfo *, TObjectInfo *> WithAndWithoutAlarm(TMonitorMainWin &w) {
    TObjectInfo *with = nullptr, *without = nullptr;
    for (const auto &oi : w.Client().ObjList()) {
      if (oi->is_deleted) continue;
      if (HasOpenAlarms(*oi) && !with) with = oi.get();
      if (!HasOpenAlarms(*oi) && !without) without = oi.get();
    }
    return {with, without};
  }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
    const int demo = DemoUid();
    Sim().WithWorld([demo](sim::TSimWorld &world) {
      for (const char *name : {"Иван", "Ванесса", "Пётр"})
        world.AddObject(demo, std::string("p-") + name).name = name;
    });
  }

  void cleanup() { fDesk.reset(); }

  void searchFoldsCaseAcrossScripts() {
    TMonitorMainWin &w = Start();
    const std::set<std::string> all = Shown(w);
    QVERIFY(all.count("Иван") && all.count("Ванесса") && all.count("Пётр"));
    // Typed key by key (QTest's key clicks take Latin-1 only).
    for (const QChar c : QString::fromUtf8("вАН")) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(w.Search()->SearchEdit(), &press);
    }
    QCOMPARE(w.Search()->SearchEdit()->text(), QString::fromUtf8("вАН"));
    QCOMPARE(Shown(w), (std::set<std::string>{"Иван", "Ванесса"}));
    // ё is typed as е, and blanks around the words do not matter.
    w.Search()->SearchEdit()->setText(QString::fromUtf8("  петр "));
    QCOMPARE(Shown(w), (std::set<std::string>{"Пётр"}));
    w.Search()->SearchEdit()->clear();
    QCOMPARE(Shown(w), all);
  }

  void withAlarmsKeepsExactlyTheObjectsWithOpenAlarms() {
    TMonitorMainWin &w = Start();
    auto [with, without] = WithAndWithoutAlarm(w);
    QVERIFY(with && without); // the demo world has both
    w.Search()->AlarmsButton()->click();
    std::set<std::string> expected;
    for (const auto &oi : w.Client().ObjList())
      if (HasOpenAlarms(*oi)) expected.insert(oi->name);
    QCOMPARE(Shown(w), expected);
    // Moving and offline exclude each other; both off again shows everything but by alarms.
    w.Search()->MovingButton()->click();
    w.Search()->OfflineButton()->click();
    QVERIFY(!w.Search()->MovingButton()->isChecked());
    w.Search()->OfflineButton()->click();
    QCOMPARE(Shown(w), expected);
  }

  void selectionAndTicksSurviveAFilterAndItsRemoval() {
    TMonitorMainWin &w = Start();
    auto [with, without] = WithAndWithoutAlarm(w);
    QVERIFY(with && without);
    w.ObjList()->setCurrentIndex(w.Search()->ViewIndex(without));
    QCOMPARE(w.SelectedObject(), without);
    w.Objects()->SetChecked(without, true);
    QVERIFY(w.MarkOf(without));

    // A filter that keeps the row keeps it selected.
    w.Search()->SearchEdit()->setText(QString::fromStdString(without->name));
    QCOMPARE(w.SelectedObject(), without);
    // A filter that hides it: nothing else takes its place; tick and marker stay.
    w.Search()->SearchEdit()->clear();
    w.Search()->AlarmsButton()->click();
    QVERIFY(!w.Search()->ViewIndex(without).isValid());
    QCOMPARE(w.SelectedObject(), static_cast<TObjectInfo *>(nullptr));
    QCOMPARE(w.Alarms()->rowCount(), 0);
    QVERIFY(w.Objects()->IsChecked(without));
    QVERIFY(w.MarkOf(without));
    // A refresh under the filter changes nothing of that.
    RaiseAlarm(with->uid);
    w.UpdateObjects();
    QVERIFY(w.MarkOf(without));
    QCOMPARE(w.SelectedObject(), static_cast<TObjectInfo *>(nullptr));
    // Off again: the same object is selected.
    w.Search()->AlarmsButton()->click();
    QCOMPARE(w.SelectedObject(), without);
    QVERIFY(w.Objects()->IsChecked(without));

    // Choosing another row while filtered makes that the selection to keep.
    w.Search()->AlarmsButton()->click();
    w.ObjList()->setCurrentIndex(w.Search()->ViewIndex(with));
    w.Search()->AlarmsButton()->click();
    QCOMPARE(w.SelectedObject(), with);

    // The filtered list as the user sees it.
    w.resize(1200, 800);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Search()->SearchEdit()->setText(QString::fromUtf8("вАН"));
    QVERIFY(w.LeftPanel()->grab().save("desk-filtered-list.png"));
  }

  void aNewAlarmRaisesOneNotificationAndItsObjectAtMostOneAMinute() {
    TMonitorMainWin &w = Start();
    double now = 1000;
    w.Notify()->clock = [&now] { return now; };
    QCOMPARE(int(w.Notify()->Shown().size()), 0); // the alarms open at sign-in are no news
    const int openAtStart = w.Notify()->OpenCount();
    QVERIFY(openAtStart > 0);
    QCOMPARE(w.Notify()->Badge()->text(), QString::number(openAtStart));

    auto [with, without] = WithAndWithoutAlarm(w);
    const int quiet = without->uid, other = with->uid;
    const std::string quietName = without->name;
    RaiseAlarm(quiet);
    now += 60;
    w.UpdateObjects();
    QCOMPARE(int(w.Notify()->Shown().size()), 1);
    const auto first = w.Notify()->Shown().back();
    QCOMPARE(first.title, FormString(w.Notify()->Toast(), "alarm_title", {quietName}));
    QCOMPARE(first.objId, quiet);
    QVERIFY(first.body.contains(QRegularExpression("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d")));
    QCOMPARE(w.Notify()->OpenCount(), openAtStart + 1);
    QVERIFY(w.Notify()->Toast()->isVisible() || w.Notify()->HasTray());

    // A second alarm of that object within its minute waits for the minute to pass ...
    now += 30;
    RaiseAlarm(quiet);
    w.UpdateObjects();
    QCOMPARE(int(w.Notify()->Shown().size()), 1);
    // ... while two alarms of another object in one refresh are one notification telling of the
    // second.
    now += 10;
    RaiseAlarm(other);
    RaiseAlarm(other);
    w.UpdateObjects();
    QCOMPARE(int(w.Notify()->Shown().size()), 2);
    QCOMPARE(w.Notify()->Shown().back().objId, other);
    QVERIFY(w.Notify()->Shown().back().body.contains(
        FormString(w.Notify()->Toast(), "alarm_more", {"1"})));
    now += 20; // the first object's minute is over
    TouchObject(other); // a refresh that brings a change but no alarm
    w.UpdateObjects();
    QCOMPARE(int(w.Notify()->Shown().size()), 3);
    QCOMPARE(w.Notify()->Shown().back().objId, quiet);

    // A click selects the alarm: its object (the filter that hid it goes), its row in the alarm
    // list and the same event in the events list, when that list's period holds it.
    const TDateTime today = std::floor(w.Client().DisplayNow());
    w.EventsPanel()->LoadEvents(today - 3, today + 1);
    w.Search()->SearchEdit()->setText("no such object at all");
    w.Notify()->ActivateLast();
    QCOMPARE(w.SelectedObject()->uid, quiet);
    QCOMPARE(w.BottomPages()->currentIndex(), 0);
    const int shownUid = w.Notify()->Shown().back().eventUid;
    for (QTreeView *list : {w.AlarmList(), w.EventList()}) {
      const TEventInfo *selected = w.EventsPanel()->Selected(list);
      QVERIFY2(selected, qPrintable(list->objectName()));
      QCOMPARE(selected->uid, shownUid);
    }
    if (!w.Notify()->HasTray()) QVERIFY(w.Notify()->Toast()->grab().save("desk-notification.png"));

    // Switched off in the settings: the count goes on, the messages stop.
    Prompt::StartScript({QVariantMap{{"CbNotifyAlarms", false}, {"click", "ButOk"}}});
    w.EditSettings();
    Prompt::StopScript();
    QCOMPARE(IniFile->ReadString("Config", "notify_alarms", ""), std::string("false"));
    RaiseAlarm(other);
    now += 120;
    w.UpdateObjects();
    QCOMPARE(int(w.Notify()->Shown().size()), 3);
    QCOMPARE(w.Notify()->OpenCount(), openAtStart + 5);

    // Sign-out: no count; the next sign-in's alarms are no news.
    w.Logout();
    QCOMPARE(w.Notify()->OpenCount(), 0);
    QVERIFY(!w.Notify()->Badge()->isVisibleTo(&w));
  }

  void shortcutsTriggerTheirActions() {
    TMonitorMainWin &w = Start();
    w.resize(1200, 800);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // Every item of every menu has a key, shown in the menu.
    std::function<void(QMenu *)> check = [&](QMenu *m) {
      for (QAction *a : m->actions()) {
        if (a->isSeparator()) continue;
        if (a->menu()) {
          check(a->menu());
          continue;
        }
        // A key the map reads itself is shown after a tab in the item's text.
        QVERIFY2(!a->shortcut().isEmpty() || a->text().contains('\t'),
                 qPrintable(a->objectName() + " " + a->text()));
      }
    };
    for (QAction *top : w.menuBar()->actions())
      if (top->menu()) check(top->menu());

    // Ctrl+F: into the search field.
    w.ObjList()->setFocus();
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.Search()->SearchEdit()));

    // F5: a refresh.
    Sim().ClearRequests();
    QTest::keyClick(&w, Qt::Key_F5);
    bool refreshed = false;
    for (const TSimRequest &r : Sim().Requests())
      refreshed |= r.path == "/api/v1/user/objects";
    QVERIFY(refreshed);

    // Delete in the object list: the object's question (answered No: nothing is deleted).
    w.ObjList()->setFocus();
    Prompt::StartScript({int(QMessageBox::No)});
    QTest::keyClick(w.ObjList(), Qt::Key_Delete);
    QCOMPARE(int(Prompt::Asked().size()), 1);
    QCOMPARE(Prompt::Asked()[0].caption, FormString(&w, "delete_object"));
    // Delete in the search field deletes a character, nothing else.
    w.Search()->SearchEdit()->setText("ab");
    w.Search()->SearchEdit()->setFocus();
    w.Search()->SearchEdit()->setCursorPosition(0);
    QTest::keyClick(w.Search()->SearchEdit(), Qt::Key_Delete);
    QCOMPARE(w.Search()->SearchEdit()->text(), QString("b"));
    QCOMPARE(int(Prompt::Asked().size()), 1);
    Prompt::StopScript();
    w.Search()->SearchEdit()->clear();

    // + and - zoom the map, the arrows pan it, while the map has the focus.
    TLumMapControl *map = w.Map();
    map->setFocus();
    const int zoom = map->Zoom();
    QTest::keyClick(map, Qt::Key_Plus);
    QCOMPARE(map->Zoom(), zoom + 1);
    QTest::keyClick(map, Qt::Key_Minus);
    QCOMPARE(map->Zoom(), zoom);
    const int h = map->horizontalScrollBar()->value(), v = map->verticalScrollBar()->value();
    QTest::keyClick(map, Qt::Key_Right);
    QVERIFY(map->horizontalScrollBar()->value() > h);
    QTest::keyClick(map, Qt::Key_Down);
    QVERIFY(map->verticalScrollBar()->value() > v);
    // In the object list the arrows stay the list's.
    w.ObjList()->setFocus();
    w.ObjList()->setCurrentIndex(w.ObjList()->model()->index(0, 0));
    const int hAfter = map->horizontalScrollBar()->value();
    QTest::keyClick(w.ObjList(), Qt::Key_Down);
    QCOMPARE(w.ObjList()->currentIndex().row(), 1);
    QCOMPARE(map->horizontalScrollBar()->value(), hAfter);

    // Ctrl+Q closes the window.
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w.isVisible());
  }

  void kmlIsWellFormedWithTheTrackAndTheStop() {
    const auto track = StopTrack();
    TKmlOptions o;
    o.address = [](const std::string &) { return std::string("Lenina <1> & 2"); };
    const TKmlSeen seen = ParseKml(QByteArray::fromStdString(TrackKml(*track, o)));
    QVERIFY2(seen.error.isEmpty(), qPrintable(seen.error));
    QCOMPARE(seen.coords, 3);
    QCOMPARE(seen.whens, 3);
    QCOMPARE(seen.stopPlacemarks, 1);
    QCOMPARE(seen.placemarks, 2);
    QCOMPARE(seen.firstName, QString("Van & <Co> > 1"));
  }

  void everyTrackSaveDialogOffersKml() {
    Init(fDesk->Dir() + "KelvraMonitor", {});
    const auto track = StopTrack();
    QWidget parent;
    const std::string fn = fDesk->Dir() + "van.kml";
    Prompt::StartScript({QString::fromStdString(fn)});
    QCOMPARE(SaveTrackAs(&parent, *track, "Export Track"), QString::fromStdString(fn));
    QVERIFY(Prompt::Asked()[0].text.contains("KML (*.kml)"));
    std::ifstream in(fn, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const TKmlSeen seen = ParseKml(QByteArray::fromStdString(bytes.str()));
    QVERIFY2(seen.error.isEmpty(), qPrintable(seen.error));
    QCOMPARE(seen.coords, 3);

    // A name that cannot be written is told, not lost.
    std::filesystem::create_directories(fDesk->Dir() + "busy.kml/inside");
    Prompt::StartScript({QString::fromStdString(fDesk->Dir() + "busy.kml"), int(QMessageBox::Ok)});
    QVERIFY(SaveTrackAs(&parent, *track, "Export Track").isEmpty());
    QCOMPARE(int(Prompt::Asked().size()), 2);
    QCOMPARE(Prompt::Asked()[1].kind, Prompt::TKind::Message);
    Prompt::StopScript();
  }
};

KELVRA_UI_TEST_RUN(DeskTest, [](int argc, char **argv) {
  TMonitorApp app(argc, argv);
  DeskTest tc;
  return QTest::qExec(&tc, argc, argv);
})

#include "DeskTest.moc"
