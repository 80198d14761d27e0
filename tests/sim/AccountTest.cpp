// Sign-in, the token check, the user record, registration and recovery.
#include "SimFixture.h"

namespace kelvra::simtest {
namespace {

using Account = SimTest;

TEST_F(Account, LoginReturnsUserAndToken) {
  TApi anon(fSim->BaseUrl());
  THttpReply r = anon.Post("/user/login", "uname=demo&upass=demo");
  ASSERT_EQ(r.status, 200);
  EXPECT_NE(r.contentType.find("application/json"), std::string::npos);
  auto j = r.Json();
  EXPECT_EQ(j["login"], "demo");
  EXPECT_GT(j["uid"].get<int>(), 0);
  EXPECT_EQ(j["tz"], 18000);
  EXPECT_FALSE(j["apiToken"].get<std::string>().empty());
}

TEST_F(Account, SecondSignInKeepsTheFirstTokenValid) {
  std::string first = Api().Token();
  TApi second(fSim->BaseUrl());
  ASSERT_TRUE(second.Login("demo", "demo"));
  EXPECT_NE(second.Token(), first);
  EXPECT_EQ(Api().Get("/user").status, 200);
  EXPECT_EQ(second.Get("/user").status, 200);
}

// Every operation but sign-in, registration and recovery needs a token.
struct TRoute {
  const char *name;
  const char *method;
  const char *path;
};

class TokenCheck : public SimTest, public ::testing::WithParamInterface<TRoute> {};

TEST_P(TokenCheck, MissingOrWrongTokenAnswers401WithText) {
  for (const char *token : {"", "not-a-token"}) {
    TApi api(fSim->BaseUrl(), token);
    THttpReply r = api.Send(GetParam().method, GetParam().path, "");
    EXPECT_EQ(r.status, 401) << GetParam().path << " token '" << token << "'";
    auto j = r.Json();
    ASSERT_TRUE(j.is_object());
    EXPECT_TRUE(j["text"].is_string());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, TokenCheck,
    ::testing::Values(
        TRoute{"User", "GET", "/user"}, TRoute{"UpdateUser", "PUT", "/user"},
        TRoute{"Objects", "GET", "/user/objects"}, TRoute{"Zones", "GET", "/user/zones"},
        TRoute{"Traps", "GET", "/user/traps"}, TRoute{"Events", "GET", "/user/events"},
        TRoute{"Trips", "GET", "/user/trips"}, TRoute{"CreateObject", "POST", "/object"},
        TRoute{"GetObject", "GET", "/object/101"}, TRoute{"UpdateObject", "PUT", "/object/101"},
        TRoute{"DeleteObject", "DELETE", "/object/101"}, TRoute{"Photo", "GET", "/object/103/img"},
        TRoute{"PostPhoto", "POST", "/object/103/img"},
        TRoute{"DeletePhoto", "DELETE", "/object/103/img"},
        TRoute{"Track", "GET", "/object/101/track"},
        TRoute{"StartTrip", "PUT", "/object/101/starttrip"},
        TRoute{"StopTrip", "PUT", "/object/101/stoptrip"},
        TRoute{"CommandLog", "GET", "/object/101/cmdlog"},
        TRoute{"SendCommand", "POST", "/object/101/sendcmd"},
        TRoute{"CommandResponse", "GET", "/cmdlog/1/response"},
        TRoute{"CreateZone", "POST", "/zone"}, TRoute{"UpdateZone", "PUT", "/zone/10"},
        TRoute{"DeleteZone", "DELETE", "/zone/10"},
        TRoute{"ZoneHistory", "GET", "/zone/10/history"}, TRoute{"CreateTrap", "POST", "/trap"},
        TRoute{"GetTrap", "GET", "/trap/201"}, TRoute{"UpdateTrap", "PUT", "/trap/201"},
        TRoute{"DeleteTrap", "DELETE", "/trap/201"},
        TRoute{"AcceptEvent", "PUT", "/event/1/accept"}, TRoute{"Wifi", "GET", "/wifi_aps"},
        TRoute{"OsmLookup", "POST", "/osm/lookup"}),
    CaseName<TRoute>);

TEST_F(Account, GetUserCarriesTheRecordAndToken) {
  THttpReply r = Api().Get("/user");
  ASSERT_EQ(r.status, 200);
  auto j = r.Json();
  for (const char *key : {"uid", "login", "name", "email", "t_chat_id", "tz", "lang"})
    EXPECT_TRUE(j.contains(key)) << key;
  EXPECT_EQ(j["apiToken"], Api().Token());
}

TEST_F(Account, UpdateUserChangesOnlyTheFieldsSent) {
  THttpReply r =
      Api().Put("/user", "name=%D0%90%D0%BD%D0%BD%D0%B0+K&t_chat_id=5000000000&tz=-18000&");
  ASSERT_EQ(r.status, 200);
  auto j = r.Json();
  EXPECT_EQ(j["name"], "Анна K");
  EXPECT_EQ(j["t_chat_id"], 5000000000LL);
  EXPECT_EQ(j["tz"], -18000);
  EXPECT_EQ(j["email"], "demo@example.com");
  EXPECT_EQ(Api().Get("/user").Json()["name"], "Анна K");
}

TEST_F(Account, UpdateUserPasswordIsUsedAtTheNextSignIn) {
  ASSERT_EQ(Api().Put("/user", "password=s3cret&").status, 200);
  TApi other(fSim->BaseUrl());
  EXPECT_FALSE(other.Login("demo", "demo"));
  EXPECT_TRUE(other.Login("demo", "s3cret"));
}

struct TAnonCase {
  const char *name;
  const char *path;
  const char *body;
  int status;
};

class Anonymous : public SimTest, public ::testing::WithParamInterface<TAnonCase> {};

TEST_P(Anonymous, NeedsNoToken) {
  TApi anon(fSim->BaseUrl());
  EXPECT_EQ(anon.Post(GetParam().path, GetParam().body).status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Anonymous,
    ::testing::Values(TAnonCase{"RegNew", "/user/reg", "login=new@example.com&client=2", 204},
                      TAnonCase{"RegTakenLogin", "/user/reg", "login=demo&client=2", 409},
                      TAnonCase{"RegTakenEmail", "/user/reg", "login=alice@example.com&client=2",
                                409},
                      TAnonCase{"RegEmpty", "/user/reg", "login=&client=2", 400},
                      TAnonCase{"RecoveryKnown", "/user/recovery", "login=demo", 204},
                      TAnonCase{"RecoveryByEmail", "/user/recovery", "login=demo@example.com", 204},
                      TAnonCase{"RecoveryUnknown", "/user/recovery", "login=nobody", 406}),
    CaseName<TAnonCase>);

TEST_F(Account, RegisteredUserCanSignInAndOwnsNothing) {
  TApi anon(fSim->BaseUrl());
  ASSERT_EQ(anon.Post("/user/reg", "login=bob@example.com&client=2").status, 204);
  ASSERT_TRUE(anon.Login("bob@example.com", "welcome"));
  auto j = anon.Get("/user/objects").Json();
  EXPECT_TRUE(j["objects"].empty());
}

TEST_F(Account, UnknownPathAndMethodAreJsonErrors) {
  EXPECT_EQ(Api().Get("/no/such/thing").status, 404);
  THttpReply r = Api().Send("DELETE", "/user", "");
  EXPECT_EQ(r.status, 405);
  EXPECT_TRUE(r.Json()["text"].is_string());
}

} // namespace
} // namespace kelvra::simtest
