#include "core/map/OsmUtils.h"

#include "core/map/geo_utils.h"

#include <cmath>

namespace kelvra {

double DistanceBetween(const TGeoPoint &p1, const TGeoPoint &p2) {
  return DistanceBetween(p1.Lat, p1.Long, p2.Lat, p2.Long);
}

TGeoPoint ComputeOffset(const TGeoPoint &from, double distance, double heading) {
  constexpr double EarthRadius = 6371009;
  const double d = distance / EarthRadius;
  const double h = ToRadians(heading);
  const double fromLat = ToRadians(from.Lat);
  const double fromLng = ToRadians(from.Long);
  const double sinLat =
      std::cos(d) * std::sin(fromLat) + std::sin(d) * std::cos(fromLat) * std::cos(h);
  const double dLng = std::atan2(std::sin(h) * std::sin(d) * std::cos(fromLat),
                                 std::cos(d) - std::sin(fromLat) * sinLat);
  double lng = ToDegrees(fromLng + dLng);
  // A zone drawn next to the 180th meridian must not trip the point's range
  // check: the same place is named by its longitude inside -180..180.
  if (lng > 180)
    lng -= 360;
  else if (lng < -180)
    lng += 360;
  return TGeoPoint{lng, ToDegrees(std::asin(sinLat))};
}

} // namespace kelvra
