#include "ui/map/ClusterPainter.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace kelvra {

namespace {
// Room around the badge for its halo.
constexpr int BadgeHalo = 4;
// A marker's picture reaches this far from its point (the 48 x 60 pin above it).
constexpr int MarkerReach = 64;
} // namespace

std::vector<QImage> MakeMarkerImages(qreal Dpr) {
  std::vector<QImage> images;
  for (int kind = 0; kind < 2; ++kind) {
    QImage img(qRound(MarkerWidth * Dpr), qRound(MarkerHeight * Dpr),
               QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(Dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(MarkerWidth / 2.0, MarkerWidth / 2.0);
    const double r = MarkerWidth / 2.0 - 1;
    QPainterPath pin;
    pin.addEllipse(c, r, r);
    QPainterPath tip;
    const double tipY = MarkerHeight - 4;
    tip.moveTo(c.x() - r * 0.62, c.y() + r * 0.78);
    tip.lineTo(c.x(), tipY);
    tip.lineTo(c.x() + r * 0.62, c.y() + r * 0.78);
    tip.closeSubpath();
    pin = pin.united(tip);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0x1E, 0x63, 0xC8));
    p.drawPath(pin);
    if (kind == 0) {
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawEllipse(c, 8, 8);
    } else {
      // The window: cleared to transparent, with a white rim over the photo's edge.
      p.setCompositionMode(QPainter::CompositionMode_Clear);
      p.setPen(Qt::NoPen);
      p.drawEllipse(c, r - 5, r - 5);
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      p.setPen(QPen(Qt::white, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(c, r - 5, r - 5);
    }
    images.push_back(std::move(img));
  }
  return images;
}

QColor MarkerStateColor(TMarkerState State) {
  switch (State) {
  case msAlarm: return QColor(0xD3, 0x2F, 0x2F);
  case msSilent: return QColor(0x75, 0x75, 0x75);
  case msNormal:
  default: return QColor(0x1E, 0x63, 0xC8); // the pin's own blue
  }
}

int TClusterPainter::BadgeRadius(int Count) {
  if (Count < 10) return 15;
  if (Count < 100) return 17;
  if (Count < 1000) return 20;
  return 23;
}

TClusterGeometry TClusterPainter::Geometry() {
  TClusterGeometry g;
  g.PinHalfWidth = MarkerWidth / 2;
  g.PinAbove = MarkerHeight - 4; // the point is 4 pixels above the pin's bottom
  g.PinBelow = 4;
  g.BadgeReach = BadgeRadius(1000) + BadgeHalo;
  return g;
}

void TClusterPainter::DrawBadge(QPainter &Canvas, const QPoint &Centre, int Count,
                                TMarkerState State) {
  const qreal dpr = Canvas.device() ? Canvas.device()->devicePixelRatioF() : 1.0;
  const int r = BadgeRadius(Count);
  const int side = 2 * (r + BadgeHalo);
  auto key = std::make_tuple(Count, int(State), dpr);
  auto it = fBadges.find(key);
  if (it == fBadges.end()) {
    // Counts of a fleet are many; a careless caller must not grow this without end.
    if (fBadges.size() > 2048) fBadges.clear();
    QImage img(qRound(side * dpr), qRound(side * dpr), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const QPointF c(side / 2.0, side / 2.0);
    const QColor fill = MarkerStateColor(State);
    QColor halo = fill;
    halo.setAlpha(90);
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(c, r + BadgeHalo - 0.5, r + BadgeHalo - 0.5);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(fill);
    p.drawEllipse(c, r - 1.0, r - 1.0);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(Count < 1000 ? 13 : 11);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, side, side), Qt::AlignCenter, QString::number(Count));
    p.end();
    it = fBadges.emplace(key, std::move(img)).first;
  }
  Canvas.drawImage(Centre - QPoint(side / 2, side / 2), it->second);
}

const QImage &TClusterPainter::Pin(qreal Dpr) {
  if (fPin.isNull() || fPin.devicePixelRatio() != Dpr) fPin = MakeMarkerImages(Dpr)[0];
  return fPin;
}

void PaintClusters(QPainter &Canvas, const TMarkerClusterer &Clusterer, TClusterPainter &Painter,
                   std::span<const TClusterMarker> Markers, const QPoint &ViewTopLeft,
                   const QSize &ViewSize, bool FanOut, const TDrawMarker &DrawMarker) {
  const QRect view(QPoint(0, 0), ViewSize);
  const QRect markerArea = view.adjusted(-MarkerReach, -MarkerReach, MarkerReach, MarkerReach);
  const auto &clusters = Clusterer.Clusters();
  for (int c = 0; c < int(clusters.size()); ++c) {
    const TMarkerCluster &cl = clusters[std::size_t(c)];
    const QPoint centre = QPoint(cl.X, cl.Y) - ViewTopLeft;
    if (cl.Count == 1) {
      const int m = Clusterer.Members(c)[0];
      const QPoint at = QPoint(Markers[std::size_t(m)].X, Markers[std::size_t(m)].Y) - ViewTopLeft;
      if (markerArea.contains(at)) DrawMarker(m, at);
      continue;
    }
    if (!FanOut) {
      const int r = TClusterPainter::BadgeRadius(cl.Count) + BadgeHalo;
      if (view.adjusted(-r, -r, r, r).contains(centre))
        Painter.DrawBadge(Canvas, centre, cl.Count, cl.State);
      continue;
    }
    const auto members = Clusterer.Members(c);
    const auto offsets = FanOutOffsets(int(members.size()), FanOutSpacing);
    int reach = 0;
    for (const auto &o : offsets) reach = std::max({reach, std::abs(o.first), std::abs(o.second)});
    if (!markerArea.adjusted(-reach, -reach, reach, reach).contains(centre)) continue;
    // Spokes from the true place to each member, then the members on top.
    Canvas.save();
    Canvas.setRenderHint(QPainter::Antialiasing, true);
    Canvas.setPen(QPen(QColor(60, 60, 60, 160), 1.5));
    for (const auto &o : offsets) Canvas.drawLine(centre, centre + QPoint(o.first, o.second));
    Canvas.setPen(QPen(Qt::white, 1.5));
    Canvas.setBrush(MarkerStateColor(cl.State));
    Canvas.drawEllipse(QPointF(centre), 4, 4);
    Canvas.restore();
    for (std::size_t i = 0; i < members.size(); ++i)
      DrawMarker(members[i], centre + QPoint(offsets[i].first, offsets[i].second));
  }
}

void PaintFleet(QPainter &Canvas, TMarkerClusterer &Clusterer, TClusterPainter &Painter,
                std::span<const TClusterMarker> Markers, const QPoint &ViewTopLeft,
                const QSize &ViewSize, bool FanOut) {
  Clusterer.Build(Markers);
  const qreal dpr = Canvas.device() ? Canvas.device()->devicePixelRatioF() : 1.0;
  const QImage &pin = Painter.Pin(dpr);
  const QSize pinSize = pin.deviceIndependentSize().toSize();
  PaintClusters(Canvas, Clusterer, Painter, Markers, ViewTopLeft, ViewSize, FanOut,
                [&](int, const QPoint &at) {
                  Canvas.drawImage(at - QPoint(pinSize.width() / 2, pinSize.height() - 4), pin);
                });
}

} // namespace kelvra
