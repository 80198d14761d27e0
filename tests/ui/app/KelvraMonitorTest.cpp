// Runs the program binary itself: the fatal start-up path, the informational arguments, and a
// normal start that writes its console to a file and ends on SIGTERM.

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <filesystem>

#include "support/TempDir.h"
#include "core/util/LumFiles.h"

using namespace kelvra;

namespace {

QString Program() { return QCoreApplication::applicationDirPath() + "/KelvraMonitor"; }

} // namespace

class KelvraMonitorTest : public QObject {
  Q_OBJECT
private slots:
  void helpAndVersionExitBeforeAnyWindow() {
    QProcess p;
    p.start(Program(), {"--version"});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardOutput().startsWith("KelvraMonitor " KELVRA_VERSION));
    p.start(Program(), {"--help"});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray help = p.readAllStandardOutput();
    for (const char *key : {"lang=", "user_level=", "server=", "log_file=", "map_cache_size="})
      QVERIFY2(help.contains(key), key);
  }

  // A copy of the program without its Translations folder cannot start.
  void missingTranslationsEndWithExitCode99() {
    test::TTempDir dir;
    const QString copy = QString::fromStdString(dir.Path()) + "KelvraMonitor";
    QVERIFY(QFile::copy(Program(), copy));
    QProcess p;
    p.start(copy, {});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 99);
    QVERIFY(p.readAllStandardError().contains("Load translation:\nTranslation file is empty."));
  }

  void startsLogsToAFileAndClosesOnSigterm() {
    test::TTempDir dir;
    const std::string log = dir.Path() + "console.log";
    QProcess p;
    p.start(Program(), {QString::fromStdString("log_file=" + log), "lang=ru"});
    QVERIFY(p.waitForStarted(60000));
    QTRY_VERIFY_WITH_TIMEOUT(QString::fromStdString(ReadAsString(log)).contains("Language: ru"),
                             60000);
    const QString text = QString::fromStdString(ReadAsString(log));
    QVERIFY(text.contains("Home folder: "));
    QVERIFY(text.contains("Configuration file: "));
    QVERIFY(text.contains("(Русский)"));
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
  }
};

QTEST_MAIN(KelvraMonitorTest)
#include "KelvraMonitorTest.moc"
