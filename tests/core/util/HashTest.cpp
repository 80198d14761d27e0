// The key/value table, its configuration grammar and its JSON reader.
#include <gtest/gtest.h>

#include <cmath>

#include "core/util/LumHash.h"
#include "support/CaseNames.h"
#include "core/util/LumJson.h"

namespace kelvra {
namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

TPairs Pairs(const TLumHash &h) {
  TPairs r;
  for (const auto &item : h)
    r.emplace_back(item.key, item.val);
  return r;
}

TEST(Hash, KeysAreTrimmedAndMatchedWithoutCase) {
  TLumHash h;
  h.SetVal(" Lang ", "en  \t");
  EXPECT_EQ(h.GetVal("LANG"), "en");
  EXPECT_EQ(h.GetKey(0), "Lang");
  h.SetVal("lang", "ru");
  EXPECT_EQ(Pairs(h), (TPairs{{"Lang", "ru"}}));
  h.SetVal("  ", "x");
  EXPECT_EQ(h.Count(), 1);
  EXPECT_EQ(h.GetKey(5), "");
  EXPECT_EQ(h.GetValByIndex(-1), "");
  h.SetValByIndex(3, "ignored");
  EXPECT_EQ(h.Count(), 1);
}

TEST(Hash, GetDistinguishesEmptyFromMissing) {
  TLumHash h;
  h.SetVal("empty", "");
  h.SetVal("n", "x10");
  EXPECT_EQ(h.Get("empty", "def"), "");
  EXPECT_EQ(h.Get("missing", "def"), "def");
  EXPECT_EQ(h.Get("n", int64_t(5)), 16);
  EXPECT_EQ(h.Get("missing", int64_t(5)), 5);
}

TEST(Hash, TypedAccess) {
  TLumHash h;
  h.SetAsInteger("i", -12);
  h.SetAsHex("h", 255);
  h.SetAsDouble("d", 1.5);
  h.SetAsBool("b", true);
  h.SetAsDateTime("t", 45322.5);
  EXPECT_EQ(h.AsText("=", "|"), "i=-12|h=ff|d=1.50|b=true|t=31.01.2024 12:00:00");
  EXPECT_EQ(h.AsInteger("i"), -12);
  EXPECT_EQ(h.AsHex("h"), 255);
  EXPECT_DOUBLE_EQ(h.AsDouble("d"), 1.5);
  EXPECT_DOUBLE_EQ(h.AsDateTime("t"), 45322.5);
  EXPECT_EQ(h.Keys(","), "i,h,d,b,t");
}

TEST(Hash, AsBoolLooksAtTheFirstCharacter) {
  const struct {
    const char *value;
    bool want;
  } cases[] = {{"yes", true}, {"True", true},   {"1", true},  {"on", true}, {"off", true},
               {"no", false}, {"false", false}, {"0", false}, {"", false}};
  TLumHash h;
  for (const auto &c : cases) {
    h.SetVal("k", c.value);
    EXPECT_EQ(h.AsBool("k"), c.want) << c.value;
  }
  EXPECT_FALSE(h.AsBool("missing"));
}

struct TGrammarCase {
  const char *name;
  std::string text;
  bool overwrite;
  TPairs want;
  int32_t processed;
  std::string lineSeparators = "\r";
};

class Grammar : public testing::TestWithParam<TGrammarCase> {};

TEST_P(Grammar, Assigns) {
  const auto &c = GetParam();
  TLumHash h;
  EXPECT_EQ(h.Assign(c.text, c.overwrite, c.lineSeparators, "=\t "), c.processed);
  EXPECT_EQ(Pairs(h), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Hash, Grammar,
    testing::Values(
        TGrammarCase{"Comments", "// note\r/x=1\r;y=2\r#z=3\r\r", true, {}, 0},
        TGrammarCase{"KeyAlone", "key", true, {{"key", ""}}, 1},
        TGrammarCase{"EqualsWithBlanks", "name = John Smith", true, {{"name", "John Smith"}}, 1},
        TGrammarCase{"SpaceSeparator", "name John Smith", true, {{"name", "John Smith"}}, 1},
        TGrammarCase{"EqualsWinsOverEarlierSpace", "a b = c", true, {{"a b", "c"}}, 1},
        TGrammarCase{"SpaceWhenNoEquals", "a b", true, {{"a", "b"}}, 1},
        TGrammarCase{"TabBeforeSpace", "a b\tc", true, {{"a b", "c"}}, 1},
        TGrammarCase{"EmptyKeySkipped", "= v\rk=v", true, {{"k", "v"}}, 1},
        TGrammarCase{"OverwriteKeepsFirstSpelling", "key=1\rKey=2", true, {{"key", "2"}}, 2},
        TGrammarCase{"NoOverwriteKeepsFirstValue", "a=1\rA=2", false, {{"a", "1"}}, 2},
        TGrammarCase{"NoOverwriteFillsEmptyValue", "a=\ra=2", false, {{"a", "2"}}, 2},
        TGrammarCase{
            "BracedBlock", "x = {\ra=1\r}\ry=2", true, {{"x", "{\ra=1\r}"}, {"y", "2"}}, 2},
        TGrammarCase{
            "NestedBlock", "x={\r b = {\r c=1 \r }\r}", true, {{"x", "{\rb = {\rc=1\r}\r}"}}, 1},
        TGrammarCase{
            "BlockSkipsEmptyAndHashLines", "x=[\r\r#c\r1,\r]", true, {{"x", "[\r1,\r]"}}, 1},
        TGrammarCase{"UnclosedBlockRunsToEnd", "x={\ra=1", true, {{"x", "{\ra=1"}}, 1},
        TGrammarCase{"OneLineBlock", "x={a=1}\ry=2", true, {{"x", "{a=1}"}, {"y", "2"}}, 2},
        TGrammarCase{"SectionBlock",
                     "[Main]\ra=1\r b=2\r\rc=3",
                     true,
                     {{"[Main]", "a=1\rb=2"}, {"c", "3"}},
                     2},
        TGrammarCase{
            "SectionEndsAtNextSection", "[A]\rx\r[B]\ry", true, {{"[A]", "x"}, {"[B]", "y"}}, 2},
        TGrammarCase{"OuterBracesRemoved", "{a=1\rb=2}", true, {{"a", "1"}, {"b", "2"}}, 2},
        TGrammarCase{"OuterBracketsRemoved", "[a=1\rb=2]", true, {{"a", "1"}, {"b", "2"}}, 2},
        TGrammarCase{
            "AnyLineBreak", "a=1\nb=2\r\nc=3", true, {{"a", "1"}, {"b", "2"}, {"c", "3"}}, 3},
        TGrammarCase{"OwnLineSeparators",
                     "a=1;b=2|c=3",
                     true,
                     {{"a", "1"}, {"b", "2"}, {"c", "3"}},
                     3,
                     ";|"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Hash, CommandLine) {
  TLumHash h;
  h.SetVal("server", "old");
  EXPECT_EQ(h.AssignCommandLine({"server=http://a b", "#x=1", "flag", "k v", "/y", ";z"}), 3);
  EXPECT_EQ(Pairs(h), (TPairs{{"server", "http://a b"}, {"flag", ""}, {"k", "v"}}));
}

TEST(Hash, AssignTableCopiesOnlyDifferences) {
  TLumHash a, b;
  a.Assign("x=1\ry=2");
  b.Assign("X=1\ry=3\rz=\rw=4");
  EXPECT_EQ(a.Assign(b), 2); // y changes, w is new; z is empty on both sides
  EXPECT_EQ(Pairs(a), (TPairs{{"x", "1"}, {"y", "3"}, {"w", "4"}}));
  EXPECT_EQ(a.CleanAssign(b), 3);
  EXPECT_EQ(a.Count(), 3);
}

TEST(Hash, SortByKey) {
  TLumHash h;
  h.Assign("b=1\r10=2\r9=3\rA=4");
  h.Sort();
  EXPECT_TRUE(h.Sorted());
  EXPECT_EQ(h.Keys(","), "9,10,A,b");
  EXPECT_EQ(h.GetVal("b"), "1");
  h.SetVal("new", "");
  EXPECT_FALSE(h.Sorted());
}

struct TJsonCase {
  const char *name;
  std::string json;
  TPairs want;
};

class Json : public testing::TestWithParam<TJsonCase> {};

TEST_P(Json, Stores) {
  const auto &c = GetParam();
  TLumHash h;
  h.SetVal("old", "1");
  EXPECT_EQ(h.AssignJson(c.json, true), static_cast<int32_t>(c.want.size()));
  EXPECT_EQ(Pairs(h), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Hash, Json,
    testing::Values(TJsonCase{"Flat",
                              R"({"id": 5, "name": "A, B", "ok": null})",
                              {{"id", "5"}, {"name", "A, B"}, {"ok", ""}}},
                    TJsonCase{"ArrayOfObjects",
                              R"([{"a":1},{"a":2}])",
                              {{"0", R"({"a":1})"}, {"1", R"({"a":2})"}}},
                    TJsonCase{"ArraySkipsScalars", R"([1, {"a":1}, "x"])", {{"0", R"({"a":1})"}}},
                    TJsonCase{"KeepsOrder", R"({"z":1,"a":2})", {{"z", "1"}, {"a", "2"}}},
                    TJsonCase{"Literals",
                              R"({"t":true,"f":false,"x":1.25,"n":-3})",
                              {{"t", "true"}, {"f", "false"}, {"x", "1.25"}, {"n", "-3"}}},
                    TJsonCase{"NestedObject",
                              R"({"p":{"a":1,"b":"x y","c":null}})",
                              {{"p", "{a=1\r\nb=x y\r\nc=}"}}},
                    TJsonCase{"ArraysFlattened",
                              R"({"l":[1,[2,3],"s"],"e":[]})",
                              {{"l", R"([1,2,3,"s"])"}, {"e", "[]"}}},
                    TJsonCase{"StringEscapes",
                              R"({"s":"a\"b\\c\n\td","u":"\u0410"})",
                              {{"s", "a\"b\\c\n\td"}, {"u", "\xD0\x90"}}},
                    TJsonCase{"TrailingBlanksTrimmed", R"({"s":"x  "})", {{"s", "x"}}},
                    TJsonCase{"EmptyKeySkipped", R"({"":1,"k":2})", {{"k", "2"}}},
                    TJsonCase{"Scalar", "42", {}},
                    TJsonCase{"LenientSingleQuotes",
                              "{'id': 5, name: 'x,y', \"q\": \"a\\tb\",}",
                              {{"id", "5"}, {"name", "x"}, {"y", ""}, {"q", "a\tb"}}},
                    TJsonCase{"LenientNested",
                              "{a: {b: 1, c: 2}, l: [1,\n2], n: null}",
                              {{"a", "{b=1\r\nc=2}"}, {"l", "[1,2]"}, {"n", ""}}},
                    TJsonCase{"LenientArray", "[{a:1}, {a:2}", {{"0", "{a:1}"}, {"1", "{a:2}"}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Hash, DeepNestingIsRefusedNotRecursedInto) {
  EXPECT_TRUE(JsonNestingWithin(R"({"a":[1,{"b":"[[[[["}]})", 3));
  EXPECT_FALSE(JsonNestingWithin(R"({"a":[1,{"b":[]}]})", 3));
  EXPECT_TRUE(JsonNestingWithin(R"({"a":"\"[[[["})", 1)); // brackets inside strings do not count
  for (const std::string open : {"{\"a\":", "[", "{"}) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
      deep += open;
    TLumHash h;
    h.SetVal("kept", "1");
    EXPECT_EQ(h.AssignJson(deep), 0) << open;
    EXPECT_EQ(h.GetVal("kept"), "1");
  }
  // Within the limit nested text is still read.
  TLumHash h;
  EXPECT_EQ(h.AssignJson(R"({"a":{"b":{"c":1}}})"), 1);
}

TEST(Hash, AssignJsonWithoutCleanKeepsPairs) {
  TLumHash h;
  h.SetVal("old", "1");
  EXPECT_EQ(h.AssignJson(R"({"new":2})"), 1);
  EXPECT_EQ(Pairs(h), (TPairs{{"old", "1"}, {"new", "2"}}));
}

TEST(HintHash, KeepsHintBesideValue) {
  TLumHintHash h;
  h.SetVal("x", "5");
  h.SetHint("x", "note");
  EXPECT_EQ(h.GetVal("x"), "5");
  EXPECT_EQ(h.GetHint("x"), "note");
  h.SetVal("x", "6");
  EXPECT_EQ(h.GetVal("x"), "6");
  EXPECT_EQ(h.GetHint("X"), "note");
  h.SetHint("x", "");
  EXPECT_EQ(h.GetHint("x"), "");
  EXPECT_EQ(h.GetVal("x"), "6");
  h.SetVal("u", "http://host");
  EXPECT_EQ(h.GetVal("u"), "http:"); // a value holding the separator is cut there
  h.SetHintByIndex(0, "h");
  const TLumHashItem item = *h.begin();
  EXPECT_EQ(item.key, "x");
  EXPECT_EQ(item.val, "6");
  EXPECT_EQ(item.hint, "h");
  // The grammar goes through the overridden SetVal too.
  h.Assign("x=7");
  EXPECT_EQ(h.GetHint("x"), "h");
  EXPECT_EQ(h.GetVal("x"), "7");
}

} // namespace
} // namespace kelvra
