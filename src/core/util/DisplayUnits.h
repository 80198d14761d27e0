#pragma once
// The units the program shows lengths, speeds and altitudes in (metric, imperial, nautical) and
// the form of coordinates (decimal degrees; degrees and minutes; degrees, minutes and seconds).
// Values inside the program stay metres, km/h and degrees; only their texts follow these.
#include <string>

namespace kelvra {

enum class TUnitSystem { Metric, Imperial, Nautical };
enum class TCoordFormat { Degrees, DegreesMinutes, DegreesMinutesSeconds };

// The symbols written after numbers; the program puts its translation in.
struct TUnitSymbols {
  std::string m = "m", km = "km", ft = "ft", mi = "mi", nmi = "NM";
  std::string m2 = "m\u00B2", km2 = "km\u00B2", ft2 = "ft\u00B2", mi2 = "mi\u00B2", nmi2 = "NM\u00B2";
  std::string kmh = "km/h", mph = "mph", kn = "kn";
  std::string north = "N", south = "S", east = "E", west = "W";
};

inline constexpr double kMetresPerFoot = 0.3048;
inline constexpr double kMetresPerMile = 1609.344;
inline constexpr double kMetresPerNauticalMile = 1852;

struct TDisplayUnits {
  TUnitSystem system = TUnitSystem::Metric;
  TCoordFormat coords = TCoordFormat::Degrees;
  TUnitSymbols symbols;

  // The settings "units" (metric, imperial, nautical) and "coord_format" (deg, dm, dms);
  // anything else is metric and decimal degrees.
  static TDisplayUnits FromSettings(const std::string &units, const std::string &coords);
  static const char *UnitsName(TUnitSystem s);
  static const char *CoordsName(TCoordFormat c);

  // A length with the unit that suits its size: metric "850 m", "12.35 km"; imperial "920 ft"
  // (below 1000 ft), "1.25 mi"; nautical "150 m" (below 0.1 NM), "6.67 NM". "NaN" for NaN.
  std::string Distance(double metres) const;
  // A long distance as a number in the system's long unit (km, mi, NM), and that unit.
  double LongDistance(double metres) const;
  const std::string &LongUnit() const;
  // A short length (altitude, accuracy, size): metres, feet for imperial.
  double ShortDistance(double metres) const;
  const std::string &ShortUnit() const;
  // A typed short length in ShortUnit() as metres; false for a text that is not a finite number.
  bool ParseShortDistance(const std::string &text, double &metres) const;
  // A length or an area as a number and its symbol, in the unit Distance() would choose for the
  // length (for an area: for the side of a square of that area): 850 m / 12.35 km; 920 ft /
  // 1.25 mi; 150 m / 6.67 NM; and m², km²; ft², mi²; m², NM².
  struct TMeasure {
    double value = 0;
    std::string unit;
  };
  TMeasure Length(double metres) const;
  TMeasure Area(double squareMetres) const;
  // What a column title of a text export (CSV, copied rows) adds for its unit: nothing for metric
  // (the titles as they always were), else "_ft" or "_m" for lengths, "_mph" or "_kn" for speeds;
  // never translated, so a reader can rely on it.
  std::string ColumnSuffix(bool speed) const;
  // km/h in km/h, mph or knots.
  double Speed(double kmh) const;
  const std::string &SpeedUnit() const;
  // Number and symbol: "52.3 mph"; "NaN" for NaN.
  std::string SpeedText(double kmh, int decimals) const;
  std::string AltitudeText(double metres, int decimals) const;

  // "57.998649" / "57°59.919'N" / "57°59'55.1\"N"; decimals apply to decimal degrees.
  std::string Latitude(double lat, int decimals = 6) const;
  std::string Longitude(double lon, int decimals = 6) const;
  // Latitude and longitude: "57.998649,56.275740" (decimal, joined with a comma as the program
  // always wrote them) or "57°59.919'N 56°16.544'E".
  std::string LatLon(double lat, double lon, int decimals = 6) const;

  // A typed position in any of the three forms, whatever the program shows: "57.998649,56.27574",
  // "57.998649 56.27574", "57°59.919'N 56°16.544'E", "57°59'55.1\"N, 56°16'32.7\"E", "N57°59.919'
  // E56°16.544'", "-33 52.5, 151 12.5" (a sign or S/W for south and west; the hemisphere letters
  // also in the translation's symbols; latitude first unless the letters say otherwise). False for
  // anything else, minutes or seconds of 60 or more, or a position off the globe.
  bool ParseLatLon(const std::string &text, double &lat, double &lon) const;

  // The scale bar for a map scale: a round length in the system's units whose bar is at most
  // maxPixels long (and at least a fifth of it), its pixels and its text ("500 ft", "2 mi").
  void ScaleBar(double metresPerPixel, double maxPixels, double &pixels, std::string &text) const;
};

// The program's units (set at start-up and when the settings change; metric by default).
const TDisplayUnits &DisplayUnits();
void SetDisplayUnits(const TDisplayUnits &units);

} // namespace kelvra
