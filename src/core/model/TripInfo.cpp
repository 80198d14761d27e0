#include "core/model/TripInfo.h"

#include <cmath>

namespace kelvra {

void TTripInfo::Assign(const TTripInfo &ti) {
  uid = ti.uid;
  obj_id = ti.obj_id;
  name = ti.name;
  status = ti.status;
  start_dt = ti.start_dt;
  start_pid = ti.start_pid;
  stop_dt = ti.stop_dt;
  stop_pid = ti.stop_pid;
  points_count = ti.points_count;
  distance = ti.distance;
  max_speed = ti.max_speed;
  is_public = ti.is_public;
  token = ti.token;
  points.clear();
  points.reserve(ti.points.size());
  for (const auto &p : ti.points)
    points.push_back(std::make_unique<TTrackPointInfo>(*p));
  events.clear();
  events.reserve(ti.events.size());
  for (const auto &e : ti.events)
    events.push_back(std::make_unique<TEventInfo>(*e));
}

std::string TTripInfo::StatusText() const {
  switch (status) {
  case 0:
    return "new";
  case 1:
    return "active";
  case 2:
    return "complete";
  default:
    return "unknown [" + std::to_string(status) + "]";
  }
}

bool TTripInfo::HasPeriod() const {
  return !std::isnan(start_dt) && !std::isnan(stop_dt) && start_dt > 0 && start_dt < stop_dt;
}

bool TTripInfo::HasDistance() const { return !std::isnan(distance) && distance > 0; }

} // namespace kelvra
