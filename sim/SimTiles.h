#pragma once
// Generated map tiles: a pale background, a grid and the tile's zoom, column and row, so that the
// map can be looked at and tested without a real tile server.
#include <cstdint>
#include <string>

namespace kelvra::sim {

constexpr int kTileSize = 256;
constexpr int kMaxTileZoom = 19;

// True when zoom, column and row name a tile of the pyramid (zoom 0..19, column and row below
// 2^zoom).
bool TileExists(int64_t z, int64_t x, int64_t y);
// The PNG bytes of the tile; empty when it does not exist.
std::string RenderTile(int64_t z, int64_t x, int64_t y);

} // namespace kelvra::sim
