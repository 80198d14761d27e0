#include "ui/map/TrackPainter.h"

#include "core/tracks/SpeedScale.h"
#include "ui/map/MapControl.h"

#include <QPainter>
#include <QPolygonF>
#include <QPen>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace kelvra {

namespace {
constexpr double MapEdgeLat = 85.0511287798;
// Room around a glyph's square for its outline.
constexpr int SpritePad = 3;
// Vertices per stroked chunk: the stroker's cost grows faster than the
// length of one path, short pieces keep it flat.
constexpr std::size_t LineChunk = 512;
// Segments far outside the view are cut to this distance, so that raster
// coordinates stay small at high zoom.
constexpr double ClipReach = 4096;
// How far the thinned line may pass from a dropped vertex, in pixels.
constexpr double ThinTolerance = 0.5;

QPen LinePen(const TGeoTrackStyle &Style) {
  QPen pen(MapColor(Style.LineColor), std::max(1, Style.LineWidth));
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// Liang-Barsky: cuts the segment to the rectangle; false when it misses it.
bool ClipSegment(QPointF &a, QPointF &b, const QRectF &r) {
  double t0 = 0, t1 = 1;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
    } else {
      const double t = q[i] / p[i];
      if (p[i] < 0) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
      if (t0 > t1) return false;
    }
  }
  const QPointF a0 = a;
  a = a0 + QPointF(dx * t0, dy * t0);
  b = a0 + QPointF(dx * t1, dy * t1);
  return true;
}

bool SegmentMayShow(const QPoint &a, const QPoint &b, const QRect &r) {
  return std::max(a.x(), b.x()) >= r.left() && std::min(a.x(), b.x()) <= r.right() &&
         std::max(a.y(), b.y()) >= r.top() && std::min(a.y(), b.y()) <= r.bottom();
}

// Drops vertices while the line through the kept ones stays within
// ThinTolerance pixels of every dropped one (a cone of directions from the
// last kept vertex narrows with each dropped vertex; one outside it, or one
// falling back behind the farthest dropped one, keeps the vertex before it).
// A zoomed-out day's track is mostly such vertices: the stroke then costs
// what the picture shows, not what the track holds.
//
// Each segment has a colour class; a class change keeps the vertex before it,
// unless everything dropped so far lies within the tolerance (a stretch under
// a pixel takes the latest class), so colours stay where they belong and a
// zoomed-out track still costs no more than its pixels.
class TLineThinner {
public:
  using TSegment = std::function<void(const QPoint &From, const QPoint &To, int Class)>;
  explicit TLineThinner(TSegment Segment) : fSegment(std::move(Segment)) {}

  // Class: of the segment from the previous vertex to V.
  void Add(const QPoint &V, int Class = 0) {
    if (!fHasStart) {
      fStart = V;
      fHasStart = true;
      return;
    }
    if (fHasPending && (!Fits(V) || (Class != fClass && fMaxDist > ThinTolerance))) {
      fSegment(fStart, fPending, fClass);
      fStart = fPending;
      fHasPending = false;
      fHasCone = false;
    }
    Narrow(V);
    fPending = V;
    fHasPending = true;
    fClass = Class;
  }
  void Finish() {
    if (fHasPending) fSegment(fStart, fPending, fClass);
    fHasPending = false;
  }

private:
  static double Wrap(double a) {
    while (a > std::numbers::pi) a -= 2 * std::numbers::pi;
    while (a < -std::numbers::pi) a += 2 * std::numbers::pi;
    return a;
  }
  // Whether V may stand for every vertex dropped since fStart.
  bool Fits(const QPoint &V) const {
    const double dx = V.x() - fStart.x(), dy = V.y() - fStart.y();
    const double d = std::hypot(dx, dy);
    if (d < fMaxDist - ThinTolerance) return false; // would cut short a dropped vertex
    if (!fHasCone) return d <= ThinTolerance;
    if (d <= ThinTolerance) return fMaxDist <= ThinTolerance;
    return std::fabs(Wrap(std::atan2(dy, dx) - fMid)) <= fHalf;
  }
  void Narrow(const QPoint &V) {
    const double dx = V.x() - fStart.x(), dy = V.y() - fStart.y();
    const double d = std::hypot(dx, dy);
    fMaxDist = fHasPending ? std::max(fMaxDist, d) : d;
    if (d <= ThinTolerance) return; // any line from fStart passes near it
    const double dir = std::atan2(dy, dx), half = std::asin(ThinTolerance / d);
    if (!fHasCone) {
      fMid = dir;
      fHalf = half;
      fHasCone = true;
      return;
    }
    const double m = fMid + Wrap(dir - fMid);
    const double lo = std::max(fMid - fHalf, m - half), hi = std::min(fMid + fHalf, m + half);
    fMid = (lo + hi) / 2;
    fHalf = std::max(0.0, (hi - lo) / 2);
  }

  TSegment fSegment;
  QPoint fStart, fPending;
  bool fHasStart = false, fHasPending = false, fHasCone = false;
  double fMid = 0, fHalf = 0, fMaxDist = 0;
  int fClass = 0;
};

// Polylines of one colour, stroked together at the end of the line pass.
struct TStroke {
  std::vector<QPointF> Pts;
  std::vector<std::size_t> Starts; // where each polyline begins in Pts
  bool Open = false;               // the last polyline may be continued
  void Add(const QPointF &A, const QPointF &B, bool Cut) {
    if (!Open || Pts.back() != A) {
      Starts.push_back(Pts.size());
      Pts.push_back(A);
    }
    Pts.push_back(B);
    Open = !Cut;
  }
  void Draw(QPainter &Canvas) const {
    for (std::size_t k = 0; k < Starts.size(); ++k) {
      const std::size_t from = Starts[k], to = k + 1 < Starts.size() ? Starts[k + 1] : Pts.size();
      for (std::size_t i = from; i + 1 < to; i += LineChunk - 1)
        Canvas.drawPolyline(Pts.data() + i, int(std::min(LineChunk, to - i)));
    }
  }
};
} // namespace

QPoint TrackPointMapPos(const TTrackPointInfo &Pt, TMapZoomLevel Zoom) {
  return QPoint(int(LongitudeToMapCoord(Zoom, std::clamp(Pt.lon, -180.0, 180.0))),
                int(LatitudeToMapCoord(Zoom, std::clamp(Pt.lat, -MapEdgeLat, MapEdgeLat))));
}

TTrackGlyph TrackPointGlyph(const TTrackPointInfo &Pt, const TGeoTrackStyle &Style,
                            bool FirstOfParkingRun) {
  TTrackGlyph g;
  g.Size = Style.PointSize;
  if (Pt.IsParking) {
    if (!FirstOfParkingRun) return g;
    g.Kind = TTrackGlyph::gkParking;
    g.Pen = Style.PointColor;
    g.Fill = 0xFF0000; // blue
    return g;
  }
  if (Pt.HasEvent) {
    g.Kind = TTrackGlyph::gkEvent;
    g.Pen = 0x0000FF; // red
    g.Fill = 0x0000FF;
    return g;
  }
  g.Kind = TTrackGlyph::gkPoint;
  const bool wifi = Pt.src > 0;
  g.Pen = wifi ? Style.PointWifiColor : Style.PointColor;
  g.Fill = !Pt.osm_id.empty() ? Style.HighlightColor
           : wifi             ? Style.PointWifiBgColor
                              : Style.PointBgColor;
  if (Pt.HasBearing()) {
    const int s = Style.PointSize, h = s / 2, r = h / 2, q = s / 4;
    const double a = Pt.angle * std::numbers::pi / 180;
    g.Arrow = true;
    g.Dx = int(std::lround(std::sin(a) * r));
    g.Dy = int(std::lround(std::cos(a) * r));
    const double b1 = a - std::numbers::pi / 4, b2 = a + std::numbers::pi / 4;
    g.B1x = -int(std::lround(std::sin(b1) * q));
    g.B1y = int(std::lround(std::cos(b1) * q));
    g.B2x = -int(std::lround(std::sin(b2) * q));
    g.B2y = int(std::lround(std::cos(b2) * q));
  }
  return g;
}

void DrawTrackGlyph(QPainter &Canvas, const TTrackGlyph &G, const QPoint &TopLeft) {
  if (G.Kind == TTrackGlyph::gkNone || G.Size <= 0) return;
  const int s = G.Size, h = s / 2;
  const int left = TopLeft.x(), top = TopLeft.y(), right = left + s, bottom = top + s;
  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  switch (G.Kind) {
  case TTrackGlyph::gkParking: {
    Canvas.setPen(QPen(MapColor(G.Pen), 2));
    Canvas.setBrush(MapColor(G.Fill));
    Canvas.drawRect(QRect(left, top, s, s));
    QPen white(Qt::white, 2);
    white.setJoinStyle(Qt::MiterJoin);
    Canvas.setPen(white);
    const QPoint p[7] = {{left + 5, bottom - 4},  {left + 5, top + 4},      {right - 6, top + 4},
                         {right - 5, top + 5},    {right - 5, top + h},     {right - 6, top + h + 1},
                         {left + 5, top + h + 1}};
    Canvas.drawPolyline(p, 7);
    break;
  }
  case TTrackGlyph::gkEvent: {
    Canvas.setPen(QPen(MapColor(G.Pen), 1));
    Canvas.setBrush(MapColor(G.Fill));
    const QPoint t[3] = {{left, bottom}, {right, bottom}, {left + h, top}};
    Canvas.drawPolygon(t, 3);
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    Canvas.fillRect(QRect(QPoint(left + h - 1, top + 6), QPoint(left + h + 2, bottom - 5))
                        .adjusted(0, 0, -1, -1),
                    Qt::white);
    Canvas.fillRect(QRect(QPoint(left + h - 1, bottom - 3), QPoint(left + h + 2, bottom - 1))
                        .adjusted(0, 0, -1, -1),
                    Qt::white);
    break;
  }
  case TTrackGlyph::gkPoint: {
    const QColor pen = MapColor(G.Pen);
    Canvas.setPen(QPen(pen, 2));
    Canvas.setBrush(MapColor(G.Fill));
    Canvas.drawEllipse(QRectF(left, top, s, s));
    if (G.Arrow) {
      const QPoint c(left + h, top + h);
      const QPoint head = c + QPoint(G.Dx, -G.Dy);
      QPen arrow(pen, 2);
      arrow.setCapStyle(Qt::RoundCap);
      Canvas.setPen(arrow);
      Canvas.drawLine(c + QPoint(-G.Dx, G.Dy), head);
      Canvas.drawLine(head, head + QPoint(G.B1x, G.B1y));
      Canvas.drawLine(head, head + QPoint(G.B2x, G.B2y));
    }
    break;
  }
  default: break;
  }
  Canvas.restore();
}

const QImage &TTrackPainter::Sprite(const TTrackGlyph &Glyph, qreal Dpr) {
  const TSpriteKey key{Glyph, Dpr};
  auto it = fSprites.find(key);
  if (it != fSprites.end()) return it->second;
  const int side = Glyph.Size + 2 * SpritePad;
  QImage img(qRound(side * Dpr), qRound(side * Dpr), QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(Dpr);
  img.fill(Qt::transparent);
  {
    QPainter p(&img);
    DrawTrackGlyph(p, Glyph, QPoint(SpritePad, SpritePad));
  }
  // Styles are few, but a careless caller must not grow this without end.
  if (fSprites.size() > 4096) fSprites.clear();
  return fSprites.emplace(key, std::move(img)).first->second;
}

TTrackPainter::TProjection &TTrackPainter::Projected(const TGeoTrack &Track, TMapZoomLevel Zoom) {
  const auto &pts = Track.Points();
  std::uint64_t hash = 1469598103934665603ull ^ pts.size();
  for (const auto &p : pts) {
    hash = (hash ^ std::bit_cast<std::uint64_t>(p->lat)) * 1099511628211ull;
    hash = (hash ^ std::bit_cast<std::uint64_t>(p->lon)) * 1099511628211ull;
    // What the speed colours are made of.
    hash = (hash ^ std::bit_cast<std::uint64_t>(p->speed) ^ std::uint64_t(p->IsParking)) *
           1099511628211ull;
    hash = (hash ^ std::bit_cast<std::uint64_t>(p->obj_dt)) * 1099511628211ull;
  }
  for (auto it = fProjections.begin(); it != fProjections.end(); ++it)
    if (it->Zoom == Zoom && it->Hash == hash && it->Pos.size() == pts.size()) {
      std::rotate(it, it + 1, fProjections.end());
      return fProjections.back();
    }
  // A few tracks are on the map at once; more are repainted rarely.
  if (fProjections.size() >= 8) fProjections.erase(fProjections.begin());
  TProjection proj{Zoom, hash, {}};
  proj.Pos.reserve(pts.size());
  for (const auto &p : pts) proj.Pos.push_back(p->HasLatLon() ? TrackPointMapPos(*p, Zoom) : QPoint());
  fProjections.push_back(std::move(proj));
  return fProjections.back();
}

void TTrackPainter::Paint(QPainter &Canvas, TGeoTrack &Track, TMapZoomLevel Zoom,
                          const QPoint &ViewTopLeft, const QSize &ViewSize, bool Fast) {
  const TGeoTrackStyle &style = Track.Style();
  const QPen pen = LinePen(style);
  const int reach = std::max(1, style.LineWidth) + 2;
  const QRect visible = QRect(QPoint(0, 0), ViewSize).adjusted(-reach, -reach, reach, reach);
  const QRectF clipRect =
      QRectF(QPoint(0, 0), ViewSize).adjusted(-ClipReach, -ClipReach, ClipReach, ClipReach);

  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  Canvas.setPen(pen);
  Canvas.setBrush(Qt::NoBrush);

  // Line pass. A run of parking points is one vertex: the line enters the
  // run's first point and leaves from it. Segments are gathered by colour
  // (index 0: the style's line colour, 1 + class: a speed class) and each
  // colour is stroked at once.
  std::vector<TStroke> strokes(fSpeedColors ? SpeedClassCount + 1 : 1);
  // One segment between two vertices the thinner kept: culled, cut when far.
  auto segment = [&](const QPoint &from, const QPoint &to, int cls) {
    QPointF a(from), b(to);
    const bool far = !clipRect.contains(a) || !clipRect.contains(b);
    if (SegmentMayShow(from, to, visible) && (!far || ClipSegment(a, b, clipRect)))
      strokes[std::size_t(cls)].Add(a, b, b != QPointF(to)); // cut short: the next starts afresh
    else
      strokes[std::size_t(cls)].Open = false;
  };
  TLineThinner thinner(segment);
  const TTrackPointInfo *lastConnected = nullptr;
  TProjection &proj = Projected(Track, Zoom);
  const std::vector<QPoint> &mapPos = proj.Pos;
  // Speed classes of the segments ending at each point, kept with the projection.
  const bool fillClasses = fSpeedColors && proj.Classes.size() != mapPos.size();
  if (fillClasses) proj.Classes.assign(mapPos.size(), 0);
  for (std::size_t i = 0; i < mapPos.size(); ++i) {
    TTrackPointInfo &pt = *Track.Points()[i];
    if (!pt.HasLatLon()) continue;
    const QPoint v = mapPos[i] - ViewTopLeft;
    pt.MapPoint = TScreenPoint{v.x(), v.y()};
    if (lastConnected && lastConnected->IsParking && pt.IsParking) continue;
    int cls = 0;
    if (fSpeedColors && lastConnected) {
      if (fillClasses)
        proj.Classes[i] = std::int8_t(1 + SpeedClass(SegmentSpeed(*lastConnected, pt)));
      cls = proj.Classes[i];
    }
    if (Fast) {
      thinner.Add(v, cls);
    } else if (lastConnected) {
      strokes[std::size_t(cls)].Add(QPointF(lastConnected->MapPoint.x, lastConnected->MapPoint.y),
                                    QPointF(v), false);
    }
    lastConnected = &pt;
  }
  if (Fast) thinner.Finish();
  for (std::size_t c = 0; c < strokes.size(); ++c) {
    if (strokes[c].Pts.empty()) continue;
    QPen colored = pen;
    if (c > 0) colored.setColor(MapColor(SpeedClassColors[c - 1]));
    Canvas.setPen(colored);
    strokes[c].Draw(Canvas);
  }

  // Glyph pass.
  const int s = style.PointSize, h = s / 2;
  const qreal dpr = Canvas.device() ? Canvas.device()->devicePixelRatioF() : 1.0;
  const QRect glyphArea = QRect(QPoint(0, 0), ViewSize).adjusted(-s - SpritePad, -s - SpritePad,
                                                                  SpritePad, SpritePad);
  // Parking stops and events are what a dispatcher looks for: they go on
  // top of the plain points around them, which would otherwise cover them.
  auto draw = [&](const TTrackGlyph &glyph, const QPoint &topLeft) {
    if (Fast)
      Canvas.drawImage(topLeft - QPoint(SpritePad, SpritePad), Sprite(glyph, dpr));
    else
      DrawTrackGlyph(Canvas, glyph, topLeft);
  };
  for (const bool special : {false, true}) {
    // A plain point's disc is hidden under the next one's when both stand on
    // the same pixel, as most do on a zoomed-out day: only the last is drawn,
    // and only its glyph is made (a plain point always has one).
    const TTrackPointInfo *held = nullptr;
    QPoint heldAt;
    bool inParkingRun = false;
    for (auto &ptr : Track.Points()) {
      const TTrackPointInfo &pt = *ptr;
      if (!pt.HasLatLon()) continue;
      const bool first = pt.IsParking && !inParkingRun;
      if (pt.IsParking) inParkingRun = true;
      else if (!pt.HasEvent) inParkingRun = false;
      if ((pt.IsParking || pt.HasEvent) != special) continue;
      const QPoint topLeft(pt.MapPoint.x - h, pt.MapPoint.y - h);
      if (Fast && !glyphArea.contains(topLeft)) continue;
      if (!Fast || special) {
        const TTrackGlyph glyph = TrackPointGlyph(pt, style, first);
        if (glyph.Kind != TTrackGlyph::gkNone) draw(glyph, topLeft);
        continue;
      }
      if (held && heldAt != topLeft) draw(TrackPointGlyph(*held, style, false), heldAt);
      held = &pt;
      heldAt = topLeft;
    }
    if (held) draw(TrackPointGlyph(*held, style, false), heldAt);
  }
  Canvas.restore();
}

} // namespace kelvra
