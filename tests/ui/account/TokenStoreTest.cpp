// The remembered token against a real secret store: a D-Bus session bus and a GNOME Keyring
// daemon of the test's own, started and stopped here; and without one, the settings file.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>

#include "UiTests.h"
#include "core/util/LumIniFiles.h"
#include "support/TempDir.h"
#include "ui/account/TokenStore.h"

using namespace kelvra;

namespace {

struct TLogLines {
  std::vector<std::string> lines;
  TTokenStore::TLog Sink() {
    return [this](const std::string &s) { lines.push_back(s); };
  }
  QString Joined() const {
    QString all;
    for (const auto &l : lines) all += QString::fromStdString(l);
    return all;
  }
};

} // namespace

class TokenStoreTest : public QObject {
  Q_OBJECT

  test::TTempDir fDir{"kelvra-keyring"};
  QProcess fBus, fKeyring;
  QString fBusAddress;

  std::string IniName() const { return fDir.Path() + "KelvraMonitor.ini"; }

  // A session bus of our own and a keyring daemon on it with an unlocked login keyring.
  bool StartStore() {
    const QString home = QString::fromStdString(fDir.Path());
    QDir().mkpath(home + "run");
    ::chmod((home + "run").toLocal8Bit().constData(), 0700);
    fBus.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!fBus.waitForStarted(30000)) return false;
    while (!fBus.canReadLine())
      if (!fBus.waitForReadyRead(30000)) return false;
    fBusAddress = QString::fromUtf8(fBus.readLine()).trimmed();
    if (fBusAddress.isEmpty()) return false;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", fBusAddress);
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "data");
    env.insert("XDG_RUNTIME_DIR", home + "run");
    env.remove("DISPLAY");
    fKeyring.setProcessEnvironment(env);
    fKeyring.start("gnome-keyring-daemon", {"--foreground", "--components=secrets", "--unlock"});
    if (!fKeyring.waitForStarted(30000)) return false;
    fKeyring.write("test-password");
    fKeyring.closeWriteChannel();

    // The process (and QtKeychain's libsecret in it) talks to our bus from now on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", fBusAddress.toUtf8());
    QDBusConnection bus = QDBusConnection::connectToBus(fBusAddress, "kelvra-keyring-test");
    bool up = false;
    for (int i = 0; i < 600 && !up; ++i) {
      up = bus.isConnected() && bus.interface()->isServiceRegistered("org.freedesktop.secrets");
      if (!up) QTest::qWait(100);
    }
    QDBusConnection::disconnectFromBus("kelvra-keyring-test");
    return up;
  }

  void StopStore() {
    for (QProcess *p : {&fKeyring, &fBus}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(30000)) {
        p->kill();
        p->waitForFinished(30000);
      }
    }
  }

private slots:
  // Runs first: no bus at all, as on a machine without a desktop session.
  void withoutSecretServiceTheFileKeepsTheToken() {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QByteArray(fDir.Path().c_str()) + "no-bus");
    TLumIniFile ini(IniName());
    TLogLines log;
    TTokenStore store(&ini, log.Sink());
    QCOMPARE(QString::fromStdString(store.Load()), QString());
    QVERIFY(!store.UsesSecretStore());
    QVERIFY2(log.Joined().contains("Token storage: settings file (no secret service: "),
             qPrintable(log.Joined()));
    QCOMPARE(log.lines.size(), size_t(1));

    store.Save("tok-file");
    QCOMPARE(QString::fromStdString(ini.ReadString("Login", "Token")), QString("tok-file"));
    QCOMPARE(QString::fromStdString(TTokenStore(&ini, nullptr).Load()), QString("tok-file"));
    QCOMPARE(log.lines.size(), size_t(1)); // one line while the place stays the same

    store.Clear();
    QVERIFY(!ini.ValueExists("Login", "Token"));
    QCOMPARE(QString::fromStdString(store.Load()), QString());
  }

  void startTheStore() { QVERIFY2(StartStore(), "dbus-daemon or gnome-keyring-daemon did not start"); }

  void savedTokenLivesInTheStoreNotInTheFile() {
    TLumIniFile ini(IniName());
    TLogLines log;
    TTokenStore store(&ini, log.Sink());
    QCOMPARE(QString::fromStdString(store.Load()), QString());
    QVERIFY2(store.UsesSecretStore(), qPrintable(log.Joined()));
    QCOMPARE(log.Joined(), QString("\rToken storage: secret service"));

    store.Save("tok-secret");
    QVERIFY(!ini.ValueExists("Login", "Token"));
    TLumIniFile reread(IniName());
    QVERIFY(!reread.ValueExists("Login", "Token"));
    QCOMPARE(QString::fromStdString(TTokenStore(&reread, nullptr).Load()), QString("tok-secret"));

    // A new token replaces the old one.
    store.Save("tok-secret-2");
    QCOMPARE(QString::fromStdString(TTokenStore(&ini, nullptr).Load()), QString("tok-secret-2"));
  }

  void tokenInTheFileMovesToTheStoreAtTheNextSave() {
    {
      TLumIniFile ini(IniName());
      ini.WriteString("Login", "Token", "tok-old-file");
    }
    TLumIniFile ini(IniName());
    TTokenStore store(&ini, nullptr);
    // The file's token is newer than the store's (written while the store was away).
    QCOMPARE(QString::fromStdString(store.Load()), QString("tok-old-file"));
    QVERIFY(ini.ValueExists("Login", "Token")); // reading moves nothing
    store.MoveFromFile();
    QVERIFY(!ini.ValueExists("Login", "Token"));
    TLumIniFile reread(IniName());
    QVERIFY(!reread.ValueExists("Login", "Token"));
    QCOMPARE(QString::fromStdString(TTokenStore(&reread, nullptr).Load()), QString("tok-old-file"));
  }

  void clearForgetsTheTokenEverywhere() {
    TLumIniFile ini(IniName());
    TTokenStore store(&ini, nullptr);
    store.Save("tok-to-forget");
    ini.WriteString("Login", "Token", "tok-stray");
    store.Clear();
    QVERIFY(!ini.ValueExists("Login", "Token"));
    QCOMPARE(QString::fromStdString(TTokenStore(&ini, nullptr).Load()), QString());
    store.Clear(); // nothing left to delete is no failure
    QVERIFY(store.UsesSecretStore());
  }

  void cleanupTestCase() { StopStore(); }
};

KELVRA_UI_TEST(TokenStoreTest)
#include "TokenStoreTest.moc"
