#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackParking.h"
#include "core/util/TextFileWriter.h"

#include "core/map/geo_utils.h"
#include "core/util/DisplayUnits.h"
#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/XmlText.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <stdexcept>

namespace kelvra {

namespace {

constexpr uint32_t kSystemColor1 = 0xFF000001; // the platform's desktop-background colour
constexpr int kMinStaySeconds = 300;

// A default point holds NaN coordinates.

// The extremes keep the quirk of the statistics: a NaN value replaces the extreme,
// and a NaN extreme is replaced by the next value.
void WidenTime(TMinMaxDateTime &mm, TDateTime v) {
  if (std::isnan(mm.Min) || !(v >= mm.Min)) mm.Min = v;
  if (std::isnan(mm.Max) || !(v <= mm.Max)) mm.Max = v;
}

// Whole seconds, truncated; the day fraction is first rounded to the millisecond so
// that 10:09:00 - 10:00:00 gives 540 and not 539 (doubles hold 9/1440 of a day inexactly).
// Seconds beyond the range of the Integer fields (dates centuries apart) saturate.
// The clock counts the real time between the two, whatever daylight saving did in between.
int DurationSeconds(const TMinMaxDateTime &mm, const TDisplayZone &clock) {
  if (mm.IsNan()) return 0;
  const double ms = clock.IsFixed() ? std::round((mm.Max - mm.Min) * 86400000.0)
                                    : std::round(clock.SecondsBetween(mm.Min, mm.Max) * 1000.0);
  constexpr double kMax = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(std::trunc(ms / 1000), -kMax, kMax));
}

void WidenRect(TGeoRect &r, double lat, double lon) {
  if (std::isnan(r.TopLeft.Lat) || lat > r.TopLeft.Lat) r.TopLeft.Lat = lat;
  if (std::isnan(r.TopLeft.Long) || lon < r.TopLeft.Long) r.TopLeft.Long = lon;
  if (std::isnan(r.BottomRight.Lat) || lat < r.BottomRight.Lat) r.BottomRight.Lat = lat;
  if (std::isnan(r.BottomRight.Long) || lon > r.BottomRight.Long) r.BottomRight.Long = lon;
}

bool RectIsFull(const TGeoRect &r) {
  return !std::isnan(r.TopLeft.Lat) && !std::isnan(r.TopLeft.Long) &&
         !std::isnan(r.BottomRight.Lat) && !std::isnan(r.BottomRight.Long);
}

TGeoPoint RectCenter(const TGeoRect &r) {
  TGeoPoint c;
  c.Lat = r.BottomRight.Lat + (r.TopLeft.Lat - r.BottomRight.Lat) / 2;
  c.Long = r.TopLeft.Long + (r.BottomRight.Long - r.TopLeft.Long) / 2;
  return c;
}

// A reading that does not fit the Integer statistics is garbage from the device: no value.
int64_t SensorInt(const TTrackPointInfo &tp, const char *sign) {
  const TTrackPointSensorInfo *s = tp.FindSensor(sign);
  const int64_t v = s ? s2i(s->val, 0) : 0;
  return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max() ? 0 : v;
}

// The stay candidate of MarkParking with just the statistics the search reads
// (point count, object time extremes, centre of the bounding rectangle), kept up
// to date point by point with the same rules as UpdateInfo applies to a whole track.
struct TStayCandidate {
  int count = 0;
  bool lastParking = false;
  TMinMaxDateTime objTime;
  TGeoRect rect{TGeoPoint{}, TGeoPoint{}};

  void Clear() { *this = TStayCandidate(); }

  void Add(const TTrackPointInfo &tp) {
    WidenTime(objTime, tp.obj_dt);
    if (count > 0 && !(tp.IsParking && lastParking)) WidenRect(rect, tp.lat, tp.lon);
    lastParking = tp.IsParking;
    ++count;
  }

  // UpdateInfo leaves the centre NaN for fewer than two points or an open rectangle.
  TGeoPoint Center() const {
    return count >= 2 && RectIsFull(rect) ? RectCenter(rect) : TGeoPoint{};
  }
  int Duration(const TDisplayZone &clock) const {
    return count >= 2 ? DurationSeconds(objTime, clock) : 0;
  }
};

} // namespace

void TMinMaxDateTime::Clear() {
  Min = kNaN;
  Max = kNaN;
}

bool TMinMaxDateTime::IsNan() const { return std::isnan(Min) || std::isnan(Max); }

TGeoTrackStyle TGeoTrackStyle::CreateNew(const std::string &aSign, int aPointSize, int aLineWidth,
                                         uint32_t aPointColor, uint32_t aPointBgColor,
                                         uint32_t aPointWifiColor, uint32_t aPointWifiBgColor,
                                         uint32_t aLineColor, uint32_t aHighlightColor) {
  TGeoTrackStyle s;
  s.Sign = aSign;
  s.PointSize = aPointSize;
  s.LineWidth = aLineWidth;
  s.PointColor = aPointColor;
  s.PointBgColor = aPointBgColor;
  s.PointWifiColor = aPointWifiColor;
  s.PointWifiBgColor = aPointWifiBgColor;
  s.LineColor = aLineColor;
  s.HighlightColor = aHighlightColor;
  return s;
}

const std::array<TGeoTrackStyle, 4> GeoTrackStyles = {
    TGeoTrackStyle::CreateNew("Gray", 16, 4, kSystemColor1, 0xC0C0C0, 0x800000, 0xFF0000, 0x808080,
                              0xF0FBFF),
    TGeoTrackStyle::CreateNew("Blue", 16, 4, 0xFF0000, 0xF0CAA6, 0xF0CAA6, 0xFF0000, 0xFF0000,
                              0xF0CAA6),
    TGeoTrackStyle::CreateNew("Green", 16, 4, 0x008000, 0xC0DCC0, 0xC0DCC0, 0x008000, 0x808000,
                              0xC0DCC0),
    TGeoTrackStyle::CreateNew("Purple", 16, 4, 0x800080, 0xFF00FF, 0xFF00FF, 0x800080, 0x800080,
                              0xFF00FF),
};

void TGeoTrackInfo::Clear() { *this = TGeoTrackInfo{}; }

bool TGeoTrackInfo::HasCenterPoint() const {
  return !std::isnan(CenterPoint.Lat) && !std::isnan(CenterPoint.Long);
}

bool TGeoTrackInfo::HasGeoRect() const { return RectIsFull(GeoRect); }

namespace {
std::atomic<uint64_t> gTrackRevision{0};
} // namespace

TGeoTrack::TGeoTrack(std::string aObjId)
    : fObjId(std::move(aObjId)), fStyle(GeoTrackStyles[0]), fRevision(++gTrackRevision) {}

void TGeoTrack::Touch() { fRevision = ++gTrackRevision; }

void TGeoTrack::Clear() {
  Touch();
  fObjId.clear();
  fPoints.clear();
  fInfo.Clear();
}

int TGeoTrack::Assign(TTrackPointList &&aPoints) {
  Touch();
  fPoints = std::move(aPoints);
  aPoints.clear();
  UpdateInfo();
  return static_cast<int>(fPoints.size());
}

bool TGeoTrack::UpdateInfo(const std::function<bool(size_t done, size_t total)> &progress) {
  TGeoTrackInfo &info = fInfo;
  info.Clear();
  info.PointsCount = static_cast<int>(fPoints.size());
  if (progress && !progress(0, fPoints.size())) {
    info.Clear();
    return false;
  }
  if (fPoints.size() < 2) return true;
  constexpr size_t kStep = 65536; // points between two progress reports
  size_t done = 0;

  const TTrackPointInfo *prev = nullptr;
  int64_t stepFirst = 0, stepMax = 0, steps = 0;
  auto closeSteps = [&]() {
    if (stepFirst > 0 && stepFirst < stepMax) steps += stepMax - stepFirst;
    stepFirst = 0;
    stepMax = 0;
  };
  int64_t heartSum = 0, heartCount = 0;

  for (const auto &ptr : fPoints) {
    if (progress && ++done % kStep == 0 && !progress(done, fPoints.size())) {
      info.Clear();
      return false;
    }
    const TTrackPointInfo &tp = *ptr;
    const int64_t step = SensorInt(tp, "stepCounter");
    const int64_t heart = SensorInt(tp, "heartRate");
    // A counter that restarts (a drop) closes the stretch, so each run's increase counts.
    if (step > 0 && step < stepFirst) closeSteps();
    if (stepFirst == 0) stepFirst = step;
    if (step > stepMax) stepMax = step;
    if (heart > 0) {
      if (info.MinHeartRate == 0 || info.MinHeartRate > heart)
        info.MinHeartRate = static_cast<int>(heart);
      if (info.MaxHeartRate == 0 || info.MaxHeartRate < heart)
        info.MaxHeartRate = static_cast<int>(heart);
      heartSum += heart;
      ++heartCount;
    }
    if (!tp.HasLatLon()) continue;
    ++info.GoodPointsCount;
    if (tp.IsParking) {
      ++info.ParkPointsCount;
      if (!prev || !prev->IsParking) ++info.ParkingCount;
    }
    WidenTime(info.SysTime, tp.sys_dt);
    WidenTime(info.ObjTime, tp.obj_dt);
    WidenTime(info.GpsTime, tp.gps_dt);
    if (prev) {
      if (!tp.IsParking && !prev->IsParking) info.Distance += tp.DistanceTo(*prev);
      if (!(tp.IsParking && prev->IsParking)) WidenRect(info.GeoRect, tp.lat, tp.lon);
    }
    if (!tp.osm_id.empty()) ++info.AddressCount;
    prev = &tp;
  }
  closeSteps();
  info.StepCounter = static_cast<int>(std::min<int64_t>(steps, std::numeric_limits<int>::max()));
  if (heartCount > 0)
    info.AvgHeartRate =
        static_cast<int>(std::nearbyint(static_cast<double>(heartSum) / heartCount));
  info.SysDuration = DurationSeconds(info.SysTime, fClock);
  info.ObjDuration = DurationSeconds(info.ObjTime, fClock);
  info.GpsDuration = DurationSeconds(info.GpsTime, fClock);
  if (info.HasGeoRect()) {
    info.CenterPoint = RectCenter(info.GeoRect);
    info.Width = DistanceBetween(info.CenterPoint.Lat, info.GeoRect.TopLeft.Long,
                                 info.CenterPoint.Lat, info.GeoRect.BottomRight.Long);
    info.Height = DistanceBetween(info.GeoRect.TopLeft.Lat, info.CenterPoint.Long,
                                  info.GeoRect.BottomRight.Lat, info.CenterPoint.Long);
  }
  if (progress && !progress(fPoints.size(), fPoints.size())) {
    info.Clear();
    return false;
  }
  return true;
}

TDateTime PointTime(const TTrackPointInfo &tp) {
  auto defined = [](TDateTime dt) { return std::isfinite(dt) && dt != 0; };
  return defined(tp.obj_dt) ? tp.obj_dt : defined(tp.gps_dt) ? tp.gps_dt : 0;
}

bool StaysAt(const TTrackPointInfo &tp, const TTrackPointInfo &prev, double dst) {
  const double acc = tp.HasAccuracy() && prev.HasAccuracy() ? std::max(tp.acc, prev.acc) : 1000;
  const bool noSpeed = std::isnan(tp.speed) || tp.speed < kMovingSpeed;
  // A distance that cannot be measured (a stay of parking points has no centre) moves nothing.
  return !(dst >= acc) || noSpeed;
}

void TGeoTrack::MarkParking() { kelvra::MarkParking(*this, {}); }

bool MarkParking(TGeoTrack &track, const std::function<bool(size_t done, size_t total)> &progress) {
  TTrackPointList &points = track.Points(); // a new revision: the marks change
  const size_t n = points.size();
  if (progress && !progress(0, n)) return false;
  if (n < 2) return !progress || progress(n, n);
  constexpr size_t kStep = 65536; // points between two progress reports

  // Marking a stay touches every point whose object time lies in the stay's period;
  // an index by object time keeps that from scanning the whole track per stay.
  std::multimap<double, TTrackPointInfo *> byObjTime;
  for (const auto &p : points)
    if (!std::isnan(p->obj_dt)) byObjTime.emplace(p->obj_dt, p.get());

  // The parking point of a stay goes right before the stay's first point. All points
  // after the scan position are original points in order, so the scan is done on the
  // original list and the inserted points are placed when the list is rebuilt.
  TTrackPointList inserted(n);
  size_t insertedCount = 0;
  TStayCandidate cand;
  std::ptrdiff_t parkStart = -1;

  auto finish = [&]() {
    const int duration = cand.Duration(track.Clock());
    if (parkStart >= 0 && cand.count > 2 && duration >= kMinStaySeconds) {
      const TGeoPoint center = cand.Center();
      auto park = std::make_unique<TTrackPointInfo>(*points[parkStart]);
      park->lat = center.Lat;
      park->lon = center.Long;
      park->IsParking = true;
      park->ParkingDuration = duration;
      for (auto it = byObjTime.lower_bound(cand.objTime.Min);
           it != byObjTime.end() && it->first <= cand.objTime.Max; ++it) {
        it->second->IsParking = true;
        it->second->ParkingDuration = duration;
      }
      if (!std::isnan(park->obj_dt)) byObjTime.emplace(park->obj_dt, park.get());
      inserted[parkStart] = std::move(park);
      ++insertedCount;
    }
    cand.Clear();
    parkStart = -1;
  };

  // Every point is looked at (the points after the last stay too, however many stays were
  // found before), and the point that ended a stay once more, against its predecessor alone:
  // it may open the next stay.
  for (size_t j = 1; j < n;) {
    if (progress && j % kStep == 0 && !progress(j, n)) return false;
    const TTrackPointInfo &tp = *points[j];
    const TTrackPointInfo &ptp = *points[j - 1];
    if (!tp.HasLatLon() || !ptp.HasLatLon()) {
      ++j;
      continue;
    }
    double dst;
    if (cand.count < 3) {
      dst = tp.DistanceTo(ptp);
    } else {
      const TGeoPoint c = cand.Center();
      dst = tp.DistanceTo(c.Lat, c.Long);
    }
    if (StaysAt(tp, ptp, dst)) {
      if (parkStart < 0) parkStart = static_cast<std::ptrdiff_t>(j);
      cand.Add(tp);
    } else if (parkStart >= 0) {
      const size_t before = insertedCount;
      finish();
      if (insertedCount > before) continue;
    }
    ++j;
  }
  finish();

  if (insertedCount > 0) {
    TTrackPointList result;
    result.reserve(n + insertedCount);
    for (size_t j = 0; j < n; ++j) {
      if (inserted[j]) result.push_back(std::move(inserted[j]));
      result.push_back(std::move(points[j]));
    }
    points = std::move(result);
  }
  return !progress || progress(n, n);
}

void TGeoTrack::ClearParking() {
  Touch();
  for (auto &p : fPoints) {
    p->IsParking = false;
    p->ParkingDuration = 0;
  }
}

int TGeoTrack::ExportTrack(std::string &fn, int fmt) const {
  if (fn.empty()) return -1;
  if (fmt != 1 && fmt != 2)
    throw std::runtime_error("Export track: unsupported format [" + std::to_string(fmt) + "]");
  if (!std::filesystem::path(fn).filename().has_extension()) fn += fmt == 1 ? ".csv" : ".gpx";

  // Written in blocks as it is made, beside the name and renamed over it once complete, so a
  // failed export never leaves half a file under the chosen name.
  TTextFileWriter file(fn);
  if (!file.Ok()) return -2;
  std::string &out = file.Out();
  out += "\xEF\xBB\xBF";
  if (fmt == 1) {
    // Lengths and speeds in the program's units; a column says its unit when it is not metric
    // (so a reader of the metric columns never takes feet for metres). Coordinates stay decimal.
    const TDisplayUnits &u = DisplayUnits();
    const std::string shortUnit = u.ColumnSuffix(false), speedUnit = u.ColumnSuffix(true);
    out += "uid;sys_time;obj_time;src;gps_time;lat;lon;alt" + shortUnit + ";accuracy" + shortUnit +
           ";speed" + speedUnit + ";angle;bat;sensors;\r\n";
    for (const auto &ptr : fPoints) {
      const TTrackPointInfo &tp = *ptr;
      AppendInt(out, tp.uid);
      out += ';';
      out += dt2s(tp.sys_dt, "");
      out += ';';
      out += dt2s(tp.obj_dt, "");
      out += ';';
      AppendInt(out, tp.src);
      out += ';';
      out += dt2s(tp.gps_dt, "");
      for (const auto &[value, decimals] :
           {std::pair{tp.lat, 6}, {tp.lon, 6}, {u.ShortDistance(tp.alt), 0},
            {u.ShortDistance(tp.acc), 0}, {u.Speed(tp.speed), 0}, {tp.angle, 0}}) {
        out += ';';
        AppendFixed(out, value, decimals);
      }
      out += ';';
      AppendInt(out, tp.bat);
      out += ';';
      for (size_t k = 0; k < tp.sensors.size(); ++k) {
        if (k > 0) out += ',';
        out += tp.sensors[k].sign.str();
        out += '=';
        out += tp.sensors[k].val;
      }
      out += ";\r\n";
      file.Wrote();
    }
  } else {
    const std::string sign = XmlEscape(fSign);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\r<gpx version=\"1.0\">\r\n<name>" + sign +
           "</name>\r\n<trk><name>" + sign + "</name><number>1</number><trkseg>\r\n";
    TDateTime lastTime = kNaN; // the points in order tell the two runs of a repeated hour apart
    for (const auto &ptr : fPoints) {
      const TTrackPointInfo &tp = *ptr;
      // GPX readers refuse lat="NaN": a message without a fix has no place in a GPX track.
      if (!tp.HasLatLon()) continue;
      out += "<trkpt lat=\"";
      AppendFixed(out, tp.lat, 6);
      out += "\" lon=\"";
      AppendFixed(out, tp.lon, 6);
      out += "\"><time>";
      const TDateTime utc = fClock.ToUtc(tp.gps_dt, lastTime);
      if (std::isfinite(utc) && utc != 0) lastTime = utc;
      AppendWebUtc(out, utc);
      out += "</time><ele>";
      AppendFixed(out, tp.alt, 0);
      out += "</ele><speed>";
      AppendFixed(out, tp.speed, 0);
      out += "</speed><magvar>";
      AppendFixed(out, tp.angle, 0);
      out += "</magvar><pdop>";
      AppendFixed(out, tp.acc, 0);
      out += "</pdop>";
      const TTrackPointSensorInfo *ev = tp.FindSensor("event");
      if (ev && !ev->val.empty()) out += "<cmt>" + XmlEscape(ev->val) + "</cmt>";
      out += "</trkpt>\r\n";
      file.Wrote();
    }
    out += "</trkseg></trk>\r\n</gpx>\r\n";
  }
  const int64_t size = file.Size();
  if (size > std::numeric_limits<int>::max()) return -4;
  return file.Commit() ? static_cast<int>(size) : -2;
}

} // namespace kelvra
