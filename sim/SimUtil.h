#pragma once
// Small helpers of the substitute service: UTC date texts, form bodies, geodesy on the sphere.
#include <cmath>
#include <cstdint>
#include <map>
#include <string>

namespace kelvra::sim {

// Seconds since 1970-01-01 UTC as the service writes them: "yyyy-mm-ddThh:nn:ssZ".
std::string FormatUtc(int64_t t);
// Reads "yyyy-mm-ddThh:nn:ss" with an optional "Z" (a blank instead of "T" is accepted too);
// false for anything else. Never throws.
bool ParseUtc(const std::string &s, int64_t &t);

// Decodes one URL-encoded form value ("+" is a blank, "%XX" a byte); a broken escape stays as text.
std::string UrlDecode(const std::string &s);
// Splits "a=1&b=2" into pairs; a pair without "=" gets an empty value; later keys win.
std::map<std::string, std::string> ParseForm(const std::string &body);

// Reads a whole decimal integer (optional sign); false for empty or trailing garbage.
bool ToInt64(const std::string &s, int64_t &v);
// Reads a decimal number with "." or ","; false when unreadable.
bool ToDouble(const std::string &s, double &v);

std::string Trim(const std::string &s);

constexpr double kMetresPerDegLat = 111320.0;

// v rounded to a multiple of 1/scale (Round(v, 1e6): six decimals).
inline double Round(double v, double scale) { return std::round(v * scale) / scale; }

// Great-circle distance in metres.
double DistanceM(double lat1, double lon1, double lat2, double lon2);
// Initial bearing from the first point to the second, degrees 0..360.
double BearingDeg(double lat1, double lon1, double lat2, double lon2);
// The point reached from (lat, lon) after dist metres on the given bearing.
void OffsetPoint(double lat, double lon, double dist, double bearing, double &lat2, double &lon2);

} // namespace kelvra::sim
