// Runs the program binary itself: the fatal start-up path, the informational arguments, and a
// normal start that writes its console to a file and ends on SIGTERM.

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <set>
#include <QRegularExpression>

#include <sys/stat.h>

#include "UiTests.h"
#include "core/util/LumFiles.h"
#include "core/util/LumIniFiles.h"
#include "sim/SimServer.h"
#include "sim/SimWorld.h"
#include "support/TempDir.h"

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
    for (const char *key : {"lang=", "user_level=", "server=", "log_file=", "map_cache_size=",
                            "stall_log_ms="})
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

  // The program signs in to kelvra-sim by itself (autologon), loads the objects, and on SIGTERM
  // saves its layout into a settings file only its owner can read.
  void signsInToTheServiceAndSavesItsLayoutOnSigterm() {
    SimServer sim;
    QVERIFY(sim.Start());
    test::TTempDir dir;
    const QString copy = QString::fromStdString(dir.Path()) + "KelvraMonitor";
    QVERIFY(QFile::copy(Program(), copy));
    std::filesystem::create_directory_symlink(
        QCoreApplication::applicationDirPath().toStdString() + "/Translations",
        dir.Path() + "Translations");
    const std::string log = dir.Path() + "console.log";
    QProcess p;
    p.start(copy, {QString::fromStdString("log_file=" + log),
                   QString::fromStdString("server=" + sim.BaseUrl()), "user=demo", "pass=demo",
                   "autologon=true", "autologon_timeout=0", "stall_log_ms=3600000"});
    QVERIFY(p.waitForStarted(60000));
    QTRY_VERIFY_WITH_TIMEOUT(QString::fromStdString(ReadAsString(log)).contains("Load traps: "),
                             60000);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QString text = QString::fromStdString(ReadAsString(log));
    QVERIFY(text.contains("Login(demo,***): success"));
    // The stall meter was on and gave its longest stall at the end.
    QVERIFY(text.contains("Stall meter: 3600000 ms"));
    QVERIFY(QRegularExpression("Longest stall [0-9]+ ms: ").match(text).hasMatch());
    QVERIFY(!text.contains("demo,demo"));
    QVERIFY(text.contains("Load objects: "));
    QVERIFY(QRegularExpression("Load objects: [^\\n]*\\n[^\\n]*GET /user/objects\\): 200[^\\n]*\\n[^\\n]*  -> [1-9][0-9]*")
                .match(text)
                .hasMatch());
    const std::string ini = dir.Path() + "KelvraMonitor.ini";
    struct stat st {};
    QCOMPARE(::stat(ini.c_str(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0600);
    TLumIniFile settings(ini);
    for (const char *key : {"Left", "Top", "Width", "Height", "Maximized", "LeftWidth",
                            "ObjectsHeight", "RightWidth", "TrapsHeight", "BottomHeight",
                            "HeightOfBottom", "Style", "SelectedUid"})
      QVERIFY2(settings.ValueExists("Main", key), key);
    QVERIFY(settings.ReadInteger("Main", "LeftWidth", 0) >= 172);
  }

  // A whole session (sign-in, objects, zones, traps, events, the end on SIGTERM): the password
  // given as an argument is gone from the process's arguments while it runs, and neither the
  // password nor any token the service handed out appears in a line of the log.
  void noPasswordInTheArgumentsAndNoSecretInTheLog() {
    SimServer sim;
    QVERIFY(sim.Start());
    const std::string password = "Pw-7f3a9c2e41";
    sim.WithWorld([&](sim::TSimWorld &w) { w.FindUser("demo")->password = password; });
    test::TTempDir dir;
    const QString copy = QString::fromStdString(dir.Path()) + "KelvraMonitor";
    QVERIFY(QFile::copy(Program(), copy));
    std::filesystem::create_directory_symlink(
        QCoreApplication::applicationDirPath().toStdString() + "/Translations",
        dir.Path() + "Translations");
    const std::string log = dir.Path() + "console.log";
    QProcess p;
    p.start(copy, {QString::fromStdString("log_file=" + log),
                   QString::fromStdString("server=" + sim.BaseUrl()), "user=demo",
                   QString::fromStdString("pass=" + password), "autologon=true",
                   "autologon_timeout=0"});
    QVERIFY(p.waitForStarted(60000));
    QTRY_VERIFY_WITH_TIMEOUT(QString::fromStdString(ReadAsString(log)).contains("Load traps: "),
                             60000);
    QFile cmdline(QString("/proc/%1/cmdline").arg(p.processId()));
    QVERIFY(cmdline.open(QIODevice::ReadOnly));
    const QByteArray args = cmdline.readAll();
    QVERIFY(args.contains("user=demo"));
    QVERIFY(!args.contains(QByteArray::fromStdString(password)));
    QVERIFY(!args.contains("pass="));
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const std::string text = ReadAsString(log);
    QVERIFY(text.find("Login(demo,***): success") != std::string::npos);
    QVERIFY(text.find(password) == std::string::npos);
    std::set<std::string> tokens;
    for (const TSimRequest &r : sim.Requests())
      if (!r.authToken.empty()) tokens.insert(r.authToken);
    QVERIFY(!tokens.empty());
    for (const std::string &token : tokens)
      QVERIFY2(text.find(token) == std::string::npos, token.c_str());
  }

  // Settings that cannot be saved (here a folder stands where the file goes) are said once in
  // the log, however many values the window saves at its end, and the program ends normally.
  void aSettingsSaveThatFailsIsSaidOnce() {
    test::TTempDir dir;
    const QString copy = QString::fromStdString(dir.Path()) + "KelvraMonitor";
    QVERIFY(QFile::copy(Program(), copy));
    std::filesystem::create_directory_symlink(
        QCoreApplication::applicationDirPath().toStdString() + "/Translations",
        dir.Path() + "Translations");
    std::filesystem::create_directory(dir.Path() + "KelvraMonitor.ini");
    const std::string log = dir.Path() + "console.log";
    QProcess p;
    p.start(copy, {QString::fromStdString("log_file=" + log)});
    QVERIFY(p.waitForStarted(60000));
    QTRY_VERIFY_WITH_TIMEOUT(QString::fromStdString(ReadAsString(log)).contains("Language: "),
                             60000);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QString text = QString::fromStdString(ReadAsString(log));
    QCOMPARE(text.count("X: Settings could not be saved: Is a directory"), 1);
  }
};

KELVRA_UI_TEST(KelvraMonitorTest)
#include "KelvraMonitorTest.moc"
