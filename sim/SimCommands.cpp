// kelvra-sim: trips, and device commands: the device side answering them, their records and JSON.

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

namespace {

bool StartsWith(const std::string &s, const std::string &prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Names travel with "\s" for blanks (the sender removes every blank from its JSON text).
std::string UnescapeBlanks(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 's') {
      out += ' ';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

// An SSID read back from our own "get places" answer may still carry its JSON quotes.
std::string CleanSsid(const std::string &s) {
  std::string t = Trim(UnescapeBlanks(s));
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
  return t;
}

} // namespace

void TSimWorld::RunDevice(TSimCommand &c) {
  TSimObject *o = FindObject(c.obj_id);
  if (!o) return;
  c.resp_dt = fNow;
  c.response = DeviceAnswer(*o, c.txt, c.r_type);
}

std::string TSimWorld::PlacesAnswer(const TSimObject &o) const {
  std::string out;
  auto line = [&](const std::string &key, const json &j) { out += key + "=" + j.dump() + "\r\n"; };
  std::vector<std::string> known;
  for (size_t i = 0; i < o.places.size(); ++i) {
    line("place" + std::to_string(i),
         json{{"name", o.places[i].name}, {"ssid", o.places[i].ssids}});
    for (auto &s : o.places[i].ssids)
      known.push_back(s);
  }
  int n = 0;
  std::vector<std::pair<double, const TSimWifi *>> visible;
  for (auto &w : fWifi) {
    if (std::find(known.begin(), known.end(), w.ssid) != known.end()) {
      line("wifi" + std::to_string(n++),
           json{{"ssid", w.ssid}, {"bssid", w.bssid}, {"std", w.std}});
    } else {
      visible.push_back({DistanceM(o.lat, o.lon, w.lat, w.lon), &w});
    }
  }
  size_t nVisible = std::min<size_t>(5, visible.size());
  std::partial_sort(visible.begin(), visible.begin() + static_cast<long>(nVisible), visible.end(),
                    [](auto &a, auto &b) { return a.first < b.first; });
  for (size_t i = 0; i < nVisible; ++i) {
    auto *w = visible[i].second;
    line("vifi" + std::to_string(i), json{{"ssid", w->ssid}, {"bssid", w->bssid}, {"std", w->std}});
  }
  return out;
}

std::string TSimWorld::DeviceAnswer(TSimObject &o, const std::string &txt, std::string &type) {
  type = "text/plain; charset=utf-8";
  std::string cmd = Trim(txt);
  std::string low = Lower(cmd);
  auto args = [&](size_t skip) {
    std::vector<std::string> out;
    std::string rest = cmd.substr(std::min(skip, cmd.size()));
    size_t i = 0;
    while (i < rest.size()) {
      while (i < rest.size() && static_cast<unsigned char>(rest[i]) <= 32)
        ++i;
      size_t b = i;
      while (i < rest.size() && static_cast<unsigned char>(rest[i]) > 32)
        ++i;
      if (i > b) out.push_back(rest.substr(b, i - b));
    }
    return out;
  };

  if (low == "get config") {
    std::string out;
    for (auto &kv : o.config)
      out += kv.first + "=" + kv.second + "\r\n";
    return out;
  }
  if (StartsWith(low, "set config")) {
    std::string done, failed;
    for (auto &a : args(10)) {
      size_t eq = a.find('=');
      std::string key = a.substr(0, eq), val = eq == std::string::npos ? "" : a.substr(eq + 1);
      auto it =
          std::find_if(o.config.begin(), o.config.end(), [&](auto &kv) { return kv.first == key; });
      bool ok = it != o.config.end() && eq != std::string::npos;
      if (ok && key.size() >= 6 && key.compare(key.size() - 6, 6, "period") == 0) {
        int64_t secs;
        ok = ToInt64(val, secs) && secs > 0;
      } else if (ok && (it->second == "true" || it->second == "false")) {
        ok = val == "true" || val == "false";
      }
      if (ok) {
        it->second = val;
        done += " " + key + "=" + val;
      } else {
        failed += " " + a;
      }
    }
    if (done.empty() && failed.empty()) return "error: nothing to set\r\n";
    std::string out = done.empty() ? "" : "ok:" + done + "\r\n";
    if (!failed.empty()) out += "error: not accepted:" + failed + "\r\n";
    return out;
  }
  if (low == "get places") return PlacesAnswer(o);
  bool set = StartsWith(low, "set places"), add = StartsWith(low, "add places");
  if (set || add) {
    std::vector<TSimPlace> parsed;
    for (auto &a : args(10)) {
      size_t eq = a.find('=');
      if (eq == std::string::npos || !StartsWith(Lower(a), "place")) continue;
      json j = json::parse(a.substr(eq + 1), nullptr, false);
      if (!j.is_object() || !j.contains("name") || !j["name"].is_string()) continue;
      TSimPlace pl;
      pl.name = UnescapeBlanks(j["name"].get<std::string>());
      auto addSsid = [&](const json &v) {
        if (!v.is_string()) return;
        std::string s = CleanSsid(v.get<std::string>());
        if (!s.empty() && std::find(pl.ssids.begin(), pl.ssids.end(), s) == pl.ssids.end())
          pl.ssids.push_back(s);
      };
      if (j.contains("ssid") && j["ssid"].is_array())
        for (auto &v : j["ssid"])
          addSsid(v);
      if (j.contains("wifi") && j["wifi"].is_array())
        for (auto &w : j["wifi"])
          if (w.is_object() && w.contains("ssid")) addSsid(w["ssid"]);
      if (!pl.name.empty() && !pl.ssids.empty()) parsed.push_back(std::move(pl));
    }
    if (parsed.empty()) return "error: no valid place\r\n";
    if (set)
      o.places = parsed;
    else
      o.places.insert(o.places.end(), parsed.begin(), parsed.end());
    return "ok: " + std::to_string(parsed.size()) + (set ? " places set" : " places added") +
           "\r\n";
  }
  if (low == "get info")
    return "model=" + o.model + "\r\nhw=" + o.hw_info + "\r\nsw=" + o.sw_ver +
           "\r\nimei=" + o.imei + "\r\n";
  if (low == "reboot") return "ok: rebooting\r\n";
  if (low == "get photo" && !o.image.empty()) {
    type = o.image_type;
    return o.image;
  }
  return "error: unknown command\r\n";
}

TSimTrip *TSimWorld::FindTrip(int uid) {
  for (auto &t : fTrips)
    if (t->uid == uid) return t.get();
  return nullptr;
}

TSimCommand *TSimWorld::FindCommand(int64_t uid) {
  for (auto &c : fCommands)
    if (c->uid == uid) return c.get();
  return nullptr;
}

TSimTrip &TSimWorld::StartTrip(TSimObject &o, const std::string &name) {
  // A trip planned for the object (status 0) is the one that starts.
  TSimTrip *planned = FindTrip(o.trip_id);
  if (planned && planned->status == 0) {
    if (!name.empty()) planned->name = name;
    planned->status = 1;
    planned->start_dt = fNow;
    if (o.LastPoint()) planned->start_pid = o.LastPoint()->uid;
    Touch(o);
    return *planned;
  }
  auto t = std::make_unique<TSimTrip>();
  t->uid = fNextUid++;
  t->obj_id = o.uid;
  t->name = name;
  t->status = 1;
  t->created = t->start_dt = fNow;
  if (o.LastPoint()) t->start_pid = o.LastPoint()->uid;
  char tok[16];
  std::snprintf(tok, sizeof tok, "%08x", static_cast<unsigned>(fTokenRng()));
  t->token = tok;
  o.trip_id = t->uid;
  Touch(o);
  fTrips.push_back(std::move(t));
  return *fTrips.back();
}

void TSimWorld::StopTrip(TSimObject &o) {
  if (TSimTrip *t = FindTrip(o.trip_id)) {
    t->status = 2;
    t->stop_dt = fNow;
    if (o.LastPoint()) t->stop_pid = o.LastPoint()->uid;
  }
  Touch(o); // the object keeps its finished trip (status 2) until the next one starts
}

TSimCommand &TSimWorld::SendCommand(TSimObject &o, const std::string &txt) {
  auto c = std::make_unique<TSimCommand>();
  c->uid = fNextUid++;
  c->obj_id = o.uid;
  c->txt = txt;
  c->create_dt = fNow;
  fPending.push_back(c.get());
  fCommands.push_back(std::move(c));
  return *fCommands.back();
}

json TSimWorld::TripJson(const TSimTrip &t) const {
  json points = json::array(), events = json::array();
  double dist = 0, maxSpeed = 0;
  int64_t count = 0;
  int64_t to = t.stop_dt > 0 ? t.stop_dt : fNow;
  for (auto &op : fObjects) {
    if (op->uid != t.obj_id || t.status == 0) continue; // a trip not started has no points
    bool first = true;
    double prevLat = 0, prevLon = 0;
    ForEachPoint(*op, t.start_dt, to, false, [&](const TSimPoint &p) {
      if (!first) dist += DistanceM(prevLat, prevLon, p.lat, p.lon);
      first = false;
      prevLat = p.lat;
      prevLon = p.lon;
      maxSpeed = std::max(maxSpeed, p.speed);
      points.push_back(PointJson(p, false));
      ++count;
    });
  }
  for (auto &e : fEvents)
    if (t.status != 0 && e->obj_id == t.obj_id && e->h.sys_dt >= t.start_dt && e->h.sys_dt <= to)
      events.push_back(EventJson(*e));
  return json{{"uid", t.uid},
              {"obj_id", t.obj_id},
              {"name", t.name},
              {"status", t.status},
              {"start_dt", DateOrNull(t.start_dt)},
              {"start_pid", t.start_pid},
              {"stop_dt", DateOrNull(t.stop_dt)},
              {"stop_pid", t.stop_pid},
              {"points_count", count},
              {"distance", Round(dist, 10)}, // metres
              {"max_speed", maxSpeed},
              {"is_public", t.is_public},
              {"token", t.token},
              {"points", points},
              {"events", events}};
}

json TSimWorld::CommandJson(const TSimCommand &c) {
  return json{{"uid", c.uid},
              {"obj_id", c.obj_id},
              {"txt", c.txt},
              {"create_dt", DateOrNull(c.create_dt)},
              {"send_dt", DateOrNull(c.send_dt)},
              {"r_type", c.resp_dt ? c.r_type : ""},
              {"r_size", c.resp_dt ? static_cast<int64_t>(c.response.size()) : 0},
              {"resp_dt", DateOrNull(c.resp_dt)}};
}

} // namespace kelvra::sim
