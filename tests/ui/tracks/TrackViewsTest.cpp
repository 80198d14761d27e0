#include <QtTest>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "UiTests.h"
#include "core/app/Common.h"
#include "support/TempDir.h"
#include "ui/tracks/TrackDumpForm.h"
#include "ui/tracks/TrackInfoForms.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;

namespace {

const TDateTime kDay = 45356.0; // 05.03.2024

// A morning drive with a stop: positions every minute, altitude from the third point on,
// a temperature sensor, and place ids A, A, B, A on four points.
std::unique_ptr<TGeoTrack> MakeTrack() {
  auto track = std::make_unique<TGeoTrack>("5");
  track->SetSign("Van 5");
  TTrackPointList pts;
  for (int i = 0; i < 120; ++i) {
    auto p = std::make_unique<TTrackPointInfo>(1000 + i, 5);
    const bool stop = i >= 40 && i < 60;
    p->sys_dt = p->obj_dt = p->gps_dt = kDay + 0.3 + i / 1440.0;
    p->lat = 57.998649 + (stop ? 40 : i) * 0.0004;
    p->lon = 56.27574 + (stop ? 40 : i) * 0.0006;
    p->acc = 12;
    p->speed = stop ? 0 : 40 + i % 7;
    p->angle = 45;
    p->bat = 100 - i / 3;
    p->src = i % 10 == 0 ? 2 : 0;
    if (i >= 2) p->alt = 150 + 20 * std::sin(i / 10.0);
    p->sensors.emplace_back(
        1, "temp", QString::number(20 + i % 5).toStdString());
    pts.push_back(std::move(p));
  }
  pts[10]->osm_id = pts[11]->osm_id = "A";
  pts[30]->osm_id = "B";
  pts[70]->osm_id = "A";
  track->Assign(std::move(pts));
  track->MarkParking();
  track->UpdateInfo();
  return track;
}

void SaveSettled(QWidget *w, const char *name) {
  // Layouts and charts settle in the event loop.
  QTest::qWait(50);
  QVERIFY(w->grab().save(QString("tracks-%1.png").arg(name)));
}

} // namespace

class TrackViewsTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    Translation = std::make_unique<TTranslation>();
    Translation->LoadDefaults(std::string(qgetenv("KELVRA_SOURCE_DIR")) +
                              "/Translations/defaults.txt");
    AddressCache = std::make_unique<TAddressCache>(fDir.Path() + "test.address");
    AddressCache->SetAddress("A", "Lenina street 12, Perm");
    AddressCache->SetAddress("B", "Komsomolsky avenue 7, Perm");
    Prompt::StartScript();
  }
  void cleanupTestCase() {
    Prompt::StopScript();
    AddressCache.reset();
    Translation.reset();
  }

  void dumpTableSortSummaryCopy() {
    auto track = MakeTrack();
    const TGeoTrack *raw = track.get();
    auto *form = new TTrackDumpForm;
    form->SetTrack(track.release(), true);
    QCOMPARE(form->windowTitle(), QString("Track dump: Van 5"));
    form->show();
    form->BuildDump();
    TTrackDumpModel *m = form->Model();
    QCOMPARE(m->rowCount(), static_cast<int>(raw->Points().size()));
    QCOMPARE(m->headerData(dcObjTime, Qt::Horizontal, Qt::DisplayRole).toString(), QString("obj_time"));
    QCOMPARE(m->index(0, dcUid).data().toString(), QString("1000"));
    QCOMPARE(m->index(0, dcGpsTime).data().toString(), QString("05.03.2024 07:12:00"));

    // Two clicks on a title: sorted by it, then reversed. Not every column sorts.
    QHeaderView *header = form->Table()->horizontalHeader();
    emit header->sectionClicked(dcUid);
    QCOMPARE(m->index(0, dcUid).data().toString(), QString("1000"));
    emit header->sectionClicked(dcUid);
    QCOMPARE(m->index(0, dcUid).data().toString(), QString("1119"));
    emit header->sectionClicked(dcSensors);
    QCOMPARE(m->index(0, dcUid).data().toString(), QString("1119"));
    emit header->sectionClicked(dcObjTime);

    // The first and the last selected row give the summary of the focused column.
    QTableView *t = form->Table();
    t->selectionModel()->select(m->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    t->selectionModel()->setCurrentIndex(m->index(61, dcObjTime),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(form->SummaryLabel()->text(), QString("Duration:"));
    QVERIFY(form->SummaryValue()->text().startsWith("01:0"));
    t->selectionModel()->setCurrentIndex(m->index(61, dcBat), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(form->SummaryLabel()->text(), QString("Change:"));

    form->CopyRows();
    const QString rows = QApplication::clipboard()->text();
    QVERIFY(rows.startsWith("uid;sys_time;"));
    QCOMPARE(rows.count("\r\n"), 3);
    t->setCurrentIndex(m->index(0, dcLat));
    t->selectionModel()->select(m->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    form->CopyColumns();
    QCOMPARE(QApplication::clipboard()->text(), QString("57.998649,56.275740"));
    t->selectRow(3);
    t->selectionModel()->setCurrentIndex(m->index(8, dcLat), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(form->SummaryLabel()->text(), QString("Distance:")); // the value carries its unit
    form->resize(1200, 500);
    SaveSettled(form, "dump");
    delete form; // frees the track it owns
  }

  void dumpChartAndPointInfo() {
    auto track = MakeTrack();
    TTrackDumpForm form;
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.SetTrack(track.get(), false, [](const std::string &s) {
      return s == "temp" ? std::string("Cabin temperature") : std::string();
    });
    form.resize(1000, 500);
    form.show();
    form.BuildDump();
    QComboBox *values = form.ChartValues();
    QCOMPARE(values->count(), 3);
    QCOMPARE(values->itemText(0), QString("Battery"));
    QCOMPARE(values->itemText(2), QString("temp | Cabin temperature"));
    form.ShowChart();
    QVERIFY(form.ChartShown());
    QCOMPARE(values->currentIndex(), 0);
    values->setCurrentIndex(1); // altitude: the first two points have none
    QCOMPARE(form.Chart()->chart()->series().size(), 2);
    SaveSettled(&form, "chart-altitude");

    // The first chart point is the third track point.
    const QLineSeries *line = qobject_cast<QLineSeries *>(form.Chart()->chart()->series()[0]);
    QVERIFY(line);
    const QPointF first = line->at(0);
    QCOMPARE(form.ChartPointIndex(first.x()), 2);
    form.ChartPointClicked(first);
    auto *info = form.findChild<TTrackPointInfoForm *>();
    QVERIFY(info);
    QCOMPARE(info->Rows()[0].Key, std::string("bat"));
    QCOMPARE(QString::fromStdString(info->Rows()[2].Value), QString("05.03.2024 07:14:00"));
    SaveSettled(info, "point-info");
    info->close();

    form.ShowDump();
    QVERIFY(!form.ChartShown());

    // Export through the save dialog: GPX, then shown with the desktop's opener.
    const std::string fn = fDir.Path() + "van5.gpx";
    Prompt::AddAnswer(QString::fromStdString(fn));
    form.ExportTrack();
    QVERIFY(std::filesystem::exists(fn));
    QCOMPARE(OpenedFiles().last(), QString::fromStdString(fn));
  }

  void trackInfoAndPath() {
    auto track = MakeTrack();
    auto *info = new TTrackInfoForm;
    info->ShowTrackInfo(track.get(), QPoint(10, 10));
    std::vector<std::string> keys;
    for (const TInfoRow &r : info->Rows())
      keys.push_back(r.Key);
    QVERIFY(std::find(keys.begin(), keys.end(), "parkings") != keys.end());
    QCOMPARE(keys.back(), std::string("addr_points"));
    QVERIFY(info->Table()->indexWidget(info->Table()->model()->index(static_cast<int>(keys.size()) - 1, 1)));
    SaveSettled(info, "track-info");
    info->close();

    TTrackPathForm path;
    path.SetTrack(track.get());
    QCOMPARE(path.Table()->model()->rowCount(), 3);
    QCOMPARE(path.Table()->model()->index(1, 1).data().toString(), QString("Komsomolsky avenue 7, Perm"));
    path.CopyPath();
    QCOMPARE(QApplication::clipboard()->text().count("\r\n"), 3);
    QVERIFY(QApplication::clipboard()->text().startsWith("05.03.2024 07:22:00\tLenina street 12, Perm\r\n"));
    const std::string fn = fDir.Path() + "path.csv";
    Prompt::AddAnswer(QString::fromStdString(fn));
    path.ExportPath();
    QVERIFY(std::filesystem::exists(fn));
    path.show();
    SaveSettled(&path, "path");
  }

  // A big track: the pass over its points when the dump opens and a sort by a title run on a
  // worker under the busy window; "Cancel" during the sort keeps the order shown.
  void bigDumpReadsAndSortsOffTheWindowThread() {
    constexpr int kPoints = 200000;
    auto track = std::make_unique<TGeoTrack>("7");
    TTrackPointList pts;
    for (int i = 0; i < kPoints; ++i) {
      auto p = std::make_unique<TTrackPointInfo>(i + 1, 7);
      p->sys_dt = p->obj_dt = p->gps_dt = kDay + i / 86400.0;
      p->lat = 57.99 + i * 1e-6;
      p->lon = 56.27 + i * 1e-6;
      p->speed = (i * 7919 % 1000) / 10.0;
      pts.push_back(std::move(p));
    }
    track->Assign(std::move(pts));
    TTrackDumpForm form;
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.SetTrack(track.get(), false);
    struct TReport {
      std::string stage;
      bool onWindowThread;
    };
    std::mutex lock;
    std::vector<TReport> reports;
    std::atomic<bool> cancel{false};
    const QThread *windowThread = QThread::currentThread();
    SetBusyProgressObserver([&](const std::string &stage, size_t, size_t) {
      {
        std::lock_guard<std::mutex> hold(lock);
        reports.push_back({stage, QThread::currentThread() == windowThread});
      }
      if (cancel && stage == "Sorting the rows...") CancelBusy();
    });
    form.BuildDump();
    TTrackDumpModel *m = form.Model();
    QCOMPARE(m->rowCount(), kPoints);
    QVERIFY(form.ChartValues()->count() > 0);

    cancel = true;
    m->SortByTitle(dcSpeed);
    QCOMPARE(m->SortColumn(), -1); // the track's own order stays
    for (int row : {0, 1, kPoints - 1})
      QCOMPARE(m->PointAt(row), track->Points()[row].get());

    cancel = false;
    m->SortByTitle(dcSpeed);
    SetBusyProgressObserver({});
    QCOMPARE(m->SortColumn(), int(dcSpeed));
    for (int row = 1; row < kPoints; ++row)
      QVERIFY(m->PointAt(row - 1)->speed <= m->PointAt(row)->speed);

    std::vector<std::string> stages;
    for (const TReport &r : reports) {
      QVERIFY2(!r.onWindowThread, r.stage.c_str());
      if (stages.empty() || stages.back() != r.stage) stages.push_back(r.stage);
    }
    QCOMPARE(stages, (std::vector<std::string>{"Reading the points...", "Sorting the rows..."}));
  }

private:
  test::TTempDir fDir{"kelvra-track-views"};
};

KELVRA_UI_TEST(TrackViewsTest)
#include "TrackViewsTest.moc"
