// A track played back on the map.
//   replay frame: one frame of a 1000x replay of a 1,000,000-point track on a 1920 x 1080 map
//                 (the replay bar advances by a sixtieth of a second, the map repaints what the
//                 frame changed) vs a full repaint of the same map with the same track.
// Runs on Qt's offscreen platform: no display is needed. No tile server: both sides draw the
// same placeholders where tiles would be.
#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <unistd.h>

#include "BenchData.h"
#include "BenchWindows.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

constexpr int kPoints = 1000000;

struct TReplayScene {
  std::filesystem::path CacheDir;
  std::unique_ptr<QWidget> Panel;
  TLumMapControl *Map = nullptr;
  TTrackReplayBar *Bar = nullptr;

  TReplayScene() {
    CacheDir = std::filesystem::temp_directory_path() / ("kelvra-bench-replay-" + std::to_string(getpid()));
    Panel = std::make_unique<QWidget>();
    auto *lay = new QVBoxLayout(Panel.get());
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    Map = new TLumMapControl(Panel.get(), CacheDir.string() + "/", 100000000);
    Bar = new TTrackReplayBar(Panel.get(), Map);
    Bar->ManualClock = true;
    Panel->resize(1920, 1080 + Bar->sizeHint().height());
    Panel->show();

    auto track = std::make_unique<TGeoTrack>("101");
    track->SetStyle(GeoTrackStyles[0]);
    track->Assign(TrackPoints(kPoints, kPoints / 2000));
    track->MarkParking();
    track->UpdateInfo();
    const TGeoRect area = track->Info().GeoRect;
    Map->GeoTracks().push_back(std::move(track));
    Map->ZoomToArea(area);
    Map->SetCenterPoint(TGeoPoint{(area.TopLeft.Long + area.BottomRight.Long) / 2,
                                  (area.TopLeft.Lat + area.BottomRight.Lat) / 2});
    Bar->SetFollow(false);
    Bar->SetTrack(Map->GeoTracks().back().get());
    Bar->SetSpeed(1000);
    // Everything painted once, as on the screen before the replay starts.
    Map->viewport()->repaint();
    QCoreApplication::processEvents();
  }
  ~TReplayScene() {
    Panel.reset();
    std::error_code ec;
    std::filesystem::remove_all(CacheDir, ec);
  }
};

// Made on first use; goes before the application does.
std::unique_ptr<TReplayScene> gScene;

TReplayScene &Scene() {
  if (!gScene) gScene = std::make_unique<TReplayScene>();
  return *gScene;
}

void BM_ReplayFrame(benchmark::State &aState) {
  TReplayScene &s = Scene();
  s.Bar->SeekFraction(0.1);
  s.Bar->Play();
  for (auto _ : aState) {
    if (s.Bar->Replay().Index() + 100 >= s.Bar->Replay().Count()) s.Bar->SeekFraction(0.1);
    s.Bar->Advance(1.0 / 60);
    // The repaint the frame asked for, as the event loop would do it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  }
  s.Bar->Pause();
}

void BM_MapRepaint(benchmark::State &aState) {
  TReplayScene &s = Scene();
  for (auto _ : aState) s.Map->viewport()->repaint();
}

} // namespace

BENCHMARK(BM_ReplayFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapRepaint)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  return kelvra::bench::RunWindowFigures(
      argc, argv, {{"replay frame", "BM_ReplayFrame", "BM_MapRepaint", 1, 1}}, [] { gScene.reset(); });
}
