// The marks of a map: kept in layer order, with an index by the data each mark stands for.
#include "ui/map/MapControl.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <string>

namespace kelvra {

namespace {
bool SameValue(double a, double b) {
  const double tol = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
  return std::fabs(a - b) <= tol;
}
} // namespace

TMapMarkList::TMapMarkList(TMapControl *Map) : FMap(Map) {}
TMapMarkList::~TMapMarkList() = default;

void TMapMarkList::BeginUpdate() { ++FUpdateCount; }

void TMapMarkList::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0 && FMap) FMap->Invalidate();
}

TMapMark *TMapMarkList::Get(int Index) const {
  if (Index < 0 || Index >= Count())
    throw std::out_of_range("Map mark index out of range: " + std::to_string(Index));
  return FList[std::size_t(Index)].get();
}

void TMapMarkList::Clear() {
  FList.clear();
  FIndexValid = false;
  if (FUpdateCount == 0 && FMap) FMap->Invalidate();
}

std::unique_ptr<TMapMark> TMapMarkList::NewItem() const {
  auto m = std::make_unique<TMapMark>();
  if (FMap) {
    m->GlyphStyle = FMap->MapMarkGlyphStyle;
    m->CaptionStyle = FMap->MapMarkCaptionStyle;
    m->CaptionFont = FMap->MapMarkCaptionFont;
  } else {
    m->GlyphStyle = DefaultMapMarkGlyphStyle;
    m->CaptionStyle = DefaultMapMarkCaptionStyle;
  }
  return m;
}

TMapMark *TMapMarkList::Add(const TGeoPoint &GeoCoords, const std::string &Caption,
                            TMapLayer Layer) {
  auto m = NewItem();
  m->Coord = GeoCoords;
  m->Caption = Caption;
  m->Layer = Layer;
  return Add(std::move(m));
}

TMapMark *TMapMarkList::Add(std::unique_ptr<TMapMark> MapMark) {
  if (!MapMark) return nullptr;
  // Before the first mark of the same layer (lower bound by layer).
  auto pos = std::lower_bound(FList.begin(), FList.end(), MapMark->Layer,
                              [](const std::unique_ptr<TMapMark> &m, TMapLayer layer) {
                                return m->Layer < layer;
                              });
  TMapMark *added = MapMark.get();
  FList.insert(pos, std::move(MapMark));
  FIndexValid = false;
  Changed(added, mmnAdded);
  return added;
}

void TMapMarkList::AddMarks(std::vector<std::unique_ptr<TMapMark>> Marks) {
  std::erase(Marks, nullptr);
  if (Marks.empty()) return;
  // One by one, each would go before the earlier ones of its layer: the batch reversed, sorted
  // by layer (stable), goes before the marks of the list of the same layer.
  std::reverse(Marks.begin(), Marks.end());
  auto byLayer = [](const std::unique_ptr<TMapMark> &a, const std::unique_ptr<TMapMark> &b) {
    return a->Layer < b->Layer;
  };
  std::stable_sort(Marks.begin(), Marks.end(), byLayer);
  std::vector<TMapMark *> added;
  added.reserve(Marks.size());
  for (const auto &m : Marks)
    added.push_back(m.get());
  std::vector<std::unique_ptr<TMapMark>> merged;
  merged.reserve(FList.size() + Marks.size());
  // std::merge takes from the first range on ties: the new marks lead their layer.
  std::merge(std::make_move_iterator(Marks.begin()), std::make_move_iterator(Marks.end()),
             std::make_move_iterator(FList.begin()), std::make_move_iterator(FList.end()),
             std::back_inserter(merged), byLayer);
  FList = std::move(merged);
  FIndexValid = false;
  BeginUpdate();
  // in the order they were given, as the single adds would have told
  for (auto it = added.rbegin(); it != added.rend(); ++it)
    Changed(*it, mmnAdded);
  EndUpdate();
}

void TMapMarkList::BuildIndex() const {
  if (FIndexValid) return;
  FIndexOf.clear();
  FByData.clear();
  FIndexOf.reserve(FList.size());
  for (std::size_t i = 0; i < FList.size(); ++i) {
    FIndexOf[FList[i].get()] = int(i);
    if (FList[i]->Data) FByData.emplace(FList[i]->Data, FList[i].get()); // the first one wins
  }
  FIndexValid = true;
}

TMapMark *TMapMarkList::FindByData(const void *Data) const {
  if (!Data) return nullptr;
  BuildIndex();
  auto it = FByData.find(Data);
  return it != FByData.end() && it->second->Data == Data ? it->second : nullptr;
}

int TMapMarkList::IndexOf(const TMapMark *MapMark) const {
  BuildIndex();
  auto it = FIndexOf.find(MapMark);
  return it == FIndexOf.end() ? -1 : it->second;
}

int TMapMarkList::DeleteIf(const std::function<bool(const TMapMark &)> &Drop) {
  std::vector<std::unique_ptr<TMapMark>> gone;
  std::vector<std::unique_ptr<TMapMark>> kept;
  kept.reserve(FList.size());
  for (auto &m : FList)
    (Drop(*m) ? gone : kept).push_back(std::move(m));
  if (gone.empty()) {
    FList = std::move(kept);
    return 0;
  }
  FList = std::move(kept);
  FIndexValid = false;
  BeginUpdate();
  for (auto &m : gone) {
    Changed(m.get(), mmnExtracted);
    if (OnItemNotify) OnItemNotify(this, m.get(), mmnDeleted);
  }
  EndUpdate();
  return int(gone.size());
}

std::unique_ptr<TMapMark> TMapMarkList::Extract(TMapMark *MapMark) {
  const int i = IndexOf(MapMark);
  if (i < 0) return nullptr;
  auto m = std::move(FList[std::size_t(i)]);
  FList.erase(FList.begin() + i);
  FIndexValid = false;
  Changed(m.get(), mmnExtracted);
  return m;
}

bool TMapMarkList::Delete(TMapMark *MapMark) {
  auto m = Extract(MapMark);
  if (!m) return false;
  if (OnItemNotify) OnItemNotify(this, m.get(), mmnDeleted);
  return true;
}

void TMapMarkList::Changed(TMapMark *Mark, TMapMarkNotify Action) {
  if (OnItemNotify) OnItemNotify(this, Mark, Action);
  if (FUpdateCount == 0 && FMap) FMap->Invalidate();
}

int TMapMarkList::Find(const TGeoPoint &GeoCoords, bool, int StartIndex) const {
  for (int i = std::max(StartIndex, 0); i < Count(); ++i) {
    const TGeoPoint &c = FList[std::size_t(i)]->Coord;
    if (SameValue(c.Long, GeoCoords.Long) && SameValue(c.Lat, GeoCoords.Lat)) return i;
  }
  return -1;
}

int TMapMarkList::Find(const TGeoRect &GeoRect, bool, int StartIndex) const {
  for (int i = std::max(StartIndex + 1, 0); i < Count(); ++i)
    if (GeoRect.Contains(FList[std::size_t(i)]->Coord)) return i;
  return -1;
}

} // namespace kelvra
