#pragma once
// A trip of one object between a start and a stop, with its points and events.

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/model/EventInfo.h"
#include "core/model/TrackPointInfo.h"

namespace kelvra {

class TTripInfo {
public:
  int uid = 0;
  int obj_id = 0;
  std::string name;
  int status = 0; // 0 new, 1 active, 2 complete
  TDateTime start_dt = std::numeric_limits<double>::quiet_NaN();
  int start_pid = 0;
  TDateTime stop_dt = std::numeric_limits<double>::quiet_NaN();
  int stop_pid = 0;
  int points_count = 0;
  double distance = std::numeric_limits<double>::quiet_NaN();
  double max_speed = std::numeric_limits<double>::quiet_NaN();
  bool is_public = false;
  std::string token;
  std::vector<std::unique_ptr<TTrackPointInfo>> points;
  std::vector<std::unique_ptr<TEventInfo>> events;

  TTripInfo(int aUid = 0, int aObjId = 0) : uid(aUid), obj_id(aObjId) {}
  TTripInfo(const TTripInfo &ti) : TTripInfo(ti.uid, ti.obj_id) { Assign(ti); }
  TTripInfo &operator=(const TTripInfo &ti) {
    if (this != &ti) Assign(ti);
    return *this;
  }

  void Assign(const TTripInfo &ti);
  std::string StatusText() const;
  bool HasPeriod() const;
  bool HasDistance() const;
};

using TTripList = std::vector<std::unique_ptr<TTripInfo>>;

} // namespace kelvra
