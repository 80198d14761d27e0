#include <QtTest>

#include <QAction>
#include <QEventLoop>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <stdexcept>

#include "UiTests.h"
#include "ui/shell/MonitorApp.h"
#include "ui/widgets/StallMeter.h"

using namespace kelvra;

// The meter runs on a clock the test moves: a handler "takes" as long as it advances the clock,
// so no verdict depends on how fast the machine is.
class StallMeterTest : public QObject {
  Q_OBJECT

  int64_t fNow = 1000;
  QStringList fLines;
  std::unique_ptr<TStallMeter> fMeter;

  void Start(int threshold) {
    fLines.clear();
    fMeter = std::make_unique<TStallMeter>(
        threshold, [this](const std::string &line) { fLines << QString::fromStdString(line); },
        [this] { return fNow; });
    TStallMeter::SetCurrent(fMeter.get());
  }

private slots:
  void cleanup() {
    TStallMeter::SetCurrent(nullptr);
    fMeter.reset();
  }

  // Each kind of action is named in the one line its stall gets.
  void namesTheActionThatHeldTheLoop_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line");
    QTest::newRow("timer") << "timer" << "\rStall 500 ms: timer UpdateTimer";
    QTest::newRow("button") << "button" << "\rStall 500 ms: button \"Request track\"";
    QTest::newRow("menu item") << "menu" << "\rStall 500 ms: menu \"Sign In\"";
    QTest::newRow("posted call") << "queued" << "\rStall 500 ms: queued call to TracksPanel";
  }
  void namesTheActionThatHeldTheLoop() {
    QFETCH(QString, kind);
    QFETCH(QString, line);
    QWidget window;
    window.setObjectName("MonitorMainWin");
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Start(100);
    bool ran = false;
    auto work = [&] {
      fNow += 500;
      ran = true;
    };
    if (kind == "timer") {
      QTimer timer(&window);
      timer.setObjectName("UpdateTimer");
      timer.setSingleShot(true);
      connect(&timer, &QTimer::timeout, work);
      timer.start(0);
      QTRY_VERIFY_WITH_TIMEOUT(ran, 60000);
    } else if (kind == "button") {
      auto *b = new QPushButton("&Request track", &window);
      b->show();
      connect(b, &QPushButton::clicked, work);
      QTest::mouseClick(b, Qt::LeftButton);
    } else if (kind == "menu") {
      QMenu menu(&window);
      QAction *signIn = menu.addAction("Sign &In");
      connect(signIn, &QAction::triggered, work);
      menu.popup(window.mapToGlobal(QPoint(10, 10)));
      QVERIFY(QTest::qWaitForWindowExposed(&menu));
      QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(signIn).center());
      QTRY_VERIFY_WITH_TIMEOUT(ran, 60000);
    } else {
      QObject panel;
      panel.setObjectName("TracksPanel");
      QMetaObject::invokeMethod(&panel, work, Qt::QueuedConnection);
      QTRY_VERIFY_WITH_TIMEOUT(ran, 60000);
    }
    QVERIFY(ran);
    QCOMPARE(fLines, QStringList{line});
    QCOMPARE(fMeter->MaxStall(), 500);
  }

  // Longer than the threshold is a stall; as long as it is not; 0 measures nothing.
  void thresholdIsExclusiveAndZeroIsOff_data() {
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("took");
    QTest::addColumn<int>("lines");
    QTest::newRow("longer") << 100 << 101 << 1;
    QTest::newRow("as long") << 100 << 100 << 0;
    QTest::newRow("off") << 0 << 100000 << 0;
  }
  void thresholdIsExclusiveAndZeroIsOff() {
    QFETCH(int, threshold);
    QFETCH(int, took);
    QFETCH(int, lines);
    Start(threshold);
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
      fNow += took;
      ran = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(ran, 60000);
    QCOMPARE(fLines.size(), lines);
    QCOMPARE(fMeter->StallCount(), lines);
  }

  // A handler that waits in a nested loop lets the loop turn: what it did before the wait and
  // what the nested events did are short; the work after the wait is its own stall, blamed on it
  // and not on the last event of the nested loop.
  void nestedLoopTurnsAndWorkAfterItIsBlamedOnTheHandler() {
    QWidget window;
    auto *b = new QPushButton("Import Track", &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Start(100);
    bool done = false;
    connect(b, &QPushButton::clicked, [&] {
      fNow += 60; // before the wait
      QEventLoop loop;
      QTimer inner;
      inner.setObjectName("ProgressTimer");
      inner.setSingleShot(true);
      connect(&inner, &QTimer::timeout, [&] {
        fNow += 60;
        loop.quit();
      });
      inner.start(0);
      loop.exec();
      fNow += 300; // after the wait
      done = true;
    });
    QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(done);
    QCOMPARE(fLines, QStringList{"\rStall 300 ms: button \"Import Track\""});
  }

  // An exception that escapes a handler still ends its delivery for the meter: the next stall
  // is blamed on its own action.
  void escapedExceptionKeepsTheDeliveriesBalanced() {
    Start(100);
    TMonitorApp::SetExceptionHandler([](const std::string &) {});
    bool thrown = false, ran = false;
    QTimer::singleShot(0, this, [&] {
      thrown = true;
      throw std::runtime_error("boom");
    });
    QTRY_VERIFY_WITH_TIMEOUT(thrown, 60000);
    QTimer timer;
    timer.setObjectName("EventsTimer");
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, [&] {
      fNow += 200;
      ran = true;
    });
    timer.start(0);
    QTRY_VERIFY_WITH_TIMEOUT(ran, 60000);
    TMonitorApp::SetExceptionHandler({});
    QCOMPARE(fLines, QStringList{"\rStall 200 ms: timer EventsTimer"});
  }
};

KELVRA_UI_TEST_RUN(StallMeterTest, [](int argc, char **argv) {
  TMonitorApp app(argc, argv);
  StallMeterTest tc;
  return QTest::qExec(&tc, argc, argv);
})

#include "StallMeterTest.moc"
