// kelvra-sim: objects and their messages: time passing moves them and makes their points; their
// records and their points as the service's JSON.

#include "sim/SimWorld.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "sim/SimCity.h"
#include "sim/SimPng.h"
#include "sim/SimUtil.h"
#include "sim/SimWorldParts.h"

namespace kelvra::sim {

TSimSensor *TSimObject::FindSensor(const std::string &sign) {
  for (auto &s : sensors)
    if (s.sign == sign) return &s;
  return nullptr;
}

std::string TSimObject::ConfigValue(const std::string &key) const {
  for (auto &kv : config)
    if (kv.first == key) return kv.second;
  return {};
}

void TSimWorld::Advance(int64_t seconds) {
  for (int64_t i = 0; i < seconds; ++i)
    StepSecond();
}

void TSimWorld::StepSecond() {
  ++fNow;
  for (auto &o : fObjects)
    StepObject(*o);
  if (fTrackerDayEnd != 0)
    if (TSimObject *tracker = FindObject(kTrackerUid); tracker && !tracker->is_deleted)
      StepTracker(*tracker);
  while (!fFleetSteps.empty() && fFleetSteps.top().first <= fNow) {
    int uid = fFleetSteps.top().second;
    fFleetSteps.pop();
    auto it = fFleet.find(uid);
    if (it != fFleet.end()) StepFleet(*it->second);
  }
  if (fNow % 60 == 0) {
    for (auto &t : fTraps) {
      if (t->target_type_id != 3) continue;
      auto check = [&](TSimObject &o) {
        if (o.is_deleted || !o.LastPoint()) return;
        int64_t minutes = (fNow - o.LastPoint()->sys_dt) / 60;
        RaiseOrComplete(*t, o, ConditionHolds(std::to_string(minutes), t->condition_id, t->val),
                        std::to_string(minutes));
      };
      if (t->obj_id != 0) {
        if (TSimObject *o = FindObject(t->obj_id)) check(*o);
      } else {
        for (auto &o : fObjects)
          if (t->Watches(*o)) check(*o);
      }
    }
  }
  if (!fPending.empty()) {
    size_t kept = 0;
    for (TSimCommand *c : fPending) {
      TSimObject *o = FindObject(c->obj_id);
      if (!o) continue; // the object was removed: its command will never be answered
      bool reachable = !o->is_deleted;
      if (reachable && c->send_dt == 0 && fNow >= c->create_dt + kSendDelay) c->send_dt = fNow;
      if (c->send_dt != 0 && fNow >= c->send_dt + kAnswerDelay) {
        RunDevice(*c);
        continue;
      }
      fPending[kept++] = c;
    }
    fPending.resize(kept);
  }
}

void TSimWorld::StepObject(TSimObject &o) {
  if (o.is_deleted || o.kind == TSimKind::Idle || o.kind == TSimKind::Fleet ||
      o.kind == TSimKind::Tracker)
    return;
  if (o.kind == TSimKind::Beacon) {
    if (fNow - o.lastReport >= o.reportPeriod) EmitPoint(o);
    return;
  }
  if (o.kind == TSimKind::DoorSensor) {
    o.bat = std::max(0.0, o.bat - 0.2 / 3600);
    if (fNow >= o.nextToggle) {
      TSimSensor *s = o.FindSensor("event");
      s->val = s->val == "door_open" ? "door_closed" : "door_open";
      o.nextToggle = fNow + static_cast<int64_t>(Uniform(40, 140) * 60);
      EmitPoint(o);
    } else if (fNow - o.lastReport >= o.reportPeriod) {
      EmitPoint(o);
    }
    return;
  }

  bool wasMoving = o.Moving();
  if (o.parkUntil > fNow) {
    o.speedKmh = 0;
  } else {
    if (o.speedKmh <= 0) o.speedKmh = o.cruiseKmh;
    o.speedKmh =
        std::clamp(o.speedKmh + Noise(o.cruiseKmh * 0.02), o.cruiseKmh * 0.6, o.cruiseKmh * 1.3);
    double step = o.speedKmh / 3.6;
    o.odometer += step / 1000;
    if (o.kind == TSimKind::Phone || o.kind == TSimKind::Wearable) o.steps += step / 0.7;
    o.legPos += step;
    size_t n = o.route.size();
    for (;;) {
      auto &a = o.route[o.leg];
      auto &b = o.route[(o.leg + 1) % n];
      double len = DistanceM(a.first, a.second, b.first, b.second);
      if (o.legPos < len) {
        o.heading = BearingDeg(a.first, a.second, b.first, b.second);
        OffsetPoint(a.first, a.second, o.legPos, o.heading, o.lat, o.lon);
        break;
      }
      o.legPos -= len;
      o.leg = (o.leg + 1) % n;
      if (o.parkMinutes[o.leg] > 0) {
        o.lat = o.route[o.leg].first;
        o.lon = o.route[o.leg].second;
        o.legPos = 0;
        o.speedKmh = 0;
        o.parkUntil = fNow + static_cast<int64_t>(o.parkMinutes[o.leg] * 60 * Uniform(0.7, 1.3));
        break;
      }
    }
  }

  double drain = 0; // percent per hour
  switch (o.kind) {
  case TSimKind::Phone:
    drain = o.Moving() ? 7 : 2;
    break;
  case TSimKind::Wearable:
    drain = o.Moving() ? 4 : 1.5;
    break;
  case TSimKind::Bike:
    drain = o.Moving() ? 3 : 0.5;
    break;
  default:
    break;
  }
  if (o.kind == TSimKind::Vehicle) {
    o.bat = 100;
  } else {
    if (!o.Moving() && o.bat < 20) o.charging = true;
    if (o.Moving() || o.bat >= 98) o.charging = false;
    o.bat = std::clamp(o.bat + (o.charging ? 40.0 : -drain) / 3600, 0.0, 100.0);
  }

  int period = o.Moving() ? o.reportPeriod : o.parkReportPeriod;
  bool inTunnel =
      o.tunnelRadius > 0 && DistanceM(o.lat, o.lon, o.tunnelLat, o.tunnelLon) < o.tunnelRadius;
  if (!inTunnel && (wasMoving != o.Moving() || fNow - o.lastReport >= period)) EmitPoint(o);
}

void TSimWorld::EmitPoint(TSimObject &o) {
  TSimPoint p;
  p.uid = ++fNextPointUid;
  p.obj_id = o.uid;
  p.sys_dt = fNow;
  p.obj_dt = fNow - 1 - static_cast<int64_t>(fRng() % 3);
  if (!o.track.empty()) p.obj_dt = std::max(p.obj_dt, o.track.back().obj_dt + 1);
  p.gps_dt = p.obj_dt;
  double n1 = Noise(3), n2 = Noise(3);
  p.lat = Round(o.lat + n1 / kMetresPerDegLat, 1e6);
  p.lon = Round(o.lon + n2 / (kMetresPerDegLat * std::cos(o.lat * M_PI / 180)), 1e6);
  p.alt = Round(160 + Noise(2), 10);
  p.acc = Round(Uniform(3, 12), 10);
  p.speed = o.Moving() ? Round(std::max(0.0, o.speedKmh + Noise(0.8)), 10) : 0;
  p.angle = std::round(o.heading); // a parked point keeps the heading it arrived with
  p.bat = static_cast<int>(std::lround(o.bat));
  p.crd_src = 0;
  if (o.kind == TSimKind::Wearable && !o.Moving()) {
    // indoors the watch knows its home as a place and fixes elsewhere by Wi-Fi
    bool atHome = DistanceM(o.lat, o.lon, o.route[0].first, o.route[0].second) < 60;
    p.crd_src = atHome ? 3 : 2;
    p.acc = atHome ? 20 : 35;
  } else if (o.kind == TSimKind::DoorSensor) {
    p.crd_src = 3; // a fixed device at a known place
    p.acc = 10;
  } else if (o.kind == TSimKind::Beacon) {
    p.crd_src = o.crdSrc;
    p.acc = o.crdSrc == 1 ? 900 : o.crdSrc == 2 ? 40 : o.crdSrc == 3 ? 20 : p.acc;
  }
  if (o.gpsTrouble) {
    double r = Uniform(0, 1);
    if (r < 0.05) { // a jump of a few hundred metres
      OffsetPoint(p.lat, p.lon, Uniform(200, 450), Uniform(0, 360), p.lat, p.lon);
    } else if (r < 0.065) { // an outlier far off
      OffsetPoint(p.lat, p.lon, Uniform(2000, 6000), Uniform(0, 360), p.lat, p.lon);
    }
    p.lat = Round(p.lat, 1e6);
    p.lon = Round(p.lon, 1e6);
    // now and then a point buffered by the device arrives late: its own time is earlier than
    // the point before it
    if (o.track.size() > 2 && Uniform(0, 1) < 0.03) {
      p.obj_dt = o.track.back().obj_dt - static_cast<int64_t>(Uniform(10, 40));
      p.gps_dt = p.obj_dt;
    }
  }
  p.osm_id = PlaceId(p.lat, p.lon);

  int64_t dayMinute = (fNow % 86400) / 60;
  for (auto &s : o.sensors) {
    if (s.sign == "ign")
      s.val = o.Moving() ? "1" : "0";
    else if (s.sign == "odo")
      s.val = std::to_string(static_cast<int64_t>(o.odometer));
    else if (s.sign == "steps")
      s.val = std::to_string(static_cast<int64_t>(o.steps));
    else if (s.sign == "hr")
      s.val = std::to_string(static_cast<int>(o.Moving() ? Uniform(95, 125) : Uniform(62, 78)));
    else if (s.sign == "vector") {
      // acceleration x, y, z: braking and cornering while moving, gravity always
      char buf[48];
      double ax = o.Moving() ? Noise(0.8) : 0, ay = o.Moving() ? Noise(0.5) : 0;
      std::snprintf(buf, sizeof buf, "%.2f,%.2f,%.2f", ax, ay, 9.81 + Noise(0.05));
      s.val = buf;
    } else if (s.sign == "temp") {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%.1f",
                    4 + 3 * std::sin((dayMinute - 540) * M_PI / 720.0) + Noise(0.3));
      s.val = buf;
    }
    s.obj_dt = p.obj_dt;
    s.sys_dt = p.sys_dt;
    p.sensors.push_back({s.uid, s.sign, s.val});
  }
  o.track.push_back(std::move(p));
  o.lastReport = fNow;
  Touch(o);
  if (o.kind != TSimKind::Fleet) EvaluateTraps(o, &o.track.back());
}

TSimObject *TSimWorld::FindObject(int uid) {
  for (auto &o : fObjects)
    if (o->uid == uid) return o.get();
  return nullptr;
}

bool TSimWorld::Visible(const TSimObject &o, const TSimUser &u) const {
  if (o.user_id == u.uid) return true;
  // users_list: logins separated by commas, semicolons or blanks
  std::string cur;
  for (size_t i = 0; i <= o.users_list.size(); ++i) {
    char c = i < o.users_list.size() ? o.users_list[i] : ',';
    if (c == ',' || c == ';' || c == ' ') {
      if (!cur.empty() && Lower(cur) == Lower(u.login)) return true;
      cur.clear();
    } else {
      cur += c;
    }
  }
  return false;
}

TSimObject &TSimWorld::AddObject(int userUid, const std::string &id) {
  auto o = std::make_unique<TSimObject>();
  o->uid = fNextUid++;
  o->id = id;
  o->user_id = userUid;
  o->kind = TSimKind::Idle;
  Touch(*o);
  o->config = {{"service_enabled", "true"},        {"use_places", "false"},
               {"continuously_tracking", "false"}, {"tracking_server", ""},
               {"tracking_period", "600"},         {"tracking_fast_period", "60"},
               {"block_incoming_calls", "false"}};
  fObjects.push_back(std::move(o));
  return *fObjects.back();
}

void TSimWorld::RemoveObject(int uid) {
  auto gone = [uid](auto &p) { return p->obj_id == uid; };
  std::erase_if(fTraps, gone);
  std::erase_if(fTrips, gone);
  fFleet.erase(uid);
  std::erase_if(fPending, [uid](TSimCommand *c) { return c->obj_id == uid; });
  std::erase_if(fObjects, [uid](auto &p) { return p->uid == uid; });
}

void TSimWorld::ForEachPoint(const TSimObject &o, int64_t from, int64_t to, bool byReception,
                             const TSimHistory::TVisitor &fn) const {
  if (o.historyEnd != 0 && from < o.historyEnd + 5) fHistory.Visit(o, from, to, byReception, fn);
  auto key = [byReception](const TSimPoint &p) { return byReception ? p.sys_dt : p.obj_dt; };
  // Both times grow along the track but for a few late points, which are at most kLateBy
  // seconds behind; so the period is found by binary search with that much margin.
  constexpr int64_t kLateBy = 120;
  auto it = std::lower_bound(o.track.begin(), o.track.end(), from - kLateBy,
                             [&](const TSimPoint &p, int64_t v) { return key(p) < v; });
  for (; it != o.track.end() && key(*it) <= to + kLateBy; ++it)
    if (key(*it) >= from && key(*it) <= to) fn(*it);
}

namespace {

void AppendNumber(std::string &out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v); // the shortest text that reads back as v
  out.append(buf, r.ptr);
  // a whole number keeps its ".0", as the service writes its doubles
  if (std::string_view(buf, size_t(r.ptr - buf)).find_first_of(".eE") == std::string_view::npos)
    out += ".0";
}

void AppendInt(std::string &out, int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void AppendText(std::string &out, const std::string &s) {
  out += json(s).dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace

void TSimWorld::AppendPointJson(std::string &out, const TSimPoint &p, bool withSensors) {
  out += "{\"uid\":";
  AppendInt(out, p.uid);
  out += ",\"obj_id\":";
  AppendInt(out, p.obj_id);
  out += ",\"osm_id\":";
  AppendText(out, p.osm_id);
  out += ",\"sys_dt\":\"" + FormatUtc(p.sys_dt) + "\",\"obj_dt\":\"" + FormatUtc(p.obj_dt) +
         "\",\"gps_dt\":\"" + FormatUtc(p.gps_dt) + "\"";
  const std::pair<const char *, double> numbers[] = {{",\"lat\":", p.lat},     {",\"lon\":", p.lon},
                                                     {",\"alt\":", p.alt},     {",\"acc\":", p.acc},
                                                     {",\"speed\":", p.speed}, {",\"angle\":", p.angle}};
  for (const auto &[key, v] : numbers) {
    out += key;
    AppendNumber(out, v);
  }
  out += ",\"bat\":";
  AppendInt(out, p.bat);
  out += ",\"crd_src\":";
  AppendInt(out, p.crd_src);
  if (withSensors) {
    out += ",\"sensors\":[";
    for (size_t i = 0; i < p.sensors.size(); ++i) {
      if (i) out += ',';
      out += "{\"uid\":";
      AppendInt(out, p.sensors[i].uid);
      out += ",\"sign\":";
      AppendText(out, p.sensors[i].sign);
      out += ",\"val\":";
      AppendText(out, p.sensors[i].val);
      out += '}';
    }
    out += ']';
  }
  out += '}';
}

json TSimWorld::PointJson(const TSimPoint &p, bool withSensors) {
  std::string text;
  AppendPointJson(text, p, withSensors);
  return json::parse(text);
}

bool TSimWorld::ChangedSince(const TSimObject &o, int64_t since, const std::string &token) const {
  auto lists = fListSeq.find(token);
  if (lists != fListSeq.end()) {
    auto it = lists->second.find(since);
    if (it != lists->second.end()) return o.changedSeq > it->second;
  }
  return o.changed > since;
}

void TSimWorld::NoteList(const std::string &token) {
  auto &lists = fListSeq[token];
  lists[fNow] = fChangeSeq;
  if (lists.size() > 64) lists.erase(lists.begin()); // a client refreshes from its last lists only
}

TSimWorld::TObjectIndex TSimWorld::IndexObjects() const {
  TObjectIndex index;
  for (auto &e : fEvents)
    if (e->is_alarm && e->accept_dt == 0) index.alarms[e->obj_id].push_back(e.get());
  for (auto &t : fTrips)
    index.trips[t->uid] = t.get();
  return index;
}

json TSimWorld::ObjectJson(const TSimObject &o, const TSimUser &viewer) const {
  return ObjectJson(o, viewer, IndexObjects());
}

json TSimWorld::ObjectJson(const TSimObject &o, const TSimUser &viewer,
                           const TObjectIndex &index) const {
  auto tripIt = index.trips.find(o.trip_id);
  const TSimTrip *trip = tripIt != index.trips.end() ? tripIt->second : nullptr;
  json j{{"uid", o.uid},
         {"id", o.id},
         {"parent_id", o.parent_id},
         {"type_id", o.type_id},
         {"user_id", o.user_id},
         {"name", o.name},
         {"track_color", o.track_color},
         {"users_list", o.users_list},
         {"is_alien", o.user_id != viewer.uid},
         {"is_deleted", o.is_deleted},
         {"del_dt", DateOrNull(o.is_deleted ? o.del_dt : 0)},
         {"has_image", !o.image.empty()},
         {"image_dt", DateOrNull(o.image.empty() ? 0 : o.image_dt)},
         {"trip_id", trip ? trip->uid : 0},
         {"trip_status", trip ? trip->status : 0},
         {"model", o.model},
         {"hw_type", o.hw_type},
         {"hw_info", o.hw_info},
         {"sw_ver", o.sw_ver},
         {"phone", o.phone},
         {"imei", o.imei}};
  if (const TSimPoint *p = o.LastPoint()) {
    json pj = PointJson(*p, false);
    pj.erase("uid"); // the object's own uid stands at this level
    j.update(pj);
    j["address"] = AddressOf(p->osm_id);
  } else {
    j["address"] = "";
  }
  json sensors = json::array();
  for (auto &s : o.sensors)
    sensors.push_back({{"uid", s.uid},
                       {"name", s.name},
                       {"sign", s.sign},
                       {"unit", s.unit},
                       {"obj_dt", DateOrNull(s.obj_dt)},
                       {"sys_dt", DateOrNull(s.sys_dt)},
                       {"val", s.val}});
  j["sensors"] = sensors;
  json alarms = json::array();
  auto alarmIt = index.alarms.find(o.uid);
  if (alarmIt != index.alarms.end())
    for (const TSimEvent *e : alarmIt->second)
      alarms.push_back(EventJson(*e));
  j["alarms"] = alarms;
  return j;
}

} // namespace kelvra::sim
