#include "ui/tracks/TracksPanel.h"

#include <utility>
#include <QCursor>
#include <QHBoxLayout>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/app/Common.h"
#include "core/app/EventsLogic.h"
#include "core/client/CancellableWork.h"
#include "core/client/client.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/tracks/AddressCache.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/LocationFilter.h"
#include "core/tracks/TrackRequest.h"
#include "core/util/LumHash.h"
#include "ui/map/LumMapControl.h"
#include "ui/tracks/TrackFiles.h"
#include "ui/tracks/FilterTrackForm.h"
#include "ui/tracks/TrackDumpForm.h"
#include "ui/tracks/TrackInfoForms.h"
#include "ui/tracks/TrackParserForm.h"
#include "ui/tracks/TrackRequestForm.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

#include <atomic>

namespace kelvra {

// ---------------------------------------------------------------- panel

namespace {

QToolButton *PanelButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon) {
  auto *b = new QToolButton(parent);
  b->setObjectName(name);
  b->setIcon(parent->style()->standardIcon(icon));
  b->setAutoRaise(true);
  return b;
}

} // namespace

TTracksPanel::TTracksPanel(TKelvraClient &client, TLumMapControl &map, TTracksHost host,
                           QWidget *parent)
    : QGroupBox(parent), fClient(client), fMap(map), fHost(std::move(host)) {
  setObjectName("GbTracks");
  auto *lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(1);
  auto *row = new QHBoxLayout;
  row->setSpacing(0);
  auto button = [this, row](const char *name, QStyle::StandardPixmap icon,
                            void (TTracksPanel::*f)()) {
    QToolButton *b = PanelButton(this, name, icon);
    if (f) connect(b, &QToolButton::clicked, this, [this, f] { (this->*f)(); });
    row->addWidget(b);
    return b;
  };
  button("SbDeleteTrack", QStyle::SP_TrashIcon, &TTracksPanel::DeleteTrack);
  button("SbTrackInfo", QStyle::SP_MessageBoxInformation, &TTracksPanel::ShowTrackInfo);
  button("SbDumpTrack", QStyle::SP_FileDialogListView, &TTracksPanel::DumpTrack);
  button("SbExplainTrack", QStyle::SP_FileDialogContentsView, &TTracksPanel::ExplainTrack);
  QToolButton *menu = button("SbTrackMenu", QStyle::SP_ToolBarVerticalExtensionButton, nullptr);
  row->addStretch();
  lay->addLayout(row);

  fPopup = new QMenu(this);
  fPopup->setObjectName("TrackPopup");
  auto item = [this](const char *name, const char *text, void (TTracksPanel::*f)()) {
    QAction *a = fPopup->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, f] { (this->*f)(); });
    return a;
  };
  item("PopupImportTrack", "Import Track", &TTracksPanel::ImportTrack);
  item("PopupExportTrack", "Export Track", &TTracksPanel::ExportTrack);
  item("PopupFilterTrack", "Filter Track", &TTracksPanel::FilterTrack);
  item("PopupDumpTrack", "Dump Track", &TTracksPanel::DumpTrack)->setVisible(false);
  connect(menu, &QToolButton::clicked, this,
          [this, menu] { fPopup->popup(menu->mapToGlobal(QPoint(0, menu->height()))); });

  fModel = new TTracksModel(
      "Track",
      {[](const TGeoTrack &t) { return QString::fromStdString(t.Sign()); },
       [](const TGeoTrack &t) { return t.Visible(); }, [](TGeoTrack &t, bool on) { t.SetVisible(on); }},
      this);
  fModel->onChecking = [this](TGeoTrack *t, bool on) { Checking(t, on); };
  fList = new QTreeView(this);
  fList->setObjectName("TrackList");
  fList->setModel(fModel);
  fList->setRootIsDecorated(false);
  fList->setSelectionMode(QAbstractItemView::SingleSelection);
  fList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(fList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &p) { fPopup->popup(fList->viewport()->mapToGlobal(p)); });
  connect(fList, &QTreeView::doubleClicked, this, [this] {
    TGeoTrack *t = SelectedTrack();
    if (!t || !t->Visible()) return;
    ArrangeTrack(t);
    fMap.Invalidate();
  });
  lay->addWidget(fList, 1);
}

TTracksPanel::~TTracksPanel() = default;

void TTracksPanel::Log(const std::string &text) const {
  if (fHost.Log) fHost.Log(text);
}

void TTracksPanel::Msg(const std::string &sig, int timeout) const {
  if (fHost.Msg) fHost.Msg(sig, {}, timeout);
}

void TTracksPanel::SayNoTrack(int count) const {
  // A request that failed says why (no reply, server error, malformed reply); only a period
  // without points is "no data".
  if (count < 0 && fClient.ResultCode() != 204 && fHost.Msg)
    fHost.Msg("error", {fClient.GetErrorMessage()}, 5);
  else
    Msg("no_data", 3);
}

TGeoTrack *TTracksPanel::SelectedTrack() const {
  return fModel->At(fList->currentIndex().row());
}

void TTracksPanel::SelectTrack(const TGeoTrack *track) {
  const QModelIndex index = fModel->IndexOf(track);
  if (index.isValid()) fList->setCurrentIndex(index);
}

TGeoTrack *TTracksPanel::TrackOrSay() const {
  TGeoTrack *t = SelectedTrack();
  if (!t) Msg("track_not_selected", 3);
  return t;
}

TGeoTrack *TTracksPanel::AddTrack(std::unique_ptr<TGeoTrack> track) {
  if (!track) return nullptr;
  TGeoTrack *t = track.get();
  fMap.GeoTracks().push_back(std::move(track));
  AppendTrack(t);
  return t;
}

namespace {
// The text the busy window shows for a stage of a requested track.
std::string StageText(TTrackStage stage) {
  static const char *const kKeys[] = {"stage_transfer", "stage_copying", "stage_parking",
                                      "stage_statistics", "stage_places"};
  static const char *const kTexts[] = {"Receiving the track...", "Copying the points...",
                                       "Marking parking stops...", "Measuring the track...",
                                       "Looking up places..."};
  const auto i = static_cast<size_t>(stage);
  return BusyStageText(kKeys[i], kTexts[i]);
}
} // namespace

TTracksPanel::TFetched TTracksPanel::FetchTrack(int uid, TDateTime d1, TDateTime d2, int mode,
                                                int tMode, const TTrackRequestParams &params,
                                                bool resolvePlaces) {
  // The transfer, the reading, the parking, the statistics and the place lookups run on a worker
  // while the window keeps answering; "Cancel" ends the stage that runs and every one after it
  // (no further batch of places), and no track is made of what was done.
  std::atomic<bool> cancelled{false};
  std::unique_ptr<TGeoTrack> track;
  int count = -1;
  const TCancellableWork work(fClient.ApiClient()); // a Cancel is never lost
  RunBusy(
      [&] {
        ReportBusyProgress(StageText(TTrackStage::Transfer), 0, 0);
        if (cancelled) return;
        count = fClient.GetTrack(uid, d1, d2, mode, tMode); // its own exchange runs in place
        if (count <= 0 || cancelled) return;
        TPlaceBatcher::TResolve resolve;
        if (resolvePlaces && AddressCache)
          resolve = [this, &cancelled](const std::vector<std::string> &ids) {
            if (!cancelled) fClient.OsmLookup(ids, *AddressCache);
          };
        track = BuildRequestedTrack(fClient.TrackList(), params, resolve,
                                    [&cancelled](TTrackStage st, size_t done, size_t total) {
                                      ReportBusyProgress(StageText(st), done, total);
                                      return !cancelled;
                                    });
      },
      [this, &cancelled] {
        cancelled = true;
        fClient.ApiClient().Abort();
      },
      window());
  TFetched got;
  got.count = count;
  got.cancelled = cancelled;
  if (!cancelled) got.track = std::move(track);
  return got;
}

bool TTracksPanel::RequestTrack(TObjectInfo *oi, std::string sig, TDateTime d1, TDateTime d2,
                                int mode) {
  Log("\rRequest track: ");
  if (!oi && fHost.SelectedObject) oi = fHost.SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return false;
  }
  int style = 0, tMode = 0;
  bool markParking = true;
  if (std::isnan(d1) || std::isnan(d2)) {
    const TRecordRef<TObjectInfo> held(oi); // the dialog returns to the event loop
    oi = nullptr;
    TTrackRequestForm dlg(window());
    dlg.Now = [this] { return fClient.DisplayNow(); };
    if (!std::isnan(d1)) dlg.SetDt1(d1);
    if (!std::isnan(d2)) dlg.SetDt2(d2);
    const bool asked = dlg.DoRequest(held.Get());
    if (held.Gone()) {
      Log("\r  x: object %d reloaded meanwhile", {held.Uid()});
      Msg("object_reloaded", 5);
      return false;
    }
    if (!asked) {
      Log("cancel");
      return false;
    }
    oi = held.Get();
    d1 = dlg.Dt1();
    d2 = dlg.Dt2();
    sig = dlg.TrackSign();
    style = dlg.TrackStyle();
    mode = dlg.RequestSensors() ? 1 : 0;
    tMode = dlg.RequestBySysTime() ? 1 : 0;
    markParking = !dlg.DoNotMarkup();
    Log("%s - %s / %d", {dt2s(d1), dt2s(d2), style});
  }
  // The object may be replaced by a refresh while the window waits for the reply.
  const int uid = oi->uid;
  const TTrackRequestParams params{oi->id, oi->name + "-" + sig, style, markParking, fClient.DisplayZone()};
  TFetched got = FetchTrack(uid, d1, d2, mode, tMode, params, true);
  const int n = got.count;
  Log("\r  -> %d ", {n});
  if (got.cancelled) {
    Log("cancelled");
    return false;
  }
  if (!got.track) {
    SayNoTrack(n);
    return false;
  }
  auto track = std::move(got.track);
  Log(RequestedTrackLog(*track));
  TGeoTrack *t = AddTrack(std::move(track));
  ArrangeTrack(t);
  fMap.Invalidate();
  return true;
}

bool TTracksPanel::RequestTrack(int objUid, const std::string &sig, TDateTime d1, TDateTime d2,
                                int mode) {
  return RequestTrack(fClient.FindObject(objUid), sig, d1, d2, mode);
}

void TTracksPanel::AppendTrack(TGeoTrack *track) {
  fModel->Append(track);
  fList->setCurrentIndex(fModel->index(fModel->RowOf(track), 0));
  fList->setFocus();
}

void TTracksPanel::ArrangeTrack(TGeoTrack *track) {
  if (!track) return;
  const TGeoTrackInfo &i = track->Info();
  auto whole = [](double v) { return std::isfinite(v) ? static_cast<int>(v) : 0; };
  Log("\rArrange track: width:%d, heigh:%d", {whole(i.Width), whole(i.Height)});
  if (!i.HasGeoRect()) return;
  fMap.ZoomToArea(i.GeoRect);
  fMap.SetCenter(fMap.Zoom(), i.CenterPoint.Lat, i.CenterPoint.Long);
}

void TTracksPanel::Checking(TGeoTrack *track, bool on) {
  track->SetVisible(on);
  if (on) ArrangeTrack(track);
  fMap.Invalidate();
}

void TTracksPanel::DeleteTrack() {
  const int row = fList->currentIndex().row();
  TGeoTrack *t = fModel->At(row);
  if (!t) return;
  const int next = RowAfterDelete(row, fModel->rowCount());
  CloseWindowsOf(t);
  fModel->RemoveRow(row);
  auto &tracks = fMap.GeoTracks();
  tracks.erase(
      std::remove_if(tracks.begin(), tracks.end(), [t](const auto &p) { return p.get() == t; }),
      tracks.end());
  if (next >= 0)
    fList->setCurrentIndex(fModel->index(next, 0));
  else
    fList->setCurrentIndex({});
  fMap.Invalidate();
}

void TTracksPanel::ImportTrack() {
  const QString fn = Prompt::OpenFileName(window(), FormString(window(), "import_track"),
                                          QString::fromStdString(HomeDir), "CSV (*.csv);;ALL (*)");
  if (fn.isEmpty()) return;
  TTrackParser dlg(window());
  if (dlg.ParseModal(fn) != QDialog::Accepted) return;
  if (AddTrack(dlg.GetTrack())) fMap.Invalidate();
}

void TTracksPanel::FilterTrack() {
  TGeoTrack *src = TrackOrSay();
  if (!src) return;
  Log("\rFilter track: %s", {src->Sign()});
  try {
    TFilterForm dlg(window());
    if (Prompt::Exec(&dlg) != QDialog::Accepted) {
      Log("\r  -> cancel");
      return;
    }
    std::unique_ptr<TLocationFilter> filter = dlg.CreateFilter();
    const int style = dlg.GetTrackStyle();
    if (!filter) {
      Log("\r  -> null filter");
      Msg("filter_not_assigned", 3);
      return;
    }
    // The dialog returned to the event loop: the source is used only if it is still one of the
    // list's tracks (no track can be added while the dialog is up, so it is the same one).
    if (fModel->RowOf(src) < 0) {
      Log("\r  x: the track was deleted meanwhile");
      return;
    }
    Log("\r  -> " + filter->Sign());
    // On a worker under the busy window: the window paints the source meanwhile, which only
    // writes the points' map places, never what the filter reads. Input waits and no timer
    // deletes a track, so the source stays until the worker has ended.
    std::unique_ptr<TGeoTrack> t;
    std::atomic<bool> cancelled{false};
    const std::string stages[] = {FormString(window(), "filtering").toStdString(),
                                  StageText(TTrackStage::Parking),
                                  StageText(TTrackStage::Statistics)};
    RunBusy(
        [&] {
          t = kelvra::FilterTrack(*src, *filter, style,
                                  [&](TFilterStage stage, size_t done, size_t total) {
                                    ReportBusyProgress(stages[static_cast<int>(stage)], done, total);
                                    return !cancelled;
                                  });
        },
        [&cancelled] { cancelled = true; }, window());
    if (cancelled) t.reset();
    if (!t) {
      Log("\r  -> cancel");
      return;
    }
    Log("\r  -> %d", {static_cast<int>(std::as_const(*t).Points().size())});
    AddTrack(std::move(t));
    fMap.Invalidate();
  } catch (const std::exception &e) {
    Log("\r  X: %s", {std::string(e.what())});
  }
}

std::function<std::string(const std::string &)>
TTracksPanel::SensorNames(const TGeoTrack &track) const {
  int uid = 0;
  for (const auto &oi : fClient.ObjList())
    if (oi && !track.ObjId().empty() && oi->id == track.ObjId()) uid = oi->uid;
  if (uid == 0) return {};
  const TKelvraClient *client = &fClient;
  return [client, uid](const std::string &sign) -> std::string {
    const TObjectInfo *oi = client->FindObject(uid);
    if (!oi) return {};
    for (const auto &s : oi->sensors)
      if (s && s->sign == sign) return s->name;
    return {};
  };
}

void TTracksPanel::Watch(QWidget *window, const TGeoTrack *track) {
  std::erase_if(fWindows, [](const auto &w) { return !w.first; });
  fWindows.emplace_back(window, track);
}

void TTracksPanel::CloseWindowsOf(const TGeoTrack *track) {
  for (auto &[w, t] : fWindows)
    if (w && (!track || t == track)) delete w.data();
  std::erase_if(fWindows, [](const auto &w) { return !w.first; });
}

void TTracksPanel::DumpTrack() {
  TGeoTrack *t = TrackOrSay();
  if (!t) return;
  auto *f = new TTrackDumpForm(window());
  f->SetTrack(t, false, SensorNames(*t));
  Watch(f, t);
  f->show();
}

void TTracksPanel::ShowTrackInfo() {
  TGeoTrack *t = TrackOrSay();
  if (!t) return;
  auto *f = new TTrackInfoForm(window());
  Watch(f, t);
  f->ShowTrackInfo(t, QCursor::pos());
}

void TTracksPanel::ExplainTrack() {
  TGeoTrack *t = TrackOrSay();
  if (!t) return;
  TTrackPathForm dlg(window());
  dlg.SetTrack(t);
  dlg.move(QCursor::pos());
  Prompt::Exec(&dlg);
}

void TTracksPanel::ExportTrack() {
  TGeoTrack *t = TrackOrSay();
  if (!t) return;
  Log("\rExport track: %s", {t->Sign()});
  // The same save dialog and writers as the dump window (CSV, GPX, KML); a failure is shown
  // by the dialog's own message box.
  const QString fn = SaveTrackAs(window(), *t, FormString(window(), "export_track"));
  if (!fn.isEmpty()) Log("\r  -> %s", {fn.toStdString()});
}

void TTracksPanel::RequestEventTrack(const TEventInfo *ei) {
  if (!ei) return;
  // The event may go with a refresh of the lists while the track is requested.
  const int uid = ei->uid, objId = ei->obj_id;
  const std::string sig = ei->Sign();
  const TPeriod p = EventTrackPeriod(*ei);
  Log("\rRequest track for event: uid=%d, obj_id=%d", {uid, objId});
  if (!fClient.FindObject(objId)) {
    Log("\r  -> no object info");
    return;
  }
  if (p.Dt1 == 0) {
    Log("\r  -> no start DT");
    return;
  }
  RequestTrack(objId, sig, p.Dt1, p.Dt2, 0);
}

void TTracksPanel::OnClickTrackPoint(TTrackPointInfo &point) {
  auto copy = std::make_shared<TTrackPointInfo>(point);
  if (!fHost.AddTask) return;
  fHost.AddTask([this, copy] {
    auto *f = new TTrackPointInfoForm(window());
    f->ShowTrackPoint(copy.get(), QCursor::pos());
  });
}

void TTracksPanel::DumpLastMessages() {
  Log("\rRequest messages: ");
  TObjectInfo *oi = fHost.SelectedObject ? fHost.SelectedObject() : nullptr;
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  int hours = Config ? static_cast<int>(Config->AsInteger("quick_dump_hours")) : 0;
  if (hours <= 0) hours = 1;
  const TPeriod p = LastHours(fClient.DisplayNow(), hours);
  const int uid = oi->uid;
  const TTrackRequestParams params{oi->id, Format("%s %d hour", {oi->name, hours}), 0, true,
                                   fClient.DisplayZone()};
  Log("id=%d for %d hour(s) [%s .. %s]", {uid, hours, dt2s(p.Dt1, "hh:nn"), dt2s(p.Dt2, "hh:nn")});
  TFetched got = FetchTrack(uid, p.Dt1, p.Dt2, 1, 1, params, false);
  Log("\r  -> %d ", {got.count});
  if (got.cancelled) {
    Log("cancelled");
    return;
  }
  if (!got.track) {
    SayNoTrack(got.count);
    return;
  }
  std::unique_ptr<TGeoTrack> track = std::move(got.track);
  const TGeoTrackInfo &i = track->Info();
  Log(" points: %d / %d / %d", {i.PointsCount, i.GoodPointsCount, i.ParkPointsCount});
  auto names = SensorNames(*track);
  auto *f = new TTrackDumpForm(window());
  f->SetTrack(track.release(), true, std::move(names)); // the window owns it from here
  f->show();
}

bool TTracksPanel::ShowTrackCommand(QWidget *sender, const std::vector<std::string> &args) {
  const TShowTrackArgs a = ParseShowTrackArgs(args);
  if (!a.Requestable()) {
    Log("\r  x: no object or period");
    return false;
  }
  if (!RequestTrack(a.obj_id, a.name, a.dt1, a.dt2, a.mode)) return false;
  QWidget *w = sender ? sender->window() : nullptr;
  if (!w || !w->isVisible()) return true;
  const QRect mapRect(fMap.mapToGlobal(QPoint(0, 0)), fMap.size());
  const QPoint corner = w->frameGeometry().topLeft();
  // Strictly inside: the corner is not on the map's edge.
  if (corner.x() > mapRect.left() && corner.x() < mapRect.right() && corner.y() > mapRect.top() &&
      corner.y() < mapRect.bottom()) {
    int left = mapRect.right() + 1;
    if (const QScreen *screen = w->screen();
        screen && left + w->frameGeometry().width() > screen->geometry().right() + 1)
      left = screen->geometry().right() + 1 - w->frameGeometry().width();
    w->move(left, corner.y());
  }
  return true;
}

void TTracksPanel::Clear() {
  CloseWindowsOf(nullptr);
  fModel->Clear();
  fMap.GeoTracks().clear();
  fMap.Invalidate();
}

} // namespace kelvra
