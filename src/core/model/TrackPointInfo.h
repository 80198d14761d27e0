#pragma once
// One message of a tracker: position, times, motion, battery, source of the fix and the sensor
// values that came with it.
#include "core/model/SensorSign.h"
#include "core/util/LumDates.h"

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace kelvra {

// One sensor value sent with a message. A point holds its values in place (no allocation per
// value) and the code once for the program: a month of tracking is millions of them.
class TTrackPointSensorInfo {
public:
  TTrackPointSensorInfo() = default;
  TTrackPointSensorInfo(int aUid, std::string_view aSign, std::string aVal)
      : uid(aUid), sign(aSign), val(std::move(aVal)) {}

  int uid = 0;      // sensor id
  TSensorSign sign; // the sensor's short code
  std::string val;  // the value as text
};

// Where the map last drew a point, in screen pixels.
struct TScreenPoint {
  int x = 0;
  int y = 0;
};

class TTrackPointInfo {
public:
  static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

  explicit TTrackPointInfo(int aUid = 0, int aObjId = 0) : uid(aUid), obj_id(aObjId) {}
  // A copy of every field but MapPoint, with copies of the sensor values.
  TTrackPointInfo(const TTrackPointInfo &aSrc) : uid(aSrc.uid) { Assign(aSrc); }
  TTrackPointInfo &operator=(const TTrackPointInfo &aSrc) {
    Assign(aSrc);
    return *this;
  }
  void Assign(const TTrackPointInfo &aSrc);

  bool HasLatLon() const;
  bool HasBearing() const { return angle == angle; }
  bool HasAccuracy() const { return acc == acc; }
  bool HasAltitude() const { return alt == alt; }
  bool HasSpeed() const { return speed == speed; }
  bool HasSource() const { return src >= 0; }
  // "GNSS", "Cell", "WiFi", "Place"; "Unknown[n]" for other codes; empty when unknown.
  std::string SrcName() const;
  // Metres to another point; NaN unless both have coordinates.
  double DistanceTo(const TTrackPointInfo &aOther) const;
  double DistanceTo(double aLat, double aLon) const;
  // -1, 0, 1 by obj_id, then obj_dt, gps_dt, sys_dt (a NaN date sorts first).
  int Compare(const TTrackPointInfo &aOther) const;
  // The first sensor value with this sign (case-sensitive); not owned by the caller.
  const TTrackPointSensorInfo *FindSensor(std::string_view aSign) const;

  int uid = 0;
  int obj_id = 0;
  std::string osm_id;
  TDateTime sys_dt = 0;
  TDateTime obj_dt = 0;
  TDateTime gps_dt = 0;
  double lat = NaN;
  double lon = NaN;
  double speed = NaN;
  double angle = NaN;
  double alt = NaN;
  double acc = NaN;
  int bat = -1;
  int src = -1;
  std::vector<TTrackPointSensorInfo> sensors;
  TScreenPoint MapPoint;
  bool IsParking = false;
  int ParkingDuration = 0;
  bool HasEvent = false;
};

} // namespace kelvra
