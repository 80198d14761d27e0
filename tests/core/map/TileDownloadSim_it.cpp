// Tiles from kelvra-sim through the download queue into the tile storage.
#include "core/map/NetworkRequest.h"
#include "core/map/NetworkRequestRTL.h"
#include "core/map/TileStorage.h"
#include "core/map/TilesProviderOSM.h"
#include "core/util/Version.h"
#include "sim/SimServer.h"
#include "sim/SimTiles.h"

#include "TileResults.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <fstream>
#include <sstream>
#include <thread>

namespace kelvra {
namespace {

class SimTilesTest : public testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(fSim.Start()) << fSim.Error(); }

  // As the map sets it up: 4 tiles per worker, 3 workers, the program's headers.
  std::unique_ptr<TNetworkRequestQueue>
  MakeQueue(TBlockingNetworkRequestFunc Request = &NetworkRequest) {
    auto q = std::make_unique<TNetworkRequestQueue>(
        4, 3, std::move(Request),
        std::make_unique<TOSMTilesProvider>(fSim.BaseUrl() + "/tiles/{z}/{x}/{y}.png"));
    THttpRequestProps props;
    props.HeaderLines = std::make_unique<std::vector<std::string>>(SampleHeaders());
    props.Connections = NewHttpConnections();
    q->SetRequestProps(props);
    q->SetOnGotTileReplyBgThr(fResults.ReplyCallback());
    return q;
  }

  SimServer fSim;
  test::TResults fResults;
};

TEST_F(SimTilesTest, DownloadedTilesAreDrawable) {
  test::TTempDir dir;
  TTileStorage storage(0);
  storage.SetFileCacheBaseDir(dir.Path());
  auto q = MakeQueue();
  // Asked for one after the other: a tile of another zoom would drop the
  // waiting ones.
  const std::vector<TTile> tiles{{12, 2688, 1233}, {12, 2689, 1233}, {0, 0, 0}, {19, 0, 524287}};
  std::vector<test::TResult> results;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    q->RequestTile(tiles[i]);
    results = fResults.WaitFor(i + 1);
  }
  for (const auto &r : results) {
    ASSERT_NE(r.stream, nullptr) << r.error;
    auto ms = std::make_unique<TMemoryStream>(*r.stream);
    std::string error;
    ASSERT_TRUE(storage.StoreTile(r.tile, ms, error)) << error;
  }
  storage.ClearCache(); // from here on the tiles come from the disk cache
  for (const auto &t : tiles) {
    const TBitmap32 *bmp = storage.GetTile(t);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->fWidth, 256);
    EXPECT_EQ(bmp->fHeight, 256);
  }
  // One after the other, the tiles came over one connection.
  std::set<int> ports;
  for (const auto &req : fSim.Requests()) {
    EXPECT_EQ(req.userAgent, ProgramUserAgent()) << req.path;
    ports.insert(req.remotePort);
  }
  EXPECT_EQ(ports.size(), 1u);
  EXPECT_NE(ProgramUserAgent().find(ProgramHomepage()), std::string::npos);
}

TEST_F(SimTilesTest, MissingTileIsAnHttpError) {
  auto q = MakeQueue();
  q->RequestTile({3, 100, 0}); // no column 100 at zoom 3
  const auto r = fResults.WaitFor(1);
  EXPECT_EQ(r[0].stream, nullptr);
  EXPECT_EQ(r[0].error, "HTTP error: 404 Not Found");
}

TEST_F(SimTilesTest, NonPngReplyIsNotStored) {
  TFaultRule rule;
  ASSERT_TRUE(ParseFaultRule("/tiles/*:malformed", rule));
  fSim.AddFault(rule);
  test::TTempDir dir;
  TTileStorage storage(0);
  storage.SetFileCacheBaseDir(dir.Path());
  auto q = MakeQueue();
  const TTile tile{5, 1, 1};
  q->RequestTile(tile);
  const auto r = fResults.WaitFor(1);
  ASSERT_NE(r[0].stream, nullptr); // the transport got a body...
  auto ms = std::make_unique<TMemoryStream>(*r[0].stream);
  std::string error;
  EXPECT_FALSE(storage.StoreTile(tile, ms, error)); // ...which is no picture
  EXPECT_EQ(storage.GetTile(tile), nullptr);
  EXPECT_FALSE(std::filesystem::exists(storage.TilePath(tile)));
}

TEST_F(SimTilesTest, ClosingWhileTheServerHangsAbandonsTheDownloads) {
  TFaultRule rule;
  ASSERT_TRUE(ParseFaultRule("/tiles/*:hang", rule));
  fSim.AddFault(rule);
  test::TRecordedRequests requests;
  auto q = MakeQueue(requests.Func());
  q->RequestTile({5, 1, 1});
  // The sim notes a hanging request once it has sent the head of the reply.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (fSim.Requests().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  ASSERT_EQ(fSim.Requests().size(), 1u);
  q.reset();
  EXPECT_EQ(fResults.Count(), 0u);
  EXPECT_EQ(requests.Errors(), std::vector<std::string>{"Request cancelled"});
}

// A tile server that trickles its reply (a byte now and then keeps a plain low-speed check quiet)
// loses the download slot at the response time-out, and the tile was asked for once.
TEST_F(SimTilesTest, TrickledTileIsCutAtTheResponseTimeOut) {
  TFaultRule rule;
  ASSERT_TRUE(ParseFaultRule("/tiles/*:slow=20", rule)); // a tile of kilobytes takes minutes
  fSim.AddFault(rule);
  auto q = MakeQueue();
  q->RequestTile({12, 2688, 1233});
  const auto r = fResults.WaitFor(1);
  EXPECT_EQ(r[0].stream, nullptr);
  EXPECT_EQ(r[0].error, "Response time-out: the reply took more than 5 s");
  EXPECT_EQ(fSim.Requests().size(), 1u);
}

std::string FileBytes(const std::string &Path) {
  std::ifstream in(Path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::int64_t FileTime(const std::string &Path) {
  namespace fs = std::filesystem;
  const auto t = fs::file_time_type::clock::to_sys(fs::last_write_time(Path));
  return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

// The sim's tiles live an hour; the clock is the test's, so nothing waits for time to pass.
TEST_F(SimTilesTest, FreshTilesAreFetchedOnceAndAStaleOneIsRevalidatedWithItsETag) {
  sim::SetTileMaxAge(3600);
  struct TRestore {
    ~TRestore() { sim::SetTileMaxAge(7 * 86400); }
  } restore;
  test::TTempDir dir;
  TTileStorage storage(0);
  storage.SetFileCacheBaseDir(dir.Path());
  auto q = MakeQueue();
  const std::int64_t t0 = 1800000000;
  const std::vector<TTile> tiles{{12, 2688, 1233}, {12, 2689, 1233}, {12, 2688, 1234}};
  std::vector<test::TResult> results;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    q->RequestTile(tiles[i]);
    results = fResults.WaitFor(i + 1);
    const test::TResult &r = results[i];
    ASSERT_NE(r.stream, nullptr) << r.error;
    EXPECT_EQ(r.reply.Status, 200);
    EXPECT_EQ(r.reply.CacheControl, "max-age=3600");
    EXPECT_FALSE(r.reply.ETag.empty());
    auto ms = std::make_unique<TMemoryStream>(*r.stream);
    std::string error;
    ASSERT_TRUE(storage.StoreTile(r.tile, ms, error, r.reply, t0)) << error;
    EXPECT_EQ(storage.TileExpires(r.tile), t0 + 3600);
  }
  // While fresh, in memory or read back from the disk cache, no tile is asked for again.
  TTileValidators v;
  for (int pass = 0; pass < 2; ++pass) {
    for (const TTile &t : tiles) {
      ASSERT_NE(storage.GetTile(t), nullptr);
      EXPECT_FALSE(storage.NeedsRefresh(t, t0 + 3599, v)) << pass;
    }
    storage.ClearCache();
  }
  EXPECT_EQ(fSim.TileCounts().requests, tiles.size());
  EXPECT_EQ(fSim.TileCounts().conditional, 0u);

  // An hour later the first tile is stale: it is still shown, and asked for once with its tag.
  const TTile stale = tiles[0];
  const std::string etag = results[0].reply.ETag;
  const std::string path = storage.TilePath(stale);
  const std::string bytes = FileBytes(path);
  const std::int64_t t1 = t0 + 4000;
  ASSERT_NE(storage.GetTile(stale), nullptr);
  ASSERT_TRUE(storage.NeedsRefresh(stale, t1, v));
  EXPECT_EQ(v.ETag, etag);
  EXPECT_EQ(v.LastModified, sim::kTileLastModified);
  EXPECT_FALSE(storage.NeedsRefresh(stale, t1, v)); // once, until the answer
  q->RequestTile(stale, v);
  results = fResults.WaitFor(tiles.size() + 1);
  const test::TResult &again = results.back();
  ASSERT_NE(again.stream, nullptr) << again.error;
  EXPECT_TRUE(again.stream->empty());
  EXPECT_EQ(again.reply.Status, 304);
  const auto requests = fSim.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().ifNoneMatch, etag);

  // The 304 keeps the bytes and renews the date.
  ASSERT_TRUE(storage.RenewTile(stale, again.reply, t1));
  EXPECT_EQ(storage.TileExpires(stale), t1 + 3600);
  EXPECT_EQ(FileBytes(path), bytes);
  EXPECT_EQ(FileTime(path), t1);
  EXPECT_FALSE(storage.NeedsRefresh(stale, t1 + 3599, v));
  TTileStorage reopened(0); // the next start reads the renewed date from the disk cache
  reopened.SetFileCacheBaseDir(dir.Path());
  ASSERT_NE(reopened.GetTile(stale), nullptr);
  EXPECT_EQ(reopened.TileExpires(stale), t1 + 3600);

  const SimServer::TTileCounts counts = fSim.TileCounts();
  EXPECT_EQ(counts.requests, tiles.size() + 1);
  EXPECT_EQ(counts.conditional, 1u);
  EXPECT_EQ(counts.notModified, 1u);
}

// A tile that changed on the server comes back whole, with its new tag.
TEST_F(SimTilesTest, ChangedTileIsSentWhole) {
  auto q = MakeQueue();
  q->RequestTile({5, 1, 1}, TTileValidators{"\"not-this-one\"", ""});
  const auto r = fResults.WaitFor(1);
  ASSERT_NE(r[0].stream, nullptr) << r[0].error;
  EXPECT_EQ(r[0].reply.Status, 200);
  EXPECT_FALSE(r[0].stream->empty());
  EXPECT_NE(r[0].reply.ETag, "\"not-this-one\"");
  EXPECT_EQ(fSim.TileCounts().conditional, 1u);
  EXPECT_EQ(fSim.TileCounts().notModified, 0u);
}

} // namespace
} // namespace kelvra
