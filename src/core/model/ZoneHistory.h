#pragma once
// The visits of objects to a zone, made from the points the service recorded inside it, and
// the three exports of the zone history window (text, CSV, XLSX spreadsheet).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/model/TrackPointInfo.h"
#include "core/util/LumDates.h"
#include "core/util/TimeZones.h"

namespace kelvra {

class TObjectInfo;

class TVisitInfo {
public:
  int obj_id = 0;
  // The object's name when the visits were built (empty when it was not in the cache); a copy,
  // since the window showing the visits may outlive the client's record.
  std::string obj_name;
  TDateTime start_dt = 0;
  TDateTime end_dt = 0;
  std::vector<const TTrackPointInfo *> points; // not owned
  // The same moments on a clock without daylight saving (UTC; for a fixed offset the times
  // themselves); 0 when not known.
  TDateTime start_utc = 0, end_utc = 0;

  // Whole seconds from start to end: the real ones, from the UTC moments when known (a visit
  // across a change of daylight saving is not an hour off).
  int Duration() const;
  // The object's name, or "#" and the uid when the object is not in the cache.
  std::string ObjectName() const;
};

using TVisitList = std::vector<std::unique_ptr<TVisitInfo>>;
using TFindObject = std::function<const TObjectInfo *(int uid)>;

// Sorts the points by object and time, then joins the points of one object into a visit while
// each is at most an hour after the visit's end (real time: the times are on `clock`).
TVisitList BuildVisits(std::vector<std::unique_ptr<TTrackPointInfo>> &history,
                       const TFindObject &findObject, const TDisplayZone &clock = {});

// The window caption from its translated pattern (four %s: name, first date, separator, rest):
// one day gives "dd.mm.yyyy" " " "hh:nn..hh:nn", several days "dd.mm.yyyy" " .. " "dd.mm.yyyy".
std::string ZoneHistoryCaption(const std::string &pattern, const std::string &zoneName,
                               TDateTime dt1, TDateTime dt2);

// One row per object in the order of its first visit, with the indexes of its visits.
struct TVisitGroup {
  int obj_id = 0;
  std::vector<size_t> visits;
};
std::vector<TVisitGroup> GroupVisits(const TVisitList &visits);

// A zone's history as its window shows it: the points (owned), their visits (pointing into
// Points) and the visits grouped by object. Moving it keeps the visits' pointers valid.
struct TZoneHistory {
  std::vector<std::unique_ptr<TTrackPointInfo>> Points;
  TVisitList Visits;
  std::vector<TVisitGroup> Groups;
};
// Takes the points over and builds the visits and their groups; objectName gives the name a
// visit shows for an object's uid (empty: "#uid"). Made on a worker: a month of history is a
// million points, so objectName must not read what the window thread changes meanwhile. The
// times are on `clock` (visits last the real time between them).
TZoneHistory MakeZoneHistory(std::vector<std::unique_ptr<TTrackPointInfo>> &&points,
                             const std::function<std::string(int uid)> &objectName,
                             const TDisplayZone &clock = {});

// The caption on the first line, then per visit: name, tab, start, tab, duration.
std::string VisitsText(const std::string &caption, const TVisitList &visits);
// "obj_id;obj_name;start_dt;duration;" and one line per visit (duration in seconds); starts
// with the UTF-8 byte order mark so that spreadsheet programs read the names right.
std::string VisitsCsv(const TVisitList &visits);
// One sheet: the caption, a header row, one row per visit with a date-time cell and a duration
// cell. Written beside the target and renamed over it. Empty on success, else the reason.
std::string WriteVisitsXlsx(const std::string &fileName, const std::string &caption,
                            const TVisitList &visits);

} // namespace kelvra
