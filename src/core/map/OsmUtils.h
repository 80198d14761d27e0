#pragma once
// Distance and spherical offset on TGeoPoint.
#include "core/map/SlippyMapUtils.h"

namespace kelvra {

// Ellipsoidal distance in metres (see DistanceBetween of geo_utils).
double DistanceBetween(const TGeoPoint &p1, const TGeoPoint &p2);

// The point reached from `from` after `distance` metres on the great circle
// with `heading` degrees clockwise from north (sphere of radius 6371009 m).
// The longitude is brought back into -180..180 when the way crosses the
// 180th meridian.
TGeoPoint ComputeOffset(const TGeoPoint &from, double distance, double heading);

} // namespace kelvra
