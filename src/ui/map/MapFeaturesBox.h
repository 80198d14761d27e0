#pragma once
// The map's optional features as tick boxes of the settings dialog; each
// reports its configuration key only when the user changed it.
#include "core/map/MapFeatures.h"
#include "core/util/LumHash.h"

#include <QGroupBox>

#include <array>

class QCheckBox;

namespace kelvra {

class TMapFeaturesBox : public QGroupBox {
  Q_OBJECT
public:
  // Ticked as Features says.
  TMapFeaturesBox(QWidget *Parent, const TMapFeatures &Features);
  bool Modified() const;
  // Adds "key=true|false" for every changed box.
  void AddFields(TLumHash &Fields) const;

private:
  struct TBox {
    const char *Key;
    QCheckBox *Box;
    bool Initial;
  };
  std::array<TBox, 4> fBoxes;
};

} // namespace kelvra
