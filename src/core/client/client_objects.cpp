// Object operations and the object cache.
#include "core/client/client.h"

#include "core/util/LumSmallUtils.h"

#include <cmath>
#include <functional>
#include <unordered_map>
#include <utility>

namespace kelvra {

namespace {

// A cached object is the same object as a received one when both uid and id match.
using TObjectKey = std::pair<int, std::string>;

struct TObjectKeyHash {
  std::size_t operator()(const TObjectKey &aKey) const noexcept {
    return std::hash<std::string>()(aKey.second) * 31u + std::hash<int>()(aKey.first);
  }
};

std::string ObjectPath(int aUid) { return "/object/" + std::to_string(aUid); }

// The settings that the service takes from a record when it creates or changes an object.
std::string ObjectSettingsBody(const TObjectInfo &aObject) {
  return "name=" + UrlEncode(aObject.name) + "&" +
         "track_color=" + UrlEncode(color2web(aObject.track_color)) + "&" +
         "users_list=" + UrlEncode(aObject.users_list) + "&";
}

} // namespace

int TKelvraClient::GetObjects() {
  std::string query;
  // Without a usable stamp the full list is asked for again; merging it changes nothing twice.
  if (!fObjList.empty() && std::isfinite(fObjListUpdated) && fObjListUpdated != 0)
    query = "dt=" + DtToService(fObjListUpdated);
  if (DoGetRequest("Objects", "/user/objects", query) != 200) return -1;
  // A body without the list is a broken reply, not an empty refresh: the cache stays as it was.
  if (!ResultArray("objects")) {
    MalformedReply("Objects");
    return -1;
  }
  return MergeObjects(ResultData());
}

int TKelvraClient::MergeObjects(TJsonVal aReply) {
  // A reply without a usable "dt" keeps the previous stamp.
  const TDateTime dt = GetJvDt(aReply, "dt");
  if (!std::isnan(dt)) fObjListUpdated = dt;
  const TJsonVal objects = GetJvArr(aReply, "objects");
  if (!objects) return 0;

  std::unordered_map<TObjectKey, TObjectInfo *, TObjectKeyHash> index;
  index.reserve(fObjList.size() + simdjson::dom::array(objects.Element()).size());
  for (const auto &oi : fObjList)
    index.emplace(TObjectKey(oi->uid, oi->id), oi.get());

  const TDateTime now = DisplayNow();
  int count = 0;
  for (const TJsonVal element : objects.Elements()) {
    if (!element.IsObject()) continue;
    std::unique_ptr<TObjectInfo> received = ParseObject(element);
    TObjectKey key(received->uid, received->id);
    auto it = index.find(key);
    if (it != index.end()) {
      it->second->Assign(*received, now);
    } else {
      index.emplace(std::move(key), received.get());
      fObjList.push_back(std::move(received));
    }
    ++count;
  }
  return count;
}

bool TKelvraClient::GetObject(int aUid) {
  if (DoGetRequest("GetObject", ObjectPath(aUid)) != 200) return false;
  if (HasResultData())
    if (TObjectInfo *oi = FindObject(aUid)) ParseObject(ResultData(), *oi);
  return true;
}

bool TKelvraClient::GetObject(TObjectInfo *aObject) {
  if (!aObject) return false;
  if (DoGetRequest("GetObject", ObjectPath(aObject->uid)) != 200) return false;
  if (HasResultData()) ParseObject(ResultData(), *aObject);
  return true;
}

int TKelvraClient::CreateObjectFromBody(const std::string &aMethod, const std::string &aBody) {
  if (DoPostRequest("CreateObject", aMethod, aBody) != 200) return -1;
  if (!HasResultData()) {
    Log("\r  x: no answer data");
    return -1;
  }
  const int64_t uid = GetJvInt(ResultData(), "uid");
  if (uid <= 0 || uid > INT32_MAX) return -1;
  fObjList.push_back(ParseObject(ResultData()));
  return static_cast<int>(uid);
}

int TKelvraClient::CreateObject(const TObjectInfo &aObject) {
  if (aObject.id.empty()) {
    Log("CreateObject", "no id");
    return -1;
  }
  return CreateObjectFromBody("/object/",
                              "id=" + UrlEncode(aObject.id) + "&" + ObjectSettingsBody(aObject));
}

int TKelvraClient::CreateObject(const TLumHash &aFields) {
  if (aFields.KeyIndex("id") < 0) {
    Log("CreateObject", "no id");
    return -1;
  }
  return CreateObjectFromBody("/object", FormBody(aFields));
}

bool TKelvraClient::UpdateObject(const TObjectInfo &aObject) {
  return DoPutRequest("UpdateObject", ObjectPath(aObject.uid), ObjectSettingsBody(aObject)) == 200;
}

bool TKelvraClient::UpdateObject(int aUid, const TLumHash &aFields) {
  if (aFields.Count() == 0) {
    Log("UpdateObject", "no data for update");
    return false;
  }
  return DoPutRequest("UpdateObject", ObjectPath(aUid), FormBody(aFields)) == 200;
}

bool TKelvraClient::DeleteObject(TObjectInfo *aObject) {
  if (!aObject) return false;
  if (!aObject->is_deleted) {
    if (DoPutRequest("DeleteObject", ObjectPath(aObject->uid), "is_deleted=1") != 200) return false;
    aObject->is_deleted = true;
    return true;
  }
  if (DoDelRequest("DeleteObject", ObjectPath(aObject->uid)) != 204) return false;
  // Traps point at their cached object; none may keep pointing at a destroyed one.
  for (const auto &ti : fTrapList)
    if (ti->fObjInfo == aObject) ti->fObjInfo = nullptr;
  for (auto it = fObjList.begin(); it != fObjList.end(); ++it)
    if (it->get() == aObject) {
      fObjList.erase(it);
      break;
    }
  return true;
}

TObjectInfo *TKelvraClient::FindObject(int aUid) const {
  if (aUid <= 0) return nullptr;
  for (const auto &oi : fObjList)
    if (oi->uid == aUid) return oi.get();
  return nullptr;
}

} // namespace kelvra
