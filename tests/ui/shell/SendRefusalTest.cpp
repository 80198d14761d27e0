// Every window that sends something, against a service that refuses it: the window stays open,
// shows the service's reason, keeps what the user typed, and the same window sends it once the
// fault is over. A refused photo never reaches the photo cache.

#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
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

using namespace kelvra;
using kelvra::test::Answer;

namespace {

constexpr int kVan = 101;
constexpr int kWatch = 103;
constexpr int kEventUid = 990101;

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
           if (e->uid == kEventUid) ei = e.get();
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
         w.CreatePlaceOf(w.SelectedObject(), list);
       }},
  };
  return rows;
}

std::vector<int> Statuses(SimServer &sim, const TSendRow &row) {
  const QRegularExpression glob(QRegularExpression::wildcardToRegularExpression(
      row.path, QRegularExpression::NonPathWildcardConversion));
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
      e->uid = kEventUid;
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
