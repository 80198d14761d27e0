#pragma once
// A cached object as text, so that two records compare whole in a test.
#include "core/model/ObjectInfo.h"

#include <sstream>
#include <string>

namespace kelvra {

// Every field of an object as text (pictures by presence), so that two records compare whole.
inline std::string ObjectState(const TObjectInfo &o) {
  std::ostringstream out;
  out.precision(17);
  auto point = [&out](const TTrackPointInfo &p) {
    out << "[" << p.uid << " " << p.obj_id << " " << p.osm_id << " " << p.sys_dt << " " << p.obj_dt
        << " " << p.gps_dt << " " << p.lat << " " << p.lon << " " << p.speed << " " << p.angle
        << " " << p.alt << " " << p.acc << " " << p.bat << " " << p.src << " " << p.MapPoint.x
        << "," << p.MapPoint.y << " " << p.IsParking << " " << p.ParkingDuration << " "
        << p.HasEvent;
    for (const auto &s : p.sensors)
      out << " {" << s.uid << " " << s.sign.str() << " " << s.val << "}";
    out << "]\n";
  };
  out << o.uid << " " << o.parent_id << " " << o.type_id << " " << o.user_id << " " << o.id << "|"
      << o.name << "|" << o.track_color << " " << o.is_alien << " " << o.users_list << "|"
      << o.has_image << " " << o.image_dt << " " << bool(o.photo) << bool(o.icon) << " "
      << o.is_deleted << " " << o.del_dt << " " << o.model << "|" << o.hw_type << "|" << o.hw_info
      << "|" << o.sw_ver << "|" << o.phone << "|" << o.imei << "|" << o.address << "|" << o.trip_id
      << " " << o.trip_status << "\nlast ";
  point(*o.last_point);
  for (const auto &p : o.tail) {
    out << "tail ";
    point(*p);
  }
  for (const auto &s : o.sensors)
    out << "sensor " << s->uid << " " << s->sign << "|" << s->name << "|" << s->unitv << "|"
        << s->val << "|" << s->obj_dt << " " << s->sys_dt << "\n";
  for (const auto &a : o.alarms)
    out << "alarm " << a->uid << " " << a->obj_id << " " << a->trap_id << " " << a->h_point_id << " "
        << a->h_obj_dt << " " << a->h_gps_dt << " " << a->h_sys_dt << " " << a->h_lat << " "
        << a->h_lon << " " << a->h_speed << " " << a->h_bat << " " << a->h_sval << "|"
        << a->c_point_id << " " << a->c_obj_dt << " " << a->c_gps_dt << " " << a->c_sys_dt << " "
        << a->c_lat << " " << a->c_lon << " " << a->c_speed << " " << a->c_bat << " " << a->c_sval
        << "|" << a->accept_dt << " " << a->accept_msg << "\n";
  return out.str();
}

} // namespace kelvra
