#pragma once
// Sources of raster map tiles: zoom range, attribution and tile addresses.
#include "core/map/SlippyMapUtils.h"

#include <string>

namespace kelvra {

// Fills a tile pattern: "{z}", "{x}", "{y}" become zoom, column and row; the
// older printf style is understood too, the first three "%d" (or "%u") taking
// zoom, column and row in that order, "%%" a percent sign. Nothing else in the
// pattern is interpreted, so a pattern from the configuration is safe to use.
std::string FormatTilePattern(const std::string &Pattern, const TTile &Tile);

class TTilesProvider {
public:
  TMapZoomLevel MinZoomLevel = 0;
  TMapZoomLevel MaxZoomLevel = 0;
  std::string TilesCopyright;
  // Access key for sources that need one; the providers here leave it empty.
  std::string APIKey;

  virtual ~TTilesProvider() = default;

  // Neither provider has properties: both throw std::logic_error.
  virtual std::string GetProperty(const std::string &Index) const;
  virtual void SetProperty(const std::string &Index, const std::string &Value);
  // Called concurrently from download workers: reads immutable fields only.
  virtual std::string GetTileURL(const TTile &Tile) const = 0;
};

// The source of a map that has none: tiles come from the local caches only.
class TDummyTilesProvider : public TTilesProvider {
public:
  TDummyTilesProvider();
  std::string GetTileURL(const TTile &Tile) const override;
};

} // namespace kelvra
