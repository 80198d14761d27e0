#pragma once
// The operations of the substitute service as a route table: method, path pattern, whether a
// token is needed, and a handler that turns a request into a reply against the world.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/SimWorld.h"

namespace kelvra::sim {

struct TApiRequest {
  std::string method, path, body, contentType;
  std::map<std::string, std::string> query; // decoded query parameters
  std::map<std::string, std::string> form;  // decoded form fields of the body
  std::vector<std::string> match;           // groups of the route pattern
  TSimUser *user = nullptr;                 // the signed-in user for routes with a token
  std::string token;
  std::string cookie; // the Cookie header
  std::string ifNoneMatch, ifModifiedSince; // conditional request headers
  // A form field, else a query parameter; has() tells whether either is present.
  std::string Param(const std::string &key) const;
  bool Has(const std::string &key) const;
};

struct TApiReply {
  int status = 200;
  std::string body;
  std::string contentType = "application/json";
  std::vector<std::pair<std::string, std::string>> headers; // extra reply headers
  static TApiReply Json(int status, const json &j);
  // An error reply: JSON with the key "text".
  static TApiReply Error(int status, const std::string &text);
  static TApiReply NoContent();
};

using TApiHandler = std::function<TApiReply(TSimWorld &, TApiRequest &)>;

struct TApiRoute {
  std::string method;
  // Path segments separated by "/"; a segment "#" (optionally followed by a literal suffix such as
  // "#.png") matches a decimal number of 1 to 18 digits, which is captured.
  std::string pattern;
  bool needsToken = true;
  bool needsWorld = true; // false: the handler runs without the world lock (tiles)
  TApiHandler handler;
};

std::vector<TApiRoute> MakeApiRoutes();

// The cookie that sign-in sets and every later request of that sign-in must send back.
constexpr const char *kSessionCookie = "kelvra_session";
// The value of one cookie in a Cookie header; empty when absent.
std::string CookieValue(const std::string &header, const std::string &name);

// Matches a path against a route pattern; the captured numbers go to groups.
bool MatchRoute(const std::string &pattern, const std::string &path,
                std::vector<std::string> &groups);

} // namespace kelvra::sim
