#include "core/map/TileSources.h"

#include "core/map/TilesProviderOSM.h"
#include "core/util/LumHash.h"
#include "core/util/LumStrings.h"

#include <cstdio>

namespace kelvra {

const std::vector<TTileSource> &BuiltInTileSources() {
  static const std::vector<TTileSource> sources{
      {"osm", DefaultTileURLPatt, "(c) OpenStreetMap contributors", 19, true, "osm"},
      {"topo", "https://tile.opentopomap.org/{z}/{x}/{y}.png",
       "(c) OpenStreetMap contributors, SRTM | style (c) OpenTopoMap (CC-BY-SA)", 17, true, "topo"},
      {"cycle", "https://a.tile-cyclosm.openstreetmap.fr/cyclosm/{z}/{x}/{y}.png",
       "(c) OpenStreetMap contributors | CyclOSM, tiles by OpenStreetMap France", 20, true,
       "cycle"},
  };
  return sources;
}

TTileSource BuiltInTileSource(const std::string &Id) {
  for (const TTileSource &s : BuiltInTileSources())
    if (s.Id == Id) return s;
  return BuiltInTileSources().front();
}

TTileSource CustomTileSource(const std::string &Id, const std::string &UrlPattern) {
  std::uint32_t h = 2166136261u; // FNV-1a
  for (unsigned char c : UrlPattern) {
    h ^= c;
    h *= 16777619u;
  }
  char folder[64];
  std::snprintf(folder, sizeof folder, "%s-%08x", Id.c_str(), unsigned(h));
  TTileSource s;
  s.Id = Id;
  s.UrlPattern = UrlPattern;
  // Such servers draw OpenStreetMap data nearly always; the license asks for this line.
  s.Attribution = "(c) OpenStreetMap contributors";
  s.MaxZoom = 19;
  s.CacheFolder = folder;
  return s;
}

TTileSource TileSourceFromConfig(const TLumHash *Config) {
  auto get = [Config](const std::string &key) {
    return Config ? Trim(Config->GetVal(key)) : std::string();
  };
  if (const std::string url = get("tile_url"); !url.empty()) return CustomTileSource("url", url);
  const std::string id = get("map_source");
  if (id == "custom") {
    const std::string url = get("map_custom_url");
    if (!url.empty()) return CustomTileSource("custom", url);
  }
  TTileSource s = BuiltInTileSource(id);
  if (const std::string mirror = get("map_url_" + s.Id); !mirror.empty()) {
    s.UrlPattern = mirror;
    s.PublicServer = false;
  }
  return s;
}

} // namespace kelvra
