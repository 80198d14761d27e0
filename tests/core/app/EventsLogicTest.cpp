#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app/EventsLogic.h"
#include "core/util/LumSmallUtils.h"
#include "core/model/EventInfo.h"
#include "core/model/TrapInfo.h"
#include "core/util/LumDates.h"

namespace kelvra {
namespace {

const TDateTime kEventDay = EncodeDateTime(2026, 12, 9);

TEventInfo Event(int uid, int objId, TDateTime hObj, TDateTime hSys) {
  TEventInfo e(uid, objId);
  e.h_obj_dt = hObj;
  e.h_sys_dt = hSys;
  return e;
}

TEST(EventsLogicTest, CompareEventsByColumn) {
  const TDateTime t = kEventDay + 0.5;
  struct TCase {
    const char *name;
    TEventInfo a, b;
    int column, want;
  };
  TEventInfo accepted = Event(5, 1, t, t), open = Event(6, 1, t, t);
  accepted.accept_dt = t;
  open.accept_dt = kNaN;
  TEventInfo done = Event(7, 1, t, t), running = Event(8, 1, t, t);
  done.c_obj_dt = t + 0.1;
  const std::vector<TCase> cases = {
      {"object by obj_id", Event(1, 9, t, t), Event(2, 10, t, t), 0, -1},
      {"happened by device time", Event(1, 1, t + 0.1, t), Event(2, 1, t, t + 0.2), 1, 1},
      // one of the two lacks a device time: both go by the service time
      {"happened by service time", Event(1, 1, 0, t), Event(2, 1, t + 0.3, t + 0.1), 1, -1},
      {"happened equal", Event(1, 1, t, t), Event(2, 1, t, t), 1, 0},
      {"completion", done, running, 2, 1},
      {"accepted after an open one", accepted, open, 5, 1},
      {"condition by uid", Event(3, 1, t, t), Event(2, 1, t, t), 3, 1},
      {"value by uid", Event(2, 1, t, t), Event(3, 1, t, t), 4, -1},
  };
  for (const TCase &c : cases) {
    EXPECT_EQ(CompareEvents(&c.a, &c.b, c.column), c.want) << c.name;
    EXPECT_EQ(CompareEvents(&c.b, &c.a, c.column), -c.want) << c.name << " (reversed)";
  }
  const TEventInfo e = Event(1, 1, t, t);
  EXPECT_EQ(CompareEvents(&e, nullptr, 1), 0);
  EXPECT_EQ(CompareEvents(nullptr, &e, 0), 0);
}

TEST(EventsLogicTest, RowIconByTrapAndAcceptance) {
  TTrapInfo alarm, plain;
  alarm.is_alarm = true;
  plain.is_alarm = false;
  TEventInfo open(1, 1), accepted(2, 1);
  open.accept_dt = kNaN;
  accepted.accept_dt = kEventDay;
  struct TCase {
    const char *name;
    const TEventInfo *ei;
    const TTrapInfo *trap;
    bool eventList;
    int want;
  };
  const std::vector<TCase> cases = {
      {"alarm list, open", &open, &plain, false, eiOpenAlarm},
      {"alarm list, accepted", &accepted, &plain, false, eiAccepted},
      {"alarm list, trap not cached", &open, nullptr, false, eiPlain},
      {"event list, alarm trap open", &open, &alarm, true, eiOpenAlarm},
      {"event list, alarm trap accepted", &accepted, &alarm, true, eiAccepted},
      {"event list, plain trap", &open, &plain, true, eiPlain},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(EventImageIndex(*c.ei, c.trap, c.eventList), c.want) << c.name;
}

TEST(EventsLogicTest, LoadPeriod) {
  const TDateTime now = kEventDay + 0.4;
  // Today from midnight to 23:59:59.91.
  TPeriod p = EventsPeriod(0, 0, now);
  EXPECT_EQ(p.Dt1, kEventDay);
  EXPECT_DOUBLE_EQ(p.Dt2, kEventDay + 0.999999);
  EXPECT_EQ(dt2s(p.Dt2), "09.12.2026 23:59:59");
  // An end before the start: the whole day of the start.
  p = EventsPeriod(kEventDay - 2 + 0.25, kEventDay - 3, now);
  EXPECT_EQ(p.Dt1, kEventDay - 2 + 0.25);
  EXPECT_DOUBLE_EQ(p.Dt2, kEventDay - 2 + 0.999999);
  p = EventsPeriod(kEventDay - 1, kNaN, now);
  EXPECT_DOUBLE_EQ(p.Dt2, kEventDay - 1 + 0.999999);
  // A proper period stays.
  p = EventsPeriod(kEventDay - 7, kEventDay, now);
  EXPECT_EQ(p.Dt1, kEventDay - 7);
  EXPECT_EQ(p.Dt2, kEventDay);
}

TEST(EventsLogicTest, TimerReloadsOnlyARunningPeriod) {
  const TDateTime now = kEventDay + 0.5;
  EXPECT_TRUE(EventsNeedReload(now, kEventDay, kEventDay + 0.999999));      // today
  EXPECT_FALSE(EventsNeedReload(now, kEventDay - 1, kEventDay - 0.000001)); // yesterday
  EXPECT_FALSE(EventsNeedReload(now, kEventDay + 0.6, kEventDay + 0.9));    // not begun
  EXPECT_TRUE(EventsNeedReload(now, kEventDay, 0));                    // open end
  EXPECT_FALSE(EventsNeedReload(now, 0, 0));                      // nothing loaded
}

TEST(EventsLogicTest, HourAroundAnEvent) {
  TEventInfo ei(1, 1);
  ei.h_obj_dt = kEventDay + 0.25;
  TPeriod p = EventTrackPeriod(ei);
  EXPECT_EQ(p.Dt1, kEventDay + 0.25);
  EXPECT_EQ(std::lround((p.Dt2 - p.Dt1) * 86400), 3600);
  ei.c_obj_dt = kEventDay + 0.3;
  EXPECT_EQ(EventTrackPeriod(ei).Dt2, kEventDay + 0.3);
  ei.h_obj_dt = kNaN;
  EXPECT_EQ(EventTrackPeriod(ei).Dt1, 0);
  EXPECT_EQ(LastHours(kEventDay + 0.5, 3).Dt1, kEventDay + 0.5 - 3 / 24.0);
  EXPECT_EQ(LastHours(kEventDay + 0.5, 0).Dt1, kEventDay + 0.5 - 1 / 24.0);
}

TEST(EventsLogicTest, ShowTrackArguments) {
  struct TCase {
    const char *name;
    std::vector<std::string> args;
    bool requestable;
  };
  const std::vector<TCase> cases = {
      {"trip",
       {"name", "Morning", "obj_id", "101", "dt1", "09.12.2026 08:00:00", "dt2",
        "2026-12-09T10:00:00Z", "mode", "1"},
       true},
      {"object 0",
       {"obj_id", "0", "dt1", "09.12.2026 08:00:00", "dt2", "09.12.2026 09:00:00"},
       false},
      {"object not a number",
       {"obj_id", "van", "dt1", "09.12.2026 08:00:00", "dt2", "09.12.2026 09:00:00"},
       false},
      {"unreadable start", {"obj_id", "101", "dt1", "soon", "dt2", "09.12.2026 09:00:00"}, false},
      {"end without value", {"obj_id", "101", "dt1", "09.12.2026 08:00:00", "dt2"}, false},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(ParseShowTrackArgs(c.args).Requestable(), c.requestable) << c.name;
  const TShowTrackArgs a = ParseShowTrackArgs(cases[0].args);
  EXPECT_EQ(a.name, "Morning");
  EXPECT_EQ(a.obj_id, 101);
  EXPECT_EQ(a.mode, 1);
  EXPECT_EQ(dt2s(a.dt1), "09.12.2026 08:00:00");
  EXPECT_TRUE(std::isnan(ParseShowTrackArgs(cases[3].args).dt1));
}

TEST(EventsLogicTest, RowAfterDeleting) {
  EXPECT_EQ(RowAfterDelete(0, 3), 0);  // the next row moves up
  EXPECT_EQ(RowAfterDelete(2, 3), 1);  // the last: the one before
  EXPECT_EQ(RowAfterDelete(0, 1), -1); // the only row: nothing
  EXPECT_EQ(RowAfterDelete(-1, 3), -1);
}

} // namespace
} // namespace kelvra
