// Request properties of the tile download queue.
#include "core/map/NetworkRequest.h"

#include "core/map/TilesProviderOSM.h"

#include <gtest/gtest.h>

#include <future>

namespace kelvra {
namespace {

TEST(THttpRequestProps, CloneCopiesOwnedPartsAndSharesTheRest) {
  int backend = 0;
  std::atomic<bool> stop{false};
  THttpRequestProps p;
  p.Proxy = "proxy:3128";
  p.URL = "http://h/1.png";
  p.HttpUserName = "u";
  p.HttpPassword = "p";
  p.Additional = &backend;
  p.Cancel = &stop;
  p.HeaderLines = std::make_unique<std::vector<std::string>>(std::vector<std::string>{"A: 1"});

  const auto c = p.Clone();
  EXPECT_EQ(c->Proxy, p.Proxy);
  EXPECT_EQ(c->URL, p.URL);
  EXPECT_EQ(c->HttpUserName, p.HttpUserName);
  EXPECT_EQ(c->HttpPassword, p.HttpPassword);
  EXPECT_EQ(c->Additional, &backend);
  EXPECT_EQ(c->Cancel, &stop);
  ASSERT_NE(c->HeaderLines, nullptr);
  EXPECT_NE(c->HeaderLines.get(), p.HeaderLines.get()); // a list of its own
  c->HeaderLines->push_back("B: 2");
  EXPECT_EQ(p.HeaderLines->size(), 1u);

  const THttpRequestProps bare;
  EXPECT_EQ(bare.Clone()->HeaderLines, nullptr); // absent stays absent
}

// What a worker hands to the request function for one tile.
TEST(TNetworkRequestQueue, WorkerFillsAddressAndProxy) {
  struct {
    const char *proxy, *sent;
  } cases[] = {{"", ""},
               {"127.0.0.1:3128", "http://127.0.0.1:3128"}, // host and port: plain HTTP
               {"http://SYSTEM", "http://SYSTEM"},
               {"https://proxy:8443", "https://proxy:8443"}}; // a scheme is kept
  for (const auto &c : cases) {
    std::promise<std::pair<std::string, std::string>> seen;
    auto capture = [&](const THttpRequestProps &p, TMemoryStream &, std::string &) {
      seen.set_value({p.URL, p.Proxy});
      return false;
    };
    TNetworkRequestQueue q(4, 3, capture,
                           std::make_unique<TOSMTilesProvider>("http://h/{z}/{x}/{y}.png"));
    THttpRequestProps props;
    props.Proxy = c.proxy;
    q.SetRequestProps(props);
    q.RequestTile({7, 70, 42});
    const auto [url, proxy] = seen.get_future().get();
    EXPECT_EQ(url, "http://h/7/70/42.png");
    EXPECT_EQ(proxy, c.sent);
  }
}

} // namespace
} // namespace kelvra
