#pragma once
// The monitoring map: the slippy map wired to the tile storage and the tile
// download queue, with tracks, geozones, object markers (photo and recent
// tail) and zone editing with the mouse.
//
// Usage (the main window):
//
//   auto *map = new TLumMapControl(mapPanel, MapCacheDir, MapCacheSize);
//   // fills mapPanel; tiles come from the source the configuration names
//   // ("tile_url", else "map_source"; SetTileSource and SetTileURL change it),
//   // cached below MapCacheDir in the source's folder (SetCacheDir changes the root).
//   map->LogCallback = [this](const std::string &Fmt, const TFmtArgs &Args) { Log(Fmt, Args); };
//   map->CmdCallback = [this](QObject *Sender, const std::string &Action,
//                             const std::string &Subj, const std::vector<std::string> &Args) {
//     return Command(Sender, Action, Subj, Args); // "update", "zone", ["radius", "123.45"], ...
//   };
//   map->SetCenter(12, 57.998649, 56.27574);           // zoom, latitude, longitude
//
//   // An object on the map: a mark whose Data is the object (not owned; the
//   // mark must be deleted before the object). Its photo (obj->photo) is
//   // shown in the marker, its trail (obj->tail) is drawn in obj->track_color.
//   TMapMark *m = map->MapMarks().Add(TGeoPoint{obj->last_point->lon, obj->last_point->lat}, "");
//   m->Data = obj;
//   m->Coord = ...; map->Invalidate();                 // after a refresh moved it
//   map->MapMarks().Delete(m);                          // when unticked
//
//   // Tracks are owned by the map, zones are not:
//   map->GeoTracks().push_back(std::move(track)); map->Invalidate();
//   map->SetGeoZones(&client->Zones());   // a zone with `edited` set is edited with the mouse
//
//   // Clicks (geographic point; return true when handled):
//   map->OnLClickMap = [](const TGeoPoint &gp) { return false; };
//   map->OnRClickMap = [](const TGeoPoint &gp) { return false; };
//   map->OnClickTrackPoint = [](TTrackPointInfo &tp) {};
//   map->OnClickMapMark = [](TMapMark *mark) {};
//   map->OnClickZone = [](TZoneInfo &zone) {};
//   map->OnZoomChanged = [](TMapControl *) {};
#include "core/map/MapFeatures.h"
#include "core/map/MarkerClusters.h"
#include "core/map/NetworkRequest.h"
#include "core/map/TileFailures.h"
#include "core/map/TileSources.h"
#include "core/map/TileStorage.h"
#include "core/model/ObjectInfo.h"
#include "core/model/ZoneInfo.h"
#include "core/tracks/GeoTrack.h"
#include "core/util/LumFormat.h"
#include "ui/map/ClusterPainter.h"
#include "ui/map/MapControl.h"
#include "ui/map/TrackPainter.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QTimer;

namespace kelvra {

// One finished download on its way from a worker to the user-interface thread.
struct TGotTileData {
  TTile Tile;
  std::unique_ptr<TMemoryStream> Ms; // the PNG bytes, or null
  std::string Error;                 // empty on success
  THttpReplyInfo Reply;              // status and caching headers of the reply
  unsigned Queue = 0;                // the download queue it came from; 0: the current one
};

// Position codes of PosInZone.
constexpr int pzNone = -1;
constexpr int pzCenter = 1;
constexpr int pzCircleEdge = 2;
constexpr int pzInside = 9;
constexpr int pzNode = 100; // + node index
constexpr int pzEdge = 200; // + edge index (the edge from node j to the node before it)

using TGeoTrackList = std::vector<std::unique_ptr<TGeoTrack>>;

class TLumMapControl : public TMapControl {
  Q_OBJECT

public:
  // Fills Parent. CachePath empty: the temporary folder + "OsmCache"; CacheSize
  // 0: 10,000,000 bytes. The tile source is config "tile_url" (the public
  // tile server when the key is absent).
  explicit TLumMapControl(QWidget *Parent, const std::string &CachePath = {},
                          std::uint32_t CacheSize = 0);
  ~TLumMapControl() override;

  // The time on the clock the objects' times are on (the client's display clock); the
  // computer's local time when not set. Markers tell "offline" by it.
  std::function<TDateTime()> Now;
  std::function<TDisplayZone()> Clock; // the clock of Now and the messages' times (UTC when unset)
  // The log of the main window; every text starts with "\r".
  std::function<void(const std::string &Fmt, const TFmtArgs &Args)> LogCallback;
  // Changes made on the map ("update", "zone", [...]); the result is not used.
  std::function<int(QObject *Sender, const std::string &Action, const std::string &Subj,
                    const std::vector<std::string> &Args)>
      CmdCallback;
  // True: the click was handled.
  std::function<bool(const TGeoPoint &GeoPoint)> OnLClickMap;
  std::function<bool(const TGeoPoint &GeoPoint)> OnRClickMap;
  std::function<void(TTrackPointInfo &TrackPoint)> OnClickTrackPoint;
  std::function<void(TMapMark *MapMark)> OnClickMapMark;
  std::function<void(TZoneInfo &Zone)> OnClickZone;

  void Log(const std::string &Msg) { Log(Msg, {}); }
  void Log(const std::string &Fmt, const TFmtArgs &Args);
  int Cmd(const std::string &Action, const std::string &Subj, const std::vector<std::string> &Args);

  // Ignored when a coordinate is NaN; an out-of-range zoom keeps the zoom.
  void SetCenter(int Zoom, double Lat, double Lon);
  // A triangle mark at the point, centred as SetCenter; null for NaN.
  TMapMark *SetMark(int Zoom, double Lat, double Lon);
  QPoint GeoPointToInnerPoint(const TGeoPoint &gp) const;
  // Where a view point lies against a zone: pzNone, pzCenter, pzCircleEdge,
  // pzInside, pzNode + i, pzEdge + j.
  int PosInZone(const QPoint &Pos, const TZoneInfo *Zi);

  TGeoTrackList &GeoTracks() { return FGeoTracks; }
  TZoneList *GeoZones() const { return FGeoZones; }
  void SetGeoZones(TZoneList *Zones) { FGeoZones = Zones; } // not owned
  TZoneInfo *EditedZone() const { return FEditedZone; }

  // Pictures 0 (plain marker) and 1 (marker framing a photo), MarkerWidth x
  // MarkerHeight logical pixels. The map draws its own unless given others.
  const std::vector<QImage> &MarkerImages() const { return FMarkerImages; }
  void SetMarkerImages(std::vector<QImage> Images);

  // Optional features: marker clusters, the replay, speed colours, smooth
  // tile loading. Read from the configuration at creation and by ApplyConfig.
  const TMapFeatures &Features() const { return FFeatures; }
  void SetFeatures(const TMapFeatures &Value);
  void ApplyConfig();

  // A cluster of two or more object markers as the next paint shows it.
  struct TShownCluster {
    QPoint ViewPos;
    int Count = 0;
    TMarkerState State = msNormal;
  };
  // The groups whose centre is in the view (none with clustering off).
  std::vector<TShownCluster> ShownClusters();

  // --- track replay (TTrackReplayBar drives it) ---
  struct TReplayStop {
    TGeoPoint Pos;
    std::string Text; // the label, e.g. "P 12.5m"
  };
  struct TReplayMarker {
    bool Visible = false;
    TGeoPoint Pos{TTrackPointInfo::NaN, TTrackPointInfo::NaN};
    double Heading = TTrackPointInfo::NaN; // degrees clockwise from north
    int PassedStops = 0; // the first so many stops are labelled
  };
  void SetReplayStops(std::vector<TReplayStop> Stops);
  // Repaints only the old and the new marker's squares (and a stop label that appears).
  void SetReplayMarker(const TReplayMarker &Marker);
  const TReplayMarker &ReplayMarker() const { return FReplayMarker; }
  // The marker's square in view coordinates; empty when it is not shown.
  QRect ReplayMarkerRect() const;
  // Centres the map on P when P is off the middle two thirds of the view.
  void KeepInView(const TGeoPoint &P);

  // A ring at a point of a track the graphs under the map point at (NaN coordinates hide it);
  // repaints only the old and the new ring's squares.
  void SetPointMarker(const TGeoPoint &P);
  const TTrackPainter &TrackPainter() const { return FTrackPainter; }
  const TGeoPoint &PointMarker() const { return FPointMarker; }
  // The ring's square in view coordinates; empty when it is not shown.
  QRect PointMarkerRect() const;

  // The tile server pattern with {z}, {x}, {y}; empty: the source the configuration names.
  void SetTileURL(const std::string &Pattern);
  // Switches the base map: tiles, attribution, zoom range and cache folder; the view repaints
  // from the new source. Nothing happens when it is the source in use.
  void SetTileSource(const TTileSource &Source);
  const TTileSource &TileSource() const { return FTileSource; }
  // The root of the disk cache; each source has its folder below it.
  void SetCacheDir(const std::string &Dir);
  TTileStorage &TileStorage() { return *FTileStorage; }
  // The pause of a failed tile: the first one, doubling up to the longest (2 s and a minute).
  void SetTileFailurePauses(std::int64_t FirstMs, std::int64_t LongestMs) {
    FTileFailures = TTileFailures(FirstMs, LongestMs);
  }
  const TTileFailures &TileFailures() const { return FTileFailures; }

  // Runs on a download worker: hands the tile to the user-interface thread,
  // or drops it once destruction has begun.
  void NetCallback(const TTile &Tile, std::unique_ptr<TMemoryStream> Ms, const std::string &Error,
                   const THttpReplyInfo &Reply, unsigned Queue = 0);
  // Stops taking tiles (the first step of destruction): downloads are
  // abandoned and results still on their way are dropped.
  void Deactivate();
  bool Active() const { return FActive; }

signals:
  // After SetFeatures (the replay bar closes when the replay is switched off).
  void FeaturesChanged();

protected:
  const TBitmap32 *GetTile(unsigned TileHorzNum, unsigned TileVertNum) override;
  void DrawGeoTracks(QPainter &Canvas, const TRect &MapRect) override;
  void DrawGeoZones(QPainter &Canvas, const TRect &MapRect) override;
  void DrawMapMarks(QPainter &Canvas, const TRect &MapRect) override;
  // The nearest ancestor tile in memory (up to 3 zooms up), scaled.
  bool DrawTileStandIn(QPainter &Canvas, unsigned TileHorzNum, unsigned TileVertNum,
                       const QPoint &TopLeft) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void mouseMoveEvent(QMouseEvent *Event) override;
  void MsgGotTile(TGotTileData &Data);

private:
  void DrawObjectMark(QPainter &Canvas, const QPoint &P, TMapMark *Mark, bool &Handled);
  // False when the press was taken (zone editing, callbacks).
  bool LeftPress(const QPoint &Pos);
  bool RightPress(const QPoint &Pos);
  void DragZone(const QPoint &Pos);
  int CircleRadiusPixels(const TZoneInfo &Zi) const;
  void CreateQueue(const TTileSource &Source);
  // The zone being edited now: the last visible zone with `edited` set.
  TZoneInfo *FindEditedZone() const;
  void DrawZone(QPainter &Canvas, const TZoneInfo &Zi, const QPoint &Origin, bool Edited);

  std::atomic<bool> FActive{false};
  // Tiles whose download ended (a picture or a failure) and was posted but not yet handled: not
  // asked for again meanwhile (the tile server's usage policy forbids needless requests, and a
  // failure on its way has not yet started its pause).
  std::mutex FArrivingLock;
  // Counts the download queues made (a new source makes a new one): a tile still on its way from
  // an older queue is another source's picture and is dropped, not stored in this source's cache.
  unsigned FQueueGeneration = 0;
  std::vector<TTile> FArriving;
  // A failed tile is logged with its reason; the same reason again within a minute only counts,
  // so a server that fails every tile of a screen writes one line, not dozens.
  void ReportTileError(const TTile &Tile, const std::string &Error);
  std::string FLastTileError;
  std::int64_t FLastTileErrorMs = 0;
  int FTileErrorsUnlogged = 0;
  // A failed tile rests for its pause (2 s, doubling with each failure of that tile up to a
  // minute): repaints meanwhile do not ask for it. When a pause ends its square is drawn again,
  // which asks once more, so a tile server that comes back fills the view by itself.
  void RetryFailedTiles();
  void StartRetryTimer();
  TTileFailures FTileFailures;
  QTimer *FRetryTimer = nullptr;
  std::unique_ptr<TTileStorage> FTileStorage;
  std::string FCacheRoot;  // the disk cache root, each source in a folder below
  TTileSource FTileSource; // the base map in use
  std::unique_ptr<TNetworkRequestQueue> FNetRequest;
  TGeoTrackList FGeoTracks;
  TZoneList *FGeoZones = nullptr; // not owned
  std::vector<QImage> FMarkerImages;
  TZoneInfo *FEditedZone = nullptr; // in FGeoZones
  QPoint FZoneDragPoint;            // where the zone drag started
  bool FZoneDragging = false;
  bool FOwnMarkerImages = true; // drawn here, redrawn for another pixel ratio
  int FDragType = pzNone;
  TTrackPainter FTrackPainter;
  TMapFeatures FFeatures;

  void DrawReplay(QPainter &Canvas);
  void DrawSpeedLegend(QPainter &Canvas);
  QRect StopLabelRect(int Stop) const;
  std::vector<TReplayStop> FReplayStops;
  TReplayMarker FReplayMarker;
  TGeoPoint FPointMarker{TTrackPointInfo::NaN, TTrackPointInfo::NaN};

  // Clusters of the object marks (marks with an object in Data), rebuilt
  // when the zoom or a mark's position or state changes.
  void UpdateClusters();
  // The cluster whose badge (or, fanned out, whose member) is under Pos:
  // the cluster's index, and the member's mark when a fanned member was hit.
  int ClusterAt(const QPoint &Pos, TMapMark *&Member);
  void ZoomToCluster(int Cluster);
  bool InGroup(const TMapMark *Mark) const;
  bool FannedOut() const { return Zoom() >= MaxZoom(); }
  TMarkerClusterer FClusterer{TClusterPainter::Geometry()};
  TClusterPainter FClusterPainter;
  std::vector<TMapMark *> FClusterMarks; // in FClusterer's marker order; owned by MapMarks()
  std::vector<TClusterMarker> FClusterPoints;
  std::unordered_map<const TMapMark *, int> FClusterIndex;
  std::uint64_t FClusterHash = 0;
};

} // namespace kelvra
