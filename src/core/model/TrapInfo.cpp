#include "core/model/TrapInfo.h"

#include "core/model/ObjectInfo.h"
#include "core/util/LumForm.h"

namespace kelvra {

namespace {

const char *const kArrow = "\xE2\x86\x92"; // U+2192 RIGHTWARDS ARROW

std::string Flag(bool b) { return b ? "true" : "false"; }

} // namespace

std::string TTrapInfo::TargetType() const {
  switch (target_type_id) {
  case 1:
    return "Zone";
  case 2:
    return "Sensor";
  case 3:
    return "Timeout";
  case 4:
    return "Battery";
  case 5:
    return "Speed";
  default:
    return std::to_string(target_type_id);
  }
}

const TObjectInfo *TTrapInfo::ObjInfo() const {
  if (fObjList && obj_id > 0)
    for (const auto &oi : *fObjList)
      if (oi->uid == obj_id) return oi.get();
  return nullptr;
}

std::string TTrapInfo::TargetName() const {
  switch (target_type_id) {
  case 1:
    if (fZoneList)
      for (const auto &zi : *fZoneList)
        if (zi->uid == target_id) return zi->name;
    return "";
  case 2:
    if (const TObjectInfo *oi = ObjInfo())
      for (const auto &si : oi->sensors)
        if (si->uid == target_id) return si->name;
    return "";
  case 3:
  case 4:
  case 5:
    return "";
  default:
    return std::to_string(target_id);
  }
}

std::string TTrapInfo::Condition() const {
  if (target_type_id == 1)
    return condition_id == 1 ? std::string(kArrow) + "]" : "[" + std::string(kArrow);
  if (target_type_id >= 2 && target_type_id <= 5) {
    switch (condition_id) {
    case 1:
      return ">" + val;
    case 2:
      return "<" + val;
    case 3:
      return "==" + val;
    case 4:
      return "<>" + val;
    case 5:
      return val + "..";
    case 6:
      return ".." + val;
    case 7:
      return ".." + val + "..";
    default:
      break;
    }
  }
  return std::to_string(condition_id);
}

std::string TTrapInfo::ToUrlString() const {
  std::string s;
  if (uid > 0) s += "uid=" + std::to_string(uid) + "&";
  s += "obj_id=" + std::to_string(obj_id) + "&";
  s += "target_type_id=" + std::to_string(target_type_id) + "&";
  s += "target_id=" + std::to_string(target_id) + "&";
  s += "condition_id=" + std::to_string(condition_id) + "&";
  s += "val=" + UrlEncode(val) + "&";
  s += "is_alarm=" + Flag(is_alarm) + "&";
  s += "accept_type_id=" + std::to_string(accept_type_id) + "&";
  s += "msg=" + UrlEncode(msg) + "&";
  s += "subj=" + UrlEncode(subj) + "&";
  s += "email=" + Flag(email) + "&";
  s += "telegram=" + Flag(telegram) + "&";
  return s;
}

} // namespace kelvra
