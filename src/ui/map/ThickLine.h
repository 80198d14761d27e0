#pragma once
// Draws wide antialiased polylines with round caps and joins by coverage:
// every pixel takes the coverage of the nearest segment (its distance from
// the pixel's centre against half the width), so overlapping segments never
// darken each other, as in one stroke of the whole line. The generic path
// stroker of the painter turns every join into curves and rasterises the
// outline; a track of thousands of short segments costs it tens of
// milliseconds per paint, this a fraction of one.
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <vector>

class QPainter;

namespace kelvra {

class TThickLine {
public:
  // Starts a line of Width pixels in Color over Area (canvas coordinates);
  // nothing outside Area is drawn.
  void Begin(const QRect &Area, double Width, QRgb Color);
  // One segment (a zero-length one is a dot).
  void Segment(const QPointF &A, const QPointF &B);
  // Blends what was added onto the canvas and forgets it.
  void Flush(QPainter &Canvas);

  // Whether the canvas draws at its own pixels (no scaling, whole-pixel
  // offset), the only case this is for.
  static bool Suits(const QPainter &Canvas);

private:
  static constexpr int Tile = 32; // blending granularity
  QRect fArea;
  int fTilesX = 0, fTilesY = 0;
  double fHalf = 0;
  std::vector<std::uint8_t> fMask;   // coverage per pixel of fArea, 0..255
  std::vector<std::uint8_t> fTouched; // per tile
  std::vector<QRgb> fLut;            // premultiplied colour per coverage
  std::vector<QRgb> fBuffer;         // pixels of one run of tiles being blended
};

} // namespace kelvra
