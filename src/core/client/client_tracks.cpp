// Tracks of an object, trips and their start and stop.
#include "core/client/client.h"

#include "core/util/LumDates.h"

namespace kelvra {

int TKelvraClient::GetTrack(int aObjUid, TDateTime aDt1, TDateTime aDt2, int aMode, int aTMode) {
  DoStreamedRequest("Track", "/object/" + std::to_string(aObjUid) + "/track",
                 TrackQuery(aDt1, aDt2, aMode, aTMode));
  if (fResultCode != 200) return -1;
  return ReadTrack("Track", aObjUid);
}

int TKelvraClient::GetTrips(TDateTime aDt1, TDateTime aDt2) {
  DoGetRequest("GetTrips", "/user/trips", "from=" + DtToService(aDt1) + "&to=" + DtToService(aDt2));
  if (fResultCode == 204) {
    fTripList.clear(); // the service has no trips in the period
    return 0;
  }
  if (fResultCode != 200) return -1;
  const TJsonVal arr = ReplyArray("GetTrips");
  if (!arr) return -1;
  return ReadTrips(arr);
}

int TKelvraClient::ReadTrips(TJsonVal aArr) {
  fTripList.clear();
  int count = 0;
  for (const TJsonVal el : aArr.Elements()) {
    const int uid = GetJvInt32(el, "uid", 0);
    const int objId = GetJvInt32(el, "obj_id", 0);
    if (uid == 0 || objId == 0 || !FindObject(objId)) continue;
    auto ti = std::make_unique<TTripInfo>(uid, objId);
    ti->name = GetJvText(el, "name");
    ti->status = GetJvInt32(el, "status", 0);
    ti->start_dt = GetJvDt(el, "start_dt");
    ti->start_pid = GetJvInt32(el, "start_pid", 0);
    ti->stop_dt = GetJvDt(el, "stop_dt");
    ti->stop_pid = GetJvInt32(el, "stop_pid", 0);
    ti->points_count = GetJvInt32(el, "points_count", 0);
    ti->distance = GetJvDbl(el, "distance");
    ti->max_speed = GetJvDbl(el, "max_speed");
    ti->is_public = GetJvBool(el, "is_public");
    ti->token = GetJvStr(el, "token");
    if (const TJsonVal points = GetJvArr(el, "points"); points.IsArray())
      for (const TJsonVal p : points.Elements())
        ti->points.push_back(ParseTrackPoint(p));
    if (const TJsonVal events = GetJvArr(el, "events"); events.IsArray())
      for (const TJsonVal e : events.Elements())
        if (auto ev = ParseEvent(e)) ti->events.push_back(std::move(ev));
    fTripList.push_back(std::move(ti));
    ++count;
  }
  return count;
}

bool TKelvraClient::StartTrip(int aObjUid, const std::string &aTripName) {
  const std::string name =
      aTripName.empty() ? "trip_" + FormatDateTime("yyyy_mm_dd_hh_nn", DisplayNow()) : aTripName;
  DoPutRequest("StartTrip", "/object/" + std::to_string(aObjUid) + "/starttrip",
               "name=" + UrlEncode(name));
  return fResultCode == 200;
}

bool TKelvraClient::StopTrip(int aObjUid) {
  DoPutRequest("StopTrip", "/object/" + std::to_string(aObjUid) + "/stoptrip", "");
  return fResultCode == 204;
}

} // namespace kelvra
