#include "core/map/TileFailures.h"

#include <algorithm>

namespace kelvra {

std::int64_t TTileFailures::Failed(const TTile &Tile, std::int64_t NowMs) {
  if (fTiles.size() >= kMaxTiles && fTiles.find(Key(Tile)) == fTiles.end()) {
    std::erase_if(fTiles, [&](const auto &kv) { return kv.second.UntilMs <= NowMs; });
    // Every one still resting: the oldest pause gives way.
    if (fTiles.size() >= kMaxTiles)
      fTiles.erase(std::min_element(fTiles.begin(), fTiles.end(), [](const auto &a, const auto &b) {
        return a.second.UntilMs < b.second.UntilMs;
      }));
  }
  TState &s = fTiles[Key(Tile)];
  s.Tile = Tile;
  s.PauseMs = s.PauseMs == 0 ? fFirstPauseMs : std::min(s.PauseMs * 2, fLongestPauseMs);
  s.UntilMs = NowMs + s.PauseMs;
  return s.PauseMs;
}

void TTileFailures::Arrived(const TTile &Tile) { fTiles.erase(Key(Tile)); }

bool TTileFailures::Resting(const TTile &Tile, std::int64_t NowMs) const {
  const auto it = fTiles.find(Key(Tile));
  return it != fTiles.end() && it->second.Tile == Tile && NowMs < it->second.UntilMs;
}

std::int64_t TTileFailures::NextEndMs(std::int64_t NowMs) const {
  std::int64_t next = -1;
  for (const auto &[key, s] : fTiles)
    if (s.UntilMs > NowMs && (next < 0 || s.UntilMs < next)) next = s.UntilMs;
  return next;
}

std::vector<TTile> TTileFailures::Due(std::int64_t NowMs) const {
  std::vector<TTile> due;
  for (const auto &[key, s] : fTiles)
    if (s.UntilMs <= NowMs) due.push_back(s.Tile);
  return due;
}

} // namespace kelvra
