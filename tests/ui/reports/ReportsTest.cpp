// The reports window against kelvra-sim: the objects, the kinds of report, sorting and totals,
// a row shown on the map, the exports, "Cancel" at every stage of the work; and the printed
// pages of a report.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>
#include <atomic>
#include <cmath>
#include <mutex>

#include "core/reports/ReportTable.h"
#include "support/SignedInDesk.h"
#include "ui/UiTests.h"
#include "ui/reports/ReportPrint.h"
#include "ui/reports/ReportsForm.h"
#include "ui/tracks/TracksPanel.h"
#include "ui/widgets/BusyRunner.h"

using namespace kelvra;
using kelvra::test::TSignedInDesk;

namespace {

QByteArray ReadAll(const QString &fn) {
  QFile f(fn);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Page objects of a PDF ("/Type /Page", not "/Type /Pages").
int PdfPages(const QByteArray &pdf) {
  int n = 0;
  for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0; at = pdf.indexOf("/Type /Page", at + 1))
    if (pdf.mid(at + 11, 1) != "s") ++n;
  return n;
}

} // namespace

class ReportsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TSignedInDesk> fDesk;

  // The window from the menu, with every object ticked and the last day as the period.
  TReportsForm *Open(TMonitorMainWin &w) {
    QAction *menu = w.findChild<QAction *>("MenuShowReports");
    if (!menu || menu->shortcut() != QKeySequence(Qt::CTRL | Qt::Key_R)) return nullptr;
    menu->trigger();
    TReportsForm *r = w.Reports();
    if (!r) return nullptr;
    r->TickShown(true);
    const TDateTime now = w.Client().DisplayNow();
    r->SetPeriod(now - 1, now);
    return r;
  }

private slots:
  void init() {
    // The service's clock starts now: the report's period is the last day of the display clock.
    fDesk = std::make_unique<TSignedInDesk>(TSimOptions{});
    QVERIFY(fDesk->SimStarted());
  }
  void cleanup() {
    SetBusyProgressObserver({});
    fDesk.reset();
  }

  // Every kind of report comes out of the demo world with rows and totals; sorting goes by the
  // numbers; a double click shows the row's track; the exports write their files.
  void reportsOfEveryKind() {
    TMonitorMainWin &w = fDesk->Start();
    TReportsForm *r = Open(w);
    QVERIFY(r);
    QVERIFY(r->TickedObjects().size() >= 3);

    // The search of the object list works here too.
    const int all = r->ObjectsView()->model()->rowCount();
    r->SearchEdit()->setText("van");
    QVERIFY(r->ObjectsView()->model()->rowCount() < all);
    QVERIFY(r->ObjectsView()->model()->rowCount() >= 1);
    r->SearchEdit()->clear();
    QCOMPARE(r->ObjectsView()->model()->rowCount(), all);

    for (int k = 0; k < kReportKindCount; ++k) {
      const auto kind = static_cast<TReportKind>(k);
      r->SetKind(kind);
      QVERIFY2(r->Run(), qPrintable(r->StatusLabel()->text()));
      const TReportTable *t = r->Table();
      QVERIFY(t);
      QCOMPARE(t->kind, kind);
      QCOMPARE(r->TotalsView()->model()->rowCount(), 1);
      QCOMPARE(r->TotalsView()->model()->index(0, 0).data().toString(),
               QString("Total (%1)").arg(t->rows.size()));
      if (kind != TReportKind::Events)
        QVERIFY2(!t->rows.empty(), qPrintable(QString::fromStdString(ReportKindName(kind)) + "\n" +
                                              fDesk->LogText().right(3000)));
    }

    // Trips sorted by distance, longest first.
    r->SetKind(TReportKind::Trips);
    QVERIFY(r->Run());
    QVERIFY(r->Table()->rows.size() >= 2);
    r->TableView()->sortByColumn(5, Qt::DescendingOrder);
    QAbstractItemModel *m = r->TableView()->model();
    for (int i = 1; i < m->rowCount(); ++i)
      QVERIFY(m->index(i - 1, 5).data(Qt::UserRole + 1).toDouble() >=
              m->index(i, 5).data(Qt::UserRole + 1).toDouble());
    // The distance total is the sum of the rows.
    double sum = 0;
    for (const auto &row : r->Table()->rows) sum += row[5].num;
    QCOMPARE(r->TotalsView()->model()->index(0, 5).data().toString(),
             QString::number(sum, 'f', 2));

    // A double click on the longest trip shows its track.
    QCOMPARE(w.Tracks()->Model()->rowCount(), 0);
    emit r->TableView()->doubleClicked(m->index(0, 0));
    QCOMPARE(w.Tracks()->Model()->rowCount(), 1);

    // The exports, by the name's extension.
    for (const char *ext : {"xlsx", "csv", "pdf"}) {
      const QString fn = QString::fromStdString(fDesk->Dir()) + "report." + ext;
      QCOMPARE(r->ExportTo(fn), QString());
      QVERIFY(ReadAll(fn).size() > 100);
    }
    QVERIFY(ReadAll(QString::fromStdString(fDesk->Dir()) + "report.pdf").startsWith("%PDF"));
    QVERIFY(!r->ExportTo(QString::fromStdString(fDesk->Dir()) + "no/such/folder/r.xlsx").isEmpty());

    r->resize(1100, 600);
    QVERIFY(r->grab().save("reports-trips.png"));
  }

  // "Cancel" in any stage stops the work there: the table shown before stays, nothing is left
  // running, and the next run goes through.
  void cancelAtEveryStage_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("stage");
    QTest::addColumn<int>("atReport");
    QTest::newRow("first track") << int(TReportKind::Trips) << "Receiving the track of" << 0;
    QTest::newRow("a later track") << int(TReportKind::Stops) << "Receiving the track of" << 2;
    QTest::newRow("reducing") << int(TReportKind::Summary) << "Finding trips and stops of" << 1;
    QTest::newRow("events") << int(TReportKind::Summary) << "Receiving the events" << 0;
    QTest::newRow("places") << int(TReportKind::Trips) << "Looking up places" << 0;
  }
  void cancelAtEveryStage() {
    QFETCH(int, kind);
    QFETCH(QString, stage);
    QFETCH(int, atReport);
    TMonitorMainWin &w = fDesk->Start();
    TReportsForm *r = Open(w);
    QVERIFY(r);
    r->SetKind(TReportKind::Events);
    QVERIFY(r->Run());
    const TReportTable *before = r->Table();
    const int rowsBefore = r->TableView()->model()->rowCount();

    r->SetKind(static_cast<TReportKind>(kind));
    std::atomic<int> reports{0};
    std::vector<std::string> seen;
    std::mutex seenLock;
    SetBusyProgressObserver([&](const std::string &st, size_t, size_t) {
      {
        std::lock_guard<std::mutex> lock(seenLock);
        seen.push_back(st);
      }
      if (QString::fromStdString(st).startsWith(stage) && reports++ == atReport) CancelBusy();
    });
    const bool made = r->Run();
    SetBusyProgressObserver({});
    QVERIFY(!made);
    QVERIFY(!seen.empty());
    QVERIFY2(QString::fromStdString(seen.back()).startsWith(stage), seen.back().c_str());
    QCOMPARE(r->Table(), before);
    QCOMPARE(r->TableView()->model()->rowCount(), rowsBefore);
    QCOMPARE(r->StatusLabel()->text(), QString("The report was cancelled."));
    QVERIFY(!BusyRunning());
    QVERIFY(fDesk->LogText().contains("cancelled"));

    QVERIFY(r->Run());
    QCOMPARE(r->Table()->kind, static_cast<TReportKind>(kind));
  }

  // Nothing ticked: a message, no work.
  void nothingTicked() {
    TMonitorMainWin &w = fDesk->Start();
    TReportsForm *r = Open(w);
    QVERIFY(r);
    r->TickShown(false);
    Prompt::StartScript({int(QMessageBox::Ok)});
    QVERIFY(!r->Run());
    QCOMPARE(int(Prompt::Asked().size()), 1);
    QCOMPARE(Prompt::Asked().front().text, QString("Tick the objects of the report first."));
    Prompt::StopScript();
    QVERIFY(!r->Table());
  }

  // A report of many rows goes across pages, each with its number, the totals on the last.
  void pdfPages_data() {
    QTest::addColumn<int>("rows");
    QTest::newRow("no rows") << 0;
    QTest::newRow("one page") << 10;
    QTest::newRow("many pages") << 400;
  }
  void pdfPages() {
    QFETCH(int, rows);
    TReportTable t;
    t.title = "Trips: Car, 09.12.2026 00:00 - 10.12.2026 00:00";
    t.columns = {{"col_object", "Object", TCellType::Text, 0, TTotalKind::Label},
                 {"col_start", "Start", TCellType::DateTime, 0, TTotalKind::None},
                 {"col_distance", "Distance, km", TCellType::Number, 2, TTotalKind::Sum}};
    for (int i = 0; i < rows; ++i)
      t.rows.push_back({{NAN, "Car " + std::to_string(i)}, {46365 + i / 1440.0, {}}, {1.5, {}}});
    test::TTempDir dir;
    const QString fn = QString::fromStdString(dir.Path()) + "r.pdf";
    QCOMPARE(WriteReportPdf(fn, t, "Page %1 of %2"), QString());
    const QByteArray pdf = ReadAll(fn);
    QVERIFY(pdf.startsWith("%PDF"));
    const int pages = PdfPages(pdf);
    if (rows <= 10) {
      QCOMPARE(pages, 1);
    } else {
      // A4 across holds some tens of rows of 8 points: 400 rows take several pages, not one
      // per row.
      QVERIFY2(pages >= 4 && pages <= 40, qPrintable(QString::number(pages)));
    }
    // The document is named after the report.
    QVERIFY(pdf.contains("/Title"));
    QVERIFY(!QFile::exists(fn + ".tmp"));
    // No folder there: a reason, and no file.
    QVERIFY(!WriteReportPdf(QString::fromStdString(dir.Path()) + "no/r.pdf", t, "%1/%2").isEmpty());
  }
};

KELVRA_UI_TEST(ReportsTest)
#include "ReportsTest.moc"
