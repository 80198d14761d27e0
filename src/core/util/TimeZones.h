#pragma once
// Time zones with their daylight saving rules, read from the system's zone database (TZif files
// under /usr/share/zoneinfo, package tzdata) or from a POSIX TZ text, and the display clock that
// every shown time is on: a fixed offset, the computer's zone, or a named zone.
#include "core/util/LumDates.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra {

inline constexpr const char *kZoneInfoDir = "/usr/share/zoneinfo";

// A POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3"): a standard offset and, optionally, a daylight
// saving offset with the local times it starts and ends each year.
struct TPosixZoneRule {
  struct TWhen {
    char kind = 'M';   // 'M' month.week.day, 'J' Julian day 1..365 without 29 February, 'D' 0..365
    int month = 0, week = 0, weekday = 0, day = 0;
    int seconds = 7200; // local time of the change
  };
  int stdOffset = 0; // seconds east of UTC
  int dstOffset = 0;
  bool hasDst = false;
  TWhen start, end;

  // False (rule left as it was) for a text that is not such a rule.
  static bool Parse(std::string_view text, TPosixZoneRule &rule);
  int OffsetAt(int64_t utcSeconds) const;
};

class TTimeZoneRules {
public:
  // The rules of a TZif file's bytes (version 1 to 4); null when they are not such a file.
  static std::shared_ptr<const TTimeZoneRules> FromTzif(std::string_view bytes, std::string name);
  // Null when the text is not a POSIX TZ rule.
  static std::shared_ptr<const TTimeZoneRules> FromPosix(std::string_view text);

  const std::string &Name() const { return fName; }
  // Seconds east of UTC at the moment.
  int OffsetAt(int64_t utcSeconds) const;
  // The moment a wall-clock time of this zone stands for. A time that occurs twice (the hour
  // repeated when clocks go back) is its first occurrence; a time that does not occur (skipped
  // when clocks go forward) is read with the offset before the change, so 02:30 of a
  // spring-forward night is the moment the clock shows 03:30.
  int64_t LocalToUtc(int64_t localSeconds) const;

private:
  std::string fName;
  std::vector<int64_t> fTransitions; // UTC seconds, ascending
  std::vector<int> fTransitionOffset; // the offset from each transition on
  int fInitialOffset = 0;             // before the first transition
  bool fHasFooter = false;
  TPosixZoneRule fFooter; // after the last transition
};

// The zone named "Area/Location" (or "UTC") from the zone database folder; null for a name that
// is not a zone there. Names with "..", a leading "/" or characters other than letters, digits,
// "_", "-", "+" and "/" are refused without touching the disk.
std::shared_ptr<const TTimeZoneRules> LoadTimeZone(const std::string &name,
                                                   const std::string &dir = kZoneInfoDir);
// The database's zone names, sorted ("Africa/Abidjan" ... "UTC"); empty without a database.
std::vector<std::string> TimeZoneNames(const std::string &dir = kZoneInfoDir);

// The clock every time the program shows, asks for and exports is on.
class TDisplayZone {
public:
  TDisplayZone() = default; // UTC
  static TDisplayZone Fixed(double offsetDays);
  // The computer's own zone, through the platform's rules (TZ, /etc/localtime).
  static TDisplayZone System();
  static TDisplayZone Named(std::shared_ptr<const TTimeZoneRules> rules);

  bool IsFixed() const { return fKind == kFixed; }
  // "UTC+03:00" for a fixed offset, "system", or the zone's name.
  std::string Name() const;
  // The offset from UTC at a UTC moment, in days, east positive.
  double OffsetAt(TDateTime utc) const;
  // A UTC time on this clock; NaN, infinities and 0 ("no date") stay as they are.
  TDateTime FromUtc(TDateTime utc) const;
  // The UTC moment of a time on this clock (see TTimeZoneRules::LocalToUtc); NaN, infinities
  // and 0 stay as they are.
  TDateTime ToUtc(TDateTime local) const;
  // The same for a time known to be no earlier than the moment notBeforeUtc (the next time of a
  // track in order): of a time that occurs twice, the second occurrence when the first lies
  // before that moment. Walking a track this way gives every point of the repeated hour its
  // own moment.
  TDateTime ToUtc(TDateTime local, TDateTime notBeforeUtc) const;
  // Seconds from one time on this clock to a later one, counting the real time between them
  // (a night when clocks go forward is an hour shorter than its wall-clock span).
  double SecondsBetween(TDateTime localFrom, TDateTime localTo) const;

private:
  enum TKind { kFixed, kSystem, kRules };
  TKind fKind = kFixed;
  double fOffsetDays = 0;
  std::shared_ptr<const TTimeZoneRules> fRules;
};

// The "time_zone" setting: "account" (or empty), "system", or a zone name.
inline constexpr const char *kZoneAccount = "account";
inline constexpr const char *kZoneSystem = "system";

} // namespace kelvra
