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
#include <sys/wait.h>
#include <unistd.h>
#include <simdjson.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace kelvra::bench {

struct TFigure {
  std::string Name;
  std::string Ours;     // benchmark name (function and arguments, "BM_X/1000")
  std::string Baseline; // the same for the baseline; empty: the figure is our time in milliseconds
                        // (a target the issue sets as a time, such as the time of one mouse move)
  double BaselineTimes; // the baseline counts this many times (10 for a scaling figure)
  double Target;        // the ratio must not be above it
};

// "FIGURE <name> <ratio> <target> ok|over <spread>"; a negative ratio means the figure was not
// measured. A figure measured once has no spread ("-").
inline void PrintFigure(const std::string &aName, double aRatio, double aTarget,
                        const std::string &aSpread = "-") {
  if (aRatio < 0)
    std::printf("FIGURE %-26s %7s  <= %-4g  %-12s %s\n", aName.c_str(), "-", aTarget,
                "not measured", aSpread.c_str());
  else
    std::printf("FIGURE %-26s %7.2f  <= %-4g  %-12s %s\n", aName.c_str(), aRatio, aTarget,
                aRatio <= aTarget ? "ok" : "over", aSpread.c_str());
  std::fflush(stdout);
}

// A figure measured in pairs (ours, then the baseline, again and again): each pair's ratio has
// met the same neighbours on the machine, so the median of the pairs holds when the load beside
// the run comes and goes; the spread is the lowest and the highest pair.
inline void PrintFigure(const std::string &aName, std::vector<double> aPairRatios, double aTarget) {
  if (aPairRatios.empty()) return PrintFigure(aName, -1, aTarget);
  std::sort(aPairRatios.begin(), aPairRatios.end());
  const std::size_t n = aPairRatios.size();
  const double median =
      n % 2 ? aPairRatios[n / 2] : (aPairRatios[n / 2 - 1] + aPairRatios[n / 2]) / 2;
  char spread[64];
  std::snprintf(spread, sizeof spread, "%.2f-%.2f (%zu pairs)", aPairRatios.front(),
                aPairRatios.back(), n);
  PrintFigure(aName, median, aTarget, spread);
}

// The number of pairs a figure is measured in: --pairs=N on the command line (taken out of the
// arguments), else KELVRA_BENCH_PAIRS, else 5.
inline int TakePairsArgument(std::vector<char *> &aArgs) {
  int pairs = 5;
  if (const char *env = std::getenv("KELVRA_BENCH_PAIRS")) pairs = std::atoi(env);
  for (auto it = aArgs.begin(); it != aArgs.end();) {
    if (std::strncmp(*it, "--pairs=", 8) == 0) {
      pairs = std::atoi(*it + 8);
      it = aArgs.erase(it);
    } else {
      ++it;
    }
  }
  return pairs > 0 ? pairs : 1;
}

// Keeps the time of the last run of every benchmark.
class TFigureReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &aRuns) override {
    for (const Run &run : aRuns) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0) continue;
      std::string key = run.run_name.function_name;
      if (!run.run_name.args.empty()) key += "/" + run.run_name.args;
      fLast[key] = run.cpu_accumulated_time / double(run.iterations);
    }
    ConsoleReporter::ReportRuns(aRuns);
  }

  // Seconds per iteration of the last run, forgotten once taken; negative when it did not run.
  double Take(const std::string &aKey) {
    auto it = fLast.find(aKey);
    if (it == fLast.end()) return -1;
    const double seconds = it->second;
    fLast.erase(it);
    return seconds;
  }

private:
  std::map<std::string, double> fLast;
};

// A filter that selects the benchmark aKey ("BM_X/1000") and no other ("BM_X/10000").
inline std::string ExactFilter(const std::string &aKey) {
  std::string filter = "^";
  for (char c : aKey) {
    if (std::strchr(".[]()*+?^$|\\{}", c)) filter += '\\';
    filter += c;
  }
  return filter + "(/|$)";
}

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

// Runs every figure's benchmarks in interleaved pairs and prints the figures.
inline int RunFigures(int aArgc, char **aArgv, const std::vector<TFigure> &aFigures) {
  std::vector<char *> args(aArgv, aArgv + aArgc);
  const int pairs = TakePairsArgument(args);
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
  for (const TFigure &f : aFigures) {
    std::vector<double> ratios;
    for (int k = 0; k < pairs; ++k) {
      benchmark::RunSpecifiedBenchmarks(&reporter, ExactFilter(f.Ours));
      const double ours = reporter.Take(f.Ours);
      if (f.Baseline.empty()) {
        if (ours > 0) ratios.push_back(ours * 1000);
        continue;
      }
      benchmark::RunSpecifiedBenchmarks(&reporter, ExactFilter(f.Baseline));
      const double base = reporter.Take(f.Baseline);
      if (ours > 0 && base > 0) ratios.push_back(ours / (base * f.BaselineTimes));
    }
    PrintFigure(f.Name, ratios, f.Target);
  }
  benchmark::Shutdown();
  return 0;
}

// --- memory figures -------------------------------------------------------------------------------

// A field of /proc/self/status in bytes; -1 when absent.
inline long long StatusBytes(const char *aField) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(aField);
  while (std::getline(in, line))
    if (line.compare(0, n, aField) == 0 && line.size() > n && line[n] == ':')
      return std::stoll(line.substr(n + 1)) * 1024; // the kernel writes kB
  return -1;
}

// Runs aWork in a child process and returns the peak resident memory it added, in bytes; -1 when
// the child failed (aWork may _exit(1) to say so). The child resets its peak
// (/proc/self/clear_refs) and reports VmHWM minus the VmRSS it started with, so it never sees
// memory the parent or another side has freed.
template <class F> long long PeakAdded(F aWork) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    close(pipeFds[0]);
    { std::ofstream("/proc/self/clear_refs") << "5"; } // the peak starts again from now
    const long long before = StatusBytes("VmRSS");
    aWork();
    long long added = StatusBytes("VmHWM") - before;
    if (write(pipeFds[1], &added, sizeof added) != sizeof added) _exit(1);
    _exit(0);
  }
  close(pipeFds[1]);
  long long added = -1;
  if (read(pipeFds[0], &added, sizeof added) != sizeof added) added = -1;
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? added : -1;
}

} // namespace kelvra::bench
