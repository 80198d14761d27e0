#include "core/tracks/TrackDump.h"
#include "core/util/DisplayUnits.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <unordered_set>

#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

const std::array<const char *, DumpColumnCount> DumpColumnTitles = {
    "uid", "sys_time", "obj_time", "gps_time", "lat",     "lon",    "alt",
    "acc", "speed",    "bearing",  "bat",      "P",       "sensors"};

namespace {

const std::string kCrLf = "\r\n";

// Dates of a point are 0 or NaN when the message did not carry them.
TDateTime DtOrNaN(TDateTime dt) { return DtDefined(dt) ? dt : kNaN; }
std::string DtText(TDateTime dt) { return DtDefined(dt) ? dt2s(dt) : "NaN"; }

TDateTime ColumnTime(const TTrackPointInfo &tp, int column) {
  switch (column) {
  case dcSysTime:
    return tp.sys_dt;
  case dcObjTime:
    return tp.obj_dt;
  default:
    return tp.gps_dt;
  }
}

double ColumnNumber(const TTrackPointInfo &tp, int column) {
  switch (column) {
  case dcLat:
    return tp.lat;
  case dcLon:
    return tp.lon;
  case dcAlt:
    return tp.alt;
  case dcAcc:
    return tp.acc;
  default:
    return tp.speed;
  }
}

std::string SensorsText(const TTrackPointInfo &tp) {
  std::string s;
  for (const auto &sensor : tp.sensors) {
    if (!s.empty()) s += ',';
    s += sensor.sign.str() + '=' + sensor.val;
  }
  return s;
}

std::string CellText(const TTrackPointInfo &tp, int column) {
  switch (column) {
  case dcUid:
    return std::to_string(tp.uid);
  case dcSysTime:
  case dcObjTime:
    return DtText(ColumnTime(tp, column));
  case dcGpsTime:
    return DtDefined(tp.gps_dt) ? dt2s(tp.gps_dt) : tp.SrcName();
  case dcLat:
    return DisplayUnits().Latitude(tp.lat, 6);
  case dcLon:
    return DisplayUnits().Longitude(tp.lon, 6);
  case dcAlt:
  case dcAcc:
    return f2s(DisplayUnits().ShortDistance(ColumnNumber(tp, column)), 2);
  case dcSpeed:
    return f2s(DisplayUnits().Speed(tp.speed), 2);
  case dcBearing:
    return f2s(tp.angle, 2);
  case dcBat:
    return std::to_string(tp.bat);
  case dcParking:
    return tp.IsParking ? ParkingText(tp.ParkingDuration) : std::string();
  case dcSensors:
    return SensorsText(tp);
  default:
    return "x";
  }
}

} // namespace

std::string DumpCellText(const TTrackPointInfo &tp, int column) {
  try {
    return CellText(tp, column);
  } catch (...) {
    return "x";
  }
}

std::string DumpColumnUnit(int column) {
  switch (column) {
  case dcAlt:
  case dcAcc:
    return DisplayUnits().ShortUnit();
  case dcSpeed:
    return DisplayUnits().SpeedUnit();
  default:
    return {};
  }
}

std::string DumpColumnHeader(int column, const std::string &title) {
  const std::string unit = DumpColumnUnit(column);
  return unit.empty() ? title : title + ", " + unit;
}

std::string ParkingText(int seconds) {
  if (seconds <= 3600) return f2s(seconds / 60.0, 1) + "m";
  return f2s(seconds / 3600.0, 1) + "h";
}

bool DumpSortable(int column) { return column >= dcUid && column <= dcSpeed; }

int DumpCompare(const TTrackPointInfo &a, const TTrackPointInfo &b, int column) {
  switch (column) {
  case dcUid:
    return cmp(a.uid, b.uid);
  case dcGpsTime:
    if (!DtDefined(a.gps_dt) && !DtDefined(b.gps_dt)) return cmp(a.src, b.src);
    [[fallthrough]];
  case dcSysTime:
  case dcObjTime:
    return cmp(DtOrNaN(ColumnTime(a, column)), DtOrNaN(ColumnTime(b, column)));
  case dcLat:
  case dcLon:
  case dcAlt:
  case dcAcc:
  case dcSpeed:
    return cmp(ColumnNumber(a, column), ColumnNumber(b, column));
  default:
    return 0;
  }
}

std::vector<int> DumpSortOrder(const TTrackPointList &points, int column, bool descending) {
  std::vector<int> order(points.size());
  std::iota(order.begin(), order.end(), 0);
  if (!DumpSortable(column)) return order;
  // Every sortable column's order is that of a number (NaN, an unset date, below all others)
  // and, between two NaNs, of a second number (the source, for two points without a GPS time):
  // the keys are read once, in point order, and sorted beside their rows, instead of reaching
  // into two scattered points for every comparison of a million-row sort. Same order as
  // DumpCompare.
  struct TKey {
    double Value;
    int Tie;
    int Row;
  };
  std::vector<TKey> keys(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    const TTrackPointInfo &tp = *points[i];
    TKey &k = keys[i];
    k.Row = static_cast<int>(i);
    k.Tie = 0;
    if (column == dcUid) {
      k.Value = tp.uid;
    } else if (column == dcSysTime || column == dcObjTime || column == dcGpsTime) {
      k.Value = DtOrNaN(ColumnTime(tp, column));
      if (column == dcGpsTime && std::isnan(k.Value)) k.Tie = tp.src;
    } else {
      k.Value = ColumnNumber(tp, column);
    }
  }
  const auto less = [](const TKey &a, const TKey &b) {
    const bool na = std::isnan(a.Value), nb = std::isnan(b.Value);
    if (na || nb) return na && nb ? a.Tie < b.Tie : na;
    return a.Value < b.Value;
  };
  if (descending)
    std::stable_sort(keys.begin(), keys.end(),
                     [&less](const TKey &a, const TKey &b) { return less(b, a); });
  else
    std::stable_sort(keys.begin(), keys.end(), less);
  for (size_t i = 0; i < keys.size(); ++i)
    order[i] = keys[i].Row;
  return order;
}

std::string DaysDuration(double seconds) {
  if (std::isnan(seconds)) return std::string();
  if (seconds < 0) return "-" + DaysDuration(-seconds);
  const int64_t total = static_cast<int64_t>(std::llround(std::min(seconds, 1e15)));
  const int64_t days = total / 86400;
  const std::string time = dur2s(static_cast<int32_t>(total % 86400), 0);
  if (days == 0) return time;
  return std::to_string(days) + (days == 1 ? " day " : " days ") + time;
}

TDumpSummary DumpSummary(const std::vector<const TTrackPointInfo *> &selected, int column) {
  if (selected.size() < 2) return {};
  const TTrackPointInfo &first = *selected.front();
  const TTrackPointInfo &last = *selected.back();
  switch (column) {
  case dcSysTime:
  case dcObjTime:
  case dcGpsTime: {
    const TDateTime a = ColumnTime(first, column), b = ColumnTime(last, column);
    if (!DtDefined(a) || !DtDefined(b)) return {"duration", ""};
    // Rounded to the millisecond: day fractions hold whole seconds only approximately.
    return {"duration", DaysDuration(std::round((b - a) * 86400000.0) / 1000)};
  }
  case dcLat:
  case dcLon: {
    const double d = first.DistanceTo(last);
    const TDisplayUnits &u = DisplayUnits();
    return {"distance", std::isnan(d) ? std::string() : f2s(u.ShortDistance(d), 2) + " " + u.ShortUnit()};
  }
  case dcAlt:
    return {"altitude", first.HasAltitude() && last.HasAltitude()
                            ? DisplayUnits().AltitudeText(last.alt - first.alt, 2)
                            : std::string()};
  case dcSpeed: {
    double sum = 0;
    int count = 0;
    for (const TTrackPointInfo *tp : selected)
      if (tp->HasSpeed()) {
        sum += tp->speed;
        ++count;
      }
    return {"avg_speed", count ? DisplayUnits().SpeedText(sum / count, 2) : std::string()};
  }
  case dcBat:
    return {"delta", std::to_string(last.bat - first.bat)};
  default:
    return {};
  }
}

std::string DumpCopyRows(const std::vector<const TTrackPointInfo *> &selected) {
  const bool many = selected.size() > 1;
  std::string s;
  if (many) {
    // Titles as a text export writes them: a unit that is not metric after the name ("alt_ft").
    for (int c = 0; c < DumpColumnCount; ++c) {
      s += DumpColumnTitles[size_t(c)];
      if (c == dcAlt || c == dcAcc || c == dcSpeed) s += DisplayUnits().ColumnSuffix(c == dcSpeed);
      s += ';';
    }
    s += kCrLf;
  }
  for (const TTrackPointInfo *tp : selected) {
    for (int c = 0; c < DumpColumnCount; ++c)
      s += DumpCellText(*tp, c) + ';';
    if (many) s += kCrLf;
  }
  return s;
}

std::string DumpCopyColumn(const std::vector<const TTrackPointInfo *> &selected, int column) {
  const bool many = selected.size() > 1;
  std::string s;
  for (const TTrackPointInfo *tp : selected) {
    s += column == dcLat || column == dcLon ? DisplayUnits().LatLon(tp->lat, tp->lon, 6)
                                            : DumpCellText(*tp, column);
    if (many) s += kCrLf;
  }
  return s;
}

// ---------------------------------------------------------------- chart

std::vector<TChartValue> DumpChartValues(const TTrackPointList &points,
                                         const TSensorNameFunc &sensorName) {
  std::vector<TChartValue> values = {{"battery", "battery"}, {"altitude", "altitude"}};
  std::unordered_set<std::string> seen;
  for (const auto &tp : points)
    for (const auto &s : tp->sensors) {
      const std::string &sign = s.sign.str();
      if (sign == "event" || !seen.insert(sign).second) continue;
      const std::string name = sensorName ? sensorName(sign) : std::string();
      values.push_back({sign, name.empty() ? sign : sign + " | " + name});
    }
  return values;
}

double ChartValue(const TTrackPointInfo &tp, const std::string &key) {
  // The entry's text may carry " | name" after the sign.
  const std::string_view sign = std::string_view(key).substr(0, key.find(" | "));
  if (sign == "battery") return tp.bat >= 0 ? tp.bat : kNaN;
  if (sign == "altitude") return tp.alt;
  if (sign == "speed") return tp.speed;
  const TTrackPointSensorInfo *s = tp.FindSensor(sign);
  return s ? s2f(s->val, kNaN) : kNaN;
}

double ShownChartValue(const TTrackPointInfo &tp, const std::string &key) {
  const double v = ChartValue(tp, key);
  if (key == "altitude") return DisplayUnits().ShortDistance(v);
  if (key == "speed") return DisplayUnits().Speed(v);
  return v;
}

std::string ChartUnit(const std::string &key) {
  if (key == "altitude") return DisplayUnits().ShortUnit();
  if (key == "speed") return DisplayUnits().SpeedUnit();
  return {};
}

std::vector<TChartPoint> ChartSeries(const TTrackPointList &points, const std::string &key) {
  std::vector<TChartPoint> series;
  series.reserve(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    const TTrackPointInfo &tp = *points[i];
    const double y = ShownChartValue(tp, key);
    const TDateTime x = PointTime(tp);
    if (!std::isnan(y) && x != 0) series.push_back({x, y, static_cast<int>(i)});
  }
  // In time order, whatever the order of the points: a click is found by its time.
  std::stable_sort(series.begin(), series.end(),
                   [](const TChartPoint &a, const TChartPoint &b) { return a.X < b.X; });
  return series;
}

double ChartAxisMax(const std::string &key, const std::vector<TChartPoint> &series) {
  if (key == "battery") return 100;
  double top = 0;
  for (const TChartPoint &p : series)
    top = std::max(top, p.Y);
  return top * 1.2;
}

std::string ChartLabel(TDateTime dt, bool sameDay) {
  return dt2s(dt, sameDay ? "hh:nn" : "dd.mm hh:nn");
}

std::vector<TChartPoint> ThinSeries(const std::vector<TChartPoint> &series, int buckets) {
  if (buckets <= 0 || series.size() <= static_cast<size_t>(buckets) * 2) return series;
  std::vector<TChartPoint> out;
  ThinColumns(series.data(), series.data() + series.size(), series.front().X, series.back().X,
              buckets, out);
  return out;
}

TChartData ChartData(const TTrackPointList &points, const std::string &key) {
  const std::vector<TChartPoint> series = ChartSeries(points, key);
  TChartData d;
  d.AxisMax = ChartAxisMax(key, series);
  d.Points = ThinSeries(series, TChartData::kChartColumns);
  return d;
}

void ThinColumns(const TChartPoint *first, const TChartPoint *last, double x0, double x1,
                 int columns, std::vector<TChartPoint> &out) {
  if (first >= last || columns <= 0) return;
  const double scale = x1 > x0 ? columns / (x1 - x0) : 0;
  auto columnOf = [&](double x) {
    if (x < x0) return -1;
    if (x > x1) return columns;
    return std::min(static_cast<int>(std::floor((x - x0) * scale)), columns - 1); // x1: the last
  };
  const TChartPoint *lo = first, *hi = first;
  int col = columnOf(first->X);
  auto flush = [&] {
    out.push_back(lo < hi ? *lo : *hi);
    if (lo != hi) out.push_back(lo < hi ? *hi : *lo);
  };
  for (const TChartPoint *p = first + 1; p < last; ++p) {
    const int c = columnOf(p->X);
    if (c != col) {
      flush();
      col = c;
      lo = hi = p;
      continue;
    }
    if (p->Y < lo->Y) lo = p;
    if (p->Y > hi->Y) hi = p;
  }
  flush();
}

// ---------------------------------------------------------------- info windows

namespace {

std::string Hms(int seconds, bool padHours) {
  const int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return (padHours ? two(h) : std::to_string(h)) + ":" + two(m) + ":" + two(s);
}

std::string Corner(double lat, double lon) { return DisplayUnits().LatLon(lat, lon, 4); }

} // namespace

std::vector<TInfoRow> TrackInfoRows(const TGeoTrack &track) {
  const TGeoTrackInfo &i = track.Info();
  std::vector<TInfoRow> rows;
  if (!track.ObjId().empty()) rows.push_back({"object_id", track.ObjId()});
  rows.push_back({"sign", track.Sign(), irMultiLine});
  rows.push_back({"points", std::to_string(track.Points().size())});
  if (i.GoodPointsCount != static_cast<int>(track.Points().size()))
    rows.push_back({"gps_points", std::to_string(i.GoodPointsCount)});
  if (i.ParkPointsCount > 0) {
    rows.push_back({"park_points", std::to_string(i.ParkPointsCount)});
    rows.push_back({"parkings", std::to_string(i.ParkingCount)});
  }
  const TDisplayUnits &u = DisplayUnits();
  rows.push_back({"distance", f2s(u.LongDistance(i.Distance), 3) + " " + u.LongUnit()});
  if (i.StepCounter > 0) rows.push_back({"step_count", std::to_string(i.StepCounter)});
  if (i.AvgHeartRate > 0)
    rows.push_back({"heart_rate", std::to_string(i.MinHeartRate) + "/" +
                                      std::to_string(i.MaxHeartRate) + "/" +
                                      std::to_string(i.AvgHeartRate)});
  rows.push_back({"duration", Hms(std::max(i.GpsDuration, 0), true)});
  rows.push_back(
      {"avg_speed", u.SpeedText(i.GpsDuration > 0 ? i.Distance / i.GpsDuration * 3.6 : 0, 2)});
  rows.push_back({"nw_coords", Corner(i.GeoRect.TopLeft.Lat, i.GeoRect.TopLeft.Long)});
  rows.push_back({"se_coords", Corner(i.GeoRect.BottomRight.Lat, i.GeoRect.BottomRight.Long)});
  rows.push_back({"center_point", Corner(i.CenterPoint.Lat, i.CenterPoint.Long)});
  rows.push_back({"size", f2s(u.ShortDistance(i.Width), 2) + "x" + f2s(u.ShortDistance(i.Height), 2) +
                              " " + u.ShortUnit()});
  if (i.AddressCount > 0) rows.push_back({"addr_points", std::to_string(i.AddressCount), irButton});
  return rows;
}

std::vector<TInfoRow> TrackPointInfoRows(const TTrackPointInfo &tp, int userLevel,
                                         const TAddressFunc &address) {
  std::vector<TInfoRow> rows;
  if (userLevel > 8) rows.push_back({"uid", std::to_string(tp.uid)});
  rows.push_back({"bat", std::to_string(tp.bat)});
  // An imported point has no service time: no row rather than day zero.
  if (DtDefined(tp.sys_dt)) rows.push_back({"sys_time", dt2s(tp.sys_dt)});
  if (DtDefined(tp.obj_dt)) rows.push_back({"obj_time", dt2s(tp.obj_dt)});
  if (tp.HasLatLon()) {
    if (DtDefined(tp.gps_dt)) rows.push_back({"gps_time", dt2s(tp.gps_dt)});
    if (tp.HasSource()) rows.push_back({"crd_src", tp.SrcName()});
    const TDisplayUnits &u = DisplayUnits();
    rows.push_back({"lat_lon", u.LatLon(tp.lat, tp.lon, 6)});
    if (tp.HasAltitude()) rows.push_back({"alt", u.AltitudeText(tp.alt, 2)});
    rows.push_back({"acc", u.AltitudeText(tp.acc, 2)});
    if (tp.IsParking) {
      rows.push_back({"park_dur", Hms(std::max(tp.ParkingDuration, 0), false)});
    } else if (tp.HasSpeed()) {
      rows.push_back({"speed", u.SpeedText(tp.speed, 2)});
      rows.push_back({"bearing", f2s(tp.angle, 2)});
    }
    if (!tp.osm_id.empty()) {
      if (userLevel > 8) rows.push_back({"osm_id", tp.osm_id});
      const std::string a = address ? address(tp.osm_id) : std::string();
      if (!a.empty()) rows.push_back({"address", a});
    }
  }
  for (const auto &s : tp.sensors)
    rows.push_back({s.sign.str(), s.val, 0, true});
  for (TInfoRow &r : rows)
    if (Utf8Length(r.Value) > 20) r.Flags |= irMultiLine;
  return rows;
}

int InfoRowLines(const TInfoRow &row) {
  if (!(row.Flags & irMultiLine)) return 1;
  return static_cast<int>(Utf8Length(row.Value) / 20 + 1);
}

// ---------------------------------------------------------------- path

std::vector<int> TrackPathRows(const TGeoTrack &track) {
  std::vector<int> rows;
  const std::string *last = nullptr;
  const auto &pts = track.Points();
  for (size_t i = 0; i < pts.size(); ++i) {
    const std::string &id = pts[i]->osm_id;
    if (id.empty() || (last && *last == id)) continue;
    rows.push_back(static_cast<int>(i));
    last = &id;
  }
  return rows;
}

std::string TrackPathText(const TGeoTrack &track, const std::vector<int> &rows,
                          const TAddressFunc &address, int fmt) {
  const char *sep = fmt == 2 ? ";" : "\t";
  std::string s = fmt == 2 ? "Time;Address\r\n" : "";
  for (int r : rows) {
    const TTrackPointInfo &tp = *track.Points()[r];
    s += DtText(tp.obj_dt) + sep + (address ? address(tp.osm_id) : std::string()) + kCrLf;
  }
  return s;
}

int ExportTrackPath(std::string &fn, const std::string &text, int fmt) {
  if (fn.empty()) return -1;
  fn = std::filesystem::path(fn).replace_extension(fmt == 2 ? ".csv" : ".txt").string();
  const std::string bytes = "\xEF\xBB\xBF" + text;
  return WriteFileAtomic(fn, bytes) ? static_cast<int>(bytes.size()) : -2;
}

} // namespace kelvra
