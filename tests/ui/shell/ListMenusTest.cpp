// The right-click menus of the main window's lists: the row under the pointer becomes current, the
// menu holds the list's tool-bar actions (and, on the object list, the object menu's items, with
// their keys), and an entry does what its button does.

#include <QMenu>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

#include "UiTests.h"
#include "support/SignedInDesk.h"
#include "ui/events/EventsPanel.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/traps/TrapsPanel.h"
#include "ui/widgets/PanelParts.h"
#include "ui/widgets/Prompt.h"
#include "ui/zones/ZonesPanel.h"

using namespace kelvra;

namespace {

QStringList Names(const QMenu *m) {
  QStringList out;
  for (const QAction *a : m->actions())
    if (!a->isSeparator()) out << a->objectName();
  return out;
}

} // namespace

class ListMenusTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }
  void cleanup() { fDesk.reset(); }

  // The first start (no layout stored) fits the object panel to its rows once they are loaded:
  // every name and time of the first rows shows whole, and a grab of the list holds no "...".
  void firstStartShowsWholeNamesAndTimes() {
    TMonitorMainWin &w = fDesk->StartByShowing({}, 1280, 800);
    QTreeView *list = w.ObjList();
    QVERIFY(list->model()->rowCount() > 0);
    QCoreApplication::processEvents();
    for (int r = 0; r < std::min(5, list->model()->rowCount()); ++r) {
      const QModelIndex i = list->model()->index(r, 0);
      QVERIFY2(list->visualRect(i).width() >= list->sizeHintForIndex(i).width(),
               qPrintable(i.data().toString()));
    }
    QVERIFY(list->grab().save("first-start-objects.png"));
  }

  void everyListOffersItsToolBar_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("objects") << "ObjList"
                             << QStringList{"SbObjectInfo", "SbRequestTrack", "SbCommands", "SbLastMessages",
                                            "SbObjectConfig", "SbObjectPlaces", "SbEditObject", "SbCreatePlace",
                                            "PopupCreateObject", "PopupDeleteObject", "PopupStartTrip",
                                            "PopupStopTrip"};
    QTest::newRow("traps") << "TrapList" << QStringList{"SbEditTrap", "SbDeleteTrap"};
    QTest::newRow("alarms") << "AlarmList" << QStringList{"SbAcceptAlarm"};
    QTest::newRow("events") << "EventList" << QStringList{"SbAcceptEvent", "SbRequestEvents"};
  }

  void everyListOffersItsToolBar() {
    QFETCH(QString, list);
    QFETCH(QStringList, entries);
    TMonitorMainWin &w = fDesk->Start(true);
    auto *view = w.findChild<QAbstractItemView *>(list);
    QVERIFY(view);
    TListMenu *menu = TListMenu::Of(view);
    QVERIFY(menu);
    QCOMPARE(view->contextMenuPolicy(), Qt::CustomContextMenu);
    std::unique_ptr<QMenu> m(menu->Build(QPoint(-1, -1)));
    const QStringList names = Names(m.get());
    for (const QString &e : entries)
      QVERIFY2(names.contains(e), qPrintable(names.join(",")));
    for (const QAction *a : m->actions())
      QVERIFY2(a->isSeparator() || !a->text().trimmed().isEmpty(), qPrintable(a->objectName()));
  }

  // The object list: a right click on a row selects it; the delete entry shows its key; an entry
  // does what its button does.
  void objectMenuSelectsTheRowAndActs() {
    TMonitorMainWin &w = fDesk->Start(true);
    QAbstractItemView *view = w.ObjList();
    QVERIFY(view->model()->rowCount() > 1);
    const QModelIndex second = view->model()->index(1, 0);
    const QRect r = view->visualRect(second);
    QVERIFY(r.isValid());
    std::unique_ptr<QMenu> m(TListMenu::Of(view)->Build(r.center()));
    QCOMPARE(view->currentIndex(), second);
    QAction *del = m->findChild<QAction *>("PopupDeleteObject");
    QVERIFY(del);
    QVERIFY2(del->text().endsWith("\t" + QKeySequence(Qt::Key_Delete).toString(QKeySequence::NativeText)),
             qPrintable(del->text()));
    QCOMPARE(del->text().count(QLatin1Char('\t')), 1); // the key once, not once per place that names it
    Prompt::StartScript(); // the object editor asks; the script cancels it
    m->findChild<QAction *>("SbEditObject")->trigger();
    QCOMPARE(int(Prompt::Asked().size()), 1);
    QCOMPARE(Prompt::Asked()[0].caption, QString("ObjEditForm"));
    Prompt::StopScript();
  }
};

KELVRA_UI_TEST(ListMenusTest)
#include "ListMenusTest.moc"
