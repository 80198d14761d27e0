// Account operations: sign-in, the user's own record, registration, password recovery.
#include "core/client/client.h"

namespace kelvra {

bool TKelvraClient::Login(const std::string &aUser, const std::string &aPass) {
  // Encoded, so that a password holding "&" or "=" reaches the service as typed.
  const std::string body = "uname=" + UrlEncode(aUser) + "&upass=" + UrlEncode(aPass);
  if (DoPostRequest("Login", "/user/login", body) != 200) return false;
  ParseUserInfo(ResultData());
  const std::string token = GetJvStr(ResultData(), "apiToken");
  if (!token.empty()) fApiToken = token;
  return true;
}

void TKelvraClient::ParseUserInfo(TJsonVal aUser) {
  if (!aUser) return;
  fUserInfo.Uid = GetJvInt32(aUser, "uid", 0);
  fUserInfo.Login = GetJvText(aUser, "login");
  fUserInfo.Name = GetJvText(aUser, "name");
  fUserInfo.Email = GetJvText(aUser, "email");
  // Group chats have negative ids.
  fUserInfo.TgChatId = GetJvSignedInt(aUser, "t_chat_id");
  // Signed: users west of Greenwich have a negative offset.
  fUserInfo.TimeZone = static_cast<double>(GetJvSignedInt(aUser, "tz")) / 86400.0;
  fUserInfo.Lang = GetJvStr(aUser, "lang");
  fUserInfo.ApiToken = fApiToken;
}

bool TKelvraClient::GetUser() {
  if (DoGetRequest("GetUser", "/user") != 200) return false;
  if (HasResultData())
    ParseUserInfo(ResultData());
  else
    Log("\r  x: no data");
  return true;
}

bool TKelvraClient::UpdateUser(const TLumHash &aFields) {
  if (DoPutRequest("UpdateUser", "/user", FormBody(aFields)) != 200) return false;
  if (HasResultData())
    ParseUserInfo(ResultData());
  else
    Log("\r  x: no data");
  return true;
}

bool TKelvraClient::Reg(const std::string &aUser) {
  return DoPostRequest("Reg", "/user/reg", "login=" + UrlEncode(aUser) + "&client=2") == 204;
}

bool TKelvraClient::Recovery(const std::string &aUser) {
  return DoPostRequest("Recovery", "/user/recovery", "login=" + UrlEncode(aUser)) == 204;
}

std::string TKelvraClient::GetUserName() const {
  std::string name = fUserInfo.Name.empty() ? fUserInfo.Login : fUserInfo.Name;
  if (!name.empty() && !fUserInfo.Email.empty() && fUserInfo.Email != name)
    name += " <" + fUserInfo.Email + ">";
  return name;
}

} // namespace kelvra
