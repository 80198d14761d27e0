#pragma once
// The work of a report over many objects, run on a worker with a client of its own: the tracks
// are fetched and reduced one after another (memory holds one track at a time), then the events
// of the period and the addresses of the places the rows show.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/reports/ReportTable.h"
#include "core/reports/TrackReports.h"

namespace kelvra {

class TAddressCache;
class TKelvraClient;

struct TReportObject {
  int uid = 0;
  std::string name;
};

struct TReportJob {
  TReportKind kind = TReportKind::Trips;
  TDateTime dt1 = 0, dt2 = 0;
  std::vector<TReportObject> objects;
  std::map<int, std::string> trapKinds; // trap uid -> what the trap watches, for the events
};

// The stages of the work, in the order they run.
enum class TReportStage { Track, Reduce, Events, Places };
// How far a stage is, and for which object (empty for the stages of all objects); false stops
// the work at the next step.
using TReportProgress = std::function<bool(TReportStage stage, const std::string &object,
                                           size_t done, size_t total)>;

struct TReportOutcome {
  bool cancelled = false;
  std::string error; // why a request failed; the report is not made then
  bool Ok() const { return !cancelled && error.empty(); }
};

// Whether a kind of report reads the tracks, the events, the addresses of its places.
bool ReportNeedsTracks(TReportKind kind);
bool ReportNeedsEvents(TReportKind kind);
bool ReportNeedsPlaces(TReportKind kind);

// Fills the builder (made for the job's period, with the zones the summary counts). A period
// without messages is no error; a request that fails ends the work with the client's error.
// With addresses, the place ids of the rows that the cache does not know are looked up in
// batches.
TReportOutcome RunReportJob(TKelvraClient &client, const TReportJob &job, TReportBuilder &b,
                            TAddressCache *addresses, const TReportProgress &progress = {});

} // namespace kelvra
