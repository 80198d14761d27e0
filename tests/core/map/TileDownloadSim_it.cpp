// Tiles from kelvra-sim through the download queue into the tile storage.
#include "core/map/NetworkRequest.h"
#include "core/map/NetworkRequestRTL.h"
#include "core/map/TileStorage.h"
#include "core/map/TilesProviderOSM.h"
#include "core/util/Version.h"
#include "sim/SimServer.h"

#include "TileResults.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
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
    q->SetRequestProps(props);
    q->SetOnGotTileBgThr(fResults.Callback());
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
  for (const auto &req : fSim.Requests())
    EXPECT_EQ(req.userAgent, ProgramUserAgent()) << req.path;
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

} // namespace
} // namespace kelvra
