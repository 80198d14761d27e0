#include <gtest/gtest.h>

#include <cmath>

#include "core/util/LumFormat.h"

using namespace kelvra;

namespace {

struct TLumFormatCase {
  const char *name;
  std::string fmt;
  TFmtArgs args;
  std::string expected;
  bool ok;
};

class LumFormatTest : public testing::TestWithParam<TLumFormatCase> {};

TEST_P(LumFormatTest, Formats) {
  const TLumFormatCase &c = GetParam();
  bool ok = !c.ok;
  EXPECT_EQ(Format(c.fmt, c.args, &ok), c.expected);
  EXPECT_EQ(ok, c.ok);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LumFormatTest,
    testing::Values(
        TLumFormatCase{
            "TextAndInteger", "%s has %d points", {"Track", 12}, "Track has 12 points", true},
        TLumFormatCase{"FixedDefaultsToTwoDecimals", "%f", {1.5}, "1.50", true},
        TLumFormatCase{"FixedWithPrecision", "%.4f,%.1f", {57.998649, 56.27574}, "57.9986,56.3", true},
        TLumFormatCase{"IntegerTakenAsNumber", "%.1f km", {3}, "3.0 km", true},
        TLumFormatCase{"PercentSign", "100%% of %d", {5}, "100% of 5", true},
        TLumFormatCase{"Width", "[%5d|%-4s|%05d]", {42, "ab", -7}, "[   42|ab  |-0007]", true},
        TLumFormatCase{"PrecisionPadsInteger", "%.3d", {7}, "007", true},
        TLumFormatCase{"Hex", "%x %X", {255, 255}, "ff FF", true},
        TLumFormatCase{"WidthCountsCharacters", "[%3s]", {"я"}, "[  я]", true},
        TLumFormatCase{"PrecisionCutsCharacters", "%.2s", {"яблоко"}, "яб", true},
        TLumFormatCase{"NumberAsText", "%s", {5}, "5", true},
        TLumFormatCase{"NaNNumber", "%.2f", {std::nan("")}, "NaN", true},
        TLumFormatCase{"NoArgumentsLeavesText", "Hello, %s!", {}, "Hello, %s!", false},
        TLumFormatCase{"TooFewArguments", "%s %s", {"a"}, "%s %s", false},
        TLumFormatCase{"TextForInteger", "%d", {"x"}, "%d", false},
        TLumFormatCase{"NumberForInteger", "%d", {1.5}, "%d", false},
        TLumFormatCase{"UnknownPlaceholder", "%q", {1}, "%q", false},
        TLumFormatCase{"TrailingPercent", "50%", {}, "50%", false},
        TLumFormatCase{"HugeWidthIsBounded", "%99999999d", {1}, std::string(999, ' ') + "1", true}),
    [](const testing::TestParamInfo<TLumFormatCase> &info) { return std::string(info.param.name); });

} // namespace
