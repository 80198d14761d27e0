// The pause of a failed tile: it doubles per failure of that tile, ends, and is forgotten when
// the tile arrives.
#include "core/map/TileFailures.h"

#include <gtest/gtest.h>

namespace kelvra {
namespace {

TEST(TileFailuresTest, PauseDoublesPerTileUpToTheLongestAndEndsWithAnArrival) {
  TTileFailures f(2000, 8000);
  const TTile a{12, 100, 200}, b{12, 101, 200}, otherZoom{13, 100, 200};
  EXPECT_FALSE(f.Resting(a, 0));
  EXPECT_EQ(f.NextEndMs(0), -1);
  struct {
    std::int64_t failedAt, pause;
  } steps[] = {{0, 2000}, {2000, 4000}, {6000, 8000}, {14000, 8000}};
  for (const auto &s : steps) {
    SCOPED_TRACE(s.failedAt);
    EXPECT_FALSE(f.Resting(a, s.failedAt)); // the previous pause is over
    EXPECT_EQ(f.Failed(a, s.failedAt), s.pause);
    EXPECT_TRUE(f.Resting(a, s.failedAt));
    EXPECT_TRUE(f.Resting(a, s.failedAt + s.pause - 1));
    EXPECT_FALSE(f.Resting(a, s.failedAt + s.pause));
  }
  // Another tile, or the same place at another zoom, has a pause of its own.
  EXPECT_FALSE(f.Resting(b, 14000));
  EXPECT_FALSE(f.Resting(otherZoom, 14000));
  EXPECT_EQ(f.Failed(b, 15000), 2000);
  EXPECT_EQ(f.NextEndMs(14000), 17000);
  EXPECT_EQ(f.NextEndMs(17000), 22000);
  EXPECT_EQ(f.Due(17000), std::vector<TTile>{b});
  f.Arrived(a);
  EXPECT_FALSE(f.Resting(a, 14001));
  EXPECT_EQ(f.Failed(a, 30000), 2000); // starts over
  EXPECT_EQ(f.Count(), 2u);
}

// However many tiles fail, the record stays bounded; tiles whose pause is over go first.
TEST(TileFailuresTest, RemembersABoundedNumberOfTiles) {
  TTileFailures f(1000, 1000);
  for (std::uint32_t i = 0; i < TTileFailures::kMaxTiles; ++i)
    f.Failed(TTile{15, i, 0}, i < 10 ? 0 : 5000);
  EXPECT_EQ(f.Count(), TTileFailures::kMaxTiles);
  f.Failed(TTile{15, 0, 1}, 2000); // the ten whose pause ended at 1000 make room
  EXPECT_EQ(f.Count(), TTileFailures::kMaxTiles - 9);
  EXPECT_TRUE(f.Resting(TTile{15, 20, 0}, 2000));
  // All of them resting: the one whose pause ends first gives way.
  TTileFailures g(1000, 1000);
  g.Failed(TTile{15, 0, 0}, -500);
  for (std::uint32_t i = 1; i < TTileFailures::kMaxTiles; ++i)
    g.Failed(TTile{15, i, 0}, 0);
  g.Failed(TTile{15, 0, 1}, 100);
  EXPECT_EQ(g.Count(), TTileFailures::kMaxTiles);
  EXPECT_FALSE(g.Resting(TTile{15, 0, 0}, 100));
  EXPECT_TRUE(g.Resting(TTile{15, 0, 1}, 100));
  EXPECT_TRUE(g.Resting(TTile{15, 1, 0}, 100));
}

} // namespace
} // namespace kelvra
