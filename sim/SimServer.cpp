#include "sim/SimServer.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <httplib.h>

#include "sim/SimApi.h"
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
  int64_t start =
      fOptions.startTime > 0 ? fOptions.startTime : static_cast<int64_t>(std::time(nullptr));
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fWorld = std::make_unique<sim::TSimWorld>(fOptions.seed, start);
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

  if (fOptions.port == 0) {
    fPort = fServer->bind_to_any_port(fOptions.bindAddress);
  } else {
    fPort = fServer->bind_to_port(fOptions.bindAddress, fOptions.port) ? fOptions.port : -1;
  }
  if (fPort <= 0) {
    fError = "cannot listen on " + fOptions.bindAddress + ":" + std::to_string(fOptions.port);
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
  using clock = std::chrono::steady_clock;
  auto last = clock::now();
  double pending = 0;
  std::unique_lock<std::mutex> lock(fStopMutex);
  while (!fStopping) {
    fStopCv.wait_for(lock, std::chrono::milliseconds(100), [this] { return fStopping.load(); });
    auto now = clock::now();
    pending += std::chrono::duration<double>(now - last).count() * fOptions.speed;
    last = now;
    // Large speed-ups catch up in bounded steps so requests are not starved of the lock.
    auto whole = static_cast<int64_t>(std::min(pending, 3600.0));
    if (whole > 0) {
      pending -= static_cast<double>(whole);
      lock.unlock();
      Advance(whole);
      lock.lock();
    }
  }
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

bool SimServer::ApplyFault(const httplib::Request &req, httplib::Response &res, bool &truncate) {
  TFaultRule rule;
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
  if (!found) return false;
  if (rule.latencyMs > 0) {
    std::unique_lock<std::mutex> lock(fStopMutex);
    fStopCv.wait_for(lock, std::chrono::milliseconds(rule.latencyMs),
                     [this] { return fStopping.load(); });
  }
  if (rule.drop) {
    DropConnection(req);
    res.status = 500;
    return true;
  }
  if (rule.hang) {
    res.status = 200;
    res.set_chunked_content_provider("application/json",
                                     [this](size_t offset, httplib::DataSink &sink) {
                                       if (offset == 0) return sink.write("{\"objects\":[", 12);
                                       // Trickle a blank now and then: the reply never ends, and a
                                       // client that gave up is noticed by the failed write, which
                                       // frees this thread.
                                       std::unique_lock<std::mutex> lock(fStopMutex);
                                       if (fStopCv.wait_for(lock, std::chrono::milliseconds(500),
                                                            [this] { return fStopping.load(); }))
                                         return false;
                                       return sink.write(" ", 1);
                                     });
    return true;
  }
  if (rule.status) {
    res.status = rule.status;
    res.set_content(json{{"text", "injected fault " + std::to_string(rule.status)}}.dump(),
                    "application/json");
    return true;
  }
  if (rule.malformed) {
    res.status = 200;
    res.set_content("{\"dt\": \"2024-01-01T00:00:00Z\", \"objects\": [{\"uid\": 1,, ]",
                    "application/json");
    return true;
  }
  truncate = rule.truncated;
  return false;
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

  TApiReply reply;
  bool truncate = false;
  try {
    if (ApplyFault(req, res, truncate)) {
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
        if (route->needsToken) ar.user = fWorld->UserByToken(ar.token);
        if (route->needsToken && !ar.user)
          reply = TApiReply::Error(401, ar.token.empty() ? "no token" : "invalid token");
        else
          reply = route->handler(*fWorld, ar);
      }
      // Cut the reply in the middle; Content-Length follows the cut, so only the JSON is broken.
      if (truncate && reply.body.size() > 1) reply.body.resize(reply.body.size() / 2);
      res.status = reply.status;
      if (reply.status != 204) res.set_content(reply.body, reply.contentType);
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
  if (fRequests.size() >= 1000) fRequests.erase(fRequests.begin());
  fRequests.push_back(std::move(rec));
}

} // namespace kelvra
