// Events raised by traps, and their acceptance.
#include "core/client/client.h"

namespace kelvra {

std::string TKelvraClient::EventsQuery(TDateTime aDt1, TDateTime aDt2) const {
  return "from=" + DtToService(aDt1) + "&to=" + DtToService(aDt2);
}

int TKelvraClient::GetEvents(TDateTime aDt1, TDateTime aDt2) {
  DoGetRequest("Events", "/user/events", EventsQuery(aDt1, aDt2));
  return ReadEventsReply(aDt1, aDt2);
}

int TKelvraClient::ReadEventsReply(TDateTime aDt1, TDateTime aDt2) {
  // The events shown stay until a good reply replaces them.
  if (fResultCode != 200) {
    ReadErrorText();
    return -1;
  }
  const TJsonVal arr = ReplyArray("Events");
  if (!arr) return -1;
  fEventList.clear();
  fEventListUpdated = DisplayNow();
  fEventListDt1 = aDt1;
  fEventListDt2 = aDt2;
  int count = 0;
  for (const TJsonVal el : arr.Elements()) {
    if (auto ev = ParseEvent(el)) {
      fEventList.push_back(std::move(ev));
      ++count;
    }
  }
  LogFmt(" [%d]", count);
  return count;
}

bool TKelvraClient::AcceptEvent(int aUid, const std::string &aMsg) {
  DoPutRequest("AcceptEvent", "/event/" + std::to_string(aUid) + "/accept",
               "msg=" + UrlEncode(aMsg));
  if (fResultCode == 204) return true;
  ReadErrorText();
  return false;
}

} // namespace kelvra
