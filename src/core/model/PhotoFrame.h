#pragma once
// Framing a picture in the photo editor: the size of the box the picture is drawn in at a scale
// (never smaller than the viewport's width allows), and the square of the picture that the
// viewport shows, which becomes the object's photo.

namespace kelvra {

struct TPhotoBox {
  double Scale = 1; // screen pixels per picture pixel
  int Width = 0, Height = 0;
};
// The box at scale x inside a viewport of viewW x viewH (the smallest scale fills the viewport's
// width). Halves round to even.
TPhotoBox ScalePhotoBox(int picW, int picH, int viewW, int viewH, double x);
// The smallest scale: the viewport's width over the picture's.
double MinPhotoScale(int picW, int viewW);

struct TPhotoSquare {
  int Left = 0, Top = 0, Side = 0;
};
// The square of the picture under the middle of a viewW x viewH viewport, with the picture drawn
// in proportion, centred, inside a boxW x boxH box at (boxLeft, boxTop) relative to the viewport.
// Its side is what the viewport's width shows, at most the picture's smaller side; it never
// reaches outside the picture.
TPhotoSquare PhotoSquare(int picW, int picH, int boxW, int boxH, int viewW, int viewH, int boxLeft,
                         int boxTop);

// The scroll step of momentum: speed (pixels per ms) after a tick, and when it ends.
inline constexpr double kPhotoFriction = 0.83;
inline constexpr double kPhotoStopSpeed = 0.005;

} // namespace kelvra
