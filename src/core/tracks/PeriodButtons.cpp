#include "core/tracks/PeriodButtons.h"

#include <cmath>

namespace kelvra {

const std::array<const char *, PeriodButtonCount> PeriodButtonCaptions = {
    "-1 Hour",      "-2 Hours",   "-3 Hours",   "-6 Hours", "-12 Hours",
    "Today",        "Yesterday",  "Pre-yest-day", "3 days ago", "7 days ago",
    "Week",         "Pre-week",   "Month",      "Pre-month", "Quarter"};

namespace {

TDateTime MonthStart(int year, int month) {
  while (month < 1) {
    month += 12;
    --year;
  }
  while (month > 12) {
    month -= 12;
    ++year;
  }
  return EncodeDateTime(year, month, 1);
}

} // namespace

TDateTime WeekStart(TDateTime dt) {
  // Day 0 (30 December 1899) was a Saturday, so day 2 was a Monday.
  const double day = std::floor(dt);
  const double fromMonday = std::fmod(std::fmod(day - 2, 7) + 7, 7);
  return day - fromMonday;
}

TPeriod QuickPeriod(int button, TDateTime now) {
  const TDateTime today = std::floor(now);
  const TDtParts d = DecodeDateTime(now);
  switch (button) {
  case 0:
  case 1:
  case 2:
  case 3:
  case 4: {
    static const int hours[] = {1, 2, 3, 6, 12};
    return {now - hours[button] / 24.0, now};
  }
  case 5:
    return {today, today + 0.999999};
  case 6:
    return {today - 1, today - 0.000001};
  case 7:
    return {today - 2, today - 1.000001};
  case 8:
    return {today - 3, today - 0.000001};
  case 9:
    return {today - 7, today - 0.000001};
  case 10:
    return {WeekStart(now), WeekStart(now) + 7};
  case 11:
    return {WeekStart(now) - 7, WeekStart(now)};
  case 12:
    return {MonthStart(d.year, d.month), MonthStart(d.year, d.month + 1)};
  case 13:
    return {MonthStart(d.year, d.month - 1), MonthStart(d.year, d.month)};
  case 14: {
    const int first = (d.month - 1) / 3 * 3 + 1;
    return {MonthStart(d.year, first), MonthStart(d.year, first + 3)};
  }
  default:
    return {};
  }
}

bool PeriodValid(const TPeriod &p) { return p.Dt1 != 0 && p.Dt2 != 0 && p.Dt2 > p.Dt1; }

std::string PeriodSign(const TPeriod &p) {
  if (!(p.Dt2 > p.Dt1)) return std::string();
  // Rounded to the millisecond first: 12:00 - 06:00 is not quite 21600 s in doubles.
  const double ms = std::round((p.Dt2 - p.Dt1) * 86400000.0);
  const double secs = std::trunc(ms / 1000);
  return dur2s(secs > 2147483647.0 ? 2147483647 : static_cast<int32_t>(secs), 2);
}

TPeriod DefaultPeriod(TDateTime now) {
  const TDateTime today = std::floor(now);
  return {today + 0.25, today + 0.5};
}

} // namespace kelvra
