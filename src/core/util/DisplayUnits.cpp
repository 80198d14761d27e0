#include "core/util/DisplayUnits.h"

#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

#include <cmath>
#include <cstdio>
#include <cctype>
#include <charconv>
#include <string_view>
#include <tuple>
#include <vector>

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

// The length unit Distance() chooses for a length, in metres, and its symbol.
struct TLengthUnit {
  double metres;
  const std::string *symbol;
  const std::string *squared;
};

TLengthUnit LengthUnitFor(double metres, const TUnitSymbols &s, TUnitSystem system) {
  const double a = std::fabs(metres);
  switch (system) {
  case TUnitSystem::Imperial:
    if (!(a >= 1000 * kMetresPerFoot)) return {kMetresPerFoot, &s.ft, &s.ft2};
    return {kMetresPerMile, &s.mi, &s.mi2};
  case TUnitSystem::Nautical:
    if (!(a >= 0.1 * kMetresPerNauticalMile)) return {1, &s.m, &s.m2};
    return {kMetresPerNauticalMile, &s.nmi, &s.nmi2};
  default:
    if (!(a >= 1000)) return {1, &s.m, &s.m2};
    return {1000, &s.km, &s.km2};
  }
}

// One part of a typed position: up to three numbers (degrees, minutes, seconds) with the mark
// typed after each (0 for none), and the hemisphere letter's sign and axis.
struct TTypedCoord {
  std::vector<std::pair<double, char>> numbers;
  bool negative = false; // a minus before the degrees
  int letterSign = 0;    // +1 N/E, -1 S/W, 0 none
  char axis = 0;         // 'a' latitude (N/S), 'o' longitude (E/W)
};

// Degrees of a part; false when its numbers do not make a coordinate.
bool CoordValue(const TTypedCoord &c, double &value) {
  static const char kMarks[3] = {'d', 'm', 's'};
  if (c.numbers.empty() || c.numbers.size() > 3) return false;
  if (c.negative && c.letterSign != 0) return false; // "-57 S" says south twice or not at all
  double v = 0;
  for (size_t i = 0; i < c.numbers.size(); ++i) {
    const auto [n, mark] = c.numbers[i];
    if (mark && mark != kMarks[i]) return false;
    if (!std::isfinite(n) || n < 0 || (i > 0 && n >= 60)) return false;
    if (i + 1 < c.numbers.size() && n != std::floor(n)) return false; // 57.5 30' is no position
    v += n / (i == 0 ? 1 : i == 1 ? 60 : 3600);
  }
  value = (c.negative || c.letterSign < 0) ? -v : v;
  return true;
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

TDisplayUnits::TMeasure TDisplayUnits::Length(double metres) const {
  if (std::isnan(metres)) return {metres, symbols.m};
  const TLengthUnit u = LengthUnitFor(metres, symbols, system);
  return {metres / u.metres, *u.symbol};
}

TDisplayUnits::TMeasure TDisplayUnits::Area(double squareMetres) const {
  if (std::isnan(squareMetres)) return {squareMetres, symbols.m2};
  const TLengthUnit u = LengthUnitFor(std::sqrt(std::fabs(squareMetres)), symbols, system);
  return {squareMetres / (u.metres * u.metres), *u.squared};
}

bool TDisplayUnits::ParseShortDistance(const std::string &text, double &metres) const {
  const double v = s2f(text, NAN); // a decimal comma is read as a point
  if (!std::isfinite(v)) return false;
  metres = system == TUnitSystem::Imperial ? v * kMetresPerFoot : v;
  return true;
}

bool TDisplayUnits::ParseLatLon(const std::string &text, double &lat, double &lon) const {
  const bool commaMode = text.find(',') != std::string::npos;
  // The hemisphere letters: the Latin ones in either case and the translation's symbols.
  struct TLetter {
    std::string text;
    int sign;
    char axis;
  };
  std::vector<TLetter> letters;
  for (const auto &[sym, sign, axis] : {std::tuple{&symbols.north, 1, 'a'}, {&symbols.south, -1, 'a'},
                                        {&symbols.east, 1, 'o'}, {&symbols.west, -1, 'o'}})
    if (!sym->empty()) letters.push_back({*sym, sign, axis});
  for (const auto &[ch, sign, axis] : {std::tuple{'N', 1, 'a'}, {'S', -1, 'a'}, {'E', 1, 'o'}, {'W', -1, 'o'}}) {
    letters.push_back({std::string(1, ch), sign, axis});
    letters.push_back({std::string(1, char(ch - 'A' + 'a')), sign, axis});
  }
  size_t i = 0;
  const size_t n = text.size();
  auto startsWith = [&](const std::string &s) { return text.compare(i, s.size(), s) == 0; };
  auto letterAt = [&]() -> const TLetter * {
    for (const TLetter &l : letters)
      if (startsWith(l.text)) return &l;
    return nullptr;
  };
  bool letterMode = false;
  for (; i < n && !letterMode; ++i)
    letterMode = !std::isdigit(static_cast<unsigned char>(text[i])) && letterAt();
  std::vector<TTypedCoord> parts;
  TTypedCoord cur;
  auto push = [&] {
    if (!cur.numbers.empty()) parts.push_back(cur);
    cur = TTypedCoord{};
  };
  i = 0;
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isspace(c)) {
      ++i;
    } else if (c == ',' || c == ';') {
      if (cur.numbers.empty() && cur.letterSign != 0) return false; // "N, 57"
      push();
      ++i;
    } else if (std::isdigit(c) || c == '.' || c == '-' || c == '+') {
      // The decimal point is a point whatever the locale (strtod would follow it).
      const bool minus = c == '-';
      if (c == '-' || c == '+') ++i;
      if (i < n && text[i] == '-') return false; // "+-5", "--5"
      double v = 0;
      const auto [end, ec] = std::from_chars(text.data() + i, text.data() + n, v);
      if (ec != std::errc() || end == text.data() + i) return false;
      i = size_t(end - text.data());
      while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
      char mark = 0;
      for (const auto &[m, k] : {std::pair{"\u00B0", 'd'}, {"\u00BA", 'd'}, {"''", 's'}, {"'", 'm'},
                                 {"\u2032", 'm'}, {"\"", 's'}, {"\u2033", 's'}})
        if (startsWith(m)) {
          mark = k;
          i += std::string_view(m).size();
          break;
        }
      // Degrees begin the next coordinate; so does a bare number where no comma or letter
      // tells the two apart ("57.99 56.27").
      if (!cur.numbers.empty() && (mark == 'd' || (mark == 0 && !commaMode && !letterMode))) push();
      if (minus) {
        if (!cur.numbers.empty()) return false; // a sign before minutes or seconds
        cur.negative = true;
      }
      cur.numbers.push_back({std::fabs(v), mark});
    } else {
      const TLetter *found = letterAt();
      if (!found) return false;
      i += found->text.size();
      if (!cur.numbers.empty() && cur.letterSign == 0) { // after its numbers
        cur.letterSign = found->sign;
        cur.axis = found->axis;
        push();
      } else {
        if (!cur.numbers.empty()) push(); // "N57 E56": this letter begins the next one
        else if (cur.letterSign != 0) return false;
        cur.letterSign = found->sign;
        cur.axis = found->axis;
      }
    }
  }
  if (cur.numbers.empty() && cur.letterSign != 0) return false;
  push();
  if (parts.size() != 2) return false;
  if (parts[0].axis == 'o' || parts[1].axis == 'a') std::swap(parts[0], parts[1]);
  if (parts[0].axis == 'o' || parts[1].axis == 'a') return false; // both of one axis
  double a = 0, o = 0;
  if (!CoordValue(parts[0], a) || !CoordValue(parts[1], o)) return false;
  if (a < -90 || a > 90 || o < -180 || o > 180) return false;
  lat = a;
  lon = o;
  return true;
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

std::string TDisplayUnits::ColumnSuffix(bool speed) const {
  switch (system) {
  case TUnitSystem::Imperial: return speed ? "_mph" : "_ft";
  case TUnitSystem::Nautical: return speed ? "_kn" : "_m";
  default: return {};
  }
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
