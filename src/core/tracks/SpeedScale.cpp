#include "core/tracks/SpeedScale.h"

#include <cmath>
#include <limits>

namespace kelvra {

int SpeedClass(double Kmh) {
  if (!std::isfinite(Kmh) || Kmh < 0) return -1;
  int c = 0;
  while (c < SpeedClassCount - 1 && Kmh >= SpeedClassBounds[std::size_t(c)]) ++c;
  return c;
}

double SegmentSpeed(const TTrackPointInfo &From, const TTrackPointInfo &To) {
  if (To.HasSpeed()) return To.speed;
  const double hours = (To.obj_dt - From.obj_dt) * 24;
  if (From.obj_dt == 0 || To.obj_dt == 0 || !(hours > 0) || !From.HasLatLon() || !To.HasLatLon())
    return std::numeric_limits<double>::quiet_NaN();
  // Between two fixes of one track the flat approximation is within a fraction
  // of a per cent, and a long track is classified at every repaint of a new zoom.
  constexpr double EarthRadiusKm = 6371.0088, Rad = 3.14159265358979323846 / 180;
  const double dy = (To.lat - From.lat) * Rad;
  const double dx = (To.lon - From.lon) * Rad * std::cos((To.lat + From.lat) / 2 * Rad);
  return std::hypot(dx, dy) * EarthRadiusKm / hours;
}

} // namespace kelvra
