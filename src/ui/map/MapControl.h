#pragma once
// A scrollable slippy map of one zoom level: 256 x 256 tiles composed into a
// cache image, map marks on layers, a selection box, copyright and scale bar.
// It does not fetch tiles: GetTile (or OnGetTile) hands them in, and a missing
// one is drawn as a "Loading" placeholder until RefreshTile is called for it.
//
// Coordinates: map coordinates are pixels of the whole world map at the
// current zoom; view coordinates are logical pixels of the viewport, view
// (0, 0) being map (horizontal scroll position, vertical scroll position).
// On a high-density screen the view works in logical pixels (a tile is 256 of
// them) and draws into device pixels, so lines and text stay sharp.
#include "core/map/Bitmap32.h"
#include "core/map/SlippyMapUtils.h"
#include "core/map/TilesProvider.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QPoint>

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QPainter;

namespace kelvra {

class TMapControl;

enum TMapOption : unsigned {
  moDontDrawCopyright = 1,
  moDontDrawScale = 2,
};
using TMapOptions = unsigned; // a set of TMapOption

enum TMapMouseMode { mmDrag, mmSelect };

using TMapLayer = std::uint8_t;
using TMapLayers = std::bitset<256>;
// Every one of the 256 layers.
TMapLayers LayersAll();

enum TMapMarkGlyphShape { gshCircle, gshSquare, gshTriangle };

// Colours are 0x00BBGGRR; 0xFF0000nn names a system colour (see MapColor).
struct TMapMarkGlyphStyle {
  TMapMarkGlyphShape Shape = gshCircle;
  unsigned Size = 20; // side or diameter in pixels
  std::uint32_t BorderColor = 0;
  std::uint32_t BgColor = 0;
};

struct TMapMarkCaptionStyle {
  std::uint32_t Color = 0;   // text
  std::uint32_t BgColor = 0; // text background
  int DX = 3;                // offset from the glyph's top-right corner
  int DY = 0;
  bool Transparent = true; // no text background
};

enum TMapMarkCustomProp : unsigned {
  propGlyphStyle = 1,
  propCaptionStyle = 2,
  propFont = 4,
};
using TMapMarkCustomProps = unsigned; // a set of TMapMarkCustomProp

// System colours the default styles name.
constexpr std::uint32_t clWindowFrame = 0xFF000006;
constexpr std::uint32_t clMenuText = 0xFF000007;
constexpr std::uint32_t clWindow = 0xFF000005;

extern const TMapMarkGlyphStyle DefaultMapMarkGlyphStyle;
extern const TMapMarkCaptionStyle DefaultMapMarkCaptionStyle;

// 0x00BBGGRR (or a system colour 0xFF0000nn) as a Qt colour.
QColor MapColor(std::uint32_t Color);

class TMapMark {
public:
  TGeoPoint Coord;
  std::string Caption; // empty for none
  bool Visible = true;
  void *Data = nullptr; // for the owner's use (the main window: its TObjectInfo); not owned
  TMapLayer Layer = 0;  // set before the mark is added: the list is sorted by layer
  TMapMarkCustomProps CustomProps = 0;
  TMapMarkGlyphStyle GlyphStyle;
  TMapMarkCaptionStyle CaptionStyle;
  QFont CaptionFont; // used only with propFont
  // Size of the picture the monitoring layer drew for the mark.
  int Width = 0;
  int Height = 0;
};

enum TMapMarkNotify { mmnAdded, mmnExtracted, mmnDeleted };

// The map's marks, owned and kept sorted by layer (ascending), so that higher
// layers paint on top.
class TMapMarkList {
public:
  explicit TMapMarkList(TMapControl *Map); // Map: not owned
  ~TMapMarkList();
  TMapMarkList(const TMapMarkList &) = delete;
  TMapMarkList &operator=(const TMapMarkList &) = delete;

  // Changes between BeginUpdate and the last EndUpdate repaint the map once.
  void BeginUpdate();
  void EndUpdate();

  int Count() const { return int(FList.size()); }
  // Throws std::out_of_range for an index outside the list.
  TMapMark *Get(int Index) const;
  void Clear();

  // A new visible mark with the map's default glyph and caption styles; not yet in the list.
  std::unique_ptr<TMapMark> NewItem() const;
  TMapMark *Add(const TGeoPoint &GeoCoords, const std::string &Caption, TMapLayer Layer = 0);
  // Takes ownership; the mark goes before the first mark of its layer.
  TMapMark *Add(std::unique_ptr<TMapMark> MapMark);
  // Takes ownership of many marks at once and places them as Adds in this order would (each
  // before the first mark of its layer), sorting once and repainting once.
  void AddMarks(std::vector<std::unique_ptr<TMapMark>> Marks);
  // The mark whose Data is this record (null: none); a lookup, not a scan. Data is indexed as it
  // is when a mark goes into the list: set it before adding the mark.
  TMapMark *FindByData(const void *Data) const;
  // Removes and frees, in one pass, every mark Drop says so of; returns how many went.
  int DeleteIf(const std::function<bool(const TMapMark &)> &Drop);
  // Removes and frees exactly this mark; false when it is not in the list.
  bool Delete(TMapMark *MapMark);
  // Removes the mark and hands it back to the caller (null when not in the list).
  std::unique_ptr<TMapMark> Extract(TMapMark *MapMark);
  int IndexOf(const TMapMark *MapMark) const;

  // First index at or after StartIndex (-1 means 0) whose Coord equals GeoCoords; -1 if none.
  int Find(const TGeoPoint &GeoCoords, bool ConsiderMapMarkSize = false, int StartIndex = -1) const;
  // First index after StartIndex whose Coord lies in GeoRect; -1 if none.
  int Find(const TGeoRect &GeoRect, bool ConsiderMapMarkSize = false, int StartIndex = -1) const;

  std::function<void(TMapMarkList *Sender, TMapMark *Mark, TMapMarkNotify Action)> OnItemNotify;

private:
  void Changed(TMapMark *Mark, TMapMarkNotify Action);

  void BuildIndex() const;

  TMapControl *FMap; // not owned
  std::vector<std::unique_ptr<TMapMark>> FList;
  int FUpdateCount = 0;
  // mark -> its index, Data -> mark; rebuilt on the first lookup after the list changed
  mutable std::unordered_map<const TMapMark *, int> FIndexOf;
  mutable std::unordered_map<const void *, TMapMark *> FByData;
  mutable bool FIndexValid = false;
};

class TMapControl : public QAbstractScrollArea {
  Q_OBJECT

public:
  explicit TMapControl(QWidget *Parent = nullptr);
  ~TMapControl() override;

  // --- coordinates ---------------------------------------------------------
  // The viewport in map coordinates.
  TRect ViewRect() const;
  QPoint ViewToMap(const QPoint &ViewPt) const;
  TRect ViewToMap(const TRect &ViewRect) const;
  QPoint MapToView(const QPoint &MapPt) const;
  TRect MapToView(const TRect &MapRect) const;
  QPoint MapToInner(const QPoint &MapPt) const { return MapToView(MapPt); }
  QPoint InnerToMap(const QPoint &InnerPt) const { return ViewToMap(InnerPt); }
  // Map points are capped at the map's edges before they are converted.
  TGeoPoint MapToGeoCoords(const QPoint &MapPt) const;
  TGeoRect MapToGeoCoords(const TRect &MapRect) const;
  // Longitudes and latitudes beyond the map's edges land on the edge; a NaN
  // coordinate gives 0 (callers test HasLatLon first).
  QPoint GeoCoordsToMap(const TGeoPoint &GeoCoords) const;
  TRect GeoCoordsToMap(const TGeoRect &GeoRect) const;

  // --- position and zoom ---------------------------------------------------
  void ScrollMapBy(int DeltaHorz, int DeltaVert);
  void ScrollMapTo(int Horz, int Vert);
  void SetNWPoint(const QPoint &MapPt);
  void SetNWPoint(const TGeoPoint &GeoPt);
  TGeoPoint NWPoint() const;
  TGeoPoint CenterPoint() const;
  // A point with a NaN coordinate is ignored.
  void SetCenterPoint(const TGeoPoint &GeoPt);

  int Zoom() const { return FZoom; }
  // Keeps the geographic point under MapBindPt (map coordinates at the old
  // zoom) at the same view position. A zoom outside MinZoom..MaxZoom or equal
  // to the current one is ignored.
  void SetZoom(int Value, const QPoint &MapBindPt);
  void SetZoom(int Value);
  int MinZoom() const { return FMinZoom; }
  int MaxZoom() const { return FMaxZoom; }
  void SetMinZoom(int Value);
  void SetMaxZoom(int Value);
  void ZoomToArea(const TGeoRect &GeoRect);
  void ZoomToFit();

  // Redraws one tile into the cache image and repaints only its square.
  void RefreshTile(unsigned TileHorzNum, unsigned TileVertNum);
  // Redraws every tile of the cache image (the way missing tiles look changed).
  void RedrawTiles();
  void SetCacheImageProperties(unsigned TilesHorz, unsigned TilesVert, unsigned MarginSize);
  // The map rectangle the cache image covers and the image itself (device pixels).
  TRect CacheImageRect() const { return FCacheImageRect; }
  // The number of tiles the cache image holds (the view and its margin).
  int CacheImageTiles() const {
    return ((FCacheImageRect.Right - FCacheImageRect.Left) / TileSize) *
           ((FCacheImageRect.Bottom - FCacheImageRect.Top) / TileSize);
  }
  const QImage &CacheImage() const { return FCacheImage; }

  // --- appearance ----------------------------------------------------------
  const TMapLayers &VisibleLayers() const { return FVisibleLayers; }
  void SetVisibleLayers(const TMapLayers &Value);
  unsigned LabelMargin() const { return FLabelMargin; }
  void SetLabelMargin(unsigned Value);
  TMapOptions MapOptions() const { return FMapOptions; }
  void SetMapOptions(TMapOptions Value);
  TMapMouseMode MouseMode() const { return FMouseMode; }
  void SetMouseMode(TMapMouseMode Value) { FMouseMode = Value; }
  TTilesProvider *TilesProvider() const { return FTilesProvider.get(); }
  // Null installs a TDummyTilesProvider. Zoom limits follow the provider's range.
  void SetTilesProvider(std::unique_ptr<TTilesProvider> Provider);

  TMapMarkList &MapMarks() { return *FMapMarkList; }
  TMapMarkGlyphStyle MapMarkGlyphStyle = DefaultMapMarkGlyphStyle;
  TMapMarkCaptionStyle MapMarkCaptionStyle = DefaultMapMarkCaptionStyle;
  QFont MapMarkCaptionFont;

  // The selection box in view coordinates, while the user draws one.
  bool SelectionBoxVisible() const { return FSelectionBoxVisible; }
  QRect SelectionBox() const { return FSelectionBox; }

  // Renders a map area (map coordinates) into a new image at this widget's
  // device pixel ratio, tiles from GetTile/OnGetTile only. Throws
  // std::runtime_error "Tile image unavailable: %d * [%d : %d]" (zoom, the
  // tile's pixel offset in the image) when a tile has no image.
  QImage SaveToBitmap(const TRect &SaveRect, TMapOptions DrawOptions, bool DrawMapMarks);
  // The whole map of the current zoom.
  QImage SaveToBitmap(TMapOptions DrawOptions, bool DrawMapMarks);

  // Repaints the viewport (coalesced by Qt into one paint per frame), e.g.
  // after marks, tracks or zones changed.
  void Invalidate();

  // --- events --------------------------------------------------------------
  // The tile bitmap, not owned, valid during the call; null when missing.
  std::function<const TBitmap32 *(TMapControl *Sender, unsigned TileHorzNum, unsigned TileVertNum)>
      OnGetTile;
  // Called for a tile without a bitmap; Handled = true means it was drawn.
  std::function<void(TMapControl *Sender, unsigned TileHorzNum, unsigned TileVertNum,
                     const QPoint &TopLeft, QPainter &Canvas, bool &Handled)>
      OnDrawTile;
  std::function<void(TMapControl *Sender, unsigned TileHorzNum, unsigned TileVertNum,
                     const QPoint &TopLeft, QPainter &Canvas, bool &Handled)>
      OnDrawTileLoading;
  std::function<void(TMapControl *Sender)> OnZoomChanged;
  // Point: the mark's view position. Handled = true: nothing more is drawn for it.
  std::function<void(TMapControl *Sender, QPainter &Canvas, const QPoint &Point, TMapMark *MapMark,
                     bool &Handled)>
      OnDrawMapMark;
  std::function<void(TMapControl *Sender, const TGeoRect &GeoRect)> OnSelectionBox;

protected:
  // The tile's bitmap (not owned, valid until the next call) or null.
  virtual const TBitmap32 *GetTile(unsigned TileHorzNum, unsigned TileVertNum);
  // Overlays in view coordinates; MapRect is the view in map coordinates,
  // capped at the map's size.
  virtual void DrawGeoTracks(QPainter &Canvas, const TRect &MapRect);
  virtual void DrawGeoZones(QPainter &Canvas, const TRect &MapRect);

  // Draws one tile at TopLeft: its image, or what OnDrawTile/OnDrawTileLoading
  // do, or the "Loading" placeholder.
  void DrawTile(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum, const QPoint &TopLeft);
  // False when the tile has no image (nothing drawn).
  bool DrawTileImage(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                     const QPoint &TopLeft);
  void DrawTileLoading(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                       const QPoint &TopLeft);
  // What a missing tile shows under the "Loading" frame and text; false
  // leaves the plain background.
  virtual bool DrawTileStandIn(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                               const QPoint &TopLeft);
  // Every visible mark in the view, lower layers first.
  virtual void DrawMapMarks(QPainter &Canvas, const TRect &MapRect);
  // The same for the marks Skip does not refuse (null: every mark).
  void DrawMapMarksExcept(QPainter &Canvas, const TRect &MapRect,
                          const std::function<bool(const TMapMark &)> &Skip);
  // One mark at a view position: OnDrawMapMark, else the default glyph.
  void DrawMapMarkAt(QPainter &Canvas, TMapMark &Mark, const QPoint &Point);
  void DrawMapMark(QPainter &Canvas, TMapMark &Mark, const QPoint &Point);
  void DrawLabels(QPainter &Canvas, const QRect &Rect, TMapOptions DrawOptions);
  qreal Dpr() const;
  // The map rectangle of the view capped at the map's size.
  TRect CappedViewRect() const;
  // True when a mark stands exactly at the geographic point.
  bool MarkAt(const TGeoPoint &GeoPt) const;

  // Qt handlers; derived maps call these for what they do not take over.
  void paintEvent(QPaintEvent *Event) override;
  void resizeEvent(QResizeEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void mouseMoveEvent(QMouseEvent *Event) override;
  void mouseReleaseEvent(QMouseEvent *Event) override;
  void wheelEvent(QWheelEvent *Event) override;
  void keyPressEvent(QKeyEvent *Event) override;
  void scrollContentsBy(int Dx, int Dy) override;

private:
  void UpdateScrollRanges();
  bool SetCacheDimensions();
  void MoveCache();
  void UpdateCache();
  void EnsureCacheCoversView();
  void DrawScale();
  void BuildCopyright();
  QImage NewImage(int Width, int Height) const;
  void ApplyZoomConstraints();

  int FMapSize = 0; // both sides
  QImage FCacheImage;
  TRect FCacheImageRect;
  QImage FCopyright;
  QImage FScaleLine;
  int FZoom = -1;
  TMapOptions FMapOptions = 0;
  QPoint FDragPos;
  bool FDragging = false;
  int FMaxZoom = 0;
  int FMinZoom = 0;
  std::unique_ptr<TMapMarkList> FMapMarkList;
  QRect FSelectionBox;
  bool FSelectionBoxVisible = false;
  QPoint FSelectionBoxBindPoint; // map coordinates
  TMapMouseMode FMouseMode = mmDrag;
  TMapLayers FVisibleLayers;
  std::unique_ptr<TTilesProvider> FTilesProvider;
  unsigned FCacheImageTilesH = 8;
  unsigned FCacheImageTilesV = 8;
  unsigned FCacheMarginSize = 2;
  unsigned FLabelMargin = 2;
  qreal FCacheDpr = 0; // the ratio the cache image was built for
};

} // namespace kelvra
