#include "ui/map/MapFeaturesBox.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace kelvra {

TMapFeaturesBox::TMapFeaturesBox(QWidget *Parent, const TMapFeatures &Features)
    : QGroupBox("Map", Parent) {
  setObjectName("GbMapFeatures");
  auto *lay = new QVBoxLayout(this);
  auto make = [&](const char *Key, const char *Name, const char *Text, bool On) {
    auto *b = new QCheckBox(Text, this);
    b->setObjectName(Name);
    b->setChecked(On);
    lay->addWidget(b);
    return TBox{Key, b, On};
  };
  fBoxes = {make("cluster_markers", "ChkClusterMarkers", "Merge overlapping markers into clusters",
                 Features.ClusterMarkers),
            make("track_replay", "ChkTrackReplay", "Track replay bar under the map",
                 Features.TrackReplay),
            make("track_speed_colors", "ChkSpeedColors", "Colour tracks by speed",
                 Features.SpeedColors),
            make("smooth_tiles", "ChkSmoothTiles", "Show a coarser tile while a tile loads",
                 Features.SmoothTiles)};
}

bool TMapFeaturesBox::Modified() const {
  for (const TBox &b : fBoxes)
    if (b.Box->isChecked() != b.Initial) return true;
  return false;
}

void TMapFeaturesBox::AddFields(TLumHash &Fields) const {
  for (const TBox &b : fBoxes)
    if (b.Box->isChecked() != b.Initial) Fields.SetVal(b.Key, b.Box->isChecked() ? "true" : "false");
}

} // namespace kelvra
