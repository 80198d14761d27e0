// When a downloaded tile goes stale, from the caching headers of its reply.
#include "core/map/TileFreshness.h"
#include "core/map/TileStorage.h"

#include "support/TempDir.h"
#include "support/TestPng.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kelvra {
namespace {

constexpr std::int64_t kNowUnix = 1800000000; // 2027-01-15 08:00:00 UTC
constexpr std::int64_t kDaySeconds = 86400;

struct TExpiryCase {
  const char *name;
  THttpReplyInfo reply;
  std::int64_t floor;
  std::int64_t expected; // seconds after kNowUnix
};

class TileExpiryTest : public testing::TestWithParam<TExpiryCase> {};

TEST_P(TileExpiryTest, FromTheReplyHeaders) {
  const TExpiryCase &c = GetParam();
  EXPECT_EQ(TileExpiry(c.reply, kNowUnix, c.floor) - kNowUnix, c.expected);
}

THttpReplyInfo Reply(std::string cacheControl, std::string expires = "", std::string date = "") {
  THttpReplyInfo r;
  r.Status = 200;
  r.CacheControl = std::move(cacheControl);
  r.Expires = std::move(expires);
  r.Date = std::move(date);
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TileExpiryTest,
    testing::Values(
        TExpiryCase{"NoHeadersSevenDays", Reply(""), 0, 7 * kDaySeconds},
        TExpiryCase{"MaxAge", Reply("max-age=3600"), 0, 3600},
        TExpiryCase{"MaxAgeAmongOtherDirectives", Reply("public, MAX-AGE=120, stale-if-error=60"), 0, 120},
        TExpiryCase{"MaxAgeQuoted", Reply("max-age=\"90\""), 0, 90},
        TExpiryCase{"MaxAgeBeatsExpires",
                    Reply("max-age=60", "Thu, 01 Jan 2032 00:00:00 GMT", "Fri, 15 Jan 2027 08:00:00 GMT"),
                    0, 60},
        TExpiryCase{"NoCacheAtOnce", Reply("no-cache"), 0, 0},
        TExpiryCase{"NoStoreAtOnce", Reply("max-age=600, no-store"), 0, 0},
        TExpiryCase{"BrokenMaxAgeFallsToExpires",
                    Reply("max-age=soon", "Fri, 15 Jan 2027 09:00:00 GMT", "Fri, 15 Jan 2027 08:00:00 GMT"),
                    0, 3600},
        // The server's clock is a day ahead: Expires counts from its Date, not from ours.
        TExpiryCase{"ExpiresAgainstTheServersDate",
                    Reply("", "Sat, 16 Jan 2027 10:00:00 GMT", "Sat, 16 Jan 2027 08:00:00 GMT"), 0,
                    7200},
        TExpiryCase{"ExpiresWithoutDateIsAbsolute", Reply("", "Fri, 15 Jan 2027 08:30:00 GMT"), 0, 1800},
        TExpiryCase{"ExpiresInThePastAtOnce", Reply("", "Thu, 01 Jan 2015 00:00:00 GMT"), 0, 0},
        TExpiryCase{"ExpiresZeroAtOnce", Reply("", "0"), 0, 0},
        TExpiryCase{"ExpiresObsoleteForm",
                    Reply("", "Friday, 15-Jan-27 08:10:00 GMT", "Fri, 15 Jan 2027 08:00:00 GMT"), 0, 600},
        // The public servers' policy wins over a shorter lifetime, never over a longer one.
        TExpiryCase{"FloorRaisesMaxAge", Reply("max-age=60"), 7 * kDaySeconds, 7 * kDaySeconds},
        TExpiryCase{"FloorRaisesNoCache", Reply("no-cache"), 7 * kDaySeconds, 7 * kDaySeconds},
        TExpiryCase{"FloorKeepsLonger", Reply("max-age=2592000"), 7 * kDaySeconds, 30 * kDaySeconds}),
    [](const testing::TestParamInfo<TExpiryCase> &i) { return std::string(i.param.name); });

TEST(TileValidatorsTest, HeaderLinesForWhatIsKnown) {
  EXPECT_TRUE(TTileValidators{}.Empty());
  EXPECT_TRUE(TTileValidators{}.HeaderLines().empty());
  EXPECT_EQ(TTileValidators({"\"abc\"", ""}).HeaderLines(),
            std::vector<std::string>{"If-None-Match: \"abc\""});
  EXPECT_EQ(TTileValidators({"W/\"x\"", "Mon, 01 Jan 2024 00:00:00 GMT"}).HeaderLines(),
            (std::vector<std::string>{"If-None-Match: W/\"x\"",
                                      "If-Modified-Since: Mon, 01 Jan 2024 00:00:00 GMT"}));
}

// A disk cache written before tiles had expiry files: the file's date plus seven days.
TEST(TileStorageFreshnessTest, OldCacheFileWithoutMetaLivesSevenDaysFromItsDate) {
  test::TTempDir dir;
  TTileStorage storage(0);
  storage.SetFileCacheBaseDir(dir.Path());
  const TTile tile{3, 1, 2};
  const std::vector<std::uint8_t> png = test::MakePng(0xFF336699);
  dir.Write("3/1/2.png", std::string(png.begin(), png.end()));
  namespace fs = std::filesystem;
  const auto when = std::chrono::system_clock::from_time_t(kNowUnix - 3 * kDaySeconds);
  fs::last_write_time(storage.TilePath(tile), fs::file_time_type::clock::from_sys(when));
  ASSERT_NE(storage.GetTile(tile), nullptr);
  EXPECT_EQ(storage.TileExpires(tile), kNowUnix + 4 * kDaySeconds);
  TTileValidators v;
  EXPECT_FALSE(storage.NeedsRefresh(tile, kNowUnix, v));
  ASSERT_TRUE(storage.NeedsRefresh(tile, kNowUnix + 4 * kDaySeconds, v));
  EXPECT_TRUE(v.Empty()); // nothing to compare with: a plain request
  // A failed request lets it be asked for again.
  EXPECT_FALSE(storage.NeedsRefresh(tile, kNowUnix + 4 * kDaySeconds, v));
  storage.RefreshFailed(tile);
  EXPECT_TRUE(storage.NeedsRefresh(tile, kNowUnix + 4 * kDaySeconds, v));
}

TEST(TileStorageFreshnessTest, PublicServerFloorAppliesToStoredTiles) {
  test::TTempDir dir;
  TTileStorage storage(0);
  storage.SetFileCacheBaseDir(dir.Path());
  storage.SetFreshFloorSeconds(PublicServerTileFloorSeconds);
  auto ms = std::make_unique<TMemoryStream>(test::MakePng(0xFF336699));
  std::string error;
  THttpReplyInfo reply;
  reply.Status = 200;
  reply.CacheControl = "max-age=300";
  ASSERT_TRUE(storage.StoreTile({4, 3, 2}, ms, error, reply, kNowUnix)) << error;
  EXPECT_EQ(storage.TileExpires({4, 3, 2}), kNowUnix + 7 * kDaySeconds);
  // A 304 for a tile the storage does not hold renews nothing.
  EXPECT_FALSE(storage.RenewTile({4, 3, 3}, reply, kNowUnix));
}

} // namespace
} // namespace kelvra
