#include "core/util/LumDates.h"
#include "core/util/TextFileWriter.h"

#include <cmath>
#include <ctime>

#include "core/util/LumRe.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {

namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t &y, int32_t &m, int32_t &d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

// A day before 30.12.1899 is negative and its time of day counts away from zero, the way
// DecodeDateTime reads it back: 29.12.1899 06:00 is -1.25, not -0.75.
TDateTime WithTimeOfDay(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

TDateTime TmToDateTime(const std::tm &tm, int32_t msec) {
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        tm.tm_sec, msec);
}

std::string Pad(int64_t v, int width) { return i2s(v, width, 'd'); }

// A group of a date or time pattern read as a decimal number; 0 when it does not fit 16 bits.
uint16_t ToWord(const std::string &s) {
  const int64_t v = s2i(s, -1);
  return v < 0 || v > 65535 ? 0 : static_cast<uint16_t>(v);
}

// The value both StrToDt paths build from what they read.
TDateTime ComposeDt(uint16_t day, uint16_t month, uint16_t year, uint16_t hour, uint16_t minute,
                    uint16_t second, uint16_t msec) {
  TDateTime result = 0;
  if (year != 0) TryEncodeDate(year, month, day, result);
  TDateTime t = 0;
  if (hour < 25 && TryEncodeTime(hour, minute, second, msec, t)) result = WithTimeOfDay(result, t);
  return result;
}

bool Digits(std::string_view s, size_t from, size_t count, uint16_t &out) {
  uint16_t v = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = static_cast<uint16_t>(v * 10 + (s[i] - '0'));
  }
  out = v;
  return true;
}

// The two forms that carry almost every date of a reply: "yyyy-mm-ddThh:nn:ssZ" and
// "dd.mm.yyyy hh:nn:ss". Reads them without the regular expressions; false for anything else.
bool FastParse(std::string_view s, uint16_t &d, uint16_t &m, uint16_t &y, uint16_t &h,
               uint16_t &n, uint16_t &sec) {
  if (s.size() == 20) {
    return s[4] == '-' && s[7] == '-' && s[10] == 'T' && s[13] == ':' && s[16] == ':' &&
           s[19] == 'Z' && Digits(s, 0, 4, y) && Digits(s, 5, 2, m) && Digits(s, 8, 2, d) &&
           Digits(s, 11, 2, h) && Digits(s, 14, 2, n) && Digits(s, 17, 2, sec);
  }
  if (s.size() == 19) {
    return s[2] == '.' && s[5] == '.' && s[10] == ' ' && s[13] == ':' && s[16] == ':' &&
           Digits(s, 0, 2, d) && Digits(s, 3, 2, m) && Digits(s, 6, 4, y) && Digits(s, 11, 2, h) &&
           Digits(s, 14, 2, n) && Digits(s, 17, 2, sec);
  }
  return false;
}

} // namespace

bool DtDefined(TDateTime dt) { return !std::isnan(dt) && dt != 0; }

bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int32_t DaysInMonth(int32_t year, int32_t month) {
  static const int32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime &dt) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  dt = static_cast<TDateTime>(DaysFromCivil(year, month, day) + kUnixEpochDay);
  return true;
}

bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t msec, TDateTime &dt) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    return false;
  dt = ((hour * 3600 + minute * 60 + second) * 1000.0 + msec) / kMsPerDay;
  return true;
}

TDateTime EncodeDateTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                         int32_t second, int32_t msec) {
  TDateTime d = 0, t = 0;
  TryEncodeDate(year, month, day, d);
  TryEncodeTime(hour, minute, second, msec, t);
  return WithTimeOfDay(d, t);
}

TDtParts DecodeDateTime(TDateTime dt) {
  TDtParts p;
  if (!std::isfinite(dt) || std::fabs(dt) > 1e8) return p;
  int64_t days = static_cast<int64_t>(std::trunc(dt));
  int64_t ms = std::llround(std::fabs(dt - static_cast<double>(days)) * kMsPerDay);
  int64_t civil = days - kUnixEpochDay;
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++civil;
  }
  CivilFromDays(civil, p.year, p.month, p.day);
  p.hour = static_cast<int32_t>(ms / 3600000);
  p.minute = static_cast<int32_t>(ms / 60000 % 60);
  p.second = static_cast<int32_t>(ms / 1000 % 60);
  p.msec = static_cast<int32_t>(ms % 1000);
  return p;
}

TDateTime UnixToDateTime(int64_t unixSeconds, bool local) {
  if (local) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return 0;
    return TmToDateTime(tm, 0);
  }
  const int64_t days = unixSeconds >= 0 ? unixSeconds / 86400 : -((-unixSeconds + 86399) / 86400);
  const int64_t secs = unixSeconds - days * 86400;
  return WithTimeOfDay(static_cast<double>(days + kUnixEpochDay), secs * 1000.0 / kMsPerDay);
}

int64_t DateTimeToUnix(TDateTime dt, bool local) {
  const TDtParts p = DecodeDateTime(dt);
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(local ? std::mktime(&tm) : timegm(&tm));
}

TDateTime NowLocal() {
  std::timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  return TmToDateTime(tm, static_cast<int32_t>(ts.tv_nsec / 1000000));
}

TDateTime NowUtc() {
  std::timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  gmtime_r(&ts.tv_sec, &tm);
  return TmToDateTime(tm, static_cast<int32_t>(ts.tv_nsec / 1000000));
}

double LocalUtcOffsetDays(int64_t unixSeconds) {
  const std::time_t t = unixSeconds ? static_cast<std::time_t>(unixSeconds) : std::time(nullptr);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  return static_cast<double>(tm.tm_gmtoff) / 86400.0;
}

std::string FormatDateTime(const std::string &pattern, TDateTime dt) {
  const TDtParts p = DecodeDateTime(dt);
  std::string r;
  char last = 0; // the last letter seen: "mm" after an hour is minutes
  for (size_t i = 0; i < pattern.size();) {
    const auto group = [&](const char *g) {
      const size_t n = std::char_traits<char>::length(g);
      if (i + n > pattern.size()) return false;
      for (size_t k = 0; k < n; ++k)
        if (Lower(pattern[i + k]) != g[k]) return false;
      return true;
    };
    if (group("yyyy")) {
      r += Pad(p.year, 4), i += 4, last = 'y';
    } else if (group("mm")) {
      r += Pad(last == 'h' ? p.minute : p.month, 2), i += 2, last = 'm';
    } else if (group("dd")) {
      r += Pad(p.day, 2), i += 2, last = 'd';
    } else if (group("hh")) {
      r += Pad(p.hour, 2), i += 2, last = 'h';
    } else if (group("nn")) {
      r += Pad(p.minute, 2), i += 2, last = 'n';
    } else if (group("ss")) {
      r += Pad(p.second, 2), i += 2, last = 's';
    } else {
      const char c = pattern[i++];
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) last = Lower(c);
      r += c;
    }
  }
  return r;
}

bool ParseDate(const std::string &text, uint16_t &day, uint16_t &month, uint16_t &year) {
  static const TLumRe dmy("(\\d+)\\.(\\d+)\\.(\\d+)");
  static const TLumRe mdy("(\\d+)/(\\d+)/(\\d+)");
  static const TLumRe ymd("(\\d+)-(\\d+)-(\\d+)");
  static const TLumRe compact("(\\d{4})(\\d{2})(\\d{2})");
  day = month = year = 0;
  std::vector<std::string> g;
  if (dmy.Match(text, &g)) {
    day = ToWord(g[1]), month = ToWord(g[2]), year = ToWord(g[3]);
  } else if (mdy.Match(text, &g)) {
    month = ToWord(g[1]), day = ToWord(g[2]), year = ToWord(g[3]);
  } else if (ymd.Match(text, &g) || compact.Match(text, &g)) {
    year = ToWord(g[1]), month = ToWord(g[2]), day = ToWord(g[3]);
  } else {
    return false;
  }
  if (year >= 1 && year <= 999) year = static_cast<uint16_t>(year + 1900);
  return true;
}

bool ParseTime(const std::string &text, uint16_t &hour, uint16_t &minute, uint16_t &second,
               uint16_t &msec) {
  static const TLumRe colons("(\\d+):(\\d+):*(\\d+)*:*(\\d+)*");
  static const TLumRe compact("(\\d{2})(\\d{2})(\\d{2})$");
  hour = minute = second = msec = 0;
  std::vector<std::string> g;
  if (colons.Match(text, &g)) {
    g.resize(5);
    hour = ToWord(g[1]), minute = ToWord(g[2]), second = ToWord(g[3]), msec = ToWord(g[4]);
    return true;
  }
  if (compact.Match(text, &g)) {
    hour = ToWord(g[1]), minute = ToWord(g[2]), second = ToWord(g[3]);
    return true;
  }
  return false;
}

TDateTime StrToDtByRe(const std::string &text) {
  if (text.empty()) return 0;
  uint16_t d, m, y, h, n, s, ms;
  ParseDate(text, d, m, y);
  ParseTime(text, h, n, s, ms);
  return ComposeDt(d, m, y, h, n, s, ms);
}

TDateTime StrToDt(std::string_view text) {
  uint16_t d, m, y, h, n, s;
  if (FastParse(text, d, m, y, h, n, s)) {
    if (y >= 1 && y <= 999) y = static_cast<uint16_t>(y + 1900);
    return ComposeDt(d, m, y, h, n, s, 0);
  }
  return StrToDtByRe(std::string(text));
}

TDateTime ts2dt(const std::string &text) {
  if (IsNumber(text, 10)) {
    const int64_t secs = s2i(text, -1);
    return secs < 0 ? 0 : UnixToDateTime(secs, true);
  }
  return StrToDt(text);
}

std::string dt2s(TDateTime dt, const std::string &pattern) {
  return ts2s(dt, pattern.empty() ? DefaultDtPattern : pattern);
}

std::string dt2webutc(TDateTime dt, double offsetDays) {
  std::string text;
  AppendWebUtc(text, dt - offsetDays);
  return text;
}

void AppendWebUtc(std::string &aOut, TDateTime aDt) {
  if (std::isnan(aDt)) {
    aOut += "NaN";
    return;
  }
  const TDtParts p = DecodeDateTime(aDt);
  if (p.year < 0 || p.year > 9999) {
    aOut += FormatDateTime("yyyy-mm-ddThh:nn:ssZ", aDt);
    return;
  }
  char t[20];
  const auto two = [&t](int aAt, int aValue) {
    t[aAt] = char('0' + aValue / 10);
    t[aAt + 1] = char('0' + aValue % 10);
  };
  two(0, p.year / 100);
  two(2, p.year % 100);
  t[4] = '-';
  two(5, p.month);
  t[7] = '-';
  two(8, p.day);
  t[10] = 'T';
  two(11, p.hour);
  t[13] = ':';
  two(14, p.minute);
  t[16] = ':';
  two(17, p.second);
  t[19] = 'Z';
  aOut.append(t, sizeof t);
}

std::string dur2s(int32_t seconds, int32_t format) {
  if (seconds < 0) return "-" + dur2s(seconds == INT32_MIN ? INT32_MAX : -seconds, format);
  const int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  switch (format) {
  case 1:
    return Pad(h, 2) + ":" + Pad(m, 2);
  case 2:
    return (h ? std::to_string(h) + "h " : "") + (m ? std::to_string(m) + "m " : "") +
           std::to_string(s) + "s";
  case 3:
    return (h ? std::to_string(h) + "h " : "") + (m ? std::to_string(m) + "m " : "");
  default:
    return Pad(h, 2) + ":" + Pad(m, 2) + ":" + Pad(s, 2);
  }
}

} // namespace kelvra
