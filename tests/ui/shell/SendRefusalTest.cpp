// Every window that sends something, against a service that refuses it: the window stays open,
// shows the service's reason, keeps what the user typed, and the same window sends it once the
// fault is over. A refused photo never reaches the photo cache.

#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QTableView>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>

#include "UiTests.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "sim/SimServer.h"
#include "sim/SimWorld.h"
#include "support/SignedInDesk.h"
#include "ui/devices/DeviceForms.h"
#include "ui/events/EventsPanel.h"
#include "ui/objects/ObjectForms.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/traps/TrapsPanel.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;
using kelvra::test::Answer;
using kelvra::test::kVan;
using kelvra::test::kWatch;

namespace {

constexpr int kRefusedEventUid = 990101;

TFaultRule Refusal(const char *pattern, const char *method) {
  TFaultRule rule;
  std::string error;
  const std::string text = std::string(pattern) + ":status=500,method=" + method;
  if (!ParseFaultRule(text, rule, &error)) qFatal("bad fault rule %s", error.c_str());
  return rule;
}

// One sending window: how it opens, what the user types into it, and the request that carries it.
struct TSendRow {
  const char *name;
  const char *method;
  const char *path; // glob of the request's path
  int object;       // the object selected first
  QVariantMap edits;
  const char *field; // a field typed into, read back while the window stays open
  QString typed;
  // Done on the window before its first confirmation (ticks that no scripted answer can set).
  std::function<void(QDialog *)> prepare;
  std::deque<QVariant> questions; // answers to the questions the first confirmation asks
  std::function<void(TMonitorMainWin &, SimServer &)> setup;
  std::function<void(TMonitorMainWin &, SimServer &)> open;
};

// A command the device answered: sent, delivered and answered.
void Answered(TMonitorMainWin &w, SimServer &sim, int uid, const std::string &cmd) {
  QVERIFY(w.Client().SendCommand(uid, cmd));
  sim.Advance(30);
}

const std::vector<TSendRow> &Rows() {
  static const std::vector<TSendRow> rows = {
      {"trap create", "POST", "/api/v1/trap", kVan,
       Answer({{"EdSubj", "Refused subject"}, {"EdVal", "15"}, {"click", "ButOk"}}), "EdSubj",
       "Refused subject",
       [](QDialog *d) { // the type first: choosing it empties the condition
         auto choose = [d](const char *box, const char *item) {
           auto *c = d->findChild<QComboBox *>(box);
           c->setCurrentIndex(c->findText(item));
         };
         choose("CbTargetType", "4: Battery");
         choose("CbCondition", "2: < value");
       },
       {}, {}, [](TMonitorMainWin &w, SimServer &) { w.TrapsPanel()->AppendTrap(); }},
      {"trap update", "PUT", "/api/v1/trap/*", kVan,
       Answer({{"EdSubj", "Changed subject"}, {"click", "ButOk"}}), "EdSubj", "Changed subject", {}, {},
       [](TMonitorMainWin &w, SimServer &) {
         w.TrapsPanel()->LoadTraps(0);
         w.TrapsPanel()->List()->setCurrentIndex(
             w.TrapsPanel()->Model()->IndexOf(w.Client().FindTrap(202)));
         QVERIFY(w.TrapsPanel()->SelectedTrap());
       },
       [](TMonitorMainWin &w, SimServer &) { w.TrapsPanel()->EditTrap(); }},
      {"event acceptance", "PUT", "/api/v1/event/*/accept", kVan,
       Answer({{"EdAcceptMessage", "driver called"}, {"click", "ButOk"}}), "EdAcceptMessage",
       "driver called", {}, {}, {},
       [](TMonitorMainWin &w, SimServer &) {
         const TEventInfo *ei = nullptr;
         for (const auto &e : w.Client().EventList())
           if (e->uid == kRefusedEventUid) ei = e.get();
         QVERIFY(ei);
         w.EventsPanel()->AcceptEvent(ei);
       }},
      {"object edit", "PUT", "/api/v1/object/*", kVan,
       Answer({{"EdName", "Renamed van"}, {"click", "ButSave"}}), "EdName", "Renamed van", {}, {}, {},
       [](TMonitorMainWin &w, SimServer &) { w.EditObject(); }},
      {"command send", "POST", "/api/v1/object/*/sendcmd", kVan,
       Answer({{"EdCommand", "get info"}, {"click", "ButSend"}}), "EdCommand", "get info", {}, {}, {},
       [](TMonitorMainWin &w, SimServer &) { w.ShowCommands(); }},
      {"set config", "POST", "/api/v1/object/*/sendcmd", kWatch,
       Answer({{"EdTrackingPeriod", "3"}, {"click", "ButOk"}}), "EdTrackingPeriod", "3", {}, {},
       [](TMonitorMainWin &w, SimServer &sim) { Answered(w, sim, kWatch, "get config"); },
       [](TMonitorMainWin &w, SimServer &) { w.ShowConfig(); }},
      {"set places", "POST", "/api/v1/object/*/sendcmd", kWatch,
       Answer({{"EdPlaceName", "Home again"}, {"click", "ButOk"}}), "EdPlaceName", "Home again", {},
       {int(QMessageBox::Yes)}, {}, [](TMonitorMainWin &w, SimServer &) { w.ShowPlaces(); }},
      {"add places", "POST", "/api/v1/object/*/sendcmd", kWatch,
       Answer({{"EdPlaceName", "Main office"}, {"click", "ButOk"}}), "EdPlaceName", "Main office",
       [](QDialog *d) { static_cast<TObjPlacesForm *>(d)->CheckSsid("Office", true); },
       {int(QMessageBox::Yes)}, {},
       [](TMonitorMainWin &w, SimServer &sim) {
         // The networks the service knows around the office.
         const auto [lat, lon] = sim.WithWorld([](sim::TSimWorld &world) {
           for (const auto &ap : world.fWifi)
             if (ap.ssid == "Office") return std::pair{ap.lat, ap.lon};
           return std::pair{0.0, 0.0};
         });
         TWifiList list;
         w.Client().GetWifi(lat - 0.001, lon - 0.001, lat + 0.001, lon + 0.001, list);
         QVERIFY(!list.empty());
         TObjPlacesForm places(&w); // as a right click on the map opens it
         places.CreatePlace(w.SelectedObject(), &w.Client(), list);
       }},
  };
  return rows;
}

std::vector<int> Statuses(SimServer &sim, const TSendRow &row) {
  // "*" stands for any text, "/" included.
  const QRegularExpression glob(
      QRegularExpression::anchoredPattern(QRegularExpression::escape(row.path).replace("\\*", ".*")));
  std::vector<int> out;
  for (const TSimRequest &r : sim.Requests())
    if (r.method == row.method && glob.match(QString::fromStdString(r.path)).hasMatch())
      out.push_back(r.status);
  return out;
}

} // namespace

class SendRefusalTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

  SimServer &Sim() { return fDesk->Sim(); }

private slots:
  void init() {
    // The service's clock starts now: today's events hold the open alarm added here.
    fDesk = std::make_unique<test::TSignedInDesk>(TSimOptions{});
    QVERIFY(fDesk->SimStarted());
    Sim().WithWorld([](sim::TSimWorld &world) {
      sim::TSimObject *van = world.FindObject(kVan);
      auto e = std::make_unique<sim::TSimEvent>();
      e->uid = kRefusedEventUid;
      e->obj_id = kVan;
      e->is_alarm = true;
      e->h = *van->LastPoint();
      e->h_sval = "1";
      world.fEvents.push_back(std::move(e));
      world.Touch(*van);
    });
  }

  void cleanup() { fDesk.reset(); }

  void refusedSendKeepsTheWindowAndItsEdits_data() {
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < Rows().size(); ++i)
      QTest::newRow(Rows()[i].name) << int(i);
  }

  void refusedSendKeepsTheWindowAndItsEdits() {
    QFETCH(int, row);
    const TSendRow &r = Rows()[size_t(row)];
    TMonitorMainWin &w = fDesk->Start();
    QVERIFY(fDesk->Select(r.object));
    if (r.setup) r.setup(w, Sim());
    Sim().ClearRequests();
    Sim().AddFault(Refusal(r.path, r.method));

    struct {
      bool open = false;
      QString reason, field;
      std::vector<int> statuses;
    } seen;
    const Prompt::TDialogProbe prepare = [&r](QDialog *d) {
      if (r.prepare) r.prepare(d);
    };
    const Prompt::TDialogProbe look = [&](QDialog *d) {
      seen.open = true; // still in the window: the refusal did not close it
      auto *reason = d->findChild<QLabel *>("LblSendError");
      if (!reason) reason = d->findChild<QLabel *>("LblStatus"); // the object editor's own line
      QVERIFY(reason);
      seen.reason = reason->isHidden() ? QString() : reason->text();
      seen.field = d->findChild<QLineEdit *>(r.field)->text();
      seen.statuses = Statuses(Sim(), r);
      Sim().ClearFaults(); // the service takes it from now on
    };
    std::deque<QVariant> script{QVariantList{QVariant::fromValue(prepare), r.edits,
                                             QVariant::fromValue(look), Answer({{"click", r.edits["click"]}})}};
    for (const QVariant &q : r.questions)
      script.push_back(q);
    Prompt::StartScript(script);
    r.open(w, Sim());
    Prompt::StopScript();

    QVERIFY(seen.open);
    QVERIFY2(seen.reason.contains("injected fault 500"), qPrintable(seen.reason));
    QCOMPARE(seen.field, r.typed);
    QCOMPARE(seen.statuses, std::vector<int>{500});
    const std::vector<int> all = Statuses(Sim(), r);
    QCOMPARE(int(all.size()), 2);
    QVERIFY2(all[1] >= 200 && all[1] < 300, qPrintable(QString::number(all[1])));
  }

  // Each checked field of the configuration: a good value goes out, a bad one stays in the window
  // with its reason next to it and nothing is sent.
  void configFieldsAreCheckedBeforeSending_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("problem"); // the reason's key; empty when the value is sent
    QTest::addColumn<QString>("sent");
    QTest::newRow("period") << "EdTrackingPeriod" << "10" << "" << "set config tracking_period=600";
    QTest::newRow("period blank-padded") << "EdTrackingPeriod" << " 7 " << "" << "set config tracking_period=420";
    QTest::newRow("period longest") << "EdTrackingPeriod" << "1440" << "" << "set config tracking_period=86400";
    QTest::newRow("period text") << "EdTrackingPeriod" << "abc" << "config_not_whole" << "";
    QTest::newRow("period fraction") << "EdTrackingPeriod" << "2.5" << "config_not_whole" << "";
    QTest::newRow("period negative") << "EdTrackingPeriod" << "-5" << "config_out_of_range" << "";
    QTest::newRow("period zero") << "EdTrackingPeriod" << "0" << "config_out_of_range" << "";
    QTest::newRow("period too long") << "EdTrackingPeriod" << "1441" << "config_out_of_range" << "";
    QTest::newRow("period overflowing") << "EdTrackingPeriod" << "99999999999" << "config_out_of_range" << "";
    QTest::newRow("period empty") << "EdTrackingPeriod" << "" << "config_empty" << "";
    QTest::newRow("fast period") << "EdTrackingFastPeriod" << "2" << "" << "set config tracking_fast_period=120";
    QTest::newRow("fast period text") << "EdTrackingFastPeriod" << "1m" << "config_not_whole" << "";
    QTest::newRow("server") << "CbTrackingServer" << "udp://10.0.0.1:8080" << ""
                            << "set config tracking_server=udp://10.0.0.1:8080";
    QTest::newRow("server with a blank") << "CbTrackingServer" << "udp://10.0.0.1 8080"
                                         << "config_has_blank" << "";
    QTest::newRow("server with a tab") << "CbTrackingServer" << "udp://10.0.0.1\t8080"
                                       << "config_has_blank" << "";
  }

  void configFieldsAreCheckedBeforeSending() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, problem);
    QFETCH(QString, sent);
    TMonitorMainWin &w = fDesk->Start();
    QVERIFY(fDesk->Select(kWatch));
    Answered(w, Sim(), kWatch, "get config");
    Sim().ClearRequests();
    struct {
      bool open = false;
      QString shown;
    } seen;
    QString key;
    const Prompt::TDialogProbe type = [&](QDialog *d) {
      QWidget *f = d->findChild<QWidget *>(field);
      QVERIFY(f);
      if (auto *e = qobject_cast<QLineEdit *>(f)) e->setText(typed);
      if (auto *c = qobject_cast<QComboBox *>(f)) c->setEditText(typed);
    };
    const Prompt::TDialogProbe look = [&](QDialog *d) {
      seen.open = true;
      for (QLabel *l : d->findChildren<QLabel *>(QRegularExpression("^LblProblem_")))
        if (!l->isHidden()) seen.shown += l->text();
    };
    Prompt::StartScript({QVariantList{QVariant::fromValue(type), Answer({{"click", "ButOk"}}),
                                      QVariant::fromValue(look), Answer({{"click", "ButCancel"}})}});
    w.ShowConfig();
    Prompt::StopScript();
    std::vector<std::string> commands;
    for (const TSimRequest &r : Sim().Requests())
      if (r.method == "POST" && r.path.find("/sendcmd") != std::string::npos) commands.push_back(r.body);
    if (problem.isEmpty()) {
      QVERIFY(!seen.open);
      QCOMPARE(commands, std::vector<std::string>{sent.toStdString()});
      return;
    }
    QVERIFY(seen.open);
    QVERIFY(commands.empty());
    TObjConfigForm form;
    const QString reason = problem == "config_out_of_range"
                               ? FormString(&form, problem.toStdString(), {kMaxConfigPeriodMin})
                               : FormString(&form, problem.toStdString());
    QCOMPARE(seen.shown, reason);
  }

  // The places window never sends a list the user did not see: an answer it cannot read leaves
  // it empty and saying so, and OK sends nothing; emptied by the user, it asks first.
  void placesAreNeverSentEmptyUnasked() {
    TMonitorMainWin &w = fDesk->Start();
    QVERIFY(fDesk->Select(kWatch));
    Sim().AddFault(Refusal("/api/v1/cmdlog/*/response", "GET"));
    Sim().ClearRequests();
    QString shown;
    const Prompt::TDialogProbe look = [&](QDialog *d) {
      shown = static_cast<TSendingDialog *>(d)->SendError();
    };
    Prompt::StartScript({QVariantList{Answer({{"click", "ButOk"}}), QVariant::fromValue(look)}});
    w.ShowPlaces();
    Prompt::StopScript();
    TObjPlacesForm form;
    QCOMPARE(shown, FormString(&form, "no_places_to_send"));
    for (const TSimRequest &r : Sim().Requests())
      QVERIFY2(r.path.find("/sendcmd") == std::string::npos, r.body.c_str());

    // The user deletes every place: OK asks; No keeps the window, Yes sends the empty list.
    Sim().ClearFaults();
    Sim().ClearRequests();
    int asked = 0;
    const Prompt::TDialogProbe empty = [&](QDialog *d) {
      auto *places = static_cast<TObjPlacesForm *>(d);
      while (!places->Places().empty()) {
        Prompt::AddAnswer(int(QMessageBox::Yes)); // "delete this place?"
        places->DeletePlace();
      }
      Prompt::AddAnswer(int(QMessageBox::No)); // "send an empty list?"
    };
    const Prompt::TDialogProbe count = [&](QDialog *) {
      for (const TSimRequest &r : Sim().Requests())
        asked += r.path.find("/sendcmd") != std::string::npos;
      Prompt::AddAnswer(int(QMessageBox::Yes));
    };
    Prompt::StartScript({QVariantList{QVariant::fromValue(empty), Answer({{"click", "ButOk"}}),
                                      QVariant::fromValue(count), Answer({{"click", "ButOk"}})}});
    w.ShowPlaces();
    Prompt::StopScript();
    QCOMPARE(asked, 0);
    std::vector<std::string> commands;
    for (const TSimRequest &r : Sim().Requests())
      if (r.path.find("/sendcmd") != std::string::npos) commands.push_back(r.body);
    QCOMPARE(commands.size(), size_t(1));
    QVERIFY2(commands[0].rfind("set places", 0) == 0 && commands[0].find("place0") == std::string::npos,
             commands[0].c_str());
  }

  // The commands window after another object's: a log that cannot be read shows nothing of the
  // other object (no rows, no command offered again) and says why.
  void failedLogReadShowsAnEmptyLabelledWindow() {
    TMonitorMainWin &w = fDesk->Start();
    TObjectInfo *watch = fDesk->Select(kWatch);
    QVERIFY(w.Client().SendCommand(kWatch, "get info")); // not delivered yet: offered again
    TCommandsForm first(&w);
    first.Fill(watch, &w.Client());
    QVERIFY(first.LogList()->model()->rowCount() > 0);
    QCOMPARE(first.CommandEdit()->text(), QString("get info"));

    TObjectInfo *van = fDesk->Select(kVan);
    Sim().AddFault(Refusal("/api/v1/object/*/cmdlog", "GET"));
    TCommandsForm dlg(&w);
    dlg.Fill(van, &w.Client());
    QCOMPARE(dlg.LogList()->model()->rowCount(), 0);
    QVERIFY(dlg.CommandEdit()->text().isEmpty());
    QVERIFY2(dlg.SendError().contains("injected fault 500"), qPrintable(dlg.SendError()));
    QVERIFY(w.Client().CommandLog().empty());
  }

  // The photo editor: the refused picture is nowhere in the photo cache; the retry puts it there.
  void refusedPhotoStaysOutOfTheCache() {
    TMonitorMainWin &w = fDesk->Start();
    TObjectInfo *van = fDesk->Select(kVan);
    QVERIFY(van);
    const QString file = QString::fromStdString(fDesk->Dir() + "van.png");
    QImage pic(800, 600, QImage::Format_RGB32);
    pic.fill(QColor(30, 120, 200));
    QVERIFY(pic.save(file));
    TObjPhotoForm photo(&w);
    photo.Fill(&w.Client(), van);
    QVERIFY(photo.LoadFile(file));
    const std::filesystem::path cached = w.Client().PhotoDir() + std::to_string(kVan) + ".png";

    Sim().AddFault(Refusal("/api/v1/object/*/img", "POST"));
    photo.Save();
    QVERIFY(photo.result() != QDialog::Accepted);
    QVERIFY2(photo.SendError().contains("injected fault 500"), qPrintable(photo.SendError()));
    QVERIFY(!std::filesystem::exists(cached));
    QVERIFY(!van->has_image);

    Sim().ClearFaults();
    photo.Save();
    QCOMPARE(photo.result(), int(QDialog::Accepted));
    QVERIFY(std::filesystem::exists(cached));
    QVERIFY(van->has_image);
  }
};

KELVRA_UI_TEST(SendRefusalTest)
#include "SendRefusalTest.moc"
