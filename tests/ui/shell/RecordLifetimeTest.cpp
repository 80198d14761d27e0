// Windows that hold an object, a zone or a trap of the client while the service refuses the token:
// with the window open, a refresh is refused with 401 and the user signs in again (or gives up);
// then the window is closed with OK and with Cancel. Nothing may touch a freed record (the
// sanitizer build, and TRecordRef stops the program on a dead record); signed in again, every
// record is still the one the window holds; given up, the window applies nothing and says so.

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include "UiTests.h"

#include <cmath>
#include <functional>
#include <map>
#include <memory>

#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"
#include "core/model/ZoneInfo.h"
#include "sim/SimWorld.h"
#include "support/SignedInDesk.h"
#include "ui/objects/ObjectForms.h"
#include "ui/zones/ZoneEditForm.h"
#include "ui/traps/TrapsPanel.h"
#include "ui/zones/ZonesPanel.h"
#include "ui/tracks/TracksPanel.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;
using test::Fault;
using test::Answer;
using test::kVan;
using test::kWatch;

namespace {


// One window that holds a record: how it opens (selecting its record first), the answers that
// close it with OK and with Cancel, and what the user is told when its record went meanwhile.
struct TWindowCase {
  std::function<void(TMonitorMainWin &, test::TSignedInDesk &)> select;
  std::function<void(TMonitorMainWin &)> open;
  QVariant ok, cancel;
  const char *goneKey = ""; // the message when the record went; empty when the window holds a copy
  bool modeless = false;
  // Modeless windows: the window as it stands now (null once it has gone).
  std::function<QWidget *(TMonitorMainWin &)> window;
};

void SelectObject(TMonitorMainWin &w, test::TSignedInDesk &d, int uid) {
  (void)w;
  QVERIFY(d.Select(uid) != nullptr);
}

void SelectFirstZone(TMonitorMainWin &w, test::TSignedInDesk &) {
  TZonesModel *m = w.ZonesPanel()->Model();
  QVERIFY(m->rowCount() > 0);
  w.ZonesPanel()->List()->setCurrentIndex(m->index(0, 0));
}

void SelectFirstTrap(TMonitorMainWin &w, test::TSignedInDesk &) {
  QVERIFY(!w.Client().TrapList().empty());
  w.TrapsPanel()->List()->setCurrentIndex(
      w.TrapsPanel()->Model()->IndexOf(w.Client().TrapList().front().get()));
  QVERIFY(w.TrapsPanel()->List()->currentIndex().isValid());
}

using TSelect = std::function<void(TMonitorMainWin &, test::TSignedInDesk &)>;
using TOpen = std::function<void(TMonitorMainWin &)>;

TWindowCase Modal(TSelect select, TOpen open, QVariant ok, QVariant cancel, const char *goneKey) {
  TWindowCase c;
  c.select = std::move(select);
  c.open = std::move(open);
  c.ok = std::move(ok);
  c.cancel = std::move(cancel);
  c.goneKey = goneKey;
  return c;
}

TWindowCase Modeless(TSelect select, TOpen open, const char *goneKey,
                     std::function<QWidget *(TMonitorMainWin &)> window) {
  TWindowCase c = Modal(std::move(select), std::move(open), {}, {}, goneKey);
  c.modeless = true;
  c.window = std::move(window);
  return c;
}

QWidget *TopLevelOf(const char *className) {
  for (QWidget *t : QApplication::topLevelWidgets())
    if (t->inherits(className) && t->isVisible()) return t;
  return nullptr;
}

const std::map<QString, TWindowCase> &Cases() {
  static const std::map<QString, TWindowCase> cases = {
      {"track request",
       Modal([](auto &w, auto &d) { SelectObject(w, d, kVan); },
        [](TMonitorMainWin &w) { w.Tracks()->RequestTrack(nullptr, "", NAN, NAN, 0); },
        Answer({{"click", "ButOk"}}), Answer({{"click", "ButCancel"}}), "object_reloaded")},
      {"object editor",
       Modal([](auto &w, auto &d) { SelectObject(w, d, kVan); }, [](TMonitorMainWin &w) { w.EditObject(); },
        Answer({{"EdName", "Renamed van"}, {"click", "ButSave"}}),
        Answer({{"EdName", "Renamed van"}, {"click", "ButCancel"}}), "object_reloaded")},
      {"object info",
       Modeless([](auto &w, auto &d) { SelectObject(w, d, kVan); }, [](TMonitorMainWin &w) { w.ShowObjectInfo(); },
                "", [](TMonitorMainWin &) { return TopLevelOf("kelvra::TObjInfoForm"); })},
      {"commands",
       Modal([](auto &w, auto &d) { SelectObject(w, d, kWatch); }, [](TMonitorMainWin &w) { w.ShowCommands(); },
        Answer({{"EdCommand", "get info"}, {"click", "ButSend"}}), Answer({{"click", "ButClose"}}),
        "object_reloaded")},
      {"configuration",
       Modal([](auto &w, auto &d) { SelectObject(w, d, kWatch); }, [](TMonitorMainWin &w) { w.ShowConfig(); },
        Answer({{"EdTrackingPeriod", "3"}, {"click", "ButOk"}}), Answer({{"click", "ButCancel"}}),
        "object_reloaded")},
      {"places",
       Modal([](auto &w, auto &d) { SelectObject(w, d, kWatch); }, [](TMonitorMainWin &w) { w.ShowPlaces(); },
        Answer({{"click", "ButOk"}}), Answer({{"click", "ButCancel"}}), "object_reloaded")},
      {"start trip",
       Modal([](auto &w, auto &d) { SelectObject(w, d, kWatch); }, [](TMonitorMainWin &w) { w.StartTrip(); },
        Answer({{"click", "ButStart"}}), Answer({{"click", "ButCancel"}}), "object_reloaded")},
      {"delete object",
       Modal([](auto &w, auto &d) { SelectObject(w, d, kVan); }, [](TMonitorMainWin &w) { w.DeleteObject(); },
        int(QMessageBox::Yes), int(QMessageBox::No), "object_reloaded")},
      {"delete zone",
       Modal(SelectFirstZone, [](TMonitorMainWin &w) { w.ZonesPanel()->DeleteZone(); }, int(QMessageBox::Yes),
        int(QMessageBox::No), "zone_reloaded")},
      {"zone history",
       Modal(SelectFirstZone, [](TMonitorMainWin &w) { w.ZonesPanel()->ShowZoneHistory(); },
        Answer({{"click", "ButOk"}}), Answer({{"click", "ButCancel"}}), "zone_reloaded")},
      {"zone editor",
       Modeless(SelectFirstZone, [](TMonitorMainWin &w) { w.ZonesPanel()->EditZone(); }, "zone_reloaded",
                [](TMonitorMainWin &w) -> QWidget * { return w.ZonesPanel()->Editor(); })},
      {"trap editor",
       Modal(SelectFirstTrap, [](TMonitorMainWin &w) { w.TrapsPanel()->EditTrap(); },
        Answer({{"EdVal", "77"}, {"click", "ButOk"}}), Answer({{"click", "ButCancel"}}), "trap_reloaded")},
      {"delete trap",
       Modal(SelectFirstTrap, [](TMonitorMainWin &w) { w.TrapsPanel()->DeleteTrap(); }, int(QMessageBox::Yes),
        int(QMessageBox::No), "trap_reloaded")},
  };
  return cases;
}

} // namespace

class RecordLifetimeTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

  // The refresh of the update cycle, refused with 401; the login dialog that follows is answered
  // from the script (the user name must be filled in already: only the password is typed).
  void RefusedRefresh(TMonitorMainWin &w) {
    fDesk->Sim().AddFault(Fault("/api/v1/user/objects:expire,times=1"));
    w.UpdateObjects();
  }
  static QVariant LoginAnswer(bool signInAgain) {
    return signInAgain ? Answer({{"PassEdit", "demo"}, {"click", "ButSignIn"}})
                       : Answer({{"click", "ButCancel"}});
  }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }
  void cleanup() { fDesk.reset(); }

  void windowHoldingARecordOutlivesARefusedRefresh_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("signInAgain");
    QTest::addColumn<bool>("closeOk");
    for (const auto &[name, c] : Cases())
      for (bool again : {true, false})
        for (bool ok : {true, false})
          QTest::newRow(qPrintable(QString("%1, %2, %3")
                                       .arg(name, again ? "signed in again" : "sign-in cancelled",
                                            ok ? "OK" : "Cancel")))
              << name << again << ok;
  }

  void windowHoldingARecordOutlivesARefusedRefresh() {
    QFETCH(QString, window);
    QFETCH(bool, signInAgain);
    QFETCH(bool, closeOk);
    const TWindowCase &c = Cases().at(window);
    TMonitorMainWin &w = fDesk->Start();
    QVERIFY(w.IsLoggedIn());
    c.select(w, *fDesk);
    const int rows = w.Objects()->rowCount();
    const QString gone = c.goneKey[0] ? FormString(&w, c.goneKey).remove(0, 1) : QString();

    if (c.modeless) {
      Prompt::StartScript();
      c.open(w);
      QWidget *win = c.window(w);
      QVERIFY(win != nullptr);
      Prompt::AddAnswer(LoginAnswer(signInAgain));
      RefusedRefresh(w);
      if (QWidget *still = c.window(w)) {
        if (auto *b = still->findChild<QPushButton *>(closeOk ? "ButSave" : "ButCancel"))
          b->click();
        else
          still->close();
      }
      QTRY_VERIFY(c.window(w) == nullptr || !c.window(w)->isVisible());
    } else {
      // The login dialog is asked while the window is open: its answer comes first.
      Prompt::StartScript({LoginAnswer(signInAgain), closeOk ? c.ok : c.cancel});
      Prompt::WhileOpen([this, &w] { RefusedRefresh(w); });
      c.open(w);
      QCOMPARE(Prompt::Asked().front().caption, QString("LoginForm"));
    }
    Prompt::StopScript();
    QCoreApplication::processEvents();

    const QString log = fDesk->LogText();
    QVERIFY2(log.contains("Sign in again"), qPrintable(log.right(800)));
    if (signInAgain) {
      // The records lived on: nothing was reloaded, the window did its work on them.
      QVERIFY(w.IsLoggedIn());
      QVERIFY2(!log.contains("reloaded while this window was open"), qPrintable(log.right(800)));
      QVERIFY(w.Objects()->rowCount() >= rows - 1); // less one when an object was deleted for good
    } else {
      QVERIFY(!w.IsLoggedIn());
      QCOMPARE(w.Objects()->rowCount(), 0);
      if (!gone.isEmpty()) QVERIFY2(log.contains(gone), qPrintable(log.right(800)));
    }
  }
};

KELVRA_UI_TEST(RecordLifetimeTest)
#include "RecordLifetimeTest.moc"
