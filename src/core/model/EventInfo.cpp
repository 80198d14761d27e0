#include "core/model/EventInfo.h"

#include <cmath>

namespace kelvra {

std::string TEventInfo::Sign() const {
  TDateTime dt = h_obj_dt;
  if (std::isnan(dt)) dt = h_gps_dt;
  if (std::isnan(dt)) dt = h_sys_dt;
  return "event " + dt2s(dt, "dd.mm.yyyy hh:nn:ss");
}

} // namespace kelvra
