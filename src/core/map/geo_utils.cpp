#include "core/map/geo_utils.h"

#include "core/util/LumSmallUtils.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>

#include <cmath>
#include <numbers>

namespace kelvra {

double ToRadians(double x) { return x * std::numbers::pi / 180; }

double ToDegrees(double x) { return x * 180 / std::numbers::pi; }

std::string FormatDistance(double distance) {
  if (std::isnan(distance)) return "NaN";
  if (distance < 1000) return f2s(distance, 0) + " m";
  return f2s(distance / 1000, 2) + " km";
}

double DistanceBetween(double Lat1, double Lon1, double Lat2, double Lon2) {
  if (std::isnan(Lat1) || std::isnan(Lon1) || std::isnan(Lat2) || std::isnan(Lon2)) return 0;
  double s12 = 0;
  GeographicLib::Geodesic::WGS84().Inverse(Lat1, Lon1, Lat2, Lon2, s12);
  return s12;
}

TPolygonMeasure MeasurePolygon(const std::vector<TGeoPoint> &nodes) {
  if (nodes.size() < 3) return {};
  GeographicLib::PolygonArea polygon(GeographicLib::Geodesic::WGS84());
  for (const TGeoPoint &p : nodes) {
    if (std::isnan(p.Lat) || std::isnan(p.Long)) return {};
    polygon.AddPoint(p.Lat, p.Long);
  }
  TPolygonMeasure m;
  // Signed, so that a polygon drawn clockwise is not taken for the rest of the earth.
  polygon.Compute(false, true, m.perimeter, m.area);
  m.area = std::fabs(m.area);
  return m;
}

} // namespace kelvra
