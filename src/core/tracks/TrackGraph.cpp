#include "core/tracks/TrackGraph.h"
#include "core/util/LumSmallUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <unordered_set>

#include "core/map/geo_utils.h"
#include "core/tracks/TrackReplay.h"
#include "core/util/LumDates.h"

namespace kelvra {

namespace {


std::string Fixed(double v, int decimals) {
  char buf[64];
  if (v == 0) v = 0; // no "-0"
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// The first entry with X >= x.
const TChartPoint *LowerBound(const std::vector<TChartPoint> &s, double x) {
  return std::lower_bound(s.data(), s.data() + s.size(), x,
                          [](const TChartPoint &p, double v) { return p.X < v; });
}

} // namespace

std::vector<TChartValue> GraphValues(const std::vector<const TGeoTrack *> &tracks,
                                     const TTrackSensorNameFunc &sensorName) {
  std::vector<TChartValue> values = {{"speed", "speed"}, {"altitude", "altitude"}, {"battery", "battery"}};
  std::unordered_set<std::string> seen{"speed", "altitude", "battery"};
  for (const TGeoTrack *t : tracks) {
    if (!t) continue;
    TSensorNameFunc names;
    if (sensorName) names = [&](const std::string &sign) { return sensorName(*t, sign); };
    for (TChartValue &v : DumpChartValues(t->Points(), names))
      if (seen.insert(v.Key).second) values.push_back(std::move(v));
  }
  return values;
}

std::vector<double> TrackDistances(const TTrackPointList &points) {
  std::vector<double> d(points.size());
  double sum = 0;
  const TTrackPointInfo *prev = nullptr;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TTrackPointInfo &tp = *points[i];
    if (tp.HasLatLon()) {
      if (prev && !tp.IsParking && !prev->IsParking)
        sum += DistanceNear(prev->lat, prev->lon, tp.lat, tp.lon);
      prev = &tp;
    }
    d[i] = sum;
  }
  return d;
}

void TGraphLine::Build(const TTrackPointList &points, const std::string &key, TGraphAxis axis,
                       const TDisplayZone &clock) {
  Axis = axis;
  Clock = TrackClock(points, &Start, clock);
  if (axis == gaDistance)
    fDistance = TrackDistances(points);
  else
    fDistance.clear();
  const std::vector<double> &x = axis == gaDistance ? fDistance : Clock;
  Series.clear();
  Series.reserve(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double y = ChartValue(*points[i], key);
    if (std::isfinite(y)) Series.push_back({x[i], y, static_cast<int>(i)});
  }
}

double TGraphLine::XOfPoint(int pointIndex) const {
  const std::vector<double> &x = Axis == gaDistance ? fDistance : Clock;
  if (pointIndex < 0 || std::size_t(pointIndex) >= x.size()) return kNaN;
  return x[std::size_t(pointIndex)];
}

bool TGraphLine::YRange(double &lo, double &hi) const {
  if (Series.empty()) return false;
  return VisibleYRange(Series, Series.front().X, Series.back().X, lo, hi);
}

// ---------------------------------------------------------------- view

void TGraphView::SetSize(int width, int height) {
  Width = std::max(width, 1);
  Height = std::max(height, 1);
}

void TGraphView::SetXRange(double x0, double x1) {
  if (!std::isfinite(x0) || !std::isfinite(x1)) return;
  X0 = x0;
  X1 = x1 > x0 ? x1 : x0 + 1;
}

void TGraphView::ZoomAt(double px, double factor, double dataX0, double dataX1, double minSpan) {
  if (!(factor > 0) || !std::isfinite(factor)) return;
  const double full = std::max(dataX1 - dataX0, minSpan);
  const double span = std::clamp((X1 - X0) * factor, std::min(minSpan, full), full);
  const double at = XAt(std::clamp(px, 0.0, double(Width)));
  const double f = (at - X0) / (X1 - X0); // the X under the mouse stays under it
  double x0 = at - f * span;
  x0 = std::clamp(x0, dataX0, std::max(dataX0, dataX0 + full - span));
  SetXRange(x0, x0 + span);
}

void TGraphView::PanBy(double dpx, double dataX0, double dataX1) {
  const double span = X1 - X0;
  double x0 = X0 - dpx * span / Width;
  x0 = std::clamp(x0, dataX0, std::max(dataX0, dataX1 - span));
  SetXRange(x0, x0 + span);
}

void TGraphView::FitY(double lo, double hi) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) {
    Y0 = 0;
    Y1 = 1;
    return;
  }
  if (hi <= lo) {
    Y0 = lo - 1;
    Y1 = hi + 1;
    return;
  }
  const double pad = (hi - lo) / 20;
  Y0 = lo - pad;
  Y1 = hi + pad;
}

std::vector<TChartPoint> ThinView(const std::vector<TChartPoint> &series, const TGraphView &view) {
  std::vector<TChartPoint> out;
  if (series.empty()) return out;
  const TChartPoint *begin = series.data(), *end = begin + series.size();
  const TChartPoint *first = LowerBound(series, view.X0);
  const TChartPoint *last = std::upper_bound(first, end, view.X1,
                                             [](double v, const TChartPoint &p) { return v < p.X; });
  if (first > begin) --first; // one point on either side: the line reaches the edges
  if (last < end) ++last;
  out.reserve(std::min<std::size_t>(std::size_t(last - first), std::size_t(view.Width) * 2 + 4));
  ThinColumns(first, last, view.X0, view.X1, view.Width, out);
  return out;
}

bool VisibleYRange(const std::vector<TChartPoint> &series, double x0, double x1, double &lo,
                   double &hi) {
  bool any = false;
  for (const TChartPoint *p = LowerBound(series, x0), *end = series.data() + series.size();
       p < end && p->X <= x1; ++p) {
    if (!any || p->Y < lo) lo = p->Y;
    if (!any || p->Y > hi) hi = p->Y;
    any = true;
  }
  return any;
}

int NearestByX(const std::vector<TChartPoint> &series, double x) {
  if (series.empty()) return -1;
  const TChartPoint *it = LowerBound(series, x);
  const TChartPoint *begin = series.data(), *end = begin + series.size();
  if (it == end) return int(series.size()) - 1;
  // Of equal X the first; between two the closer, the earlier on a tie.
  if (it != begin && x - (it - 1)->X <= it->X - x) {
    --it;
    while (it != begin && (it - 1)->X == it->X) --it;
  }
  return int(it - begin);
}

TGraphView LineView(const TGraphView &view, double offset) {
  TGraphView v = view;
  v.X0 -= offset;
  v.X1 -= offset;
  return v;
}

TGraphHit GraphHitTest(const std::vector<TGraphPlaced> &lines, const TGraphView &view, double px,
                       double py, double maxDx) {
  TGraphHit hit;
  double best = 0;
  for (std::size_t l = 0; l < lines.size(); ++l) {
    if (!lines[l].Series) continue;
    const std::vector<TChartPoint> &s = *lines[l].Series;
    const TGraphView v = LineView(view, lines[l].Offset);
    const int e = NearestByX(s, v.XAt(px));
    if (e < 0) continue;
    const TChartPoint &p = s[std::size_t(e)];
    if (std::fabs(v.PxOfX(p.X) - px) > maxDx) continue;
    const double dy = std::fabs(v.PxOfY(p.Y) - py);
    if (hit.Line < 0 || dy < best) {
      hit = {int(l), e};
      best = dy;
    }
  }
  return hit;
}

// ---------------------------------------------------------------- ticks

std::vector<TGraphTick> ValueTicks(double lo, double hi, int maxTicks) {
  std::vector<TGraphTick> ticks;
  if (!std::isfinite(lo) || !std::isfinite(hi) || hi <= lo || maxTicks < 1) return ticks;
  const double rough = (hi - lo) / maxTicks;
  const double p10 = std::pow(10, std::floor(std::log10(rough)));
  double step = p10 * 10;
  for (double m : {1.0, 2.0, 5.0})
    if (p10 * m >= rough) {
      step = p10 * m;
      break;
    }
  const int decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)));
  for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; ++k) {
    const double v = k * step;
    ticks.push_back({v, Fixed(v, decimals)});
  }
  return ticks;
}

std::vector<TGraphTick> DistanceTicks(double lo, double hi, int maxTicks, const TDisplayUnits &units) {
  const double metresPerUnit = 1 / units.LongDistance(1);
  std::vector<TGraphTick> ticks = ValueTicks(lo / metresPerUnit, hi / metresPerUnit, maxTicks);
  for (TGraphTick &t : ticks) t.Value *= metresPerUnit;
  return ticks;
}

std::vector<TGraphTick> TimeTicks(TDateTime start, double lo, double hi, int maxTicks) {
  std::vector<TGraphTick> ticks;
  if (!std::isfinite(lo) || !std::isfinite(hi) || hi <= lo || maxTicks < 1 || !std::isfinite(start))
    return ticks;
  static const double kSteps[] = {1,    2,    5,     10,    15,    30,    60,     120,    300,
                                  600,  900,  1800,  3600,  7200,  10800, 21600,  43200,  86400,
                                  172800, 432000, 604800, 1209600, 2592000, 7776000, 31536000};
  double step = kSteps[std::size(kSteps) - 1];
  for (double s : kSteps)
    if ((hi - lo) / s <= maxTicks) {
      step = s;
      break;
    }
  // On the display clock: a day's step falls on midnight, an hour's on the hour.
  const double origin = std::round(start * 86400);
  const bool days = std::floor((origin + lo) / 86400) != std::floor((origin + hi) / 86400);
  const char *pattern = step >= 86400 ? "dd.mm" : days ? "dd.mm hh:nn" : step < 60 ? "hh:nn:ss" : "hh:nn";
  for (double k = std::ceil((origin + lo) / step - 1e-9); k * step <= origin + hi + 1e-6; ++k) {
    const double abs = k * step;
    ticks.push_back({abs - origin, dt2s(abs / 86400, pattern)});
  }
  return ticks;
}

std::string GraphXText(TGraphAxis axis, TDateTime start, double x, const TDisplayUnits &units) {
  if (!std::isfinite(x)) return {};
  if (axis == gaDistance) return Fixed(units.LongDistance(x), 2);
  return dt2s(start + x / 86400);
}

} // namespace kelvra
