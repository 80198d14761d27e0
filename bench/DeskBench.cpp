// The dispatcher's desk: finding one vehicle among many, and handing a track to other tools.
//   object search:      one keystroke in the search field over 10,000 objects in the object list
//                       (case and accent folding over name, id, phone and address, the list view
//                       attached and updated) vs Qt's own filter proxy matching the names alone
//                       (QSortFilterProxyModel::setFilterFixedString, case-insensitive) under the
//                       same view. Each iteration types a query and clears it again.
//   KML export scaling: ExportTrackKml of a 1,000,000-point track to a file vs ten times that of
//                       100,000.
// Runs on Qt's offscreen platform: no display is needed.
#include <QApplication>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTreeView>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchData.h"
#include "BenchWindows.h"
#include "core/model/ObjectInfo.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackExport.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

constexpr int kFleet = 10000;
// Typed and cleared in turn: a query that keeps a tenth of the fleet, one that keeps a single
// vehicle, one that keeps none.
const char *const kQueries[] = {"fleet 01", "Fleet 04711", "no such vehicle"};

struct TFleetList {
  std::vector<std::unique_ptr<TObjectInfo>> Objects;
  std::unique_ptr<TObjectsModel> Model;
  TFleetList() {
    Objects.reserve(kFleet);
    std::vector<const TObjectInfo *> rows;
    for (int i = 0; i < kFleet; ++i) {
      auto oi = std::make_unique<TObjectInfo>();
      oi->uid = 1000 + i;
      char name[32], id[32], phone[32];
      std::snprintf(name, sizeof name, "Fleet %05d", i);
      std::snprintf(id, sizeof id, "86%013d", i);
      std::snprintf(phone, sizeof phone, "+7 912 %03d-%02d-%02d", i / 10000, i / 100 % 100, i % 100);
      oi->name = name;
      oi->id = id;
      oi->phone = phone;
      rows.push_back(oi.get());
      Objects.push_back(std::move(oi));
    }
    Model = std::make_unique<TObjectsModel>();
    Model->Load(rows);
  }
};

TFleetList &Fleet() {
  static TFleetList fleet;
  return fleet;
}

void BM_ObjectSearch(benchmark::State &aState) {
  TObjectSearch search(Fleet().Model.get(), nullptr);
  QTreeView view;
  view.setModel(search.Proxy());
  search.AttachView(&view);
  view.resize(300, 700);
  view.expandAll();
  std::size_t q = 0;
  for (auto _ : aState) {
    search.SearchEdit()->setText(QString::fromLatin1(kQueries[q++ % std::size(kQueries)]));
    search.SearchEdit()->clear();
    benchmark::DoNotOptimize(view.model()->rowCount());
  }
}

void BM_QtNameFilter(benchmark::State &aState) {
  QSortFilterProxyModel proxy;
  proxy.setSourceModel(Fleet().Model.get());
  proxy.setRecursiveFilteringEnabled(true);
  proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
  QTreeView view;
  view.setModel(&proxy);
  view.resize(300, 700);
  view.expandAll();
  std::size_t q = 0;
  for (auto _ : aState) {
    proxy.setFilterFixedString(QString::fromLatin1(kQueries[q++ % std::size(kQueries)]));
    proxy.setFilterFixedString(QString());
    benchmark::DoNotOptimize(view.model()->rowCount());
  }
}

const TGeoTrack &KmlTrack(int aPoints) {
  static std::map<int, std::unique_ptr<TGeoTrack>> tracks;
  auto &t = tracks[aPoints];
  if (!t) {
    t = std::make_unique<TGeoTrack>("86000000000101");
    t->SetSign("Delivery van");
    t->Points() = TrackPoints(aPoints, aPoints / 2000);
    t->MarkParking(); // the stays become stop placemarks
    t->UpdateInfo();
  }
  return *t;
}

void BM_ExportKml(benchmark::State &aState) {
  const TGeoTrack &track = KmlTrack(int(aState.range(0)));
  TKmlOptions options;
  options.address = [](const std::string &) { return std::string("Ostrovskogo 71, Perm"); };
  std::string file = (std::filesystem::temp_directory_path() /
                      ("kelvra-bench-" + std::to_string(getpid()) + ".kml"))
                         .string();
  for (auto _ : aState)
    if (ExportTrackKml(track, file, options) <= 0) aState.SkipWithError("the export failed");
  std::remove(file.c_str());
}

} // namespace

BENCHMARK(BM_ObjectSearch)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtNameFilter)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportKml)->Arg(100000)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  return kelvra::bench::RunWindowFigures(
      argc, argv,
      {{"object search", "BM_ObjectSearch", "BM_QtNameFilter", 1, 3},
       {"KML export scaling", "BM_ExportKml/1000000", "BM_ExportKml/100000", 10, 1.2}},
      [] { Fleet().Model.reset(); });
}
