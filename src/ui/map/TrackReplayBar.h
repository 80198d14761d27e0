#pragma once
// The replay bar under the map: plays a track back in its own time with a
// moving marker on the map (play and pause, 1x to 1000x, a slider over the
// track's time to seek, the current point's time, speed, altitude and
// sensors, "Follow" keeping the marker in view). Space plays or pauses, Left
// and Right step one point, while the focus is on the map or the bar.
//
//   auto *bar = new TTrackReplayBar(mapPanel, map);   // below the map in mapPanel's layout
//   bar->SetTrack(track);    // a track the map holds (not owned); null hides the bar
//
// The frame clock is a timer; tests set ManualClock and call Advance.
#include "core/tracks/TrackReplay.h"
#include "ui/map/LumMapControl.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QToolButton;

namespace kelvra {


class TTrackReplayBar : public QWidget {
  Q_OBJECT

public:
  // Added below Map in Parent's layout; hidden until a track is set. Map: not owned.
  TTrackReplayBar(QWidget *Parent, TLumMapControl *Map);
  ~TTrackReplayBar() override;

  // The track to replay, one of the map's (not owned). Null hides the bar and
  // the marker; a track the map dropped ends the replay, one whose points
  // changed restarts it.
  void SetTrack(const TGeoTrack *Track);
  const TGeoTrack *Track() const { return fTrack; }
  TTrackReplay &Replay() { return fReplay; }

  void Play();
  void Pause();
  void TogglePlay();
  // One point on (or back); pauses.
  void Step(int Delta);
  // To a fraction (0..1) of the track's time span.
  void SeekFraction(double Fraction);
  // To the time of a point of the track (clamped); playing goes on from there.
  void SeekPoint(int Index);
  void SetSpeed(double Speed);
  bool Follow() const;
  void SetFollow(bool On);

  // One frame: RealSeconds passed on the clock.
  void Advance(double RealSeconds);
  // No timer: the caller drives Advance (tests).
  bool ManualClock = false;

  // What the bar says about the current point (time, speed, altitude, sensors, stop).
  QString InfoText() const;
  QString TimeText() const;

signals:
  // The replay's point or time changed, or its track did (a null track: the replay ended).
  void Moved();

private:
  // The current point on the bar and the marker on the map.
  void ShowCurrent();
  // False (and the replay closed) when the map no longer holds the track.
  bool TrackStillThere();
  void UpdatePlayButton();

  QPointer<TLumMapControl> fMap; // not owned; may go first
  const TGeoTrack *fTrack = nullptr;
  std::uint64_t fRevision = 0; // fTrack's when the replay was set up
  TTrackReplay fReplay;
  QToolButton *fPlay;
  QComboBox *fSpeed;
  QSlider *fSlider;
  QLabel *fTime;
  QLabel *fInfo;
  QCheckBox *fFollow;
  QToolButton *fClose;
  QTimer fTimer;
  QElapsedTimer fClock;
  bool fShowing = false; // the slider is being set by the replay, not by the user
};

} // namespace kelvra
