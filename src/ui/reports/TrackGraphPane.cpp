#include "ui/reports/TrackGraphPane.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/app/Common.h"
#include "core/util/LumIniFiles.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/MapText.h"
#include "ui/map/TrackReplayBar.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

constexpr int kLeft = 52, kRight = 10, kTop = 6, kBottom = 20; // the plot's margins
constexpr double kHoverReach = 24;                            // pixels from the mouse in X
constexpr int kDragStart = 4;                                 // pixels before a press is a drag
const char *const kGraphsSection = "Graphs";

// The pane's text for a key, English when no translation has it (the bare widget in tests).
QString PaneText(const QWidget *pane, const char *key, const char *english, const TFmtArgs &args = {}) {
  const QString s = FormString(pane, key, args);
  return s.trimmed().isEmpty() ? QString::fromStdString(Format(english, args)) : s;
}

QColor TrackColor(const TGeoTrack &t) {
  const std::uint32_t c = t.Style().LineColor; // 0x00BBGGRR
  return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
}

} // namespace

TTrackGraphPane::TTrackGraphPane(TLumMapControl *Map, TTrackReplayBar *Bar, TGraphHost Host,
                                 QWidget *Parent)
    : QWidget(Parent), fMap(Map), fBar(Bar), fHost(std::move(Host)) {
  setObjectName("TrackGraphPane");
  auto *lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(1);
  auto *row = new QHBoxLayout;
  fValues = new QComboBox(this);
  fValues->setObjectName("CbGraphValue");
  fValues->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  fAxes = new QComboBox(this);
  fAxes->setObjectName("CbGraphAxis");
  fReset = new QToolButton(this);
  fReset->setObjectName("ButGraphReset");
  fReset->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  fReset->setAutoRaise(true);
  fInfo = new QLabel(this);
  fInfo->setObjectName("LblGraphInfo");
  fInfo->setTextFormat(Qt::PlainText);
  fClose = new QToolButton(this);
  fClose->setObjectName("ButGraphClose");
  fClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  fClose->setAutoRaise(true);
  fValues->setToolTip("The value to graph");
  fAxes->setToolTip("Against time or distance");
  fReset->setToolTip("Show the whole tracks (the wheel zooms, a drag pans, a click plays from there)");
  fClose->setToolTip("Close the graphs");
  for (QWidget *w : {static_cast<QWidget *>(fValues), static_cast<QWidget *>(fAxes),
                     static_cast<QWidget *>(fReset), static_cast<QWidget *>(fClose)})
    w->setFocusPolicy(Qt::NoFocus);
  row->addWidget(fValues);
  row->addWidget(fAxes);
  row->addWidget(fReset);
  row->addWidget(fInfo, 1);
  row->addWidget(fClose);
  lay->addLayout(row);
  fPlot = new QWidget(this);
  fPlot->setObjectName("GraphPlot");
  fPlot->setMouseTracking(true);
  fPlot->setAttribute(Qt::WA_OpaquePaintEvent);
  fPlot->setMinimumHeight(80);
  fPlot->installEventFilter(this);
  lay->addWidget(fPlot, 1);
  TranslateForm(this);
  fAxes->addItem(PaneText(this, "graph_time", "Time"));
  fAxes->addItem(PaneText(this, "graph_distance", "Distance"));

  if (IniFile) {
    fKey = IniFile->ReadString(kGraphsSection, "Value", "speed");
    fAxis = IniFile->ReadInteger(kGraphsSection, "Axis", 0) == 1 ? gaDistance : gaTime;
  }
  fAxes->setCurrentIndex(fAxis);
  connect(fValues, &QComboBox::activated, this, [this](int i) {
    if (i >= 0 && i < int(fValueList.size())) SetValue(fValueList[std::size_t(i)].Key);
  });
  connect(fAxes, &QComboBox::activated, this,
          [this](int i) { SetAxis(i == 1 ? gaDistance : gaTime); });
  connect(fReset, &QToolButton::clicked, this, [this] { ResetZoom(); });
  connect(fClose, &QToolButton::clicked, this, [this] { emit CloseRequested(); });
  if (fBar) connect(fBar, &TTrackReplayBar::Moved, this, [this] { ReplayMoved(); });
}

TTrackGraphPane::~TTrackGraphPane() {
  if (fMap && fHoverLine >= 0) fMap->SetPointMarker(TGeoPoint{TTrackPointInfo::NaN, TTrackPointInfo::NaN});
}

std::string TTrackGraphPane::Value() const { return fKey; }

void TTrackGraphPane::SetValue(const std::string &Key) {
  if (Key == fKey) return;
  fKey = Key;
  if (IniFile) IniFile->WriteString(kGraphsSection, "Value", Key);
  Rebuild();
}

void TTrackGraphPane::SetAxis(TGraphAxis Axis) {
  fAxes->setCurrentIndex(Axis);
  if (Axis == fAxis) return;
  fAxis = Axis;
  if (IniFile) IniFile->WriteInteger(kGraphsSection, "Axis", Axis);
  Rebuild();
}

void TTrackGraphPane::TracksChanged() {
  fStale = true;
  if (fRebuildQueued || !isVisible()) return;
  fRebuildQueued = true;
  QTimer::singleShot(0, this, [this] {
    fRebuildQueued = false;
    if (isVisible() && fStale) Rebuild();
  });
}

void TTrackGraphPane::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  if (fStale) Rebuild();
}

bool TTrackGraphPane::Holds(const TLine &l) const {
  if (!fMap) return false;
  for (const auto &t : fMap->GeoTracks())
    if (t.get() == l.Track) return t->Revision() == l.Revision;
  return false;
}

void TTrackGraphPane::FillValues() {
  std::vector<const TGeoTrack *> tracks;
  for (const TLine &l : fLines) tracks.push_back(l.Track);
  fValueList = GraphValues(tracks, fHost.SensorName);
  fValues->clear();
  int current = -1;
  for (std::size_t i = 0; i < fValueList.size(); ++i) {
    const TChartValue &v = fValueList[i];
    if (v.Key == "speed")
      fValues->addItem(PaneText(this, "graph_speed", "Speed"));
    else if (v.Key == "altitude")
      fValues->addItem(PaneText(this, "graph_altitude", "Altitude"));
    else if (v.Key == "battery")
      fValues->addItem(PaneText(this, "graph_battery", "Battery"));
    else
      fValues->addItem(QString::fromStdString(v.Text));
    if (v.Key == fKey) current = int(i);
  }
  if (current < 0) { // the sensor is on none of the tracks now: the speed
    current = 0;
    fKey = fValueList.front().Key;
  }
  fValues->setCurrentIndex(current);
}

void TTrackGraphPane::Rebuild() {
  fStale = false;
  SetHover(-1, -1);
  std::vector<TLine> before = std::move(fLines);
  fLines.clear();
  if (fMap)
    for (const auto &t : fMap->GeoTracks())
      if (t->Visible() && !std::as_const(*t).Points().empty()) {
        TLine l;
        l.Track = t.get();
        l.Revision = t->Revision();
        l.Color = TrackColor(*t);
        fLines.push_back(std::move(l));
      }
  FillValues();
  // A line of the same value and axis whose track has not changed is kept: one track refiltered
  // or added does not make a million-point neighbour's line again.
  const bool sameValue = !before.empty() && fKey == fBuiltKey && fAxis == fBuiltAxis;
  for (TLine &l : fLines) {
    auto kept = std::find_if(before.begin(), before.end(), [&](const TLine &b) {
      return sameValue && b.Track == l.Track && b.Revision == l.Revision;
    });
    if (kept != before.end()) {
      l.Line = std::move(kept->Line);
      kept->Track = nullptr;
    } else {
      l.Line.Build(l.Track->Points(), fKey, fAxis, l.Track->Clock());
      ++fLinesMade;
    }
  }
  fBuiltKey = fKey;
  fBuiltAxis = fAxis;
  fOrigin = 0;
  if (fAxis == gaTime)
    for (const TLine &l : fLines)
      if (l.Line.Start != 0 && (fOrigin == 0 || l.Line.Start < fOrigin)) fOrigin = l.Line.Start;
  bool any = false;
  for (TLine &l : fLines) {
    l.Offset = fAxis == gaTime && l.Line.Start != 0 ? std::round((l.Line.Start - fOrigin) * 86400) : 0;
    if (l.Line.Series.empty()) continue;
    const double a = l.Line.Series.front().X + l.Offset, b = l.Line.Series.back().X + l.Offset;
    fDataX0 = any ? std::min(fDataX0, a) : a;
    fDataX1 = any ? std::max(fDataX1, b) : b;
    any = true;
  }
  if (!any) fDataX0 = 0, fDataX1 = 1;
  ResetZoom();
  ReplayMoved();
}

void TTrackGraphPane::ResetZoom() {
  fView.SetXRange(fDataX0, fDataX1);
  fCacheDirty = true;
  fPlot->update();
}

QRect TTrackGraphPane::PlotRect() const {
  return QRect(kLeft, kTop, std::max(1, fPlot->width() - kLeft - kRight),
               std::max(1, fPlot->height() - kTop - kBottom));
}

std::vector<TGraphPlaced> TTrackGraphPane::Placed() const {
  std::vector<TGraphPlaced> placed;
  for (const TLine &l : fLines) placed.push_back({&l.Line.Series, l.Offset});
  return placed;
}

void TTrackGraphPane::RenderCache() {
  const qreal dpr = fPlot->devicePixelRatioF();
  if (fCache.size() != fPlot->size() * dpr) fCache = QPixmap(fPlot->size() * dpr);
  fCache.setDevicePixelRatio(dpr);
  fCacheDirty = false;
  const QRect r = PlotRect();
  fView.SetSize(r.width(), r.height());
  QPainter p(&fCache);
  p.fillRect(QRect(QPoint(0, 0), fPlot->size()), palette().color(QPalette::Window));
  p.fillRect(r, palette().color(QPalette::Base));

  // What each line shows, and the values' range over it (the thinning keeps each column's
  // lowest and highest, so the range is the one of all the points in view).
  std::vector<std::vector<TChartPoint>> shown(fLines.size());
  double lo = 0, hi = 0;
  bool any = false;
  for (std::size_t i = 0; i < fLines.size(); ++i) {
    const TGraphView v = LineView(fView, fLines[i].Offset);
    shown[i] = ThinView(fLines[i].Line.Series, v);
    double a = 0, b = 0;
    if (VisibleYRange(shown[i], v.X0, v.X1, a, b)) {
      lo = any ? std::min(lo, a) : a;
      hi = any ? std::max(hi, b) : b;
      any = true;
    }
  }
  if (any)
    fView.FitY(lo, hi);
  else
    fView.FitY(NAN, NAN);

  // Grid and ticks.
  const QColor grid = palette().color(QPalette::Mid);
  const QColor text = palette().color(QPalette::WindowText);
  const QFontMetrics fm(font());
  p.setFont(font());
  const int maxY = std::max(2, r.height() / (fm.height() * 2));
  for (const TGraphTick &t : ValueTicks(fView.Y0, fView.Y1, maxY)) {
    const int y = r.top() + int(std::lround(fView.PxOfY(t.Value)));
    p.setPen(QPen(grid, 0, Qt::DotLine));
    p.drawLine(r.left(), y, r.right(), y);
    p.setPen(text);
    p.drawText(QRect(0, y - fm.height() / 2, kLeft - 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
               QString::fromStdString(t.Text));
  }
  const int labelW = fm.horizontalAdvance(fAxis == gaTime ? "00.00 00:00" : "0000.0") + 16;
  const int maxX = std::max(2, r.width() / labelW);
  const std::vector<TGraphTick> xt = fAxis == gaTime ? TimeTicks(fOrigin, fView.X0, fView.X1, maxX)
                                                     : DistanceTicks(fView.X0, fView.X1, maxX);
  for (const TGraphTick &t : xt) {
    const int x = r.left() + int(std::lround(fView.PxOfX(t.Value)));
    p.setPen(QPen(grid, 0, Qt::DotLine));
    p.drawLine(x, r.top(), x, r.bottom());
    p.setPen(text);
    p.drawText(QRect(x - labelW / 2, r.bottom() + 2, labelW, kBottom - 2), Qt::AlignHCenter | Qt::AlignTop,
               QString::fromStdString(t.Text));
  }
  if (fAxis == gaDistance) {
    p.setPen(text);
    p.drawText(QRect(0, r.bottom() + 2, kLeft - 4, kBottom - 2), Qt::AlignRight | Qt::AlignTop,
               QString::fromStdString(DisplayUnits().LongUnit()));
  }
  p.setPen(grid);
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(0, 0, -1, -1));

  // The lines, the replay's track last (on top) and wider.
  p.setClipRect(r);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.translate(r.topLeft());
  fReplayed = fBar ? fBar->Track() : nullptr;
  QPolygonF poly;
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t i = 0; i < fLines.size(); ++i) {
      const bool top = fLines[i].Track == fReplayed;
      if (top != (pass == 1)) continue;
      const TGraphView v = LineView(fView, fLines[i].Offset);
      poly.clear();
      poly.reserve(qsizetype(shown[i].size()));
      for (const TChartPoint &c : shown[i]) poly.append(QPointF(v.PxOfX(c.X), v.PxOfY(c.Y)));
      p.setPen(QPen(fLines[i].Color, top ? 2 : 1.2));
      if (poly.size() == 1) {
        p.setBrush(fLines[i].Color);
        p.drawEllipse(poly.front(), 2, 2);
      } else {
        p.drawPolyline(poly);
      }
    }
  if (fLines.empty() || !any) {
    p.resetTransform();
    p.setPen(text);
    p.drawText(r, Qt::AlignCenter,
               fLines.empty() ? PaneText(this, "graph_no_tracks", "Tick a track to see its graph")
                              : PaneText(this, "graph_no_values", "The tracks have no such values"));
  }
}

void TTrackGraphPane::PaintPlot(QPainter &p) {
  if (fCacheDirty || fCache.size() != fPlot->size() * fPlot->devicePixelRatioF()) RenderCache();
  p.drawPixmap(0, 0, fCache);
  const QRect r = PlotRect();
  p.setClipRect(r);
  if (fCursorPx >= 0) {
    p.setPen(QPen(QColor(0xFF, 0x6F, 0x00), 2)); // the replay marker's colour
    const int x = r.left() + int(std::lround(fCursorPx));
    p.drawLine(x, r.top(), x, r.bottom());
  }
  if (fHoverLine >= 0 && fHoverLine < int(fLines.size())) {
    const TLine &l = fLines[std::size_t(fHoverLine)];
    const TChartPoint &c = l.Line.Series[std::size_t(fHoverEntry)];
    const TGraphView v = LineView(fView, l.Offset);
    const QPointF at(r.left() + v.PxOfX(c.X), r.top() + v.PxOfY(c.Y));
    p.setPen(QPen(palette().color(QPalette::Mid), 0, Qt::DashLine));
    p.drawLine(QPointF(at.x(), r.top()), QPointF(at.x(), r.bottom()));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(l.Color);
    p.drawEllipse(at, 4, 4);
  }
}

QRect TTrackGraphPane::StripAt(double px) const {
  const QRect r = PlotRect();
  return QRect(r.left() + int(std::floor(px)) - 6, 0, 13, fPlot->height());
}

void TTrackGraphPane::SetHover(int line, int entry) {
  if (line == fHoverLine && entry == fHoverEntry) return;
  if (fHoverPx >= 0) fPlot->update(StripAt(fHoverPx));
  fHoverLine = line;
  fHoverEntry = entry;
  fHoverPx = -1;
  const TTrackPointInfo *tp = nullptr;
  if (line >= 0 && Holds(fLines[std::size_t(line)])) {
    const TLine &l = fLines[std::size_t(line)];
    const TChartPoint &c = l.Line.Series[std::size_t(entry)];
    fHoverPx = LineView(fView, l.Offset).PxOfX(c.X);
    fPlot->update(StripAt(fHoverPx));
    tp = l.Track->Points()[std::size_t(c.PointIndex)].get();
  } else {
    fHoverLine = fHoverEntry = -1;
  }
  if (!tp) {
    fInfo->clear();
    if (fMap) fMap->SetPointMarker(TGeoPoint{TTrackPointInfo::NaN, TTrackPointInfo::NaN});
    return;
  }
  const TLine &l = fLines[std::size_t(fHoverLine)];
  QStringList parts;
  parts << QString::fromStdString(l.Track->Sign());
  parts << QString::fromStdString(GraphXText(gaTime, l.Line.Start, l.Line.Clock[std::size_t(
                                                                      l.Line.Series[std::size_t(fHoverEntry)].PointIndex)]));
  if (fAxis == gaDistance)
    parts << QString::fromStdString(GraphXText(gaDistance, 0, l.Line.Series[std::size_t(fHoverEntry)].X) +
                                    " " + DisplayUnits().LongUnit());
  parts << ValueText(*tp);
  fInfo->setText(parts.join("   "));
  if (fMap)
    fMap->SetPointMarker(tp->HasLatLon() ? TGeoPoint{tp->lon, tp->lat}
                                         : TGeoPoint{TTrackPointInfo::NaN, TTrackPointInfo::NaN});
}

QString TTrackGraphPane::ValueText(const TTrackPointInfo &tp) const {
  // The speed and the altitude as the replay bar writes them, then the value graphed.
  QStringList parts = MotionTexts(tp);
  const int i = fValues->currentIndex();
  if (i >= 0 && i < int(fValueList.size())) {
    const TChartValue &v = fValueList[std::size_t(i)];
    if (v.Key == "battery" && tp.bat >= 0)
      parts << fValues->currentText() + ": " + QString::number(tp.bat);
    else if (const TTrackPointSensorInfo *s = v.Key == "speed" || v.Key == "altitude" ? nullptr
                                                                                      : tp.FindSensor(v.Key))
      parts << fValues->currentText() + ": " + QString::fromStdString(s->val);
  }
  return parts.join("   ");
}

QString TTrackGraphPane::InfoText() const { return fInfo->text(); }

QPoint TTrackGraphPane::PointPos(const TGeoTrack *Track, int PointIndex) const {
  for (const TLine &l : fLines) {
    if (l.Track != Track) continue;
    const auto &s = l.Line.Series;
    auto it = std::find_if(s.begin(), s.end(), [&](const TChartPoint &c) { return c.PointIndex == PointIndex; });
    if (it == s.end()) return {-1, -1};
    const TGraphView v = LineView(fView, l.Offset);
    const QRect r = PlotRect();
    return QPoint(r.left() + int(std::lround(v.PxOfX(it->X))), r.top() + int(std::lround(v.PxOfY(it->Y))));
  }
  return {-1, -1};
}

double TTrackGraphPane::CursorX() const {
  if (!fBar || !fBar->Track() || fBar->Replay().Empty()) return NAN;
  for (const TLine &l : fLines) {
    if (l.Track != fBar->Track()) continue;
    if (!Holds(l)) return NAN;
    // On the time axis the replay's clock itself (it runs between points); on distance the point.
    const double x = fAxis == gaTime ? fBar->Replay().Time() : l.Line.XOfPoint(fBar->Replay().Index());
    return x + l.Offset;
  }
  return NAN;
}

int TTrackGraphPane::CursorPx() const {
  return fCursorPx < 0 ? -1 : PlotRect().left() + int(std::lround(fCursorPx));
}

void TTrackGraphPane::ReplayMoved() {
  if (!isVisible()) return;
  // The replay's track is drawn on top of the others.
  const TGeoTrack *replayed = fBar ? fBar->Track() : nullptr;
  if (replayed != fReplayed) {
    fReplayed = replayed;
    fCacheDirty = true;
    fPlot->update();
  }
  const double x = CursorX();
  // Playing past the view's edge: the view moves on with the cursor.
  if (std::isfinite(x) && fBar && fBar->Replay().Playing() && (x < fView.X0 || x > fView.X1)) {
    const double span = fView.X1 - fView.X0;
    double x0 = std::clamp(x - span / 10, fDataX0, std::max(fDataX0, fDataX1 - span));
    fView.SetXRange(x0, x0 + span);
    fCacheDirty = true;
    fPlot->update();
  }
  const QRect r = PlotRect();
  fView.SetSize(r.width(), r.height());
  const double px = std::isfinite(x) && x >= fView.X0 && x <= fView.X1 ? fView.PxOfX(x) : -1;
  if (px == fCursorPx) return;
  if (fCursorPx >= 0) fPlot->update(StripAt(fCursorPx));
  fCursorPx = px;
  if (fCursorPx >= 0) fPlot->update(StripAt(fCursorPx));
}

void TTrackGraphPane::MouseMove(const QPoint &pos, Qt::MouseButtons buttons) {
  const QRect r = PlotRect();
  if (fPressed && (buttons & Qt::LeftButton)) {
    if (!fDragging && (pos - fPressPos).manhattanLength() >= kDragStart) fDragging = true;
    if (fDragging) {
      fView.PanBy(pos.x() - fLastPos.x(), fDataX0, fDataX1);
      fLastPos = pos;
      fCacheDirty = true;
      SetHover(-1, -1);
      ReplayMoved();
      fPlot->update();
    }
    return;
  }
  if (fCacheDirty) return; // the scale is settled at the next paint
  const TGraphHit hit = GraphHitTest(Placed(), fView, pos.x() - r.left(), pos.y() - r.top(), kHoverReach);
  SetHover(hit.Line, hit.Entry);
}

void TTrackGraphPane::MousePress(const QPoint &pos) {
  fPressed = true;
  fDragging = false;
  fPressPos = fLastPos = pos;
}

void TTrackGraphPane::MouseRelease(const QPoint &pos) {
  const bool click = fPressed && !fDragging;
  fPressed = fDragging = false;
  if (!click || fCacheDirty) return;
  const QRect r = PlotRect();
  const TGraphHit hit = GraphHitTest(Placed(), fView, pos.x() - r.left(), pos.y() - r.top(), kHoverReach);
  if (hit.Line < 0 || !fBar) return;
  const TLine &l = fLines[std::size_t(hit.Line)];
  if (!Holds(l)) return;
  const TGeoTrack *track = l.Track;
  const int point = l.Line.Series[std::size_t(hit.Entry)].PointIndex;
  if (fBar->Track() != track && fHost.SelectTrack) fHost.SelectTrack(track);
  if (fBar->Track() == track) fBar->SeekPoint(point);
}

void TTrackGraphPane::Wheel(const QPoint &pos, int delta) {
  if (delta == 0 || fLines.empty()) return;
  const double factor = std::pow(0.8, delta / 120.0);
  fView.ZoomAt(pos.x() - PlotRect().left(), factor, fDataX0, fDataX1, 10); // 10 s or 10 m
  fCacheDirty = true;
  SetHover(-1, -1);
  ReplayMoved();
  fPlot->update();
}

bool TTrackGraphPane::eventFilter(QObject *o, QEvent *e) {
  if (o != fPlot) return QWidget::eventFilter(o, e);
  switch (e->type()) {
  case QEvent::Paint: {
    QPainter p(fPlot);
    PaintPlot(p);
    return true;
  }
  case QEvent::Resize:
    fCacheDirty = true;
    ReplayMoved();
    break;
  case QEvent::MouseMove: {
    auto *m = static_cast<QMouseEvent *>(e);
    MouseMove(m->position().toPoint(), m->buttons());
    return true;
  }
  case QEvent::MouseButtonPress: {
    auto *m = static_cast<QMouseEvent *>(e);
    if (m->button() == Qt::LeftButton) MousePress(m->position().toPoint());
    return true;
  }
  case QEvent::MouseButtonRelease: {
    auto *m = static_cast<QMouseEvent *>(e);
    if (m->button() == Qt::LeftButton) MouseRelease(m->position().toPoint());
    return true;
  }
  case QEvent::Wheel: {
    auto *w = static_cast<QWheelEvent *>(e);
    Wheel(w->position().toPoint(), w->angleDelta().y());
    return true;
  }
  case QEvent::Leave:
    SetHover(-1, -1);
    break;
  default:
    break;
  }
  return QWidget::eventFilter(o, e);
}

} // namespace kelvra
