#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/model/TripInfo.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {
namespace {


struct TTripCase {
  const char *name;
  double start, stop, distance;
  int status;
  bool hasPeriod, hasDistance;
  const char *statusText;
};

void PrintTo(const TTripCase &c, std::ostream *os) { *os << c.name; }

class TripPredicateTest : public ::testing::TestWithParam<TTripCase> {};

TEST_P(TripPredicateTest, Predicates) {
  const TTripCase &c = GetParam();
  TTripInfo ti(1, 2);
  ti.start_dt = c.start;
  ti.stop_dt = c.stop;
  ti.distance = c.distance;
  ti.status = c.status;
  EXPECT_EQ(ti.HasPeriod(), c.hasPeriod);
  EXPECT_EQ(ti.HasDistance(), c.hasDistance);
  EXPECT_EQ(ti.StatusText(), c.statusText);
}

INSTANTIATE_TEST_SUITE_P(
    Trips, TripPredicateTest,
    ::testing::Values(
        TTripCase{"NewWithoutStop", 45000.5, kNaN, kNaN, 0, false, false, "new"},
        TTripCase{"Active", 45000.5, 45000.6, 12.5, 1, true, true, "active"},
        TTripCase{"StopEqualsStart", 45000.5, 45000.5, 0, 2, false, false, "complete"},
        TTripCase{"StopBeforeStart", 45000.6, 45000.5, -1, 2, false, false, "complete"},
        TTripCase{"ZeroStart", 0, 45000.5, 1, 1, false, true, "active"},
        TTripCase{"UnknownStatus", kNaN, kNaN, kNaN, 5, false, false, "unknown [5]"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TripInfo, AssignMakesIndependentCopies) {
  auto src = std::make_unique<TTripInfo>(7, 8);
  src->name = "trip_2024_03_05_21_04";
  for (int i = 1; i <= 3; ++i)
    src->points.push_back(std::make_unique<TTrackPointInfo>(i, 8));
  src->events.push_back(std::make_unique<TEventInfo>(11, 8));
  TTripInfo copy(*src);
  src.reset();
  ASSERT_EQ(copy.points.size(), 3u);
  EXPECT_EQ(copy.points[2]->uid, 3);
  ASSERT_EQ(copy.events.size(), 1u);
  EXPECT_EQ(copy.events[0]->uid, 11);
  EXPECT_EQ(copy.name, "trip_2024_03_05_21_04");
  EXPECT_TRUE(std::isnan(copy.max_speed));
}

} // namespace
} // namespace kelvra
