// Tile storage: budget split, FIFO caches, disk cache and its options.
#include "core/map/TileStorage.h"

#include "support/TempDir.h"
#include "support/TestPng.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace kelvra {
namespace {

struct TBudgetCase {
  const char *name;
  std::uint32_t budget;
  TCacheLimits limits;
};

class CacheBudgetTest : public testing::TestWithParam<TBudgetCase> {};

TEST_P(CacheBudgetTest, SplitsBetweenTheThreeCaches) {
  const auto &c = GetParam();
  const TTileStorage storage(c.budget);
  EXPECT_EQ(storage.BmpCache().Capacity(), c.limits.BmpCount);
  EXPECT_EQ(storage.BmpCache().SizeLimit(), c.limits.BmpCount * 262144u);
  EXPECT_EQ(storage.PngCache().Capacity(), c.limits.PngCount);
  EXPECT_EQ(storage.PngCache().SizeLimit(), c.limits.PngTotalSize);
  EXPECT_EQ(storage.StmCache().Capacity(), 0u);
  EXPECT_EQ(storage.StmCache().SizeLimit(), c.limits.StmSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CacheBudgetTest,
    testing::Values(TBudgetCase{"Default", 10000000, {12, 3333333, 996, 3520939}},
                    TBudgetCase{"ZeroMeansDefault", 0, {12, 3333333, 996, 3520939}},
                    TBudgetCase{"BitmapsCapped", 600000000, {750, 200000000, 750, 203392000}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TileFileAge, NeverBelowSevenDays) {
  const std::pair<int, int> cases[] = {{0, 30}, {-5, 30}, {1, 7}, {6, 7}, {7, 7}, {8, 8}, {365, 365}};
  for (const auto &[configured, days] : cases)
    EXPECT_EQ(TileFileMaxAgeDays(configured), days) << configured;
}

TTile T(std::uint32_t n) { return TTile{10, n, n + 1}; }

TEST(TileObjectCache, FirstInFirstOutEvenWhenFoundRecently) {
  TTileObjectCache<int> cache(12, 12 * 262144);
  for (int i = 0; i < 12; ++i)
    cache.Push(T(i), std::make_unique<int>(i), 262144);
  ASSERT_NE(cache.Find(T(0)), nullptr); // a find does not renew the entry
  cache.Push(T(12), std::make_unique<int>(12), 262144);
  EXPECT_EQ(cache.Find(T(0)), nullptr);
  for (int i = 1; i <= 12; ++i)
    ASSERT_NE(cache.Find(T(i)), nullptr) << i;
  EXPECT_EQ(cache.Count(), 12u);
  EXPECT_EQ(cache.TotalSize(), 12u * 262144);
}

TEST(TileObjectCache, ByteLimitEvictsOldestAndRejectsOversized) {
  TTileObjectCache<int> cache(0, 100);
  cache.Push(T(1), std::make_unique<int>(1), 40);
  cache.Push(T(2), std::make_unique<int>(2), 40);
  cache.Push(T(3), std::make_unique<int>(3), 40); // 120 > 100: the first goes
  EXPECT_EQ(cache.Find(T(1)), nullptr);
  EXPECT_EQ(cache.TotalSize(), 80u);

  // Too big on its own: refused (and freed), the cache keeps what it had.
  EXPECT_EQ(cache.Push(T(4), std::make_unique<int>(4), 101), nullptr);
  EXPECT_EQ(cache.Count(), 2u);
  EXPECT_EQ(cache.TotalSize(), 80u);
  EXPECT_EQ(*cache.Find(T(3)), 3);

  // A full count-limited cache keeps its byte limit too: making room for one
  // record is not enough when the newcomer is bigger.
  TTileObjectCache<int> both(2, 100);
  both.Push(T(1), std::make_unique<int>(1), 60);
  both.Push(T(2), std::make_unique<int>(2), 30);
  both.Push(T(3), std::make_unique<int>(3), 80);
  EXPECT_EQ(both.Find(T(1)), nullptr);
  EXPECT_EQ(both.Find(T(2)), nullptr);
  EXPECT_EQ(both.TotalSize(), 80u);

  cache.Clear();
  EXPECT_EQ(cache.Count(), 0u);
  EXPECT_EQ(cache.TotalSize(), 0u);
}

class TileStorageTest : public testing::Test {
protected:
  std::unique_ptr<TTileStorage> Make(TTileStorageOptions Options = 0) {
    auto s = std::make_unique<TTileStorage>(10000000);
    s->SetFileCacheBaseDir(fRoot);
    s->SetOptions(Options);
    return s;
  }
  static std::unique_ptr<TMemoryStream> Png(std::uint32_t Argb = 0xFF336699) {
    auto bytes = test::MakePng(Argb);
    return std::make_unique<TMemoryStream>(bytes.begin(), bytes.end());
  }
  void WriteFile(const TTile &Tile, const TMemoryStream &Data) {
    const fs::path p = FileOf(Tile);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char *>(Data.data()), std::streamsize(Data.size()));
  }
  fs::path FileOf(const TTile &Tile) const {
    return fs::path(fRoot) / std::to_string(Tile.Zoom) / std::to_string(Tile.ParameterX) /
           (std::to_string(Tile.ParameterY) + ".png");
  }

  test::TTempDir fDir;
  const std::string fRoot = fDir.Path(); // ends in "/"
  const TTile fTile{12, 2735, 1260};
};

TEST_F(TileStorageTest, StoredTileIsDrawableAndWrittenWithSlashes) {
  auto storage = Make();
  auto ms = Png(0x80FF0000); // half-transparent red
  std::string error;
  ASSERT_TRUE(storage->StoreTile(fTile, ms, error)) << error;
  EXPECT_EQ(ms, nullptr);
  EXPECT_EQ(storage->TilePath(fTile), fRoot + "12/2735/1260.png");
  EXPECT_TRUE(fs::is_regular_file(FileOf(fTile)));
  const TBitmap32 *bmp = storage->GetTile(fTile);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->fWidth, 256);
  EXPECT_EQ(bmp->fHeight, 256);
  EXPECT_EQ(bmp->fPixels[0], 0x80800000u); // premultiplied
  EXPECT_EQ(storage->GetTile(TTile{12, 2735, 1261}), nullptr);
}

TEST_F(TileStorageTest, EmptyTileFileIsDeletedAndReportedMissing) {
  WriteFile(fTile, {});
  auto storage = Make();
  EXPECT_EQ(storage->GetTile(fTile), nullptr);
  EXPECT_FALSE(fs::exists(FileOf(fTile)));
}

TEST_F(TileStorageTest, DamagedTileFileIsDeletedAndReportedMissing) {
  WriteFile(fTile, TMemoryStream{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 1, 2, 3});
  auto storage = Make();
  EXPECT_EQ(storage->GetTile(fTile), nullptr);
  EXPECT_FALSE(fs::exists(FileOf(fTile)));
  EXPECT_EQ(storage->StmCache().Count(), 0u);
}

struct TOptionsCase {
  const char *name;
  TTileStorageOptions options;
  bool readsFiles, writesFiles;
};

class TileStorageOptionsTest : public TileStorageTest,
                               public testing::WithParamInterface<TOptionsCase> {};

TEST_P(TileStorageOptionsTest, FileCacheUse) {
  const auto &c = GetParam();
  WriteFile(fTile, *Png());
  auto storage = Make(c.options);
  EXPECT_EQ(storage->GetTile(fTile) != nullptr, c.readsFiles);

  const TTile fresh{12, 1, 2};
  auto ms = Png();
  std::string error;
  ASSERT_TRUE(storage->StoreTile(fresh, ms, error)) << error;
  EXPECT_NE(storage->GetTile(fresh), nullptr); // in memory either way
  EXPECT_EQ(fs::exists(FileOf(fresh)), c.writesFiles);
}

INSTANTIATE_TEST_SUITE_P(Cases, TileStorageOptionsTest,
                         testing::Values(TOptionsCase{"ReadWrite", 0, true, true},
                                         TOptionsCase{"ReadOnly", tsoReadOnlyFileCache, true,
                                                      false},
                                         TOptionsCase{"NoFileCache", tsoNoFileCache, false, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(TileStorageTest, ClearCacheThenReloadFromDisk) {
  auto storage = Make();
  auto ms = Png();
  std::string error;
  ASSERT_TRUE(storage->StoreTile(fTile, ms, error));
  storage->ClearCache();
  EXPECT_EQ(storage->BmpCache().Count() + storage->PngCache().Count() + storage->StmCache().Count(),
            0u);
  const TBitmap32 *bmp = storage->GetTile(fTile);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->fPixels[0], 0xFF336699u);
  EXPECT_EQ(storage->StmCache().Count(), 1u);

  // Nothing in memory and nothing on disk: missing.
  fs::remove(FileOf(fTile));
  storage->ClearCache();
  EXPECT_EQ(storage->GetTile(fTile), nullptr);
}

TEST_F(TileStorageTest, NonPngDownloadIsRefusedAndNothingCached) {
  auto storage = Make();
  const std::string html = "<html>Too many requests</html>";
  auto ms = std::make_unique<TMemoryStream>(html.begin(), html.end());
  std::string error;
  EXPECT_FALSE(storage->StoreTile(fTile, ms, error));
  EXPECT_EQ(ms, nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(FileOf(fTile)));
  EXPECT_EQ(storage->BmpCache().Count() + storage->PngCache().Count() + storage->StmCache().Count(),
            0u);
  EXPECT_EQ(storage->GetTile(fTile), nullptr);
}

TEST_F(TileStorageTest, UnwritableDiskStillKeepsTheTileInMemory) {
  // The cache root is a file, so no tile folder can be made below it.
  const std::string blocker = fRoot + "blocker";
  std::ofstream(blocker) << "x";
  auto storage = Make();
  storage->SetFileCacheBaseDir(blocker);
  auto ms = Png();
  std::string error;
  EXPECT_TRUE(storage->StoreTile(fTile, ms, error));
  EXPECT_NE(error.find("Cannot create"), std::string::npos) << error;
  EXPECT_NE(storage->GetTile(fTile), nullptr);
}

TEST_F(TileStorageTest, BitmapsBeyondTheBudgetAreStillHandedOut) {
  // A budget too small for one bitmap: the last one is lent out uncached.
  TTileStorage storage(TCacheLimits{0, 1000000, 10, 1000000});
  storage.SetFileCacheBaseDir(fRoot);
  auto ms = Png();
  std::string error;
  ASSERT_TRUE(storage.StoreTile(fTile, ms, error));
  const TBitmap32 *bmp = storage.GetTile(fTile);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->fPixels[255], 0xFF336699u);
  EXPECT_EQ(storage.BmpCache().Count(), 0u);
}

TEST_F(TileStorageTest, TileOfAnotherSizeIsRefusedLikeADamagedOne) {
  for (const auto &[w, h] : {std::pair{2000, 2000}, std::pair{256, 255}, std::pair{8, 8}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    auto storage = Make();
    const auto bytes = test::MakePng(0xFF336699, w, h);
    auto ms = std::make_unique<TMemoryStream>(bytes.begin(), bytes.end());
    std::string error;
    EXPECT_FALSE(storage->StoreTile(fTile, ms, error));
    EXPECT_NE(error.find("not 256 x 256"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(FileOf(fTile)));
    EXPECT_EQ(storage->GetTile(fTile), nullptr);
    // Found in the disk cache: deleted, so that it is fetched again.
    WriteFile(fTile, TMemoryStream(bytes.begin(), bytes.end()));
    EXPECT_EQ(storage->GetTile(fTile), nullptr);
    EXPECT_FALSE(fs::exists(FileOf(fTile)));
  }
}

TEST_F(TileStorageTest, DecodedTilesAreChargedTheirPixelsAndTheBudgetHolds) {
  // Plain one-colour tiles are tiny PNGs and 256 KB each once decoded.
  const std::uint32_t budget = 10000000;
  TTileStorage storage(budget);
  storage.SetOptions(tsoNoFileCache);
  for (std::uint32_t i = 0; i < 200; ++i) {
    auto ms = Png(0xFF000000u | i);
    std::string error;
    ASSERT_TRUE(storage.StoreTile(TTile{14, i, 7}, ms, error)) << error;
    ASSERT_NE(storage.GetTile(TTile{14, i, 7}), nullptr);
  }
  EXPECT_LE(storage.PngCache().Count() * 262144u, storage.PngCache().SizeLimit());
  EXPECT_EQ(storage.PngCache().TotalSize(), storage.PngCache().Count() * 262144u);
  EXPECT_LE(std::uint64_t(storage.BmpCache().TotalSize()) + storage.PngCache().TotalSize() +
                storage.StmCache().TotalSize(),
            budget);
}

// Resident memory of this process in bytes.
std::int64_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  return -1;
}

// Run by the test below in a child process (see there): stores 2,000 plain
// tiles as the map does and prints how much the resident memory grew.
TEST(TileStorageMemoryChild, StoreTwoThousandTiles) {
  if (!std::getenv("KELVRA_TILE_MEMORY_CHILD")) GTEST_SKIP() << "run by TileStorageMemory";
  TTileStorage storage(10000000);
  storage.SetOptions(tsoNoFileCache);
  const auto bytes = test::MakePng(0xFFAAD3DF); // the sea
  auto store = [&](std::uint32_t i) {
    auto ms = std::make_unique<TMemoryStream>(bytes.begin(), bytes.end());
    std::string error;
    ASSERT_TRUE(storage.StoreTile(TTile{12, i % 4096, i / 4096}, ms, error)) << error;
    ASSERT_NE(storage.GetTile(TTile{12, i % 4096, i / 4096}), nullptr);
  };
  for (std::uint32_t i = 0; i < 20; ++i) store(i); // libraries warmed up
  const std::int64_t before = ResidentBytes();
  for (std::uint32_t i = 20; i < 2000; ++i) store(i);
  std::printf("resident growth: %lld\n", static_cast<long long>(ResidentBytes() - before));
}

TEST(TileStorageMemory, TwoThousandPlainTilesStayWithinTheBudget) {
  // In a child process: the sanitizer keeps freed blocks in quarantine, which
  // would count evicted tiles as resident; the child runs without it.
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  const char *asan = std::getenv("ASAN_OPTIONS");
  // The child runs its one case whichever shard of the program this is.
  const std::string cmd = std::string("env -u GTEST_TOTAL_SHARDS -u GTEST_SHARD_INDEX ASAN_OPTIONS='") + (asan ? asan : "") +
                          ":quarantine_size_mb=0:detect_leaks=0' KELVRA_TILE_MEMORY_CHILD=1 '" +
                          self + "' --gtest_filter=TileStorageMemoryChild.* 2>&1";
  FILE *pipe = popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe)) out += buf;
  ASSERT_EQ(pclose(pipe), 0) << out;
  const auto at = out.find("resident growth: ");
  ASSERT_NE(at, std::string::npos) << out;
  const long long growth = std::stoll(out.substr(at + 17));
  // The budget is 10 MB; decoded sea tiles charged their PNG size used to
  // keep about 250 MB. Some slack for the allocator and the sanitizer.
  EXPECT_LT(growth, 30LL << 20) << out;
}

// A view of 70 tiles, panned to 70 others and back: with the budget grown for the view every tile
// of the first view is still a ready bitmap (nothing to decode again; its files are gone, so none
// could come from disk); a fixed budget keeps only the bitmaps its bytes allow.
class TileBudgetTest : public TileStorageTest, public testing::WithParamInterface<bool> {};

TEST_P(TileBudgetTest, GrownForTheViewKeepsAPanInMemory) {
  const bool fixed = GetParam();
  auto storage = Make();
  storage->SetFixedBudget(fixed);
  const std::uint32_t viewTiles = 70;
  storage->GrowForView(2 * viewTiles);
  auto tileOf = [](std::uint32_t i) { return TTile{14, 10000 + i % 10, 5000 + i / 10}; };
  std::string error;
  for (std::uint32_t i = 0; i < 2 * viewTiles; ++i) { // the first view, then the pan
    auto ms = Png(0xFF000000u | i);
    ASSERT_TRUE(storage->StoreTile(tileOf(i), ms, error)) << error;
    ASSERT_NE(storage->GetTile(tileOf(i)), nullptr);
  }
  fs::remove_all(fRoot);
  std::uint32_t ready = 0;
  for (std::uint32_t i = 0; i < viewTiles; ++i)
    ready += storage->BmpCache().Find(tileOf(i)) != nullptr;
  for (std::uint32_t i = 0; i < viewTiles; ++i) {
    const TBitmap32 *bmp = storage->GetTile(tileOf(i));
    if (!fixed) {
      ASSERT_NE(bmp, nullptr) << i;
      EXPECT_EQ(bmp->fPixels[0], 0xFF000000u | i);
    }
  }
  if (fixed)
    EXPECT_LT(ready, viewTiles);
  else
    EXPECT_EQ(ready, viewTiles);
  EXPECT_EQ(storage->BmpCache().Capacity() >= 2 * viewTiles, !fixed);
}

INSTANTIATE_TEST_SUITE_P(Budget, TileBudgetTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &i) {
                           return i.param ? std::string("Fixed") : std::string("Grown");
                         });

} // namespace
} // namespace kelvra
