#pragma once
// A client signed in as the demo user of an in-process kelvra-sim whose time
// stands still at a fixed moment, with its home folder (answers, photos) in a
// temporary folder.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/client/client.h"
#include "core/util/LumDates.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"

namespace kelvra::test {

class TSimClientTest : public ::testing::Test {
protected:
  static constexpr int64_t kStart = 1709672400; // 2024-03-05 21:00:00 UTC

  void SetUp() override {
    TSimOptions options;
    options.startTime = kStart;
    ShapeWorld(options);
    fSim = std::make_unique<SimServer>(options);
    ASSERT_TRUE(fSim->Start()) << fSim->Error();
    fConfig.SetVal("http_connect_timeout", "5");
    fConfig.SetVal("http_timeout", "20");
    TKelvraClientEnv env;
    env.Config = &fConfig;
    env.HomeDir = fHome.Path();
    fClient = std::make_unique<TKelvraClient>(fSim->BaseUrl(), fSim->DemoToken(), "0", env);
    fClient->SetLogCallback([this](const std::string &aText) { fLog += aText; });
    fDemoUid = fSim->WithWorld([](sim::TSimWorld &w) { return w.FindUser("demo")->uid; });
  }

  // A test's own world (a fleet, days of history) before the service starts.
  virtual void ShapeWorld(TSimOptions &) {}

  void TearDown() override {
    fClient.reset();
    if (fSim) fSim->Stop();
  }

  // Service seconds as the client's display time (the offset is 0 here).
  static TDateTime Dt(int64_t unixSeconds) { return UnixToDateTime(unixSeconds, false); }

  TSimRequest LastRequest() {
    auto requests = fSim->Requests();
    return requests.empty() ? TSimRequest() : requests.back();
  }
  size_t RequestCount() { return fSim->Requests().size(); }

  // Uid of the demo user's first object that satisfies the predicate, 0 when
  // none.
  template <class P> int DemoObject(P pred) {
    return fSim->WithWorld([&](sim::TSimWorld &w) {
      for (auto &o : w.fObjects)
        if (o->user_id == fDemoUid && !o->is_deleted && pred(*o)) return o->uid;
      return 0;
    });
  }

  TTempDir fHome{"kelvra-model-it"};
  std::unique_ptr<SimServer> fSim;
  TLumHash fConfig;
  std::unique_ptr<TKelvraClient> fClient;
  std::string fLog;
  int fDemoUid = 0;
};

} // namespace kelvra::test
