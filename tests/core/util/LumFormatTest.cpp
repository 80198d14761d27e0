#include <gtest/gtest.h>

#include <cmath>

#include "core/util/LumFormat.h"

using namespace kelvra;

namespace {

struct TFormatCase {
  const char *name;
  std::string fmt;
  TFmtArgs args;
  std::string expected;
  bool ok;
};

class LumFormatTest : public testing::TestWithParam<TFormatCase> {};

TEST_P(LumFormatTest, Formats) {
  const TFormatCase &c = GetParam();
  bool ok = !c.ok;
  EXPECT_EQ(Format(c.fmt, c.args, &ok), c.expected);
  EXPECT_EQ(ok, c.ok);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LumFormatTest,
    testing::Values(
        TFormatCase{
            "TextAndInteger", "%s has %d points", {"Track", 12}, "Track has 12 points", true},
        TFormatCase{"FixedDefaultsToTwoDecimals", "%f", {1.5}, "1.50", true},
        TFormatCase{"FixedWithPrecision", "%.4f,%.1f", {57.998649, 56.27574}, "57.9986,56.3", true},
        TFormatCase{"IntegerTakenAsNumber", "%.1f km", {3}, "3.0 km", true},
        TFormatCase{"PercentSign", "100%% of %d", {5}, "100% of 5", true},
        TFormatCase{"Width", "[%5d|%-4s|%05d]", {42, "ab", -7}, "[   42|ab  |-0007]", true},
        TFormatCase{"PrecisionPadsInteger", "%.3d", {7}, "007", true},
        TFormatCase{"Hex", "%x %X", {255, 255}, "ff FF", true},
        TFormatCase{"WidthCountsCharacters", "[%3s]", {"я"}, "[  я]", true},
        TFormatCase{"PrecisionCutsCharacters", "%.2s", {"яблоко"}, "яб", true},
        TFormatCase{"NumberAsText", "%s", {5}, "5", true},
        TFormatCase{"NaNNumber", "%.2f", {std::nan("")}, "NaN", true},
        TFormatCase{"NoArgumentsLeavesText", "Hello, %s!", {}, "Hello, %s!", false},
        TFormatCase{"TooFewArguments", "%s %s", {"a"}, "%s %s", false},
        TFormatCase{"TextForInteger", "%d", {"x"}, "%d", false},
        TFormatCase{"NumberForInteger", "%d", {1.5}, "%d", false},
        TFormatCase{"UnknownPlaceholder", "%q", {1}, "%q", false},
        TFormatCase{"TrailingPercent", "50%", {}, "50%", false},
        TFormatCase{"HugeWidthIsBounded", "%99999999d", {1}, std::string(999, ' ') + "1", true}),
    [](const testing::TestParamInfo<TFormatCase> &info) { return std::string(info.param.name); });

} // namespace
