#include "core/map/TilesProvider.h"

#include <stdexcept>

namespace kelvra {

std::string FormatTilePattern(const std::string &Pattern, const TTile &Tile) {
  const std::uint32_t values[3] = {Tile.Zoom, Tile.ParameterX, Tile.ParameterY};
  std::string out;
  out.reserve(Pattern.size() + 16);
  int next = 0;
  for (std::size_t i = 0; i < Pattern.size(); ++i) {
    const char c = Pattern[i];
    if (c == '{' && i + 2 < Pattern.size() && Pattern[i + 2] == '}') {
      const char key = Pattern[i + 1];
      const int index = key == 'z' ? 0 : key == 'x' ? 1 : key == 'y' ? 2 : -1;
      if (index >= 0) {
        out += std::to_string(values[index]);
        i += 2;
        continue;
      }
    } else if (c == '%' && i + 1 < Pattern.size()) {
      const char spec = Pattern[i + 1];
      if (spec == '%') {
        out += '%';
        ++i;
        continue;
      }
      if ((spec == 'd' || spec == 'u') && next < 3) {
        out += std::to_string(values[next++]);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::string TTilesProvider::GetProperty(const std::string &) const {
  throw std::logic_error("Getter for Properties not implemented");
}

void TTilesProvider::SetProperty(const std::string &, const std::string &) {
  throw std::logic_error("Setter for Properties not implemented");
}

TDummyTilesProvider::TDummyTilesProvider() {
  MinZoomLevel = 0;
  MaxZoomLevel = 20;
  TilesCopyright = "(c) Tile provider (loaded from offline)";
}

std::string TDummyTilesProvider::GetTileURL(const TTile &) const { return {}; }

} // namespace kelvra
