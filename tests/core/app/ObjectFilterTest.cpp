// What the object list's search and filter buttons keep: the searchable texts of an object and
// the states "with alarms", "moving" and "offline more than an hour" at their edges.
#include <gtest/gtest.h>

#include <cmath>

#include "core/app/ObjectFilter.h"
#include "core/model/ObjectInfo.h"

namespace kelvra {
namespace {

constexpr TDateTime kNow = 46000.5;
constexpr double kSec = 1.0 / 86400;

std::unique_ptr<TObjectInfo> Object(double ageSeconds, double speed, int alarms = 0,
                                    int accepted = 0) {
  auto oi = std::make_unique<TObjectInfo>(7, "VAN-42");
  oi->name = "Фургон Ёжик";
  oi->phone = "+7 (912) 345-67-89";
  oi->imei = "352099001761481";
  oi->last_point->sys_dt = std::isnan(ageSeconds) ? 0 : kNow - ageSeconds * kSec;
  oi->last_point->speed = speed;
  oi->last_point->osm_id = "W42";
  for (int i = 0; i < alarms; ++i) {
    auto ei = std::make_unique<TEventInfo>(100 + i, 7);
    ei->accept_dt = i < accepted ? kNow : NAN;
    oi->alarms.push_back(std::move(ei));
  }
  return oi;
}

TEST(ObjectSearchText, HoldsEveryFieldFoldedOnItsOwnLine) {
  const auto oi = Object(10, 0);
  const std::string t = ObjectSearchText(*oi, [](const std::string &id) {
    return id == "W42" ? std::string("Улица ЛЕНИНА, 1") : std::string();
  });
  EXPECT_EQ(t, "фургон ежик\nvan-42\n+7 (912) 345-67-89\n352099001761481\n\n7\nулица ленина, 1");
  EXPECT_EQ(ObjectPhoneDigits(*oi), "79123456789\n352099001761481");
  // Without an address lookup the last line is left out.
  EXPECT_EQ(ObjectSearchText(*oi, {}).find("улица"), std::string::npos);
}

struct TStateCase {
  const char *name;
  double ageSeconds; // NaN: no message at all
  double speed;
  int alarms, accepted;
  bool withAlarms, moving, offline;
};

class ObjectStateTest : public testing::TestWithParam<TStateCase> {};

TEST_P(ObjectStateTest, StatesAtTheirEdges) {
  const auto &c = GetParam();
  const auto oi = Object(c.ageSeconds, c.speed, c.alarms, c.accepted);
  EXPECT_EQ(HasOpenAlarms(*oi), c.withAlarms);
  EXPECT_EQ(IsMoving(*oi, kNow), c.moving);
  EXPECT_EQ(IsOffline(*oi, kNow), c.offline);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ObjectStateTest,
    testing::Values(TStateCase{"FreshAndFast", 60, 40, 0, 0, false, true, false},
                    TStateCase{"SlowIsNotMoving", 60, 2.9, 0, 0, false, false, false},
                    TStateCase{"ThreeKmhMoves", 60, 3, 0, 0, false, true, false},
                    TStateCase{"NoSpeedIsNotMoving", 60, NAN, 0, 0, false, false, false},
                    TStateCase{"OldSpeedSaysNothing", 30 * 60, 40, 0, 0, false, false, false},
                    TStateCase{"HourOldIsNotYetOffline", 3600, 0, 0, 0, false, false, false},
                    TStateCase{"PastAnHourIsOffline", 3601, 0, 0, 0, false, false, true},
                    TStateCase{"NeverReportedIsOffline", NAN, 0, 0, 0, false, false, true},
                    TStateCase{"OpenAlarm", 60, 0, 2, 1, true, false, false},
                    TStateCase{"AllAlarmsAccepted", 60, 0, 2, 2, false, false, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ObjectFilter, EveryConditionSetMustHold) {
  const auto oi = Object(60, 40, 1);
  const std::string folded = ObjectSearchText(*oi, {}), digits = ObjectPhoneDigits(*oi);
  TObjectFilter f;
  EXPECT_TRUE(f.Empty());
  f.query = TSearchQuery("ЁЖИК");
  f.withAlarms = true;
  f.moving = true;
  EXPECT_TRUE(f.Accepts(*oi, folded, digits, kNow));
  f.query = TSearchQuery("912 345");
  EXPECT_TRUE(f.Accepts(*oi, folded, digits, kNow));
  f.offline = true;
  EXPECT_FALSE(f.Accepts(*oi, folded, digits, kNow));
  f.offline = false;
  f.query = TSearchQuery("truck");
  EXPECT_FALSE(f.Accepts(*oi, folded, digits, kNow));
}

} // namespace
} // namespace kelvra
