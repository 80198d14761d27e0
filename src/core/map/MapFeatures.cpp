#include "core/map/MapFeatures.h"

#include "core/util/LumStrings.h"

namespace kelvra {

bool ConfigFlag(const std::string &Value, bool Default) {
  const std::string v = LowerCase(Trim(Value));
  if (v == "true" || v == "1" || v == "yes" || v == "on") return true;
  if (v == "false" || v == "0" || v == "no" || v == "off") return false;
  return Default;
}

TMapFeatures ReadMapFeatures(const TLumHash *Config) {
  TMapFeatures f;
  if (!Config) return f;
  f.ClusterMarkers = ConfigFlag(Config->GetVal("cluster_markers"), true);
  f.TrackReplay = ConfigFlag(Config->GetVal("track_replay"), true);
  f.SpeedColors = ConfigFlag(Config->GetVal("track_speed_colors"), true);
  f.SmoothTiles = ConfigFlag(Config->GetVal("smooth_tiles"), true);
  return f;
}

} // namespace kelvra
