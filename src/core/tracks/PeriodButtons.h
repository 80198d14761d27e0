#pragma once
// The quick buttons of the period dialog and the name a period gets, as plain functions of
// the current local date-time so that they can be checked on any fixed date.

#include <array>

#include "core/util/LumDates.h"

namespace kelvra {

inline constexpr int PeriodButtonCount = 15;
// Captions (translation keys) in button order: "-1 Hour" ... "Quarter".
extern const std::array<const char *, PeriodButtonCount> PeriodButtonCaptions;

struct TPeriod {
  TDateTime Dt1 = 0;
  TDateTime Dt2 = 0;
};

// The period of button `button` (0..14) at local time `now`; {0, 0} for another index.
TPeriod QuickPeriod(int button, TDateTime now);
// The Monday of the week of `dt`, at 00:00.
TDateTime WeekStart(TDateTime dt);
// The name of a period without a button: its length in whole seconds as "6h 0m 0s";
// empty when the end is not after the start.
std::string PeriodSign(const TPeriod &period);
// A period is usable when it has both ends and the end is after the start.
bool PeriodValid(const TPeriod &period);
// What the dialogs open with when nothing is stored: today 06:00 to 12:00.
TPeriod DefaultPeriod(TDateTime now);

} // namespace kelvra
