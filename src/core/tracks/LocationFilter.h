#pragma once
// Smoothing of noisy positions: a filter takes the points of a track one by one and
// returns each with its latitude and longitude replaced by the filtered values.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "core/model/TrackPointInfo.h"

namespace kelvra {

class TGeoTrack;

class TLocationFilter {
public:
  TLocationFilter() = default;
  virtual ~TLocationFilter() = default;
  TLocationFilter(const TLocationFilter &) = delete;
  TLocationFilter &operator=(const TLocationFilter &) = delete;

  const std::string &Sign() const { return mSign; }
  const TTrackPointInfo &LastLocation() const { return mLastLocation; }
  const TTrackPointInfo &FilteredLocation() const { return mFilteredLocation; }

  // The returned point belongs to the filter and changes with the next call. A point
  // without a position is ignored: the previous output comes back unchanged.
  const TTrackPointInfo &FilterLocation(const TTrackPointInfo &aPoint);

protected:
  // The filtered coordinates of a point that has a position.
  virtual void FilterLatLon(double &lat, double &lon);

  std::string mSign = "filtered";
  TTrackPointInfo mLastLocation;
  TTrackPointInfo mFilteredLocation;
};

// Called every few thousand points with (done, total); returning false cancels the work.
using TProgressFunc = std::function<bool(size_t, size_t)>;

// The steps of FilterTrack, in the order they run.
enum class TFilterStage { Filtering, Parking, Statistics };
// Told (stage, done, total) at each step's start and end and every few thousand points between;
// returning false cancels the work.
using TFilterProgress = std::function<bool(TFilterStage stage, size_t done, size_t total)>;

// A new track with one filtered point per source point, the sign "<source>-<filter>",
// style GeoTrackStyles[aStyleIndex] and its stays marked again; null when cancelled.
std::unique_ptr<TGeoTrack> FilterTrack(const TGeoTrack &aSource, TLocationFilter &aFilter,
                                       int aStyleIndex, const TFilterProgress &aProgress = {});

} // namespace kelvra
