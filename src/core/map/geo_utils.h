#pragma once
// Ellipsoidal distance, angle conversions and distance text.
#include <string>

namespace kelvra {

// Distance in metres on the WGS-84 ellipsoid (Vincenty's inverse formula);
// 0 when any argument is NaN. Nearly antipodal points that do not converge
// within 20 iterations get the last iteration's value.
double DistanceBetween(double Lat1, double Lon1, double Lat2, double Lon2);

double ToRadians(double x);
double ToDegrees(double x);

// "NaN", metres below 1000 ("999.40 m": f2s writes two decimals for none),
// otherwise kilometres with two decimals ("1.00 km").
std::string FormatDistance(double distance);

} // namespace kelvra
