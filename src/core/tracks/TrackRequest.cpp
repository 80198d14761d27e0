#include "core/tracks/TrackRequest.h"

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
                                               const TPlaceBatcher::TResolve &resolve) {
  auto track = std::make_unique<TGeoTrack>(params.objId);
  track->SetSign(params.sign);
  track->SetLayer(0);
  const size_t style =
      params.style >= 0 && static_cast<size_t>(params.style) < GeoTrackStyles.size()
          ? static_cast<size_t>(params.style)
          : 0;
  track->SetStyle(GeoTrackStyles[style]);
  TPlaceBatcher places(kPlaceBatch, resolve);
  TTrackPointList copy;
  copy.reserve(points.size());
  for (const auto &p : points) {
    if (!p) continue;
    copy.push_back(std::make_unique<TTrackPointInfo>(*p));
    if (resolve) places.Add(p->osm_id);
  }
  places.Flush();
  track->Assign(std::move(copy));
  if (params.markParking) track->MarkParking();
  track->UpdateInfo();
  return track;
}

std::string RequestedTrackLog(const TGeoTrack &track) {
  const TGeoTrackInfo &i = track.Info();
  return Format("\r  points: total=%d good=%d park=%d",
                {i.PointsCount, i.GoodPointsCount, i.ParkPointsCount});
}

} // namespace kelvra
