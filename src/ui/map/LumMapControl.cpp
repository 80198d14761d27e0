#include "ui/map/LumMapControl.h"

#include "core/app/Common.h"
#include "core/map/NetworkRequestRTL.h"
#include "core/map/TilesProviderOSM.h"
#include "core/tracks/SpeedScale.h"
#include "core/util/LumDates.h"
#include "core/util/LumSmallUtils.h"

#include "ui/map/LumMapParts.h"
#include "ui/map/MapText.h"

#include <utility>
#include <ctime>
#include <QDateTime>
#include <QTimer>
#include <QLayout>
#include <QRegion>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kelvra {

using namespace lummap;

namespace {
// Geographic changes below this are no move at all.
constexpr double MoveEps = 1e-5;
// A missing tile shows an ancestor at most this many zooms up (8 times enlarged).
constexpr int MaxStandInLevels = 3;

double Round6(double v) { return std::round(v * 1e6) / 1e6; }

// The hit area of a marker standing at view point P (its pin above the point).
bool MarkerHit(const QPoint &P, const QPoint &Pos) {
  return P.x() - 16 <= Pos.x() && Pos.x() < P.x() + 16 && P.y() - 48 <= Pos.y() && Pos.y() < P.y();
}

std::uint64_t HashMix(std::uint64_t h, std::uint64_t v) { return (h ^ v) * 1099511628211ull; }

QImage WrapBitmap(const TBitmap32 &Bmp) {
  return QImage(reinterpret_cast<const uchar *>(Bmp.fPixels.data()), Bmp.fWidth, Bmp.fHeight,
                Bmp.BytesPerLine(), QImage::Format_ARGB32_Premultiplied);
}

bool HasPixels(const TBitmap32 *Bmp) {
  return Bmp && Bmp->fWidth > 0 && Bmp->fHeight > 0 &&
         Bmp->fPixels.size() >= std::size_t(Bmp->fWidth) * std::size_t(Bmp->fHeight);
}

// The photo cut to its middle square and scaled smoothly to Side pixels.
std::unique_ptr<TBitmap32> MakeIcon(const TBitmap32 &Photo, int Side) {
  const QImage src = WrapBitmap(Photo);
  const int sq = std::min(src.width(), src.height());
  const QImage square = src.copy((src.width() - sq) / 2, (src.height() - sq) / 2, sq, sq);
  const QImage scaled = square.scaled(Side, Side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  auto icon = std::make_unique<TBitmap32>(Side, Side);
  for (int y = 0; y < Side; ++y)
    std::memcpy(&icon->fPixels[std::size_t(y) * std::size_t(Side)], scaled.constScanLine(y),
                std::size_t(Side) * 4);
  return icon;
}
} // namespace

TLumMapControl::TLumMapControl(QWidget *Parent, const std::string &CachePath,
                               std::uint32_t CacheSize)
    : TMapControl(Parent) {
  if (Parent) {
    QLayout *layout = Parent->layout();
    if (!layout) {
      layout = new QVBoxLayout(Parent); // owned by Parent
      layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(this);
  }
  FTileStorage = std::make_unique<TTileStorage>(CacheSize);
  FCacheRoot = CachePath;
  SetTileURL({});
  FMarkerImages = MakeMarkerImages(Dpr());
  OnDrawMapMark = [this](TMapControl *, QPainter &Canvas, const QPoint &P, TMapMark *Mark,
                         bool &Handled) { DrawObjectMark(Canvas, P, Mark, Handled); };
  ApplyConfig();
  SetZoom(MinZoom());
  FRetryTimer = new QTimer(this);
  FRetryTimer->setSingleShot(true);
  connect(FRetryTimer, &QTimer::timeout, this, [this] { RetryFailedTiles(); });
  FActive = true;
}

void TLumMapControl::ApplyConfig() {
  SetFeatures(ReadMapFeatures(Config.get()));
  if (FNetRequest) SetTileSource(TileSourceFromConfig(Config.get()));
  SetLabelMargin(LabelMargin()); // draws the scale bar again: the units may have changed
}

void TLumMapControl::SetFeatures(const TMapFeatures &Value) {
  const bool tilesChanged = Value.SmoothTiles != FFeatures.SmoothTiles;
  FFeatures = Value;
  if (tilesChanged) RedrawTiles(); // the placeholders change
  Invalidate();
  emit FeaturesChanged();
}

TLumMapControl::~TLumMapControl() {
  Deactivate();
  FTileStorage.reset();
  FGeoTracks.clear();
}

void TLumMapControl::Deactivate() {
  FActive = false;
  // Waits for the workers; what they post from now on is dropped on arrival,
  // and what is still queued for this object goes with it.
  FNetRequest.reset();
}

void TLumMapControl::CreateQueue(const TTileSource &Source) {
  FNetRequest.reset();
  FNetRequest = std::make_unique<TNetworkRequestQueue>(
      4, 3, &NetworkRequest, std::make_unique<TOSMTilesProvider>(Source));
  THttpRequestProps props;
  props.HeaderLines = std::make_unique<std::vector<std::string>>(SampleHeaders());
  props.Connections = NewHttpConnections(); // closed with the queue
  FNetRequest->SetRequestProps(props);
  const unsigned queue = ++FQueueGeneration;
  FNetRequest->SetOnGotTileReplyBgThr([this, queue](const TTile &Tile, std::unique_ptr<TMemoryStream> Ms,
                                                     const std::string &Error,
                                                     const THttpReplyInfo &Reply) {
    NetCallback(Tile, std::move(Ms), Error, Reply, queue);
  });
}

void TLumMapControl::SetTileURL(const std::string &Pattern) {
  FTileSource = {}; // set again, even when it is the same
  SetTileSource(Pattern.empty() ? TileSourceFromConfig(Config.get())
                                : CustomTileSource("url", Pattern));
}

void TLumMapControl::SetTileSource(const TTileSource &Source) {
  if (Source == FTileSource && FNetRequest) return;
  FTileSource = Source;
  CreateQueue(Source);
  // Tiles of another server are other pictures, and its failures are not this one's.
  FTileStorage->ClearCache();
  FTileFailures.Clear();
  FTileStorage->SetFileCacheBaseDir(FCacheRoot.empty() ? std::string()
                                                       : FCacheRoot + "/" + Source.CacheFolder);
  // The public servers' usage policy holds whatever their replies say; other servers are taken
  // at their word.
  FTileStorage->SetFreshFloorSeconds(Source.PublicServer ? PublicServerTileFloorSeconds : 0);
  {
    std::lock_guard<std::mutex> lock(FArrivingLock);
    FArriving.clear(); // the old queue is gone with what it was fetching
  }
  SetTilesProvider(std::make_unique<TOSMTilesProvider>(Source));
  if (!FActive) return; // still being built
  RedrawTiles();
  Invalidate();
  Log("\rMap source: %s %s", {Source.Id, Source.UrlPattern});
}

void TLumMapControl::SetCacheDir(const std::string &Dir) {
  FCacheRoot = Dir;
  FTileStorage->SetFileCacheBaseDir(FCacheRoot + "/" + FTileSource.CacheFolder);
}

void TLumMapControl::SetMarkerImages(std::vector<QImage> Images) {
  FOwnMarkerImages = Images.size() < 2;
  FMarkerImages = FOwnMarkerImages ? MakeMarkerImages(Dpr()) : std::move(Images);
  Invalidate();
}

void TLumMapControl::Log(const std::string &Fmt, const TFmtArgs &Args) {
  if (LogCallback) LogCallback(Fmt, Args);
}

int TLumMapControl::Cmd(const std::string &Action, const std::string &Subj,
                        const std::vector<std::string> &Args) {
  return CmdCallback ? CmdCallback(this, Action, Subj, Args) : 0;
}

// --- tiles ---

const TBitmap32 *TLumMapControl::GetTile(unsigned TileHorzNum, unsigned TileVertNum) {
  if (!FTileStorage || Zoom() < 0) return nullptr;
  // Twice the tiles of the largest cache image shown stay decoded: a pan across the cache's
  // margin finds the tiles it showed before in memory.
  FTileStorage->GrowForView(2 * std::uint32_t(std::max(0, CacheImageTiles())));
  const TTile tile{TMapZoomLevel(Zoom()), TileHorzNum, TileVertNum};
  if (const TBitmap32 *bmp = FTileStorage->GetTile(tile)) {
    // A stale tile is shown while it is asked for again.
    TTileValidators validators;
    if (FActive && FNetRequest && FTileStorage->NeedsRefresh(tile, std::time(nullptr), validators)) {
      FNetRequest->SetCurrentViewRect(ViewRect());
      FNetRequest->RequestTile(tile, validators);
    }
    return bmp;
  }
  if (FTileFailures.Resting(tile, QDateTime::currentMSecsSinceEpoch())) return nullptr;
  if (FActive && FNetRequest) {
    {
      std::lock_guard<std::mutex> lock(FArrivingLock);
      if (std::find(FArriving.begin(), FArriving.end(), tile) != FArriving.end()) return nullptr;
    }
    FNetRequest->SetCurrentViewRect(ViewRect());
    FNetRequest->RequestTile(tile);
  }
  return nullptr;
}

void TLumMapControl::NetCallback(const TTile &Tile, std::unique_ptr<TMemoryStream> Ms,
                                 const std::string &Error, const THttpReplyInfo &Reply,
                                 unsigned Queue) {
  if (!FActive) return; // Ms is freed here
  {
    std::lock_guard<std::mutex> lock(FArrivingLock);
    FArriving.push_back(Tile);
  }
  auto data = std::make_shared<TGotTileData>();
  data->Tile = Tile;
  data->Ms = std::move(Ms);
  data->Error = Error;
  data->Reply = Reply;
  data->Queue = Queue;
  // Queued to this object: Qt discards the call (and frees the record) if
  // the object is gone before the event loop gets to it.
  QMetaObject::invokeMethod(
      this, [this, data] { MsgGotTile(*data); }, Qt::QueuedConnection);
}

void TLumMapControl::MsgGotTile(TGotTileData &Data) {
  {
    std::lock_guard<std::mutex> lock(FArrivingLock);
    auto it = std::find(FArriving.begin(), FArriving.end(), Data.Tile);
    if (it != FArriving.end()) FArriving.erase(it);
  }
  if (!FActive || !FTileStorage) return;
  if (Data.Queue != 0 && Data.Queue != FQueueGeneration) return; // a source the map has left
  if (!Data.Error.empty() || !Data.Ms) {
    FTileStorage->RefreshFailed(Data.Tile);
    ReportTileError(Data.Tile, Data.Error.empty() ? std::string("no data") : Data.Error);
    return;
  }
  try {
    std::string error;
    if (Data.Reply.Status == 304) {
      // Not modified: the cached bytes stay and count as fresh again; nothing to repaint.
      if (FTileStorage->RenewTile(Data.Tile, Data.Reply, std::time(nullptr))) {
        FTileFailures.Arrived(Data.Tile);
        return;
      }
      ReportTileError(Data.Tile, "not modified, but no longer cached");
      return;
    }
    if (!FTileStorage->StoreTile(Data.Tile, Data.Ms, error, Data.Reply, std::time(nullptr))) {
      FTileStorage->RefreshFailed(Data.Tile);
      ReportTileError(Data.Tile, error);
      return;
    }
    FTileFailures.Arrived(Data.Tile);
    // A late tile of another zoom is kept for later but changes nothing on screen.
    if (Data.Tile.Zoom == Zoom()) RefreshTile(Data.Tile.ParameterX, Data.Tile.ParameterY);
  } catch (const std::exception &) {
    // A tile that cannot be kept stays a placeholder and is asked for again.
  }
}

bool TLumMapControl::DrawTileStandIn(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                                     const QPoint &TopLeft) {
  if (!FFeatures.SmoothTiles || !FTileStorage || Zoom() < 1) return false;
  TTileAncestor from;
  const TBitmap32 *bmp = FTileStorage->FindAncestorInMemory(
      TTile{TMapZoomLevel(Zoom()), TileHorzNum, TileVertNum}, MaxStandInLevels, from);
  if (!HasPixels(bmp)) return false;
  Canvas.save();
  Canvas.setCompositionMode(QPainter::CompositionMode_SourceOver);
  Canvas.setRenderHint(QPainter::SmoothPixmapTransform, true);
  Canvas.drawImage(QRect(TopLeft, QSize(TileSize, TileSize)), WrapBitmap(*bmp),
                   QRect(from.X, from.Y, from.Size, from.Size));
  Canvas.restore();
  return true;
}

void TLumMapControl::ReportTileError(const TTile &Tile, const std::string &Error) {
  const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
  FTileFailures.Failed(Tile, now);
  StartRetryTimer();
  // Reasons that differ only in numbers ("after 16 ms") are the same reason.
  std::string kind;
  for (const char c : Error)
    if (c < '0' || c > '9') kind += c;
  if (kind == FLastTileError && now - FLastTileErrorMs < 60000) {
    ++FTileErrorsUnlogged;
    return;
  }
  const std::string more =
      FTileErrorsUnlogged > 0 ? " (" + std::to_string(FTileErrorsUnlogged) + " more before)" : "";
  Log("\rTile %d * [%d : %d]: x: %s%s",
      {int(Tile.Zoom), int64_t(Tile.ParameterX), int64_t(Tile.ParameterY), Error, more});
  FLastTileError = kind;
  FLastTileErrorMs = now;
  FTileErrorsUnlogged = 0;
}

void TLumMapControl::StartRetryTimer() {
  const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
  const std::int64_t next = FTileFailures.NextEndMs(now);
  if (next < 0) return;
  const int wait = int(std::min<std::int64_t>(next - now, 24 * 3600 * 1000));
  if (!FRetryTimer->isActive() || FRetryTimer->remainingTime() > wait) FRetryTimer->start(wait);
}

void TLumMapControl::RetryFailedTiles() {
  if (!FActive) return;
  // Drawing the square again asks for its tile when it is still missing; tiles that left the
  // view or the zoom are asked for when they come back.
  const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
  for (const TTile &tile : FTileFailures.Due(now))
    if (tile.Zoom == Zoom()) RefreshTile(tile.ParameterX, tile.ParameterY);
  StartRetryTimer();
}

// --- centre and marks ---

void TLumMapControl::SetCenter(int Zoom, double Lat, double Lon) {
  if (std::isnan(Lat) || std::isnan(Lon)) return;
  SetZoom(Zoom);
  SetCenterPoint(TGeoPoint{Lon, Lat});
}

TMapMark *TLumMapControl::SetMark(int Zoom, double Lat, double Lon) {
  if (std::isnan(Lat) || std::isnan(Lon)) return nullptr;
  SetCenter(Zoom, Lat, Lon);
  auto m = MapMarks().NewItem();
  m->Coord = TGeoPoint{Lon, Lat};
  m->Layer = 0;
  m->CustomProps = propGlyphStyle | propCaptionStyle;
  m->GlyphStyle = TMapMarkGlyphStyle{gshTriangle, 24, 0x800000, 0x008000};
  m->Width = 24;
  m->Height = 24;
  return MapMarks().Add(std::move(m));
}

QPoint TLumMapControl::GeoPointToInnerPoint(const TGeoPoint &gp) const {
  return MapToView(GeoCoordsToMap(gp));
}

void TLumMapControl::DrawObjectMark(QPainter &Canvas, const QPoint &P, TMapMark *Mark,
                                    bool &Handled) {
  if (!Mark || !Mark->Visible || !Mark->Data || FMarkerImages.size() < 2) return;
  auto *obj = static_cast<TObjectInfo *>(Mark->Data);
  if (FOwnMarkerImages && FMarkerImages[0].devicePixelRatio() != Dpr())
    FMarkerImages = MakeMarkerImages(Dpr());
  const bool hasPhoto = HasPixels(obj->photo.get());
  const QImage &picture = FMarkerImages[hasPhoto ? 1 : 0];
  const QSizeF size = picture.deviceIndependentSize();
  const int w = qRound(size.width()), h = qRound(size.height());
  const int x = P.x() - w / 2, y = P.y() - h + 4;

  Canvas.setRenderHint(QPainter::Antialiasing, true);
  // The tail goes under the marker, so that it never crosses the photo.
  if (obj->tail.size() > 1) {
    const QPoint offset = P - GeoCoordsToMap(Mark->Coord);
    QPolygon line;
    line << P;
    for (auto i = obj->tail.size() - 1; i-- > 0;) {
      const TTrackPointInfo &tp = *obj->tail[i];
      if (tp.HasLatLon()) line << GeoCoordsToMap(TGeoPoint{tp.lon, tp.lat}) + offset;
    }
    QPen pen(MapColor(obj->track_color), 3);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    Canvas.setPen(pen);
    Canvas.setBrush(Qt::NoBrush);
    Canvas.drawPolyline(line);
  }
  if (hasPhoto) {
    const int side = w - 2;
    const int px = qRound(side * Dpr());
    if (!HasPixels(obj->icon.get()) || obj->icon->fWidth != px) obj->icon = MakeIcon(*obj->photo, px);
    QImage icon = WrapBitmap(*obj->icon);
    icon.setDevicePixelRatio(Dpr());
    Canvas.save();
    QPainterPath clip;
    clip.addEllipse(QRectF(x + 1, y + 1, side, side));
    Canvas.setClipPath(clip, Qt::IntersectClip);
    Canvas.drawImage(QRectF(x + 1, y + 1, side, side), icon);
    Canvas.restore();
  }
  Canvas.drawImage(QPoint(x, y), picture);
  Mark->Width = w;
  Mark->Height = h;
  Handled = true;
}

// --- marker clusters ---

void TLumMapControl::UpdateClusters() {
  const TDateTime now = Now ? Now() : NowLocal();
  const TDisplayZone clock = Clock ? Clock() : TDisplayZone();
  std::uint64_t hash = HashMix(1469598103934665603ull, std::uint64_t(Zoom()));
  std::vector<TMapMark *> marks;
  std::vector<TMarkerState> states;
  marks.reserve(std::size_t(MapMarks().Count()));
  states.reserve(std::size_t(MapMarks().Count()));
  for (int i = 0; i < MapMarks().Count(); ++i) {
    TMapMark *m = MapMarks().Get(i);
    if (!m->Visible || !m->Data || !VisibleLayers().test(m->Layer) || !HasPoint(m->Coord)) continue;
    const TMarkerState state = MarkerStateOf(*static_cast<const TObjectInfo *>(m->Data), now, clock);
    hash = HashMix(hash, std::uint64_t(reinterpret_cast<std::uintptr_t>(m)));
    hash = HashMix(hash, std::bit_cast<std::uint64_t>(m->Coord.Long));
    hash = HashMix(hash, std::bit_cast<std::uint64_t>(m->Coord.Lat));
    hash = HashMix(hash, std::uint64_t(state));
    marks.push_back(m);
    states.push_back(state);
  }
  if (hash == FClusterHash && marks == FClusterMarks) return;
  FClusterHash = hash;
  FClusterMarks = std::move(marks);
  FClusterPoints.resize(FClusterMarks.size());
  FClusterIndex.clear();
  for (std::size_t i = 0; i < FClusterMarks.size(); ++i) {
    const QPoint p = GeoCoordsToMap(FClusterMarks[i]->Coord);
    FClusterPoints[i] = TClusterMarker{p.x(), p.y(), states[i]};
    FClusterIndex.emplace(FClusterMarks[i], int(i));
  }
  FClusterer.Build(FClusterPoints);
}

bool TLumMapControl::InGroup(const TMapMark *Mark) const {
  auto it = FClusterIndex.find(Mark);
  return it != FClusterIndex.end() &&
         FClusterer.Clusters()[std::size_t(FClusterer.ClusterOf(it->second))].Count > 1;
}

void TLumMapControl::DrawMapMarks(QPainter &Canvas, const TRect &MapRect) {
  if (!FFeatures.ClusterMarkers) {
    TMapControl::DrawMapMarks(Canvas, MapRect);
    return;
  }
  UpdateClusters();
  // Marks that stand for no object keep their own drawing; object marks go by cluster.
  DrawMapMarksExcept(Canvas, MapRect, [](const TMapMark &m) { return m.Data != nullptr; });
  PaintClusters(Canvas, FClusterer, FClusterPainter, FClusterPoints,
                QPoint(MapRect.Left, MapRect.Top), viewport()->size(), FannedOut(),
                [&](int m, const QPoint &at) {
                  DrawMapMarkAt(Canvas, *FClusterMarks[std::size_t(m)], at);
                });
}

std::vector<TLumMapControl::TShownCluster> TLumMapControl::ShownClusters() {
  std::vector<TShownCluster> shown;
  if (!FFeatures.ClusterMarkers || Zoom() < 0) return shown;
  UpdateClusters();
  const TRect v = ViewRect();
  const QRect view(QPoint(0, 0), viewport()->size());
  for (const TMarkerCluster &c : FClusterer.Clusters()) {
    const QPoint at = QPoint(c.X, c.Y) - QPoint(v.Left, v.Top);
    if (c.Count > 1 && view.contains(at)) shown.push_back(TShownCluster{at, c.Count, c.State});
  }
  return shown;
}

int TLumMapControl::ClusterAt(const QPoint &Pos, TMapMark *&Member) {
  Member = nullptr;
  UpdateClusters();
  const TRect v = ViewRect();
  const auto &clusters = FClusterer.Clusters();
  // The last drawn is on top: search backwards.
  for (int c = int(clusters.size()) - 1; c >= 0; --c) {
    const TMarkerCluster &cl = clusters[std::size_t(c)];
    if (cl.Count < 2) continue;
    const QPoint centre = QPoint(cl.X, cl.Y) - QPoint(v.Left, v.Top);
    if (!FannedOut()) {
      const QPoint d = Pos - centre;
      const int r = TClusterPainter::BadgeRadius(cl.Count);
      if (d.x() * d.x() + d.y() * d.y() <= r * r) return c;
      continue;
    }
    const auto members = FClusterer.Members(c);
    const auto offsets = FanOutOffsets(int(members.size()), FanOutSpacing);
    for (std::size_t i = members.size(); i-- > 0;)
      if (MarkerHit(centre + QPoint(offsets[i].first, offsets[i].second), Pos)) {
        Member = FClusterMarks[std::size_t(members[i])];
        return c;
      }
  }
  return -1;
}

void TLumMapControl::ZoomToCluster(int Cluster) {
  const int count = FClusterer.Clusters()[std::size_t(Cluster)].Count;
  // The pins stand above their points: leave a marker's room around the members.
  const int w = viewport()->width() - 2 * MarkerWidth;
  const int h = viewport()->height() - 2 * MarkerHeight;
  // The middle of the members' coordinates (map pixels of a low zoom are too coarse for it).
  double west = 180, east = -180, south = 90, north = -90;
  for (int m : FClusterer.Members(Cluster)) {
    const TGeoPoint &g = FClusterMarks[std::size_t(m)]->Coord;
    west = std::min(west, g.Long);
    east = std::max(east, g.Long);
    south = std::min(south, g.Lat);
    north = std::max(north, g.Lat);
  }
  const TGeoPoint centre{(west + east) / 2, (south + north) / 2};
  // The extent measured at the highest zoom, exact to a pixel there.
  const auto top = TMapZoomLevel(MaxZoom());
  const double scale = std::ldexp(1.0, Zoom() - MaxZoom());
  const double width =
      (double(LongitudeToMapCoord(top, east)) - double(LongitudeToMapCoord(top, west))) * scale;
  const double height =
      (double(LatitudeToMapCoord(top, south)) - double(LatitudeToMapCoord(top, north))) * scale;
  const int zoom = ClusterZoom(width, height, Zoom(), MaxZoom(), std::max(w, 1), std::max(h, 1));
  Log("\rCluster of %d objects: zoom %d", {count, zoom});
  SetZoom(zoom);
  // Centred a little below the middle, so the pins above the points show whole.
  SetCenterPoint(centre);
  ScrollMapBy(0, -MarkerHeight / 2);
}

// --- mouse ---

void TLumMapControl::mousePressEvent(QMouseEvent *Event) {
  const QPoint pos = Event->position().toPoint();
  bool pass = true;
  if (Event->button() == Qt::LeftButton) pass = LeftPress(pos);
  else if (Event->button() == Qt::RightButton) pass = RightPress(pos);
  if (pass) TMapControl::mousePressEvent(Event);
  else setFocus(Qt::MouseFocusReason);
}

bool TLumMapControl::LeftPress(const QPoint &Pos) {
  // Looked up now rather than taken from the last paint: the zone list may
  // have changed since.
  FEditedZone = FindEditedZone();
  if (FEditedZone) {
    FDragType = PosInZone(Pos, FEditedZone);
    if (FDragType >= 1 && FDragType <= 199) {
      Log("\rStart drag center zone: %d,%d", {Pos.x(), Pos.y()});
      FZoneDragPoint = Pos;
      FZoneDragging = true;
      return false;
    }
    return true;
  }
  const TGeoPoint gp = MapToGeoCoords(ViewToMap(Pos));
  if (OnLClickMap && OnLClickMap(gp)) return false;
  if (OnClickTrackPoint) {
    for (auto &track : FGeoTracks) {
      if (!track->Visible() || !VisibleLayers().test(track->Layer())) continue;
      const double reach = track->Style().PointSize / 2;
      const auto &pts = std::as_const(*track).Points();
      for (auto it = pts.rbegin(); it != pts.rend(); ++it) {
        TTrackPointInfo &tp = **it;
        if (tp.MapPoint.x == 0 && tp.MapPoint.y == 0) continue;
        if (Length(QPointF(Pos - QPoint(tp.MapPoint.x, tp.MapPoint.y))) < reach) {
          OnClickTrackPoint(tp);
          break;
        }
      }
    }
  }
  bool markClicked = false;
  if (FFeatures.ClusterMarkers) {
    TMapMark *member = nullptr;
    const int cluster = ClusterAt(Pos, member);
    if (cluster >= 0 && !member) {
      ZoomToCluster(cluster);
      return false;
    }
    if (member && OnClickMapMark) {
      OnClickMapMark(member);
      markClicked = true;
    }
  }
  if (OnClickMapMark && !markClicked) {
    for (int i = 0; i < MapMarks().Count(); ++i) {
      TMapMark *m = MapMarks().Get(i);
      if (!m->Visible || !VisibleLayers().test(m->Layer) || !HasPoint(m->Coord)) continue;
      // A mark inside a cluster is not on the screen.
      if (FFeatures.ClusterMarkers && InGroup(m)) continue;
      if (MarkerHit(GeoPointToInnerPoint(m->Coord), Pos)) {
        OnClickMapMark(m);
        break;
      }
    }
  }
  if (OnClickZone && FGeoZones) {
    for (auto &z : *FGeoZones)
      if (z && z->visible && PosInZone(Pos, z.get()) > 0) OnClickZone(*z);
  }
  return true;
}

bool TLumMapControl::RightPress(const QPoint &Pos) {
  FEditedZone = FindEditedZone();
  if (FEditedZone && FEditedZone->type_id == kZonePolygon) {
    FDragType = PosInZone(Pos, FEditedZone);
    if (FDragType < pzNode || FDragType > 299) return true;
    const int kind = FDragType / 100, index = FDragType % 100;
    auto &nodes = FEditedZone->geom.nodes;
    const int n = int(nodes.size());
    if (index >= n) {
      Log("\r  x: too large index [%d]", {index});
    } else if (kind == 1) {
      Log("\rDelete node [%d] ...", {index});
      if (n > 3) {
        nodes.erase(nodes.begin() + index);
        FEditedZone->UpdateRect();
        Invalidate();
        Cmd("update", "zone", {"del node", std::to_string(index)});
      } else {
        Log("\r  x: too little nodes");
      }
    } else {
      Log("\rAppend node before [%d] ...", {index});
      const TGeoPoint &a = nodes[std::size_t(index)];
      const TGeoPoint &b = nodes[std::size_t(index == 0 ? n - 1 : index - 1)];
      const auto mid = [](double u, double v) { return std::min(u, v) + std::fabs(u - v) / 2; };
      const TGeoPoint m{mid(a.Long, b.Long), mid(a.Lat, b.Lat)};
      nodes.insert(nodes.begin() + index, m);
      FEditedZone->UpdateRect();
      Invalidate();
      Cmd("update", "zone", {"add node", std::to_string(index)});
    }
    return false;
  }
  if (FEditedZone) return true;
  if (OnRClickMap) return !OnRClickMap(MapToGeoCoords(ViewToMap(Pos)));
  return true;
}

void TLumMapControl::mouseMoveEvent(QMouseEvent *Event) {
  TMapControl::mouseMoveEvent(Event);
  TZoneInfo *zone = FindEditedZone();
  FEditedZone = zone;
  const QPoint pos = Event->position().toPoint();
  if (!zone) {
    if (FZoneDragging) {
      FZoneDragging = false;
      viewport()->unsetCursor();
    }
    return;
  }
  if (!FZoneDragging) {
    if (PosInZone(pos, zone) > 0) viewport()->setCursor(Qt::PointingHandCursor);
    else viewport()->unsetCursor();
    return;
  }
  if (Event->buttons() & Qt::LeftButton) {
    DragZone(pos);
  } else {
    FZoneDragging = false;
    FZoneDragPoint = QPoint();
    viewport()->unsetCursor();
  }
}

void TLumMapControl::DragZone(const QPoint &Pos) {
  TZoneInfo &z = *FEditedZone;
  const TGeoPoint gp = MapToGeoCoords(ViewToMap(Pos));
  if (FDragType == pzCenter) {
    const TGeoPoint c = z.geom.center;
    if (!HasPoint(c)) return;
    if (std::fabs(gp.Lat - c.Lat) < MoveEps && std::fabs(gp.Long - c.Long) < MoveEps) return;
    const std::string lat = f2s(gp.Lat, 4), lon = f2s(gp.Long, 4);
    Log("\rNew zone center: %s, %s", {lat, lon});
    if (z.type_id == kZoneCircle) {
      z.geom.center = TGeoPoint{Round6(gp.Long), Round6(gp.Lat)};
    } else {
      const double dLong = gp.Long - c.Long, dLat = gp.Lat - c.Lat;
      for (auto &n : z.geom.nodes) n = TGeoPoint{n.Long + dLong, n.Lat + dLat};
    }
    z.UpdateRect();
    Invalidate();
    Cmd("update", "zone", {"center", lat, lon});
  } else if (FDragType == pzCircleEdge) {
    if (!HasPoint(z.geom.center)) return;
    const double r = CalcLinDistanceInMeter(z.geom.center, gp);
    if (!(r >= 5) || !(std::isnan(z.geom.radius) || std::fabs(r - z.geom.radius) >= 1)) return;
    Log("\rNew zone radius: %d", {int64_t(r)});
    z.geom.radius = r;
    z.UpdateRect();
    Invalidate();
    Cmd("update", "zone", {"radius", f2s(r, 2)});
  } else if (FDragType >= pzNode && FDragType < pzEdge) {
    const std::size_t i = std::size_t(FDragType - pzNode);
    if (i >= z.geom.nodes.size()) return;
    TGeoPoint &node = z.geom.nodes[i];
    if (std::fabs(gp.Lat - node.Lat) < MoveEps && std::fabs(gp.Long - node.Long) < MoveEps) return;
    node = TGeoPoint{Round6(gp.Long), Round6(gp.Lat)};
    z.UpdateRect();
    Invalidate();
    Cmd("update", "zone", {"node" + std::to_string(i), f2s(gp.Lat, 4), f2s(gp.Long, 4)});
  }
}

} // namespace kelvra
