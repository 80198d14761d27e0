#include "core/reports/TrackReports.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>

#include "core/app/EventsLogic.h"
#include "core/model/EventInfo.h"
#include "core/tracks/GeoTrack.h"

namespace kelvra {

namespace {

// A message the reports can place in time and on the map.
bool Usable(const TTrackPointInfo &p) { return p.HasLatLon() && DtDefined(p.obj_dt); }

TReportPlace PlaceOf(const TTrackPointInfo &p) { return {p.lat, p.lon, p.osm_id}; }

void Widen(double &max, double v) {
  if (!std::isnan(v) && (std::isnan(max) || v > max)) max = v;
}

int64_t DayOf(TDateTime t) { return static_cast<int64_t>(std::floor(t)); }

} // namespace

double TTripRow::AvgSpeed() const {
  return duration > 0 ? distance / duration * 3.6 : std::numeric_limits<double>::quiet_NaN();
}

TReportBuilder::TReportBuilder(TDateTime dt1, TDateTime dt2, std::vector<TZoneInfo> zones)
    : fDt1(dt1), fDt2(dt2), fZones(std::move(zones)) {}

TSummaryRow &TReportBuilder::Day(int objId, const std::string &objName, int64_t day) {
  const auto order = fObjOrder.emplace(objId, static_cast<int>(fObjOrder.size())).first->second;
  auto [it, added] = fDays.try_emplace({order, day});
  if (added) {
    it->second.obj_id = objId;
    it->second.obj_name = objName;
    it->second.day = static_cast<TDateTime>(day);
    it->second.zoneSeconds.assign(fZones.size(), 0);
  }
  return it->second;
}

template <class F>
void TReportBuilder::Share(int objId, const std::string &objName, TDateTime t1, TDateTime t2,
                           double distance, F add) {
  const TDateTime a = std::max(t1, fDt1), b = std::min(t2, fDt2);
  const double total = t2 - t1;
  if (!(b > a) || !(total > 0)) return;
  for (int64_t day = DayOf(a); day <= DayOf(b); ++day) {
    const TDateTime s = std::max<TDateTime>(a, static_cast<TDateTime>(day));
    const TDateTime e = std::min<TDateTime>(b, static_cast<TDateTime>(day + 1));
    if (!(e > s)) continue;
    add(Day(objId, objName, day), (e - s) * 86400, distance * (e - s) / total);
  }
}

void TReportBuilder::AddTrack(int objId, const std::string &objName, const TGeoTrack &track) {
  const size_t zoneCount = fZones.size();
  auto insideZones = [&](const TTrackPointInfo &p, std::vector<char> &in) {
    in.assign(zoneCount, 0);
    for (size_t z = 0; z < zoneCount; ++z) {
      const TZoneInfo &zone = fZones[z];
      if (zone.HasRect() && !zone.rect.Contains(TGeoPoint{p.lon, p.lat})) continue;
      in[z] = zone.Contains(p.lat, p.lon);
    }
  };
  auto inPeriod = [this](TDateTime t) { return t >= fDt1 && t <= fDt2; };

  std::optional<TTripRow> trip;
  std::optional<TStopRow> stop;
  auto closeTrip = [&] {
    if (trip && trip->distance > 0) fTrips.push_back(std::move(*trip));
    trip.reset();
  };
  auto openStop = [&](const TTrackPointInfo &p, bool openStart) {
    stop.emplace();
    stop->obj_id = objId;
    stop->obj_name = objName;
    stop->place = PlaceOf(p);
    stop->arrival = stop->departure = p.obj_dt;
    stop->openStart = openStart;
  };
  auto closeStop = [&](bool openEnd) {
    if (!stop) return;
    stop->openEnd = openEnd;
    if (stop->departure > stop->arrival) {
      // A stop that began before the period counts on the period's first day.
      const TDateTime at = std::max(stop->arrival, fDt1);
      if (at <= fDt2 && stop->departure >= fDt1) ++Day(objId, objName, DayOf(at)).stops;
      fStops.push_back(std::move(*stop));
    }
    stop.reset();
  };

  const TTrackPointInfo *prev = nullptr;
  bool prevParking = false;
  std::vector<char> prevIn, curIn;
  const auto &points = track.Points();
  for (size_t i = 0; i < points.size(); ++i) {
    const TTrackPointInfo &p = *points[i];
    if (!Usable(p)) continue;
    if (inPeriod(p.obj_dt)) Widen(Day(objId, objName, DayOf(p.obj_dt)).max_speed, p.speed);
    insideZones(p, curIn);
    bool parking = p.IsParking;
    if (!prev) {
      if (parking) {
        openStop(p, true);
      } else {
        // The parking search never takes a track's first message into a stay: when a stay
        // follows at once and that message shows no motion, it is where the stop began.
        const TTrackPointInfo *next = nullptr;
        for (size_t j = i + 1; j < points.size() && !next; ++j)
          if (Usable(*points[j])) next = points[j].get();
        if (next && next->IsParking && StaysAt(p, *next, p.DistanceTo(*next))) {
          parking = true;
          openStop(*next, true);
          stop->arrival = stop->departure = p.obj_dt;
        }
      }
      prev = &p;
      prevParking = parking;
      std::swap(prevIn, curIn);
      continue;
    }
    const double seconds = (p.obj_dt - prev->obj_dt) * 86400;
    if (seconds < 0) continue; // out of order: the track is read in time order
    const bool bothParking = prevParking && parking;
    const bool gap = seconds > kReportGapSeconds && !bothParking;
    if (gap) {
      closeTrip();
      closeStop(false);
      if (parking) openStop(p, false);
    } else if (bothParking) {
      if (!stop) openStop(*prev, false);
      stop->departure = p.obj_dt;
      Share(objId, objName, prev->obj_dt, p.obj_dt, 0,
            [](TSummaryRow &r, double s, double) { r.stopped += s; });
    } else {
      closeStop(false);
      const double d = p.DistanceTo(*prev);
      if (!trip) {
        trip.emplace();
        trip->obj_id = objId;
        trip->obj_name = objName;
        trip->start_dt = prev->obj_dt;
        trip->start = PlaceOf(*prev);
        Widen(trip->max_speed, prev->speed);
      }
      trip->distance += d;
      trip->duration += seconds;
      trip->end_dt = p.obj_dt;
      trip->end = PlaceOf(p);
      Widen(trip->max_speed, p.speed);
      Share(objId, objName, prev->obj_dt, p.obj_dt, d, [](TSummaryRow &r, double s, double m) {
        r.driving += s;
        r.distance += m;
      });
      if (parking) {
        closeTrip();
        openStop(p, false);
      }
    }
    if (!gap)
      for (size_t z = 0; z < zoneCount; ++z)
        if (prevIn[z])
          Share(objId, objName, prev->obj_dt, p.obj_dt, 0,
                [z](TSummaryRow &r, double s, double) { r.zoneSeconds[z] += s; });
    prev = &p;
    prevParking = parking;
    std::swap(prevIn, curIn);
  }
  closeTrip();
  closeStop(true);
}

void TReportBuilder::AddEvent(const TEventInfo &ei, const std::string &objName,
                              const std::string &kind) {
  const TDateTime t = EventTime(ei);
  if (!(t >= fDt1 && t <= fDt2)) return;
  TEventRow r;
  r.obj_id = ei.obj_id;
  r.obj_name = objName;
  r.dt = t;
  r.kind = kind;
  r.place.lat = ei.h_lat;
  r.place.lon = ei.h_lon;
  r.value = ei.h_sval;
  r.accept_dt = ei.accept_dt;
  r.accept_msg = ei.accept_msg;
  fEvents.push_back(std::move(r));
  ++Day(ei.obj_id, objName, DayOf(t)).alarms;
}

std::vector<TSummaryRow> TReportBuilder::Summary() const {
  std::vector<TSummaryRow> rows;
  rows.reserve(fDays.size());
  for (const auto &[key, row] : fDays) rows.push_back(row);
  return rows;
}

std::vector<std::string> TReportBuilder::PlaceIds() const {
  std::vector<std::string> ids;
  std::unordered_set<std::string> seen;
  auto add = [&](const TReportPlace &p) {
    if (!p.osm_id.empty() && seen.insert(p.osm_id).second) ids.push_back(p.osm_id);
  };
  for (const TTripRow &t : fTrips) {
    add(t.start);
    add(t.end);
  }
  for (const TStopRow &s : fStops) add(s.place);
  return ids;
}

} // namespace kelvra
