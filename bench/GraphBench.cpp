// The graphs under the map.
//   graph hover: one mouse move over the speed graph of a 1,000,000-point track, 1,900 pixels
//                wide (the point under the mouse found, its values written, the graph's hover
//                mark and the map's ring moved and repainted), in milliseconds per move: the
//                figure is a time, not a ratio, and its target is the 4 ms a move may take.
// Runs on Qt's offscreen platform: no display is needed. No tile server: the map draws its
// placeholders where tiles would be.
#include <QApplication>
#include <QMouseEvent>

#include <memory>

#include "BenchMapScene.h"
#include "BenchWindows.h"
#include "ui/reports/TrackGraphPane.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

constexpr int kPoints = 1000000;

struct TGraphScene : TMapScene {
  TTrackGraphPane *Pane = nullptr;

  TGraphScene()
      : TMapScene("graph", kPoints, 1, QSize(1920, 1080), [this](QWidget &panel, QVBoxLayout &lay) {
          auto *pane = new TTrackGraphPane(Map, Bar, {}, &panel);
          lay.addWidget(pane);
          pane->setFixedHeight(240);
        }) {
    Pane = Panel->findChild<TTrackGraphPane *>();
    Pane->Rebuild();
    // Everything painted once, as on the screen before the mouse comes.
    Map->viewport()->repaint();
    Pane->Plot()->repaint();
    QCoreApplication::processEvents();
  }
};

// Made on first use; goes before the application does.
std::unique_ptr<TGraphScene> gScene;

TGraphScene &Scene() {
  if (!gScene) gScene = std::make_unique<TGraphScene>();
  return *gScene;
}

void BM_GraphHover(benchmark::State &aState) {
  TGraphScene &s = Scene();
  QWidget *plot = s.Pane->Plot();
  const int y = plot->height() / 2;
  int x = 60;
  for (auto _ : aState) {
    // Across the plot and back, a few pixels a move as a hand moves the mouse.
    x = x + 3 >= plot->width() - 12 ? 60 : x + 3;
    const QPoint pos(x, y);
    QMouseEvent move(QEvent::MouseMove, pos, plot->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    // The repaints the move asked for, as the event loop would do them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  }
  if (s.Pane->InfoText().isEmpty()) aState.SkipWithError("the hover found no point");
}

} // namespace

BENCHMARK(BM_GraphHover)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  return kelvra::bench::RunWindowFigures(argc, argv, {{"graph hover", "BM_GraphHover", "", 1, 4}},
                                         [] { gScene.reset(); });
}
