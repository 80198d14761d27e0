#pragma once
// The base maps the program offers: the OpenStreetMap standard map, a topographic and a cycling
// map from free public tile servers, and a custom one; each with its attribution and a disk
// cache folder of its own (tiles of two sources are different pictures of the same square).
#include "core/map/SlippyMapUtils.h"

#include <string>
#include <vector>

namespace kelvra {

class TLumHash;

struct TTileSource {
  std::string Id;          // "osm", "topo", "cycle", "custom"; "url" for "tile_url"
  std::string UrlPattern;  // with zoom, column and row (see FormatTilePattern)
  std::string Attribution; // shown in the map's corner
  TMapZoomLevel MaxZoom = 19;
  // A public server whose usage policy holds: tiles are never asked for again within 7 days.
  bool PublicServer = false;
  std::string CacheFolder; // below the tile cache root, no slashes

  bool operator==(const TTileSource &) const = default;
};

// The built-in sources, the standard map first.
const std::vector<TTileSource> &BuiltInTileSources();
// The source of this id with its address; the standard map for an unknown id.
TTileSource BuiltInTileSource(const std::string &Id);
// A source of the user's own address: its cache folder is named after the address
// ("<Id>-<8 hex digits>"), so that two addresses never share tiles.
TTileSource CustomTileSource(const std::string &Id, const std::string &UrlPattern);

// The source the configuration asks for. "tile_url" wins when given. Else "map_source" names
// it: a built-in id, or "custom" with the address in "map_custom_url" (without one, the
// standard map). "map_url_<id>" replaces a built-in source's address (a mirror or a caching
// proxy): then it is no longer the public server and keeps its attribution.
TTileSource TileSourceFromConfig(const TLumHash *Config);

} // namespace kelvra
