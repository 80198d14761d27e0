#include "core/model/ZoneEdit.h"
#include "core/util/DisplayUnits.h"

#include <algorithm>
#include <cmath>

#include "core/map/OsmUtils.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

double Round(double v, int decimals) {
  const double f = std::pow(10.0, decimals);
  return std::round(v * f) / f;
}

bool HasPoint(const TGeoPoint &p) { return !std::isnan(p.Lat) && !std::isnan(p.Long); }

} // namespace

std::string NewZoneName(double lat, double lon) {
  return "Zone_" + f2s(lat, 4) + "_" + f2s(lon, 4);
}

std::unique_ptr<TZoneInfo> NewZone(const TGeoPoint &center) {
  auto zi = std::make_unique<TZoneInfo>(0, kZoneCircle);
  zi->name = NewZoneName(center.Lat, center.Long);
  zi->color = 0x00FF0000; // pure blue (0x00BBGGRR)
  zi->geom.center = center;
  zi->geom.radius = 100;
  zi->UpdateRect();
  return zi;
}

void PrepareZoneForEdit(TZoneInfo &zi, const TGeoPoint &mapCenter) {
  if (!zi.geom.HasCenter()) zi.geom.center = mapCenter;
  if (zi.type_id == kZoneCircle) {
    if (std::isnan(zi.geom.radius)) zi.geom.radius = 100;
  } else if (zi.type_id == kZonePolygon) {
    for (double heading : {0.0, 120.0, 240.0})
      if (zi.geom.nodes.size() < 3) zi.geom.nodes.push_back(ComputeOffset(zi.geom.center, 100, heading));
  }
  zi.UpdateRect();
}

std::string LatLonText(const TGeoPoint &p) { return f2s(p.Lat, 4) + "," + f2s(p.Long, 4); }

std::string ShownLatLon(const TGeoPoint &p) { return DisplayUnits().LatLon(p.Lat, p.Long, 4); }

bool SetZoneType(TZoneInfo &zi, int type) {
  if (type == zi.type_id || (type != kZoneCircle && type != kZonePolygon) || !zi.geom.HasCenter())
    return false;
  zi.type_id = type;
  if (type == kZoneCircle) {
    if (zi.HasRect()) zi.geom.radius = CalcLinDistanceInMeter(zi.rect.TopLeft, zi.rect.BottomRight) / 2;
    if (std::isnan(zi.geom.radius) || zi.geom.radius < 5) zi.geom.radius = 100;
  } else {
    // A circle that never had a radius still becomes a usable square.
    const double r = std::isnan(zi.geom.radius) || zi.geom.radius < 5 ? 100 : zi.geom.radius;
    for (double heading : {0.0, 90.0, 180.0, 270.0})
      if (zi.geom.nodes.size() < 4) zi.geom.nodes.push_back(ComputeOffset(zi.geom.center, r, heading));
  }
  zi.UpdateRect();
  return true;
}

bool SetZoneCenter(TZoneInfo &zi, const std::string &text) {
  double lat = NAN, lon = NAN;
  if (!DisplayUnits().ParseLatLon(text, lat, lon)) return false;
  const TGeoPoint c = zi.geom.center;
  if (HasPoint(c) && std::fabs(lat - c.Lat) < 1e-4 && std::fabs(lon - c.Long) < 1e-4) return false;
  const TGeoPoint to{Round(lon, 6), Round(lat, 6)};
  if (zi.type_id == kZonePolygon && HasPoint(c))
    for (TGeoPoint &n : zi.geom.nodes)
      n = TGeoPoint{n.Long + to.Long - c.Long, n.Lat + to.Lat - c.Lat};
  zi.geom.center = to;
  zi.UpdateRect();
  return true;
}

std::string ZoneCenterValue(const TZoneInfo &zi) {
  return f2s(zi.geom.center.Lat, 6) + "," + f2s(zi.geom.center.Long, 6);
}

bool SetZoneRadius(TZoneInfo &zi, const std::string &text) {
  double r = NAN;
  // A hair below 5 m is still 5 m: 16.4042 ft is 5.0000 m within rounding.
  if (!DisplayUnits().ParseShortDistance(text, r) || r < 5 - 1e-6 || std::isinf(r)) return false;
  zi.geom.radius = Round(std::max(r, 5.0), 2);
  zi.UpdateRect();
  return true;
}

std::string ShownRadius(const TZoneInfo &zi) {
  return f2s(DisplayUnits().ShortDistance(zi.geom.radius), 2);
}

bool InsertZoneNode(TZoneInfo &zi, int i) {
  auto &nodes = zi.geom.nodes;
  const int n = int(nodes.size());
  if (i < 0 || i >= n) return false;
  const TGeoPoint &a = nodes[size_t(i)];
  const TGeoPoint &b = nodes[size_t(i == 0 ? n - 1 : i - 1)];
  const auto mid = [](double u, double v) { return std::min(u, v) + std::fabs(u - v) / 2; };
  const TGeoPoint m{mid(a.Long, b.Long), mid(a.Lat, b.Lat)};
  nodes.insert(nodes.begin() + i, m);
  zi.UpdateRect();
  return true;
}

bool DeleteZoneNode(TZoneInfo &zi, int i) {
  auto &nodes = zi.geom.nodes;
  if (i < 0 || i >= int(nodes.size()) || nodes.size() <= 3) return false;
  nodes.erase(nodes.begin() + i);
  zi.UpdateRect();
  return true;
}

TMeasure PerimeterMeasure(double metres) { return DisplayUnits().Length(metres); }

TMeasure AreaMeasure(double squareMetres) { return DisplayUnits().Area(squareMetres); }

bool VisibleZonesRect(const TZoneList &zones, TGeoRect &rect) {
  bool any = false;
  for (const auto &z : zones) {
    if (!z || !z->visible || !z->HasRect()) continue;
    if (!any) {
      rect = z->rect;
      any = true;
      continue;
    }
    rect.TopLeft.Lat = std::max(rect.TopLeft.Lat, z->rect.TopLeft.Lat);
    rect.TopLeft.Long = std::min(rect.TopLeft.Long, z->rect.TopLeft.Long);
    rect.BottomRight.Lat = std::min(rect.BottomRight.Lat, z->rect.BottomRight.Lat);
    rect.BottomRight.Long = std::max(rect.BottomRight.Long, z->rect.BottomRight.Long);
  }
  return any;
}

void TZoneUpdateQueue::Put(const std::string &key, const std::string &value, int64_t nowMs) {
  fHash.SetVal(key, value);
  fLast = nowMs;
}

std::vector<std::pair<std::string, std::string>> TZoneUpdateQueue::Take() {
  std::vector<std::pair<std::string, std::string>> out;
  for (int i = 0; i < fHash.Count(); ++i)
    out.emplace_back(fHash.GetKey(i), fHash.GetValByIndex(i));
  fHash.Clear();
  return out;
}

} // namespace kelvra
