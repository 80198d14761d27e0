#pragma once
// The decisions of the alarm and event lists and of the track requests that start from the main
// window, apart from the widgets: the order and icon of an event row, the period a load asks
// for, when the timer reloads it, the hour around an event, the last hours of a quick dump and
// the arguments of the trip window's "show track".

#include <string>
#include <vector>

#include "core/tracks/PeriodButtons.h"
#include "core/util/LumDates.h"

namespace kelvra {

class TEventInfo;
class TKelvraClient;
class TTrapInfo;

// The time of an event as the lists, the alarms and the reports give it: the device time, else
// the service time.
TDateTime EventTime(const TEventInfo &ei);

// -1, 0 or 1 for ei1 before, equal to or after ei2 in ascending order of a list column; a missing
// record is equal to anything.
int CompareEvents(const TEventInfo *ei1, const TEventInfo *ei2, int column);

// The icons of an event row.
enum TEventImage { eiPlain = 0, eiAccepted = 2, eiOpenAlarm = 3 };
// The icon of an event row: with its trap in the cache (and in the event list only for an alarm
// trap) open or accepted, otherwise plain.
int EventImageIndex(const TEventInfo &ei, const TTrapInfo *trap, bool eventList);

// An accepted event: every cached record of it (the event list and the objects' alarms are
// separate records of the same event) takes the acceptance. Records changed.
int MarkEventAccepted(TKelvraClient &client, int uid, TDateTime dt, const std::string &msg);

// The period LoadEvents asks for: dt1 0 is today at midnight; an end that is not after the start
// (or a missing one) makes it the whole day of the start.
TPeriod EventsPeriod(TDateTime dt1, TDateTime dt2, TDateTime now);
// The update timer reloads the events only while their period runs.
bool EventsNeedReload(TDateTime now, TDateTime dt1, TDateTime dt2);

// The track around an event: from its start to its completion, or one hour when it has none.
// {0, 0} when the event has no start.
TPeriod EventTrackPeriod(const TEventInfo &ei);

// The last `hours` hours before now (a quick dump); hours below 1 count as 1.
TPeriod LastHours(TDateTime now, int hours);

// The trip window's "show" "track": name/value pairs.
struct TShowTrackArgs {
  std::string name;
  int obj_id = 0;
  TDateTime dt1 = 0, dt2 = 0; // NaN when the text did not read as a date
  int mode = 0;
  // Only a known object and two readable times request a track.
  bool Requestable() const;
};
TShowTrackArgs ParseShowTrackArgs(const std::vector<std::string> &args);

// The row selected after deleting row `row` of `count` rows: the next one, else the one before,
// -1 when none is left.
int RowAfterDelete(int row, int count);

} // namespace kelvra
