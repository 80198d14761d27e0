// The substitute service's zones (with their visit history), alarm rules and events.
#include <algorithm>
#include <cstdint>
#include <set>

#include "sim/SimApiParts.h"
#include "sim/SimUtil.h"

namespace kelvra::sim::api {

// ---- zones

static bool ReadGeom(TSimZone &z, int type, const std::string &text, R &err) {
  json j = json::parse(text, nullptr, false);
  auto coordOk = [](const json &p) {
    return p.is_array() && p.size() >= 2 && p[0].is_number() && p[1].is_number() &&
           std::abs(p[0].get<double>()) <= 180 && std::abs(p[1].get<double>()) <= 90;
  };
  if (type == 1) {
    if (!j.is_object() || !j.contains("center") || !coordOk(j["center"]) || !j.contains("radius") ||
        !j["radius"].is_number() || j["radius"].get<double>() <= 0) {
      err = R::Error(400, "a circle needs {\"center\":[lon,lat],\"radius\":metres}");
      return false;
    }
    z.clon = j["center"][0].get<double>();
    z.clat = j["center"][1].get<double>();
    z.radius = j["radius"].get<double>();
    z.nodes.clear();
  } else {
    if (!j.is_array() || j.size() < 3 || !std::all_of(j.begin(), j.end(), coordOk)) {
      err = R::Error(400, "a polygon needs at least three [lon,lat] nodes");
      return false;
    }
    z.nodes.clear();
    for (auto &p : j)
      z.nodes.push_back({p[0].get<double>(), p[1].get<double>()});
  }
  z.type_id = type;
  return true;
}

static bool ApplyZoneFields(TSimZone &z, const TApiRequest &r, bool creating, R &err) {
  TSimZone next = z;
  if (r.Has("name")) next.name = Trim(r.Param("name"));
  if (next.name.empty()) {
    err = R::Error(400, "name is required");
    return false;
  }
  if (r.Has("desc")) next.desc = r.Param("desc");
  if (r.Has("color")) {
    next.color = UpperColor(Trim(r.Param("color")));
    if (!ValidColor(next.color)) {
      err = R::Error(400, "color must be #RRGGBB");
      return false;
    }
  }
  int64_t type = next.type_id;
  if ((creating || r.Has("type_id")) &&
      (!ToInt64(r.Param("type_id"), type) || (type != 1 && type != 2))) {
    err = R::Error(400, "type_id must be 1 (circle) or 2 (polygon)");
    return false;
  }
  if (creating || r.Has("geom") || type != next.type_id) {
    if (!ReadGeom(next, static_cast<int>(type), r.Param("geom"), err)) return false;
  }
  z = next;
  return true;
}

R GetZones(TSimWorld &w, TApiRequest &r) {
  json arr = json::array();
  for (auto &z : w.fZones)
    if (z->user_id == r.user->uid) arr.push_back(w.ZoneJson(*z));
  return R::Json(200, arr);
}

static TSimZone *OwnZone(TSimWorld &w, const TApiRequest &r, R &err) {
  TSimZone *z = w.FindZone(PathUid(r));
  if (!z || z->user_id != r.user->uid) {
    err = R::Error(404, "zone not found");
    return nullptr;
  }
  return z;
}

R CreateZone(TSimWorld &w, TApiRequest &r) {
  TSimZone probe;
  probe.user_id = r.user->uid;
  R err;
  if (!ApplyZoneFields(probe, r, true, err)) return err;
  TSimZone &z = w.AddZone(r.user->uid);
  int uid = z.uid;
  z = probe;
  z.uid = uid;
  return R::Json(200, w.ZoneJson(z));
}

R UpdateZone(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimZone *z = OwnZone(w, r, err);
  if (!z || !ApplyZoneFields(*z, r, false, err)) return err;
  for (auto &t : w.fTraps) // the geometry changed: zone traps learn their state anew
    if (t->target_type_id == 1 && t->target_id == z->uid) t->states.clear();
  return R::Json(200, w.ZoneJson(*z));
}

R DeleteZone(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimZone *z = OwnZone(w, r, err);
  if (!z) return err;
  for (auto &t : w.fTraps)
    if (t->target_type_id == 1 && t->target_id == z->uid)
      return R::Error(409, "the zone is used by trap " + std::to_string(t->uid));
  int uid = z->uid;
  std::erase_if(w.fZones, [uid](auto &p) { return p->uid == uid; });
  return R::NoContent();
}

R ZoneHistory(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimZone *z = OwnZone(w, r, err);
  int64_t from, to;
  if (!z || !ReadPeriod(r, from, to, err)) return err;
  bool sensors = r.Param("mode") == "1", byReception = r.Param("tmode") == "1";
  std::vector<TSimPoint> pts;
  for (auto &o : w.fObjects)
    if (w.Visible(*o, *r.user))
      w.ForEachPoint(*o, from, to, byReception, [&](const TSimPoint &p) {
        if (z->Contains(p.lat, p.lon)) pts.push_back(p);
      });
  std::stable_sort(pts.begin(), pts.end(),
                   [](const TSimPoint &a, const TSimPoint &b) { return a.obj_dt < b.obj_dt; });
  TPointArray arr(sensors);
  for (const TSimPoint &p : pts)
    arr.Add(p);
  return arr.Reply();
}

// ---- traps

static bool ApplyTrapFields(TSimWorld &w, TSimTrap &t, const TApiRequest &r, R &err) {
  TSimTrap next = t;
  auto readInt = [&](const char *key, int &field) {
    if (!r.Has(key)) return true;
    int64_t v;
    if (!ToInt64(r.Param(key), v) || v < 0 || v > 1000000000) {
      err = R::Error(400, std::string("invalid ") + key);
      return false;
    }
    field = static_cast<int>(v);
    return true;
  };
  auto readBool = [&](const char *key, bool &field) {
    if (!r.Has(key) || ReadBool(r.Param(key), field)) return true;
    err = R::Error(400, std::string(key) + " must be true or false");
    return false;
  };
  if (!readInt("obj_id", next.obj_id) || !readInt("target_type_id", next.target_type_id) ||
      !readInt("target_id", next.target_id) || !readInt("condition_id", next.condition_id) ||
      !readInt("accept_type_id", next.accept_type_id) || !readBool("is_alarm", next.is_alarm) ||
      !readBool("email", next.email) || !readBool("telegram", next.telegram))
    return false;
  if (r.Has("val")) next.val = Trim(r.Param("val"));
  if (r.Has("msg")) next.msg = r.Param("msg");
  if (r.Has("subj")) next.subj = r.Param("subj");
  // obj_id 0 makes a general trap that watches every object of the user; a sensor is always
  // one object's.
  TSimObject *o = w.FindObject(next.obj_id);
  if (next.obj_id == 0 ? next.target_type_id == 2 : !o || !w.Visible(*o, *r.user)) {
    err = R::Error(400, "obj_id names no object of the user");
    return false;
  }
  if (next.target_type_id < 1 || next.target_type_id > 5) {
    err = R::Error(400, "target_type_id must be 1 to 5");
    return false;
  }
  if (next.target_type_id == 1) {
    TSimZone *z = w.FindZone(next.target_id);
    if (!z || z->user_id != r.user->uid) {
      err = R::Error(400, "target_id names no zone of the user");
      return false;
    }
  } else {
    if (next.target_type_id == 2 &&
        std::none_of(o->sensors.begin(), o->sensors.end(),
                     [&](auto &s) { return s.uid == next.target_id; })) {
      err = R::Error(400, "target_id names no sensor of the object");
      return false;
    }
    if (next.condition_id < 1 || next.condition_id > 7) {
      err = R::Error(400, "condition_id must be 1 to 7");
      return false;
    }
    if (next.val.empty()) {
      err = R::Error(400, "val is required");
      return false;
    }
  }
  next.states.clear(); // a changed rule learns its state anew
  t = next;
  return true;
}

static TSimTrap *OwnTrap(TSimWorld &w, const TApiRequest &r, R &err) {
  TSimTrap *t = w.FindTrap(PathUid(r));
  if (!t || t->user_id != r.user->uid) {
    err = R::Error(404, "trap not found");
    return nullptr;
  }
  return t;
}

R GetTraps(TSimWorld &w, TApiRequest &r) {
  json arr = json::array();
  for (auto &t : w.fTraps)
    if (t->user_id == r.user->uid) arr.push_back(TSimWorld::TrapJson(*t));
  return R::Json(200, arr);
}

R GetTrap(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimTrap *t = OwnTrap(w, r, err);
  return t ? R::Json(200, TSimWorld::TrapJson(*t)) : err;
}

R CreateTrap(TSimWorld &w, TApiRequest &r) {
  TSimTrap probe;
  probe.user_id = r.user->uid;
  R err;
  if (!ApplyTrapFields(w, probe, r, err)) return err;
  TSimTrap &t = w.AddTrap(r.user->uid);
  int uid = t.uid;
  t = probe;
  t.uid = uid;
  return R::Json(200, TSimWorld::TrapJson(t));
}

R UpdateTrap(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimTrap *t = OwnTrap(w, r, err);
  if (!t || !ApplyTrapFields(w, *t, r, err)) return err;
  return R::Json(200, TSimWorld::TrapJson(*t));
}

R DeleteTrap(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimTrap *t = OwnTrap(w, r, err);
  if (!t) return err;
  int uid = t->uid;
  std::erase_if(w.fTraps, [uid](auto &p) { return p->uid == uid; });
  return R::NoContent();
}

// ---- events

R GetEvents(TSimWorld &w, TApiRequest &r) {
  R err;
  int64_t from, to;
  if (!ReadPeriod(r, from, to, err)) return err;
  std::set<int> visible = VisibleUids(w, *r.user);
  json arr = json::array();
  for (auto &e : w.fEvents)
    if (e->h.sys_dt >= from && e->h.sys_dt <= to && visible.count(e->obj_id))
      arr.push_back(TSimWorld::EventJson(*e));
  return R::Json(200, arr);
}

R AcceptEvent(TSimWorld &w, TApiRequest &r) {
  TSimEvent *e = w.FindEvent(PathId(r));
  TSimObject *o = e ? w.FindObject(e->obj_id) : nullptr;
  if (!e || !o || !w.Visible(*o, *r.user)) return R::Error(404, "event not found");
  if (e->accept_dt != 0) return R::Error(409, "the event is already accepted");
  e->accept_dt = w.Now();
  e->accept_msg = r.Param("msg");
  if (e->is_alarm) w.Touch(*o); // its open alarms changed
  return R::NoContent();
}

} // namespace kelvra::sim::api
