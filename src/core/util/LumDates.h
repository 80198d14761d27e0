#pragma once
// Date-times: a double counting days since 1899-12-30, the fraction being the time of day.
// 0 means no date, NaN no value. Local time follows the platform's zone rules.
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra {

using TDateTime = double;

// The default display form of the program.
inline constexpr const char *DefaultDtPattern = "dd.mm.yyyy hh:nn:ss";

// 1970-01-01 as a date-time (days since 1899-12-30).
inline constexpr int64_t kUnixEpochDay = 25569;

// A date that is set: neither 0 (no date) nor NaN (no value).
bool DtDefined(TDateTime dt);

// Calendar helpers. Try... return false (and leave `dt` alone) for impossible values.
bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime &dt);
bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t msec, TDateTime &dt);
TDateTime EncodeDateTime(int32_t year, int32_t month, int32_t day, int32_t hour = 0,
                         int32_t minute = 0, int32_t second = 0, int32_t msec = 0);
struct TDtParts {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
};
// Rounded to the millisecond; a NaN or infinite value gives all zeros.
TDtParts DecodeDateTime(TDateTime dt);
bool IsLeapYear(int32_t year);
int32_t DaysInMonth(int32_t year, int32_t month);

// Unix seconds <-> date-time. `local` converts through the platform's time zone rules.
TDateTime UnixToDateTime(int64_t unixSeconds, bool local);
int64_t DateTimeToUnix(TDateTime dt, bool local);
TDateTime NowLocal();
TDateTime NowUtc();
// Offset of local time from UTC at the given moment (now when 0), in days, east positive.
double LocalUtcOffsetDays(int64_t unixSeconds = 0);

// Formats with the letter groups yyyy, mm, dd, hh, nn, ss (mm after hh is minutes);
// every other character is written as it is.
std::string FormatDateTime(const std::string &pattern, TDateTime dt);

// Tolerant parsers. Each returns true when it found its part; outputs are 0 otherwise.
bool ParseDate(const std::string &text, uint16_t &day, uint16_t &month, uint16_t &year);
bool ParseTime(const std::string &text, uint16_t &hour, uint16_t &minute, uint16_t &second,
               uint16_t &msec);
// 0 for an empty or unreadable text. Fast for the service's "yyyy-mm-ddThh:nn:ssZ" and
// "dd.mm.yyyy hh:nn:ss"; always the same value as StrToDtByRe.
TDateTime StrToDt(std::string_view text);
// The general path through the regular expressions (kept public for the equality test).
TDateTime StrToDtByRe(const std::string &text);
// A text of digits only is Unix seconds (shown in local time); anything else is StrToDt.
TDateTime ts2dt(const std::string &text);
// "NaN" for NaN; the default display form for an empty pattern.
std::string dt2s(TDateTime dt, const std::string &pattern = "");
// dt - offsetDays written as "yyyy-mm-ddThh:nn:ssZ".
std::string dt2webutc(TDateTime dt, double offsetDays);
// Format 1 "hh:nn", 2 "1h 5m 3s", 3 "1h 5m ", other "hh:nn:ss".
std::string dur2s(int32_t seconds, int32_t format = 0);

} // namespace kelvra
