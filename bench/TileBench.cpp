// A tile that has scrolled out of the memory caches comes back from the disk cache: read the file,
// decode the PNG, make the premultiplied bitmap and keep all three in the caches. Ours:
// TTileStorage::GetTile of a tile that is only on disk (the file is in the system's page cache
// after the first read, as a tile of a map one pans around in is). Baseline: the bare libpng
// decode of the same bytes into a buffer made beforehand.
#include <png.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "BenchFigures.h"
#include "core/map/TileStorage.h"
#include "sim/SimPng.h"

namespace {

using namespace kelvra;

constexpr int kSize = 256;

// Something like a street map: a pale ground, blocks of buildings, parks, water and roads with
// smooth edges, so the PNG compresses like a real tile (tens of kilobytes), not like a flat one.
std::vector<uint8_t> MapLikePixels() {
  std::mt19937 rnd(2024u);
  std::uniform_int_distribution<int> pos(-40, kSize + 40), len(8, 40);
  std::vector<uint8_t> px(kSize * kSize * 4);
  auto blend = [&px](int x, int y, const uint8_t(&c)[3], double a) {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize || a <= 0) return;
    uint8_t *p = &px[(std::size_t(y) * kSize + x) * 4];
    for (int k = 0; k < 3; ++k)
      p[k] = uint8_t(std::lround(p[k] * (1 - a) + c[k] * a));
    p[3] = 255;
  };
  const uint8_t ground[3] = {242, 239, 233}, building[3] = {217, 208, 201},
                park[3] = {205, 235, 176}, water[3] = {170, 211, 223}, road[3] = {255, 255, 255},
                casing[3] = {190, 180, 170};
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      blend(x, y, ground, 1);
  for (int i = 0; i < 6; ++i) { // parks and ponds: discs with a soft rim
    const int cx = pos(rnd), cy = pos(rnd), r = len(rnd);
    for (int y = cy - r - 1; y <= cy + r + 1; ++y)
      for (int x = cx - r - 1; x <= cx + r + 1; ++x)
        blend(x, y, i % 3 ? park : water, r + 0.5 - std::hypot(x - cx, y - cy));
  }
  for (int i = 0; i < 90; ++i) { // buildings
    const int x0 = pos(rnd), y0 = pos(rnd), w = len(rnd) / 2, h = len(rnd) / 2;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x)
        blend(x, y, building, 1);
  }
  for (int i = 0; i < 10; ++i) { // roads: straight lines with a casing, anti-aliased
    const double x0 = pos(rnd), y0 = pos(rnd), x1 = pos(rnd), y1 = pos(rnd);
    const double dx = x1 - x0, dy = y1 - y0, l = std::hypot(dx, dy) + 1e-9;
    const double width = 2 + i % 4;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (l * l), 0.0, 1.0);
        const double d = std::hypot(x - (x0 + t * dx), y - (y0 + t * dy));
        blend(x, y, casing, width + 1.5 - d);
        blend(x, y, road, width + 0.5 - d);
      }
  }
  return px;
}

struct TTileFixture {
  std::string dir;
  std::string png;
  TTile tile{15, 21500, 9300};
  TTileStorage storage{0};

  TTileFixture() {
    char name[] = "/tmp/kelvra-bench-tiles-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    dir = name;
    png = sim::EncodePng(kSize, kSize, MapLikePixels());
    storage.SetFileCacheBaseDir(dir);
    std::string error;
    TMemoryStream bytes(png.begin(), png.end());
    if (png.empty() || !storage.StoreInFileCache(tile, bytes, error)) std::abort();
  }
  ~TTileFixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

TTileFixture &Fixture() {
  static TTileFixture fixture;
  return fixture;
}

void BM_TileFromDisk(benchmark::State &state) {
  TTileFixture &f = Fixture();
  for (auto _ : state) {
    state.PauseTiming();
    f.storage.ClearCache();
    state.ResumeTiming();
    if (!f.storage.GetTile(f.tile)) state.SkipWithError("the tile was not read from disk");
  }
  state.counters["png_bytes"] = double(f.png.size());
}

void BM_LibpngDecode(benchmark::State &state) {
  TTileFixture &f = Fixture();
  std::vector<uint32_t> pixels(kSize * kSize);
  for (auto _ : state) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, f.png.data(), f.png.size()))
      state.SkipWithError("libpng refused the tile");
    img.format = PNG_FORMAT_BGRA;
    if (!png_image_finish_read(&img, nullptr, pixels.data(), 0, nullptr))
      state.SkipWithError("libpng could not decode the tile");
    benchmark::DoNotOptimize(pixels.data());
  }
}

} // namespace

BENCHMARK(BM_TileFromDisk)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibpngDecode)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
  return kelvra::bench::RunFigures(
      argc, argv, {{"tile from disk", "BM_TileFromDisk", "BM_LibpngDecode", 1, 1.3}});
}
