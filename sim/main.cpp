// kelvra-sim: the substitute monitoring service and tile server, run on its own.
// The first line of standard output is the port it listens on (useful with --port 0); the log
// goes to standard error. SIGTERM or SIGINT ends it with exit code 0.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <pthread.h>

#include "sim/SimServer.h"
#include "sim/SimTiles.h"
#include "sim/SimUtil.h"
#include "sim/SimWorld.h"

namespace {

const char *const kUsage =
    "usage: kelvra-sim [options]\n"
    "  --bind ADDR       address to listen on (default 127.0.0.1)\n"
    "  --port N          port; 0 picks a free one (default 0); printed on the first line\n"
    "  --cert FILE --key FILE   serve HTTPS with this PEM certificate and key\n"
    "  --seed N          seed of the demo world (default 1)\n"
    "  --speed X         simulated seconds per second (default 1; 0 freezes time)\n"
    "  --start TIME      simulated start time yyyy-mm-ddThh:nn:ssZ (default: now)\n"
    "  --fleet N         N more vehicles of the demo user driving the street network\n"
    "                    (0 to 20000, default 0)\n"
    "  --history DAYS    days of past messages of every object (1 to 60, default 2): the last\n"
    "                    day simulated, the days before it made when asked for; from 2 on the\n"
    "                    world has \"Tracker 1Hz\", reporting every second while it moves\n"
    "  --workers N       requests served at once (default 64); hanging, slow and delayed\n"
    "                    replies do not count, so they never stop the service\n"
    "  --state FILE      keep the sign-ins (tokens and session cookies) across a restart:\n"
    "                    read from FILE at start when it exists, written at exit\n"
    "  --token-ttl S     sign-in tokens expire S simulated seconds after they were issued\n"
    "                    (401 \"token expired\"; default: never)\n"
    "  --fault RULE      PATTERN:kind[,kind...] with kinds latency=MS, status=CODE, malformed,\n"
    "                    truncated, drop, hang, oversized=MB, cut, html, slow=BYTES_PER_S,\n"
    "                    expire, times=N, method=M (may be repeated)\n"
    "  --tile-numbers    show zoom/column/row on tiles of every zoom (always from zoom 16)\n"
    "  --tile-max-age S  tiles are sent with Cache-Control max-age=S (default 604800, 7 days)\n"
    "  --quiet           no request log on standard error\n"
    "Demo account: user demo, password demo.\n"
    "\n"
    "The two clocks: every time the service sends (message times, the \"dt\" of a list) is its\n"
    "simulated clock, which starts at --start and runs --speed simulated seconds per wall-clock\n"
    "second. The client measures message ages and trims trails against its own wall clock. With\n"
    "the defaults (no --start, --speed 1) both clocks show the same time. A start in the past\n"
    "or a speed other than 1 makes them differ, by a fixed offset or more every second: ages\n"
    "then look too old or negative and trails are trimmed too early or never.\n";

int Usage(const char *why) {
  std::fprintf(stderr, "kelvra-sim: %s\n%s", why, kUsage);
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  using namespace kelvra;
  TSimOptions opt;
  std::string stateFile;
  opt.speed = 1;
  opt.historyDays = 2;
  opt.logRequests = true;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string &out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    int64_t n = 0;
    double d = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--quiet") {
      opt.logRequests = false;
    } else if (a == "--tile-numbers") {
      sim::SetTileNumbersAlways(true);
    } else if (!value(v)) {
      return Usage(("unknown option or missing value: " + a).c_str());
    } else if (a == "--bind") {
      opt.bindAddress = v;
    } else if (a == "--port") {
      if (!sim::ToInt64(v, n) || n < 0 || n > 65535) return Usage("bad --port");
      opt.port = static_cast<int>(n);
    } else if (a == "--cert") {
      opt.certFile = v;
    } else if (a == "--key") {
      opt.keyFile = v;
    } else if (a == "--seed") {
      if (!sim::ToInt64(v, n) || n < 0 || n > 0xFFFFFFFFLL) return Usage("bad --seed");
      opt.seed = static_cast<uint32_t>(n);
    } else if (a == "--speed") {
      if (!sim::ToDouble(v, d) || d < 0 || d > 100000) return Usage("bad --speed");
      opt.speed = d;
    } else if (a == "--start") {
      if (!sim::ParseUtc(v, n)) return Usage("bad --start");
      opt.startTime = n;
    } else if (a == "--fleet") {
      if (!sim::ToInt64(v, n) || n < 0 || n > sim::TSimWorld::kMaxFleet) return Usage("bad --fleet");
      opt.fleet = static_cast<int>(n);
    } else if (a == "--history") {
      if (!sim::ToInt64(v, n) || n < 1 || n > sim::TSimWorld::kMaxHistoryDays)
        return Usage("bad --history");
      opt.historyDays = static_cast<int>(n);
    } else if (a == "--workers") {
      if (!sim::ToInt64(v, n) || n < 1 || n > 4096) return Usage("bad --workers");
      opt.workers = static_cast<int>(n);
    } else if (a == "--tile-max-age") {
      if (!sim::ToInt64(v, n) || n < 0) return Usage("bad --tile-max-age");
      sim::SetTileMaxAge(n);
    } else if (a == "--token-ttl") {
      if (!sim::ToInt64(v, n) || n < 0) return Usage("bad --token-ttl");
      opt.tokenTtl = n;
    } else if (a == "--state") {
      stateFile = v;
    } else if (a == "--fault") {
      TFaultRule rule;
      std::string error;
      if (!ParseFaultRule(v, rule, &error)) return Usage(error.c_str());
      opt.faults.push_back(rule);
    } else {
      return Usage(("unknown option: " + a).c_str());
    }
  }

  // Block the stop signals in every thread; the main thread waits for them below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  SimServer server(opt);
  if (!server.Start()) {
    std::fprintf(stderr, "kelvra-sim: %s\n", server.Error().c_str());
    return 1;
  }
  // The world exists once the server has started (a request in the moment between is refused
  // as one during the restart would be).
  if (!stateFile.empty()) {
    std::ifstream in(stateFile, std::ios::binary);
    if (in) {
      std::stringstream text;
      text << in.rdbuf();
      const int n = server.WithWorld([&text](sim::TSimWorld &w) { return w.LoadTokens(text.str()); });
      std::fprintf(stderr, "kelvra-sim: %d sign-ins read from %s\n", n, stateFile.c_str());
    }
  }
  std::printf("%d\n", server.Port());
  std::fflush(stdout);
  std::fprintf(stderr, "kelvra-sim: serving %s (user demo, password demo), seed %u, speed %g\n",
               server.BaseUrl().c_str(), opt.seed, opt.speed);

  int sig = 0;
  sigwait(&stopSignals, &sig);
  std::fprintf(stderr, "kelvra-sim: %s, stopping\n", sig == SIGTERM ? "SIGTERM" : "SIGINT");
  server.Stop();
  if (!stateFile.empty()) {
    // Written beside the file and renamed over it: a crash never leaves half a state.
    const std::string text = server.WithWorld([](sim::TSimWorld &w) { return w.SaveTokens(); });
    const std::string tmp = stateFile + ".tmp";
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out || std::rename(tmp.c_str(), stateFile.c_str()) != 0)
      std::fprintf(stderr, "kelvra-sim: cannot write %s\n", stateFile.c_str());
  }
  return 0;
}
