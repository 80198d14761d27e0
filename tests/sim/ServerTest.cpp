// Tiles, HTTPS with a certificate made here, fault injection, and the kelvra-sim executable.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <ctime>
#include <thread>
#include <filesystem>

#include <png.h>

#include "SimFixture.h"
#include "sim/SimCert.h"

extern char **environ;

namespace kelvra::simtest {
namespace {

using Server = SimTest;

bool DecodePng(const std::string &bytes, unsigned &w, unsigned &h) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) return false;
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> px(PNG_IMAGE_SIZE(img));
  bool ok = png_image_finish_read(&img, nullptr, px.data(), 0, nullptr) != 0;
  w = img.width;
  h = img.height;
  png_image_free(&img);
  return ok;
}

THttpReply GetUrl(const std::string &url, long timeoutMs = 20000) {
  THttpRequest r;
  r.url = url;
  r.timeoutMs = timeoutMs;
  return Fetch(r);
}

class Tiles : public SimTest, public ::testing::WithParamInterface<TStatusCase> {};

TEST_P(Tiles, ServedInsideThePyramidOnly) {
  THttpReply r = GetUrl(fSim->BaseUrl() + GetParam().text);
  ASSERT_EQ(r.status, GetParam().status);
  if (r.status != 200) return;
  EXPECT_EQ(r.contentType, "image/png");
  unsigned w = 0, h = 0;
  ASSERT_TRUE(DecodePng(r.body, w, h));
  EXPECT_EQ(w, 256u);
  EXPECT_EQ(h, 256u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Tiles,
    ::testing::Values(TStatusCase{"Root", "/tiles/0/0/0.png", 200},
                      TStatusCase{"City", "/tiles/12/2735/1260.png", 200},
                      TStatusCase{"DeepestCorner", "/tiles/19/524287/524287.png", 200},
                      TStatusCase{"ColumnOutside", "/tiles/1/2/0.png", 404},
                      TStatusCase{"RowOutside", "/tiles/3/0/8.png", 404},
                      TStatusCase{"ZoomTooDeep", "/tiles/20/0/0.png", 404},
                      TStatusCase{"HugeNumber", "/tiles/3/99999999999999999999/0.png", 404},
                      TStatusCase{"NotANumber", "/tiles/a/0/0.png", 404},
                      TStatusCase{"NotPng", "/tiles/1/0/0.jpg", 404}),
    CaseName<TStatusCase>);

TEST(SimTls, ServesHttpsWithAGeneratedCertificate) {
  auto dir =
      std::filesystem::temp_directory_path() / ("kelvra-sim-tls-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  sim::TSimCert cert;
  std::string error;
  ASSERT_TRUE(sim::MakeSelfSignedCert(dir.string(), cert, &error)) << error;
  TSimOptions opt;
  opt.certFile = cert.certFile;
  opt.keyFile = cert.keyFile;
  SimServer sim(opt);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  EXPECT_EQ(sim.BaseUrl().rfind("https://127.0.0.1:", 0), 0u);

  TApi api(sim.BaseUrl(), "", cert.certFile);
  ASSERT_TRUE(api.Login("demo", "demo")); // verified against the generated certificate
  EXPECT_EQ(api.Get("/user/objects").status, 200);
  TApi untrusting(sim.BaseUrl());
  EXPECT_NE(untrusting.Post("/user/login", "uname=demo&upass=demo").code, CURLE_OK);
  sim.Stop();
  std::filesystem::remove_all(dir);
}

TEST(SimTls, RefusesToStartWithoutItsKey) {
  TSimOptions opt;
  opt.certFile = "/nonexistent/cert.pem";
  opt.keyFile = "/nonexistent/key.pem";
  SimServer sim(opt);
  EXPECT_FALSE(sim.Start());
  EXPECT_FALSE(sim.Error().empty());
}

// ---- fault injection

TEST(FaultRules, ParseAndRefuse) {
  TFaultRule r;
  ASSERT_TRUE(ParseFaultRule("/api/v1/user/objects:status=503,times=2,method=GET", r));
  EXPECT_EQ(r.pattern, "/api/v1/user/objects");
  EXPECT_EQ(r.status, 503);
  EXPECT_EQ(r.times, 2);
  EXPECT_EQ(r.method, "GET");
  ASSERT_TRUE(ParseFaultRule("/tiles/*:latency=10,truncated", r));
  EXPECT_EQ(r.latencyMs, 10);
  EXPECT_TRUE(r.truncated);
  ASSERT_TRUE(ParseFaultRule("/api/*:oversized=5,slow=1000,cut", r));
  EXPECT_EQ(r.oversizedMb, 5);
  EXPECT_EQ(r.slowBps, 1000);
  EXPECT_TRUE(r.cut);
  ASSERT_TRUE(ParseFaultRule("*:html,expire", r));
  EXPECT_TRUE(r.html && r.expire);
  for (const char *bad : {"", "no-colon", "/x:", "/x:status=abc", "/x:status=42", "/x:explode",
                          "/x:times=3", ":drop", "/x:oversized=0", "/x:oversized", "/x:slow=",
                          "/x:slow=-5", "/x:cut=1", "/x:html=yes"})
    EXPECT_FALSE(ParseFaultRule(bad, r)) << bad;
}

struct TFaultCase {
  const char *name;
  const char *rule;
  CURLcode code;
  long status;
  bool validJson;
  const char *contentType = "application/json";
  size_t bytes = 0; // the exact body size when not 0
};

class Faults : public SimTest, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(Faults, AffectOnlyMatchingRequests) {
  TFaultRule rule;
  ASSERT_TRUE(ParseFaultRule(GetParam().rule, rule));
  fSim->AddFault(rule);
  THttpRequest req;
  req.url = fSim->BaseUrl() + "/api/v1/user/objects";
  req.headers["X-Auth-Token"] = Api().Token();
  req.headers["Cookie"] = Api().Cookie();
  req.timeoutMs = 1500; // only the hanging reply needs it
  THttpReply r = Fetch(req);
  EXPECT_EQ(r.code, GetParam().code) << curl_easy_strerror(r.code);
  if (GetParam().code == CURLE_PARTIAL_FILE) { // half of what was announced arrived
    EXPECT_FALSE(r.body.empty());
    EXPECT_EQ(r.status, 200);
  }
  if (GetParam().code == CURLE_OK) {
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(!r.Json().is_discarded(), GetParam().validJson) << r.body.substr(0, 200);
    EXPECT_EQ(r.contentType, GetParam().contentType);
    if (GetParam().bytes) {
      EXPECT_EQ(r.body.size(), GetParam().bytes);
    }
  } else {
    EXPECT_TRUE(r.Json().is_discarded());
  }
  // other routes are untouched
  EXPECT_EQ(Api().Get("/user").status, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Faults,
    ::testing::Values(
        TFaultCase{"Status", "/api/v1/user/objects:status=503", CURLE_OK, 503, true},
        TFaultCase{"Malformed", "/api/v1/user/*:malformed", CURLE_OK, 200, false},
        TFaultCase{"Truncated", "/api/v1/user/objects:truncated", CURLE_OK, 200, false},
        TFaultCase{"Latency", "/api/v1/user/objects:latency=50", CURLE_OK, 200, true},
        TFaultCase{"Dropped", "/api/v1/user/objects:drop", CURLE_GOT_NOTHING, 0, false},
        TFaultCase{"Hanging", "/api/v1/user/objects:hang", CURLE_OPERATION_TIMEDOUT, 0, false},
        TFaultCase{"Oversized", "/api/v1/user/objects:oversized=3", CURLE_OK, 200, true,
                   "application/json", 3u * 1024 * 1024},
        TFaultCase{"CutMidBody", "/api/v1/user/objects:cut", CURLE_PARTIAL_FILE, 0, false},
        TFaultCase{"HtmlErrorPage", "/api/v1/user/*:html", CURLE_OK, 502, false, "text/html"},
        TFaultCase{"SlowButComplete", "/api/v1/user/objects:slow=40000", CURLE_OK, 200, true}),
    CaseName<TFaultCase>);

TEST_F(Server, SixtyFourHangingRepliesLeaveTheServiceAnswering) {
  TFaultRule rule;
  ASSERT_TRUE(ParseFaultRule("/api/v1/user/objects:hang", rule));
  fSim->AddFault(rule);
  const int kHanging = 64;
  std::vector<std::thread> clients;
  for (int i = 0; i < kHanging; ++i)
    clients.emplace_back([&] {
      THttpRequest req;
      req.url = fSim->BaseUrl() + "/api/v1/user/objects";
      req.headers["X-Auth-Token"] = Api().Token();
      req.headers["Cookie"] = Api().Cookie();
      req.timeoutMs = 600000; // they end when the server stops
      Fetch(req);
    });
  auto hanging = [&] {
    int n = 0;
    for (auto &r : fSim->Requests())
      n += r.path == "/api/v1/user/objects";
    return n;
  };
  while (hanging() < kHanging)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

  // every worker of the default pool hangs, yet the service answers
  EXPECT_EQ(Api().Get("/user").status, 200);
  EXPECT_EQ(GetUrl(fSim->BaseUrl() + "/tiles/0/0/0.png").status, 200);
  fSim->Advance(60); // the clock is not blocked either
  EXPECT_EQ(Api().Get("/user/zones").status, 200);
  fSim->Stop(); // ends the hanging replies
  for (auto &t : clients)
    t.join();
  EXPECT_FALSE(fSim->Running());
}

TEST_F(Server, FaultWithACountWearsOff) {
  TFaultRule rule;
  ASSERT_TRUE(ParseFaultRule("/tiles/*:status=500,times=1", rule));
  fSim->AddFault(rule);
  EXPECT_EQ(GetUrl(fSim->BaseUrl() + "/tiles/0/0/0.png").status, 500);
  EXPECT_EQ(GetUrl(fSim->BaseUrl() + "/tiles/0/0/0.png").status, 200);
}

TEST_F(Server, RecordsWhatTheClientSent) {
  fSim->ClearRequests();
  Api().Get("/user/objects", "dt=2026-12-09T12:00:00Z");
  auto reqs = fSim->Requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].method, "GET");
  EXPECT_EQ(reqs[0].path, "/api/v1/user/objects");
  EXPECT_EQ(reqs[0].query, "dt=2026-12-09T12:00:00Z");
  EXPECT_EQ(reqs[0].authToken, Api().Token());
  EXPECT_EQ(reqs[0].requestedWith, "xmlhttprequest");
  EXPECT_EQ(reqs[0].status, 200);
}

TEST(SimClock, DefaultClockRunsWithTheWallClock) {
  // Started without a start time at speed 1, the service's time is the wall clock's, also when
  // building the world took a while (the old ticker lagged by that time for good).
  TSimOptions opt;
  opt.speed = 1;
  opt.fleet = 2000; // building takes seconds
  SimServer sim(opt);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  bool together = false;
  for (int i = 0; i < 100 && !together; ++i) { // the ticker catches up within a tick or two
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    together = sim.Now() >= static_cast<int64_t>(std::time(nullptr)) - 1;
  }
  EXPECT_TRUE(together) << sim.Now() << " vs " << std::time(nullptr);
  EXPECT_LE(sim.Now(), static_cast<int64_t>(std::time(nullptr)) + 1);
}

TEST(SimWorldSeed, SameSeedSameWorld) {
  sim::TSimWorld a(7, FixedStart()), b(7, FixedStart()), c(8, FixedStart());
  auto sig = [](sim::TSimWorld &w) {
    std::string s;
    for (auto &o : w.fObjects)
      if (o->LastPoint())
        s += std::to_string(o->LastPoint()->lat) + "," + std::to_string(o->track.size()) + ";";
    return s + std::to_string(w.fEvents.size());
  };
  EXPECT_EQ(sig(a), sig(b));
  EXPECT_NE(sig(a), sig(c));
}

// ---- the executable

std::string SimBinary() {
  char buf[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return (std::filesystem::path(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0))
              .parent_path() /
          "kelvra-sim")
      .string();
}

TEST(SimExecutable, PrintsPortServesAndExitsZeroOnSigterm) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_addclose(&fa, out[0]);
  std::string bin = SimBinary();
  std::vector<std::string> args{bin, "--port", "0", "--seed", "1", "--quiet"};
  std::vector<char *> argv;
  for (auto &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, bin.c_str(), &fa, nullptr, argv.data(), environ), 0) << bin;
  posix_spawn_file_actions_destroy(&fa);
  close(out[1]);

  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n')
    line += c;
  close(out[0]);
  int port = 0;
  for (char d : line) {
    ASSERT_TRUE(d >= '0' && d <= '9') << "first line: " << line;
    port = port * 10 + (d - '0');
  }
  ASSERT_GT(port, 0) << "first line: " << line;

  std::string base = "http://127.0.0.1:" + std::to_string(port);
  EXPECT_EQ(GetUrl(base + "/tiles/0/0/0.png").status, 200);
  TApi api(base);
  EXPECT_TRUE(api.Login("demo", "demo"));

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace kelvra::simtest
