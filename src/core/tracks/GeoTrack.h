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

// Below this speed (km/h) a message shows no motion: the parking search takes it into a stay, and
// the object list does not count the object as moving.
inline constexpr double kMovingSpeed = 3;
// The time a point is placed at in the replay, the graphs and the dump's chart: the device's
// (obj_dt), else the fix's (gps_dt: a track imported from a file has only that); 0 with neither.
TDateTime PointTime(const TTrackPointInfo &tp);
// The parking search's test of a message tp against the stay it may join: dst is its distance
// from the stay (from prev, the message before it, while the stay has fewer than three messages,
// else from the stay's centre). It stays when it has not moved beyond the accuracy of the two
// fixes (1000 m when either has none; a distance that cannot be measured counts as not moved) or
// shows no motion.
bool StaysAt(const TTrackPointInfo &tp, const TTrackPointInfo &prev, double dst);

using TTrackPointList = std::vector<std::unique_ptr<TTrackPointInfo>>;

class TGeoTrack {
public:
  explicit TGeoTrack(std::string aObjId = "");

  const std::string &ObjId() const { return fObjId; }
  void SetObjId(const std::string &v) { fObjId = v; }
  // The list handed out for change counts as a change (a new Revision); readers take it through
  // a const track.
  TTrackPointList &Points() {
    Touch();
    return fPoints;
  }
  const TTrackPointList &Points() const { return fPoints; }
  // Changes with every change of the points: whoever keeps something made from them (the map's
  // projection, a graph line, a replay) compares it instead of looking at every point. The
  // values come from one counter shared by all tracks, so a track never takes over the value of
  // another one (not even of one that stood at the same address before).
  uint64_t Revision() const { return fRevision; }
  // A change made to the points through a pointer kept from earlier.
  void Touch();
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
  uint64_t fRevision;
};

} // namespace kelvra
