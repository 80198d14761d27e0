#include "sim/SimApi.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>

#include "sim/SimApiParts.h"
#include "sim/SimTiles.h"
#include "sim/SimUtil.h"

namespace kelvra::sim {

std::string TApiRequest::Param(const std::string &key) const {
  auto it = form.find(key);
  if (it != form.end()) return it->second;
  it = query.find(key);
  return it != query.end() ? it->second : std::string();
}

bool TApiRequest::Has(const std::string &key) const {
  return form.count(key) != 0 || query.count(key) != 0;
}

TApiReply TApiReply::Json(int status, const json &j) {
  TApiReply r;
  r.status = status;
  // Texts users typed may hold broken UTF-8; replace such bytes rather than fail the reply.
  r.body = j.dump(-1, ' ', false, json::error_handler_t::replace);
  return r;
}

TApiReply TApiReply::Error(int status, const std::string &text) {
  return Json(status, json{{"text", text}});
}

TApiReply TApiReply::NoContent() {
  TApiReply r;
  r.status = 204;
  r.contentType.clear();
  return r;
}

namespace api {

int64_t PathId(const TApiRequest &r, size_t i) {
  int64_t v = 0;
  if (i < r.match.size() && ToInt64(r.match[i], v)) return v;
  return -1;
}

// Objects, zones and traps have 32-bit ids: a larger number names none of them (it must not wrap
// onto another one).
int PathUid(const TApiRequest &r) {
  int64_t v = PathId(r);
  return v >= 0 && v <= INT32_MAX ? static_cast<int>(v) : -1;
}

bool ValidColor(const std::string &c) {
  if (c.size() != 7 || c[0] != '#') return false;
  return std::all_of(c.begin() + 1, c.end(),
                     [](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)) != 0; });
}

std::string UpperColor(std::string c) {
  for (char &ch : c)
    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return c;
}

// "true"/"1" and "false"/"0"; false when the text is neither.
bool ReadBool(const std::string &s, bool &v) {
  std::string t = Trim(s);
  if (t == "true" || t == "1")
    v = true;
  else if (t == "false" || t == "0")
    v = false;
  else
    return false;
  return true;
}

bool ReadPeriod(const TApiRequest &r, int64_t &from, int64_t &to, R &err) {
  if (!ParseUtc(r.Param("from"), from) || !ParseUtc(r.Param("to"), to)) {
    err = R::Error(400, "from and to are required as yyyy-mm-ddThh:nn:ssZ");
    return false;
  }
  if (from > to) {
    err = R::Error(400, "from is later than to");
    return false;
  }
  return true;
}

TSimObject *VisibleObject(TSimWorld &w, const TApiRequest &r, R &err) {
  TSimObject *o = w.FindObject(PathUid(r));
  if (!o || !w.Visible(*o, *r.user)) {
    err = R::Error(404, "object not found");
    return nullptr;
  }
  return o;
}

TSimObject *OwnObject(TSimWorld &w, const TApiRequest &r, R &err) {
  TSimObject *o = VisibleObject(w, r, err);
  if (o && o->user_id != r.user->uid) {
    err = R::Error(403, "the object belongs to another user");
    return nullptr;
  }
  return o;
}

std::set<int> VisibleUids(TSimWorld &w, const TSimUser &u) {
  std::set<int> out;
  for (auto &o : w.fObjects)
    if (w.Visible(*o, u)) out.insert(o->uid);
  return out;
}

} // namespace api

namespace {

using namespace api;

json UserWithToken(TSimWorld &w, const TSimUser &u, const std::string &token) {
  json j = w.UserJson(u);
  j["apiToken"] = token;
  return j;
}

// ---- account

R Login(TSimWorld &w, TApiRequest &r) {
  TSimUser *u = w.FindUser(r.Param("uname"));
  if (!u || u->password != r.Param("upass")) return R::Error(406, "unknown user or wrong password");
  std::string token = w.IssueToken(u->uid, true);
  R ok = R::Json(200, UserWithToken(w, *u, token));
  ok.headers.push_back({"Set-Cookie", std::string(kSessionCookie) + "=" + w.SessionOf(token) +
                                          "; Path=/; HttpOnly"});
  return ok;
}

TSimUser *UserByLoginOrEmail(TSimWorld &w, const std::string &login) {
  if (TSimUser *u = w.FindUser(login)) return u;
  for (auto &u : w.fUsers)
    if (!login.empty() && u->email == login) return u.get();
  return nullptr;
}

R Register(TSimWorld &w, TApiRequest &r) {
  std::string login = Trim(r.Param("login"));
  if (login.empty()) return R::Error(400, "login is required");
  if (UserByLoginOrEmail(w, login)) return R::Error(409, "the address is already registered");
  auto u = std::make_unique<TSimUser>();
  int uid = 1;
  for (auto &x : w.fUsers)
    uid = std::max(uid, x->uid + 1);
  u->uid = uid;
  u->login = login;
  u->email = login.find('@') != std::string::npos ? login : "";
  // The real service mails a password; here every new account starts with this one.
  u->password = "welcome";
  w.fUsers.push_back(std::move(u));
  return R::NoContent();
}

R Recovery(TSimWorld &w, TApiRequest &r) {
  if (!UserByLoginOrEmail(w, Trim(r.Param("login")))) return R::Error(406, "unknown user");
  return R::NoContent();
}

R GetUser(TSimWorld &w, TApiRequest &r) { return R::Json(200, UserWithToken(w, *r.user, r.token)); }

R UpdateUser(TSimWorld &w, TApiRequest &r) {
  TSimUser next = *r.user;
  if (r.Has("name")) next.name = Trim(r.Param("name"));
  if (r.Has("email")) {
    next.email = Trim(r.Param("email"));
    if (!next.email.empty() && next.email.find('@') == std::string::npos)
      return R::Error(400, "invalid e-mail address");
    for (auto &u : w.fUsers)
      if (u->uid != next.uid && !next.email.empty() && u->email == next.email)
        return R::Error(409, "the address is already taken");
  }
  if (r.Has("t_chat_id") && (!ToInt64(r.Param("t_chat_id"), next.t_chat_id) || next.t_chat_id < 0))
    return R::Error(400, "invalid t_chat_id");
  if (r.Has("password")) {
    next.password = r.Param("password");
    if (next.password.empty()) return R::Error(400, "empty password");
  }
  if (r.Has("tz") &&
      (!ToInt64(r.Param("tz"), next.tz) || next.tz < -14 * 3600 || next.tz > 14 * 3600))
    return R::Error(400, "invalid tz");
  if (r.Has("lang")) next.lang = Trim(r.Param("lang"));
  *r.user = next;
  return R::Json(200, UserWithToken(w, *r.user, r.token));
}

// ---- objects

R GetObjects(TSimWorld &w, TApiRequest &r) {
  int64_t since = -1;
  if (r.Has("dt") && !ParseUtc(r.Param("dt"), since))
    return R::Error(400, "dt must be yyyy-mm-ddThh:nn:ssZ");
  json list = json::array();
  auto index = w.IndexObjects();
  for (auto &o : w.fObjects)
    if (w.Visible(*o, *r.user) && (since < 0 || w.ChangedSince(*o, since, r.token)))
      list.push_back(w.ObjectJson(*o, *r.user, index));
  w.NoteList(r.token);
  return R::Json(200, json{{"dt", FormatUtc(w.Now())}, {"objects", list}});
}

R GetObject(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = VisibleObject(w, r, err);
  return o ? R::Json(200, w.ObjectJson(*o, *r.user)) : err;
}

// Applies the editable fields of an object; an error reply when one is invalid (nothing changes).
bool ApplyObjectFields(TSimWorld &w, TSimObject &o, const TApiRequest &r, R &err) {
  TSimObject next;
  next.name = o.name;
  next.track_color = o.track_color;
  next.users_list = o.users_list;
  next.is_deleted = o.is_deleted;
  if (r.Has("name")) {
    next.name = Trim(r.Param("name"));
    if (next.name.empty()) {
      err = R::Error(400, "name is required");
      return false;
    }
  }
  if (r.Has("track_color")) {
    next.track_color = UpperColor(Trim(r.Param("track_color")));
    if (!ValidColor(next.track_color)) {
      err = R::Error(400, "track_color must be #RRGGBB");
      return false;
    }
  }
  if (r.Has("users_list")) next.users_list = Trim(r.Param("users_list"));
  if (r.Has("is_deleted") && !ReadBool(r.Param("is_deleted"), next.is_deleted)) {
    err = R::Error(400, "is_deleted must be 1 or 0");
    return false;
  }
  o.name = next.name;
  o.track_color = next.track_color;
  o.users_list = next.users_list;
  if (next.is_deleted != o.is_deleted) {
    o.is_deleted = next.is_deleted;
    o.del_dt = o.is_deleted ? w.Now() : 0;
  }
  w.Touch(o);
  return true;
}

R CreateObject(TSimWorld &w, TApiRequest &r) {
  std::string id = Trim(r.Param("id"));
  if (id.empty()) return R::Error(400, "id is required");
  for (auto &o : w.fObjects)
    if (o->id == id) return R::Error(409, "the device id is already registered");
  TSimObject probe;
  probe.name = id;
  probe.track_color = "#FF0000";
  R err;
  if (!ApplyObjectFields(w, probe, r, err)) return err;
  TSimObject &o = w.AddObject(r.user->uid, id);
  o.name = probe.name;
  o.track_color = probe.track_color;
  o.users_list = probe.users_list;
  return R::Json(200, w.ObjectJson(o, *r.user));
}

R UpdateObject(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = OwnObject(w, r, err);
  if (!o) return err;
  if (!ApplyObjectFields(w, *o, r, err)) return err;
  return R::Json(200, w.ObjectJson(*o, *r.user));
}

R DeleteObject(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = OwnObject(w, r, err);
  if (!o) return err;
  if (!o->is_deleted) return R::Error(409, "mark the object deleted first");
  w.RemoveObject(o->uid);
  return R::NoContent();
}

R GetPhoto(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = VisibleObject(w, r, err);
  if (!o) return err;
  if (o->image.empty()) return R::Error(404, "the object has no photo");
  R ok;
  ok.body = o->image;
  ok.contentType = o->image_type;
  return ok;
}

R PostPhoto(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = OwnObject(w, r, err);
  if (!o) return err;
  const std::string &b = r.body;
  if (b.empty()) return R::Error(400, "no image data");
  if (b.size() > 5 * 1024 * 1024) return R::Error(413, "the image is larger than 5 MB");
  std::string type;
  if (b.size() > 8 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0)
    type = "image/png";
  else if (b.size() > 3 && static_cast<unsigned char>(b[0]) == 0xFF &&
           static_cast<unsigned char>(b[1]) == 0xD8 && static_cast<unsigned char>(b[2]) == 0xFF)
    type = "image/jpeg";
  else
    return R::Error(415, "only PNG and JPEG images are accepted");
  o->image = b;
  o->image_type = type;
  o->image_dt = w.Now();
  w.Touch(*o);
  return R::NoContent();
}

R DeletePhoto(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = OwnObject(w, r, err);
  if (!o) return err;
  if (o->image.empty()) return R::Error(404, "the object has no photo");
  o->image.clear();
  o->image_type.clear();
  o->image_dt = 0;
  w.Touch(*o);
  return R::NoContent();
}

// ---- tracks and trips

R GetTrack(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = VisibleObject(w, r, err);
  int64_t from, to;
  if (!o || !ReadPeriod(r, from, to, err)) return err;
  bool sensors = r.Param("mode") == "1", byReception = r.Param("tmode") == "1";
  TPointArray arr(sensors);
  w.ForEachPoint(*o, from, to, byReception, [&](const TSimPoint &p) { arr.Add(p); });
  return arr.Reply();
}

R GetTrips(TSimWorld &w, TApiRequest &r) {
  R err;
  int64_t from, to;
  if (!ReadPeriod(r, from, to, err)) return err;
  std::set<int> visible = VisibleUids(w, *r.user);
  json arr = json::array();
  for (auto &t : w.fTrips)
    if (visible.count(t->obj_id) && (t->status == 0 ? t->created <= to : t->start_dt <= to) &&
        (t->stop_dt == 0 || t->stop_dt >= from))
      arr.push_back(w.TripJson(*t));
  return arr.empty() ? R::NoContent() : R::Json(200, arr);
}

R StartTrip(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = VisibleObject(w, r, err);
  if (!o) return err;
  if (o->is_deleted) return R::Error(409, "the object is deleted");
  TSimTrip *current = w.FindTrip(o->trip_id);
  if (current && current->status == 1) return R::Error(409, "a trip is already running");
  std::string name = Trim(r.Param("name"));
  if (name.empty()) name = "trip_" + FormatUtc(w.Now());
  return R::Json(200, w.TripJson(w.StartTrip(*o, name)));
}

R StopTrip(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = VisibleObject(w, r, err);
  if (!o) return err;
  TSimTrip *current = w.FindTrip(o->trip_id);
  if (!current || current->status != 1) return R::Error(409, "no trip is running");
  w.StopTrip(*o);
  return R::NoContent();
}

// ---- commands

R GetCommandLog(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = VisibleObject(w, r, err);
  if (!o) return err;
  int64_t count = 10;
  if (r.Has("count") && (!ToInt64(r.Param("count"), count) || count < 1 || count > 1000))
    return R::Error(400, "count must be 1 to 1000");
  std::string txt = Trim(r.Param("txt"));
  auto lower = [](std::string s) {
    for (char &c : s)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  std::string want = lower(txt);
  std::vector<const TSimCommand *> found;
  for (auto &c : w.fCommands)
    if (c->obj_id == o->uid && lower(c->txt).compare(0, want.size(), want) == 0)
      found.push_back(c.get());
  std::sort(found.begin(), found.end(), [](auto *a, auto *b) {
    return a->create_dt != b->create_dt ? a->create_dt > b->create_dt : a->uid > b->uid;
  });
  if (found.size() > static_cast<size_t>(count)) found.resize(static_cast<size_t>(count));
  json arr = json::array();
  for (auto *c : found)
    arr.push_back(TSimWorld::CommandJson(*c));
  return R::Json(200, arr);
}

R GetCommandResponse(TSimWorld &w, TApiRequest &r) {
  TSimCommand *c = w.FindCommand(PathId(r));
  TSimObject *o = c ? w.FindObject(c->obj_id) : nullptr;
  if (!c || !o || !w.Visible(*o, *r.user)) return R::Error(404, "command not found");
  if (c->resp_dt == 0) return R::NoContent();
  R ok;
  ok.body = c->response;
  ok.contentType = c->r_type;
  return ok;
}

R SendCommand(TSimWorld &w, TApiRequest &r) {
  R err;
  TSimObject *o = VisibleObject(w, r, err);
  if (!o) return err;
  // The command is the whole body as the client typed it, not a form.
  std::string txt = Trim(r.body);
  if (txt.empty()) return R::Error(400, "empty command");
  if (txt.size() > 4000) return R::Error(400, "the command is longer than 4000 bytes");
  if (o->is_deleted) return R::Error(409, "the object is deleted");
  return R::Json(200, TSimWorld::CommandJson(w.SendCommand(*o, txt)));
}

// ---- lookups

R GetWifi(TSimWorld &w, TApiRequest &r) {
  double minLat, minLon, maxLat, maxLon;
  if (!ToDouble(r.Param("minlat"), minLat) || !ToDouble(r.Param("minlon"), minLon) ||
      !ToDouble(r.Param("maxlat"), maxLat) || !ToDouble(r.Param("maxlon"), maxLon))
    return R::Error(400, "minlat, minlon, maxlat and maxlon are required");
  if (minLat > maxLat || minLon > maxLon) return R::Error(400, "the box is empty");
  json arr = json::array();
  for (auto &ap : w.fWifi)
    if (ap.lat >= minLat && ap.lat <= maxLat && ap.lon >= minLon && ap.lon <= maxLon)
      arr.push_back({{"ssid", ap.ssid},
                     {"bssid", ap.bssid},
                     {"std", ap.std},
                     {"lat", ap.lat},
                     {"lon", ap.lon}});
  return R::Json(200, arr);
}

R OsmLookup(TSimWorld &, TApiRequest &r) {
  std::string ids = r.Param("ids");
  if (Trim(ids).empty()) return R::Error(400, "ids are required");
  json arr = json::array();
  size_t pos = 0, n = 0;
  while (pos <= ids.size() && n < 1000) {
    size_t comma = ids.find(',', pos);
    if (comma == std::string::npos) comma = ids.size();
    std::string id = Trim(ids.substr(pos, comma - pos));
    std::string address = TSimWorld::AddressOf(id);
    if (!address.empty()) arr.push_back({{"osm_id", id}, {"address", address}});
    pos = comma + 1;
    ++n;
  }
  return R::Json(200, arr);
}

R GetTile(TSimWorld &, TApiRequest &r) {
  int64_t z = PathId(r, 0), x = PathId(r, 1), y = PathId(r, 2);
  const std::string style = r.path.rfind("/tiles-topo/", 0) == 0 ? "topo" : "standard";
  std::string png = RenderTile(z, x, y, style);
  if (png.empty()) {
    R nf;
    nf.status = 404;
    nf.body = "no such tile\n";
    nf.contentType = "text/plain";
    return nf;
  }
  // Caching as the public tile servers do it: a tag per picture, a lifetime, and 304 for a
  // client whose copy is still the one served.
  R ok;
  const std::string etag = TileETag(png);
  ok.headers = {{"ETag", etag},
                {"Last-Modified", kTileLastModified},
                {"Cache-Control", "max-age=" + std::to_string(TileMaxAge())}};
  if (TileNotModified(etag, r.ifNoneMatch, r.ifModifiedSince)) {
    ok.status = 304;
    ok.contentType.clear();
    return ok;
  }
  ok.body = std::move(png);
  ok.contentType = "image/png";
  return ok;
}

} // namespace

std::string CookieValue(const std::string &header, const std::string &name) {
  size_t pos = 0;
  while (pos < header.size()) {
    size_t end = header.find(';', pos);
    if (end == std::string::npos) end = header.size();
    std::string pair = Trim(header.substr(pos, end - pos));
    size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.compare(0, eq, name) == 0 && eq == name.size())
      return pair.substr(eq + 1);
    pos = end + 1;
  }
  return {};
}

bool MatchRoute(const std::string &pattern, const std::string &path,
                std::vector<std::string> &groups) {
  groups.clear();
  size_t p = 0, t = 0;
  for (;;) {
    size_t pe = pattern.find('/', p), te = path.find('/', t);
    std::string ps = pattern.substr(p, pe == std::string::npos ? std::string::npos : pe - p);
    std::string ts = path.substr(t, te == std::string::npos ? std::string::npos : te - t);
    if (!ps.empty() && ps[0] == '#') {
      std::string suffix = ps.substr(1);
      if (ts.size() <= suffix.size() ||
          ts.compare(ts.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
      std::string digits = ts.substr(0, ts.size() - suffix.size());
      if (digits.size() > 18 ||
          !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
      groups.push_back(digits);
    } else if (ps != ts) {
      return false;
    }
    if ((pe == std::string::npos) != (te == std::string::npos)) return false;
    if (pe == std::string::npos) return true;
    p = pe + 1;
    t = te + 1;
  }
}

std::vector<TApiRoute> MakeApiRoutes() {
  const std::string v1 = "/api/v1";
  const std::string id = "#";
  std::vector<TApiRoute> routes;
  auto add = [&](const char *method, const std::string &path, TApiHandler h, bool token = true) {
    routes.push_back(TApiRoute{method, path, token, true, std::move(h)});
  };
  add("POST", v1 + "/user/login", Login, false);
  add("POST", v1 + "/user/reg", Register, false);
  add("POST", v1 + "/user/recovery", Recovery, false);
  add("GET", v1 + "/user", GetUser);
  add("PUT", v1 + "/user", UpdateUser);
  add("GET", v1 + "/user/objects", GetObjects);
  add("GET", v1 + "/user/zones", GetZones);
  add("GET", v1 + "/user/traps", GetTraps);
  add("GET", v1 + "/user/events", GetEvents);
  add("GET", v1 + "/user/trips", GetTrips);
  add("POST", v1 + "/object", CreateObject);
  add("POST", v1 + "/object/", CreateObject);
  add("GET", v1 + "/object/" + id, GetObject);
  add("PUT", v1 + "/object/" + id, UpdateObject);
  add("DELETE", v1 + "/object/" + id, DeleteObject);
  add("GET", v1 + "/object/" + id + "/img", GetPhoto);
  add("POST", v1 + "/object/" + id + "/img", PostPhoto);
  add("DELETE", v1 + "/object/" + id + "/img", DeletePhoto);
  add("GET", v1 + "/object/" + id + "/track", GetTrack);
  add("PUT", v1 + "/object/" + id + "/starttrip", StartTrip);
  add("PUT", v1 + "/object/" + id + "/stoptrip", StopTrip);
  add("GET", v1 + "/object/" + id + "/cmdlog", GetCommandLog);
  add("POST", v1 + "/object/" + id + "/sendcmd", SendCommand);
  add("GET", v1 + "/cmdlog/" + id + "/response", GetCommandResponse);
  add("POST", v1 + "/zone", CreateZone);
  add("PUT", v1 + "/zone/" + id, UpdateZone);
  add("DELETE", v1 + "/zone/" + id, DeleteZone);
  add("GET", v1 + "/zone/" + id + "/history", ZoneHistory);
  add("POST", v1 + "/trap", CreateTrap);
  add("GET", v1 + "/trap/" + id, GetTrap);
  add("PUT", v1 + "/trap/" + id, UpdateTrap);
  add("DELETE", v1 + "/trap/" + id, DeleteTrap);
  add("PUT", v1 + "/event/" + id + "/accept", AcceptEvent);
  add("GET", v1 + "/wifi_aps", GetWifi);
  add("POST", v1 + "/osm/lookup", OsmLookup);
  routes.push_back(TApiRoute{"GET", "/tiles/#/#/#.png", false, false, GetTile});
  routes.push_back(TApiRoute{"GET", "/tiles-topo/#/#/#.png", false, false, GetTile});
  return routes;
}

} // namespace kelvra::sim
