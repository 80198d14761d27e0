#pragma once
// What the track dump and the track views show, apart from their windows: the cell texts of
// the dump table, its sort, the selection summary, the clipboard texts, the chart's values,
// the rows of "Track Info", "TrackPoint Info" and "Track Path", and the path export.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/tracks/GeoTrack.h"

namespace kelvra {

enum TDumpColumn {
  dcUid, dcSysTime, dcObjTime, dcGpsTime, dcLat, dcLon, dcAlt, dcAcc, dcSpeed, dcBearing,
  dcBat, dcParking, dcSensors
};
inline constexpr int DumpColumnCount = 13;
// "uid", "sys_time", ... "sensors".
extern const std::array<const char *, DumpColumnCount> DumpColumnTitles;

// The text of one cell; "x" when it cannot be made. Coordinates, lengths and speeds are in the
// program's coordinate form and units (DisplayUnits).
std::string DumpCellText(const TTrackPointInfo &tp, int column);
// The unit of a column's numbers (alt and acc: m or ft; speed: km/h, mph or kn), else empty.
std::string DumpColumnUnit(int column);
// The title with ", unit" after it for a column with a unit.
std::string DumpColumnHeader(int column, const std::string &title);
// A parking duration: up to an hour as minutes ("12.5m"), above as hours ("1.5h").
std::string ParkingText(int seconds);

// The first nine columns (uid to speed) sort.
bool DumpSortable(int column);
// Numbers and times by value, an unset one first; gps_time by the position source when
// neither point has a GPS time.
int DumpCompare(const TTrackPointInfo &a, const TTrackPointInfo &b, int column);
// Row order of the points sorted by the column (stable, so equal rows keep track order).
std::vector<int> DumpSortOrder(const TTrackPointList &points, int column, bool descending);

// Seconds as "hh:nn:ss", preceded by "1 day " or "N days " when there are whole days.
std::string DaysDuration(double seconds);

struct TDumpSummary {
  std::string LabelKey; // "duration", "distance", ... or empty for the other columns
  std::string Value;
};
// From the first and the last selected row (in table order), by the focused column;
// nothing for fewer than two rows.
TDumpSummary DumpSummary(const std::vector<const TTrackPointInfo *> &selected, int column);

// "Copy row(s)": the titles line only when more than one row is selected (alt, acc and speed
// with TDisplayUnits::ColumnSuffix, "alt_ft"); every cell ends
// with ";"; rows end with CR LF only when there is more than one.
std::string DumpCopyRows(const std::vector<const TTrackPointInfo *> &selected);
// "Copy column(s)": the focused column of every row, latitude "," longitude for lat and lon.
std::string DumpCopyColumn(const std::vector<const TTrackPointInfo *> &selected, int column);

// ---------------------------------------------------------------- chart

struct TChartValue {
  std::string Key;  // "battery", "altitude" (translation keys) or a sensor sign
  std::string Text; // the sensor sign, " | " and the object's name for it when known
};
// The object's description of a sensor sign (its name), or empty.
using TSensorNameFunc = std::function<std::string(const std::string &sign)>;
// "battery", "altitude", then every sensor sign of the points but "event", once each, in
// order of first appearance.
std::vector<TChartValue> DumpChartValues(const TTrackPointList &points,
                                         const TSensorNameFunc &sensorName = {});

struct TChartPoint {
  double X;       // obj_dt
  double Y;       // the value
  int PointIndex; // the track point it was made from
};
// The value of a point for an entry of the value list ("battery", "altitude", "speed" or a sensor
// sign, with or without " | name"); NaN when the point has none.
double ChartValue(const TTrackPointInfo &tp, const std::string &key);
// The same in the program's units (altitude and speed), as the dump's chart shows it.
double ShownChartValue(const TTrackPointInfo &tp, const std::string &key);
// The unit of those values ("ft", "mph"), empty for values without one.
std::string ChartUnit(const std::string &key);
// One pass over the points, values in the program's units; points without the value are left out.
std::vector<TChartPoint> ChartSeries(const TTrackPointList &points, const std::string &key);
// 0 to 100 for the battery, else 0 to 1.2 times the largest value.
double ChartAxisMax(const std::string &key, const std::vector<TChartPoint> &series);
// "hh:nn" when the track lies within one day, else "dd.mm hh:nn".
std::string ChartLabel(TDateTime dt, bool sameDay);
// At most two points (the lowest and the highest, in order) per pixel column, the series' X range
// spread over `buckets` columns; series with fewer points come back whole.
std::vector<TChartPoint> ThinSeries(const std::vector<TChartPoint> &series, int buckets);
// A value's chart made on a worker with the dump: the series thinned to kChartColumns columns (a
// window then thins it to its own width, as wide as a screen) and the axis maximum of the whole
// series.
struct TChartData {
  static constexpr int kChartColumns = 4096;
  std::vector<TChartPoint> Points;
  double AxisMax = 0;
};
TChartData ChartData(const TTrackPointList &points, const std::string &key);
// The same for the points from first up to last, with X from x0 to x1 on `columns` columns: a
// run of points in one column gives its lowest and its highest, in order; points left of x0 or
// right of x1 count as one column on either side. Appends to out.
void ThinColumns(const TChartPoint *first, const TChartPoint *last, double x0, double x1,
                 int columns, std::vector<TChartPoint> &out);

// ---------------------------------------------------------------- info windows

enum TInfoRowFlags { irMultiLine = 1, irButton = 2 };

struct TInfoRow {
  std::string Key; // translation key of the label (a sensor's sign for sensor rows)
  std::string Value;
  int Flags = 0;
  bool Sensor = false; // the label is a sensor sign, translated only when known
};

using TAddressFunc = std::function<std::string(const std::string &osmId)>;

std::vector<TInfoRow> TrackInfoRows(const TGeoTrack &track);
std::vector<TInfoRow> TrackPointInfoRows(const TTrackPointInfo &tp, int userLevel,
                                         const TAddressFunc &address = {});
// Lines a row takes: one more for every 20 characters of its value.
int InfoRowLines(const TInfoRow &row);

// ---------------------------------------------------------------- path

// Points that start a new place: a non-empty OSM id differing from the last row's.
std::vector<int> TrackPathRows(const TGeoTrack &track);
// fmt 1: "time\taddress\r\n" rows; 2: "Time;Address\r\n" and "time;address\r\n" rows.
std::string TrackPathText(const TGeoTrack &track, const std::vector<int> &rows,
                          const TAddressFunc &address, int fmt);
// Writes the path with the extension set to ".txt" (1) or ".csv" (2), UTF-8 with the mark,
// through a temporary file; bytes written or a negative code. fn receives the name used.
int ExportTrackPath(std::string &fn, const std::string &text, int fmt);

} // namespace kelvra
