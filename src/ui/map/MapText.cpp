#include "ui/map/MapText.h"

#include "core/app/Common.h"
#include "core/app/Translate.h"
#include "core/model/TrackPointInfo.h"
#include "core/util/DisplayUnits.h"

#include <cmath>

#include <map>

namespace kelvra {

namespace {
// The English texts, used before a translation is loaded.
const std::map<std::string, std::string> &Defaults() {
  static const std::map<std::string, std::string> texts{
      {"map_tile_loading", "Loading [%d : %d]..."},
      {"replay_alt", "alt. %s"},
      {"replay_stop", "stop %s"},
  };
  return texts;
}
} // namespace

QString MapText(const std::string &Sig, const TFmtArgs &Args) {
  const auto it = Defaults().find(Sig);
  const std::string def = it != Defaults().end() ? it->second : Sig;
  if (TTranslation *tr = Translation.get())
    return QString::fromStdString(tr->GetString("MapControl", Sig, Args, def));
  return QString::fromStdString(Format(def, Args));
}

QStringList MotionTexts(const TTrackPointInfo &Point) {
  QStringList parts;
  const TDisplayUnits &units = DisplayUnits();
  if (Point.HasSpeed()) parts << QString::fromStdString(units.SpeedText(Point.speed, 0));
  if (Point.HasAltitude()) parts << MapText("replay_alt", {units.AltitudeText(Point.alt, 0)});
  return parts;
}

} // namespace kelvra
