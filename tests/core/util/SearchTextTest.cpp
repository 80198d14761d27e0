// Search folding (case and accents, Cyrillic included) and the typed query's matching.
#include <gtest/gtest.h>

#include "core/util/SearchText.h"

namespace kelvra {
namespace {

struct TFoldCase {
  const char *name;
  const char *text;
  const char *folded;
};

class SearchFoldTest : public testing::TestWithParam<TFoldCase> {};

TEST_P(SearchFoldTest, FoldsAsAReaderWouldCompare) {
  EXPECT_EQ(SearchFold(GetParam().text), GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchFoldTest,
    testing::Values(
        TFoldCase{"AsciiCase", "Delivery VAN 42", "delivery van 42"},
        TFoldCase{"CyrillicCase", "ИВАН Ванесса", "иван ванесса"},
        TFoldCase{"YoIsYe", "Ёлка ёж", "елка еж"},
        TFoldCase{"ShortIStaysItsOwnLetter", "ЙОШКАР-ОЛА", "йошкар-ола"},
        TFoldCase{"UkrainianYiStays", "Її", "її"},
        TFoldCase{"LatinAccents", "Élan Crème BRÛLÉE", "elan creme brulee"},
        TFoldCase{"DecomposedAccentDropped", "Cafe\xCC\x81", "cafe"},
        TFoldCase{"SharpSExpands", "Straße", "strasse"},
        TFoldCase{"DottedCapitalI", "\xC4\xB0stanbul", "istanbul"},
        TFoldCase{"StrokeLetters", "Łódź Ørsted", "lodz orsted"},
        TFoldCase{"Greek", "ΑΘΗΝΑ Ἀθῆναι", "αθηνα αθηναι"},
        TFoldCase{"HangulUntouched", "서울", "서울"},
        TFoldCase{"FourByteKept", "\xF0\x9F\x9A\x97 car", "\xF0\x9F\x9A\x97 car"},
        TFoldCase{"InvalidBytesKept", "A\xFF\xC3", "a\xFF\xC3"}),
    [](const auto &info) { return std::string(info.param.name); });

struct TQueryCase {
  const char *name;
  const char *query;
  const char *record; // fields separated by '\n', folded by the test
  const char *digits;
  bool matches;
};

class SearchQueryTest : public testing::TestWithParam<TQueryCase> {};

TEST_P(SearchQueryTest, KeepsWhatWasAskedFor) {
  const auto &c = GetParam();
  EXPECT_EQ(TSearchQuery(c.query).Matches(SearchFold(c.record), c.digits), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchQueryTest,
    testing::Values(
        TQueryCase{"MixedCaseCyrillicInName", "вАН", "Иван\nid1", "", true},
        TQueryCase{"MixedCaseCyrillicAtStart", "вАН", "Ванесса\nid2", "", true},
        TQueryCase{"NotThere", "вАН", "Пётр\nid3", "", false},
        TQueryCase{"YoTypedAsYe", "петр", "Пётр", "", true},
        TQueryCase{"AllWordsNeeded", "van 42", "Delivery van\nVAN-42", "", true},
        TQueryCase{"OneWordMissing", "van 43", "Delivery van\nVAN-42", "", false},
        TQueryCase{"NoWordAcrossFields", "van12", "Delivery van\n12", "", false},
        TQueryCase{"BlanksMatchEverything", "  \t", "anything", "", true},
        TQueryCase{"PhoneGroupedDifferently", "+7 (912) 345-67", "Courier", "79123456789\n", true},
        TQueryCase{"PhoneOtherDigits", "+7 912 999", "Courier", "79123456789\n", false},
        TQueryCase{"ImeiPart", "3520990", "Watch", "\n352099001761481", true},
        TQueryCase{"DigitsInNameStillFound", "42", "Van 42", "", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SearchQuery, EmptyQueryIsEmpty) {
  EXPECT_TRUE(TSearchQuery().Empty());
  EXPECT_TRUE(TSearchQuery(" \n ").Empty());
  EXPECT_FALSE(TSearchQuery("a").Empty());
}

TEST(DigitsOf, KeepsOnlyDigits) { EXPECT_EQ(DigitsOf("+7 (912) 345-67-89"), "79123456789"); }

} // namespace
} // namespace kelvra
