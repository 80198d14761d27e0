// The update cycle refreshes the whole object list every minute; a fleet of thousands of objects
// must not stall the window. Ours: the second GetObjects of a client (the one with "dt", which
// merges changed objects into the cache) over a real loopback HTTP exchange. Baseline: simdjson
// parsing the same reply text into its DOM, the least any reader of the reply has to do.
#include <ctime>
#include <map>

#include "BenchData.h"
#include "BenchFigures.h"
#include "core/client/client.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

struct TObjectReplies {
  std::string First;   // the full list, asked for by an empty cache
  std::string Changed; // every object changed a minute later
};

const int kSizes[] = {1000, 10000};
const int64_t kNow = std::time(nullptr);

const TObjectReplies &Replies(int aCount) {
  static std::map<int, TObjectReplies> replies;
  auto it = replies.find(aCount);
  if (it == replies.end())
    it = replies
             .emplace(aCount,
                      TObjectReplies{ObjectsReply(aCount, 0, kNow), ObjectsReply(aCount, 1, kNow)})
             .first;
  return it->second;
}

TReplyServer &Server() {
  // The replies are made first so that they outlive the server at exit.
  for (int n : kSizes)
    Replies(n);
  static TReplyServer server;
  static const bool started = [] {
    server.Serve(R"(/n(\d+)/api/v1/user/objects)",
                 [](const httplib::Request &aReq) -> const std::string & {
                   const TObjectReplies &r = Replies(std::stoi(aReq.matches[1]));
                   return aReq.has_param("dt") ? r.Changed : r.First;
                 });
    return server.Start();
  }();
  if (!started) std::abort();
  return server;
}

void BM_ObjectRefresh(benchmark::State &state) {
  const int count = int(state.range(0));
  const std::string url = Server().BaseUrl() + "/n" + std::to_string(count);
  for (auto _ : state) {
    state.PauseTiming();
    auto client = std::make_unique<TKelvraClient>(url, "bench-token", "0");
    const int first = client->GetObjects();
    state.ResumeTiming();
    const int second = client->GetObjects();
    state.PauseTiming();
    if (first != count || second != count || int(client->ObjList().size()) != count)
      state.SkipWithError("the refresh did not merge every object");
    client.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_ObjectsDomParse(benchmark::State &state) {
  BM_SimdjsonDomParse(state, Replies(int(state.range(0))).Changed);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_ObjectRefresh)
    ->Arg(1000)
    ->Arg(10000)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectsDomParse)->Arg(10000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  return kelvra::bench::RunFigures(
      argc, argv,
      {{"object refresh", "BM_ObjectRefresh/10000", "BM_ObjectsDomParse/10000", 1, 2},
       {"refresh scaling", "BM_ObjectRefresh/10000", "BM_ObjectRefresh/1000", 10, 1.2}});
}
