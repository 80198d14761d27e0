#include "core/tracks/LocationFilter.h"

#include <algorithm>
#include <cmath>

#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackParking.h"

namespace kelvra {

namespace {
constexpr size_t kFilterProgressStep = 16384;
} // namespace

// ------------------------------------------------------------------ base

const TTrackPointInfo &TLocationFilter::FilterLocation(const TTrackPointInfo &aPoint) {
  if (!aPoint.HasLatLon()) return mFilteredLocation;
  mLastLocation = aPoint;
  mFilteredLocation = aPoint;
  double lat = aPoint.lat, lon = aPoint.lon;
  FilterLatLon(lat, lon);
  mFilteredLocation.lat = lat;
  mFilteredLocation.lon = lon;
  return mFilteredLocation;
}

void TLocationFilter::FilterLatLon(double &, double &) {}

std::unique_ptr<TGeoTrack> FilterTrack(const TGeoTrack &aSource, TLocationFilter &aFilter,
                                       int aStyleIndex, const TFilterProgress &aProgress) {
  const auto go = [&aProgress](TFilterStage stage) {
    return [&aProgress, stage](size_t done, size_t total) {
      return !aProgress || aProgress(stage, done, total);
    };
  };
  const auto filtering = go(TFilterStage::Filtering);
  auto track = std::make_unique<TGeoTrack>();
  track->SetSign(aSource.Sign() + "-" + aFilter.Sign());
  track->SetClock(aSource.Clock());
  const int style = std::clamp(aStyleIndex, 0, static_cast<int>(GeoTrackStyles.size()) - 1);
  track->SetStyle(GeoTrackStyles[style]);
  const size_t total = aSource.Points().size();
  TTrackPointList points;
  points.reserve(total);
  for (size_t i = 0; i < total; ++i) {
    if (i % kFilterProgressStep == 0 && !filtering(i, total)) return nullptr;
    points.push_back(std::make_unique<TTrackPointInfo>(aFilter.FilterLocation(*aSource.Points()[i])));
  }
  if (!filtering(total, total)) return nullptr;
  track->Points() = std::move(points);
  // The filtered positions make new stays: the source's marks do not hold any more.
  track->ClearParking();
  if (!MarkParking(*track, go(TFilterStage::Parking))) return nullptr;
  if (!track->UpdateInfo(go(TFilterStage::Statistics))) return nullptr;
  return track;
}

} // namespace kelvra
