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

TMarkerState MarkerStateOf(const TObjectInfo &Obj, TDateTime Now) {
  if (!Obj.alarms.empty()) return msAlarm;
  const TDateTime last = Obj.last_point ? Obj.last_point->sys_dt : 0;
  if (last == 0 || std::isnan(last) || MessageAgeMinutes(Now, last) >= 60) return msSilent;
  return msNormal;
}

void TMarkerClusterer::Build(std::span<const TClusterMarker> Markers) {
  const std::size_t n = Markers.size();
  fClusters.clear();
  fSeeds.clear();
  fCells.clear();
  fClusterOf.assign(n, -1);
  const long long d2 = (long long)fDistance * fDistance;
  for (std::size_t i = 0; i < n; ++i) {
    const TClusterMarker &m = Markers[i];
    const int cx = FloorDiv(m.X, fDistance), cy = FloorDiv(m.Y, fDistance);
    // The nearest seed within the distance; seeds are at least the distance
    // apart, so each cell holds only a few.
    int best = -1;
    long long bestD2 = d2;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        auto it = fCells.find(CellKey(cx + dx, cy + dy));
        if (it == fCells.end()) continue;
        for (int c : it->second) {
          const long long ex = (long long)fSeeds[std::size_t(c)].first - m.X;
          const long long ey = (long long)fSeeds[std::size_t(c)].second - m.Y;
          const long long e2 = ex * ex + ey * ey;
          if (e2 < d2 && (best < 0 || e2 < bestD2 || (e2 == bestD2 && c < best))) {
            best = c;
            bestD2 = e2;
          }
        }
      }
    if (best < 0) {
      best = int(fClusters.size());
      TMarkerCluster c;
      c.MinX = c.MaxX = m.X;
      c.MinY = c.MaxY = m.Y;
      fClusters.push_back(c);
      fSeeds.emplace_back(m.X, m.Y);
      fCells[CellKey(cx, cy)].push_back(best);
    }
    TMarkerCluster &c = fClusters[std::size_t(best)];
    ++c.Count;
    c.State = std::max(c.State, m.State);
    c.MinX = std::min(c.MinX, m.X);
    c.MaxX = std::max(c.MaxX, m.X);
    c.MinY = std::min(c.MinY, m.Y);
    c.MaxY = std::max(c.MaxY, m.Y);
    fClusterOf[i] = best;
  }
  // Members by cluster (a counting sort), and the mean positions.
  const std::size_t k = fClusters.size();
  fMemberStart.assign(k + 1, 0);
  for (int c : fClusterOf) ++fMemberStart[std::size_t(c) + 1];
  for (std::size_t c = 0; c < k; ++c) fMemberStart[c + 1] += fMemberStart[c];
  fMembers.assign(n, 0);
  std::vector<int> fill(fMemberStart.begin(), fMemberStart.end() - 1);
  std::vector<double> sx(k, 0), sy(k, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = std::size_t(fClusterOf[i]);
    fMembers[std::size_t(fill[c]++)] = int(i);
    sx[c] += Markers[i].X;
    sy[c] += Markers[i].Y;
  }
  for (std::size_t c = 0; c < k; ++c) {
    fClusters[c].X = int(std::lround(sx[c] / fClusters[c].Count));
    fClusters[c].Y = int(std::lround(sy[c] / fClusters[c].Count));
  }
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
