#include "ui/map/MapControl.h"

#include "core/app/Translate.h"
#include "core/map/geo_utils.h"
#include "core/util/LumFormat.h"
#include "ui/map/MapText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kelvra {

namespace {
// The latitude of the map's northern and southern edges.

int RoundUpToTile(int v) { return (v + TileSize - 1) / TileSize * TileSize; }


QFont LabelFont() {
  QFont f("Arial");
  f.setPointSize(8);
  return f;
}
} // namespace

TMapLayers LayersAll() { return TMapLayers().set(); }

const TMapMarkGlyphStyle DefaultMapMarkGlyphStyle{gshCircle, 20, clWindowFrame, 0xF0CAA6};
const TMapMarkCaptionStyle DefaultMapMarkCaptionStyle{clMenuText, clWindow, 3, 0, true};

QColor MapColor(std::uint32_t Color) {
  if ((Color & 0xFF000000u) == 0xFF000000u) {
    const QPalette pal = QApplication::palette();
    switch (Color & 0xFF) {
    case 5: return pal.color(QPalette::Base);       // window background
    case 6: return pal.color(QPalette::WindowText); // window frame
    case 7: return pal.color(QPalette::Text);       // menu text
    default: return pal.color(QPalette::WindowText);
    }
  }
  return QColor(int(Color & 0xFF), int((Color >> 8) & 0xFF), int((Color >> 16) & 0xFF));
}

// --- TMapControl ------------------------------------------------------------

TMapControl::TMapControl(QWidget *Parent) : QAbstractScrollArea(Parent) {
  FMapMarkList = std::make_unique<TMapMarkList>(this);
  FVisibleLayers = LayersAll();
  MapMarkCaptionFont = font();
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);
  horizontalScrollBar()->setSingleStep(32);
  verticalScrollBar()->setSingleStep(32);
  SetTilesProvider(nullptr);
}

TMapControl::~TMapControl() = default;

qreal TMapControl::Dpr() const { return viewport()->devicePixelRatioF(); }

QImage TMapControl::NewImage(int Width, int Height) const {
  const qreal dpr = Dpr();
  QImage img(std::max(1, qRound(Width * dpr)), std::max(1, qRound(Height * dpr)),
             QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(dpr);
  return img;
}

void TMapControl::Invalidate() { viewport()->update(); }

// --- coordinates ---

TRect TMapControl::ViewRect() const {
  const int x = horizontalScrollBar()->value();
  const int y = verticalScrollBar()->value();
  return TRect{x, y, x + viewport()->width(), y + viewport()->height()};
}

TRect TMapControl::CappedViewRect() const {
  TRect r = ViewRect();
  r.Left = std::min(r.Left, FMapSize);
  r.Top = std::min(r.Top, FMapSize);
  r.Right = std::min(r.Right, FMapSize);
  r.Bottom = std::min(r.Bottom, FMapSize);
  return r;
}

QPoint TMapControl::ViewToMap(const QPoint &ViewPt) const {
  const TRect v = ViewRect();
  return ViewPt + QPoint(v.Left, v.Top);
}

TRect TMapControl::ViewToMap(const TRect &R) const {
  const TRect v = ViewRect();
  return TRect{R.Left + v.Left, R.Top + v.Top, R.Right + v.Left, R.Bottom + v.Top};
}

QPoint TMapControl::MapToView(const QPoint &MapPt) const {
  const TRect v = ViewRect();
  return MapPt - QPoint(v.Left, v.Top);
}

TRect TMapControl::MapToView(const TRect &R) const {
  const TRect v = ViewRect();
  return TRect{R.Left - v.Left, R.Top - v.Top, R.Right - v.Left, R.Bottom - v.Top};
}

TGeoPoint TMapControl::MapToGeoCoords(const QPoint &MapPt) const {
  const TMapZoomLevel z = TMapZoomLevel(std::max(FZoom, 0));
  const auto cap = [this](int v) { return std::uint32_t(std::clamp(v, 0, FMapSize)); };
  return TGeoPoint{MapCoordToLongitude(z, cap(MapPt.x())), MapCoordToLatitude(z, cap(MapPt.y()))};
}

TGeoRect TMapControl::MapToGeoCoords(const TRect &R) const {
  return TGeoRect{MapToGeoCoords(QPoint(R.Left, R.Top)), MapToGeoCoords(QPoint(R.Right, R.Bottom))};
}

QPoint TMapControl::GeoCoordsToMap(const TGeoPoint &G) const {
  const TMapZoomLevel z = TMapZoomLevel(std::max(FZoom, 0));
  const double lon = std::isnan(G.Long) ? 0 : std::clamp(G.Long, -180.0, 180.0);
  const double lat = std::isnan(G.Lat) ? 0 : std::clamp(G.Lat, -MapEdgeLat, MapEdgeLat);
  return QPoint(int(LongitudeToMapCoord(z, lon)), int(LatitudeToMapCoord(z, lat)));
}

TRect TMapControl::GeoCoordsToMap(const TGeoRect &R) const {
  const QPoint a = GeoCoordsToMap(R.TopLeft);
  const QPoint b = GeoCoordsToMap(R.BottomRight);
  return TRect{a.x(), a.y(), b.x(), b.y()};
}

// --- position and zoom ---

void TMapControl::ScrollMapBy(int DeltaHorz, int DeltaVert) {
  ScrollMapTo(horizontalScrollBar()->value() + DeltaHorz,
              verticalScrollBar()->value() + DeltaVert);
}

void TMapControl::ScrollMapTo(int Horz, int Vert) {
  horizontalScrollBar()->setValue(Horz); // clamped by the bar's range
  verticalScrollBar()->setValue(Vert);
  Invalidate();
}

void TMapControl::SetNWPoint(const QPoint &MapPt) { ScrollMapTo(MapPt.x(), MapPt.y()); }

void TMapControl::SetNWPoint(const TGeoPoint &GeoPt) {
  if (std::isnan(GeoPt.Long) || std::isnan(GeoPt.Lat)) return;
  SetNWPoint(GeoCoordsToMap(GeoPt));
}

TGeoPoint TMapControl::NWPoint() const {
  const TRect v = ViewRect();
  return MapToGeoCoords(QPoint(v.Left, v.Top));
}

TGeoPoint TMapControl::CenterPoint() const {
  const TRect v = ViewRect();
  return MapToGeoCoords(QPoint((v.Left + v.Right) / 2, (v.Top + v.Bottom) / 2));
}

void TMapControl::SetCenterPoint(const TGeoPoint &GeoPt) {
  if (std::isnan(GeoPt.Long) || std::isnan(GeoPt.Lat)) return;
  SetNWPoint(GeoCoordsToMap(GeoPt) - QPoint(viewport()->width() / 2, viewport()->height() / 2));
}

void TMapControl::UpdateScrollRanges() {
  const int w = viewport()->width(), h = viewport()->height();
  horizontalScrollBar()->setRange(0, std::max(0, FMapSize - w));
  verticalScrollBar()->setRange(0, std::max(0, FMapSize - h));
  horizontalScrollBar()->setPageStep(std::max(1, w));
  verticalScrollBar()->setPageStep(std::max(1, h));
}

void TMapControl::SetZoom(int Value) { SetZoom(Value, QPoint(0, 0)); }

void TMapControl::SetZoom(int Value, const QPoint &MapBindPt) {
  if (Value < FMinZoom || Value > FMaxZoom || Value == FZoom) return;
  TGeoPoint bindCoords;
  if (FZoom < 0)
    bindCoords = TGeoPoint{-180, MapCoordToLatitude(TMapZoomLevel(FMinZoom), 0)};
  else
    bindCoords = MapToGeoCoords(MapBindPt);
  const QPoint viewBindPt = MapToView(MapBindPt);
  FZoom = Value;
  FMapSize = TileSize << Value;
  UpdateScrollRanges();
  if (!(FMapOptions & moDontDrawScale)) DrawScale();
  SetNWPoint(GeoCoordsToMap(bindCoords) - viewBindPt);
  SetCacheDimensions();
  const TRect v = ViewRect();
  if (!(v.Left >= FCacheImageRect.Left && v.Top >= FCacheImageRect.Top &&
        v.Right <= FCacheImageRect.Right && v.Bottom <= FCacheImageRect.Bottom))
    MoveCache();
  UpdateCache();
  Invalidate();
  if (OnZoomChanged) OnZoomChanged(this);
}

void TMapControl::ApplyZoomConstraints() {
  if (FZoom < 0) return;
  if (FZoom < FMinZoom)
    SetZoom(FMinZoom);
  else if (FZoom > FMaxZoom)
    SetZoom(FMaxZoom);
}

void TMapControl::SetMinZoom(int Value) {
  FMinZoom = std::clamp(std::max(Value, int(FTilesProvider->MinZoomLevel)), 0,
                        int(MaxMapZoomLevel));
  ApplyZoomConstraints();
}

void TMapControl::SetMaxZoom(int Value) {
  FMaxZoom = std::clamp(std::min(Value, int(FTilesProvider->MaxZoomLevel)), 0,
                        int(MaxMapZoomLevel));
  ApplyZoomConstraints();
}

void TMapControl::SetTilesProvider(std::unique_ptr<TTilesProvider> Provider) {
  FTilesProvider = Provider ? std::move(Provider) : std::make_unique<TDummyTilesProvider>();
  FMinZoom = FTilesProvider->MinZoomLevel;
  FMaxZoom = std::min<int>(FTilesProvider->MaxZoomLevel, MaxMapZoomLevel);
  FCopyright = QImage();
  ApplyZoomConstraints();
  if (FZoom >= 0) UpdateCache();
  Invalidate();
}

void TMapControl::ZoomToArea(const TGeoRect &GeoRect) {
  if (std::isnan(GeoRect.TopLeft.Long) || std::isnan(GeoRect.TopLeft.Lat) ||
      std::isnan(GeoRect.BottomRight.Long) || std::isnan(GeoRect.BottomRight.Lat))
    return;
  const int w = viewport()->width(), h = viewport()->height();
  auto fitZoom = [&](bool horz) {
    for (int z = FMinZoom; z <= FMaxZoom; ++z) {
      const TMapZoomLevel zl = TMapZoomLevel(z);
      const auto lon = [](double v) { return std::clamp(v, -180.0, 180.0); };
      const auto lat = [](double v) { return std::clamp(v, -MapEdgeLat, MapEdgeLat); };
      const double size =
          horz ? double(LongitudeToMapCoord(zl, lon(GeoRect.BottomRight.Long))) -
                     double(LongitudeToMapCoord(zl, lon(GeoRect.TopLeft.Long)))
               : double(LatitudeToMapCoord(zl, lat(GeoRect.BottomRight.Lat))) -
                     double(LatitudeToMapCoord(zl, lat(GeoRect.TopLeft.Lat)));
      if (size > (horz ? w : h)) return z - 1;
    }
    return FMaxZoom;
  };
  const int zoom = std::min(fitZoom(true), fitZoom(false));
  if (zoom != FZoom) {
    SetZoom(zoom);
    SetNWPoint(GeoRect.TopLeft);
  }
}

void TMapControl::ZoomToFit() {
  ZoomToArea(MapToGeoCoords(TRect{0, 0, FMapSize, FMapSize}));
}

// --- cache image ---

bool TMapControl::SetCacheDimensions() {
  if (FZoom < 0) return false;
  const int margin = int(FCacheMarginSize) * TileSize;
  int w = std::min(FMapSize, int(FCacheImageTilesH + FCacheMarginSize) * TileSize);
  int h = std::min(FMapSize, int(FCacheImageTilesV + FCacheMarginSize) * TileSize);
  w = std::max(w, RoundUpToTile(viewport()->width()) + margin);
  h = std::max(h, RoundUpToTile(viewport()->height()) + margin);
  const bool dprChanged = FCacheDpr != Dpr();
  if (!dprChanged && w == FCacheImageRect.Right - FCacheImageRect.Left &&
      h == FCacheImageRect.Bottom - FCacheImageRect.Top)
    return false;
  FCacheImageRect.Right = FCacheImageRect.Left + w;
  FCacheImageRect.Bottom = FCacheImageRect.Top + h;
  FCacheImage = NewImage(w, h);
  FCacheDpr = Dpr();
  return true;
}

void TMapControl::MoveCache() {
  // Snapped to tiles, with half of the margin before the view so that a drag
  // in any direction stays inside the cache for a while.
  const TRect v = ViewRect();
  const int before = int(FCacheMarginSize / 2) * TileSize;
  const int left = std::max(0, ToTileBoundary(v).Left - before);
  const int top = std::max(0, ToTileBoundary(v).Top - before);
  const int w = FCacheImageRect.Right - FCacheImageRect.Left;
  const int h = FCacheImageRect.Bottom - FCacheImageRect.Top;
  FCacheImageRect = TRect{left, top, left + w, top + h};
}

void TMapControl::UpdateCache() {
  if (FZoom < 0 || FCacheImage.isNull()) return;
  FCacheImage.fill(palette().color(QPalette::Window));
  QPainter p(&FCacheImage);
  const int w = FCacheImageRect.Right - FCacheImageRect.Left;
  const int h = FCacheImageRect.Bottom - FCacheImageRect.Top;
  const int cols = std::max(0, std::min(FMapSize - FCacheImageRect.Left, w)) / TileSize;
  const int rows = std::max(0, std::min(FMapSize - FCacheImageRect.Top, h)) / TileSize;
  const unsigned firstCol = unsigned(FCacheImageRect.Left / TileSize);
  const unsigned firstRow = unsigned(FCacheImageRect.Top / TileSize);
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i)
      DrawTile(p, firstCol + unsigned(i), firstRow + unsigned(j),
               QPoint(i * TileSize, j * TileSize));
}

void TMapControl::EnsureCacheCoversView() {
  if (FZoom < 0) return;
  const bool resized = SetCacheDimensions();
  const TRect v = ViewRect();
  const bool inside = v.Left >= FCacheImageRect.Left && v.Top >= FCacheImageRect.Top &&
                      v.Right <= FCacheImageRect.Right && v.Bottom <= FCacheImageRect.Bottom;
  if (!inside) MoveCache();
  if (resized || !inside) UpdateCache();
}

void TMapControl::RedrawTiles() {
  UpdateCache();
  Invalidate();
}

void TMapControl::SetCacheImageProperties(unsigned TilesHorz, unsigned TilesVert,
                                          unsigned MarginSize) {
  FCacheImageTilesH = TilesHorz;
  FCacheImageTilesV = TilesVert;
  FCacheMarginSize = MarginSize;
  if (SetCacheDimensions()) {
    MoveCache();
    UpdateCache();
  }
  Invalidate();
}

void TMapControl::RefreshTile(unsigned TileHorzNum, unsigned TileVertNum) {
  if (FZoom < 0 || FCacheImage.isNull()) return;
  const std::int64_t x = std::int64_t(TileHorzNum) * TileSize;
  const std::int64_t y = std::int64_t(TileVertNum) * TileSize;
  if (x >= FMapSize || y >= FMapSize) return;
  if (x < FCacheImageRect.Left || x >= FCacheImageRect.Right || y < FCacheImageRect.Top ||
      y >= FCacheImageRect.Bottom)
    return;
  const QPoint at(int(x) - FCacheImageRect.Left, int(y) - FCacheImageRect.Top);
  {
    QPainter p(&FCacheImage);
    p.fillRect(QRect(at, QSize(TileSize, TileSize)), palette().color(QPalette::Window));
    DrawTile(p, TileHorzNum, TileVertNum, at);
  }
  viewport()->update(QRect(MapToView(QPoint(int(x), int(y))), QSize(TileSize, TileSize)));
}

// --- tiles ---

const TBitmap32 *TMapControl::GetTile(unsigned, unsigned) { return nullptr; }
void TMapControl::DrawGeoTracks(QPainter &, const TRect &) {}
void TMapControl::DrawGeoZones(QPainter &, const TRect &) {}

bool TMapControl::DrawTileImage(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                                const QPoint &TopLeft) {
  const TBitmap32 *bmp =
      OnGetTile ? OnGetTile(this, TileHorzNum, TileVertNum) : GetTile(TileHorzNum, TileVertNum);
  if (bmp && bmp->fWidth > 0 && bmp->fHeight > 0 && !bmp->fPixels.empty()) {
    // Wraps the pixels without a copy; nearest-pixel scaling keeps tiles
    // sharp on a high-density screen instead of blurring them.
    const QImage img(reinterpret_cast<const uchar *>(bmp->fPixels.data()), bmp->fWidth,
                     bmp->fHeight, bmp->BytesPerLine(), QImage::Format_ARGB32_Premultiplied);
    const auto mode = Canvas.compositionMode();
    Canvas.setCompositionMode(QPainter::CompositionMode_SourceOver);
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas.drawImage(QRect(TopLeft, QSize(TileSize, TileSize)), img);
    Canvas.setCompositionMode(mode);
    return true;
  }
  bool handled = false;
  if (OnDrawTile) OnDrawTile(this, TileHorzNum, TileVertNum, TopLeft, Canvas, handled);
  return handled;
}

void TMapControl::DrawTile(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                           const QPoint &TopLeft) {
  if (DrawTileImage(Canvas, TileHorzNum, TileVertNum, TopLeft)) return;
  bool handled = false;
  if (OnDrawTileLoading) OnDrawTileLoading(this, TileHorzNum, TileVertNum, TopLeft, Canvas, handled);
  if (!handled) DrawTileLoading(Canvas, TileHorzNum, TileVertNum, TopLeft);
}

void TMapControl::DrawTileLoading(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                                  const QPoint &TopLeft) {
  const QRect r(TopLeft, QSize(TileSize, TileSize));
  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, false);
  if (!DrawTileStandIn(Canvas, TileHorzNum, TileVertNum, TopLeft))
    Canvas.fillRect(r, palette().color(QPalette::Window));
  Canvas.setPen(QPen(MapColor(0x808080), 1));
  Canvas.setBrush(Qt::NoBrush);
  Canvas.drawRect(r.adjusted(0, 0, -1, -1));
  Canvas.setPen(MapColor(0x008000));
  Canvas.setFont(font());
  Canvas.drawText(r, Qt::AlignCenter,
                  MapText("map_tile_loading", {int64_t(TileHorzNum), int64_t(TileVertNum)}));
  Canvas.restore();
}

bool TMapControl::DrawTileStandIn(QPainter &, unsigned, unsigned, const QPoint &) { return false; }

// --- painting ---

void TMapControl::paintEvent(QPaintEvent *Event) {
  QPainter p(viewport());
  if (FZoom < 0) {
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    return;
  }
  // What the event repaints as the painter's own clip, which the layers read to skip what lies
  // outside it (the clip Qt sets for the event is not visible to them): a ring moved over a
  // long track repaints two small squares, not the whole track.
  if (Event->rect() != viewport()->rect()) p.setClipRect(Event->rect());
  EnsureCacheCoversView();
  const TRect v = ViewRect();
  const qreal dpr = FCacheImage.devicePixelRatio();
  const QRectF src((v.Left - FCacheImageRect.Left) * dpr, (v.Top - FCacheImageRect.Top) * dpr,
                   (v.Right - v.Left) * dpr, (v.Bottom - v.Top) * dpr);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(QRectF(0, 0, v.Right - v.Left, v.Bottom - v.Top), FCacheImage, src);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);

  const TRect mapRect = CappedViewRect();
  DrawGeoZones(p, mapRect);
  DrawMapMarks(p, mapRect);
  DrawGeoTracks(p, mapRect);
  DrawLabels(p, viewport()->rect(), FMapOptions);

  if (FSelectionBoxVisible) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1, Qt::DashDotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(FSelectionBox);
  }
}

bool TMapControl::MarkAt(const TGeoPoint &GeoPt) const { return FMapMarkList->Find(GeoPt) >= 0; }

void TMapControl::DrawMapMarks(QPainter &Canvas, const TRect &MapRect) {
  DrawMapMarksExcept(Canvas, MapRect, nullptr);
}

void TMapControl::DrawMapMarksExcept(QPainter &Canvas, const TRect &MapRect,
                                     const std::function<bool(const TMapMark &)> &Skip) {
  if (FMapMarkList->Count() == 0) return;
  // Mark pictures reach above and beside their point: a mark just outside
  // the view may still show.
  constexpr int reach = 64;
  const TRect wide{std::max(0, MapRect.Left - reach), std::max(0, MapRect.Top - reach),
                   std::min(FMapSize, MapRect.Right + reach),
                   std::min(FMapSize, MapRect.Bottom + reach)};
  const TGeoRect geoRect = MapToGeoCoords(wide);
  const QPoint origin(MapRect.Left, MapRect.Top);
  for (int i = FMapMarkList->Find(geoRect, true, -1); i >= 0;
       i = FMapMarkList->Find(geoRect, true, i)) {
    TMapMark *mark = FMapMarkList->Get(i);
    if (!mark->Visible || !FVisibleLayers.test(mark->Layer) || (Skip && Skip(*mark))) continue;
    DrawMapMarkAt(Canvas, *mark, GeoCoordsToMap(mark->Coord) - origin);
  }
}

void TMapControl::DrawMapMarkAt(QPainter &Canvas, TMapMark &Mark, const QPoint &Point) {
  bool handled = false;
  if (OnDrawMapMark) {
    Canvas.save();
    OnDrawMapMark(this, Canvas, Point, &Mark, handled);
    Canvas.restore();
  }
  if (handled || !Mark.Visible) return;
  DrawMapMark(Canvas, Mark, Point);
}

void TMapControl::DrawMapMark(QPainter &Canvas, TMapMark &Mark, const QPoint &Point) {
  const TMapMarkGlyphStyle &gs =
      (Mark.CustomProps & propGlyphStyle) ? Mark.GlyphStyle : MapMarkGlyphStyle;
  const int size = int(gs.Size);
  const QRect glyph(Point - QPoint(size / 2, size / 2), QSize(size, size));
  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, true);
  Canvas.setPen(QPen(MapColor(gs.BorderColor), 1));
  Canvas.setBrush(MapColor(gs.BgColor));
  switch (gs.Shape) {
  case gshCircle: Canvas.drawEllipse(glyph.adjusted(0, 0, -1, -1)); break;
  case gshSquare: Canvas.drawRect(glyph.adjusted(0, 0, -1, -1)); break;
  case gshTriangle: {
    const QPoint pts[3] = {QPoint(glyph.left(), glyph.bottom()),
                           QPoint(glyph.left() + glyph.width() / 2, glyph.top()),
                           QPoint(glyph.right(), glyph.bottom())};
    Canvas.drawPolygon(pts, 3);
    break;
  }
  }
  if (!Mark.Caption.empty()) {
    const TMapMarkCaptionStyle &cs =
        (Mark.CustomProps & propCaptionStyle) ? Mark.CaptionStyle : MapMarkCaptionStyle;
    Canvas.setFont((Mark.CustomProps & propFont) ? Mark.CaptionFont : MapMarkCaptionFont);
    const QString text = QString::fromStdString(Mark.Caption);
    const QFontMetrics fm(Canvas.font());
    const QRect textRect(QPoint(glyph.right() + 1 + cs.DX, glyph.top() + cs.DY),
                         QSize(fm.horizontalAdvance(text) + 2, fm.height()));
    if (!cs.Transparent) Canvas.fillRect(textRect, MapColor(cs.BgColor));
    Canvas.setPen(MapColor(cs.Color));
    Canvas.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  Canvas.restore();
}

void TMapControl::DrawScale() {
  std::uint32_t barPx = 0;
  std::string text;
  GetScaleBarParams(FZoom, DisplayUnits(), barPx, text);
  const QFont f = LabelFont();
  const QFontMetrics fm(f);
  const QString t = QString::fromStdString(text);
  const int w = fm.horizontalAdvance('W');
  const int textW = fm.horizontalAdvance(t), textH = fm.height();
  const int width = w + textW + w + int(barPx);
  const int height = 2 * int(FLabelMargin) + textH;
  FScaleLine = NewImage(width, height);
  FScaleLine.fill(Qt::white);
  QPainter p(&FScaleLine);
  p.setPen(MapColor(0xC0C0C0));
  p.drawRect(0, 0, width - 1, height - 1);
  p.setFont(f);
  p.setPen(Qt::black);
  p.drawText(QRect(w / 2, int(FLabelMargin), textW, textH), Qt::AlignLeft | Qt::AlignVCenter, t);
  p.setBrush(Qt::white);
  p.drawRect(w / 2 + textW + w, (height - textH / 2) / 2, int(barPx) - 1, textH / 2);
}

void TMapControl::BuildCopyright() {
  const QFont f = LabelFont();
  const QFontMetrics fm(f);
  const QString t = QString::fromStdString(FTilesProvider->TilesCopyright);
  const QSize size(std::max(1, fm.horizontalAdvance(t) + 4), fm.height());
  FCopyright = NewImage(size.width(), size.height());
  // A light veil under the text keeps it readable over any tile.
  FCopyright.fill(QColor(255, 255, 255, 170));
  QPainter p(&FCopyright);
  p.setFont(f);
  p.setPen(MapColor(0x808080));
  p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, t);
}

void TMapControl::DrawLabels(QPainter &Canvas, const QRect &Rect, TMapOptions DrawOptions) {
  const int m = int(FLabelMargin);
  if (!(DrawOptions & moDontDrawCopyright) && !FTilesProvider->TilesCopyright.empty()) {
    if (FCopyright.isNull() || FCopyright.devicePixelRatio() != Dpr()) BuildCopyright();
    const QSizeF s = FCopyright.deviceIndependentSize();
    Canvas.drawImage(QPointF(Rect.right() + 1 - m - s.width(), Rect.bottom() + 1 - m - s.height()),
                     FCopyright);
  }
  if (!(DrawOptions & moDontDrawScale) && FZoom >= 0) {
    if (FScaleLine.isNull() || FScaleLine.devicePixelRatio() != Dpr()) DrawScale();
    const QSizeF s = FScaleLine.deviceIndependentSize();
    Canvas.drawImage(QPointF(Rect.left() + m, Rect.bottom() + 1 - m - s.height()), FScaleLine);
  }
}

void TMapControl::SetVisibleLayers(const TMapLayers &Value) {
  FVisibleLayers = Value;
  Invalidate();
}

void TMapControl::SetLabelMargin(unsigned Value) {
  FLabelMargin = Value;
  if (FZoom >= 0) DrawScale();
  Invalidate();
}

void TMapControl::SetMapOptions(TMapOptions Value) {
  FMapOptions = Value;
  Invalidate();
}

QImage TMapControl::SaveToBitmap(TMapOptions DrawOptions, bool DrawMapMarks) {
  return SaveToBitmap(TRect{0, 0, FMapSize, FMapSize}, DrawOptions, DrawMapMarks);
}

QImage TMapControl::SaveToBitmap(const TRect &SaveRect, TMapOptions DrawOptions,
                                 bool DrawMapMarksToo) {
  if (FZoom < 0) throw std::runtime_error("The map has no zoom yet");
  TRect snapped = ToTileBoundary(SaveRect);
  snapped.Left = std::clamp(snapped.Left, 0, FMapSize);
  snapped.Top = std::clamp(snapped.Top, 0, FMapSize);
  snapped.Right = std::clamp(snapped.Right, snapped.Left, FMapSize);
  snapped.Bottom = std::clamp(snapped.Bottom, snapped.Top, FMapSize);
  const int w = snapped.Right - snapped.Left, h = snapped.Bottom - snapped.Top;
  if (w <= 0 || h <= 0) throw std::runtime_error("The area to save is empty");
  QImage img = NewImage(w, h);
  img.fill(palette().color(QPalette::Window));
  {
    QPainter p(&img);
    for (int y = 0; y < h; y += TileSize)
      for (int x = 0; x < w; x += TileSize)
        if (!DrawTileImage(p, unsigned((snapped.Left + x) / TileSize),
                           unsigned((snapped.Top + y) / TileSize), QPoint(x, y)))
          throw std::runtime_error(
              Format("Tile image unavailable: %d * [%d : %d]", {int64_t(FZoom), x, y}));
  }
  TRect area = snapped;
  if (!(SaveRect == snapped)) {
    area = TRect{std::max(SaveRect.Left, snapped.Left), std::max(SaveRect.Top, snapped.Top),
                 std::min(SaveRect.Right, snapped.Right), std::min(SaveRect.Bottom, snapped.Bottom)};
    const qreal dpr = img.devicePixelRatio();
    img = img.copy(QRectF((area.Left - snapped.Left) * dpr, (area.Top - snapped.Top) * dpr,
                          (area.Right - area.Left) * dpr, (area.Bottom - area.Top) * dpr)
                       .toRect());
    img.setDevicePixelRatio(dpr);
  }
  QPainter p(&img);
  if (DrawMapMarksToo) DrawMapMarks(p, area);
  DrawLabels(p, QRect(0, 0, area.Right - area.Left, area.Bottom - area.Top), DrawOptions);
  return img;
}

// --- input ---

void TMapControl::resizeEvent(QResizeEvent *Event) {
  QAbstractScrollArea::resizeEvent(Event);
  UpdateScrollRanges();
  if (SetCacheDimensions()) {
    MoveCache();
    UpdateCache();
  }
  Invalidate();
}

void TMapControl::scrollContentsBy(int, int) { Invalidate(); }

void TMapControl::mousePressEvent(QMouseEvent *Event) {
  setFocus(Qt::MouseFocusReason);
  if (Event->button() != Qt::LeftButton || Event->modifiers() != Qt::NoModifier || FZoom < 0)
    return;
  const QPoint mapPt = ViewToMap(Event->position().toPoint());
  if (mapPt.x() < 0 || mapPt.y() < 0 || mapPt.x() >= FMapSize || mapPt.y() >= FMapSize) return;
  if (FMouseMode == mmDrag) {
    if (MarkAt(MapToGeoCoords(mapPt))) return;
    FDragging = true;
    FDragPos = Event->position().toPoint();
    viewport()->setCursor(Qt::SizeAllCursor);
  } else {
    FSelectionBoxBindPoint = mapPt;
    FSelectionBox = QRect(Event->position().toPoint(), QSize(0, 0));
    FSelectionBoxVisible = true;
    Invalidate();
  }
}

void TMapControl::mouseMoveEvent(QMouseEvent *Event) {
  const QPoint pos = Event->position().toPoint();
  if (FDragging && (Event->buttons() & Qt::LeftButton)) {
    const QPoint d = FDragPos - pos;
    FDragPos = pos;
    ScrollMapBy(d.x(), d.y());
  } else if (FSelectionBoxVisible) {
    QPoint cur = ViewToMap(pos);
    cur.setX(std::clamp(cur.x(), 0, FMapSize));
    cur.setY(std::clamp(cur.y(), 0, FMapSize));
    const QPoint a = FSelectionBoxBindPoint;
    const QPoint tl(std::min(a.x(), cur.x()), std::min(a.y(), cur.y()));
    const QSize size(std::abs(a.x() - cur.x()), std::abs(a.y() - cur.y()));
    FSelectionBox = QRect(MapToView(tl), size);
    Invalidate();
  }
}

void TMapControl::mouseReleaseEvent(QMouseEvent *Event) {
  if (FDragging) {
    FDragging = false;
    viewport()->unsetCursor();
  }
  if (FSelectionBoxVisible && Event->button() == Qt::LeftButton) {
    FSelectionBoxVisible = false;
    Invalidate();
    const QPoint tl = ViewToMap(FSelectionBox.topLeft());
    const TRect mapBox{tl.x(), tl.y(), tl.x() + FSelectionBox.width(),
                       tl.y() + FSelectionBox.height()};
    if (OnSelectionBox) OnSelectionBox(this, MapToGeoCoords(mapBox));
  }
}

void TMapControl::wheelEvent(QWheelEvent *Event) {
  Event->accept();
  const int delta = Event->angleDelta().y();
  if (delta == 0 || FZoom < 0) return;
  QPoint bind = ViewToMap(Event->position().toPoint());
  bind.setX(std::clamp(bind.x(), 0, FMapSize));
  bind.setY(std::clamp(bind.y(), 0, FMapSize));
  SetZoom(FZoom + (delta > 0 ? 1 : -1), bind);
}

void TMapControl::keyPressEvent(QKeyEvent *Event) {
  if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier &&
      FSelectionBoxVisible) {
    FSelectionBoxVisible = false;
    Invalidate();
    return;
  }
  QAbstractScrollArea::keyPressEvent(Event);
}

} // namespace kelvra
