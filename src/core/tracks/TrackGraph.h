#pragma once
// The graphs of tracks under the map, apart from their window: a value of the points (speed,
// altitude, battery, a sensor) against time or distance, the view's scale with its zoom and pan,
// the points a view shows per pixel column, the point under the mouse and the axes' ticks.
//
//   TGraphLine line;
//   line.Build(track.Points(), "speed", gaTime);   // once per track, value and axis
//   TGraphView view;                               // the window's plot area and ranges
//   view.SetSize(800, 200);
//   view.SetXRange(line.Series.front().X, line.Series.back().X);
//   auto shown = ThinView(line.Series, view);      // what to draw: <= 2 points per column
//   int i = NearestByX(line.Series, view.XAt(mouseX));
#include <functional>
#include <string>
#include <vector>

#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackDump.h"
#include "core/util/DisplayUnits.h"

namespace kelvra {

enum TGraphAxis { gaTime = 0, gaDistance = 1 };

// "speed", "altitude", "battery", then the sensor signs of all the tracks (but "event"), each
// once, in order of first appearance; a sensor shows its name when the track's object has one.
using TTrackSensorNameFunc = std::function<std::string(const TGeoTrack &track, const std::string &sign)>;
std::vector<TChartValue> GraphValues(const std::vector<const TGeoTrack *> &tracks,
                                     const TTrackSensorNameFunc &sensorName = {});

// Metres along the track up to each point, counted as the track's distance counts them: a
// stretch that starts or ends at a parking point adds nothing, a point without a fix keeps the
// distance of the one before.
std::vector<double> TrackDistances(const TTrackPointList &points);

// One track's line: X is seconds since the track's first point (the replay's clock, so that
// a point's X is its replay time) or metres along the track; never decreasing.
struct TGraphLine {
  TDateTime Start = 0;              // the first dated point's time; 0 when none has one
  std::vector<double> Clock;        // per point: its replay time
  std::vector<TChartPoint> Series;  // the points that have the value, in track order
  TGraphAxis Axis = gaTime;

  // clock: the track's display clock, so that the time axis counts the seconds the replay counts
  // (real ones across a change of the clocks).
  void Build(const TTrackPointList &points, const std::string &key, TGraphAxis axis,
             const TDisplayZone &clock = {});
  // The X of a point of the track (its clock or its distance); NaN for an index out of range.
  double XOfPoint(int pointIndex) const;
  // The lowest and highest value; false without points.
  bool YRange(double &lo, double &hi) const;

private:
  std::vector<double> fDistance; // per point, with the distance axis
};

// The plot area: X and Y ranges mapped onto Width x Height pixels (Y grows upwards).
struct TGraphView {
  double X0 = 0, X1 = 1, Y0 = 0, Y1 = 1;
  int Width = 1, Height = 1;

  void SetSize(int width, int height);
  void SetXRange(double x0, double x1);
  double PxOfX(double x) const { return (x - X0) * Width / (X1 - X0); }
  double PxOfY(double y) const { return Height - (y - Y0) * Height / (Y1 - Y0); }
  double XAt(double px) const { return X0 + px * (X1 - X0) / Width; }

  // The wheel: `factor` below 1 zooms in, about the X under pixel px; the span stays within
  // minSpan and the data's range, and the view within the data.
  void ZoomAt(double px, double factor, double dataX0, double dataX1, double minSpan);
  // A drag by dpx pixels to the right shows what lay left; the view stays within the data.
  void PanBy(double dpx, double dataX0, double dataX1);
  // Y from the values shown: lo to hi widened by a twentieth on either side (a flat line gets
  // one unit each way).
  void FitY(double lo, double hi);
};

// What a series shows in the view: the points within it plus the nearest one outside on either
// side (the line runs to the edges), at most the lowest and the highest per pixel column.
std::vector<TChartPoint> ThinView(const std::vector<TChartPoint> &series, const TGraphView &view);
// The lowest and highest value of the points within X0..X1 (false when there are none).
bool VisibleYRange(const std::vector<TChartPoint> &series, double x0, double x1, double &lo,
                   double &hi);

// The entry of a series (X never decreasing) nearest to x; -1 for an empty series.
int NearestByX(const std::vector<TChartPoint> &series, double x);

// A line as the view places it: its X plus Offset is the view's X (tracks of different times
// on one time axis).
struct TGraphPlaced {
  const std::vector<TChartPoint> *Series = nullptr; // not owned
  double Offset = 0;
};
// The view as one line sees it: the view's X less the line's offset.
TGraphView LineView(const TGraphView &view, double offset);

// The point under the mouse: on every line the entry nearest in X, of those the one nearest in
// Y; entries farther than maxDx pixels in X do not count. Line -1 when none does.
struct TGraphHit {
  int Line = -1;  // index into the lines given
  int Entry = -1; // index into that line's series
};
TGraphHit GraphHitTest(const std::vector<TGraphPlaced> &lines, const TGraphView &view, double px,
                       double py, double maxDx);

struct TGraphTick {
  double Value;     // on the axis' own scale (seconds, metres, the value)
  std::string Text;
};
// Round steps (1, 2 or 5 times a power of ten), at most maxTicks of them from lo to hi, written
// with the decimals the step needs.
std::vector<TGraphTick> ValueTicks(double lo, double hi, int maxTicks);
// Distance in metres, written in the units' long unit (km, mi or NM).
std::vector<TGraphTick> DistanceTicks(double lo, double hi, int maxTicks,
                                      const TDisplayUnits &units = DisplayUnits());
// Seconds after `start` (a display date-time), at whole seconds, minutes, hours or days of the
// display clock; written "hh:nn:ss" below a minute, "hh:nn" within one day, "dd.mm hh:nn" across
// days and "dd.mm" for steps of days.
std::vector<TGraphTick> TimeTicks(TDateTime start, double lo, double hi, int maxTicks);

// The text of an X for the hover: the date-time for the time axis, the units' long unit with two
// decimals (without the unit) for distance.
std::string GraphXText(TGraphAxis axis, TDateTime start, double x,
                       const TDisplayUnits &units = DisplayUnits());

} // namespace kelvra
