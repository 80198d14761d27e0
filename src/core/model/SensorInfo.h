#pragma once
// The latest value of one sensor of a monitored object.
#include "core/util/LumDates.h"

#include <string>

namespace kelvra {

class TSensorInfo {
public:
  TSensorInfo() = default;
  explicit TSensorInfo(int aUid) : uid(aUid) {}
  void Assign(const TSensorInfo &aSrc) { *this = aSrc; }

  int uid = 0;
  std::string sign;     // short code
  std::string name;     // display name
  std::string unitv;    // unit of the value
  std::string val;      // value as text
  TDateTime obj_dt = 0; // the device's time of the value
  TDateTime sys_dt = 0; // the service's time of the value
};

} // namespace kelvra
