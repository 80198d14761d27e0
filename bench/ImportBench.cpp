// A big file coming in, and the table that shows it.
//   CSV to GPX:     bench/tools/Csv2Gpx.cpp (the program's CSV import and GPX export, one process)
//                   converting a 1,000,000-row CSV vs GPSBabel converting the same file
//                   (gpsbabel -i unicsv -o gpx), the CPU time of each process, best of three.
//   import scaling: the import (file read, header, every row into a TGeoTrack with its statistics)
//                   of 1,000,000 rows vs ten times the import of 100,000.
//   dump table:     the track dump window's model given a 1,000,000-point track and sorted by speed
//                   vs std::stable_sort of the same 1,000,000 speeds with their indexes.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "BenchData.h"
#include "BenchFigures.h"
#include "core/tracks/TrackDump.h"
#include "core/tracks/TrackFileParser.h"
#include "ui/tracks/TrackDumpForm.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

namespace fs = std::filesystem;

// A CSV of aRows one-second fixes with GPSBabel's unicsv column names.
std::string CsvFile(int aRows) {
  static std::map<int, std::string> files;
  auto it = files.find(aRows);
  if (it != files.end()) return it->second;
  const std::string name = (WorkDir() / ("track-" + std::to_string(aRows) + ".csv")).string();
  const auto points = TrackPoints(aRows, aRows / 500);
  std::FILE *f = std::fopen(name.c_str(), "wb");
  if (!f) std::abort();
  std::fputs("lat,lon,alt,speed,course,iso_time\n", f);
  for (int i = 0; i < aRows; ++i) {
    const TTrackPointInfo &p = *points[std::size_t(i)];
    const std::time_t t = std::time_t(kStart + i);
    std::tm u{};
    gmtime_r(&t, &u);
    std::fprintf(f, "%.6f,%.6f,%.2f,%.2f,%.0f,%04d-%02d-%02dT%02d:%02d:%02dZ\n", p.lat, p.lon,
                 p.alt, p.speed, p.angle, u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour,
                 u.tm_min, u.tm_sec);
  }
  if (std::fclose(f) != 0) std::abort();
  return files.emplace(aRows, name).first->second;
}

// The import as the import dialog runs it.
std::unique_ptr<TGeoTrack> Import(const std::string &aFile) {
  TTrackFileParser parser;
  if (parser.LoadFromFile(aFile) < 0) return nullptr;
  parser.SetSeparator(",");
  std::string error;
  if (!parser.Parse(error)) return nullptr;
  TColumnMap columns = GuessColumns(parser.Headers());
  columns[pfTime] = 5;
  columns[pfBearing] = 4;
  return parser.MakeTrack(columns, "csv", 0, 0).Track;
}

void BM_Import(benchmark::State &state) {
  const int rows = int(state.range(0));
  const std::string file = CsvFile(rows);
  for (auto _ : state) {
    auto track = Import(file);
    if (!track || int(track->Points().size()) != rows) state.SkipWithError("the import failed");
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

// --- dump table ----------------------------------------------------------------------------------

constexpr int kDumpPoints = 1000000;

const TGeoTrack &DumpTrack() {
  static const std::unique_ptr<TGeoTrack> track = [] {
    auto t = std::make_unique<TGeoTrack>("101");
    t->Assign(TrackPoints(kDumpPoints, kDumpPoints / 500));
    return t;
  }();
  return *track;
}

void BM_DumpTable(benchmark::State &state) {
  const TGeoTrack &track = DumpTrack();
  for (auto _ : state) {
    TTrackDumpModel model;
    model.SetTrack(&track);
    model.sort(dcSpeed, Qt::AscendingOrder);
    benchmark::DoNotOptimize(model.PointAt(0));
  }
}

void BM_StableSortSpeeds(benchmark::State &state) {
  std::vector<std::pair<double, int>> speeds;
  for (const auto &p : DumpTrack().Points())
    speeds.emplace_back(p->speed, int(speeds.size()));
  for (auto _ : state) {
    std::vector<std::pair<double, int>> rows = speeds;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    benchmark::DoNotOptimize(rows.data());
  }
}

// --- CSV to GPX, two processes -------------------------------------------------------------------

// The CPU time (user and system) of a child process running aArgs; negative when it failed.
double ChildCpuSeconds(const std::vector<std::string> &aArgs) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    std::vector<char *> argv;
    for (const std::string &a : aArgs) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void CsvToGpxFigure(const char *aSelf, int aPairs) {
  constexpr int kRows = 1000000;
  const std::string csv = CsvFile(kRows);
  const fs::path tool = fs::path(aSelf).parent_path() / "csv2gpx";
  const std::string ours = (WorkDir() / "ours.gpx").string();
  const std::string theirs = (WorkDir() / "gpsbabel.gpx").string();
  // In pairs, each side in a child process of its own, so both meet the same neighbours.
  std::vector<double> ratios;
  for (int k = 0; k < aPairs; ++k) {
    const double oursSec = ChildCpuSeconds({tool.string(), csv, ours});
    const double baseSec =
        ChildCpuSeconds({"gpsbabel", "-t", "-i", "unicsv", "-f", csv, "-o", "gpx", "-F", theirs});
    std::fprintf(stderr, "CSV to GPX: csv2gpx %.3f s, gpsbabel %.3f s (CPU)\n", oursSec, baseSec);
    if (baseSec < 0) {
      std::fprintf(stderr, "CSV to GPX: gpsbabel did not run (is it installed?)\n");
      break;
    }
    if (oursSec > 0) ratios.push_back(oursSec / baseSec);
  }
  PrintFigure("CSV to GPX", ratios, 0.4);
}

} // namespace

BENCHMARK(BM_Import)->Arg(100000)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DumpTable)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StableSortSpeeds)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  std::vector<char *> args(argv, argv + argc);
  const int pairs = kelvra::bench::TakePairsArgument(args);
  const int status = kelvra::bench::RunFigures(
      argc, argv,
      {{"import scaling", "BM_Import/1000000", "BM_Import/100000", 10, 1.3},
       {"dump table", "BM_DumpTable", "BM_StableSortSpeeds", 1, 3}});
  CsvToGpxFigure(argv[0], pairs);
  std::error_code ec;
  fs::remove_all(WorkDir(), ec);
  return status;
}
