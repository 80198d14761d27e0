// A month of one-second tracking is millions of points: fetching, analysing and exporting them
// must stay a small factor away from the least work the task needs.
//   track reply:      GetTrack of a 100,000-point reply over loopback HTTP (request, transfer,
//                     parse, the previous track freed, points into TrackList) vs simdjson parsing
//                     the same text into its DOM.
//   track analysis:   MarkParking + UpdateInfo of a 1,000,000-point track with 2,000 stays and GPS
//                     jitter vs one pass of DistanceBetween over consecutive points of the same
//                     list.
//   analysis scaling: the same on 1,000,000 points vs ten times 100,000 points (200 stays).
//   GPX export:       ExportTrack of 1,000,000 points to a GPX file vs fprintf of the same text
//                     (checked byte for byte on a short track) to a file.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "BenchData.h"
#include "BenchFigures.h"
#include "core/client/client.h"
#include "core/map/geo_utils.h"
#include "core/tracks/GeoTrack.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

constexpr int kReplyPoints = 100000;
constexpr int kPointsPerStay = 500; // 2,000 stays in 1,000,000 points

const std::string &TrackReplyText() {
  static const std::string text = TrackReply(kReplyPoints);
  return text;
}

TReplyServer &Server() {
  TrackReplyText(); // made first, so that it outlives the server at exit
  static TReplyServer server;
  static const bool started = [] {
    server.Serve(R"(/api/v1/object/\d+/track)",
                 [](const httplib::Request &) -> const std::string & { return TrackReplyText(); });
    return server.Start();
  }();
  if (!started) std::abort();
  return server;
}

// One client for every iteration, as the program keeps one for its life and the baseline keeps
// one parser: each GetTrack frees the previous track's points and makes the new ones.
void BM_TrackReply(benchmark::State &state) {
  const std::string url = Server().BaseUrl();
  const TDateTime dt1 = UnixToDateTime(kStart, false);
  const TDateTime dt2 = UnixToDateTime(kStart + kReplyPoints, false);
  TKelvraClient client(url, "bench-token", "0");
  for (auto _ : state) {
    if (client.GetTrack(101, dt1, dt2, 1, 0) != kReplyPoints)
      state.SkipWithError("GetTrack did not read every point");
  }
  state.SetItemsProcessed(state.iterations() * kReplyPoints);
}

void BM_TrackDomParse(benchmark::State &state) {
  BM_SimdjsonDomParse(state, TrackReplyText());
  state.SetItemsProcessed(state.iterations() * kReplyPoints);
}

// Generated once per size; every analysis works on a fresh copy, since MarkParking changes it.
const TTrackPointList &Points(int aCount) {
  static std::map<int, TTrackPointList> lists;
  auto it = lists.find(aCount);
  if (it == lists.end())
    it = lists.emplace(aCount, TrackPoints(aCount, aCount / kPointsPerStay)).first;
  return it->second;
}

TTrackPointList CopyOf(const TTrackPointList &aPoints) {
  TTrackPointList copy;
  copy.reserve(aPoints.size());
  for (const auto &p : aPoints)
    copy.push_back(std::make_unique<TTrackPointInfo>(*p));
  return copy;
}

void BM_TrackAnalysis(benchmark::State &state) {
  const int count = int(state.range(0));
  const TTrackPointList &points = Points(count);
  int stays = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto track = std::make_unique<TGeoTrack>("101");
    track->Points() = CopyOf(points);
    state.ResumeTiming();
    track->MarkParking();
    track->UpdateInfo();
    state.PauseTiming();
    stays = track->Info().ParkingCount;
    track.reset();
    state.ResumeTiming();
  }
  state.counters["stays"] = stays;
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_DistancePass(benchmark::State &state) {
  const TTrackPointList &points = Points(int(state.range(0)));
  for (auto _ : state) {
    double sum = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
      sum +=
          DistanceBetween(points[i - 1]->lat, points[i - 1]->lon, points[i]->lat, points[i]->lon);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// --- GPX
// ------------------------------------------------------------------------------------------

std::string TempName(const char *aExt) {
  return (std::filesystem::temp_directory_path() /
          ("kelvra-bench-" + std::to_string(getpid()) + aExt))
      .string();
}

// The export's layout written with fprintf: the least a writer of this file has to do.
bool FprintfGpx(const TGeoTrack &aTrack, const std::string &aFile) {
  FILE *f = std::fopen(aFile.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f,
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\r<gpx version=\"1.0\">\r\n"
               "<name>%s</name>\r\n<trk><name>%s</name><number>1</number><trkseg>\r\n",
               aTrack.Sign().c_str(), aTrack.Sign().c_str());
  for (const auto &ptr : aTrack.Points()) {
    const TTrackPointInfo &p = *ptr;
    // Days since 1899-12-30 to Unix seconds, rounded to the millisecond first.
    const long long ms = std::llround((p.gps_dt - 25569.0) * 86400000.0);
    const time_t t = time_t(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    struct tm u {};
    gmtime_r(&t, &u);
    std::fprintf(f,
                 "<trkpt lat=\"%.6f\" lon=\"%.6f\"><time>%04d-%02d-%02dT%02d:%02d:%02dZ</time>"
                 "<ele>%.2f</ele><speed>%.2f</speed><magvar>%.2f</magvar><pdop>%.2f</pdop>"
                 "</trkpt>\r\n",
                 p.lat, p.lon, u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min,
                 u.tm_sec, p.alt, p.speed, p.angle, p.acc);
  }
  std::fputs("</trkseg></trk>\r\n</gpx>\r\n", f);
  return std::fclose(f) == 0;
}

std::unique_ptr<TGeoTrack> GpxTrack(int aCount) {
  auto track = std::make_unique<TGeoTrack>("101");
  track->SetSign("Van 101");
  track->Points() = CopyOf(Points(aCount));
  return track;
}

std::string FileText(const std::string &aFile) {
  std::ifstream in(aFile, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The baseline must write what the export writes, or the figure compares different work.
bool SameGpxText() {
  auto track = GpxTrack(2000);
  std::string ours = TempName(".gpx"), base = TempName(".base.gpx");
  const bool ok = track->ExportTrack(ours, 2) > 0 && FprintfGpx(*track, base) &&
                  FileText(ours) == FileText(base);
  std::remove(ours.c_str());
  std::remove(base.c_str());
  return ok;
}

void BM_ExportGpx(benchmark::State &state) {
  if (!SameGpxText()) {
    state.SkipWithError("the fprintf baseline does not write the export's text");
    return;
  }
  const auto track = GpxTrack(int(state.range(0)));
  std::string file = TempName(".gpx");
  for (auto _ : state)
    if (track->ExportTrack(file, 2) <= 0) state.SkipWithError("the export failed");
  std::remove(file.c_str());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FprintfGpx(benchmark::State &state) {
  const auto track = GpxTrack(int(state.range(0)));
  const std::string file = TempName(".base.gpx");
  for (auto _ : state)
    if (!FprintfGpx(*track, file)) state.SkipWithError("fprintf could not write the file");
  std::remove(file.c_str());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_TrackReply)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackDomParse)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackAnalysis)
    ->Arg(100000)
    ->Arg(1000000)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DistancePass)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportGpx)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FprintfGpx)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  return kelvra::bench::RunFigures(
      argc, argv,
      {{"track reply", "BM_TrackReply", "BM_TrackDomParse", 1, 2},
       {"track analysis", "BM_TrackAnalysis/1000000", "BM_DistancePass/1000000", 1, 4},
       {"analysis scaling", "BM_TrackAnalysis/1000000", "BM_TrackAnalysis/100000", 10, 1.3},
       {"GPX export", "BM_ExportGpx/1000000", "BM_FprintfGpx/1000000", 1, 1.2}});
}
