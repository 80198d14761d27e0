#pragma once
// Texts the map shows, from section "MapControl" of the translation (English
// when no translation is loaded, as in tests of the bare widget).
#include "core/util/LumFormat.h"

#include <QString>
#include <string>

namespace kelvra {

QString MapText(const std::string &Sig, const TFmtArgs &Args = {});

} // namespace kelvra
