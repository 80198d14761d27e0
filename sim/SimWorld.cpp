#include "sim/SimWorld.h"

#include <sstream>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <cmath>
#include <cstdio>

#include "sim/SimCity.h"
#include "sim/SimPng.h"
#include "sim/SimUtil.h"

namespace kelvra::sim {

namespace {

json DateOrNull(int64_t t) { return t > 0 ? json(FormatUtc(t)) : json(nullptr); }

// Condition of a trap on a value: numbers compare as numbers, other texts only for equality,
// inequality and containment.
bool ConditionHolds(const std::string &value, int cond, const std::string &limit) {
  double x, v;
  bool numeric = ToDouble(value, x) && ToDouble(limit, v);
  switch (cond) {
  case 1:
    return numeric && x > v;
  case 2:
    return numeric && x < v;
  case 3:
    return numeric ? x == v : value == limit;
  case 4:
    return numeric ? x != v : value != limit;
  case 5:
    return numeric && x >= v;
  case 6:
    return numeric && x <= v;
  case 7:
    return value.find(limit) != std::string::npos;
  default:
    return false;
  }
}

std::string Lower(std::string s) {
  for (char &c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

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

const char *const kStreets[] = {
    "улица Ленина",         "Комсомольский проспект", "улица Петропавловская", "улица Сибирская",
    "улица Екатерининская", "улица Пушкина",          "улица Куйбышева",       "улица Монастырская",
    "улица Газеты Звезда",  "улица Попова",           "Советская улица",       "улица Луначарского",
    "улица Революции",      "Островского улица",      "улица Белинского",      "улица Краснова"};

const char *const kSsidNames[] = {"Keenetic-", "TP-Link_", "MTS_Router_", "Beeline_",
                                  "ASUS_",     "DIR-615-", "Rostelecom_", "Xiaomi_"};

constexpr int kEventSensor = 1; // sensor uids of the door sensor
constexpr int kTempSensor = 2;

struct TRgb {
  uint8_t r, g, b;
};

// A generated photo: a head and shoulders in front of a sky gradient, any size and aspect.
std::vector<uint8_t> Picture(int w, int h, TRgb face, TRgb body) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  double s = std::min(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t *p = &px[(static_cast<size_t>(y) * w + x) * 4];
      bool isFace = std::hypot(x - w / 2.0, y - h * 0.4) < s / 4.0;
      bool isBody = y > h * 0.68 && std::abs(x - w / 2.0) < s / 3.0;
      TRgb c = isFace   ? face
               : isBody ? body
                        : TRgb{static_cast<uint8_t>(120 + 100 * y / h),
                               static_cast<uint8_t>(160 + 60 * x / w), 230};
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      p[3] = 255;
    }
  return px;
}

} // namespace

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

// ---------------------------------------------------------------------------------------------
// zones

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

// ---------------------------------------------------------------------------------------------
// random numbers: own formulas so that a seed gives the same world with any standard library

double TSimWorld::Uniform(double a, double b) {
  return a + (b - a) * (static_cast<double>(fRng()) / 4294967296.0);
}

double TSimWorld::Noise(double sigma) {
  double u1 = Uniform(1e-12, 1.0), u2 = Uniform(0.0, 1.0);
  return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2 * M_PI * u2);
}

// ---------------------------------------------------------------------------------------------
// building the demo world

TSimWorld::TSimWorld(uint32_t seed, int64_t startTime, int fleet, int historyDays)
    : fNow(startTime - 86400), fRng(seed), fTokenRng(std::random_device{}()),
      fHistory(seed, startTime - std::clamp(historyDays, 1, kMaxHistoryDays) * TSimHistory::kDay) {
  Build();
  // The simulated day starts here; what came before it is made on demand.
  for (auto &o : fObjects)
    o->historyEnd = fNow;
  if (historyDays > 1) BuildTracker();
  Advance(86400);
  // Older alarms were looked at by an operator; the recent ones stay open.
  for (auto &e : fEvents)
    if (e->is_alarm && e->h.sys_dt < fNow - 6 * 3600) {
      e->accept_dt = e->h.sys_dt + 600;
      e->accept_msg = "Checked by the operator";
    }
  // A finished trip of the van yesterday and a running one of the courier.
  TSimObject *van = FindObject(101);
  auto trip = std::make_unique<TSimTrip>();
  trip->uid = 301;
  trip->obj_id = 101;
  trip->name = "Morning delivery";
  trip->status = 2;
  trip->start_dt = fNow - 20 * 3600;
  trip->stop_dt = fNow - 17 * 3600;
  ForEachPoint(*van, trip->start_dt, trip->stop_dt, false, [&](const TSimPoint &p) {
    if (!trip->start_pid) trip->start_pid = p.uid;
    trip->stop_pid = p.uid;
  });
  trip->is_public = true;
  trip->token = "a3f9c2d17b";
  fTrips.push_back(std::move(trip));
  van->trip_id = 301; // the van's last trip is finished: the list shows its status 2
  // The garage tracker went quiet five to seven hours ago; a trip is planned for it but was
  // never started (status 0).
  TSimObject *garage = FindObject(107);
  for (int i = 0; i < 6; ++i) {
    TSimPoint p;
    p.uid = ++fNextPointUid;
    p.obj_id = garage->uid;
    p.sys_dt = fNow - 7 * 3600 + i * 1440;
    p.obj_dt = p.gps_dt = p.sys_dt - 3;
    p.lat = Round(58.0021 + Noise(0.0012), 1e6);
    p.lon = Round(56.2395 + Noise(0.002), 1e6);
    p.alt = 155;
    p.acc = 800 + i * 50;
    p.angle = 250; // parked: the heading it arrived with
    p.bat = 31 - i;
    p.crd_src = 1;
    p.osm_id = PlaceId(p.lat, p.lon);
    garage->track.push_back(p);
  }
  garage->changed = garage->track.back().sys_dt;
  garage->changedSeq = ++fChangeSeq;
  auto planned = std::make_unique<TSimTrip>();
  planned->uid = 302;
  planned->obj_id = garage->uid;
  planned->name = "Winter tyres to the service";
  planned->status = 0;
  planned->created = fNow - 3 * 3600;
  garage->trip_id = planned->uid;
  fTrips.push_back(std::move(planned));
  TSimObject *courier = FindObject(102);
  int64_t saveNow = fNow;
  fNow = saveNow - 3600;
  StartTrip(*courier, "Parcels to the park");
  fNow = saveNow;
  // The command log of the watch and the van, answered by their devices in the past.
  struct {
    int obj;
    const char *txt;
    int64_t ago;
  } past[] = {{103, "get config", 3 * 3600},
              {103, "get places", 2 * 3600},
              {103, "set config tracking_period=300", 5400},
              {101, "get info", 4 * 3600},
              {101, "reboot", 3600}};
  for (auto &pc : past) {
    TSimObject *o = FindObject(pc.obj);
    auto c = std::make_unique<TSimCommand>();
    c->uid = fNextUid++;
    c->obj_id = o->uid;
    c->txt = pc.txt;
    c->create_dt = fNow - pc.ago;
    c->send_dt = c->create_dt + kSendDelay;
    c->resp_dt = c->send_dt + kAnswerDelay;
    c->response = DeviceAnswer(*o, c->txt, c->r_type);
    fCommands.push_back(std::move(c));
  }
  BuildFleet(std::clamp(fleet, 0, kMaxFleet));
}

// ---------------------------------------------------------------------------------------------
// the fleet: vehicles that drive the street grid in coarse steps, one step per report

void TSimWorld::BuildFleet(int count) {
  const TSimCity &city = TSimCity::Get();
  static const char *const kColors[] = {"#E6194B", "#3CB44B", "#4363D8", "#F58231", "#911EB4",
                                        "#42D4F4", "#F032E6", "#808000", "#469990", "#9A6324"};
  const int64_t now = fNow;
  for (int i = 0; i < count; ++i) {
    auto o = std::make_unique<TSimObject>();
    o->uid = kFirstFleetUid + i;
    o->kind = TSimKind::Fleet;
    char buf[40];
    std::snprintf(buf, sizeof buf, "Fleet %05d", i + 1);
    o->name = buf;
    std::snprintf(buf, sizeof buf, "861%012d", i + 1);
    o->id = buf;
    o->imei = buf;
    o->type_id = 2;
    o->model = "FMC130";
    o->hw_type = "vehicle";
    o->track_color = kColors[i % 10];
    o->cruiseKmh = Uniform(25, 50);
    o->reportPeriod = 30 + static_cast<int>(fRng() % 61);
    o->parkReportPeriod = 600;
    o->sensors = {{1, "ign", "Ignition", "", "1"}};
    o->fromNode = static_cast<int>(fRng() % city.nodes.size());
    if (city.links[o->fromNode].empty()) o->fromNode = static_cast<int>(city.nodes.size() / 2);
    o->toNode = -1;
    o->lat = city.nodes[o->fromNode].first;
    o->lon = city.nodes[o->fromNode].second;
    o->speedKmh = o->cruiseKmh;
    o->lastStep = now - 3600;
    o->homeNode = o->fromNode; // its made days start and end at this crossing
    o->historyEnd = o->lastStep;
    fFleet[o->uid] = o.get();
    fFleetSteps.push({o->lastStep + static_cast<int64_t>(fRng() % 60), o->uid});
    fObjects.push_back(std::move(o));
  }
  // The hour of history, step by step in time order.
  while (!fFleetSteps.empty() && fFleetSteps.top().first <= now) {
    auto [t, uid] = fFleetSteps.top();
    fFleetSteps.pop();
    fNow = t;
    StepFleet(*fFleet[uid]);
  }
  fNow = now;
}

// ---------------------------------------------------------------------------------------------
// the 1 Hz tracker: its whole life is made day by day (TSimHistory); time passing hands over the
// points it sent

void TSimWorld::BuildTracker() {
  const TSimCity &city = TSimCity::Get();
  auto o = std::make_unique<TSimObject>();
  o->uid = kTrackerUid;
  o->kind = TSimKind::Tracker;
  o->id = "860000000000111";
  o->imei = "356307042441111";
  o->phone = "+79120001110";
  o->name = "Tracker 1Hz";
  o->track_color = "#8000FF";
  o->type_id = 2;
  o->model = "FMC650";
  o->hw_type = "vehicle";
  o->hw_info = "Teltonika FMC650, 1 Hz logging";
  o->sw_ver = "03.28.01";
  o->cruiseKmh = 45;
  o->reportPeriod = 1;
  o->parkReportPeriod = 60;
  o->sensors = {{1, "ign", "Ignition", "", "0"}};
  double best = 1e18;
  for (size_t i = 0; i < city.nodes.size(); ++i) {
    double d = DistanceM(city.nodes[i].first, city.nodes[i].second, TSimCity::kWarehouse.first,
                         TSimCity::kWarehouse.second);
    if (d < best && !city.links[i].empty()) {
      best = d;
      o->homeNode = static_cast<int>(i);
    }
  }
  o->lat = city.nodes[o->homeNode].first;
  o->lon = city.nodes[o->homeNode].second;
  o->historyEnd = fNow;
  fTrackerDayEnd = fNow;
  fObjects.push_back(std::move(o));
}

void TSimWorld::StepTracker(TSimObject &o) {
  bool handed = false;
  for (;;) {
    if (fTrackerNext >= fTrackerDay.size()) {
      if (fTrackerDayEnd > fNow + 5) break; // the points of the next day are not sent yet
      fTrackerDayEnd += TSimHistory::kDay;
      fHistory.MakeDay(o, fTrackerDayEnd, fTrackerDay);
      fTrackerNext = 0;
      continue;
    }
    const TSimPoint &p = fTrackerDay[fTrackerNext];
    if (p.sys_dt > fNow) break;
    o.track.push_back(p);
    o.lat = p.lat;
    o.lon = p.lon;
    o.speedKmh = p.speed;
    o.heading = p.angle;
    for (auto &s : o.sensors)
      for (const auto &v : p.sensors)
        if (v.uid == s.uid) {
          s.val = v.val;
          s.obj_dt = p.obj_dt;
          s.sys_dt = p.sys_dt;
        }
    ++fTrackerNext;
    handed = true;
  }
  if (handed) {
    o.lastReport = o.track.back().sys_dt;
    Touch(o);
  }
}

void TSimWorld::StepFleet(TSimObject &o) {
  const TSimCity &city = TSimCity::Get();
  double dt = static_cast<double>(fNow - o.lastStep);
  o.lastStep = fNow;
  if (o.is_deleted) return; // a marked vehicle stands still and is not planned again
  if (o.parkUntil <= fNow) {
    if (o.speedKmh <= 0) o.speedKmh = o.cruiseKmh; // drives off
    double left = o.speedKmh / 3.6 * dt;
    o.odometer += left / 1000;
    for (;;) {
      if (o.toNode < 0) { // choose the next crossing, not back where it came from if it can
        std::vector<int> choices;
        for (int n : city.links[o.fromNode])
          if (n != o.prevNode || city.links[o.fromNode].size() == 1) choices.push_back(n);
        o.toNode = choices[fRng() % choices.size()];
        o.legPos = 0;
      }
      auto &a = city.nodes[o.fromNode];
      auto &b = city.nodes[o.toNode];
      double len = DistanceM(a.first, a.second, b.first, b.second);
      o.heading = BearingDeg(a.first, a.second, b.first, b.second);
      if (o.legPos + left < len) {
        o.legPos += left;
        OffsetPoint(a.first, a.second, o.legPos, o.heading, o.lat, o.lon);
        break;
      }
      left -= len - o.legPos;
      o.prevNode = o.fromNode;
      o.fromNode = o.toNode;
      o.toNode = -1;
      o.lat = b.first;
      o.lon = b.second;
      if (Uniform(0, 1) < 0.02) { // a delivery stop at this crossing
        o.speedKmh = 0;
        o.parkUntil = fNow + static_cast<int64_t>(Uniform(2, 12) * 60);
        break;
      }
    }
    if (o.speedKmh > 0)
      o.speedKmh = std::clamp(o.cruiseKmh + Noise(o.cruiseKmh * 0.1), 10.0, 60.0);
  }
  for (auto &s : o.sensors)
    if (s.sign == "ign") s.val = o.Moving() ? "1" : "0";
  EmitPoint(o);
  // keep the last two hours or so: a large fleet must not grow without bound
  if (o.track.size() > 400) o.track.erase(o.track.begin(), o.track.begin() + 200);
  int64_t next =
      o.Moving() ? o.reportPeriod : std::min<int64_t>(o.parkUntil - fNow, o.parkReportPeriod);
  fFleetSteps.push({fNow + std::max<int64_t>(1, next), o.uid});
}

void TSimWorld::Build() {
  auto addUser = [&](int uid, const char *login, const char *pass, const char *name,
                     const char *email, int64_t tz) {
    auto u = std::make_unique<TSimUser>();
    u->uid = uid;
    u->login = login;
    u->password = pass;
    u->name = name;
    u->email = email;
    u->tz = tz;
    fUsers.push_back(std::move(u));
  };
  addUser(1, "demo", "demo", "Demo User", "demo@example.com", 18000);
  addUser(2, "alice", "alice", "Alice", "alice@example.com", 18000);

  const double cLat = kCenterLat, cLon = kCenterLon;
  const TSimCity &city = TSimCity::Get();
  const TLatLon home = TSimCity::kHome, warehouse = TSimCity::kWarehouse, park = TSimCity::kPark;

  auto addZone = [&](int uid, const char *name, const char *color, const char *desc) -> TSimZone & {
    auto z = std::make_unique<TSimZone>();
    z->uid = uid;
    z->user_id = 1;
    z->name = name;
    z->color = color;
    z->desc = desc;
    fZones.push_back(std::move(z));
    return *fZones.back();
  };
  TSimZone &office = addZone(10, "Office", "#0080FF", "Head office and its car park");
  office.clat = cLat;
  office.clon = cLon;
  office.radius = 250;
  TSimZone &homeZ = addZone(11, "Home", "#00A000", "");
  homeZ.clat = home.first;
  homeZ.clon = home.second;
  homeZ.radius = 200;
  TSimZone &parkZ = addZone(12, "Park", "#00C080", "City park, no traps on it");
  parkZ.type_id = 2;
  parkZ.nodes = {{56.2880, 57.9940}, {56.3020, 57.9940}, {56.3020, 57.9860}, {56.2880, 57.9860}};
  TSimZone &whZ = addZone(13, "Warehouse district", "#C08000", "Loading bays");
  whZ.type_id = 2;
  whZ.nodes = {{56.2960, 58.0080},
               {56.3050, 58.0085},
               {56.3075, 58.0040},
               {56.3020, 58.0015},
               {56.2950, 58.0030}};

  auto addObject = [&](int uid, TSimKind kind, const char *name,
                       const char *color) -> TSimObject & {
    auto o = std::make_unique<TSimObject>();
    o->uid = uid;
    o->kind = kind;
    char id[32];
    std::snprintf(id, sizeof id, "860000000000%d", uid);
    o->id = id;
    o->imei = std::string("35630704244") + std::to_string(uid);
    o->phone = "+7912000" + std::to_string(uid * 10);
    o->name = name;
    o->track_color = color;
    o->config = {{"service_enabled", "true"},
                 {"use_places", "true"},
                 {"continuously_tracking", "false"},
                 {"tracking_server", "https://gps.kelvra.example/osmand"},
                 {"tracking_period", "300"},
                 {"tracking_fast_period", "60"},
                 {"block_incoming_calls", "false"}};
    fObjects.push_back(std::move(o));
    return *fObjects.back();
  };
  auto startAt = [&](TSimObject &o) {
    o.lat = o.route[0].first;
    o.lon = o.route[0].second;
    o.parkUntil = fNow + static_cast<int64_t>(Uniform(1, 20) * 60);
    o.lastReport = fNow - 100000;
  };

  TSimObject &van = addObject(101, TSimKind::Vehicle, "Delivery van", "#0000FF");
  van.type_id = 2;
  van.model = "FMB920";
  van.hw_type = "vehicle";
  van.hw_info = "Teltonika FMB920, external power";
  van.sw_ver = "03.27.07";
  van.route = city.demoRoutes[kVanRoute];
  van.parkMinutes = {20, 25, 0, 0, 40};
  van.cruiseKmh = 42;
  van.reportPeriod = 30;
  van.parkReportPeriod = 600;
  van.sensors = {{1, "ign", "Ignition", "", "0"},
                 {2, "odo", "Odometer", "km", "0"},
                 {3, "vector", "Acceleration", "m/s²", "0.00,0.00,9.81"}};
  startAt(van);

  TSimObject &courier = addObject(102, TSimKind::Phone, "Courier", "#FF8000");
  courier.type_id = 1;
  courier.model = "Pixel 6a";
  courier.hw_type = "phone";
  courier.hw_info = "Android 14";
  courier.sw_ver = "2.4.1";
  courier.route = city.demoRoutes[kCourierRoute];
  courier.parkMinutes = {15, 0, 20, 10};
  courier.cruiseKmh = 5.5;
  courier.reportPeriod = 60;
  courier.parkReportPeriod = 900;
  courier.bat = 86;
  courier.sensors = {{1, "steps", "Step counter", "steps", "0"}};
  courier.image = EncodeJpeg(160, 120, Picture(160, 120, {225, 180, 150}, {230, 120, 30}));
  courier.image_type = "image/jpeg";
  courier.image_dt = fNow - 2 * 86400;
  startAt(courier);

  TSimObject &watch = addObject(103, TSimKind::Wearable, "Grandpa's watch", "#8000FF");
  watch.type_id = 3;
  watch.model = "KW-19 Pro";
  watch.hw_type = "wearable";
  watch.hw_info = "Smart watch with heart rate sensor";
  watch.sw_ver = "1.9.3";
  watch.route = city.demoRoutes[kWatchRoute];
  watch.parkMinutes = {120, 0, 30, 0};
  watch.cruiseKmh = 4.2;
  watch.reportPeriod = 60;
  watch.parkReportPeriod = 600;
  watch.bat = 64;
  watch.sensors = {{1, "hr", "Heart rate", "bpm", "72"},
                   {2, "steps", "Step counter", "steps", "0"}};
  // A small generated portrait so that the photo dialog has something to show.
  watch.image = EncodePng(64, 64, Picture(64, 64, {240, 200, 170}, {60, 90, 160}));
  watch.image_type = "image/png";
  watch.image_dt = fNow - 5 * 86400;
  watch.places = {{"Home", {"HomeNet", "HomeNet 5G"}}, {"Park cafe", {"Cafe Parma"}}};
  startAt(watch);

  TSimObject &door = addObject(104, TSimKind::DoorSensor, "Warehouse door", "#808080");
  door.type_id = 4;
  door.model = "DS-200";
  door.hw_type = "sensor";
  door.hw_info = "Door contact and thermometer";
  door.sw_ver = "0.8";
  door.route = {warehouse};
  door.parkMinutes = {0};
  door.reportPeriod = 3600;
  door.bat = 91;
  door.sensors = {{kEventSensor, "event", "Door", "", "door_closed"},
                  {kTempSensor, "temp", "Temperature", "°C", "5"}};
  door.lat = warehouse.first;
  door.lon = warehouse.second;
  door.nextToggle = fNow + 45 * 60;
  door.lastReport = fNow - 100000;

  TSimObject &bike = addObject(105, TSimKind::Bike, "Alice's bike", "#00A0A0");
  bike.user_id = 2;
  bike.users_list = "demo";
  bike.type_id = 5;
  bike.model = "BikeTrack mini";
  bike.hw_type = "tracker";
  bike.route = city.demoRoutes[kBikeRoute];
  bike.parkMinutes = {30, 0, 0, 25};
  bike.cruiseKmh = 16;
  bike.reportPeriod = 30;
  bike.parkReportPeriod = 900;
  bike.bat = 70;
  startAt(bike);

  TSimObject &old = addObject(106, TSimKind::Idle, "Old tracker", "#404040");
  old.is_deleted = true;
  old.del_dt = fNow - 2 * 86400;
  old.model = "GT06";
  old.hw_type = "tracker";
  for (int i = 0; i < 3; ++i) {
    TSimPoint p;
    p.uid = ++fNextPointUid;
    p.obj_id = old.uid;
    p.sys_dt = fNow - 6 * 86400 + i * 600;
    p.obj_dt = p.gps_dt = p.sys_dt - 2;
    p.lat = 57.9960 + i * 0.0004;
    p.lon = 56.2500 + i * 0.0006;
    p.alt = 150;
    p.acc = 8;
    p.speed = 0;
    p.bat = 12 - i;
    p.osm_id = PlaceId(p.lat, p.lon);
    old.track.push_back(p);
  }
  old.changed = old.del_dt;
  old.changedSeq = ++fChangeSeq;

  // Silent since this morning: a parked tracker that fixes by the cell network (grey age box);
  // its points are laid down once the day of history has run.
  TSimObject &garage = addObject(107, TSimKind::Idle, "Garage tracker", "#A05000");
  garage.type_id = 2;
  garage.model = "GT06N";
  garage.hw_type = "tracker";
  garage.hw_info = "Hidden tracker, own battery";

  // A pet's collar at home: reports hourly, fixed by the home Wi-Fi, battery nearly empty.
  TSimObject &collar = addObject(108, TSimKind::Beacon, "Barsik's collar", "#FF00C0");
  collar.type_id = 3;
  collar.model = "PetTrack 2";
  collar.hw_type = "wearable";
  collar.crdSrc = 2;
  collar.reportPeriod = 3600;
  collar.bat = 12;
  collar.lat = home.first + 0.0003;
  collar.lon = home.second - 0.0004;
  collar.route = {{collar.lat, collar.lon}};
  collar.parkMinutes = {0};
  collar.heading = 135;
  // first report 20 minutes into the history, so the first list finds it 40 minutes old
  collar.lastReport = fNow + 20 * 60 - collar.reportPeriod;
  collar.image = EncodeJpeg(90, 120, Picture(90, 120, {200, 150, 100}, {250, 250, 250}));
  collar.image_type = "image/jpeg";
  collar.image_dt = fNow - 86400 / 2;

  // A taxi with poor GPS: jumps, outliers, late points out of order and a tunnel without fixes,
  // for the track filters.
  TSimObject &taxi = addObject(109, TSimKind::Vehicle, "Taxi 17 (poor GPS)", "#C0C000");
  taxi.type_id = 2;
  taxi.model = "Cheap OBD tracker";
  taxi.hw_type = "vehicle";
  taxi.route = city.demoRoutes[kTaxiRoute];
  taxi.parkMinutes = {15, 0, 10, 0, 20};
  taxi.cruiseKmh = 38;
  taxi.reportPeriod = 15;
  taxi.parkReportPeriod = 300;
  taxi.gpsTrouble = true;
  // the tunnel: the middle of the leg from the warehouse to the north-east
  taxi.tunnelLat = (taxi.route[2].first + taxi.route[3].first) / 2;
  taxi.tunnelLon = (taxi.route[2].second + taxi.route[3].second) / 2;
  taxi.tunnelRadius = 300;
  startAt(taxi);

  auto addTrap = [&](int uid, int obj, int type, int target, int cond, const char *val,
                     bool alarm) -> TSimTrap & {
    auto t = std::make_unique<TSimTrap>();
    t->uid = uid;
    t->obj_id = obj;
    t->user_id = 1;
    t->target_type_id = type;
    t->target_id = target;
    t->condition_id = cond;
    t->val = val;
    t->is_alarm = alarm;
    t->accept_type_id = alarm ? 1 : 0;
    t->subj = "{{.object}}: {{.target}}";
    t->msg = "{{.object}} {{.target}} {{.sval}} at {{.time}} ({{.lat}}, {{.lon}})";
    fTraps.push_back(std::move(t));
    return *fTraps.back();
  };
  addTrap(201, 101, 1, 10, 1, "", true).email = true;
  addTrap(202, 101, 5, 0, 1, "48", false);
  addTrap(203, 102, 4, 0, 2, "20", true);
  addTrap(204, 104, 2, kEventSensor, 3, "door_open", true).telegram = true;
  addTrap(205, 103, 1, 11, 2, "", false);
  addTrap(206, 104, 3, 0, 1, "50", false);
  // A general trap: obj_id 0 watches every object of the user.
  addTrap(207, 0, 5, 0, 1, "50", false).subj = "Speeding: {{.object}}";

  // Wi-Fi access points: named ones at the places of the watch, the rest scattered over town.
  auto addAp = [&](const std::string &ssid, int stdv, double lat, double lon) {
    TSimWifi w;
    w.ssid = ssid;
    w.std = stdv;
    w.lat = lat;
    w.lon = lon;
    char mac[32];
    std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x",
                  static_cast<unsigned>(0x10 + fRng() % 0xE0), static_cast<unsigned>(fRng() % 256),
                  static_cast<unsigned>(fRng() % 256), static_cast<unsigned>(fRng() % 256),
                  static_cast<unsigned>(fRng() % 256), static_cast<unsigned>(fRng() % 256));
    w.bssid = mac;
    fWifi.push_back(w);
  };
  addAp("HomeNet", 4, home.first + 0.0001, home.second);
  addAp("HomeNet 5G", 5, home.first + 0.0001, home.second + 0.0001);
  addAp("HomeNet 5G", 5, home.first - 0.0002, home.second + 0.0001);
  addAp("Cafe Parma", 5, park.first, park.second);
  addAp("\"Cafe Parma Guest\"", 4, park.first + 0.0002, park.second);
  addAp("Office", 6, cLat + 0.0001, cLon);
  addAp("Office", 6, cLat - 0.0001, cLon + 0.0002);
  addAp("Office Guest", 5, cLat, cLon - 0.0002);
  for (int i = 0; i < 120; ++i) {
    char ssid[48];
    std::snprintf(ssid, sizeof ssid, "%s%04X", kSsidNames[fRng() % 8],
                  static_cast<unsigned>(fRng() % 65536));
    addAp(ssid, 4 + static_cast<int>(fRng() % 3), cLat + Uniform(-0.035, 0.035),
          cLon + Uniform(-0.06, 0.06));
  }
  // Access points along every route, a little off the road, so "Create Place" finds networks
  // wherever objects go.
  for (auto &o : fObjects) {
    size_t n = o->route.size();
    if (n < 2) continue;
    for (size_t i = 0; i < n; ++i) {
      auto a = o->route[i], b = o->route[(i + 1) % n];
      double len = DistanceM(a.first, a.second, b.first, b.second);
      double brg = BearingDeg(a.first, a.second, b.first, b.second);
      for (double d = 100; d < len; d += 250) {
        double lat, lon;
        OffsetPoint(a.first, a.second, d, brg, lat, lon);
        OffsetPoint(lat, lon, Uniform(15, 45), brg + (fRng() % 2 ? 90 : -90), lat, lon);
        char ssid[48];
        std::snprintf(ssid, sizeof ssid, "%s%04X", kSsidNames[fRng() % 8],
                      static_cast<unsigned>(fRng() % 65536));
        addAp(ssid, 4 + static_cast<int>(fRng() % 3), lat, lon);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// simulation

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

// ---------------------------------------------------------------------------------------------
// device side of commands

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

// ---------------------------------------------------------------------------------------------
// users, lookups, changes

TSimUser *TSimWorld::FindUser(const std::string &login) {
  std::string l = Lower(Trim(login));
  for (auto &u : fUsers)
    if (Lower(u->login) == l) return u.get();
  return nullptr;
}

TSimUser *TSimWorld::UserByUid(int uid) {
  for (auto &u : fUsers)
    if (u->uid == uid) return u.get();
  return nullptr;
}

TSimUser *TSimWorld::UserByToken(const std::string &token, bool *expired) {
  if (expired) *expired = false;
  if (token.empty()) return nullptr;
  for (auto &t : fTokens) {
    if (t.token != token) continue;
    if (t.revoked || (fTokenTtl > 0 && fNow - t.issued >= fTokenTtl)) {
      if (expired) *expired = true;
      return nullptr;
    }
    return UserByUid(t.uid);
  }
  return nullptr;
}

std::string TSimWorld::IssueToken(int userUid, bool withSession) {
  auto random = [this](int words) {
    std::string out;
    char buf[12];
    for (int i = 0; i < words; ++i) {
      std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(fTokenRng()));
      out += buf;
    }
    return out;
  };
  TToken t;
  t.token = random(4);
  if (withSession) t.session = random(3);
  t.uid = userUid;
  t.issued = fNow;
  fTokens.push_back(t);
  return t.token;
}

std::string TSimWorld::SessionOf(const std::string &token) const {
  for (auto &t : fTokens)
    if (t.token == token) return t.session;
  return {};
}

void TSimWorld::RevokeToken(const std::string &token) {
  for (auto &t : fTokens)
    if (t.token == token) t.revoked = true;
}

std::string TSimWorld::SaveTokens() const {
  std::string out;
  for (const auto &t : fTokens)
    out += t.token + " " + (t.session.empty() ? "-" : t.session) + " " + std::to_string(t.uid) +
           " " + std::to_string(t.issued) + " " + (t.revoked ? "1" : "0") + "\n";
  return out;
}

int TSimWorld::LoadTokens(const std::string &text) {
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    TToken t;
    int revoked = 0;
    if (!(fields >> t.token >> t.session >> t.uid >> t.issued >> revoked) || t.token.empty()) continue;
    if (t.session == "-") t.session.clear();
    t.revoked = revoked != 0;
    if (!UserByUid(t.uid)) continue; // a user this world does not have
    bool known = false;
    for (const auto &have : fTokens)
      known = known || have.token == t.token;
    if (known) continue;
    fTokens.push_back(t);
    ++n;
  }
  return n;
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

void TSimWorld::RemoveObject(int uid) {
  auto gone = [uid](auto &p) { return p->obj_id == uid; };
  std::erase_if(fTraps, gone);
  std::erase_if(fTrips, gone);
  fFleet.erase(uid);
  std::erase_if(fPending, [uid](TSimCommand *c) { return c->obj_id == uid; });
  std::erase_if(fObjects, [uid](auto &p) { return p->uid == uid; });
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

// ---------------------------------------------------------------------------------------------
// addresses: a place id names a cell of about 55 x 60 metres

std::string TSimWorld::PlaceId(double lat, double lon) {
  double cl = std::floor((lat - 57.5) * 2000), cn = std::floor((lon - 55.5) * 1000);
  if (!(cl >= 0 && cl < 10000 && cn >= 0 && cn < 100000)) return {};
  return std::to_string(1000000000LL + static_cast<int64_t>(cl) * 100000 +
                        static_cast<int64_t>(cn));
}

std::string TSimWorld::AddressOf(const std::string &placeId) {
  int64_t id;
  if (!ToInt64(placeId, id) || id < 1000000000LL || id >= 2000000000LL) return {};
  int64_t cl = (id - 1000000000LL) / 100000, cn = id % 100000;
  const char *street = kStreets[static_cast<size_t>((cl / 4 * 7 + cn / 6 * 3) % 16)];
  int64_t house = (cl * 31 + cn * 17) % 120 + 1;
  return std::string(street) + ", " + std::to_string(house) + ", Пермь";
}

// ---------------------------------------------------------------------------------------------
// JSON

json TSimWorld::UserJson(const TSimUser &u) const {
  return json{{"uid", u.uid},     {"login", u.login},         {"name", u.name},
              {"email", u.email}, {"t_chat_id", u.t_chat_id}, {"tz", u.tz},
              {"lang", u.lang}};
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
