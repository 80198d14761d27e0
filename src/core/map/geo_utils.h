#pragma once
// Ellipsoidal distance and angle conversions.

namespace kelvra {

// Distance in metres on the WGS-84 ellipsoid (Vincenty's inverse formula);
// 0 when any argument is NaN. Nearly antipodal points that do not converge
// within 20 iterations get the last iteration's value.
double DistanceBetween(double Lat1, double Lon1, double Lat2, double Lon2);

double ToRadians(double x);
double ToDegrees(double x);

} // namespace kelvra
