// The object and trip windows against an in-process kelvra-sim: starting and stopping trips,
// the trips window and its request to show a track, the object editor (lit fields only, Cancel),
// the photo editor's upload and the marker that shows it, the object information window.

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>
#include <QWheelEvent>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "UiTests.h"
#include "core/app/Common.h"
#include "core/model/ObjectInfo.h"
#include "core/model/ObjectRows.h"
#include "core/tracks/GeoTrack.h"
#include "core/util/LumForm.h"
#include "sim/SimServer.h"
#include "sim/SimUtil.h"
#include "support/TempDir.h"
#include "ui/widgets/DialogParts.h"
#include "ui/objects/ObjectForms.h"
#include "ui/objects/TripForms.h"
#include "ui/map/LumMapControl.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/tracks/TracksPanel.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"
#include "support/SignedInDesk.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;
using kelvra::test::Answer;
using kelvra::test::LogText;

namespace {

// Screenshots for a person to look at, beside the test binary.
// A 1200 x 600 blue picture with a yellow square block of half side `half` in its middle.
bool SaveBlockPicture(const QString &file, int half) {
  QImage pic(1200, 600, QImage::Format_RGB32);
  pic.fill(QColor(30, 120, 200));
  for (int y = 300 - half; y < 300 + half; ++y)
    for (int x = 600 - half; x < 600 + half; ++x)
      pic.setPixelColor(x, y, QColor(240, 200, 40));
  return pic.save(file);
}

void Shot(QWidget *w, const char *name) {
  const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
  QDir().mkpath(dir);
  QVERIFY(w->grab().save(dir + "/" + name + ".png"));
}

} // namespace

class ObjectDialogsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TSignedInDesk> fDesk;

  // The service's clock starts now: the windows compare the age of values with the display clock.
  SimServer &Sim() { return fDesk->Sim(); }
  TMonitorMainWin &Start() { return fDesk->Start(); }
  TObjectInfo *Select(TMonitorMainWin &, int uid) { return fDesk->Select(uid); }

  std::vector<TSimRequest> RequestsTo(const std::string &method, const std::string &pathPart) {
    std::vector<TSimRequest> out;
    for (const TSimRequest &r : Sim().Requests())
      if (r.method == method && r.path.find(pathPart) != std::string::npos) out.push_back(r);
    return out;
  }

private slots:
  void init() {
    fDesk = std::make_unique<test::TSignedInDesk>(TSimOptions{});
    QVERIFY(fDesk->SimStarted());
  }

  void cleanup() {
    Prompt::StopScript();
    if (TTripInfoForm *t = TTripInfoForm::Active()) delete t;
    fDesk.reset();
  }

  void startingATripTwiceOffersToStopIt() {
    TMonitorMainWin &w = Start();
    QVERIFY(w.IsLoggedIn());
    TObjectInfo *van = Select(w, 101);
    QVERIFY(van);
    QCOMPARE(van->trip_status, 2); // its last trip is finished: a new one may start
    Sim().ClearRequests();
    Prompt::StartScript({Answer({{"click", "ButStart"}})});
    w.StartTrip();
    QCOMPARE(Prompt::Asked().at(0).caption, QString("StartTripForm"));
    const auto starts = RequestsTo("PUT", "/object/101/starttrip");
    QCOMPARE(int(starts.size()), 1);
    // The suggested name: "trip_" and the local time to the minute, with a trailing "_".
    const QString name = QUrl::fromPercentEncoding(QByteArray::fromStdString(starts[0].body)).mid(5);
    QVERIFY2(QRegularExpression("^trip_\\d{4}_\\d\\d_\\d\\d_\\d\\d:\\d\\d_$").match(name).hasMatch(),
             qPrintable(name));
    QCOMPARE(w.MsgLabel()->text(), FormString(&w, "trip_started"));
    QVERIFY(HasActiveTrip(*van)); // re-read from the service

    // Again: the question, and Yes stops it.
    Prompt::StartScript({int(QMessageBox::Yes)});
    w.StartTrip();
    QCOMPARE(Prompt::Asked().at(0).text, FormString(&w, "trip_already_started", {van->name}));
    QCOMPARE(int(RequestsTo("PUT", "/object/101/stoptrip").size()), 1);
    QCOMPARE(w.MsgLabel()->text(), FormString(&w, "trip_stopped"));
    QVERIFY(!HasActiveTrip(*van));

    // The courier's trip runs at the service, but the cached record does not know: the service
    // refuses with 409, and the same question follows.
    TObjectInfo *courier = Select(w, 102);
    courier->trip_id = 0;
    Prompt::StartScript({Answer({{"EdTripName", "Parcels again"}, {"click", "ButStart"}}),
                         int(QMessageBox::Yes)});
    w.StartTrip();
    QCOMPARE(int(Prompt::Asked().size()), 2);
    QCOMPARE(Prompt::Asked()[1].text, FormString(&w, "trip_already_started", {courier->name}));
    QCOMPARE(w.MsgLabel()->text(), FormString(&w, "trip_stopped"));
    // Stopping again: there is no trip to stop.
    Prompt::StartScript();
    w.StopTrip();
    QCOMPARE(w.MsgLabel()->text(), FormString(&w, "trip_not_found").mid(1)); // shown red
  }

  void tripsWindowGroupsByObjectAndAsksForTheTrack() {
    TMonitorMainWin &w = Start();
    // From 21 hours ago to 2 hours ago: the van's finished trip and the garage's planned one
    // (the courier's started an hour ago).
    const TDateTime now = w.Client().DisplayNow();
    w.ShowTrips(now - 21 / 24.0, now - 2 / 24.0);
    TTripInfoForm *trips = TTripInfoForm::Active();
    QVERIFY(trips);
    QStandardItemModel *m = trips->TreeModel();
    QCOMPARE(m->rowCount(), 2);
    QStringList names;
    for (int r = 0; r < 2; ++r) {
      names << m->item(r)->text();
      QVERIFY(trips->Tree()->isExpanded(m->index(r, 0)));
      QCOMPARE(m->item(r)->rowCount(), 1);
    }
    QVERIFY2(names.contains("Delivery van"), qPrintable(names.join(",")));
    // From the "Trips" menu item: the period dialog first (the period kept from its last use).
    delete trips;
    QVERIFY(!TTripInfoForm::Active());
    IniFile->WriteFloat("Period", "Dt1", now - 21 / 24.0);
    IniFile->WriteFloat("Period", "Dt2", now - 2 / 24.0);
    Prompt::StartScript({Answer({{"click", "ButOk"}})});
    w.ShowTrips();
    QCOMPARE(Prompt::Asked().at(0).caption, QString("PeriodRequestForm"));
    trips = TTripInfoForm::Active();
    QVERIFY(trips);
    QCOMPARE(trips->TreeModel()->rowCount(), 2);
    m = trips->TreeModel();
    // A second request while it is open is refused.
    w.ShowTrips(now - 1, now);
    QCOMPARE(w.MsgLabel()->text(), FormString(&w, "trip_info_active"));
    QCOMPARE(TTripInfoForm::Active(), trips);

    // The planned trip has no period: a double click does nothing.
    const int vanRow = names.indexOf("Delivery van"), otherRow = 1 - vanRow;
    const QModelIndex planned = m->index(0, 0, m->index(otherRow, 0));
    trips->Tree()->setCurrentIndex(planned);
    QVERIFY(!trips->ShowTrack());
    QCOMPARE(m->itemFromIndex(planned.siblingAtColumn(3))->text(), QString());

    // The van's trip: details with the show-track button, and the command to the main window.
    const QModelIndex morning = m->index(0, 0, m->index(vanRow, 0));
    trips->Tree()->setCurrentIndex(morning);
    QCOMPARE(m->itemFromIndex(morning)->text(), QString("Morning delivery"));
    QCOMPARE(m->itemFromIndex(morning.siblingAtColumn(3))->text(), QString("03:00"));
    std::vector<std::string> keys;
    for (const TInfoRow &r : trips->DetailRows())
      keys.push_back(r.Key);
    QVERIFY(std::find(keys.begin(), keys.end(), "token") != keys.end()); // the trip is public
    QVERIFY(trips->findChild<QWidget *>("ButShowTrack"));
    trips->show();
    trips->resize(640, 560);
    Shot(trips, "trips_window");
    const QTableView *details = trips->Details();
    QCOMPARE(details->model()->data(details->model()->index(0, 0)).toString(), RowLabel(trips, "name"));

    std::vector<std::string> sent;
    std::string action, subj;
    TTripInfoForm own;
    own.ShowTrips(&w.Client(), [&](QObject *, const std::string &a, const std::string &s,
                                   const std::vector<std::string> &args) {
      action = a;
      subj = s;
      sent = args;
      return 0;
    });
    const QModelIndex ownMorning = own.TreeModel()->index(0, 0, own.TreeModel()->index(vanRow, 0));
    own.Tree()->setCurrentIndex(ownMorning);
    emit own.Tree()->doubleClicked(ownMorning);
    QCOMPARE(action, std::string("show"));
    QCOMPARE(subj, std::string("track"));
    QCOMPARE(int(sent.size()), 10);
    QCOMPARE(sent[2], std::string("obj_id"));
    QCOMPARE(sent[3], std::string("101"));
    QVERIFY(sent[5].back() == 'Z' && sent[7].back() == 'Z');
    // Through the main window's command entry: the trip's track comes onto the map, ticked and
    // selected, under the trip's name.
    const int tracksBefore = w.Tracks()->Model()->rowCount();
    QVERIFY(trips->ShowTrack());
    QVERIFY(LogText(w).contains("Command: show track (name,Morning delivery,obj_id,101,dt1,"));
    QCOMPARE(w.Tracks()->Model()->rowCount(), tracksBefore + 1);
    TGeoTrack *shown = w.Tracks()->SelectedTrack();
    QVERIFY(shown);
    QVERIFY(QString::fromStdString(shown->Sign()).contains("Morning delivery"));
    QVERIFY(!shown->Points().empty());
    QVERIFY(shown->Visible());
    QVERIFY(std::any_of(w.Map()->GeoTracks().begin(), w.Map()->GeoTracks().end(),
                        [shown](const auto &t) { return t.get() == shown; }));
  }

  void editorSendsOnlyLitFieldsAndCancelLeavesTheObject() {
    TMonitorMainWin &w = Start();
    TObjectInfo *van = Select(w, 101);
    const std::string oldName = van->name;
    Sim().ClearRequests();
    Prompt::StartScript({Answer({{"EdName", "Changed van"}, {"click", "ButCancel"}})});
    w.EditObject();
    QCOMPARE(van->name, oldName);
    QVERIFY(RequestsTo("PUT", "/object/101").empty());
    // A refresh that renames the object while the window is open is what Cancel leaves.
    const Prompt::TDialogProbe refresh = [van](QDialog *) { van->name = "Renamed meanwhile"; };
    Prompt::StartScript({QVariantList{Answer({{"EdName", "Changed van"}}), QVariant::fromValue(refresh),
                                      Answer({{"click", "ButCancel"}})}});
    w.EditObject();
    QCOMPARE(van->name, std::string("Renamed meanwhile"));
    QVERIFY(RequestsTo("PUT", "/object/101").empty());

    Prompt::StartScript({Answer({{"EdName", "  Blue van "}, {"click", "ButSave"}})});
    w.EditObject();
    const auto puts = RequestsTo("PUT", "/object/101");
    QCOMPARE(int(puts.size()), 1);
    QCOMPARE(puts[0].body, std::string("name=Blue+van&")); // the one lit field, trimmed
    QCOMPARE(van->name, std::string("Blue van"));

    // A new object: blank ID flashes and sends nothing; then only the typed fields go.
    Sim().ClearRequests();
    TObjEditForm dlg(&w);
    TObjectInfo fresh;
    dlg.Fill(&w.Client(), &fresh);
    QCOMPARE(dlg.windowTitle(), FormString(&dlg, "create_object"));
    dlg.findChild<QLineEdit *>("EdId")->setText("   ");
    dlg.findChild<QLineEdit *>("EdName")->setText("Bike");
    dlg.Save();
    QVERIFY(RequestsTo("POST", "/object").empty());
    dlg.findChild<QLineEdit *>("EdId")->setText("860000000000777");
    dlg.Save();
    const auto posts = RequestsTo("POST", "/object");
    QCOMPARE(int(posts.size()), 1);
    QCOMPARE(posts[0].body, std::string("id=860000000000777&name=Bike&"));
    QVERIFY(fresh.uid > 0);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.Status(), FormString(&dlg, "object_created", {fresh.uid}));
  }

  void photoEditorZoomsWithTheWheelAndMovesByDragging() {
    TMonitorMainWin &w = Start();
    TObjectInfo *van = Select(w, 101);
    const QString file = QString::fromStdString(fDesk->Dir() + "block.png");
    QVERIFY(SaveBlockPicture(file, 100));
    TObjPhotoForm photo(&w);
    photo.Fill(&w.Client(), van);
    QVERIFY(photo.LoadFile(file));
    photo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&photo));
    QWidget *vp = photo.View()->viewport();
    const QPoint mid = vp->rect().center();
    auto centre = [&photo] { return photo.FramedPhoto().pixelColor(250, 250); };
    QCOMPARE(centre(), QColor(240, 200, 40));

    // Two wheel steps up zoom in by 0.05 each about the middle: the block stays in the middle.
    const double scale = photo.Scale();
    for (int i = 0; i < 2; ++i) {
      QWheelEvent wheel(QPointF(mid), QPointF(vp->mapToGlobal(mid)), {}, QPoint(0, 120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(vp, &wheel);
    }
    QVERIFY(std::abs(photo.Scale() - (scale + 0.1)) < 1e-9);
    QVERIFY(photo.BoxSize().width() > qRound(1200 * scale));
    QCOMPARE(centre(), QColor(240, 200, 40));

    // Dragging to the right pulls the picture along: the square's middle shows the blue left of
    // the block, and the point pressed stays under the pointer.
    QTest::mousePress(vp, Qt::LeftButton, {}, mid);
    QTest::mouseMove(vp, mid + QPoint(150, 0));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, mid + QPoint(150, 0));
    QCOMPARE(centre(), QColor(30, 120, 200));
    Shot(&photo, "photo_editor_dragged");
    // A wheel step down zooms out again, never below the picture filling the viewport's width.
    for (int i = 0; i < 20; ++i) {
      QWheelEvent wheel(QPointF(mid), QPointF(vp->mapToGlobal(mid)), {}, QPoint(0, -120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(vp, &wheel);
    }
    QVERIFY(std::abs(photo.Scale() - scale) < 1e-9);
  }

  void uploadedPhotoIsSquareAndShowsInTheMarker() {
    TMonitorMainWin &w = Start();
    TObjectInfo *van = Select(w, 101);
    QVERIFY(!van->has_image);
    // A landscape picture, framed as it opens (scaled to the viewport's width, centred).
    const QString file = QString::fromStdString(fDesk->Dir() + "van.png");
    QVERIFY(SaveBlockPicture(file, 150));
    TObjPhotoForm photo(&w);
    photo.Fill(&w.Client(), van);
    QVERIFY(photo.LoadFile(file));
    QVERIFY(photo.Scale() < 1);
    QVERIFY(photo.PictureFilter().contains("*.png"));
    QVERIFY(!photo.PictureFilter().contains("wmf"));
    photo.show();
    Shot(&photo, "photo_editor");
    QLabel framed;
    framed.setPixmap(QPixmap::fromImage(photo.FramedPhoto()));
    framed.resize(500, 500);
    Shot(&framed, "photo_framed");
    Sim().ClearRequests();
    photo.Save();
    QCOMPARE(photo.result(), int(QDialog::Accepted));
    QCOMPARE(int(RequestsTo("POST", "/object/101/img").size()), 1);
    QVERIFY(van->photo);
    QCOMPARE(van->photo->fWidth, 500);
    QCOMPARE(van->photo->fHeight, 500);
    const std::string stored = Sim().WithWorld([](sim::TSimWorld &world) { return world.FindObject(101)->image; });
    const QImage uploaded = QImage::fromData(QByteArray::fromStdString(stored), "PNG");
    QCOMPARE(uploaded.size(), QSize(500, 500));
    // Framed as the editor opened it: the middle of the picture, so the yellow block in the middle.
    QCOMPARE(uploaded.pixelColor(250, 250), QColor(240, 200, 40));
    QCOMPARE(uploaded.pixelColor(20, 250), QColor(30, 120, 200));

    // The marker draws the photo: its thumbnail is made from it when the map paints. The other
    // objects leave the map, so that no cluster badge stands for the van.
    for (TObjectInfo *o : w.Objects()->Objects())
      if (o != van) w.Objects()->SetChecked(o, false);
    QVERIFY(w.MarkOf(van));
    QVERIFY(!van->icon);
    w.resize(1200, 800);
    w.show();
    w.Map()->SetCenter(16, van->last_point->lat, van->last_point->lon);
    const QImage shot = w.Map()->grab().toImage();
    QVERIFY(van->icon);
    Shot(w.Map(), "photo_marker");
    (void)shot;

    // "Clear photo" in the editor: asked, deleted at the service and locally.
    TObjEditForm editor(&w);
    editor.Fill(&w.Client(), van);
    Prompt::StartScript({int(QMessageBox::No), int(QMessageBox::Yes)});
    editor.ClearPhoto();
    QVERIFY(van->photo);
    editor.ClearPhoto();
    QCOMPARE(int(RequestsTo("DELETE", "/object/101/img").size()), 1);
    QVERIFY(!van->photo && !van->has_image);
  }

  void infoWindowListsTheObject() {
    TMonitorMainWin &w = Start();
    TObjectInfo *watch = Select(w, 103);
    QVERIFY(watch);
    w.ShowObjectInfo();
    auto *info = w.findChild<TObjInfoForm *>();
    QVERIFY(info);
    QVERIFY(info->isVisible());
    std::vector<std::string> keys;
    for (const TInfoRow &r : info->Rows())
      keys.push_back(r.Key);
    QVERIFY(std::find(keys.begin(), keys.end(), "lat_lon") != keys.end());
    QVERIFY(std::find(keys.begin(), keys.end(), "Heart rate, bpm") != keys.end());
    Shot(info, "object_info");
    info->close();
  }
};

KELVRA_UI_TEST(ObjectDialogsTest)
#include "ObjectDialogsTest.moc"
