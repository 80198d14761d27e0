#include "sim/SimHistory.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "sim/SimCity.h"
#include "sim/SimWorld.h"
#include "sim/SimUtil.h"

namespace kelvra::sim {

namespace {

constexpr int64_t kDay = TSimHistory::kDay;
constexpr int64_t kLocalOffset = 5 * 3600; // the city's clocks are UTC+5
constexpr double kAccel = 1.5, kBrake = 2.0; // m/s^2

uint64_t Mix(uint64_t x) { // splitmix64
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// A street of the graph is a tunnel (an underpass without a fix) for one in fifty streets.
bool IsTunnel(int a, int b) {
  return Mix(static_cast<uint64_t>(std::min(a, b)) * 1000003u + std::max(a, b)) % 50 == 0;
}

// One day of one object, made from its start at home to its end at home.
class TDayMaker {
public:
  TDayMaker(const TSimObject &o, int64_t dayStart, int64_t dayEnd, uint64_t seed,
            int64_t uidBase, std::vector<TSimPoint> &out)
      : fO(o), fEnd(dayEnd), fRng(seed), fUid(uidBase), fOut(out), fT(dayStart) {}

  double U(double a, double b) { return std::uniform_real_distribution<double>(a, b)(fRng); }
  double N(double sigma) { return std::normal_distribution<double>(0, sigma)(fRng); }
  bool Chance(double p) { return U(0, 1) < p; }
  int64_t Now() const { return fT; }
  bool Over() const { return fT >= fEnd; }

  void Place(double lat, double lon) {
    fLat = lat;
    fLon = lon;
  }

  // Stands until `until`, reporting every period with the given fix.
  void Park(int64_t until, int period, int crdSrc, double acc) {
    fKmh = 0;
    until = std::min(until, fEnd);
    if (fLastEmit == fT) ++fT; // the stop itself is reported, standing
    Emit(crdSrc, acc);
    while (fT + period < until) {
      fT += period;
      Emit(crdSrc, acc);
    }
    fT = std::max(fT, until);
  }

  // Drives to (lat, lon) at about cruise km/h, reporting every period seconds (not in a tunnel);
  // with stop it slows down to stand at the end.
  void DriveTo(double lat, double lon, double cruise, int period, bool tunnel, bool stop) {
    const int dt = period <= 5 ? 1 : period; // fine steps for a fine device
    double left = DistanceM(fLat, fLon, lat, lon);
    if (left < 0.5) return;
    fHeading = BearingDeg(fLat, fLon, lat, lon);
    const double startLat = fLat, startLon = fLon, total = left;
    const double target = cruise * U(0.9, 1.1) / 3.6; // m/s
    double v = fKmh / 3.6;
    while (left > 0.5 && !Over()) {
      double want = std::min(target, v + kAccel * dt);
      if (stop) want = std::min(want, std::max(2.0, std::sqrt(2 * kBrake * left)));
      v = std::max(1.0, want + N(0.2));
      double step = std::min(left, v * dt);
      left -= step;
      OffsetPoint(startLat, startLon, total - left, fHeading, fLat, fLon);
      fT += dt;
      fKmh = v * 3.6;
      fOdometer += step / 1000;
      if (!tunnel && fT - fLastEmit >= period) Emit(0, U(3, 12));
    }
    fLat = lat;
    fLon = lon;
    if (stop) fKmh = 0;
  }

  void Emit(int crdSrc, double acc) {
    if (fT >= fEnd) return;
    TSimPoint p;
    p.uid = fUid + static_cast<int64_t>(fOut.size());
    p.obj_id = fO.uid;
    p.obj_dt = p.gps_dt = fT;
    p.sys_dt = fT + 1 + static_cast<int64_t>(fRng() % 2);
    double sigma = crdSrc == 0 ? 3 : acc / 3;
    p.lat = fLat + N(sigma) / kMetresPerDegLat;
    p.lon = fLon + N(sigma) / (kMetresPerDegLat * std::cos(fLat * M_PI / 180));
    if (fO.gpsTrouble && crdSrc == 0) {
      double r = U(0, 1);
      if (r < 0.05)
        OffsetPoint(p.lat, p.lon, U(200, 450), U(0, 360), p.lat, p.lon);
      else if (r < 0.065)
        OffsetPoint(p.lat, p.lon, U(2000, 6000), U(0, 360), p.lat, p.lon);
    }
    p.lat = Round(p.lat, 1e6);
    p.lon = Round(p.lon, 1e6);
    p.alt = Round(160 + N(2), 10);
    p.acc = Round(acc, 10);
    p.speed = fKmh > 0 ? Round(std::max(0.0, fKmh + N(0.8)), 10) : 0;
    p.angle = std::round(fHeading);
    p.bat = Battery();
    p.crd_src = crdSrc;
    p.osm_id = TSimWorld::PlaceId(p.lat, p.lon);
    for (const auto &s : fO.sensors) {
      if (s.sign == "ign")
        p.sensors.push_back({s.uid, s.sign, fKmh > 0 ? "1" : "0"});
      else if (s.sign == "odo")
        p.sensors.push_back({s.uid, s.sign, std::to_string(static_cast<int64_t>(fOdometer))});
    }
    fOut.push_back(std::move(p));
    fLastEmit = fT;
  }

private:
  int Battery() {
    switch (fO.kind) {
    case TSimKind::Phone:
    case TSimKind::Wearable:
    case TSimKind::Bike:
    case TSimKind::Beacon:
    case TSimKind::DoorSensor: {
      // drains through the day, charged at night
      double hour = static_cast<double>((fT + kLocalOffset) % kDay) / 3600;
      return static_cast<int>(std::lround(std::clamp(100 - 4.5 * std::max(0.0, hour - 7), 15.0, 100.0)));
    }
    default:
      return 100;
    }
  }

  const TSimObject &fO;
  int64_t fEnd;
  std::mt19937_64 fRng;
  int64_t fUid;
  std::vector<TSimPoint> &fOut;
  int64_t fT;
  int64_t fLastEmit = -1000000;
  double fLat = 0, fLon = 0, fKmh = 0, fHeading = 0, fOdometer = 0;
};

// The first time at or after t when the city's clock shows hour h.
int64_t NextLocalHour(int64_t t, int h) {
  int64_t local = t + kLocalOffset;
  int64_t at = local - local % kDay + h * 3600;
  if (at < local) at += kDay;
  return at - kLocalOffset;
}

// Drives a closed route from its first node, parking where the route parks, loop after loop
// while a whole loop still fits before `until`; stands at home before and after.
void DriveRoute(TDayMaker &m, const TSimObject &o, int64_t until) {
  const auto &r = o.route;
  double loopM = 0;
  int parkS = 0;
  for (size_t i = 0; i < r.size(); ++i) {
    loopM += DistanceM(r[i].first, r[i].second, r[(i + 1) % r.size()].first,
                       r[(i + 1) % r.size()].second);
    if (i < o.parkMinutes.size()) parkS += o.parkMinutes[i] * 60;
  }
  const double loopS = loopM / (o.cruiseKmh / 3.6) * 1.15 + parkS * 1.3;
  while (m.Now() + static_cast<int64_t>(loopS) < until && !m.Over()) {
    for (size_t i = 1; i <= r.size(); ++i) {
      size_t node = i % r.size();
      int park = node < o.parkMinutes.size() ? o.parkMinutes[node] : 0;
      bool tunnel = o.tunnelRadius > 0 &&
                    DistanceM((r[i - 1].first + r[node].first) / 2,
                              (r[i - 1].second + r[node].second) / 2, o.tunnelLat,
                              o.tunnelLon) < o.tunnelRadius;
      m.DriveTo(r[node].first, r[node].second, o.cruiseKmh, o.reportPeriod, tunnel,
                park > 0 || node == 0);
      if (park > 0 && node != 0) {
        bool indoors = o.kind == TSimKind::Wearable;
        m.Park(m.Now() + static_cast<int64_t>(park * 60 * m.U(0.7, 1.3)), o.parkReportPeriod,
               indoors ? 2 : 0, indoors ? 35 : m.U(3, 12));
      }
    }
  }
}

// Drives the street graph from home for `half` seconds and back the same way, with stops at
// crossings (lights for a fine device, deliveries). The way back stops as long at the same
// crossings, so it takes as long as the way out and the day ends at home.
void DriveStreets(TDayMaker &m, const TSimObject &o, int64_t half, bool fine) {
  const TSimCity &city = TSimCity::Get();
  struct TStop {
    int seconds = 0; // 0: none
    bool delivery = false;
  };
  auto stopAt = [&](const TStop &st, bool last) {
    if (st.seconds <= 0 || last) return;
    if (st.delivery) // indoors at a stop the fine tracker falls back to Wi-Fi
      m.Park(m.Now() + st.seconds, fine ? 60 : o.parkReportPeriod, fine ? 2 : 0,
             fine ? m.U(25, 50) : m.U(3, 12));
    else
      m.Park(m.Now() + st.seconds, 60, 0, m.U(3, 12));
  };
  std::vector<int> path{o.homeNode};
  std::vector<TStop> stops{TStop{}};
  const int64_t t0 = m.Now();
  int prev = -1;
  while (m.Now() - t0 < half && !m.Over()) {
    int at = path.back();
    std::vector<int> choices;
    for (int n : city.links[at])
      if (n != prev || city.links[at].size() == 1) choices.push_back(n);
    if (choices.empty()) break;
    int next = choices[std::min(choices.size() - 1,
                                static_cast<size_t>(m.U(0, static_cast<double>(choices.size()))))];
    TStop st;
    if (m.Chance(fine ? 0.0025 : 0.02))
      st = {static_cast<int>(m.U(2, 12) * 60), true};
    else if (fine && m.Chance(0.05))
      st = {static_cast<int>(m.U(10, 40)), false};
    m.DriveTo(city.nodes[next].first, city.nodes[next].second, o.cruiseKmh, o.reportPeriod,
              IsTunnel(at, next), st.seconds > 0);
    stopAt(st, false);
    prev = at;
    path.push_back(next);
    stops.push_back(st);
  }
  for (size_t i = path.size() - 1; i > 0 && !m.Over(); --i) {
    const bool last = i == 1;
    m.DriveTo(city.nodes[path[i - 1]].first, city.nodes[path[i - 1]].second, o.cruiseKmh,
              o.reportPeriod, IsTunnel(path[i], path[i - 1]), last || stops[i - 1].seconds > 0);
    stopAt(stops[i - 1], last);
  }
}

} // namespace

bool TSimHistory::Has(const TSimObject &o) {
  if (o.is_deleted || o.historyEnd == 0) return false;
  switch (o.kind) {
  case TSimKind::Vehicle:
  case TSimKind::Phone:
  case TSimKind::Wearable:
  case TSimKind::Bike:
    return !o.route.empty() && o.cruiseKmh > 0;
  case TSimKind::Fleet:
  case TSimKind::Tracker:
    return o.homeNode >= 0;
  case TSimKind::Beacon:
  case TSimKind::DoorSensor:
    return true;
  default:
    return false;
  }
}

void TSimHistory::MakeDay(const TSimObject &o, int64_t dayEnd, std::vector<TSimPoint> &out) const {
  out.clear();
  if (!Has(o)) return;
  const int64_t dayStart = dayEnd - kDay;
  // Days are numbered from 64 days before the simulation; the number and the object make the
  // seed and the point ids. A point id is a 32-bit number as the service's are (a client reads
  // a larger one as no id and drops the point): made days take the upper half of that range,
  // clear of the simulation's own, in blocks of 2^17 points (a day of the 1 Hz tracker fits),
  // one per object and day; an object's days never share a block within 8192 days.
  const int64_t ordinal = (dayEnd - o.historyEnd) / kDay + 64;
  const uint64_t seed = Mix(Mix(fSeed) ^ (static_cast<uint64_t>(o.uid) << 20) ^
                            static_cast<uint64_t>(ordinal));
  const uint64_t block = (static_cast<uint64_t>(o.uid) * 128 + static_cast<uint64_t>(ordinal)) % 8192;
  const int64_t uidBase = kMadeUidBase + static_cast<int64_t>(block) * 131072;
  TDayMaker m(o, dayStart, dayEnd, seed, uidBase, out);
  const TSimCity &city = TSimCity::Get();
  switch (o.kind) {
  case TSimKind::Beacon:
  case TSimKind::DoorSensor: {
    m.Place(o.route.empty() ? o.lat : o.route[0].first, o.route.empty() ? o.lon : o.route[0].second);
    bool door = o.kind == TSimKind::DoorSensor;
    int src = door ? 3 : o.crdSrc;
    double acc = door ? 10 : src == 1 ? 900 : src == 2 ? 40 : src == 3 ? 20 : 8;
    m.Park(dayEnd, o.reportPeriod, src, acc);
    break;
  }
  case TSimKind::Tracker: {
    // On the road nearly round the clock: home for a few minutes at each end of the day.
    m.Place(city.nodes[o.homeNode].first, city.nodes[o.homeNode].second);
    m.Park(dayStart + 600, 60, 2, 30);
    DriveStreets(m, o, (kDay - 1200) * 485 / 1000, true);
    m.Park(dayEnd, 60, 2, 30);
    break;
  }
  case TSimKind::Fleet: {
    // A working day from about 07:00 to 19:00 by the city's clock, out from the depot and back.
    m.Place(city.nodes[o.homeNode].first, city.nodes[o.homeNode].second);
    int64_t start = NextLocalHour(dayStart, 7) + static_cast<int64_t>(m.U(0, 3600));
    if (start + 4 * 3600 > dayEnd) start = std::max(dayStart + 600, start - kDay);
    int64_t hours = std::min<int64_t>(12 * 3600, dayEnd - 1800 - start);
    m.Park(start, o.parkReportPeriod, 0, 8);
    if (hours > 3600) DriveStreets(m, o, hours * 45 / 100, false);
    m.Park(dayEnd, o.parkReportPeriod, 0, 8);
    break;
  }
  default: {
    // Route objects: out on their loops in the day, home at night.
    const auto &home = o.route[0];
    bool indoors = o.kind == TSimKind::Wearable;
    m.Place(home.first, home.second);
    int64_t start = NextLocalHour(dayStart, 8) + static_cast<int64_t>(m.U(0, 5400));
    if (start + 4 * 3600 > dayEnd) start = std::max(dayStart + 600, start - kDay);
    int64_t until = std::min<int64_t>(start + 11 * 3600, dayEnd - 1800);
    m.Park(start, o.parkReportPeriod, indoors ? 3 : 0, indoors ? 20 : 8);
    DriveRoute(m, o, until);
    m.Park(dayEnd, o.parkReportPeriod, indoors ? 3 : 0, indoors ? 20 : 8);
    break;
  }
  }
  // Reception order: a point sent a second later than the next one's device time stays after it.
  std::stable_sort(out.begin(), out.end(),
                   [](const TSimPoint &a, const TSimPoint &b) { return a.sys_dt < b.sys_dt; });
}

void TSimHistory::Visit(const TSimObject &o, int64_t from, int64_t to, bool byReception,
                        const TVisitor &fn) const {
  if (!Has(o) || fBegin >= o.historyEnd) return;
  from = std::max(from, fBegin);
  to = std::min(to, o.historyEnd + 5); // reception may follow the device time by two seconds
  if (from > to) return;
  // the days from the first that reaches `from` up to the last before the simulation
  int64_t back = (o.historyEnd - std::max(from - 5, fBegin) + kDay - 1) / kDay;
  std::vector<TSimPoint> day;
  for (int64_t k = back; k >= 1; --k) {
    const int64_t dayEnd = o.historyEnd - (k - 1) * kDay;
    if (dayEnd - kDay > to) break;
    MakeDay(o, dayEnd, day);
    for (const TSimPoint &p : day) {
      int64_t key = byReception ? p.sys_dt : p.obj_dt;
      if (key >= from && key <= to && p.obj_dt >= fBegin) fn(p);
    }
  }
}

} // namespace kelvra::sim
