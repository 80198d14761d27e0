#include <QtTest>

#include "UiTests.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;

class PromptTest : public QObject {
  Q_OBJECT
private slots:
  void scriptedAnswersInOrder() {
    Prompt::StartScript({int(QMessageBox::Yes), QString("/tmp/a.csv"), QColor(Qt::red)});
    QCOMPARE(Prompt::Message(nullptr, QMessageBox::Question, "Delete", "Sure?",
                             QMessageBox::Yes | QMessageBox::No),
             QMessageBox::Yes);
    QCOMPARE(Prompt::SaveFileName(nullptr, "Save", "x.csv", "CSV (*.csv)"), QString("/tmp/a.csv"));
    auto c = Prompt::ChooseColor(nullptr, Qt::blue, "Colour");
    QVERIFY(c.has_value());
    QCOMPARE(*c, QColor(Qt::red));
    // An exhausted script answers as cancelled instead of blocking.
    QCOMPARE(Prompt::OpenFileName(nullptr, "Open", "", "*.txt"), QString());
    QCOMPARE(Prompt::Message(nullptr, QMessageBox::Warning, "W", "t"), QMessageBox::NoButton);
    QCOMPARE(Prompt::Asked().size(), size_t(5));
    QCOMPARE(Prompt::Asked()[0].text, QString("Sure?"));
    QCOMPARE(Prompt::Asked()[2].kind, Prompt::TKind::Color);
    Prompt::StopScript();
    QVERIFY(!Prompt::Scripted());
  }

  // A save dialog's name: type chosen x name typed, for the filters of the program's exports.
  void saveNameTakesTheChosenType_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    const QString track = "CSV (*.csv);;GPX (*.gpx);;KML (*.kml)";
    const QString zone = "TXT (*.txt);;CSV (*.csv);;XLSX (*.xlsx)";
    QTest::newRow("GPX, bare name") << track << "GPX (*.gpx)" << "/h/trip" << "/h/trip.gpx";
    QTest::newRow("KML, bare name") << track << "KML (*.kml)" << "/h/trip" << "/h/trip.kml";
    QTest::newRow("CSV, bare name") << track << "CSV (*.csv)" << "/h/trip" << "/h/trip.csv";
    QTest::newRow("nothing chosen: the first") << track << "" << "/h/trip" << "/h/trip.csv";
    QTest::newRow("GPX, its extension") << track << "GPX (*.gpx)" << "/h/trip.gpx" << "/h/trip.gpx";
    QTest::newRow("GPX, upper-case extension") << track << "GPX (*.gpx)" << "/h/trip.GPX" << "/h/trip.GPX";
    QTest::newRow("GPX, another offered extension") << track << "GPX (*.gpx)" << "/h/trip.kml" << "/h/trip.kml";
    QTest::newRow("GPX, a dot in the name") << track << "GPX (*.gpx)" << "/h/trip 12.05" << "/h/trip 12.05.gpx";
    QTest::newRow("GPX, ends with a dot") << track << "GPX (*.gpx)" << "/h/trip." << "/h/trip.gpx";
    QTest::newRow("GPX, unknown extension") << track << "GPX (*.gpx)" << "/h/trip.txt" << "/h/trip.txt.gpx";
    QTest::newRow("GPX, a folder with a dot") << track << "GPX (*.gpx)" << "/h.csv/trip" << "/h.csv/trip.gpx";
    QTest::newRow("GPX, only the extension") << track << "GPX (*.gpx)" << "/h/.gpx" << "/h/.gpx.gpx";
    QTest::newRow("XLSX, bare name") << zone << "XLSX (*.xlsx)" << "/h/zone" << "/h/zone.xlsx";
    QTest::newRow("CSV of the zones") << zone << "CSV (*.csv)" << "/h/zone" << "/h/zone.csv";
    QTest::newRow("XLSX, TXT typed") << zone << "XLSX (*.xlsx)" << "/h/zone.txt" << "/h/zone.txt";
    QTest::newRow("any file") << "All (*)" << "All (*)" << "/h/zone" << "/h/zone";
    QTest::newRow("cancelled") << track << "GPX (*.gpx)" << "" << "";
  }

  void saveNameTakesTheChosenType() {
    QFETCH(QString, filter);
    QFETCH(QString, chosen);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QCOMPARE(Prompt::WithTypeExtension(typed, filter, chosen), saved);
    // The scripted dialog answers the same way.
    Prompt::StartScript({QStringList{typed, chosen}});
    QCOMPARE(Prompt::SaveFileName(nullptr, "Save", "x", filter), saved);
    Prompt::StopScript();
  }
};

KELVRA_UI_TEST(PromptTest)
#include "PromptTest.moc"
