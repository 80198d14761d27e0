// The command log of an object, command answers and sending commands.
#include "core/client/client.h"

#include <string_view>

#include "core/util/LumFiles.h"

namespace kelvra {

int TKelvraClient::GetCommandLog(int aObjUid, int aCount, const std::string &aText) {
  std::string query = "count=" + std::to_string(aCount);
  // The text is the user's: "&", "=", "%" or "#" in it must not end the value.
  if (!aText.empty()) query += "&txt=" + QueryValue(aText);
  DoGetRequest("CommandLog", "/object/" + std::to_string(aObjUid) + "/cmdlog", query);
  // A failed read leaves no log: the one held may be another object's.
  const TJsonVal arr = fResultCode == 200 ? ReplyArray("CommandLog") : TJsonVal();
  if (!arr) {
    fCommandLog.clear();
    return -1;
  }
  const int count = ReadCommandLog(arr);
  LogFmt(" [%d]", count);
  return count;
}

int TKelvraClient::ReadCommandLog(TJsonVal aArr) {
  fCommandLog.clear();
  fCommandLogUpdated = DisplayNow();
  int count = 0;
  for (const TJsonVal el : aArr.Elements()) {
    const int uid = GetJvInt32(el, "uid", 0);
    if (uid == 0) continue;
    auto ci = std::make_unique<TCommandInfo>(uid);
    ci->obj_uid = GetJvInt32(el, "obj_id", 0);
    ci->txt = GetJvText(el, "txt");
    ci->create_dt = GetJvDt(el, "create_dt");
    ci->send_dt = GetJvDt(el, "send_dt");
    ci->r_type = GetJvStr(el, "r_type");
    ci->r_size = GetJvInt32(el, "r_size", 0);
    ci->r_dt = GetJvDt(el, "resp_dt");
    fCommandLog.push_back(std::move(ci));
    ++count;
  }
  return count;
}

bool TKelvraClient::SaveReplyBody(const std::string &aFile) {
  const int64_t size = fApiClient.RcvdCount();
  fResultFile = aFile;
  // Replaced as a whole: a shorter answer never leaves the tail of an older one behind. Answers
  // and photos are the user's own: readable by the user only.
  if (!WriteFileAtomic(aFile, std::string_view(fApiClient.GetRcvdData(), static_cast<size_t>(size)),
                       0600)) {
    Log("\r  X: error at write file [" + aFile + "]");
    return false;
  }
  LogFmt(" [%lld]", static_cast<long long>(size));
  return true;
}

bool TKelvraClient::GetCommandResponse(int aUid) {
  DoGetRequest("CommandResponse", "/cmdlog/" + std::to_string(aUid) + "/response");
  if (fResultCode != 200) return false;
  if (fApiClient.RcvdCount() <= 0) {
    Log(" [no data]");
    return false;
  }
  LogFmt(" [%lld]", static_cast<long long>(fApiClient.RcvdCount()));
  if (fResponseDir.empty()) {
    Log("\r  X: no folder for answers");
    return false;
  }
  const std::string file =
      fResponseDir + std::to_string(aUid) + "." + ContentType2Ext(fApiClient.RcvdContentType());
  Log("\rKelvraClient.CommandResponse(" + file + "): ");
  return SaveReplyBody(file);
}

bool TKelvraClient::SendCommand(int aUid, const std::string &aCmd) {
  DoPostRequest("SendCommand", "/object/" + std::to_string(aUid) + "/sendcmd", aCmd);
  return fResultCode == 200;
}

} // namespace kelvra
