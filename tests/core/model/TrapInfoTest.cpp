#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"

namespace kelvra {
namespace {

struct TTrapCase {
  const char *name;
  int targetType;
  int targetId;
  int condition;
  const char *val;
  const char *type;
  const char *targetName;
  const char *conditionText;
};

void PrintTo(const TTrapCase &c, std::ostream *os) { *os << c.name; }

class TrapTextTest : public ::testing::TestWithParam<TTrapCase> {
protected:
  TZoneList zones;
  TObjectInfoList objects;
  void SetUp() override {
    zones.push_back(std::make_unique<TZoneInfo>(7, kZoneCircle));
    zones.back()->name = "Depot";
    objects.push_back(std::make_unique<TObjectInfo>());
    objects.back()->uid = 5;
    auto s = std::make_unique<TSensorInfo>(12);
    s->name = "Door";
    objects.back()->sensors.push_back(std::move(s));
  }
};

TEST_P(TrapTextTest, Texts) {
  const TTrapCase &c = GetParam();
  TTrapInfo ti(1, 5);
  ti.fZoneList = &zones;
  ti.fObjList = &objects;
  ti.target_type_id = c.targetType;
  ti.target_id = c.targetId;
  ti.condition_id = c.condition;
  ti.val = c.val;
  EXPECT_EQ(ti.TargetType(), c.type);
  EXPECT_EQ(ti.TargetName(), c.targetName);
  EXPECT_EQ(ti.TrapName(), std::string(c.type) + ":" + c.targetName);
  EXPECT_EQ(ti.Condition(), c.conditionText);
}

INSTANTIATE_TEST_SUITE_P(
    Traps, TrapTextTest,
    ::testing::Values(TTrapCase{"IntoZone", 1, 7, 1, "", "Zone", "Depot", "\u2192]"},
                      TTrapCase{"OutOfZone", 1, 7, 2, "", "Zone", "Depot", "[\u2192"},
                      TTrapCase{"UnknownZone", 1, 8, 1, "", "Zone", "", "\u2192]"},
                      TTrapCase{"KnownSensor", 2, 12, 3, "1", "Sensor", "Door", "==1"},
                      TTrapCase{"MissingSensor", 2, 13, 4, "1", "Sensor", "", "<>1"},
                      TTrapCase{"Timeout", 3, 4, 2, "600", "Timeout", "", "<600"},
                      TTrapCase{"BatteryFrom", 4, 0, 5, "20", "Battery", "", "20.."},
                      TTrapCase{"BatteryUpTo", 4, 0, 6, "20", "Battery", "", "..20"},
                      TTrapCase{"SpeedOver", 5, 0, 1, "90", "Speed", "", ">90"},
                      TTrapCase{"SpeedAround", 5, 0, 7, "5", "Speed", "", "..5.."},
                      TTrapCase{"UnknownCondition", 5, 0, 8, "5", "Speed", "", "8"},
                      TTrapCase{"UnknownType", 9, 44, 1, "5", "9", "44", "1"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TrapInfo, NamesWithoutCaches) {
  TTrapInfo zone(1, 5);
  zone.target_type_id = 1;
  zone.target_id = 7;
  EXPECT_EQ(zone.TrapName(), "Zone:");
  TTrapInfo sensor(1, 5);
  sensor.target_type_id = 2;
  EXPECT_EQ(sensor.TrapName(), "Sensor:");
}

TEST(TrapInfo, UrlString) {
  TTrapInfo ti(0, 5);
  ti.target_type_id = 1;
  ti.target_id = 7;
  ti.condition_id = 1;
  ti.val = "a b";
  ti.is_alarm = true;
  ti.accept_type_id = 2;
  ti.msg = "{{.object}} in {{.target}}";
  ti.subj = "Alarm!";
  ti.telegram = true;
  const std::string body =
      "obj_id=5&target_type_id=1&target_id=7&condition_id=1&val=a+b&is_alarm=true&"
      "accept_type_id=2&msg=%7B%7B.object%7D%7D+in+%7B%7B.target%7D%7D&subj=Alarm!&email=false&"
      "telegram=true&";
  EXPECT_EQ(ti.ToUrlString(), body);
  ti.uid = 42;
  EXPECT_EQ(ti.ToUrlString(), "uid=42&" + body);
}

// The trap (or a copy an editor holds) outlives its object's record: the object deleted, the list
// emptied at a sign-out and filled again. The sensor's name follows the list as it is now and never
// reads a freed record (the sanitizer build fails on that).
TEST(TrapInfo, ObjectReplacedOrDeletedWhileTheTrapLives) {
  TObjectInfoList objects;
  auto object = [&objects](int uid, const char *sensor) {
    objects.push_back(std::make_unique<TObjectInfo>());
    objects.back()->uid = uid;
    auto s = std::make_unique<TSensorInfo>(12);
    s->name = sensor;
    objects.back()->sensors.push_back(std::move(s));
  };
  object(4, "Ignition");
  object(5, "Door");
  TTrapInfo ti(1, 5);
  ti.fObjList = &objects;
  ti.target_type_id = 2;
  ti.target_id = 12;
  const TTrapInfo held = ti; // as the trap editor holds it
  EXPECT_EQ(held.TargetName(), "Door");
  EXPECT_EQ(held.ObjInfo(), objects[1].get());

  objects.erase(objects.begin() + 1); // the object deleted for good
  EXPECT_EQ(held.ObjInfo(), nullptr);
  EXPECT_EQ(held.TargetName(), "");
  EXPECT_EQ(ti.TrapName(), "Sensor:");

  objects.clear(); // signed out, then in again: new records, the same uid
  object(5, "Rear door");
  EXPECT_EQ(held.TargetName(), "Rear door");
  EXPECT_EQ(ti.ObjInfo(), objects.front().get());
}

TEST(TrapInfo, AssignCopiesReferences) {
  TZoneList zones;
  TTrapInfo a(3, 4);
  a.fZoneList = &zones;
  a.msg = "m";
  TTrapInfo b;
  b.Assign(a);
  EXPECT_EQ(b.uid, 3);
  EXPECT_EQ(b.ZoneList(), &zones);
  EXPECT_EQ(b.msg, "m");
}

} // namespace
} // namespace kelvra
