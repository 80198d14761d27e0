#pragma once
// Paints a track (its line and its point glyphs) and writes every point's
// MapPoint (the point's own record of where the map drew it, written through
// the const track). A day's track can hold 100,000 points and the map repaints it on
// every drag step, so the fast way keeps per zoom the line thinned to what a
// pixel shows (in chunks with boxes) and the glyphs that are not hidden on the
// same pixel, culls both to the view and its clip, draws the wide line by
// coverage (ThickLine.h) and blits the glyphs from sprites rendered once. The
// plain way draws every segment and glyph directly; both give the same picture.
#include "core/map/SlippyMapUtils.h"
#include "core/tracks/GeoTrack.h"
#include "ui/map/ThickLine.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

class QPainter;

namespace kelvra {

// Which glyph a point gets; the sprite key.
struct TTrackGlyph {
  enum TKind : int { gkNone, gkParking, gkEvent, gkPoint };
  int Kind = gkNone;
  int Size = 0;
  std::uint32_t Pen = 0;
  std::uint32_t Fill = 0;
  bool Arrow = false;
  int Dx = 0, Dy = 0;           // arrow shaft: from P + (-Dx, +Dy) to the head P + (Dx, -Dy)
  int B1x = 0, B1y = 0;         // barb ends relative to the head
  int B2x = 0, B2y = 0;

  auto Key() const { return std::tie(Kind, Size, Pen, Fill, Arrow, Dx, Dy, B1x, B1y, B2x, B2y); }
  bool operator<(const TTrackGlyph &o) const { return Key() < o.Key(); }
};

// The glyph of a point of a track with this style. FirstOfParkingRun tells
// whether a parking point opens its run (only those get the "P").
TTrackGlyph TrackPointGlyph(const TTrackPointInfo &Pt, const TGeoTrackStyle &Style,
                            bool FirstOfParkingRun);
// Draws a glyph whose s x s square has its top-left at TopLeft (logical
// pixels); the point itself is at TopLeft + (s div 2, s div 2).
void DrawTrackGlyph(QPainter &Canvas, const TTrackGlyph &Glyph, const QPoint &TopLeft);
// A point's position in map pixels at a zoom (coordinates beyond the map's
// edges land on the edge).
QPoint TrackPointMapPos(const TTrackPointInfo &Pt, TMapZoomLevel Zoom);

class TTrackPainter {
public:
  // Zoom and the view's top-left in map coordinates place the points;
  // ViewSize is the painted area (logical pixels). Fast = false draws
  // everything (the reference picture).
  void Paint(QPainter &Canvas, const TGeoTrack &Track, TMapZoomLevel Zoom, const QPoint &ViewTopLeft,
             const QSize &ViewSize, bool Fast = true);

  // Colours each segment by its speed (SpeedScale.h) instead of the style's
  // line colour; the points keep their glyphs.
  bool SpeedColors() const { return fSpeedColors; }
  void SetSpeedColors(bool Value) { fSpeedColors = Value; }

  // Projections made so far: a repaint of an unchanged track makes none (for tests).
  std::size_t ProjectionsMade() const { return fProjectionsMade; }
  // The part of the canvas the last fast paint looked at (for tests).
  QRect LastArea() const { return fLastArea; }
  // Sprites made so far (for tests and the benchmark).
  std::size_t SpriteCount() const { return fSprites.size(); }
  void ClearSprites() { fSprites.clear(); }

private:
  const QImage &Sprite(const TTrackGlyph &Glyph, qreal Dpr);

  // A polyline piece of the thinned line in map pixels: Count vertices from
  // First in TProjection::LinePts, one colour class, within Box.
  struct TLineChunk {
    QRect Box;
    std::uint32_t First = 0, Count = 0;
    int Class = 0;
  };
  // A glyph that survives the "same pixel" rule, in drawing order.
  struct TGlyphSpot {
    QPoint TopLeft; // map pixels
    std::uint32_t Glyph = 0; // into TProjection::Glyphs
  };
  struct TProjection {
    TMapZoomLevel Zoom = 0;
    std::uint64_t Revision = 0; // the track's
    std::uint64_t Style = 0;    // a hash of the style's sizes and colours
    std::vector<QPoint> Pos;
    // The points' MapPoint were written from this projection for WrittenTopLeft by the write
    // numbered Written (0: never).
    std::uint64_t Written = 0;
    QPoint WrittenTopLeft;
    std::vector<std::int8_t> Classes; // 1 + speed class of the segment ending at a point; on demand
    // What the fast painting draws, made once per zoom: only the view's offset
    // changes between repaints of one zoom, and thinning and the glyph rule
    // do not depend on it.
    bool HasGeometry = false;
    bool GeometrySpeedColors = false;
    std::vector<QPoint> LinePts;
    std::vector<TLineChunk> Chunks;
    std::vector<TTrackGlyph> Glyphs;
    std::vector<TGlyphSpot> Spots;
  };
  // Map positions of the track's points at a zoom. Kept while the track's
  // revision and its style stay the same (a drag repaints the same track
  // hundreds of times, a hover on the graph rings a point on the map as
  // often), so a repaint does not look at every point. Fast painting writes
  // every point's MapPoint (the positions a click is looked up by) when the
  // view moved or someone else wrote them since.
  TProjection &Projected(const TGeoTrack &Track, TMapZoomLevel Zoom, const QPoint *WriteTopLeft = nullptr);
  void BuildGeometry(TProjection &Proj, const TGeoTrack &Track);
  void PaintFast(QPainter &Canvas, const TGeoTrack &Track, TMapZoomLevel Zoom, const QPoint &ViewTopLeft,
                 const QSize &ViewSize);
  std::vector<TProjection> fProjections; // most recent last

  struct TSpriteKey {
    TTrackGlyph Glyph;
    qreal Dpr;
    bool operator<(const TSpriteKey &o) const {
      return Dpr != o.Dpr ? Dpr < o.Dpr : Glyph < o.Glyph;
    }
  };
  std::map<TSpriteKey, QImage> fSprites;
  TThickLine fLine; // kept: its buffers serve the next paint
  bool fSpeedColors = false;
  std::size_t fProjectionsMade = 0;
  QRect fLastArea;
};

} // namespace kelvra
