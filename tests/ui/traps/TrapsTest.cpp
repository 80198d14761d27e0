// The trap tree and the trap editor against an in-process kelvra-sim: grouping with "GENERAL",
// traps of unknown objects left out, creating, editing only the changed fields, deleting, and
// the editor's lists, lamps, placeholders and read-only show mode.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

#include "UiTests.h"
#include "core/model/ObjectInfo.h"
#include "support/SignedInDesk.h"
#include "ui/traps/TrapEditForm.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/traps/TrapsPanel.h"
#include "ui/widgets/LumLed.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;

class TrapsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;
  TMonitorMainWin *fWin = nullptr;

  TMonitorMainWin &Start() {
    fWin = &fDesk->Start(false);
    return *fWin;
  }

  QString LogText(TMonitorMainWin &) { return fDesk->LogText(); }

  TTrapsPanel &Panel() { return *fWin->TrapsPanel(); }
  TTrapsModel &Model() { return *Panel().Model(); }

  void SelectTrap(int uid) {
    Panel().List()->setCurrentIndex(Model().IndexOf(fWin->Client().FindTrap(uid)));
  }

  std::string SimTrapVal(int uid) {
    return fDesk->Sim().WithWorld([uid](sim::TSimWorld &w) {
      sim::TSimTrap *t = w.FindTrap(uid);
      return t ? t->val : std::string("<none>");
    });
  }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }

  void cleanup() {
    fDesk.reset();
    fWin = nullptr;
  }

  void trapsAreGroupedByObjectWithGeneralLast() {
    // A trap of an object the user cannot see: the client has no such object, the list skips it.
    fDesk->Sim().WithWorld([](sim::TSimWorld &w) {
      sim::TSimTrap &t = w.AddTrap(w.FindUser("demo")->uid);
      t.obj_id = 99999;
      t.target_type_id = 4;
      t.condition_id = 2;
      t.val = "10";
    });
    TMonitorMainWin &w = Start();
    const int all = int(w.Client().TrapList().size());
    int listed = 0;
    for (int g = 0; g < Model().rowCount(); ++g)
      listed += Model().rowCount(Model().index(g, 0));
    QCOMPARE(listed, all - 1);
    const QModelIndex last = Model().index(Model().rowCount() - 1, 0);
    QCOMPARE(Model().data(last, Qt::DisplayRole).toString(), QString("GENERAL"));
    // Trap rows: target type, and the target's name when it has one.
    const QModelIndex zoneTrap = Model().IndexOf(w.Client().FindTrap(201));
    QVERIFY(Model().data(zoneTrap, Qt::DisplayRole).toString().startsWith("Zone: "));
    QCOMPARE(Model().data(Model().IndexOf(w.Client().FindTrap(202)), Qt::DisplayRole).toString(),
             QString("Speed"));
    // The first row is selected after the load.
    QCOMPARE(Panel().List()->currentIndex(), Model().index(0, 0));
    // Painting the rows (condition texts and zone glyphs) works on every row.
    Panel().List()->expandAll();
    Panel().List()->resize(300, 400);
    QVERIFY(!Panel().List()->grab().isNull());
  }

  void deletingTheOnlyTrapOfAGroupSelectsTheGroup() {
    TMonitorMainWin &w = Start();
    SelectTrap(203); // the only trap of object 102
    const QModelIndex group = Panel().List()->currentIndex().parent();
    QVERIFY(group.isValid());
    QCOMPARE(Model().rowCount(group), 1);
    Prompt::StartScript({int(QMessageBox::Yes)});
    Panel().DeleteTrap();
    Prompt::StopScript();
    QVERIFY(!w.Client().FindTrap(203));
    QCOMPARE(SimTrapVal(203), std::string("<none>"));
    QCOMPARE(Panel().List()->currentIndex(), Model().index(group.row(), 0));
    // Answering No keeps the trap.
    SelectTrap(202);
    Prompt::StartScript({int(QMessageBox::No)});
    Panel().DeleteTrap();
    Prompt::StopScript();
    QVERIFY(w.Client().FindTrap(202));
  }

  void editingSendsOnlyTheChangedFields() {
    TMonitorMainWin &w = Start();
    SelectTrap(202);
    Prompt::StartScript({test::Answer({{"EdVal", "77"}, {"click", "ButOk"}})});
    Panel().EditTrap();
    Prompt::StopScript();
    const QString log = LogText(w);
    QVERIFY(log.contains("Edit trap (202) ..."));
    QVERIFY(log.contains("  val->77"));
    QVERIFY(log.contains("PUT /trap/202 val=77 )")); // that field alone went out
    QCOMPARE(SimTrapVal(202), std::string("77"));
    QCOMPARE(w.Client().FindTrap(202)->val, std::string("77"));
    // Ok without a change sends nothing.
    Prompt::StartScript({test::Answer({{"click", "ButOk"}})});
    Panel().EditTrap();
    Prompt::StopScript();
    QVERIFY(LogText(w).endsWith("  cancel\n"));
  }

  void appendingATrapForTheSelectedGroup() {
    TMonitorMainWin &w = Start();
    SelectTrap(202); // object 101
    const size_t before = w.Client().TrapList().size();
    // The type first: choosing it empties the condition.
    Prompt::StartScript({QVariantList{test::Answer({{"CbTargetType", "4: Battery"}}),
                                      test::Answer({{"CbCondition", "2: < value"},
                                              {"EdVal", "15"},
                                              {"click", "ButOk"}})}});
    Panel().AppendTrap();
    Prompt::StopScript();
    QCOMPARE(w.Client().TrapList().size(), before + 1);
    TTrapInfo *ti = Panel().SelectedTrap();
    QVERIFY(ti);
    QCOMPARE(ti->obj_id, 101);
    QCOMPARE(ti->target_type_id, 4);
    QCOMPARE(ti->condition_id, 2);
    QCOMPARE(ti->val, std::string("15"));
  }

  void editorTargetTypeSwitchResetsTargetAndCondition() {
    TMonitorMainWin &w = Start();
    TTrapEditForm dlg(&w);
    dlg.Prepare(&w.Client(), w.Client().FindTrap(204), 0, false); // a sensor trap
    auto *val = dlg.findChild<QLineEdit *>("EdVal");
    auto *type = dlg.findChild<QComboBox *>("CbTargetType");
    auto *target = dlg.findChild<QComboBox *>("CbTarget");
    QVERIFY(!dlg.GetModified());
    QVERIFY(!val->isHidden());
    QVERIFY(!target->isHidden()); // the object's sensors
    type->setCurrentIndex(type->findText("1: Zone"));
    QCOMPARE(dlg.TrapInfo().target_id, 0);
    QCOMPARE(dlg.TrapInfo().condition_id, 0);
    QVERIFY(val->isHidden());
    QVERIFY(dlg.findChild<QComboBox *>("CbCondition")->itemText(0).startsWith("1: "));
    const TLumHash &f = dlg.GetFields();
    QCOMPARE(f.Count(), 1);
    QCOMPARE(f.GetKey(0), std::string("target_type_id"));
    QCOMPARE(f.GetValByIndex(0), std::string("1"));
    QVERIFY(dlg.findChild<TLumLed *>("Led_target_type_id")->Lit());
  }

  void editorPlaceholdersAndSubjectLimit() {
    TMonitorMainWin &w = Start();
    TTrapEditForm dlg(&w);
    dlg.Prepare(&w.Client(), w.Client().FindTrap(202), 0, false);
    auto *msg = dlg.findChild<QLineEdit *>("EdMsg");
    auto *subj = dlg.findChild<QLineEdit *>("EdSubj");
    // Loaded texts are highlighted at once.
    QCOMPARE(int(dlg.HighlightRuns(subj).size()), 2);
    msg->setText("at");
    msg->setCursorPosition(2);
    dlg.InsertField("{{.lat}},{{.lon}}: Coordinates");
    QCOMPARE(msg->text(), QString("at {{.lat}},{{.lon}}"));
    QCOMPARE(msg->cursorPosition(), msg->text().size());
    const auto runs = dlg.HighlightRuns(msg);
    QCOMPARE(int(runs.size()), 2);
    QCOMPARE(runs[0], (std::pair<int, int>{3, 8}));
    QVERIFY(dlg.GetFields().HasKey("msg"));
    // For a person to look at: the placeholders bold in navy, the lit lamp of the message.
    dlg.resize(440, 560);
    QVERIFY(dlg.grab().save(QCoreApplication::applicationDirPath() + "/trap-editor.png"));
    subj->setText(QString(80, QLatin1Char('x')));
    QCOMPARE(subj->text().size(), 64);
  }

  void showModeDisablesEveryGroup() {
    TMonitorMainWin &w = Start();
    TTrapEditForm dlg(&w);
    dlg.Prepare(&w.Client(), w.Client().FindTrap(201), 0, true);
    for (const char *g : {"GbObject", "GbTarget", "GbAlarm", "GbMessage"})
      QVERIFY(!dlg.findChild<QGroupBox *>(g)->isEnabled());
    QVERIFY(dlg.findChild<QPushButton *>("ButOk")->isEnabled());
    QCOMPARE(dlg.windowTitle(), QString("Trap 201"));
    // Without a client the editor refuses with the reason.
    TTrapEditForm none(&w);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, none.EditTrap(nullptr, nullptr, 0));
  }
};

KELVRA_UI_TEST(TrapsTest)
#include "TrapsTest.moc"
