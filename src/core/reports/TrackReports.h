#pragma once
// Reports over the tracks of many objects for a period: the trips between stops, the stops the
// parking search found, a summary per object and day (distance, driving and stop time, stops,
// maximum speed, alarms, time inside each zone) and the events. Each track is reduced as it
// arrives and may be dropped right after, so memory holds one track at a time besides the rows.

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/model/ZoneInfo.h"
#include "core/util/LumDates.h"

namespace kelvra {

class TEventInfo;
class TGeoTrack;

// Two messages further apart than this (object time) with the object moving leave a gap: what
// happened between them is unknown, so it counts neither as driving nor as a stop, and a trip
// ends at the gap (the next one starts after it).
inline constexpr int kReportGapSeconds = 600;

struct TReportPlace {
  double lat = std::numeric_limits<double>::quiet_NaN();
  double lon = std::numeric_limits<double>::quiet_NaN();
  std::string osm_id;
};

struct TTripRow {
  int obj_id = 0;
  std::string obj_name;
  TDateTime start_dt = 0, end_dt = 0;
  TReportPlace start, end;
  double distance = 0; // metres
  double duration = 0; // seconds
  double max_speed = std::numeric_limits<double>::quiet_NaN(); // km/h, NaN when none was sent
  // km/h over the trip's distance and duration; NaN for a trip without duration.
  double AvgSpeed() const;
};

struct TStopRow {
  int obj_id = 0;
  std::string obj_name;
  TReportPlace place;
  TDateTime arrival = 0, departure = 0;
  // The stop goes on before the first message of the period (or after its last one): the object
  // arrived earlier (or left later) than the times say.
  bool openStart = false, openEnd = false;
  double Duration() const { return (departure - arrival) * 86400; }
};

struct TSummaryRow {
  int obj_id = 0;
  std::string obj_name;
  TDateTime day = 0; // midnight of the day (display time)
  double distance = 0; // metres
  double driving = 0;  // seconds
  double stopped = 0;  // seconds
  int stops = 0;       // stops that began that day
  double max_speed = std::numeric_limits<double>::quiet_NaN();
  int alarms = 0;
  std::vector<double> zoneSeconds; // per zone of the builder, in its order
};

struct TEventRow {
  int obj_id = 0;
  std::string obj_name;
  TDateTime dt = 0;
  std::string kind;
  TReportPlace place;
  std::string value;
  TDateTime accept_dt = 0;
  std::string accept_msg;
};

// The zones whose time the summary counts (copies: the builder runs on a worker).
class TReportBuilder {
public:
  TReportBuilder(TDateTime dt1, TDateTime dt2, std::vector<TZoneInfo> zones = {});

  // Reduces one object's track (parking stays already marked, points in time order) into trips,
  // stops and the days of the summary. Only what lies inside the period counts; a stretch that
  // crosses midnight is shared between the days in proportion to its time.
  void AddTrack(int objId, const std::string &objName, const TGeoTrack &track);
  // An event raised in the period (others are left out); kind is the text of its trap.
  void AddEvent(const TEventInfo &ei, const std::string &objName, const std::string &kind);

  TDateTime Dt1() const { return fDt1; }
  TDateTime Dt2() const { return fDt2; }
  const std::vector<TZoneInfo> &Zones() const { return fZones; }
  const std::vector<TTripRow> &Trips() const { return fTrips; }
  const std::vector<TStopRow> &Stops() const { return fStops; }
  const std::vector<TEventRow> &Events() const { return fEvents; }
  // One row per object and day that has anything, by object (in the order they were added)
  // and day.
  std::vector<TSummaryRow> Summary() const;
  // The distinct place ids of the trips' ends and the stops, in the order they first occur.
  std::vector<std::string> PlaceIds() const;

private:
  TSummaryRow &Day(int objId, const std::string &objName, int64_t day);
  // Shares [t1, t2] (seconds of it) and a distance among the days it touches, clipped to the
  // period; `add` receives the row, the seconds and the distance of each day's part.
  template <class F> void Share(int objId, const std::string &objName, TDateTime t1, TDateTime t2,
                                double distance, F add);

  TDateTime fDt1, fDt2;
  std::vector<TZoneInfo> fZones;
  std::vector<TTripRow> fTrips;
  std::vector<TStopRow> fStops;
  std::vector<TEventRow> fEvents;
  std::map<int, int> fObjOrder; // obj_id -> order of first appearance
  std::map<std::pair<int, int64_t>, TSummaryRow> fDays; // (order, day)
};

} // namespace kelvra
