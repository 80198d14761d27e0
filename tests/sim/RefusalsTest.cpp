// Requests the service refuses: the status, a JSON "text", and nothing changed.
#include "SimFixture.h"

namespace kelvra::simtest {
namespace {

struct TRefusal {
  const char *name;
  const char *method;
  const char *path;
  const char *body;
  int status;
  const char *unchanged; // a GET path whose reply must be the same before and after
};

class Refusals : public SimTest, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(Refusals, AnswerWithTextAndChangeNothing) {
  const TRefusal &c = GetParam();
  std::string before = Api().Get(c.unchanged).body;
  THttpReply r = Api().Send(c.method, c.path, c.body);
  EXPECT_EQ(r.status, c.status) << r.body;
  auto j = r.Json();
  ASSERT_TRUE(j.is_object()) << r.body;
  EXPECT_TRUE(j["text"].is_string());
  EXPECT_EQ(Api().Get(c.unchanged).body, before);
}

// Geometry texts as the program's zone record writes them, URL-encoded.
#define CIRCLE(center, extra) "%7B%22center%22%3A%5B" center "%5D" extra "%7D"
#define RADIUS "%2C%22radius%22%3A5"

INSTANTIATE_TEST_SUITE_P(
    User, Refusals,
    ::testing::Values(
        TRefusal{"WrongPassword", "POST", "/user/login", "uname=demo&upass=nope", 406, "/user"},
        TRefusal{"UnknownUser", "POST", "/user/login", "uname=nobody&upass=demo", 406, "/user"},
        TRefusal{"NoFields", "POST", "/user/login", "", 406, "/user"},
        // an unencoded "&" in a password cuts it short
        TRefusal{"AmpersandInPassword", "POST", "/user/login", "uname=demo&upass=de&mo", 406,
                 "/user"},
        TRefusal{"EmailTaken", "PUT", "/user", "name=X&email=alice%40example.com&", 409, "/user"},
        TRefusal{"EmailWithoutAt", "PUT", "/user", "name=X&email=nowhere&", 400, "/user"},
        TRefusal{"ChatIdNotNumber", "PUT", "/user", "name=X&t_chat_id=abc&", 400, "/user"},
        TRefusal{"TzOutOfRange", "PUT", "/user", "name=X&tz=999999&", 400, "/user"},
        TRefusal{"EmptyPassword", "PUT", "/user", "name=X&password=&", 400, "/user"}),
    CaseName<TRefusal>);

INSTANTIATE_TEST_SUITE_P(
    Objects, Refusals,
    ::testing::Values(
        TRefusal{"NoId", "POST", "/object", "name=x&", 400, "/user/objects"},
        TRefusal{"IdTaken", "POST", "/object", "id=860000000000101&name=x&", 409, "/user/objects"},
        TRefusal{"BadColor", "POST", "/object/", "id=Z1&track_color=red&", 400, "/user/objects"},
        TRefusal{"EmptyName", "PUT", "/object/101", "name=+&", 400, "/object/101"},
        TRefusal{"DeletedFlagNotBoolean", "PUT", "/object/101", "is_deleted=yes", 400,
                 "/object/101"},
        TRefusal{"AlienObject", "PUT", "/object/105", "name=Mine&", 403, "/object/105"},
        TRefusal{"DeleteUnmarked", "DELETE", "/object/101", "", 409, "/object/101"}),
    CaseName<TRefusal>);

INSTANTIATE_TEST_SUITE_P(
    Zones, Refusals,
    ::testing::Values(
        TRefusal{"NoName", "POST", "/zone",
                 "uid=0&name=&type_id=1&geom=" CIRCLE("56%2C58", RADIUS) "&", 400, "/user/zones"},
        TRefusal{"UnknownType", "POST", "/zone", "uid=0&name=a&type_id=3&geom=%5B%5D&", 400,
                 "/user/zones"},
        TRefusal{"CircleWithoutRadius", "POST", "/zone",
                 "uid=0&name=a&type_id=1&geom=" CIRCLE("56%2C58", "") "&", 400, "/user/zones"},
        TRefusal{"CircleOneCoordinate", "POST", "/zone",
                 "uid=0&name=a&type_id=1&geom=" CIRCLE("56", RADIUS) "&", 400, "/user/zones"},
        TRefusal{"LatitudeOutOfRange", "POST", "/zone",
                 "uid=0&name=a&type_id=1&geom=" CIRCLE("56%2C98", RADIUS) "&", 400, "/user/zones"},
        TRefusal{"PolygonTwoNodes", "POST", "/zone",
                 "uid=0&name=a&type_id=2&geom=%5B%5B56%2C58%5D%2C%5B57%2C58%5D%5D&", 400,
                 "/user/zones"},
        TRefusal{"GeomNotJson", "POST", "/zone", "uid=0&name=a&type_id=2&geom=%5B%5B56&", 400,
                 "/user/zones"},
        TRefusal{"BadColor", "POST", "/zone",
                 "uid=0&name=a&type_id=1&color=blue&geom=" CIRCLE("56%2C58", RADIUS) "&", 400,
                 "/user/zones"},
        TRefusal{"ChangeToPolygonWithoutNodes", "PUT", "/zone/10", "type_id=2&", 400,
                 "/user/zones"}),
    CaseName<TRefusal>);

INSTANTIATE_TEST_SUITE_P(
    Traps, Refusals,
    ::testing::Values(
        TRefusal{"UnknownObject", "POST", "/trap",
                 "obj_id=999&target_type_id=5&condition_id=1&val=5&", 400, "/user/traps"},
        TRefusal{"UnknownZone", "POST", "/trap",
                 "obj_id=101&target_type_id=1&target_id=999&condition_id=1&", 400, "/user/traps"},
        TRefusal{"SensorNotOfObject", "POST", "/trap",
                 "obj_id=101&target_type_id=2&target_id=77&condition_id=1&val=1&", 400,
                 "/user/traps"},
        TRefusal{"UnknownTargetType", "POST", "/trap",
                 "obj_id=101&target_type_id=9&condition_id=1&val=1&", 400, "/user/traps"},
        TRefusal{"UnknownCondition", "POST", "/trap",
                 "obj_id=101&target_type_id=5&condition_id=9&val=1&", 400, "/user/traps"},
        TRefusal{"NoValue", "POST", "/trap", "obj_id=101&target_type_id=4&condition_id=2&val=&",
                 400, "/user/traps"},
        TRefusal{"FlagNotBoolean", "POST", "/trap",
                 "obj_id=101&target_type_id=5&condition_id=1&val=1&is_alarm=maybe&", 400,
                 "/user/traps"},
        TRefusal{"ChangeToUnknownZone", "PUT", "/trap/201", "target_id=999&", 400, "/user/traps"}),
    CaseName<TRefusal>);

#undef CIRCLE
#undef RADIUS

} // namespace
} // namespace kelvra::simtest
