#include "ui/map/TrackReplayBar.h"

#include "core/tracks/TrackDump.h"
#include "core/util/DisplayUnits.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/MapText.h"
#include "ui/widgets/TranslateForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace kelvra {

namespace {
constexpr int SliderSteps = 10000;
constexpr int FrameMs = 33;
const double Speeds[] = {1, 2, 5, 10, 30, 60, 100, 300, 1000};
} // namespace

TTrackReplayBar::TTrackReplayBar(QWidget *Parent, TLumMapControl *Map)
    : QWidget(Parent), fMap(Map) {
  setObjectName("TrackReplayBar");
  if (Parent && Parent->layout()) Parent->layout()->addWidget(this);
  auto *lay = new QHBoxLayout(this);
  lay->setContentsMargins(4, 2, 4, 2);
  fPlay = new QToolButton(this);
  fPlay->setObjectName("ButReplayPlay");
  fPlay->setFocusPolicy(Qt::NoFocus);
  fSpeed = new QComboBox(this);
  fSpeed->setObjectName("CbReplaySpeed");
  fSpeed->setFocusPolicy(Qt::NoFocus);
  for (double s : Speeds) fSpeed->addItem(QString::number(s) + "x", s);
  fSpeed->setCurrentIndex(4); // 30x: a city drive in minutes
  fSlider = new QSlider(Qt::Horizontal, this);
  fSlider->setObjectName("SlReplay");
  fSlider->setRange(0, SliderSteps);
  fSlider->setFocusPolicy(Qt::NoFocus);
  fTime = new QLabel(this);
  fTime->setObjectName("LblReplayTime");
  fTime->setMinimumWidth(fTime->fontMetrics().horizontalAdvance("00.00.0000 00:00:00") + 8);
  fInfo = new QLabel(this);
  fInfo->setObjectName("LblReplayInfo");
  fInfo->setMinimumWidth(200);
  fFollow = new QCheckBox("Follow", this);
  fFollow->setObjectName("ChkReplayFollow");
  fFollow->setFocusPolicy(Qt::NoFocus);
  fFollow->setChecked(true);
  fClose = new QToolButton(this);
  fClose->setObjectName("ButReplayClose");
  fClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  fClose->setAutoRaise(true);
  fClose->setFocusPolicy(Qt::NoFocus);
  fPlay->setToolTip("Play or pause (Space)");
  fSpeed->setToolTip("Replay speed");
  fSlider->setToolTip("Track time: drag to move");
  fClose->setToolTip("Close the replay");
  lay->addWidget(fPlay);
  lay->addWidget(fSpeed);
  lay->addWidget(fSlider, 1);
  lay->addWidget(fTime);
  lay->addWidget(fInfo, 1);
  lay->addWidget(fFollow);
  lay->addWidget(fClose);
  TranslateForm(this);
  UpdatePlayButton();

  fTimer.setInterval(FrameMs);
  fTimer.setTimerType(Qt::PreciseTimer);
  connect(&fTimer, &QTimer::timeout, this, [this] {
    const double s = fClock.isValid() ? fClock.restart() / 1000.0 : 0;
    Advance(s);
  });
  connect(fPlay, &QToolButton::clicked, this, [this] { TogglePlay(); });
  connect(fSpeed, &QComboBox::activated, this,
          [this](int i) { SetSpeed(fSpeed->itemData(i).toDouble()); });
  connect(fSlider, &QSlider::valueChanged, this, [this](int v) {
    if (!fShowing) SeekFraction(double(v) / SliderSteps);
  });
  connect(fFollow, &QCheckBox::toggled, this, [this](bool on) {
    if (on) ShowCurrent();
  });
  connect(fClose, &QToolButton::clicked, this, [this] { SetTrack(nullptr); });

  // The keys work while the focus is anywhere on the map's panel.
  QWidget *scope = Parent ? Parent : this;
  auto key = [&](int k, auto fn) {
    auto *sc = new QShortcut(QKeySequence(k), scope);
    sc->setContext(Qt::WidgetWithChildrenShortcut);
    connect(sc, &QShortcut::activated, this, [this, fn] {
      if (isVisible()) fn();
    });
  };
  key(Qt::Key_Space, [this] { TogglePlay(); });
  key(Qt::Key_Left, [this] { Step(-1); });
  key(Qt::Key_Right, [this] { Step(1); });

  if (fMap)
    connect(fMap, &TLumMapControl::FeaturesChanged, this, [this] {
      if (fTrack && !fMap->Features().TrackReplay) SetTrack(nullptr);
    });
  fReplay.SetSpeed(fSpeed->currentData().toDouble());
  hide();
}

TTrackReplayBar::~TTrackReplayBar() {
  fTimer.stop();
  if (fMap) {
    fMap->SetReplayMarker({});
    fMap->SetReplayStops({});
  }
}

void TTrackReplayBar::SetTrack(const TGeoTrack *Track) {
  Pause();
  fTrack = Track;
  // With the replay switched off the map looks as it always did.
  if (!Track || Track->Points().empty() || (fMap && !fMap->Features().TrackReplay)) {
    fTrack = nullptr;
    fReplay.Clear();
    if (fMap) {
      fMap->SetReplayMarker({});
      fMap->SetReplayStops({});
    }
    hide();
    emit Moved();
    return;
  }
  fRevision = Track->Revision();
  fReplay.Reset(Track->Points(), Track->Clock());
  fReplay.SetSpeed(fSpeed->currentData().toDouble());
  if (fMap) {
    std::vector<TLumMapControl::TReplayStop> stops;
    for (const TTrackReplay::TStop &st : fReplay.Stops()) {
      const TTrackPointInfo &p = *Track->Points()[std::size_t(st.Index)];
      stops.push_back({TGeoPoint{p.lon, p.lat}, "P " + ParkingText(st.Duration)});
    }
    fMap->SetReplayStops(std::move(stops));
  }
  show();
  ShowCurrent();
}

void TTrackReplayBar::Play() {
  if (!TrackStillThere()) return;
  fReplay.Play();
  if (!ManualClock) {
    fClock.start();
    fTimer.start();
  }
  UpdatePlayButton();
}

void TTrackReplayBar::Pause() {
  fReplay.Pause();
  fTimer.stop();
  fClock.invalidate();
  UpdatePlayButton();
}

void TTrackReplayBar::TogglePlay() { fReplay.Playing() ? Pause() : Play(); }

void TTrackReplayBar::Step(int Delta) {
  if (!TrackStillThere()) return;
  Pause();
  fReplay.Step(Delta);
  ShowCurrent();
}

void TTrackReplayBar::SeekFraction(double Fraction) {
  if (!TrackStillThere()) return;
  fReplay.Seek(std::clamp(Fraction, 0.0, 1.0) * fReplay.Span());
  ShowCurrent();
}

void TTrackReplayBar::SeekPoint(int Index) {
  if (!TrackStillThere()) return;
  fReplay.Seek(fReplay.PointTime(std::clamp(Index, 0, fReplay.Count() - 1)));
  ShowCurrent();
}

void TTrackReplayBar::SetSpeed(double Speed) {
  fReplay.SetSpeed(Speed);
  for (int i = 0; i < fSpeed->count(); ++i)
    if (fSpeed->itemData(i).toDouble() == fReplay.Speed()) fSpeed->setCurrentIndex(i);
}

bool TTrackReplayBar::Follow() const { return fFollow->isChecked(); }
void TTrackReplayBar::SetFollow(bool On) { fFollow->setChecked(On); }

bool TTrackReplayBar::TrackStillThere() {
  if (!fTrack) return false;
  // The map owns the track: one removed (a sign-out, a deletion) ends the replay,
  // and one whose points changed (a filter) starts it again.
  const bool onMap = fMap && std::any_of(fMap->GeoTracks().begin(), fMap->GeoTracks().end(),
                                         [this](const auto &t) { return t.get() == fTrack; });
  if (!onMap) {
    SetTrack(nullptr);
    return false;
  }
  if (fTrack->Revision() != fRevision) SetTrack(fTrack);
  return fTrack != nullptr;
}

void TTrackReplayBar::Advance(double RealSeconds) {
  if (!fReplay.Playing() || !TrackStillThere()) return;
  const double before = fReplay.Time();
  fReplay.Advance(RealSeconds);
  if (fReplay.Time() != before) ShowCurrent();
  if (!fReplay.Playing()) Pause(); // reached the end
}

void TTrackReplayBar::UpdatePlayButton() {
  const bool playing = fReplay.Playing();
  fPlay->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
}

QString TTrackReplayBar::TimeText() const {
  const TTrackPointInfo *p = fReplay.Point();
  return p ? QString::fromStdString(DumpCellText(*p, dcObjTime)) : QString();
}

QString TTrackReplayBar::InfoText() const {
  const TTrackPointInfo *p = fReplay.Point();
  if (!p) return {};
  QStringList parts = MotionTexts(*p);
  const std::string sensors = DumpCellText(*p, dcSensors);
  if (!sensors.empty()) parts << QString::fromStdString(sensors);
  if (const int stop = fReplay.CurrentStop(); stop >= 0)
    parts << MapText("replay_stop", {ParkingText(fReplay.Stops()[std::size_t(stop)].Duration)});
  return parts.join("   ");
}

void TTrackReplayBar::ShowCurrent() {
  if (fReplay.Empty()) return;
  fShowing = true;
  const double span = fReplay.Span();
  fSlider->setValue(span > 0 ? int(std::lround(fReplay.Time() / span * SliderSteps)) : 0);
  fShowing = false;
  fTime->setText(TimeText());
  fInfo->setText(InfoText());
  if (fMap) {
    TLumMapControl::TReplayMarker m;
    m.Visible = true;
    m.Pos = fReplay.Position();
    m.Heading = fReplay.Heading();
    m.PassedStops = fReplay.PassedStops();
    fMap->SetReplayMarker(m);
    if (Follow()) fMap->KeepInView(m.Pos);
  }
  emit Moved();
}

} // namespace kelvra
