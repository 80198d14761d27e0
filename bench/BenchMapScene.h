#pragma once
// The scene of the benchmarks that play or graph a track: a shown panel with a map and the
// replay bar under it, holding one generated track fitted in the view and given to the bar.
// No tile server: the map draws its placeholders where tiles would be. Made after the
// application, freed before it.
#include <QVBoxLayout>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

#include "BenchData.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"

namespace kelvra::bench {

struct TMapScene {
  std::filesystem::path CacheDir;
  std::unique_ptr<QWidget> Panel;
  TLumMapControl *Map = nullptr;
  TTrackReplayBar *Bar = nullptr;

  // aPoints one-second points in track style aStyle on a panel of aSize plus the bar's height;
  // aBelow adds widgets under the bar before the panel is shown.
  TMapScene(const std::string &aName, int aPoints, std::size_t aStyle, QSize aSize,
            const std::function<void(QWidget &panel, QVBoxLayout &layout)> &aBelow = {}) {
    CacheDir = std::filesystem::temp_directory_path() /
               ("kelvra-bench-" + aName + "-" + std::to_string(getpid()));
    Panel = std::make_unique<QWidget>();
    auto *lay = new QVBoxLayout(Panel.get());
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    Map = new TLumMapControl(Panel.get(), CacheDir.string() + "/", 100000000);
    Bar = new TTrackReplayBar(Panel.get(), Map);
    Bar->ManualClock = true;
    if (aBelow) aBelow(*Panel, *lay);
    Panel->resize(aSize.width(), aSize.height() + Bar->sizeHint().height());
    Panel->show();

    auto track = std::make_unique<TGeoTrack>("101");
    track->SetStyle(GeoTrackStyles[aStyle]);
    track->Assign(TrackPoints(aPoints, aPoints / 2000));
    track->MarkParking();
    track->UpdateInfo();
    const TGeoRect area = track->Info().GeoRect;
    Map->GeoTracks().push_back(std::move(track));
    Map->ZoomToArea(area);
    Map->SetCenterPoint(TGeoPoint{(area.TopLeft.Long + area.BottomRight.Long) / 2,
                                  (area.TopLeft.Lat + area.BottomRight.Lat) / 2});
    Bar->SetFollow(false);
    Bar->SetTrack(Map->GeoTracks().back().get());
  }
  ~TMapScene() {
    Panel.reset();
    std::error_code ec;
    std::filesystem::remove_all(CacheDir, ec);
  }
};

} // namespace kelvra::bench
