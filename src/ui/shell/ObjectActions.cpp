// The main window's actions on one object and its device: information, editing and creation,
// trips, places from a right click on the map, commands, configuration and places.

#include <QApplication>
#include <QTabWidget>
#include <QTreeView>
#include <QMessageBox>
#include <QScreen>
#include <cmath>

#include "core/app/Common.h"
#include "core/client/DeviceCommands.h"
#include "core/map/geo_utils.h"
#include "core/model/ObjectRows.h"
#include "ui/devices/DeviceForms.h"
#include "ui/objects/ObjectForms.h"
#include "ui/objects/TripForms.h"
#include "ui/reports/ReportsForm.h"
#include "ui/tracks/TracksPanel.h"
#include "core/tracks/AddressCache.h"
#include "ui/events/EventsPanel.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/widgets/PeriodRequestForm.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/map/LumMapControl.h"
#include "ui/widgets/LumVUtils.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

#include <QTreeView>

namespace kelvra {

// --- object windows -------------------------------------------------------------------------------

void TMonitorMainWin::ShowObjectInfo() {
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  ShowObjectInfo(oi);
}

void TMonitorMainWin::ShowObjectInfo(TObjectInfo *oi) {
  if (!oi) return;
  auto *info = new TObjInfoForm(this); // deletes itself when it closes
  info->ShowObjInfo(oi, fClient->DisplayNow());
}

void TMonitorMainWin::CreateObject() {
  if (!IsLoggedIn()) {
    Msg("not_logged_in", 3);
    return;
  }
  Log("\rCreate object ...");
  TObjectInfo oi;
  TObjEditForm dlg(this);
  SetWinPosToCursor(&dlg);
  if (dlg.EditObject(fClient.get(), &oi) != QDialog::Accepted) return;
  Log("\r  -> " + std::to_string(oi.uid));
  LoadObjects(oi.uid);
}

void TMonitorMainWin::EditObject() {
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  Log("\rEdit object " + std::to_string(oi->uid) + " ...");
  const TRecordRef<TObjectInfo> held(oi);
  TObjEditForm dlg(this);
  SetWinPosToCursor(&dlg);
  const int r = dlg.EditObject(fClient.get(), oi);
  if (ObjectGone(held) || r != QDialog::Accepted) return;
  fObjects->RefreshObject(held.Get()); // repainted, and searched and filtered with its new texts
  if (MapCtrl) MapCtrl->Invalidate();
}

// --- trips ----------------------------------------------------------------------------------------

void TMonitorMainWin::RereadObject(int uid) {
  if (!fClient->GetObject(uid)) return;
  // Looked up again: the record may have gone during the wait.
  if (TObjectInfo *oi = fClient->FindObject(uid)) fObjects->RefreshObject(oi);
}

bool TMonitorMainWin::ObjectGone(const TRecordRef<TObjectInfo> &held) {
  if (!held.Gone()) return false;
  Log("\r  x: object %d reloaded meanwhile", {held.Uid()});
  Msg("object_reloaded", 5);
  return true;
}

void TMonitorMainWin::StartTrip() {
  Log("\rStart trip ...");
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  if (oi->is_deleted) {
    Msg("object_deleted", 3);
    return;
  }
  const TRecordRef<TObjectInfo> held(oi);
  const std::string name = oi->name;
  auto offerStop = [this, &held, name] {
    const bool yes = Prompt::Message(this, QMessageBox::Warning, FormString(this, "trip"),
                                     FormString(this, "trip_already_started", {name}),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (!ObjectGone(held) && yes) StopTrip();
  };
  if (HasActiveTrip(*oi)) {
    offerStop();
    return;
  }
  TStartTripForm dlg(this);
  dlg.SetTripName(SuggestedTripName(fClient->DisplayNow()));
  const int r = Prompt::Exec(&dlg);
  if (ObjectGone(held) || r != QDialog::Accepted) return;
  if (fClient->StartTrip(held.Uid(), dlg.GetTripName())) {
    Msg("trip_started", 3);
    RereadObject(held.Uid());
  } else if (fClient->ResultCode() == 409) {
    offerStop();
  } else {
    Msg("error", {fClient->ErrorMessage()}, 5);
  }
}

void TMonitorMainWin::StopTrip() {
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  const int uid = oi->uid;
  if (fClient->StopTrip(uid)) {
    Msg("trip_stopped", 3);
    RereadObject(uid);
  } else if (fClient->ResultCode() == 409) {
    Msg("trip_not_found", 3);
  } else {
    Msg("error", {fClient->ErrorMessage()}, 5);
  }
}

void TMonitorMainWin::ShowTrips() {
  if (TTripInfoForm::Active()) {
    Msg("trip_info_active", 3);
    return;
  }
  TPeriodRequestForm period(this);
  PreparePeriodDialog(period, [this] { return fClient->DisplayNow(); });
  if (!period.DoRequest(false)) return;
  ShowTrips(period.Dt1(), period.Dt2());
}

void TMonitorMainWin::ShowTrips(TDateTime dt1, TDateTime dt2) {
  if (TTripInfoForm::Active()) {
    Msg("trip_info_active", 3);
    return;
  }
  Log("\rGet trips ...");
  const int n = fClient->GetTrips(dt1, dt2);
  Log("\r  -> %d", {n});
  if (n < 0) {
    Msg("error", {fClient->ErrorMessage()}, 5);
    return;
  }
  if (n == 0) {
    Msg("no_data", 3);
    return;
  }
  auto *trips = new TTripInfoForm(this); // deletes itself when it closes
  trips->ShowTrips(fClient.get(), [this](QObject *Sender, const std::string &Action,
                                         const std::string &Subj, const std::vector<std::string> &Args) {
    return Command(Sender, Action, Subj, Args);
  });
}

void TMonitorMainWin::ShowReports() {
  if (!IsLoggedIn()) {
    Msg("not_logged_in", 3);
    return;
  }
  if (!fReports) {
    TReportsHost host;
    host.Log = [this](const std::string &s) { Log(s); };
    host.ShowOnMap = [this](const TReportTarget &t, const std::string &sign) {
      fTracks->RequestTrack(t.obj_id, sign, t.dt1, t.dt2, 0);
    };
    host.Address = [](const std::string &osmId) {
      return AddressCache && !osmId.empty() ? AddressCache->GetAddress(osmId) : std::string();
    };
    host.Addresses = AddressCache.get();
    fReports = new TReportsForm(*fClient, std::move(host), this);
    fReports->setAttribute(Qt::WA_DeleteOnClose);
  } else {
    fReports->LoadObjects();
  }
  fReports->show();
  fReports->raise();
  fReports->activateWindow();
}

// --- places from the map ----------------------------------------------------------------------------

void TMonitorMainWin::CreatePlace() {
  if (!SelectedObject()) {
    Msg("object_not_selected", 3);
    return;
  }
  if (Prompt::Message(this, QMessageBox::Information, FormString(this, "create_place_title"),
                      FormString(this, "create_place_prompt"),
                      QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
    rClickAction = rcCreatePlace;
}

bool TMonitorMainWin::OnRClickMap(const TGeoPoint &P) {
  Log("\rOnRClickMap: %.4f,%.4f", {P.Lat, P.Long});
  bool result = false;
  if (rClickAction == rcCreatePlace) {
    const TWifiBox box = WifiSearchBox(P.Lat, P.Long);
    Log("\rDistance: %.4f,%.4f -> %.4f,%.4f = %f",
        {box.Lat1, box.Lon1, box.Lat2, box.Lon2,
         DistanceBetween(box.Lat1, box.Lon1, box.Lat2, box.Lon2)});
    TWifiList list;
    fClient->GetWifi(box.Lat1, box.Lon1, box.Lat2, box.Lon2, list);
    if (fClient->ResultCode() != 200 && fClient->ResultCode() != 204) {
      Msg("error", {fClient->ErrorMessage()}, 5); // the look-up failed: not "no access points"
    } else if (list.empty()) {
      Msg("wifi_not_found", 3);
    } else {
      TObjectInfo *oi = SelectedObject();
      if (!oi) {
        Msg("object_not_selected", 3);
        return false; // still armed: the next right click tries again
      }
      CreatePlaceOf(oi, list);
    }
    result = true;
  }
  rClickAction = rcNone;
  return result;
}

// --- device dialogs ---------------------------------------------------------------------------------

void TMonitorMainWin::ShowCommands() {
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  const TRecordRef<TObjectInfo> held(oi);
  TCommandsForm dlg(this);
  dlg.LogCallback = [this](const std::string &t) { Log(t); };
  dlg.ShowCommands(oi, fClient.get()); // sends from inside the window
  ObjectGone(held);
}

void TMonitorMainWin::ShowConfig() {
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  const TRecordRef<TObjectInfo> held(oi);
  TObjConfigForm dlg(this);
  dlg.LogCallback = [this](const std::string &t) { Log(t); };
  dlg.ShowConfig(oi, fClient.get());
  ObjectGone(held);
}

void TMonitorMainWin::ShowPlaces() {
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  const TRecordRef<TObjectInfo> held(oi);
  TObjPlacesForm dlg(this);
  dlg.LogCallback = [this](const std::string &t) { Log(t); };
  dlg.ShowPlaces(oi, fClient.get());
  ObjectGone(held);
}

void TMonitorMainWin::CreatePlaceOf(TObjectInfo *oi, const TWifiList &list) {
  const TRecordRef<TObjectInfo> held(oi);
  TObjPlacesForm dlg(this);
  dlg.LogCallback = [this](const std::string &t) { Log(t); };
  dlg.CreatePlace(oi, fClient.get(), list);
  ObjectGone(held);
}

void TMonitorMainWin::SelectAlarm(int eventUid, int objId) {
  const TObjectInfo *oi = Client().FindObject(objId);
  if (!oi) return;
  Search()->Select(oi);
  BuildAlarms(nullptr); // also when the object was selected already
  ObjList()->scrollTo(Search()->ViewIndex(oi));
  BottomPages()->setCurrentIndex(0);
  // The alarm's row in the alarm list, and the same event in the events list when its period
  // holds it (that page keeps its place, so a look there finds it selected).
  for (QTreeView *list : {AlarmList(), EventList()})
    if (EventsPanel()->Select(list, eventUid)) list->scrollTo(list->currentIndex());
}

} // namespace kelvra
