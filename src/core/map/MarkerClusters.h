#pragma once
// Groups object markers into clusters so that nothing drawn overlaps: markers
// first merge on a grid whose cell is a marker's size, then any two clusters
// whose pictures (a pin, or a badge for several) would still overlap merge,
// until none do. A grid holds the clusters, so each is compared only with the
// clusters of its own and the eight cells around it: linear in the number of
// markers, never every pair. Positions are map pixels of one zoom; the result
// stays valid while the zoom and the markers' positions stay the same
// (dragging the map does not change it).
#include "core/model/ObjectInfo.h"
#include "core/util/LumDates.h"
#include "core/util/TimeZones.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kelvra {

// How a marker (and a cluster: its worst member) is coloured; a higher value is worse.
enum TMarkerState : int {
  msNormal = 0, // a message within the last hour
  msSilent = 1, // no message for an hour or more, or never
  msAlarm = 2,  // an open alarm
};

// The state an object's marker shows at time Now on Clock (the display clock the times are on).
TMarkerState MarkerStateOf(const TObjectInfo &Obj, TDateTime Now, const TDisplayZone &Clock = {});

struct TClusterMarker {
  int X = 0, Y = 0; // map pixels
  TMarkerState State = msNormal;
};

struct TMarkerCluster {
  int X = 0, Y = 0; // the members' mean position, map pixels
  int Count = 0;
  TMarkerState State = msNormal; // the worst member's
  // The members' bounding box, map pixels (inclusive).
  int MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
};

// What is drawn for a marker and for a cluster, in pixels around its point: a
// pin stands above its point, a badge is centred on it.
struct TClusterGeometry {
  int PinHalfWidth = 24;
  int PinAbove = 56; // from the point up to the pin's top
  int PinBelow = 4;  // the pin's foot below the point
  int BadgeReach = 27; // the largest badge's radius with its halo
};

// The box a cluster's picture covers (left, top inclusive; right, bottom exclusive).
struct TClusterBox {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Overlaps(const TClusterBox &o) const {
    return Left < o.Right && o.Left < Right && Top < o.Bottom && o.Top < Bottom;
  }
};

class TMarkerClusterer {
public:
  explicit TMarkerClusterer(const TClusterGeometry &Geometry = {});

  // Rebuilds the clusters; markers are taken in order, so the result does not
  // depend on hashing.
  void Build(std::span<const TClusterMarker> Markers);

  const TClusterGeometry &Geometry() const { return fGeometry; }
  // The box the picture of a cluster covers: its pin when it has one member,
  // its badge otherwise.
  TClusterBox BoxOf(const TMarkerCluster &Cluster) const;
  const std::vector<TMarkerCluster> &Clusters() const { return fClusters; }
  // The cluster of marker i (an index into Clusters()).
  int ClusterOf(int Marker) const { return fClusterOf[std::size_t(Marker)]; }
  // The marker indices of a cluster, in the order of the markers.
  std::span<const int> Members(int Cluster) const;

private:
  // Merges clusters whose boxes overlap; false when none did.
  bool MergeOverlapping();
  // Counts, states, boxes and mean positions from fClusterOf.
  void Summarise(std::span<const TClusterMarker> Markers);

  TClusterGeometry fGeometry;
  int fCellW, fCellH;
  std::vector<TMarkerCluster> fClusters;
  std::vector<int> fClusterOf;
  std::vector<int> fMemberStart; // Clusters().size() + 1 offsets into fMembers
  std::vector<int> fMembers;
  std::unordered_map<std::uint64_t, std::vector<int>> fCells;
};

// The zoom at which a cluster's members spread over at most ViewWidth x
// ViewHeight pixels: the highest such zoom up to MaxZoom, and never below
// Zoom + 1 (at the next zoom members that merged are twice as far apart).
// Width and Height: the members' extent in pixels at Zoom.
int ClusterZoom(double Width, double Height, int Zoom, int MaxZoom, int ViewWidth, int ViewHeight);

// Where the members of a cluster stand when it is fanned out around its
// centre: offsets in pixels, at least Spacing apart. Up to 8 on a circle,
// more on a spiral that keeps the same spacing.
std::vector<std::pair<int, int>> FanOutOffsets(int Count, int Spacing);

} // namespace kelvra
