#include "core/model/TrackPointInfo.h"

#include "core/map/geo_utils.h"
#include "core/util/LumSmallUtils.h"

#include <cmath>

namespace kelvra {

void TTrackPointInfo::Assign(const TTrackPointInfo &aSrc) {
  if (this == &aSrc) return;
  uid = aSrc.uid;
  obj_id = aSrc.obj_id;
  osm_id = aSrc.osm_id;
  sys_dt = aSrc.sys_dt;
  obj_dt = aSrc.obj_dt;
  gps_dt = aSrc.gps_dt;
  lat = aSrc.lat;
  lon = aSrc.lon;
  speed = aSrc.speed;
  angle = aSrc.angle;
  alt = aSrc.alt;
  acc = aSrc.acc;
  bat = aSrc.bat;
  src = aSrc.src;
  IsParking = aSrc.IsParking;
  ParkingDuration = aSrc.ParkingDuration;
  HasEvent = aSrc.HasEvent;
  sensors = aSrc.sensors;
  for (const auto &s : sensors)
    if (s.sign == "event") HasEvent = true;
}

bool TTrackPointInfo::HasLatLon() const {
  return !std::isnan(lat) && !std::isnan(lon) && lat != 0 && lon != 0;
}

std::string TTrackPointInfo::SrcName() const {
  static const char *const names[] = {"GNSS", "Cell", "WiFi", "Place"};
  if (src < 0) return std::string();
  if (src < 4) return names[src];
  return "Unknown[" + std::to_string(src) + "]";
}

double TTrackPointInfo::DistanceTo(const TTrackPointInfo &aOther) const {
  if (!HasLatLon() || !aOther.HasLatLon()) return NaN;
  return DistanceBetween(lat, lon, aOther.lat, aOther.lon);
}

double TTrackPointInfo::DistanceTo(double aLat, double aLon) const {
  if (!HasLatLon() || std::isnan(aLat) || std::isnan(aLon)) return NaN;
  return DistanceBetween(lat, lon, aLat, aLon);
}

int TTrackPointInfo::Compare(const TTrackPointInfo &aOther) const {
  if (obj_id != aOther.obj_id) return obj_id < aOther.obj_id ? -1 : 1;
  if (int c = cmp(obj_dt, aOther.obj_dt)) return c;
  if (int c = cmp(gps_dt, aOther.gps_dt)) return c;
  return cmp(sys_dt, aOther.sys_dt);
}

const TTrackPointSensorInfo *TTrackPointInfo::FindSensor(std::string_view aSign) const {
  for (const auto &s : sensors)
    if (s.sign == aSign) return &s;
  return nullptr;
}

} // namespace kelvra
