#pragma once
// Map tiles of the demo city, drawn on demand with Cairo in the colours of the standard
// OpenStreetMap style: land, the river, parks and woods, the street network the objects drive
// on (road widths follow the zoom), building blocks and street names at high zoom. Outside the
// city the land is plain. Tiles are kept in a memory cache once drawn.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvra::sim {

constexpr int kTileSize = 256;
constexpr int kMaxTileZoom = 19;
// From this zoom on every tile shows its zoom, column and row in a corner.
constexpr int kTileNumbersFromZoom = 16;

// True when zoom, column and row name a tile of the pyramid (zoom 0..19, column and row below
// 2^zoom).
bool TileExists(int64_t z, int64_t x, int64_t y);
// The styles served: "standard" ("/tiles/...") and "topo" ("/tiles-topo/...", the standard map
// on tinted terrain with contour lines).
bool TileStyleExists(const std::string &style);
// The PNG bytes of the tile in a style (from the cache when it was drawn before); empty when it
// or the style does not exist.
std::string RenderTile(int64_t z, int64_t x, int64_t y, const std::string &style = "standard");
// Shows the tile numbers on tiles of every zoom (drawn from then on; the cache is emptied).
void SetTileNumbersAlways(bool always);
// Tiles drawn so far (not served from the cache), for tests of the cache.
size_t TilesDrawn();

// What tile replies say about caching: "Cache-Control: max-age" in seconds (7 days unless set).
void SetTileMaxAge(int64_t seconds);
int64_t TileMaxAge();
// The entity tag of a tile's bytes, quoted as it travels in ETag and If-None-Match.
std::string TileETag(const std::string &png);
// The Last-Modified date every tile carries (the city does not change).
constexpr const char *kTileLastModified = "Mon, 01 Jan 2024 00:00:00 GMT";
// Whether a request with these conditional headers is answered 304 for a tile with this tag:
// If-None-Match decides when present (a list of tags, or "*"), else If-Modified-Since at or
// after the tiles' date.
bool TileNotModified(const std::string &etag, const std::string &ifNoneMatch,
                     const std::string &ifModifiedSince);

} // namespace kelvra::sim
