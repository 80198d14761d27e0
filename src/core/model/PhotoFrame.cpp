#include "core/model/PhotoFrame.h"

#include <algorithm>
#include <cmath>

namespace kelvra {

namespace {
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }
} // namespace

double MinPhotoScale(int picW, int viewW) {
  return picW > 0 ? static_cast<double>(viewW) / picW : 1.0;
}

TPhotoBox ScalePhotoBox(int picW, int picH, int viewW, int viewH, double x) {
  TPhotoBox b;
  if (picW <= 0 || picH <= 0) return b;
  const double a = MinPhotoScale(picW, viewW);
  b.Scale = std::max(x, a);
  b.Width = RoundEven(picW * b.Scale);
  b.Height = RoundEven(picH * b.Scale);
  if (b.Width < viewW) {
    b.Width = viewW;
    b.Scale = a;
    b.Height = RoundEven(picH * a);
    b.Width += 8;
    b.Height += 8;
  } else if (b.Height < viewH) {
    // A picture wider than the viewport's shape: the box stays as high as the viewport and the
    // scale stays the one asked for. Going back to the smallest scale here would undo every
    // wheel step on a landscape picture (each starts from that scale and lands here again).
    b.Height = viewH;
    b.Width += 8;
    b.Height += 8;
  }
  return b;
}

TPhotoSquare PhotoSquare(int picW, int picH, int boxW, int boxH, int viewW, int viewH, int boxLeft,
                         int boxTop) {
  TPhotoSquare s;
  if (picW <= 0 || picH <= 0 || boxW <= 0 || boxH <= 0) return s;
  // How the picture is drawn inside its box.
  const double k = std::min(static_cast<double>(boxW) / picW, static_cast<double>(boxH) / picH);
  const double offX = (boxW - picW * k) / 2, offY = (boxH - picH * k) / 2;
  s.Side = std::clamp(static_cast<int>(viewW / k), 1, std::min(picW, picH));
  const double cx = (-boxLeft + viewW / 2.0 - offX) / k, cy = (-boxTop + viewH / 2.0 - offY) / k;
  s.Left = std::clamp(static_cast<int>(std::lround(cx - s.Side / 2.0)), 0, picW - s.Side);
  s.Top = std::clamp(static_cast<int>(std::lround(cy - s.Side / 2.0)), 0, picH - s.Side);
  return s;
}

} // namespace kelvra
