#pragma once
// A monitored object: settings, device description, latest message, a short trail of recent
// positions, latest sensor values, open alarms, trip state and photo.
#include "core/map/Bitmap32.h"
#include "core/model/EventInfo.h"
#include "core/model/RecordRef.h"
#include "core/model/SensorInfo.h"
#include "core/model/TrackPointInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvra {

class TObjectInfo {
public:
  // Points of the trail older than this (days) are forgotten.
  static constexpr double TailAge = 1.0 / 48;

  explicit TObjectInfo(int aUid = 0, const std::string &aId = std::string());
  // A copy of the other object's state as Assign makes it (so without photo, icon and trip).
  TObjectInfo(const TObjectInfo &aSrc);
  TObjectInfo &operator=(const TObjectInfo &) = delete;
  ~TObjectInfo();

  // Takes a fresh copy from the service: settings, last point, sensors and alarms are replaced,
  // the trail forgets points older than TailAge before aNow and gains the incoming position.
  // Photo, icon, trip_id and trip_status stay. aNow is on the clock of the points' sys_dt.
  void Assign(const TObjectInfo &aSrc, TDateTime aNow);
  // The same against the local clock of this computer.
  void Assign(const TObjectInfo &aSrc);
  // The trail's part of Assign, once last_point holds the incoming message: points older than
  // TailAge before aNow (and points without a time) are forgotten, the position is added.
  void UpdateTail(TDateTime aNow);

  bool HasLatLon() const { return last_point->HasLatLon(); }
  void ClearPhoto();
  void ClearIcon();

  int uid = 0;
  int parent_id = 0;
  int type_id = 0;
  int user_id = 0;
  std::string id;
  std::string name;
  uint32_t track_color = 0; // 0x00BBGGRR
  bool is_alien = false;
  std::string users_list;
  bool has_image = false;
  TDateTime image_dt = 0;
  std::unique_ptr<TBitmap32> photo; // owned, may be absent
  std::unique_ptr<TBitmap32> icon;  // owned, may be absent; made by the map layer from the photo
  bool is_deleted = false;
  TDateTime del_dt = 0;
  std::string model;
  std::string hw_type;
  std::string hw_info;
  std::string sw_ver;
  std::string phone;
  std::string imei;
  std::string address;
  std::unique_ptr<TTrackPointInfo> last_point; // owned, always present
  std::vector<std::unique_ptr<TTrackPointInfo>> tail;
  std::vector<std::unique_ptr<TSensorInfo>> sensors;
  std::vector<std::unique_ptr<TEventInfo>> alarms;
  int trip_id = 0;
  int trip_status = 0;
  TRecordLife life; // for those who hold the record across a modal window (TRecordRef)
};

} // namespace kelvra
