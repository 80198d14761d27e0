#pragma once
// The search for stays of TGeoTrack::MarkParking, for a track being built on a worker (a requested,
// filtered or imported track), told how far it is.

#include <cstddef>
#include <functional>

namespace kelvra {

class TGeoTrack;

// TGeoTrack::MarkParking with progress: told (points looked at, points) at the start, now and then
// and at the end. Once progress returns false the search stops and gives false, with the stays
// found so far marked: the caller drops the track then.
bool MarkParking(TGeoTrack &track, const std::function<bool(size_t done, size_t total)> &progress);

} // namespace kelvra
