// Records from the service's JSON: track points, events, objects. Pure functions of the JSON
// and the client's time offset.
#include "core/client/client.h"

#include "core/util/LumSmallUtils.h"

#include <array>
#include <string_view>

namespace kelvra {

namespace {

// The element of a list whose uid matches, added at the end when there is none.
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

namespace {
enum TTrackPointField {
  tpUid, tpObjId, tpOsmId, tpSysDt, tpObjDt, tpGpsDt, tpLat, tpLon, tpAlt, tpAcc, tpSpeed, tpAngle,
  tpBat, tpCrdSrc, tpSensors, tpFieldCount
};
constexpr TJsonNames<tpFieldCount> kTrackPointNames({
    "uid", "obj_id", "osm_id", "sys_dt", "obj_dt", "gps_dt",  "lat",    "lon",
    "alt", "acc",    "speed",  "angle",  "bat",    "crd_src", "sensors"});
enum TTrackSensorField { tsUid, tsSign, tsVal, tsFieldCount };
constexpr TJsonNames<tsFieldCount> kTrackSensorNames({"uid", "sign", "val"});
} // namespace

void TKelvraClient::FillTrackPoint(const TTrackPointScalars &v, TTrackPointInfo &aPoint) const {
  static_assert(std::tuple_size_v<TTrackPointScalars> == tpFieldCount);
  aPoint.obj_id = JvInt32(v[tpObjId], 0);
  aPoint.osm_id = JvStr(v[tpOsmId]);
  aPoint.sys_dt = JvDt(v[tpSysDt]);
  aPoint.obj_dt = JvDt(v[tpObjDt]);
  aPoint.gps_dt = JvDt(v[tpGpsDt]);
  aPoint.lat = JvDbl(v[tpLat]);
  aPoint.lon = JvDbl(v[tpLon]);
  aPoint.alt = JvDbl(v[tpAlt]);
  aPoint.acc = JvDbl(v[tpAcc]);
  aPoint.speed = JvDbl(v[tpSpeed]);
  aPoint.angle = JvDbl(v[tpAngle]);
  aPoint.bat = JvInt32(v[tpBat], 0);
  aPoint.src = JvInt32(v[tpCrdSrc], -1);
}

bool TKelvraClient::AddTrackPointSensor(TJsonScalar aUid, TJsonScalar aSign, TJsonScalar aVal,
                                        std::vector<TTrackPointSensorInfo> &aSensors) {
  TTrackPointSensorInfo &sensor = FindOrAddByUid(aSensors, JvInt32(aUid, 0));
  // A code is nearly always a string: interned from where it lies in the reply.
  sensor.sign = aSign.Kind() == TJsonScalar::kString ? aSign.Text() : JvStr(aSign);
  // Painted in the dump's cells: cut like the texts, silently (a track has a million of them).
  JvStrTo(aVal, sensor.val, kMaxObjectText);
  return sensor.sign == "event";
}

int TKelvraClient::ParseTrackPoint(TJsonVal aObj, TTrackPointInfo &aPoint) const {
  const auto v = JsonFields(aObj, kTrackPointNames);
  TTrackPointScalars scalars;
  for (std::size_t i = 0; i < scalars.size(); ++i)
    scalars[i] = v[i];
  FillTrackPoint(scalars, aPoint);
  if (v[tpSensors].IsArray())
    aPoint.sensors.reserve(aPoint.sensors.size() +
                           simdjson::dom::array(v[tpSensors].Element()).size());
  for (const TJsonVal element : v[tpSensors].Elements()) {
    const auto sv = JsonFields(element, kTrackSensorNames);
    if (AddTrackPointSensor(sv[tsUid], sv[tsSign], sv[tsVal], aPoint.sensors))
      aPoint.HasEvent = true;
  }
  return JvInt32(v[tpUid], 0);
}

bool TKelvraClient::StreamTrack(const char *aData, std::size_t aSize, int aObjId,
                                std::vector<std::unique_ptr<TTrackPointInfo>> &aPoints) {
  using namespace json_stream;
  simdjson::ondemand::document doc;
  simdjson::ondemand::array array;
  // Only the common form, an array of points, is read this way.
  if (fResult.Iterate(aData, aSize).get(doc) || doc.get_array().get(array)) return false;
  TTrackPointScalars v;
  std::array<TJsonScalar, tsFieldCount> sv;
  // A point's sensor values, gathered as the walk meets them and then given to the point in one
  // allocation; a second "sensors" in one point replaces the first, as in the DOM, where the last
  // of names given twice counts.
  std::vector<TTrackPointSensorInfo> gathered;
  TFieldOrder pointOrder, sensorOrder;
  auto sensors = [&](TTrackPointInfo &aPoint, TValue &aValue, int aDepth) -> TError {
    gathered.clear();
    bool event = false;
    simdjson::ondemand::json_type type;
    if (const TError e = aValue.type().get(type)) return e;
    if (type == simdjson::ondemand::json_type::array) {
      simdjson::ondemand::array list;
      if (const TError e = aValue.get_array().get(list)) return e;
      for (auto result : list) {
        if (const TError e = result.error()) return e;
        TValue &element = result.value_unsafe();
        sv = {};
        if (const TError e = element.type().get(type)) return e;
        if (type == simdjson::ondemand::json_type::object) {
          TObject object;
          if (const TError e = element.get_object().get(object)) return e;
          if (const TError e = Fields(object, kTrackSensorNames, sv, sensorOrder, tsFieldCount,
                                      aDepth + 1,
                                      [](std::size_t, TValue &, int) { return simdjson::SUCCESS; }))
            return e;
        } else if (const TError e = Skip(element, aDepth + 1)) {
          return e;
        }
        if (AddTrackPointSensor(sv[tsUid], sv[tsSign], sv[tsVal], gathered)) event = true;
      }
    } else if (const TError e = Skip(aValue, aDepth)) {
      return e;
    }
    aPoint.sensors.assign(std::make_move_iterator(gathered.begin()),
                          std::make_move_iterator(gathered.end()));
    aPoint.HasEvent = event;
    return simdjson::SUCCESS;
  };
  for (auto result : array) {
    if (result.error()) return false;
    TValue &element = result.value_unsafe();
    simdjson::ondemand::json_type type;
    if (element.type().get(type)) return false;
    if (type != simdjson::ondemand::json_type::object) {
      if (Skip(element, 2)) return false;
      continue; // no uid: not a point
    }
    TObject object;
    if (element.get_object().get(object)) return false;
    auto point = std::make_unique<TTrackPointInfo>(0, aObjId);
    v = {};
    if (Fields(object, kTrackPointNames, v, pointOrder, tpSensors, 2,
               [&](std::size_t, TValue &aValue, int aDepth) { return sensors(*point, aValue, aDepth); }))
      return false;
    FillTrackPoint(v, *point);
    point->uid = JvInt32(v[tpUid], 0);
    if (point->uid == 0) continue;
    if (point->obj_id == 0) point->obj_id = aObjId;
    aPoints.push_back(std::move(point));
  }
  // Nothing may follow the array (the walk stops at its end, the DOM parse would refuse more).
  const char *rest = nullptr;
  return doc.current_location().get(rest) == simdjson::OUT_OF_BOUNDS;
}

namespace {
enum TEventField {
  evUid, evObjId, evTrapId, evHPointId, evHSysDt, evHObjDt, evHGpsDt, evHLat, evHLon, evHSpeed,
  evHBat, evHSval, evCPointId, evCSysDt, evCObjDt, evCGpsDt, evCLat, evCLon, evCSpeed, evCBat,
  evCSval, evAcceptDt, evAcceptMsg, evFieldCount
};
constexpr TJsonNames<evFieldCount> kEventNames({
    "uid",        "obj_id",   "trap_id",  "h_point_id", "h_sys_dt",   "h_obj_dt",
    "h_gps_dt",   "h_lat",    "h_lon",    "h_speed",    "h_bat",      "h_sval",
    "c_point_id", "c_sys_dt", "c_obj_dt", "c_gps_dt",   "c_lat",      "c_lon",
    "c_speed",    "c_bat",    "c_sval",   "accept_dt",  "accept_msg"});

// The values of the named fields of a parsed object, as scalars.
template <std::size_t N>
void ScalarFields(TJsonVal aObj, const TJsonNames<N> &aNames, std::array<TJsonScalar, N> &aValues) {
  const auto v = JsonFields(aObj, aNames);
  for (std::size_t i = 0; i < N; ++i)
    aValues[i] = v[i];
}
} // namespace

std::unique_ptr<TEventInfo> TKelvraClient::ParseEvent(TJsonVal aObj) const {
  std::array<TJsonScalar, evFieldCount> v;
  ScalarFields(aObj, kEventNames, v);
  return EventFromFields(v);
}

std::unique_ptr<TEventInfo> TKelvraClient::EventFromFields(
    const std::array<TJsonScalar, TObjectStage::kEventFields> &v) const {
  static_assert(TObjectStage::kEventFields == evFieldCount);
  const int uid = JvInt32(v[evUid], 0);
  if (uid == 0) return nullptr;
  auto ev = std::make_unique<TEventInfo>(uid, JvInt32(v[evObjId], 0));
  ev->trap_id = JvInt32(v[evTrapId], 0);
  ev->h_point_id = JvInt32(v[evHPointId], 0);
  ev->h_sys_dt = JvDt(v[evHSysDt]);
  ev->h_obj_dt = JvDt(v[evHObjDt]);
  ev->h_gps_dt = JvDt(v[evHGpsDt]);
  ev->h_lat = JvDbl(v[evHLat]);
  ev->h_lon = JvDbl(v[evHLon]);
  ev->h_speed = JvDbl(v[evHSpeed]);
  ev->h_bat = JvInt32(v[evHBat], 0);
  ev->h_sval = JvText(v[evHSval], "event value");
  ev->c_point_id = JvInt32(v[evCPointId], 0);
  ev->c_sys_dt = JvDt(v[evCSysDt]);
  ev->c_obj_dt = JvDt(v[evCObjDt]);
  ev->c_gps_dt = JvDt(v[evCGpsDt]);
  ev->c_lat = JvDbl(v[evCLat]);
  ev->c_lon = JvDbl(v[evCLon]);
  ev->c_speed = JvDbl(v[evCSpeed]);
  ev->c_bat = JvInt32(v[evCBat], 0);
  ev->c_sval = JvText(v[evCSval], "event value");
  ev->accept_dt = JvDt(v[evAcceptDt]);
  ev->accept_msg = JvText(v[evAcceptMsg], "acceptance message");
  return ev;
}

namespace {

// An object of the list carries its latest message at its top level, beside its own fields: one
// table of names serves both, so that an object is read in one pass over its fields. The two
// lists come last (the one-pass reader walks every field from obSensors on).
enum TObjectField {
  obUid, obId, obParentId, obTypeId, obUserId, obName, obIsDeleted, obDelDt, obTrackColor,
  obHasImage, obImageDt, obIsAlien, obUsersList, obModel, obHwType, obHwInfo, obSwVer, obPhone,
  obImei, obAddress, obTripId, obTripStatus,
  obObjId, obOsmId, obSysDt, obObjDt, obGpsDt, obLat, obLon, obAlt, obAcc, obSpeed, obAngle, obBat,
  obCrdSrc, obSensors, obAlarms, obFieldCount
};
constexpr TJsonNames<obFieldCount> kObjectNames({
    "uid",        "id",          "parent_id", "type_id",    "user_id",   "name",
    "is_deleted", "del_dt",      "track_color", "has_image", "image_dt",  "is_alien",
    "users_list", "model",       "hw_type",   "hw_info",    "sw_ver",    "phone",
    "imei",       "address",     "trip_id",   "trip_status",
    "obj_id",     "osm_id",      "sys_dt",    "obj_dt",     "gps_dt",    "lat",
    "lon",        "alt",         "acc",       "speed",      "angle",     "bat",
    "crd_src",    "sensors",     "alarms"});
// Where each field of the latest message stands among the object's.
constexpr std::array<std::size_t, tpFieldCount> kPointFieldOfObject = {
    obUid, obObjId, obOsmId, obSysDt, obObjDt, obGpsDt, obLat, obLon,
    obAlt, obAcc,   obSpeed, obAngle, obBat,   obCrdSrc, obSensors};

enum TSensorField { seUid, seName, seSign, seUnit, seObjDt, seSysDt, seVal, seFieldCount };
constexpr TJsonNames<seFieldCount> kSensorNames({
    "uid", "name", "sign", "unit", "obj_dt", "sys_dt", "val"});

} // namespace

TKelvraClient::TObjectStage &TKelvraClient::ObjectStage() {
  if (!fObjectStage) fObjectStage = std::make_unique<TObjectStage>();
  return *fObjectStage;
}

void TKelvraClient::StageObject(TJsonVal aObj, TObjectStage &aStage) {
  static_assert(TObjectStage::kFields == obFieldCount && TObjectStage::kSensorFields == seFieldCount &&
                TObjectStage::kUidField == obUid && TObjectStage::kIdField == obId);
  TObjectStage::TObject &object = aStage.Objects.emplace_back();
  const auto v = JsonFields(aObj, kObjectNames);
  for (std::size_t i = 0; i < obFieldCount; ++i)
    object.Fields[i] = v[i];
  object.SensorsFrom = uint32_t(aStage.Sensors.size());
  for (const TJsonVal element : v[obSensors].Elements())
    ScalarFields(element, kSensorNames, aStage.Sensors.emplace_back());
  object.SensorsTo = uint32_t(aStage.Sensors.size());
  object.AlarmsFrom = uint32_t(aStage.Alarms.size());
  for (const TJsonVal element : v[obAlarms].Elements())
    ScalarFields(element, kEventNames, aStage.Alarms.emplace_back());
  object.AlarmsTo = uint32_t(aStage.Alarms.size());
}

std::unique_ptr<TObjectInfo> TKelvraClient::ParseObject(TJsonVal aObj) const {
  auto oi = std::make_unique<TObjectInfo>();
  ParseObject(aObj, *oi);
  return oi;
}

void TKelvraClient::ParseObject(TJsonVal aObj, TObjectInfo &aObject) const {
  TObjectStage stage;
  StageObject(aObj, stage);
  ReadObject(stage, 0, aObject, false);
}

std::unique_ptr<TObjectInfo> TKelvraClient::ParseRefreshedObject(TJsonVal aObj,
                                                                 const TObjectLookup &aFind,
                                                                 TDateTime aNow) const {
  TObjectStage stage;
  StageObject(aObj, stage);
  const auto &v = stage.Objects[0].Fields;
  if (TObjectInfo *cached = aFind(JvInt32(v[obUid], 0), JvStr(v[obId]))) {
    ReadObject(stage, 0, *cached, true);
    cached->UpdateTail(aNow);
    return nullptr;
  }
  auto oi = std::make_unique<TObjectInfo>();
  ReadObject(stage, 0, *oi, false);
  return oi;
}

void TKelvraClient::ReadObject(const TObjectStage &aStage, std::size_t aIndex, TObjectInfo &aObject,
                               bool aRefresh) const {
  const TObjectStage::TObject &staged = aStage.Objects[aIndex];
  const auto &v = staged.Fields;
  aObject.uid = JvInt32(v[obUid], 0);
  JvStrTo(v[obId], aObject.id);
  aObject.parent_id = JvInt32(v[obParentId], 0);
  aObject.type_id = JvInt32(v[obTypeId], 0);
  aObject.user_id = JvInt32(v[obUserId], 0);
  // The name is painted in the list, on the map and in every window title: never megabytes.
  if (JvStrTo(v[obName], aObject.name, kMaxObjectText))
    LogFmt("\r  W: object %d: name longer than %d bytes, cut", aObject.uid,
           static_cast<int>(kMaxObjectText));
  aObject.is_deleted = JvBool(v[obIsDeleted]);
  aObject.del_dt = JvDt(v[obDelDt]);
  // Missing, unreadable and black all give red, so that a track is never drawn invisible.
  aObject.track_color = web2color(JvStr(v[obTrackColor]), 255);
  aObject.has_image = JvBool(v[obHasImage]);
  aObject.image_dt = JvDt(v[obImageDt]);
  aObject.is_alien = JvBool(v[obIsAlien]);
  JvStrTo(v[obUsersList], aObject.users_list);
  JvStrTo(v[obModel], aObject.model);
  JvStrTo(v[obHwType], aObject.hw_type);
  JvStrTo(v[obHwInfo], aObject.hw_info);
  JvStrTo(v[obSwVer], aObject.sw_ver);
  JvStrTo(v[obPhone], aObject.phone);
  JvStrTo(v[obImei], aObject.imei);
  JvStrTo(v[obAddress], aObject.address);
  // A refresh does not touch the trip: only a single object's fetch does.
  if (!aRefresh) {
    aObject.trip_id = JvInt32(v[obTripId], 0);
    aObject.trip_status = JvInt32(v[obTripStatus], 0);
  }
  // The latest message stands at the top level of the object. A refresh replaces it as a whole
  // (the map's last drawing place aside); a single fetch reads into it as into any point.
  TTrackPointInfo &point = *aObject.last_point;
  if (aRefresh) {
    point.uid = 0;
    point.sensors.clear();
    point.IsParking = false;
    point.ParkingDuration = 0;
    point.HasEvent = false;
  }
  TTrackPointScalars pv;
  for (std::size_t i = 0; i < pv.size(); ++i)
    pv[i] = v[kPointFieldOfObject[i]];
  FillTrackPoint(pv, point);
  const std::size_t sensorCount = staged.SensorsTo - staged.SensorsFrom;
  point.sensors.reserve(point.sensors.size() + sensorCount);
  for (uint32_t k = staged.SensorsFrom; k < staged.SensorsTo; ++k) {
    const auto &sv = aStage.Sensors[k];
    if (AddTrackPointSensor(sv[seUid], sv[seSign], sv[seVal], point.sensors))
      point.HasEvent = true;
  }

  // A refresh replaces the sensor list (the records are reused: a fleet's refresh would otherwise
  // allocate one per sensor); a single fetch updates the sensors it names and keeps the others.
  std::vector<std::unique_ptr<TSensorInfo>> &sensors = aObject.sensors;
  std::size_t count = aRefresh ? 0 : sensors.size();
  for (uint32_t k = staged.SensorsFrom; k < staged.SensorsTo; ++k) {
    const auto &sv = aStage.Sensors[k];
    const int uid = JvInt32(sv[seUid], 0);
    TSensorInfo *sensor = nullptr;
    for (std::size_t i = 0; i < count && !sensor; ++i)
      if (sensors[i]->uid == uid) sensor = sensors[i].get();
    if (!sensor) {
      if (count == sensors.size()) sensors.push_back(std::make_unique<TSensorInfo>());
      sensor = sensors[count++].get();
      sensor->uid = uid;
    }
    JvStrTo(sv[seName], sensor->name);
    JvStrTo(sv[seSign], sensor->sign);
    JvStrTo(sv[seUnit], sensor->unitv);
    sensor->obj_dt = JvDt(sv[seObjDt]);
    sensor->sys_dt = JvDt(sv[seSysDt]);
    JvStrTo(sv[seVal], sensor->val);
  }
  sensors.erase(sensors.begin() + std::ptrdiff_t(count), sensors.end());

  aObject.alarms.clear();
  for (uint32_t k = staged.AlarmsFrom; k < staged.AlarmsTo; ++k) {
    if (auto ev = EventFromFields(aStage.Alarms[k])) {
      ev->obj_id = aObject.uid;
      aObject.alarms.push_back(std::move(ev));
    }
  }
}

bool TKelvraClient::StreamObjects(const char *aData, std::size_t aSize, int &aCount) {
  using namespace json_stream;
  simdjson::ondemand::document doc;
  TObject root;
  if (fResult.Iterate(aData, aSize).get(doc) || doc.get_object().get(root)) return false;
  TObjectStage &stage = ObjectStage();
  stage.Clear();
  enum { rtDt, rtObjects, rtFieldCount };
  static constexpr TJsonNames<rtFieldCount> kRootNames({"dt", "objects"});
  std::array<TJsonScalar, rtFieldCount> rv;
  bool list = false; // the last "objects" is an array (of names given twice the last counts)
  TFieldOrder rootOrder, objectOrder, sensorOrder, eventOrder;

  // A list of records of one kind into aList: each element's named fields, an element that is no
  // object as one without fields (or, for alarms, left out: it has no id).
  auto records = [](auto &aList, auto &aNames, TFieldOrder &aOrder, bool aKeepOthers, TValue &aValue,
                    int aDepth) -> TError {
    simdjson::ondemand::array array;
    if (const TError e = aValue.get_array().get(array)) return e;
    for (auto result : array) {
      if (const TError e = result.error()) return e;
      TValue &element = result.value_unsafe();
      simdjson::ondemand::json_type type;
      if (const TError e = element.type().get(type)) return e;
      if (type != simdjson::ondemand::json_type::object) {
        if (const TError e = Skip(element, aDepth + 1)) return e;
        if (aKeepOthers) aList.emplace_back();
        continue;
      }
      TObject object;
      if (const TError e = element.get_object().get(object)) return e;
      auto &values = aList.emplace_back();
      if (const TError e = Fields(object, aNames, values, aOrder, values.size(), aDepth + 1,
                                  [](std::size_t, TValue &, int) { return simdjson::SUCCESS; }))
        return e;
    }
    return simdjson::SUCCESS;
  };
  // An object's lists: a value that is no array has no elements (the last of names given twice
  // counts, so every list starts where the stage ends).
  auto objectList = [&](TObjectStage::TObject &aObject, std::size_t aField, TValue &aValue,
                        int aDepth) -> TError {
    simdjson::ondemand::json_type type;
    if (const TError e = aValue.type().get(type)) return e;
    const bool array = type == simdjson::ondemand::json_type::array;
    if (aField == obSensors) {
      aObject.SensorsFrom = uint32_t(stage.Sensors.size());
      if (const TError e = array ? records(stage.Sensors, kSensorNames, sensorOrder, true, aValue,
                                           aDepth)
                                 : Skip(aValue, aDepth))
        return e;
      aObject.SensorsTo = uint32_t(stage.Sensors.size());
    } else {
      aObject.AlarmsFrom = uint32_t(stage.Alarms.size());
      if (const TError e = array ? records(stage.Alarms, kEventNames, eventOrder, false, aValue,
                                           aDepth)
                                 : Skip(aValue, aDepth))
        return e;
      aObject.AlarmsTo = uint32_t(stage.Alarms.size());
    }
    return simdjson::SUCCESS;
  };
  auto objects = [&](std::size_t, TValue &aValue, int aDepth) -> TError {
    stage.Clear();
    simdjson::ondemand::json_type type;
    if (const TError e = aValue.type().get(type)) return e;
    list = type == simdjson::ondemand::json_type::array;
    if (!list) return Skip(aValue, aDepth);
    simdjson::ondemand::array array;
    if (const TError e = aValue.get_array().get(array)) return e;
    for (auto result : array) {
      if (const TError e = result.error()) return e;
      TValue &element = result.value_unsafe();
      if (const TError e = element.type().get(type)) return e;
      if (type != simdjson::ondemand::json_type::object) {
        if (const TError e = Skip(element, aDepth + 1)) return e;
        continue; // not an object: not counted
      }
      TObject object;
      if (const TError e = element.get_object().get(object)) return e;
      // A reference into the stage stays valid while the object's fields are read: its lists
      // grow other vectors.
      TObjectStage::TObject &staged = stage.Objects.emplace_back();
      staged.SensorsFrom = staged.SensorsTo = uint32_t(stage.Sensors.size());
      staged.AlarmsFrom = staged.AlarmsTo = uint32_t(stage.Alarms.size());
      if (const TError e = Fields(object, kObjectNames, staged.Fields, objectOrder, obSensors,
                                  aDepth + 1, [&](std::size_t aField, TValue &aList, int aListDepth) {
                                    return objectList(staged, aField, aList, aListDepth);
                                  }))
        return e;
    }
    return simdjson::SUCCESS;
  };
  if (Fields(root, kRootNames, rv, rootOrder, rtObjects, 1, objects)) {
    stage.Clear();
    return false;
  }
  // Nothing may follow the object (the walk stops at its end, the DOM parse would refuse more).
  const char *rest = nullptr;
  if (!list || doc.current_location().get(rest) != simdjson::OUT_OF_BOUNDS) {
    stage.Clear();
    return false;
  }
  aCount = MergeStage(stage, JvDt(rv[rtDt]));
  stage.Clear();
  return true;
}

} // namespace kelvra
