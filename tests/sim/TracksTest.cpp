// Tracks, trips, the command log with the device side of commands, Wi-Fi access points and
// address lookup.
#include "SimFixture.h"

namespace kelvra::simtest {
namespace {

using Tracks = SimTest;

TEST_F(Tracks, PeriodBySensorsAndByReceptionTime) {
  int64_t now = fSim->Now();
  THttpReply r = Api().Get("/object/101/track", Period(now - 7200, now));
  ASSERT_EQ(r.status, 200);
  auto arr = r.Json();
  ASSERT_GT(arr.size(), 2u);
  std::string prev;
  for (auto &p : arr) {
    EXPECT_EQ(p["obj_id"], 101);
    EXPECT_FALSE(p.contains("sensors"));
    EXPECT_GE(p["obj_dt"].get<std::string>(), prev);
    prev = p["obj_dt"];
  }
  auto withSensors = Api().Get("/object/101/track", Period(now - 7200, now) + "&mode=1").Json();
  ASSERT_EQ(withSensors.size(), arr.size());
  EXPECT_EQ(withSensors[0]["sensors"][0]["sign"], "ign");

  // The device stamps a message a few seconds before the service receives it.
  sim::TSimPoint last;
  fSim->WithWorld([&](sim::TSimWorld &w) { last = *w.FindObject(101)->LastPoint(); });
  ASSERT_LT(last.obj_dt, last.sys_dt);
  std::string atReception = Period(last.sys_dt, last.sys_dt);
  auto byDevice = Api().Get("/object/101/track", atReception).Json();
  auto byService = Api().Get("/object/101/track", atReception + "&tmode=1").Json();
  ASSERT_EQ(byService.size(), 1u);
  EXPECT_EQ(byService[0]["uid"], last.uid);
  EXPECT_TRUE(byDevice.empty());
}

TEST_F(Tracks, Errors) {
  int64_t now = fSim->Now();
  EXPECT_EQ(Api().Get("/object/101/track").status, 400);
  EXPECT_EQ(Api().Get("/object/101/track", "from=2026-12-09&to=2026-12-10").status, 400);
  EXPECT_EQ(Api().Get("/object/999/track", Period(now - 60, now)).status, 404);
  EXPECT_TRUE(Api().Get("/object/101/track", Period(0, 100)).Json().empty());
}

// ---- trips

using Trips = SimTest;

TEST_F(Trips, ListWithPointsAndEvents) {
  int64_t now = fSim->Now();
  THttpReply r = Api().Get("/user/trips", Period(now - 2 * 86400, now));
  ASSERT_EQ(r.status, 200);
  auto arr = r.Json();
  ASSERT_EQ(arr.size(), 3u);
  for (auto &t : arr) {
    EXPECT_EQ(t["points_count"], t["points"].size());
    if (t["status"] == 0) continue; // planned, see the world's tests
    EXPECT_TRUE(t["events"].is_array());
    if (t["uid"] == 301) {
      EXPECT_EQ(t["status"], 2);
      // metres, as the sum of the steps between the trip's points
      double metres = 0;
      for (size_t k = 1; k < t["points"].size(); ++k)
        metres += sim::DistanceM(t["points"][k - 1]["lat"], t["points"][k - 1]["lon"],
                                 t["points"][k]["lat"], t["points"][k]["lon"]);
      EXPECT_GT(metres, 1000);
      EXPECT_NEAR(t["distance"].get<double>(), metres, 1);
      EXPECT_TRUE(t["stop_dt"].is_string());
      EXPECT_EQ(t["points"].front()["uid"], t["start_pid"]);
    } else {
      EXPECT_EQ(t["obj_id"], 102);
      EXPECT_EQ(t["status"], 1);
      EXPECT_TRUE(t["stop_dt"].is_null());
    }
  }
  THttpReply none = Api().Get("/user/trips", "from=2000-01-01T00:00:00Z&to=2000-01-02T00:00:00Z");
  EXPECT_EQ(none.status, 204);
  EXPECT_TRUE(none.body.empty());
}

TEST_F(Trips, StartAndStop) {
  THttpReply s = Api().Put("/object/101/starttrip", "name=trip_2026_12_09_17_00");
  ASSERT_EQ(s.status, 200);
  auto trip = s.Json();
  EXPECT_EQ(trip["status"], 1);
  EXPECT_EQ(trip["name"], "trip_2026_12_09_17_00");
  auto obj = Api().Get("/object/101").Json();
  EXPECT_EQ(obj["trip_id"], trip["uid"]);
  EXPECT_EQ(obj["trip_status"], 1);
  EXPECT_EQ(Api().Put("/object/101/starttrip", "name=again").status, 409);

  fSim->Advance(600);
  EXPECT_EQ(Api().Put("/object/101/stoptrip", "").status, 204);
  EXPECT_EQ(Api().Put("/object/101/stoptrip", "").status, 409);
  obj = Api().Get("/object/101").Json(); // keeps its finished trip
  EXPECT_EQ(obj["trip_id"], trip["uid"]);
  EXPECT_EQ(obj["trip_status"], 2);
  EXPECT_EQ(Api().Put("/object/106/starttrip", "name=x").status, 409); // deleted
  EXPECT_EQ(Api().Put("/object/999/starttrip", "name=x").status, 404);
}

// ---- commands

class Commands : public SimTest {
protected:
  // Sends a command, lets the device answer, and returns the answer text.
  std::string Run(int obj, const std::string &cmd) {
    THttpReply s = Api().Post("/object/" + std::to_string(obj) + "/sendcmd", cmd);
    EXPECT_EQ(s.status, 200) << s.body;
    int64_t uid = s.Json()["uid"];
    std::string path = "/cmdlog/" + std::to_string(uid) + "/response";
    EXPECT_EQ(Api().Get(path).status, 204); // not answered yet
    fSim->Advance(sim::TSimWorld::kSendDelay + sim::TSimWorld::kAnswerDelay);
    THttpReply a = Api().Get(path);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.contentType, "text/plain; charset=utf-8");
    return a.body;
  }
};

TEST_F(Commands, LogNewestFirstAndFilteredByText) {
  THttpReply r = Api().Get("/object/103/cmdlog", "count=10");
  ASSERT_EQ(r.status, 200);
  auto arr = r.Json();
  ASSERT_EQ(arr.size(), 3u);
  EXPECT_GT(arr[0]["create_dt"].get<std::string>(), arr[1]["create_dt"].get<std::string>());
  auto configs = Api().Get("/object/103/cmdlog", "count=6&txt=get%20config").Json();
  ASSERT_EQ(configs.size(), 1u);
  EXPECT_EQ(configs[0]["txt"], "get config");
  EXPECT_GT(configs[0]["r_size"].get<int>(), 0);
  EXPECT_EQ(configs[0]["r_type"], "text/plain; charset=utf-8");
  EXPECT_TRUE(configs[0]["resp_dt"].is_string());
  EXPECT_EQ(Api().Get("/object/103/cmdlog", "count=1").Json().size(), 1u);
  EXPECT_EQ(Api().Get("/object/103/cmdlog", "count=0").status, 400);
  EXPECT_EQ(Api().Get("/object/999/cmdlog", "count=5").status, 404);
}

TEST_F(Commands, SentCommandIsAnsweredAfterAShortDelay) {
  THttpReply s = Api().Post("/object/101/sendcmd", "get info");
  ASSERT_EQ(s.status, 200);
  auto cmd = s.Json();
  EXPECT_EQ(cmd["txt"], "get info");
  EXPECT_TRUE(cmd["send_dt"].is_null());
  fSim->Advance(sim::TSimWorld::kSendDelay);
  auto logged = Api().Get("/object/101/cmdlog", "count=1").Json()[0];
  EXPECT_EQ(logged["uid"], cmd["uid"]);
  EXPECT_TRUE(logged["send_dt"].is_string());
  EXPECT_EQ(logged["r_size"], 0);
  fSim->Advance(sim::TSimWorld::kAnswerDelay);
  logged = Api().Get("/object/101/cmdlog", "count=1").Json()[0];
  EXPECT_GT(logged["r_size"].get<int>(), 0);
  EXPECT_NE(Api()
                .Get("/cmdlog/" + std::to_string(cmd["uid"].get<int64_t>()) + "/response")
                .body.find("model=FMB920"),
            std::string::npos);
}

TEST_F(Commands, ConfigIsReadAndChanged) {
  std::string before = Run(103, "get config");
  for (const char *line :
       {"service_enabled=true\r\n", "use_places=true\r\n", "continuously_tracking=false\r\n",
        "tracking_period=300\r\n", "tracking_fast_period=60\r\n", "block_incoming_calls=false\r\n"})
    EXPECT_NE(before.find(line), std::string::npos) << line;
  EXPECT_NE(before.find("tracking_server="), std::string::npos);

  std::string set = Run(103, "set config use_places=false tracking_period=180 bogus=1");
  EXPECT_NE(set.find("ok: use_places=false tracking_period=180"), std::string::npos) << set;
  EXPECT_NE(set.find("bogus=1"), std::string::npos);
  std::string after = Run(103, "get config");
  EXPECT_NE(after.find("use_places=false\r\n"), std::string::npos);
  EXPECT_NE(after.find("tracking_period=180\r\n"), std::string::npos);
  std::string refused = Run(103, "set config tracking_period=soon");
  EXPECT_EQ(refused.find("ok:"), std::string::npos);
  EXPECT_NE(Run(103, "get config").find("tracking_period=180\r\n"), std::string::npos);
}

TEST_F(Commands, PlacesAreReadSetAndAdded) {
  std::string places = Run(103, "get places");
  EXPECT_NE(places.find("place0={\"name\":\"Home\",\"ssid\":[\"HomeNet\",\"HomeNet 5G\"]}\r\n"),
            std::string::npos)
      << places;
  EXPECT_NE(places.find("wifi0={"), std::string::npos);
  EXPECT_NE(places.find("vifi0={"), std::string::npos);

  // Blanks travel as "\s"; quotes left around an SSID by an earlier answer are dropped.
  std::string set =
      Run(103, "set places place0={\"name\":\"My\\\\shome\",\"ssid\":[\"HomeNet\"]} "
               "place1={\"name\":\"Work\",\"ssid\":[\"\\\"Office\\\"\",\"Office\\\\sGuest\"]}");
  EXPECT_NE(set.find("ok: 2 places set"), std::string::npos) << set;
  places = Run(103, "get places");
  EXPECT_NE(places.find("place0={\"name\":\"My home\",\"ssid\":[\"HomeNet\"]}"), std::string::npos)
      << places;
  EXPECT_NE(places.find("place1={\"name\":\"Work\",\"ssid\":[\"Office\",\"Office Guest\"]}"),
            std::string::npos);
  EXPECT_EQ(places.find("place2="), std::string::npos);

  std::string add = Run(103, "add places "
                             "place0={\"name\":\"Cafe\",\"wifi\":[{\"ssid\":\"Cafe\\\\sParma\","
                             "\"bssid\":\"aa:bb:cc:dd:ee:ff\"}]}");
  EXPECT_NE(add.find("ok: 1 places added"), std::string::npos) << add;
  EXPECT_NE(Run(103, "get places").find("place2={\"name\":\"Cafe\",\"ssid\":[\"Cafe Parma\"]}"),
            std::string::npos);
  EXPECT_NE(Run(103, "set places nothing").find("error"), std::string::npos);
}

TEST_F(Commands, UnknownCommandAndErrors) {
  EXPECT_NE(Run(101, "self destruct").find("error: unknown command"), std::string::npos);
  EXPECT_EQ(Api().Post("/object/101/sendcmd", "").status, 400);
  EXPECT_EQ(Api().Post("/object/106/sendcmd", "get config").status, 409);
  EXPECT_EQ(Api().Post("/object/999/sendcmd", "get config").status, 404);
  EXPECT_EQ(Api().Get("/cmdlog/999999/response").status, 404);
}

// ---- lookups

using Lookups = SimTest;

TEST_F(Lookups, WifiInABox) {
  // a square of +-0.001 degrees around the home of the watch
  auto arr =
      Api().Get("/wifi_aps", "minlat=58.0095&minlon=56.2470&maxlat=58.0115&maxlon=56.2490").Json();
  int home = 0;
  for (auto &ap : arr) {
    EXPECT_FALSE(ap["bssid"].get<std::string>().empty());
    EXPECT_TRUE(ap["std"].is_number());
    if (ap["ssid"].get<std::string>().rfind("HomeNet", 0) == 0) ++home;
  }
  EXPECT_EQ(home, 3);
  EXPECT_EQ(Api().Get("/wifi_aps", "minlat=58.0&minlon=56.0").status, 400);
  EXPECT_EQ(Api().Get("/wifi_aps", "minlat=58.1&minlon=56.0&maxlat=58.0&maxlon=56.1").status, 400);
}

TEST_F(Lookups, AddressesForPlaceIds) {
  std::string id = Api().Get("/object/101").Json()["osm_id"];
  ASSERT_FALSE(id.empty());
  THttpReply r = Api().Post("/osm/lookup", "ids=" + id + ",12,abc");
  ASSERT_EQ(r.status, 200);
  auto arr = r.Json();
  ASSERT_EQ(arr.size(), 1u);
  EXPECT_EQ(arr[0]["osm_id"], id);
  EXPECT_NE(arr[0]["address"].get<std::string>().find("Пермь"), std::string::npos);
  EXPECT_EQ(Api().Get("/object/101").Json()["address"], arr[0]["address"]);
  EXPECT_EQ(Api().Post("/osm/lookup", "ids=").status, 400);
}

} // namespace
} // namespace kelvra::simtest
