#include "core/map/MarkerClusters.h"

#include "core/app/MonitorLogic.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvra {

namespace {
std::uint64_t CellKey(int Cx, int Cy) {
  return (std::uint64_t(std::uint32_t(Cx)) << 32) | std::uint32_t(Cy);
}

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
} // namespace

TMarkerState MarkerStateOf(const TObjectInfo &Obj, TDateTime Now, const TDisplayZone &Clock) {
  if (!Obj.alarms.empty()) return msAlarm;
  const TDateTime last = Obj.last_point ? Obj.last_point->sys_dt : 0;
  if (last == 0 || std::isnan(last) || MessageAgeMinutes(Now, last, Clock) >= 60) return msSilent;
  return msNormal;
}

TMarkerClusterer::TMarkerClusterer(const TClusterGeometry &Geometry) : fGeometry(Geometry) {
  fGeometry.PinHalfWidth = std::max(1, fGeometry.PinHalfWidth);
  fGeometry.PinAbove = std::max(0, fGeometry.PinAbove);
  fGeometry.PinBelow = std::max(0, fGeometry.PinBelow);
  fGeometry.BadgeReach = std::max(1, fGeometry.BadgeReach);
  // Any picture fits in one cell, so boxes that overlap have their centres in neighbouring cells.
  fCellW = std::max(2 * fGeometry.PinHalfWidth, 2 * fGeometry.BadgeReach);
  fCellH = std::max(fGeometry.PinAbove + fGeometry.PinBelow, 2 * fGeometry.BadgeReach);
}

TClusterBox TMarkerClusterer::BoxOf(const TMarkerCluster &c) const {
  const TClusterGeometry &g = fGeometry;
  if (c.Count == 1)
    return {c.X - g.PinHalfWidth, c.Y - g.PinAbove, c.X + g.PinHalfWidth, c.Y + g.PinBelow};
  return {c.X - g.BadgeReach, c.Y - g.BadgeReach, c.X + g.BadgeReach, c.Y + g.BadgeReach};
}

void TMarkerClusterer::Build(std::span<const TClusterMarker> Markers) {
  const std::size_t n = Markers.size();
  fCells.clear();
  fClusterOf.assign(n, -1);
  // 1. The grid: the markers of one cell (a pin's size) are one cluster, numbered in the order
  // of their first markers.
  int count = 0;
  std::unordered_map<std::uint64_t, int> cellCluster;
  cellCluster.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t key = CellKey(FloorDiv(Markers[i].X, 2 * fGeometry.PinHalfWidth),
                                      FloorDiv(Markers[i].Y, fGeometry.PinAbove + fGeometry.PinBelow));
    auto [it, fresh] = cellCluster.try_emplace(key, count);
    if (fresh) ++count;
    fClusterOf[i] = it->second;
  }
  fClusters.assign(std::size_t(count), TMarkerCluster{});
  Summarise(Markers);
  // 2. Clusters whose pictures still overlap merge, until none do (each round that merges has
  // fewer clusters, so it ends).
  while (MergeOverlapping()) Summarise(Markers);
}

void TMarkerClusterer::Summarise(std::span<const TClusterMarker> Markers) {
  const std::size_t n = Markers.size(), k = fClusters.size();
  for (auto &c : fClusters) c = TMarkerCluster{};
  std::vector<double> sx(k, 0), sy(k, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const TClusterMarker &m = Markers[i];
    TMarkerCluster &c = fClusters[std::size_t(fClusterOf[i])];
    if (c.Count == 0) {
      c.MinX = c.MaxX = m.X;
      c.MinY = c.MaxY = m.Y;
    }
    ++c.Count;
    c.State = std::max(c.State, m.State);
    c.MinX = std::min(c.MinX, m.X);
    c.MaxX = std::max(c.MaxX, m.X);
    c.MinY = std::min(c.MinY, m.Y);
    c.MaxY = std::max(c.MaxY, m.Y);
    sx[std::size_t(fClusterOf[i])] += m.X;
    sy[std::size_t(fClusterOf[i])] += m.Y;
  }
  for (std::size_t c = 0; c < k; ++c) {
    fClusters[c].X = int(std::lround(sx[c] / fClusters[c].Count));
    fClusters[c].Y = int(std::lround(sy[c] / fClusters[c].Count));
  }
  // Members by cluster (a counting sort).
  fMemberStart.assign(k + 1, 0);
  for (int c : fClusterOf) ++fMemberStart[std::size_t(c) + 1];
  for (std::size_t c = 0; c < k; ++c) fMemberStart[c + 1] += fMemberStart[c];
  fMembers.assign(n, 0);
  std::vector<int> fill(fMemberStart.begin(), fMemberStart.end() - 1);
  for (std::size_t i = 0; i < n; ++i)
    fMembers[std::size_t(fill[std::size_t(fClusterOf[i])]++)] = int(i);
}

bool TMarkerClusterer::MergeOverlapping() {
  const std::size_t k = fClusters.size();
  // union-find over the clusters; the lowest number of a group names it
  std::vector<int> parent(k);
  for (std::size_t c = 0; c < k; ++c) parent[c] = int(c);
  auto root = [&](int c) {
    while (parent[std::size_t(c)] != c) {
      parent[std::size_t(c)] = parent[std::size_t(parent[std::size_t(c)])];
      c = parent[std::size_t(c)];
    }
    return c;
  };
  std::vector<TClusterBox> boxes(k);
  fCells.clear();
  for (std::size_t c = 0; c < k; ++c) {
    boxes[c] = BoxOf(fClusters[c]);
    const int cx = FloorDiv((boxes[c].Left + boxes[c].Right) / 2, fCellW);
    const int cy = FloorDiv((boxes[c].Top + boxes[c].Bottom) / 2, fCellH);
    fCells[CellKey(cx, cy)].push_back(int(c));
  }
  bool merged = false;
  for (std::size_t c = 0; c < k; ++c) {
    const int cx = FloorDiv((boxes[c].Left + boxes[c].Right) / 2, fCellW);
    const int cy = FloorDiv((boxes[c].Top + boxes[c].Bottom) / 2, fCellH);
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        auto it = fCells.find(CellKey(cx + dx, cy + dy));
        if (it == fCells.end()) continue;
        for (int o : it->second) {
          if (std::size_t(o) <= c || !boxes[c].Overlaps(boxes[std::size_t(o)])) continue;
          const int a = root(int(c)), b = root(o);
          if (a == b) continue;
          parent[std::size_t(std::max(a, b))] = std::min(a, b);
          merged = true;
        }
      }
  }
  if (!merged) return false;
  // Renumber the groups in the order of their lowest cluster, which keeps the order of first
  // markers.
  std::vector<int> number(k, -1);
  int next = 0;
  for (std::size_t c = 0; c < k; ++c)
    if (root(int(c)) == int(c)) number[c] = next++;
  for (int &c : fClusterOf) c = number[std::size_t(root(c))];
  fClusters.assign(std::size_t(next), TMarkerCluster{});
  return true;
}

std::span<const int> TMarkerClusterer::Members(int Cluster) const {
  const auto c = std::size_t(Cluster);
  return std::span<const int>(fMembers).subspan(
      std::size_t(fMemberStart[c]), std::size_t(fMemberStart[c + 1] - fMemberStart[c]));
}

int ClusterZoom(double Width, double Height, int Zoom, int MaxZoom, int ViewWidth, int ViewHeight) {
  if (Zoom >= MaxZoom) return MaxZoom;
  double w = Width, h = Height;
  int z = Zoom + 1;
  w *= 2;
  h *= 2;
  while (z < MaxZoom && w * 2 <= ViewWidth && h * 2 <= ViewHeight) {
    ++z;
    w *= 2;
    h *= 2;
  }
  return z;
}

std::vector<std::pair<int, int>> FanOutOffsets(int Count, int Spacing) {
  std::vector<std::pair<int, int>> out;
  if (Count <= 0) return out;
  out.reserve(std::size_t(Count));
  const double s = std::max(1, Spacing);
  constexpr int CircleMax = 8;
  if (Count <= CircleMax) {
    // On a circle whose chord between neighbours is the spacing; the first at the top.
    const double r = Count == 1 ? 0 : s / (2 * std::sin(std::numbers::pi / Count));
    for (int i = 0; i < Count; ++i) {
      const double a = 2 * std::numbers::pi * i / Count;
      out.emplace_back(int(std::lround(r * std::sin(a))), int(std::lround(-r * std::cos(a))));
    }
    return out;
  }
  // An Archimedean spiral r = b * angle whose turns are the spacing apart,
  // walked in steps of about the spacing along the curve.
  const double b = s / (2 * std::numbers::pi);
  double a = 2 * std::numbers::pi; // start one turn out, clear of the centre
  for (int i = 0; i < Count; ++i) {
    const double r = b * a;
    out.emplace_back(int(std::lround(r * std::sin(a))), int(std::lround(-r * std::cos(a))));
    a += s / std::max(r, s);
  }
  return out;
}

} // namespace kelvra
