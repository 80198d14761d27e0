#pragma once
// kelvra-sim inside a process: the substitute monitoring service ("/api/v1") and tile server
// ("/tiles/{z}/{x}/{y}.png") on a loopback port, over HTTP or HTTPS, with a seeded demo world,
// simulated time and fault injection. The executable kelvra-sim is a thin shell around it; tests
// start one in-process:
//
//   kelvra::SimServer sim;            // HTTP, free port, seed 1, time frozen until Advance()
//   ASSERT_TRUE(sim.Start());
//   std::string base = sim.BaseUrl(); // "http://127.0.0.1:<port>"
//   sim.Advance(120);                 // two simulated minutes pass
//   sim.WithWorld([](kelvra::sim::TSimWorld &w) { ... });  // read or change the state
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimWorld.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace kelvra {

// One fault-injection rule. It applies to requests whose path (without the query) matches the
// glob pattern ("*" any run of characters, "?" one character) and, when set, the method.
struct TFaultRule {
  std::string pattern = "*";
  std::string method;     // "GET", "POST", "PUT", "DELETE"; empty for any
  int latencyMs = 0;      // delay before the request is handled
  int status = 0;         // answer with this status and a JSON "text" instead of the real reply
  bool malformed = false; // answer 200 with a JSON content type and a body that is not JSON
  bool truncated = false; // send the real reply cut in the middle (Content-Length matches the cut)
  bool drop = false;      // close the connection without any reply
  bool hang = false; // send the head and a few bytes of body, then nothing until the server stops
  int oversizedMb = 0; // the real reply padded with blanks to this many megabytes
  bool cut = false;    // announce the whole reply, send half of it and close the connection
  bool html = false;   // a proxy's HTML error page with status 502 and content type text/html
  int slowBps = 0;     // send the real reply at this many bytes per second
  bool expire = false; // the request's token expires now: 401 and the token stays invalid
  int times = -1;      // number of matching requests it applies to; -1 for every one
};

// Reads "PATTERN:kind[,kind...]" where kind is latency=MS, status=CODE, malformed, truncated,
// drop, hang, oversized=MB, cut, html, slow=BYTES_PER_S, expire, times=N or method=M; for
// example "/api/v1/user/objects:status=500,times=1".
bool ParseFaultRule(const std::string &text, TFaultRule &rule, std::string *error = nullptr);

struct TSimOptions {
  std::string bindAddress = "127.0.0.1";
  int port = 0;         // 0 picks a free port
  std::string certFile; // both set: HTTPS with this PEM certificate and key
  std::string keyFile;
  uint32_t seed = 1;
  // Simulated seconds per wall-clock second. 0 freezes time: it moves only by Advance(), which is
  // what tests want. The executable defaults to 1.
  double speed = 0;
  int64_t startTime = 0; // simulated "now" at start, seconds since 1970 UTC; 0 takes the clock
  // Requests served at once; a reply that waits on purpose (hang, slow, latency) does not count.
  int workers = 64;
  int fleet = 0;         // more vehicles of the demo user on the street network (up to 20,000)
  // Days of past messages of every object (up to 60): the last one simulated, the ones before it
  // made on demand; from 2 on the world also has "Tracker 1Hz". The executable defaults to 2.
  int historyDays = 1;
  int64_t tokenTtl = 0; // a token expires this many simulated seconds after sign-in; 0 never
  std::vector<TFaultRule> faults;
  bool logRequests = false; // one line per request on standard error
};

// What a request brought and how it was answered, kept for tests that check what a client sent.
struct TSimRequest {
  std::string method, path, query, body;
  std::string contentType, authToken, requestId, requestedWith, userAgent, cookie;
  std::string ifNoneMatch, ifModifiedSince;
  int remotePort = 0; // tells connections apart
  int status = 0;
};

// The style of a tile path: "standard" for "/tiles/...", "topo" for "/tiles-topo/...", and so
// on; empty for any other path.
std::string TileStyleOfPath(const std::string &path);

class SimServer {
public:
  static constexpr const char *kDemoUser = "demo";
  static constexpr const char *kDemoPassword = "demo";

  explicit SimServer(TSimOptions options = {});
  ~SimServer(); // stops the server
  SimServer(const SimServer &) = delete;
  SimServer &operator=(const SimServer &) = delete;

  // Builds the world, binds and starts serving on a background thread. False with Error() set
  // when the port cannot be bound or the certificate cannot be loaded. After Stop it restarts
  // the same service: same world, tokens and clock, same port.
  bool Start();
  // Ends hanging replies, stops serving and joins the threads. Safe to call twice.
  void Stop();
  bool Running() const { return fRunning; }
  int Port() const { return fPort; }
  bool Tls() const { return !fOptions.certFile.empty(); }
  // "http://127.0.0.1:<port>" or "https://...", without a trailing "/".
  std::string BaseUrl() const;
  const std::string &Error() const { return fError; }
  const TSimOptions &Options() const { return fOptions; }

  // Reads or changes the world under the server's lock; the world exists after Start().
  template <class F> auto WithWorld(F &&f) {
    std::lock_guard<std::mutex> lock(fMutex);
    return f(*fWorld);
  }
  // Lets simulated time pass, deterministically (independent of the speed option).
  void Advance(int64_t seconds);
  int64_t Now();
  // A token of the demo user, as a sign-in would give it.
  std::string DemoToken();

  void AddFault(const TFaultRule &rule);
  void ClearFaults();

  // The requests served so far (the last 1000), oldest first.
  std::vector<TSimRequest> Requests();
  void ClearRequests();

  // Tile requests per style since the start (or the last clear): all of them, the conditional
  // ones (If-None-Match or If-Modified-Since), and those answered 304.
  struct TTileCounts {
    size_t requests = 0, conditional = 0, notModified = 0;
  };
  TTileCounts TileCounts(const std::string &style = "standard");
  void ClearTileCounts();

private:
  void Dispatch(const httplib::Request &req, httplib::Response &res);
  // Applies the first matching fault; true when the reply is complete (no handler runs).
  // A fault that changes how the real reply is sent (truncated, oversized, cut, slow) is left in
  // `rule` for SendReply.
  bool ApplyFault(const httplib::Request &req, httplib::Response &res, TFaultRule &rule);
  void SendReply(const TFaultRule &rule, int status, std::string body,
                 const std::string &contentType, httplib::Response &res);
  // Waits up to ms milliseconds; false when the server stops meanwhile.
  bool Pause(int ms);
  void DropConnection(const httplib::Request &req);
  void Tick();

  TSimOptions fOptions;
  std::unique_ptr<sim::TSimWorld> fWorld;
  std::mutex fMutex; // guards fWorld, fFaults, fRequests
  std::vector<TFaultRule> fFaults;
  std::vector<TSimRequest> fRequests;
  std::map<std::string, TTileCounts> fTileCounts; // by style
  std::unique_ptr<httplib::Server> fServer;
  std::thread fThread, fTicker;
  int64_t fSimStart = 0;                            // simulated time at Start
  std::chrono::steady_clock::time_point fWallStart; // wall clock at Start
  std::atomic<bool> fRunning{false}, fStopping{false};
  std::mutex fStopMutex;
  std::condition_variable fStopCv;
  int fPort = 0;
  std::string fError;
};

} // namespace kelvra
