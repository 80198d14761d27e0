// The main window's objects on the map: the marks of the ticked rows, the ticks kept across runs,
// the marks following a refresh, and the rows of objects a refresh brought.

#include <QStandardItemModel>
#include <QTreeView>
#include <set>
#include <unordered_set>
#include <sstream>

#include "core/app/Common.h"
#include "ui/map/LumMapControl.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/objects/PhotoFetcher.h"
#include "ui/tracks/TracksPanel.h"

namespace kelvra {

TMapMark *TMonitorMainWin::MarkOf(const TObjectInfo *oi) const {
  if (!MapCtrl || !oi) return nullptr;
  return MapCtrl->MapMarks().FindByData(oi);
}

void TMonitorMainWin::ObjListChecking(TObjectInfo *oi, bool on) {
  if (!MapCtrl || !oi || !oi->HasLatLon()) return;
  oi->tail.clear(); // the trail starts with the tick and grows with every refresh
  TMapMark *mark = MarkOf(oi);
  if (on && !mark) {
    fPhotos->Want(*oi); // fetched in the background, drawn when it comes
    auto m = MapCtrl->MapMarks().NewItem();
    m->Coord = TGeoPoint{oi->last_point->lon, oi->last_point->lat};
    m->Data = oi;
    if (fRestoringTicks) { // the ticks of a whole list go onto the map as one batch
      fPendingMarks.push_back(std::move(m));
      return;
    }
    MapCtrl->MapMarks().Add(std::move(m));
    fSearch->Select(oi);
  } else if (!on && mark) {
    MapCtrl->MapMarks().Delete(mark);
  }
  MapCtrl->Invalidate();
  if (!fRestoringTicks) SaveCheckedUids();
}

void TMonitorMainWin::SaveCheckedUids() {
  if (!IniFile) return;
  std::string uids;
  for (const TObjectInfo *oi : fObjects->Objects())
    if (oi->uid > 0 && fObjects->IsChecked(oi)) uids += (uids.empty() ? "" : ",") + std::to_string(oi->uid);
  IniFile->WriteString("Main", "CheckedUids", uids);
}

void TMonitorMainWin::RestoreTicks() {
  const bool firstRun = !IniFile || !IniFile->ValueExists("Main", "CheckedUids");
  std::set<int> saved;
  if (!firstRun) {
    std::stringstream in(IniFile->ReadString("Main", "CheckedUids", ""));
    for (std::string uid; std::getline(in, uid, ',');)
      if (const int v = std::atoi(uid.c_str()); v > 0) saved.insert(v);
  }
  fRestoringTicks = true;
  fPendingMarks.clear();
  for (const TObjectInfo *oi : fObjects->Objects()) {
    if (oi->uid <= 0 || !oi->HasLatLon()) continue;
    if (firstRun ? !oi->is_deleted : saved.count(oi->uid) != 0) fObjects->SetChecked(oi, true);
  }
  if (MapCtrl) MapCtrl->MapMarks().AddMarks(std::move(fPendingMarks));
  fPendingMarks.clear();
  fRestoringTicks = false;
  if (firstRun) SaveCheckedUids();
}

void TMonitorMainWin::CentreOnSelected() {
  TObjectInfo *oi = SelectedObject();
  if (!MapCtrl || !oi || !fObjects->IsChecked(oi) || !oi->HasLatLon()) return;
  if (oi->last_point->lat == 0 && oi->last_point->lon == 0) return;
  MapCtrl->SetCenter(MapCtrl->Zoom(), oi->last_point->lat, oi->last_point->lon);
}

void TMonitorMainWin::FollowObjects() {
  if (!MapCtrl) return;
  TMapMarkList &marks = MapCtrl->MapMarks();
  bool moved = false;
  for (int i = 0; i < marks.Count(); ++i) {
    TMapMark *m = marks.Get(i);
    auto *oi = static_cast<TObjectInfo *>(m->Data);
    if (!oi || !fObjects->IndexOf(oi).isValid() || !oi->HasLatLon()) continue;
    // Any position that differs from the mark's is followed, whatever the device's clock says
    // (a device clock behind the service's would otherwise leave its mark behind).
    const TGeoPoint at{oi->last_point->lon, oi->last_point->lat};
    if (at.Long == m->Coord.Long && at.Lat == m->Coord.Lat) continue;
    m->Coord = at;
    moved = true;
  }
  if (moved) MapCtrl->Invalidate();
}

void TMonitorMainWin::RemoveObjectMarks() {
  if (!MapCtrl) return;
  // Only marks bound to the rows that are about to go: no mark outlives its record.
  std::unordered_set<const void *> rows;
  for (TObjectInfo *oi : fObjects->Objects())
    rows.insert(oi);
  MapCtrl->MapMarks().DeleteIf([&rows](const TMapMark &m) { return rows.count(m.Data) != 0; });
}

void TMonitorMainWin::ClearMapAndPanels() {
  if (MapCtrl) {
    MapCtrl->MapMarks().Clear();
    MapCtrl->Invalidate();
  }
  fTracks->Clear();
  for (QTreeView *v : {fZoneList, fTrapList})
    if (auto *m = qobject_cast<QStandardItemModel *>(v->model())) m->removeRows(0, m->rowCount());
}

void TMonitorMainWin::AddNewObjectRows() {
  std::vector<const TObjectInfo *> all, added;
  for (const auto &oi : fClient->ObjList()) {
    all.push_back(oi.get());
    if (!fObjects->IndexOf(oi.get()).isValid()) added.push_back(oi.get());
  }
  if (added.empty()) return;
  const TObjectInfo *sel = SelectedObject();
  fObjects->AddObjects(all);
  // A new object is ticked as on a first run: the fleet's newcomers show up on the map at once.
  fRestoringTicks = true;
  fPendingMarks.clear();
  for (const TObjectInfo *oi : added) {
    Log("\rNew object: %d %s", {oi->uid, oi->name});
    if (oi->uid > 0 && !oi->is_deleted && oi->HasLatLon()) fObjects->SetChecked(oi, true);
  }
  if (MapCtrl) MapCtrl->MapMarks().AddMarks(std::move(fPendingMarks));
  fPendingMarks.clear();
  fRestoringTicks = false;
  SaveCheckedUids();
  if (sel) fSearch->Select(sel, false);
}

} // namespace kelvra
