#include "core/tracks/TrackRequest.h"

#include "core/tracks/TrackParking.h"
#include "core/util/LumFormat.h"

namespace kelvra {

void TPlaceBatcher::Add(const std::string &id) {
  if (id.empty()) return;
  if (!fSeen.insert(id).second) return;
  fBatch.push_back(id);
  if (fBatch.size() >= fSize) Flush();
}

void TPlaceBatcher::Flush() {
  if (fBatch.empty()) return;
  std::vector<std::string> batch;
  batch.swap(fBatch);
  if (fResolve) fResolve(batch);
}

std::unique_ptr<TGeoTrack> BuildRequestedTrack(const TTrackPointList &points,
                                               const TTrackRequestParams &params,
                                               const TPlaceBatcher::TResolve &resolve,
                                               const TStageProgress &progress) {
  auto go = [&progress](TTrackStage stage, size_t done, size_t total) {
    return !progress || progress(stage, done, total);
  };
  constexpr size_t kStep = 16384; // points between two progress reports
  auto track = std::make_unique<TGeoTrack>(params.objId);
  track->SetSign(params.sign);
  track->SetLayer(0);
  track->SetClock(params.clock);
  const size_t style =
      params.style >= 0 && static_cast<size_t>(params.style) < GeoTrackStyles.size()
          ? static_cast<size_t>(params.style)
          : 0;
  track->SetStyle(GeoTrackStyles[style]);
  std::vector<std::vector<std::string>> batches;
  TPlaceBatcher places(kPlaceBatch, [&batches](const std::vector<std::string> &ids) {
    batches.push_back(ids);
  });
  TTrackPointList copy;
  copy.reserve(points.size());
  if (!go(TTrackStage::Copying, 0, points.size())) return nullptr;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto &p = points[i];
    if (p) {
      copy.push_back(std::make_unique<TTrackPointInfo>(*p));
      if (resolve) places.Add(p->osm_id);
    }
    if ((i + 1) % kStep == 0 && !go(TTrackStage::Copying, i + 1, points.size())) return nullptr;
  }
  places.Flush();
  track->Points() = std::move(copy); // measured once, below, after the parking stops
  if (params.markParking && !MarkParking(*track, [&go](size_t done, size_t total) {
        return go(TTrackStage::Parking, done, total);
      }))
    return nullptr;
  if (!track->UpdateInfo([&go](size_t done, size_t total) {
        return go(TTrackStage::Statistics, done, total);
      }))
    return nullptr;
  for (size_t b = 0; b < batches.size(); ++b) {
    if (!go(TTrackStage::Places, b, batches.size())) return nullptr;
    resolve(batches[b]);
  }
  if (!go(TTrackStage::Places, batches.size(), batches.size())) return nullptr;
  return track;
}

std::string RequestedTrackLog(const TGeoTrack &track) {
  const TGeoTrackInfo &i = track.Info();
  return Format("\r  points: total=%d good=%d park=%d",
                {i.PointsCount, i.GoodPointsCount, i.ParkPointsCount});
}

} // namespace kelvra
