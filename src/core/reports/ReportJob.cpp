#include "core/reports/ReportJob.h"

#include <algorithm>

#include "core/client/client.h"
#include "core/model/EventInfo.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackRequest.h"

namespace kelvra {

bool ReportNeedsTracks(TReportKind kind) { return kind != TReportKind::Events; }
bool ReportNeedsEvents(TReportKind kind) {
  return kind == TReportKind::Events || kind == TReportKind::Summary;
}
bool ReportNeedsPlaces(TReportKind kind) {
  return kind == TReportKind::Trips || kind == TReportKind::Stops;
}

TReportOutcome RunReportJob(TKelvraClient &client, const TReportJob &job, TReportBuilder &b,
                            TAddressCache *addresses, const TReportProgress &progress) {
  TReportOutcome out;
  auto go = [&](TReportStage stage, const std::string &object, size_t done, size_t total) {
    if (progress && !progress(stage, object, done, total)) out.cancelled = true;
    return !out.cancelled;
  };
  const size_t n = job.objects.size();
  if (ReportNeedsTracks(job.kind)) {
    for (size_t i = 0; i < n; ++i) {
      const TReportObject &o = job.objects[i];
      if (!go(TReportStage::Track, o.name, i, n)) return out;
      const int count = client.GetTrack(o.uid, job.dt1, job.dt2);
      if (count < 0 && client.ResultCode() != 204) {
        out.error = o.name + ": " + client.GetErrorMessage();
        return out;
      }
      if (!go(TReportStage::Reduce, o.name, i, n)) return out;
      if (count > 0) {
        // The points move into the track, so the reply's points and the track are never both
        // held; the track goes once it is reduced.
        TGeoTrack track(std::to_string(o.uid));
        track.Points() = std::move(client.TrackList());
        client.TrackList().clear();
        // Trips and stops are read in time order, whatever order the reply had.
        std::stable_sort(track.Points().begin(), track.Points().end(),
                         [](const auto &a, const auto &b) { return a->Compare(*b) < 0; });
        track.MarkParking();
        b.AddTrack(o.uid, o.name, track);
      }
    }
  }
  if (ReportNeedsEvents(job.kind)) {
    if (!go(TReportStage::Events, {}, 0, 0)) return out;
    if (client.GetEvents(job.dt1, job.dt2) < 0 && client.ResultCode() != 204) {
      out.error = client.GetErrorMessage();
      return out;
    }
    std::map<int, const std::string *> names;
    for (const TReportObject &o : job.objects) names[o.uid] = &o.name;
    for (const auto &e : client.EventList()) {
      auto it = names.find(e->obj_id);
      if (it == names.end()) continue;
      auto kind = job.trapKinds.find(e->trap_id);
      b.AddEvent(*e, *it->second, kind != job.trapKinds.end() ? kind->second : std::string());
    }
    client.EventList().clear();
  }
  if (addresses && ReportNeedsPlaces(job.kind)) {
    const std::vector<std::string> ids = b.PlaceIds();
    size_t done = 0;
    TPlaceBatcher batcher(kPlaceBatch, [&](const std::vector<std::string> &batch) {
      if (out.cancelled || !go(TReportStage::Places, {}, done, ids.size())) return;
      // An address that cannot be looked up is shown as coordinates: no reason to fail.
      client.OsmLookup(batch, *addresses);
      done += batch.size();
    });
    for (const std::string &id : ids) batcher.Add(id);
    batcher.Flush();
  }
  return out;
}

} // namespace kelvra
