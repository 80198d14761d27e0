#include "core/model/ObjectInfo.h"

#include "core/util/LumDates.h"

#include <cmath>

namespace kelvra {

TObjectInfo::TObjectInfo(int aUid, const std::string &aId)
    : uid(aUid), id(aId), last_point(std::make_unique<TTrackPointInfo>(0, 0)) {}

TObjectInfo::TObjectInfo(const TObjectInfo &aSrc) : TObjectInfo() { Assign(aSrc); }

TObjectInfo::~TObjectInfo() = default;

void TObjectInfo::Assign(const TObjectInfo &aSrc) { Assign(aSrc, NowLocal()); }

void TObjectInfo::Assign(const TObjectInfo &aSrc, TDateTime aNow) {
  if (this == &aSrc) return;
  uid = aSrc.uid;
  parent_id = aSrc.parent_id;
  type_id = aSrc.type_id;
  user_id = aSrc.user_id;
  id = aSrc.id;
  name = aSrc.name;
  track_color = aSrc.track_color;
  is_alien = aSrc.is_alien;
  users_list = aSrc.users_list;
  has_image = aSrc.has_image;
  image_dt = aSrc.image_dt;
  is_deleted = aSrc.is_deleted;
  del_dt = aSrc.del_dt;
  model = aSrc.model;
  hw_type = aSrc.hw_type;
  hw_info = aSrc.hw_info;
  sw_ver = aSrc.sw_ver;
  phone = aSrc.phone;
  imei = aSrc.imei;
  address = aSrc.address;

  last_point->Assign(*aSrc.last_point);
  UpdateTail(aNow);

  sensors.clear();
  for (const auto &s : aSrc.sensors)
    sensors.push_back(std::make_unique<TSensorInfo>(*s));
  alarms.clear();
  for (const auto &a : aSrc.alarms)
    alarms.push_back(std::make_unique<TEventInfo>(*a));
}

void TObjectInfo::UpdateTail(TDateTime aNow) {
  // The trail keeps the last half hour; a point without a time cannot be placed in it. Forgotten
  // points are kept at the end until the new position has taken one of them.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const TDateTime dt = tail[i]->sys_dt;
    if (std::isnan(dt) || aNow - dt > TailAge) continue;
    if (kept != i) std::swap(tail[kept], tail[i]);
    ++kept;
  }
  if (last_point->HasLatLon()) {
    if (kept == tail.size()) {
      tail.push_back(std::make_unique<TTrackPointInfo>(*last_point));
    } else {
      TTrackPointInfo &point = *tail[kept];
      point.Assign(*last_point);
      point.MapPoint = TScreenPoint(); // as a new point: the map has not drawn it yet
    }
    ++kept;
  }
  tail.resize(kept);
}

void TObjectInfo::ClearPhoto() {
  photo.reset();
  icon.reset();
}

void TObjectInfo::ClearIcon() { icon.reset(); }

} // namespace kelvra
