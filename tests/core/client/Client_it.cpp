// The service client against kelvra-sim over HTTP and HTTPS: account, objects,
// and what happens when the service refuses, breaks the connection or stops
// answering.
#include "core/client/client.h"
#include "core/util/LumFiles.h"
#include "sim/SimCert.h"
#include "sim/SimServer.h"
#include "sim/SimWorld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace kelvra {
namespace {

enum class TScheme { Http, Https };

class ClientIt : public ::testing::TestWithParam<TScheme> {
protected:
  void SetUp() override {
    TSimOptions options;
    if (GetParam() == TScheme::Https) {
      fCertDir = ::testing::TempDir() + "client_it_cert_" + std::to_string(::getpid());
      std::filesystem::create_directories(fCertDir);
      std::string error;
      ASSERT_TRUE(sim::MakeSelfSignedCert(fCertDir, fCert, &error)) << error;
      options.certFile = fCert.certFile;
      options.keyFile = fCert.keyFile;
    }
    fSim = std::make_unique<SimServer>(options);
    ASSERT_TRUE(fSim->Start()) << fSim->Error();
    fConfig.SetVal("http_connect_timeout", "2");
    fConfig.SetVal("http_timeout", "2");
    if (GetParam() == TScheme::Https) fConfig.SetVal("ca_file", fCert.certFile);
    fClient = MakeClient("");
  }

  void TearDown() override {
    fClient.reset();
    if (fSim) fSim->Stop();
    if (!fCertDir.empty()) std::filesystem::remove_all(fCertDir);
  }

  std::unique_ptr<TKelvraClient> MakeClient(const std::string &aToken) {
    TKelvraClientEnv env;
    env.Config = &fConfig;
    auto client = std::make_unique<TKelvraClient>(fSim->BaseUrl() + "/", aToken, "0", env);
    client->SetLogCallback([this](const std::string &aText) { fLog += aText; });
    return client;
  }

  void SignIn() {
    ASSERT_TRUE(fClient->Login(SimServer::kDemoUser, SimServer::kDemoPassword))
        << fClient->GetErrorMessage();
  }

  TSimRequest LastRequest() {
    auto requests = fSim->Requests();
    return requests.empty() ? TSimRequest() : requests.back();
  }

  std::unique_ptr<SimServer> fSim;
  sim::TSimCert fCert;
  std::string fCertDir;
  TLumHash fConfig;
  std::unique_ptr<TKelvraClient> fClient;
  std::string fLog;
};

TEST_P(ClientIt, SignInReadAndChangeTheUser) {
  SignIn();
  EXPECT_FALSE(fClient->Token().empty());
  EXPECT_EQ(fClient->UserInfo().Login, "demo");
  EXPECT_GT(fClient->UserInfo().Uid, 0);
  EXPECT_DOUBLE_EQ(fClient->UserInfo().TimeZone, 18000.0 / 86400);
  const TSimRequest login = LastRequest();
  EXPECT_EQ(login.path, "/api/v1/user/login");
  EXPECT_EQ(login.requestedWith, "xmlhttprequest");
  const int requestId = std::atoi(login.requestId.c_str());
  EXPECT_GE(requestId, 1000);
  EXPECT_LE(requestId, 10999);

  // West of Greenwich: the offset comes back negative.
  TLumHash fields;
  fields.SetVal("name", "Demo West");
  fields.SetVal("tz", "-18000");
  ASSERT_TRUE(fClient->UpdateUser(fields)) << fClient->GetErrorMessage();
  EXPECT_EQ(LastRequest().body, "name=Demo+West&tz=-18000&");
  EXPECT_EQ(LastRequest().authToken, fClient->Token());
  EXPECT_DOUBLE_EQ(fClient->UserInfo().TimeZone, -18000.0 / 86400);
  ASSERT_TRUE(fClient->GetUser());
  EXPECT_EQ(fClient->UserInfo().Name, "Demo West");
  EXPECT_DOUBLE_EQ(fClient->GetTimeZone(), -18000.0 / 86400);
  EXPECT_EQ(fClient->UserInfo().ApiToken, fClient->Token());

  // A password holding "&", "=" and a blank reaches the service as typed.
  const std::string password = "p&q=r x%";
  TLumHash change;
  change.SetVal("password", password);
  ASSERT_TRUE(fClient->UpdateUser(change));
  EXPECT_EQ(fLog.find(password), std::string::npos);
  auto fresh = MakeClient("");
  EXPECT_FALSE(fresh->Login("demo", "demo"));
  EXPECT_EQ(fresh->ResultCode(), 406);
  EXPECT_TRUE(fresh->Token().empty());
  ASSERT_TRUE(fresh->Login("demo", password)) << fresh->GetErrorMessage();
  EXPECT_EQ(LastRequest().body, "uname=demo&upass=p%26q%3Dr+x%25");
  EXPECT_EQ(fLog.find("upass"), std::string::npos);
}

// The transport alone: a text body goes out as its UTF-8 bytes, nothing more, and the request log
// gets one line per exchange.
TEST_P(ClientIt, TransportSendsTextBodiesByteForByte) {
  const std::string logFile =
      fCertDir.empty() ? ::testing::TempDir() + "client_it_http.log" : fCertDir + "/requests.log";
  std::remove(logFile.c_str());
  std::remove(TLumHttpClient::TraceFileName(logFile).c_str());
  TLumHttpsClient http;
  http.SetTls(true, fCert.certFile);
  http.SetLogFile(logFile);
  const std::string text = "name=\xD0\x96\xD0\xB0\xD0\xBD\xD0\xBD\xD0\xB0"; // five Cyrillic letters
  const std::string url = fSim->BaseUrl() + "/api/v1/echo";
  http.Put(url, text);
  EXPECT_EQ(LastRequest().method, "PUT");
  EXPECT_EQ(LastRequest().body, text);
  EXPECT_EQ(LastRequest().body.size(), 15u);
  EXPECT_EQ(LastRequest().contentType, "application/x-www-form-urlencoded; charset=utf-8");
  EXPECT_EQ(LastRequest().userAgent, "Lum HTTPS Client Version 0.01");
  http.Post("", std::string());
  EXPECT_EQ(LastRequest().method, "POST");
  EXPECT_EQ(LastRequest().body, "");
  std::ifstream in(logFile);
  std::stringstream lines;
  lines << in.rdbuf();
  EXPECT_NE(lines.str().find("PUT " + url + " -> "), std::string::npos) << lines.str();
  EXPECT_NE(lines.str().find("POST " + url + " -> "), std::string::npos) << lines.str();
  // The protocol trace beside it shows the heads but never a body.
  std::ifstream traceFile(TLumHttpClient::TraceFileName(logFile));
  std::stringstream trace;
  trace << traceFile.rdbuf();
  EXPECT_NE(trace.str().find("> PUT /api/v1/echo"), std::string::npos) << trace.str();
  EXPECT_EQ(trace.str().find(text), std::string::npos) << trace.str();
}

// The request log and its protocol trace of a sign-in and the requests after it: neither the
// password (wrong or right) nor the token the service handed out.
TEST_P(ClientIt, RequestLogAndTraceHoldNoPasswordNorToken) {
  const std::string logFile = ::testing::TempDir() + "client_it_signin_" +
                              std::to_string(::getpid()) + (fCertDir.empty() ? "_http" : "_https") +
                              ".log";
  std::remove(logFile.c_str());
  std::remove(TLumHttpClient::TraceFileName(logFile).c_str());
  const std::string password = "Pw-7c2q-Right";
  fSim->WithWorld([&](sim::TSimWorld &world) {
    world.FindUser(SimServer::kDemoUser)->password = password;
    return 0;
  });
  fClient->ApiClient().SetLogFile(logFile);
  EXPECT_FALSE(fClient->Login(SimServer::kDemoUser, "Wrong-Secret-41"));
  ASSERT_TRUE(fClient->Login(SimServer::kDemoUser, password)) << fClient->GetErrorMessage();
  ASSERT_FALSE(fClient->Token().empty());
  ASSERT_GT(fClient->GetObjects(), 0);
  const std::string log = ReadAsString(logFile), trace = ReadAsString(TLumHttpClient::TraceFileName(logFile));
  EXPECT_NE(log.find("/api/v1/user/login"), std::string::npos) << log;
  EXPECT_NE(trace.find("X-Auth-Token: ***"), std::string::npos) << trace;
  for (const std::string &secret : {std::string("Wrong-Secret-41"), password, fClient->Token()}) {
    EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    EXPECT_EQ(trace.find(secret), std::string::npos) << secret;
  }
  std::remove(logFile.c_str());
  std::remove(TLumHttpClient::TraceFileName(logFile).c_str());
}

TEST_P(ClientIt, RegisterAndRecover) {
  EXPECT_TRUE(fClient->Reg("new.user+1@example.org"));
  EXPECT_EQ(LastRequest().body, "login=new.user%2B1@example.org&client=2");
  EXPECT_FALSE(fClient->HasResultData());
  EXPECT_EQ(fClient->GetErrorMessage(), "no_data [204]");
  // Already registered: 409 with the reason in the body, which stays readable.
  EXPECT_FALSE(fClient->Reg("new.user+1@example.org"));
  EXPECT_EQ(fClient->ResultCode(), 409);
  EXPECT_GT(fClient->ApiClient().RcvdCount(), 0);
  EXPECT_NE(fClient->ApiClient().RcvdContentType().find("json"), std::string::npos);
  EXPECT_FALSE(TKelvraClient::GetJvStr(fClient->ResultData(), "text").empty());

  EXPECT_TRUE(fClient->Recovery("demo"));
  EXPECT_FALSE(fClient->Recovery("nobody-here"));
  EXPECT_EQ(fClient->ResultCode(), 406);
}

TEST_P(ClientIt, LoadAndRefreshObjectsIncrementally) {
  SignIn();
  fSim->ClearRequests();
  const int loaded = fClient->GetObjects();
  ASSERT_GT(loaded, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(static_cast<int>(fClient->ObjList().size()), loaded);
  EXPECT_EQ(LastRequest().query, ""); // an empty cache asks for everything
  const TDateTime first = fClient->ObjListUpdated();
  ASSERT_GT(first, 0);
  // Display time follows the user's offset (UTC+5) and the service's clock.
  EXPECT_NEAR(first, fSim->Now() / 86400.0 + 25569.0 + 18000.0 / 86400, 2.0 / 86400);

  fSim->Advance(600);
  const int changed = fClient->GetObjects();
  ASSERT_GE(changed, 1);
  EXPECT_LE(changed, loaded);
  EXPECT_EQ(LastRequest().query, "dt=" + fClient->DtToService(first));
  EXPECT_EQ(static_cast<int>(fClient->ObjList().size()),
            loaded); // merged, not appended
  EXPECT_NEAR(fClient->ObjListUpdated() - first, 600.0 / 86400, 2.0 / 86400);
  bool trailGrew = false;
  for (const auto &oi : fClient->ObjList())
    trailGrew = trailGrew || !oi->tail.empty();
  EXPECT_TRUE(trailGrew) << "no object reported a new position after ten minutes";
}

TEST_P(ClientIt, CreateChangeMarkAndDeleteAnObject) {
  SignIn();
  ASSERT_GT(fClient->GetObjects(), 0);
  const std::size_t before = fClient->ObjList().size();

  TObjectInfo draft(0, "");
  fSim->ClearRequests();
  EXPECT_EQ(fClient->CreateObject(draft), -1);
  EXPECT_NE(fLog.find("\rKelvraClient.CreateObject: no id"), std::string::npos);
  EXPECT_TRUE(fSim->Requests().empty());

  draft.id = "it-device-1";
  draft.name = "Test & Co";
  draft.track_color = 0x0080FF; // orange
  const int uid = fClient->CreateObject(draft);
  ASSERT_GT(uid, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(LastRequest().body,
            "id=it-device-1&name=Test+%26+Co&track_color=%23FF8000&users_list=&");
  ASSERT_EQ(fClient->ObjList().size(), before + 1);
  TObjectInfo *oi = fClient->FindObject(uid);
  ASSERT_NE(oi, nullptr);
  EXPECT_EQ(oi->name, "Test & Co");
  EXPECT_EQ(oi->track_color, 0x0080FFu);

  oi->name = "Renamed";
  EXPECT_TRUE(fClient->UpdateObject(*oi));
  oi->name = "stale";
  ASSERT_TRUE(fClient->GetObject(uid));
  EXPECT_EQ(oi->name, "Renamed");
  TLumHash fields;
  EXPECT_FALSE(fClient->UpdateObject(uid, fields));
  EXPECT_NE(fLog.find("no data for update"), std::string::npos);
  fields.SetVal("name", "By table");
  EXPECT_TRUE(fClient->UpdateObject(uid, fields));
  ASSERT_TRUE(fClient->GetObject(oi));
  EXPECT_EQ(oi->name, "By table");

  // A cached trap refers to the object; it must not keep pointing at it once it is gone.
  TTrapInfo trap(0, uid);
  trap.target_type_id = 4; // battery
  trap.condition_id = 1;
  trap.val = "20";
  const int trapUid = fClient->CreateTrap(trap);
  ASSERT_GT(trapUid, 0) << fClient->GetErrorMessage();
  ASSERT_EQ(fClient->FindTrap(trapUid)->ObjInfo(), oi);

  ASSERT_TRUE(fClient->DeleteObject(oi));
  EXPECT_TRUE(oi->is_deleted);
  EXPECT_EQ(fClient->FindObject(uid), oi);
  ASSERT_TRUE(fClient->DeleteObject(oi)); // oi is gone now
  EXPECT_EQ(fClient->FindObject(uid), nullptr);
  EXPECT_EQ(fClient->FindTrap(trapUid)->ObjInfo(), nullptr);
  EXPECT_EQ(fClient->ObjList().size(), before);
  EXPECT_EQ(fClient->ResultCode(), 204);
}

TEST_P(ClientIt, WithoutTokenNothingIsSent) {
  fSim->ClearRequests();
  EXPECT_EQ(fClient->GetObjects(), -1);
  EXPECT_EQ(fClient->ResultCode(), -1);
  EXPECT_NE(fLog.find("\r  X: no API token specified"), std::string::npos) << fLog;
  EXPECT_TRUE(fSim->Requests().empty());
}

TEST_P(ClientIt, RefusalLeavesTheCachesAsTheyWere) {
  SignIn();
  ASSERT_GT(fClient->GetObjects(), 0);
  const std::size_t objects = fClient->ObjList().size();
  const TDateTime stamp = fClient->ObjListUpdated();
  const TUserInfo user = fClient->UserInfo();
  TFaultRule refuse;
  refuse.pattern = "/api/v1/user*";
  refuse.status = 401;
  fSim->AddFault(refuse);
  fSim->Advance(600);

  EXPECT_EQ(fClient->GetObjects(), -1);
  EXPECT_EQ(fClient->ResultCode(), 401);
  EXPECT_EQ(fClient->ObjList().size(), objects);
  EXPECT_DOUBLE_EQ(fClient->ObjListUpdated(), stamp);
  for (const auto &oi : fClient->ObjList())
    EXPECT_TRUE(oi->tail.empty());
  EXPECT_FALSE(fClient->GetUser());
  EXPECT_EQ(fClient->UserInfo().Uid, user.Uid);
  EXPECT_EQ(fClient->UserInfo().Name, user.Name);
  // The refusal's own text goes with its status.
  EXPECT_EQ(fClient->GetErrorMessage(), "injected fault 401 [401]");
}

// Replies that never complete come back as status 0 (so a slow network never looks like a
// refusal); complete replies whose body is not JSON, or JSON cut short, carry no data and are
// failures too ("malformed reply"). Either way the caches stay as they were.
TEST_P(ClientIt, BrokenReplies) {
  struct TCase {
    const char *name;
    bool TFaultRule::*kind;
    int status;
    int objects; // what GetObjects returns
  };
  const TCase cases[] = {{"Dropped", &TFaultRule::drop, 0, -1},
                         {"Hanging", &TFaultRule::hang, 0, -1},
                         {"Malformed", &TFaultRule::malformed, 200, -1},
                         {"Truncated", &TFaultRule::truncated, 200, -1}};
  SignIn();
  ASSERT_GT(fClient->GetObjects(), 0);
  const std::size_t objects = fClient->ObjList().size();
  const TDateTime stamp = fClient->ObjListUpdated();
  for (const TCase &c : cases) {
    fSim->ClearFaults();
    TFaultRule rule;
    rule.pattern = "/api/v1/user/objects";
    rule.*c.kind = true;
    fSim->AddFault(rule);
    fLog.clear();
    EXPECT_EQ(fClient->GetObjects(), c.objects) << c.name;
    EXPECT_EQ(fClient->ResultCode(), c.status) << c.name;
    EXPECT_FALSE(fClient->HasResultData()) << c.name;
    EXPECT_EQ(fClient->ObjList().size(), objects) << c.name;
    EXPECT_DOUBLE_EQ(fClient->ObjListUpdated(), stamp) << c.name;
    EXPECT_NE(fLog.find("): " + std::to_string(c.status)), std::string::npos) << c.name << fLog;
  }
  // Without data the user record stays as it was.
  TFaultRule malformed;
  malformed.pattern = "/api/v1/user";
  malformed.malformed = true;
  fSim->AddFault(malformed);
  EXPECT_TRUE(fClient->GetUser());
  EXPECT_EQ(fClient->UserInfo().Login, "demo");
  EXPECT_NE(fLog.find("\r  x: no data"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Schemes, ClientIt, ::testing::Values(TScheme::Http, TScheme::Https),
                         [](const auto &info) {
                           return info.param == TScheme::Http ? "Http" : "Https";
                         });

// Certificate checks: a self-signed server is refused unless the client trusts
// its certificate or is told not to verify.
TEST(ClientTlsIt, SelfSignedServerNeedsTrustOrNoVerification) {
  const std::string dir = ::testing::TempDir() + "client_tls_it_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  sim::TSimCert cert;
  ASSERT_TRUE(sim::MakeSelfSignedCert(dir, cert));
  TSimOptions options;
  options.certFile = cert.certFile;
  options.keyFile = cert.keyFile;
  SimServer sim(options);
  ASSERT_TRUE(sim.Start()) << sim.Error();

  struct TCase {
    const char *name;
    const char *key;
    std::string value;
    int expected;
  };
  const TCase cases[] = {{"VerifiedBySystemStore", "", "", 0},
                         {"TrustedCertificate", "ca_file", cert.certFile, 200},
                         {"VerificationOff", "tls_verify", "false", 200}};
  for (const TCase &c : cases) {
    TLumHash config;
    config.SetVal("http_timeout", "5");
    if (*c.key) config.SetVal(c.key, c.value);
    TKelvraClientEnv env;
    env.Config = &config;
    TKelvraClient client(sim.BaseUrl(), "", "0", env);
    client.Login("demo", "demo");
    EXPECT_EQ(client.ResultCode(), c.expected) << c.name;
  }
  sim.Stop();
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kelvra
