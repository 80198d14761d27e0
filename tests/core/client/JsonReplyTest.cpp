// The parsed reply under the readers: what is refused, the nesting limit, names given twice, and
// numbers read as text the way the program writes them.
#include "core/client/client.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvra {
namespace {

std::string Nested(int aDepth) { return std::string(aDepth, '[') + std::string(aDepth, ']'); }

TEST(JsonReplyTest, RefusesWhatIsNotJsonOrNestsTooDeep) {
  struct TCase {
    std::string text;
    bool parses;
  };
  const TCase cases[] = {
      {Nested(kMaxJsonDepth), true},
      {Nested(kMaxJsonDepth + 1), false},
      {"{\"a\":" + Nested(kMaxJsonDepth - 1) + "}", true},
      {"{\"a\":" + Nested(kMaxJsonDepth) + "}", false},
      {R"({"a":"[[[[[[[["})", true}, // brackets inside strings do not nest
      {"", false},
      {"   ", false},
      {"{\"a\":1", false},
      {"{\"a\":1}}", false},
      {"[1,]", false},
      {"{\"a\":\"\xff\"}", false}, // not UTF-8
      {"null", true},
      {" 5 ", true},
  };
  for (const TCase &c : cases) {
    TJsonReply reply;
    EXPECT_EQ(reply.Parse(c.text), c.parses) << c.text.substr(0, 40);
    EXPECT_EQ(reply.Empty(), !c.parses);
    if (!c.parses) EXPECT_FALSE(reply.Root());
  }
}

TEST(JsonReplyTest, ValuesAndNames) {
  const TJsonReply reply = ParseJsonReply(
      R"({"a":1,"n":null,"a":2,"s":"x\u00e9\"","arr":[1,null,"z"],"o":{"k":true}})");
  const TJsonVal root = reply.Root();
  ASSERT_TRUE(root.IsObject());
  EXPECT_EQ(TKelvraClient::GetJvInt(root, "a"), 2); // the last of two counts
  EXPECT_FALSE(root["n"]);                           // null reads as absent
  EXPECT_EQ(root["s"].Text(), "x\xc3\xa9\"");
  EXPECT_TRUE(root["o"].IsObject());
  EXPECT_TRUE(TKelvraClient::GetJvBool(root["o"], "k"));
  int count = 0, present = 0;
  for (const TJsonVal element : root["arr"].Elements()) {
    ++count;
    present += element ? 1 : 0;
  }
  EXPECT_EQ(count, 3);
  EXPECT_EQ(present, 2);
  // Values of other types have no elements, fields or text.
  EXPECT_EQ(root["s"].Elements().begin(), root["s"].Elements().end());
  EXPECT_EQ(root["arr"].Fields().begin(), root["arr"].Fields().end());
  EXPECT_EQ(root["a"].Text(), "");
  EXPECT_FALSE(TJsonVal()["a"]);
}

TEST(JsonReplyTest, NumbersReadAsText) {
  const std::pair<const char *, const char *> cases[] = {
      {"0", "0"},
      {"-7", "-7"},
      {"9223372036854775807", "9223372036854775807"},
      {"18446744073709551615", "18446744073709551615"},
      {"2.5", "2.5"},
      {"5.0", "5.0"},
      {"1e3", "1000.0"},
      {"0.1", "0.1"},
      {"-1.5e-7", "-1.5e-07"},
      {"1e300", "1e+300"},
  };
  for (const auto &[number, text] : cases) {
    const TJsonReply reply = ParseJsonReply(std::string("{\"v\":") + number + "}");
    EXPECT_EQ(TKelvraClient::GetJvStr(reply.Root(), "v"), text) << number;
  }
}

} // namespace
} // namespace kelvra
