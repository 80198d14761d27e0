#include "sim/SimServer.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <httplib.h>

#include "sim/SimApi.h"
#include "sim/SimPool.h"
#include "sim/SimUtil.h"

namespace kelvra {

using sim::json;
using sim::TApiReply;
using sim::TApiRequest;

namespace {

// Glob match: "*" any run of characters, "?" one character.
bool GlobMatch(const std::string &pattern, const std::string &text) {
  size_t p = 0, t = 0, star = std::string::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

struct TRoutes {
  std::vector<sim::TApiRoute> list = sim::MakeApiRoutes();
};

const std::vector<sim::TApiRoute> &Routes() {
  static const TRoutes routes; // compiled once: the patterns never change
  return routes.list;
}

} // namespace

bool ParseFaultRule(const std::string &text, TFaultRule &rule, std::string *error) {
  auto fail = [&](const std::string &why) {
    if (error) *error = why + " in fault rule \"" + text + "\"";
    return false;
  };
  size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) return fail("missing PATTERN:");
  TFaultRule r;
  r.pattern = text.substr(0, colon);
  std::string rest = text.substr(colon + 1);
  size_t pos = 0;
  bool any = false;
  while (pos <= rest.size()) {
    size_t comma = rest.find(',', pos);
    if (comma == std::string::npos) comma = rest.size();
    std::string item = sim::Trim(rest.substr(pos, comma - pos));
    pos = comma + 1;
    if (item.empty()) continue;
    size_t eq = item.find('=');
    std::string key = item.substr(0, eq), val = eq == std::string::npos ? "" : item.substr(eq + 1);
    int64_t n = 0;
    bool numOk = sim::ToInt64(val, n);
    if (key == "latency" && numOk && n >= 0 && n <= 3600000)
      r.latencyMs = static_cast<int>(n);
    else if (key == "status" && numOk && n >= 100 && n <= 599)
      r.status = static_cast<int>(n);
    else if (key == "times" && numOk && n >= -1)
      r.times = static_cast<int>(n);
    else if (key == "method" && !val.empty())
      r.method = val;
    else if (key == "malformed" && val.empty())
      r.malformed = true;
    else if (key == "truncated" && val.empty())
      r.truncated = true;
    else if (key == "drop" && val.empty())
      r.drop = true;
    else if (key == "hang" && val.empty())
      r.hang = true;
    else if (key == "oversized" && numOk && n >= 1 && n <= 1024)
      r.oversizedMb = static_cast<int>(n);
    else if (key == "cut" && val.empty())
      r.cut = true;
    else if (key == "html" && val.empty())
      r.html = true;
    else if (key == "slow" && numOk && n >= 1 && n <= 1000000000)
      r.slowBps = static_cast<int>(n);
    else if (key == "expire" && val.empty())
      r.expire = true;
    else
      return fail("unknown or invalid \"" + item + "\"");
    if (key != "times" && key != "method") any = true;
  }
  if (!any) return fail("no fault given");
  rule = r;
  return true;
}

SimServer::SimServer(TSimOptions options) : fOptions(std::move(options)) {}

SimServer::~SimServer() { Stop(); }

std::string SimServer::BaseUrl() const {
  std::string host = fOptions.bindAddress;
  if (host.empty() || host == "0.0.0.0") host = "127.0.0.1";
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return std::string(Tls() ? "https" : "http") + "://" + host + ":" + std::to_string(fPort);
}

bool SimServer::Start() {
  if (fRunning) return true;
  // A client that goes away mid-reply must not kill the process with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  fStopping = false;
  // The clock is taken before the world is built, so the time that building takes is caught up
  // at once and the service's clock runs with the wall clock.
  // A start after Stop is a restart of the same service: the world (users, tokens, objects, its
  // clock) and the port stay, as a real service restarted over its database would keep them.
  const bool restart = Now() > 0;
  fWallStart = std::chrono::steady_clock::now();
  if (restart) {
    fSimStart = Now();
  } else {
    fSimStart =
        fOptions.startTime > 0 ? fOptions.startTime : static_cast<int64_t>(std::time(nullptr));
    std::lock_guard<std::mutex> lock(fMutex);
    fWorld = std::make_unique<sim::TSimWorld>(fOptions.seed, fSimStart, fOptions.fleet,
                                                fOptions.historyDays);
    fWorld->fTokenTtl = fOptions.tokenTtl;
    fFaults = fOptions.faults;
  }
  if (fOptions.certFile.empty() != fOptions.keyFile.empty()) {
    fError = "both a certificate and a key are needed for TLS";
    return false;
  }
  if (Tls()) {
    auto ssl =
        std::make_unique<httplib::SSLServer>(fOptions.certFile.c_str(), fOptions.keyFile.c_str());
    if (!ssl->is_valid()) {
      fError =
          "cannot load the certificate " + fOptions.certFile + " or the key " + fOptions.keyFile;
      return false;
    }
    fServer = std::move(ssl);
  } else {
    fServer = std::make_unique<httplib::Server>();
  }
  auto handler = [this](const httplib::Request &req, httplib::Response &res) {
    Dispatch(req, res);
  };
  fServer->Get(".*", handler);
  fServer->Post(".*", handler);
  fServer->Put(".*", handler);
  fServer->Delete(".*", handler);
  fServer->Patch(".*", handler);
  fServer->set_keep_alive_timeout(1);
  size_t workers = static_cast<size_t>(std::max(1, fOptions.workers));
  fServer->new_task_queue = [workers] { return new sim::TSimPool(workers); };

  const int port = fOptions.port != 0 ? fOptions.port : restart ? fPort : 0;
  if (port == 0) {
    fPort = fServer->bind_to_any_port(fOptions.bindAddress);
  } else {
    fPort = fServer->bind_to_port(fOptions.bindAddress, port) ? port : -1;
  }
  if (fPort <= 0) {
    fError = "cannot listen on " + fOptions.bindAddress + ":" + std::to_string(port);
    fServer.reset();
    fPort = 0;
    return false;
  }
  fThread = std::thread([this] { fServer->listen_after_bind(); });
  // stop() only takes effect once the accept loop runs, so wait for it.
  for (int i = 0; i < 5000 && !fServer->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (fOptions.speed > 0) fTicker = std::thread([this] { Tick(); });
  fRunning = true;
  return true;
}

void SimServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(fStopMutex);
    fStopping = true;
  }
  fStopCv.notify_all();
  if (fServer) fServer->stop();
  if (fThread.joinable()) fThread.join();
  if (fTicker.joinable()) fTicker.join();
  fRunning = false;
}

void SimServer::Tick() {
  // The simulated time follows the wall clock from Start on (times the speed), so it neither
  // drifts nor lags however long a step of the world takes.
  std::unique_lock<std::mutex> lock(fStopMutex);
  while (!fStopping) {
    fStopCv.wait_for(lock, std::chrono::milliseconds(100), [this] { return fStopping.load(); });
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - fWallStart).count();
    int64_t target = fSimStart + static_cast<int64_t>(elapsed * fOptions.speed);
    lock.unlock();
    // Large speed-ups catch up in bounded steps so requests are not starved of the lock.
    int64_t behind = target - Now();
    if (behind > 0) Advance(std::min<int64_t>(behind, 3600));
    lock.lock();
  }
}

bool SimServer::Pause(int ms) {
  std::unique_lock<std::mutex> lock(fStopMutex);
  return !fStopCv.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return fStopping.load(); });
}

void SimServer::Advance(int64_t seconds) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fWorld && seconds > 0) fWorld->Advance(seconds);
}

int64_t SimServer::Now() {
  std::lock_guard<std::mutex> lock(fMutex);
  return fWorld ? fWorld->Now() : 0;
}

std::string SimServer::DemoToken() {
  std::lock_guard<std::mutex> lock(fMutex);
  return fWorld ? fWorld->IssueToken(fWorld->FindUser(kDemoUser)->uid) : std::string();
}

void SimServer::AddFault(const TFaultRule &rule) {
  std::lock_guard<std::mutex> lock(fMutex);
  fFaults.push_back(rule);
}

void SimServer::ClearFaults() {
  std::lock_guard<std::mutex> lock(fMutex);
  fFaults.clear();
}

std::vector<TSimRequest> SimServer::Requests() {
  std::lock_guard<std::mutex> lock(fMutex);
  return fRequests;
}

void SimServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(fMutex);
  fRequests.clear();
}

void SimServer::DropConnection(const httplib::Request &req) {
  // cpp-httplib does not hand out the socket, so find it by its two port numbers.
  for (int fd = 3; fd < 4096; ++fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    sockaddr_storage local{}, peer{};
    socklen_t ll = sizeof local, pl = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &ll) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &pl) != 0)
      continue;
    auto port = [](const sockaddr_storage &a) {
      if (a.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in &>(a).sin_port);
      if (a.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(a).sin6_port);
      return static_cast<uint16_t>(0);
    };
    if (port(local) == req.local_port && port(peer) == req.remote_port) {
      shutdown(fd, SHUT_RDWR);
      return;
    }
  }
}

bool SimServer::ApplyFault(const httplib::Request &req, httplib::Response &res,
                           TFaultRule &rule) {
  bool found = false;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    for (auto &f : fFaults) {
      if (f.times == 0 || (!f.method.empty() && f.method != req.method) ||
          !GlobMatch(f.pattern, req.path))
        continue;
      if (f.times > 0) --f.times;
      rule = f;
      found = true;
      break;
    }
  }
  if (!found) {
    rule = TFaultRule();
    return false;
  }
  if (rule.latencyMs > 0) {
    auto park = sim::TSimPool::ParkCurrent();
    Pause(rule.latencyMs);
  }
  if (rule.drop) {
    DropConnection(req);
    res.status = 500;
    return true;
  }
  if (rule.hang) {
    res.status = 200;
    // The worker parks for as long as the reply hangs, so hanging replies never starve the
    // service of workers; the guard lives as long as the reply.
    auto park = sim::TSimPool::ParkCurrent();
    res.set_chunked_content_provider(
        "application/json", [this, park](size_t offset, httplib::DataSink &sink) {
          if (offset == 0) return sink.write("{\"objects\":[", 12);
          // Trickle a blank now and then: the reply never ends, and a client that gave up is
          // noticed by the failed write, which frees this thread.
          return Pause(500) && sink.write(" ", 1);
        });
    return true;
  }
  if (rule.expire) {
    std::string token = req.get_header_value("X-Auth-Token");
    {
      std::lock_guard<std::mutex> lock(fMutex);
      fWorld->RevokeToken(token);
    }
    res.status = 401;
    res.set_content(json{{"text", "token expired"}}.dump(), "application/json");
    return true;
  }
  if (rule.status) {
    res.status = rule.status;
    res.set_content(json{{"text", "injected fault " + std::to_string(rule.status)}}.dump(),
                    "application/json");
    return true;
  }
  if (rule.html) {
    res.status = 502;
    res.set_content("<html>\r\n<head><title>502 Bad Gateway</title></head>\r\n<body>\r\n"
                    "<center><h1>502 Bad Gateway</h1></center>\r\n<hr><center>nginx</center>\r\n"
                    "</body>\r\n</html>\r\n",
                    "text/html");
    return true;
  }
  if (rule.malformed) {
    res.status = 200;
    res.set_content("{\"dt\": \"2024-01-01T00:00:00Z\", \"objects\": [{\"uid\": 1,, ]",
                    "application/json");
    return true;
  }
  return false;
}

void SimServer::SendReply(const TFaultRule &rule, int status, std::string body,
                          const std::string &contentType, httplib::Response &res) {
  res.status = status;
  if (status == 204 || status == 304) return;
  // Cut the reply in the middle; Content-Length follows the cut, so only the JSON is broken.
  if (rule.truncated && body.size() > 1) body.resize(body.size() / 2);
  size_t length = body.size();
  if (rule.oversizedMb > 0)
    length = std::max(length, static_cast<size_t>(rule.oversizedMb) * 1024 * 1024);
  if (!rule.cut && !rule.slowBps && length == body.size()) {
    res.set_content(std::move(body), contentType);
    return;
  }
  // The reply is streamed: blanks after the body make it larger (still valid JSON), a cut ends
  // the connection half way although the whole length was announced, a slow one trickles.
  std::shared_ptr<sim::TSimPool::TPark> park;
  if (rule.slowBps) park = sim::TSimPool::ParkCurrent();
  auto text = std::make_shared<std::string>(std::move(body));
  size_t stopAt = rule.cut ? length / 2 : length;
  size_t chunk = rule.slowBps ? std::max<size_t>(1, static_cast<size_t>(rule.slowBps) / 10)
                              : size_t(64 * 1024);
  int slow = rule.slowBps;
  res.set_content_provider(
      length, contentType,
      [this, text, stopAt, chunk, slow, park](size_t offset, size_t want,
                                              httplib::DataSink &sink) {
        if (offset >= stopAt) return false; // the connection closes here
        if (slow && offset > 0 && !Pause(100)) return false;
        size_t n = std::min({want, chunk, stopAt - offset});
        if (offset < text->size()) {
          n = std::min(n, text->size() - offset);
          return sink.write(text->data() + offset, n);
        }
        static const std::string blanks(64 * 1024, ' ');
        return sink.write(blanks.data(), std::min(n, blanks.size()));
      });
}

void SimServer::Dispatch(const httplib::Request &req, httplib::Response &res) {
  TSimRequest rec;
  rec.method = req.method;
  rec.path = req.path;
  size_t q = req.target.find('?');
  if (q != std::string::npos) rec.query = req.target.substr(q + 1);
  rec.body = req.body;
  rec.contentType = req.get_header_value("Content-Type");
  rec.authToken = req.get_header_value("X-Auth-Token");
  rec.requestId = req.get_header_value("X-Request-ID");
  rec.requestedWith = req.get_header_value("X-Requested-With");
  rec.userAgent = req.get_header_value("User-Agent");
  rec.cookie = req.get_header_value("Cookie");
  rec.ifNoneMatch = req.get_header_value("If-None-Match");
  rec.ifModifiedSince = req.get_header_value("If-Modified-Since");
  rec.remotePort = req.remote_port;

  TApiReply reply;
  TFaultRule rule;
  try {
    if (ApplyFault(req, res, rule)) {
      rec.status = res.status;
    } else {
      TApiRequest ar;
      ar.method = req.method;
      ar.path = req.path;
      ar.body = req.body;
      ar.contentType = rec.contentType;
      ar.query = sim::ParseForm(rec.query);
      if (rec.contentType.find("application/x-www-form-urlencoded") == 0)
        ar.form = sim::ParseForm(req.body);
      ar.token = rec.authToken;
      ar.cookie = rec.cookie;
      ar.ifNoneMatch = rec.ifNoneMatch;
      ar.ifModifiedSince = rec.ifModifiedSince;
      const sim::TApiRoute *route = nullptr;
      bool pathKnown = false;
      for (auto &r : Routes()) {
        std::vector<std::string> groups;
        if (!sim::MatchRoute(r.pattern, req.path, groups)) continue;
        pathKnown = true;
        if (r.method != req.method) continue;
        route = &r;
        ar.match = std::move(groups);
        break;
      }
      if (!route) {
        reply = pathKnown ? TApiReply::Error(405, "method not allowed")
                          : TApiReply::Error(404, "not found: " + req.path);
      } else if (!route->needsWorld) {
        reply = route->handler(*fWorld, ar);
      } else {
        std::lock_guard<std::mutex> lock(fMutex);
        bool expired = false;
        if (route->needsToken) ar.user = fWorld->UserByToken(ar.token, &expired);
        std::string session = ar.user ? fWorld->SessionOf(ar.token) : std::string();
        if (route->needsToken && !ar.user)
          reply = TApiReply::Error(401, ar.token.empty() ? "no token"
                                        : expired        ? "token expired"
                                                         : "invalid token");
        else if (!session.empty() && sim::CookieValue(ar.cookie, sim::kSessionCookie) != session)
          reply = TApiReply::Error(401, "the session cookie of this sign-in is missing");
        else
          reply = route->handler(*fWorld, ar);
      }
      for (auto &h : reply.headers)
        res.set_header(h.first.c_str(), h.second);
      SendReply(rule, reply.status, std::move(reply.body), reply.contentType, res);
      rec.status = reply.status;
    }
  } catch (const std::exception &e) {
    res.status = 500;
    res.set_content(json{{"text", std::string("internal error: ") + e.what()}}.dump(
                        -1, ' ', false, json::error_handler_t::replace),
                    "application/json");
    rec.status = 500;
  }
  if (fOptions.logRequests)
    std::fprintf(stderr, "%s %s%s%s -> %d\n", rec.method.c_str(), rec.path.c_str(),
                 rec.query.empty() ? "" : "?", rec.query.c_str(), rec.status);
  std::lock_guard<std::mutex> lock(fMutex);
  if (const std::string style = TileStyleOfPath(rec.path); !style.empty()) {
    TTileCounts &c = fTileCounts[style];
    ++c.requests;
    if (!rec.ifNoneMatch.empty() || !rec.ifModifiedSince.empty()) ++c.conditional;
    if (rec.status == 304) ++c.notModified;
  }
  if (fRequests.size() >= 1000) fRequests.erase(fRequests.begin());
  fRequests.push_back(std::move(rec));
}

std::string TileStyleOfPath(const std::string &path) {
  if (path.rfind("/tiles/", 0) == 0) return "standard";
  if (path.rfind("/tiles-", 0) != 0) return {};
  const size_t slash = path.find('/', 7);
  return slash == std::string::npos ? std::string() : path.substr(7, slash - 7);
}

SimServer::TTileCounts SimServer::TileCounts(const std::string &style) {
  std::lock_guard<std::mutex> lock(fMutex);
  const auto it = fTileCounts.find(style);
  return it == fTileCounts.end() ? TTileCounts{} : it->second;
}

void SimServer::ClearTileCounts() {
  std::lock_guard<std::mutex> lock(fMutex);
  fTileCounts.clear();
}

} // namespace kelvra
