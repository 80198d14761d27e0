// The fast track painting (culled, thinned, chunked, sprites) gives the
// picture of drawing every segment and glyph, on tracks that exercise each
// shortcut.
#include <QPainter>
#include <QtTest>

#include "UiTests.h"
#include "ui/map/TrackPainter.h"

#include <cmath>
#include <functional>
#include <utility>
#include <vector>
#include <numbers>
#include <random>

using namespace kelvra;

namespace {

struct TTrackCase {
  int points;
  double step;      // pixels between fixes (random walk)
  int zoom;
  QPoint start;     // first fix, view pixels
  bool glyphMix;    // parking runs, events, Wi-Fi, addresses, bearings, missing fixes
  int pointSize;    // 0: the line alone, no glyph hides any of it
  bool speedColors = false; // speeds changing every 50 points, coloured by them
  int closer = 0;   // painted this many zoom levels closer than laid out (the middle stays)
  bool clipped = false; // a small repaint: only a rectangle in the middle is let through
};

// Geographic point of a (fractional) map pixel.
TGeoPoint GeoOf(double x, double y, int zoom) {
  const double size = double(MapSize(TMapZoomLevel(zoom)));
  const double lon = x / size * 360 - 180;
  const double lat = std::atan(std::sinh(std::numbers::pi * (1 - 2 * y / size))) * 180 / std::numbers::pi;
  return TGeoPoint{lon, lat};
}

std::unique_ptr<TGeoTrack> MakeTrack(const TTrackCase &c, const QPoint &viewTopLeft) {
  std::mt19937 rng(20261210);
  std::normal_distribution<double> turn(0, 0.6);
  std::uniform_int_distribution<int> dice(0, 99);
  auto track = std::make_unique<TGeoTrack>("7");
  TGeoTrackStyle style = GeoTrackStyles[1]; // "Blue"
  style.PointSize = c.pointSize;
  track->SetStyle(style);
  TTrackPointList pts;
  double x = viewTopLeft.x() + c.start.x(), y = viewTopLeft.y() + c.start.y(), heading = 0.3;
  int parkingLeft = 0;
  for (int i = 0; i < c.points; ++i) {
    auto p = std::make_unique<TTrackPointInfo>(i + 1, 7);
    heading += turn(rng);
    if (parkingLeft == 0) {
      x += std::cos(heading) * c.step;
      y += std::sin(heading) * c.step;
    }
    const TGeoPoint g = GeoOf(x, y, c.zoom);
    p->lat = g.Lat;
    p->lon = g.Long;
    if (c.glyphMix) {
      const int d = dice(rng);
      if (parkingLeft > 0) {
        p->IsParking = true;
        --parkingLeft;
      } else if (d < 3) {
        p->IsParking = true;
        parkingLeft = 4;
      } else if (d < 6) {
        p->HasEvent = true;
      } else if (d < 20) {
        p->src = 1;
      } else if (d < 25) {
        p->osm_id = "W" + std::to_string(i);
      } else if (d < 27) {
        p->lat = p->lon = std::nan("");
      }
      if (d % 3 == 0) p->angle = (i * 37) % 360;
    }
    if (c.speedColors) p->speed = (i / 50 % 7) * 22.0;
    pts.push_back(std::move(p));
  }
  track->Assign(std::move(pts));
  return track;
}

QImage Render(TGeoTrack &track, int zoom, const QPoint &viewTopLeft, bool fast, bool speedColors,
             bool clipped) {
  QImage img(800, 600, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  QPainter p(&img);
  if (clipped) p.setClipRect(QRect(250, 170, 300, 260));
  TTrackPainter painter;
  painter.SetSpeedColors(speedColors);
  painter.Paint(p, track, TMapZoomLevel(zoom), viewTopLeft, img.size(), fast);
  return img;
}

int ChannelDiff(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// Ink: a pixel more than half covered by something drawn on the white.
bool Ink(const QImage &img, int x, int y) {
  return x >= 0 && y >= 0 && x < img.width() && y < img.height() &&
         ChannelDiff(img.pixel(x, y), qRgb(255, 255, 255)) > 127;
}

// Ink of one picture with no ink at the same place or a neighbour in the
// other. Dropping a vertex within a pixel of the last one drawn may move a
// line's edge by that pixel; antialiasing of joins and caps may differ in
// how much of a pixel they cover. Anything more is a fault.
int InkWithoutMatch(const QImage &a, const QImage &b) {
  int bad = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      if (!Ink(a, x, y)) continue;
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy)
        for (int dx = -1; dx <= 1 && !found; ++dx) found = Ink(b, x + dx, y + dy);
      if (!found) ++bad;
    }
  return bad;
}

int InkCount(const QImage &img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += Ink(img, x, y);
  return n;
}

} // namespace

Q_DECLARE_METATYPE(TTrackCase)

class TrackPainterTest : public QObject {
  Q_OBJECT
private slots:
  void fastPaintingEqualsPaintingEverything_data() {
    QTest::addColumn<TTrackCase>("c");
    // Many fixes per pixel: most vertices are thinned away.
    QTest::newRow("dense line") << TTrackCase{40000, 0.25, 12, {400, 300}, false, 0};
    QTest::newRow("dense, with points") << TTrackCase{40000, 0.25, 12, {400, 300}, false, 16};
    QTest::newRow("line stepping a pixel") << TTrackCase{20000, 1.1, 12, {400, 300}, false, 0};
    // Long steps leaving the view far behind: culled and cut segments.
    QTest::newRow("sparse, leaving the view") << TTrackCase{3000, 40, 17, {400, 300}, false, 0};
    // Every glyph kind, runs of parking points, fixes without coordinates.
    QTest::newRow("glyph mix") << TTrackCase{3000, 6, 15, {400, 300}, true, 16};
    QTest::newRow("glyph mix, dense") << TTrackCase{20000, 0.8, 14, {400, 300}, true, 16};
    // Colour changes keep their vertices; stretches under a pixel take the latest colour.
    QTest::newRow("speed colours, dense") << TTrackCase{40000, 0.25, 12, {400, 300}, false, 0, true};
    QTest::newRow("speed colours, glyph mix") << TTrackCase{3000, 6, 15, {400, 300}, true, 16, true};
    // One long track at the zoom that shows all of it and three levels closer, where most of it
    // lies beyond the view.
    QTest::newRow("whole track") << TTrackCase{30000, 0.4, 11, {400, 300}, true, 16, false, 0};
    QTest::newRow("whole track, closer") << TTrackCase{30000, 0.4, 11, {400, 300}, true, 16, false, 3};
    // A small repaint: pieces of the line and glyphs outside the clip are skipped, the ones
    // crossing its edge drawn.
    QTest::newRow("whole track, clipped") << TTrackCase{30000, 0.4, 11, {400, 300}, true, 16, false, 0, true};
    QTest::newRow("speed colours, closer, clipped")
        << TTrackCase{30000, 0.4, 11, {400, 300}, true, 16, true, 3, true};
  }
  void fastPaintingEqualsPaintingEverything() {
    QFETCH(TTrackCase, c);
    const QPoint layoutTopLeft(1 << (c.zoom + 7), 1 << (c.zoom + 7)); // the middle of the world
    auto track = MakeTrack(c, layoutTopLeft);
    const int zoom = c.zoom + c.closer;
    const QPoint half(400, 300);
    const QPoint viewTopLeft = (layoutTopLeft + half) * (1 << c.closer) - half;
    const QImage plain = Render(*track, zoom, viewTopLeft, false, c.speedColors, c.clipped);
    std::vector<TScreenPoint> plainPoints;
    for (auto &p : track->Points()) plainPoints.push_back(p->MapPoint);
    for (auto &p : track->Points()) p->MapPoint = TScreenPoint{};
    const QImage fast = Render(*track, zoom, viewTopLeft, true, c.speedColors, c.clipped);
    // The hit tests need every point's position either way.
    for (std::size_t i = 0; i < plainPoints.size(); ++i) {
      QCOMPARE(track->Points()[i]->MapPoint.x, plainPoints[i].x);
      QCOMPARE(track->Points()[i]->MapPoint.y, plainPoints[i].y);
    }
    // Something was drawn at all, and as much of it either way.
    const int inkPlain = InkCount(plain), inkFast = InkCount(fast);
    const int bad = InkWithoutMatch(fast, plain) + InkWithoutMatch(plain, fast);
    int same = 0;
    for (int y = 0; y < plain.height(); ++y)
      for (int x = 0; x < plain.width(); ++x) same += ChannelDiff(plain.pixel(x, y), fast.pixel(x, y)) <= 8;
    qInfo("ink %d / %d, %d without a match nearby, %d pixels differ", inkPlain, inkFast, bad,
          plain.width() * plain.height() - same);
    if (bad != 0 || qEnvironmentVariableIsSet("KELVRA_SAVE_TRACKS")) {
      fast.save(QString("track-fast-%1.png").arg(QTest::currentDataTag()).replace(' ', '_'));
      plain.save(QString("track-plain-%1.png").arg(QTest::currentDataTag()).replace(' ', '_'));
    }
    QCOMPARE(bad, 0);
    QVERIFY(inkPlain > 2000);
    QVERIFY(std::abs(inkPlain - inkFast) < inkPlain / 20);
  }

  // A repaint of an unchanged track (a drag step, the map's ring moving with the graph's hover)
  // does not go over every point again, while the points' MapPoint (what a click is looked up
  // by) still follow the view; a change of the points, made any way, shows at the next repaint.
  void aRepaintOfAnUnchangedTrackMakesNothingAndChangesAreSeen() {
    const TTrackCase c{3000, 6, 15, {400, 300}, true, 16};
    const QPoint topLeft(1 << (c.zoom + 7), 1 << (c.zoom + 7));
    auto track = MakeTrack(c, topLeft);
    TTrackPainter painter;
    auto paint = [&](TTrackPainter &by, const QPoint &at) {
      QImage img(800, 600, QImage::Format_ARGB32_Premultiplied);
      img.fill(Qt::white);
      QPainter p(&img);
      by.Paint(p, *track, TMapZoomLevel(c.zoom), at, img.size());
      return img;
    };
    // Every point with a fix stands where the view at `at` shows it.
    auto mapPointsFollow = [&](const QPoint &at) {
      for (const auto &pt : std::as_const(*track).Points())
        if (pt->HasLatLon()) {
          const QPoint v = TrackPointMapPos(*pt, TMapZoomLevel(c.zoom)) - at;
          if (pt->MapPoint.x != v.x() || pt->MapPoint.y != v.y()) return false;
        }
      return true;
    };
    QImage last = paint(painter, topLeft);
    QCOMPARE(painter.ProjectionsMade(), std::size_t(1));
    QVERIFY(paint(painter, topLeft) == last);
    const QPoint dragged = topLeft + QPoint(7, -3);
    paint(painter, dragged);
    QCOMPARE(painter.ProjectionsMade(), std::size_t(1));
    QVERIFY(mapPointsFollow(dragged));
    // Another painter (another map) wrote the positions for its view: they are written again.
    TTrackPainter other;
    paint(other, topLeft + QPoint(100, 100));
    paint(painter, dragged);
    QVERIFY(mapPointsFollow(dragged));
    QCOMPARE(painter.ProjectionsMade(), std::size_t(1));
    last = paint(painter, topLeft);

    // The first point with a fix after `from` (round the track's end) that the view shows well
    // inside its edges: a point moved outside the picture changes nothing to look at.
    auto fixAfter = [&](std::size_t from) {
      const auto &pts = std::as_const(*track).Points();
      auto shown = [&](const TTrackPointInfo &p) {
        return p.HasLatLon() && !p.IsParking &&
               QRect(40, 40, 720, 520).contains(TrackPointMapPos(p, TMapZoomLevel(c.zoom)) - topLeft);
      };
      for (std::size_t k = 0; k < pts.size(); ++k)
        if (const std::size_t i = (from + k) % pts.size(); shown(*pts[i])) return pts[i].get();
      return pts.front().get();
    };
    const std::vector<std::pair<const char *, std::function<void()>>> changes = {
        {"a point moved through the track's list",
         [&] {
           const std::size_t i = std::size_t(fixAfter(200)->uid - 1);
           track->Points()[i]->lat += 0.001;
         }},
        {"a point moved through a pointer kept, then told",
         [&] {
           TTrackPointInfo *kept = fixAfter(900);
           kept->lon += 0.001;
           track->Touch();
         }},
        {"the stops cleared", [&] { track->ClearParking(); }},
        {"the points replaced", [&] { track->Assign(std::move(MakeTrack(c, topLeft + QPoint(40, 0))->Points())); }},
    };
    std::size_t made = painter.ProjectionsMade();
    for (const auto &[name, change] : changes) {
      change();
      const QImage now = paint(painter, topLeft);
      QVERIFY2(painter.ProjectionsMade() == made + 1, name);
      QVERIFY2(now != last, name);
      QVERIFY2(mapPointsFollow(topLeft), name);
      made = painter.ProjectionsMade();
      last = now;
    }
  }
};

KELVRA_UI_TEST(TrackPainterTest)
#include "TrackPainterTest.moc"
