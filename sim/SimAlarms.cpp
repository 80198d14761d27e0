// kelvra-sim: zones (containment, geometry), traps evaluated on each point, the events they raise
// and complete, and their JSON.

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

bool TSimZone::Contains(double lat, double lon) const {
  if (type_id == 1) return DistanceM(lat, lon, clat, clon) <= radius;
  bool inside = false;
  for (size_t i = 0, j = nodes.size() - 1; i < nodes.size(); j = i++) {
    double xi = nodes[i].first, yi = nodes[i].second, xj = nodes[j].first, yj = nodes[j].second;
    if ((yi > lat) != (yj > lat) && lon < (xj - xi) * (lat - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

std::string TSimZone::GeomText() const {
  if (type_id == 1) return json{{"center", {clon, clat}}, {"radius", radius}}.dump();
  json arr = json::array();
  for (auto &n : nodes)
    arr.push_back({n.first, n.second});
  return arr.dump();
}

double TSimZone::Perimeter() const {
  if (type_id == 1) return 2 * M_PI * radius;
  double p = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    auto &a = nodes[i];
    auto &b = nodes[(i + 1) % nodes.size()];
    p += DistanceM(a.second, a.first, b.second, b.first);
  }
  return p;
}

double TSimZone::Area() const {
  if (type_id == 1) return M_PI * radius * radius;
  if (nodes.size() < 3) return 0;
  // Local equirectangular projection around the first node: good enough for city-sized zones.
  double lat0 = nodes[0].second, lon0 = nodes[0].first;
  double kx = kMetresPerDegLat * std::cos(lat0 * M_PI / 180.0);
  double s = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    auto &a = nodes[i];
    auto &b = nodes[(i + 1) % nodes.size()];
    double xa = (a.first - lon0) * kx, ya = (a.second - lat0) * kMetresPerDegLat;
    double xb = (b.first - lon0) * kx, yb = (b.second - lat0) * kMetresPerDegLat;
    s += xa * yb - xb * ya;
  }
  return std::fabs(s) / 2;
}

void TSimWorld::EvaluateTraps(TSimObject &o, const TSimPoint *p) {
  for (auto &tp : fTraps) {
    TSimTrap &t = *tp;
    if (!t.Watches(o)) continue;
    bool held = false;
    std::string sval;
    switch (t.target_type_id) {
    case 1: {
      TSimZone *z = FindZone(t.target_id);
      if (!z) continue;
      bool inside = z->Contains(p->lat, p->lon);
      held = t.condition_id == 1 ? inside : !inside;
      sval = inside ? "in" : "out";
      break;
    }
    case 2: {
      const TSimSensor *s = nullptr;
      for (auto &si : o.sensors)
        if (si.uid == t.target_id) s = &si;
      if (!s) continue;
      sval = s->val;
      held = ConditionHolds(sval, t.condition_id, t.val);
      break;
    }
    case 4:
      sval = std::to_string(p->bat);
      held = ConditionHolds(sval, t.condition_id, t.val);
      break;
    case 5: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%g", p->speed);
      sval = buf;
      held = ConditionHolds(sval, t.condition_id, t.val);
      break;
    }
    default:
      continue;
    }
    RaiseOrComplete(t, o, held, sval);
  }
}

void TSimWorld::RaiseOrComplete(TSimTrap &t, TSimObject &o, bool held, const std::string &sval) {
  const TSimPoint *last = o.LastPoint();
  if (!last) return;
  // The first check only learns the state: a trap fires on a change, not on a standing condition.
  auto known = t.states.find(o.uid);
  if (known == t.states.end()) {
    t.states[o.uid].held = held;
    return;
  }
  TSimTrap::TState &st = known->second;
  if (held && !st.held) {
    auto e = std::make_unique<TSimEvent>();
    e->uid = fNextUid++;
    e->obj_id = o.uid;
    e->trap_id = t.uid;
    e->is_alarm = t.is_alarm;
    e->h = *last;
    e->h_sval = sval;
    st.openEvent = e->uid;
    if (t.is_alarm) Touch(o); // the list shows open alarms
    fEvents.push_back(std::move(e));
  } else if (!held && st.held && st.openEvent) {
    if (TSimEvent *e = FindEvent(st.openEvent)) {
      e->completed = true;
      e->c = *last;
      e->c_sval = sval;
    }
    st.openEvent = 0;
  }
  st.held = held;
}

TSimZone *TSimWorld::FindZone(int uid) {
  for (auto &z : fZones)
    if (z->uid == uid) return z.get();
  return nullptr;
}

TSimTrap *TSimWorld::FindTrap(int uid) {
  for (auto &t : fTraps)
    if (t->uid == uid) return t.get();
  return nullptr;
}

TSimEvent *TSimWorld::FindEvent(int64_t uid) {
  // events are appended with growing uids
  auto it =
      std::lower_bound(fEvents.begin(), fEvents.end(), uid,
                       [](const std::unique_ptr<TSimEvent> &e, int64_t v) { return e->uid < v; });
  return it != fEvents.end() && (*it)->uid == uid ? it->get() : nullptr;
}

TSimZone &TSimWorld::AddZone(int userUid) {
  auto z = std::make_unique<TSimZone>();
  z->uid = fNextUid++;
  z->user_id = userUid;
  fZones.push_back(std::move(z));
  return *fZones.back();
}

TSimTrap &TSimWorld::AddTrap(int userUid) {
  auto t = std::make_unique<TSimTrap>();
  t->uid = fNextUid++;
  t->user_id = userUid;
  fTraps.push_back(std::move(t));
  return *fTraps.back();
}

json TSimWorld::ZoneJson(const TSimZone &z) const {
  return json{{"uid", z.uid},
              {"user_id", z.user_id},
              {"name", z.name},
              {"desc", z.desc},
              {"type_id", z.type_id},
              {"color", z.color},
              {"geom", z.GeomText()},
              {"area", Round(z.Area(), 10)},
              {"perimeter", Round(z.Perimeter(), 10)},
              {"del_dt", nullptr}};
}

json TSimWorld::TrapJson(const TSimTrap &t) {
  return json{{"uid", t.uid},
              {"obj_id", t.obj_id},
              {"target_type_id", t.target_type_id},
              {"target_id", t.target_id},
              {"condition_id", t.condition_id},
              {"val", t.val},
              {"is_alarm", t.is_alarm},
              {"accept_type_id", t.accept_type_id},
              {"msg", t.msg},
              {"subj", t.subj},
              {"email", t.email},
              {"telegram", t.telegram}};
}

json TSimWorld::EventJson(const TSimEvent &e) {
  json j{{"uid", e.uid},
         {"obj_id", e.obj_id},
         {"trap_id", e.trap_id},
         {"is_alarm", e.is_alarm},
         {"h_point_id", e.h.uid},
         {"h_sys_dt", FormatUtc(e.h.sys_dt)},
         {"h_obj_dt", FormatUtc(e.h.obj_dt)},
         {"h_gps_dt", FormatUtc(e.h.gps_dt)},
         {"h_lat", e.h.lat},
         {"h_lon", e.h.lon},
         {"h_speed", e.h.speed},
         {"h_bat", e.h.bat},
         {"h_sval", e.h_sval},
         {"accept_dt", DateOrNull(e.accept_dt)},
         {"accept_msg", e.accept_msg}};
  if (e.completed) {
    j.update(json{{"c_point_id", e.c.uid},
                  {"c_sys_dt", FormatUtc(e.c.sys_dt)},
                  {"c_obj_dt", FormatUtc(e.c.obj_dt)},
                  {"c_gps_dt", FormatUtc(e.c.gps_dt)},
                  {"c_lat", e.c.lat},
                  {"c_lon", e.c.lon},
                  {"c_speed", e.c.speed},
                  {"c_bat", e.c.bat},
                  {"c_sval", e.c_sval}});
  } else {
    for (const char *k : {"c_point_id", "c_sys_dt", "c_obj_dt", "c_gps_dt", "c_lat", "c_lon",
                          "c_speed", "c_bat", "c_sval"})
      j[k] = nullptr;
  }
  return j;
}

} // namespace kelvra::sim
