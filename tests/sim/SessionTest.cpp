// Tokens and the session cookie: random per run, expiring, revoked, and the cookie of a sign-in.
#include "SimFixture.h"

#include <algorithm>

namespace kelvra::simtest {
namespace {

using Session = SimTest;

TEST_F(Session, SignInSetsACookieThatMustComeBack) {
  ASSERT_FALSE(Api().Cookie().empty());
  EXPECT_EQ(Api().Cookie().rfind("kelvra_session=", 0), 0u) << Api().Cookie();
  EXPECT_EQ(Api().Get("/user").status, 200);

  TApi noCookie(fSim->BaseUrl(), Api().Token());
  THttpReply r = noCookie.Get("/user");
  EXPECT_EQ(r.status, 401);
  EXPECT_TRUE(r.Json()["text"].is_string());

  TApi wrongCookie(fSim->BaseUrl(), Api().Token());
  wrongCookie.SetCookie("kelvra_session=0123456789");
  EXPECT_EQ(wrongCookie.Get("/user").status, 401);

  // the cookie among others, as a jar sends them
  TApi jar(fSim->BaseUrl(), Api().Token());
  jar.SetCookie("theme=dark; " + Api().Cookie() + "; lang=ru");
  EXPECT_EQ(jar.Get("/user").status, 200);

  // a cookie is no token: another sign-in's cookie does not open this one
  TApi other(fSim->BaseUrl());
  ASSERT_TRUE(other.Login("demo", "demo"));
  TApi crossed(fSim->BaseUrl(), Api().Token());
  crossed.SetCookie(other.Cookie());
  EXPECT_EQ(crossed.Get("/user").status, 401);
}

TEST_F(Session, TokensOfAnotherRunAreNotValid) {
  // Same seed, same world, but a restart must not bring back the tokens of the last run.
  TSimOptions opt;
  opt.startTime = FixedStart();
  SimServer second(opt);
  ASSERT_TRUE(second.Start()) << second.Error();
  TApi again(second.BaseUrl());
  ASSERT_TRUE(again.Login("demo", "demo"));
  EXPECT_NE(again.Token(), Api().Token());
  EXPECT_NE(second.DemoToken(), fSim->DemoToken());

  TApi stale(second.BaseUrl(), Api().Token());
  stale.SetCookie(Api().Cookie());
  EXPECT_EQ(stale.Get("/user").status, 401);
}

TEST_F(Session, KeptSignInsComeBackWithTheirCookie) {
  // What --state keeps: the tokens and cookies of one run, read by the next.
  const std::string state = fSim->WithWorld([](sim::TSimWorld &w) { return w.SaveTokens(); });
  TSimOptions opt;
  opt.startTime = FixedStart();
  SimServer second(opt);
  ASSERT_TRUE(second.Start()) << second.Error(); // the world is made as the server starts
  EXPECT_GT(second.WithWorld([&state](sim::TSimWorld &w) {
              return w.LoadTokens(state + "garbage line\n" + state); // read once, junk skipped
            }),
            0);
  TApi kept(second.BaseUrl(), Api().Token());
  kept.SetCookie(Api().Cookie());
  EXPECT_EQ(kept.Get("/user").status, 200);
  TApi noCookie(second.BaseUrl(), Api().Token());
  EXPECT_EQ(noCookie.Get("/user").status, 401); // the cookie still has to come back
  // Saved again, nothing doubles.
  const std::string again = second.WithWorld([](sim::TSimWorld &w) { return w.SaveTokens(); });
  EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), std::count(state.begin(), state.end(), '\n'));
}

TEST(SessionTtl, TokenExpiresAfterItsLifetime) {
  TSimOptions opt;
  opt.startTime = FixedStart();
  opt.tokenTtl = 600;
  SimServer sim(opt);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TApi api(sim.BaseUrl());
  ASSERT_TRUE(api.Login("demo", "demo"));
  sim.Advance(599);
  EXPECT_EQ(api.Get("/user").status, 200);
  sim.Advance(1);
  THttpReply r = api.Get("/user");
  EXPECT_EQ(r.status, 401);
  EXPECT_EQ(r.Json()["text"], "token expired");
  // a new sign-in gives a fresh lifetime
  ASSERT_TRUE(api.Login("demo", "demo"));
  EXPECT_EQ(api.Get("/user/objects").status, 200);
}

TEST_F(Session, ExpireFaultEndsTheTokenForGood) {
  TFaultRule rule;
  ASSERT_TRUE(ParseFaultRule("/api/v1/user/objects:expire,times=1", rule));
  fSim->AddFault(rule);
  THttpReply r = Api().Get("/user/objects");
  EXPECT_EQ(r.status, 401);
  EXPECT_EQ(r.Json()["text"], "token expired");
  // the rule is used up, the token stays expired everywhere
  THttpReply after = Api().Get("/user");
  EXPECT_EQ(after.status, 401);
  EXPECT_EQ(after.Json()["text"], "token expired");
  ASSERT_TRUE(Api().Login("demo", "demo"));
  EXPECT_EQ(Api().Get("/user/objects").status, 200);
}

} // namespace
} // namespace kelvra::simtest
