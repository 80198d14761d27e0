// Records from the service's JSON: track points, events, objects. Pure functions of the JSON
// and the client's time offset.
#include "core/client/client.h"

#include "core/util/LumSmallUtils.h"

#include <array>
#include <string_view>

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

// The same for a list that holds its elements in place.
template <class T> T &FindOrAddByUid(std::vector<T> &aList, int aUid) {
  for (auto &item : aList)
    if (item.uid == aUid) return item;
  aList.emplace_back().uid = aUid;
  return aList.back();
}

} // namespace

std::unique_ptr<TTrackPointInfo> TKelvraClient::ParseTrackPoint(TJsonVal aObj) const {
  auto point = std::make_unique<TTrackPointInfo>(0, 0);
  point->uid = ParseTrackPoint(aObj, *point);
  return point;
}

// Every record below is read in one pass over its object (JsonFields): a long track or a large
// fleet is read at the speed of the parser, not of a name lookup per field.

int TKelvraClient::ParseTrackPoint(TJsonVal aObj, TTrackPointInfo &aPoint) const {
  enum {
    Uid, ObjId, OsmId, SysDt, ObjDt, GpsDt, Lat, Lon, Alt, Acc, Speed, Angle, Bat, CrdSrc, Sensors
  };
  static constexpr TJsonNames<15> kNames({
      "uid", "obj_id", "osm_id", "sys_dt", "obj_dt", "gps_dt",  "lat",    "lon",
      "alt", "acc",    "speed",  "angle",  "bat",    "crd_src", "sensors"});
  const auto v = JsonFields(aObj, kNames);
  aPoint.obj_id = JvInt32(v[ObjId], 0);
  aPoint.osm_id = JvStr(v[OsmId]);
  aPoint.sys_dt = JvDt(v[SysDt]);
  aPoint.obj_dt = JvDt(v[ObjDt]);
  aPoint.gps_dt = JvDt(v[GpsDt]);
  aPoint.lat = JvDbl(v[Lat]);
  aPoint.lon = JvDbl(v[Lon]);
  aPoint.alt = JvDbl(v[Alt]);
  aPoint.acc = JvDbl(v[Acc]);
  aPoint.speed = JvDbl(v[Speed]);
  aPoint.angle = JvDbl(v[Angle]);
  aPoint.bat = JvInt32(v[Bat], 0);
  aPoint.src = JvInt32(v[CrdSrc], -1);
  static constexpr TJsonNames<3> kSensorNames({"uid", "sign", "val"});
  if (v[Sensors].IsArray())
    aPoint.sensors.reserve(aPoint.sensors.size() +
                           simdjson::dom::array(v[Sensors].Element()).size());
  for (const TJsonVal element : v[Sensors].Elements()) {
    const auto sv = JsonFields(element, kSensorNames);
    TTrackPointSensorInfo &sensor = FindOrAddByUid(aPoint.sensors, JvInt32(sv[0], 0));
    sensor.sign = JvStr(sv[1]);
    sensor.val = JvStr(sv[2]);
    if (sensor.sign == "event") aPoint.HasEvent = true;
  }
  return JvInt32(v[Uid], 0);
}

std::unique_ptr<TEventInfo> TKelvraClient::ParseEvent(TJsonVal aObj) const {
  enum {
    Uid, ObjId, TrapId, HPointId, HSysDt, HObjDt, HGpsDt, HLat, HLon, HSpeed, HBat, HSval,
    CPointId, CSysDt, CObjDt, CGpsDt, CLat, CLon, CSpeed, CBat, CSval, AcceptDt, AcceptMsg
  };
  static constexpr TJsonNames<23> kNames({
      "uid",        "obj_id",   "trap_id",  "h_point_id", "h_sys_dt",   "h_obj_dt",
      "h_gps_dt",   "h_lat",    "h_lon",    "h_speed",    "h_bat",      "h_sval",
      "c_point_id", "c_sys_dt", "c_obj_dt", "c_gps_dt",   "c_lat",      "c_lon",
      "c_speed",    "c_bat",    "c_sval",   "accept_dt",  "accept_msg"});
  const auto v = JsonFields(aObj, kNames);
  const int uid = JvInt32(v[Uid], 0);
  if (uid == 0) return nullptr;
  auto ev = std::make_unique<TEventInfo>(uid, JvInt32(v[ObjId], 0));
  ev->trap_id = JvInt32(v[TrapId], 0);
  ev->h_point_id = JvInt32(v[HPointId], 0);
  ev->h_sys_dt = JvDt(v[HSysDt]);
  ev->h_obj_dt = JvDt(v[HObjDt]);
  ev->h_gps_dt = JvDt(v[HGpsDt]);
  ev->h_lat = JvDbl(v[HLat]);
  ev->h_lon = JvDbl(v[HLon]);
  ev->h_speed = JvDbl(v[HSpeed]);
  ev->h_bat = JvInt32(v[HBat], 0);
  ev->h_sval = JvStr(v[HSval]);
  ev->c_point_id = JvInt32(v[CPointId], 0);
  ev->c_sys_dt = JvDt(v[CSysDt]);
  ev->c_obj_dt = JvDt(v[CObjDt]);
  ev->c_gps_dt = JvDt(v[CGpsDt]);
  ev->c_lat = JvDbl(v[CLat]);
  ev->c_lon = JvDbl(v[CLon]);
  ev->c_speed = JvDbl(v[CSpeed]);
  ev->c_bat = JvInt32(v[CBat], 0);
  ev->c_sval = JvStr(v[CSval]);
  ev->accept_dt = JvDt(v[AcceptDt]);
  ev->accept_msg = JvStr(v[AcceptMsg]);
  return ev;
}

std::unique_ptr<TObjectInfo> TKelvraClient::ParseObject(TJsonVal aObj) const {
  auto oi = std::make_unique<TObjectInfo>();
  ParseObject(aObj, *oi);
  return oi;
}

void TKelvraClient::ParseObject(TJsonVal aObj, TObjectInfo &aObject) const {
  enum {
    Uid, Id, ParentId, TypeId, UserId, Name, IsDeleted, DelDt, TrackColor, HasImage, ImageDt,
    IsAlien, UsersList, Model, HwType, HwInfo, SwVer, Phone, Imei, Address, TripId, TripStatus,
    Sensors, Alarms
  };
  static constexpr TJsonNames<24> kNames({
      "uid",        "id",          "parent_id", "type_id",    "user_id",   "name",
      "is_deleted", "del_dt",      "track_color", "has_image", "image_dt",  "is_alien",
      "users_list", "model",       "hw_type",   "hw_info",    "sw_ver",    "phone",
      "imei",       "address",     "trip_id",   "trip_status", "sensors",  "alarms"});
  const auto v = JsonFields(aObj, kNames);
  aObject.uid = JvInt32(v[Uid], 0);
  aObject.id = JvStr(v[Id]);
  aObject.parent_id = JvInt32(v[ParentId], 0);
  aObject.type_id = JvInt32(v[TypeId], 0);
  aObject.user_id = JvInt32(v[UserId], 0);
  aObject.name = JvStr(v[Name]);
  aObject.is_deleted = JvBool(v[IsDeleted]);
  aObject.del_dt = JvDt(v[DelDt]);
  // Missing, unreadable and black all give red, so that a track is never drawn invisible.
  aObject.track_color = web2color(JvStr(v[TrackColor]), 255);
  aObject.has_image = JvBool(v[HasImage]);
  aObject.image_dt = JvDt(v[ImageDt]);
  aObject.is_alien = JvBool(v[IsAlien]);
  aObject.users_list = JvStr(v[UsersList]);
  aObject.model = JvStr(v[Model]);
  aObject.hw_type = JvStr(v[HwType]);
  aObject.hw_info = JvStr(v[HwInfo]);
  aObject.sw_ver = JvStr(v[SwVer]);
  aObject.phone = JvStr(v[Phone]);
  aObject.imei = JvStr(v[Imei]);
  aObject.address = JvStr(v[Address]);
  aObject.trip_id = JvInt32(v[TripId], 0);
  aObject.trip_status = JvInt32(v[TripStatus], 0);
  // The latest message stands at the top level of the object.
  ParseTrackPoint(aObj, *aObject.last_point);
  static constexpr TJsonNames<7> kSensorNames({
      "uid", "name", "sign", "unit", "obj_dt", "sys_dt", "val"});
  for (const TJsonVal element : v[Sensors].Elements()) {
    const auto sv = JsonFields(element, kSensorNames);
    TSensorInfo &sensor = FindOrAddByUid(aObject.sensors, JvInt32(sv[0], 0));
    sensor.name = JvStr(sv[1]);
    sensor.sign = JvStr(sv[2]);
    sensor.unitv = JvStr(sv[3]);
    sensor.obj_dt = JvDt(sv[4]);
    sensor.sys_dt = JvDt(sv[5]);
    sensor.val = JvStr(sv[6]);
  }
  aObject.alarms.clear();
  for (const TJsonVal element : v[Alarms].Elements()) {
    if (auto ev = ParseEvent(element)) {
      ev->obj_id = aObject.uid;
      aObject.alarms.push_back(std::move(ev));
    }
  }
}

} // namespace kelvra
