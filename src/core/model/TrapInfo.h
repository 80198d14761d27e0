#pragma once
// An alarm rule of one object: a target watched under a condition with a value.

#include <memory>
#include <string>
#include <vector>

#include "core/model/ZoneInfo.h"

namespace kelvra {

class TObjectInfo;
using TObjectInfoList = std::vector<std::unique_ptr<TObjectInfo>>;

class TTrapInfo {
public:
  // Not owned: the client's object and zone lists. The trap's object is looked up by obj_id
  // when it is needed: a pointer to the record would outlive it when the object is deleted or
  // the list reloaded while the trap (or a copy in an open editor) lives.
  const TObjectInfoList *fObjList = nullptr;
  const TZoneList *fZoneList = nullptr;

  int uid = 0;
  int obj_id = 0;
  int target_type_id = 0;
  int target_id = 0;
  int condition_id = 0;
  std::string val;
  bool is_alarm = false;
  int accept_type_id = 0;
  std::string msg;
  std::string subj;
  bool email = false;
  bool telegram = false;
  TRecordLife life; // for those who hold the record across a modal window (TRecordRef)

  TTrapInfo(int aUid = 0, int aObjId = 0) : uid(aUid), obj_id(aObjId) {}
  TTrapInfo(const TTrapInfo &) = default;
  TTrapInfo &operator=(const TTrapInfo &) = default;
  void Assign(const TTrapInfo &ti) { *this = ti; }

  // The trap's object as the list holds it now; null when it is not there.
  const TObjectInfo *ObjInfo() const;
  const TZoneList *ZoneList() const { return fZoneList; }

  std::string TargetType() const;
  std::string TargetName() const;
  std::string TrapName() const { return TargetType() + ":" + TargetName(); }
  std::string Condition() const;
  std::string ToUrlString() const;
};

using TTrapList = std::vector<std::unique_ptr<TTrapInfo>>;

} // namespace kelvra
