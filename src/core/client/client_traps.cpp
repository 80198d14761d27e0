// Traps: the alarm rules of the user's objects.
#include "core/client/client.h"

#include <algorithm>

namespace kelvra {

std::unique_ptr<TTrapInfo> TKelvraClient::ParseTrap(TJsonVal aObj) {
  const int uid = GetJvInt32(aObj, "uid", 0);
  const int objId = GetJvInt32(aObj, "obj_id", 0);
  if (uid == 0) return nullptr;
  auto ti = std::make_unique<TTrapInfo>(uid, objId);
  ti->target_type_id = GetJvInt32(aObj, "target_type_id", 0);
  ti->target_id = GetJvInt32(aObj, "target_id", 0);
  ti->condition_id = GetJvInt32(aObj, "condition_id", 0);
  ti->val = GetJvText(aObj, "val");
  ti->is_alarm = GetJvBool(aObj, "is_alarm");
  ti->accept_type_id = GetJvInt32(aObj, "accept_type_id", 0);
  ti->msg = GetJvText(aObj, "msg");
  ti->subj = GetJvText(aObj, "subj");
  ti->email = GetJvBool(aObj, "email");
  ti->telegram = GetJvBool(aObj, "telegram");
  ti->fObjList = &fObjList;
  ti->fZoneList = &fZoneList;
  return ti;
}

int TKelvraClient::GetTraps() {
  // The cached traps are replaced only by a good reply.
  DoGetRequest("Traps", "/user/traps");
  if (fResultCode != 200) return -1;
  const TJsonVal arr = ReplyArray("Traps");
  if (!arr) return -1;
  fTrapList.clear();
  int count = 0;
  for (const TJsonVal el : arr.Elements()) {
    if (auto ti = ParseTrap(el)) {
      fTrapList.push_back(std::move(ti));
      ++count;
    }
  }
  LogFmt(" [%d]", count);
  return count;
}

void TKelvraClient::MergeTrapReply(bool aAddMissing) {
  auto ti = ParseTrap(ResultData());
  if (!ti) return;
  if (TTrapInfo *cached = FindTrap(ti->uid))
    cached->Assign(*ti);
  else if (aAddMissing)
    fTrapList.push_back(std::move(ti));
}

bool TKelvraClient::GetTrap(int aUid) {
  DoGetRequest("GetTrap", "/trap/" + std::to_string(aUid));
  if (fResultCode != 200) return false;
  if (HasResultData())
    MergeTrapReply(true);
  else
    Log("GetTrap", "no result data");
  return true;
}

int TKelvraClient::CreateTrap(TTrapInfo &ti) {
  ti.uid = 0; // a new trap: the body carries no "uid"
  DoPostRequest("CreateTrap", "/trap", ti.ToUrlString());
  if (!HasResultData()) return -1;
  if (fResultCode != 200) {
    ReadErrorText();
    return -1;
  }
  auto created = ParseTrap(ResultData());
  if (!created) return -1;
  const int uid = created->uid;
  fTrapList.push_back(std::move(created));
  return uid;
}

bool TKelvraClient::UpdateTrapReply() {
  if (HasResultData()) {
    if (fResultCode == 200)
      MergeTrapReply(false);
    else
      ReadErrorText();
  }
  return fResultCode == 200;
}

bool TKelvraClient::UpdateTrap(const TTrapInfo &ti) {
  if (ti.uid == 0) {
    Log("\rKelvraClient.UpdateTrap: uid is not specified");
    return false;
  }
  DoPutRequest("UpdateTrap", "/trap/" + std::to_string(ti.uid), ti.ToUrlString());
  return UpdateTrapReply();
}

bool TKelvraClient::UpdateTrap(int aUid, const TLumHash &aFields) {
  if (aFields.Count() == 0) {
    Log("UpdateTrap", "no data for update");
    return false;
  }
  DoPutRequest("UpdateTrap", "/trap/" + std::to_string(aUid), FormBody(aFields));
  return UpdateTrapReply();
}

bool TKelvraClient::DeleteTrap(int aUid) {
  DoDelRequest("DeleteTrap", "/trap/" + std::to_string(aUid));
  if (fResultCode != 204) {
    ReadErrorText();
    return false;
  }
  auto it = std::find_if(fTrapList.begin(), fTrapList.end(),
                         [aUid](const auto &ti) { return ti->uid == aUid; });
  if (it != fTrapList.end()) fTrapList.erase(it);
  return true;
}

TTrapInfo *TKelvraClient::FindTrap(int aUid) const {
  for (const auto &ti : fTrapList)
    if (ti->uid == aUid) return ti.get();
  return nullptr;
}

} // namespace kelvra
