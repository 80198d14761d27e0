// Zones with their history, traps, and events with their acceptance.
#include "SimFixture.h"

namespace kelvra::simtest {
namespace {

using Zones = SimTest;

nlohmann::json FindUid(const nlohmann::json &arr, int64_t uid) {
  for (auto &e : arr)
    if (e["uid"] == uid) return e;
  return nullptr;
}

TEST_F(Zones, ListCarriesGeometryAsJsonText) {
  THttpReply r = Api().Get("/user/zones");
  ASSERT_EQ(r.status, 200);
  auto arr = r.Json();
  ASSERT_TRUE(arr.is_array());
  EXPECT_EQ(arr.size(), 4u);
  auto office = FindUid(arr, 10);
  EXPECT_EQ(office["type_id"], 1);
  auto geom = nlohmann::json::parse(office["geom"].get<std::string>());
  EXPECT_EQ(geom["radius"], 250);
  EXPECT_NEAR(geom["center"][0].get<double>(), 56.27574, 1e-9); // longitude first
  auto park = FindUid(arr, 12);
  EXPECT_EQ(park["type_id"], 2);
  EXPECT_EQ(nlohmann::json::parse(park["geom"].get<std::string>()).size(), 4u);
  EXPECT_GT(park["area"].get<double>(), 0);
  EXPECT_EQ(park["color"], "#00C080");
}

TEST_F(Zones, CreateChangeDelete) {
  // the body the program's zone record writes
  THttpReply c =
      Api().Post("/zone", "uid=0&name=Depot&type_id=2&color=%2300ff00&geom=%5B%5B56.1%2C58.0%5D%2C%"
                          "5B56.2%2C58.0%5D%2C%5B56.2%2C57.9%5D%5D&desc=Yard+%E2%84%962&");
  ASSERT_EQ(c.status, 200);
  auto z = c.Json();
  int uid = z["uid"];
  EXPECT_GT(uid, 0);
  EXPECT_EQ(z["desc"], "Yard №2");
  EXPECT_EQ(z["color"], "#00FF00");
  EXPECT_FALSE(FindUid(Api().Get("/user/zones").Json(), uid).is_null());

  std::string path = "/zone/" + std::to_string(uid);
  THttpReply u = Api().Put(path, "uid=" + std::to_string(uid) +
                                     "&name=Depot+2&type_id=1&color=%23FF0000&geom=%7B%22center%22%"
                                     "3A%5B56.3%2C58.0%5D%2C%22radius%22%3A120%7D&desc=&");
  ASSERT_EQ(u.status, 200);
  EXPECT_EQ(u.Json()["type_id"], 1);
  EXPECT_EQ(u.Json()["name"], "Depot 2");
  EXPECT_EQ(Api().Del(path).status, 204);
  EXPECT_EQ(Api().Del(path).status, 404);
  EXPECT_EQ(Api().Put(path, "name=x&").status, 404);
}

TEST_F(Zones, ZoneUsedByATrapIsKept) {
  THttpReply r = Api().Del("/zone/10");
  EXPECT_EQ(r.status, 409);
  EXPECT_TRUE(r.Json()["text"].is_string());
  EXPECT_EQ(Api().Del("/zone/12").status, 204);
}

TEST_F(Zones, HistoryHoldsOnlyPointsInsideTheZone) {
  int64_t now = fSim->Now();
  THttpReply r = Api().Get("/zone/10/history", Period(now - 86400, now));
  ASSERT_EQ(r.status, 200);
  auto arr = r.Json();
  ASSERT_FALSE(arr.empty());
  fSim->WithWorld([&](sim::TSimWorld &w) {
    const sim::TSimZone *z = w.FindZone(10);
    for (auto &p : arr)
      EXPECT_TRUE(z->Contains(p["lat"], p["lon"]));
  });
  EXPECT_FALSE(arr[0].contains("sensors"));
  auto withSensors = Api().Get("/zone/10/history", Period(now - 86400, now) + "&mode=1").Json();
  EXPECT_TRUE(withSensors[0]["sensors"].is_array());
  EXPECT_EQ(Api().Get("/zone/10/history", "from=x&to=y").status, 400);
  EXPECT_EQ(Api().Get("/zone/999/history", Period(now - 60, now)).status, 404);
}

// ---- traps

using Traps = SimTest;

TEST_F(Traps, ListAndOne) {
  auto arr = Api().Get("/user/traps").Json();
  EXPECT_EQ(arr.size(), 7u); // one of them general (obj_id 0)
  THttpReply one = Api().Get("/trap/201");
  ASSERT_EQ(one.status, 200);
  auto t = one.Json();
  EXPECT_EQ(t["obj_id"], 101);
  EXPECT_EQ(t["target_type_id"], 1);
  EXPECT_EQ(t["is_alarm"], true);
  EXPECT_EQ(Api().Get("/trap/999").status, 404);
}

TEST_F(Traps, CreateUpdateDelete) {
  // the body the program's trap record writes for a new trap (no uid)
  THttpReply c = Api().Post(
      "/trap", "obj_id=102&target_type_id=5&target_id=0&condition_id=1&val=6&is_alarm=false&accept_"
               "type_id=0&msg=%7B%7B.object%7D%7D+fast&subj=Speed&email=false&telegram=true&");
  ASSERT_EQ(c.status, 200);
  auto t = c.Json();
  int uid = t["uid"];
  EXPECT_EQ(t["msg"], "{{.object}} fast");
  EXPECT_EQ(t["telegram"], true);
  std::string path = "/trap/" + std::to_string(uid);
  THttpReply u = Api().Put(path, "val=7&is_alarm=true&");
  ASSERT_EQ(u.status, 200);
  EXPECT_EQ(u.Json()["val"], "7");
  EXPECT_EQ(u.Json()["is_alarm"], true);
  EXPECT_EQ(u.Json()["subj"], "Speed");
  EXPECT_EQ(Api().Del(path).status, 204);
  EXPECT_EQ(Api().Del(path).status, 404);
  EXPECT_EQ(Api().Put(path, "val=1&").status, 404);
}

TEST_F(Traps, NewTrapRaisesEventsAsTimePasses) {
  // "speed above 1": the van starts and stops several times in three hours
  THttpReply c = Api().Post(
      "/trap", "obj_id=101&target_type_id=5&target_id=0&condition_id=1&val=1&is_alarm=true&");
  ASSERT_EQ(c.status, 200);
  int uid = c.Json()["uid"];
  int64_t start = fSim->Now();
  fSim->Advance(3 * 3600);
  auto events = Api().Get("/user/events", Period(start, fSim->Now())).Json();
  int raised = 0, completed = 0;
  for (auto &e : events) {
    if (e["trap_id"] != uid) continue;
    ++raised;
    EXPECT_EQ(e["obj_id"], 101);
    EXPECT_GT(e["h_speed"].get<double>(), 1);
    if (e["c_point_id"].is_number()) ++completed;
  }
  EXPECT_GE(raised, 2);
  EXPECT_GE(completed, 1);
}

// ---- events

using Events = SimTest;

TEST_F(Events, DayHasAcceptedAndOpenAlarms) {
  int64_t now = fSim->Now();
  THttpReply r = Api().Get("/user/events", Period(now - 86400, now));
  ASSERT_EQ(r.status, 200);
  auto arr = r.Json();
  int accepted = 0, open = 0;
  for (auto &e : arr) {
    EXPECT_GT(e["uid"].get<int64_t>(), 0);
    EXPECT_TRUE(e["h_sys_dt"].is_string());
    if (e["accept_dt"].is_string())
      ++accepted;
    else if (e["is_alarm"] == true)
      ++open;
  }
  EXPECT_GT(accepted, 0);
  EXPECT_GT(open, 0);
  EXPECT_EQ(Api().Get("/user/events").status, 400);
  EXPECT_EQ(Api().Get("/user/events", Period(now, now - 1)).status, 400);
}

TEST_F(Events, AcceptOnceClosesTheAlarm) {
  int64_t now = fSim->Now();
  auto arr = Api().Get("/user/events", Period(now - 86400, now)).Json();
  nlohmann::json alarm;
  for (auto &e : arr)
    if (e["is_alarm"] == true && e["accept_dt"].is_null()) alarm = e;
  ASSERT_FALSE(alarm.is_null());
  std::string path = "/event/" + std::to_string(alarm["uid"].get<int64_t>()) + "/accept";
  EXPECT_EQ(Api().Put(path, "msg=%D0%9F%D1%80%D0%BE%D0%B2%D0%B5%D1%80%D0%B5%D0%BD%D0%BE+ok").status,
            204);
  EXPECT_EQ(Api().Put(path, "msg=again").status, 409);
  EXPECT_EQ(Api().Put("/event/1/accept", "msg=x").status, 404);

  auto after = FindUid(Api().Get("/user/events", Period(now - 86400, now)).Json(), alarm["uid"]);
  EXPECT_EQ(after["accept_msg"], "Проверено ok");
  EXPECT_EQ(after["accept_dt"], Utc(now));
  auto obj = Api().Get("/object/" + std::to_string(alarm["obj_id"].get<int>())).Json();
  EXPECT_TRUE(FindUid(obj["alarms"], alarm["uid"]).is_null());
}

} // namespace
} // namespace kelvra::simtest
