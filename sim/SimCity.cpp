#include "sim/SimCity.h"

#include <algorithm>
#include <cmath>

#include "sim/SimUtil.h"

namespace kelvra::sim {

namespace {

const char *const kRowNames[] = {
    "улица Ленина",        "улица Петропавловская", "улица Сибирская",   "улица Екатерининская",
    "улица Пушкина",       "улица Куйбышева",       "улица Монастырская", "улица Газеты Звезда",
    "улица Попова",        "Советская улица",       "улица Луначарского", "улица Революции",
    "улица Белинского",    "улица Краснова",        "улица Чернышевского", "улица Мира",
    "улица Сапёрная",      "улица Гагарина",        "улица Тургенева",   "улица Лодыгина"};
const char *const kColNames[] = {
    "улица Островского",  "улица Крисанова",   "улица Куйбышева",   "улица Решетникова",
    "улица Горького",     "улица Максима",     "улица Пермская",    "улица Плеханова",
    "улица Окулова",      "улица Кирова",      "улица Ленина",      "улица Екатерины",
    "улица Борчанинова",  "улица Осинская",    "улица Дружбы",      "улица Полины Осипенко"};
const char *const kAvenueNames[] = {"Комсомольский проспект", "Сибирский тракт",
                                    "Парковый проспект",      "Уральское шоссе",
                                    "Камская набережная",     "Северная дамба"};

// Small deterministic hash for building layouts.
uint32_t Hash(int a, int b) {
  uint32_t h = static_cast<uint32_t>(a) * 73856093u ^ static_cast<uint32_t>(b) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

std::vector<TLatLon> Box(double lat1, double lon1, double lat2, double lon2) {
  return {{lat1, lon1}, {lat1, lon2}, {lat2, lon2}, {lat2, lon1}};
}

} // namespace

bool PointInRing(const std::vector<TLatLon> &ring, double lat, double lon) {
  bool inside = false;
  for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    double yi = ring[i].first, xi = ring[i].second, yj = ring[j].first, xj = ring[j].second;
    if ((yi > lat) != (yj > lat) && lon < (xj - xi) * (lat - yi) / (yj - yi) + xi)
      inside = !inside;
  }
  return inside;
}

const TSimCity &TSimCity::Get() {
  static const TSimCity city; // built once, thread-safe since C++11
  return city;
}

bool TSimCity::InArea(TAreaKind kind, double lat, double lon) const {
  for (auto &a : areas)
    if (a.kind == kind && PointInRing(a.ring, lat, lon)) return true;
  return false;
}

TSimCity::TSimCity() {
  minLat = 57.955;
  maxLat = 58.034;
  minLon = 56.180;
  maxLon = 56.370;
  rows = static_cast<int>((maxLat - minLat) / kRowStep) + 1;
  cols = static_cast<int>((maxLon - minLon) / kColStep) + 1;

  demoRoutes[kVanRoute] = {kCenter, kWarehouse, kPark, kSouth, kHome};
  demoRoutes[kCourierRoute] = {{kCenter.first - 0.0010, kCenter.second + 0.0020},
                               {57.9945, 56.2860},
                               kPark,
                               {57.9925, 56.2760}};
  demoRoutes[kWatchRoute] = {kHome, {58.0080, 56.2560}, {58.0020, 56.2620}, {58.0060, 56.2540}};
  demoRoutes[kBikeRoute] = {{58.0150, 56.2900}, {58.0200, 56.3100}, {58.0090, 56.3150},
                            {58.0030, 56.3050}};
  demoRoutes[kTaxiRoute] = {{57.9950, 56.2300}, kCenter, kWarehouse, {58.0150, 56.2900}, kHome};

  areas.push_back({Box(minLat, minLon, maxLat, maxLon), TAreaKind::Residential});
  areas.push_back({{{57.955, 56.180}, {57.972, 56.180}, {57.969, 56.201}, {57.961, 56.214},
                    {57.955, 56.222}},
                   TAreaKind::Wood});
  areas.push_back({{{57.985, 56.345}, {58.012, 56.338}, {58.020, 56.352}, {58.015, 56.370},
                    {57.985, 56.370}},
                   TAreaKind::Wood});
  areas.push_back({{{57.955, 56.300}, {57.962, 56.296}, {57.966, 56.322}, {57.955, 56.330}},
                   TAreaKind::Wood});
  // the city park (the demo's "Park" zone), the square by the office, a garden by the home
  areas.push_back({Box(57.9860, 56.2880, 57.9940, 56.3020), TAreaKind::Park});
  areas.push_back({Box(57.9995, 56.2690, 58.0015, 56.2730), TAreaKind::Park});
  areas.push_back({Box(58.0122, 56.2420, 58.0150, 56.2470), TAreaKind::Park});
  areas.push_back({{{57.9885, 56.2930}, {57.9895, 56.2975}, {57.9878, 56.2990},
                    {57.9870, 56.2950}},
                   TAreaKind::Water}); // a pond in the park

  // The river north of the city, a gentle meander.
  riverWidthM = 650;
  for (double lon = 55.90; lon <= 56.65; lon += 0.005)
    river.push_back({58.0435 + 0.0035 * std::sin((lon - 56.1) * 14), lon});

  // The grid: a segment is left out where it would cross a park, a wood or water, unless it
  // belongs to a major road.
  auto blocked = [&](double lat, double lon) {
    return InArea(TAreaKind::Park, lat, lon) || InArea(TAreaKind::Wood, lat, lon) ||
           InArea(TAreaKind::Water, lat, lon);
  };
  nodes.reserve(static_cast<size_t>(rows * cols));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      nodes.push_back({minLat + r * kRowStep, minLon + c * kColStep});
  links.assign(nodes.size(), {});
  std::vector<TCityRoad> minor, major;
  auto addLine = [&](bool isRow, int index) {
    bool isMajor = index % 5 == 2;
    const char *name = isRow ? kRowNames[index % 20] : kColNames[index % 16];
    int n = isRow ? cols : rows;
    TCityRoad run;
    auto flush = [&] {
      if (run.points.size() >= 2) (isMajor ? major : minor).push_back(run);
      run.points.clear();
    };
    for (int k = 0; k + 1 < n; ++k) {
      int a = isRow ? index * cols + k : k * cols + index;
      int b = isRow ? a + 1 : a + cols;
      double midLat = (nodes[a].first + nodes[b].first) / 2;
      double midLon = (nodes[a].second + nodes[b].second) / 2;
      if (!isMajor && blocked(midLat, midLon)) {
        flush();
        continue;
      }
      links[a].push_back(b);
      links[b].push_back(a);
      if (run.points.empty()) run.points.push_back(nodes[a]);
      run.points.push_back(nodes[b]);
      run.cls = isMajor ? TRoadClass::Major : TRoadClass::Minor;
      run.name = name;
    }
    flush();
  };
  for (int r = 0; r < rows; ++r)
    addLine(true, r);
  for (int c = 0; c < cols; ++c)
    addLine(false, c);
  roads = std::move(minor);
  roads.insert(roads.end(), major.begin(), major.end());
  // The avenues the demo objects drive on, one road per leg of every route.
  int avenue = 0;
  for (auto &route : demoRoutes)
    for (size_t i = 0; i < route.size() && route.size() > 1; ++i) {
      TCityRoad road;
      road.points = {route[i], route[(i + 1) % route.size()]};
      road.cls = TRoadClass::Primary;
      road.name = kAvenueNames[avenue++ % 6];
      roads.push_back(road);
    }
}

std::vector<TCityBuilding> TSimCity::BuildingsIn(double aMinLat, double aMinLon, double aMaxLat,
                                                 double aMaxLon) const {
  std::vector<TCityBuilding> out;
  int r0 = std::max(0, static_cast<int>(std::floor((aMinLat - minLat) / kRowStep)));
  int r1 = std::min(rows - 2, static_cast<int>(std::floor((aMaxLat - minLat) / kRowStep)));
  int c0 = std::max(0, static_cast<int>(std::floor((aMinLon - minLon) / kColStep)));
  int c1 = std::min(cols - 2, static_cast<int>(std::floor((aMaxLon - minLon) / kColStep)));
  const double insetLat = 0.00018, insetLon = 0.00032; // about 20 m from the street
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c) {
      double lat1 = minLat + r * kRowStep + insetLat, lat2 = lat1 + kRowStep - 2 * insetLat;
      double lon1 = minLon + c * kColStep + insetLon, lon2 = lon1 + kColStep - 2 * insetLon;
      double cLat = (lat1 + lat2) / 2, cLon = (lon1 + lon2) / 2;
      if (InArea(TAreaKind::Park, cLat, cLon) || InArea(TAreaKind::Wood, cLat, cLon) ||
          InArea(TAreaKind::Water, cLat, cLon))
        continue;
      uint32_t h = Hash(r, c);
      int nx = 2 + static_cast<int>(h % 3), ny = 2 + static_cast<int>((h >> 4) % 2);
      double w = (lon2 - lon1) / nx, hgt = (lat2 - lat1) / ny;
      for (int iy = 0; iy < ny; ++iy)
        for (int ix = 0; ix < nx; ++ix) {
          uint32_t hb = Hash(r * 16 + iy, c * 16 + ix);
          if (hb % 7 == 0) continue; // a yard
          double gapX = w * (0.08 + (hb >> 3) % 10 * 0.01), gapY = hgt * (0.1 + (hb >> 8) % 8 * 0.01);
          out.push_back({{lat1 + iy * hgt + gapY, lon1 + ix * w + gapX},
                         {lat1 + (iy + 1) * hgt - gapY, lon1 + (ix + 1) * w - gapX}});
        }
    }
  return out;
}

} // namespace kelvra::sim
