#include <string>

#include <gtest/gtest.h>

#include "core/tracks/PeriodButtons.h"
#include "core/util/LumDates.h"

namespace kelvra {
namespace {

struct TQuickCase {
  const char *name;
  int now[5]; // year, month, day, hour, minute
  const char *caption;
  const char *dt1;
  const char *dt2;
};

void PrintTo(const TQuickCase &c, std::ostream *os) { *os << c.name; }

class QuickPeriodTest : public ::testing::TestWithParam<TQuickCase> {};

int ButtonOf(const char *caption) {
  for (int b = 0; b < PeriodButtonCount; ++b)
    if (std::string(PeriodButtonCaptions[b]) == caption) return b;
  return -1;
}

TEST_P(QuickPeriodTest, OnFixedDates) {
  const TQuickCase &c = GetParam();
  const TDateTime now = EncodeDateTime(c.now[0], c.now[1], c.now[2], c.now[3], c.now[4]);
  const int button = ButtonOf(c.caption);
  ASSERT_GE(button, 0);
  const TPeriod p = QuickPeriod(button, now);
  const char *pattern = "dd.mm.yyyy hh:nn:ss";
  EXPECT_EQ(dt2s(p.Dt1, pattern), c.dt1);
  EXPECT_EQ(dt2s(p.Dt2, pattern), c.dt2);
  EXPECT_TRUE(PeriodValid(p));
}

// 31 March 2027 is a Wednesday, 15 May 2026 a Friday, 20 December 2026 a Sunday.
INSTANTIATE_TEST_SUITE_P(
    Tracks, QuickPeriodTest,
    ::testing::Values(
        TQuickCase{"mar31Hour", {2027, 3, 31, 0, 30}, "-1 Hour", "30.03.2027 23:30:00", "31.03.2027 00:30:00"},
        TQuickCase{"mar31Hours12", {2027, 3, 31, 10, 0}, "-12 Hours", "30.03.2027 22:00:00", "31.03.2027 10:00:00"},
        TQuickCase{"mar31Today", {2027, 3, 31, 10, 0}, "Today", "31.03.2027 00:00:00", "31.03.2027 23:59:59"},
        TQuickCase{"mar31Yesterday", {2027, 3, 31, 10, 0}, "Yesterday", "30.03.2027 00:00:00", "30.03.2027 23:59:59"},
        TQuickCase{"mar31PreYest", {2027, 3, 31, 10, 0}, "Pre-yest-day", "29.03.2027 00:00:00", "29.03.2027 23:59:59"},
        TQuickCase{"mar31Days3", {2027, 3, 31, 10, 0}, "3 days ago", "28.03.2027 00:00:00", "30.03.2027 23:59:59"},
        TQuickCase{"mar31Days7", {2027, 3, 31, 10, 0}, "7 days ago", "24.03.2027 00:00:00", "30.03.2027 23:59:59"},
        TQuickCase{"mar31Week", {2027, 3, 31, 10, 0}, "Week", "29.03.2027 00:00:00", "05.04.2027 00:00:00"},
        TQuickCase{"mar31PreWeek", {2027, 3, 31, 10, 0}, "Pre-week", "22.03.2027 00:00:00", "29.03.2027 00:00:00"},
        TQuickCase{"mar31Month", {2027, 3, 31, 10, 0}, "Month", "01.03.2027 00:00:00", "01.04.2027 00:00:00"},
        TQuickCase{"mar31PreMonth", {2027, 3, 31, 10, 0}, "Pre-month", "01.02.2027 00:00:00", "01.03.2027 00:00:00"},
        TQuickCase{"mar31Quarter", {2027, 3, 31, 10, 0}, "Quarter", "01.01.2027 00:00:00", "01.04.2027 00:00:00"},
        TQuickCase{"may15Quarter", {2026, 5, 15, 9, 0}, "Quarter", "01.04.2026 00:00:00", "01.07.2026 00:00:00"},
        TQuickCase{"may15Week", {2026, 5, 15, 9, 0}, "Week", "11.05.2026 00:00:00", "18.05.2026 00:00:00"},
        TQuickCase{"dec20Quarter", {2026, 12, 20, 9, 0}, "Quarter", "01.10.2026 00:00:00", "01.01.2027 00:00:00"},
        TQuickCase{"dec20Month", {2026, 12, 20, 9, 0}, "Month", "01.12.2026 00:00:00", "01.01.2027 00:00:00"},
        // Sunday belongs to the week that began on the Monday before.
        TQuickCase{"dec20Week", {2026, 12, 20, 23, 0}, "Week", "14.12.2026 00:00:00", "21.12.2026 00:00:00"},
        TQuickCase{"jan10PreMonth", {2027, 1, 10, 9, 0}, "Pre-month", "01.12.2026 00:00:00", "01.01.2027 00:00:00"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PeriodSignTest, LengthOfAPeriodWithoutButton) {
  const TDateTime day = EncodeDateTime(2026, 5, 15);
  EXPECT_EQ(PeriodSign(DefaultPeriod(day + 0.7)), "6h 0s");
  EXPECT_EQ(PeriodSign({day, day + 1.5 / 24 + 3.0 / 86400}), "1h 30m 3s");
  EXPECT_EQ(PeriodSign({day + 1, day}), "");
  EXPECT_FALSE(PeriodValid({day + 1, day}));
  EXPECT_FALSE(PeriodValid({0, day}));
  EXPECT_EQ(QuickPeriod(15, day).Dt1, 0);
  EXPECT_EQ(PeriodButtonCaptions.size(), 15u);
}

} // namespace
} // namespace kelvra
