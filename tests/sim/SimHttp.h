#pragma once
// A tiny libcurl client for the tests of kelvra-sim: one request, one fresh connection.
#include <map>
#include <string>

#include <curl/curl.h>
#include <nlohmann/json.hpp>

namespace kelvra::simtest {

struct THttpReply {
  CURLcode code = CURLE_OK; // transport outcome
  long status = 0;
  std::string body;
  std::string contentType;
  std::string setCookie; // the first "name=value" of a Set-Cookie header
  std::map<std::string, std::string> headers; // by lower-case name, the last of each
  nlohmann::json Json() const { return nlohmann::json::parse(body, nullptr, false); }
};

struct THttpRequest {
  std::string method = "GET";
  std::string url;
  std::string body;
  std::string contentType = "application/x-www-form-urlencoded; charset=utf-8";
  std::map<std::string, std::string> headers;
  std::string caFile; // trust this certificate for HTTPS
  long timeoutMs = 20000;
};

THttpReply Fetch(const THttpRequest &req);

// A client of one server signed in (or not) with a token, as the program talks to the service.
class TApi {
public:
  TApi(std::string base, std::string token = {}, std::string caFile = {})
      : fBase(std::move(base)), fToken(std::move(token)), fCa(std::move(caFile)) {}
  THttpReply Get(const std::string &path, const std::string &query = {}) const;
  THttpReply Post(const std::string &path, const std::string &body) const;
  THttpReply Put(const std::string &path, const std::string &body) const;
  THttpReply Del(const std::string &path) const;
  THttpReply Send(const std::string &method, const std::string &path,
                  const std::string &body) const;
  void SetToken(std::string t) { fToken = std::move(t); }
  const std::string &Token() const { return fToken; }
  // The session cookie sent with every request ("name=value"), as a browser's jar would.
  void SetCookie(std::string c) { fCookie = std::move(c); }
  const std::string &Cookie() const { return fCookie; }
  // Signs in and keeps the token and the session cookie; false when the reply is not 200 with
  // an "apiToken".
  bool Login(const std::string &user, const std::string &pass);

private:
  std::string fBase, fToken, fCa, fCookie;
};

} // namespace kelvra::simtest
