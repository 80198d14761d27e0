#pragma once
// The fixed speed scale of speed-coloured tracks and of their legend.
#include "core/model/TrackPointInfo.h"

#include <array>
#include <cstdint>

namespace kelvra {

// Below 5 km/h, 5-30, 30-60, 60-90, 90-120, 120 and above.
constexpr int SpeedClassCount = 6;
constexpr std::array<double, SpeedClassCount - 1> SpeedClassBounds{5, 30, 60, 90, 120};
// The colours of the classes, 0x00BBGGRR: purple, blue, green, dark yellow, orange, red.
constexpr std::array<std::uint32_t, SpeedClassCount> SpeedClassColors{
    0xAD448E, 0xE5881E, 0x47A043, 0x25A8F9, 0x008CFB, 0x3539E5};

// The class of a speed in km/h (a bound belongs to the class above it); -1
// for no speed (NaN, negative or infinite).
int SpeedClass(double Kmh);

// The speed of the stretch from one point to the next, km/h: the speed the
// second point reports, else the (flat, short-distance) distance over the
// time between the two (object times), else NaN.
double SegmentSpeed(const TTrackPointInfo &From, const TTrackPointInfo &To);

} // namespace kelvra
