#pragma once
// Tiles whose download or decoding failed, each resting for a pause before it may be asked for
// again. The pause doubles with every failure of the same tile (from the first pause up to the
// longest) and is forgotten when the tile arrives. However often the view is painted meanwhile,
// a resting tile is not requested: a tile server that fails a tile sees it once per pause.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/map/SlippyMapUtils.h"

namespace kelvra {

class TTileFailures {
public:
  static constexpr std::int64_t kFirstPauseMs = 2000;
  static constexpr std::int64_t kLongestPauseMs = 60000;
  // Failed tiles remembered at most; beyond it the ones whose pause is over are forgotten first.
  static constexpr std::size_t kMaxTiles = 4096;

  explicit TTileFailures(std::int64_t FirstPauseMs = kFirstPauseMs,
                         std::int64_t LongestPauseMs = kLongestPauseMs)
      : fFirstPauseMs(FirstPauseMs), fLongestPauseMs(LongestPauseMs) {}

  // Notes a failure at NowMs; returns the tile's pause.
  std::int64_t Failed(const TTile &Tile, std::int64_t NowMs);
  // The tile arrived: it rests no more and its next failure starts at the first pause.
  void Arrived(const TTile &Tile);
  // True while the tile's pause lasts.
  bool Resting(const TTile &Tile, std::int64_t NowMs) const;
  // The earliest end of a pause still running after NowMs; -1 when none runs.
  std::int64_t NextEndMs(std::int64_t NowMs) const;
  // Tiles whose pause ended at or before NowMs and that are still noted as failed.
  std::vector<TTile> Due(std::int64_t NowMs) const;
  std::size_t Count() const { return fTiles.size(); }
  void Clear() { fTiles.clear(); }

private:
  struct TState {
    TTile Tile;
    std::int64_t PauseMs = 0;
    std::int64_t UntilMs = 0;
  };
  static std::uint64_t Key(const TTile &Tile) {
    return (std::uint64_t(Tile.Zoom) << 58) ^ (std::uint64_t(Tile.ParameterX) << 29) ^
           std::uint64_t(Tile.ParameterY);
  }
  std::int64_t fFirstPauseMs;
  std::int64_t fLongestPauseMs;
  std::unordered_map<std::uint64_t, TState> fTiles;
};

} // namespace kelvra
