// The period dialog, the track request dialog, the accept dialog and the calculator, offscreen
// with the real translation and a settings file of their own.

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/model/ObjectInfo.h"
#include "core/util/LumDates.h"
#include "support/SignedInDesk.h"
#include "support/TempDir.h"
#include "ui/events/AcceptEventForm.h"
#include "ui/tracks/CalculatorForm.h"
#include "ui/widgets/PeriodRequestForm.h"
#include "ui/tracks/TrackRequestForm.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;
using test::Answer;

namespace {

// 20 December 2026, 15:30, a Sunday.
const TDateTime kNow = EncodeDateTime(2026, 12, 20, 15, 30);

} // namespace

class PeriodDialogsTest : public QObject {
  Q_OBJECT
  test::TTempDir fDir;

private slots:
  void initTestCase() {
    Translation = std::make_unique<TTranslation>();
    Translation->LoadDefaults(std::string(qgetenv("KELVRA_SOURCE_DIR")) +
                              "/Translations/defaults.txt");
  }
  void init() { IniFile = std::make_unique<TLumIniFile>(fDir.Path() + "test.ini"); }
  void cleanup() {
    Prompt::StopScript();
    IniFile.reset();
    std::remove((fDir.Path() + "test.ini").c_str());
  }
  void cleanupTestCase() { Translation.reset(); }

  void quickButtonNamesThePeriod_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("closeAfterClick");
    QTest::addColumn<QString>("dt1");
    QTest::addColumn<QString>("dt2");
    QTest::addColumn<QString>("sign");
    QTest::newRow("yesterday, then OK") << "SbYesterday" << false << "19.12.2026 00:00:00"
                                        << "19.12.2026 23:59:59"
                                        << "Yesterday";
    QTest::newRow("quarter closes") << "SbQuarter" << true << "01.10.2026 00:00:00"
                                    << "01.01.2027 00:00:00"
                                    << "Quarter";
    QTest::newRow("week from Monday") << "SbWeek" << true << "14.12.2026 00:00:00"
                                      << "21.12.2026 00:00:00"
                                      << "Week";
  }
  void quickButtonNamesThePeriod() {
    QFETCH(QString, button);
    QFETCH(bool, closeAfterClick);
    QFETCH(QString, dt1);
    QFETCH(QString, dt2);
    QFETCH(QString, sign);
    TPeriodRequestForm dlg;
    dlg.Now = [] { return kNow; };
    Prompt::StartScript(
        {closeAfterClick ? Answer({{"click", button}}) : Answer({{"click", "ButOk"}})});
    if (!closeAfterClick) dlg.findChild<QPushButton *>(button)->click();
    QVERIFY(dlg.DoRequest(closeAfterClick));
    QCOMPARE(QString::fromStdString(dt2s(dlg.Dt1())), dt1);
    QCOMPARE(QString::fromStdString(dt2s(dlg.Dt2())), dt2);
    QCOMPARE(QString::fromStdString(dlg.Sign()), sign);
    // The period is kept for the next time.
    TPeriodRequestForm again;
    QCOMPARE(again.Dt1(), dlg.Dt1());
  }

  void typedPeriodIsNamedByItsLengthAndMustEndAfterItStarts() {
    TPeriodRequestForm dlg;
    dlg.Now = [] { return kNow; };
    Prompt::StartScript({Answer({{"EdDate1", QDate(2026, 12, 1)},
                                 {"EdTime1", QTime(6, 0)},
                                 {"EdDate2", QDate(2026, 12, 1)},
                                 {"EdTime2", QTime(12, 0)},
                                 {"click", "ButOk"}}),
                         Answer({{"EdDate2", QDate(2026, 11, 30)}, {"click", "ButOk"}})});
    QVERIFY(dlg.DoRequest(false));
    QCOMPARE(dlg.Sign(), std::string("6h 0s"));
    // OK on an end before the start is no request.
    QVERIFY(!dlg.DoRequest(false));
    // A quick button used before the dates were typed does not name them.
    TPeriodRequestForm typed;
    typed.Now = [] { return kNow; };
    typed.findChild<QPushButton *>("SbToday")->click();
    Prompt::StartScript({Answer({{"EdTime1", QTime(8, 0)}, {"click", "ButOk"}})});
    QVERIFY(typed.DoRequest(false));
    QCOMPARE(typed.Sign(), PeriodSign({typed.Dt1(), typed.Dt2()}));
  }

  void trackRequestTakesThePeriodDialogsChoice() {
    TObjectInfo oi(101);
    oi.id = "860000000000101";
    oi.name = "Delivery van";
    TTrackRequestForm dlg;
    dlg.Now = [] { return kNow; };
    // Nothing stored: today 06:00 to 12:00, named "6 hours".
    Prompt::StartScript({Answer({{"click", "ButCancel"}})});
    QVERIFY(!dlg.DoRequest(&oi));
    QCOMPARE(QString::fromStdString(dt2s(dlg.Dt1())), QString("20.12.2026 06:00:00"));
    QCOMPARE(dlg.TrackSign(), std::string("6 hours"));
    QCOMPARE(dlg.findChild<QLineEdit *>("EdObjectName")->text(), QString("Delivery van"));
    // "Select period" and a quick button there; then the options.
    Prompt::StartScript({Answer({{"click", "ButSelectPeriod"}, {"result", int(QDialog::Rejected)}}),
                         Answer({{"click", "SbPreYesterday"}})});
    Prompt::Exec(&dlg); // clicks "Select period", which asks the period dialog
    QCOMPARE(QString::fromStdString(dt2s(dlg.Dt1())), QString("18.12.2026 00:00:00"));
    QCOMPARE(dlg.TrackSign(), std::string("Pre-yest-day"));
    Prompt::StartScript({Answer({{"CbTrackStyle", "Purple"},
                                 {"CbRequestSensors", true},
                                 {"CbDoNotMarkup", true},
                                 {"click", "ButOk"}})});
    QVERIFY(dlg.DoRequest(&oi));
    QCOMPARE(dlg.TrackStyle(), 3);
    QVERIFY(dlg.RequestSensors());
    QVERIFY(!dlg.RequestBySysTime());
    QVERIFY(dlg.DoNotMarkup());
    // Kept in section "Track".
    QCOMPARE(IniFile->ReadString("Track", "Sign", ""), std::string("Pre-yest-day"));
    TTrackRequestForm again;
    QCOMPARE(again.Dt1(), dlg.Dt1());
    QVERIFY(dlg.grab().save("tracks-track-request.png"));
  }

  void acceptMessageIsTrimmed() {
    TAcceptEventForm dlg;
    QCOMPARE(dlg.windowTitle(), QString("Accept Event"));
    Prompt::StartScript({Answer({{"EdAcceptMessage", "  on my way "}, {"click", "ButOk"}})});
    QCOMPARE(Prompt::Exec(&dlg), int(QDialog::Accepted));
    QCOMPARE(dlg.AcceptMessage(), QString("on my way"));
  }

  void calculatorKeepsTheLastTwoPoints() {
    QWidget owner;
    TCalculatorForm *calc = ShowCalculator(&owner);
    QCOMPARE(ShowCalculator(&owner), calc); // one window
    auto point = [](double lat, double lon, int minute) {
      TTrackPointInfo p(minute, 1);
      p.lat = lat;
      p.lon = lon;
      p.obj_dt = EncodeDateTime(2026, 12, 9, 8, minute);
      return p;
    };
    calc->AppendPoint(point(58.0, 56.0, 1));
    QCOMPARE(calc->DistanceText(), QString());
    calc->AppendPoint(point(58.001, 56.0, 2));
    const QString first = calc->DistanceText();
    QVERIFY(first.endsWith(" m"));
    const double metres = first.chopped(2).toDouble();
    QVERIFY(metres > 110 && metres < 112); // 0.001 degree of latitude
    calc->AppendPoint(point(58.001, 56.0, 3));
    QCOMPARE(int(calc->Points().size()), 2);
    QCOMPARE(calc->Points()[0]->uid, 2);
    QCOMPARE(calc->Points()[1]->uid, 3);
    QCOMPARE(calc->DistanceText(), QString("0.00 m"));
    QCOMPARE(calc->Table()->model()->index(1, 0).data().toString(), QString("09.12.2026 08:03:00"));
    QVERIFY(calc->grab().save("tracks-calculator.png"));
    // Closing frees it; the next call makes a new one.
    QPointer<TCalculatorForm> gone = calc;
    calc->close();
    QTRY_VERIFY(gone.isNull());
    QVERIFY(ShowCalculator(&owner) != nullptr);
  }
};

KELVRA_UI_TEST(PeriodDialogsTest)
#include "PeriodDialogsTest.moc"
