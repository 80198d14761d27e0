// An object list read in one pass (StreamObjects) must make the cache the DOM reading makes
// (MergeObjects), both into an empty cache and as a refresh of it; a text it cannot read to its
// end goes to the DOM, which gives the verdict, and leaves the cache as it was, even when the
// fault comes after whole objects.
#include "core/client/client.h"
#include "support/ObjectState.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>

namespace kelvra {
namespace {

std::string CacheState(const TKelvraClient &aClient) {
  std::string state = std::to_string(aClient.ObjListUpdated()) + "\n";
  for (const auto &oi : aClient.ObjList())
    state += ObjectState(*oi) + "--\n";
  return state;
}

// The first reply the refresh rows are read over.
constexpr const char *kFirst = R"({"dt":"2024-03-05 21:00:00","objects":[
  {"uid":1,"id":"a","name":"Van","sys_dt":"2024-03-05 20:59:00","lat":58,"lon":56,
   "sensors":[{"uid":1,"name":"Battery","sign":"bat","val":"80"},
              {"uid":2,"name":"Alarm","sign":"event","val":"1"}],
   "alarms":[{"uid":9,"h_sys_dt":"2024-03-05 20:58:00"}]},
  {"uid":2,"id":"b","name":"Car","track_color":"#00FF00"}]})";

struct TStreamCase {
  const char *Name;
  const char *Text;
  int Objects; // what both readings count
};

class ObjectStreamReadsLikeTheDom : public ::testing::TestWithParam<TStreamCase> {};

TEST_P(ObjectStreamReadsLikeTheDom, SameCache) {
  const TStreamCase &c = GetParam();
  for (const bool refresh : {false, true}) {
    SCOPED_TRACE(refresh ? "as a refresh" : "into an empty cache");
    TKelvraClient streamed("", "token", "0.125"), dom("", "token", "0.125");
    if (refresh) {
      const simdjson::padded_string first{std::string(kFirst)};
      int count = 0;
      ASSERT_TRUE(streamed.StreamObjects(first.data(), first.size(), count));
      dom.MergeObjects(ParseJsonReply(kFirst).Root());
      ASSERT_EQ(CacheState(streamed), CacheState(dom));
    }
    const simdjson::padded_string text{std::string(c.Text)};
    int count = -1;
    ASSERT_TRUE(streamed.StreamObjects(text.data(), text.size(), count));
    const TJsonReply reply = ParseJsonReply(c.Text);
    ASSERT_FALSE(reply.Empty());
    EXPECT_EQ(dom.MergeObjects(reply.Root()), c.Objects);
    EXPECT_EQ(count, c.Objects);
    EXPECT_EQ(CacheState(streamed), CacheState(dom));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ObjectStreamReadsLikeTheDom,
    ::testing::Values(
        TStreamCase{"Plain", kFirst, 2},
        TStreamCase{"Empty", R"({"dt":"2024-03-05 21:01:00","objects":[]})", 0},
        TStreamCase{"NoStamp", R"({"objects":[{"uid":1,"id":"a","name":"Van 2"}]})", 1},
        TStreamCase{"ListBeforeStampAndEveryFieldOfTheRecords",
                    R"({"objects":[{"alarms":[{"accept_msg":"ok","uid":10,"obj_id":5,"trap_id":3,
                        "h_point_id":4,"h_sys_dt":"2024-03-05 21:00:00","h_obj_dt":"2024-03-05 20:59:59",
                        "h_gps_dt":"2024-03-05 20:59:58","h_lat":58.1,"h_lon":56.1,"h_speed":90,
                        "h_bat":50,"h_sval":"speed","c_point_id":6,"c_sys_dt":"2024-03-05 21:00:10",
                        "c_obj_dt":null,"c_gps_dt":"","c_lat":58.2,"c_lon":56.2,"c_speed":10,
                        "c_bat":49,"c_sval":"x","accept_dt":"2024-03-05 21:00:20"}],
                        "crd_src":2,"bat":77,"angle":181,"speed":12.5,"acc":3,"alt":150.25,"lon":56.3,
                        "lat":58.3,"gps_dt":"2024-03-05 20:59:58","obj_dt":"2024-03-05 20:59:59",
                        "sys_dt":"2024-03-05 21:00:00","osm_id":"W1","obj_id":1,"trip_status":1,
                        "trip_id":4,"address":"Lenina 1","imei":"35","phone":"+7","sw_ver":"2",
                        "hw_info":"rev","hw_type":"gps","model":"KT","users_list":"al,bo",
                        "is_alien":true,"image_dt":"2024-03-01 00:00:00","has_image":true,
                        "track_color":"#102030","del_dt":null,"is_deleted":false,"name":"N",
                        "user_id":7,"type_id":2,"parent_id":3,"id":"a","uid":1,
                        "sensors":[{"val":"5","sys_dt":"2024-03-05 21:00:00","obj_dt":"2024-03-05 20:59:59",
                                    "unit":"km","sign":"odo","name":"Odometer","uid":3}]}],
                       "dt":"2024-03-05 21:02:00"})",
                    1},
        TStreamCase{"UnknownFieldsOfEveryKind",
                    R"({"x":{"a":[1,{"b":null}]},"dt":"2024-03-05 21:03:00","y":[true,false,1e5],
                        "objects":[{"uid":1,"id":"a","extra":{"k":[1,2,{"z":"w"}]},"more":[[]],
                        "sensors":[{"uid":1,"sign":"bat","val":"79","what":{"n":1}}],
                        "alarms":[{"uid":11,"other":[1]}]}],"z":-0.5})",
                    1},
        TStreamCase{"NamesGivenTwice",
                    R"({"dt":"2024-03-05 21:04:00","objects":[{"uid":9,"id":"z"}],"dt":"2024-03-05 21:05:00",
                        "objects":[{"uid":1,"id":"a","name":"first","name":"second",
                        "sensors":[{"uid":5,"sign":"gone","val":"1"}],
                        "sensors":[{"uid":1,"sign":"bat","val":"70","val":"71"}],
                        "alarms":[{"uid":12}],"alarms":"none"}]})",
                    1},
        TStreamCase{"ElementsThatAreNoRecords",
                    R"({"objects":[1,"x",null,[],{"uid":2,"id":"b","sensors":[null,7,{"uid":4,"sign":"t","val":"2"}],
                        "alarms":[null,3,{"uid":0},{"uid":13}]},true]})",
                    1},
        TStreamCase{"ListsOfOtherTypes",
                    R"({"objects":[{"uid":1,"id":"a","sensors":{"uid":1},"alarms":"x"},
                        {"uid":2,"id":"b","sensors":null,"alarms":5}]})",
                    2},
        TStreamCase{"NumbersForTextsAndEscapes",
                    R"({"objects":[{"uid":1,"id":"a","n\u0061me":"V\u00e9hicule \"1\"\n",
                        "model":12,"phone":1.5,"sensors":[{"uid":1,"sign":"bat","val":80.25},
                        {"uid":2,"sign":"event","val":true}]},
                        {"uid":3,"id":30,"name":"by a number id"}]})",
                    2},
        TStreamCase{"NewObjectsAndTwins",
                    R"({"objects":[{"uid":2,"id":"b","name":"again"},{"uid":3,"id":"c"},
                        {"uid":3,"id":"c","name":"twin"},{"uid":1,"id":"other"}]})",
                    4},
        TStreamCase{"WhiteSpace", " \n\t{ \"objects\" : [ { \"uid\" : 1 , \"id\" : \"a\" } ] } \n", 1}),
    [](const auto &info) { return std::string(info.param.Name); });

struct TLeftCase {
  const char *Name;
  std::string Text;
  bool DomAccepts; // the DOM parses it (and then finds no list, or reads it its own way)
};

class ObjectStreamLeavesToTheDom : public ::testing::TestWithParam<TLeftCase> {};

TEST_P(ObjectStreamLeavesToTheDom, CacheAsItWas) {
  const TLeftCase &c = GetParam();
  TKelvraClient client("", "token", "0.125");
  const simdjson::padded_string first{std::string(kFirst)};
  int count = 0;
  ASSERT_TRUE(client.StreamObjects(first.data(), first.size(), count));
  const std::string before = CacheState(client);
  const simdjson::padded_string text{c.Text};
  EXPECT_FALSE(client.StreamObjects(text.data(), text.size(), count));
  EXPECT_EQ(CacheState(client), before);
  EXPECT_EQ(ParseJsonReply(c.Text).Empty(), !c.DomAccepts);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ObjectStreamLeavesToTheDom,
    ::testing::Values(
        // faults after whole objects: nothing of them may reach the cache
        TLeftCase{"CutShort", R"({"dt":"2024-03-05 21:09:00","objects":[{"uid":1,"id":"a","name":"X"},{"uid":2,)",
                  false},
        TLeftCase{"BadLiteralAfterTheList",
                  R"({"objects":[{"uid":1,"id":"a","name":"X"}],"dt":"2024-03-05 21:09:00","x":tru})", false},
        TLeftCase{"BadNumberInALaterObject",
                  R"({"objects":[{"uid":1,"id":"a","name":"X"},{"uid":2,"id":"b","lat":1.2.3}]})", false},
        TLeftCase{"MissingComma", R"({"objects":[{"uid":1,"id":"a","name":"X"} {"uid":2}]})", false},
        TLeftCase{"TextAfterTheObject", R"({"objects":[{"uid":1,"id":"a","name":"X"}]} x)", false},
        TLeftCase{"BadEscape", R"({"objects":[{"uid":1,"id":"a","name":"X\q"}]})", false},
        TLeftCase{"TooDeep", R"({"objects":[{"uid":1,"id":"a","x":)" + std::string(2000, '[') +
                                 std::string(2000, ']') + "}]}",
                  false},
        // other forms: the DOM says what they are
        TLeftCase{"NoList", R"({"unexpected":"object"})", true},
        TLeftCase{"ListIsAnObject", R"({"objects":{"uid":1}})", true},
        TLeftCase{"LastListIsNoArray", R"({"objects":[{"uid":1,"id":"a","name":"X"}],"objects":5})", true},
        TLeftCase{"ArrayRoot", R"([{"uid":1,"id":"a"}])", true},
        TLeftCase{"NotJson", "<html>502 Bad Gateway</html>", false}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
} // namespace kelvra
