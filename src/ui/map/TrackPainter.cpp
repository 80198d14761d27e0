#include "ui/map/TrackPainter.h"

#include "core/tracks/SpeedScale.h"
#include "ui/map/MapControl.h"

#include <QPainter>
#include <QPolygonF>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <numbers>
#include <vector>

namespace kelvra {

namespace {
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

namespace {
constexpr std::uint64_t HashPrime = 1099511628211ull;
// Marks a point without coordinates in a projection (no map position, no MapPoint).
const QPoint NoPos(std::numeric_limits<int>::min(), std::numeric_limits<int>::min());

inline void Mix(std::uint64_t &Hash, std::uint64_t Value) { Hash = (Hash ^ Value) * HashPrime; }

// What the glyphs and the line are made of besides the points.
std::uint64_t StyleKey(const TGeoTrackStyle &Style) {
  std::uint64_t hash = 1469598103934665603ull;
  for (const std::uint64_t v :
       {std::uint64_t(Style.PointSize), std::uint64_t(Style.LineWidth), std::uint64_t(Style.PointColor),
        std::uint64_t(Style.PointBgColor), std::uint64_t(Style.PointWifiColor),
        std::uint64_t(Style.PointWifiBgColor), std::uint64_t(Style.LineColor),
        std::uint64_t(Style.HighlightColor)})
    Mix(hash, v);
  return hash;
}

// Who wrote the points' MapPoint last, per track revision (a revision names one track's points
// for good): any painter, any zoom. A projection that wrote them last, for the same view, need
// not write them again. Painting is the UI thread's alone.
std::uint64_t gMapPointWrites = 0;
std::map<std::uint64_t, std::uint64_t> gLastMapPointWrite; // revision -> write

std::uint64_t NoteMapPointWrite(std::uint64_t Revision) {
  // Tracks come and go; a forgotten entry costs one more writing of the positions.
  if (gLastMapPointWrite.size() > 256) gLastMapPointWrite.clear();
  return gLastMapPointWrite[Revision] = ++gMapPointWrites;
}
} // namespace

TTrackPainter::TProjection &TTrackPainter::Projected(const TGeoTrack &Track, TMapZoomLevel Zoom,
                                                     const QPoint *WriteTopLeft) {
  const auto &pts = Track.Points();
  const std::uint64_t revision = Track.Revision(), style = StyleKey(Track.Style());
  auto found = fProjections.end();
  for (auto it = fProjections.begin(); it != fProjections.end(); ++it)
    if (it->Zoom == Zoom && it->Revision == revision && it->Style == style &&
        it->Pos.size() == pts.size())
      found = it;
  if (found != fProjections.end()) {
    std::rotate(found, found + 1, fProjections.end());
  } else {
    // A few tracks are on the map at once; more are repainted rarely.
    if (fProjections.size() >= 8) fProjections.erase(fProjections.begin());
    TProjection proj;
    proj.Zoom = Zoom;
    proj.Revision = revision;
    proj.Style = style;
    ++fProjectionsMade;
    proj.Pos.reserve(pts.size());
    for (const auto &p : pts) proj.Pos.push_back(p->HasLatLon() ? TrackPointMapPos(*p, Zoom) : NoPos);
    fProjections.push_back(std::move(proj));
  }
  TProjection &proj = fProjections.back();
  if (!WriteTopLeft) return proj;
  const auto last = gLastMapPointWrite.find(revision);
  if (proj.Written != 0 && proj.WrittenTopLeft == *WriteTopLeft &&
      last != gLastMapPointWrite.end() && last->second == proj.Written)
    return proj; // the points still hold this view's positions
  for (std::size_t i = 0; i < pts.size(); ++i)
    if (proj.Pos[i] != NoPos) {
      const QPoint v = proj.Pos[i] - *WriteTopLeft;
      pts[i]->MapPoint = TScreenPoint{v.x(), v.y()};
    }
  proj.Written = NoteMapPointWrite(revision);
  proj.WrittenTopLeft = *WriteTopLeft;
  return proj;
}

namespace {
// Vertices per chunk of the cached line: a chunk outside the view is skipped
// whole, so a closer zoom pays for what it shows.
constexpr std::uint32_t CachedChunk = 64;
} // namespace

void TTrackPainter::BuildGeometry(TProjection &Proj, const TGeoTrack &Track) {
  const TGeoTrackStyle &style = Track.Style();
  const auto &pts = Track.Points();
  const std::vector<QPoint> &mapPos = Proj.Pos;
  const int reach = std::max(1, style.LineWidth) + 2;
  Proj.LinePts.clear();
  Proj.Chunks.clear();
  Proj.Glyphs.clear();
  Proj.Spots.clear();
  Proj.GeometrySpeedColors = fSpeedColors;

  // Line: the thinned polyline in map pixels, in chunks of one colour class.
  auto segment = [&](const QPoint &from, const QPoint &to, int cls) {
    TLineChunk *c = Proj.Chunks.empty() ? nullptr : &Proj.Chunks.back();
    if (!c || c->Class != cls || c->Count >= CachedChunk ||
        Proj.LinePts.back() != from) {
      Proj.Chunks.push_back(TLineChunk{QRect(from, from), std::uint32_t(Proj.LinePts.size()), 1, cls});
      Proj.LinePts.push_back(from);
      c = &Proj.Chunks.back();
    }
    Proj.LinePts.push_back(to);
    ++c->Count;
    c->Box |= QRect(to, to);
  };
  TLineThinner thinner(segment);
  const bool fillClasses = fSpeedColors && Proj.Classes.size() != mapPos.size();
  if (fillClasses) Proj.Classes.assign(mapPos.size(), 0);
  const TTrackPointInfo *lastConnected = nullptr;
  for (std::size_t i = 0; i < mapPos.size(); ++i) {
    const TTrackPointInfo &pt = *pts[i];
    if (mapPos[i] == NoPos) continue;
    if (lastConnected && lastConnected->IsParking && pt.IsParking) continue;
    int cls = 0;
    if (fSpeedColors && lastConnected) {
      if (fillClasses) Proj.Classes[i] = std::int8_t(1 + SpeedClass(SegmentSpeed(*lastConnected, pt)));
      cls = Proj.Classes[i];
    }
    thinner.Add(mapPos[i], cls);
    lastConnected = &pt;
  }
  thinner.Finish();
  for (TLineChunk &c : Proj.Chunks) c.Box.adjust(-reach, -reach, reach, reach);

  // Glyphs in drawing order: parking stops and events go on top of the plain
  // points around them, which would otherwise cover them. A plain point's
  // disc is hidden under the next one's when both stand on the same pixel,
  // as most do on a zoomed-out day: only the last is drawn.
  const int h = style.PointSize / 2;
  std::map<TTrackGlyph, std::uint32_t> index;
  auto spot = [&](const TTrackGlyph &glyph, const QPoint &topLeft) {
    if (glyph.Kind == TTrackGlyph::gkNone || glyph.Size <= 0) return;
    auto [it, added] = index.emplace(glyph, std::uint32_t(Proj.Glyphs.size()));
    if (added) Proj.Glyphs.push_back(glyph);
    Proj.Spots.push_back(TGlyphSpot{topLeft, it->second});
  };
  for (const bool special : {false, true}) {
    const TTrackPointInfo *held = nullptr;
    QPoint heldAt;
    bool inParkingRun = false;
    for (std::size_t i = 0; i < mapPos.size(); ++i) {
      const TTrackPointInfo &pt = *pts[i];
      if (mapPos[i] == NoPos) continue;
      const bool first = pt.IsParking && !inParkingRun;
      if (pt.IsParking) inParkingRun = true;
      else if (!pt.HasEvent) inParkingRun = false;
      if ((pt.IsParking || pt.HasEvent) != special) continue;
      const QPoint topLeft = mapPos[i] - QPoint(h, h);
      if (special) {
        spot(TrackPointGlyph(pt, style, first), topLeft);
        continue;
      }
      if (held && heldAt != topLeft) spot(TrackPointGlyph(*held, style, false), heldAt);
      held = &pt;
      heldAt = topLeft;
    }
    if (held) spot(TrackPointGlyph(*held, style, false), heldAt);
  }
  Proj.HasGeometry = true;
}

void TTrackPainter::PaintFast(QPainter &Canvas, const TGeoTrack &Track, TMapZoomLevel Zoom,
                              const QPoint &ViewTopLeft, const QSize &ViewSize) {
  TProjection &proj = Projected(Track, Zoom, &ViewTopLeft);
  if (!proj.HasGeometry || proj.GeometrySpeedColors != fSpeedColors) BuildGeometry(proj, Track);

  const TGeoTrackStyle &style = Track.Style();
  const QPen pen = LinePen(style);
  const int reach = std::max(1, style.LineWidth) + 2;
  // Only what the canvas lets through is looked at (a small repaint has a
  // small clip).
  QRect area(QPoint(0, 0), ViewSize);
  if (Canvas.hasClipping()) area &= Canvas.clipBoundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
  fLastArea = area;
  const QRect visible = area.adjusted(-reach, -reach, reach, reach);
  const QRect visibleMap = visible.translated(ViewTopLeft);
  const QRectF clipRect =
      QRectF(QPoint(0, 0), ViewSize).adjusted(-ClipReach, -ClipReach, ClipReach, ClipReach);

  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  Canvas.setPen(pen);
  Canvas.setBrush(Qt::NoBrush);

  std::vector<TStroke> strokes(fSpeedColors ? SpeedClassCount + 1 : 1);
  for (const TLineChunk &c : proj.Chunks) {
    TStroke &stroke = strokes[std::size_t(c.Class)];
    if (!c.Box.intersects(visibleMap)) {
      stroke.Open = false;
      continue;
    }
    const QPoint *v = proj.LinePts.data() + c.First;
    for (std::uint32_t k = 0; k + 1 < c.Count; ++k) {
      const QPoint from = v[k] - ViewTopLeft, to = v[k + 1] - ViewTopLeft;
      QPointF a(from), b(to);
      const bool far = !clipRect.contains(a) || !clipRect.contains(b);
      if (SegmentMayShow(from, to, visible) && (!far || ClipSegment(a, b, clipRect)))
        stroke.Add(a, b, b != QPointF(to)); // cut short: the next starts afresh
      else
        stroke.Open = false;
    }
  }
  const bool ownLine = TThickLine::Suits(Canvas);
  for (std::size_t c = 0; c < strokes.size(); ++c) {
    const TStroke &stroke = strokes[c];
    if (stroke.Pts.empty()) continue;
    QPen colored = pen;
    if (c > 0) colored.setColor(MapColor(SpeedClassColors[c - 1]));
    if (!ownLine) {
      Canvas.setPen(colored);
      stroke.Draw(Canvas);
      continue;
    }
    fLine.Begin(area, colored.widthF(), colored.color().rgba());
    for (std::size_t k = 0; k < stroke.Starts.size(); ++k) {
      const std::size_t to = k + 1 < stroke.Starts.size() ? stroke.Starts[k + 1] : stroke.Pts.size();
      for (std::size_t i = stroke.Starts[k]; i + 1 < to; ++i) fLine.Segment(stroke.Pts[i], stroke.Pts[i + 1]);
    }
    fLine.Flush(Canvas);
  }

  const int s = style.PointSize;
  const qreal dpr = Canvas.device() ? Canvas.device()->devicePixelRatioF() : 1.0;
  const QRect glyphArea = area.adjusted(-s - SpritePad, -s - SpritePad, SpritePad, SpritePad);
  std::vector<const QImage *> sprites(proj.Glyphs.size(), nullptr);
  for (const TGlyphSpot &g : proj.Spots) {
    const QPoint topLeft = g.TopLeft - ViewTopLeft;
    if (!glyphArea.contains(topLeft)) continue;
    const QImage *&sprite = sprites[g.Glyph];
    if (!sprite) sprite = &Sprite(proj.Glyphs[g.Glyph], dpr);
    Canvas.drawImage(topLeft - QPoint(SpritePad, SpritePad), *sprite);
  }
  Canvas.restore();
}

void TTrackPainter::Paint(QPainter &Canvas, const TGeoTrack &Track, TMapZoomLevel Zoom,
                          const QPoint &ViewTopLeft, const QSize &ViewSize, bool Fast) {
  if (Fast) {
    PaintFast(Canvas, Track, Zoom, ViewTopLeft, ViewSize);
    return;
  }
  // The reference: every segment and every glyph, nothing culled or cached
  // beyond the positions.
  const TGeoTrackStyle &style = Track.Style();
  const QPen pen = LinePen(style);

  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  Canvas.setPen(pen);
  Canvas.setBrush(Qt::NoBrush);

  // A run of parking points is one vertex: the line enters the run's first
  // point and leaves from it. Index 0: the style's line colour, 1 + class: a
  // speed class.
  std::vector<TStroke> strokes(fSpeedColors ? SpeedClassCount + 1 : 1);
  const TTrackPointInfo *lastConnected = nullptr;
  NoteMapPointWrite(Track.Revision()); // no projection holds these positions
  for (auto &ptr : Track.Points()) {
    TTrackPointInfo &pt = *ptr;
    if (!pt.HasLatLon()) continue;
    const QPoint v = TrackPointMapPos(pt, Zoom) - ViewTopLeft;
    pt.MapPoint = TScreenPoint{v.x(), v.y()};
    if (lastConnected && lastConnected->IsParking && pt.IsParking) continue;
    int cls = 0;
    if (fSpeedColors && lastConnected) cls = 1 + SpeedClass(SegmentSpeed(*lastConnected, pt));
    if (lastConnected)
      strokes[std::size_t(cls)].Add(QPointF(lastConnected->MapPoint.x, lastConnected->MapPoint.y),
                                    QPointF(v), false);
    lastConnected = &pt;
  }
  for (std::size_t c = 0; c < strokes.size(); ++c) {
    if (strokes[c].Pts.empty()) continue;
    QPen colored = pen;
    if (c > 0) colored.setColor(MapColor(SpeedClassColors[c - 1]));
    Canvas.setPen(colored);
    strokes[c].Draw(Canvas);
  }

  const int h = style.PointSize / 2;
  for (const bool special : {false, true}) {
    bool inParkingRun = false;
    for (auto &ptr : Track.Points()) {
      const TTrackPointInfo &pt = *ptr;
      if (!pt.HasLatLon()) continue;
      const bool first = pt.IsParking && !inParkingRun;
      if (pt.IsParking) inParkingRun = true;
      else if (!pt.HasEvent) inParkingRun = false;
      if ((pt.IsParking || pt.HasEvent) != special) continue;
      DrawTrackGlyph(Canvas, TrackPointGlyph(pt, style, first),
                     QPoint(pt.MapPoint.x - h, pt.MapPoint.y - h));
    }
  }
  Canvas.restore();
}

} // namespace kelvra
