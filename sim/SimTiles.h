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
// The PNG bytes of the tile (from the cache when it was drawn before); empty when it does not
// exist.
std::string RenderTile(int64_t z, int64_t x, int64_t y);
// Shows the tile numbers on tiles of every zoom (drawn from then on; the cache is emptied).
void SetTileNumbersAlways(bool always);
// Tiles drawn so far (not served from the cache), for tests of the cache.
size_t TilesDrawn();

} // namespace kelvra::sim
