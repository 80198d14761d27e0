// Zone rules from the system's zone database and POSIX TZ texts, and the display clock, around
// the changes of daylight saving.
#include "core/tracks/PeriodButtons.h"
#include "core/util/LumDates.h"
#include "core/util/TimeZones.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace kelvra {
namespace {

int64_t Unix(int y, int mo, int d, int h, int mi = 0, int s = 0) {
  return DateTimeToUnix(EncodeDateTime(y, mo, d, h, mi, s), false);
}

std::string Text(TDateTime dt) { return dt2s(dt, "yyyy-mm-dd hh:nn:ss"); }

struct TOffsetCase {
  const char *name;
  const char *zone; // a database name, or a POSIX text when it holds a ","
  int utc[6];
  int offsetMinutes;
};
void PrintTo(const TOffsetCase &c, std::ostream *os) { *os << c.name; }

class ZoneOffsetTest : public ::testing::TestWithParam<TOffsetCase> {};

std::shared_ptr<const TTimeZoneRules> Rules(const char *zone) {
  return std::string(zone).find(',') != std::string::npos ? TTimeZoneRules::FromPosix(zone)
                                                           : LoadTimeZone(zone);
}

TEST_P(ZoneOffsetTest, AtTheMoment) {
  const TOffsetCase &c = GetParam();
  const auto rules = Rules(c.zone);
  ASSERT_TRUE(rules) << c.zone << " (is tzdata installed?)";
  const auto &u = c.utc;
  EXPECT_EQ(rules->OffsetAt(Unix(u[0], u[1], u[2], u[3], u[4], u[5])), c.offsetMinutes * 60);
}

// 2026: Europe changes on 29 March and 25 October at 01:00 UTC; the United States on 8 March
// and 1 November at 02:00 local. Years past 2037 come from the file's rule for the future.
INSTANTIATE_TEST_SUITE_P(
    TimeZones, ZoneOffsetTest,
    ::testing::Values(
        TOffsetCase{"berlinBeforeSpring", "Europe/Berlin", {2026, 3, 29, 0, 59, 59}, 60},
        TOffsetCase{"berlinAtSpring", "Europe/Berlin", {2026, 3, 29, 1, 0, 0}, 120},
        TOffsetCase{"berlinBeforeAutumn", "Europe/Berlin", {2026, 10, 25, 0, 59, 59}, 120},
        TOffsetCase{"berlinAtAutumn", "Europe/Berlin", {2026, 10, 25, 1, 0, 0}, 60},
        TOffsetCase{"berlin1950s", "Europe/Berlin", {1955, 7, 1, 12, 0, 0}, 60},
        TOffsetCase{"berlinFutureSummer", "Europe/Berlin", {2061, 7, 1, 12, 0, 0}, 120},
        TOffsetCase{"berlinFutureWinter", "Europe/Berlin", {2061, 12, 1, 12, 0, 0}, 60},
        TOffsetCase{"newYorkSummer", "America/New_York", {2026, 7, 4, 12, 0, 0}, -240},
        TOffsetCase{"newYorkBeforeSpring", "America/New_York", {2026, 3, 8, 6, 59, 59}, -300},
        TOffsetCase{"newYorkAtSpring", "America/New_York", {2026, 3, 8, 7, 0, 0}, -240},
        TOffsetCase{"sydneyJanuary", "Australia/Sydney", {2026, 1, 15, 0, 0, 0}, 660},
        TOffsetCase{"sydneyJuly", "Australia/Sydney", {2026, 7, 15, 0, 0, 0}, 600},
        TOffsetCase{"kolkataHalfHour", "Asia/Kolkata", {2026, 7, 15, 0, 0, 0}, 330},
        TOffsetCase{"yekaterinburgNoSaving", "Asia/Yekaterinburg", {2026, 7, 15, 0, 0, 0}, 300},
        TOffsetCase{"utc", "UTC", {2026, 7, 15, 0, 0, 0}, 0},
        TOffsetCase{"posixSouthJanuary", "AEST-10AEDT,M10.1.0,M4.1.0/3", {2040, 1, 15, 0, 0, 0}, 660},
        TOffsetCase{"posixSouthJuly", "AEST-10AEDT,M10.1.0,M4.1.0/3", {2040, 7, 15, 0, 0, 0}, 600},
        TOffsetCase{"posixJulian", "XST3XDT,J60/0,J300/0", {2027, 6, 1, 0, 0, 0}, -120},
        TOffsetCase{"posixAngleNames", "<+0330>-3:30<+0430>,J79/24,J263/24", {2030, 6, 1, 0, 0, 0}, 270}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TimeZones, WallClockTimesThatOccurTwiceOrNever) {
  const auto berlin = LoadTimeZone("Europe/Berlin");
  ASSERT_TRUE(berlin);
  struct TCase {
    const char *name;
    int local[5];
    const char *utc;
  } cases[] = {
      {"summerNoon", {2026, 7, 1, 12, 0}, "2026-07-01 10:00:00"},
      {"winterNoon", {2026, 1, 1, 12, 0}, "2026-01-01 11:00:00"},
      // 02:30 of 29 March does not exist: the clock showed 03:30 at that moment.
      {"skipped", {2026, 3, 29, 2, 30}, "2026-03-29 01:30:00"},
      {"afterSkip", {2026, 3, 29, 3, 0}, "2026-03-29 01:00:00"},
      // 02:30 of 25 October occurs twice: the first is meant.
      {"repeated", {2026, 10, 25, 2, 30}, "2026-10-25 00:30:00"},
      {"afterRepeat", {2026, 10, 25, 3, 0}, "2026-10-25 02:00:00"},
  };
  for (const auto &c : cases) {
    const int64_t local = Unix(c.local[0], c.local[1], c.local[2], c.local[3], c.local[4]);
    EXPECT_EQ(Text(UnixToDateTime(berlin->LocalToUtc(local), false)), c.utc) << c.name;
  }
}

TEST(TimeZones, BrokenFilesAndTextsAreRefused) {
  std::ifstream in(std::string(kZoneInfoDir) + "/Europe/Berlin", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string file = bytes.str();
  ASSERT_GT(file.size(), 100u);
  // Every cut of a real file is read without going past its end: refused, or rules that answer.
  for (size_t n = 0; n < file.size(); ++n) {
    const auto rules = TTimeZoneRules::FromTzif(std::string_view(file).substr(0, n), "cut");
    if (rules) (void)rules->OffsetAt(Unix(2026, 7, 1, 0));
  }
  EXPECT_EQ(TTimeZoneRules::FromTzif("TZif2 not really", "x"), nullptr);

  for (const char *text : {"", "CET", "CET-", "CET-1CEST,M13.1.0,M10.5.0", "CET-1CEST,M3.5.0",
                           "CET-1CEST,M3.5.0,M10.5.0/3x", "<+03", "AB-1"})
    EXPECT_EQ(TTimeZoneRules::FromPosix(text), nullptr) << '"' << text << '"';

  // Names are zone names, never paths out of the database.
  for (const char *name : {"../../etc/passwd", "/etc/localtime", "Europe/../../../etc/passwd",
                           "Europe//Berlin", "Mars/Olympus_Mons", "Europe/Berlin\n", ""})
    EXPECT_EQ(LoadTimeZone(name), nullptr) << name;
}

TEST(TimeZones, TheListOfNames) {
  const std::vector<std::string> names = TimeZoneNames();
  ASSERT_GT(names.size(), 300u);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
  for (const char *name : {"Europe/Berlin", "America/New_York", "Asia/Yekaterinburg", "UTC"})
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), name)) << name;
  // Every name on the list loads.
  for (const std::string &name : names) EXPECT_TRUE(LoadTimeZone(name)) << name;
  EXPECT_TRUE(TimeZoneNames("/nonexistent").empty());
}

TEST(DisplayZone, EachMomentWithItsOwnOffset) {
  const TDisplayZone berlin = TDisplayZone::Named(LoadTimeZone("Europe/Berlin"));
  ASSERT_EQ(berlin.Name(), "Europe/Berlin");
  // Minutes around the autumn change, as a track spanning it shows them.
  struct TCase {
    int utc[3];
    const char *shown;
  } cases[] = {{{0, 30, 0}, "2026-10-25 02:30:00"},
               {{0, 59, 59}, "2026-10-25 02:59:59"},
               {{1, 0, 0}, "2026-10-25 02:00:00"},
               {{1, 30, 0}, "2026-10-25 02:30:00"},
               {{2, 0, 0}, "2026-10-25 03:00:00"}};
  for (const auto &c : cases)
    EXPECT_EQ(Text(berlin.FromUtc(EncodeDateTime(2026, 10, 25, c.utc[0], c.utc[1], c.utc[2]))), c.shown);

  // Real time between wall-clock times: the spring night is an hour shorter, the autumn one longer.
  EXPECT_NEAR(berlin.SecondsBetween(EncodeDateTime(2026, 3, 29, 1, 30), EncodeDateTime(2026, 3, 29, 3, 30)),
              3600, 1e-3);
  EXPECT_NEAR(berlin.SecondsBetween(EncodeDateTime(2026, 10, 25, 1, 30), EncodeDateTime(2026, 10, 25, 3, 30)),
              3 * 3600, 1e-3);
  // Within the repeated hour the later time is read as no earlier than the first: 02:10 after
  // 02:50 is the second pass.
  EXPECT_NEAR(berlin.SecondsBetween(EncodeDateTime(2026, 10, 25, 2, 50), EncodeDateTime(2026, 10, 25, 2, 10)),
              1200, 1e-3);
  EXPECT_NEAR(berlin.SecondsBetween(EncodeDateTime(2026, 10, 25, 2, 10), EncodeDateTime(2026, 10, 25, 2, 50)),
              2400, 1e-3);
  const TDisplayZone fixed = TDisplayZone::Fixed(0.125);
  EXPECT_EQ(fixed.Name(), "UTC+03:00");
  EXPECT_EQ(TDisplayZone::Fixed(-0.1875).Name(), "UTC-04:30");
  EXPECT_NEAR(fixed.SecondsBetween(EncodeDateTime(2026, 3, 29, 1, 30), EncodeDateTime(2026, 3, 29, 3, 30)),
              7200, 1e-3);

  // Missing values and "no date" pass through; fractions of a second survive both ways.
  for (const TDisplayZone &z : {berlin, fixed, TDisplayZone::System()}) {
    EXPECT_TRUE(std::isnan(z.FromUtc(std::nan(""))));
    EXPECT_EQ(z.ToUtc(0), 0);
    const TDateTime t = EncodeDateTime(2026, 5, 1, 10, 0, 0, 250);
    EXPECT_NEAR(z.ToUtc(z.FromUtc(t)), t, 1e-9);
  }
}

// The "Today" button on the day clocks go forward asks the service for a day of 23 hours.
TEST(DisplayZone, TodayOnTheDayOfTheChange) {
  const TDisplayZone berlin = TDisplayZone::Named(LoadTimeZone("Europe/Berlin"));
  const TDateTime now = berlin.FromUtc(EncodeDateTime(2026, 3, 29, 10, 0));
  ASSERT_EQ(Text(now), "2026-03-29 12:00:00");
  int today = -1;
  for (int b = 0; b < PeriodButtonCount; ++b)
    if (std::string(PeriodButtonCaptions[b]) == "Today") today = b;
  const TPeriod p = QuickPeriod(today, now);
  EXPECT_EQ(dt2webutc(berlin.ToUtc(p.Dt1), 0), "2026-03-28T23:00:00Z");
  EXPECT_EQ(dt2webutc(berlin.ToUtc(p.Dt2), 0), "2026-03-29T21:59:59Z");
  EXPECT_NEAR(berlin.SecondsBetween(p.Dt1, p.Dt2), 23 * 3600, 1); // the last second is whole
}

// "system" is the platform's zone: TZ decides.
TEST(DisplayZone, SystemFollowsTheEnvironment) {
  const char *old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  // A zone name, the same with the ":" of POSIX, and a POSIX rule: each read as rules once.
  for (const char *tz : {"America/New_York", ":America/New_York", "EST5EDT,M3.2.0,M11.1.0"}) {
    SCOPED_TRACE(tz);
    setenv("TZ", tz, 1);
    tzset();
    const TDisplayZone sys = TDisplayZone::System();
    EXPECT_EQ(sys.Name(), "system");
    EXPECT_EQ(Text(sys.FromUtc(EncodeDateTime(2026, 7, 4, 16, 0))), "2026-07-04 12:00:00");
    EXPECT_EQ(Text(sys.FromUtc(EncodeDateTime(2026, 1, 4, 17, 0))), "2026-01-04 12:00:00");
    EXPECT_EQ(Text(sys.ToUtc(EncodeDateTime(2026, 7, 4, 12, 0))), "2026-07-04 16:00:00");
    // The night of 8 March 2026 is an hour shorter there.
    EXPECT_NEAR(sys.SecondsBetween(EncodeDateTime(2026, 3, 8, 1, 30), EncodeDateTime(2026, 3, 8, 3, 30)), 3600, 1e-3);
  }
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

} // namespace
} // namespace kelvra
