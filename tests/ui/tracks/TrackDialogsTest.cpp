#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <mutex>
#include <string>
#include <vector>

#include "UiTests.h"
#include "core/app/Common.h"
#include "support/TempDir.h"
#include "ui/tracks/FilterTrackForm.h"
#include "ui/tracks/TrackParserForm.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;

namespace {

void Save(QWidget *w, const char *name) {
  QVERIFY(w->grab().save(QString("tracks-%1.png").arg(name)));
}

QString LogText(TLumTtyBox *log) {
  QStringList lines;
  for (int i = 0; i < log->LineCount(); ++i)
    lines << log->Line(i);
  return lines.join('\n');
}

} // namespace

class TrackDialogsTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    Translation = std::make_unique<TTranslation>();
    Translation->LoadDefaults(std::string(qgetenv("KELVRA_SOURCE_DIR")) +
                              "/Translations/defaults.txt");
    IniFile = std::make_unique<TLumIniFile>(fDir.Path() + "test.ini");
    Prompt::StartScript();
  }
  void cleanupTestCase() {
    Prompt::StopScript();
    IniFile.reset();
    Translation.reset();
  }

  void filterRefusesAndKeepsTypedFields_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("message");
    QTest::newRow("window above 16") << 0 << "17" << "0.001" << "Window size too large [17], max=16";
    QTest::newRow("window below 3") << 0 << "2" << "0.001" << "Window size too small";
    QTest::newRow("no measurement error") << 1 << "3" << "0,0" << "Error too small [0.00]";
    QTest::newRow("kalman passes") << 1 << "17" << "0,002" << "";
  }
  void filterRefusesAndKeepsTypedFields() {
    QFETCH(int, page);
    QFETCH(QString, size);
    QFETCH(QString, error);
    QFETCH(QString, message);
    TFilterForm form;
    QCOMPARE(form.StyleBox()->currentIndex(), 3); // the last style
    form.Pages()->setCurrentIndex(page);
    form.SizeEdit()->setText(size);
    form.ErrorEdit()->setText(error);
    form.show();
    const size_t asked = Prompt::Asked().size();
    Prompt::AddAnswer(int(QMessageBox::Ok));
    form.accept();
    if (message.isEmpty()) {
      QCOMPARE(form.result(), int(QDialog::Accepted));
      QCOMPARE(QString::fromStdString(form.CreateFilter()->Sign()), QString("kalman-0.0020-0.20"));
      Prompt::StopScript();
      Prompt::StartScript();
    } else {
      QCOMPARE(Prompt::Asked().size(), asked + 1);
      QCOMPARE(Prompt::Asked().back().text, message);
      QVERIFY(form.isVisible());
      if (page == 0 && size == "17") Save(&form, "filter");
      form.reject();
    }
    // Kept as typed, confirmed or not.
    QCOMPARE(QString::fromStdString(IniFile->ReadString("Filter", "Size", "")), size);
    QCOMPARE(IniFile->ReadInteger("Filter", "Filter", -1), page);
    TFilterForm again;
    QCOMPARE(again.Pages()->currentIndex(), page);
    QCOMPARE(again.ErrorEdit()->text(), error);
  }

  void parserGuessesBuildsAndReports() {
    const std::string fn = fDir.Write("drive.csv", "time;lat;lon;speed\r\n"
                                                   "1700000000;56,1;58.2;12.5\r\n"
                                                   "1700000060;56.1005;58.2010;14\r\n"
                                                   "1700000120;56.1011;58.2024;15.25\r\n");
    TTrackParser dlg;
    dlg.ParseFile(QString::fromStdString(fn));
    QCOMPARE(dlg.SignEdit()->text(), QString("drive.csv"));
    QCOMPARE(dlg.Grid()->model()->rowCount(), 3);
    QCOMPARE(dlg.Grid()->model()->columnCount(), 4);
    QCOMPARE(dlg.FieldBox(pfTime)->currentText(), QString("time"));
    QCOMPARE(dlg.FieldBox(pfLongitude)->currentIndex(), 2);
    QCOMPARE(dlg.FieldBox(pfSpeed)->currentIndex(), 3);
    QCOMPARE(dlg.FieldBox(pfAltitude)->currentIndex(), -1);
    QVERIFY(dlg.MakeTrack());
    QVERIFY(LogText(dlg.Log()).contains("== 3 track points"));
    dlg.resize(1000, 700);
    dlg.show();
    Save(&dlg, "parser");
    auto track = dlg.GetTrack();
    QVERIFY(track);
    QCOMPARE(track->Points().size(), size_t(3));
    QCOMPARE(track->Points()[0]->speed, 12.5);
    QCOMPARE(track->Points()[0]->lat, 56.1);
    QVERIFY(!dlg.GetTrack()); // handed over once

    // Another separator splits the rows anew.
    dlg.SeparatorEdit()->setText(",");
    dlg.ParseFile();
    QCOMPARE(dlg.Grid()->model()->columnCount(), 1); // the header has no ","
    QCOMPARE(dlg.Parser().RowFields(0).size(), size_t(2));
    QCOMPARE(dlg.Grid()->model()->index(0, 0).data().toString(), QString("1700000000;56"));
  }

  // A second file whose reading is cancelled or fails leaves the first one as it was (rows,
  // grid, name), and a cancelled second build leaves the track built before.
  void parserKeepsWhatItHadWhenTheNextStepStops_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("reading cancelled") << true;
    QTest::newRow("file not text") << false;
  }
  void parserKeepsWhatItHadWhenTheNextStepStops() {
    QFETCH(bool, cancel);
    const std::string first =
        fDir.Write("first.csv", "time;lat;lon\n1700000000;56;58\n1700000060;56.001;58.001\n");
    const std::string second =
        cancel ? fDir.Write("second.csv", "time;lat;lon\n1700000000;57;59\n")
               : fDir.Write("second.bin", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
    TTrackParser dlg;
    dlg.ParseFile(QString::fromStdString(first));
    QVERIFY(dlg.MakeTrack());
    const auto cancelAtOnce = [](const std::string &, size_t, size_t) { CancelBusy(); };
    if (cancel) SetBusyProgressObserver(cancelAtOnce);
    dlg.ParseFile(QString::fromStdString(second));
    SetBusyProgressObserver(cancelAtOnce);
    QVERIFY(!dlg.MakeTrack()); // cancelled at its first step
    SetBusyProgressObserver({});
    QCOMPARE(dlg.Parser().RowCount(), 2);
    QCOMPARE(dlg.Grid()->model()->rowCount(), 2);
    QCOMPARE(dlg.Grid()->model()->index(1, 1).data().toString(), QString("56.001"));
    QCOMPARE(dlg.findChild<QLineEdit *>("EdFileName")->text(), QString::fromStdString(first));
    const QString log = LogText(dlg.Log());
    QVERIFY2(log.contains(cancel ? "X: cancelled" : "X: not a text file"), qPrintable(log));
    auto track = dlg.GetTrack();
    QVERIFY(track);
    QCOMPARE(track->Points().size(), size_t(2));
  }

  void parserBrokenRowKeepsNothing() {
    const std::string fn = fDir.Write("broken.csv", "time;lat;lon\n1700000000;56;58\n;56.1;58.1\n");
    TTrackParser dlg;
    dlg.ParseFile(QString::fromStdString(fn));
    QVERIFY(!dlg.MakeTrack());
    QVERIFY(!dlg.GetTrack());
    const QString log = LogText(dlg.Log());
    QVERIFY2(log.contains("X[2]: no data"), qPrintable(log));
    QVERIFY(log.contains("time \"\""));

    const std::string bin = fDir.Write("photo.csv", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
    TTrackParser other;
    other.ParseFile(QString::fromStdString(bin));
    QVERIFY(LogText(other.Log()).contains("X: not a text file"));
    QVERIFY(!other.MakeTrack());
  }

  // A big file: the busy window names every stage in turn and its bar goes up to the whole;
  // "Cancel" at any stage stops the import there and leaves nothing half-built.
  void importGoesThroughEveryStageAndCancelKeepsNothing_data() {
    QTest::addColumn<int>("cancelAt"); // the stage "Cancel" is pressed in; -1: never
    QTest::newRow("whole") << -1;
    QTest::newRow("reading") << 0;
    QTest::newRow("lines") << 1;
    QTest::newRow("building") << 2;
    QTest::newRow("statistics") << 3;
  }
  void importGoesThroughEveryStageAndCancelKeepsNothing() {
    QFETCH(int, cancelAt);
    constexpr int kRows = 200000;
    if (fBigCsv.empty()) {
      std::string text = "time;lat;lon;speed\n";
      for (int r = 0; r < kRows; ++r)
        text += std::to_string(1700000000 + r) + ";" + std::to_string(57.9 + r * 1e-6) + ";" +
                std::to_string(56.2 + r * 1e-6) + ";" + std::to_string(r % 90) + "\n";
      fBigCsv = fDir.Write("big.csv", text);
    }
    const std::vector<std::string> stages = {"Reading the file...", "Finding the lines...",
                                             "Building the points...", "Measuring the track..."};
    struct TSeen {
      std::string stage;
      size_t last = 0, total = 0;
      bool backwards = false;
    };
    std::mutex lock;
    std::vector<TSeen> seen; // told on the worker
    SetBusyProgressObserver([&](const std::string &stage, size_t done, size_t total) {
      std::lock_guard<std::mutex> hold(lock);
      if (seen.empty() || seen.back().stage != stage) seen.push_back({stage});
      TSeen &s = seen.back();
      s.backwards |= done < s.last;
      s.last = done;
      s.total = total;
      if (cancelAt >= 0 && stage == stages[cancelAt] && done > 0) CancelBusy();
    });
    TTrackParser dlg;
    const bool read = dlg.SetFileName(QString::fromStdString(fBigCsv));
    if (read) {
      dlg.ParseFile();
      QCOMPARE(dlg.Grid()->model()->rowCount(), kRows);
      QCOMPARE(dlg.MakeTrack(), cancelAt < 0);
    }
    SetBusyProgressObserver({});
    auto track = dlg.GetTrack();
    const QString log = LogText(dlg.Log());

    // The stages came in order, none twice, each going up only.
    const size_t expected = cancelAt < 0 ? stages.size() : size_t(cancelAt) + 1;
    QCOMPARE(seen.size(), expected);
    for (size_t i = 0; i < seen.size(); ++i) {
      QCOMPARE(seen[i].stage, stages[i]);
      QVERIFY(!seen[i].backwards);
      QVERIFY(seen[i].total > 0);
      if (i + 1 < seen.size() || cancelAt < 0) QCOMPARE(seen[i].last, seen[i].total);
    }
    if (cancelAt < 0) {
      QVERIFY(track);
      QCOMPARE(track->Points().size(), size_t(kRows));
      QVERIFY(log.contains("== 200000 track points"));
      return;
    }
    QVERIFY(!track);
    QVERIFY2(log.contains("X: cancelled"), qPrintable(log));
    QCOMPARE(read, cancelAt >= 2);
    if (!read) { // no line of the file is kept, and the grid shows none
      QCOMPARE(dlg.Parser().LineCount(), 0);
      QCOMPARE(dlg.Grid()->model()->rowCount(), 0);
    }
  }

private:
  test::TTempDir fDir{"kelvra-track-dialogs"};
  std::string fBigCsv;
};

KELVRA_UI_TEST(TrackDialogsTest)
#include "TrackDialogsTest.moc"
