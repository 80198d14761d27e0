// Date-time parsing, formatting and durations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <ctime>
#include <random>

#include "core/util/LumDates.h"
#include "core/util/TextFileWriter.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {
namespace {

// Runs a test body in a fixed time zone and puts the previous one back.
class ScopedTz {
public:
  explicit ScopedTz(const char *tz) {
    if (const char *old = std::getenv("TZ")) fOld = old, fHad = true;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTz() {
    if (fHad)
      setenv("TZ", fOld.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

private:
  std::string fOld;
  bool fHad = false;
};

const TDateTime kJan31 = EncodeDateTime(2024, 1, 31, 12, 34, 56);

struct TDtCase {
  const char *name;
  std::string text;
  TDateTime want;
};
void PrintTo(const TDtCase &c, std::ostream *os) { *os << c.text; }

class StrToDtForms : public testing::TestWithParam<TDtCase> {};

TEST_P(StrToDtForms, Reads) {
  const auto &c = GetParam();
  EXPECT_DOUBLE_EQ(StrToDt(c.text), c.want);
  EXPECT_DOUBLE_EQ(StrToDtByRe(c.text), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, StrToDtForms,
    testing::Values(
        TDtCase{"Display", "31.01.2024 12:34:56", kJan31},
        TDtCase{"Service", "2024-01-31T12:34:56Z", kJan31},
        TDtCase{"ServiceWithOffsetIgnored", "2024-01-31T12:34:56+03:00", kJan31},
        TDtCase{"American", "01/31/2024 12:34:56", kJan31},
        TDtCase{"Compact", "20240131 123456", kJan31},
        TDtCase{"TimeOnly", "12:30", EncodeDateTime(1899, 12, 30, 12, 30)},
        TDtCase{"ImpossibleDateKeepsTime", "31.02.2024 10:00", EncodeDateTime(1899, 12, 30, 10)},
        TDtCase{"TwoDigitYear", "1.2.24", EncodeDateTime(1924, 2, 1)},
        TDtCase{"Milliseconds", "31.01.2024 12:34:56:789", kJan31 + 789.0 / 86400000},
        TDtCase{"FractionNotRead", "2024-01-31T12:34:56.789Z", kJan31},
        TDtCase{"Hour24Skipped", "31.01.2024 24:00:00", EncodeDateTime(2024, 1, 31)},
        TDtCase{"BeforeDayZero", "29.12.1899 06:00:00", -1.25},
        TDtCase{"YearZeroNoDate", "0000-01-31T12:34:56Z", EncodeDateTime(1899, 12, 30, 12, 34, 56)},
        TDtCase{"HugeNumbers", "99999.1.2024", 0}, TDtCase{"Empty", "", 0},
        TDtCase{"Garbage", "hello", 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Dates, ParseTimeIgnoresDecimalFraction) {
  uint16_t h, m, s, ms;
  EXPECT_TRUE(ParseTime("12:34:56.789", h, m, s, ms));
  EXPECT_EQ((std::vector<int>{h, m, s, ms}), (std::vector<int>{12, 34, 56, 0}));
  EXPECT_FALSE(ParseTime("no time", h, m, s, ms));
  EXPECT_EQ((std::vector<int>{h, m, s, ms}), (std::vector<int>{0, 0, 0, 0}));
  uint16_t d, mo, y;
  EXPECT_FALSE(ParseDate("12:30", d, mo, y));
  EXPECT_EQ((std::vector<int>{d, mo, y}), (std::vector<int>{0, 0, 0}));
}

// The fast path must give bit for bit what the regular expressions give, for the forms it takes
// and for every near miss that it must leave to them.
TEST(Dates, FastPathEqualsRegularExpressionPath) {
  std::mt19937 rng(20240131);
  const auto digit = [&] { return static_cast<char>('0' + rng() % 10); };
  const std::string noise = "0123456789-.:/TZ +x";
  int checked = 0;
  for (int i = 0; i < 40000; ++i) {
    std::string s = i % 2 ? "dddd-dd-ddTdd:dd:ddZ" : "dd.dd.dddd dd:dd:dd";
    for (char &c : s)
      if (c == 'd') c = digit();
    // Plausible values most of the time, so that real dates are compared too.
    if (rng() % 2) {
      const int y = 1 + rng() % 2200, mo = 1 + rng() % 12, d = 1 + rng() % 31;
      const int h = rng() % 25, n = rng() % 61, sec = rng() % 61;
      char buf[32];
      if (i % 2)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", y, mo, d, h, n, sec);
      else
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", d, mo, y, h, n, sec);
      s = buf;
    }
    switch (rng() % 4) {
    case 0: // a character replaced
      s[rng() % s.size()] = noise[rng() % noise.size()];
      break;
    case 1: // cut or lengthened
      if (rng() % 2)
        s.erase(rng() % s.size(), 1);
      else
        s.insert(rng() % (s.size() + 1), 1, noise[rng() % noise.size()]);
      break;
    default:
      break;
    }
    const TDateTime fast = StrToDt(s), slow = StrToDtByRe(s);
    ASSERT_EQ(std::memcmp(&fast, &slow, sizeof fast), 0) << s << " " << fast << " " << slow;
    ++checked;
  }
  EXPECT_EQ(checked, 40000);
}

TEST(Dates, Formats) {
  const TDateTime dt = EncodeDateTime(2024, 1, 31, 23, 59, 1);
  const struct {
    const char *pattern;
    const char *want;
  } cases[] = {{"", "31.01.2024 23:59:01"},
               {"dd.mm.yyyy hh:nn", "31.01.2024 23:59"},
               {"dd.mm hh:nn", "31.01 23:59"},
               {"hh:mm", "23:59"}, // mm after an hour is minutes
               {"yyyymmdd hhnnss ", "20240131 235901 "},
               {"yyyy_mm_dd_hh_nn", "2024_01_31_23_59"},
               {"yyyy-mm-dd", "2024-01-31"},
               {"Day dd", "Day 31"}};
  for (const auto &c : cases)
    EXPECT_EQ(dt2s(dt, c.pattern), c.want) << c.pattern;
  EXPECT_EQ(dt2s(NAN, "hh"), "NaN");
  EXPECT_EQ(ts2s(NAN, "hh"), "NaN");
  EXPECT_EQ(ts2s(dt, ""), "");
  // Rounded to the millisecond, so a value a hair below a second does not show one too few.
  EXPECT_EQ(dt2s(EncodeDateTime(2024, 1, 31, 12) - 1e-12), "31.01.2024 12:00:00");
  EXPECT_EQ(dt2s(EncodeDateTime(2024, 12, 31, 23, 59, 59, 999) + 0.0000000001),
            "31.12.2024 23:59:59");
  EXPECT_EQ(dt2s(-1.25), "29.12.1899 06:00:00");
}

// What the program writes as a date (address cache, settings) must read back as the same date,
// also before 30.12.1899, where the day number is negative and the time of day counts down.
TEST(Dates, WrittenDateReadsBackTheSame) {
  for (const char *text : {"31.01.2024 12:34:56", "30.12.1899 00:00:01", "29.12.1899 23:59:59",
                           "05.02.1012 21:04:08", "01.01.1601 00:00:00", "28.02.1000 12:00:00"}) {
    const TDateTime dt = StrToDt(text);
    EXPECT_EQ(dt2s(dt), text);
    EXPECT_EQ(dt2s(StrToDt(dt2s(dt))), text);
  }
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6), -1.25);
  // 29.12.1899 06:00 UTC in Unix seconds.
  EXPECT_DOUBLE_EQ(UnixToDateTime(-2209161600LL - 86400 + 6 * 3600, false), -1.25);
}

TEST(Dates, WebUtcSubtractsTheOffset) {
  EXPECT_EQ(dt2webutc(EncodeDateTime(2024, 1, 31, 15), 0.125), "2024-01-31T12:00:00Z");
  EXPECT_EQ(dt2webutc(EncodeDateTime(2024, 1, 1, 1), 0.125), "2023-12-31T22:00:00Z");
}

// The exports' fast form writes what the general pattern writes, rounding included.
TEST(Dates, WebUtcIsThePatternsText) {
  const double ms = 1.0 / 86400000;
  for (const TDateTime dt :
       {EncodeDateTime(2024, 2, 29, 23) + (59 * 60 + 59.9996) / 86400, // rounds into March
        EncodeDateTime(2024, 3, 1, 0) - 0.4 * ms, EncodeDateTime(1999, 12, 31, 23) + 3599.0 / 86400,
        EncodeDateTime(1, 1, 1, 0), EncodeDateTime(9999, 12, 31, 12), -1.25, 0.0,
        std::numeric_limits<double>::infinity(), 2e8, std::numeric_limits<double>::quiet_NaN()}) {
    const std::string pattern =
        std::isnan(dt) ? "NaN" : FormatDateTime("yyyy-mm-ddThh:nn:ssZ", dt);
    EXPECT_EQ(dt2webutc(dt, 0), pattern) << dt;
    std::string appended = "x";
    AppendWebUtc(appended, dt);
    EXPECT_EQ(appended, "x" + pattern) << dt;
  }
}

TEST(Dates, UnixTimesInLocalTime) {
  ScopedTz tz("EET-2");
  EXPECT_DOUBLE_EQ(ts2dt("0"), EncodeDateTime(1970, 1, 1, 2));
  // Eight digits are a Unix time, not a date.
  EXPECT_DOUBLE_EQ(ts2dt("20240131"), UnixToDateTime(20240131, true));
  EXPECT_DOUBLE_EQ(ts2dt("31.01.2024 12:34:56"), kJan31);
  EXPECT_DOUBLE_EQ(UnixToDateTime(86400 + 43200, false), EncodeDateTime(1970, 1, 2, 12));
  EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1970, 1, 2, 12), false), 86400 + 43200);
  EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1970, 1, 1, 2), true), 0);
  EXPECT_DOUBLE_EQ(LocalUtcOffsetDays(1), 2.0 / 24);
  EXPECT_NEAR(NowLocal() - NowUtc(), 2.0 / 24, 1.0 / 86400);
}

TEST(Dates, Durations) {
  const struct {
    int32_t seconds, format;
    const char *want;
  } cases[] = {{60, 0, "00:01:00"},    {3600, 2, "1h 0s"},    {3725, 1, "01:02"},
               {90000, 0, "25:00:00"}, {3903, 2, "1h 5m 3s"}, {300, 2, "5m 0s"},
               {0, 2, "0s"},           {3900, 3, "1h 5m "},   {59, 3, ""},
               {3903, 7, "01:05:03"},  {-61, 0, "-00:01:01"}};
  for (const auto &c : cases)
    EXPECT_EQ(dur2s(c.seconds, c.format), c.want) << c.seconds;
}

TEST(Dates, Calendar) {
  TDateTime dt = 7;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, dt));
  EXPECT_EQ(dt, 7);
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, dt));
  EXPECT_DOUBLE_EQ(dt, 45351);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30), 0);
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, dt));
  const TDtParts p = DecodeDateTime(kJan31);
  EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second}),
            (std::vector<int>{2024, 1, 31, 12, 34, 56}));
  EXPECT_EQ(DecodeDateTime(NAN).year, 0);
}

} // namespace
} // namespace kelvra
