// A refresh of the object list and a track reply turned into records, without the network. The
// baseline parses the same reply text into simdjson's DOM and nothing else, the least any reader
// of it has to do; the
// client's work on top (records, dates, the merge through the (uid, id) index) should stay within
// a small factor of it, and the items per second should not fall as the list grows tenfold.
#include "BenchFigures.h"

#include <string>

#include "core/client/client.h"

namespace {

std::string ObjectsReply(int aCount) {
  std::string text = R"({"dt":"2024-03-05T21:04:09Z","objects":[)";
  for (int i = 1; i <= aCount; ++i) {
    if (i > 1) text += ',';
    text += R"({"uid":)" + std::to_string(i) + R"(,"id":"dev-)" + std::to_string(i) +
            R"(","name":"Object )" + std::to_string(i) +
            R"(","track_color":"#00FF00","obj_id":)" + std::to_string(i) +
            R"(,"sys_dt":"2024-03-05T21:00:00Z","obj_dt":"2024-03-05T20:59:58Z","lat":57.99,)"
            R"("lon":56.27,"speed":12.5,"angle":90,"bat":80,"crd_src":0,)"
            R"("sensors":[{"uid":1,"name":"Battery","sign":"bat","unit":"%","val":"80"}]})";
  }
  return text + "]}";
}

std::string TrackReply(int aCount) {
  std::string text = "[";
  for (int i = 1; i <= aCount; ++i) {
    if (i > 1) text += ',';
    text += R"({"uid":)" + std::to_string(i) +
            R"(,"obj_id":1,"sys_dt":"2024-03-05T21:00:00Z","obj_dt":"2024-03-05T20:59:58Z",)"
            R"("gps_dt":"2024-03-05T20:59:57Z","lat":57.99,"lon":56.27,"alt":160,"acc":5,)"
            R"("speed":42,"angle":270,"bat":80,"crd_src":0})";
  }
  return text + "]";
}

void BM_Baseline_ParseObjectsReply(benchmark::State &state) {
  kelvra::bench::BM_SimdjsonDomParse(state, ObjectsReply(static_cast<int>(state.range(0))));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A refresh in which every cached object changed: each is found through the index and merged.
void BM_RefreshObjects(benchmark::State &state) {
  const std::string text = ObjectsReply(static_cast<int>(state.range(0)));
  kelvra::TKelvraClient client("", "", "0.125");
  const kelvra::TJsonReply first = kelvra::ParseJsonReply(text);
  client.MergeObjects(first.Root());
  for (auto _ : state) {
    const kelvra::TJsonReply reply = kelvra::ParseJsonReply(text);
    benchmark::DoNotOptimize(client.MergeObjects(reply.Root()));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Baseline_ParseTrackReply(benchmark::State &state) {
  kelvra::bench::BM_SimdjsonDomParse(state, TrackReply(static_cast<int>(state.range(0))));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ParseTrackPoints(benchmark::State &state) {
  const std::string text = TrackReply(static_cast<int>(state.range(0)));
  kelvra::TKelvraClient client("", "", "0.125");
  for (auto _ : state) {
    const kelvra::TJsonReply reply = kelvra::ParseJsonReply(text);
    std::vector<std::unique_ptr<kelvra::TTrackPointInfo>> points;
    points.reserve(static_cast<std::size_t>(state.range(0)));
    for (const kelvra::TJsonVal element : reply.Root().Elements())
      points.push_back(client.ParseTrackPoint(element));
    benchmark::DoNotOptimize(points.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_Baseline_ParseObjectsReply)->Arg(1000)->Arg(10000);
BENCHMARK(BM_RefreshObjects)->Arg(1000)->Arg(10000);
BENCHMARK(BM_Baseline_ParseTrackReply)->Arg(10000);
BENCHMARK(BM_ParseTrackPoints)->Arg(10000);
BENCHMARK_MAIN();
