#pragma once
// Helpers of the map tests: a shown map of a known client size, paint
// regions of its viewport, and pictures compared pixel by pixel.
#include <QAbstractScrollArea>
#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <QtTest>

#include <map>
#include <memory>
#include <string>

#include "core/client/client.h"
#include "core/tracks/GeoTrack.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"
#include "ui/map/LumMapControl.h"

namespace kelvra::test {

// kelvra-sim's demo world with a client signed in and the objects read, for the scene pictures.
class TDemoWorld {
public:
  explicit TDemoWorld(const char *dirName) : fDir(dirName) {}
  // False (with the reason in Error()) when the service does not start or refuses the sign-in.
  bool Start() {
    if (!fSim.Start()) {
      fError = fSim.Error();
      return false;
    }
    TKelvraClientEnv env;
    env.HomeDir = fDir.Path();
    fClient = std::make_unique<TKelvraClient>(fSim.BaseUrl() + "/", "", "0", env);
    if (!fClient->Login(SimServer::kDemoUser, SimServer::kDemoPassword) || fClient->GetObjects() <= 0) {
      fError = "no sign-in or no objects";
      return false;
    }
    return true;
  }
  const std::string &Error() const { return fError; }
  SimServer &Sim() { return fSim; }
  TKelvraClient &Client() { return *fClient; }
  const std::string &Dir() const { return fDir.Path(); }

  TObjectInfo *Object(const std::string &name) {
    for (auto &o : fClient->ObjList())
      if (o->name == name) return o.get();
    return nullptr;
  }
  // The object's last day as a track in style `style`, its parking stops found; null when the
  // service has no points.
  std::unique_ptr<TGeoTrack> LastDay(const TObjectInfo &oi, int style) {
    const TDateTime now = fClient->DisplayNow();
    if (fClient->GetTrack(oi.uid, now - 1, now) <= 0) return nullptr;
    auto track = std::make_unique<TGeoTrack>(oi.id);
    track->SetStyle(GeoTrackStyles[style]);
    track->Assign(std::move(fClient->TrackList()));
    track->MarkParking();
    track->UpdateInfo();
    return track;
  }
  // A map on the demo tiles, its disk cache in the world's folder.
  void UseSimTiles(TLumMapControl &map) {
    map.SetTileURL(fSim.BaseUrl() + "/tiles/{z}/{x}/{y}.png");
  }
  std::string MapCacheDir() const { return fDir.Path() + "MapCache"; }

private:
  SimServer fSim;
  TTempDir fDir;
  std::unique_ptr<TKelvraClient> fClient;
  std::string fError;
};

// The paths a service was asked for that begin with prefix, with how often each was asked.
inline std::map<std::string, int> AskedPaths(SimServer &sim, const std::string &prefix) {
  std::map<std::string, int> asked;
  for (const TSimRequest &r : sim.Requests())
    if (r.path.rfind(prefix, 0) == 0) ++asked[r.path];
  return asked;
}

// Those of them asked for more than once, for a test's message ("" when none).
inline std::string AskedAgain(const std::map<std::string, int> &asked) {
  std::string out;
  for (const auto &[path, n] : asked)
    if (n > 1) out += path + " x" + std::to_string(n) + " ";
  return out;
}

// Waits until every tile of the map's cache image is drawn.
inline bool WaitForAllTiles(TLumMapControl &map) {
  map.grab();
  const TRect cache = map.CacheImageRect();
  const std::size_t tiles = std::size_t((cache.Right - cache.Left) / 256) *
                            std::size_t((cache.Bottom - cache.Top) / 256);
  return QTest::qWaitFor([&] { return map.TileStorage().BmpCache().Count() >= tiles; }, 120000);
}

// No scroll bars or frame: the viewport is exactly w x h.
inline bool ShowMap(QAbstractScrollArea &map, int w, int h) {
  map.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  map.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  map.setFrameShape(QFrame::NoFrame);
  map.resize(w, h);
  map.show();
  return QTest::qWaitForWindowExposed(&map);
}

// n points a second apart from t0 (a date-time), 2 view pixels apart along view row `row` from
// x = 100 at the map's present view.
inline TTrackPointList RowPoints(TLumMapControl &map, int n, int row, double t0) {
  TTrackPointList list;
  for (int i = 0; i < n; ++i) {
    auto tp = std::make_unique<TTrackPointInfo>(i + 1, 1);
    const TGeoPoint g = map.MapToGeoCoords(map.ViewToMap(QPoint(100 + 2 * i, row)));
    tp->lat = g.Lat;
    tp->lon = g.Long;
    tp->obj_dt = t0 + i / 86400.0;
    list.push_back(std::move(tp));
  }
  return list;
}

// Where the map shows point i of a track.
inline QPoint ViewOfPoint(const TLumMapControl &map, const TGeoTrack &t, int i) {
  const TTrackPointInfo &p = *t.Points()[std::size_t(i)];
  return map.GeoPointToInnerPoint(TGeoPoint{p.lon, p.lat});
}

// Collects the regions the viewport is asked to paint.
class TPaintRecorder : public QObject {
public:
  explicit TPaintRecorder(QWidget *viewport) { viewport->installEventFilter(this); }
  QRegion fPainted;
  int fPaints = 0;

protected:
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint) {
      fPainted += static_cast<QPaintEvent *>(e)->region();
      ++fPaints;
    }
    return false;
  }
};

// The bounding box of the pixels that differ between two pictures of one size.
inline QRect DiffBox(const QImage &a, const QImage &b) {
  QRect box;
  const QImage x = a.convertToFormat(QImage::Format_ARGB32);
  const QImage y = b.convertToFormat(QImage::Format_ARGB32);
  for (int r = 0; r < x.height(); ++r)
    for (int c = 0; c < x.width(); ++c)
      if (x.pixel(c, r) != y.pixel(c, r)) box |= QRect(c, r, 1, 1);
  return box;
}

} // namespace kelvra::test
