// Zones and the messages recorded inside a zone.
#include "core/client/client.h"

#include <exception>

#include "core/util/LumSmallUtils.h"

namespace kelvra {

namespace {

std::string PeriodQuery(const TKelvraClient &client, TDateTime aDt1, TDateTime aDt2, int aMode,
                        int aTMode) {
  std::string q = "from=" + client.DtToService(aDt1) + "&to=" + client.DtToService(aDt2);
  if (aMode > 0) q += "&mode=" + std::to_string(aMode);
  if (aTMode > 0) q += "&tmode=" + std::to_string(aTMode);
  return q;
}

} // namespace

std::string TKelvraClient::TrackQuery(TDateTime aDt1, TDateTime aDt2, int aMode, int aTMode) const {
  return PeriodQuery(*this, aDt1, aDt2, aMode, aTMode);
}

int TKelvraClient::GetZones() {
  fZoneList.clear();
  DoGetRequest("Zones", "/user/zones");
  if (fResultCode != 200) return -1;
  const TJsonVal arr = ResultArray("Zones");
  if (!arr.IsArray()) return -1;
  int count = 0;
  for (const TJsonVal el : arr.Elements()) {
    const int uid = GetJvInt32(el, "uid", -1);
    const int type = GetJvInt32(el, "type_id", -1);
    if (uid <= 0 || (type != kZoneCircle && type != kZonePolygon)) {
      LogFmt("\r  invalid zone: uid=%d type=%d", uid, type);
      continue;
    }
    auto zi = std::make_unique<TZoneInfo>(uid, type);
    zi->user_id = GetJvInt32(el, "user_id", -1);
    zi->name = GetJvText(el, "name");
    zi->desc = GetJvText(el, "desc");
    zi->color = web2color(GetJvStr(el, "color"), 0x0000FF);
    zi->del_dt = GetJvDt(el, "del_dt");
    const std::string geom = GetJvStr(el, "geom");
    if (!geom.empty())
      zi->geom.ReadJsonString(geom, type);
    else
      LogFmt("\r  no geom: uid=%d type=%d", uid, type);
    zi->UpdateRect();
    fZoneList.push_back(std::move(zi));
    ++count;
  }
  return count;
}

int TKelvraClient::CreateZone(TZoneInfo &zi) {
  std::string body;
  try {
    body = zi.ToUrlString();
  } catch (const std::exception &e) {
    Log("\r  X: " + std::string(e.what()));
    return -1;
  }
  DoPostRequest("CreateZone", "/zone", body);
  if (fResultCode != 200) {
    ReadErrorText();
    return -1;
  }
  if (!HasResultData()) {
    Log("\r  x: zero result");
    return -1;
  }
  const int uid = GetJvInt32(ResultData(), "uid", -1);
  if (uid <= 0) {
    Log("\r  x: zero uid");
    return -1;
  }
  zi.uid = uid;
  return uid;
}

bool TKelvraClient::UpdateZone(const TZoneInfo &zi) {
  std::string body;
  try {
    body = zi.ToUrlString();
  } catch (const std::exception &e) {
    Log("\r  X: " + std::string(e.what()));
    return false;
  }
  DoPutRequest("UpdateZone", "/zone/" + std::to_string(zi.uid), body);
  if (fResultCode == 200) return true;
  ReadErrorText();
  return false;
}

int TKelvraClient::DeleteZone(int aZoneUid) {
  return DoDelRequest("DeleteZone", "/zone/" + std::to_string(aZoneUid));
}

int TKelvraClient::ReadTrack(const std::string &aSource, int aObjId) {
  TTrackPointList points;
  if (fReplyPending == aSource) {
    fReplyPending.clear();
    // The common form is read in one pass straight into points; anything else (another form, a
    // text that is not JSON) goes through the DOM, which also says what is wrong with it.
    if (StreamTrack(fApiClient.GetRcvdData(), std::size_t(fApiClient.RcvdCount()), aObjId,
                    points)) {
      fResult.Clear();
      fTrackList.swap(points);
      fTrackListUpdated = DisplayNow();
      return int(fTrackList.size());
    }
    points.clear();
    ParseReply(aSource);
  }
  // A broken reply leaves the track that was there.
  const TJsonVal arr = ReplyArray(aSource);
  if (!arr) return -1;
  fTrackList.clear();
  fTrackListUpdated = DisplayNow();
  int count = 0;
  for (const TJsonVal el : arr.Elements()) {
    auto tp = std::make_unique<TTrackPointInfo>(0, aObjId);
    tp->uid = ParseTrackPoint(el, *tp); // one pass over the element, its id included
    if (tp->uid == 0) continue;
    // A track element need not repeat its object's id; the point still belongs to it.
    // (Zone history passes 0: its points name their own objects.)
    if (tp->obj_id == 0) tp->obj_id = aObjId;
    fTrackList.push_back(std::move(tp));
    ++count;
  }
  // Once its points are records nobody reads the parsed reply again: it is forgotten at once
  // (the parser's buffers wait for the next reply, which releases them if it is much smaller).
  fResult.Clear();
  return count;
}

// Asks for a reply that its reader walks in one pass (the flag lives for one request).
int TKelvraClient::DoStreamedRequest(const std::string &aSource, const std::string &aMethod,
                                     const std::string &aQuery) {
  fStreamReply = true;
  const int status = DoGetRequest(aSource, aMethod, aQuery);
  fStreamReply = false;
  return status;
}

int TKelvraClient::GetZoneHistory(int aZoneUid, TDateTime aDt1, TDateTime aDt2, int aMode,
                                  int aTMode) {
  DoStreamedRequest("ZoneHistory", "/zone/" + std::to_string(aZoneUid) + "/history",
                 TrackQuery(aDt1, aDt2, aMode, aTMode));
  if (fResultCode != 200) return -1;
  return ReadTrack("ZoneHistory", 0);
}

} // namespace kelvra
