// Which base map the configuration names.
#include "core/map/TileSources.h"
#include "core/util/LumHash.h"

#include <gtest/gtest.h>

#include <set>

namespace kelvra {
namespace {

struct TSourceCase {
  const char *name;
  std::vector<std::pair<std::string, std::string>> config;
  std::string id, url, folder;
  bool publicServer;
};

class TileSourceFromConfigTest : public testing::TestWithParam<TSourceCase> {};

TEST_P(TileSourceFromConfigTest, Resolves) {
  const TSourceCase &c = GetParam();
  TLumHash config;
  for (const auto &[k, v] : c.config)
    config.SetVal(k, v);
  const TTileSource s = TileSourceFromConfig(&config);
  EXPECT_EQ(s.Id, c.id);
  EXPECT_EQ(s.UrlPattern, c.url);
  EXPECT_EQ(s.PublicServer, c.publicServer);
  if (c.folder.empty())
    EXPECT_EQ(s.CacheFolder.rfind(c.id + "-", 0), 0u) << s.CacheFolder;
  else
    EXPECT_EQ(s.CacheFolder, c.folder);
  EXPECT_FALSE(s.Attribution.empty());
}

const std::string kOsm = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
const std::string kTopo = "https://tile.opentopomap.org/{z}/{x}/{y}.png";

INSTANTIATE_TEST_SUITE_P(
    Cases, TileSourceFromConfigTest,
    testing::Values(
        TSourceCase{"NothingSetIsTheStandardMap", {}, "osm", kOsm, "osm", true},
        TSourceCase{"BuiltInById", {{"map_source", "topo"}}, "topo", kTopo, "topo", true},
        TSourceCase{"UnknownIdIsTheStandardMap", {{"map_source", "satellite"}}, "osm", kOsm, "osm", true},
        TSourceCase{"CustomWithoutAddressIsTheStandardMap", {{"map_source", "custom"}}, "osm", kOsm, "osm", true},
        TSourceCase{"Custom",
                    {{"map_source", "custom"}, {"map_custom_url", " http://tiles.lan/{z}/{x}/{y}.png "}},
                    "custom", "http://tiles.lan/{z}/{x}/{y}.png", "", false},
        TSourceCase{"TileUrlWins",
                    {{"map_source", "topo"}, {"tile_url", "http://127.0.0.1:8080/tiles/{z}/{x}/{y}.png"}},
                    "url", "http://127.0.0.1:8080/tiles/{z}/{x}/{y}.png", "", false},
        TSourceCase{"MirrorOfABuiltInSource",
                    {{"map_source", "topo"}, {"map_url_topo", "http://proxy.lan/topo/{z}/{x}/{y}.png"}},
                    "topo", "http://proxy.lan/topo/{z}/{x}/{y}.png", "topo", false}),
    [](const testing::TestParamInfo<TSourceCase> &i) { return std::string(i.param.name); });

TEST(TileSourcesTest, EveryBuiltInSourceHasItsOwnFolderAndAttribution) {
  std::set<std::string> folders, attributions;
  for (const TTileSource &s : BuiltInTileSources()) {
    EXPECT_TRUE(s.PublicServer) << s.Id;
    EXPECT_EQ(s.UrlPattern.rfind("https://", 0), 0u) << s.Id;
    folders.insert(s.CacheFolder);
    attributions.insert(s.Attribution);
  }
  EXPECT_EQ(folders.size(), BuiltInTileSources().size());
  EXPECT_EQ(attributions.size(), BuiltInTileSources().size());
  // Two custom addresses never share a folder.
  EXPECT_NE(CustomTileSource("custom", "http://a/{z}/{x}/{y}.png").CacheFolder,
            CustomTileSource("custom", "http://b/{z}/{x}/{y}.png").CacheFolder);
}

} // namespace
} // namespace kelvra
