// Object operations and the object cache.
#include "core/client/client.h"

#include "core/util/LumSmallUtils.h"

#include <cmath>
#include <cstdint>
#include <vector>
#include <utility>

namespace kelvra {

namespace {

// The cached objects by uid, to find the one a received object updates: a cached object is the
// same object as a received one when both uid and id match. Open addressing over a flat array of
// uids: a refresh of a large fleet looks up every object, and a table of nodes with string keys
// spread over the heap would cost it a cache miss or two per object.
class TObjectIndex {
public:
  explicit TObjectIndex(std::size_t aCount) {
    std::size_t size = 16;
    while (size < aCount * 2)
      size *= 2;
    fSlots.assign(size, TSlot{});
  }

  TObjectInfo *Find(int aUid, std::string_view aId) const {
    for (std::size_t i = Home(aUid); fSlots[i].Object; i = (i + 1) & (fSlots.size() - 1))
      if (fSlots[i].Uid == aUid && fSlots[i].Object->id == aId) return fSlots[i].Object;
    return nullptr;
  }

  // aObject must not be in the index yet.
  void Add(TObjectInfo *aObject) {
    std::size_t i = Home(aObject->uid);
    while (fSlots[i].Object)
      i = (i + 1) & (fSlots.size() - 1);
    fSlots[i] = TSlot{aObject->uid, aObject};
  }

private:
  struct TSlot {
    int Uid = 0;
    TObjectInfo *Object = nullptr;
  };

  std::size_t Home(int aUid) const {
    return std::size_t(std::uint32_t(aUid) * 2654435761u) & (fSlots.size() - 1);
  }

  std::vector<TSlot> fSlots;
};

std::string ObjectPath(int aUid) { return "/object/" + std::to_string(aUid); }

// The settings that the service takes from a record when it creates or changes an object.
std::string ObjectSettingsBody(const TObjectInfo &aObject) {
  return "name=" + UrlEncode(aObject.name) + "&" +
         "track_color=" + UrlEncode(color2web(aObject.track_color)) + "&" +
         "users_list=" + UrlEncode(aObject.users_list) + "&";
}

} // namespace

std::string TKelvraClient::ObjectsQuery() const {
  // Without a usable stamp the full list is asked for again; merging it changes nothing twice.
  if (!fObjList.empty() && std::isfinite(fObjListUpdated) && fObjListUpdated != 0)
    return "dt=" + DtToService(fObjListUpdated);
  return {};
}

int TKelvraClient::GetObjects() {
  if (DoStreamedRequest("Objects", kObjectsPath, ObjectsQuery()) != 200) return -1;
  if (fReplyPending == "Objects") {
    fReplyPending.clear();
    // The common form is read in one pass straight into the records; anything else (another
    // form, a text that is not JSON) goes through the DOM, which also says what is wrong.
    int count = 0;
    if (StreamObjects(fApiClient.GetRcvdData(), std::size_t(fApiClient.RcvdCount()), count)) {
      fResult.Clear();
      return count;
    }
    ParseReply("Objects");
  }
  return ReadObjectsReply();
}

int TKelvraClient::ReadObjectsReply() {
  if (fResultCode != 200) return -1;
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
  const TJsonVal objects = GetJvArr(aReply, "objects");
  if (!objects) {
    if (!std::isnan(dt)) fObjListUpdated = dt;
    return 0;
  }
  TObjectStage &stage = ObjectStage();
  stage.Clear();
  for (const TJsonVal element : objects.Elements())
    if (element.IsObject()) StageObject(element, stage);
  const int count = MergeStage(stage, dt);
  stage.Clear();
  return count;
}

int TKelvraClient::MergeStage(const TObjectStage &aStage, TDateTime aDt) {
  // A reply without a usable "dt" keeps the previous stamp.
  if (!std::isnan(aDt)) fObjListUpdated = aDt;
  TObjectIndex index(fObjList.size() + aStage.Objects.size());
  for (const auto &oi : fObjList)
    if (!index.Find(oi->uid, oi->id)) index.Add(oi.get()); // of twins the first is updated

  // A cached object is read over in place: a copy of each received object, taken over field by
  // field and freed, would cost a large fleet's refresh several times the reading itself.
  const TDateTime now = DisplayNow();
  std::string number; // an id the reply wrote as a number, as text
  for (std::size_t i = 0; i < aStage.Objects.size(); ++i) {
    const auto &v = aStage.Objects[i].Fields;
    const TJsonScalar id = v[TObjectStage::kIdField];
    std::string_view idText = id.Text();
    if (id.Kind() != TJsonScalar::kString) idText = number = JvStr(id);
    if (TObjectInfo *cached = index.Find(JvInt32(v[TObjectStage::kUidField], 0), idText)) {
      ReadObject(aStage, i, *cached, true);
      cached->UpdateTail(now);
      continue;
    }
    auto received = std::make_unique<TObjectInfo>();
    ReadObject(aStage, i, *received, false);
    index.Add(received.get());
    fObjList.push_back(std::move(received));
  }
  return int(aStage.Objects.size());
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
