// Replies of a flaky service: wrong JSON types, nulls, huge and negative numbers, missing
// arrays and geometry. No client operation may throw or crash on them, and every element
// the client keeps must be a sound one.

#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "core/client/client.h"
#include "core/tracks/AddressCache.h"
#include "core/tracks/GeoTrack.h"
#include "support/TempDir.h"

namespace kelvra {
namespace {

// A loopback service that answers every request below /api/v1 with one canned JSON body.
class TCannedService {
public:
  TCannedService() {
    const auto answer = [this](const httplib::Request &, httplib::Response &res) {
      std::lock_guard lock(fMutex);
      res.status = 200;
      res.set_content(fBody, "application/json");
    };
    const char *const all = R"(/api/v1/.*)";
    fServer.Get(all, answer);
    fServer.Post(all, answer);
    fServer.Put(all, answer);
    fServer.Delete(all, answer);
    fPort = fServer.bind_to_any_port("127.0.0.1");
    fThread = std::thread([this] { fServer.listen_after_bind(); });
    // stop() is lost on a server whose loop has not begun yet.
    while (!fServer.is_running())
      std::this_thread::yield();
  }
  ~TCannedService() {
    fServer.stop();
    fThread.join();
  }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(fPort); }
  void Answer(std::string aBody) {
    std::lock_guard lock(fMutex);
    fBody = std::move(aBody);
  }

private:
  httplib::Server fServer;
  std::thread fThread;
  int fPort = 0;
  std::mutex fMutex;
  std::string fBody;
};

struct TBadReply {
  const char *name;
  const char *body;
  // Runs the operation on the reply and checks what the client made of it.
  std::function<void(TKelvraClient &, TAddressCache &, const std::string &log)> check;
};

void PrintTo(const TBadReply &c, std::ostream *os) { *os << c.name; }

class BadReplyIt : public ::testing::TestWithParam<TBadReply> {
protected:
  void SetUp() override {
    fConfig.SetVal("http_connect_timeout", "5");
    fConfig.SetVal("http_timeout", "20");
    TKelvraClientEnv env;
    env.Config = &fConfig;
    env.HomeDir = fHome.Path();
    fClient = std::make_unique<TKelvraClient>(fService.BaseUrl(), "token", "0", env);
    fClient->SetLogCallback([this](const std::string &aText) { fLog += aText; });
    fCache = std::make_unique<TAddressCache>(fHome.Path() + "test.address");
  }

  TCannedService fService;
  test::TTempDir fHome;
  TLumHash fConfig;
  std::unique_ptr<TKelvraClient> fClient;
  std::unique_ptr<TAddressCache> fCache;
  std::string fLog;
};

TEST_P(BadReplyIt, NothingThrowsAndOnlySoundRecordsAreKept) {
  fService.Answer(GetParam().body);
  EXPECT_NO_THROW(GetParam().check(*fClient, *fCache, fLog)) << fLog;
}

constexpr double kDay = 45356.0; // 2024-03-05

INSTANTIATE_TEST_SUITE_P(
    Replies, BadReplyIt,
    ::testing::Values(
        TBadReply{"ZoneWithEmptyGeomStaysWithoutGeometry",
                  R"([{"uid":"7","type_id":1,"name":"Depot","geom":""}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &log) {
                    ASSERT_EQ(c.GetZones(), 1);
                    const TZoneInfo &zi = *c.ZoneList()[0];
                    EXPECT_EQ(zi.uid, 7);
                    EXPECT_FALSE(zi.geom.HasCenter());
                    EXPECT_FALSE(zi.HasRect());
                    EXPECT_NE(log.find("\r  no geom: uid=7 type=1"), std::string::npos);
                  }},
        TBadReply{"ZoneUidBeyondIntegerIsInvalidNotWrapped",
                  R"([{"uid":4294967303,"type_id":1,"geom":"{\"center\":[56,58],\"radius\":5}"}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &log) {
                    EXPECT_EQ(c.GetZones(), 0);
                    EXPECT_NE(log.find("\r  invalid zone: uid=-1 type=1"), std::string::npos);
                  }},
        TBadReply{"ZoneElementsOfEveryWrongType",
                  R"([null, 5, "x", [], {"uid":{},"type_id":[]}, {"uid":-3,"type_id":2},
                      {"uid":1,"type_id":2,"name":["n"],"color":12,"del_dt":{},
                       "geom":"[[56,58],null,[1],{\"x\":1},[\"a\",2],[56.01,58],[56,58.01]]"},
                      {"uid":2,"type_id":1,"geom":"{\"center\":\"here\",\"radius\":\"far\"}"},
                      {"uid":3,"type_id":2,"geom":{"not":"text"}},
                      {"uid":4,"type_id":1,"geom":"{\"center\":[1e308,-1e308],\"radius\":-1e308}"}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    ASSERT_EQ(c.GetZones(), 4);
                    const TZoneInfo &poly = *c.ZoneList()[0];
                    EXPECT_EQ(poly.geom.nodes.size(), 3u);
                    EXPECT_TRUE(poly.HasRect());
                    EXPECT_EQ(poly.name, "");
                    EXPECT_FALSE(c.ZoneList()[1]->HasRect());
                    EXPECT_TRUE(c.ZoneList()[2]->geom.nodes.empty());
                  }},
        TBadReply{"ZonesUnderAnObject",
                  R"({"Zones":{"uid":1}})",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    EXPECT_EQ(c.GetZones(), -1);
                  }},
        TBadReply{"TrapsOfWrongTypes",
                  R"([7, null, {"uid":-5}, {"uid":4294967297,"obj_id":1},
                      {"uid":"3","obj_id":null,"target_type_id":"x","target_id":1e300,
                       "condition_id":-2,"val":12,"is_alarm":"true","msg":{},"email":1}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    ASSERT_EQ(c.GetTraps(), 1);
                    const TTrapInfo &ti = *c.TrapList()[0];
                    EXPECT_EQ(ti.uid, 3);
                    EXPECT_EQ(ti.obj_id, 0);
                    EXPECT_EQ(ti.target_type_id, 0);
                    EXPECT_EQ(ti.target_id, 0);
                    EXPECT_EQ(ti.val, "12");
                    EXPECT_TRUE(ti.is_alarm);
                    EXPECT_FALSE(ti.email);
                    EXPECT_EQ(ti.TrapName(), "0:0");
                  }},
        TBadReply{"OneTrapAsAnArray",
                  R"([{"uid":3}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    EXPECT_TRUE(c.GetTrap(3));
                    EXPECT_TRUE(c.TrapList().empty());
                    TTrapInfo ti(0, 1);
                    EXPECT_EQ(c.CreateTrap(ti), -1);
                  }},
        TBadReply{"CreatedZoneUidNotANumber",
                  R"({"uid":"12abc"})",
                  [](TKelvraClient &c, TAddressCache &, const std::string &log) {
                    TZoneInfo zi(0, kZoneCircle);
                    EXPECT_EQ(c.CreateZone(zi), -1);
                    EXPECT_EQ(zi.uid, 0);
                    EXPECT_NE(log.find("\r  x: zero uid"), std::string::npos);
                  }},
        TBadReply{"EventsNotAnArray",
                  R"({"Events":"none"})",
                  [](TKelvraClient &c, TAddressCache &, const std::string &log) {
                    EXPECT_EQ(c.GetEvents(kDay, kDay + 1), -1);
                    EXPECT_NE(log.find("\r  X: no data"), std::string::npos);
                  }},
        TBadReply{"EventsOfWrongTypes",
                  R"([null, 1, {"uid":"x"}, {"uid":5,"obj_id":[],"happened":"x","completed":7}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    EXPECT_GE(c.GetEvents(kDay, kDay + 1), 0);
                    for (const auto &ev : c.EventList())
                      EXPECT_GT(ev->uid, 0);
                  }},
        TBadReply{"TrackOfWrongTypesAndHugeValues",
                  R"([7, null, {"uid":1,"lat":"abc","lon":null,"sensors":{"a":1}},
                      {"uid":2,"lat":1e308,"lon":-1e308,"obj_dt":"9999-12-31 23:59:59",
                       "speed":"-1e400","acc":-5,"sensors":[null,{"sign":"heartRate","val":"1e99"}]},
                      {"uid":3,"lat":58,"lon":56,"obj_dt":"1900-01-01 00:00:00","sys_dt":12},
                      {"uid":4294967297,"lat":58,"lon":56}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    ASSERT_EQ(c.GetTrack(101, kDay, kDay + 1), 3);
                    TTrackPointList points;
                    for (const auto &p : c.TrackList())
                      points.push_back(std::make_unique<TTrackPointInfo>(*p));
                    TGeoTrack track("101");
                    track.Assign(std::move(points));
                    track.MarkParking();
                    track.UpdateInfo();
                    EXPECT_GE(track.Info().ObjDuration, 0);
                    EXPECT_GE(track.Info().MaxHeartRate, 0);
                  }},
        TBadReply{"TripsWithoutKnownObjects",
                  R"([{"uid":1,"obj_id":"abc","points":{"a":1}}, {"uid":-1}, null])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    EXPECT_EQ(c.GetTrips(kDay, kDay + 1), 0);
                    EXPECT_TRUE(c.TripList().empty());
                  }},
        TBadReply{"CommandLogOfWrongTypes",
                  R"([null, {"uid":0}, {"uid":9,"obj_id":"x","txt":["get"],"create_dt":12,
                      "r_type":null,"r_size":-5,"resp_dt":{}},
                      {"uid":10,"r_size":99999999999}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    ASSERT_EQ(c.GetCommandLog(101, 10), 2);
                    const TCommandInfo &ci = *c.CommandLog()[0];
                    EXPECT_EQ(ci.uid, 9);
                    EXPECT_EQ(ci.txt, "");
                    EXPECT_EQ(ci.r_size, 0);
                    EXPECT_EQ(c.CommandLog()[1]->r_size, 0);
                  }},
        TBadReply{"LookupOfWrongTypes",
                  R"([5, null, {"osm_id":123,"address":"Main street 1"}, {"osm_id":"","address":"x"},
                      {"osm_id":"W1","address":{}}, {"osm_id":["W2"],"address":"y"}])",
                  [](TKelvraClient &c, TAddressCache &cache, const std::string &) {
                    EXPECT_EQ(c.OsmLookup(std::string("123,W1,W2"), cache), 1);
                    EXPECT_EQ(cache.GetAddress("123"), "Main street 1");
                    EXPECT_EQ(cache.Count(), 1);
                  }},
        TBadReply{"LookupNotAnArray",
                  R"({"OsmLookup":null})",
                  [](TKelvraClient &c, TAddressCache &cache, const std::string &log) {
                    EXPECT_EQ(c.OsmLookup(std::string("1"), cache), -1);
                    EXPECT_NE(log.find("\r  X: no data"), std::string::npos);
                  }},
        TBadReply{"WifiOfWrongTypes",
                  R"(["junk", null, {"ssid":5,"bssid":"aa:bb","std":"x"},
                      {"ssid":"'net'","bssid":null}, {"ssid":"\"\"","bssid":"cc"},
                      {"ssid":"w","bssid":"dd","std":99999999999}])",
                  [](TKelvraClient &c, TAddressCache &, const std::string &) {
                    TWifiList list;
                    ASSERT_EQ(c.GetWifi(58, 56, 58.1, 56.1, list), 2);
                    EXPECT_EQ(list[0].ssid, "5");
                    EXPECT_EQ(list[0].std, 0);
                    EXPECT_EQ(list[1].std, 0);
                  }}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace kelvra
