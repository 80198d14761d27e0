// A track played back on the map.
//   replay frame: one frame of a 1000x replay of a 1,000,000-point track on a 1920 x 1080 map
//                 (the replay bar advances by a sixtieth of a second, the map repaints what the
//                 frame changed) vs a full repaint of the same map with the same track.
// Runs on Qt's offscreen platform: no display is needed. No tile server: both sides draw the
// same placeholders where tiles would be.
#include <QApplication>

#include <memory>

#include "BenchMapScene.h"
#include "BenchWindows.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

constexpr int kPoints = 1000000;

struct TReplayScene : TMapScene {
  TReplayScene() : TMapScene("replay", kPoints, 0, QSize(1920, 1080)) {
    Bar->SetSpeed(1000);
    // Everything painted once, as on the screen before the replay starts.
    Map->viewport()->repaint();
    QCoreApplication::processEvents();
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
