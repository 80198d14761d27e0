// The reports over many objects.
//   report summary: the Summary report of 100 objects over 7 days (kelvra-sim in this process with
//                   --fleet 100 --history 7), as the reports window runs it on its worker: every
//                   track fetched, read, its stays marked and reduced, the events fetched, the
//                   table made; against fetching and reading the same tracks alone (GetTrack of
//                   each object over the same period, the points dropped after each).
// One client signed in once and kept across the runs, as the window's worker keeps its own.
#include <memory>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "core/client/client.h"
#include "core/model/ObjectInfo.h"
#include "core/reports/ReportJob.h"
#include "core/util/LumDates.h"
#include "core/util/LumHash.h"
#include "sim/SimServer.h"

namespace {

using namespace kelvra;

constexpr int kObjects = 100;
constexpr int kDays = 7;
constexpr int64_t kNow = 1765447200; // 11.12.2025 10:00 UTC: the sim's frozen clock

struct TReportScene {
  std::unique_ptr<SimServer> Sim;
  TLumHash Config;
  std::unique_ptr<TKelvraClient> Client;
  TReportJob Job;
  std::string Error;

  TReportScene() {
    TSimOptions options;
    options.fleet = kObjects;
    options.historyDays = kDays + 1;
    options.startTime = kNow;
    Sim = std::make_unique<SimServer>(options);
    if (!Sim->Start()) {
      Error = "kelvra-sim did not start: " + Sim->Error();
      return;
    }
    Config.SetVal("http_timeout", "600");
    TKelvraClientEnv env;
    env.Config = &Config;
    Client = std::make_unique<TKelvraClient>(Sim->BaseUrl() + "/", "", "0", env);
    if (!Client->Login(SimServer::kDemoUser, SimServer::kDemoPassword) || Client->GetObjects() < 0) {
      Error = "sign-in failed: " + Client->GetErrorMessage();
      return;
    }
    Job.kind = TReportKind::Summary;
    Job.dt2 = UnixToDateTime(kNow, false);
    Job.dt1 = Job.dt2 - kDays;
    for (const auto &o : Client->ObjList()) {
      if (int(Job.objects.size()) == kObjects) break;
      Job.objects.push_back({o->uid, o->name});
    }
    if (int(Job.objects.size()) < kObjects) Error = "the sim has fewer objects than the report";
  }
};

std::unique_ptr<TReportScene> gScene;

TReportScene &Scene() {
  if (!gScene) gScene = std::make_unique<TReportScene>();
  return *gScene;
}

void BM_ReportSummary(benchmark::State &aState) {
  TReportScene &s = Scene();
  if (!s.Error.empty()) return aState.SkipWithError(s.Error.c_str());
  size_t rows = 0;
  for (auto _ : aState) {
    TReportBuilder builder(s.Job.dt1, s.Job.dt2);
    const TReportOutcome out = RunReportJob(*s.Client, s.Job, builder, nullptr);
    if (!out.Ok()) return aState.SkipWithError(("the report failed: " + out.error).c_str());
    const TReportTable table = MakeReportTable(TReportKind::Summary, builder, "100 objects");
    rows = table.rows.size();
    benchmark::DoNotOptimize(table.Totals());
  }
  if (rows < size_t(kObjects)) aState.SkipWithError(("the summary has too few rows: " + std::to_string(rows)).c_str());
}

void BM_FetchTracks(benchmark::State &aState) {
  TReportScene &s = Scene();
  if (!s.Error.empty()) return aState.SkipWithError(s.Error.c_str());
  for (auto _ : aState)
    for (const TReportObject &o : s.Job.objects) {
      if (s.Client->GetTrack(o.uid, s.Job.dt1, s.Job.dt2) < 0 && s.Client->ResultCode() != 204)
        return aState.SkipWithError(("GetTrack failed: " + s.Client->GetErrorMessage()).c_str());
      s.Client->TrackList().clear();
    }
}

} // namespace

BENCHMARK(BM_ReportSummary)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FetchTracks)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv) {
  const int status = kelvra::bench::RunFigures(
      argc, argv, {{"report summary", "BM_ReportSummary", "BM_FetchTracks", 1, 1.3}});
  gScene.reset();
  return status;
}
