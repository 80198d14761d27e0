#pragma once
// A track the service sent, turned into a track of the map: copies of the points, their place
// ids resolved in batches as they are met, parking stays marked and the statistics made.

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/tracks/GeoTrack.h"

namespace kelvra {

// Distinct place ids in the order they first occur, handed on in batches of at most `size`.
class TPlaceBatcher {
public:
  using TResolve = std::function<void(const std::vector<std::string> &ids)>;
  TPlaceBatcher(size_t size, TResolve resolve)
      : fSize(size ? size : 1), fResolve(std::move(resolve)) {}
  void Add(const std::string &id);
  // Hands on what is left.
  void Flush();

private:
  size_t fSize;
  TResolve fResolve;
  std::vector<std::string> fBatch;
  std::unordered_set<std::string> fSeen;
};

inline constexpr size_t kPlaceBatch = 50;

struct TTrackRequestParams {
  std::string objId; // the object's id
  std::string sign;  // the track's sign
  int style = 0;     // index into GeoTrackStyles; out of range takes the first
  bool markParking = true;
  TDisplayZone clock{}; // the clock of the points' times (the client's display clock)
};

// The stages of a requested track, in the order they run (Transfer, the request and the reading of
// its reply, is the client's; BuildRequestedTrack reports the others).
enum class TTrackStage { Transfer, Copying, Parking, Statistics, Places };
// How far a stage is (done of total); false stops the work at the next step.
using TStageProgress = std::function<bool(TTrackStage stage, size_t done, size_t total)>;

// Copies the points into a new track (layer 0, visible), marks its parking stays, makes its
// statistics and, when resolve is given, resolves its place ids (in the order they first occur)
// in batches of kPlaceBatch. Linear in the points. With progress, each stage reports as it goes;
// once progress says stop, nothing more is done (no further batch is looked up) and the result is
// null: nothing half-built is handed back.
std::unique_ptr<TGeoTrack> BuildRequestedTrack(const TTrackPointList &points,
                                               const TTrackRequestParams &params,
                                               const TPlaceBatcher::TResolve &resolve = {},
                                               const TStageProgress &progress = {});

// "\r  points: total=%d good=%d park=%d" for a requested track.
std::string RequestedTrackLog(const TGeoTrack &track);

} // namespace kelvra
