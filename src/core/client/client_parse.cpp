// Records from the service's JSON: track points, events, objects. Pure functions of the JSON
// and the client's time offset.
#include "core/client/client.h"

#include "core/util/LumSmallUtils.h"


namespace kelvra {

namespace {

// The element of an owned list whose uid matches, added at the end when there is none.
template <class T> T &FindOrAddByUid(std::vector<std::unique_ptr<T>> &aList, int aUid) {
  for (auto &item : aList)
    if (item->uid == aUid) return *item;
  aList.push_back(std::make_unique<T>());
  aList.back()->uid = aUid;
  return *aList.back();
}

} // namespace

std::unique_ptr<TTrackPointInfo> TKelvraClient::ParseTrackPoint(const TJson *aObj) const {
  auto point = std::make_unique<TTrackPointInfo>(GetJvInt32(aObj, "uid", 0), 0);
  ParseTrackPoint(aObj, *point);
  return point;
}

void TKelvraClient::ParseTrackPoint(const TJson *aObj, TTrackPointInfo &aPoint) const {
  aPoint.obj_id = GetJvInt32(aObj, "obj_id", 0);
  aPoint.osm_id = GetJvStr(aObj, "osm_id");
  aPoint.sys_dt = GetJvDt(aObj, "sys_dt");
  aPoint.obj_dt = GetJvDt(aObj, "obj_dt");
  aPoint.gps_dt = GetJvDt(aObj, "gps_dt");
  aPoint.lat = GetJvDbl(aObj, "lat");
  aPoint.lon = GetJvDbl(aObj, "lon");
  aPoint.alt = GetJvDbl(aObj, "alt");
  aPoint.acc = GetJvDbl(aObj, "acc");
  aPoint.speed = GetJvDbl(aObj, "speed");
  aPoint.angle = GetJvDbl(aObj, "angle");
  aPoint.bat = GetJvInt32(aObj, "bat", 0);
  aPoint.src = GetJvInt32(aObj, "crd_src", -1);
  if (const TJson *sensors = GetJvArr(aObj, "sensors")) {
    for (const TJson &element : *sensors) {
      TTrackPointSensorInfo &sensor =
          FindOrAddByUid(aPoint.sensors, GetJvInt32(&element, "uid", 0));
      sensor.sign = GetJvStr(&element, "sign");
      sensor.val = GetJvStr(&element, "val");
      if (sensor.sign == "event") aPoint.HasEvent = true;
    }
  }
}

std::unique_ptr<TEventInfo> TKelvraClient::ParseEvent(const TJson *aObj) const {
  const int uid = GetJvInt32(aObj, "uid", 0);
  if (uid == 0) return nullptr;
  auto ev = std::make_unique<TEventInfo>(uid, GetJvInt32(aObj, "obj_id", 0));
  ev->trap_id = GetJvInt32(aObj, "trap_id", 0);
  ev->h_point_id = GetJvInt32(aObj, "h_point_id", 0);
  ev->h_sys_dt = GetJvDt(aObj, "h_sys_dt");
  ev->h_obj_dt = GetJvDt(aObj, "h_obj_dt");
  ev->h_gps_dt = GetJvDt(aObj, "h_gps_dt");
  ev->h_lat = GetJvDbl(aObj, "h_lat");
  ev->h_lon = GetJvDbl(aObj, "h_lon");
  ev->h_speed = GetJvDbl(aObj, "h_speed");
  ev->h_bat = GetJvInt32(aObj, "h_bat", 0);
  ev->h_sval = GetJvStr(aObj, "h_sval");
  ev->c_point_id = GetJvInt32(aObj, "c_point_id", 0);
  ev->c_sys_dt = GetJvDt(aObj, "c_sys_dt");
  ev->c_obj_dt = GetJvDt(aObj, "c_obj_dt");
  ev->c_gps_dt = GetJvDt(aObj, "c_gps_dt");
  ev->c_lat = GetJvDbl(aObj, "c_lat");
  ev->c_lon = GetJvDbl(aObj, "c_lon");
  ev->c_speed = GetJvDbl(aObj, "c_speed");
  ev->c_bat = GetJvInt32(aObj, "c_bat", 0);
  ev->c_sval = GetJvStr(aObj, "c_sval");
  ev->accept_dt = GetJvDt(aObj, "accept_dt");
  ev->accept_msg = GetJvStr(aObj, "accept_msg");
  return ev;
}

std::unique_ptr<TObjectInfo> TKelvraClient::ParseObject(const TJson *aObj) const {
  auto oi = std::make_unique<TObjectInfo>();
  ParseObject(aObj, *oi);
  return oi;
}

void TKelvraClient::ParseObject(const TJson *aObj, TObjectInfo &aObject) const {
  aObject.uid = GetJvInt32(aObj, "uid", 0);
  aObject.id = GetJvStr(aObj, "id");
  aObject.parent_id = GetJvInt32(aObj, "parent_id", 0);
  aObject.type_id = GetJvInt32(aObj, "type_id", 0);
  aObject.user_id = GetJvInt32(aObj, "user_id", 0);
  aObject.name = GetJvStr(aObj, "name");
  aObject.is_deleted = GetJvBool(aObj, "is_deleted");
  aObject.del_dt = GetJvDt(aObj, "del_dt");
  // Missing, unreadable and black all give red, so that a track is never drawn invisible.
  aObject.track_color = web2color(GetJvStr(aObj, "track_color"), 255);
  aObject.has_image = GetJvBool(aObj, "has_image");
  aObject.image_dt = GetJvDt(aObj, "image_dt");
  aObject.is_alien = GetJvBool(aObj, "is_alien");
  aObject.users_list = GetJvStr(aObj, "users_list");
  aObject.model = GetJvStr(aObj, "model");
  aObject.hw_type = GetJvStr(aObj, "hw_type");
  aObject.hw_info = GetJvStr(aObj, "hw_info");
  aObject.sw_ver = GetJvStr(aObj, "sw_ver");
  aObject.phone = GetJvStr(aObj, "phone");
  aObject.imei = GetJvStr(aObj, "imei");
  aObject.address = GetJvStr(aObj, "address");
  aObject.trip_id = GetJvInt32(aObj, "trip_id", 0);
  aObject.trip_status = GetJvInt32(aObj, "trip_status", 0);
  // The latest message stands at the top level of the object.
  ParseTrackPoint(aObj, *aObject.last_point);
  if (const TJson *sensors = GetJvArr(aObj, "sensors")) {
    for (const TJson &element : *sensors) {
      TSensorInfo &sensor = FindOrAddByUid(aObject.sensors, GetJvInt32(&element, "uid", 0));
      sensor.name = GetJvStr(&element, "name");
      sensor.sign = GetJvStr(&element, "sign");
      sensor.unitv = GetJvStr(&element, "unit");
      sensor.obj_dt = GetJvDt(&element, "obj_dt");
      sensor.sys_dt = GetJvDt(&element, "sys_dt");
      sensor.val = GetJvStr(&element, "val");
    }
  }
  aObject.alarms.clear();
  if (const TJson *alarms = GetJvArr(aObj, "alarms")) {
    for (const TJson &element : *alarms) {
      if (auto ev = ParseEvent(&element)) {
        ev->obj_id = aObject.uid;
        aObject.alarms.push_back(std::move(ev));
      }
    }
  }
}

} // namespace kelvra
