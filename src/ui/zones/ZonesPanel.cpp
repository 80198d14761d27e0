#include "ui/zones/ZonesPanel.h"

#include <QCursor>
#include <QHeaderView>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <atomic>
#include <unordered_map>
#include <utility>

#include "core/client/CancellableWork.h"
#include "core/client/client.h"
#include "core/model/ZoneEdit.h"
#include "core/model/ZoneHistory.h"
#include "ui/zones/ZoneEditForm.h"
#include "ui/zones/ZoneHistoryForm.h"
#include "ui/map/LumMapControl.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Desk.h"
#include "ui/widgets/PanelParts.h"
#include "ui/widgets/PeriodRequestForm.h"
#include "ui/widgets/LumVUtils.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

// --- panel --------------------------------------------------------------------------------------

TZonesPanel::TZonesPanel(TDesk &desk) : QObject(desk.DeskWidget()), fWin(desk) {
  fModel = new TZonesModel(
      "Geozone",
      {[](const TZoneInfo &z) { return QString::fromStdString(z.name); },
       [](const TZoneInfo &z) { return z.visible; }, [](TZoneInfo &z, bool on) { z.visible = on; }},
      this);
  fList = new QTreeView;
  fList->setObjectName("ZoneList");
  fList->setModel(fModel);
  fList->setRootIsDecorated(false);
  fList->setSelectionMode(QAbstractItemView::SingleSelection);
  fList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fModel->onChecking = [this](TZoneInfo *zi, bool on) { OnTick(zi, on); };
  connect(fList, &QTreeView::doubleClicked, this, [this] { ShowZoneOnMap(SelectedZone()); });
  fButtons = {PanelButton(desk.DeskWidget(), "SbZoneInfo", QStyle::SP_MessageBoxInformation, [this] { ShowZoneInfo(false); }),
              PanelButton(desk.DeskWidget(), "SbEditZone", QStyle::SP_FileDialogContentsView, [this] { EditZone(); }),
              PanelButton(desk.DeskWidget(), "SbAppendZone", QStyle::SP_FileDialogNewFolder, [this] { AppendZone(); }),
              PanelButton(desk.DeskWidget(), "SbDeleteZone", QStyle::SP_TrashIcon, [this] { DeleteZone(); }),
              PanelButton(desk.DeskWidget(), "SbZoneHistory", QStyle::SP_FileDialogDetailedView,
                     [this] { ShowZoneHistory(); })};
  fHistoryButton = fButtons.back();
}

TZonesPanel::~TZonesPanel() {
  if (fEditor) {
    fEditor->DropZone();
    delete fEditor;
  }
}

bool TZonesPanel::Clear() {
  const bool editorOpen = fEditor;
  if (fEditor) {
    fEditor->DropZone();
    delete fEditor;
  }
  fModel->Clear();
  return editorOpen;
}

TZoneInfo *TZonesPanel::SelectedZone() const { return fModel->At(fList->currentIndex()); }

void TZonesPanel::LoadZones() {
  fList->setUpdatesEnabled(false);
  if (Clear()) fWin.Msg("zone_reloaded", 5); // the zones go with their editor
  try {
    fWin.Log("\rLoad zones: ");
    const int n = fWin.Client().GetZones();
    fWin.Log("\r  -> " + std::to_string(n));
    if (TLumMapControl *map = fWin.Map()) map->SetGeoZones(&fWin.Client().ZoneList());
    std::vector<TZoneInfo *> zones;
    for (const auto &z : fWin.Client().ZoneList())
      zones.push_back(z.get());
    fModel->Load(zones);
    if (fModel->rowCount() > 0) {
      fList->setCurrentIndex(fModel->index(0, 0));
      fList->setFocus();
    }
  } catch (const std::exception &e) {
    fWin.Log("\rX: " + std::string(e.what()));
  }
  fList->setUpdatesEnabled(true);
}

void TZonesPanel::OnTick(TZoneInfo *zi, bool) {
  fList->setCurrentIndex(fModel->IndexOf(zi));
  ShowAllZonesOnMap();
}

void TZonesPanel::ShowZoneOnMap(TZoneInfo *zi) {
  TLumMapControl *map = fWin.Map();
  if (!map) return;
  if (zi && zi->visible && zi->HasRect()) {
    map->ZoomToArea(zi->rect);
    map->SetCenterPoint(zi->geom.center);
  }
  map->Invalidate();
}

void TZonesPanel::ShowAllZonesOnMap() {
  TLumMapControl *map = fWin.Map();
  if (!map) return;
  TGeoRect r;
  if (VisibleZonesRect(fWin.Client().ZoneList(), r)) {
    map->ZoomToArea(r);
    map->SetCenterPoint(TGeoPoint{r.TopLeft.Long + (r.BottomRight.Long - r.TopLeft.Long) / 2,
                                  r.BottomRight.Lat + (r.TopLeft.Lat - r.BottomRight.Lat) / 2});
  }
  map->Invalidate();
}

void TZonesPanel::ShowZoneInfo(bool editMode) {
  if (!fWin.IsLoggedIn()) {
    fWin.Msg("not_logged_in", 3);
    return;
  }
  if (fModel->rowCount() == 0) LoadZones();
  if (fModel->rowCount() == 0) return;
  TZoneInfo *zi = SelectedZone();
  if (!zi || fEditor) {
    fWin.Msg(zi ? "zone_editor_active" : "zone_not_selected", 3);
    return;
  }
  zi->visible = true;
  zi->edited = editMode;
  fModel->Refresh(zi);
  TLumMapControl *map = fWin.Map();
  if (editMode) {
    // A zone that lacks its shape gets one first, so that the map can show it.
    PrepareZoneForEdit(*zi, map ? map->CenterPoint() : zi->geom.center);
    ShowZoneOnMap(zi);
  }
  auto *ed = new TZoneEditForm(fWin.DeskWidget());
  fEditor = ed;
  QPoint at;
  if (editMode) {
    const QRect g = fWin.DeskWidget()->frameGeometry();
    at = QPoint(g.right() - 48, g.top() + g.height() / 3);
  } else if (zi->geom.HasCenter() && map) {
    at = map->mapToGlobal(map->MapToView(map->GeoCoordsToMap(zi->geom.center)));
  } else {
    at = QCursor::pos();
  }
  MoveInsideScreen(ed, at);
  ed->CmdCallback = [this](QObject *Sender, const std::string &Action, const std::string &Subj,
                           const std::vector<std::string> &Args) {
    return fWin.Command(Sender, Action, Subj, Args);
  };
  ed->ShowZone(zi);
  if (map) map->Invalidate();
}

void TZonesPanel::EditZone() {
  if (fEditor) {
    fWin.Msg("zone_editor_active", 3);
    return;
  }
  ShowZoneInfo(true);
}

void TZonesPanel::AppendZone() {
  if (fEditor) {
    fWin.Msg("zone_editor_active", 3);
    return;
  }
  if (!fWin.IsLoggedIn()) {
    fWin.Msg("not_logged_in", 3);
    return;
  }
  TLumMapControl *map = fWin.Map();
  const TGeoPoint c = map ? map->CenterPoint() : TGeoPoint{56.27574, 57.998649};
  auto &zones = fWin.Client().ZoneList();
  zones.push_back(NewZone(c));
  TZoneInfo *zi = zones.back().get();
  zi->visible = true;
  fModel->Append(zi);
  fList->setCurrentIndex(fModel->IndexOf(zi));
  EditZone();
}

void TZonesPanel::RemoveZone(TZoneInfo *zi) {
  fModel->Remove(zi);
  auto &zones = fWin.Client().ZoneList();
  std::erase_if(zones, [zi](const auto &z) { return z.get() == zi; });
  if (TLumMapControl *map = fWin.Map()) map->Invalidate();
}

void TZonesPanel::DeleteZone() {
  if (fEditor) {
    fWin.Msg("zone_editor_active", 3);
    return;
  }
  const TRecordRef<TZoneInfo> held(SelectedZone());
  if (!held.Alive()) return;
  const auto answer = Prompt::Message(fWin.DeskWidget(), QMessageBox::Question, FormString(fWin.DeskWidget(), "delete_zone"),
                                      FormString(fWin.DeskWidget(), "delete_zone_prompt", {held->name}),
                                      QMessageBox::Yes | QMessageBox::No);
  if (ZoneGone(held) || answer != QMessageBox::Yes) return;
  const int status = held.Uid() > 0 ? fWin.Client().DeleteZone(held.Uid()) : 204;
  if (status == 204) {
    if (TZoneInfo *zi = held.Get()) RemoveZone(zi); // a reload during the wait took it already
  } else
    fWin.Msg("error", {fWin.Client().GetErrorMessage()}, 5);
}

void TZonesPanel::OnClickZone(TZoneInfo &zi) {
  const int uid = zi.uid;
  for (int i = 0; i < fModel->rowCount(); ++i) {
    TZoneInfo *z = fModel->At(fModel->index(i, 0));
    if (!z || z->uid != uid) continue;
    fList->setCurrentIndex(fModel->index(i, 0));
    ShowZoneInfo(false);
  }
}

int TZonesPanel::SaveZone(TZoneInfo &zi) {
  TKelvraClient &c = fWin.Client();
  int r = -1;
  const bool create = zi.uid == 0;
  if (create)
    r = c.CreateZone(zi);
  else
    r = c.UpdateZone(zi) ? zi.uid : -1;
  if (r <= 0 && !c.GetErrorMessage().empty())
    Prompt::Message(fWin.DeskWidget(), QMessageBox::Warning,
                    FormString(fWin.DeskWidget(), create ? "create_zone_title" : "update_zone_title"),
                    QString::fromStdString(c.GetErrorMessage()));
  return r > 0 ? r : -1;
}

bool TZonesPanel::Command(QObject *Sender, const std::string &Action, const std::string &Subj,
                          const std::vector<std::string> &Args, int &Result) {
  (void)Args;
  if (Subj != "zone" || !fEditor) return false;
  if (Sender == fWin.Map()) {
    if (Action != "update") return false;
    fEditor->UpdateZone("");
    Result = -1;
    return true;
  }
  if (Sender != fEditor) return false;
  Result = -1;
  TZoneInfo *zi = fEditor->ZoneInfo();
  if (!zi) {
    fWin.Log("\r  x: no zone info");
    return true;
  }
  if (Action == "update") {
    fModel->Refresh(zi);
  } else if (Action == "save") {
    Result = SaveZone(*zi);
    fModel->Refresh(zi);
  } else if (Action == "cancel") {
    if (zi->uid == 0) RemoveZone(zi);
    else fModel->Refresh(zi);
  }
  if (TLumMapControl *map = fWin.Map()) map->Invalidate();
  return true;
}

void TZonesPanel::ShowZoneHistory() {
  if (!fWin.IsLoggedIn()) {
    fWin.Msg("not_logged_in", 3);
    return;
  }
  const TRecordRef<TZoneInfo> held(SelectedZone());
  if (!held.Alive()) {
    fWin.Msg("zone_not_selected", 3);
    return;
  }
  // The period: the same dialog as for the events, under the button.
  TPeriodRequestForm period(fWin.DeskWidget());
  period.Now = [this] { return fWin.Client().DisplayNow(); };
  period.adjustSize();
  MoveInsideScreen(&period, fHistoryButton->mapToGlobal(QPoint(0, fHistoryButton->height())));
  const bool asked = period.DoRequest(false);
  if (ZoneGone(held) || !asked) return;
  const TDateTime dt1 = period.Dt1(), dt2 = period.Dt2();
  fWin.Log("\rGet zone history (uid=%d, dt1=%s, dt2=%s) ...", {held.Uid(), dt2s(dt1), dt2s(dt2)});
  TKelvraClient &c = fWin.Client();
  // The transfer, the reading of a month of points and the grouping into visits run on a worker
  // under the busy window; "Cancel" ends them and shows nothing. The worker names the objects
  // from a copy of their names: a refresh may replace the records meanwhile.
  const int zoneUid = held.Uid();
  std::unordered_map<int, std::string> names;
  for (const auto &oi : c.ObjList())
    if (oi) names.emplace(oi->uid, oi->name);
  std::atomic<bool> cancelled{false};
  int n = -1;
  TZoneHistory history;
  const TCancellableWork work(c.ApiClient()); // a Cancel is never lost
  RunBusy(
      [&] {
        ReportBusyProgress(BusyStageText("stage_zone_history", "Receiving the zone history..."), 0, 0);
        if (cancelled) return;
        n = c.GetZoneHistory(zoneUid, dt1, dt2, 0, 0); // its own exchange runs in place
        if (n <= 0 || cancelled) return;
        ReportBusyProgress(BusyStageText("stage_visits", "Grouping the visits..."), 0, 0);
        history = MakeZoneHistory(std::exchange(c.TrackList(), {}), [&names](int uid) {
          const auto it = names.find(uid);
          return it == names.end() ? std::string() : it->second;
        }, c.DisplayZone());
      },
      [&] {
        cancelled = true;
        c.ApiClient().Abort();
      },
      fWin.DeskWidget());
  fWin.Log("\r  -> %d", {n});
  if (cancelled) {
    fWin.Log("\r  -> cancelled");
    return;
  }
  if (n < 0) {
    fWin.Msg("error", {c.GetErrorMessage()}, 5);
    return;
  }
  if (n == 0) {
    fWin.Msg("no_data", 3);
    return;
  }
  if (ZoneGone(held)) return;
  TZoneHistoryForm form(fWin.DeskWidget());
  form.SetHistory(held->name, dt1, dt2, std::move(history));
  Prompt::Exec(&form);
}

bool TZonesPanel::ZoneGone(const TRecordRef<TZoneInfo> &held) {
  if (!held.Gone()) return false;
  fWin.Log("\r  x: zone %d reloaded meanwhile", {held.Uid()});
  fWin.Msg("zone_reloaded", 5);
  return true;
}

} // namespace kelvra
