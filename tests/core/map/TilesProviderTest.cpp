// Tile sources: zoom ranges, attribution and tile addresses.
#include "core/map/TilesProvider.h"
#include "core/map/TilesProviderOSM.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kelvra {
namespace {

struct TUrlCase {
  const char *name;
  const char *pattern;
  TTile tile;
  const char *url;
};

class TileUrlTest : public testing::TestWithParam<TUrlCase> {};

TEST_P(TileUrlTest, FillsZoomColumnRow) {
  const TOSMTilesProvider provider(GetParam().pattern);
  EXPECT_EQ(provider.GetTileURL(GetParam().tile), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TileUrlTest,
    testing::Values(
        TUrlCase{"DefaultOrigin", "", {0, 0, 0}, "https://tile.openstreetmap.org/0/0/0.png"},
        TUrlCase{"DefaultDemoArea",
                 "",
                 {12, 2735, 1260},
                 "https://tile.openstreetmap.org/12/2735/1260.png"},
        TUrlCase{"LargestNumbersInFull",
                 "",
                 {19, 524287, 524287},
                 "https://tile.openstreetmap.org/19/524287/524287.png"},
        TUrlCase{"ConfiguredServer",
                 "http://127.0.0.1:8080/tiles/{z}/{x}/{y}.png?k=1",
                 {3, 4, 5},
                 "http://127.0.0.1:8080/tiles/3/4/5.png?k=1"},
        TUrlCase{"PrintfStyle", "http://h/%d/%d/%d.png", {3, 4, 5}, "http://h/3/4/5.png"},
        // Only three numbers exist: anything else in the pattern stays text.
        TUrlCase{"ExtraPlaceholdersStayText",
                 "http://h/%d/%u/%d/%d%s%%{q}",
                 {3, 4, 5},
                 "http://h/3/4/5/%d%s%{q}"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TilesProvider, ZoomRangesAndAttribution) {
  const TOSMTilesProvider osm;
  EXPECT_EQ(osm.MinZoomLevel, 0);
  EXPECT_EQ(osm.MaxZoomLevel, 19);
  EXPECT_EQ(osm.TilesCopyright, "(c) OpenStreetMap contributors");
  EXPECT_EQ(osm.TileURLPatt, DefaultTileURLPatt);

  const TDummyTilesProvider dummy;
  EXPECT_EQ(dummy.MinZoomLevel, 0);
  EXPECT_EQ(dummy.MaxZoomLevel, 20);
  EXPECT_EQ(dummy.TilesCopyright, "(c) Tile provider (loaded from offline)");
  EXPECT_EQ(dummy.GetTileURL({5, 1, 1}), "");
}

TEST(TilesProvider, PropertiesAreNotImplemented) {
  TOSMTilesProvider osm;
  TDummyTilesProvider dummy;
  for (TTilesProvider *p :
       {static_cast<TTilesProvider *>(&osm), static_cast<TTilesProvider *>(&dummy)}) {
    try {
      p->GetProperty("x");
      ADD_FAILURE() << "getter did not throw";
    } catch (const std::logic_error &e) {
      EXPECT_STREQ(e.what(), "Getter for Properties not implemented");
    }
    try {
      p->SetProperty("x", "y");
      ADD_FAILURE() << "setter did not throw";
    } catch (const std::logic_error &e) {
      EXPECT_STREQ(e.what(), "Setter for Properties not implemented");
    }
  }
}

} // namespace
} // namespace kelvra
