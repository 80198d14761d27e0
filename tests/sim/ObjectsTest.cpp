// The object list with its incremental refresh, single objects, creation, change, deletion and
// photos.
#include <set>

#include "SimFixture.h"

namespace kelvra::simtest {
namespace {

using Objects = SimTest;

std::set<int> Uids(const nlohmann::json &objects) {
  std::set<int> out;
  for (auto &o : objects)
    out.insert(o["uid"].get<int>());
  return out;
}

TEST_F(Objects, FullListHasTheDemoKinds) {
  THttpReply r = Api().Get("/user/objects");
  ASSERT_EQ(r.status, 200);
  auto j = r.Json();
  EXPECT_EQ(j["dt"], Utc(fSim->Now()));
  auto &list = j["objects"];
  EXPECT_EQ(Uids(list), (std::set<int>{101, 102, 103, 104, 105, 106, 107, 108, 109}));
  for (auto &o : list) {
    int uid = o["uid"];
    EXPECT_EQ(o["is_alien"], uid == 105) << uid;
    EXPECT_EQ(o["is_deleted"], uid == 106) << uid;
    EXPECT_EQ(o["has_image"], uid == 102 || uid == 103 || uid == 108) << uid;
    EXPECT_TRUE(o["sensors"].is_array());
    EXPECT_TRUE(o["alarms"].is_array());
    EXPECT_TRUE(o["lat"].is_number()) << uid;
    EXPECT_EQ(o["track_color"].get<std::string>().size(), 7u);
  }
  auto sign = [&](int uid) {
    std::set<std::string> s;
    for (auto &o : list)
      if (o["uid"] == uid)
        for (auto &v : o["sensors"])
          s.insert(v["sign"]);
    return s;
  };
  EXPECT_TRUE(sign(103).count("hr") && sign(103).count("steps"));
  EXPECT_TRUE(sign(104).count("event"));
}

TEST_F(Objects, RefreshWithDtReturnsOnlyObjectsChangedSince) {
  auto first = Api().Get("/user/objects").Json();
  std::string dt = first["dt"];
  // Nothing happened yet: nothing to send.
  EXPECT_TRUE(Api().Get("/user/objects", "dt=" + dt).Json()["objects"].empty());

  auto lastPoints = [&] {
    std::map<int, int64_t> out;
    fSim->WithWorld([&](sim::TSimWorld &w) {
      for (auto &o : w.fObjects)
        if (o->LastPoint()) out[o->uid] = o->LastPoint()->uid;
    });
    return out;
  };
  auto before = lastPoints();
  fSim->Advance(120);
  auto after = lastPoints();
  std::set<int> moved;
  for (auto &kv : after)
    if (before[kv.first] != kv.second) moved.insert(kv.first);
  ASSERT_FALSE(moved.empty());
  ASSERT_LT(moved.size(), after.size()); // some stand still: the deleted one at least

  auto refresh = Api().Get("/user/objects", "dt=" + dt).Json();
  EXPECT_EQ(refresh["dt"], Utc(fSim->Now()));
  EXPECT_EQ(Uids(refresh["objects"]), moved);
  EXPECT_EQ(moved.count(106), 0u);
}

TEST_F(Objects, ChangeInTheSameSecondAsTheListIsNotLost) {
  std::string dt = Api().Get("/user/objects").Json()["dt"];
  ASSERT_EQ(Api().Put("/object/101", "name=Van+2&").status, 200); // time is frozen: same second
  auto refresh = Api().Get("/user/objects", "dt=" + dt).Json();
  ASSERT_EQ(refresh["dt"], dt);
  EXPECT_EQ(Uids(refresh["objects"]), std::set<int>{101});
  EXPECT_TRUE(Api().Get("/user/objects", "dt=" + dt).Json()["objects"].empty());
  // another client that never listed before compares times only
  TApi other(fSim->BaseUrl());
  ASSERT_TRUE(other.Login("demo", "demo"));
  EXPECT_TRUE(other.Get("/user/objects", "dt=" + dt).Json()["objects"].empty());
}

TEST_F(Objects, BadDtIsRefused) {
  EXPECT_EQ(Api().Get("/user/objects", "dt=yesterday").status, 400);
}

TEST_F(Objects, OneObjectAndItsErrors) {
  auto r = Api().Get("/object/101");
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.Json()["name"], "Delivery van");
  EXPECT_EQ(Api().Get("/object/105").status, 200); // shared with demo
  EXPECT_EQ(Api().Get("/object/999").status, 404);
  TApi alice(fSim->BaseUrl());
  ASSERT_TRUE(alice.Login("alice", "alice"));
  EXPECT_EQ(alice.Get("/object/101").status, 404); // not shared with alice
}

// Ids beyond 32 bits must not wrap onto the objects, zones and traps with the low bits.
struct TIdCase {
  const char *name;
  const char *method;
  const char *path;
};

class WideIds : public SimTest, public ::testing::WithParamInterface<TIdCase> {};

TEST_P(WideIds, NameNothing) {
  THttpReply r = Api().Send(GetParam().method, GetParam().path, "");
  EXPECT_EQ(r.status, 404) << r.body;
  EXPECT_TRUE(r.Json()["text"].is_string());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WideIds,
    ::testing::Values(TIdCase{"Object", "GET", "/object/4294967397"}, // 2^32 + 101
                      TIdCase{"ObjectPhoto", "GET", "/object/4294967399/img"},
                      TIdCase{"ObjectBeyond63Bits", "GET", "/object/18446744073709551717"},
                      TIdCase{"Track", "GET", "/object/4294967397/track"},
                      TIdCase{"ChangeObject", "PUT", "/object/4294967397"},
                      TIdCase{"Zone", "PUT", "/zone/4294967306"}, // 2^32 + 10
                      TIdCase{"Trap", "GET", "/trap/4294967497"}, // 2^32 + 201
                      TIdCase{"NegativeWrap", "GET", "/object/-4294967195"}),
    CaseName<TIdCase>);

TEST_F(Objects, CreateChangeMarkAndDelete) {
  THttpReply c = Api().Post("/object/", "id=TR-1&name=New+one&track_color=%2300ff00&users_list=&");
  ASSERT_EQ(c.status, 200);
  auto j = c.Json();
  int uid = j["uid"];
  EXPECT_GT(uid, 0);
  EXPECT_EQ(j["track_color"], "#00FF00");
  EXPECT_EQ(j["is_alien"], false);
  std::string path = "/object/" + std::to_string(uid);

  THttpReply u = Api().Put(path, "name=Renamed&track_color=%230000FF&users_list=alice&");
  ASSERT_EQ(u.status, 200);
  EXPECT_EQ(u.Json()["name"], "Renamed");
  TApi alice(fSim->BaseUrl());
  ASSERT_TRUE(alice.Login("alice", "alice"));
  EXPECT_EQ(alice.Get(path).Json()["is_alien"], true);
  EXPECT_EQ(alice.Put(path, "name=Mine&").status, 403);

  EXPECT_EQ(Api().Del(path).status, 409); // must be marked first
  THttpReply m = Api().Put(path, "is_deleted=1");
  ASSERT_EQ(m.status, 200);
  EXPECT_EQ(m.Json()["is_deleted"], true);
  EXPECT_TRUE(m.Json()["del_dt"].is_string());
  EXPECT_EQ(Api().Del(path).status, 204);
  EXPECT_EQ(Api().Get(path).status, 404);
}

TEST_F(Objects, PhotoGetReplaceDelete) {
  THttpReply g = Api().Get("/object/103/img");
  ASSERT_EQ(g.status, 200);
  EXPECT_EQ(g.contentType, "image/png");
  EXPECT_EQ(g.body.substr(1, 3), "PNG");
  EXPECT_EQ(Api().Get("/object/101/img").status, 404);
  EXPECT_EQ(Api().Get("/object/102/img").contentType, "image/jpeg");

  THttpRequest post;
  post.method = "POST";
  post.url = fSim->BaseUrl() + "/api/v1/object/101/img";
  post.headers["X-Auth-Token"] = Api().Token();
  post.headers["Cookie"] = Api().Cookie();
  post.contentType = "image/jpeg";
  post.body = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(100, 'j');
  EXPECT_EQ(Fetch(post).status, 204);
  auto obj = Api().Get("/object/101").Json();
  EXPECT_EQ(obj["has_image"], true);
  EXPECT_EQ(obj["image_dt"], Utc(fSim->Now()));
  THttpReply g2 = Api().Get("/object/101/img");
  EXPECT_EQ(g2.contentType, "image/jpeg");
  EXPECT_EQ(g2.body, post.body);

  post.body = "plain text";
  EXPECT_EQ(Fetch(post).status, 415);
  post.body.clear();
  EXPECT_EQ(Fetch(post).status, 400);

  EXPECT_EQ(Api().Del("/object/101/img").status, 204);
  EXPECT_EQ(Api().Del("/object/101/img").status, 404);
  EXPECT_EQ(Api().Get("/object/101").Json()["has_image"], false);
  EXPECT_EQ(Api().Del("/object/105/img").status, 403); // alice's bike
}

} // namespace
} // namespace kelvra::simtest
