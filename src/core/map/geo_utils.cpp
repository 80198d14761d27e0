#include "core/map/geo_utils.h"
#include "core/util/DisplayUnits.h"

#include "core/util/LumSmallUtils.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>

#include <cmath>
#include <numbers>

namespace kelvra {

double ToRadians(double x) { return x * std::numbers::pi / 180; }

double ToDegrees(double x) { return x * 180 / std::numbers::pi; }

std::string FormatDistance(double distance) { return DisplayUnits().Distance(distance); }

double DistanceBetween(double Lat1, double Lon1, double Lat2, double Lon2) {
  if (std::isnan(Lat1) || std::isnan(Lon1) || std::isnan(Lat2) || std::isnan(Lon2)) return 0;
  double s12 = 0;
  GeographicLib::Geodesic::WGS84().Inverse(Lat1, Lon1, Lat2, Lon2, s12);
  return s12;
}

double DistanceNear(double Lat1, double Lon1, double Lat2, double Lon2) {
  if (std::isnan(Lat1) || std::isnan(Lon1) || std::isnan(Lat2) || std::isnan(Lon2)) return 0;
  const double dLat = Lat2 - Lat1, dLon = Lon2 - Lon1;
  // About 5 km of latitude, and the same east-west at moderate latitudes.
  if (std::fabs(dLat) > 0.05 || std::fabs(dLon) > 0.05) return DistanceBetween(Lat1, Lon1, Lat2, Lon2);
  constexpr double A = 6378137.0, F = 1 / 298.257223563, E2 = F * (2 - F);
  const double phi = ToRadians((Lat1 + Lat2) / 2), s = std::sin(phi);
  const double w = 1 - E2 * s * s;
  const double meridian = A * (1 - E2) / (w * std::sqrt(w)); // north-south radius
  const double normal = A / std::sqrt(w);                    // east-west radius
  const double y = meridian * ToRadians(dLat), x = normal * std::cos(phi) * ToRadians(dLon);
  return std::hypot(x, y);
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

void GetScaleBarParams(int Zoom, const TDisplayUnits &Units,
                       std::uint32_t &ScalebarWidthInPixel, std::string &Text) {
  if (Units.system == TUnitSystem::Metric) {
    std::uint32_t metres = 0;
    GetScaleBarParams(TMapZoomLevel(Zoom), ScalebarWidthInPixel, metres, Text);
    return;
  }
  if (Zoom < 0 || Zoom > MaxMapZoomLevel) {
    ScalebarWidthInPixel = 0;
    Text.clear();
    return;
  }
  double px = 0;
  Units.ScaleBar(TileMetersPerPixelOnEquator[Zoom], 100, px, Text);
  ScalebarWidthInPixel = std::uint32_t(std::lround(px));
}

} // namespace kelvra
