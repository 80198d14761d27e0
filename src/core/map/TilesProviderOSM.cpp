#include "core/map/TilesProviderOSM.h"

namespace kelvra {

TOSMTilesProvider::TOSMTilesProvider(const std::string &TileURLPatt)
    : TileURLPatt(TileURLPatt.empty() ? std::string(DefaultTileURLPatt) : TileURLPatt) {
  MinZoomLevel = 0;
  MaxZoomLevel = 19;
  TilesCopyright = "(c) OpenStreetMap contributors";
}

TOSMTilesProvider::TOSMTilesProvider(const TTileSource &Source)
    : TOSMTilesProvider(Source.UrlPattern) {
  MaxZoomLevel = Source.MaxZoom;
  if (!Source.Attribution.empty()) TilesCopyright = Source.Attribution;
}

std::string TOSMTilesProvider::GetTileURL(const TTile &Tile) const {
  return FormatTilePattern(TileURLPatt, Tile);
}

} // namespace kelvra
