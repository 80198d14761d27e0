// Which open alarms become desktop notifications: news only, the first list is no news, one
// per object per minute with the rest told as "more", accepted alarms never told late.
#include <gtest/gtest.h>

#include <cmath>

#include "core/app/AlarmNotifier.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"

namespace kelvra {
namespace {

TOpenAlarm Alarm(int uid, int obj, TDateTime time = 46000) {
  TOpenAlarm a;
  a.event_uid = uid;
  a.obj_id = obj;
  a.object = "object " + std::to_string(obj);
  a.time = time + uid / 86400.0; // a later uid happened later
  return a;
}

using TList = std::vector<TOpenAlarm>;

// One step of a scenario: the open alarms after a refresh at a time, and the notes expected
// as (event uid, more) pairs, newest first.
struct TStep {
  double at;
  TList open;
  std::vector<std::pair<int, int>> notes;
};

struct TScenario {
  const char *name;
  std::vector<TStep> steps;
};

class AlarmNotifierTest : public testing::TestWithParam<TScenario> {};

TEST_P(AlarmNotifierTest, NotifiesNewsAtMostOncePerObjectAMinute) {
  TAlarmNotifier n;
  int step = 0;
  for (const TStep &s : GetParam().steps) {
    const TAlarmBatch b = n.Update(s.open, s.at);
    std::vector<std::pair<int, int>> got;
    for (const TAlarmNote &note : b.notes)
      got.emplace_back(note.alarm.event_uid, note.more);
    EXPECT_EQ(got, s.notes) << "step " << step;
    EXPECT_EQ(n.OpenCount(), static_cast<int>(s.open.size())) << "step " << step;
    ++step;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, AlarmNotifierTest,
    testing::Values(
        TScenario{"FirstListIsNoNews", {{0, {Alarm(1, 10), Alarm(2, 11)}, {}}}},
        TScenario{"NewAlarmAfterARefreshIsOneNote",
                  {{0, {Alarm(1, 10)}, {}}, {60, {Alarm(1, 10), Alarm(2, 11)}, {{2, 0}}}}},
        TScenario{"TwoAlarmsOfOneObjectInOneRefreshAreOneNote",
                  {{0, {}, {}}, {60, {Alarm(2, 10), Alarm(3, 10)}, {{3, 1}}}}},
        TScenario{"SecondAlarmWithinTheMinuteWaitsThenComesAsMore",
                  {{0, {}, {}},
                   {60, {Alarm(2, 10)}, {{2, 0}}},
                   {90, {Alarm(2, 10), Alarm(3, 10)}, {}},
                   {119, {Alarm(2, 10), Alarm(3, 10), Alarm(4, 10)}, {}},
                   {120, {Alarm(2, 10), Alarm(3, 10), Alarm(4, 10)}, {{4, 1}}}}},
        TScenario{"OtherObjectsAreNotHeldBack",
                  {{0, {}, {}},
                   {60, {Alarm(2, 10)}, {{2, 0}}},
                   {70, {Alarm(2, 10), Alarm(3, 10), Alarm(4, 11)}, {{4, 0}}}}},
        TScenario{"AcceptedWhileWaitingIsNeverTold",
                  {{0, {}, {}},
                   {60, {Alarm(2, 10)}, {{2, 0}}},
                   {90, {Alarm(2, 10), Alarm(3, 10)}, {}},
                   {150, {Alarm(2, 10)}, {}}}},
        TScenario{"AnAlarmThatWasThereIsNotNewsAgain",
                  {{0, {Alarm(1, 10)}, {}}, {60, {Alarm(1, 10)}, {}}, {120, {}, {}}}},
        TScenario{"SeveralObjectsNewestFirst",
                  {{0, {}, {}}, {60, {Alarm(5, 10), Alarm(7, 11), Alarm(6, 12)}, {{7, 0}, {6, 0}, {5, 0}}}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(AlarmNotifier, ResetMakesTheNextListAFirstListAgain) {
  TAlarmNotifier n;
  n.Update({}, 0);
  n.Reset();
  EXPECT_TRUE(n.Update({Alarm(1, 10)}, 10).Empty());
  EXPECT_EQ(n.Update({Alarm(1, 10), Alarm(2, 10)}, 20).Alarms(), 1);
}

TEST(OpenAlarms, TakesUnacceptedAlarmsWithTheirTrapText) {
  TObjectInfo van(10, "van");
  van.name = "Van";
  auto open = std::make_unique<TEventInfo>(1, 10);
  open->trap_id = 5;
  open->h_obj_dt = 46000.5;
  van.alarms.push_back(std::move(open));
  auto accepted = std::make_unique<TEventInfo>(2, 10);
  accepted->accept_dt = 46000.6;
  van.alarms.push_back(std::move(accepted));
  auto noTrap = std::make_unique<TEventInfo>(3, 10);
  noTrap->trap_id = 99;
  noTrap->h_obj_dt = NAN;
  noTrap->h_sys_dt = 46000.7;
  van.alarms.push_back(std::move(noTrap));
  TTrapInfo trap(5, 10);
  trap.msg = "Door\nopen";
  const TList got = OpenAlarms({&van}, [&](int uid) { return uid == 5 ? &trap : nullptr; });
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].event_uid, 3); // newest first, by its service time
  EXPECT_EQ(got[0].time, 46000.7);
  EXPECT_EQ(got[0].text, "");
  EXPECT_EQ(got[1].event_uid, 1);
  EXPECT_EQ(got[1].object, "Van");
  EXPECT_EQ(got[1].text, "Door open");
}

TEST(TrapText, FillsTheSubjectElseTheMessageElseTheCondition) {
  TTrapInfo trap(5, 10);
  trap.target_type_id = 5;
  trap.condition_id = 1;
  trap.val = "50";
  TEventInfo ei(1, 10);
  ei.h_obj_dt = 46000.5; // 09.12.2025 12:00:00
  ei.h_sval = "72";
  ei.h_lat = 57.5;
  ei.h_lon = NAN;
  EXPECT_EQ(TrapText(trap, ei, "Van"), "Speed >50");
  trap.msg = "{{.object}} at {{.time}} ({{.lat}},{{.lon}}) {{.unknown}} {{.sval";
  EXPECT_EQ(TrapText(trap, ei, "Van"), "Van at 09.12.2025 12:00:00 (57.500000,) {{.unknown}} {{.sval");
  trap.subj = "Speeding: {{.object}} {{.sval}}>{{.tval}}";
  EXPECT_EQ(TrapText(trap, ei, "Van"), "Speeding: Van 72>50");
}

} // namespace
} // namespace kelvra
