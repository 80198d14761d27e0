#include "ui/map/MapText.h"

#include "core/app/Common.h"
#include "core/app/Translate.h"

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

} // namespace kelvra
