#include <QSignalSpy>
#include <QtTest>

#include "UiTests.h"
#include "ui/widgets/LumLed.h"

using namespace kelvra;

class LumLedTest : public QObject {
  Q_OBJECT
private slots:
  void litChangesStateAndReportsOnce() {
    TLumLed led;
    QSignalSpy changed(&led, &TLumLed::OnChange);
    QVERIFY(!led.Lit());
    led.SetLit(true);
    led.SetLit(true); // no change, no report
    QVERIFY(led.Lit());
    led.SetLit(false);
    QCOMPARE(changed.count(), 2);
  }

  void paintsItsColours_data() {
    QTest::addColumn<bool>("lit");
    QTest::addColumn<QColor>("fill");
    QTest::newRow("lit") << true << QColor(Qt::red);
    QTest::newRow("unlit") << false << QColor(192, 192, 192);
  }
  void paintsItsColours() {
    QFETCH(bool, lit);
    QFETCH(QColor, fill);
    TLumLed led;
    QCOMPARE(led.size(), QSize(16, 16));
    led.SetLit(lit);
    const QImage img = led.grab().toImage();
    QCOMPARE(img.pixelColor(10, 10), fill);
    QCOMPARE(img.pixelColor(8, 0), QColor(Qt::white));      // top edge
    QCOMPARE(img.pixelColor(0, 8), QColor(Qt::white));      // left edge
    QCOMPARE(img.pixelColor(15, 8), QColor(128, 128, 128)); // right edge
    QCOMPARE(img.pixelColor(8, 15), QColor(128, 128, 128)); // bottom edge
    QCOMPARE(img.pixelColor(4, 4), QColor(Qt::white));      // the highlight
  }

  void blinkLimits() {
    TLumLed led;
    led.SetBlinkPeriod(10);
    QCOMPARE(led.BlinkPeriod(), 50);
    led.SetBlinkDuration(45);
    QCOMPARE(led.BlinkDuration(), 40);
    led.SetBlinkDuration(1);
    QCOMPARE(led.BlinkDuration(), 10);
  }

  void blinkingAlternates() {
    TLumLed led;
    led.SetBlinkPeriod(100);
    led.SetBlinkDuration(50);
    QSignalSpy changed(&led, &TLumLed::OnChange);
    led.SetBlinking(true);
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 3, 10000);
    led.SetBlinking(false);
  }
};

KELVRA_UI_TEST(LumLedTest)
#include "LumLedTest.moc"
