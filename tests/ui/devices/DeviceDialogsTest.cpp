// The dialogs that talk to a device through commands, against an in-process kelvra-sim: the
// commands dialog (bounds, answers, what it sends), the configuration dialog (minutes and
// seconds, presets, "set config") and the places dialog in both modes, with the map's right
// click that opens it.

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/model/ObjectInfo.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"
#include "ui/devices/DeviceForms.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"
#include "support/SignedInDesk.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;
using kelvra::test::Answer;
using kelvra::test::LogText;

class DeviceDialogsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

  // The service's clock starts now: the windows compare the age of values with the display clock.
  SimServer &Sim() { return fDesk->Sim(); }
  TMonitorMainWin &Start() { return fDesk->Start(); }
  TObjectInfo *Select(TMonitorMainWin &, int uid) { return fDesk->Select(uid); }

  std::vector<std::string> Sent(int uid) {
    std::vector<std::string> out;
    const std::string path = "/object/" + std::to_string(uid) + "/sendcmd";
    for (const TSimRequest &r : Sim().Requests())
      if (r.method == "POST" && r.path.find(path) != std::string::npos) out.push_back(r.body);
    return out;
  }

  // A command answered by the device: sent, delivered and answered.
  void Answered(TMonitorMainWin &w, int uid, const std::string &cmd) {
    QVERIFY(w.Client().SendCommand(uid, cmd));
    Sim().Advance(30);
  }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>(TSimOptions{});
    QVERIFY(fDesk->SimStarted());
  }

  void cleanup() {
    Prompt::StopScript();
    TCommandsForm::OpenUrl = [](const QUrl &u) { return QDesktopServices::openUrl(u); };
    fDesk.reset();
  }

  void commandsDialogOpensCentredAndKeepsItsBounds() {
    TMonitorMainWin &w = Start();
    TObjectInfo *van = Select(w, 101);
    QVERIFY(van);
    QVERIFY(!IniFile->ValueExists("Commands", "Width"));
    QRect moved;
    {
      TCommandsForm dlg(&w);
      QCOMPARE(dlg.size(), QSize(480, 400));
      const QRect screen = QApplication::primaryScreen()->availableGeometry();
      QCOMPARE(dlg.geometry().center().x() / 2, screen.center().x() / 2);
      QCOMPARE(dlg.geometry().center().y() / 2, screen.center().y() / 2);
      dlg.resize(600, 450);
      dlg.move(40, 30);
      moved = QRect(dlg.pos(), dlg.size());
    }
    QCOMPARE(IniFile->ReadInteger("Commands", "Width", 0), 600);
    TCommandsForm again(&w);
    QCOMPARE(QRect(again.pos(), again.size()), moved);
  }

  void commandsDialogShowsTheLogAndSendsTheChosenCommand() {
    TMonitorMainWin &w = Start();
    TObjectInfo *van = Select(w, 101);
    TCommandsForm dlg(&w);
    dlg.Fill(van, &w.Client());
    QAbstractItemModel *m = dlg.LogList()->model();
    QCOMPARE(m->rowCount(), 2); // "reboot" and "get info", newest first
    QCOMPARE(m->data(m->index(0, ccCommand)).toString(), QString("reboot"));
    QVERIFY(m->data(m->index(0, ccAnswer)).toString().startsWith("txt / "));
    QVERIFY(!m->data(m->index(0, ccSend)).toString().isEmpty());
    QVERIFY(!dlg.CommandChanged());
    // Only the command and the answer columns act.
    dlg.RowAction(1, ccUid);
    dlg.RowAction(1, ccSend);
    QVERIFY(dlg.CommandEdit()->text().isEmpty());
    dlg.RowAction(1, ccCommand);
    QCOMPARE(dlg.CommandEdit()->text(), QString("get info"));
    QVERIFY(dlg.CommandChanged());
    QUrl opened;
    TCommandsForm::OpenUrl = [&](const QUrl &u) {
      opened = u;
      return true;
    };
    dlg.RowAction(1, ccAnswer);
    QVERIFY(opened.isLocalFile());
    QVERIFY(QFile::exists(opened.toLocalFile()));
    QVERIFY(opened.toLocalFile().endsWith(".txt"));
    // Enter in an empty field does not close the dialog.
    dlg.CommandEdit()->clear();
    dlg.show();
    QTest::keyClick(dlg.CommandEdit(), Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    dlg.hide();

    // Through the main window: Send without a command sends nothing; with one, that command.
    Sim().ClearRequests();
    Prompt::StartScript({Answer({{"click", "ButSend"}})});
    w.ShowCommands();
    QVERIFY(Sent(101).empty());
    Prompt::StartScript({Answer({{"EdCommand", "  get info "}, {"click", "ButSend"}})});
    w.ShowCommands();
    QCOMPARE(Sent(101), std::vector<std::string>{"get info"});
    QVERIFY(LogText(w).contains("Commands:   -> "));
  }

  void configShowsMinutesAndSendsSeconds() {
    TMonitorMainWin &w = Start();
    TObjectInfo *watch = Select(w, 103);
    Answered(w, 103, "set config tracking_period=125");
    Answered(w, 103, "get config");
    TObjConfigForm dlg(&w);
    QVERIFY(dlg.Prepare(watch, &w.Client()));
    auto *period = dlg.findChild<QLineEdit *>("EdTrackingPeriod");
    QCOMPARE(period->text(), QString("2"));
    QCOMPARE(dlg.findChild<QLineEdit *>("EdTrackingFastPeriod")->text(), QString("1"));
    QVERIFY(dlg.findChild<QCheckBox *>("CbServiceEnabled")->isChecked());
    auto *server = dlg.findChild<QComboBox *>("CbTrackingServer");
    QCOMPARE(server->count(), 3);
    QCOMPARE(server->itemText(0), QString("https://127.0.0.1/osmand"));
    QCOMPARE(server->itemText(1), QString("udp://127.0.0.1:8080"));
    QCOMPARE(server->itemText(2), QString("https://127.0.0.1:7738"));
    QCOMPARE(dlg.ConfigCommand(), std::string()); // nothing lit
    period->setText("3");
    QCOMPARE(dlg.ConfigCommand(), std::string("set config tracking_period=180"));
    // Continuously tracking needs the service: both go, the service first.
    dlg.findChild<QCheckBox *>("CbServiceEnabled")->setChecked(false);
    dlg.findChild<QCheckBox *>("CbContinuouslyTracking")->setChecked(true);
    QCOMPARE(dlg.ConfigCommand(),
             std::string("set config service_enabled=true continuously_tracking=true tracking_period=180"));

    // The main window's way, OK with 3 minutes.
    Sim().ClearRequests();
    Prompt::StartScript({Answer({{"EdTrackingPeriod", "3"}, {"click", "ButOk"}})});
    w.ShowConfig();
    QCOMPARE(Sent(103), std::vector<std::string>{"set config tracking_period=180"});
    Sim().Advance(30);
    QCOMPARE(Sim().WithWorld([](sim::TSimWorld &world) {
      return world.FindObject(103)->ConfigValue("tracking_period");
    }), std::string("180"));

    // An object never asked: the question, and Yes asks the device.
    Select(w, 101);
    Sim().ClearRequests();
    Prompt::StartScript({int(QMessageBox::Yes)});
    w.ShowConfig();
    QCOMPARE(Prompt::Asked().at(0).text, FormString(&dlg, "no_config_requests"));
    QCOMPARE(Sent(101), std::vector<std::string>{"get config"});
  }

  void placesEditedAndSentBack() {
    TMonitorMainWin &w = Start();
    TObjectInfo *watch = Select(w, 103);
    TObjPlacesForm dlg(&w);
    QVERIFY(dlg.PrepareShow(watch, &w.Client()));
    QCOMPARE(int(dlg.Places().size()), 2);
    QCOMPARE(dlg.Places()[0].Sign, std::string("Home"));
    QCOMPARE(dlg.Places()[0].Ssids, (std::vector<std::string>{"HomeNet", "HomeNet 5G"})); // no quotes
    QCOMPARE(dlg.CurrentPlace(), 0);
    auto *wifi = qobject_cast<QStandardItemModel *>(dlg.WifiList()->model());
    int checked = 0;
    for (int r = 0; r < wifi->rowCount(); ++r)
      checked += wifi->item(r)->checkState() == Qt::Checked;
    QCOMPARE(checked, 2);

    // Home keeps only its 5 GHz network; nothing ticked is refused.
    dlg.CheckSsid("HomeNet", false);
    QVERIFY(dlg.PlaceLit());
    dlg.CheckSsid("HomeNet 5G", false);
    Prompt::StartScript({int(QMessageBox::Ok)});
    QVERIFY(!dlg.SavePlace());
    QCOMPARE(Prompt::Asked().at(0).text, FormString(&dlg, "empty_wifi"));
    QCOMPARE(int(dlg.Places()[0].Ssids.size()), 2);
    dlg.CheckSsid("HomeNet 5G", true);
    QVERIFY(dlg.SavePlace());
    QVERIFY(dlg.PlacesLit());
    // The park cafe becomes "Work": Cancel on leaving keeps it, Yes saves it.
    QVERIFY(dlg.SelectPlace(1));
    dlg.SetPlaceName("Work");
    Prompt::StartScript({int(QMessageBox::Cancel), int(QMessageBox::Yes)});
    QVERIFY(!dlg.SelectPlace(0));
    QCOMPARE(dlg.CurrentPlace(), 1);
    QVERIFY(dlg.SelectPlace(0));
    QCOMPARE(dlg.Places()[1].Sign, std::string("Work"));
    QCOMPARE(dlg.PlacesCommand(),
             std::string("set places place0={\"name\":\"Home\",\"ssid\":[\"HomeNet\\\\s5G\"]} "
                         "place1={\"name\":\"Work\",\"ssid\":[\"Cafe\\\\sParma\"]}"));

    // The main window's way: OK sends the list as it came.
    Sim().ClearRequests();
    Prompt::StartScript({Answer({{"click", "ButOk"}})});
    w.ShowPlaces();
    QCOMPARE(Sent(103), std::vector<std::string>{
        "set places place0={\"name\":\"Home\",\"ssid\":[\"HomeNet\",\"HomeNet\\\\s5G\"]} "
        "place1={\"name\":\"Park\\\\scafe\",\"ssid\":[\"Cafe\\\\sParma\"]}"});
  }

  void createPlaceFromARightClick() {
    TMonitorMainWin &w = Start();
    TObjectInfo *watch = Select(w, 103);
    // Where the service knows the "Office" networks.
    const auto [lat, lon] = Sim().WithWorld([](sim::TSimWorld &world) {
      for (const auto &ap : world.fWifi)
        if (ap.ssid == "Office Guest") return std::pair{ap.lat, ap.lon};
      return std::pair{0.0, 0.0};
    });
    QVERIFY(lat != 0);
    // Without an armed action the click is only logged.
    QVERIFY(!w.OnRClickMap(TGeoPoint{lon, lat}));
    QVERIFY(LogText(w).contains(QString("OnRClickMap: %1,%2").arg(lat, 0, 'f', 4).arg(lon, 0, 'f', 4)));
    // Armed, a click where nothing is known: "wifi_not_found", and disarmed.
    Prompt::StartScript({int(QMessageBox::Ok)});
    w.CreatePlace();
    QCOMPARE(w.RClickAction(), TMonitorMainWin::rcCreatePlace);
    QVERIFY(w.OnRClickMap(TGeoPoint{10.0, 10.0}));
    QCOMPARE(w.MsgLabel()->text(), FormString(&w, "wifi_not_found").mid(1));
    QCOMPARE(w.RClickAction(), TMonitorMainWin::rcNone);
    // Armed, a click at the office: the places dialog opens in creation mode.
    Prompt::StartScript({int(QMessageBox::Ok)});
    w.CreatePlace();
    QVERIFY(w.OnRClickMap(TGeoPoint{lon, lat}));
    QCOMPARE(Prompt::Asked().back().caption, QString("ObjPlacesForm"));
    QVERIFY(LogText(w).contains("Distance: "));

    // The dialog itself: one new place; the ticked network's access points go with it.
    TWifiList list;
    w.Client().GetWifi(lat - 0.001, lon - 0.001, lat + 0.001, lon + 0.001, list);
    QVERIFY(list.size() >= 3);
    TObjPlacesForm dlg(&w);
    dlg.PrepareCreate(watch, &w.Client(), list);
    QVERIFY(dlg.Creating());
    QCOMPARE(int(dlg.Places().size()), 1);
    QCOMPARE(dlg.Places()[0].Sign, FormString(&dlg, "new_place").toStdString());
    QVERIFY(!dlg.findChild<QPushButton *>("ButAppendPlace")->isEnabled());
    dlg.SetPlaceName("Main office");
    dlg.CheckSsid("Office", true);
    Prompt::StartScript({int(QMessageBox::Yes)});
    QVERIFY(dlg.Confirm()); // asked to save the edits, saved
    std::string aps;
    for (const TWifiData &ap : list)
      if (ap.ssid == "Office")
        aps += std::string(aps.empty() ? "" : ",") + "{\"ssid\":\"Office\",\"bssid\":\"" + ap.bssid + "\"}";
    const std::string cmd = dlg.PlacesCommand();
    QCOMPARE(cmd, "add places place0={\"name\":\"Main\\\\soffice\",\"wifi\":[" + aps + "]}");
    QVERIFY(w.Client().SendCommand(103, cmd));
    Sim().Advance(30);
    const bool added = Sim().WithWorld([](sim::TSimWorld &world) {
      for (const auto &p : world.FindObject(103)->places)
        if (p.name == "Main office") return true;
      return false;
    });
    QVERIFY(added);
  }
};

KELVRA_UI_TEST(DeviceDialogsTest)
#include "DeviceDialogsTest.moc"
