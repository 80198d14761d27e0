#include <QtTest>

#include <fstream>

#include <sys/stat.h>

#include "UiTests.h"
#include "core/util/LumFiles.h"
#include "support/TempDir.h"
#include "ui/widgets/LumLogTail.h"
#include "ui/widgets/LumTtyBox.h"

using namespace kelvra;

namespace {

QStringList Lines(const TLumTtyBox &box) {
  QStringList lines;
  for (int i = 0; i < box.LineCount(); ++i)
    lines << box.Line(i);
  return lines;
}

void Append(const std::string &fn, const std::string &bytes) {
  std::ofstream(fn, std::ios::binary | std::ios::app) << bytes;
}

} // namespace

class LumTtyBoxTest : public QObject {
  Q_OBJECT
private slots:
  void lineRules_data() {
    QTest::addColumn<QStringList>("puts");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("text continues the last line")
        << QStringList{"a", "b", "\rc"} << QStringList{"ab", "c"};
    QTest::newRow("CR LF is one line break") << QStringList{"a\r\nb"} << QStringList{"a", "b"};
    QTest::newRow("a lone LF is dropped") << QStringList{"a\nb"} << QStringList{"ab"};
    QTest::newRow("leading CR starts a line")
        << QStringList{"\rx", "\ry"} << QStringList{"", "x", "y"};
    QTest::newRow("two CRs leave an empty line")
        << QStringList{"a\r\rb"} << QStringList{"a", "", "b"};
    QTest::newRow("trailing CR opens the next line") << QStringList{"a\r"} << QStringList{"a", ""};
    QTest::newRow("non-ASCII text")
        << QStringList{"\rПривет, ", "мир"} << QStringList{"", "Привет, мир"};
  }
  void lineRules() {
    QFETCH(QStringList, puts);
    QFETCH(QStringList, lines);
    TLumTtyBox box;
    for (const QString &s : puts)
      box.PutString(s);
    QCOMPARE(Lines(box), lines);
  }

  void putLineAndPutChar() {
    TLumTtyBox box;
    box.PutLine("one");
    box.PutChar('2');
    QCOMPARE(Lines(box), (QStringList{"one", "2"}));
  }

  // Old lines go in batches: the line that makes 1100 cuts back to the newest 1000.
  void trimsInBatches() {
    TLumTtyBox box;
    QCOMPARE(box.LinesStored(), 1000);
    box.PutString("0");
    for (int i = 1; i < 1099; ++i)
      box.PutString("\r" + std::to_string(i));
    QCOMPARE(box.LineCount(), 1099);
    QCOMPARE(box.Line(0), QString("0"));
    box.PutString("\r1099");
    QCOMPARE(box.LineCount(), 1000);
    QCOMPARE(box.Line(0), QString("100"));
    QCOMPARE(box.Line(999), QString("1099"));
  }

  void linesStoredNeverBelowOne() {
    TLumTtyBox box;
    box.SetLinesStored(0);
    QCOMPARE(box.LinesStored(), 1);
    // The 101st line cuts the console back to one line.
    for (int i = 0; i < 100; ++i)
      box.PutString("\rx");
    QCOMPARE(box.LineCount(), 1);
  }

  void readOnlyAndAtTheEnd() {
    TLumTtyBox box;
    QVERIFY(box.isReadOnly());
    QVERIFY(box.tabChangesFocus());
    box.PutString("abc\rdef");
    QCOMPARE(box.textCursor().position(), box.document()->characterCount() - 1);
  }

  // The file holds the console's lines as text lines (LF), whatever break the string used.
  void writeLogAppendsEveryString() {
    test::TTempDir dir;
    const std::string fn = dir.Path() + "tty.log";
    TLumTtyBox box;
    box.SetLogFileName(fn);
    box.SetLogMode(TLumTtyBoxLogMode::lmWriteLog);
    box.PutString("\rfirst");
    box.PutString(" more\r\nsecond");
    QCOMPARE(QString::fromStdString(ReadAsString(fn)), QString("\nfirst more\nsecond"));
    // The log may hold names, places and tokens: only its owner reads it, whatever the umask.
    struct stat st {};
    QCOMPARE(::stat(fn.c_str(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0600);
    box.ClearLog();
    QVERIFY(!FileExists(fn));
    QCOMPARE(Lines(box), (QStringList{"", "first more", "second"}));
  }

  void disabledModeWritesNothing() {
    test::TTempDir dir;
    TLumTtyBox box;
    box.SetLogFileName(dir.Path() + "tty.log");
    box.PutString("\rx");
    QVERIFY(!FileExists(dir.Path() + "tty.log"));
  }

  void emptyLogNameMeansTheDefault() {
    TLumTtyBox box;
    box.SetLogFileName("");
    QCOMPARE(QString::fromStdString(box.LogFileName()), QString("TtyLog.txt"));
  }

  void loadLinesShowsTheTailOfAFile() {
    test::TTempDir dir;
    std::string text;
    for (int i = 0; i < 30; ++i)
      text += "line " + std::to_string(i) + "\r\n";
    const std::string fn = dir.Write("old.log", text);
    TLumTtyBox box;
    box.SetLinesStored(5);
    box.PutString("kept");
    box.LoadLines(dir.Path() + "missing.log");
    QCOMPARE(Lines(box), QStringList{"kept"});
    box.LoadLines(fn);
    QCOMPARE(box.Line(0), QString("line 25"));
    QVERIFY(Lines(box).contains("line 29"));
    QVERIFY(!Lines(box).contains("line 24"));
  }

  // In follow mode only what others append after the start is shown.
  void followsAFile() {
    test::TTempDir dir;
    const std::string fn = dir.Write("follow.log", "\rbefore");
    TLumTtyBox box;
    box.SetLogFileName(fn);
    box.SetLogMode(TLumTtyBoxLogMode::lmLogTail);
    QVERIFY(box.LogTail() != nullptr);
    QCOMPARE(box.Line(0), QString("before")); // loaded as the last lines of the file
    QTRY_VERIFY_WITH_TIMEOUT(box.LogTail()->IsOpen(), 10000);
    Append(fn, "\rafter one\rafter two");
    QTRY_COMPARE_WITH_TIMEOUT(box.Line(box.LineCount() - 1), QString("after two"), 10000);
    QCOMPARE(Lines(box).count("before"), 1);
    box.SetLogMode(TLumTtyBoxLogMode::lmDisabled);
    QVERIFY(box.LogTail() == nullptr);
  }

  // Lines ending in LF are lines too, and a character cut between two reads arrives whole.
  void followsLinesEndingInLf() {
    test::TTempDir dir;
    const std::string fn = dir.Write("follow.log", "");
    TLumTtyBox box;
    box.SetLogFileName(fn);
    box.SetLogMode(TLumTtyBoxLogMode::lmLogTail);
    QTRY_VERIFY_WITH_TIMEOUT(box.LogTail()->IsOpen(), 10000);
    // A read takes 1000 bytes: the two bytes of the last letter straddle the first read.
    const std::string first = "\n" + std::string(996, 'a') + "\r\n";
    Append(fn, first + "\xD0\xB6\nend\n");
    QTRY_COMPARE_WITH_TIMEOUT(box.Line(box.LineCount() - 2), QString("end"), 10000);
    QCOMPARE(box.Line(box.LineCount() - 3), QString("ж"));
    QCOMPARE(box.Line(box.LineCount() - 4), QString(996, 'a'));
  }

  void tailReportsAMissingFile() {
    test::TTempDir dir;
    std::atomic<int> errors{0};
    TLumLogTail tail(dir.Path() + "none.log", [&](uint16_t, int v) {
      if (v < 0) ++errors;
    });
    QTRY_VERIFY_WITH_TIMEOUT(errors > 0, 10000);
    QVERIFY(QString::fromStdString(tail.ErrorMsg()).startsWith("TLumLogTail.Open: error "));
  }
};

KELVRA_UI_TEST(LumTtyBoxTest)
#include "LumTtyBoxTest.moc"
