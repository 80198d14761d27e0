#pragma once
// The OpenStreetMap standard tile source.
#include "core/map/TileSources.h"
#include "core/map/TilesProvider.h"

namespace kelvra {

// The public standard tile server. Its usage policy asks that the address can
// be changed without a new program, hence the config key "tile_url".
constexpr const char *DefaultTileURLPatt = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";

class TOSMTilesProvider : public TTilesProvider {
public:
  // A pattern with zoom, column and row (see FormatTilePattern), normally
  // the config value "tile_url"; empty means DefaultTileURLPatt.
  explicit TOSMTilesProvider(const std::string &TileURLPatt = {});
  // A source of the list: its address, attribution and zoom range.
  explicit TOSMTilesProvider(const TTileSource &Source);

  std::string GetTileURL(const TTile &Tile) const override;

  const std::string TileURLPatt;
};

} // namespace kelvra
