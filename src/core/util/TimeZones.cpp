#include "core/util/TimeZones.h"

#include "core/util/LumFiles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <set>
#include <sstream>

namespace kelvra {

namespace {

constexpr int64_t kDay = 86400;

// Days since 1970-01-01 of a date, and the year of a moment, through the program's calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  return static_cast<int64_t>(EncodeDateTime(static_cast<int32_t>(y), m, d)) - static_cast<int64_t>(kUnixEpochDay);
}

int64_t YearOf(int64_t seconds) {
  return DecodeDateTime(kUnixEpochDay + std::floor(double(seconds) / kDay)).year;
}

// Local seconds (since 1970 on the zone's clock, before the change's time of day) of the day a
// rule names in year y.
int64_t RuleDay(const TPosixZoneRule::TWhen &w, int64_t y) {
  if (w.kind == 'J') {
    int64_t d = w.day - 1; // 1..365, 29 February never counted
    if (IsLeapYear(static_cast<int32_t>(y)) && w.day >= 60) ++d;
    return (DaysFromCivil(y, 1, 1) + d) * kDay;
  }
  if (w.kind == 'D') return (DaysFromCivil(y, 1, 1) + w.day) * kDay;
  const int64_t first = DaysFromCivil(y, w.month, 1);
  const int firstWeekday = static_cast<int>(((first % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
  int64_t day = first + (w.weekday - firstWeekday + 7) % 7 + (w.week - 1) * 7;
  const int64_t monthDays = w.month == 12 ? 31 : DaysFromCivil(y, w.month + 1, 1) - first;
  while (day >= first + monthDays) day -= 7; // week 5 is the last such weekday of the month
  return day * kDay;
}

// ---- reading a POSIX TZ text ----

struct TReader {
  std::string_view s;
  size_t i = 0;
  bool End() const { return i >= s.size(); }
  char Peek() const { return End() ? '\0' : s[i]; }
  bool Eat(char c) {
    if (Peek() != c) return false;
    ++i;
    return true;
  }
  bool Number(int &v, int maxDigits = 3) {
    int n = 0, digits = 0;
    while (!End() && std::isdigit(static_cast<unsigned char>(Peek())) && digits < maxDigits) {
      n = n * 10 + (s[i++] - '0');
      ++digits;
    }
    v = n;
    return digits > 0;
  }
  bool Name() {
    if (Eat('<')) {
      const size_t close = s.find('>', i);
      if (close == std::string_view::npos || close == i) return false;
      i = close + 1;
      return true;
    }
    const size_t from = i;
    while (!End() && std::isalpha(static_cast<unsigned char>(Peek()))) ++i;
    return i - from >= 3;
  }
  // [+-]hh[:mm[:ss]] as seconds.
  bool Time(int &seconds) {
    int sign = 1;
    if (Eat('-')) sign = -1;
    else Eat('+');
    int h = 0, m = 0, sec = 0;
    if (!Number(h) || h > 167) return false;
    if (Eat(':') && (!Number(m, 2) || m > 59)) return false;
    if (Eat(':') && (!Number(sec, 2) || sec > 59)) return false;
    seconds = sign * (h * 3600 + m * 60 + sec);
    return true;
  }
  bool When(TPosixZoneRule::TWhen &w) {
    if (Eat('M')) {
      w.kind = 'M';
      if (!Number(w.month, 2) || !Eat('.') || !Number(w.week, 1) || !Eat('.') ||
          !Number(w.weekday, 1))
        return false;
      if (w.month < 1 || w.month > 12 || w.week < 1 || w.week > 5 || w.weekday > 6) return false;
    } else if (Eat('J')) {
      w.kind = 'J';
      if (!Number(w.day) || w.day < 1 || w.day > 365) return false;
    } else {
      w.kind = 'D';
      if (!Number(w.day) || w.day > 365) return false;
    }
    w.seconds = 7200;
    if (Eat('/') && !Time(w.seconds)) return false;
    return true;
  }
};

// The file's bytes; empty when it cannot be read or is larger than maxBytes.
std::string ReadFile(const std::string &path, int64_t maxBytes) {
  std::string data;
  return ReadFileBytes(path, data, maxBytes).empty() ? data : std::string();
}

bool ValidZoneName(const std::string &name) {
  if (name.empty() || name.size() > 64 || name.front() == '/' || name.back() == '/') return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '+' && c != '/')
      return false;
  return name.find("//") == std::string::npos && name.find("..") == std::string::npos;
}

int64_t ToUnixSeconds(TDateTime dt) { return static_cast<int64_t>(std::floor((dt - kUnixEpochDay) * kDay + 1e-6)); }

} // namespace

bool TPosixZoneRule::Parse(std::string_view text, TPosixZoneRule &rule) {
  TReader r{text};
  TPosixZoneRule out;
  int west = 0;
  if (!r.Name() || !r.Time(west)) return false;
  out.stdOffset = -west; // POSIX counts west positive
  if (!r.End()) {
    if (!r.Name()) return false;
    out.hasDst = true;
    out.dstOffset = out.stdOffset + 3600;
    if (r.Peek() != ',' && !r.End()) {
      int dst = 0;
      if (!r.Time(dst)) return false;
      out.dstOffset = -dst;
    }
    // Without dates the rule of the United States was meant; a zone database footer always has them.
    out.start = {'M', 3, 2, 0, 0, 7200};
    out.end = {'M', 11, 1, 0, 0, 7200};
    if (r.Eat(',')) {
      if (!r.When(out.start) || !r.Eat(',') || !r.When(out.end)) return false;
    }
  }
  if (!r.End()) return false;
  rule = out;
  return true;
}

int TPosixZoneRule::OffsetAt(int64_t utc) const {
  if (!hasDst) return stdOffset;
  const int64_t year = YearOf(utc + stdOffset);
  // A zone that is in daylight saving all year ("J1/0,J365/25") says so by its dates.
  const int64_t start = RuleDay(this->start, year) + this->start.seconds - stdOffset;
  const int64_t finish = RuleDay(this->end, year) + this->end.seconds - dstOffset;
  const bool dst = start < finish ? (utc >= start && utc < finish) : !(utc >= finish && utc < start);
  return dst ? dstOffset : stdOffset;
}

std::shared_ptr<const TTimeZoneRules> TTimeZoneRules::FromPosix(std::string_view text) {
  TPosixZoneRule rule;
  if (!TPosixZoneRule::Parse(text, rule)) return nullptr;
  auto z = std::make_shared<TTimeZoneRules>();
  z->fName = std::string(text);
  z->fHasFooter = true;
  z->fFooter = rule;
  z->fInitialOffset = rule.stdOffset;
  return z;
}

std::shared_ptr<const TTimeZoneRules> TTimeZoneRules::FromTzif(std::string_view bytes, std::string name) {
  auto u32 = [&](size_t at) -> uint32_t {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
  };
  struct THeader {
    uint32_t isut, isstd, leap, time, type, chars;
  };
  auto header = [&](size_t at, THeader &h) {
    if (bytes.size() < at + 44 || bytes.substr(at, 4) != "TZif") return false;
    h = {u32(at + 20), u32(at + 24), u32(at + 28), u32(at + 32), u32(at + 36), u32(at + 40)};
    // The format's own limits keep the sizes below from overflowing.
    return h.type >= 1 && h.type <= 256 && h.time <= 100000 && h.chars <= 65536 &&
           h.leap <= 100000 && (h.isut == 0 || h.isut == h.type) &&
           (h.isstd == 0 || h.isstd == h.type);
  };
  THeader h{};
  if (!header(0, h)) return nullptr;
  const char version = bytes[4];
  size_t at = 44;
  int timeSize = 4;
  auto blockSize = [&](const THeader &x, int ts) {
    return size_t(x.time) * ts + x.time + size_t(x.type) * 6 + x.chars + size_t(x.leap) * (ts + 4) +
           x.isstd + x.isut;
  };
  if (version >= '2') {
    at += blockSize(h, 4);
    if (!header(at, h)) return nullptr;
    at += 44;
    timeSize = 8;
  }
  if (bytes.size() < at + blockSize(h, timeSize)) return nullptr;

  auto z = std::make_shared<TTimeZoneRules>();
  z->fName = std::move(name);
  std::vector<int> offsets(h.type);
  const size_t typesAt = at + size_t(h.time) * timeSize + h.time;
  for (uint32_t k = 0; k < h.type; ++k) {
    const int32_t off = static_cast<int32_t>(u32(typesAt + k * 6));
    if (off < -25 * 3600 || off > 26 * 3600) return nullptr;
    offsets[k] = off;
  }
  z->fInitialOffset = offsets[0];
  z->fTransitions.reserve(h.time);
  for (uint32_t k = 0; k < h.time; ++k) {
    int64_t t;
    if (timeSize == 8)
      t = static_cast<int64_t>(uint64_t(u32(at + k * 8)) << 32 | u32(at + k * 8 + 4));
    else
      t = static_cast<int32_t>(u32(at + k * 4));
    const uint8_t type = uint8_t(bytes[at + size_t(h.time) * timeSize + k]);
    if (type >= h.type) return nullptr;
    if (!z->fTransitions.empty() && t <= z->fTransitions.back()) return nullptr;
    z->fTransitions.push_back(t);
    z->fTransitionOffset.push_back(offsets[type]);
  }
  if (version >= '2') {
    const size_t footer = at + blockSize(h, timeSize);
    if (footer < bytes.size() && bytes[footer] == '\n') {
      const size_t close = bytes.find('\n', footer + 1);
      if (close != std::string_view::npos && close > footer + 1)
        z->fHasFooter = TPosixZoneRule::Parse(bytes.substr(footer + 1, close - footer - 1), z->fFooter);
    }
  }
  return z;
}

int TTimeZoneRules::OffsetAt(int64_t utc) const {
  if (fTransitions.empty() || utc < fTransitions.front())
    return fTransitions.empty() && fHasFooter ? fFooter.OffsetAt(utc) : fInitialOffset;
  if (utc >= fTransitions.back() && fHasFooter) return fFooter.OffsetAt(utc);
  const auto it = std::upper_bound(fTransitions.begin(), fTransitions.end(), utc);
  return fTransitionOffset[static_cast<size_t>(it - fTransitions.begin()) - 1];
}

int64_t TTimeZoneRules::LocalToUtc(int64_t local) const {
  // The offsets a day before and a day after: a zone changes at most once in between.
  const int before = OffsetAt(local - kDay), after = OffsetAt(local + kDay);
  const bool beforeFits = OffsetAt(local - before) == before;
  const bool afterFits = OffsetAt(local - after) == after;
  if (beforeFits && afterFits) return std::min(local - before, local - after);
  if (afterFits) return local - after;
  return local - before; // fits, or the skipped hour
}

std::shared_ptr<const TTimeZoneRules> LoadTimeZone(const std::string &name, const std::string &dir) {
  if (!ValidZoneName(name)) return nullptr;
  const std::string data = ReadFile(dir + "/" + name, 1 << 20);
  return data.empty() ? nullptr : TTimeZoneRules::FromTzif(data, name);
}

std::vector<std::string> TimeZoneNames(const std::string &dir) {
  std::set<std::string> names;
  // tzdata.zi holds every zone of the database as a line "Z name ..."; the tables list fewer.
  std::istringstream zi(ReadFile(dir + "/tzdata.zi", 1 << 22));
  for (std::string line; std::getline(zi, line);) {
    if (line.size() < 3 || line[0] != 'Z' || line[1] != ' ') continue;
    const std::string name = line.substr(2, line.find(' ', 2) - 2);
    if (ValidZoneName(name)) names.insert(name);
  }
  if (names.empty()) {
    std::istringstream tab(ReadFile(dir + "/zone1970.tab", 1 << 20));
    for (std::string line; std::getline(tab, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream cols(line);
      std::string cc, coord, name;
      if (cols >> cc >> coord >> name && ValidZoneName(name)) names.insert(name);
    }
  }
  if (!names.empty()) names.insert("UTC");
  return {names.begin(), names.end()};
}

// ---- the display clock ----

TDisplayZone TDisplayZone::Fixed(double offsetDays) {
  TDisplayZone z;
  z.fOffsetDays = std::isfinite(offsetDays) ? offsetDays : 0;
  return z;
}

TDisplayZone TDisplayZone::System() {
  TDisplayZone z;
  z.fKind = kSystem;
  // The rules the platform would use (kept in fRules), read once here, so that a conversion is a look-up in
  // them (a track of a million points exported is not a million calls of mktime): TZ as a zone
  // name, a file or a POSIX rule, else /etc/localtime. The platform's own functions remain
  // for a zone given some other way.
  std::string tz;
  if (const char *env = std::getenv("TZ")) tz = env;
  if (!tz.empty() && tz.front() == ':') tz.erase(0, 1);
  std::shared_ptr<const TTimeZoneRules> rules;
  if (tz.empty() && !std::getenv("TZ")) {
    std::string bytes;
    if (ReadFileBytes("/etc/localtime", bytes, 1 << 20).empty()) rules = TTimeZoneRules::FromTzif(bytes, kZoneSystem);
  } else if (!tz.empty() && tz.front() == '/') {
    std::string bytes;
    if (ReadFileBytes(tz, bytes, 1 << 20).empty()) rules = TTimeZoneRules::FromTzif(bytes, kZoneSystem);
  } else if (!tz.empty()) {
    rules = LoadTimeZone(tz);
    if (!rules) rules = TTimeZoneRules::FromPosix(tz);
  }
  if (rules) z.fRules = std::move(rules);
  return z;
}

TDisplayZone TDisplayZone::Named(std::shared_ptr<const TTimeZoneRules> rules) {
  TDisplayZone z;
  if (rules) {
    z.fKind = kRules;
    z.fRules = std::move(rules);
  }
  return z;
}

std::string TDisplayZone::Name() const {
  if (fKind == kSystem) return kZoneSystem;
  if (fKind == kRules) return fRules->Name();
  const long minutes = std::lround(fOffsetDays * 1440);
  char text[32];
  std::snprintf(text, sizeof text, "UTC%c%02ld:%02ld", minutes < 0 ? '-' : '+', std::labs(minutes) / 60,
                std::labs(minutes) % 60);
  return text;
}

double TDisplayZone::OffsetAt(TDateTime utc) const {
  switch (fKind) {
  case kFixed:
    return fOffsetDays;
  case kSystem:
    if (fRules) return fRules->OffsetAt(std::isfinite(utc) ? ToUnixSeconds(utc) : 0) / double(kDay);
    return LocalUtcOffsetDays(std::isfinite(utc) ? ToUnixSeconds(utc) : 0);
  case kRules:
    return fRules->OffsetAt(std::isfinite(utc) ? ToUnixSeconds(utc) : 0) / double(kDay);
  }
  return 0;
}

TDateTime TDisplayZone::FromUtc(TDateTime utc) const {
  if (!std::isfinite(utc) || utc == 0) return utc;
  return utc + OffsetAt(utc);
}

TDateTime TDisplayZone::ToUtc(TDateTime local) const {
  if (!std::isfinite(local) || local == 0) return local;
  switch (fKind) {
  case kFixed:
    return local - fOffsetDays;
  case kSystem: {
    if (fRules) {
      const int64_t whole = ToUnixSeconds(local);
      return local - double(whole - fRules->LocalToUtc(whole)) / kDay;
    }
    // The platform resolves the wall-clock time (mktime); the fraction of a second is kept.
    const int64_t whole = ToUnixSeconds(local);
    const double frac = (local - kUnixEpochDay) * kDay - double(whole);
    const int64_t utc = DateTimeToUnix(kUnixEpochDay + double(whole) / kDay, true);
    return kUnixEpochDay + (double(utc) + frac) / kDay;
  }
  case kRules: {
    const int64_t whole = ToUnixSeconds(local);
    const int64_t utc = fRules->LocalToUtc(whole);
    return local - double(whole - utc) / kDay;
  }
  }
  return local;
}

TDateTime TDisplayZone::ToUtc(TDateTime local, TDateTime notBeforeUtc) const {
  const TDateTime first = ToUtc(local);
  if (fKind == kFixed || !std::isfinite(first) || first == 0 || !std::isfinite(notBeforeUtc) ||
      first >= notBeforeUtc)
    return first;
  // The offset a day later: where it differs and also fits, the time occurs a second time.
  const double later = OffsetAt(local + 1);
  const TDateTime second = local - later;
  const bool fits = std::fabs(OffsetAt(second) - later) < 1e-9;
  return fits && second > first ? second : first;
}

// The later time is read as no earlier than the first (a night when clocks go back is an hour
// longer): 02:50 after 02:10 of that night is 40 minutes on, and 02:10 after 02:50 is the
// repeated hour's, 20 minutes on.
double TDisplayZone::SecondsBetween(TDateTime localFrom, TDateTime localTo) const {
  if (fKind == kFixed) return (localTo - localFrom) * kDay;
  const TDateTime from = ToUtc(localFrom);
  return (ToUtc(localTo, from) - from) * kDay;
}

} // namespace kelvra
