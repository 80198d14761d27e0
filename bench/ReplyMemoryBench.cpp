// What receiving a large reply costs in memory: the peak resident memory a client adds while it
// receives a 200 MB reply over loopback, divided by 200 MB (the least a client that keeps the
// reply must hold).
//   reply memory:             the reply announces its length (Content-Length)
//   reply memory (no length): it does not (chunked), so the client learns the size as it reads
// The client runs in a child process of its own (PeakAdded); the server stays in the parent, so
// the reply's text held there is not counted.
#include <cstdio>
#include <string>

#include "BenchData.h"
#include "BenchFigures.h"
#include "core/client/LumHttp.h"

namespace {

using namespace kelvra;

constexpr std::size_t kReplyBytes = std::size_t(200) << 20;

// A JSON array of track-like elements, kReplyBytes long.
const std::string &Reply() {
  static const std::string text = [] {
    std::string t = "[";
    const std::string element =
        R"({"uid":1,"obj_id":101,"sys_dt":"2024-03-01T00:00:01Z","lat":57.998649,"lon":56.27574},)";
    while (t.size() + element.size() + 64 < kReplyBytes)
      t += element;
    t.back() = ']';
    t.resize(kReplyBytes, ' ');
    return t;
  }();
  return text;
}

// The peak memory a client added while it received aUrl, in bytes; -1 when it failed.
long long ReceivePeak(const std::string &aUrl) {
  return bench::PeakAdded([&aUrl] {
    TLumHttpClient client;
    client.SetTimeouts(10000, 120000);
    const int status = client.Get(aUrl);
    if (status != 200 || client.RcvdCount() != int64_t(kReplyBytes)) {
      std::fprintf(stderr, "reply memory: status %d, %lld bytes (%s)\n", status,
                   static_cast<long long>(client.RcvdCount()), client.HttpReason().c_str());
      _exit(1);
    }
  });
}

} // namespace

int main() {
  Reply();
  bench::TReplyServer server;
  const auto pick = [](const httplib::Request &) -> const std::string & { return Reply(); };
  server.Serve("/length", pick);
  server.Serve("/chunked", pick, true);
  if (!server.Start()) return 1;
  const long long withLength = ReceivePeak(server.BaseUrl() + "/length");
  const long long chunked = ReceivePeak(server.BaseUrl() + "/chunked");
  std::fprintf(stderr, "reply memory: %zu bytes received; peak added %lld (with length), %lld "
                       "(without)\n",
               kReplyBytes, withLength, chunked);
  kelvra::bench::PrintFigure("reply memory", withLength > 0 ? double(withLength) / kReplyBytes : -1,
                             1.25);
  kelvra::bench::PrintFigure("reply memory (no length)",
                             chunked > 0 ? double(chunked) / kReplyBytes : -1, 1.25);
  return withLength > 0 && chunked > 0 ? 0 : 1;
}
