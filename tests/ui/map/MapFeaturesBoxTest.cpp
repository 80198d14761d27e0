// The map's feature switches in the settings dialog: shown as configured,
// and only the ones the user changed are reported.
#include <QtTest>

#include "UiTests.h"
#include "core/app/Common.h"
#include "ui/account/AccountForms.h"

#include <QCheckBox>

using namespace kelvra;

class MapFeaturesBoxTest : public QObject {
  Q_OBJECT

private slots:
  void changedSwitchesOnly() {
    Config = std::make_unique<TLumHash>();
    Config->SetVal("smooth_tiles", "false");
    TSettingsEditForm dlg;
    auto *clusters = dlg.findChild<QCheckBox *>("ChkClusterMarkers");
    auto *smooth = dlg.findChild<QCheckBox *>("ChkSmoothTiles");
    QVERIFY(clusters && smooth);
    QVERIFY(clusters->isChecked());
    QVERIFY(!smooth->isChecked());
    QVERIFY(!dlg.GetModified());
    clusters->click();
    QVERIFY(dlg.GetModified());
    const TLumHash &fields = dlg.GetFields();
    QCOMPARE(fields.Count(), 1);
    QCOMPARE(fields.GetVal("cluster_markers"), std::string("false"));
    clusters->click(); // back as it was: nothing to save
    QVERIFY(!dlg.GetModified());
    Config.reset();
  }
};

KELVRA_UI_TEST(MapFeaturesBoxTest)
#include "MapFeaturesBoxTest.moc"
