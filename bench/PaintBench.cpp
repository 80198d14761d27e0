// What the map paints on every drag step, against the least a painter of the same picture does.
//   track paint: a visible 100,000-point track (style "Gray", its point glyphs included) painted by
//                TTrackPainter into a 1920 x 1080 image, at the zoom that fits the track and three
//                levels closer, vs a 1-pixel cosmetic QPainter::drawPolyline of the same points
//                (already in view pixels) without antialiasing.
//   tile repaint: a full repaint of a 1920 x 1080 TLumMapControl whose tiles are all in its memory
//                cache vs drawing as many premultiplied 256 x 256 QImages at the tiles' places.
//   fleet paint:  a full repaint of the same map with 10,000 object markers on it, at a zoom
//                that shows them all, with the markers' clusters on (most merge into badges) and
//                off (every marker drawn, as at a zoom where none merge), vs drawing 10,000 copies
//                of one pre-rendered 48 x 60 marker at the same places.
// Runs on Qt's offscreen platform: no display is needed. With KELVRA_BENCH_PICTURES set to a
// folder, the picture of every painting benchmark is saved there to be looked at.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

#include "BenchData.h"
#include "BenchWindows.h"
#include "core/map/SlippyMapUtils.h"
#include "core/model/ObjectInfo.h"
#include "sim/SimPng.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackPainter.h"

#include <filesystem>
#include <random>
#include <unistd.h>

namespace {

using namespace kelvra;
using namespace kelvra::bench;

// Saves what a benchmark painted when KELVRA_BENCH_PICTURES names a folder.
void SavePicture(const QImage &aImage, const std::string &aName) {
  const QByteArray dir = qgetenv("KELVRA_BENCH_PICTURES");
  if (!dir.isEmpty()) aImage.save(QString::fromUtf8(dir) + "/" + QString::fromStdString(aName) + ".png");
}

constexpr int kTrackPoints = 100000;
const QSize kView(1920, 1080);
constexpr int kTopZoom = 20;

struct TTrackScene {
  std::unique_ptr<TGeoTrack> Track;
  TMapZoomLevel FitZoom = 0;
  QRect Box[kTopZoom + 1]; // the track's box in map pixels per zoom
};

const TTrackScene &Scene() {
  static const TTrackScene scene = [] {
    TTrackScene s;
    s.Track = std::make_unique<TGeoTrack>("101");
    s.Track->SetStyle(GeoTrackStyles[0]); // "Gray"
    s.Track->Assign(TrackPoints(kTrackPoints, kTrackPoints / 500));
    for (int z = 0; z <= kTopZoom; ++z) {
      QRect box;
      for (const auto &p : s.Track->Points())
        box |= QRect(TrackPointMapPos(*p, TMapZoomLevel(z)), QSize(1, 1));
      s.Box[z] = box;
      if (box.width() <= kView.width() && box.height() <= kView.height()) s.FitZoom = z;
    }
    return s;
  }();
  return scene;
}

// The view's top-left at a zoom: the track's box centred in the view.
QPoint ViewTopLeft(TMapZoomLevel aZoom) {
  const QRect &box = Scene().Box[aZoom];
  return box.center() - QPoint(kView.width() / 2, kView.height() / 2);
}

TMapZoomLevel ZoomOf(const benchmark::State &aState) {
  return TMapZoomLevel(Scene().FitZoom + aState.range(0));
}

void BM_TrackPaint(benchmark::State &state) {
  const TMapZoomLevel zoom = ZoomOf(state);
  const QPoint topLeft = ViewTopLeft(zoom);
  QImage image(kView, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  TTrackPainter painter; // kept, as the map keeps it between repaints
  TGeoTrack &track = *Scene().Track;
  for (auto _ : state) {
    QPainter canvas(&image);
    painter.Paint(canvas, track, zoom, topLeft, kView, true);
  }
  state.counters["zoom"] = zoom;
  SavePicture(image, "track-paint-" + std::to_string(state.range(0)));
}

void BM_TrackPolyline(benchmark::State &state) {
  const TMapZoomLevel zoom = ZoomOf(state);
  const QPoint topLeft = ViewTopLeft(zoom);
  QPolygon line;
  line.reserve(kTrackPoints);
  for (const auto &p : Scene().Track->Points())
    if (p->HasLatLon()) line << TrackPointMapPos(*p, zoom) - topLeft;
  QImage image(kView, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPen pen(QColor(0x80, 0x80, 0x80));
  pen.setCosmetic(true);
  pen.setWidth(1);
  for (auto _ : state) {
    QPainter canvas(&image);
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setPen(pen);
    canvas.drawPolyline(line);
  }
  SavePicture(image, "track-polyline-" + std::to_string(state.range(0)));
}

// --- the map view ---------------------------------------------------------------------------------

constexpr int kMapZoom = 12;
constexpr int kFleet = 10000;
constexpr double kLat = 57.99, kLon = 56.27;

// A tile that compresses like a map: blocks and lines on a pale ground.
std::string TilePng(unsigned aSeed) {
  std::mt19937 rnd(aSeed);
  std::uniform_int_distribution<int> pos(0, 255), len(4, 40);
  std::vector<uint8_t> px(256 * 256 * 4);
  for (std::size_t i = 0; i < px.size(); i += 4) {
    px[i] = 242, px[i + 1] = 239, px[i + 2] = 233, px[i + 3] = 255;
  }
  for (int b = 0; b < 60; ++b) {
    const int x0 = pos(rnd), y0 = pos(rnd), w = len(rnd), h = len(rnd);
    for (int y = y0; y < std::min(256, y0 + h); ++y)
      for (int x = x0; x < std::min(256, x0 + w); ++x) {
        uint8_t *p = &px[(std::size_t(y) * 256 + x) * 4];
        p[0] = 217, p[1] = 208, p[2] = 201;
      }
  }
  return sim::EncodePng(256, 256, px);
}

struct TMapScene {
  std::filesystem::path CacheDir;
  std::unique_ptr<TLumMapControl> Map;
  std::vector<std::unique_ptr<TObjectInfo>> Objects;
  std::vector<QPoint> TileSpots;   // view positions of the tiles the map draws
  std::vector<QPoint> MarkerSpots; // view positions of the markers' top-left corners
};

TMapScene &MapScene() {
  static TMapScene scene = [] {
    TMapScene s;
    s.CacheDir = std::filesystem::temp_directory_path() /
                 ("kelvra-bench-paint-" + std::to_string(getpid()));
    std::filesystem::create_directories(s.CacheDir);
    s.Map = std::make_unique<TLumMapControl>(nullptr, s.CacheDir.string() + "/", 200000000);
    // Nothing is downloaded: every tile the view needs is stored beforehand.
    s.Map->SetTileURL("http://127.0.0.1:1/{z}/{x}/{y}.png");
    s.Map->SetMapOptions(moDontDrawCopyright | moDontDrawScale);
    s.Map->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    s.Map->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    s.Map->setFrameShape(QFrame::NoFrame);
    s.Map->resize(kView);
    s.Map->show();
    s.Map->SetCenter(kMapZoom, kLat, kLon);
    const QPoint topLeft = s.Map->ViewToMap(QPoint(0, 0));
    const int tx0 = topLeft.x() >> 8, ty0 = topLeft.y() >> 8;
    const int tx1 = (topLeft.x() + kView.width() - 1) >> 8,
              ty1 = (topLeft.y() + kView.height() - 1) >> 8;
    for (int ty = ty0; ty <= ty1; ++ty)
      for (int tx = tx0; tx <= tx1; ++tx) {
        auto png = std::make_unique<TMemoryStream>();
        const std::string bytes = TilePng(unsigned(ty * 4096 + tx));
        png->assign(bytes.begin(), bytes.end());
        std::string error;
        if (!s.Map->TileStorage().StoreTile(TTile{kMapZoom, std::uint32_t(tx), std::uint32_t(ty)},
                                            png, error))
          std::abort();
        s.TileSpots.push_back(QPoint(tx * 256, ty * 256) - topLeft);
      }
    return s;
  }();
  return scene;
}

// The map's markers: none, or the fleet spread over the view, merged into clusters or not.
void SetFleet(bool aOn, bool aClusters = false) {
  TMapScene &s = MapScene();
  TMapFeatures features = s.Map->Features();
  features.ClusterMarkers = aClusters;
  s.Map->SetFeatures(features);
  s.Map->MapMarks().BeginUpdate();
  s.Map->MapMarks().Clear();
  s.MarkerSpots.clear();
  if (aOn) {
    if (s.Objects.empty()) {
      for (int i = 0; i < kFleet; ++i) {
        auto o = std::make_unique<TObjectInfo>();
        o->uid = i + 1;
        o->id = std::to_string(i + 1);
        o->name = "Object " + std::to_string(i + 1);
        s.Objects.push_back(std::move(o));
      }
    }
    std::mt19937 rnd(7u);
    std::uniform_int_distribution<int> x(30, kView.width() - 30), y(70, kView.height() - 10);
    for (auto &o : s.Objects) {
      const QPoint at(x(rnd), y(rnd));
      TMapMark *m = s.Map->MapMarks().Add(s.Map->MapToGeoCoords(s.Map->ViewToMap(at)), "");
      m->Data = o.get();
      s.MarkerSpots.push_back(at - QPoint(MarkerWidth / 2, MarkerHeight - 4));
    }
  }
  s.Map->MapMarks().EndUpdate();
}

void RepaintMap(benchmark::State &aState, const std::string &aName, bool aFleet,
                bool aClusters = false) {
  TMapScene &s = MapScene();
  SetFleet(aFleet, aClusters);
  QImage image(kView, QImage::Format_ARGB32_Premultiplied);
  s.Map->viewport()->render(&image); // the first paint moves the tiles into the bitmap cache
  for (auto _ : aState)
    s.Map->viewport()->render(&image);
  SavePicture(image, aName);
  SetFleet(false);
}

void BM_TileRepaint(benchmark::State &state) { RepaintMap(state, "tile-repaint", false); }
void BM_FleetPaint(benchmark::State &state) {
  RepaintMap(state, "fleet-paint-" + std::to_string(state.range(0)), true, state.range(0) != 0);
}

void BM_TileBlits(benchmark::State &state) {
  const std::vector<QPoint> spots = MapScene().TileSpots;
  std::vector<QImage> tiles;
  for (std::size_t i = 0; i < spots.size(); ++i) {
    const std::string bytes = TilePng(unsigned(i));
    QImage tile;
    tile.loadFromData(reinterpret_cast<const uchar *>(bytes.data()), int(bytes.size()), "PNG");
    tiles.push_back(tile.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  }
  QImage image(kView, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter canvas(&image);
    for (std::size_t i = 0; i < spots.size(); ++i)
      canvas.drawImage(spots[i], tiles[i]);
  }
  state.counters["tiles"] = double(spots.size());
  SavePicture(image, "tile-blits");
}

void BM_MarkerBlits(benchmark::State &state) {
  SetFleet(true);
  const std::vector<QPoint> spots = MapScene().MarkerSpots;
  SetFleet(false);
  const QImage marker = MapScene().Map->MarkerImages()[0].convertToFormat(
      QImage::Format_ARGB32_Premultiplied);
  QImage image(kView, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter canvas(&image);
    for (const QPoint &p : spots)
      canvas.drawImage(p, marker);
  }
  SavePicture(image, "marker-blits");
}

} // namespace

BENCHMARK(BM_TileRepaint)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TileBlits)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FleetPaint)->Arg(1)->Arg(0)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkerBlits)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackPaint)->Arg(0)->Arg(3)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackPolyline)->Arg(0)->Arg(3)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  return kelvra::bench::RunWindowFigures(
      argc, argv,
      {{"track paint (fit)", "BM_TrackPaint/0", "BM_TrackPolyline/0", 1, 2.5},
       {"track paint (+3)", "BM_TrackPaint/3", "BM_TrackPolyline/3", 1, 2.5},
       {"tile repaint", "BM_TileRepaint", "BM_TileBlits", 1, 2},
       {"fleet paint (clusters)", "BM_FleetPaint/1", "BM_MarkerBlits", 1, 3},
       {"fleet paint (no clusters)", "BM_FleetPaint/0", "BM_MarkerBlits", 1, 3}},
      [] {
        // The map goes before the application does.
        const std::filesystem::path cacheDir = MapScene().CacheDir;
        MapScene().Map.reset();
        std::error_code ec;
        std::filesystem::remove_all(cacheDir, ec);
      });
}
