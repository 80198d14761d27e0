#pragma once
// An event raised by a trap: the point where it happened ("h_") and where it was completed ("c_").
#include "core/util/LumDates.h"

#include <string>

namespace kelvra {

class TEventInfo {
public:
  explicit TEventInfo(int aUid = 0, int aObjId = 0) : uid(aUid), obj_id(aObjId) {}
  void Assign(const TEventInfo &aSrc) { *this = aSrc; }
  // "event " and the event's time as "dd.mm.yyyy hh:nn:ss": the device time, else the fix time,
  // else the service time.
  std::string Sign() const;

  int uid = 0;
  int obj_id = 0;
  int trap_id = 0;
  int h_point_id = 0;
  TDateTime h_obj_dt = 0, h_gps_dt = 0, h_sys_dt = 0;
  double h_lat = 0, h_lon = 0, h_speed = 0;
  int h_bat = 0;
  std::string h_sval;
  int c_point_id = 0;
  TDateTime c_obj_dt = 0, c_gps_dt = 0, c_sys_dt = 0;
  double c_lat = 0, c_lon = 0, c_speed = 0;
  int c_bat = 0;
  std::string c_sval;
  TDateTime accept_dt = 0; // NaN when a parsed event was not accepted
  std::string accept_msg;
};

} // namespace kelvra
