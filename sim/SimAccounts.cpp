// kelvra-sim: users and their tokens and sessions; place ids and their street addresses.

#include "sim/SimWorld.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "sim/SimCity.h"
#include "sim/SimPng.h"
#include "sim/SimUtil.h"
#include "sim/SimWorldParts.h"

namespace kelvra::sim {

namespace {

const char *const kStreets[] = {
    "улица Ленина",         "Комсомольский проспект", "улица Петропавловская", "улица Сибирская",
    "улица Екатерининская", "улица Пушкина",          "улица Куйбышева",       "улица Монастырская",
    "улица Газеты Звезда",  "улица Попова",           "Советская улица",       "улица Луначарского",
    "улица Революции",      "Островского улица",      "улица Белинского",      "улица Краснова"};

} // namespace

TSimUser *TSimWorld::FindUser(const std::string &login) {
  std::string l = Lower(Trim(login));
  for (auto &u : fUsers)
    if (Lower(u->login) == l) return u.get();
  return nullptr;
}

TSimUser *TSimWorld::UserByUid(int uid) {
  for (auto &u : fUsers)
    if (u->uid == uid) return u.get();
  return nullptr;
}

TSimUser *TSimWorld::UserByToken(const std::string &token, bool *expired) {
  if (expired) *expired = false;
  if (token.empty()) return nullptr;
  for (auto &t : fTokens) {
    if (t.token != token) continue;
    if (t.revoked || (fTokenTtl > 0 && fNow - t.issued >= fTokenTtl)) {
      if (expired) *expired = true;
      return nullptr;
    }
    return UserByUid(t.uid);
  }
  return nullptr;
}

std::string TSimWorld::IssueToken(int userUid, bool withSession) {
  auto random = [this](int words) {
    std::string out;
    char buf[12];
    for (int i = 0; i < words; ++i) {
      std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(fTokenRng()));
      out += buf;
    }
    return out;
  };
  TToken t;
  t.token = random(4);
  if (withSession) t.session = random(3);
  t.uid = userUid;
  t.issued = fNow;
  fTokens.push_back(t);
  return t.token;
}

std::string TSimWorld::SessionOf(const std::string &token) const {
  for (auto &t : fTokens)
    if (t.token == token) return t.session;
  return {};
}

void TSimWorld::RevokeToken(const std::string &token) {
  for (auto &t : fTokens)
    if (t.token == token) t.revoked = true;
}

std::string TSimWorld::SaveTokens() const {
  std::string out;
  for (const auto &t : fTokens)
    out += t.token + " " + (t.session.empty() ? "-" : t.session) + " " + std::to_string(t.uid) +
           " " + std::to_string(t.issued) + " " + (t.revoked ? "1" : "0") + "\n";
  return out;
}

int TSimWorld::LoadTokens(const std::string &text) {
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    TToken t;
    int revoked = 0;
    if (!(fields >> t.token >> t.session >> t.uid >> t.issued >> revoked) || t.token.empty()) continue;
    if (t.session == "-") t.session.clear();
    t.revoked = revoked != 0;
    if (!UserByUid(t.uid)) continue; // a user this world does not have
    bool known = false;
    for (const auto &have : fTokens)
      known = known || have.token == t.token;
    if (known) continue;
    fTokens.push_back(t);
    ++n;
  }
  return n;
}

// A place id names a cell of about 55 x 60 metres.
std::string TSimWorld::PlaceId(double lat, double lon) {
  double cl = std::floor((lat - 57.5) * 2000), cn = std::floor((lon - 55.5) * 1000);
  if (!(cl >= 0 && cl < 10000 && cn >= 0 && cn < 100000)) return {};
  return std::to_string(1000000000LL + static_cast<int64_t>(cl) * 100000 +
                        static_cast<int64_t>(cn));
}

std::string TSimWorld::AddressOf(const std::string &placeId) {
  int64_t id;
  if (!ToInt64(placeId, id) || id < 1000000000LL || id >= 2000000000LL) return {};
  int64_t cl = (id - 1000000000LL) / 100000, cn = id % 100000;
  const char *street = kStreets[static_cast<size_t>((cl / 4 * 7 + cn / 6 * 3) % 16)];
  int64_t house = (cl * 31 + cn * 17) % 120 + 1;
  return std::string(street) + ", " + std::to_string(house) + ", Пермь";
}

json TSimWorld::UserJson(const TSimUser &u) const {
  return json{{"uid", u.uid},     {"login", u.login},         {"name", u.name},
              {"email", u.email}, {"t_chat_id", u.t_chat_id}, {"tz", u.tz},
              {"lang", u.lang}};
}

} // namespace kelvra::sim
