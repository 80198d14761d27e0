// The settings dialog's time zone, units and coordinate form: shown as configured, every zone of
// the system's database offered, and only what the user changed reported.
#include <QtTest>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/util/DisplayUnits.h"
#include "core/util/TimeZones.h"
#include "ui/account/AccountForms.h"

#include <QComboBox>

using namespace kelvra;

class DisplaySettingsTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { Config.reset(); }

  void shownAsConfigured() {
    Config = std::make_unique<TLumHash>();
    Config->SetVal("time_zone", "Europe/Berlin");
    Config->SetVal("units", "imperial");
    Config->SetVal("coord_format", "dms");
    TSettingsEditForm dlg;
    auto *zone = dlg.findChild<QComboBox *>("CbDisplayZone");
    auto *units = dlg.findChild<QComboBox *>("CbUnits");
    auto *coords = dlg.findChild<QComboBox *>("CbCoordFormat");
    QVERIFY(zone && units && coords);
    QCOMPARE(zone->currentData().toString(), QString("Europe/Berlin"));
    QCOMPARE(units->currentData().toString(), QString("imperial"));
    QCOMPARE(coords->currentData().toString(), QString("dms"));
    // The account's offset and this computer's zone first, then every zone of the database.
    QCOMPARE(zone->itemData(0).toString(), QString("account"));
    QCOMPARE(zone->itemData(1).toString(), QString("system"));
    QCOMPARE(zone->count(), int(TimeZoneNames().size()) + 2);
    QVERIFY(zone->findData("America/New_York") > 1);
    QVERIFY(!dlg.GetModified());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(dlg.grab().save("settings-display.png"));
  }

  void onlyTheChangedOnesAreSaved() {
    Config = std::make_unique<TLumHash>(); // nothing configured: account, metric, degrees
    TSettingsEditForm dlg;
    auto *zone = dlg.findChild<QComboBox *>("CbDisplayZone");
    auto *units = dlg.findChild<QComboBox *>("CbUnits");
    QVERIFY(zone && units);
    QCOMPARE(zone->currentData().toString(), QString("account"));
    QCOMPARE(units->currentData().toString(), QString("metric"));
    // As the user picks: the list's activation lights the change.
    zone->setCurrentIndex(zone->findData("America/New_York"));
    emit zone->activated(zone->currentIndex());
    units->setCurrentIndex(units->findData("nautical"));
    emit units->activated(units->currentIndex());
    QVERIFY(dlg.GetModified());
    const TLumHash &fields = dlg.GetFields();
    QCOMPARE(fields.Count(), 2);
    QCOMPARE(fields.GetVal("time_zone"), std::string("America/New_York"));
    QCOMPARE(fields.GetVal("units"), std::string("nautical"));
    // What is saved reads back as the units it names.
    QCOMPARE(TDisplayUnits::FromSettings(fields.GetVal("units"), "").system, TUnitSystem::Nautical);
  }
};

KELVRA_UI_TEST(DisplaySettingsTest)
#include "DisplaySettingsTest.moc"
