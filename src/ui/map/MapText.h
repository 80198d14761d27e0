#pragma once
// Texts the map shows, from section "MapControl" of the translation (English
// when no translation is loaded, as in tests of the bare widget).
#include "core/util/LumFormat.h"

#include <QString>
#include <QStringList>
#include <string>

namespace kelvra {

QString MapText(const std::string &Sig, const TFmtArgs &Args = {});

class TTrackPointInfo;
// A point's speed and altitude as the map writes them ("45 km/h", "alt. 150 m"), those it has.
QStringList MotionTexts(const TTrackPointInfo &Point);

} // namespace kelvra
