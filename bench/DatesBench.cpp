// StrToDt runs for every date of every track point of a reply. The baseline reads the six numbers
// of the same texts with std::from_chars, the least a reader of these forms has to do; the fast
// path should stay within a small factor of it, the regular-expression path shows what it saves.
#include <benchmark/benchmark.h>

#include <charconv>
#include <string>
#include <vector>

#include "core/util/LumDates.h"

namespace {

std::vector<std::string> Texts() {
  std::vector<std::string> r;
  for (int i = 0; i < 1000; ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "2024-%02d-%02dT%02d:%02d:%02dZ", 1 + i % 12, 1 + i % 28, i % 24,
                  i % 60, (i * 7) % 60);
    r.emplace_back(buf);
  }
  return r;
}

void BM_Baseline_FromChars(benchmark::State &state) {
  const auto texts = Texts();
  for (auto _ : state) {
    for (const auto &s : texts) {
      int v[6];
      const int at[6] = {0, 5, 8, 11, 14, 17}, len[6] = {4, 2, 2, 2, 2, 2};
      for (int k = 0; k < 6; ++k)
        std::from_chars(s.data() + at[k], s.data() + at[k] + len[k], v[k]);
      benchmark::DoNotOptimize(v);
    }
  }
  state.SetItemsProcessed(state.iterations() * texts.size());
}

void BM_StrToDt(benchmark::State &state) {
  const auto texts = Texts();
  for (auto _ : state)
    for (const auto &s : texts)
      benchmark::DoNotOptimize(kelvra::StrToDt(s));
  state.SetItemsProcessed(state.iterations() * texts.size());
}

void BM_StrToDtByRe(benchmark::State &state) {
  const auto texts = Texts();
  for (auto _ : state)
    for (const auto &s : texts)
      benchmark::DoNotOptimize(kelvra::StrToDtByRe(s));
  state.SetItemsProcessed(state.iterations() * texts.size());
}

} // namespace

BENCHMARK(BM_Baseline_FromChars);
BENCHMARK(BM_StrToDt);
BENCHMARK(BM_StrToDtByRe);
BENCHMARK_MAIN();
