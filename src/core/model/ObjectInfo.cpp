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

  // The trail keeps the last half hour; a point without a time cannot be placed in it.
  std::erase_if(tail, [aNow](const std::unique_ptr<TTrackPointInfo> &p) {
    return std::isnan(p->sys_dt) || aNow - p->sys_dt > TailAge;
  });
  if (aSrc.last_point->HasLatLon())
    tail.push_back(std::make_unique<TTrackPointInfo>(*aSrc.last_point));
  last_point->Assign(*aSrc.last_point);

  sensors.clear();
  for (const auto &s : aSrc.sensors)
    sensors.push_back(std::make_unique<TSensorInfo>(*s));
  alarms.clear();
  for (const auto &a : aSrc.alarms)
    alarms.push_back(std::make_unique<TEventInfo>(*a));
}

void TObjectInfo::ClearPhoto() {
  photo.reset();
  icon.reset();
}

void TObjectInfo::ClearIcon() { icon.reset(); }

} // namespace kelvra
