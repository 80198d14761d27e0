#pragma once
// Small pieces the files of the monitoring map share; not for use outside it.

#include <QColor>
#include <QPoint>
#include <QPointF>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "core/map/SlippyMapUtils.h"

namespace kelvra::lummap {

// Two view positions are "near" within this many pixels on both axes.
inline constexpr int NearPixels = 6;
// The replay marker: a disc of radius 11 with its outline, in this square's half side.
inline constexpr int ReplayMarkerReach = 14;
inline const QColor ReplayMarkerColor(0xFF, 0x6F, 0x00);
// The ring at the point the graphs point at (magenta, so that it shows on every track colour and
// beside the replay marker), in this square's half side.
inline constexpr int PointMarkerReach = 12;
inline const QColor PointMarkerColor(0xE0, 0x00, 0xA0);
// Node and edge codes hold the index in two decimal digits.
inline constexpr std::size_t MaxEditableNodes = 100;
inline bool Near(int a, int b) { return std::abs(a - b) < NearPixels; }
inline bool Near(const QPoint &a, const QPoint &b) { return Near(a.x(), b.x()) && Near(a.y(), b.y()); }
inline double Length(const QPointF &v) { return std::hypot(v.x(), v.y()); }
inline bool HasPoint(const TGeoPoint &p) { return !std::isnan(p.Long) && !std::isnan(p.Lat); }

} // namespace kelvra::lummap
