// String list, string functions and the text conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/util/LumDates.h"
#include "support/CaseNames.h"
#include "core/util/LumHash.h"
#include "core/util/LumRe.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"
#include "core/util/LumUtils.h"

namespace kelvra {
namespace {

std::vector<std::string> Items(const TLumStringList &l) { return l.Items(); }
using TItems = std::vector<std::string>;

struct TAddTextCase {
  const char *name;
  TItems before;
  std::string text;
  TItems after;
  int32_t pieces;
};

class AddText : public testing::TestWithParam<TAddTextCase> {};

TEST_P(AddText, SplitsAndContinuesTheLastLine) {
  const auto &c = GetParam();
  TLumStringList l;
  for (const auto &s : c.before)
    l.Add(s);
  EXPECT_EQ(l.AddText(c.text), c.pieces);
  EXPECT_EQ(Items(l), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    StringList, AddText,
    testing::Values(TAddTextCase{"Empty", {"a"}, "", {"a"}, 0},
                    TAddTextCase{"ContinuesLastItem", {"a"}, "b\r\nc", {"ab", "c"}, 2},
                    TAddTextCase{"LoneCrAndLf", {}, "a\rb\nc", {"a", "b", "c"}, 3},
                    TAddTextCase{"TrailingCrAddsNothing", {}, "a\r", {"a"}, 1},
                    TAddTextCase{"DoubleCrGivesEmptyItem", {}, "a\r\rb", {"a", "", "b"}, 3},
                    TAddTextCase{"CrLfCountsOnce", {}, "a\r\n\r\nb", {"a", "", "b"}, 3}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StringList, OutOfRangeReadsEmptyAndIgnoresWrites) {
  TLumStringList l("a\rb");
  EXPECT_EQ(l[-1], "");
  EXPECT_EQ(l[2], "");
  l.SetStrings(5, "x");
  l.SetStrings(1, "c  \t");
  EXPECT_EQ(Items(l), (TItems{"a", "c"}));
  EXPECT_EQ(l.Text(), "a\r\nc");
}

TEST(StringList, StackQueueAndJoin) {
  TLumStringList l;
  l.Push("b");
  l.Unshift("a ");
  l.Insert(99, "c");
  EXPECT_EQ(Items(l), (TItems{"a", "b", "c"}));
  EXPECT_EQ(l.First(2), "a\rb");
  EXPECT_EQ(l.Last(2), "b\rc");
  EXPECT_EQ(l.Join(",", -5, 99), "a,b,c");
  EXPECT_EQ(l.Join(",", 2, 1), "");
  EXPECT_EQ(l.Pop(), "c");
  EXPECT_EQ(l.Shift(), "a");
  EXPECT_EQ(l.Shift(), "b");
  EXPECT_EQ(l.Shift(), "");
  EXPECT_EQ(l.Pop(), "");
}

TEST(StringList, DeleteFindAndClear) {
  TLumStringList l("x\r  \ry\rX\r");
  EXPECT_EQ(l.IndexOf("X"), 3);
  EXPECT_EQ(l.Find("y"), 2);
  EXPECT_EQ(l.Find("z"), -1);
  l.Delete(std::string("X"));
  l.DeleteEmpty(false);
  EXPECT_EQ(Items(l), (TItems{"x", "y"}));
  l.SetTag(7);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.Tag(), 0);
}

TEST(StringList, AssignWithSeparatorIgnoresCase) {
  TLumStringList l;
  l.Assign("aSEPbsepc", "sep");
  EXPECT_EQ(Items(l), (TItems{"a", "b", "c"}));
}

TEST(StringList, SortsNumbersByValueAndTextOrdinally) {
  TLumStringList l("10\r9\rb\rA");
  l.Sort();
  EXPECT_EQ(Items(l), (TItems{"9", "10", "A", "b"}));
  l.Sort(true);
  EXPECT_EQ(Items(l), (TItems{"b", "A", "10", "9"}));
}

TEST(StringList, CompareStaysATotalOrder) {
  TLumStringList l;
  EXPECT_EQ(l.Compare("01", "1"), -1);
  EXPECT_EQ(l.Compare("1", "01"), 1);
  // Longer than 64 bits still compares by value.
  EXPECT_EQ(l.Compare("99999999999999999999999", "100000000000000000000000"), -1);
  TLumStringList many;
  for (int i = 0; i < 500; ++i)
    many.Add(std::to_string(i % 37) + (i % 3 ? "" : "0"));
  for (int i = 0; i < 100; ++i)
    many.Add(std::string(i % 4, '0') + "7");
  many.Sort();
  for (int32_t i = 1; i < many.Count(); ++i)
    EXPECT_LE(many.Compare(many[i - 1], many[i]), 0);
}

TEST(StringList, OnCompareDecides) {
  TLumStringList l("a\rbbb\rcc");
  l.SetOnCompare([](const std::string &a, const std::string &b) {
    return static_cast<int32_t>(a.size()) - static_cast<int32_t>(b.size());
  });
  l.Sort();
  EXPECT_EQ(Items(l), (TItems{"a", "cc", "bbb"}));
}

TEST(StringList, OrdinalIsUtf16Order) {
  // U+FF21 (three UTF-8 bytes) sorts after U+1F600 in UTF-16 (a surrogate pair starts 0xD83D).
  EXPECT_EQ(cmp(std::string("\xEF\xBC\xA1"), std::string("\xF0\x9F\x98\x80")), 1);
  EXPECT_EQ(cmp(std::string("ab"), std::string("abc")), -1);
  EXPECT_EQ(cmp(std::string("b"), std::string("B")), 1);
}

// ---------------------------------------------------------------------------------------------

struct TStrCase {
  const char *name;
  std::string got;
  std::string want;
};

class StringFunctions : public testing::TestWithParam<TStrCase> {};
TEST_P(StringFunctions, Give) { EXPECT_EQ(GetParam().got, GetParam().want); }

INSTANTIATE_TEST_SUITE_P(
    Strings, StringFunctions,
    testing::Values(
        TStrCase{"ExpandHex", ExpandSpecChars("\\x41"), "A"},
        TStrCase{"ExpandDecimal", ExpandSpecChars("\\065"), "A"},
        TStrCase{"ExpandSimple", ExpandSpecChars("a\\n\\r\\t\\s\\\\\\\"\\!"), "a\n\r\t \\\"!"},
        TStrCase{"ExpandUnknownKept", ExpandSpecChars("\\q\\u0041"), "\\q\\u0041"},
        TStrCase{"ExpandTrailingBackslashDropped", ExpandSpecChars("ab\\"), "ab"},
        TStrCase{"ExpandHighCodeIsUtf8", ExpandSpecChars("\\xE9"), "\xC3\xA9"},
        TStrCase{"ReplaceIgnoresCase", ReplaceSubstr("aXbxc", "x", "-"), "a-b-c"},
        TStrCase{"ReplaceArray", ReplaceSubstr("a,b;c", std::vector<std::string>{",", ";"}, " "),
                 "a b c"},
        TStrCase{"MakeStr", MakeStr("ab", 3), "ababab"},
        TStrCase{"MakeStrNegative", MakeStr("ab", -1), ""},
        TStrCase{"StrWordEmptySecond", StrWord(2, "a;;b", ";"), ""},
        TStrCase{"StrWordThird", StrWord(3, "a;;b", ";"), "b"},
        TStrCase{"StrWordRunOfSeparators", StrWord(2, "a ,; b", " ,;"), "b"},
        TStrCase{"StrWordPastEnd", StrWord(4, "a;b", ";"), ""},
        TStrCase{"HeadNegative", Head("abcdef", -2), "abcd"},
        TStrCase{"TailNegative", Tail("abcdef", -2), "cdef"},
        TStrCase{"HeadCountsCodePoints", Head("\xD0\x90\xD0\x91\xD0\x92", 2), "\xD0\x90\xD0\x91"},
        TStrCase{"TailCountsCodePoints", Tail("\xD0\x90\xD0\x91\xD0\x92", 1), "\xD0\x92"},
        TStrCase{"DequoteStrings", Dequote("  {a}  ", "{", "}"), "a"},
        TStrCase{"DequoteOnlyWherePresent", Dequote("{a", "{", "}"), "a"},
        TStrCase{"DequoteChars", Dequote("'a\"", TLumCharSet("'\""), TLumCharSet("'\"")), "a"},
        TStrCase{"RemoveTrash",
                 RemoveTrash("a\tb\x01"
                             "c"),
                 "abc"},
        TStrCase{"FirstWord", FirstWord("a:b:c", ":"), "a"},
        TStrCase{"FirstWordMissing", FirstWord("abc", ":"), ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Strings, FirstPosPrefersTheEarlierListedCharacter) {
  EXPECT_EQ(FirstPos("=\t ", "a b = c"), 5);
  EXPECT_EQ(FirstPos("=\t ", "a b"), 2);
  EXPECT_EQ(FirstPos("=", "abc"), -1);
}

TEST(Strings, StrWordReportsPosition) {
  int32_t pos = 0;
  EXPECT_EQ(StrWord(2, "ab|cd", "|", &pos), "cd");
  EXPECT_EQ(pos, 4);
}

TEST(Strings, CountsAndTrims) {
  EXPECT_EQ(CharsCount("a,b,,c", ','), 3);
  EXPECT_EQ(Trim("\t\r\n x \x01"), "x");
  EXPECT_EQ(Utf8Length("\xD0\x90z\xFF"), 3);
}

// ---------------------------------------------------------------------------------------------

struct TI2sCase {
  const char *name;
  int64_t value;
  int32_t width;
  char radix;
  std::string want;
};

class I2s : public testing::TestWithParam<TI2sCase> {};
TEST_P(I2s, Writes) {
  const auto &c = GetParam();
  EXPECT_EQ(i2s(c.value, c.width, c.radix), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, I2s,
    testing::Values(TI2sCase{"HexLower", 255, 4, 'x', "00ff"},
                    TI2sCase{"HexUpper", 255, 4, 'X', "00FF"}, TI2sCase{"HexH", 255, 0, 'h', "ff"},
                    TI2sCase{"NegativeDecimalPadded", -3, 5, 'd', "-0003"},
                    TI2sCase{"UnsignedLetterIsDecimal", 42, 0, 'U', "42"},
                    TI2sCase{"Binary", 5, 0, 'b', "101"}, TI2sCase{"BinaryZero", 0, 0, 'b', ""},
                    TI2sCase{"NegativeHexTwosComplement", -1, 0, 'X', "FFFFFFFFFFFFFFFF"},
                    TI2sCase{"MinimumDecimal", INT64_MIN, 0, 'd', "-9223372036854775808"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Conversions, I2sRejectsUnknownRadix) {
  struct {
    int64_t value;
    int32_t width;
    char radix;
    const char *message;
  } cases[] = {{1, 0, 'q', "i2s(1,,'q'): Unsupported radix char ['q']"},
               {-7, 3, 'z', "i2s(-7,3,'z'): Unsupported radix char ['z']"}};
  for (const auto &c : cases) {
    try {
      i2s(c.value, c.width, c.radix);
      ADD_FAILURE() << c.message;
    } catch (const EConvertError &e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(Conversions, IToSAndLumUtilsI2s) {
  EXPECT_EQ(IToS(255, 4, 16), "00FF");
  EXPECT_EQ(IToS(-1, 0, 16), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IToS(-5, 3, 10), "-005");
  EXPECT_EQ(IToS(8, 0, 8), "10");
  EXPECT_EQ(IToS(5, 0, 7), "");
  EXPECT_EQ(i2s(-5, 3), "-005");
  EXPECT_EQ(i2s(12), "12");
  uint64_t rem = 0;
  EXPECT_EQ(Div64(17, 5, rem), 3u);
  EXPECT_EQ(rem, 2u);
  EXPECT_EQ(Div64(17, 0, rem), 0u);
  EXPECT_EQ(HiWord(0x12345678), 0x1234);
  EXPECT_EQ(LoWord(0x12345678), 0x5678);
}

TEST(Conversions, F2s) {
  EXPECT_EQ(f2s(2.0, 0), "2.00");
  EXPECT_EQ(f2s(2.0, 3), "2.000");
  EXPECT_EQ(f2s(-0.5, 1), "-0.5");
  EXPECT_EQ(f2s(1234567.125, 2), "1234567.12");
  EXPECT_EQ(f2s(NAN, 2), "NaN");
}

struct TNumCase {
  const char *name;
  std::string text;
  double want;
};

class S2f : public testing::TestWithParam<TNumCase> {};
TEST_P(S2f, Reads) {
  const double got = s2f(GetParam().text, 7);
  EXPECT_DOUBLE_EQ(got, GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, S2f,
    testing::Values(TNumCase{"Comma", "12,5", 12.5}, TNumCase{"Point", "12.5", 12.5},
                    TNumCase{"Exponent", "-1.5e2", -150}, TNumCase{"Plus", "+3", 3},
                    TNumCase{"Blanks", " 4 ", 4}, TNumCase{"Letters", "abc", 7},
                    TNumCase{"Trailing", "1.5x", 7}, TNumCase{"Empty", "", 7},
                    TNumCase{"NoInfinity", "inf", 7}, TNumCase{"NoNan", "nan", 7},
                    TNumCase{"Overflow", "1e999", 7}),
    [](const auto &info) { return std::string(info.param.name); });

struct TToIntCase {
  const char *name;
  std::string text;
  int64_t want;
};

class S2i : public testing::TestWithParam<TToIntCase> {};
TEST_P(S2i, Reads) { EXPECT_EQ(s2i(GetParam().text, -1), GetParam().want); }

INSTANTIATE_TEST_SUITE_P(
    Conversions, S2i,
    testing::Values(TToIntCase{"Plain", "42", 42}, TToIntCase{"LeadingSpaces", "  -42", -42},
                    TToIntCase{"TrailingLetter", "12a", -1}, TToIntCase{"Empty", "", -1},
                    TToIntCase{"Dollar", "$ff", 255}, TToIntCase{"X", "X1A", 26},
                    TToIntCase{"ZeroX", "0x10", 16}, TToIntCase{"NegativeHex", "-$10", -16},
                    TToIntCase{"Max", "9223372036854775807", INT64_MAX},
                    TToIntCase{"Min", "-9223372036854775808", INT64_MIN},
                    TToIntCase{"Overflow", "9223372036854775808", -1}, TToIntCase{"SignOnly", "-", -1},
                    TToIntCase{"TrailingSpace", "5 ", -1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Conversions, HexReaders) {
  for (const char *t : {"ff", "FF", "0xff", "x00FF"})
    EXPECT_EQ(h2i(t), 255) << t;
  EXPECT_EQ(h2i(""), 0);
  EXPECT_EQ(h2i("1g"), 16); // a non-digit counts 0 but still shifts
  EXPECT_EQ(str2i("x1f"), 31);
  EXPECT_EQ(str2i("0x1f"), 31);
  EXPECT_EQ(str2i("-12"), -12);
  EXPECT_EQ(str2i("junk"), 0);
  EXPECT_EQ(h2b("4"), 4);
  EXPECT_EQ(h2b("41ff"), 0x41);
  EXPECT_EQ(h2b(""), 0);
  EXPECT_EQ(HexChar('g'), 0);
  EXPECT_TRUE(IsNumber("0777", 8));
  EXPECT_FALSE(IsNumber("08", 8));
  EXPECT_FALSE(IsNumber("", 10));
  EXPECT_FALSE(IsDigit('1', 3));
}

TEST(Conversions, Colours) {
  EXPECT_EQ(web2color("#FF8000", 1), 0x0080FFu);
  EXPECT_EQ(web2color("FF8000", 1), 0x0080FFu);
  EXPECT_EQ(web2color("#000000", 0x123), 0x123u);
  EXPECT_EQ(web2color("", 5), 5u);
  EXPECT_EQ(color2web(0x0080FF), "#FF8000");
  EXPECT_EQ(color2web(web2color("#12ABEF", 0)), "#12ABEF");
  EXPECT_EQ(color2web(0xFF000005), "#050000");
}

TEST(Conversions, Compare) {
  EXPECT_EQ(cmp(1, 2), -1);
  EXPECT_EQ(cmp(2.0, 1.0), 1);
  EXPECT_EQ(cmp(NAN, -1e300), -1);
  EXPECT_EQ(cmp(NAN, NAN), 0);
  EXPECT_EQ(iif(true, std::string("a"), std::string("b")), "a");
  EXPECT_EQ(iif(false, "a", "b"), "b");
  EXPECT_TRUE(bitAnd(6, 2));
  EXPECT_FALSE(bitAnd(4, 2));
}

TEST(Conversions, TimeOfDay) {
  EXPECT_DOUBLE_EQ(s2ts("12:30"), 0.5 + 30.0 / 1440);
  EXPECT_DOUBLE_EQ(s2ts(" 6:00:30 "), 0.25 + 30.0 / 86400);
  EXPECT_EQ(s2ts("25:00"), 0);
  EXPECT_EQ(s2ts("12"), 0);
  EXPECT_EQ(s2ts("ab"), 0);
}

// ---------------------------------------------------------------------------------------------
// Legacy text: valid UTF-8 as a whole stays UTF-8, anything else is Windows-1251 throughout.
// The expected texts of the Windows-1251 rows are what `iconv -f CP1251 -t UTF-8` gives.

struct TAnsiCase {
  const char *name;
  std::string bytes;
  std::string want;
};

class Ansi : public testing::TestWithParam<TAnsiCase> {};
TEST_P(Ansi, Decodes) { EXPECT_EQ(AnsiToUtf8(GetParam().bytes), GetParam().want); }

// A paragraph in Windows-1251 with pairs that are also valid UTF-8: "Фё" (D4 B8), "Д»" (C4 BB)
// and "О" before a no-break space (CE A0).
const std::string kRussian1251 =
    "\xC2\xEE\xE4\xE8\xF2\xE5\xEB\xFC \xD4\xB8\xE4\xEE\xF0 \xA8\xEB\xEA\xE8\xED \xF1\xE4\xE0\xEB "
    "\xF1\xEC\xE5\xED\xF3 \xE2 18:40 \x97 \xF0\xE5\xE9\xF1 \xB9"
    "17 \xAB\xCF\xE5\xF0\xEC\xFC \x97 \xCA\xF3\xED\xE3\xF3\xF0\xBB "
    "(\xCE\xC0\xCE\xA0\xAB\xD0\xC6\xC4\xBB) "
    "\xE7\xE0\xEA\xF0\xFB\xF2. \xC3\xF0\xF3\xE7: 12 \xF2";
const std::string kRussianUtf8 = "Водитель Фёдор Ёлкин сдал смену в 18:40 — рейс №17 «Пермь — "
                                 "Кунгур» (ОАО\u00A0«РЖД») закрыт. Груз: 12 т";

INSTANTIATE_TEST_SUITE_P(
    Encoding, Ansi,
    testing::Values(TAnsiCase{"Ascii", "abc", "abc"},
                    TAnsiCase{"Utf8Kept", "\xD0\x9F\xD1\x80\xD0\xB8", "\xD0\x9F\xD1\x80\xD0\xB8"},
                    TAnsiCase{"Cp1251", "\xCF\xF0\xE8\xE2\xE5\xF2",
                              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
                    TAnsiCase{"CapitalAndYoIsNotUtf8", "\xD4\xB8\xE4\xEE\xF0", "Фёдор"},
                    TAnsiCase{"CapitalAndGuillemet", "\xD0\xC6\xC4\xBB", "РЖД»"},
                    TAnsiCase{"RussianParagraph", kRussian1251, kRussianUtf8},
                    // One invalid byte makes the whole text Windows-1251, the valid pair too.
                    TAnsiCase{"MixedIsCp1251Throughout", "\xD0\x9F-\xCF", "Рџ-П"},
                    TAnsiCase{"OverlongIsNotUtf8", "\xC0\xAF", "\xD0\x90\xD0\x87"},
                    TAnsiCase{"Undefined0x98",
                              "a\x98"
                              "b",
                              "a\xEF\xBF\xBD"
                              "b"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Encoding, AnsiWritesUtf8) {
  EXPECT_EQ(StringToAnsiString("\xD0\x9F"), "\xD0\x9F");
  EXPECT_TRUE(IsValidUtf8("\xD0\x9F"));
  EXPECT_FALSE(IsValidUtf8("\xCF\xF0"));
  EXPECT_EQ(PAnsiCharToString("\xCF"), "\xD0\x9F");
  EXPECT_EQ(PAnsiCharToString(nullptr), "");
  // Text that says it is UTF-8 keeps its characters and marks each stray byte.
  EXPECT_EQ(Utf8Valid("\xD0\x9F\xCF-\xD0"), "\xD0\x9F\xEF\xBF\xBD-\xEF\xBF\xBD");
}

// ---------------------------------------------------------------------------------------------

TEST(Re, CapturesGroupsOfTheFirstMatch) {
  std::string g1 = "u1", g2 = "u2", g3 = "u3", g4 = "u4";
  EXPECT_FALSE(re("(\\d+)-(\\d+)", "no digits", g1, g2));
  EXPECT_EQ(g1 + g2, "u1u2"); // untouched without a match
  EXPECT_TRUE(re("(\\d+)-(\\d+)", "a 12-34 56-78", g1, g2));
  EXPECT_EQ(g1 + "|" + g2, "12|34");
  EXPECT_TRUE(re("(a)|(b)", "b", g1, g2, g3, g4));
  EXPECT_EQ(g1 + "|" + g2 + "|" + g3 + "|" + g4, "|b||"); // groups that took no part are ""
  EXPECT_TRUE(re("<(.+?)>", "<x><y>", g1, g2));
  EXPECT_EQ(g1, "x"); // lazy quantifier
  EXPECT_FALSE(re("(unclosed", "unclosed", g1, g2));
  // Legacy bytes in the subject do not stop a match.
  EXPECT_TRUE(re("(\\d+)", "\xCF\xF0 42", g1, g2));
  EXPECT_EQ(g1, "42");
  EXPECT_TRUE(re("(\\w+)", "\xD0\x9F\xD1\x80\xD0\xB8 x", g1, g2));
  EXPECT_EQ(&CachedRe("(\\d+)"), &CachedRe("(\\d+)")); // compiled once
  TLumRe caseless("^abc$", true);
  EXPECT_TRUE(caseless.Match("ABC"));
  EXPECT_FALSE(TLumRe("^abc$").Match("ABC"));
}

// Text from users and files reaches every reader: none may throw or misbehave on any bytes, and
// legacy decoding must always give valid UTF-8.
TEST(Robustness, ReadersTakeArbitraryText) {
  std::mt19937 rng(7);
  const std::string alphabet =
      "0123456789xX$#-+.,:;/\\ \t\r\n{}[]\"'=TZabf\xD0\x9F\xCF\xFF\x80\xC2";
  for (int i = 0; i < 3000; ++i) {
    std::string s(rng() % 40, ' ');
    for (char &c : s)
      c = alphabet[rng() % alphabet.size()];
    const auto readAll = [&s] {
      s2i(s, 0), s2f(s, 0), str2i(s), h2i(s), h2b(s), web2color(s, 0), s2ts(s);
      StrToDt(s), ts2dt(s), ExpandSpecChars(s), StrWord(2, s, ";,"), Head(s, -3), Tail(s, 3);
      TLumHash h;
      h.Assign(s);
      h.AssignJson(s);
      TLumStringList l(s);
      l.Sort();
    };
    EXPECT_NO_THROW(readAll()) << s;
    EXPECT_TRUE(IsValidUtf8(AnsiToUtf8(s))) << s;
  }
}

} // namespace
} // namespace kelvra
