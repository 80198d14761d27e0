#pragma once
// The map's optional features, each switched by a configuration key and on
// unless the key says otherwise ("false", "0", "no" or "off").
#include "core/util/LumHash.h"

#include <string>

namespace kelvra {

struct TMapFeatures {
  bool ClusterMarkers = true;  // "cluster_markers": overlapping object markers merge into a badge
  bool TrackReplay = true;     // "track_replay": the replay bar under the map
  bool SpeedColors = true;     // "track_speed_colors": track segments coloured by speed
  bool SmoothTiles = true;     // "smooth_tiles": a missing tile shows its cached parent scaled
};

// A configuration flag: Default when the value is empty or not a yes/no word.
bool ConfigFlag(const std::string &Value, bool Default);
// The features of a configuration (all on for a null one).
TMapFeatures ReadMapFeatures(const TLumHash *Config);

} // namespace kelvra
