#include "core/tracks/TrackReplay.h"
#include "core/util/LumSmallUtils.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace kelvra {

namespace {
// Clock steps add up with rounding; a point due within this is due.
constexpr double TimeEps = 1e-6;
} // namespace

std::vector<double> TrackClock(const TTrackPointList &Points, TDateTime *Start,
                               const TDisplayZone &Clock) {
  std::vector<double> times(Points.size());
  double first = kNaN, last = 0;
  double firstUtc = kNaN, prevUtc = kNaN;
  for (std::size_t i = 0; i < Points.size(); ++i) {
    const double dt = PointTime(*Points[i]);
    const bool dated = dt != 0 && std::isfinite(dt);
    double utc = dt;
    if (dated && !Clock.IsFixed()) {
      // In order from the last moment, so the repeated hour's second pass is its own moment.
      utc = std::isnan(prevUtc) ? Clock.ToUtc(dt) : Clock.ToUtc(dt, prevUtc);
      prevUtc = std::isnan(prevUtc) ? utc : std::max(prevUtc, utc);
    }
    if (dated && std::isnan(first)) {
      first = dt;
      firstUtc = utc;
    }
    // Whole milliseconds: a date-time in days carries float noise below them.
    const double t = dated ? std::round((utc - firstUtc) * 86400000.0) / 1000 : last;
    last = std::max(last, t);
    times[i] = last;
  }
  if (Start) *Start = std::isnan(first) ? 0 : first;
  return times;
}

void TTrackReplay::Clear() {
  fPoints = nullptr;
  fTimes.clear();
  fStopOf.clear();
  fStops.clear();
  fPrevFix.clear();
  fNextFix.clear();
  fTime = 0;
  fIndex = 0;
  fPassed = 0;
  fPlaying = false;
}

void TTrackReplay::Reset(const TTrackPointList &Points, const TDisplayZone &Clock) {
  Clear();
  fPoints = &Points;
  const std::size_t n = Points.size();
  fTimes = TrackClock(Points, nullptr, Clock);
  fStopOf.assign(n, -1);
  fPrevFix.resize(n);
  fNextFix.resize(n);
  int prevFix = -1;
  bool inRun = false;
  for (std::size_t i = 0; i < n; ++i) {
    const TTrackPointInfo &p = *Points[i];
    if (p.HasLatLon()) prevFix = int(i);
    fPrevFix[i] = prevFix;
    // A stop's run goes on through event points, as the track draws it.
    if (p.IsParking) {
      if (!inRun) fStops.push_back(TStop{int(i), std::max(p.ParkingDuration, 0)});
      inRun = true;
      fStopOf[i] = int(fStops.size()) - 1;
    } else if (!p.HasEvent) {
      inRun = false;
    } else if (inRun) {
      fStopOf[i] = int(fStops.size()) - 1;
    }
  }
  int nextFix = -1;
  for (std::size_t i = n; i-- > 0;) {
    fNextFix[i] = nextFix;
    if (Points[i]->HasLatLon()) nextFix = int(i);
  }
  // A stop without a recorded length lasts from its first point to its last.
  for (std::size_t i = 0; i < n; ++i)
    if (fStopOf[i] >= 0) {
      TStop &s = fStops[std::size_t(fStopOf[i])];
      if (Points[std::size_t(s.Index)]->ParkingDuration <= 0)
        s.Duration = int(std::lround(fTimes[i] - fTimes[std::size_t(s.Index)]));
    }
  SetIndex(0);
}

const TTrackPointInfo *TTrackReplay::Point() const {
  return fPoints && !Empty() ? (*fPoints)[std::size_t(fIndex)].get() : nullptr;
}

void TTrackReplay::SetSpeed(double Value) {
  fSpeed = std::isfinite(Value) ? std::clamp(Value, 1.0, 1000.0) : 1.0;
}

void TTrackReplay::Play() {
  if (Empty()) return;
  if (fIndex >= Count() - 1 && fTime >= Span()) {
    fTime = 0;
    SetIndex(0);
  }
  fPlaying = true;
}

void TTrackReplay::SetIndex(int Index) {
  fIndex = Index;
  while (fPassed < int(fStops.size()) && fStops[std::size_t(fPassed)].Index <= fIndex) ++fPassed;
  while (fPassed > 0 && fStops[std::size_t(fPassed) - 1].Index > fIndex) --fPassed;
}

bool TTrackReplay::Advance(double RealSeconds) {
  if (!fPlaying || Empty() || !(RealSeconds > 0)) return false;
  fTime = std::min(fTime + RealSeconds * fSpeed, Span());
  int i = fIndex;
  while (i + 1 < Count() && fTimes[std::size_t(i) + 1] <= fTime + TimeEps) ++i;
  if (i >= Count() - 1 && fTime >= Span()) fPlaying = false;
  if (i == fIndex) return false;
  SetIndex(i);
  return true;
}

void TTrackReplay::Seek(double Seconds) {
  if (Empty()) return;
  fTime = std::isfinite(Seconds) ? std::clamp(Seconds, 0.0, Span()) : 0;
  const auto it = std::upper_bound(fTimes.begin(), fTimes.end(), fTime + TimeEps);
  SetIndex(std::max(0, int(it - fTimes.begin()) - 1));
}

void TTrackReplay::SeekIndex(int Index) {
  if (Empty()) return;
  fPlaying = false;
  SetIndex(std::clamp(Index, 0, Count() - 1));
  fTime = fTimes[std::size_t(fIndex)];
}

void TTrackReplay::Step(int Delta) { SeekIndex(fIndex + Delta); }

int TTrackReplay::CurrentStop() const { return Empty() ? -1 : fStopOf[std::size_t(fIndex)]; }

TGeoPoint TTrackReplay::Position() const {
  if (Empty()) return TGeoPoint{kNaN, kNaN};
  const int a = fPrevFix[std::size_t(fIndex)];
  if (a < 0) return TGeoPoint{kNaN, kNaN};
  const TTrackPointInfo &pa = *(*fPoints)[std::size_t(a)];
  const int b = fNextFix[std::size_t(fIndex)];
  if (b < 0) return TGeoPoint{pa.lon, pa.lat};
  const TTrackPointInfo &pb = *(*fPoints)[std::size_t(b)];
  const double ta = fTimes[std::size_t(a)], tb = fTimes[std::size_t(b)];
  // Standing through a stop: the stop's place.
  if (tb <= ta || (pa.IsParking && pb.IsParking)) return TGeoPoint{pa.lon, pa.lat};
  const double f = std::clamp((fTime - ta) / (tb - ta), 0.0, 1.0);
  return TGeoPoint{pa.lon + (pb.lon - pa.lon) * f, pa.lat + (pb.lat - pa.lat) * f};
}

double TTrackReplay::Heading() const {
  if (Empty()) return kNaN;
  const TTrackPointInfo &p = *(*fPoints)[std::size_t(fIndex)];
  if (p.HasBearing()) return p.angle;
  const int a = fPrevFix[std::size_t(fIndex)], b = fNextFix[std::size_t(fIndex)];
  if (a < 0 || b < 0) return kNaN;
  const TTrackPointInfo &pa = *(*fPoints)[std::size_t(a)];
  const TTrackPointInfo &pb = *(*fPoints)[std::size_t(b)];
  const double rad = std::numbers::pi / 180;
  const double dx = (pb.lon - pa.lon) * std::cos((pa.lat + pb.lat) / 2 * rad);
  const double dy = pb.lat - pa.lat;
  if (dx == 0 && dy == 0) return kNaN;
  const double deg = std::atan2(dx, dy) / rad;
  return deg < 0 ? deg + 360 : deg;
}

} // namespace kelvra
