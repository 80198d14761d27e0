#include "sim/SimTiles.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include <cairo.h>

#include "sim/SimCity.h"

namespace kelvra::sim {

namespace {

// Colours of the standard OpenStreetMap style.
struct TColor {
  double r, g, b;
};
constexpr TColor Hex(uint32_t v) {
  return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}
constexpr TColor kLand = Hex(0xF2EFE9), kResidential = Hex(0xE0DFDF), kPark = Hex(0xC8FACC),
                 kParkEdge = Hex(0x9FD8A4), kWood = Hex(0xADD19E), kWater = Hex(0xAAD3DF),
                 kBuilding = Hex(0xD9D0C9), kBuildingEdge = Hex(0xC4B6AB), kText = Hex(0x333333),
                 kNumbers = Hex(0x6A6A80);
struct TRoadStyle {
  TColor fill, casing;
  double metres;   // the road's width on the ground
  int fromZoom;    // not drawn below this zoom
  double minPx;    // narrowest it is drawn
};
const TRoadStyle kRoadStyles[] = {
    {Hex(0xFFFFFF), Hex(0xBBBBBB), 10, 13, 1.2},  // minor (residential)
    {Hex(0xF7FABF), Hex(0x707D05), 16, 10, 1.0},  // major (secondary)
    {Hex(0xFCD6A4), Hex(0xA06B00), 20, 9, 1.6}}; // primary (the avenues)

constexpr int kMaxCachedBytes = 64 * 1024 * 1024;

std::atomic<bool> gNumbersAlways{false};
std::atomic<int64_t> gMaxAge{7 * 86400};
std::atomic<size_t> gDrawn{0};

// Drawn tiles by (zoom, column, row), oldest first out when the budget is spent.
struct TTileCache {
  std::mutex mutex;
  std::map<std::tuple<std::string, int64_t, int64_t, int64_t>, std::string> tiles;
  std::deque<std::tuple<std::string, int64_t, int64_t, int64_t>> order;
  size_t bytes = 0;
};
TTileCache &Cache() {
  static TTileCache cache;
  return cache;
}

// Web Mercator: degrees to pixels of the tile, and back.
struct TProjection {
  double scale, originX, originY, metresPerPx;
  TProjection(int64_t z, int64_t x, int64_t y)
      : scale(kTileSize * std::pow(2.0, static_cast<double>(z))),
        originX(static_cast<double>(x) * kTileSize), originY(static_cast<double>(y) * kTileSize) {
    metresPerPx = 40075016.686 * std::cos(58.0 * M_PI / 180) / scale;
  }
  double X(double lon) const { return (lon + 180) / 360 * scale - originX; }
  double Y(double lat) const {
    double s = std::sin(lat * M_PI / 180);
    return (0.5 - std::log((1 + s) / (1 - s)) / (4 * M_PI)) * scale - originY;
  }
  double Lon(double px) const { return (px + originX) / scale * 360 - 180; }
  double Lat(double py) const {
    double n = M_PI * (1 - 2 * (py + originY) / scale);
    return std::atan(std::sinh(n)) * 180 / M_PI;
  }
};

struct TCairo {
  cairo_surface_t *surface;
  cairo_t *cr;
  TCairo()
      : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kTileSize, kTileSize)),
        cr(cairo_create(surface)) {}
  ~TCairo() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  TCairo(const TCairo &) = delete;
  TCairo &operator=(const TCairo &) = delete;
};

void SetColor(cairo_t *cr, TColor c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

void PathOf(cairo_t *cr, const TProjection &p, const std::vector<TLatLon> &pts, bool closed) {
  cairo_new_path(cr);
  for (auto &pt : pts)
    cairo_line_to(cr, p.X(pt.second), p.Y(pt.first));
  if (closed) cairo_close_path(cr);
}

cairo_status_t AppendPng(void *closure, const unsigned char *data, unsigned int length) {
  static_cast<std::string *>(closure)->append(reinterpret_cast<const char *>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

double RoadWidth(const TRoadStyle &s, const TProjection &p) {
  return std::max(s.minPx, s.metres / p.metresPerPx);
}

// Street names along the roads, upright, with a light halo; only where the whole label lies on
// one straight piece of road and inside this tile, so a name is never cut at a tile's edge.
void DrawNames(cairo_t *cr, const TProjection &p, const TSimCity &city, int64_t z) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, z >= 17 ? 12 : 10.5);
  for (auto &road : city.roads) {
    const TRoadStyle &style = kRoadStyles[static_cast<int>(road.cls)];
    if (z < style.fromZoom || road.name.empty()) continue;
    cairo_text_extents_t ext;
    cairo_text_extents(cr, road.name.c_str(), &ext);
    for (size_t i = 0; i + 1 < road.points.size(); ++i) {
      if (road.cls != TRoadClass::Primary && i % 2 == 1) continue; // every other block
      double x1 = p.X(road.points[i].second), y1 = p.Y(road.points[i].first);
      double x2 = p.X(road.points[i + 1].second), y2 = p.Y(road.points[i + 1].first);
      double len = std::hypot(x2 - x1, y2 - y1);
      if (len < ext.x_advance + 24) continue;
      // long pieces carry their name every 400 pixels, at fixed places along them
      int labels = std::max(1, static_cast<int>(len / 400));
      double angle = std::atan2(y2 - y1, x2 - x1);
      if (angle > M_PI / 2) angle -= M_PI;
      if (angle <= -M_PI / 2) angle += M_PI;
      for (int k = 0; k < labels; ++k) {
        double f = (k + 0.5) / labels;
        double cx = x1 + (x2 - x1) * f, cy = y1 + (y2 - y1) * f;
        double half = ext.x_advance / 2 + 4;
        if (cx - half < 0 || cx + half > kTileSize || cy - half < 0 || cy + half > kTileSize)
          continue;
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, angle);
        cairo_move_to(cr, -ext.x_advance / 2, -(ext.y_bearing + ext.height / 2));
        cairo_text_path(cr, road.name.c_str());
        cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
        cairo_set_line_width(cr, 3);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke_preserve(cr);
        SetColor(cr, kText);
        cairo_fill(cr);
        cairo_restore(cr);
      }
    }
  }
}

void DrawCity(cairo_t *cr, const TProjection &p, int64_t z, double minLat, double minLon,
              double maxLat, double maxLon) {
  const TSimCity &city = TSimCity::Get();
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  // areas: residential land, woods, parks, water
  for (auto &a : city.areas) {
    PathOf(cr, p, a.ring, true);
    switch (a.kind) {
    case TAreaKind::Residential:
      SetColor(cr, kResidential);
      cairo_fill(cr);
      break;
    case TAreaKind::Wood:
      SetColor(cr, kWood);
      cairo_fill(cr);
      break;
    case TAreaKind::Park:
      SetColor(cr, kPark);
      cairo_fill_preserve(cr);
      SetColor(cr, kParkEdge);
      cairo_set_line_width(cr, z >= 14 ? 1 : 0.5);
      cairo_stroke(cr);
      break;
    case TAreaKind::Water:
      SetColor(cr, kWater);
      cairo_fill(cr);
      break;
    }
  }
  // the river, as wide as it is on the ground
  PathOf(cr, p, city.river, false);
  SetColor(cr, kWater);
  cairo_set_line_width(cr, std::max(2.0, city.riverWidthM / p.metresPerPx));
  cairo_stroke(cr);

  if (z >= 15) {
    for (auto &b : city.BuildingsIn(minLat, minLon, maxLat, maxLon)) {
      double x1 = p.X(b.sw.second), y1 = p.Y(b.ne.first);
      double x2 = p.X(b.ne.second), y2 = p.Y(b.sw.first);
      cairo_rectangle(cr, x1, y1, x2 - x1, y2 - y1);
      SetColor(cr, kBuilding);
      cairo_fill_preserve(cr);
      SetColor(cr, kBuildingEdge);
      cairo_set_line_width(cr, 0.8);
      cairo_stroke(cr);
    }
  }

  // roads: every casing first, then the fills from minor to primary, so crossings join
  for (int pass = 0; pass < 2; ++pass)
    for (auto &road : city.roads) {
      const TRoadStyle &style = kRoadStyles[static_cast<int>(road.cls)];
      if (z < style.fromZoom) continue;
      double w = RoadWidth(style, p);
      bool cased = z >= 13;
      if (pass == 0 && !cased) continue;
      PathOf(cr, p, road.points, false);
      SetColor(cr, pass == 0 ? style.casing : style.fill);
      cairo_set_line_width(cr, pass == 0 ? w + 1.6 : w);
      cairo_stroke(cr);
    }
  if (z >= 15) DrawNames(cr, p, city, z);
}

// The topographic style: the standard map on tinted terrain with contour lines of a hill
// south-east of the city (every 20 m of height a ring, every fifth one darker).
void DrawTopo(cairo_t *cr, const TProjection &p, int64_t z) {
  cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY);
  cairo_set_source_rgb(cr, 0.94, 0.90, 0.76);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  if (z < 8) return;
  const double hillLat = 57.975, hillLon = 56.33, ringDeg = 0.0035;
  const double cx = p.X(hillLon), cy = p.Y(hillLat);
  const double pxPerDegLon = p.X(hillLon + 1) - cx, pxPerDegLat = cy - p.Y(hillLat + 1);
  for (int k = 1; k <= 40; ++k) {
    const double rx = k * ringDeg * pxPerDegLon * 0.55, ry = k * ringDeg * pxPerDegLat;
    if (rx < 2) continue;
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    const bool index = k % 5 == 0;
    cairo_set_source_rgba(cr, 0.62, 0.42, 0.22, index ? 0.8 : 0.45);
    cairo_set_line_width(cr, index ? 1.2 : 0.6);
    cairo_stroke(cr);
  }
}

std::string Draw(int64_t z, int64_t x, int64_t y, const std::string &style) {
  TCairo c;
  cairo_t *cr = c.cr;
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
  SetColor(cr, kLand);
  cairo_paint(cr);

  TProjection p(z, x, y);
  // The tile's box with a margin, for what reaches into it from outside.
  double minLat = p.Lat(kTileSize + 64), maxLat = p.Lat(-64);
  double minLon = p.Lon(-64), maxLon = p.Lon(kTileSize + 64);
  const TSimCity &city = TSimCity::Get();
  const double riverLat = 0.02; // the river runs just north of the city
  bool near = maxLat >= city.minLat && minLat <= city.maxLat + riverLat && maxLon >= city.minLon - 0.3 &&
              minLon <= city.maxLon + 0.3;
  if (near) DrawCity(cr, p, z, minLat, minLon, maxLat, maxLon);
  if (style == "topo") DrawTopo(cr, p, z);

  if (z >= kTileNumbersFromZoom || gNumbersAlways) {
    std::string label =
        std::to_string(z) + "/" + std::to_string(x) + "/" + std::to_string(y);
    cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10);
    cairo_move_to(cr, 4, kTileSize - 5);
    cairo_text_path(cr, label.c_str());
    cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
    cairo_set_line_width(cr, 3);
    cairo_stroke_preserve(cr);
    SetColor(cr, kNumbers);
    cairo_fill(cr);
  }
  cairo_surface_flush(c.surface);
  std::string png;
  if (cairo_surface_write_to_png_stream(c.surface, AppendPng, &png) != CAIRO_STATUS_SUCCESS)
    return {};
  ++gDrawn;
  return png;
}

} // namespace

bool TileExists(int64_t z, int64_t x, int64_t y) {
  if (z < 0 || z > kMaxTileZoom) return false;
  int64_t n = int64_t(1) << z;
  return x >= 0 && y >= 0 && x < n && y < n;
}

bool TileStyleExists(const std::string &style) { return style == "standard" || style == "topo"; }

std::string RenderTile(int64_t z, int64_t x, int64_t y, const std::string &style) {
  if (!TileExists(z, x, y) || !TileStyleExists(style)) return {};
  auto key = std::make_tuple(style, z, x, y);
  TTileCache &cache = Cache();
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.tiles.find(key);
    if (it != cache.tiles.end()) return it->second;
  }
  // Drawn outside the lock: tiles are drawn in parallel; two requests for the same new tile
  // may both draw it, which is harmless.
  std::string png = Draw(z, x, y, style);
  if (png.empty()) return png;
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.tiles.emplace(key, png).second) {
    cache.order.push_back(key);
    cache.bytes += png.size();
    while (cache.bytes > kMaxCachedBytes && !cache.order.empty()) {
      auto old = cache.tiles.find(cache.order.front());
      cache.bytes -= old->second.size();
      cache.tiles.erase(old);
      cache.order.pop_front();
    }
  }
  return png;
}

void SetTileNumbersAlways(bool always) {
  gNumbersAlways = always;
  TTileCache &cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.tiles.clear();
  cache.order.clear();
  cache.bytes = 0;
}

size_t TilesDrawn() { return gDrawn; }

} // namespace kelvra::sim

namespace kelvra::sim {

void SetTileMaxAge(int64_t seconds) { gMaxAge = std::max<int64_t>(0, seconds); }
int64_t TileMaxAge() { return gMaxAge; }

std::string TileETag(const std::string &png) {
  uint64_t h = 1469598103934665603ull; // FNV-1a
  for (unsigned char c : png) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char text[24];
  std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(h));
  return text;
}

namespace {
// Seconds since 1970 of an IMF-fixdate ("Mon, 01 Jan 2024 00:00:00 GMT"); -1 otherwise.
int64_t FixDate(const std::string &text) {
  static const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char wd[4] = {}, mon[4] = {}, zone[4] = {};
  int d = 0, y = 0, hh = 0, mm = 0, ss = 0;
  if (std::sscanf(text.c_str(), "%3s, %d %3s %d %d:%d:%d %3s", wd, &d, mon, &y, &hh, &mm, &ss,
                  zone) != 8 ||
      std::string(zone) != "GMT")
    return -1;
  int m = -1;
  for (int i = 0; i < 12; ++i)
    if (std::string(mon) == months[i]) m = i;
  if (m < 0) return -1;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = m;
  tm.tm_mday = d;
  tm.tm_hour = hh;
  tm.tm_min = mm;
  tm.tm_sec = ss;
  return static_cast<int64_t>(timegm(&tm));
}
} // namespace

bool TileNotModified(const std::string &etag, const std::string &ifNoneMatch,
                     const std::string &ifModifiedSince) {
  if (!ifNoneMatch.empty()) {
    if (ifNoneMatch.find('*') != std::string::npos) return true;
    // Weak comparison: W/"x" matches "x".
    size_t pos = 0;
    while (pos < ifNoneMatch.size()) {
      size_t end = ifNoneMatch.find(',', pos);
      if (end == std::string::npos) end = ifNoneMatch.size();
      std::string tag = ifNoneMatch.substr(pos, end - pos);
      tag.erase(0, tag.find_first_not_of(" \t"));
      tag.erase(tag.find_last_not_of(" \t") + 1);
      if (tag.rfind("W/", 0) == 0) tag = tag.substr(2);
      if (tag == etag) return true;
      pos = end + 1;
    }
    return false;
  }
  const int64_t since = FixDate(ifModifiedSince);
  return since >= 0 && since >= FixDate(kTileLastModified);
}

} // namespace kelvra::sim
