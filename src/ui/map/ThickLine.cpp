#include "ui/map/ThickLine.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kelvra {

namespace {
// The nearest segment alone under-counts a pixel that several segments each
// cover in part, as at the many small bends of a track; a twentieth of a pixel
// more reach balances that against the stroker's exact area.
constexpr double BendReach = 0.05;
} // namespace

bool TThickLine::Suits(const QPainter &Canvas) {
  const QTransform &t = Canvas.transform();
  return Canvas.device() && Canvas.device()->devicePixelRatioF() == 1.0 &&
         t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) &&
         t.dy() == std::floor(t.dy());
}

void TThickLine::Begin(const QRect &Area, double Width, QRgb Color) {
  const QRect area = Area.isValid() ? Area : QRect();
  if (area.size() != fArea.size()) {
    fMask.assign(std::size_t(area.width()) * std::size_t(area.height()), 0);
    fTilesX = (area.width() + Tile - 1) / Tile;
    fTilesY = (area.height() + Tile - 1) / Tile;
    fTouched.assign(std::size_t(fTilesX) * std::size_t(fTilesY), 0);
  }
  fArea = area;
  fHalf = std::max(Width, 1.0) / 2;
  fLut.resize(256);
  const int r = qRed(Color), g = qGreen(Color), b = qBlue(Color), a = qAlpha(Color);
  for (int k = 0; k < 256; ++k) fLut[std::size_t(k)] = qPremultiply(qRgba(r, g, b, (a * k + 127) / 255));
}

void TThickLine::Segment(const QPointF &A, const QPointF &B) {
  const int w = fArea.width(), h = fArea.height();
  if (w <= 0 || h <= 0) return;
  const double ax = A.x() - fArea.left(), ay = A.y() - fArea.top();
  const double vx = B.x() - A.x(), vy = B.y() - A.y();
  const double len2 = vx * vx + vy * vy;
  // A pixel whose centre lies within outer of the segment is touched, one
  // within inner is covered whole.
  const double outer = fHalf + 0.5 + BendReach, inner = fHalf - 0.5 + BendReach;
  const double outer2 = outer * outer, inner2 = inner > 0 ? inner * inner : -1;
  const int y0 = std::max(0, int(std::ceil(std::min(ay, ay + vy) - outer - 0.5)));
  const int y1 = std::min(h - 1, int(std::floor(std::max(ay, ay + vy) + outer - 0.5)));
  const int bx0 = std::max(0, int(std::ceil(std::min(ax, ax + vx) - outer - 0.5)));
  const int bx1 = std::min(w - 1, int(std::floor(std::max(ax, ax + vx) + outer - 0.5)));
  if (y0 > y1 || bx0 > bx1) return;
  const double len = std::sqrt(len2);
  // The band around the segment's line narrows each row to where the segment is.
  const bool slanted = len > 0 && std::fabs(vy) > 1e-9 * len;
  const double ux = len > 0 ? vx / len : 0, uy = len > 0 ? vy / len : 0;
  for (int y = y0; y <= y1; ++y) {
    const double py = y + 0.5 - ay;
    int x0 = bx0, x1 = bx1;
    if (slanted) {
      double lo = (ux * py - outer) / uy, hi = (ux * py + outer) / uy;
      if (lo > hi) std::swap(lo, hi);
      x0 = std::max(x0, int(std::ceil(ax + lo - 0.5)));
      x1 = std::min(x1, int(std::floor(ax + hi - 0.5)));
      if (x0 > x1) continue;
    }
    std::uint8_t *row = fMask.data() + std::size_t(y) * std::size_t(w);
    bool any = false;
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5 - ax;
      double t = len2 > 0 ? (px * vx + py * vy) / len2 : 0;
      t = std::clamp(t, 0.0, 1.0);
      const double ex = px - t * vx, ey = py - t * vy;
      const double d2 = ex * ex + ey * ey;
      if (d2 >= outer2) continue;
      const int cover =
          d2 <= inner2 ? 255 : std::clamp(int((outer - std::sqrt(d2)) * 255 + 0.5), 0, 255);
      if (cover > row[x]) row[x] = std::uint8_t(cover);
      any = true;
    }
    if (any) {
      std::uint8_t *touched = fTouched.data() + std::size_t(y / Tile) * std::size_t(fTilesX);
      for (int t = x0 / Tile; t <= x1 / Tile; ++t) touched[t] = 1;
    }
  }
}

void TThickLine::Flush(QPainter &Canvas) {
  const int w = fArea.width(), h = fArea.height();
  for (int ty = 0; ty < fTilesY; ++ty) {
    std::uint8_t *touched = fTouched.data() + std::size_t(ty) * std::size_t(fTilesX);
    const int top = ty * Tile, rows = std::min(Tile, h - top);
    for (int tx = 0; tx < fTilesX;) {
      if (!touched[tx]) {
        ++tx;
        continue;
      }
      // A run of touched tiles is blended as one image.
      int end = tx;
      while (end < fTilesX && touched[end]) touched[end++] = 0;
      const int left = tx * Tile, cols = std::min(end * Tile, w) - left;
      fBuffer.resize(std::size_t(cols) * std::size_t(rows));
      for (int y = 0; y < rows; ++y) {
        std::uint8_t *m = fMask.data() + std::size_t(top + y) * std::size_t(w) + std::size_t(left);
        QRgb *out = fBuffer.data() + std::size_t(y) * std::size_t(cols);
        for (int x = 0; x < cols; ++x) {
          out[x] = fLut[m[x]];
          m[x] = 0;
        }
      }
      const QImage image(reinterpret_cast<const uchar *>(fBuffer.data()), cols, rows, cols * 4,
                         QImage::Format_ARGB32_Premultiplied);
      Canvas.drawImage(QPoint(fArea.left() + left, fArea.top() + top), image);
      tx = end;
    }
  }
}

} // namespace kelvra
