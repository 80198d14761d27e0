// Statistics and the parking search run over whole tracks (a day of a tracker that reports every
// few seconds is tens of thousands of points). The baseline walks the same points once with the
// ellipsoidal distance between neighbours, the least a pass over a track does; UpdateInfo and
// MarkParking should stay within a small factor of it at every size (both are linear).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

#include "core/map/geo_utils.h"
#include "core/tracks/GeoTrack.h"

namespace {

using kelvra::TTrackPointInfo;
using kelvra::TTrackPointList;

// Driving stretches and stays of a few minutes, one point every 5 to 60 seconds.
TTrackPointList MakeTrack(int n) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0, 1);
  TTrackPointList pts;
  pts.reserve(n);
  double lat = 58, lon = 56, t = 45356;
  bool staying = false;
  for (int k = 0; k < n; ++k) {
    if (u(rng) < 0.02) staying = !staying;
    t += (5 + u(rng) * 55) / 86400;
    const double move = staying ? u(rng) * 10 : 50 + u(rng) * 300;
    const double heading = u(rng) * 2 * M_PI;
    lat += move * std::cos(heading) / 111400;
    lon += move * std::sin(heading) / 59000;
    auto p = std::make_unique<TTrackPointInfo>(k + 1, 1);
    p->lat = lat;
    p->lon = lon;
    p->obj_dt = p->sys_dt = p->gps_dt = t;
    p->acc = 10 + u(rng) * 30;
    p->speed = staying ? u(rng) * 2 : 20 + u(rng) * 60;
    pts.push_back(std::move(p));
  }
  return pts;
}

void BM_Baseline_Distances(benchmark::State &state) {
  const TTrackPointList pts = MakeTrack(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    double sum = 0;
    for (size_t k = 1; k < pts.size(); ++k)
      sum += kelvra::DistanceBetween(pts[k - 1]->lat, pts[k - 1]->lon, pts[k]->lat, pts[k]->lon);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_UpdateInfo(benchmark::State &state) {
  kelvra::TGeoTrack track;
  track.Assign(MakeTrack(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    track.UpdateInfo();
    benchmark::DoNotOptimize(track.Info().Distance);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_MarkParking(benchmark::State &state) {
  for (auto _ : state) {
    state.PauseTiming();
    kelvra::TGeoTrack track;
    track.Assign(MakeTrack(static_cast<int>(state.range(0))));
    state.ResumeTiming();
    track.MarkParking();
    benchmark::DoNotOptimize(track.Points().size());
    state.PauseTiming();
    track.Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_Baseline_Distances)->Arg(10000)->Arg(100000);
BENCHMARK(BM_UpdateInfo)->Arg(10000)->Arg(100000);
BENCHMARK(BM_MarkParking)->Arg(10000)->Arg(100000);
BENCHMARK_MAIN();
