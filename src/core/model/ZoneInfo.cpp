#include "core/model/ZoneInfo.h"

#include "core/map/OsmUtils.h"
#include "core/map/geo_utils.h"
#include "core/util/LumForm.h"
#include "core/util/LumSmallUtils.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace kelvra {

namespace {


// A default point holds NaN coordinates.

} // namespace

TZoneGeom::TZoneGeom() : center(TGeoPoint{}), radius(kNaN) {}

bool TZoneGeom::HasCenter() const { return !std::isnan(center.Long) && !std::isnan(center.Lat); }

void TZoneGeom::Assign(const TZoneGeom &geom) {
  center = geom.center;
  radius = geom.radius;
  nodes = geom.nodes;
}

std::string TZoneGeom::ToJsonString(int type_id) const {
  using nlohmann::json;
  if (type_id == kZoneCircle) {
    json j = json::object();
    j["center"] = json::array({center.Long, center.Lat});
    j["radius"] = radius;
    return j.dump();
  }
  if (type_id == kZonePolygon) {
    json j = json::array();
    for (const TGeoPoint &p : nodes)
      j.push_back(json::array({p.Long, p.Lat}));
    return j.dump();
  }
  throw std::runtime_error("TZoneGeom.ToJsonString: unknown type_id [" + std::to_string(type_id) +
                           "]");
}

namespace {

double JsonNumber(const nlohmann::json &v) {
  if (v.is_number()) return v.get<double>();
  return kNaN;
}

} // namespace

void TZoneGeom::ReadJsonString(const std::string &text, int type_id) {
  using nlohmann::json;
  std::string src = text;
  size_t start = src.find_first_not_of(" \t\r\n");
  if (start != std::string::npos && src[start] == '[') src = "{\"geom\":" + src + "}";
  json j = json::parse(src, nullptr, false);
  if (!j.is_object()) return;
  if (type_id == kZoneCircle) {
    auto c = j.find("center");
    if (c != j.end() && c->is_array() && c->size() > 1) {
      center.Long = JsonNumber((*c)[0]);
      center.Lat = JsonNumber((*c)[1]);
    }
    auto r = j.find("radius");
    radius = r != j.end() ? JsonNumber(*r) : kNaN;
  } else if (type_id == kZonePolygon) {
    nodes.clear();
    auto g = j.find("geom");
    if (g == j.end() || !g->is_array()) return;
    for (const json &node : *g) {
      // A malformed node is left out rather than read as a point at (0, 0).
      if (!node.is_array() || node.size() < 2) continue;
      TGeoPoint p;
      p.Long = JsonNumber(node[0]);
      p.Lat = JsonNumber(node[1]);
      if (std::isnan(p.Long) || std::isnan(p.Lat)) continue;
      nodes.push_back(p);
    }
  }
}

TZoneInfo::TZoneInfo(int aUid, int aType) : uid(aUid), type_id(aType) {
  rect.TopLeft = TGeoPoint{};
  rect.BottomRight = TGeoPoint{};
}

TZoneInfo::TZoneInfo(const TZoneInfo &zi) : TZoneInfo() { Assign(zi); }

TZoneInfo &TZoneInfo::operator=(const TZoneInfo &zi) {
  if (this != &zi) Assign(zi);
  return *this;
}

void TZoneInfo::Assign(const TZoneInfo &zi) {
  uid = zi.uid;
  type_id = zi.type_id;
  user_id = zi.user_id;
  name = zi.name;
  desc = zi.desc;
  geom.Assign(zi.geom);
  color = zi.color;
  del_dt = zi.del_dt;
  visible = zi.visible;
  edited = zi.edited;
  UpdateRect();
}

bool TZoneInfo::HasRect() const {
  return !std::isnan(rect.TopLeft.Long) && !std::isnan(rect.TopLeft.Lat) &&
         !std::isnan(rect.BottomRight.Long) && !std::isnan(rect.BottomRight.Lat);
}

bool TZoneInfo::Contains(double lat, double lon) const {
  if (std::isnan(lat) || std::isnan(lon)) return false;
  if (type_id == kZoneCircle)
    return geom.HasCenter() && !std::isnan(geom.radius) &&
           DistanceBetween(lat, lon, geom.center.Lat, geom.center.Long) <= geom.radius;
  if (type_id != kZonePolygon) return false;
  const auto &nodes = geom.nodes;
  const size_t n = nodes.size();
  if (n < 3) return false;
  bool inside = false;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const TGeoPoint &a = nodes[i], &b = nodes[j];
    if ((a.Lat > lat) != (b.Lat > lat) &&
        lon < (b.Long - a.Long) * (lat - a.Lat) / (b.Lat - a.Lat) + a.Long)
      inside = !inside;
  }
  return inside;
}

void TZoneInfo::UpdateRect() {
  rect.TopLeft = TGeoPoint{};
  rect.BottomRight = TGeoPoint{};
  if (type_id == kZoneCircle) {
    if (geom.HasCenter() && !std::isnan(geom.radius)) {
      rect.TopLeft = ComputeOffset(geom.center, geom.radius * 1.4142, 315);
      rect.BottomRight = ComputeOffset(geom.center, geom.radius * 1.4142, 135);
    }
    area = std::numbers::pi * geom.radius * geom.radius;
    perimeter = 2 * std::numbers::pi * geom.radius;
  } else if (type_id == kZonePolygon) {
    area = 0;
    perimeter = 0;
    const auto &nodes = geom.nodes;
    const size_t n = nodes.size();
    if (n > 2) {
      for (size_t i = 0; i < n; ++i) {
        const TGeoPoint &p = nodes[i];
        if (std::isnan(rect.TopLeft.Lat) || p.Lat > rect.TopLeft.Lat) rect.TopLeft.Lat = p.Lat;
        if (std::isnan(rect.TopLeft.Long) || p.Long < rect.TopLeft.Long) rect.TopLeft.Long = p.Long;
        if (std::isnan(rect.BottomRight.Lat) || p.Lat < rect.BottomRight.Lat)
          rect.BottomRight.Lat = p.Lat;
        if (std::isnan(rect.BottomRight.Long) || p.Long > rect.BottomRight.Long)
          rect.BottomRight.Long = p.Long;
      }
      const TPolygonMeasure m = MeasurePolygon(nodes);
      area = m.area;
      perimeter = m.perimeter;
    }
    if (HasRect()) {
      geom.center.Lat = rect.BottomRight.Lat + (rect.TopLeft.Lat - rect.BottomRight.Lat) / 2;
      geom.center.Long = rect.TopLeft.Long + (rect.BottomRight.Long - rect.TopLeft.Long) / 2;
    } else {
      geom.center = TGeoPoint{};
    }
  }
}

std::string TZoneInfo::ToUrlString() const {
  return "uid=" + std::to_string(uid) + "&name=" + UrlEncode(name) +
         "&type_id=" + std::to_string(type_id) + "&color=" + UrlEncode(color2web(color)) +
         "&geom=" + UrlEncode(geom.ToJsonString(type_id)) + "&desc=" + UrlEncode(desc) + "&";
}

nlohmann::json TZoneInfo::ToJson() const {
  nlohmann::json j = nlohmann::json::object();
  j["uid"] = uid;
  j["name"] = name;
  j["type_id"] = type_id;
  j["user_id"] = user_id;
  j["color"] = color2web(color);
  j["geom"] = geom.ToJsonString(type_id);
  j["desc"] = desc;
  j["area"] = area;
  j["perimeter"] = perimeter;
  return j;
}

} // namespace kelvra
