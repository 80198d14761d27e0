// The layers of the monitoring map drawn over the tiles: tracks and the speed legend, the
// replay marker with its stops, and the zones with the geometry of their editing.
#include "ui/map/LumMapControl.h"

#include "core/app/Common.h"
#include "core/map/NetworkRequestRTL.h"
#include "core/map/TilesProviderOSM.h"
#include "core/tracks/SpeedScale.h"
#include "core/util/LumDates.h"
#include "core/util/DisplayUnits.h"
#include "core/util/LumSmallUtils.h"
#include "ui/map/MapText.h"
#include <QDateTime>
#include <QTimer>
#include <QLayout>
#include <QRegion>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include "ui/map/LumMapParts.h"

namespace kelvra {

using namespace lummap;

// --- tracks and zones ---

void TLumMapControl::DrawGeoTracks(QPainter &Canvas, const TRect &MapRect) {
  if (Zoom() < 0) return;
  FTrackPainter.SetSpeedColors(FFeatures.SpeedColors);
  bool painted = false;
  for (auto &track : FGeoTracks) {
    if (!track->Visible() || !VisibleLayers().test(track->Layer())) continue;
    FTrackPainter.Paint(Canvas, *track, TMapZoomLevel(Zoom()), QPoint(MapRect.Left, MapRect.Top),
                        viewport()->size());
    painted = true;
  }
  if (painted && FFeatures.SpeedColors) DrawSpeedLegend(Canvas);
  DrawReplay(Canvas);
}

void TLumMapControl::DrawSpeedLegend(QPainter &Canvas) {
  QFont f = font();
  f.setPointSizeF(std::max(7.0, f.pointSizeF() - 1));
  const QFontMetrics fm(f);
  const int row = fm.height(), swatch = 18, pad = 4;
  // The classes' bounds are km/h; the legend speaks the program's units.
  const TDisplayUnits &units = DisplayUnits();
  auto bound = [&units](std::size_t i) {
    return QString::number(std::lround(units.Speed(SpeedClassBounds[i])));
  };
  QStringList labels;
  labels << "< " + bound(0);
  for (std::size_t i = 0; i + 1 < SpeedClassBounds.size(); ++i)
    labels << QString("%1-%2").arg(bound(i), bound(i + 1));
  labels << "> " + bound(SpeedClassBounds.size() - 1);
  const QString title = QString::fromStdString(units.SpeedUnit());
  int textW = fm.horizontalAdvance(title) - swatch - pad;
  for (const QString &l : labels) textW = std::max(textW, fm.horizontalAdvance(l));
  const int w = pad + swatch + pad + textW + pad;
  const int h = pad + row * (1 + SpeedClassCount) + pad;
  // Bottom left, above the scale bar.
  const QRect box(int(LabelMargin()) + 2, viewport()->height() - h - 28, w, h);
  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  Canvas.setPen(QPen(QColor(0, 0, 0, 60), 1));
  Canvas.setBrush(QColor(255, 255, 255, 215));
  Canvas.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
  Canvas.setFont(f);
  Canvas.setPen(Qt::black);
  Canvas.drawText(QRect(box.left() + pad, box.top() + pad, w - 2 * pad, row), Qt::AlignVCenter,
                  title);
  for (int c = 0; c < SpeedClassCount; ++c) {
    const int y = box.top() + pad + row * (1 + c);
    QPen line(MapColor(SpeedClassColors[std::size_t(c)]), 4);
    line.setCapStyle(Qt::RoundCap);
    Canvas.setPen(line);
    Canvas.drawLine(box.left() + pad + 2, y + row / 2, box.left() + pad + swatch - 2, y + row / 2);
    Canvas.setPen(Qt::black);
    Canvas.drawText(QRect(box.left() + 2 * pad + swatch, y, textW, row), Qt::AlignVCenter,
                    labels[c]);
  }
  Canvas.restore();
}

// --- track replay ---

void TLumMapControl::SetReplayStops(std::vector<TReplayStop> Stops) {
  FReplayStops = std::move(Stops);
  Invalidate();
}

QRect TLumMapControl::ReplayMarkerRect() const {
  if (!FReplayMarker.Visible || !HasPoint(FReplayMarker.Pos) || Zoom() < 0) return {};
  const QPoint p = GeoPointToInnerPoint(FReplayMarker.Pos);
  return QRect(p - QPoint(ReplayMarkerReach, ReplayMarkerReach),
               QSize(2 * ReplayMarkerReach + 1, 2 * ReplayMarkerReach + 1)); // centred on p
}

QRect TLumMapControl::StopLabelRect(int Stop) const {
  const TReplayStop &s = FReplayStops[std::size_t(Stop)];
  if (!HasPoint(s.Pos)) return {};
  const QFontMetrics fm(font());
  const QPoint p = GeoPointToInnerPoint(s.Pos);
  const int w = fm.horizontalAdvance(QString::fromStdString(s.Text)) + 10, h = fm.height() + 4;
  // Above the stop's "P" square.
  return QRect(p.x() - w / 2, p.y() - 12 - h, w, h);
}

void TLumMapControl::SetReplayMarker(const TReplayMarker &Marker) {
  QRegion dirty(ReplayMarkerRect());
  const int before = std::min(FReplayMarker.PassedStops, int(FReplayStops.size()));
  FReplayMarker = Marker;
  dirty += ReplayMarkerRect();
  const int after = std::min(FReplayMarker.Visible ? FReplayMarker.PassedStops : 0,
                             int(FReplayStops.size()));
  for (int i = std::min(before, after); i < std::max(before, after); ++i)
    dirty += StopLabelRect(i).adjusted(-1, -1, 1, 1);
  if (!dirty.isEmpty()) viewport()->update(dirty);
}

void TLumMapControl::KeepInView(const TGeoPoint &P) {
  if (!HasPoint(P) || Zoom() < 0) return;
  const QRect view(QPoint(0, 0), viewport()->size());
  const QRect inner = view.adjusted(view.width() / 6, view.height() / 6, -view.width() / 6,
                                    -view.height() / 6);
  if (!inner.contains(GeoPointToInnerPoint(P))) SetCenterPoint(P);
}

QRect TLumMapControl::PointMarkerRect() const {
  if (!HasPoint(FPointMarker) || Zoom() < 0) return {};
  const QPoint p = GeoPointToInnerPoint(FPointMarker);
  return QRect(p - QPoint(PointMarkerReach, PointMarkerReach),
               QSize(2 * PointMarkerReach + 1, 2 * PointMarkerReach + 1)); // centred on p
}

void TLumMapControl::SetPointMarker(const TGeoPoint &P) {
  QRegion dirty(PointMarkerRect());
  FPointMarker = P;
  dirty += PointMarkerRect();
  if (!dirty.isEmpty()) viewport()->update(dirty);
}

void TLumMapControl::DrawReplay(QPainter &Canvas) {
  if (const QRect r = PointMarkerRect(); !r.isEmpty()) {
    Canvas.save();
    Canvas.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c = QRectF(r).center();
    Canvas.setBrush(Qt::NoBrush);
    Canvas.setPen(QPen(Qt::white, 5));
    Canvas.drawEllipse(c, PointMarkerReach - 3, PointMarkerReach - 3);
    Canvas.setPen(QPen(PointMarkerColor, 3));
    Canvas.drawEllipse(c, PointMarkerReach - 3, PointMarkerReach - 3);
    Canvas.restore();
  }
  if (!FReplayMarker.Visible) return;
  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  const QRect view(QPoint(0, 0), viewport()->size());
  // The stops passed so far, with their lengths.
  const int passed = std::min(FReplayMarker.PassedStops, int(FReplayStops.size()));
  Canvas.setFont(font());
  for (int i = 0; i < passed; ++i) {
    const QRect r = StopLabelRect(i);
    if (r.isEmpty() || !r.intersects(view)) continue;
    Canvas.setPen(QPen(QColor(0, 0, 0xFF), 1));
    Canvas.setBrush(QColor(255, 255, 255, 230));
    Canvas.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    Canvas.setPen(QColor(0, 0, 0xA0));
    Canvas.drawText(r, Qt::AlignCenter, QString::fromStdString(FReplayStops[std::size_t(i)].Text));
  }
  const QRect m = ReplayMarkerRect();
  if (!m.isEmpty()) {
    const QPointF c = m.center();
    Canvas.setPen(QPen(Qt::white, 2));
    Canvas.setBrush(ReplayMarkerColor);
    Canvas.drawEllipse(c, 11, 11);
    if (std::isfinite(FReplayMarker.Heading)) {
      // An arrow along the heading, inside the disc.
      Canvas.translate(c);
      Canvas.rotate(FReplayMarker.Heading);
      const QPointF arrow[4] = {{0, -8}, {6, 6}, {0, 2}, {-6, 6}};
      Canvas.setPen(Qt::NoPen);
      Canvas.setBrush(Qt::white);
      Canvas.drawPolygon(arrow, 4);
    } else {
      Canvas.setPen(Qt::NoPen);
      Canvas.setBrush(Qt::white);
      Canvas.drawEllipse(c, 3, 3);
    }
  }
  Canvas.restore();
}

TZoneInfo *TLumMapControl::FindEditedZone() const {
  if (!FGeoZones) return nullptr;
  TZoneInfo *edited = nullptr;
  for (auto &z : *FGeoZones)
    if (z && z->visible && z->edited) edited = z.get();
  return edited;
}

int TLumMapControl::CircleRadiusPixels(const TZoneInfo &Zi) const {
  const double lat = Zi.geom.center.Lat * std::numbers::pi / 180;
  const double r = Zi.geom.radius / TileMetersPerPixelOnEquator[std::max(Zoom(), 0)] / std::cos(lat);
  if (!std::isfinite(r) || r < 0) return 0;
  return int(std::min(r, 1e8));
}

void TLumMapControl::DrawZone(QPainter &Canvas, const TZoneInfo &Zi, const QPoint &Origin,
                              bool Edited) {
  const auto toView = [&](const TGeoPoint &g) { return GeoCoordsToMap(g) - Origin; };
  const bool polygon = Zi.type_id == kZonePolygon;
  if (polygon) {
    if (Zi.geom.nodes.size() < 3) return; // not a zone yet
    for (const auto &n : Zi.geom.nodes)
      if (!HasPoint(n)) return;
  }
  // Cheap culling by the bounding rectangle: a zone far away costs nothing.
  if (Zi.HasRect()) {
    const QPoint a = toView(Zi.rect.TopLeft), b = toView(Zi.rect.BottomRight);
    const QRect bounds = QRect(a, b).normalized().adjusted(-8, -8, 8, 8);
    if (!bounds.intersects(QRect(QPoint(0, 0), viewport()->size()))) return;
  }
  const QColor color = MapColor(Zi.color);
  Canvas.setPen(QPen(color, Edited ? 6 : 3));
  Canvas.setBrush(Qt::NoBrush);
  const bool hasCenter = Zi.geom.HasCenter();
  const QPoint c = hasCenter ? toView(Zi.geom.center) : QPoint();
  if (hasCenter && Edited) Canvas.drawEllipse(QPointF(c), 3, 3);
  if (Zi.type_id == kZoneCircle && hasCenter && !std::isnan(Zi.geom.radius)) {
    const int r = CircleRadiusPixels(Zi);
    Canvas.drawEllipse(QPointF(c), r, r);
  } else if (polygon) {
    QPolygon poly;
    for (const auto &n : Zi.geom.nodes) poly << toView(n);
    Canvas.drawPolygon(poly);
    if (Edited)
      for (const QPoint &p : poly) Canvas.drawEllipse(QPointF(p), 3, 3);
  }
  if (hasCenter && !Zi.name.empty()) {
    // The name in the zone's colour on a white halo, readable over any tile.
    const QString name = QString::fromStdString(Zi.name);
    QFont f = font();
    f.setBold(true);
    const QFontMetrics fm(f);
    QPainterPath text;
    text.addText(c.x() - fm.horizontalAdvance(name) / 2.0, c.y() - (Edited ? 8 : 0), f, name);
    Canvas.setPen(QPen(QColor(255, 255, 255, 220), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    Canvas.drawPath(text);
    Canvas.fillPath(text, color);
  }
}

void TLumMapControl::DrawGeoZones(QPainter &Canvas, const TRect &MapRect) {
  FEditedZone = nullptr;
  if (!FGeoZones || Zoom() < 0) return;
  FEditedZone = FindEditedZone();
  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  const QPoint origin(MapRect.Left, MapRect.Top);
  for (auto &z : *FGeoZones)
    if (z && z->visible) DrawZone(Canvas, *z, origin, z.get() == FEditedZone);
  Canvas.restore();
}

int TLumMapControl::PosInZone(const QPoint &Pos, const TZoneInfo *Zi) {
  if (!Zi || !Zi->geom.HasCenter()) return pzNone;
  int code = pzNone;
  try {
    const QPoint c = GeoPointToInnerPoint(Zi->geom.center);
    if (Near(Pos, c)) return pzCenter;
    if (Zi->type_id == kZoneCircle) {
      if (std::isnan(Zi->geom.radius)) return pzNone;
      const int r = CircleRadiusPixels(*Zi);
      const int d = int(Length(QPointF(Pos - c)));
      if (Near(r, d)) return pzCircleEdge;
      if (d < r) return pzInside;
      return pzNone;
    }
    if (Zi->type_id != kZonePolygon) return pzNone;
    const auto &nodes = Zi->geom.nodes;
    if (nodes.size() < 3) return pzNone;
    const std::size_t n = std::min(nodes.size(), MaxEditableNodes);
    std::vector<QPoint> v(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) v[i] = GeoPointToInnerPoint(nodes[i]);
    for (std::size_t i = 0; i < n; ++i)
      if (Near(Pos, v[i])) return pzNode + int(i);
    for (std::size_t j = 0; j < n; ++j) {
      const QPoint a = v[j], b = v[j == 0 ? nodes.size() - 1 : j - 1];
      if (!Near(a, b)) {
        const double slack =
            Length(QPointF(a - b)) - Length(QPointF(Pos - a)) - Length(QPointF(Pos - b));
        if (std::fabs(slack) < 0.1) return pzEdge + int(j);
      } else if (Near(Pos, a)) {
        return pzEdge + int(j);
      }
    }
    if (Zi->HasRect()) {
      const QPoint tl = GeoPointToInnerPoint(Zi->rect.TopLeft);
      const QPoint br = GeoPointToInnerPoint(Zi->rect.BottomRight);
      if (tl.x() < Pos.x() && Pos.x() < br.x() && tl.y() < Pos.y() && Pos.y() < br.y())
        return pzInside;
    }
  } catch (const std::exception &e) {
    Log("\rX: " + std::string(e.what()));
  }
  return code;
}

} // namespace kelvra
