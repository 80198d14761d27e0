// A track reply read in one pass (StreamTrack) must give exactly the points the DOM reading gives,
// and must never accept a text the DOM parse refuses: whatever it cannot read to its end goes
// through the DOM, which gives the verdict.
#include "core/client/client.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kelvra;
using TPoints = std::vector<std::unique_ptr<TTrackPointInfo>>;

constexpr int kObjId = 77;

// The points the DOM reading makes of an array reply (as ReadTrack does).
TPoints DomPoints(const TKelvraClient &aClient, const TJsonReply &aReply) {
  TPoints points;
  for (const TJsonVal el : aReply.Root().Elements()) {
    auto tp = std::make_unique<TTrackPointInfo>(0, kObjId);
    tp->uid = aClient.ParseTrackPoint(el, *tp);
    if (tp->uid == 0) continue;
    if (tp->obj_id == 0) tp->obj_id = kObjId;
    points.push_back(std::move(tp));
  }
  return points;
}

bool SameNumber(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

void ExpectSamePoints(const TPoints &aDom, const TPoints &aStream) {
  ASSERT_EQ(aDom.size(), aStream.size());
  for (std::size_t i = 0; i < aDom.size(); ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    const TTrackPointInfo &d = *aDom[i], &s = *aStream[i];
    EXPECT_EQ(d.uid, s.uid);
    EXPECT_EQ(d.obj_id, s.obj_id);
    EXPECT_EQ(d.osm_id, s.osm_id);
    for (auto [a, b] : {std::pair{d.sys_dt, s.sys_dt}, {d.obj_dt, s.obj_dt}, {d.gps_dt, s.gps_dt},
                        {d.lat, s.lat}, {d.lon, s.lon}, {d.alt, s.alt}, {d.acc, s.acc},
                        {d.speed, s.speed}, {d.angle, s.angle}})
      EXPECT_TRUE(SameNumber(a, b)) << a << " vs " << b;
    EXPECT_EQ(d.bat, s.bat);
    EXPECT_EQ(d.src, s.src);
    EXPECT_EQ(d.HasEvent, s.HasEvent);
    ASSERT_EQ(d.sensors.size(), s.sensors.size());
    for (std::size_t k = 0; k < d.sensors.size(); ++k) {
      EXPECT_EQ(d.sensors[k].uid, s.sensors[k].uid);
      EXPECT_EQ(d.sensors[k].sign.str(), s.sensors[k].sign.str());
      EXPECT_EQ(d.sensors[k].val, s.sensors[k].val);
    }
  }
}

struct TStreamCase {
  const char *Name;
  const char *Text;
  int Points; // what both readings make of it
};

class TrackStreamReadsLikeTheDom : public ::testing::TestWithParam<TStreamCase> {};

TEST_P(TrackStreamReadsLikeTheDom, SamePoints) {
  const TStreamCase &c = GetParam();
  TKelvraClient client("", "token", "0.125");
  const simdjson::padded_string text{std::string(c.Text)};
  TPoints streamed;
  ASSERT_TRUE(client.StreamTrack(text.data(), text.size(), kObjId, streamed));
  const TJsonReply reply = ParseJsonReply(c.Text);
  ASSERT_FALSE(reply.Empty());
  const TPoints dom = DomPoints(client, reply);
  EXPECT_EQ(int(dom.size()), c.Points);
  ExpectSamePoints(dom, streamed);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TrackStreamReadsLikeTheDom,
    ::testing::Values(
        TStreamCase{"plain",
                    R"([{"uid":1,"obj_id":5,"osm_id":"N12","sys_dt":"2026-12-10T10:00:01Z",
                        "obj_dt":"2026-12-10T10:00:00Z","gps_dt":"2026-12-10T10:00:00Z",
                        "lat":57.99,"lon":56.27,"alt":120.5,"acc":4,"speed":15.25,"angle":90,
                        "bat":80,"crd_src":0,"sensors":[{"uid":1,"sign":"ign","val":"1"},
                        {"uid":2,"sign":"odo","val":12000}]},
                        {"uid":2,"lat":58,"lon":56.5}])",
                    2},
        TStreamCase{"empty", "[]", 0},
        TStreamCase{"any order, unknown fields of every kind, escapes in names and texts",
                    R"([{"x":{"a":[1,{"b":null}],"c":"\u00e9\n"},"lon":1e1,"u\u0069d":3,
                        "osm_id":"W\"7\\","sensors":[{"val":"a\tb","sign":"ev\u0065nt","uid":9,
                        "more":[true,false]}],"lat":-5.5E-1,"y":[],"z":{}}])",
                    1},
        TStreamCase{"the last of names given twice counts, sensors included",
                    R"([{"uid":4,"uid":5,"lat":1,"lat":2,"sensors":[{"uid":1,"sign":"event"}],
                        "sensors":[{"uid":2,"sign":"a","val":"x"},{"uid":2,"val":"y"}]}])",
                    1},
        TStreamCase{"values of other types: texts, null, true, containers, huge numbers",
                    R"([{"uid":"6","obj_id":null,"lat":"57,5","lon":true,"alt":[1],"acc":{},
                        "speed":18446744073709551615,"angle":-9223372036854775808,
                        "bat":"x","crd_src":2.0,"sys_dt":1733824800,"obj_dt":"","gps_dt":null,
                        "sensors":"none"}])",
                    1},
        TStreamCase{"elements that are no points are passed over",
                    R"([1,"two",null,[{"uid":8}],{"lat":1},{"uid":0},{"uid":-3},{"uid":7,
                        "sensors":[5,null,{"uid":3,"sign":"t","val":-1.5e-7}]}])",
                    1},
        TStreamCase{"records in other orders, names that begin or extend a name",
                    R"([{"uid":1,"lat":1,"lon":2,"sensors":[{"uid":1,"sign":"a"}]},
                        {"lon":3,"uid":2,"lat":4,"sensors":[{"sign":"b","uid":2,"val":"v"}]},
                        {"uid":3,"la":5,"latx":6,"lat":7,"u":1,"sensors":[{"uidx":4,"sig":"c"}]},
                        {"uid":4,"lat":8}])",
                    4},
        TStreamCase{"white space everywhere",
                    "[ \n{ \"uid\" : 1 , \"sensors\" : [ { \"uid\" : 2 , \"val\" : \"v\" } ] } "
                    ",\t{\"uid\":2} ]\n",
                    2}),
    [](const ::testing::TestParamInfo<TStreamCase> &aInfo) {
      return "case" + std::to_string(aInfo.index);
    });

struct TRefusedCase {
  const char *Text;
  bool DomReads; // true: another form the DOM reads; false: not JSON at all
};

class TrackStreamLeavesToTheDom : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(TrackStreamLeavesToTheDom, WhatItCannotReadToTheEnd) {
  const TRefusedCase &c = GetParam();
  TKelvraClient client("", "token", "0.125");
  const simdjson::padded_string text{std::string(c.Text)};
  TPoints streamed;
  EXPECT_FALSE(client.StreamTrack(text.data(), text.size(), kObjId, streamed)) << c.Text;
  EXPECT_EQ(!ParseJsonReply(c.Text).Empty(), c.DomReads) << c.Text;
}

std::string DeepField() {
  return R"([{"uid":1,"deep":)" + std::string(300, '[') + std::string(300, ']') + "}]";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TrackStreamLeavesToTheDom,
    ::testing::Values(TRefusedCase{R"({"Track":[{"uid":1}]})", true},
                      TRefusedCase{R"("text")", true},
                      TRefusedCase{R"([{"uid":1}] x)", false},
                      TRefusedCase{R"([{"uid":1}] [])", false},
                      TRefusedCase{R"([{"uid":1,"x":01}])", false},
                      TRefusedCase{R"([{"uid":1,"x":tru}])", false},
                      TRefusedCase{R"([{"uid":1,"x":nul}])", false},
                      TRefusedCase{R"([{"uid":1,"x":"\q"}])", false},
                      TRefusedCase{R"([{"uid":1,"x":[1,]}])", false},
                      TRefusedCase{R"([{"uid":1,"x":{"a" 1}}])", false},
                      TRefusedCase{R"([{"uid":1}, {"uid":2})", false},
                      TRefusedCase{R"([{"uid":1,"sensors":[{"uid":1e999}]}])", false},
                      TRefusedCase{"[{\"uid\":1,\"osm_id\":\"a\x01b\"}]", false},
                      TRefusedCase{"[{\"uid\":1,\"osm_id\":\"\xff\"}]", false},
                      TRefusedCase{R"([{"uid":1]})", false},
                      TRefusedCase{R"([{"uid":1},"osm_id":"b","x":1}])", false},
                      TRefusedCase{R"([{"uid":1,"sensors":["a":1]}])", false},
                      TRefusedCase{R"([{"uid":1,"x":["a" "b"]}])", false},
                      TRefusedCase{R"([{"uid":1,"sensors":[{"uid":1,"x":N1}]}])", false},
                      TRefusedCase{R"([{"uid":1,"sensors":[{"x":{"y":01}}]}])", false}));

TEST(TrackStreamTest, NestingAtTheDomsLimitIsLeftToTheDom) {
  TKelvraClient client("", "token", "0.125");
  const std::string deep = DeepField();
  const simdjson::padded_string text{deep};
  TPoints streamed;
  EXPECT_FALSE(client.StreamTrack(text.data(), text.size(), kObjId, streamed));
  EXPECT_TRUE(ParseJsonReply(deep).Empty());
}

} // namespace
