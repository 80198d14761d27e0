// The demo world of kelvra-sim: its users, objects, zones, traps and access points, the fleet on the
// street grid and the 1 Hz tracker whose days are made on demand.

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

// Random numbers: own formulas, so that a seed gives the same world with any standard library.
double TSimWorld::Uniform(double a, double b) {
  return a + (b - a) * (static_cast<double>(fRng()) / 4294967296.0);
}

double TSimWorld::Noise(double sigma) {
  double u1 = Uniform(1e-12, 1.0), u2 = Uniform(0.0, 1.0);
  return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2 * M_PI * u2);
}

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

// The fleet: vehicles that drive the street grid in coarse steps, one step per report.
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

// The 1 Hz tracker: its whole life is made day by day (TSimHistory); time passing hands over the
// points it sent.
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

} // namespace kelvra::sim
