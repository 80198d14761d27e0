#include "core/model/ObjectRows.h"
#include "core/util/LumDates.h"
#include "core/util/DisplayUnits.h"

#include <cmath>

#include "core/map/geo_utils.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TripInfo.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {


void MarkMultiLine(std::vector<TInfoRow> &rows) {
  for (TInfoRow &r : rows)
    if (Utf8Length(r.Value) > 20) r.Flags |= irMultiLine;
}

// The device rows shared by the information window and the trip window.
void DeviceRows(const TObjectInfo &oi, int userLevel, std::vector<TInfoRow> &rows) {
  if (userLevel > 8) rows.push_back({"uid", std::to_string(oi.uid)});
  rows.push_back({"id", oi.id});
  rows.push_back({"name", oi.name});
  if (oi.is_deleted) rows.push_back({"deleted", DateCell(oi.del_dt)});
  rows.push_back({"type", oi.hw_type});
  rows.push_back({"model", oi.model});
  if (userLevel > 8) rows.push_back({"hw_info", oi.hw_info});
  rows.push_back({"version", oi.sw_ver});
  rows.push_back({"battery", std::to_string(oi.last_point->bat)});
  rows.push_back({"sys_time", DateCell(oi.last_point->sys_dt)});
  rows.push_back({"obj_time", DateCell(oi.last_point->obj_dt)});
}

std::string LatLon(const TTrackPointInfo &tp) { return DisplayUnits().LatLon(tp.lat, tp.lon, 6); }

} // namespace

std::string DateCell(TDateTime dt, const std::string &pattern) {
  return DtDefined(dt) ? dt2s(dt, pattern) : std::string();
}

std::vector<TObjectInfoRow> ObjectInfoRows(const TObjectInfo &oi, int userLevel, TDateTime now) {
  std::vector<TInfoRow> rows;
  DeviceRows(oi, userLevel, rows);
  const TTrackPointInfo &lp = *oi.last_point;
  if (oi.HasLatLon()) {
    if (!std::isnan(lp.gps_dt)) rows.push_back({"gps_time", DateCell(lp.gps_dt)});
    if (lp.HasSource()) rows.push_back({"crd_src", lp.SrcName()});
    rows.push_back({"lat_lon", LatLon(lp)});
  }
  if (!oi.address.empty()) rows.push_back({"address", oi.address, irMultiLine});
  const size_t plain = rows.size();
  std::vector<const TSensorInfo *> sensors;
  for (const auto &s : oi.sensors) {
    if (s->sign == "vector") continue;
    // A value whose age cannot be told is shown; one older than a day is not.
    const double age = now - s->sys_dt;
    if (!std::isnan(age) && DtDefined(s->sys_dt) && age >= 1) continue;
    std::string label = s->name.empty() ? s->sign : s->name;
    if (!s->unitv.empty()) label += ", " + s->unitv;
    rows.push_back({label, s->val, 0, true});
    sensors.push_back(s.get());
  }
  MarkMultiLine(rows);
  std::vector<TObjectInfoRow> out;
  for (size_t i = 0; i < rows.size(); ++i)
    out.push_back({rows[i], i < plain ? nullptr : sensors[i - plain]});
  return out;
}

std::vector<TInfoRow> TripObjectRows(const TObjectInfo &oi, int userLevel) {
  std::vector<TInfoRow> rows;
  DeviceRows(oi, userLevel, rows);
  const TTrackPointInfo &lp = *oi.last_point;
  if (!std::isnan(lp.gps_dt)) rows.push_back({"gps_time", DateCell(lp.gps_dt)});
  if (oi.HasLatLon()) rows.push_back({"lat_lon", LatLon(lp)});
  if (!oi.address.empty()) rows.push_back({"address", oi.address, irMultiLine});
  MarkMultiLine(rows);
  return rows;
}

std::vector<TInfoRow> TripInfoRows(const TTripInfo &ti, int userLevel) {
  std::vector<TInfoRow> rows;
  if (userLevel > 8) rows.push_back({"uid", std::to_string(ti.uid)});
  rows.push_back({"name", ti.name});
  rows.push_back({"status", ti.StatusText()});
  rows.push_back({"start_time", DateCell(ti.start_dt)});
  rows.push_back({"stop_time", DateCell(ti.stop_dt)});
  rows.push_back({"points_count", std::to_string(ti.points_count)});
  if (ti.HasDistance()) rows.push_back({"distance", FormatDistance(ti.distance), irButton});
  if (!std::isnan(ti.max_speed)) rows.push_back({"max_speed", DisplayUnits().SpeedText(ti.max_speed, 2)});
  if (ti.is_public) rows.push_back({"token", ti.token});
  MarkMultiLine(rows);
  return rows;
}

std::vector<std::string> TripTreeCells(const TTripInfo &ti, const TDisplayZone &clock) {
  std::string length;
  if (ti.HasPeriod()) // the real time between start and stop, on the clock of both
    length = dur2s(static_cast<int32_t>(std::floor(clock.SecondsBetween(ti.start_dt, ti.stop_dt) + 1e-3)), 1);
  return {ti.name, ti.StatusText(), DateCell(ti.start_dt, "dd.mm.yyyy hh:nn"), length};
}

std::string SuggestedTripName(TDateTime now) {
  return "trip_" + FormatDateTime("yyyy_mm_dd_hh:nn", now) + "_";
}

bool HasActiveTrip(const TObjectInfo &oi) {
  return oi.trip_id > 0 && (oi.trip_status == 0 || oi.trip_status == 1);
}

std::vector<std::string> ShowTrackArgs(const TTripInfo &ti) {
  if (!ti.HasPeriod() || !ti.HasDistance()) return {};
  return {"name", ti.name, "obj_id", std::to_string(ti.obj_id), "dt1", dt2webutc(ti.start_dt, 0),
          "dt2", dt2webutc(ti.stop_dt, 0), "mode", "1"};
}

TLumHash ObjectChangeTable(const TObjectEdits &e) {
  TLumHash t;
  if (e.id) t.SetVal("id", Trim(e.idText));
  if (e.name) t.SetVal("name", Trim(e.nameText));
  if (e.color) t.SetVal("track_color", color2web(e.trackColor));
  if (e.users) t.SetVal("users_list", Trim(e.usersText));
  return t;
}

void ApplyObjectEdits(const TObjectEdits &e, TObjectInfo &oi) {
  if (e.id) oi.id = Trim(e.idText);
  if (e.name) oi.name = Trim(e.nameText);
  if (e.color) oi.track_color = e.trackColor;
  if (e.users) oi.users_list = Trim(e.usersText);
}

} // namespace kelvra
