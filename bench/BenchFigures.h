#pragma once
// The figures of a benchmark program: each divides the time of our code by the time of a
// baseline measured in the same run on the same data, so that a figure holds on a busy machine.
// Time is the CPU time of the whole process (every thread, user and system): on a machine shared
// with builds it measures the work done rather than the wait for a free core, and the work of a
// loopback exchange (the server thread, the kernel) still counts. Benchmarks therefore register
// with MeasureProcessCPUTime().
// Google Benchmark's table goes to stderr; stdout gets one line per figure, prefixed "FIGURE ",
// which bench/run collects.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <simdjson.h>

#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace kelvra::bench {

struct TFigure {
  std::string Name;
  std::string Ours;     // benchmark name (function and arguments, "BM_X/1000")
  std::string Baseline; // the same for the baseline
  double BaselineTimes; // the baseline counts this many times (10 for a scaling figure)
  double Target;        // the ratio must not be above it
};

// "FIGURE <name> <ratio> <target> ok|over"; a negative ratio means the figure was not measured.
inline void PrintFigure(const std::string &aName, double aRatio, double aTarget) {
  if (aRatio < 0)
    std::printf("FIGURE %-26s %7s  <= %-4g  not measured\n", aName.c_str(), "-", aTarget);
  else
    std::printf("FIGURE %-26s %7.2f  <= %-4g  %s\n", aName.c_str(), aRatio, aTarget,
                aRatio <= aTarget ? "ok" : "over");
  std::fflush(stdout);
}

// Keeps the fastest repetition of every benchmark: on a shared machine the slower ones measure
// the neighbours, not the code.
class TFigureReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &aRuns) override {
    for (const Run &run : aRuns) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0) continue;
      std::string key = run.run_name.function_name;
      if (!run.run_name.args.empty()) key += "/" + run.run_name.args;
      const double seconds = run.cpu_accumulated_time / double(run.iterations);
      auto [it, added] = fBest.emplace(key, seconds);
      if (!added && seconds < it->second) it->second = seconds;
    }
    ConsoleReporter::ReportRuns(aRuns);
  }

  // Seconds per iteration of the fastest repetition; negative when the benchmark did not run.
  double Best(const std::string &aKey) const {
    auto it = fBest.find(aKey);
    return it == fBest.end() ? -1 : it->second;
  }

private:
  std::map<std::string, double> fBest;
};

// The baseline of the reply figures: simdjson parsing a reply's text into its DOM, the least any
// reader of the reply has to do. One parser for every iteration, with its buffers already grown,
// and the text padded beforehand: the parse at its fastest.
inline void BM_SimdjsonDomParse(benchmark::State &aState, const std::string &aText) {
  const simdjson::padded_string text(aText);
  simdjson::dom::parser parser;
  for (auto _ : aState) {
    simdjson::dom::element root;
    if (parser.parse(text).get(root) != simdjson::SUCCESS) aState.SkipWithError("not JSON");
    benchmark::DoNotOptimize(root);
  }
}

// Runs the registered benchmarks (five repetitions each, interleaved, unless the command line
// says otherwise) and prints the figures.
inline int RunFigures(int aArgc, char **aArgv, const std::vector<TFigure> &aFigures) {
  std::vector<char *> args(aArgv, aArgv + aArgc);
  bool hasRepetitions = false;
  for (int i = 1; i < aArgc; ++i)
    if (std::string(aArgv[i]).rfind("--benchmark_repetitions", 0) == 0) hasRepetitions = true;
  static char repetitions[] = "--benchmark_repetitions=5";
  static char interleaving[] = "--benchmark_enable_random_interleaving=true";
  if (!hasRepetitions) {
    args.push_back(repetitions);
    args.push_back(interleaving);
  }
  int argc = int(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&argc, args.data());
  if (benchmark::ReportUnrecognizedArguments(argc, args.data())) return 1;

  // Freed memory stays with the allocator instead of going back to the system: otherwise a side
  // that frees its big result last pays the kernel for fresh pages on every iteration and the
  // other does not, and the figure compares page faults rather than work.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 32 << 20); // the largest it takes

  TFigureReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  for (const TFigure &f : aFigures) {
    const double ours = reporter.Best(f.Ours);
    const double base = reporter.Best(f.Baseline);
    PrintFigure(f.Name, ours > 0 && base > 0 ? ours / (base * f.BaselineTimes) : -1, f.Target);
  }
  return 0;
}

} // namespace kelvra::bench
