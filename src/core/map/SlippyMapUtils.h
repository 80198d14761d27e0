#pragma once
// Web-Mercator tile pyramid: the shared coordinate records and the conversions
// between degrees and map pixels. Stateless; safe to call from any thread.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace kelvra {

// A geographic point, longitude first. An absent coordinate is a quiet NaN,
// which is also what a default-constructed point holds.
struct TGeoPoint {
  double Long = std::numeric_limits<double>::quiet_NaN();
  double Lat = std::numeric_limits<double>::quiet_NaN();

  // Asserts -180 <= Long <= 180 and -85.1 <= Lat <= 85.1: callers keep values
  // in range, so a violation is a programming error, not bad input.
  static TGeoPoint Create(double Long, double Lat);
};

// A rectangle by its north-west (TopLeft) and south-east (BottomRight)
// corners. One that crosses the 180th meridian is not supported.
struct TGeoRect {
  TGeoPoint TopLeft;
  TGeoPoint BottomRight;

  static TGeoRect Create(const TGeoPoint &TopLeft, const TGeoPoint &BottomRight);
  // All four edges are inclusive.
  bool Contains(const TGeoPoint &GeoPoint) const;
};

using TMapZoomLevel = std::uint8_t; // 0..20
constexpr TMapZoomLevel MaxMapZoomLevel = 20;

// Key of one 256 x 256 tile: column 0 at 180 W, row 0 at the northern edge.
struct TTile {
  TMapZoomLevel Zoom = 0;
  std::uint32_t ParameterX = 0;
  std::uint32_t ParameterY = 0;

  bool operator==(const TTile &) const = default;
};

// A rectangle in map pixels (or in tile numbers); Right and Bottom exclusive.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  bool operator==(const TRect &) const = default;
};

constexpr int TileSize = 256;

// Metres per pixel on the equator, by zoom.
extern const double TileMetersPerPixelOnEquator[MaxMapZoomLevel + 1];
// Distance the scale bar stands for, in kilometres, by zoom.
extern const double ScalebarWidthInKm[MaxMapZoomLevel + 1];

// Side of the whole world map in pixels at a zoom: 256 * 2^Zoom.
inline std::uint64_t MapSize(TMapZoomLevel Zoom) { return std::uint64_t(TileSize) << Zoom; }

// Snaps a pixel rectangle outward to tile edges.
TRect ToTileBoundary(const TRect &Rect);

std::uint32_t LongitudeToMapCoord(TMapZoomLevel Zoom, double Longitude);
// The latitude of the map's north edge (and, negated, of its south edge).
inline constexpr double MapEdgeLat = 85.0511287798;
// Latitudes beyond the map's edge land on row 0 or MapSize.
std::uint32_t LatitudeToMapCoord(TMapZoomLevel Zoom, double Latitude);
double MapCoordToLongitude(TMapZoomLevel Zoom, std::uint32_t X);
double MapCoordToLatitude(TMapZoomLevel Zoom, std::uint32_t Y);

// The tile column or row that holds a map coordinate. Longitude 180 and latitudes at or
// beyond the south edge are map coordinate MapSize, one past the last pixel: they belong to
// the last tile, so every number asked for lies within 0..2^Zoom - 1.
std::uint32_t MapCoordToTileNumber(TMapZoomLevel Zoom, std::uint64_t Coord);
// The tile that holds a point. Coordinates beyond the map are taken at its edge, a NaN
// coordinate as 0.
TTile GeoPointToTile(TMapZoomLevel Zoom, const TGeoPoint &Point);

// Distance in metres by the mean radius of curvature between the two points;
// 0 for the same point.
double CalcLinDistanceInMeter(const TGeoPoint &Coord1, const TGeoPoint &Coord2);

// The scale bar for a zoom (the equator's scale at every latitude).
void GetScaleBarParams(TMapZoomLevel Zoom, std::uint32_t &ScalebarWidthInPixel,
                       std::uint32_t &ScalebarWidthInMeter, std::string &Text);

} // namespace kelvra
