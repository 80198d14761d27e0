#pragma once
// One object's track as the program holds, shows and analyses it: the owned
// points with a drawing style, a layer, a sign and statistics recomputed on demand.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/map/SlippyMapUtils.h"
#include "core/model/TrackPointInfo.h"
#include "core/util/TimeZones.h"

namespace kelvra {

struct TMinMaxDateTime {
  TDateTime Min = std::numeric_limits<double>::quiet_NaN();
  TDateTime Max = std::numeric_limits<double>::quiet_NaN();
  void Clear();
  bool IsNan() const;
};

struct TGeoTrackStyle {
  std::string Sign;
  int PointSize = 0;
  int LineWidth = 0;
  uint32_t PointColor = 0;
  uint32_t PointBgColor = 0;
  uint32_t PointWifiColor = 0;
  uint32_t PointWifiBgColor = 0;
  uint32_t LineColor = 0;
  uint32_t HighlightColor = 0;

  static TGeoTrackStyle CreateNew(const std::string &aSign, int aPointSize, int aLineWidth,
                                  uint32_t aPointColor, uint32_t aPointBgColor,
                                  uint32_t aPointWifiColor, uint32_t aPointWifiBgColor,
                                  uint32_t aLineColor, uint32_t aHighlightColor);
};

// "Gray", "Blue", "Green", "Purple"; a new track takes a copy of the first.
extern const std::array<TGeoTrackStyle, 4> GeoTrackStyles;

struct TGeoTrackInfo {
  int PointsCount = 0;
  int GoodPointsCount = 0;
  int ParkPointsCount = 0;
  int ParkingCount = 0;
  int AddressCount = 0;
  double Distance = 0;
  int StepCounter = 0;
  int MinHeartRate = 0;
  int MaxHeartRate = 0;
  int AvgHeartRate = 0;
  TMinMaxDateTime SysTime;
  TMinMaxDateTime ObjTime;
  TMinMaxDateTime GpsTime;
  int SysDuration = 0;
  int ObjDuration = 0;
  int GpsDuration = 0;
  TGeoRect GeoRect;
  TGeoPoint CenterPoint;
  double Width = 0;
  double Height = 0;

  // A new record is cleared: counts 0, times and the rectangle NaN.
  void Clear();
  bool HasCenterPoint() const;
  bool HasGeoRect() const;
};

using TTrackPointList = std::vector<std::unique_ptr<TTrackPointInfo>>;

class TGeoTrack {
public:
  explicit TGeoTrack(std::string aObjId = "");

  const std::string &ObjId() const { return fObjId; }
  void SetObjId(const std::string &v) { fObjId = v; }
  TTrackPointList &Points() { return fPoints; }
  const TTrackPointList &Points() const { return fPoints; }
  bool Visible() const { return fVisible; }
  void SetVisible(bool v) { fVisible = v; }
  TGeoTrackStyle &Style() { return fStyle; }
  const TGeoTrackStyle &Style() const { return fStyle; }
  void SetStyle(const TGeoTrackStyle &v) { fStyle = v; }
  uint8_t Layer() const { return fLayer; }
  void SetLayer(uint8_t v) { fLayer = v; }
  const std::string &Sign() const { return fSign; }
  void SetSign(const std::string &v) { fSign = v; }
  const TGeoTrackInfo &Info() const { return fInfo; }
  // The clock the points' times are on (the client's display clock for a track it fetched):
  // durations count real time across a change of daylight saving, and exports write true UTC.
  const TDisplayZone &Clock() const { return fClock; }
  void SetClock(const TDisplayZone &v) { fClock = v; }

  void Clear();
  // Takes the points over (the caller's list is left empty) and recomputes the statistics.
  int Assign(TTrackPointList &&aPoints);
  // Recomputes the statistics in one pass; with progress, it is told (points done, points) now
  // and then, and once it returns false the pass stops: false, and the statistics are cleared.
  bool UpdateInfo(const std::function<bool(size_t done, size_t total)> &progress = {});
  // Finds stays (points that do not move beyond their accuracy for at least 300 s of
  // object time), inserts a parking point at the start of each and marks the stay.
  void MarkParking();
  void ClearParking();
  // fmt 1 is CSV, 2 is GPX; an empty name gives -1. Adds the extension when fn has none.
  // Throws std::runtime_error for another format. Returns bytes written or a negative code.
  // CSV writes lengths and speeds in the program's units (DisplayUnits), naming a unit that is
  // not metric in its column title. GPX leaves out points without a fix, keeps its own units
  // and writes true UTC through the track's clock. The file is written through a temporary
  // file and renamed, so a failed export leaves no half file under the name.
  int ExportTrack(std::string &fn, int fmt) const;

private:
  std::string fObjId;
  TTrackPointList fPoints;
  bool fVisible = true;
  TGeoTrackStyle fStyle;
  uint8_t fLayer = 0;
  std::string fSign;
  TGeoTrackInfo fInfo;
  TDisplayZone fClock;
};

} // namespace kelvra
