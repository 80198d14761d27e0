// The service client without a service: JSON readers, conversions, form encoding, the request
// core's refusals and log, and records parsed from recorded replies.
#include "core/client/CancellableWork.h"
#include "core/client/client.h"
#include "core/util/LumDates.h"
#include "support/ObjectState.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kelvra {
namespace {

TJsonReply LoadReply(const std::string &aName) {
  const char *dir = std::getenv("KELVRA_TEST_DATA");
  std::ifstream in(std::string(dir ? dir : "tests/data") + "/client/" + aName);
  std::stringstream text;
  text << in.rdbuf();
  return ParseJsonReply(text.str());
}

// A client that records its log; no server unless a test sets one.
struct TClientFixture : ::testing::Test {
  TClientFixture() : client("", "token", "0.125") {
    client.SetLogCallback([this](const std::string &aText) { log += aText; });
  }
  TKelvraClient client;
  std::string log;
};

// --- readers -------------------------------------------------------------------------------------

struct TIntCase {
  const char *name;
  const char *json;
  int64_t def;
  int64_t expected;
};

class GetJvIntTest : public ::testing::TestWithParam<TIntCase> {};

TEST_P(GetJvIntTest, DigitsOnly) {
  const TJsonReply obj = ParseJsonReply(std::string("{\"v\":") + GetParam().json + "}");
  EXPECT_EQ(TKelvraClient::GetJvInt(obj.Root(), "v", GetParam().def), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetJvIntTest,
    ::testing::Values(TIntCase{"Number", "7", 0, 7}, TIntCase{"Text", "\"7\"", 0, 7},
                      TIntCase{"Negative", "-3", 0, 0},
                      TIntCase{"NegativeOwnDefault", "-3", -1, -1},
                      TIntCase{"Fraction", "7.5", 0, 0}, TIntCase{"Null", "null", 0, 0},
                      TIntCase{"SignedText", "\"+7\"", 0, 0}, TIntCase{"Bool", "true", 0, 0},
                      TIntCase{"Big", "4294967301", 0, 4294967301LL},
                      TIntCase{"Overflow", "\"99999999999999999999\"", -1, -1}),
    [](const auto &info) { return std::string(info.param.name); });

class GetJvSignedIntTest : public ::testing::TestWithParam<TIntCase> {};

TEST_P(GetJvSignedIntTest, WholeNumbers) {
  const TJsonReply obj = ParseJsonReply(std::string("{\"v\":") + GetParam().json + "}");
  EXPECT_EQ(TKelvraClient::GetJvSignedInt(obj.Root(), "v", GetParam().def), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetJvSignedIntTest,
    ::testing::Values(TIntCase{"East", "10800", 0, 10800}, TIntCase{"West", "-18000", 0, -18000},
                      TIntCase{"WestText", "\"-18000\"", 0, -18000},
                      TIntCase{"Fraction", "-1.5", 0, 0}, TIntCase{"Garbage", "\"-1a\"", 9, 9},
                      TIntCase{"LoneSign", "\"-\"", 9, 9}, TIntCase{"Null", "null", 9, 9}),
    [](const auto &info) { return std::string(info.param.name); });

struct TDblCase {
  const char *name;
  const char *json; // the value, or nullptr for an absent key
  double expected;  // NaN: expect NaN
};

class GetJvDblTest : public ::testing::TestWithParam<TDblCase> {};

TEST_P(GetJvDblTest, Reads) {
  const TJsonReply obj = GetParam().json ? ParseJsonReply(std::string("{\"v\":") + GetParam().json + "}")
                                    : ParseJsonReply("{}");
  const double v = TKelvraClient::GetJvDbl(obj.Root(), "v");
  if (std::isnan(GetParam().expected))
    EXPECT_TRUE(std::isnan(v)) << v;
  else
    EXPECT_DOUBLE_EQ(v, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetJvDblTest,
    ::testing::Values(TDblCase{"CommaText", "\"12,5\"", 12.5},
                      TDblCase{"DotText", "\"12.5\"", 12.5}, TDblCase{"Number", "-3.25", -3.25},
                      TDblCase{"Absent", nullptr, NAN}, TDblCase{"Null", "null", NAN},
                      TDblCase{"Empty", "\"\"", NAN}, TDblCase{"Unreadable", "\"abc\"", 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GetJvTest, TextAndFlags) {
  const TJsonReply obj = ParseJsonReply(
      R"({"s":"abc","n":5,"f":2.5,"t":true,"ts":"true","o":{"a":1},"a":[1],"z":null,"one":1})");
  EXPECT_EQ(TKelvraClient::GetJvStr(obj.Root(), "s"), "abc");
  EXPECT_EQ(TKelvraClient::GetJvStr(obj.Root(), "n"), "5");
  EXPECT_EQ(TKelvraClient::GetJvStr(obj.Root(), "f"), "2.5");
  EXPECT_EQ(TKelvraClient::GetJvStr(obj.Root(), "t"), "true");
  EXPECT_EQ(TKelvraClient::GetJvStr(obj.Root(), "o"), "");
  EXPECT_EQ(TKelvraClient::GetJvStr(obj.Root(), "missing"), "");
  EXPECT_TRUE(TKelvraClient::GetJvBool(obj.Root(), "t"));
  EXPECT_TRUE(TKelvraClient::GetJvBool(obj.Root(), "ts"));
  EXPECT_FALSE(TKelvraClient::GetJvBool(obj.Root(), "one"));
  EXPECT_FALSE(TKelvraClient::GetJv(obj.Root(), "z"));
  EXPECT_FALSE(TKelvraClient::GetJv(TJsonVal(), "s"));
  EXPECT_TRUE(TKelvraClient::GetJvArr(obj.Root(), "a"));
  EXPECT_FALSE(TKelvraClient::GetJvArr(obj.Root(), "o"));
}

TEST_F(TClientFixture, GetJvDtTurnsServiceTimeIntoDisplayTime) {
  const TJsonReply obj = ParseJsonReply(
      R"({"dt":"2024-03-05 21:04:09","iso":"2024-03-05T21:04:09Z","bad":"soon","empty":""})");
  // The client's own offset (3 hours) while no user is signed in.
  EXPECT_NEAR(client.GetJvDt(obj.Root(), "dt"), EncodeDateTime(2024, 3, 6, 0, 4, 9), 1e-9);
  // The user's own offset wins once it is set: UTC-5.
  const TJsonReply user = LoadReply("user.json");
  client.ParseUserInfo(user.Root());
  EXPECT_NEAR(client.GetJvDt(obj.Root(), "iso"), EncodeDateTime(2024, 3, 5, 16, 4, 9), 1e-9);
  EXPECT_TRUE(std::isnan(client.GetJvDt(obj.Root(), "bad")));
  EXPECT_TRUE(std::isnan(client.GetJvDt(obj.Root(), "empty")));
  EXPECT_TRUE(std::isnan(client.GetJvDt(obj.Root(), "missing")));
}

TEST(TimeZoneTest, UserOffsetThenClientThenSystem) {
  TKelvraClientEnv env;
  env.SystemTimeZone = 0.25;
  EXPECT_DOUBLE_EQ(TKelvraClient("", "", "0,125", env).GetTimeZone(), 0.125);
  EXPECT_DOUBLE_EQ(TKelvraClient("", "", "", env).GetTimeZone(), 0.25);
  EXPECT_DOUBLE_EQ(TKelvraClient("", "", "abc", env).GetTimeZone(), 0.25);
  TKelvraClient client("", "", "0.125", env);
  const TJsonReply user = ParseJsonReply(R"({"uid":1,"tz":10800})");
  client.ParseUserInfo(user.Root());
  EXPECT_DOUBLE_EQ(client.GetTimeZone(), 0.125);
  EXPECT_EQ(client.DtToService(EncodeDateTime(2024, 3, 6, 0, 4, 9)), "2024-03-05T21:04:09Z");
}

// --- content types -------------------------------------------------------------------------------

TEST(ContentTypeTest, BothDirections) {
  const std::pair<const char *, const char *> toExt[] = {
      {"text/html", "txt"},           {"application/zip", "zip"},
      {"image/jpeg", "jpg"},          {"image/jpg", "jpg"},
      {"image/png", "png"},           {"application/json", "dat"},
      {"application/x-html", "html"}, {"", "dat"}};
  for (const auto &[type, ext] : toExt)
    EXPECT_EQ(ContentType2Ext(type), ext) << type;
  const std::pair<const char *, const char *> toType[] = {{".JPG", "image/jpeg"},
                                                          {"jpeg", "image/jpeg"},
                                                          {"png", "image/png"},
                                                          {".zip", "application/zip"},
                                                          {"bin", "application/octet-stream"},
                                                          {"", "application/octet-stream"}};
  for (const auto &[ext, type] : toType)
    EXPECT_EQ(Ext2ContentType(ext), type) << ext;
}

// --- the request core without a reply ------------------------------------------------------------

TEST_F(TClientFixture, RefusedRequestsSendNothingAndReportMinusOne) {
  struct TCase {
    std::string server, token, method, source, path, data, error;
  };
  const TCase cases[] = {
      {"", "t", "GET", "Objects", "/user/objects", "", "no API server specified"},
      {"http://127.0.0.1:1", "t", "GET", "Objects", "", "", "no API method specified"},
      {"http://127.0.0.1:1", "", "GET", "Objects", "/user/objects", "", "no API token specified"},
      {"http://127.0.0.1:1", "t", "PATCH", "Objects", "/user", "", "unknow HttpMethod [PATCH]"},
      {"http://127.0.0.1:1", "t", "POST", "Photo", "/object/1/photo",
       "file:///nonexistent/photo.png", "error at read file [/nonexistent/photo.png: 2]"},
  };
  for (const TCase &c : cases) {
    TKelvraClient cl(c.server, c.token, "0");
    std::string text;
    cl.SetLogCallback([&text](const std::string &aPiece) { text += aPiece; });
    EXPECT_EQ(cl.DoRequest(c.method, c.source, c.path, c.data), -1) << c.error;
    EXPECT_EQ(cl.ResultCode(), -1);
    EXPECT_EQ(cl.GetErrorMessage(), "[-1]");
    EXPECT_NE(text.find("\r  X: " + c.error), std::string::npos) << text;
    // Nothing reached the transport.
    EXPECT_EQ(cl.ApiClient().URL(), "") << c.error;
  }
}

TEST_F(TClientFixture, SignInBodyNeverLoggedAndPasswordsHidden) {
  client.Login("ann", "s3cr&t=x");
  EXPECT_EQ(log.find("s3cr"), std::string::npos) << log;
  EXPECT_NE(log.find("\rKelvraClient.Login("), std::string::npos) << log;
  EXPECT_NE(log.find(", POST /user/login): "), std::string::npos) << log;

  log.clear();
  TLumHash fields;
  fields.SetVal("name", "Ann");
  fields.SetVal("password", "hunter2");
  client.UpdateUser(fields);
  EXPECT_EQ(log.find("hunter2"), std::string::npos) << log;
  EXPECT_NE(log.find(" name=Ann password=*** "), std::string::npos) << log;

  // Other bodies are shown with blanks between the pairs and "#" for "%".
  log.clear();
  client.Reg("a b&c");
  EXPECT_NE(log.find(" login=a+b#26c client=2): "), std::string::npos) << log;
}

TEST_F(TClientFixture, LoginRegRecoveryGoOutWithoutToken) {
  client.Clear();
  for (const char *source : {"Login", "Reg", "Recovery"}) {
    log.clear();
    client.DoPostRequest(source, "/user/x", "login=a");
    EXPECT_EQ(log.find("no API token specified"), std::string::npos) << source;
  }
}

TEST(LogTest, PiecesAndPrefixes) {
  TKelvraClient client("", "", "0");
  std::vector<std::string> pieces;
  client.SetLogCallback([&pieces](const std::string &aPiece) { pieces.push_back(aPiece); });
  client.Log("100% done");
  client.Log("GetObjects", "x");
  client.LogFmt("\r  -> %d", 3);
  client.LogSrcFmt("Zones", "%s [%d]", "ok", 2);
  const std::vector<std::string> expected = {"100# done", "\rKelvraClient.GetObjects: x",
                                             "\r  -> 3", "\rKelvraClient.Zones: ok [2]"};
  EXPECT_EQ(pieces, expected);
}

// --- the transport alone -------------------------------------------------------------------------

TEST(LumHttpTest, TextBodyOverLimitIsRefusedWithoutTraffic) {
  TLumHttpsClient http;
  EXPECT_EQ(http.Post("http://127.0.0.1:1/x", std::string(8193, 'a')), 500);
  EXPECT_EQ(http.HttpReason(), "Data too long [8193], max=8192");
  EXPECT_EQ(http.HttpStatus(), 0);
  // Counted in characters, limited in bytes.
  std::string cyrillic;
  for (int i = 0; i < 4097; ++i)
    cyrillic += "\xD0\xB6";
  EXPECT_EQ(http.Put("", cyrillic), 500);
  EXPECT_EQ(http.HttpReason(), "Data too long [4097], max=8192");
  EXPECT_EQ(http.URL(), "http://127.0.0.1:1/x");
}

TEST(LumHttpTest, NoReplyIsStatusZeroWithTheFailureInTheLogLine) {
  const std::string logFile = ::testing::TempDir() + "lumhttp_requests.log";
  std::remove(logFile.c_str());
  std::remove(TLumHttpClient::TraceFileName(logFile).c_str());
  TLumHttpsClient http;
  http.SetLogFile(logFile);
  EXPECT_EQ(http.Get("http://127.0.0.1:1/api"), 0);
  EXPECT_EQ(http.HttpStatus(), 0);
  EXPECT_EQ(http.RcvdCount(), 0);
  EXPECT_STREQ(http.GetRcvdData(), "");
  std::ifstream in(logFile);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("GET http://127.0.0.1:1/api -> 0 ["), std::string::npos) << text.str();
  EXPECT_TRUE(std::ifstream(TLumHttpClient::TraceFileName(logFile)).good());
}

// A worker under the busy window checks its cancel flag and then starts an exchange; a Cancel
// that lands between the two must still end that exchange and the rest of the work (the abort is
// made here exactly in that gap, no threads needed). Outside such work an abort between exchanges
// belongs to an earlier exchange and is forgotten.
TEST(LumHttpTest, AbortBeforeAnExchangeOfACancellableWorkIsKept) {
  TLumHttpClient http, other;
  const auto cancelled = [](TLumHttpClient &c) { // nothing listens: refused unless cancelled
    EXPECT_EQ(c.Get("http://127.0.0.1:1/api"), 0);
    return c.HttpReason() == "cancelled";
  };
  http.Abort();
  EXPECT_FALSE(cancelled(http)) << "a stale abort ended a later exchange";
  {
    TCancellableWork work(http);
    EXPECT_FALSE(cancelled(http));
    http.Abort(); // between two exchanges of the work
    EXPECT_TRUE(cancelled(http)) << "the next exchange";
    EXPECT_TRUE(cancelled(http)) << "and every later one";
    {
      TCancellableWork inner(http);
      EXPECT_TRUE(cancelled(http)) << "an inner work keeps the outer one's Cancel";
    }
    EXPECT_TRUE(cancelled(http));
    EXPECT_FALSE(cancelled(other)) << "another client's work is its own";
  }
  EXPECT_FALSE(cancelled(http)) << "the work's abort outlived it";
}

TEST(LumHttpTest, CookiesKeepNameAndValueOnly) {
  TLumHttpClient http;
  http.RcvdCookie("sid=abc; Path=/; HttpOnly");
  http.RcvdCookie("theme=dark=blue");
  http.RcvdCookie("flag");
  http.RcvdCookie("sid=def");
  EXPECT_EQ(http.Cookie().Count(), 2);
  EXPECT_EQ(http.Cookie().GetVal("sid"), "def");
  EXPECT_EQ(http.Cookie().GetVal("theme"), "dark=blue");
  http.RcvdCookie("long=" + std::string(1200, 'v'));
  EXPECT_EQ(http.Cookie().GetVal("long").size(), 999u);
}

TEST(LumHttpTest, TraceFileBesideTheRequestLog) {
  EXPECT_EQ(TLumHttpClient::TraceFileName("/tmp/req.log"), "/tmp/req.https.log");
  EXPECT_EQ(TLumHttpClient::TraceFileName("/tmp/v1.d/req"), "/tmp/v1.d/req.https.log");
}

// --- error message -------------------------------------------------------------------------------

TEST(ErrorMessageTest, FreshClientReadsMinusOne) {
  TKelvraClient client("", "", "0");
  EXPECT_EQ(client.GetErrorMessage(), "[-1]");
}

// --- reply files
// ----------------------------------------------------------------------------------

TEST(ClearTest, DeletesReplyFilesAndForgetsTheSession) {
  test::TTempDir home;
  TKelvraClientEnv env;
  env.HomeDir = home.Path();
  TKelvraClient client("http://127.0.0.1:1", "token", "0", env);
  std::string log;
  client.SetLogCallback([&log](const std::string &aText) { log += aText; });
  ASSERT_EQ(client.ResponseDir(), home.Path() + "Responses/");
  EXPECT_EQ(client.PhotoDir(), home.Path() + "PhotoCache/");
  const std::string reply = home.Write("Responses/cmd_1.txt", "answer");
  home.Write("Responses/keep/inner.txt", "a folder stays");
  const TJsonReply reply1 = LoadReply("objects_full.json");
  client.MergeObjects(reply1.Root());

  client.Clear();
  EXPECT_FALSE(std::ifstream(reply).good());
  EXPECT_TRUE(std::ifstream(home.Path() + "Responses/keep/inner.txt").good());
  EXPECT_NE(log.find("\rKelvraClient.Clear"), std::string::npos);
  EXPECT_NE(log.find("\r del " + reply + " -> ok"), std::string::npos) << log;
  EXPECT_NE(log.find("keep -> error"), std::string::npos) << log;
  EXPECT_TRUE(client.ObjList().empty());
  EXPECT_EQ(client.ObjListUpdated(), 0);
  EXPECT_EQ(client.Token(), "");
}

TEST(ClearTest, EmptiesTheCookieJar) {
  TKelvraClient client("http://127.0.0.1:1", "token", "0");
  client.ApiClient().RcvdCookie("kelvra_session=abc; Path=/; HttpOnly");
  ASSERT_EQ(client.ApiClient().Cookie().GetVal("kelvra_session"), "abc");
  client.Clear();
  EXPECT_EQ(client.ApiClient().Cookie().Count(), 0);
}

TEST(PlainHttpTest, WarnsOnceForRemoteServersOnly) {
  struct TCase {
    const char *server;
    bool warns;
  };
  const TCase cases[] = {{"http://monitor.example.com", true},
                         {"HTTP://10.0.0.5:8080/base/", true},
                         {"http://user:pw@monitor.example.com", true},
                         {"http://127.0.0.1:8080", false},
                         {"http://localhost/", false},
                         {"http://[::1]:5000", false},
                         {"https://monitor.example.com", false}};
  for (const TCase &c : cases) {
    // No token: the requests are refused before anything is sent.
    TKelvraClient client(c.server, "", "0");
    std::string log;
    client.SetLogCallback([&log](const std::string &aText) { log += aText; });
    client.DoGetRequest("Objects", "/user/objects");
    client.DoGetRequest("Objects", "/user/objects");
    const std::string warning = "\rKelvraClient: warning: the server address uses plain http://";
    const std::size_t first = log.find(warning);
    EXPECT_EQ(first != std::string::npos, c.warns) << c.server << log;
    if (first != std::string::npos)
      EXPECT_EQ(log.find(warning, first + 1), std::string::npos) << c.server << ": twice";
  }
}

TEST(RedactUrlTest, UserAndPasswordNeverShow) {
  EXPECT_EQ(TLumHttpClient::RedactUrl("https://u:p@host:8443/api?x=a@b"),
            "https://host:8443/api?x=a@b");
  EXPECT_EQ(TLumHttpClient::RedactUrl("http://host/a@b"), "http://host/a@b");
  EXPECT_EQ(TLumHttpClient::RedactUrl("http://user@host"), "http://host");
  EXPECT_EQ(TLumHttpClient::RedactUrl("host/x"), "host/x");
}

// --- account record ------------------------------------------------------------------------------

TEST_F(TClientFixture, UserRecordFromReply) {
  const TJsonReply user = LoadReply("user.json");
  client.ParseUserInfo(user.Root());
  const TUserInfo &u = client.UserInfo();
  EXPECT_EQ(u.Uid, 5);
  EXPECT_EQ(u.Login, "ann1");
  EXPECT_EQ(u.TgChatId, 4294967301LL);
  // Ids read like every other id (a uid beyond 32 bits is none, not a wrapped one); group chats
  // have negative ids.
  const TJsonReply odd = ParseJsonReply(R"({"uid":4294967301,"t_chat_id":-1001234567890})");
  TKelvraClient other("", "token", "0");
  other.ParseUserInfo(odd.Root());
  EXPECT_EQ(other.UserInfo().Uid, 0);
  EXPECT_EQ(other.UserInfo().TgChatId, -1001234567890LL);
  EXPECT_DOUBLE_EQ(u.TimeZone, -18000.0 / 86400.0); // west of Greenwich stays negative
  EXPECT_EQ(u.Lang, "en");
  EXPECT_EQ(u.ApiToken, "token"); // the client's token, not the reply's
  client.Clear();
  EXPECT_EQ(client.UserInfo().Uid, 0);
  EXPECT_EQ(client.UserInfo().Lang, "en");
  EXPECT_EQ(client.Token(), "");
}

TEST(UserNameTest, Table) {
  struct TCase {
    const char *name, *login, *email, *expected;
  };
  const TCase cases[] = {
      {"Ann", "ann1", "e@x.org", "Ann <e@x.org>"},
      {"", "ann1", "e@x.org", "ann1 <e@x.org>"},
      {"", "ann1", "ann1", "ann1"},
      {"Ann", "ann1", "", "Ann"},
      {"", "", "e@x.org", ""},
  };
  for (const TCase &c : cases) {
    TKelvraClient client("", "", "0");
    const TJsonReply user = ParseJsonReply(
        nlohmann::json{{"name", c.name}, {"login", c.login}, {"email", c.email}}.dump());
    client.ParseUserInfo(user.Root());
    EXPECT_EQ(client.GetUserName(), c.expected) << c.name << "/" << c.login << "/" << c.email;
  }
}

// --- records from recorded replies ---------------------------------------------------------------

TEST_F(TClientFixture, ObjectListReplyBecomesRecords) {
  const TJsonReply reply = LoadReply("objects_full.json");
  ASSERT_EQ(client.MergeObjects(reply.Root()), 3);
  EXPECT_NEAR(client.ObjListUpdated(), EncodeDateTime(2024, 3, 6, 0, 4, 9), 1e-9);
  ASSERT_EQ(client.ObjList().size(), 3u);

  const TObjectInfo &car = *client.ObjList()[0];
  EXPECT_EQ(car.uid, 11);
  EXPECT_EQ(car.id, "860000000000011");
  EXPECT_EQ(car.name, "Car \"Niva\"");
  EXPECT_EQ(car.type_id, 2);
  EXPECT_EQ(car.user_id, 5);
  EXPECT_EQ(car.users_list, "ann,bob");
  EXPECT_TRUE(car.has_image);
  EXPECT_TRUE(std::isnan(car.del_dt));
  EXPECT_EQ(car.trip_id, 7);
  EXPECT_EQ(car.trip_status, 1);
  EXPECT_EQ(car.address, "Lenina 1");
  EXPECT_TRUE(car.tail.empty());
  // The latest message stands at the top level of the object.
  const TTrackPointInfo &lp = *car.last_point;
  EXPECT_EQ(lp.uid, 0);
  EXPECT_EQ(lp.obj_id, 11);
  EXPECT_EQ(lp.osm_id, "W123");
  EXPECT_NEAR(lp.sys_dt, EncodeDateTime(2024, 3, 6, 0, 0, 0), 1e-9);
  EXPECT_DOUBLE_EQ(lp.lat, 57.998649);
  EXPECT_DOUBLE_EQ(lp.acc, 12.5);
  EXPECT_EQ(lp.bat, 87);
  EXPECT_EQ(lp.SrcName(), "GNSS");
  EXPECT_TRUE(lp.HasEvent);
  ASSERT_EQ(lp.sensors.size(), 2u);
  ASSERT_EQ(car.sensors.size(), 2u);
  EXPECT_EQ(car.sensors[0]->unitv, "%");
  EXPECT_EQ(car.sensors[0]->name, "Battery");
  EXPECT_TRUE(std::isnan(car.sensors[1]->obj_dt));
  // The alarm without an id is dropped; the other belongs to this object whatever it says.
  ASSERT_EQ(car.alarms.size(), 1u);
  EXPECT_EQ(car.alarms[0]->uid, 501);
  EXPECT_EQ(car.alarms[0]->obj_id, 11);
  EXPECT_EQ(car.alarms[0]->h_point_id, 9001);
  EXPECT_TRUE(std::isnan(car.alarms[0]->accept_dt));
  EXPECT_TRUE(std::isnan(car.alarms[0]->c_lat));

  const TObjectInfo &phone = *client.ObjList()[1];
  const TObjectInfo &watch = *client.ObjList()[2];
  EXPECT_FALSE(phone.HasLatLon());
  EXPECT_EQ(phone.last_point->bat, 0); // absent "bat" parses as 0
  EXPECT_EQ(phone.last_point->src, -1);
  EXPECT_EQ(phone.last_point->SrcName(), "");
  EXPECT_TRUE(watch.is_deleted);
  EXPECT_FALSE(watch.HasLatLon()); // latitude 0 is no position
}

// A name of megabytes from the service is cut to its bound (at a character, never inside one)
// with a line in the log; other names pass whole.
TEST_F(TClientFixture, OverlongObjectNameIsCutWithALogLine) {
  const std::string letter = "\xD0\xB4"; // two bytes
  const struct {
    const char *label;
    std::string name;
    std::string expected;
  } cases[] = {
      {"10 MB", std::string(10 << 20, 'n'), std::string(TKelvraClient::kMaxObjectText, 'n')},
      {"exactly the bound", std::string(TKelvraClient::kMaxObjectText, 'e'),
       std::string(TKelvraClient::kMaxObjectText, 'e')},
      {"a letter across the bound", "x" + [&] {
         std::string s;
         for (size_t i = 0; i < TKelvraClient::kMaxObjectText; ++i) s += letter;
         return s;
       }(), "x" + [&] {
         std::string s;
         for (size_t i = 0; i < TKelvraClient::kMaxObjectText / 2 - 1; ++i) s += letter;
         return s;
       }()},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.label);
    TKelvraClient fresh("", "token", "0.125");
    std::string freshLog;
    fresh.SetLogCallback([&](const std::string &aText) { freshLog += aText; });
    const TJsonReply reply = ParseJsonReply(
        R"({"dt":"2024-03-05 21:04:09","objects":[{"uid":7,"id":"i7","name":")" + c.name +
        R"("}]})");
    ASSERT_EQ(fresh.MergeObjects(reply.Root()), 1);
    EXPECT_EQ(fresh.ObjList()[0]->name, c.expected);
    const bool cut = c.name.size() > TKelvraClient::kMaxObjectText;
    EXPECT_EQ(freshLog.find("object 7: name longer than 4096 bytes, cut") != std::string::npos, cut)
        << freshLog.substr(0, 200);
  }
}

// Texts the windows show, from a hostile or broken service: cut at the bound with a log line
// naming the field (addresses and Wi-Fi names, read by static readers, are cut silently).
TEST_F(TClientFixture, LongTextsFromTheServiceAreCut) {
  const std::string huge(1 << 20, 'q');
  const std::string bound(TKelvraClient::kMaxObjectText, 'q');
  const auto quoted = [&](const char *name) { return std::string("\"") + name + "\":\"" + huge + "\""; };
  const TJsonReply trap =
      ParseJsonReply("{\"uid\":5,\"obj_id\":7," + quoted("subj") + "," + quoted("msg") + "," + quoted("val") + "}");
  const std::unique_ptr<TTrapInfo> ti = client.ParseTrap(trap.Root());
  ASSERT_NE(ti, nullptr);
  EXPECT_EQ(ti->subj, bound);
  EXPECT_EQ(ti->msg, bound);
  EXPECT_EQ(ti->val, bound);
  for (const char *field : {"subj", "msg", "val"})
    EXPECT_NE(log.find(std::string("W: ") + field + " longer than 4096 bytes, cut"), std::string::npos) << field;
  const TJsonReply event = ParseJsonReply("{\"uid\":9,\"obj_id\":7,\"trap_id\":5,\"accept_msg\":\"" + huge + "\"}");
  const std::unique_ptr<TEventInfo> ei = client.ParseEvent(event.Root());
  ASSERT_NE(ei, nullptr);
  EXPECT_EQ(ei->accept_msg, bound);
  const TJsonReply places = ParseJsonReply("[{\"osm_id\":\"N1\",\"address\":\"" + huge + "\"}]");
  const auto addresses = TKelvraClient::ReadAddresses(places.Root());
  ASSERT_EQ(addresses.size(), 1u);
  EXPECT_EQ(addresses[0].second, bound);
}

TEST_F(TClientFixture, TrackColours) {
  const std::pair<const char *, uint32_t> cases[] = {
      {R"({"track_color":"#00FF00"})", 65280u},    {R"({"track_color":"#0000FF"})", 16711680u},
      {R"({"track_color":"#FF8000"})", 0x0080FFu}, {R"({"track_color":"#000000"})", 255u},
      {R"({"track_color":"#zzzzzz"})", 255u},      {R"({})", 255u}};
  for (const auto &[json, colour] : cases) {
    const TJsonReply obj = ParseJsonReply(json);
    EXPECT_EQ(client.ParseObject(obj.Root())->track_color, colour) << json;
  }
}

TEST_F(TClientFixture, RefreshMergesByUidAndIdAndGrowsTheTrail) {
  const TJsonReply full = LoadReply("objects_full.json");
  client.MergeObjects(full.Root());
  TObjectInfo *car = client.ObjList()[0].get();

  const TJsonReply refresh = LoadReply("objects_refresh.json");
  EXPECT_EQ(client.MergeObjects(refresh.Root()), 2);
  EXPECT_NEAR(client.ObjListUpdated(), EncodeDateTime(2024, 3, 6, 0, 6, 0), 1e-9);
  // Same uid and id: merged into the cached record, which stays where it was.
  ASSERT_EQ(client.ObjList().size(), 4u);
  EXPECT_EQ(client.ObjList()[0].get(), car);
  EXPECT_EQ(car->name, "Car");
  EXPECT_EQ(car->track_color, 0x0080FFu);
  EXPECT_DOUBLE_EQ(car->last_point->lat, 58.01);
  EXPECT_EQ(car->last_point->bat, 86);
  ASSERT_EQ(car->tail.size(), 1u);
  EXPECT_DOUBLE_EQ(car->tail[0]->lat, 58.01);
  ASSERT_EQ(car->sensors.size(), 1u);
  // A refresh does not touch the trip: only a single-object fetch does.
  EXPECT_EQ(car->trip_id, 7);
  // Same uid, other id: a second object.
  EXPECT_EQ(client.ObjList()[3]->uid, 12);
  EXPECT_EQ(client.ObjList()[3]->id, "phone-12-new");
  EXPECT_EQ(client.FindObject(12), client.ObjList()[1].get());
  EXPECT_EQ(client.FindObject(0), nullptr);
  EXPECT_EQ(client.FindObject(-5), nullptr);
  EXPECT_EQ(client.FindObject(99), nullptr);
}

TEST_F(TClientFixture, RefreshWithoutUsableStampKeepsThePreviousOne) {
  const TJsonReply full = LoadReply("objects_full.json");
  client.MergeObjects(full.Root());
  const TDateTime stamp = client.ObjListUpdated();
  const TJsonReply noDt = LoadReply("objects_no_dt.json");
  EXPECT_EQ(client.MergeObjects(noDt.Root()), 0);
  EXPECT_DOUBLE_EQ(client.ObjListUpdated(), stamp);
  const TJsonReply absent = ParseJsonReply(R"({"objects":[]})");
  client.MergeObjects(absent.Root());
  EXPECT_DOUBLE_EQ(client.ObjListUpdated(), stamp);
}

// A refresh reads a cached object over in place; the result must be what taking a freshly read
// copy gives (Assign), whatever the cached record held before: nothing of the old state may stay.
TEST_F(TClientFixture, RefreshInPlaceEqualsTakingAReceivedCopy) {
  const char *const cases[] = {
      // the same fields with new values, sensors in another order
      R"({"uid":11,"id":"860000000000011","name":"Car 2","track_color":"#FF8000","users_list":"",
          "has_image":false,"model":"GT06N","address":"Lenina 2, a much longer address than before",
          "obj_id":11,"osm_id":"W124","sys_dt":"2024-03-05 21:05:30","obj_dt":"2024-03-05 21:05:29",
          "gps_dt":"2024-03-05 21:05:29","lat":58.01,"lon":56.28,"alt":161,"acc":3,"speed":0,
          "angle":90,"bat":86,"crd_src":1,"trip_id":0,"trip_status":0,
          "sensors":[{"uid":2,"name":"Alarm button","sign":"event","val":"0",
                      "sys_dt":"2024-03-05 21:05:30"},
                     {"uid":1,"name":"Battery","sign":"bat","unit":"%","val":"86"}],
          "alarms":[{"uid":502,"h_sys_dt":"2024-03-05 21:05:00","h_sval":"2","accept_dt":null},
                    {"uid":501,"accept_dt":"2024-03-05 21:05:10","accept_msg":"seen"}]})",
      // fewer sensors (the event one gone), no alarms, no position
      R"({"uid":11,"id":"860000000000011","name":"Car","sys_dt":"2024-03-05 21:06:00",
          "sensors":[{"uid":1,"name":"Battery","sign":"bat","val":"85"}],"alarms":[]})",
      // nothing but the object's identity: every other field is absent
      R"({"uid":11,"id":"860000000000011"})",
      // more sensors than cached, one uid twice (the later values count), numbers for texts
      R"({"uid":11,"id":860000000000011,"name":42,"lat":58.02,"lon":56.29,
          "sys_dt":"2024-03-05 21:07:00","sensors":[
            {"uid":3,"sign":"temp","val":21.5},{"uid":1,"sign":"bat","val":"84"},
            {"uid":3,"sign":"temp","name":"Inside","val":"22"},{"uid":4,"sign":"event","val":true},
            {"uid":5,"sign":"door","val":"open"}],
          "alarms":[{"uid":0},{"uid":503,"obj_id":99,"h_lat":58.02}]})"};
  const TJsonReply full = LoadReply("objects_full.json");
  for (const char *json : cases) {
    // Two equal caches with what the map and the program added to the record since it was read.
    TKelvraClient inPlace("", "token", "0.125"), copied("", "token", "0.125");
    for (TKelvraClient *c : {&inPlace, &copied}) {
      c->MergeObjects(full.Root());
      TObjectInfo &car = *c->ObjList()[0];
      car.photo = std::make_unique<TBitmap32>(1, 1);
      car.last_point->uid = 9;
      car.last_point->MapPoint = {10, 20};
      car.last_point->IsParking = true;
      car.last_point->ParkingDuration = 300;
      car.last_point->sensors.emplace_back(7, "fuel", "50");
      const TDateTime sysDt = car.last_point->sys_dt;
      for (const TDateTime dt : {sysDt - 1, sysDt}) {
        car.tail.push_back(std::make_unique<TTrackPointInfo>(*car.last_point));
        car.tail.back()->sys_dt = dt;
        car.tail.back()->MapPoint = {30, 40};
      }
    }
    const TDateTime now = inPlace.ObjList()[0]->last_point->sys_dt + 1.0 / 1440;
    const TJsonReply reply = ParseJsonReply(json);
    ASSERT_FALSE(reply.Empty()) << json;
    TObjectInfo &car = *inPlace.ObjList()[0];
    const auto byUid = [&car](int aUid, const std::string &aId) {
      return aUid == car.uid && aId == car.id ? &car : nullptr;
    };
    EXPECT_EQ(inPlace.ParseRefreshedObject(reply.Root(), byUid, now), nullptr) << json;
    copied.ObjList()[0]->Assign(*copied.ParseObject(reply.Root()), now);
    EXPECT_EQ(ObjectState(car), ObjectState(*copied.ObjList()[0])) << json;
  }
}

TEST_F(TClientFixture, SingleObjectFetchParsesTripButKeepsTrail) {
  const TJsonReply full = LoadReply("objects_full.json");
  client.MergeObjects(full.Root());
  TObjectInfo &car = *client.ObjList()[0];
  car.tail.push_back(std::make_unique<TTrackPointInfo>(1, 11));
  const TJsonReply single =
      ParseJsonReply(R"({"uid":11,"id":"860000000000011","trip_id":0,"trip_status":0})");
  client.ParseObject(single.Root(), car);
  EXPECT_EQ(car.trip_id, 0);
  EXPECT_EQ(car.tail.size(), 1u);
  // Sensors absent from the reply stay.
  EXPECT_EQ(car.sensors.size(), 2u);
}

TEST_F(TClientFixture, TrackPointSensorsAccumulate) {
  TTrackPointInfo point(77, 0);
  const TJsonReply first = ParseJsonReply(R"({"uid":5,"sensors":[{"uid":1,"sign":"a","val":"1"},
                                      {"uid":2,"sign":"event","val":"x"}]})");
  const TJsonReply second = ParseJsonReply(R"({"sensors":[{"uid":2,"sign":"b","val":"2"},
                                       {"uid":3,"sign":"c","val":"3"}]})");
  client.ParseTrackPoint(first.Root(), point);
  client.ParseTrackPoint(second.Root(), point);
  EXPECT_EQ(point.uid, 77); // a given point keeps its id
  ASSERT_EQ(point.sensors.size(), 3u);
  EXPECT_EQ(point.FindSensor("b")->val, "2");
  EXPECT_EQ(point.FindSensor("event"), nullptr);
  EXPECT_TRUE(point.HasEvent); // never cleared by parsing
  EXPECT_EQ(client.ParseTrackPoint(first.Root())->uid, 5);
}

TEST_F(TClientFixture, EventsWithoutUsableIdAreNotMade) {
  for (const char *json : {R"({"obj_id":1})", R"({"uid":0})", R"({"uid":-4})", R"({"uid":"x"})"}) {
    const TJsonReply obj = ParseJsonReply(json);
    EXPECT_EQ(client.ParseEvent(obj.Root()), nullptr) << json;
  }
}

} // namespace
} // namespace kelvra
