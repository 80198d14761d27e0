#include "core/util/DisplayUnits.h"

#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

#include <cmath>
#include <cstdio>

namespace kelvra {

namespace {

constexpr double kMphPerKmh = 1000 / kMetresPerMile;
constexpr double kKnPerKmh = 1000 / kMetresPerNauticalMile;

// Whole numbers without decimals, else the decimals asked for.
std::string Number(double v, int decimals) {
  if (std::isnan(v)) return "NaN";
  if (decimals <= 0) return std::to_string(std::llround(v));
  return f2s(v, decimals);
}

// The largest of 1, 2, 5 times a power of ten that is not above v (v > 0).
double RoundDown125(double v) {
  const double p = std::pow(10.0, std::floor(std::log10(v)));
  for (double m : {5.0, 2.0, 1.0})
    if (m * p <= v * (1 + 1e-9)) return m * p;
  return p;
}

// "57°59.919'N", "57°59'55.1\"N"; degrees only for decimal degrees.
std::string Sexagesimal(double value, TCoordFormat format, const std::string &pos,
                        const std::string &neg) {
  const std::string &hemi = value < 0 ? neg : pos;
  double a = std::fabs(value);
  if (format == TCoordFormat::DegreesMinutes) {
    // Rounded as a whole first, so 59.9996' becomes the next degree and not 60.000'.
    const long long thousandths = std::llround(a * 60000);
    const long long deg = thousandths / 60000, rest = thousandths % 60000;
    char text[64];
    std::snprintf(text, sizeof text, "%lld\u00B0%02lld.%03lld'", deg, rest / 1000, rest % 1000);
    return text + hemi;
  }
  const long long tenths = std::llround(a * 36000);
  const long long deg = tenths / 36000, min = tenths % 36000 / 600, sec = tenths % 600;
  char text[64];
  std::snprintf(text, sizeof text, "%lld\u00B0%02lld'%02lld.%lld\"", deg, min, sec / 10, sec % 10);
  return text + hemi;
}

// Set and read on the UI thread (workers format no texts for the user).
TDisplayUnits gUnits;

} // namespace

TDisplayUnits TDisplayUnits::FromSettings(const std::string &units, const std::string &coords) {
  TDisplayUnits u;
  const std::string s = LowerCase(Trim(units)), c = LowerCase(Trim(coords));
  if (s == "imperial") u.system = TUnitSystem::Imperial;
  else if (s == "nautical") u.system = TUnitSystem::Nautical;
  if (c == "dm") u.coords = TCoordFormat::DegreesMinutes;
  else if (c == "dms") u.coords = TCoordFormat::DegreesMinutesSeconds;
  return u;
}

const char *TDisplayUnits::UnitsName(TUnitSystem s) {
  switch (s) {
  case TUnitSystem::Imperial: return "imperial";
  case TUnitSystem::Nautical: return "nautical";
  default: return "metric";
  }
}

const char *TDisplayUnits::CoordsName(TCoordFormat c) {
  switch (c) {
  case TCoordFormat::DegreesMinutes: return "dm";
  case TCoordFormat::DegreesMinutesSeconds: return "dms";
  default: return "deg";
  }
}

std::string TDisplayUnits::Distance(double metres) const {
  if (std::isnan(metres)) return "NaN";
  switch (system) {
  case TUnitSystem::Imperial:
    if (std::fabs(metres) < 1000 * kMetresPerFoot) return Number(metres / kMetresPerFoot, 0) + " " + symbols.ft;
    return f2s(metres / kMetresPerMile, 2) + " " + symbols.mi;
  case TUnitSystem::Nautical:
    if (std::fabs(metres) < 0.1 * kMetresPerNauticalMile) return Number(metres, 0) + " " + symbols.m;
    return f2s(metres / kMetresPerNauticalMile, 2) + " " + symbols.nmi;
  default:
    // As the program always wrote it (f2s writes 0 decimals as 2).
    if (metres < 1000) return f2s(metres, 0) + " " + symbols.m;
    return f2s(metres / 1000, 2) + " " + symbols.km;
  }
}

double TDisplayUnits::LongDistance(double metres) const {
  switch (system) {
  case TUnitSystem::Imperial: return metres / kMetresPerMile;
  case TUnitSystem::Nautical: return metres / kMetresPerNauticalMile;
  default: return metres / 1000;
  }
}

const std::string &TDisplayUnits::LongUnit() const {
  return system == TUnitSystem::Imperial ? symbols.mi
         : system == TUnitSystem::Nautical ? symbols.nmi
                                           : symbols.km;
}

double TDisplayUnits::ShortDistance(double metres) const {
  return system == TUnitSystem::Imperial ? metres / kMetresPerFoot : metres;
}

const std::string &TDisplayUnits::ShortUnit() const {
  return system == TUnitSystem::Imperial ? symbols.ft : symbols.m;
}

double TDisplayUnits::Speed(double kmh) const {
  switch (system) {
  case TUnitSystem::Imperial: return kmh * kMphPerKmh;
  case TUnitSystem::Nautical: return kmh * kKnPerKmh;
  default: return kmh;
  }
}

const std::string &TDisplayUnits::SpeedUnit() const {
  return system == TUnitSystem::Imperial ? symbols.mph
         : system == TUnitSystem::Nautical ? symbols.kn
                                           : symbols.kmh;
}

std::string TDisplayUnits::SpeedText(double kmh, int decimals) const {
  if (std::isnan(kmh)) return "NaN";
  return Number(Speed(kmh), decimals) + " " + SpeedUnit();
}

std::string TDisplayUnits::AltitudeText(double metres, int decimals) const {
  if (std::isnan(metres)) return "NaN";
  return Number(ShortDistance(metres), decimals) + " " + ShortUnit();
}

std::string TDisplayUnits::Latitude(double lat, int decimals) const {
  if (std::isnan(lat)) return "NaN";
  if (coords == TCoordFormat::Degrees) return f2s(lat, decimals);
  return Sexagesimal(lat, coords, symbols.north, symbols.south);
}

std::string TDisplayUnits::Longitude(double lon, int decimals) const {
  if (std::isnan(lon)) return "NaN";
  if (coords == TCoordFormat::Degrees) return f2s(lon, decimals);
  return Sexagesimal(lon, coords, symbols.east, symbols.west);
}

std::string TDisplayUnits::LatLon(double lat, double lon, int decimals) const {
  if (coords == TCoordFormat::Degrees) return f2s(lat, decimals) + "," + f2s(lon, decimals);
  return Latitude(lat) + " " + Longitude(lon);
}

void TDisplayUnits::ScaleBar(double metresPerPixel, double maxPixels, double &pixels,
                             std::string &text) const {
  pixels = 0;
  text.clear();
  if (!(metresPerPixel > 0) || !(maxPixels > 0)) return;
  const double maxMetres = metresPerPixel * maxPixels;
  double unit = 1;
  const std::string *symbol = &symbols.m;
  switch (system) {
  case TUnitSystem::Imperial:
    if (maxMetres >= kMetresPerMile) unit = kMetresPerMile, symbol = &symbols.mi;
    else unit = kMetresPerFoot, symbol = &symbols.ft;
    break;
  case TUnitSystem::Nautical:
    if (maxMetres >= kMetresPerNauticalMile) unit = kMetresPerNauticalMile, symbol = &symbols.nmi;
    break;
  default:
    if (maxMetres >= 1000) unit = 1000, symbol = &symbols.km;
    break;
  }
  const double length = RoundDown125(maxMetres / unit);
  pixels = length * unit / metresPerPixel;
  text = (length >= 1 ? Number(length, 0) : f2s(length, length >= 0.1 ? 1 : 2)) + " " + *symbol;
}

const TDisplayUnits &DisplayUnits() { return gUnits; }

void SetDisplayUnits(const TDisplayUnits &units) { gUnits = units; }

} // namespace kelvra
