#include "core/map/SlippyMapUtils.h"

#include <algorithm>
#include <cassert>
#include <numbers>

namespace kelvra {

const double TileMetersPerPixelOnEquator[MaxMapZoomLevel + 1] = {
    156412, 78206,  39103,  19551, 9776,  4888,  2444,  1222,  610.984, 305.492, 152.746,
    76.373, 38.187, 19.093, 9.547, 4.773, 2.387, 1.193, 0.596, 0.298,   0.149};

const double ScalebarWidthInKm[MaxMapZoomLevel + 1] = {10000, 5000, 3000, 1000, 500,  300,  200,
                                                       100,   50,   30,   10,   5,    3,    1,
                                                       0.5,   0.3,  0.2,  0.1,  0.05, 0.02, 0.01};

namespace {
constexpr double MaxLat = 85.1;
// The linear distance formula's own constants: a shortened degree-to-radian
// factor, the equatorial radius and the ellipsoid's squared eccentricity.
constexpr double D2R = 0.017453;
constexpr double a = 6378137.0;
constexpr double e2 = 0.006739496742337;
} // namespace

TGeoPoint TGeoPoint::Create(double Long, double Lat) {
  assert(Long >= -180 && Long <= 180);
  assert(Lat >= -MaxLat && Lat <= MaxLat);
  return TGeoPoint{Long, Lat};
}

TGeoRect TGeoRect::Create(const TGeoPoint &TopLeft, const TGeoPoint &BottomRight) {
  return TGeoRect{TopLeft, BottomRight};
}

bool TGeoRect::Contains(const TGeoPoint &GeoPoint) const {
  return TopLeft.Long <= GeoPoint.Long && GeoPoint.Long <= BottomRight.Long &&
         BottomRight.Lat <= GeoPoint.Lat && GeoPoint.Lat <= TopLeft.Lat;
}

TRect ToTileBoundary(const TRect &Rect) {
  auto snapUp = [](int v) { return (v & ~0xFF) + ((v & 0xFF) != 0 ? TileSize : 0); };
  return TRect{(Rect.Left / TileSize) * TileSize, Rect.Top & ~0xFF, snapUp(Rect.Right),
               snapUp(Rect.Bottom)};
}

namespace {
// Floor of a map coordinate, kept inside 0..MapSize so that the edges (row 0
// of the map, 85.1 degrees) never leave the map. A ten-thousandth of a pixel of
// slack lets a coordinate converted to degrees and back land on its own pixel
// instead of the one before it.
std::uint32_t ClampedFloor(double v, TMapZoomLevel Zoom) {
  const double size = double(MapSize(Zoom));
  const double f = std::floor(v + 1e-4);
  if (!(f > 0)) // also NaN, which must not reach the integer conversion
    return 0;
  return std::uint32_t(std::min(f, size));
}
} // namespace

std::uint32_t LongitudeToMapCoord(TMapZoomLevel Zoom, double Longitude) {
  assert(Longitude >= -180 && Longitude <= 180);
  return ClampedFloor((Longitude + 180) / 360 * double(MapSize(Zoom)), Zoom);
}

std::uint32_t LatitudeToMapCoord(TMapZoomLevel Zoom, double Latitude) {
  assert(Latitude >= -MaxLat && Latitude <= MaxLat);
  const double latInRad = Latitude * std::numbers::pi / 180;
  const double v = (1 - std::log(std::tan(latInRad) + 1 / std::cos(latInRad)) / std::numbers::pi) /
                   2 * double(MapSize(Zoom));
  return ClampedFloor(v, Zoom);
}

double MapCoordToLongitude(TMapZoomLevel Zoom, std::uint32_t X) {
  assert(X <= MapSize(Zoom));
  return double(X) / double(MapSize(Zoom)) * 360 - 180;
}

double MapCoordToLatitude(TMapZoomLevel Zoom, std::uint32_t Y) {
  assert(Y <= MapSize(Zoom));
  const double n = std::numbers::pi - 2 * std::numbers::pi * double(Y) / double(MapSize(Zoom));
  return std::atan((std::exp(n) - std::exp(-n)) * 0.5) * 180 / std::numbers::pi;
}

std::uint32_t MapCoordToTileNumber(TMapZoomLevel Zoom, std::uint64_t Coord) {
  const std::uint64_t last = (MapSize(Zoom) / TileSize) - 1;
  return std::uint32_t(std::min(Coord / TileSize, last));
}

TTile GeoPointToTile(TMapZoomLevel Zoom, const TGeoPoint &Point) {
  auto within = [](double v, double limit) {
    return std::isnan(v) ? 0 : std::clamp(v, -limit, limit);
  };
  return TTile{Zoom, MapCoordToTileNumber(Zoom, LongitudeToMapCoord(Zoom, within(Point.Long, 180))),
               MapCoordToTileNumber(Zoom, LatitudeToMapCoord(Zoom, within(Point.Lat, MaxLat)))};
}

double CalcLinDistanceInMeter(const TGeoPoint &Coord1, const TGeoPoint &Coord2) {
  // The shorter way round: two points either side of the 180th meridian are close.
  const double dLambda = std::remainder(Coord1.Long - Coord2.Long, 360.0) * D2R;
  const double dPhi = (Coord1.Lat - Coord2.Lat) * D2R;
  const double phiMean = (Coord1.Lat + Coord2.Lat) / 2 * D2R;
  const double sinPhiMean2 = std::pow(std::sin(phiMean), 2);
  const double temp = 1 - e2 * sinPhiMean2;
  const double rho = a * (1 - e2) / std::pow(temp, 1.5);
  const double nu = a / std::sqrt(1 - e2 * sinPhiMean2);
  const double cos1 = std::cos(Coord1.Lat * D2R);
  const double cos2 = std::cos(Coord2.Lat * D2R);
  const double h =
      std::pow(std::sin(dPhi / 2), 2) + cos2 * cos1 * std::pow(std::sin(dLambda / 2), 2);
  const double z = 2 * std::asin(std::clamp(std::sqrt(h), 0.0, 1.0));
  // The azimuth below divides by sin(z): points that coincide are 0 apart.
  const double sinZ = std::sin(z);
  if (z == 0 || sinZ == 0) return 0;
  const double alpha = std::asin(std::clamp(cos2 * std::sin(dLambda) / sinZ, -1.0, 1.0));
  const double sinA2 = std::pow(std::sin(alpha), 2);
  const double cosA2 = std::pow(std::cos(alpha), 2);
  const double r = rho * nu / (rho * sinA2 + nu * cosA2);
  return z * r;
}

void GetScaleBarParams(TMapZoomLevel Zoom, std::uint32_t &ScalebarWidthInPixel,
                       std::uint32_t &ScalebarWidthInMeter, std::string &Text) {
  assert(Zoom <= MaxMapZoomLevel);
  const double meters = ScalebarWidthInKm[Zoom] * 1000;
  // nearbyint rounds half to even under the default rounding mode.
  ScalebarWidthInPixel = std::uint32_t(std::nearbyint(meters / TileMetersPerPixelOnEquator[Zoom]));
  ScalebarWidthInMeter = std::uint32_t(std::nearbyint(meters));
  if (ScalebarWidthInMeter >= 1000)
    Text = std::to_string(ScalebarWidthInMeter / 1000) + " km";
  else
    Text = std::to_string(ScalebarWidthInMeter) + " m";
}

} // namespace kelvra
