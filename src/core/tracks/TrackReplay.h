#pragma once
// Plays a track back in its own time. A cursor walks the points as the clock
// moves, so a frame costs the points it passes (constant on average), never
// a search from the start; a seek is a binary search. The replay reads the
// points the track holds and keeps no copy of them: Reset again after the
// track changed.
//
//   TTrackReplay r;
//   r.Reset(track.Points());
//   r.SetSpeed(100);            // track seconds per second of the clock
//   r.Play();
//   r.Advance(0.04);            // each frame: the real seconds since the last
//   r.Point(); r.Position(); r.Heading(); r.PassedStops();
#include "core/map/SlippyMapUtils.h"
#include "core/tracks/GeoTrack.h"

#include <vector>

namespace kelvra {

// The clock a track is played and graphed by: per point, the seconds since the first point with
// a time (PointTime: the object time, else the GPS time). A point without one, or one earlier
// than its predecessor, takes its predecessor's, so the clock never goes back. Start: the first
// point's time (0 when no point has one). The times are on the display clock `Clock` (the
// track's): the seconds are the real ones between them, so a night when clocks go forward or back
// takes its true length and the hour repeated in autumn is played once each time it comes.
std::vector<double> TrackClock(const TTrackPointList &Points, TDateTime *Start = nullptr,
                               const TDisplayZone &Clock = {});

class TTrackReplay {
public:
  struct TStop {
    int Index = 0;    // the stop's first (parking) point
    int Duration = 0; // seconds
  };

  // Clock: the clock of the points' times (the track's).
  void Reset(const TTrackPointList &Points, const TDisplayZone &Clock = {});
  void Clear();
  bool Empty() const { return fTimes.empty(); }
  int Count() const { return int(fTimes.size()); }

  // Track time in seconds since the first point; the span is the last point's.
  double Time() const { return fTime; }
  double Span() const { return fTimes.empty() ? 0 : fTimes.back(); }
  // The time of point i (its PointTime; a point without one, or one earlier
  // than its predecessor, takes its predecessor's).
  double PointTime(int Index) const { return fTimes[std::size_t(Index)]; }
  // The current point: the last one whose time has come.
  int Index() const { return fIndex; }
  const TTrackPointInfo *Point() const;

  // Track seconds per real second, 1 to 1000.
  double Speed() const { return fSpeed; }
  void SetSpeed(double Value);
  bool Playing() const { return fPlaying; }
  // At the end, playing starts again from the beginning.
  void Play();
  void Pause() { fPlaying = false; }
  void Toggle() { Playing() ? Pause() : Play(); }

  // Moves the clock by RealSeconds times the speed while playing; pauses at
  // the end. True when the current point changed.
  bool Advance(double RealSeconds);
  // To a track time (clamped to the span).
  void Seek(double Seconds);
  // To a point (clamped), its time becoming the clock's; pauses.
  void Step(int Delta);
  void SeekIndex(int Index);

  // Where the marker stands: between the current point and the next fix, by
  // time; NaN coordinates when the track has no fix up to here.
  TGeoPoint Position() const;
  // Degrees clockwise from north: the point's own bearing, else the
  // direction to the next fix; NaN when neither is known.
  double Heading() const;

  // The parking stops in track order, and how many the replay has reached.
  const std::vector<TStop> &Stops() const { return fStops; }
  int PassedStops() const { return fPassed; }
  // The stop the current point belongs to, or -1.
  int CurrentStop() const;

private:
  void SetIndex(int Index);

  const TTrackPointList *fPoints = nullptr; // not owned
  std::vector<double> fTimes;               // non-decreasing
  std::vector<int> fStopOf;                 // per point: its stop or -1
  std::vector<int> fPrevFix;                // per point: the last point with a position up to it, or -1
  std::vector<int> fNextFix;                // per point: the first point with a position after it, or -1
  std::vector<TStop> fStops;
  double fTime = 0;
  double fSpeed = 1;
  int fIndex = 0;
  int fPassed = 0;
  bool fPlaying = false;
};

} // namespace kelvra
