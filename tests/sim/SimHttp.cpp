#include "SimHttp.h"

#include <cctype>
#include <memory>

namespace kelvra::simtest {

namespace {
size_t Collect(char *data, size_t size, size_t n, void *out) {
  static_cast<std::string *>(out)->append(data, size * n);
  return size * n;
}

size_t CollectHeader(char *data, size_t size, size_t n, void *out) {
  std::string line(data, size * n);
  auto *reply = static_cast<THttpReply *>(out);
  if (const size_t colon = line.find(':'); colon != std::string::npos && line.rfind("HTTP/", 0) != 0) {
    std::string name = line.substr(0, colon);
    for (char &c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of(" \r\n") + 1);
    reply->headers[name] = value;
  }
  const std::string key = "set-cookie:";
  std::string low = line.substr(0, key.size());
  for (char &c : low)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto *cookie = &reply->setCookie;
  if (low == key && cookie->empty()) {
    std::string v = line.substr(key.size());
    size_t b = v.find_first_not_of(' '), e = v.find_first_of(";\r\n");
    *cookie = v.substr(b == std::string::npos ? 0 : b, e == std::string::npos ? e : e - b);
  }
  return size * n;
}
} // namespace

THttpReply Fetch(const THttpRequest &req) {
  THttpReply reply;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr,
                                                                      &curl_slist_free_all);
  auto addHeader = [&](const std::string &h) {
    headers.reset(curl_slist_append(headers.release(), h.c_str()));
  };
  for (auto &h : req.headers)
    addHeader(h.first + ": " + h.second);
  CURL *c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, req.url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, req.timeoutMs);
  curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &reply);
  if (!req.caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, req.caFile.c_str());
  if (req.method == "GET") {
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  } else {
    if (req.method == "DELETE") {
      curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "DELETE");
    } else {
      curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, req.method.c_str());
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, req.body.data());
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(req.body.size()));
      addHeader("Content-Type: " + req.contentType);
    }
  }
  addHeader("Expect:");
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  reply.code = curl_easy_perform(c);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
  char *ct = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &ct) == CURLE_OK && ct) reply.contentType = ct;
  return reply;
}

THttpReply TApi::Send(const std::string &method, const std::string &path,
                      const std::string &body) const {
  THttpRequest r;
  r.method = method;
  r.url = fBase + "/api/v1" + path;
  if (method == "GET" && !body.empty())
    r.url += "?" + body;
  else
    r.body = body;
  r.caFile = fCa;
  r.headers["X-Auth-Token"] = fToken;
  r.headers["X-Request-ID"] = "1234";
  r.headers["X-Requested-With"] = "xmlhttprequest";
  if (!fCookie.empty()) r.headers["Cookie"] = fCookie;
  return Fetch(r);
}

THttpReply TApi::Get(const std::string &path, const std::string &query) const {
  return Send("GET", path, query);
}
THttpReply TApi::Post(const std::string &path, const std::string &body) const {
  return Send("POST", path, body);
}
THttpReply TApi::Put(const std::string &path, const std::string &body) const {
  return Send("PUT", path, body);
}
THttpReply TApi::Del(const std::string &path) const { return Send("DELETE", path, ""); }

bool TApi::Login(const std::string &user, const std::string &pass) {
  THttpReply r = Post("/user/login", "uname=" + user + "&upass=" + pass);
  auto j = r.Json();
  if (r.status != 200 || !j.is_object() || !j.contains("apiToken")) return false;
  fToken = j["apiToken"].get<std::string>();
  fCookie = r.setCookie;
  return true;
}

} // namespace kelvra::simtest
