// Tiles of the demo city: drawn like a map in the standard style's colours, plain outside the
// city, cached once drawn, with the tile's numbers at high zoom or on request.
#include <cmath>
#include <map>

#include <png.h>

#include "SimFixture.h"
#include "sim/SimCity.h"
#include "sim/SimTiles.h"

namespace kelvra::simtest {
namespace {

struct TPixels {
  unsigned w = 0, h = 0;
  std::vector<uint8_t> rgba;
  // Share of the pixels with this colour, within a small tolerance for anti-aliasing.
  double Share(uint32_t rgb, int tol = 6) const {
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    size_t n = 0;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
      n += std::abs(rgba[i] - r) <= tol && std::abs(rgba[i + 1] - g) <= tol &&
           std::abs(rgba[i + 2] - b) <= tol;
    return static_cast<double>(n) / (w * h);
  }
};

bool Decode(const std::string &bytes, TPixels &px) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) return false;
  img.format = PNG_FORMAT_RGBA;
  px.rgba.resize(PNG_IMAGE_SIZE(img));
  bool ok = png_image_finish_read(&img, nullptr, px.rgba.data(), 0, nullptr) != 0;
  px.w = img.width;
  px.h = img.height;
  png_image_free(&img);
  return ok;
}

// The tile of a zoom that holds a point.
void TileOf(double lat, double lon, int z, int64_t &x, int64_t &y) {
  double n = std::pow(2.0, z), s = std::sin(lat * M_PI / 180);
  x = static_cast<int64_t>((lon + 180) / 360 * n);
  y = static_cast<int64_t>((0.5 - std::log((1 + s) / (1 - s)) / (4 * M_PI)) * n);
}

TPixels TileAt(double lat, double lon, int z) {
  int64_t x, y;
  TileOf(lat, lon, z, x, y);
  TPixels px;
  EXPECT_TRUE(Decode(sim::RenderTile(z, x, y), px)) << z << "/" << x << "/" << y;
  return px;
}

constexpr uint32_t kLand = 0xF2EFE9, kResidential = 0xE0DFDF, kParkGreen = 0xC8FACC, kWood = 0xADD19E,
                   kWater = 0xAAD3DF, kMinor = 0xFFFFFF, kMajor = 0xF7FABF, kPrimary = 0xFCD6A4,
                   kBuilding = 0xD9D0C9;

struct TLookCase {
  const char *name;
  double lat, lon;
  int z;
  std::vector<uint32_t> present; // colours that cover at least half a percent of the tile
  std::vector<uint32_t> absent;
};

class TileLook : public ::testing::TestWithParam<TLookCase> {};

TEST_P(TileLook, ShowsWhatIsThere) {
  const TLookCase &c = GetParam();
  TPixels px = TileAt(c.lat, c.lon, c.z);
  ASSERT_EQ(px.w, 256u);
  for (uint32_t col : c.present)
    EXPECT_GT(px.Share(col), 0.005) << std::hex << col;
  for (uint32_t col : c.absent)
    EXPECT_LT(px.Share(col), 0.001) << std::hex << col;
}

const sim::TLatLon kCenter = sim::TSimCity::kCenter, kPark = sim::TSimCity::kPark;

INSTANTIATE_TEST_SUITE_P(
    Cases, TileLook,
    ::testing::Values(
        // the whole city in one or two tiles: major roads and avenues, woods, the river
        TLookCase{"CityAtZoom10", kCenter.first, kCenter.second, 10,
                  {kResidential, kWood, kWater},
                  {kBuilding}},
        // the city at zoom 14: every street, casings, the park, no buildings yet
        TLookCase{"CityAtZoom14", kCenter.first, kCenter.second, 14,
                  {kResidential, kMinor, kMajor, kPrimary, kParkGreen},
                  {kBuilding}},
        // the park with its pond at zoom 15
        TLookCase{"ParkAtZoom15", kPark.first - 0.002, kPark.second, 15, {kParkGreen, kWater}, {}},
        // a block at zoom 17: buildings and streets
        TLookCase{"BlockAtZoom17", 58.0051, 56.2196, 17, {kBuilding, kMinor, kResidential}, {}},
        // the river north of the city
        TLookCase{"RiverAtZoom13", 58.0435, 56.2757, 13, {kWater}, {}},
        // far from the city the land is plain
        TLookCase{"PlainLandAtZoom14", 55.75, 37.62, 14, {kLand},
                  {kResidential, kMinor, kPrimary, kWater}}),
    CaseName<TLookCase>);

TEST(Tiles, StreetNamesAndNumbersAtHighZoom) {
  // A street name needs dark text pixels; the corner label shows z/x/y from zoom 16.
  auto dark = [](const TPixels &px) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < px.rgba.size(); i += 4)
      n += px.rgba[i] < 110 && px.rgba[i + 1] < 110 && px.rgba[i + 2] < 110;
    return n;
  };
  EXPECT_GT(dark(TileAt(kCenter.first, kCenter.second, 17)), 150u);
  EXPECT_EQ(dark(TileAt(kCenter.first, kCenter.second, 13)), 0u); // no names at low zoom
  // plain land far away: nothing but the numbers from zoom 16 on
  EXPECT_EQ(sim::RenderTile(15, 100, 100), sim::RenderTile(15, 101, 100));
  EXPECT_NE(sim::RenderTile(16, 100, 100), sim::RenderTile(16, 101, 100));
  sim::SetTileNumbersAlways(true);
  EXPECT_NE(sim::RenderTile(5, 1, 2), sim::RenderTile(5, 2, 1));
  sim::SetTileNumbersAlways(false);
  EXPECT_EQ(sim::RenderTile(5, 1, 2), sim::RenderTile(5, 2, 1));
}

TEST(Tiles, DrawnOnceThenServedFromTheCache) {
  size_t before = sim::TilesDrawn();
  std::string first = sim::RenderTile(18, 176000, 76000);
  EXPECT_EQ(sim::TilesDrawn(), before + 1);
  EXPECT_EQ(sim::RenderTile(18, 176000, 76000), first);
  EXPECT_EQ(sim::TilesDrawn(), before + 1);
}

TEST(Tiles, ManyAtOnceOverHttp) {
  // Tiles are drawn in parallel by the service's workers.
  TSimOptions opt;
  opt.startTime = FixedStart();
  SimServer sim(opt);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  int64_t x0, y0;
  TileOf(kCenter.first, kCenter.second, 15, x0, y0);
  std::vector<std::thread> threads;
  std::atomic<int> ok{0};
  for (int i = 0; i < 16; ++i)
    threads.emplace_back([&, i] {
      THttpRequest r;
      r.url = sim.BaseUrl() + "/tiles/15/" + std::to_string(x0 + i % 4 - 2) + "/" +
              std::to_string(y0 + i / 4 - 2) + ".png";
      THttpReply reply = Fetch(r);
      TPixels px;
      ok += reply.status == 200 && Decode(reply.body, px) && px.w == 256;
    });
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(ok, 16);
}

TEST(Tiles, TopographicStyleIsAnotherPictureOfTheSameSquare) {
  int64_t x, y;
  TileOf(kCenter.first, kCenter.second, 14, x, y);
  const std::string standard = sim::RenderTile(14, x, y), topo = sim::RenderTile(14, x, y, "topo");
  TPixels a, b;
  ASSERT_TRUE(Decode(standard, a));
  ASSERT_TRUE(Decode(topo, b));
  EXPECT_NE(standard, topo);
  EXPECT_GT(a.Share(kResidential) + a.Share(kLand), 0.05);
  // The terrain is tinted everywhere.
  EXPECT_EQ(b.Share(kResidential, 2) + b.Share(kLand, 2), 0.0);
  EXPECT_TRUE(sim::RenderTile(14, x, y, "satellite").empty());
}

// Replies carry a tag and a lifetime; a client whose copy is current gets 304 without a body.
struct TConditionalCase {
  const char *name;
  std::string ifNoneMatch; // "TAG" stands for the tile's own tag
  std::string ifModifiedSince;
  long status;
};

class TileConditionalTest : public ::testing::TestWithParam<TConditionalCase> {};

TEST_P(TileConditionalTest, AnsweredAndCounted) {
  const TConditionalCase &c = GetParam();
  TSimOptions opt;
  opt.startTime = FixedStart();
  SimServer sim(opt);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  THttpRequest first;
  first.url = sim.BaseUrl() + "/tiles-topo/12/2735/1260.png";
  const THttpReply plain = Fetch(first);
  ASSERT_EQ(plain.status, 200);
  const std::string tag = plain.headers.count("etag") ? plain.headers.at("etag") : "";
  EXPECT_EQ(tag, sim::TileETag(plain.body));
  EXPECT_EQ(plain.headers.count("cache-control") ? plain.headers.at("cache-control") : "",
            "max-age=" + std::to_string(sim::TileMaxAge()));
  EXPECT_EQ(plain.headers.count("last-modified") ? plain.headers.at("last-modified") : "",
            sim::kTileLastModified);

  THttpRequest again = first;
  std::string inm = c.ifNoneMatch;
  if (const size_t at = inm.find("TAG"); at != std::string::npos) inm.replace(at, 3, tag);
  if (!inm.empty()) again.headers["If-None-Match"] = inm;
  if (!c.ifModifiedSince.empty()) again.headers["If-Modified-Since"] = c.ifModifiedSince;
  const THttpReply second = Fetch(again);
  EXPECT_EQ(second.status, c.status);
  if (c.status == 304) {
    EXPECT_TRUE(second.body.empty());
    EXPECT_EQ(second.headers.count("etag") ? second.headers.at("etag") : "", tag);
  } else {
    EXPECT_EQ(second.body, plain.body);
  }
  const SimServer::TTileCounts counts = sim.TileCounts("topo");
  EXPECT_EQ(counts.requests, 2u);
  EXPECT_EQ(counts.conditional, inm.empty() && c.ifModifiedSince.empty() ? 0u : 1u);
  EXPECT_EQ(counts.notModified, c.status == 304 ? 1u : 0u);
  EXPECT_EQ(sim.TileCounts("standard").requests, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TileConditionalTest,
    ::testing::Values(
        TConditionalCase{"Plain", "", "", 200},
        TConditionalCase{"OwnTag", "TAG", "", 304},
        TConditionalCase{"WeakOwnTag", "W/TAG", "", 304},
        TConditionalCase{"TagInAList", "\"other\", TAG", "", 304},
        TConditionalCase{"OtherTag", "\"other\"", "", 200},
        TConditionalCase{"Star", "*", "", 304},
        // The tag decides when both are sent.
        TConditionalCase{"OtherTagWithCurrentDate", "\"other\"", "Mon, 01 Jan 2024 00:00:00 GMT", 200},
        TConditionalCase{"SinceTheTilesDate", "", "Mon, 01 Jan 2024 00:00:00 GMT", 304},
        TConditionalCase{"SinceLater", "", "Tue, 02 Jan 2024 00:00:00 GMT", 304},
        TConditionalCase{"SinceEarlier", "", "Sun, 31 Dec 2023 00:00:00 GMT", 200},
        TConditionalCase{"SinceNoDate", "", "yesterday", 200}),
    CaseName<TConditionalCase>);

} // namespace
} // namespace kelvra::simtest
