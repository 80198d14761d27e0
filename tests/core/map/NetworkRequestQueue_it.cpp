// The tile download queue and its HTTP request against a local tile server.
#include "core/map/NetworkRequest.h"
#include "core/map/NetworkRequestRTL.h"
#include "core/map/TilesProviderOSM.h"
#include "core/util/Version.h"

#include "TileResults.h"
#include "support/TestPng.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

namespace kelvra {
namespace {

// A loopback tile server. /tiles/{z}/{x}/{y}.png answers with a PNG once the
// gate is open (it starts open); /missing/... is 404; /empty/... an empty 200;
// /private/... asks for Basic credentials "map:secret".
class TTileServer {
public:
  TTileServer() {
    fServer.Get(R"(/tiles/(\d+)/(\d+)/(\d+)\.png)", [this](const httplib::Request &req,
                                                           httplib::Response &res) {
      Enter(req);
      {
        std::unique_lock lock(fMutex);
        fCv.wait(lock, [this] { return fOpen; });
        --fInside;
      }
      const auto png = test::MakePng(0xFF000000u | std::uint32_t(std::stoul(req.matches[2])), 8, 8);
      res.set_content(std::string(png.begin(), png.end()), "image/png");
    });
    fServer.Get(R"(/missing/.*)", [this](const httplib::Request &req, httplib::Response &res) {
      Record(req);
      res.status = 404;
      res.set_content("no such tile", "text/plain");
    });
    fServer.Get(R"(/empty/.*)", [this](const httplib::Request &req, httplib::Response &res) {
      Record(req);
      res.status = 200;
    });
    // Replies just over the 4 MB cap of a tile, with and without an announced length.
    fServer.Get(R"(/huge/announced)", [](const httplib::Request &, httplib::Response &res) {
      res.set_content(std::string((4u << 20) + 1, 'x'), "image/png");
    });
    fServer.Get(R"(/huge/chunked)", [](const httplib::Request &, httplib::Response &res) {
      res.set_chunked_content_provider("image/png", [](size_t offset, httplib::DataSink &sink) {
        if (offset > (4u << 20)) {
          sink.done();
          return true;
        }
        const std::string block(64 * 1024, 'x');
        return sink.write(block.data(), block.size());
      });
    });
    fServer.Get(R"(/private/.*)", [this](const httplib::Request &req, httplib::Response &res) {
      Record(req);
      if (req.get_header_value("Authorization") != "Basic bWFwOnNlY3JldA==") {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"tiles\"");
        return;
      }
      res.set_content("granted", "text/plain");
    });
    fPort = fServer.bind_to_any_port("127.0.0.1");
    fThread = std::thread([this] { fServer.listen_after_bind(); });
    // stop() is lost on a server whose loop has not begun yet.
    while (!fServer.is_running())
      std::this_thread::yield();
  }
  ~TTileServer() {
    Open();
    fServer.stop();
    fThread.join();
  }

  std::string Url(const std::string &Root) const {
    return "http://127.0.0.1:" + std::to_string(fPort) + "/" + Root + "/{z}/{x}/{y}.png";
  }
  void Close() {
    std::lock_guard lock(fMutex);
    fOpen = false;
  }
  void Open() {
    {
      std::lock_guard lock(fMutex);
      fOpen = true;
    }
    fCv.notify_all();
  }
  // Waits until this many tile requests have arrived in all.
  void WaitArrived(std::size_t Count) {
    std::unique_lock lock(fMutex);
    fCv.wait(lock, [&] { return fPaths.size() >= Count; });
  }
  std::vector<std::string> Paths() {
    std::lock_guard lock(fMutex);
    return fPaths;
  }
  httplib::Headers LastHeaders() {
    std::lock_guard lock(fMutex);
    return fLastHeaders;
  }
  int MostInside() {
    std::lock_guard lock(fMutex);
    return fMostInside;
  }

private:
  void Record(const httplib::Request &req) {
    {
      std::lock_guard lock(fMutex);
      fPaths.push_back(req.path);
      fLastHeaders = req.headers;
    }
    fCv.notify_all();
  }
  void Enter(const httplib::Request &req) {
    {
      std::lock_guard lock(fMutex);
      fMostInside = std::max(fMostInside, ++fInside);
    }
    Record(req);
  }

  httplib::Server fServer;
  int fPort = 0;
  std::thread fThread;
  std::mutex fMutex;
  std::condition_variable fCv;
  bool fOpen = true;
  int fInside = 0, fMostInside = 0;
  std::vector<std::string> fPaths;
  httplib::Headers fLastHeaders;
};

using test::TResults;

std::string PathOf(const TTile &t) {
  return "/tiles/" + std::to_string(t.Zoom) + "/" + std::to_string(t.ParameterX) + "/" +
         std::to_string(t.ParameterY) + ".png";
}

class QueueTest : public testing::Test {
protected:
  // One worker, so that the server sees the tiles in the order served.
  std::unique_ptr<TNetworkRequestQueue> MakeQueue(unsigned MaxTasksPerThread = 100,
                                                  unsigned MaxThreads = 1,
                                                  const std::string &Root = "tiles") {
    auto q = std::make_unique<TNetworkRequestQueue>(
        MaxTasksPerThread, MaxThreads, &NetworkRequest,
        std::make_unique<TOSMTilesProvider>(fServer.Url(Root)));
    q->SetOnGotTileBgThr(fResults.Callback());
    return q;
  }
  // Starts the queue with a first tile whose download is held by the server.
  std::unique_ptr<TNetworkRequestQueue> MakeBusyQueue(const TTile &First) {
    fServer.Close();
    auto q = MakeQueue();
    q->RequestTile(First);
    fServer.WaitArrived(1);
    return q;
  }

  TTileServer fServer;
  TResults fResults;
};

TEST_F(QueueTest, DownloadsATile) {
  auto q = MakeQueue();
  q->RequestTile({12, 2735, 1260});
  const auto r = fResults.WaitFor(1);
  EXPECT_EQ(r[0].tile, (TTile{12, 2735, 1260}));
  ASSERT_NE(r[0].stream, nullptr);
  EXPECT_GT(r[0].stream->size(), 8u);
  EXPECT_EQ(r[0].error, "");
  EXPECT_NE(r[0].thread, std::this_thread::get_id()); // reported on the worker
  EXPECT_EQ(fServer.Paths(), std::vector<std::string>{"/tiles/12/2735/1260.png"});
}

TEST_F(QueueTest, SameTileQueuedOnce) {
  const TTile a{12, 1, 1}, b{12, 2, 2};
  auto q = MakeBusyQueue(a);
  q->RequestTile(a); // downloading
  q->RequestTile(b);
  q->RequestTile(b); // queued
  fServer.Open();
  fResults.WaitFor(2);
  EXPECT_EQ(fServer.Paths(), (std::vector<std::string>{PathOf(a), PathOf(b)}));

  // Once reported, a tile may be asked for again (the queue never retries).
  q->RequestTile(a);
  fResults.WaitFor(3);
  EXPECT_EQ(fServer.Paths().size(), 3u);
}

struct TOrderCase {
  const char *name;
  bool setView;
  bool dumbOrder;
  std::vector<TTile> queued;
  std::vector<TTile> served; // after the first tile
};

class QueueOrderTest : public QueueTest, public testing::WithParamInterface<TOrderCase> {};

TEST_P(QueueOrderTest, ServesInOrder) {
  const auto &c = GetParam();
  const TTile first{12, 100, 100};
  auto q = MakeBusyQueue(first);
  q->SetDumbQueueOrder(c.dumbOrder);
  if (c.setView)
    q->SetCurrentViewRect(
        {10 * 256 + 5, 20 * 256 + 5, 12 * 256 - 5, 22 * 256 - 5}); // tiles 10..11 x 20..21
  for (const auto &t : c.queued)
    q->RequestTile(t);
  fServer.Open();
  fResults.WaitFor(1 + c.served.size());
  std::vector<std::string> expected{PathOf(first)};
  for (const auto &t : c.served)
    expected.push_back(PathOf(t));
  EXPECT_EQ(fServer.Paths(), expected);
  EXPECT_EQ(fResults.Count(), 1 + c.served.size()); // dropped tiles are not reported
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueOrderTest,
    testing::Values(TOrderCase{"OldestFirstBeforeAView",
                               false,
                               false,
                               {{12, 0, 0}, {12, 10, 20}, {12, 1, 1}, {12, 11, 21}},
                               {{12, 0, 0}, {12, 10, 20}, {12, 1, 1}, {12, 11, 21}}},
                    TOrderCase{"VisibleTilesFirst",
                               true,
                               false,
                               {{12, 0, 0}, {12, 10, 20}, {12, 12, 20}, {12, 11, 21}},
                               {{12, 10, 20}, {12, 11, 21}, {12, 0, 0}, {12, 12, 20}}},
                    // Zooming from 12 to 13: the waiting zoom-12 tiles go.
                    TOrderCase{"OldZoomDroppedAtTheOldEnd",
                               false,
                               false,
                               {{12, 1, 1}, {12, 2, 2}, {13, 3, 3}, {13, 5, 5}},
                               {{13, 3, 3}, {13, 5, 5}}},
                    // Strict arrival order: the view is not preferred, nothing is dropped.
                    TOrderCase{"DumbOrder",
                               true,
                               true,
                               {{12, 0, 0}, {13, 10, 20}, {12, 1, 1}},
                               {{12, 0, 0}, {13, 10, 20}, {12, 1, 1}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(QueueTest, OneMoreWorkerPerFourWaitingTilesUpToThree) {
  fServer.Close();
  auto q = MakeQueue(4, 3);
  std::uint32_t n = 0;
  auto request = [&](int count) {
    for (int i = 0; i < count; ++i, ++n)
      q->RequestTile({12, n, 0});
  };
  request(1); // the first task starts the first worker
  EXPECT_EQ(q->WorkerCount(), 1u);
  fServer.WaitArrived(1);
  request(4); // 4 waiting: still one
  EXPECT_EQ(q->WorkerCount(), 1u);
  request(1); // 5 waiting
  EXPECT_EQ(q->WorkerCount(), 2u);
  fServer.WaitArrived(2);
  request(4); // 8 waiting
  EXPECT_EQ(q->WorkerCount(), 2u);
  request(1); // 9 waiting
  EXPECT_EQ(q->WorkerCount(), 3u);
  fServer.WaitArrived(3);
  request(20);
  EXPECT_EQ(q->WorkerCount(), 3u); // never a fourth
  fServer.Open();
  fResults.WaitFor(n);
  EXPECT_EQ(fServer.MostInside(), 3);
}

TEST_F(QueueTest, HttpErrorGivesNullStreamAndStatusText) {
  auto q = MakeQueue(100, 1, "missing");
  q->RequestTile({3, 1, 2});
  const auto r = fResults.WaitFor(1);
  EXPECT_EQ(r[0].stream, nullptr);
  EXPECT_EQ(r[0].error, "HTTP error: 404 Not Found");
}

TEST_F(QueueTest, EmptyReplyFailsWithoutText) {
  auto q = MakeQueue(100, 1, "empty");
  q->RequestTile({3, 1, 2});
  const auto r = fResults.WaitFor(1);
  EXPECT_EQ(r[0].stream, nullptr);
  EXPECT_EQ(r[0].error, "");
}

struct THeaderCase {
  const char *name;
  std::vector<std::string> lines;
  std::string userAgent;
};

class QueueHeaderTest : public QueueTest, public testing::WithParamInterface<THeaderCase> {};

TEST_P(QueueHeaderTest, SendsHeaderLines) {
  auto q = MakeQueue();
  THttpRequestProps props;
  props.HeaderLines = std::make_unique<std::vector<std::string>>(GetParam().lines);
  q->SetRequestProps(props);
  q->RequestTile({1, 0, 0});
  fResults.WaitFor(1);
  const auto headers = fServer.LastHeaders();
  auto value = [&](const char *name) {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string("<none>") : it->second;
  };
  EXPECT_EQ(value("User-Agent"), GetParam().userAgent);
  EXPECT_EQ(value("Cache-Control"), "<none>");
  EXPECT_EQ(value("Pragma"), "<none>");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueHeaderTest,
    testing::Values(
        THeaderCase{"ProgramsOwnUserAgent", SampleHeaders(), ProgramUserAgent()},
        // The whole text after the first colon is the value.
        THeaderCase{"ValueWithColonsAndSemicolons",
                    {"User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64; rv:51.0) Gecko/20100101 "
                     "Firefox/51.0"},
                    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:51.0) Gecko/20100101 Firefox/51.0"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(NetworkRequest, SampleHeadersNameTheProgram) {
  const auto lines = SampleHeaders();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "User-Agent: " + ProgramUserAgent());
  EXPECT_EQ(lines[0].rfind("User-Agent: KelvraMonitor/", 0), 0u);
  EXPECT_EQ(lines[1], "Accept-Language: en-US;q=0.7,en;q=0.3");
  EXPECT_EQ(lines[2], "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
}

TEST_F(QueueTest, DestructionWhileDownloadsHangAbandonsThemAndDropsResults) {
  fServer.Close(); // the server never answers while the queue lives
  test::TRecordedRequests requests;
  auto q = std::make_unique<TNetworkRequestQueue>(
      1, 2, requests.Func(), std::make_unique<TOSMTilesProvider>(fServer.Url("tiles")));
  q->SetOnGotTileBgThr(fResults.Callback());
  q->RequestTile({5, 1, 1});
  q->RequestTile({5, 2, 2});
  fServer.WaitArrived(2);
  q.reset();
  EXPECT_EQ(fResults.Count(), 0u);
  // Both downloads were given up at once, not left to run into the time-out.
  EXPECT_EQ(requests.Errors(),
            (std::vector<std::string>{"Request cancelled", "Request cancelled"}));
}

TEST_F(QueueTest, ResultArrivingDuringDestructionIsDropped) {
  std::promise<void> started;
  // Succeeds only once the queue has begun to close.
  auto lateSuccess = [&](const THttpRequestProps &p, TMemoryStream &s, std::string &) {
    started.set_value();
    p.Cancel->wait(false);
    s.assign(10, 1);
    return true;
  };
  auto q = std::make_unique<TNetworkRequestQueue>(4, 1, lateSuccess,
                                                  std::make_unique<TDummyTilesProvider>());
  q->SetOnGotTileBgThr(fResults.Callback());
  q->RequestTile({5, 1, 1});
  started.get_future().wait();
  q.reset();
  EXPECT_EQ(fResults.Count(), 0u);
}

struct TRequestCase {
  const char *name;
  std::string path; // below the server root
  std::string user, password;
  bool ok;
  std::string error;
};

class NetworkRequestTest : public QueueTest, public testing::WithParamInterface<TRequestCase> {};

TEST_P(NetworkRequestTest, Outcome) {
  const auto &c = GetParam();
  THttpRequestProps props;
  std::string base = fServer.Url("x");
  base = base.substr(0, base.find("/x/"));
  props.URL = base + c.path;
  if (c.path.rfind("@", 0) == 0) // user-info in the address itself
    props.URL = "http://map:secret" + c.path + base.substr(7) + "/private/1.png";
  props.HttpUserName = c.user;
  props.HttpPassword = c.password;
  TMemoryStream body;
  std::string error;
  EXPECT_EQ(NetworkRequest(props, body, error), c.ok);
  EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(Cases, NetworkRequestTest,
                         testing::Values(TRequestCase{"Tile", "/tiles/1/1/1.png", "", "", true, ""},
                                         TRequestCase{"CredentialsFromProps", "/private/1.png",
                                                      "map", "secret", true, ""},
                                         TRequestCase{"CredentialsFromUrl", "@", "", "", true, ""},
                                         TRequestCase{"NoCredentials", "/private/1.png", "", "",
                                                      false, "HTTP error: 401 Unauthorized"},
                                         TRequestCase{"PasswordAloneIsNotOffered", "/private/1.png",
                                                      "", "secret", false,
                                                      "HTTP error: 401 Unauthorized"},
                                         TRequestCase{"AnnouncedOverTheCap", "/huge/announced", "",
                                                      "", false,
                                                      "Reply too large (more than 4 MB)"},
                                         TRequestCase{"UnannouncedOverTheCap", "/huge/chunked", "",
                                                      "", false,
                                                      "Reply too large (more than 4 MB)"}),
                         [](const auto &info) { return std::string(info.param.name); });

// Restores an environment variable when the test ends.
class TEnvVar {
public:
  TEnvVar(const char *Name, const char *Value) : fName(Name) {
    if (const char *old = getenv(Name)) fOld = old;
    if (Value)
      setenv(Name, Value, 1);
    else
      unsetenv(Name);
  }
  ~TEnvVar() {
    if (fOld)
      setenv(fName, fOld->c_str(), 1);
    else
      unsetenv(fName);
  }

private:
  const char *fName;
  std::optional<std::string> fOld;
};

TEST_F(QueueTest, ProxyChoices) {
  // The environment names a proxy that refuses every connection.
  const TEnvVar httpProxy("http_proxy", "http://127.0.0.1:1");
  const TEnvVar noProxy("no_proxy", nullptr);
  const TEnvVar noProxyUpper("NO_PROXY", nullptr);
  struct {
    const char *proxy;
    bool ok;
  } cases[] = {{"", true},                     // direct, the environment is ignored
               {"http://SYSTEM", false},       // the system's (environment's) proxy
               {"http://127.0.0.1:1", false}}; // that proxy
  for (const auto &c : cases) {
    THttpRequestProps props;
    props.Proxy = c.proxy;
    std::string url = fServer.Url("tiles");
    props.URL = url.replace(url.find("{z}/{x}/{y}"), 11, "1/1/1");
    TMemoryStream body;
    std::string error;
    EXPECT_EQ(NetworkRequest(props, body, error), c.ok) << c.proxy << ": " << error;
  }
}

TEST(NetworkRequest, BadAddressesFailWithAMessage) {
  for (const std::string url :
       {"", "not a url", "file:///etc/passwd", "http://127.0.0.1:1/closed.png"}) {
    THttpRequestProps props;
    props.URL = url;
    TMemoryStream body;
    std::string error;
    EXPECT_FALSE(NetworkRequest(props, body, error)) << url;
    EXPECT_FALSE(error.empty()) << url;
    EXPECT_TRUE(body.empty()) << url;
  }
}

} // namespace
} // namespace kelvra
