// Object photos at the sign-in: fetched in the background, given to their objects when they come,
// drawn on the marks; a photo that does not come holds neither the sign-in nor the sign-out.

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <set>

#include "UiTests.h"
#include "core/client/client.h"
#include "core/model/ObjectInfo.h"
#include "sim/SimServer.h"
#include "support/SignedInDesk.h"
#include "ui/map/LumMapControl.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/objects/PhotoFetcher.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;
using kelvra::test::Answer;

class PhotoFetchTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

  // The ticked objects that have a photo at the service.
  static std::vector<TObjectInfo *> WithImage(TMonitorMainWin &w) {
    std::vector<TObjectInfo *> out;
    for (TObjectInfo *oi : w.Objects()->Objects())
      if (oi->has_image && w.Objects()->IsChecked(oi)) out.push_back(oi);
    return out;
  }
  static int PhotoCount(TMonitorMainWin &w) {
    int n = 0;
    for (TObjectInfo *oi : WithImage(w))
      n += oi->photo != nullptr;
    return n;
  }
  size_t PhotoRequests() {
    size_t n = 0;
    for (const TSimRequest &r : fDesk->Sim().Requests())
      n += r.method == "GET" && r.path.ends_with("/img");
    return n;
  }
  static void SignIn(TMonitorMainWin &w) {
    Prompt::StartScript({Answer({{"UserEdit", "demo"}, {"PassEdit", "demo"}, {"click", "ButSignIn"}})});
    w.Login(false);
    Prompt::StopScript();
  }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>();
    QVERIFY(fDesk->SimStarted());
  }
  void cleanup() { fDesk.reset(); }

  void photosArriveAfterTheSignInAndAreDrawn() {
    TMonitorMainWin &w = fDesk->Start(true);
    // Photos may come while the sign-in still waits for the zones and events.
    QSignalSpy arrived(w.Photos(), &TPhotoFetcher::PhotoArrived);
    const int early = PhotoCount(w);
    const std::vector<TObjectInfo *> objects = WithImage(w);
    QVERIFY(objects.size() >= 3);
    QTRY_COMPARE_WITH_TIMEOUT(PhotoCount(w), int(objects.size()), 60000);
    QCOMPARE(w.Photos()->Pending(), size_t(0));
    std::set<int> uids;
    for (const QList<QVariant> &args : arrived)
      uids.insert(args.at(0).toInt());
    QCOMPARE(int(uids.size()), int(objects.size()) - early); // one signal per photo
    // The mark draws the photo that came: its thumbnail is made from it at the next paint.
    TObjectInfo *oi = objects.front();
    std::vector<const TObjectInfo *> ticked;
    for (TObjectInfo *other : w.Objects()->Objects())
      if (other != oi && w.Objects()->IsChecked(other)) ticked.push_back(other);
    for (const TObjectInfo *other : ticked)
      w.Objects()->SetChecked(other, false);
    QVERIFY(w.MarkOf(oi));
    QVERIFY(!oi->icon);
    w.Map()->SetCenter(16, oi->last_point->lat, oi->last_point->lon);
    w.Map()->grab();
    QVERIFY(oi->icon);

    // Signed in again: the photos come from the photo folder, none from the service.
    for (const TObjectInfo *other : ticked)
      w.Objects()->SetChecked(other, true);
    w.Logout();
    QCOMPARE(w.Photos()->Pending(), size_t(0));
    fDesk->Sim().ClearRequests();
    SignIn(w);
    QVERIFY(w.IsLoggedIn());
    QCOMPARE(WithImage(w).size(), objects.size());
    QTRY_COMPARE_WITH_TIMEOUT(PhotoCount(w), int(objects.size()), 60000);
    QCOMPARE(PhotoRequests(), size_t(0));
  }

  void aPhotoThatDoesNotComeHoldsNothing() {
    // Every photo request hangs: the service sends a few bytes, then nothing.
    fDesk->Sim().AddFault(test::Fault("/api/v1/object/*/img:hang"));
    TMonitorMainWin &w = fDesk->Start();
    QVERIFY(w.IsLoggedIn());
    QVERIFY(w.Objects()->rowCount() > 0);
    const size_t expected = WithImage(w).size();
    QVERIFY(expected >= 3);
    // The sign-in is done, nothing waits under the busy window, and the photos are still asked for.
    QVERIFY(!BusyRunning());
    QCOMPARE(w.Photos()->Pending(), expected);
    QTRY_VERIFY_WITH_TIMEOUT(PhotoRequests() >= 1, 60000);
    QCOMPARE(PhotoCount(w), 0);
    // Signing out ends the request that hangs; nothing is given to the records that went.
    w.Logout();
    QCOMPARE(w.Photos()->Pending(), size_t(0));
    QVERIFY(!w.IsLoggedIn());
    // Signed in again while the photos still hang, then the window closes with a request out.
    SignIn(w);
    QVERIFY(w.IsLoggedIn());
    QCOMPARE(w.Photos()->Pending(), expected);
    QTRY_VERIFY_WITH_TIMEOUT(PhotoRequests() >= 2, 60000);
  } // the window goes in cleanup(): its photo request is ended, not waited for
};

KELVRA_UI_TEST(PhotoFetchTest)
#include "PhotoFetchTest.moc"
