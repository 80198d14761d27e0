#pragma once
// Geodesy on the WGS-84 ellipsoid (GeographicLib), angle conversions and distance text.
#include <string>
#include <vector>

#include "core/map/SlippyMapUtils.h"
#include "core/util/DisplayUnits.h"

namespace kelvra {

// Length in metres of the geodesic between two points on the WGS-84 ellipsoid; 0 when any
// argument is NaN. Exact to nanometres for every pair, antipodal ones included.
double DistanceBetween(double Lat1, double Lon1, double Lat2, double Lon2);

// The same for two points close together (the consecutive points of a track) at a fraction of the
// cost: the ellipsoid's radii of curvature at their mean latitude, within a millionth of the
// geodesic up to about 5 km; farther apart, or across the 180th meridian, the geodesic.
double DistanceNear(double Lat1, double Lon1, double Lat2, double Lon2);

// Area (square metres, never negative) and perimeter (metres) of a polygon whose edges are
// geodesics on the WGS-84 ellipsoid, the last node joined back to the first. Also right for a
// polygon across the equator, the 180th meridian or around a pole. Both are 0 for fewer than
// three nodes or a node without coordinates.
struct TPolygonMeasure {
  double area = 0;
  double perimeter = 0;
};
TPolygonMeasure MeasurePolygon(const std::vector<TGeoPoint> &nodes);

double ToRadians(double x);
double ToDegrees(double x);

// In the program's units (DisplayUnits().Distance). Metric: "NaN", metres below 1000 ("999.40 m":
// f2s writes two decimals for none), otherwise kilometres with two decimals ("1.00 km").
std::string FormatDistance(double distance);

// The map's scale bar for a zoom in the given units: metric as GetScaleBarParams, imperial and
// nautical a round length of at most 100 pixels ("2000 ft", "1 mi", "5 NM").
void GetScaleBarParams(int Zoom, const TDisplayUnits &Units, std::uint32_t &ScalebarWidthInPixel,
                       std::string &Text);

} // namespace kelvra
