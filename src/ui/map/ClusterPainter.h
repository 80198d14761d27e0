#pragma once
// Paints marker clusters: a round badge with the count in the colour of the
// worst state inside, or, at the highest zoom, the members fanned out around
// the cluster's centre. Badges are sprites rendered once per count, state
// and pixel ratio, so a full view costs a block copy per cluster.
//
// Without a window (the fleet benchmark):
//
//   std::vector<TClusterMarker> markers = ...;     // map pixels of one zoom
//   TMarkerClusterer clusterer(TClusterPainter::Geometry()); // nothing drawn overlaps
//   TClusterPainter painter;
//   QImage view(1600, 1000, QImage::Format_ARGB32_Premultiplied);
//   QPainter p(&view);
//   PaintFleet(p, clusterer, painter, markers, QPoint(viewLeft, viewTop), view.size(), false);
#include "core/map/MarkerClusters.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>

#include <functional>
#include <map>
#include <span>
#include <tuple>
#include <vector>

class QPainter;

namespace kelvra {

// The marker pictures are this size; the point is 4 pixels above the bottom.
constexpr int MarkerWidth = 48;
constexpr int MarkerHeight = 60;

// The two marker pictures: a pin whose tip is 4 pixels above the bottom,
// plain (0) or with a round window for the photo (1).
std::vector<QImage> MakeMarkerImages(qreal Dpr);

// The colour of a marker state (the badge's fill).
QColor MarkerStateColor(TMarkerState State);

// Room between fanned-out markers, in pixels.
constexpr int FanOutSpacing = 50;

class TClusterPainter {
public:
  // The badge's radius for a count, logical pixels.
  static int BadgeRadius(int Count);
  // The room the pins and the badges this painter draws take around their points.
  static TClusterGeometry Geometry();
  // A badge centred on Centre.
  void DrawBadge(QPainter &Canvas, const QPoint &Centre, int Count, TMarkerState State);
  // The plain marker picture (MakeMarkerImages' first) at a pixel ratio.
  const QImage &Pin(qreal Dpr);
  std::size_t SpriteCount() const { return fBadges.size(); }

private:
  std::map<std::tuple<int, int, qreal>, QImage> fBadges;
  QImage fPin;
};

// Draws one lone marker (or a fanned-out member) at a view position.
using TDrawMarker = std::function<void(int Marker, const QPoint &ViewPos)>;

// Paints the clusters of Clusterer (built from Markers) that may show in the
// view: a badge per group of two or more, its members fanned out when FanOut
// (the highest zoom), and DrawMarker for every marker drawn on its own.
void PaintClusters(QPainter &Canvas, const TMarkerClusterer &Clusterer, TClusterPainter &Painter,
                   std::span<const TClusterMarker> Markers, const QPoint &ViewTopLeft,
                   const QSize &ViewSize, bool FanOut, const TDrawMarker &DrawMarker);

// Clusters the markers and paints the view with pins for lone markers: the
// whole cluster-and-paint path of a fleet, callable without a window.
void PaintFleet(QPainter &Canvas, TMarkerClusterer &Clusterer, TClusterPainter &Painter,
                std::span<const TClusterMarker> Markers, const QPoint &ViewTopLeft,
                const QSize &ViewSize, bool FanOut);

} // namespace kelvra
