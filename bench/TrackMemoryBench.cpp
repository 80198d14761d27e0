// What holding a long track costs in memory.
//   track memory:              a TGeoTrack of 1,000,000 points (every field of a message filled,
//                              no sensor values) that takes over a list of points made one by one
//                              and computes its statistics vs 14 doubles per point (112 MB), the
//                              plain numbers of a message.
//   track memory with sensors: the same when every point also carries three sensor values, as the
//                              points of a track reply do, vs 14 doubles and three 16-byte values
//                              per point (160 MB).
// Each side runs in a child process of its own,
// which resets its peak (/proc/self/clear_refs) and reports VmHWM minus the VmRSS it started
// with, so neither side sees memory the other has freed.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchData.h"
#include "BenchFigures.h"
#include "core/tracks/GeoTrack.h"

namespace {

using namespace kelvra;

constexpr int kPoints = 1000000;

void HoldTrack() {
  TGeoTrack track("101");
  track.Assign(bench::TrackPoints(kPoints, kPoints / 500));
  benchmark::DoNotOptimize(track.Info().Distance);
}

void HoldTrackWithSensors() {
  auto points = bench::TrackPoints(kPoints, kPoints / 500);
  for (std::size_t i = 0; i < points.size(); ++i) {
    auto &sensors = points[i]->sensors;
    sensors.reserve(3); // as the reply reader does: one place per value of the reply
    sensors.emplace_back(1, "ign", "1");
    sensors.emplace_back(2, "odo", std::to_string(12000 + i / 60));
    sensors.emplace_back(3, "temp", std::to_string(20 + i % 7));
  }
  TGeoTrack track("101");
  track.Assign(std::move(points));
  benchmark::DoNotOptimize(track.Info().Distance);
}

void HoldDoubles() {
  std::vector<double> numbers(std::size_t(kPoints) * 14);
  for (std::size_t i = 0; i < numbers.size(); ++i)
    numbers[i] = double(i);
  benchmark::DoNotOptimize(numbers.data());
}

void HoldDoublesAndSensors() {
  struct TValue {
    int Uid;
    char Text[12];
  };
  static_assert(sizeof(TValue) == 16);
  std::vector<double> numbers(std::size_t(kPoints) * 14);
  for (std::size_t i = 0; i < numbers.size(); ++i)
    numbers[i] = double(i);
  std::vector<TValue> values(std::size_t(kPoints) * 3);
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = TValue{int(i % 3), {char('0' + i % 10)}};
  benchmark::DoNotOptimize(numbers.data());
  benchmark::DoNotOptimize(values.data());
}

} // namespace

int main() {
  using kelvra::bench::PeakAdded;
  const long long ours = PeakAdded(HoldTrack);
  const long long base = PeakAdded(HoldDoubles);
  const long long withSensors = PeakAdded(HoldTrackWithSensors);
  const long long baseSensors = PeakAdded(HoldDoublesAndSensors);
  std::fprintf(stderr, "track memory: ours %lld bytes (%.1f per point), baseline %lld bytes\n",
               ours, double(ours) / kPoints, base);
  std::fprintf(stderr,
               "with three sensor values per point: ours %lld bytes (%.1f per point), baseline "
               "%lld bytes\n",
               withSensors, double(withSensors) / kPoints, baseSensors);
  kelvra::bench::PrintFigure("track memory", ours > 0 && base > 0 ? double(ours) / base : -1, 2);
  kelvra::bench::PrintFigure("track memory with sensors",
                             withSensors > 0 && baseSensors > 0
                                 ? double(withSensors) / double(baseSensors)
                                 : -1,
                             2);
  return ours > 0 && base > 0 && withSensors > 0 && baseSensors > 0 ? 0 : 1;
}
