#pragma once
// The graphs under the map: a value of the tracks shown on the map (speed, altitude, battery or
// a sensor) against time or distance, each track in its colour. Hovering shows a point's values
// and rings it on the map; a click plays the replay from there, and while the replay plays a
// cursor runs along the graph. The wheel zooms about the mouse, a drag pans.
//
//   auto *pane = new TTrackGraphPane(map, replayBar, host, parent);
//   pane->TracksChanged();   // whenever tracks are added, removed, ticked or refiltered
//
// What the pane decides (lines, thinning, the point under the mouse, ticks) is in
// core/tracks/TrackGraph; the pane paints and wires. A track is one of the map's (not owned): the
// pane keeps copies of the values only and checks the map still holds a track before reading it.
#include "core/tracks/TrackGraph.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QToolButton;

namespace kelvra {

class TLumMapControl;
class TTrackReplayBar;

// What the pane asks of the main window.
struct TGraphHost {
  // The name the track's object gives a sensor sign, or empty.
  TTrackSensorNameFunc SensorName;
  // Makes a track the replay's (its row the selected one); the replay bar follows.
  std::function<void(const TGeoTrack *track)> SelectTrack;
};

class TTrackGraphPane : public QWidget {
  Q_OBJECT
public:
  // Map and Bar: not owned, may go first.
  TTrackGraphPane(TLumMapControl *Map, TTrackReplayBar *Bar, TGraphHost Host, QWidget *Parent);
  ~TTrackGraphPane() override;

  // The tracks to graph changed: the lines are built again at the next turn of the event loop
  // (a track being deleted is still on the map while the list says so); only the lines of
  // tracks whose points changed (or that are new) are made again.
  void TracksChanged();
  // Builds the lines now (while shown) and shows all of them.
  void Rebuild();

  // The value ("speed", "altitude", "battery" or a sensor sign) and the axis; kept in the
  // settings file.
  std::string Value() const;
  void SetValue(const std::string &Key);
  TGraphAxis Axis() const { return fAxis; }
  void SetAxis(TGraphAxis Axis);
  // Shows the whole X range of the lines.
  void ResetZoom();

  // --- for tests and benchmarks -----------------------------------------------------------------
  QWidget *Plot() const { return fPlot; }
  const TGraphView &Scale() const { return fView; }
  int LineCount() const { return int(fLines.size()); }
  // Lines made from a track's points so far (a line kept across a rebuild does not count).
  int LinesMade() const { return fLinesMade; }
  // Where a point of a track is drawn, in the plot's coordinates; (-1, -1) when it is not.
  QPoint PointPos(const TGeoTrack *Track, int PointIndex) const;
  // The hover's text (the point's track, time, distance and values); empty without a hover.
  QString InfoText() const;
  // The replay cursor's column in the plot's coordinates; -1 when there is none.
  int CursorPx() const;

signals:
  void CloseRequested();

protected:
  bool eventFilter(QObject *o, QEvent *e) override;
  void showEvent(QShowEvent *e) override;

private:
  struct TLine {
    const TGeoTrack *Track = nullptr; // the map's, not owned
    std::uint64_t Revision = 0;       // its points' when built (a changed track is rebuilt)
    TGraphLine Line;
    QColor Color;
    double Offset = 0; // its X on the view's axis is its own plus this
  };

  void FillValues();
  void PaintPlot(QPainter &p);
  void RenderCache();
  void MouseMove(const QPoint &pos, Qt::MouseButtons buttons);
  void MousePress(const QPoint &pos);
  void MouseRelease(const QPoint &pos);
  void Wheel(const QPoint &pos, int delta);
  void SetHover(int line, int entry);
  void ReplayMoved();
  // The line's track is still the map's, with the points it was built from.
  bool Holds(const TLine &l) const;
  QRect PlotRect() const;
  QRect StripAt(double px) const;
  double CursorX() const; // on the view's axis; NaN when none
  std::vector<TGraphPlaced> Placed() const;
  QString ValueText(const TTrackPointInfo &tp) const;

  QPointer<TLumMapControl> fMap;
  QPointer<TTrackReplayBar> fBar;
  TGraphHost fHost;
  QComboBox *fValues;
  QComboBox *fAxes;
  QToolButton *fReset;
  QToolButton *fClose;
  QLabel *fInfo;
  QWidget *fPlot;

  std::vector<TChartValue> fValueList;
  std::string fKey = "speed";
  TGraphAxis fAxis = gaTime;
  std::string fBuiltKey; // what fLines were made of
  TGraphAxis fBuiltAxis = gaTime;
  int fLinesMade = 0;
  std::vector<TLine> fLines;
  TDateTime fOrigin = 0; // the time axis' zero: the earliest track start
  double fDataX0 = 0, fDataX1 = 1;
  TGraphView fView;
  bool fRebuildQueued = false;
  bool fStale = true; // the lines are to be built when the pane is next shown

  QPixmap fCache;
  bool fCacheDirty = true;
  int fHoverLine = -1, fHoverEntry = -1;
  double fHoverPx = -1;
  double fCursorPx = -1;
  const TGeoTrack *fReplayed = nullptr; // the replay's track when last drawn (compared only)
  QPoint fPressPos, fLastPos;
  bool fPressed = false, fDragging = false;
};

} // namespace kelvra
