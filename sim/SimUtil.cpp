#include "sim/SimUtil.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace kelvra::sim {

namespace {
constexpr double kEarthRadius = 6371008.8;
constexpr double kDeg = M_PI / 180.0;
} // namespace

std::string FormatUtc(int64_t t) {
  time_t tt = static_cast<time_t>(t);
  struct tm tmv {};
  gmtime_r(&tt, &tmv);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tmv.tm_year + 1900,
                tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
  return buf;
}

bool ParseUtc(const std::string &s, int64_t &t) {
  int y, mo, d, h, mi, se;
  char sep;
  int used = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &se,
                  &used) != 7)
    return false;
  if (sep != 'T' && sep != ' ') return false;
  std::string rest = s.substr(static_cast<size_t>(used));
  if (!rest.empty() && rest != "Z") return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 60 || y < 1900)
    return false;
  struct tm tmv {};
  tmv.tm_year = y - 1900;
  tmv.tm_mon = mo - 1;
  tmv.tm_mday = d;
  tmv.tm_hour = h;
  tmv.tm_min = mi;
  tmv.tm_sec = se;
  t = static_cast<int64_t>(timegm(&tmv));
  return true;
}

static int HexVal(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string UrlDecode(const std::string &s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < s.size() && HexVal(s[i + 1]) >= 0 && HexVal(s[i + 2]) >= 0) {
      out += static_cast<char>(HexVal(s[i + 1]) * 16 + HexVal(s[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::map<std::string, std::string> ParseForm(const std::string &body) {
  std::map<std::string, std::string> out;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t amp = body.find('&', pos);
    if (amp == std::string::npos) amp = body.size();
    std::string pair = body.substr(pos, amp - pos);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      std::string key = UrlDecode(pair.substr(0, eq));
      std::string val = eq == std::string::npos ? std::string() : UrlDecode(pair.substr(eq + 1));
      out[Trim(key)] = val;
    }
    pos = amp + 1;
  }
  return out;
}

bool ToInt64(const std::string &s, int64_t &v) {
  std::string t = Trim(s);
  if (t.empty() || t.size() > 19) return false;
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size()) return false;
  int64_t r = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    r = r * 10 + (t[i] - '0');
  }
  v = t[0] == '-' ? -r : r;
  return true;
}

bool ToDouble(const std::string &s, double &v) {
  std::string t = Trim(s);
  for (char &c : t)
    if (c == ',') c = '.';
  if (t.empty()) return false;
  char *end = nullptr;
  double r = std::strtod(t.c_str(), &end);
  if (end == t.c_str() || *end != 0 || !std::isfinite(r)) return false;
  v = r;
  return true;
}

std::string Trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32)
    ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
    --e;
  return s.substr(b, e - b);
}

double DistanceM(double lat1, double lon1, double lat2, double lon2) {
  double p1 = lat1 * kDeg, p2 = lat2 * kDeg;
  double dp = (lat2 - lat1) * kDeg, dl = (lon2 - lon1) * kDeg;
  double a = std::sin(dp / 2) * std::sin(dp / 2) +
             std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
  return 2 * kEarthRadius * std::atan2(std::sqrt(a), std::sqrt(1 - a));
}

double BearingDeg(double lat1, double lon1, double lat2, double lon2) {
  double p1 = lat1 * kDeg, p2 = lat2 * kDeg, dl = (lon2 - lon1) * kDeg;
  double y = std::sin(dl) * std::cos(p2);
  double x = std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl);
  double b = std::atan2(y, x) / kDeg;
  return std::fmod(b + 360.0, 360.0);
}

void OffsetPoint(double lat, double lon, double dist, double bearing, double &lat2, double &lon2) {
  double d = dist / kEarthRadius, b = bearing * kDeg;
  double p1 = lat * kDeg, l1 = lon * kDeg;
  double p2 = std::asin(std::sin(p1) * std::cos(d) + std::cos(p1) * std::sin(d) * std::cos(b));
  double l2 = l1 + std::atan2(std::sin(b) * std::sin(d) * std::cos(p1),
                              std::cos(d) - std::sin(p1) * std::sin(p2));
  lat2 = p2 / kDeg;
  lon2 = l2 / kDeg;
}

} // namespace kelvra::sim
